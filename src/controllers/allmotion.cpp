#include "controllers/allmotion.h"

#include <cstdlib>

#include "base/numbers.h"
#include "base/settings.h"
#include "comm/comm.h"
#include "controllers/count_scope.h"
#include "controllers/motcon.h"
#include "controllers/motor_clock.h"

namespace nvx::AllMotionCntrl {

int32_t ModeWord = 0;

namespace {

int16_t g_inProgress = 0;

int16_t Send(const std::string& command) {
  std::string response;
  return EZHR17_Request(command, response);
}

// The value between the status character and the trailing character.
std::string InnerValue(const std::string& response) {
  if (response.size() < 2) return {};
  return response.substr(1, response.size() - 2);
}

int16_t SendModeWord() { return Send("n" + FormatInt(ModeWord) + "R"); }

}  // namespace

int16_t InProgressCount() { return g_inProgress; }

int16_t EZHR17_Request(const std::string& command, std::string& response) {
  if (g_inProgress > 0) {
    CommLog("inst>0;");
    return -4;
  }
  const int16_t address = MotorAddress();
  if (address < 0 || address > 255) return kMotorArgOutOfRange;
  CountScope scope(g_inProgress);
  std::string request = "/";
  request += static_cast<char>(static_cast<unsigned char>(address));
  request += command;
  std::string reply;
  if (CommInOut2(request, reply) != 1) {
    CommLogAppend(request + "-comm error-" + reply);
    return -1;
  }
  if (reply.size() < 3 || reply.compare(1, 2, "/0") != 0) {
    CommLog(request + "-no 0xFF /0-" + reply);
    return -3;
  }
  if (reply.size() < 4) {
    // "/0" but no status character: nothing tells whether the drive erred.
    CommLog(request + "-no status-" + reply);
    return -3;
  }
  response = reply.substr(3);
  const int code = static_cast<unsigned char>(response[0]) & 15;
  if (code != 0) {
    CommLog(request + "-error returned by controller-" + reply + "-status-" + FormatInt(code));
    return -2;
  }
  return 1;
}

int16_t MotorCommand(const std::string& request, std::string& reply) {
  return CommInOut2(request, reply);
}

int16_t MotorProbe() {
  static const char kAddresses[] = "123456789ABCDEF";
  for (int i = 0; i < 15; ++i) {
    std::string reply;
    CommInOut2(std::string("/") + kAddresses[i] + "?Q", reply);
  }
  return 1;
}

int16_t MotorMoveRel(double steps) {
  if (steps == 0.0) return 1;
  const auto n = MoveStepCount(steps);
  if (!n) return kMotorArgOutOfRange;
  // "P0"/"D0" make the drive turn without end: a move that rounds to no step
  // at all sends nothing, like a move of 0.
  if (*n == 0) return 1;
  return Send((steps > 0 ? "P" : "D") + FormatInt(*n) + "R");
}

int16_t MotorGetPos(double& pos) {
  std::string response;
  const int16_t st = EZHR17_Request("?0", response);
  const std::string text = InnerValue(response);
  const auto v = st == 1 ? ParseNumber(text) : std::nullopt;
  if (!v) {
    CommLog("error reading position:" + text);
    return -1;
  }
  pos = *v;
  return 1;
}

int16_t MotorSetCurrents(int16_t hold, int16_t run) {
  return Send("h" + FormatInt(hold) + "m" + FormatInt(run) + "R");
}

int16_t MotorSetAccel(int32_t accel, int32_t /*decel*/) {
  return Send("L" + FormatInt(accel) + "R");
}

int16_t MotorSetAuxFlag(int16_t value) { return Send("f" + FormatInt(value) + "R"); }

int16_t MotorSetSlewVel(int64_t vel) { return Send("V" + FormatInt(vel) + "R"); }

int16_t MotorSetResolution(int16_t exponent) {
  if (exponent < 0 || exponent > 30) return kMotorArgOutOfRange;
  return Send("j" + FormatInt(int64_t{1} << exponent) + "R");
}

int16_t MotorSetPos(int32_t& pos) {
  const int16_t st = Send("z" + FormatInt(pos) + "R");
  WaitMs(500);
  return st;
}

int16_t MotorSetModeBit1(int16_t value) {
  ModeWord = (ModeWord & ~2) + (value != 0 ? 2 : 0);
  return SendModeWord();
}

int16_t MotorSetModeSel(int16_t selector) {
  ModeWord &= ~5;
  if (selector == 1) ModeWord += 1;
  if (selector == 2) ModeWord += 4;
  return SendModeWord();
}

int16_t MotorSetFilterSteps(int16_t steps) { return Send("B" + FormatInt(steps) + "R"); }

int16_t MotorSetInitVel(int32_t) { return 0; }
int16_t MotorSetAuxPair(int32_t, int32_t) { return 0; }
int16_t MotorSettle(int16_t) { return 1; }

bool IsReady() {
  std::string response;
  if (EZHR17_Request("Q", response) != 1 || response.empty()) return false;
  return (static_cast<unsigned char>(response[0]) & 32) != 0;
}

int16_t MotorWaitStop() {
  const int32_t intervalMs = AppSettings().WaitPollingInterval;
  const uint32_t start = TimeMs();
  const int32_t timeout = MotorMoveTimeout();
  if (ElapsedSeconds(start) > timeout) return -2;
  for (;;) {
    if (IsReady()) return 1;
    // A failed query counts as busy, but a port that is not open (closed by
    // "Unload", or never opened) can never answer: the wait ends at once
    // instead of polling it until the move time-out has passed.
    if (CommPortIsOpen() == 0) return -2;
    MotorProcessEvents();
    WaitMs(intervalMs);
    if (ElapsedSeconds(start) > timeout) return -2;
  }
}

int16_t MotorHome(int32_t homeSpeed, int32_t /*initVel*/) {
  return EZHR17_MotorHomeSmart(homeSpeed);
}

int16_t EZHR17_MotorHome(int32_t speed) {
  if (speed == 0) {
    CommLog("EZHR17_MotorHome: zero home speed");
    return -1;
  }
  if (MotorSetSlewVel(std::llabs(static_cast<int64_t>(speed))) != 1) {
    CommLog("EZHR17_MotorHome: error setting home speed");
    return -1;
  }
  if (Send("Z1000000000R") != 1) {
    CommLog("EZHR17_MotorHome: error homing");
    return -1;
  }
  return 1;
}

int16_t EZHR17_MotorHomeSmart(int32_t speed, int32_t /*unused*/) {
  std::string response;
  if (EZHR17_Request("?2", response) != 1) {
    CommLog("EZHR17_MotorHomeSmart: error reading max speed" + response);
    return -1;
  }
  const std::string text = InnerValue(response);
  const auto topSpeed = TextToInt32(text);
  if (!topSpeed) {
    CommLog("EZHR17_MotorHomeSmart: bad read of max speed" + text);
    return -1;
  }

  int16_t outcome = 1;
  if (EZHR17_MotorHome(speed) != 1) {
    CommLog("EZHR17_MotorHomeSmart: error homing");
    outcome = -1;
  } else if (MotorWaitStop() != 1) {
    CommLog("EZHR17_MotorHomeSmart: timeout");
    outcome = -1;
  }

  WaitMs(100);
  // The saved top speed goes back whatever the outcome.
  if (MotorSetSlewVel(*topSpeed) != 1 && outcome == 1) {
    CommLog("EZHR17_MotorHomeSmart: error restoring max speed");
    return -1;
  }
  return outcome;
}

int16_t EZHR17_SeekLimit() {
  Send("v1000V10000L12gD10S13G0D1gD1S03G0D1R");  // its status is not used
  return MotorWaitStop();
}

}  // namespace nvx::AllMotionCntrl
