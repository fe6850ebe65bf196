// Units from the wheel parameter files, and the norvantix-sim program.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "sim/sim.h"
#include "support/process.h"
#include "support/pty_line.h"
#include "support/temp_dir.h"

namespace nvx::sim {
namespace {

using test::TempDir;

// The line rules are the parameter files' own; here: the first value of a
// key wins, numbers come back as text, and binary text is read through.
TEST(SimFilesTest, ReadKeyFileTakesTheFirstValueOfEachKeyAndKindFromConfig) {
  TempDir d;
  d.write("K.TXT",
          "\"MPORT\",1\n  \"CONTRTYPE\" , EZHR17 , controller type\n\"W1_INSTALLED\",1,wheel F\n"
          "\"A\",\n\n\"MPORT\",2\nno key at all\n\"EMPTY\",\n\"NOCOMMA\" 5\n");
  using Keys = std::map<std::string, std::string>;
  Keys k, none;
  ASSERT_TRUE(ReadKeyFile(d.file("K.TXT"), k));
  EXPECT_EQ(k, (Keys{{"CONTRTYPE", "EZHR17"},
                     {"EMPTY", ""},
                     {"MPORT", "1"},
                     {"NOCOMMA", "\"NOCOMMA\" 5"},
                     {"W1_INSTALLED", "1"}}));
  EXPECT_FALSE(ReadKeyFile(d.file("MISSING.TXT"), none));
  std::string junk(3000, '\0');
  for (int i = 0; i < 3000; ++i) junk[i] = static_cast<char>((i * 37) % 256);
  d.writeRaw("J.TXT", junk);
  EXPECT_TRUE(ReadKeyFile(d.file("J.TXT"), none));
  // The controller type from the configuration file.
  struct Case {
    const char* config;  // nullptr: no file
    std::optional<ControllerKind> kind;
  };
  const Case cases[] = {
      {nullptr, ControllerKind::kIM483I},
      {"\"MPORT\",1\n", ControllerKind::kIM483I},
      {"\"CONTRTYPE\",EZHR17\n", ControllerKind::kEZHR17},
      {"\"CONTRTYPE\", IM483I ,remark\n", ControllerKind::kIM483I},
      {"\"CONTRTYPE\",ezhr17\n", std::nullopt},
      {"\"CONTRTYPE\",\n", std::nullopt},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.config) dir.write("ZR_CONFIG.TXT", c.config);
    EXPECT_EQ(KindFromConfig(dir.path()), c.kind) << (c.config ? c.config : "no file");
  }
  EXPECT_EQ(ParseControllerKind("IM483I"), ControllerKind::kIM483I);
  EXPECT_EQ(std::string(ControllerKindName(ControllerKind::kEZHR17)), "EZHR17");
}

struct UnitsCase {
  const char* name;
  const char* w1;  // nullptr: no file
  const char* w2;
  std::string addresses;
  std::vector<int32_t> slews;
};

TEST(SimFilesTest, UnitsFromParamFiles) {
  const UnitsCase cases[] = {
      {"both", "\"W1CONTR\",A\n\"W1SLEWVELOCITY\",4000\n", "\"W2CONTR\",B\n", "AB", {4000, 2000}},
      {"trimmed", "\"W1CONTR\", a \n", nullptr, "a", {2000}},
      {"first char", "\"W1CONTR\",12\n\"W1SLEWVELOCITY\",2500.5\n", nullptr, "1", {2500}},
      {"same address", "\"W1CONTR\",1\n", "\"W2CONTR\",1\n", "1", {2000}},
      {"other wheel's keys", "\"W2CONTR\",A\n", nullptr, "", {}},
      {"empty address", "\"W1CONTR\",\n", "\"W2CONTR\",2\n", "2", {2000}},
      {"bad speed", "\"W1CONTR\",A\n\"W1SLEWVELOCITY\",fast\n", nullptr, "A", {2000}},
      {"huge speed", "\"W1CONTR\",A\n\"W1SLEWVELOCITY\",1e12\n", nullptr, "A", {2000}},
      {"no files", nullptr, nullptr, "", {}},
  };
  for (const UnitsCase& c : cases) {
    TempDir d;
    if (c.w1) d.write("ZR_PARW1.TXT", c.w1);
    if (c.w2) d.write("ZR_PARW2.TXT", c.w2);
    std::vector<UnitConfig> units = UnitsFromParamFiles(d.path());
    std::string got;
    std::vector<int32_t> slews;
    for (const UnitConfig& u : units) {
      got += u.address;
      slews.push_back(u.slew_velocity);
    }
    EXPECT_EQ(got, c.addresses) << c.name;
    EXPECT_EQ(slews, c.slews) << c.name;
    // Without the trailing '/' the same.
    std::string dir = d.path();
    dir.pop_back();
    EXPECT_EQ(UnitsFromParamFiles(dir).size(), units.size()) << c.name;
  }
}

// The first line of a file, once it is there (waiting up to 5 s).
std::string FirstLine(const std::string& path) {
  for (int i = 0; i < 500; ++i) {
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (const auto nl = text.find('\n'); nl != std::string::npos) return text.substr(0, nl);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return "";
}

TEST(SimProgramTest, ServesTheConfiguredTypeEndsOnSignalAndRefusesUnknownOnes) {
  struct Case {
    const char* name;
    const char* config;
    std::vector<std::string> extra;
    std::string request, reply;
    int sig;
  };
  const Case cases[] = {
      {"IM483I by config", "\"CONTRTYPE\",IM483I\n", {}, "AZ\n", "AZ 0\n", SIGTERM},
      {"EZHR17 by config", "\"CONTRTYPE\",EZHR17\n", {}, "/A?0\r", "\xFF/0`0\x03\r\n", SIGINT},
      {"type given", "\"CONTRTYPE\",EZHR17\n", {"--type", "IM483I"}, "AZ\n", "AZ 0\n", SIGTERM},
      {"paced", "", {"--paced"}, "A^\n", "A^ 0\n", SIGTERM},
  };
  for (const Case& c : cases) {
    TempDir d;
    d.write("ZR_CONFIG.TXT", c.config);
    d.write("ZR_PARW1.TXT", "\"W1CONTR\",A\n");
    // The program's output goes to a file, from which its first line (the
    // line's device) is read.
    std::vector<std::string> args = {"/bin/sh",       "-c",    "exec \"$0\" \"$@\" >\"$NVX_OUT\"",
                                     NVX_SIM_PROGRAM, "--dir", d.path()};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    test::BackgroundProcess prog(args, {{"NVX_OUT", d.file("out")}});
    std::string path = FirstLine(d.file("out"));
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << c.name << ": " << path;
    {
      test::PtyLine line(path);
      ASSERT_TRUE(line.Ok()) << c.name;
      std::string end = c.reply.substr(c.reply.size() - 1);
      EXPECT_EQ(line.Exchange(c.request, end), c.reply) << c.name;
    }
    prog.Kill(c.sig);
    EXPECT_EQ(prog.Wait(5000), 0) << c.name;
  }
  // An unknown type or argument is refused.
  TempDir d;
  using Args = std::vector<std::string>;
  for (const Args& args : {Args{NVX_SIM_PROGRAM, "--dir", d.path(), "--type", "ezhr17"},
                           Args{NVX_SIM_PROGRAM, "--bogus"}}) {
    EXPECT_EQ(test::RunProcess(args, {}, 5000).exitCode, 2) << args.back();
  }
}

}  // namespace
}  // namespace nvx::sim
