// Keyed parameter files (line parsing, reading, writing, and the modes of
// ParList/Par/ParMsg on lists and on the current list), and comma-separated
// text field files with the line helpers.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "params/trapar.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace nvx::test {
namespace {

class ParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetParDir(dir_);
    SetParFile("TEST.TXT");
    CurParList().clear();
  }
  void TearDown() override { CurParList().clear(); }
  std::string Path(const std::string& name) const { return tmp_.file(name); }
  void Put(const std::string& name, const std::string& bytes) const { tmp_.writeRaw(name, bytes); }
  std::string Get(const std::string& name) const { return tmp_.read(name); }
  size_t FilesInDir() const {
    const std::filesystem::directory_iterator all(dir_);
    return static_cast<size_t>(std::distance(begin(all), end(all)));
  }

  TempDir tmp_;
  const std::string dir_ = tmp_.path();
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
};

// Key between the first two quotes, value up to the next comma, both trimmed
// of blanks (not tabs); a line without a comma is its own value.
TEST(ParseParLine, KeyAndValue) {
  // clang-format off
  const struct { std::string line; bool read; std::string key, value; } cases[] = {
      {"\"MPORT\",1", true, "MPORT", "1"}, {"\"A\",1", true, "A", "1"}, {"\"A\",", false, "", ""},
      {"  \"CONTRTYPE\" , EZHR17 , controller type", true, "CONTRTYPE", "EZHR17"},
      {"\"W1_INSTALLED\",1,wheel F", true, "W1_INSTALLED", "1"}, {"\"K\" ,", true, "K", ""},
      {"\"KEY\",  value with blanks  ", true, "KEY", "value with blanks"}, {"", false, "", ""},
      {"  \"NOCOMMA\"  ", true, "NOCOMMA", "\"NOCOMMA\""}, {"\" K \",v", true, "K", "v"},
      {"junk\"K\"x,v", true, "K", "v"}, {"\"K\",\"a,b\"", true, "K", "\"a"},
      {"\"K\",a,b,c", true, "K", "a"}, {"no quotes, here", false, "", ""},
      {"one \" quote, x", false, "", ""}, {"\"\",empty key", true, "", "empty key"},
      {"\"K\",\tv\t", true, "K", "\tv\t"}};
  // clang-format on
  for (const auto& c : cases) {
    ParEntry e;
    ASSERT_EQ(ParseParLine(c.line, e), c.read) << c.line;
    if (!c.read) continue;
    EXPECT_EQ(e.key, c.key) << c.line;
    ASSERT_TRUE(std::holds_alternative<std::string>(e.value));
    EXPECT_EQ(std::get<std::string>(e.value), c.value) << c.line;
  }
}

// Every line ending reads alike; remarks, short lines and spacing are not
// kept (the list written back shows each entry); an empty file gives an empty
// list. A line break in a key or value cannot add an entry. A missing file
// shows a message; a directory, an oversized file or one of more than 32767
// entries fails silently; all keep the list. One of 32767 entries is read.
TEST_F(ParamsTest, ReadWrittenBackOrFailuresKeepTheList) {
  const std::string two = "\"MPORT\",1\r\n\"CONTRTYPE\",EZHR17\r\n";
  // clang-format off
  const struct { std::string bytes, text; } cases[] = {{two, two}, {"", ""},
      {"\"MPORT\",1\n\"CONTRTYPE\",EZHR17\n", two}, {"\"MPORT\",1\r\n\"CONTRTYPE\",EZHR17", two},
      {"\"MPORT\",1\n\"CONTRTYPE\",EZHR17\r\n", two},
      {"\r\n\"MPORT\",1\r\n\r\n\"CONTRTYPE\",EZHR17\r\n\r\n", two},
      {"  \"MPORT\" ,  1 , port\r\n\r\n\"A\",\r\n\"CONTRTYPE\",EZHR17,controller type\r\n"
       "\"W1_INSTALLED\", 1\r\n", two + "\"W1_INSTALLED\",1\r\n"}};
  // clang-format on
  for (const auto& c : cases) {
    Put("P.TXT", c.bytes);
    ParamList list = {{"OLD", 1.0}};
    ASSERT_EQ(ReadParFile(Path("P.TXT"), list), 1);
    EXPECT_EQ(ParFileText(list), c.text) << c.bytes;
  }
  EXPECT_TRUE(ui_.boxes.empty());
  ParamList list;
  std::string v = "x\r\n\"MPORT\",5";
  ASSERT_EQ(ParList(list, "A\nB", v, "to"), 1);
  ASSERT_EQ(WriteParFile(Path("L.TXT"), list), 1);
  ASSERT_EQ(ReadParFile(Path("L.TXT"), list), 1);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].key, "A B");

  std::filesystem::create_directory(Path("SUB"));
  Put("BIG.TXT", "\"A\",1\r\n");
  ASSERT_EQ(::truncate(Path("BIG.TXT").c_str(), static_cast<off_t>(kMaxFileBytes + 1)), 0);
  std::string bytes;
  for (int i = 0; i < 32767; ++i) bytes += "\"K" + std::to_string(i) + "\",1\r\n";
  Put("FULL.TXT", bytes);
  Put("MANY.TXT", bytes + "\"K\",1\r\n");
  for (const std::string name : {"NONE.TXT", "nodir/NONE.TXT", "SUB", "BIG.TXT", "MANY.TXT"}) {
    ui_.boxes.clear();
    list = {{"KEEP", std::string("me")}};
    EXPECT_EQ(ReadParFile(Path(name), list), -1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].key, "KEEP");
    if (name.find("NONE") == std::string::npos) {
      EXPECT_TRUE(ui_.boxes.empty()) << name;
      continue;
    }
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text, "File " + Path(name) + " does not exist");
    EXPECT_EQ(ui_.boxes[0].title, "Norvantix");
    EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::None);
  }
  EXPECT_EQ(ReadParFile(Path("FULL.TXT"), list), 1);
  EXPECT_EQ(list.size(), 32767u);
}

