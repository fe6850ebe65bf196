#include "core/program_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef NVX_DATA_FROM_BIN
#define NVX_DATA_FROM_BIN "../share/norvantix"
#endif

namespace nvx {

namespace fs = std::filesystem;

namespace {

// Every program directory holds the configuration; its presence marks one.
constexpr const char* kMarkerFile = "ZR_CONFIG.TXT";

std::string WithSlash(std::string dir) {
  if (dir.empty()) dir = ".";
  if (dir.back() != '/') dir += '/';
  return dir;
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

// $XDG_CONFIG_HOME when it is an absolute path (as the XDG rules require),
// else $HOME/.config, else the account's home directory + /.config.
std::string ConfigHome() {
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') return x;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') return std::string(h) + "/.config";
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
    return std::string(pw->pw_dir) + "/.config";
  }
  return {};
}

}  // namespace

std::string ExecutableDir() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  const std::string path(buf, static_cast<size_t>(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

ProgramDirChoice ChooseProgramDir(const std::string& exeDir, const std::string& dataFromBin) {
  const std::string own = WithSlash(exeDir);
  if (IsFile(own + kMarkerFile)) return {own, ""};
  const std::string defaults = WithSlash(own + dataFromBin);
  const std::string home = ConfigHome();
  if (!IsFile(defaults + kMarkerFile) || home.empty()) return {own, ""};
  return {WithSlash(home + "/norvantix"), defaults};
}

ProgramDirChoice DefaultProgramDir() {
  return ChooseProgramDir(ExecutableDir(), NVX_DATA_FROM_BIN);
}

bool FillProgramDir(const std::string& dir, const std::string& defaultsDir, std::string& error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    error = "cannot create " + dir + ": " + ec.message();
    return false;
  }
  fs::directory_iterator it(defaultsDir, ec);
  if (ec) {
    error = "cannot read " + defaultsDir + ": " + ec.message();
    return false;
  }
  bool ok = true;
  for (const fs::directory_entry& entry : it) {
    if (!entry.is_regular_file(ec)) continue;
    const fs::path target = fs::path(dir) / entry.path().filename();
    if (fs::exists(target, ec)) continue;
    // A copy that fails half-way never leaves a truncated data file.
    const fs::path temp = target.string() + ".tmp";
    fs::copy_file(entry.path(), temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
      // The installed defaults are read-only; the user's copies are theirs.
      fs::permissions(temp, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                      ec);
    }
    if (!ec) fs::rename(temp, target, ec);
    if (ec) {
      fs::remove(temp, ec);
      error = "cannot copy " + entry.path().string() + " to " + target.string();
      ok = false;
    }
  }
  return ok;
}

std::string PrepareProgramDir(const std::string& given, std::string& error) {
  if (!given.empty()) return given;
  const ProgramDirChoice choice = DefaultProgramDir();
  // The first start fills the directory; later starts find the configuration
  // there and leave the user's files alone, deleted ones included.
  if (!choice.defaultsDir.empty() && !IsFile(choice.dir + kMarkerFile)) {
    FillProgramDir(choice.dir, choice.defaultsDir, error);
  }
  return choice.dir;
}

}  // namespace nvx
