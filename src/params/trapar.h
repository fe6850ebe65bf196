// Keyed parameter files ("KEY",value[,remark]) and comma-separated text field
// files, with the module's one current parameter file and current list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace nvx {

// A value is text or a number; every value read from a file is text.
using ParValue = std::variant<std::string, double>;

struct ParEntry {
  std::string key;
  ParValue value;
};

using ParamList = std::vector<ParEntry>;

// Lists are indexed with a 16-bit signed index: at most 32767 entries. A
// parameter or text file that would give more is refused (-1, the list as it
// was); "to" refuses to append beyond it (-1, nothing changes).
constexpr int16_t kMaxListEntries = 32767;

// Files above this size are not read (-1, no message): every file of the
// program is a few kilobytes, and anything this large is not one of them.
constexpr uint64_t kMaxFileBytes = 16u * 1024u * 1024u;

// Result of "from" into a numeric variable when the key is found but its
// value does not read as a number (base/numbers.h): the variable is left
// unchanged and, with ParMsg too, no message is shown; the caller reports it.
constexpr int16_t kParNotANumber = -2;

// A text field list. `created` tells a list that was never filled from one
// that exists but is empty (see ReadTextFile).
struct TextFieldList {
  std::vector<std::string> items;
  bool created = false;
};

// --- the current parameter file ---
void SetParDir(const std::string& dir);    // with its trailing '/'
void SetParFile(const std::string& name);  // e.g. "ZR_CONFIG.TXT"
std::string GetParPath();                  // dir + name
ParamList& CurParList();                   // the current parameter list

// --- parameter files ---
// Reading: a missing file shows "File <path> does not exist" (no icon) and
// gives -1 with the list unchanged. A path that holds no readable regular
// file (a directory, a device), a file above kMaxFileBytes or one with more
// than kMaxListEntries entries gives -1 silently, list unchanged. Lines end at
// LF, CR LF or the end of the file; a line of 5 or more characters without two
// double quotes holds no key and is skipped like a short line.
int16_t ReadParFile(const std::string& path, ParamList& list);
// The same reading without a message for a missing file.
int16_t ReadParFileSilently(const std::string& path, ParamList& list);
int16_t ReadPar(ParamList& list);
int16_t ReadCurPar();
// Writes through a temporary file in the same directory renamed over the
// old one: 1 on success, -1 (old file untouched) on failure.
int16_t WriteParFile(const std::string& path, const ParamList& list);
int16_t WriteCurPar();

// The entries of a parameter file's bytes, as ReadParFile reads them: 1, or
// -1 (list unchanged) for more than kMaxListEntries entries.
int16_t ParseParData(std::string_view data, ParamList& list);
// One line of a parameter file (without its line ending) into an entry;
// false for a line that is skipped. The value is stored as text.
bool ParseParLine(std::string_view line, ParEntry& entry);
// The bytes WriteParFile writes: '"KEY",VALUE' CR LF per entry. A CR or LF
// inside a key or a value is written as a blank, so that no value can start
// a line (an entry) of its own.
std::string ParFileText(const ParamList& list);

// Modes: "from", "to", "clear"; anything else does nothing and gives 0.
// "from" into a text variable takes a numeric value in plain decimal form
// without a leading blank ("500", ".5"), as the value reads back from a file;
// into a numeric variable text that is not a number gives kParNotANumber.
// ParMsg shows "Parameter <key> not found in <path>" (critical icon) only for
// -1 (a key not found).
int16_t ParList(ParamList& list, const std::string& key, std::string& value,
                const std::string& mode);
int16_t ParList(ParamList& list, const std::string& key, double& value, const std::string& mode);
int16_t Par(const std::string& key, std::string& value, const std::string& mode);
int16_t Par(const std::string& key, double& value, const std::string& mode);
int16_t ParMsg(const std::string& key, std::string& value, const std::string& mode);
int16_t ParMsg(const std::string& key, double& value, const std::string& mode);

int16_t GetParAt(int16_t index, std::string& key, ParValue& value);
int16_t SetParAt(int16_t index, const ParValue& value);
int16_t ParCount();

// The text a value is written as in a file ("text" unchanged; numbers in the
// leading-blank file form).
std::string ParValueText(const ParValue& v);

// --- text field files ---
// ReadTextFile: a list not created yet first gets one empty element. Lines
// end at LF, CR LF or the end of the file. A quoted field without its closing
// quote ends at the end of its line. On any failure (missing file: the
// message; unreadable, too large, no field, more than kMaxListEntries fields:
// silent) the result is -1 and the list is as that first step left it.
int32_t ReadTextFile(const std::string& path, TextFieldList& list);
int16_t WriteTextFile(const TextFieldList& list, const std::string& path);
int16_t WriteCurText(const TextFieldList& list);
std::string JoinLines(const TextFieldList& list);
// SplitLines of "" is a created, empty list. A text of more lines than a
// list holds keeps the rest, unsplit, in the last element.
TextFieldList SplitLines(const std::string& text);
// The fields of a text file's bytes (see ReadTextFile); tooMany is set when
// there are more than kMaxListEntries.
std::vector<std::string> ParseTextFields(std::string_view data, bool& tooMany);

// Atomic write of a whole file's bytes: 1 or -1, the old file untouched on
// failure.
int16_t WriteFileAtomic(const std::string& path, const std::string& bytes);

}  // namespace nvx
