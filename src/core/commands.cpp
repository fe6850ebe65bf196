#include "core/commands.h"

#include <optional>
#include <utility>

#include "base/numbers.h"
#include "base/settings.h"
#include "base/ui.h"
#include "base/words.h"
#include "comm/comm.h"
#include "controllers/motcon.h"
#include "core/main_model.h"
#include "core/wheel_actions.h"
#include "core/wheel_view.h"
#include "interp/interp.h"
#include "joystick/joystick.h"
#include "wheels/wheels.h"

namespace nvx {

namespace {

const char* const kOK = "OK ";
const char* const kError = "Error ";
const char* const kMissingArgument = "Error Missing Argument ";
const char* const kNotANumber = "Error Not a Number";
const char* const kUnknownCommand = "Error Unknown command";
const char* const kOff = "Off ";

int32_t g_commandCount = 0;
int16_t g_cmdBusy = 0;
std::string g_lastWheel;
ParamList g_symConst;
TextFieldList g_joyCommands;

// Sets CmdBusy for the life of one command executor.
struct BusyScope {
  BusyScope() { g_cmdBusy = 1; }
  ~BusyScope() { g_cmdBusy = 0; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
};

std::string WheelSubCommand(int16_t n, const std::string& w) {
  if (w == "Home") {
    int16_t read = 0;
    // The filter is read back on this wheel even when a command nested in
    // the homing wait selected the other one.
    if (HomeAndReadBack(n, read) <= 0) return kError;
    return read > 0 ? kOK : kError;
  }
  if (w == "??" || w == "?") {
    if (ReadBackFilter(n) <= 0) return kError;
    const std::string pos = FormatInt(CurFilter(n));
    return w == "??" ? WheelLetter(n) + " " + pos : pos;
  }
  if (w == "Wait") return WaitForWheel(n) > 0 ? kOK : kError;
  if (w == "Next" || w == "Prev") {
    StepFilter(n, w == "Next");
    return kOK;
  }
  std::string word = w;
  if (IsNumOrConst(word)) {
    // A number whose rounded value does not fit a filter number is refused
    // rather than wrapped.
    const auto f = TextToInt16(word);
    if (!f) return kError;
    return GoToFilterAndRecord(n, *f, false) > 0 ? kOK : kError;
  }
  return kError;
}

std::string WheelCommand(int16_t n, const std::string& args) {
  BusyScope busy;
  const std::string letter = WheelLetter(n);
  std::string reply;
  if (!WheelOnline(n)) {
    reply = kOff;
  } else {
    const std::string w = FirstWord(args);
    if (w.empty()) {
      reply = kMissingArgument;
    } else {
      SelectWheel(n);
      reply = WheelSubCommand(n, w);
      // The caption below is that of this wheel, even after a nested command
      // on the other wheel during a wait.
      SelectWheel(n);
    }
  }
  if (MainWin().IsLoaded()) MainWin().FiltCaption();
  ShowCmdResult(letter + " " + args, reply);
  g_lastWheel = letter;
  return reply;
}

std::string JoyCommand(const std::string& args) {
  BusyScope busy;
  std::string w = FirstWord(args);
  std::string reply;
  if (w.empty()) {
    reply = kMissingArgument;
  } else if (w == "ToggleAxes") {
    JoyAxes() = static_cast<int16_t>(1 - JoyAxes());
    reply = kOK;
  } else if (w == "XY") {
    JoyAxes() = 0;
    reply = kOK;
  } else if (w == "WZ") {
    JoyAxes() = 1;
    reply = kOK;
  } else if (w == "On") {
    AppSettings().JoyOn = JoyCentred() == 1 ? 1 : 0;
    reply = kOK;
  } else if (w == "Off") {
    AppSettings().JoyOn = 0;
    reply = kOK;
  } else {
    reply = kError;
  }
  ShowCmdResult("Joy " + args, reply);
  return reply;
}

std::string DelayCommand(const std::string& args) {
  BusyScope busy;
  std::string w = FirstWord(args);
  std::string reply;
  if (w.empty()) {
    reply = kMissingArgument;
  } else if (IsNumOrConst(w)) {
    const auto ms = TextToInt32(w);
    if (ms) {
      reply = w;
      WaitMs(*ms);
    } else {
      // Out of the 32-bit range: refused instead of waiting for ever.
      reply = kError;
    }
  } else {
    reply = kNotANumber;
  }
  ShowCmdResult("Delay " + args, reply);
  return reply;
}

std::string ConCommand(const std::string& args) {
  BusyScope busy;
  std::string answer;
  const int16_t status = MotorCommand(args, answer);
  std::string reply = answer;
  if (status < 0) {
    CommLogAppend("CON " + args + "\\" + answer);
    reply = kError + answer;
  } else if (status == 0) {
    reply.clear();
  }
  ShowCmdResult("CON " + args, reply);
  return reply;
}

}  // namespace

int32_t& CommandCount() { return g_commandCount; }
int16_t& CmdBusy() { return g_cmdBusy; }
std::string& LastWheel() { return g_lastWheel; }
ParamList& SymConst() { return g_symConst; }
TextFieldList& JoyCommands() { return g_joyCommands; }

void ResetCommandState() {
  g_commandCount = 0;
  g_cmdBusy = 0;
  g_lastWheel.clear();
  g_symConst.clear();
  g_joyCommands = TextFieldList{};
}

bool IsNumOrConst(std::string& word) {
  if (IsNumber(word)) return true;
  for (const auto& e : g_symConst) {
    if (e.key != word) continue;
    // A constant whose value is not a number counts as no number at all.
    std::optional<double> v;
    if (const auto* d = std::get_if<double>(&e.value)) v = *d;
    else v = ParseNumber(std::get<std::string>(e.value));
    if (!v) return false;
    word = FormatLeadingBlank(*v);
    return true;
  }
  return false;
}

void ShowCmdResult(const std::string& echo, const std::string& reply) {
  MainWin().SetCmdText(echo);
  MainWin().ShowMsg(reply);
}

void ShowMsg(const std::string& text) { MainWin().ShowMsg(text); }

void SetCmdText(const std::string& text) { MainWin().SetCmdText(text); }

int16_t IsFormLoaded(const std::string& name) {
  if (name == "frmWheel") return MainWin().IsLoaded() ? 1 : 0;
  return GetUi().IsWindowLoaded(name) ? 1 : 0;
}

std::string ExecCmd(const std::string& command) {
  g_cmdBusy = 1;
  ++g_commandCount;
  std::string reply;
  const int16_t control = ExecControlWord(command);
  if (control == 1) {
    reply = kOK;
  } else if (control != 0) {
    reply = kError;
  } else {
    std::string args = command;
    std::string keyword;
    SplitFirstWord(args, keyword);
    if (keyword.empty()) {
      reply.clear();
    } else if (keyword == "F") {
      reply = WheelCommand(1, args);
    } else if (keyword == "B") {
      reply = WheelCommand(2, args);
    } else if (keyword == "Joy") {
      reply = JoyCommand(args);
    } else if (keyword == "Delay") {
      reply = DelayCommand(args);
    } else if (keyword == "Wait") {
      reply = WaitLastWheel();
    } else if (keyword == "CON") {
      reply = ConCommand(args);
    } else if (keyword == "!") {
      ShowInterpMessage(args);
      reply.clear();
    } else if (keyword == "Show") {
      MainWin().Show();
      reply = kOK;
    } else if (keyword == "Hide") {
      MainWin().Hide();
      reply = kOK;
    } else if (keyword == "Unload") {
      MainWin().Unload();
      reply = kOK;
    } else if (keyword == "CommandCount") {
      reply = FormatIntLeadingBlank(g_commandCount);
    } else if (keyword == "Ver") {
      reply = "4.0";
    } else {
      reply = kUnknownCommand;
      ShowMsg(reply);
    }
  }
  g_cmdBusy = 0;
  return reply;
}

std::string WaitLastWheel() {
  return g_lastWheel.empty() ? std::string("1") : ExecCmd(g_lastWheel + " Wait");
}

std::string ExecCmdLine(const std::string& line, std::vector<std::string>* replies) {
  std::string joined;
  for (const std::string& piece : SplitCommandLine(line)) {
    std::string reply = ExecCmd(piece);
    joined += reply + " ; ";
    if (replies) replies->push_back(std::move(reply));
  }
  return joined;
}

int16_t SaveJoyCmds() {
  SetParFile("ZR_JOYCMDS.TXT");
  return WriteCurText(g_joyCommands);
}

}  // namespace nvx
