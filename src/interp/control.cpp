#include <utility>

#include "base/numbers.h"
#include "base/ui.h"
#include "base/words.h"
#include "interp/interp.h"

namespace nvx {

namespace {

std::vector<std::string> g_lines{"End"};
int16_t g_runState = 0;
int16_t g_nextLine = 0;
int16_t g_editAllowed = 1;
std::function<void(int16_t)> g_lineChanged;

void LineChanged(int16_t index) {
  if (g_lineChanged) g_lineChanged(index);
}

int16_t RepeatStep(const std::string& rest, size_t indent) {
  ShowInterpMessage("Executing Repeat." + rest);
  const int current = g_nextLine - 1;
  // Words are taken one after the other; a failure reports the word read last
  // and the text still unread.
  std::string unread = rest;
  std::string last;
  auto take = [&]() -> bool {
    unread = TrimBlanks(unread);
    if (unread.empty()) return false;
    const size_t p = unread.find(' ');
    last = unread.substr(0, p);
    unread = p == std::string::npos ? std::string() : TrimBlanks(unread.substr(p));
    return true;
  };
  auto fail = [&]() -> int16_t {
    ShowInterpMessage(" SYNTAX ERROR:" + last + " ? " + unread);
    return -1;
  };
  if (!take()) return fail();
  const auto n = TextToInt16(last);
  if (!n) return fail();
  if (!take() || last != "Times") return fail();
  int32_t k = 1;
  if (!TrimBlanks(unread).empty()) {
    if (!take() || !take()) return fail();
    const auto pass = TextToInt16(last);
    if (!pass) return fail();
    k = *pass + 1;
  }
  if (current < 0 || current >= static_cast<int>(g_lines.size())) return fail();
  g_lines[current] = std::string(indent, ' ') + "Repeat" + FormatIntLeadingBlank(*n) +
                     " Times : Rep.#" + FormatIntLeadingBlank(k);
  LineChanged(static_cast<int16_t>(current));
  return 1;
}

int16_t EndrepeatStep(size_t indent) {
  ShowInterpMessage("Executing Endrepeat.");
  auto syntaxError = []() -> int16_t {
    ShowInterpMessage(" SYNTAX ERROR");
    return -1;
  };
  int level = 1;
  int match = -1;
  for (int i = g_nextLine - 2; i >= 0 && i < static_cast<int>(g_lines.size()); --i) {
    const std::string w = FirstWord(g_lines[i]);
    if (w == "Repeat") --level;
    else if (w == "Endrepeat") ++level;
    if (level == 0) {
      match = i;
      break;
    }
  }
  if (match < 0) return syntaxError();
  const auto words = Words(g_lines[match]);
  // "Repeat" n "Times" ":" "Rep.#" k
  if (words.size() < 6) return syntaxError();
  const auto n = TextToInt16(words[1]);
  const auto k = TextToInt16(words[5]);
  if (!n || !k) return syntaxError();
  if (*k >= *n) {
    g_lines[match] = std::string(indent, ' ') + "Repeat" + FormatIntLeadingBlank(*n) + " Times";
    LineChanged(static_cast<int16_t>(match));
    return 1;
  }
  g_nextLine = static_cast<int16_t>(match);
  return 1;
}

}  // namespace

std::vector<std::string>& ProgramLines() { return g_lines; }

void SetProgram(std::vector<std::string> lines) {
  if (lines.empty()) lines.emplace_back("End");
  g_lines = std::move(lines);
}

int16_t& RunState() { return g_runState; }
int16_t& NextLine() { return g_nextLine; }
int16_t& EditAllowed() { return g_editAllowed; }

void SetProgramLineChangedHook(std::function<void(int16_t)> hook) { g_lineChanged = std::move(hook); }

void ShowInterpMessage(const std::string& text) {
  if (GetUi().IsWindowLoaded("frmInterp")) GetUi().ShowInterpMessage(text);
}

int16_t ExecControlWord(const std::string& command) {
  // Indentation of the first word, after trailing blanks are removed.
  size_t indent = 0;
  while (indent < command.size() && command[indent] == ' ') ++indent;
  const std::string trimmed = TrimBlanks(command);
  const size_t p = trimmed.find(' ');
  const std::string word = trimmed.substr(0, p);
  if (word.empty()) return 0;
  const std::string rest = p == std::string::npos ? std::string() : TrimBlanks(trimmed.substr(p));
  if (word == "Repeat") return RepeatStep(rest, indent);
  if (word == "Endrepeat") return EndrepeatStep(indent);
  if (word == "Stop") {
    g_runState = 0;
    g_editAllowed = 1;
    return 1;
  }
  if (word == "End" || word == "Call") return 1;
  return 0;
}

}  // namespace nvx
