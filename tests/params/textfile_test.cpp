// Comma-separated text field files and the line helpers.
#include "params_fixture.h"

namespace nvx::test {
namespace {

using Items = std::vector<std::string>;

// Fields split at commas and line ends, trimmed of blanks (not tabs); a quoted
// field runs to its closing quote (or the line end) and what follows it up to
// the next comma is dropped.
TEST(ParseTextFields, Parse) {
  // clang-format off
  const struct { std::string bytes; Items fields; } cases[] = {
      {"F Home, B Home", {"F Home", "B Home"}}, {"F Home, B Home\r\n", {"F Home", "B Home"}},
      {"F Home, B Home\n", {"F Home", "B Home"}}, {"\"F 1, B 2\"\r\n", {"F 1, B 2"}},
      {"  \"F 1, B 2\" , x\r\n", {"F 1, B 2", "x"}}, {"\"a\"junk,b", {"a", "b"}},
      {"\"unclosed, still one\r\nnext", {"unclosed, still one", "next"}},
      {"a\r\n\r\nb\r\n", {"a", "", "b"}}, {"a\n\nb", {"a", "", "b"}}, {"a,", {"a", ""}},
      {",", {"", ""}}, {"\r\n", {""}}, {"  spaced  ,\t tab", {"spaced", "\t tab"}}, {"", {}}};
  // clang-format on
  for (const auto& c : cases) {
    bool tooMany = true;
    EXPECT_EQ(ParseTextFields(c.bytes, tooMany), c.fields) << c.bytes;
    EXPECT_FALSE(tooMany);
  }
}

TEST_F(ParamsTest, ReadTextFileCountsFieldsAndReplacesTheList) {
  Put("J.TXT", "F Home, B Home\r\nJoy On\r\n");
  TextFieldList list = SplitLines("1\r\n2\r\n3\r\n4\r\n5");
  EXPECT_EQ(ReadTextFile(Path("J.TXT"), list), 3);
  EXPECT_EQ(list.items, (Items{"F Home", "B Home", "Joy On"}));
  EXPECT_TRUE(ui_.boxes.empty());
  std::string bytes;
  for (int i = 0; i < kMaxListEntries; ++i) bytes += "x\r\n";
  Put("FULL.PRG", bytes);
  EXPECT_EQ(ReadTextFile(Path("FULL.PRG"), list), kMaxListEntries);
}

// A missing file shows a message and leaves a list that was never made with one
// empty item; the silent failures (empty, a directory, too many fields, too
// big) keep a made list.
TEST_F(ParamsTest, ReadTextFileFailuresKeepTheList) {
  for (const TextFieldList& before : {TextFieldList{}, SplitLines(""), SplitLines("a\r\nb")}) {
    TextFieldList list = before;
    ui_.boxes.clear();
    EXPECT_EQ(ReadTextFile(Path("NONE.PRG"), list), -1);
    EXPECT_EQ(list.items, before.created ? before.items : Items{""});
    EXPECT_TRUE(list.created);
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text, "File " + Path("NONE.PRG") + " does not exist");
    EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::None);
  }
  ui_.boxes.clear();
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

// One element a line; a failed write leaves the old file. Read back, the
// fields are not always the same list.
TEST_F(ParamsTest, WriteTextFile) {
  TextFieldList list = SplitLines("F Home\r\nB 2");
  ASSERT_EQ(WriteTextFile(list, Path("W.PRG")), 1);
  EXPECT_EQ(Get("W.PRG"), "F Home\r\nB 2\r\n");
  ASSERT_EQ(WriteTextFile(SplitLines(""), Path("W.PRG")), 1);
  EXPECT_EQ(Get("W.PRG"), "");
  SetParFile("CUR.PRG");
  ASSERT_EQ(WriteCurText(list), 1);
  EXPECT_EQ(Get("CUR.PRG"), "F Home\r\nB 2\r\n");
  const std::string longName(255, 'T');
  Put(longName, "old,contents");
  EXPECT_EQ(WriteTextFile(SplitLines("new"), Path(longName)), -1);
  EXPECT_EQ(Get(longName), "old,contents");
  EXPECT_EQ(WriteTextFile(SplitLines("new"), Path("nodir/X.PRG")), -1);
  EXPECT_TRUE(ui_.boxes.empty());
  list = SplitLines("a, b\r\n\"quoted\"\r\n  blanks  \r\nplain");
  ASSERT_EQ(WriteTextFile(list, Path("R.PRG")), 1);
  TextFieldList back;
  ASSERT_EQ(ReadTextFile(Path("R.PRG"), back), 5);
  EXPECT_EQ(back.items, (Items{"a", "b", "quoted", "blanks", "plain"}));
}

// Split at CR LF only, and joined back to the same text; a long text keeps
// everything though only the first 32767 lines are items.
TEST(Lines, SplitAndJoin) {
  // clang-format off
  const struct { std::string text; Items items; } cases[] = {{"", {}}, {"a", {"a"}},
      {"a\r\nb", {"a", "b"}}, {"a\r\n", {"a", ""}}, {"\r\n", {"", ""}}, {"a\nb\rc", {"a\nb\rc"}},
      {"a\r\r\nb", {"a\r", "b"}}};
  // clang-format on
  for (const auto& c : cases) {
    const TextFieldList list = SplitLines(c.text);
    EXPECT_TRUE(list.created);
    EXPECT_EQ(list.items, c.items) << c.text;
    EXPECT_EQ(JoinLines(list), c.text);
  }
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
