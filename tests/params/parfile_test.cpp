// Keyed parameter files: line parsing, reading, writing, and the modes of
// ParList/Par/ParMsg on lists and on the current list.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <random>

#include "params_fixture.h"

namespace nvx::test {
namespace {

struct LineCase {
  std::string line;
  bool read;
  std::string key;
  std::string value;
};

class ParseLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ParseLine, KeyAndValue) {
  const LineCase& c = GetParam();
  ParEntry e;
  ASSERT_EQ(ParseParLine(c.line, e), c.read) << c.line;
  if (!c.read) return;
  EXPECT_EQ(e.key, c.key);
  ASSERT_TRUE(std::holds_alternative<std::string>(e.value));
  EXPECT_EQ(std::get<std::string>(e.value), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseLine,
    ::testing::Values(
        LineCase{"\"MPORT\",1", true, "MPORT", "1"},
        LineCase{"  \"CONTRTYPE\" , EZHR17 , controller type", true, "CONTRTYPE", "EZHR17"},
        LineCase{"\"W1_INSTALLED\",1,wheel F", true, "W1_INSTALLED", "1"},
        LineCase{"\"A\",", false, "", ""}, LineCase{"\"A\",1", true, "A", "1"},
        LineCase{"\"K\" ,", true, "K", ""}, LineCase{"", false, "", ""},
        LineCase{"\"KEY\",  value with blanks  ", true, "KEY", "value with blanks"},
        LineCase{"  \"NOCOMMA\"  ", true, "NOCOMMA", "\"NOCOMMA\""},
        LineCase{"\" K \",v", true, "K", "v"}, LineCase{"junk\"K\"x,v", true, "K", "v"},
        LineCase{"\"K\",\"a,b\"", true, "K", "\"a"}, LineCase{"\"K\",a,b,c", true, "K", "a"},
        LineCase{"no quotes, here", false, "", ""}, LineCase{"one \" quote, x", false, "", ""},
        LineCase{"\"\",empty key", true, "", "empty key"},
        LineCase{"\"K\",\tv\t", true, "K", "\tv\t"}));

TEST_F(ParamsTest, LineEndingsAllReadAlike) {
  const std::vector<std::string> files = {
      "\"MPORT\",1\r\n\"CONTRTYPE\",EZHR17\r\n",
      "\"MPORT\",1\n\"CONTRTYPE\",EZHR17\n",
      "\"MPORT\",1\r\n\"CONTRTYPE\",EZHR17",
      "\"MPORT\",1\n\"CONTRTYPE\",EZHR17\r\n",
      "\r\n\"MPORT\",1\r\n\r\n\"CONTRTYPE\",EZHR17\r\n\r\n",
  };
  for (const auto& bytes : files) {
    Put("P.TXT", bytes);
    ParamList list;
    ASSERT_EQ(ReadParFile(Path("P.TXT"), list), 1);
    ASSERT_EQ(list.size(), 2u) << bytes;
    EXPECT_EQ(list[0].key, "MPORT");
    EXPECT_EQ(Text(list[0].value), "1");
    EXPECT_EQ(list[1].key, "CONTRTYPE");
    EXPECT_EQ(Text(list[1].value), "EZHR17");
  }
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ParamsTest, MissingFileShowsMessageAndKeepsList) {
  for (const std::string name : {"NONE.TXT", "nodir/NONE.TXT"}) {
    ui_.boxes.clear();
    ParamList list = {{"KEEP", std::string("me")}};
    EXPECT_EQ(ReadParFile(Path(name), list), -1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].key, "KEEP");
    ASSERT_EQ(ui_.boxes.size(), 1u);
    EXPECT_EQ(ui_.boxes[0].text, "File " + Path(name) + " does not exist");
    EXPECT_EQ(ui_.boxes[0].title, "Norvantix");
    EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::None);
  }
}

TEST_F(ParamsTest, DirectoryOrOversizedFileFailsSilentlyAndKeepsList) {
  std::filesystem::create_directory(Path("SUB"));
  Put("BIG.TXT", "\"A\",1\r\n");
  ASSERT_EQ(::truncate(Path("BIG.TXT").c_str(), static_cast<off_t>(kMaxFileBytes + 1)), 0);
  for (const std::string name : {"SUB", "BIG.TXT"}) {
    ParamList list = {{"OLD", 1.0}};
    EXPECT_EQ(ReadParFile(Path(name), list), -1) << name;
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].key, "OLD");
  }
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ParamsTest, EmptyFileGivesEmptyList) {
  Put("E.TXT", "");
  ParamList list = {{"OLD", 1.0}};
  EXPECT_EQ(ReadParFile(Path("E.TXT"), list), 1);
  EXPECT_TRUE(list.empty());
}

