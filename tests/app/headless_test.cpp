// The program itself as a process: norvantix --exec in a temporary program
// directory, mostly on the simulated controllers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/process.h"
#include "support/temp_dir.h"

namespace nvx {
namespace {

using test::ProcessResult;
using test::RunProcess;
using test::TempDir;
namespace fs = std::filesystem;

class Headless : public ::testing::Test {
 protected:
  void SetUp() override { dir_.copyFrom(NVX_DATA_DIR); }

  void SetConfigLine(const std::string& key, const std::string& value) {
    std::string text = dir_.read("ZR_CONFIG.TXT");
    const auto p = text.find("\"" + key + "\"");
    if (p != std::string::npos) text.erase(p, text.find("\r\n", p) + 2 - p);
    if (!value.empty()) text += "\"" + key + "\"," + value + "\r\n";
    dir_.writeRaw("ZR_CONFIG.TXT", text);
  }

  ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), NVX_PROGRAM);
    return RunProcess(
        args, {{"XDG_RUNTIME_DIR", runtime_.path()}, {"QT_QPA_PLATFORM", "offscreen"}}, 120000);
  }

  TempDir dir_;
  TempDir runtime_;
};

// On an EZHR17: its raw status reply ("CON") holds bytes 0xFF and 0x03, printed escaped so
// that the line stays one line of text.
TEST_F(Headless, ExitStatusFollowsTheReplies) {
  struct Case {
    const char* line;
    const char* out;
    int code;
  };
  const Case cases[] = {
      {"F 3;F Wait;F ??;CON /1Q", "OK  ; OK  ; F 3 ; \\xFF/0`\\x03 ; ", 0},
      {"Ver", "4.0 ; ", 0},
      {"Ver;ver", "4.0 ; Error Unknown command ; ", 1},
      {"B 2", "Off  ; ", 1},  // wheel B is not installed here
      {"F 1;Delay 5;CommandCount", "OK  ; 5 ;  4 ; ", 0},
      {"F 99999", "Error  ; ", 1},
      {"", "", 0},
  };
  SetConfigLine("W2_INSTALLED", "0");
  SetConfigLine("CONTRTYPE", "EZHR17");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto r = Run({"--dir", dir_.path(), "--simulate", "--exec", c.line});
    EXPECT_EQ(r.out, std::string(c.out) + "\n") << r.err;
    EXPECT_EQ(r.exitCode, c.code);
  }
}

TEST_F(Headless, BadCommandLines) {
  using Args = std::vector<std::string>;
  for (const Args& args : {Args{"--exec"}, Args{"--dir"}, Args{"--bogus"}, Args{"stray"},
                           Args{"--exec", "Ver", "--automation"}, Args{"--run"},
                           Args{"--run", "P.PRG", "--exec", "Ver"}}) {
    const auto r = Run(args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("usage: norvantix"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
}

// The simulator reads both files itself, before the program starts.
TEST_F(Headless, DataFilesThatAreFifosNeverHangTheSimulator) {
  for (const char* name : {"ZR_CONFIG.TXT", "ZR_PARW1.TXT"}) {
    std::remove(dir_.file(name).c_str());
    ASSERT_EQ(::mkfifo(dir_.file(name).c_str(), 0600), 0);
  }
  const auto r = Run({"--dir", dir_.path(), "--simulate", "--exec", "Ver"});
  EXPECT_EQ(r.out, "4.0 ; \n") << r.err;
}

// The program as installed: <prefix>/bin/norvantix with the default data
// files read-only in <prefix>/share/norvantix uses the user's own program
// directory, filled from the defaults on its first start only.
TEST(InstalledLayout, FirstStartFillsTheUsersProgramDirectoryFromTheDefaults) {
  test::TempDir root;
  const fs::path prefix = root.file("usr");
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share");
  fs::copy(NVX_DATA_DIR, prefix / "share/norvantix", fs::copy_options::recursive);
  for (const auto& f : fs::directory_iterator(prefix / "share/norvantix")) {
    fs::permissions(f.path(), fs::perms::owner_write, fs::perm_options::remove);
  }
  fs::copy_file(NVX_PROGRAM, prefix / "bin/norvantix");
  const std::string user = root.file("config/norvantix/");
  auto run = [&](const std::string& line) {
    return test::RunProcess(
               {(prefix / "bin/norvantix").string(), "--simulate", "--exec", line},
               {{"XDG_CONFIG_HOME", root.file("config")}, {"XDG_RUNTIME_DIR", root.path()}}, 60000)
        .out;
  };

  EXPECT_EQ(run("F 3;F Wait;F ??"), "OK  ; OK  ; F 3 ; \n");
  for (const auto& f : fs::directory_iterator(prefix / "share/norvantix")) {
    const fs::path copy = user + f.path().filename().string();
    ASSERT_TRUE(fs::exists(copy)) << copy;
    EXPECT_NE(fs::status(copy).permissions() & fs::perms::owner_write, fs::perms::none);
  }
  // Later starts keep the user's files as they are, deleted ones included.
  std::ofstream(user + "ZR_SYMCONST.TXT") << "\"NEW\",5\r\n";
  fs::remove(user + "ZR_JOYCMDS.TXT");
  EXPECT_EQ(run("F NEW;F Wait;F ??"), "OK  ; OK  ; F 5 ; \n");
  EXPECT_FALSE(fs::exists(user + "ZR_JOYCMDS.TXT"));
}

// A second start is refused with exit status 3 and the message, while the
// first holds the lock; a crash leaves the lock file but not the lock. The
// start after it shows its message boxes on standard error.
TEST_F(Headless, SecondInstanceIsRefusedAndAStaleLockIsNot) {
  std::remove(dir_.file("ZR_SYMCONST.TXT").c_str());
  SetConfigLine("MPORT", "");
  SetConfigLine("W1_INSTALLED", "0");
  SetConfigLine("W2_INSTALLED", "0");
  SetConfigLine("PORTDEVICE", dir_.path() + "no-port");
  test::BackgroundProcess first({NVX_PROGRAM, "--dir", dir_.path(), "--exec", "Delay 20000"},
                                {{"XDG_RUNTIME_DIR", runtime_.path()}});
  // The kernel's lock table says when the first holds the lock, without
  // the test ever taking it.
  bool held = false;
  for (int i = 0; i < 600 && !held; ++i) {
    struct stat st {};
    if (::stat(runtime_.file("norvantix.lock").c_str(), &st) == 0) {
      std::ifstream locks("/proc/locks");
      for (std::string line; std::getline(locks, line);)
        held = held || (line.find("FLOCK") != std::string::npos &&
                        line.find(":" + std::to_string(st.st_ino) + " ") != std::string::npos);
    }
    if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(held);
  const ProcessResult second = Run({"--dir", dir_.path(), "--exec", "Ver"});
  EXPECT_EQ(second.exitCode, 3);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err,
            "Application is already running.\nIf user interface is not visible,\n"
            "restore form, or give Show command from a client.\n");
  first.Kill(SIGKILL);
  first.Wait(5000);
  const ProcessResult third = Run({"--dir", dir_.path(), "--exec", "Ver"});
  EXPECT_EQ(third.exitCode, 0) << third.err;
  EXPECT_EQ(third.out, "4.0 ; \n");
  EXPECT_NE(third.err.find("Parameter MPORT not found in " + dir_.file("ZR_CONFIG.TXT")),
            std::string::npos)
      << third.err;
  EXPECT_NE(third.err.find("File " + dir_.file("ZR_SYMCONST.TXT") + " does not exist"),
            std::string::npos);
}

}  // namespace
}  // namespace nvx
