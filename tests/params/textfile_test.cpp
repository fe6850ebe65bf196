// Comma-separated text field files and the line helpers.
#include <random>

#include "params_fixture.h"

namespace nvx::test {
namespace {

using Items = std::vector<std::string>;

struct FieldCase {
  std::string bytes;
  Items fields;
};

class Fields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(Fields, Parse) {
  bool tooMany = true;
  EXPECT_EQ(ParseTextFields(GetParam().bytes, tooMany), GetParam().fields);
  EXPECT_FALSE(tooMany);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Fields,
    ::testing::Values(FieldCase{"F Home, B Home", {"F Home", "B Home"}},
                      FieldCase{"F Home, B Home\r\n", {"F Home", "B Home"}},
                      FieldCase{"F Home, B Home\n", {"F Home", "B Home"}},
                      FieldCase{"\"F 1, B 2\"\r\n", {"F 1, B 2"}},
                      FieldCase{"  \"F 1, B 2\" , x\r\n", {"F 1, B 2", "x"}},
                      FieldCase{"\"a\"junk,b", {"a", "b"}},
                      FieldCase{"\"unclosed, still one\r\nnext", {"unclosed, still one", "next"}},
                      FieldCase{"a\r\n\r\nb\r\n", {"a", "", "b"}},
                      FieldCase{"a\n\nb", {"a", "", "b"}}, FieldCase{"a,", {"a", ""}},
                      FieldCase{",", {"", ""}}, FieldCase{"\r\n", {""}},
                      FieldCase{"  spaced  ,\t tab", {"spaced", "\t tab"}}, FieldCase{"", {}}));

TEST_F(ParamsTest, ReadTextFileCountsFieldsAndReplacesTheList) {
  Put("J.TXT", "F Home, B Home\r\nJoy On\r\n");
  TextFieldList list;
  list.created = true;
  list.items = {"1", "2", "3", "4", "5"};
  EXPECT_EQ(ReadTextFile(Path("J.TXT"), list), 3);
  EXPECT_EQ(list.items, (Items{"F Home", "B Home", "Joy On"}));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ParamsTest, ReadTextFileMissingFile) {
  struct Case {
    TextFieldList before;
    Items after;
  };
  TextFieldList fresh;
  TextFieldList fromSplit = SplitLines("");
  TextFieldList filled = SplitLines("a\r\nb");
  for (const Case& c :
       {Case{fresh, Items{""}}, Case{fromSplit, Items{}}, Case{filled, Items{"a", "b"}}}) {
    TextFieldList list = c.before;
    ui_.boxes.clear();
    EXPECT_EQ(ReadTextFile(Path("NONE.PRG"), list), -1);
    EXPECT_EQ(list.items, c.after);
    EXPECT_TRUE(list.created);
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text, "File " + Path("NONE.PRG") + " does not exist");
    EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::None);
  }
}

TEST_F(ParamsTest, ReadTextFileFailuresAreSilentAndKeepTheList) {
  Put("EMPTY.PRG", "");
  std::filesystem::create_directory(Path("DIR.PRG"));
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "a,b\r\n";  // 40000 fields
  Put("MANY.PRG", many);
  Put("BIG.PRG", "x");
  ASSERT_EQ(::truncate(Path("BIG.PRG").c_str(), static_cast<off_t>(kMaxFileBytes + 1)), 0);
  for (const std::string name : {"EMPTY.PRG", "DIR.PRG", "MANY.PRG", "BIG.PRG"}) {
    TextFieldList list = SplitLines("keep\r\nthese");
    EXPECT_EQ(ReadTextFile(Path(name), list), -1) << name;
    EXPECT_EQ(list.items, (Items{"keep", "these"})) << name;
    TextFieldList fresh;
    EXPECT_EQ(ReadTextFile(Path(name), fresh), -1) << name;
    EXPECT_EQ(fresh.items, Items{""}) << name;
  }
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ParamsTest, ReadTextFileAtTheLimit) {
  std::string bytes;
  for (int i = 0; i < kMaxListEntries; ++i) bytes += "x\r\n";
  Put("FULL.PRG", bytes);
  TextFieldList list;
  EXPECT_EQ(ReadTextFile(Path("FULL.PRG"), list), kMaxListEntries);
}

TEST_F(ParamsTest, ReadTextFileSurvivesGarbage) {
  std::mt19937 rng(777);
  for (int round = 0; round < 100; ++round) {
    std::string bytes(1 + rng() % 3000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() & 0xff);
    Put("G.PRG", bytes);
    TextFieldList list;
    const int32_t n = ReadTextFile(Path("G.PRG"), list);
    ASSERT_GE(n, 1);
    ASSERT_EQ(static_cast<size_t>(n), list.items.size());
    for (const auto& s : list.items) EXPECT_EQ(s.find('\n'), std::string::npos);
  }
}

TEST_F(ParamsTest, WriteTextFileOneElementALine) {
  TextFieldList list = SplitLines("F Home\r\nB 2");
  ASSERT_EQ(WriteTextFile(list, Path("W.PRG")), 1);
  EXPECT_EQ(Get("W.PRG"), "F Home\r\nB 2\r\n");
  ASSERT_EQ(WriteTextFile(SplitLines(""), Path("W.PRG")), 1);
  EXPECT_EQ(Get("W.PRG"), "");
  SetParFile("CUR.PRG");
  ASSERT_EQ(WriteCurText(list), 1);
  EXPECT_EQ(Get("CUR.PRG"), "F Home\r\nB 2\r\n");
}

TEST_F(ParamsTest, WriteTextFileFailureLeavesOldFile) {
  const std::string longName(255, 'T');
  Put(longName, "old,contents");
  EXPECT_EQ(WriteTextFile(SplitLines("new"), Path(longName)), -1);
  EXPECT_EQ(Get(longName), "old,contents");
  EXPECT_EQ(WriteTextFile(SplitLines("new"), Path("nodir/X.PRG")), -1);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ParamsTest, WrittenAndReadBackIsNotAlwaysTheSameList) {
  TextFieldList list = SplitLines("a, b\r\n\"quoted\"\r\n  blanks  \r\nplain");
  ASSERT_EQ(WriteTextFile(list, Path("R.PRG")), 1);
  TextFieldList back;
  ASSERT_EQ(ReadTextFile(Path("R.PRG"), back), 5);
  EXPECT_EQ(back.items, (Items{"a", "b", "quoted", "blanks", "plain"}));
}

struct SplitCase {
  std::string text;
  Items items;
};

class Lines : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Lines, SplitAndJoin) {
  const TextFieldList list = SplitLines(GetParam().text);
  EXPECT_TRUE(list.created);
  EXPECT_EQ(list.items, GetParam().items);
  EXPECT_EQ(JoinLines(list), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Lines,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"a", {"a"}}, SplitCase{"a\r\nb", {"a", "b"}},
                      SplitCase{"a\r\n", {"a", ""}}, SplitCase{"\r\n", {"", ""}},
                      SplitCase{"a\nb\rc", {"a\nb\rc"}}, SplitCase{"a\r\r\nb", {"a\r", "b"}}));

TEST(LinesLimit, LongTextKeepsEverything) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += std::to_string(i) + "\r\n";
  const TextFieldList list = SplitLines(text);
  EXPECT_EQ(list.items.size(), static_cast<size_t>(kMaxListEntries));
  EXPECT_EQ(list.items[0], "0");
  EXPECT_EQ(list.items[static_cast<size_t>(kMaxListEntries) - 2], "32765");
  EXPECT_EQ(JoinLines(list), text);
}

}  // namespace
}  // namespace nvx::test