TEST_F(ParamsTest, EntryLimit) {
  struct Case {
    int lines;
    int16_t result;
    size_t size;
  };
  for (const Case c : {Case{32767, 1, 32767u}, Case{32768, -1, 1u}}) {
    std::string bytes;
    for (int i = 0; i < c.lines; ++i) bytes += "\"K" + std::to_string(i) + "\",1\r\n";
    Put("MANY.TXT", bytes);
    ParamList list = {{"OLD", 1.0}};
    EXPECT_EQ(ReadParFile(Path("MANY.TXT"), list), c.result) << c.lines;
    EXPECT_EQ(list.size(), c.size) << c.lines;
  }
}

TEST_F(ParamsTest, GarbageNeverBreaksTheReader) {
  std::mt19937 rng(12345);
  static const char kChars[] = "\"\",,,\r\n\r\n  ab\0\xff";
  const std::string alphabet(kChars, sizeof kChars - 1);
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const size_t n = rng() % 2000;
    for (size_t i = 0; i < n; ++i) {
      bytes += (round % 2) ? static_cast<char>(rng() & 0xff) : alphabet[rng() % alphabet.size()];
    }
    Put("G.TXT", bytes);
    ParamList list;
    ASSERT_EQ(ReadParFile(Path("G.TXT"), list), 1);
    for (const auto& e : list) {
      EXPECT_EQ(e.key.find('\n'), std::string::npos);
      EXPECT_EQ(e.key.find('"'), std::string::npos);
    }
    // Written back and read again, every entry whose written line is long
    // enough to be read comes back.
    Put("G2.TXT", ParFileText(list));
    size_t readable = 0;
    for (const auto& e : list) readable += (e.key.size() + ParValueText(e.value).size() + 3 >= 5);
    ParamList again;
    ASSERT_EQ(ReadParFile(Path("G2.TXT"), again), 1);
    ASSERT_EQ(again.size(), readable);
  }
}

TEST_F(ParamsTest, RoundTripDropsRemarksShortLinesAndSpacing) {
  Put("C.TXT",
      "  \"MPORT\" ,  1 , port\r\n"
      "\r\n"
      "\"A\",\r\n"
      "\"CONTRTYPE\",EZHR17,controller type\r\n"
      "\"W1_INSTALLED\", 1\r\n");
  ParamList list;
  ASSERT_EQ(ReadParFile(Path("C.TXT"), list), 1);
  ASSERT_EQ(WriteParFile(Path("C.TXT"), list), 1);
  EXPECT_EQ(Get("C.TXT"), "\"MPORT\",1\r\n\"CONTRTYPE\",EZHR17\r\n\"W1_INSTALLED\",1\r\n");
}

struct NumberCase {
  std::string key;
  double value;
  std::string line;
};

class WrittenNumbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(WrittenNumbers, Form) {
  const NumberCase& c = GetParam();
  ParamList list;
  double v = c.value;
  ASSERT_EQ(ParList(list, c.key, v, "to"), 1);
  EXPECT_EQ(ParFileText(list), c.line + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, WrittenNumbers,
    ::testing::Values(NumberCase{"PORTTIMEOUT", 500, "\"PORTTIMEOUT\", 500"},
                      NumberCase{"JAXIS1_L", 120, "\"JAXIS1_L\", 120"},
                      NumberCase{"JAXIS1_L", -12, "\"JAXIS1_L\",-12"},
                      NumberCase{"JLATENT", 0.5, "\"JLATENT\", .5"},
                      NumberCase{"JLATENT", -0.25, "\"JLATENT\",-.25"},
                      NumberCase{"Z", 0, "\"Z\", 0"}, NumberCase{"F", 12.5, "\"F\", 12.5"},
                      NumberCase{"BIG", 1e20, "\"BIG\", 100000000000000000000"},
                      NumberCase{"TINY", 1e-7, "\"TINY\", .0000001"}));

TEST_F(ParamsTest, LineBreaksInsideValuesCannotAddEntries) {
  ParamList list;
  std::string v = "x\r\n\"MPORT\",5";
  ASSERT_EQ(ParList(list, "A\nB", v, "to"), 1);
  ASSERT_EQ(WriteParFile(Path("L.TXT"), list), 1);
  ParamList back;
  ASSERT_EQ(ReadParFile(Path("L.TXT"), back), 1);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].key, "A B");
}

// --- modes ---