// --- modes ---

ParamList Sample() {
  using S = std::string;
  return {{"MPORT", S("1")},
          {"DUP", S("first")},
          {"DUP", S("second")},
          {"NUM", 2.5},
          {"WORD", S("abc")}};
}

// "from": exact key, first of duplicates; into a number only when it reads as one.
// Each row: key, result and text variable afterwards, result and number variable afterwards.
TEST(ParList, Modes) {
  // clang-format off
  const struct { std::string key; int16_t result; std::string text; int16_t numResult;
                 double number; } cases[] = {
      {"MPORT", 1, "1", 1, 1.0}, {"mport", -1, "unchanged", -1, -7},
      {" MPORT", -1, "unchanged", -1, -7}, {"MPOR", -1, "unchanged", -1, -7},
      {"DUP", 1, "first", kParNotANumber, -7}, {"NUM", 1, "2.5", 1, 2.5},
      {"WORD", 1, "abc", kParNotANumber, -7}};
  // clang-format on
  for (const auto& c : cases) {
    ParamList list = Sample();
    std::string v = "unchanged";
    double d = -7.0;
    EXPECT_EQ(ParList(list, c.key, v, "from"), c.result) << c.key;
    EXPECT_EQ(v, c.text);
    EXPECT_EQ(ParList(list, c.key, d, "from"), c.numResult) << c.key;
    EXPECT_EQ(d, c.number) << c.key;
  }

  // "to" changes the first or appends, up to the index range; "clear" leaves
  // exactly one entry; other words, in any other case, do nothing.
  ParamList list = Sample();
  std::string v = "new";
  ASSERT_EQ(ParList(list, "DUP", v, "to"), 1);
  EXPECT_EQ(ParValueText(list[1].value), "new");
  EXPECT_EQ(ParValueText(list[2].value), "second");
  double d = 7;
  ASSERT_EQ(ParList(list, "WORD", d, "to"), 1);
  EXPECT_EQ(std::get<double>(list[4].value), 7.0);  // keeps the caller's type
  ASSERT_EQ(ParList(list, "NEWKEY", d, "to"), 1);
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list.back().key, "NEWKEY");
  for (ParamList l : {ParamList{}, Sample()}) {
    d = 3;
    ASSERT_EQ(ParList(l, "MPORT", d, "clear"), 1);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].key, "MPORT");
    EXPECT_EQ(std::get<double>(l[0].value), 3.0);
  }
  for (const std::string mode : {"From", "TO", "Clear", "", "from ", "x"}) {
    ParamList l = Sample();
    v = "keep";
    EXPECT_EQ(ParList(l, "MPORT", v, mode), 0) << mode;
    EXPECT_EQ(ParList(l, "NEW", v, mode), 0) << mode;
    EXPECT_EQ(v, "keep");
    EXPECT_EQ(l.size(), Sample().size());
    EXPECT_EQ(ParValueText(l[0].value), "1");
  }
  ParamList full(static_cast<size_t>(kMaxListEntries), ParEntry{"K", std::string("v")});
  EXPECT_EQ(ParList(full, "NEW", v, "to"), -1);
  EXPECT_EQ(full.size(), static_cast<size_t>(kMaxListEntries));
  EXPECT_EQ(ParList(full, "K", v, "to"), 1);  // an existing key still changes

  // Numbers are written after a blank unless negative, without a leading zero,
  // and never in exponent form.
  // clang-format off
  const struct { std::string key; double value; std::string line; } numbers[] = {
      {"PORTTIMEOUT", 500, "\"PORTTIMEOUT\", 500"}, {"JAXIS1_L", 120, "\"JAXIS1_L\", 120"},
      {"JAXIS1_L", -12, "\"JAXIS1_L\",-12"}, {"JLATENT", 0.5, "\"JLATENT\", .5"},
      {"JLATENT", -0.25, "\"JLATENT\",-.25"}, {"Z", 0, "\"Z\", 0"}, {"F", 12.5, "\"F\", 12.5"},
      {"BIG", 1e20, "\"BIG\", 100000000000000000000"}, {"TINY", 1e-7, "\"TINY\", .0000001"}};
  // clang-format on
  for (const auto& c : numbers) {
    ParamList one;
    d = c.value;
    ASSERT_EQ(ParList(one, c.key, d, "to"), 1);
    EXPECT_EQ(ParFileText(one), c.line + "\r\n");
  }
}

