#include "params/trapar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <type_traits>
#include <utility>

#include "base/numbers.h"
#include "base/ui.h"

namespace nvx {

namespace {

std::string g_parDir;
std::string g_parFile;
ParamList g_curList;

const std::string kCrLf = "\r\n";

enum class FileRead { Ok, Missing, Failed };

// Reads a whole regular file. A path with nothing at it is Missing; a path
// that holds something that is not a readable regular file (a directory, a
// device, a FIFO), a read error, or a file above kMaxFileBytes is Failed.
FileRead ReadWholeFile(const std::string& path, std::string& out) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    return (errno == ENOENT || errno == ENOTDIR || path.empty()) ? FileRead::Missing
                                                                 : FileRead::Failed;
  }
  // O_NONBLOCK keeps a FIFO swapped in after the stat from blocking the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
    ::close(fd);
    return FileRead::Failed;
  }
  std::string data;
  data.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return FileRead::Failed;
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
    if (data.size() > kMaxFileBytes) {  // the file grew while being read
      ::close(fd);
      return FileRead::Failed;
    }
  }
  ::close(fd);
  out = std::move(data);
  return FileRead::Ok;
}

// Calls fn with each line of file bytes until it returns false: a line ends
// at LF, with a CR just before the LF dropped; a last line without an ending
// counts, an ending at the very end of the data opens no further line.
template <typename Fn>
void ForEachLine(std::string_view data, Fn fn) {
  size_t start = 0;
  while (start < data.size()) {
    const size_t lf = data.find('\n', start);
    const size_t end = lf == std::string_view::npos ? data.size() : lf;
    size_t len = end - start;
    if (lf != std::string_view::npos && len > 0 && data[end - 1] == '\r') --len;
    if (!fn(data.substr(start, len))) return;
    if (lf == std::string_view::npos) return;
    start = lf + 1;
  }
}

void ShowMissing(const std::string& path) {
  GetUi().MessageBox("File " + path + " does not exist", "Norvantix", MsgIcon::None);
}

// Line breaks inside a key or a value would start a new line, and so a new
// entry, when the file is read back; they are written as blanks.
std::string OneLine(std::string s) {
  for (char& c : s) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return s;
}

ParEntry* FindFirst(ParamList& list, const std::string& key) {
  for (auto& e : list) {
    if (e.key == key) return &e;
  }
  return nullptr;
}

template <typename T>
int16_t ParListImpl(ParamList& list, const std::string& key, T& value, const std::string& mode) {
  if (mode == "from") {
    ParEntry* e = FindFirst(list, key);
    if (!e) return -1;
    if constexpr (std::is_same_v<T, double>) {
      if (const double* d = std::get_if<double>(&e->value)) {
        value = *d;
        return 1;
      }
      const auto n = ParseNumber(std::get<std::string>(e->value));
      if (!n) return kParNotANumber;
      value = *n;
      return 1;
    } else {
      if (const double* d = std::get_if<double>(&e->value)) {
        value = FormatNumber(*d);
      } else {
        value = std::get<std::string>(e->value);
      }
      return 1;
    }
  }
  if (mode == "to") {
    if (ParEntry* e = FindFirst(list, key)) {
      e->value = value;
      return 1;
    }
    if (list.size() >= static_cast<size_t>(kMaxListEntries)) return -1;
    list.push_back(ParEntry{key, ParValue{value}});
    return 1;
  }
  if (mode == "clear") {
    list.clear();
    list.push_back(ParEntry{key, ParValue{value}});
    return 1;
  }
  return 0;
}

template <typename T>
int16_t ParMsgImpl(const std::string& key, T& value, const std::string& mode) {
  const int16_t r = ParListImpl(g_curList, key, value, mode);
  if (r == -1) {
    GetUi().MessageBox("Parameter " + key + " not found in " + GetParPath(), "Norvantix",
                       MsgIcon::Critical);
  }
  return r;
}

bool InRange(int16_t index, size_t size) { return index >= 0 && static_cast<size_t>(index) < size; }

}  // namespace

// --- the current parameter file ---

void SetParDir(const std::string& dir) { g_parDir = dir; }
void SetParFile(const std::string& name) { g_parFile = name; }
std::string GetParPath() { return g_parDir + g_parFile; }
ParamList& CurParList() { return g_curList; }

