#include "core/app.h"

#include <optional>
#include <utility>

#include "base/numbers.h"
#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "controllers/allmotion.h"
#include "controllers/motcon.h"
#include "core/commands.h"
#include "core/joy_commands.h"
#include "core/main_model.h"
#include "core/simulate.h"
#include "core/tick.h"
#include "interp/interp.h"
#include "joystick/joystick.h"
#include "params/trapar.h"
#include "wheels/wheels.h"

namespace nvx {

namespace {
int16_t g_mainWinLoaded = 0;
int16_t g_autoObjAlive = 0;
int16_t g_histLimit = kHistLimitDefault;
std::function<void()> g_endHook;

// The interpreter puts program lines into the main window's command box.
void WireInterpreter() {
  SetCommandBoxSink([](const std::string& text) { SetCmdText(text); });
}
}  // namespace

void SetProgramEndHook(std::function<void()> hook) { g_endHook = std::move(hook); }

void EndProgramIfIdle() {
  if (g_endHook) g_endHook();
}

int16_t& MainWinLoaded() { return g_mainWinLoaded; }
int16_t& AutoObjAlive() { return g_autoObjAlive; }
int16_t& HistLimit() { return g_histLimit; }

int16_t ReadConfig() {
  SetParFile("ZR_CONFIG.TXT");
  int16_t result = 1;
  if (ReadCurPar() < 0) return -1;
  Settings& s = AppSettings();

  // A value that is not a number, or out of the 16-bit range once rounded,
  // stops the reading there without a message; that key and the later ones
  // keep their values.
  bool stopped = false;
  auto store = [&](const std::string& key, int16_t& field, bool withMsg, int16_t missingValue,
                   bool useMissingValue) {
    if (stopped) return;
    std::string text;
    const int16_t found = withMsg ? ParMsg(key, text, "from") : Par(key, text, "from");
    if (found != 1) {
      if (withMsg) result = -1;
      if (useMissingValue) field = missingValue;
      return;
    }
    const auto v = TextToInt16(text);
    if (!v) {
      stopped = true;
      result = -1;
      return;
    }
    field = *v;
  };
  store("MPORT", s.PortNumber, true, 0, false);
  store("PORTTIMEOUT", s.PortTimeout, true, 0, false);
  store("MOVETIMEOUT", s.MoveTimeout, true, 0, false);
  store("WAITPOLLINGINTERVAL", s.WaitPollingInterval, true, 0, false);
  if (!stopped) {
    std::string type;
    SetControllerType(s, Par("CONTRTYPE", type, "from") == 1 ? type : "IM483I");
  }
  store("JOYSTARTON", s.JoyOn, false, 0, true);
  store("W1_INSTALLED", s.WheelInstalled[1], false, 0, true);
  store("W2_INSTALLED", s.WheelInstalled[2], false, 0, true);

  // Optional device path used instead of the port number; silent when absent.
  std::string device;
  s.PortDevice = Par("PORTDEVICE", device, "from") == 1 ? TrimBlanks(device) : std::string();
  SetPortDevice(ForcedPortDevice().empty() ? s.PortDevice : ForcedPortDevice());
  return result;
}

int16_t ReadSymConst() {
  SetParFile("ZR_SYMCONST.TXT");
  return ReadPar(SymConst()) < 0 ? -1 : 1;
}

int32_t LoadJoyCmds() {
  SetParFile("ZR_JOYCMDS.TXT");
  const int32_t result = ReadTextFile(GetParPath(), JoyCommands());
  if (!JoyCommands().items.empty()) ExecCmd(JoyCommands().items[0]);
  return result;
}

int16_t OpenConfiguredPort() {
  CommInit(MotorSetLineEnds);
  if (CommOpenPort(AppSettings().PortNumber) != 0) {
    SetPortTimeout(AppSettings().PortTimeout);
    return 1;
  }
  return -1;
}

void ClosePortAndLink() {
  CommClosePort();
  CommUnload();
}

int16_t InitApp(const std::string& programDir) {
  int16_t result = 1;
  std::string dir = programDir.empty() ? std::string("./") : programDir;
  if (dir.back() != '/') dir += '/';
  ProgramDir() = dir;
  SetParDir(dir);

  if (ReadConfig() < 0) result = -1;
  if (LoadJoyCmds() < 0) result = -1;
  if (ReadJoyPar() < 0) result = -1;
  if (ReadSymConst() < 0) result = -1;
  if (OpenConfiguredPort() < 0) result = -1;
  MotorProbe();
  if (InitDevices() < 0) result = -1;
  MainWin().Load();
  if (JoyCentred() != 1) AppSettings().JoyOn = 0;
  g_histLimit = kHistLimitDefault;
  WireInterpreter();
  SetProgram({"End"});
  return result;
}

void ResetProgramState() {
  if (CommIsLoaded() == 1) ClosePortAndLink();
  SetCommStatusLabel(nullptr);
  MainWin().Reset();
  ResetCommandState();
  ResetWheels();
  MotorSelect(0);
  MotorSetMoveTimeout(0);
  AppSettings() = Settings{};
  ProgramDir().clear();
  g_mainWinLoaded = 0;
  g_autoObjAlive = 0;
  g_histLimit = kHistLimitDefault;
  ResetInterpreter();
  WireInterpreter();
  TickBusy() = 0;
  ResetJoystick();
  ButtonLatch() = 0;
  AllMotionCntrl::ModeWord = 0;
  SetParDir("");
  SetParFile("");
  CurParList().clear();
  ForcePortDevice("");
}

void MainWindowUnloading() {
  if (CommIsLoaded() == 1 && g_autoObjAlive == 0) ClosePortAndLink();
}

void MainWindowUnloaded() { g_mainWinLoaded = 0; }

void AutomationObjectCreated() { g_autoObjAlive = 1; }

void AutomationObjectEnded() {
  if (CommIsLoaded() == 1 && g_mainWinLoaded == 0) ClosePortAndLink();
  g_autoObjAlive = 0;
}

}  // namespace nvx
