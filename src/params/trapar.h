// Keyed parameter files ("KEY",value[,remark]) and comma-separated text field
// files, with the module's one current parameter file and current list.
#pragma once

#include <cstdint>
#include <string>
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

// A text field list. `created` tells a list that was never filled from one
// that exists but is empty (see ReadTextFile).
struct TextFieldList {
  std::vector<std::string> items;
  bool created = false;
};

// --- the current parameter file ---
void SetParDir(const std::string& dir);      // with its trailing '/'
void SetParFile(const std::string& name);    // e.g. "ZR_CONFIG.TXT"
std::string GetParPath();                    // dir + name
ParamList& CurParList();                     // the current parameter list

// --- parameter files ---
int16_t ReadParFile(const std::string& path, ParamList& list);
int16_t ReadPar(ParamList& list);
int16_t ReadCurPar();
// Writes through a temporary file in the same directory renamed over the
// old one: 1 on success, -1 (old file untouched) on failure.
int16_t WriteParFile(const std::string& path, const ParamList& list);
int16_t WriteCurPar();

// Modes: "from", "to", "clear"; anything else does nothing and gives 0.
int16_t ParList(ParamList& list, const std::string& key, std::string& value, const std::string& mode);
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
int32_t ReadTextFile(const std::string& path, TextFieldList& list);
int16_t WriteTextFile(const TextFieldList& list, const std::string& path);
int16_t WriteCurText(const TextFieldList& list);
std::string JoinLines(const TextFieldList& list);
TextFieldList SplitLines(const std::string& text);

// Atomic write of a whole file's bytes: 1 or -1, the old file untouched on
// failure.
int16_t WriteFileAtomic(const std::string& path, const std::string& bytes);

}  // namespace nvx