// --- parameter files ---

bool ParseParLine(std::string_view line, ParEntry& entry) {
  if (line.size() < 5) return false;
  const size_t q1 = line.find('"');
  if (q1 == std::string_view::npos) return false;
  const size_t q2 = line.find('"', q1 + 1);
  if (q2 == std::string_view::npos) return false;
  entry.key = TrimBlanks(line.substr(q1 + 1, q2 - q1 - 1));
  const size_t c1 = line.find(',');
  std::string_view value;
  if (c1 == std::string_view::npos) {
    value = line;
  } else {
    const size_t c2 = line.find(',', c1 + 1);
    value = c2 == std::string_view::npos ? line.substr(c1 + 1) : line.substr(c1 + 1, c2 - c1 - 1);
  }
  entry.value = TrimBlanks(value);
  return true;
}

// Reads a whole file; a missing one is reported with its message box, any
// other failure silently. True when the file was read.
static bool ReadFileOrReport(const std::string& path, std::string& data) {
  switch (ReadWholeFile(path, data)) {
    case FileRead::Missing: ShowMissing(path); return false;
    case FileRead::Failed: return false;
    case FileRead::Ok: break;
  }
  return true;
}

int16_t ParseParData(std::string_view data, ParamList& list) {
  ParamList read;
  ParEntry entry;
  bool tooMany = false;
  ForEachLine(data, [&](std::string_view line) {
    if (!ParseParLine(line, entry)) return true;
    if (read.size() >= static_cast<size_t>(kMaxListEntries)) {
      tooMany = true;
      return false;
    }
    read.push_back(std::move(entry));
    entry = ParEntry{};
    return true;
  });
  if (tooMany) return -1;
  read.shrink_to_fit();
  list = std::move(read);
  return 1;
}

int16_t ReadParFile(const std::string& path, ParamList& list) {
  std::string data;
  if (!ReadFileOrReport(path, data)) return -1;
  return ParseParData(data, list);
}

int16_t ReadParFileSilently(const std::string& path, ParamList& list) {
  std::string data;
  if (ReadWholeFile(path, data) != FileRead::Ok) return -1;
  return ParseParData(data, list);
}

int16_t ReadPar(ParamList& list) { return ReadParFile(GetParPath(), list); }

int16_t ReadCurPar() { return ReadParFile(GetParPath(), g_curList); }

std::string ParValueText(const ParValue& v) {
  if (const double* d = std::get_if<double>(&v)) {
    // Numbers go into files in plain decimal form, never with an exponent.
    const std::string t = FormatDecimal(*d);
    return t[0] == '-' ? t : " " + t;
  }
  return std::get<std::string>(v);
}

std::string ParFileText(const ParamList& list) {
  std::string out;
  for (const auto& e : list) {
    out += '"';
    out += OneLine(e.key);
    out += "\",";
    out += OneLine(ParValueText(e.value));
    out += kCrLf;
  }
  return out;
}

int16_t WriteParFile(const std::string& path, const ParamList& list) {
  return WriteFileAtomic(path, ParFileText(list));
}

int16_t WriteCurPar() { return WriteParFile(GetParPath(), g_curList); }

int16_t ParList(ParamList& list, const std::string& key, std::string& value,
                const std::string& mode) {
  return ParListImpl(list, key, value, mode);
}
int16_t ParList(ParamList& list, const std::string& key, double& value, const std::string& mode) {
  return ParListImpl(list, key, value, mode);
}
int16_t Par(const std::string& key, std::string& value, const std::string& mode) {
  return ParListImpl(g_curList, key, value, mode);
}
int16_t Par(const std::string& key, double& value, const std::string& mode) {
  return ParListImpl(g_curList, key, value, mode);
}
int16_t ParMsg(const std::string& key, std::string& value, const std::string& mode) {
  return ParMsgImpl(key, value, mode);
}
int16_t ParMsg(const std::string& key, double& value, const std::string& mode) {
  return ParMsgImpl(key, value, mode);
}

int16_t GetParAt(int16_t index, std::string& key, ParValue& value) {
  if (!InRange(index, g_curList.size())) {
    key = "UNDEFINED";
    value = 0.0;
    return -1;
  }
  const ParEntry& e = g_curList[static_cast<size_t>(index)];
  key = e.key;
  value = e.value;
  return 1;
}