// The current list: read and written with an appended key last, its keys
// looked up with or without a message, and its entries got and set by index.
TEST_F(ParamsTest, CurrentFileReadWrittenAndByIndex) {
  Put("TEST.TXT", "\"MPORT\",1\r\n\"PORTTIMEOUT\",300\r\n");
  ParamList mine;
  ASSERT_EQ(ReadPar(mine), 1);
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(ParCount(), 0);  // ReadPar leaves the current list alone
  ASSERT_EQ(ReadCurPar(), 1);
  double d = 1;
  ASSERT_EQ(Par("JOYSTARTON", d, "to"), 1);
  ASSERT_EQ(WriteCurPar(), 1);
  EXPECT_EQ(Get("TEST.TXT"), "\"MPORT\",1\r\n\"PORTTIMEOUT\",300\r\n\"JOYSTARTON\", 1\r\n");

  // Par is silent, ParMsg reports a missing key.
  Put("TEST.TXT", "\"MPORT\",1\r\n\"WORD\",abc\r\n");
  ASSERT_EQ(ReadCurPar(), 1);
  d = 9;
  EXPECT_EQ(Par("NOPE", d, "from"), -1);
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(ParMsg("NOPE", d, "from"), -1);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Parameter NOPE not found in " + Path("TEST.TXT"));
  EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::Critical);
  EXPECT_EQ(d, 9);
  // Found but not a number: its own result, no message, variable unchanged.
  EXPECT_EQ(ParMsg("WORD", d, "from"), kParNotANumber);
  EXPECT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(d, 9);
  std::string s;
  EXPECT_EQ(ParMsg("MPORT", s, "from"), 1);
  EXPECT_EQ(s, "1");
  EXPECT_EQ(ui_.boxes.size(), 1u);

  ASSERT_EQ(ParCount(), 2);
  // clang-format off
  const struct { int16_t index, result; std::string key; } cases[] = {{0, 1, "MPORT"},
      {1, 1, "WORD"}, {-1, -1, "UNDEFINED"}, {2, -1, "UNDEFINED"}, {32767, -1, "UNDEFINED"},
      {-32768, -1, "UNDEFINED"}};
  // clang-format on
  for (const auto& c : cases) {
    std::string key = "x";
    ParValue value = std::string("y");
    EXPECT_EQ(GetParAt(c.index, key, value), c.result) << c.index;
    EXPECT_EQ(key, c.key);
    if (c.result < 0) {
      ASSERT_TRUE(std::holds_alternative<double>(value));
      EXPECT_EQ(std::get<double>(value), 0.0);
    }
    EXPECT_EQ(SetParAt(c.index, ParValue{42.0}), c.result) << c.index;
  }
  EXPECT_EQ(ParCount(), 2);
  EXPECT_EQ(std::get<double>(CurParList()[1].value), 42.0);
}

// --- atomic writes ---

