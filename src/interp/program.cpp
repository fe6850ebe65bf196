// The program, its check, and its file: the forms written and read, and the
// window's "Read" and "Write".
#include <sys/stat.h>

#include <utility>

#include "base/numbers.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/words.h"
#include "interp/interp.h"
#include "interp/interp_view.h"
#include "params/trapar.h"

namespace nvx {

namespace {

std::vector<std::string> g_lines{"End"};
std::string g_path;

const char* const kFilter = "*.PRG";
const char* const kPatterns = "*.PRG *.*";

std::string ChosenPath(const std::string& dir, const std::string& file) {
  return dir.back() == '/' ? dir + file : dir + "/" + file;
}

void SetCaption(const std::string& path) {
  InterpWin().caption = "Program " + path;
  InterpChanged(InterpChange::Caption);
}

}  // namespace

std::vector<std::string>& ProgramLines() { return g_lines; }
std::string& ProgramPath() { return g_path; }

void SetProgram(std::vector<std::string> lines) {
  if (lines.empty()) lines.emplace_back("End");
  if (lines.size() > static_cast<size_t>(kMaxProgramLines)) lines.resize(kMaxProgramLines);
  g_lines = std::move(lines);
  TopLine() = 0;
  ClearRows();
  RedrawRows(0, 0, 1000);
}

int16_t CheckProgram(std::vector<std::string>& lines) {
  int32_t depth = 0;
  for (std::string& line : lines) {
    const std::string trimmed = TrimBlanks(line);
    const std::string word = FirstWord(trimmed);
    if (word.empty()) continue;
    if (word == "Endrepeat") {
      depth -= 4;
      if (depth < 0) return -1;
    }
    line = std::string(static_cast<size_t>(depth), ' ') + trimmed;
    if (word == "Repeat") depth += 4;
  }
  return depth == 0 ? 1 : -1;
}

int16_t ProgramForFile(const std::vector<std::string>& lines, std::vector<std::string>& out) {
  out.clear();
  out.reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string rest = lines[i];
    std::string word;
    SplitFirstWord(rest, word);
    if (word.empty()) {
      out.emplace_back();
    } else if (word != "Repeat") {
      out.push_back(lines[i]);
    } else {
      std::string count;
      SplitFirstWord(rest, count);
      const auto n = TextToInt16(count);
      if (!n) {
        MsgBox("Error in Command #" + FormatIntLeadingBlank(static_cast<int64_t>(i)) + "\r\n" +
               lines[i]);
        return -1;
      }
      out.push_back("Repeat" + FormatIntLeadingBlank(*n) + " Times");
    }
  }
  return 1;
}

std::string ReadProgramFile(const std::string& path) {
  g_path = path;
  TextFieldList list;
  list.created = true;
  if (ReadTextFile(path, list) < 0) return "Program not read";
  const int16_t checked = CheckProgram(list.items);
  SetProgram(std::move(list.items));
  EditAllowed() = 1;
  SetCaption(path);
  return checked == 1 ? "Program read" : "Program has mistakes";
}

void ReadProgram(const ProgramFileDialogs& dialogs) {
  std::string dir, file;
  if (dialogs.choose)
    dialogs.choose(ProgramDir(), kFilter, kPatterns, "Select a Program (*.PRG) to Load", dir, file);
  ShowInterpMessage(dir.empty() || file.empty() ? "Program not read"
                                                : ReadProgramFile(ChosenPath(dir, file)));
}

void WriteProgram(const ProgramFileDialogs& dialogs) {
  const char* const kNotWritten = "Program not written";
  std::vector<std::string> out;
  if (ProgramForFile(g_lines, out) < 0) return ShowInterpMessage(kNotWritten);
  std::string dir, file;
  if (dialogs.choose)
    dialogs.choose(ProgramDir(), kFilter, kPatterns, "Give a Name to the Program (*.PRG)", dir,
                   file);
  if (dir.empty() || file.empty()) return ShowInterpMessage(kNotWritten);
  g_path = ChosenPath(dir, file);
  struct stat st {};
  if (::stat(g_path.c_str(), &st) == 0 &&
      !(dialogs.confirm &&
        dialogs.confirm("File " + g_path + " exists.\r\nOverwrite?", "File overwrite")))
    return ShowInterpMessage(kNotWritten);
  TextFieldList list;
  list.created = true;
  list.items = std::move(out);
  if (WriteTextFile(list, g_path) != 1) return ShowInterpMessage(kNotWritten);
  SetCaption(g_path);
  ShowInterpMessage("Program written");
}

}  // namespace nvx
