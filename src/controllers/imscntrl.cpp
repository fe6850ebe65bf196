#include "controllers/imscntrl.h"

#include <cmath>
#include <cstdlib>

#include "base/numbers.h"
#include "comm/comm.h"
#include "controllers/count_scope.h"
#include "controllers/motcon.h"
#include "controllers/motor_clock.h"

namespace nvx::IMSCNTRL {

namespace {

int16_t g_inProgress = 0;

int16_t Send(const std::string& command) {
  std::string response;
  return IM483I_Request(command, response);
}

// The motion is ended with 'M0' on every exit of the home search.
int16_t StopAnd(int16_t result) {
  ConstVelMove(0);
  return result;
}

}  // namespace

int16_t InProgressCount() { return g_inProgress; }

int16_t IM483I_Request(const std::string& command, std::string& response) {
  if (g_inProgress > 0) {
    CommLog("inst>0;");
    return -4;
  }
  const int16_t address = MotorAddress();
  if (address < 0 || address > 255) return kMotorArgOutOfRange;
  CountScope scope(g_inProgress);
  std::string request(1, static_cast<char>(static_cast<unsigned char>(address)));
  request += command;
  std::string reply;
  if (CommInOut(request, reply) != 1) {
    CommLogAppend(request + "\\" + reply);
    return -1;
  }
  if (reply.size() < request.size()) {
    CommLog(request + ">" + reply);
    return -3;
  }
  response = reply.substr(request.size());
  if (reply.compare(0, request.size(), request) != 0) {
    CommLog(request + "!=" + reply);
    return -2;
  }
  return 1;
}

int16_t MotorCommand(const std::string& request, std::string& reply) {
  return CommInOut(request, reply);
}

int16_t MotorProbe() {
  std::string reply;
  return CommInOut("AX", reply);
}

int16_t MotorMoveRel(double steps) {
  if (steps == 0.0) return 1;
  const auto n = MoveStepCount(steps);
  if (!n) return kMotorArgOutOfRange;
  return Send((steps > 0 ? "+" : "-") + FormatInt(*n));
}

int16_t MotorGetPos(double& pos) {
  std::string response;
  if (IM483I_Request("Z", response) != 1) return -1;
  const auto v = ParseNumber(response);
  if (!v) return -1;
  pos = *v;
  return 1;
}

int16_t MotorSettle(int16_t ms) {
  double e = RoundHalfEven(ms / 10.0);
  if (e < 0) e = 0;
  if (e > 255) e = 255;
  const int16_t st = Send("E " + FormatInt(static_cast<int64_t>(e)));
  if (st < 0) return st;
  WaitMs(ms);
  return 1;
}

int16_t MotorSetCurrents(int16_t hold, int16_t run) {
  return Send("Y" + FormatIntLeadingBlank(hold) + FormatIntLeadingBlank(run));
}

int16_t MotorSetAccel(int16_t accel, int16_t decel) {
  return Send("K" + FormatIntLeadingBlank(accel) + FormatIntLeadingBlank(decel));
}

int16_t MotorSetAuxFlag(int16_t value) { return Send("l" + FormatIntLeadingBlank(value)); }

int16_t MotorSetAuxPair(int16_t a, int16_t b) {
  return Send("B" + FormatIntLeadingBlank(a) + FormatIntLeadingBlank(b));
}

int16_t MotorSetSlewVel(int16_t vel) { return Send("V" + FormatIntLeadingBlank(vel)); }

int16_t MotorSetResolution(int16_t exponent) {
  Send("H 0");  // its status does not decide the result
  return Send("D" + FormatIntLeadingBlank(exponent));
}

int16_t MotorSetInitVel(int16_t vel) { return Send("I" + FormatIntLeadingBlank(vel)); }

int16_t MotorSetPos() { return Send("O"); }

int16_t MovingStatus() {
  std::string response;
  if (IM483I_Request("^", response) != 1) return -1;
  const auto v = TextToInt16(response);
  return v ? *v : int16_t{-1};
}

int16_t InputStatus() {
  std::string response;
  if (IM483I_Request("] 1", response) != 1) return -1;
  const auto v = TextToInt16(response);
  return v ? *v : int16_t{-1};
}

int16_t ConstVelMove(int32_t vel) { return Send("M" + FormatInt(vel)); }

int16_t MotorWaitStop() {
  const uint32_t start = TimeMs();
  const int32_t timeout = MotorMoveTimeout();
  if (ElapsedSeconds(start) > timeout) return -2;
  for (;;) {
    const int16_t moving = MovingStatus();
    if (moving < 0) return -1;
    if (moving == 0) return 1;
    MotorProcessEvents();
    WaitMs(20);
    if (ElapsedSeconds(start) > timeout) return -2;
  }
}

int16_t MotorHome(int16_t homeSpeed, int16_t initVel) {
  const uint32_t start = TimeMs();
  const int32_t timeout = MotorMoveTimeout();
  const int32_t magnitude = std::abs(static_cast<int32_t>(homeSpeed));
  const auto quarter = static_cast<int32_t>(RoundHalfEven(magnitude / 4.0));

  bool lowered = false;
  if (quarter < initVel) {
    // The initial velocity must stay below the home speed.
    if (MotorSetInitVel(static_cast<int16_t>(quarter)) != 1) return StopAnd(-7);
    lowered = true;
  }

  if (homeSpeed == 0) return StopAnd(-1);
  const int32_t direction = homeSpeed < 0 ? 1 : 0;
  if (Send("F" + FormatIntLeadingBlank(magnitude) + FormatIntLeadingBlank(direction)) != 1) {
    return StopAnd(-1);
  }

  if (MotorWaitStop() != 1) return StopAnd(-2);

  int16_t input = InputStatus();
  if (input < 0) return StopAnd(-3);

  if ((input & 1) != 0) {
    // Back off the switch at a quarter of the home speed (at least 20), in
    // the opposite direction, until the switch opens.
    int32_t backOff = quarter < 20 ? 20 : quarter;
    if (homeSpeed > 0) backOff = -backOff;
    if (ConstVelMove(backOff) != 1) return StopAnd(-4);
    if (ElapsedSeconds(start) > timeout) return StopAnd(-5);
    for (;;) {
      input = InputStatus();
      if (input < 0) return StopAnd(-6);
      if ((input & 1) == 0) break;
      if (ElapsedSeconds(start) > timeout) return StopAnd(-5);
    }
  }

  int16_t result = 1;
  if (lowered && MotorSetInitVel(initVel) != 1) result = -8;
  return StopAnd(result);
}

}  // namespace nvx::IMSCNTRL
