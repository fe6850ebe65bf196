#include "core/file_rules.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace nvx {

namespace fs = std::filesystem;

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// '*' and '?' against a whole name, without regard to case. Greedy with one
// back-track point, so the time is at most name length times pattern length.
bool MatchOne(std::string_view name, std::string_view pat) {
  size_t n = 0, p = 0;
  size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() && (pat[p] == '?' || (pat[p] != '*' && Lower(pat[p]) == Lower(name[n])))) {
      ++n;
      ++p;
    } else if (p < pat.size() && pat[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

std::string TwoDigits(int v) {
  std::string s = std::to_string(v < 0 ? 0 : v % 100);
  return s.size() < 2 ? "0" + s : s;
}

int Hour12(int hour) {
  const int h = hour % 12;
  return h == 0 ? 12 : h;
}

FileTime ToFileTime(time_t t) {
  FileTime ft;
  struct tm tmv {};
  if (localtime_r(&t, &tmv) == nullptr) return ft;
  ft.year = tmv.tm_year + 1900;
  ft.month = tmv.tm_mon + 1;
  ft.day = tmv.tm_mday;
  ft.hour = tmv.tm_hour;
  ft.minute = tmv.tm_min;
  ft.second = tmv.tm_sec;
  return ft;
}

bool LessNoCase(const std::string& a, const std::string& b) {
  const bool less = std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Lower(x) < Lower(y); });
  if (less) return true;
  const bool greater = std::lexicographical_compare(
      b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) { return Lower(x) < Lower(y); });
  return !greater && a < b;
}

bool Hidden(const std::string& name) { return name.empty() || name[0] == '.'; }

bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() + 1) {
      const std::string_view d = s.substr(i + 1, 3);
      if (d.size() == 3 &&
          std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out.push_back(static_cast<char>(((d[0] - '0') << 6) | ((d[1] - '0') << 3) | (d[2] - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

bool PathWithin(const std::string& inner, const std::string& outer) {
  if (inner == outer) return true;
  if (outer == "/") return true;
  return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
         inner[outer.size()] == '/';
}

std::string Canonical(const std::string& p) {
  std::error_code ec;
  fs::path c = fs::weakly_canonical(fs::path(p), ec);
  if (ec) return NormalDir(p);
  return NormalDir(c.string());
}

}  // namespace

// --- patterns ---

bool MatchPattern(std::string_view name, std::string_view pattern) {
  if (pattern.empty()) return true;
  size_t start = 0;
  while (start <= pattern.size()) {
    size_t end = pattern.find(';', start);
    if (end == std::string_view::npos) end = pattern.size();
    std::string_view one = pattern.substr(start, end - start);
    while (!one.empty() && one.front() == ' ') one.remove_prefix(1);
    while (!one.empty() && one.back() == ' ') one.remove_suffix(1);
    if (!one.empty()) {
      if (MatchOne(name, one)) return true;
      // "NAME.*" also takes a name without any extension.
      if (one.size() >= 2 && one.substr(one.size() - 2) == ".*" &&
          name.find('.') == std::string_view::npos && MatchOne(name, one.substr(0, one.size() - 2)))
        return true;
    }
    start = end + 1;
  }
  return false;
}

std::vector<std::string> SplitPatterns(std::string_view patterns) {
  std::vector<std::string> out;
  std::string rest(patterns);
  rest += ' ';
  size_t start = 0;
  while (start < rest.size()) {
    const size_t blank = rest.find(' ', start);
    out.push_back(rest.substr(start, blank - start));
    start = blank + 1;
  }
  return out;
}

// --- texts ---

std::string PadLeft(std::string_view text, size_t width) {
  // Widths count characters: a UTF-8 sequence (a name such as "Größe.txt",
  // a locale's group separator such as U+202F) takes one column.
  const size_t chars = static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
  std::string out;
  if (chars < width) out.assign(width - chars, ' ');
  out.append(text);
  return out;
}

std::string GroupedSize(uint64_t size, std::string_view separator) {
  if (size == 0) return {};
  const std::string digits = std::to_string(size);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.append(separator);
    out.push_back(digits[i]);
  }
  return out;
}

std::string ListingDate(const FileTime& t) {
  return TwoDigits(t.month) + "-" + TwoDigits(t.day) + "-" + std::to_string(t.year) + " " +
         TwoDigits(Hour12(t.hour)) + ":" + TwoDigits(t.minute) + (t.hour < 12 ? "AM" : "PM");
}

std::string GeneralDate(const FileTime& t) {
  return std::to_string(t.month) + "/" + std::to_string(t.day) + "/" + std::to_string(t.year) +
         " " + std::to_string(Hour12(t.hour)) + ":" + TwoDigits(t.minute) + ":" +
         TwoDigits(t.second) + (t.hour < 12 ? " AM" : " PM");
}

std::string FileClickText(const FileEntry& e) {
  return e.name + " " + GeneralDate(e.time) + " " + std::to_string(e.size);
}

std::string ListingLine(const FileEntry& e, std::string_view separator) {
  return PadLeft(e.name, 30) + PadLeft(GroupedSize(e.size, separator), 12) +
         PadLeft(ListingDate(e.time), 20);
}

std::string FileListing(std::string_view dirText, std::string_view patternText,
                        const std::vector<FileEntry>& entries, std::string_view separator) {
  std::string out = JoinPath(dirText, patternText) + "\r\n";
  for (const FileEntry& e : entries) {
    out += "\r\n";
    out += ListingLine(e, separator);
  }
  return out;
}

// --- paths ---

std::string JoinPath(std::string_view dir, std::string_view name) {
  std::string out(dir);
  if (out.empty() || out.back() != '/') out.push_back('/');
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  out.append(name);
  return out;
}

std::string ParentDir(std::string_view dir) {
  std::string d = NormalDir(dir);
  const size_t slash = d.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return d.substr(0, slash);
}

std::string NormalDir(std::string_view dir) {
  std::error_code ec;
  fs::path p{std::string(dir)};
  if (p.empty()) p = ".";
  if (p.is_relative()) {
    const fs::path cwd = fs::current_path(ec);
    p = (ec ? fs::path("/") : cwd) / p;
  }
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s.empty() ? "/" : s;
}

// --- directory contents ---

std::optional<FileEntry> StatFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  FileEntry e;
  e.name = fs::path(path).filename().string();
  e.size = static_cast<uint64_t>(st.st_size);
  e.time = ToFileTime(st.st_mtime);
  return e;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<FileEntry> ListFiles(const std::string& dir, std::string_view pattern) {
  std::vector<FileEntry> out;
  std::error_code ec;
  fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (Hidden(name) || !MatchPattern(name, pattern)) continue;
    auto e = StatFile(it->path().string());
    if (e) out.push_back(std::move(*e));
  }
  std::sort(out.begin(), out.end(),
            [](const FileEntry& a, const FileEntry& b) { return LessNoCase(a.name, b.name); });
  return out;
}

std::vector<std::string> ListSubdirs(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (Hidden(name)) continue;
    if (IsDirectory(it->path().string())) out.push_back(name);
  }
  std::sort(out.begin(), out.end(), LessNoCase);
  return out;
}

// --- drives ---

std::vector<std::string> RealMountPoints(std::string_view mountsText) {
  static const char* const kReal[] = {
      "ext2",  "ext3",    "ext4", "xfs",     "btrfs", "vfat",     "msdos", "exfat",    "ntfs",
      "ntfs3", "fuseblk", "hfs",  "hfsplus", "jfs",   "reiserfs", "f2fs",  "zfs",      "iso9660",
      "udf",   "nfs",     "nfs4", "cifs",    "smb3",  "smbfs",    "9p",    "virtiofs", "overlay"};
  static const char* const kPseudo[] = {
      "proc",   "sysfs",    "cgroup",  "cgroup2",    "tmpfs",      "devtmpfs",
      "devpts", "mqueue",   "debugfs", "tracefs",    "securityfs", "pstore",
      "bpf",    "configfs", "fusectl", "hugetlbfs",  "autofs",     "binfmt_misc",
      "nsfs",   "efivarfs", "ramfs",   "rpc_pipefs", "selinuxfs",  "squashfs"};
  std::vector<std::string> out{"/"};
  size_t start = 0;
  while (start < mountsText.size()) {
    size_t end = mountsText.find('\n', start);
    if (end == std::string_view::npos) end = mountsText.size();
    const std::string_view line = mountsText.substr(start, end - start);
    start = end + 1;
    // source mountpoint type options ...
    std::vector<std::string_view> f;
    size_t p = 0;
    while (p < line.size() && f.size() < 3) {
      while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
      const size_t q = line.find_first_of(" \t", p);
      const size_t e = q == std::string_view::npos ? line.size() : q;
      if (e > p) f.push_back(line.substr(p, e - p));
      p = e;
    }
    if (f.size() < 3) continue;
    const std::string type(f[2]);
    if (std::any_of(std::begin(kPseudo), std::end(kPseudo),
                    [&](const char* t) { return type == t; }))
      continue;
    const bool real =
        std::any_of(std::begin(kReal), std::end(kReal), [&](const char* t) { return type == t; }) ||
        f[0].substr(0, 5) == "/dev/";
    if (!real) continue;
    std::string point = Unescape(f[1]);
    if (point.empty() || point[0] != '/') continue;
    if (PathWithin(point, "/proc") || PathWithin(point, "/sys") || PathWithin(point, "/dev"))
      continue;
    while (point.size() > 1 && point.back() == '/') point.pop_back();
    if (std::find(out.begin(), out.end(), point) == out.end()) out.push_back(point);
  }
  return out;
}

std::vector<std::string> SystemMountPoints() {
  std::ifstream in("/proc/self/mounts", std::ios::binary);
  std::string text;
  if (in) {
    // The table is small; stop reading at 1 MiB all the same.
    char buf[4096];
    while (in && text.size() < (1u << 20)) {
      in.read(buf, sizeof buf);
      text.append(buf, static_cast<size_t>(in.gcount()));
    }
  }
  std::vector<std::string> out;
  for (const std::string& m : RealMountPoints(text))
    if (IsDirectory(m)) out.push_back(m);
  if (out.empty()) out.push_back("/");
  return out;
}

std::string DriveOfPath(std::string_view path, const std::vector<std::string>& mounts) {
  const std::string p = NormalDir(path);
  std::string best = "/";
  for (const std::string& m : mounts) {
    if (m != "/" && PathWithin(p, m) && m.size() > best.size()) best = m;
  }
  return best;
}

// --- operations ---

int16_t NewFolderPath(const std::string& dir, const std::string& answer, std::string& path,
                      std::string& message) {
  path.clear();
  message.clear();
  if (answer.empty()) return 0;
  if (!IsPlainName(answer)) {
    message = answer + " is not a valid folder name";
    return -1;
  }
  path = JoinPath(dir, answer);
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    message = (S_ISDIR(st.st_mode) ? "Folder " : "A file named ") + path + " already exists";
    path.clear();
    return -1;
  }
  return 1;
}

