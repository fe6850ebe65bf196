// The program as installed: <prefix>/bin/norvantix with the default data
// files read-only in <prefix>/share/norvantix uses the user's own program
// directory, filled from the defaults on its first start only.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/process.h"
#include "support/temp_dir.h"

namespace nvx {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace nvx