ParamList Sample() {
  return {{"MPORT", std::string("1")},
          {"DUP", std::string("first")},
          {"DUP", std::string("second")},
          {"NUM", 2.5},
          {"WORD", std::string("abc")}};
}

struct FromCase {
  std::string key;
  int16_t result;
  std::string text;  // expected text after "from" into a text variable
};

class FromText : public ::testing::TestWithParam<FromCase> {};

TEST_P(FromText, Lookup) {
  ParamList list = Sample();
  std::string v = "unchanged";
  EXPECT_EQ(ParList(list, GetParam().key, v, "from"), GetParam().result);
  EXPECT_EQ(v, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Keys, FromText,
                         ::testing::Values(FromCase{"MPORT", 1, "1"},
                                           FromCase{"mport", -1, "unchanged"},
                                           FromCase{" MPORT", -1, "unchanged"},
                                           FromCase{"MPOR", -1, "unchanged"},
                                           FromCase{"DUP", 1, "first"}, FromCase{"NUM", 1, "2.5"},
                                           FromCase{"WORD", 1, "abc"}));

TEST(ParListNumbers, FromIntoNumber) {
  struct Case {
    std::string key;
    int16_t result;
    double value;
  };
  for (const Case& c : {Case{"MPORT", 1, 1.0}, Case{"NUM", 1, 2.5},
                        Case{"WORD", kParNotANumber, -7.0}, Case{"missing", -1, -7.0}}) {
    ParamList list = Sample();
    double v = -7.0;
    EXPECT_EQ(ParList(list, c.key, v, "from"), c.result) << c.key;
    EXPECT_EQ(v, c.value) << c.key;
  }
}

TEST(ParListModes, ToChangesFirstOrAppends) {
  ParamList list = Sample();
  std::string v = "new";
  ASSERT_EQ(ParList(list, "DUP", v, "to"), 1);
  EXPECT_EQ(Text(list[1].value), "new");
  EXPECT_EQ(Text(list[2].value), "second");
  double d = 7;
  ASSERT_EQ(ParList(list, "WORD", d, "to"), 1);
  EXPECT_EQ(std::get<double>(list[4].value), 7.0);  // keeps the caller's type
  ASSERT_EQ(ParList(list, "NEWKEY", d, "to"), 1);
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list.back().key, "NEWKEY");
}

TEST(ParListModes, ClearLeavesExactlyOneEntry) {
  for (ParamList list : {ParamList{}, Sample()}) {
    double d = 3;
    ASSERT_EQ(ParList(list, "MPORT", d, "clear"), 1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].key, "MPORT");
    EXPECT_EQ(std::get<double>(list[0].value), 3.0);
  }
}

TEST(ParListModes, OtherWordsDoNothing) {
  for (const std::string mode : {"From", "TO", "Clear", "", "from ", "x"}) {
    ParamList list = Sample();
    std::string v = "keep";
    EXPECT_EQ(ParList(list, "MPORT", v, mode), 0) << mode;
    EXPECT_EQ(ParList(list, "NEW", v, mode), 0) << mode;
    EXPECT_EQ(v, "keep");
    EXPECT_EQ(list.size(), Sample().size());
    EXPECT_EQ(Text(list[0].value), "1");
  }
}

TEST(ParListModes, ToRefusesToGrowBeyondTheIndexRange) {
  ParamList list(static_cast<size_t>(kMaxListEntries), ParEntry{"K", std::string("v")});
  std::string v = "x";
  EXPECT_EQ(ParList(list, "NEW", v, "to"), -1);
  EXPECT_EQ(list.size(), static_cast<size_t>(kMaxListEntries));
  EXPECT_EQ(ParList(list, "K", v, "to"), 1);  // an existing key still changes
}

TEST_F(ParamsTest, ToAppendedKeyIsTheLastLineWritten) {
  Put("TEST.TXT", "\"MPORT\",1\r\n\"PORTTIMEOUT\",300\r\n");
  ASSERT_EQ(ReadCurPar(), 1);
  double d = 1;
  ASSERT_EQ(Par("JOYSTARTON", d, "to"), 1);
  ASSERT_EQ(WriteCurPar(), 1);
  EXPECT_EQ(Get("TEST.TXT"), "\"MPORT\",1\r\n\"PORTTIMEOUT\",300\r\n\"JOYSTARTON\", 1\r\n");
}

TEST_F(ParamsTest, ParIsSilentParMsgReportsMissingKeys) {
  Put("TEST.TXT", "\"MPORT\",1\r\n\"WORD\",abc\r\n");
  ASSERT_EQ(ReadCurPar(), 1);
  double d = 9;
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
  EXPECT_EQ(ParMsg("MPORT", s, "From"), 0);
  EXPECT_EQ(ui_.boxes.size(), 1u);
}