int16_t CreateFolder(const std::string& path, std::string& message) {
  message.clear();
  if (::mkdir(path.c_str(), 0777) == 0) return 1;
  if (errno == EEXIST) message = "Folder " + path + " already exists";
  else message = "Folder " + path + " could not be created";
  return -1;
}

bool RemoveEmptyFolder(const std::string& dir) {
  if (dir.empty() || NormalDir(dir) == "/") return false;
  return ::rmdir(dir.c_str()) == 0;
}

FileOpResult DeleteFiles(const std::string& dir, const std::vector<std::string>& names) {
  FileOpResult r;
  for (const std::string& name : names) {
    if (!IsPlainName(name)) {
      r.messages.push_back(name + " is not a file name");
      continue;
    }
    const std::string path = JoinPath(dir, name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;  // gone meanwhile
    if (S_ISDIR(st.st_mode)) {
      r.messages.push_back(path + " is a folder, not a file");
      continue;
    }
    if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
      r.messages.push_back("File " + path + " is write-protected");
      continue;
    }
    if (::unlink(path.c_str()) != 0) {
      r.messages.push_back("File " + path + " could not be deleted");
      continue;
    }
    ++r.count;
  }
  return r;
}

int16_t CopyFolderInto(const std::string& dir, const std::string& destParent,
                       std::string& message) {
  message.clear();
  const std::string src = Canonical(dir);
  const std::string dst = Canonical(destParent);
  if (src == "/" || !IsDirectory(src)) {
    message = "Folder " + dir + " cannot be copied";
    return -1;
  }
  if (!IsDirectory(dst)) {
    message = "Folder " + destParent + " does not exist";
    return -1;
  }
  if (PathWithin(dst, src)) {
    message = "Folder " + src + " cannot be copied into itself";
    return -1;
  }
  const std::string target = JoinPath(dst, fs::path(src).filename().string());
  std::error_code ec;
  if (fs::symlink_status(target, ec).type() != fs::file_type::not_found) {
    message = "Folder " + target + " already exists";
    return -1;
  }
  ec.clear();
  fs::copy(src, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove_all(target, ignored);
    message = "Folder " + src + " could not be copied to " + dst;
    return -1;
  }
  return 1;
}

FileOpResult CopyFilesInto(const std::string& dir, const std::vector<std::string>& names,
                           const std::string& destDir) {
  FileOpResult r;
  if (!IsDirectory(destDir)) {
    r.messages.push_back("Folder " + destDir + " does not exist");
    return r;
  }
  for (const std::string& name : names) {
    if (!IsPlainName(name)) continue;
    const std::string src = JoinPath(dir, name);
    if (!StatFile(src)) continue;
    const std::string target = JoinPath(destDir, name);
    std::error_code ec;
    if (fs::symlink_status(target, ec).type() != fs::file_type::not_found) {
      r.messages.push_back("File " + target + " already exists");
      continue;
    }
    ec.clear();
    if (!fs::copy_file(src, target, fs::copy_options::none, ec) || ec) {
      std::error_code ignored;
      fs::remove(target, ignored);
      r.messages.push_back("File " + src + " could not be copied to " + destDir);
      continue;
    }
    ++r.count;
  }
  return r;
}

}  // namespace nvx
