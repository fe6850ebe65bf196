// The control words. "Repeat" and "Endrepeat" steer a run through the pass
// counter of the "Repeat" line and the next line; both act on the program
// line that is current (the one before NextLine).
#include "base/numbers.h"
#include "base/words.h"
#include "interp/interp.h"
#include "interp/interp_view.h"

namespace nvx {

namespace {

// The index of the current program line, or -1 when none is (no run has
// fetched a line yet, or the line is gone).
int32_t CurrentLine() {
  const int32_t current = NextLine() - 1;
  return current >= 0 && current < static_cast<int32_t>(ProgramLines().size()) ? current : -1;
}

// Shows a rewritten line in its row when that row is visible.
void RedrawLine(int32_t index) {
  if (index >= TopLine()) RedrawRows(index, index - TopLine(), 1);
}

std::string PlainRepeat(size_t indent, int16_t n) {
  return std::string(indent, ' ') + "Repeat" + FormatIntLeadingBlank(n) + " Times";
}

int16_t RepeatStep(const std::string& rest, size_t indent) {
  ShowInterpMessage("Executing Repeat." + rest);
  // Words are split off one after the other; a failure reports the word
  // split off last (empty when there was none) and the text still unread.
  std::string unread = rest;
  std::string word;
  auto fail = [&]() -> int16_t {
    ShowInterpMessage(" SYNTAX ERROR:" + word + " ? " + unread);
    return -1;
  };
  SplitFirstWord(unread, word);
  const auto n = TextToInt16(word);
  if (!n) return fail();
  SplitFirstWord(unread, word);
  if (word != "Times") return fail();
  int32_t k = 1;
  SplitFirstWord(unread, word);
  if (!word.empty()) {
    // ":" and "Rep.#" are passed over unchecked; the third word is the pass.
    SplitFirstWord(unread, word);
    SplitFirstWord(unread, word);
    const auto pass = TextToInt16(word);
    if (!pass) return fail();
    k = *pass + 1;
  }
  // Only a "Repeat" line carries a pass counter: a "Repeat" typed into the
  // command box overwrites no other line, and none at all before a run.
  const int32_t current = CurrentLine();
  if (current < 0 || FirstWord(ProgramLines()[static_cast<size_t>(current)]) != "Repeat") {
    ShowInterpMessage(" SYNTAX ERROR");
    return -1;
  }
  ProgramLines()[static_cast<size_t>(current)] =
      PlainRepeat(indent, *n) + " : Rep.#" + FormatIntLeadingBlank(k);
  RedrawLine(current);
  return 1;
}

int16_t EndrepeatStep(size_t indent) {
  ShowInterpMessage("Executing Endrepeat.");
  auto syntaxError = []() -> int16_t {
    ShowInterpMessage(" SYNTAX ERROR");
    return -1;
  };
  const int32_t current = CurrentLine();
  if (current < 0) return syntaxError();
  int level = 1;
  int32_t match = -1;
  for (int32_t i = current - 1; i >= 0; --i) {
    const std::string w = FirstWord(ProgramLines()[static_cast<size_t>(i)]);
    if (w == "Repeat") --level;
    else if (w == "Endrepeat") ++level;
    if (level == 0) {
      match = i;
      break;
    }
  }
  if (match < 0) return syntaxError();
  // "Repeat" n "Times" ":" "Rep.#" k
  const auto words = Words(ProgramLines()[static_cast<size_t>(match)]);
  if (words.size() < 6) return syntaxError();
  const auto n = TextToInt16(words[1]);
  const auto k = TextToInt16(words[5]);
  if (!n || !k) return syntaxError();
  if (*k >= *n) {
    ProgramLines()[static_cast<size_t>(match)] = PlainRepeat(indent, *n);
    RedrawLine(match);
    return 1;
  }
  NextLine() = static_cast<int16_t>(match);
  if (match < TopLine()) {
    ClearRows();
    TopLine() = static_cast<int16_t>(match);
    RedrawAll();
  }
  return 1;
}

}  // namespace

int16_t ExecControlWord(const std::string& command) {
  // Indentation of the first word, after trailing blanks are removed.
  size_t indent = 0;
  while (indent < command.size() && command[indent] == ' ') ++indent;
  std::string rest = command;
  std::string word;
  SplitFirstWord(rest, word);
  if (word.empty()) return 0;
  if (word == "Repeat") return RepeatStep(rest, indent);
  if (word == "Endrepeat") return EndrepeatStep(indent);
  if (word == "Stop") {
    RunState() = 0;
    EditAllowed() = 1;
    InterpWin().runOption = false;
    InterpChanged(InterpChange::Controls);
    RunStatus() = "PROGRAM PAUSED";
    return 1;
  }
  if (word == "End" || word == "Call") return 1;
  return 0;
}

}  // namespace nvx