// A write keeps the file's permissions; one failing halfway (a file size
// limit stands in for a full disk), or one that cannot make its temporary,
// leaves the old file byte for byte; none leaves a temporary.
TEST_F(ParamsTest, WritesKeepPermissionsOrTheOldFileAndNoTemporary) {
  Put("F.TXT", "\"A\",1\r\n");
  ASSERT_EQ(::chmod(Path("F.TXT").c_str(), 0640), 0);
  ParamList list = {{"B", 2.0}};
  ASSERT_EQ(WriteParFile(Path("F.TXT"), list), 1);
  const std::string written = "\"B\", 2\r\n";
  EXPECT_EQ(Get("F.TXT"), written);
  struct stat st {};
  ASSERT_EQ(::stat(Path("F.TXT").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FilesInDir(), 1u);
  const std::string old = "\"OLD\",1,remark\r\n\xff\x00garbage";
  // A name of the longest length a directory holds: the file exists, but no
  // temporary name beside it can be made.
  const std::string longName(255, 'L');
  Put(longName, old);
  EXPECT_EQ(WriteParFile(Path(longName), list), -1);
  EXPECT_EQ(Get(longName), old);
  EXPECT_EQ(FilesInDir(), 2u);
  // A directory standing at the path is never replaced.
  std::filesystem::create_directory(Path("D"));
  EXPECT_EQ(WriteParFile(Path("D"), list), -1);
  EXPECT_TRUE(std::filesystem::is_directory(Path("D")));
  EXPECT_EQ(FilesInDir(), 3u);
  // A missing directory is not made.
  EXPECT_EQ(WriteParFile(Path("nodir/A.TXT"), list), -1);
  EXPECT_FALSE(std::filesystem::exists(Path("nodir")));
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(WriteFileAtomic("", "x"), -1);
  EXPECT_EQ(WriteFileAtomic(dir_, "x"), -1);  // ends in '/'
  EXPECT_EQ(WriteFileAtomic(Path("N.TXT"), std::string("a\0b", 3)), 1);
  EXPECT_EQ(Get("N.TXT"), std::string("a\0b", 3));
  EXPECT_EQ(WriteFileAtomic(Path("N.TXT"), ""), 1);
  EXPECT_EQ(Get("N.TXT"), "");
  for (int i = 0; i < 100; ++i) list.push_back({"KEY" + std::to_string(i), static_cast<double>(i)});
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int16_t r = WriteParFile(Path("F.TXT"), list);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(r, -1);
  EXPECT_EQ(Get("F.TXT"), written);
  EXPECT_EQ(FilesInDir(), 4u);
}

// --- text field files ---

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

// One element a line (writing is WriteFileAtomic's). Read back, the fields
// are not always the same list; a file of the most fields is read. A missing
// file shows a message and leaves a list that was never made with one empty
// item; the silent failures (empty, too many fields; a directory or a file
// too big fail as parameter files do) keep a made list.
TEST_F(ParamsTest, TextFilesWrittenAndRead) {
  TextFieldList list = SplitLines("F Home\r\nB 2");
  ASSERT_EQ(WriteTextFile(list, Path("W.PRG")), 1);
  EXPECT_EQ(Get("W.PRG"), "F Home\r\nB 2\r\n");
  ASSERT_EQ(WriteTextFile(SplitLines(""), Path("W.PRG")), 1);
  EXPECT_EQ(Get("W.PRG"), "");
  SetParFile("CUR.PRG");
  ASSERT_EQ(WriteCurText(list), 1);
  EXPECT_EQ(Get("CUR.PRG"), "F Home\r\nB 2\r\n");
  EXPECT_EQ(WriteTextFile(SplitLines("new"), Path("nodir/X.PRG")), -1);
  list = SplitLines("a, b\r\n\"quoted\"\r\n  blanks  \r\nplain");
  ASSERT_EQ(WriteTextFile(list, Path("R.PRG")), 1);
  TextFieldList back = SplitLines("1\r\n2\r\n3\r\n4\r\n5\r\n6");
  ASSERT_EQ(ReadTextFile(Path("R.PRG"), back), 5);  // the fields, replacing the list
  EXPECT_EQ(back.items, (Items{"a", "b", "quoted", "blanks", "plain"}));
  std::string bytes;
  for (int i = 0; i < kMaxListEntries; ++i) bytes += "x\r\n";
  Put("FULL.PRG", bytes);
  EXPECT_EQ(ReadTextFile(Path("FULL.PRG"), back), kMaxListEntries);
  Put("MANY.PRG", bytes + "x\r\n");
  Put("EMPTY.PRG", "");
  for (const std::string name : {"EMPTY.PRG", "MANY.PRG"}) {
    list = SplitLines("keep\r\nthese");
    EXPECT_EQ(ReadTextFile(Path(name), list), -1) << name;
    EXPECT_EQ(list.items, (Items{"keep", "these"})) << name;
  }
  EXPECT_TRUE(ui_.boxes.empty());
  for (const TextFieldList& before : {TextFieldList{}, SplitLines(""), SplitLines("a\r\nb")}) {
    list = before;
    ui_.boxes.clear();
    EXPECT_EQ(ReadTextFile(Path("NONE.PRG"), list), -1);
    EXPECT_EQ(list.items, before.created ? before.items : Items{""});
    EXPECT_TRUE(list.created);
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text, "File " + Path("NONE.PRG") + " does not exist");
    EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::None);
  }
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