int16_t SetParAt(int16_t index, const ParValue& value) {
  if (!InRange(index, g_curList.size())) return -1;
  g_curList[static_cast<size_t>(index)].value = value;
  return 1;
}

int16_t ParCount() {
  return g_curList.size() > static_cast<size_t>(kMaxListEntries)
             ? kMaxListEntries
             : static_cast<int16_t>(g_curList.size());
}

// --- text field files ---

std::vector<std::string> ParseTextFields(std::string_view data, bool& tooMany) {
  std::vector<std::string> fields;
  tooMany = false;
  ForEachLine(data, [&](std::string_view line) {
    size_t i = 0;
    for (;;) {
      if (fields.size() >= static_cast<size_t>(kMaxListEntries)) {
        tooMany = true;
        return false;
      }
      size_t j = i;
      while (j < line.size() && line[j] == ' ') ++j;
      if (j < line.size() && line[j] == '"') {
        // A quoted field runs to the next quote (or, without one, to the end
        // of the line); anything between its closing quote and the next comma
        // is dropped.
        const size_t close = line.find('"', j + 1);
        if (close == std::string_view::npos) {
          fields.push_back(TrimBlanks(line.substr(j + 1)));
          break;
        }
        fields.push_back(TrimBlanks(line.substr(j + 1, close - j - 1)));
        const size_t comma = line.find(',', close + 1);
        if (comma == std::string_view::npos) break;
        i = comma + 1;
      } else {
        const size_t comma = line.find(',', i);
        if (comma == std::string_view::npos) {
          fields.push_back(TrimBlanks(line.substr(i)));
          break;
        }
        fields.push_back(TrimBlanks(line.substr(i, comma - i)));
        i = comma + 1;
      }
    }
    return true;
  });
  return fields;
}

int32_t ReadTextFile(const std::string& path, TextFieldList& list) {
  if (!list.created) {
    list.items.assign(1, std::string());
    list.created = true;
  }
  std::string data;
  if (!ReadFileOrReport(path, data)) return -1;
  bool tooMany = false;
  std::vector<std::string> fields = ParseTextFields(data, tooMany);
  if (tooMany || fields.empty()) return -1;
  list.items = std::move(fields);
  return static_cast<int32_t>(list.items.size());
}

int16_t WriteTextFile(const TextFieldList& list, const std::string& path) {
  std::string out;
  for (const auto& s : list.items) {
    out += s;
    out += kCrLf;
  }
  return WriteFileAtomic(path, out);
}

int16_t WriteCurText(const TextFieldList& list) { return WriteTextFile(list, GetParPath()); }

std::string JoinLines(const TextFieldList& list) {
  std::string out;
  for (size_t i = 0; i < list.items.size(); ++i) {
    if (i > 0) out += kCrLf;
    out += list.items[i];
  }
  return out;
}

TextFieldList SplitLines(const std::string& text) {
  TextFieldList list;
  list.created = true;
  if (text.empty()) return list;
  size_t start = 0;
  for (;;) {
    if (list.items.size() + 1 >= static_cast<size_t>(kMaxListEntries)) {
      // The last element that fits takes the rest of the text unsplit.
      list.items.emplace_back(text.substr(start));
      break;
    }
    const size_t p = text.find(kCrLf, start);
    if (p == std::string::npos) {
      list.items.emplace_back(text.substr(start));
      break;
    }
    list.items.emplace_back(text.substr(start, p - start));
    start = p + 2;
  }
  return list;
}

// --- atomic writes ---

int16_t WriteFileAtomic(const std::string& path, const std::string& bytes) {
  if (path.empty() || path.back() == '/') return -1;
  const size_t slash = path.rfind('/');
  const std::string dir =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));

  // The new file keeps the old one's permission bits; a new file gets the
  // usual 0666 less the umask.
  mode_t mode = 0;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return -1;
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = static_cast<mode_t>(0666 & ~mask);
  }

  std::string tmpl = path + ".XXXXXX";
  const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  bool ok = ::fchmod(fd, mode) == 0;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(tmpl.c_str());
    return -1;
  }
  // Make the rename itself durable; the new file is in place either way.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return 1;
}

}  // namespace nvx