TEST_F(ParamsTest, ReadParAndReadCurParUseTheCurrentFile) {
  SetParFile("X.TXT");
  EXPECT_EQ(GetParPath(), dir_ + "X.TXT");
  Put("X.TXT", "\"A\",11\r\n");
  ParamList mine;
  ASSERT_EQ(ReadPar(mine), 1);
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(ParCount(), 0);  // ReadPar leaves the current list alone
  ASSERT_EQ(ReadCurPar(), 1);
  EXPECT_EQ(ParCount(), 1);
}

TEST_F(ParamsTest, GetAndSetByIndex) {
  Put("TEST.TXT", "\"A\",1\r\n\"B\",2\r\n");
  ASSERT_EQ(ReadCurPar(), 1);
  ASSERT_EQ(ParCount(), 2);
  struct Case {
    int16_t index;
    int16_t result;
    std::string key;
  };
  for (const Case& c :
       {Case{0, 1, "A"}, Case{1, 1, "B"}, Case{-1, -1, "UNDEFINED"}, Case{2, -1, "UNDEFINED"},
        Case{32767, -1, "UNDEFINED"}, Case{-32768, -1, "UNDEFINED"}}) {
    std::string key = "x";
    ParValue value = std::string("y");
    EXPECT_EQ(GetParAt(c.index, key, value), c.result) << c.index;
    EXPECT_EQ(key, c.key);
    if (c.result < 0) {
      ASSERT_TRUE(std::holds_alternative<double>(value));
      EXPECT_EQ(std::get<double>(value), 0.0);
    }
    const int16_t set = SetParAt(c.index, ParValue{42.0});
    EXPECT_EQ(set, c.result) << c.index;
  }
  EXPECT_EQ(ParCount(), 2);
  EXPECT_EQ(std::get<double>(CurParList()[1].value), 42.0);
}

// --- atomic writes ---

TEST_F(ParamsTest, FailedWriteLeavesOldFileByteForByte) {
  const std::string old = "\"OLD\",1,remark\r\n\xff\x00garbage";
  // A name of the longest length a directory holds: the file exists, but no
  // temporary name beside it can be made.
  const std::string longName(255, 'L');
  Put(longName, old);
  ASSERT_EQ(Get(longName), old);
  ParamList list = {{"NEW", 2.0}};
  EXPECT_EQ(WriteParFile(Path(longName), list), -1);
  EXPECT_EQ(Get(longName), old);
  EXPECT_EQ(FilesInDir(), 1u);

  // A directory standing at the path is never replaced.
  std::filesystem::create_directory(Path("D"));
  EXPECT_EQ(WriteParFile(Path("D"), list), -1);
  EXPECT_TRUE(std::filesystem::is_directory(Path("D")));
  EXPECT_EQ(FilesInDir(), 2u);

  // A missing directory is not made.
  EXPECT_EQ(WriteParFile(Path("nodir/A.TXT"), list), -1);
  EXPECT_FALSE(std::filesystem::exists(Path("nodir")));
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(ParamsTest, WriteFailingHalfwayLeavesOldFileAndNoTemporary) {
  // A file size limit stands in for a full disk: the new contents cannot all
  // be written.
  const std::string old = "\"OLD\",1\r\n";
  Put("F.TXT", old);
  ParamList list;
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
  EXPECT_EQ(Get("F.TXT"), old);
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(ParamsTest, WriteKeepsPermissionsAndLeavesNoTemporaryFile) {
  Put("P.TXT", "\"A\",1\r\n");
  ASSERT_EQ(::chmod(Path("P.TXT").c_str(), 0640), 0);
  ParamList list = {{"B", 2.0}};
  ASSERT_EQ(WriteParFile(Path("P.TXT"), list), 1);
  EXPECT_EQ(Get("P.TXT"), "\"B\", 2\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(Path("P.TXT").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(ParamsTest, WriteFileAtomicEdges) {
  EXPECT_EQ(WriteFileAtomic("", "x"), -1);
  EXPECT_EQ(WriteFileAtomic(dir_, "x"), -1);  // ends in '/'
  EXPECT_EQ(WriteFileAtomic(Path("N.TXT"), ""), 1);
  EXPECT_EQ(Get("N.TXT"), "");
  EXPECT_EQ(WriteFileAtomic(Path("N.TXT"), std::string("a\0b", 3)), 1);
  EXPECT_EQ(Get("N.TXT"), std::string("a\0b", 3));
}

}  // namespace
}  // namespace nvx::test
