#include "controllers/motcon.h"

#include <optional>

#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "controllers/allmotion.h"
#include "controllers/imscntrl.h"

namespace nvx {

namespace {

int16_t g_address = 0;
int16_t g_moveTimeout = 0;

enum class Driver { None, Im483i, Ezhr17 };

// The driver of the configured controller type.
Driver Selected() {
  switch (AppSettings().Controller) {
    case ControllerKind::Im483i: return Driver::Im483i;
    case ControllerKind::Ezhr17: return Driver::Ezhr17;
    case ControllerKind::None: break;
  }
  return Driver::None;
}

// The IM483I takes 16-bit values only.
std::optional<int16_t> Narrow(int32_t v) {
  if (v < -32768 || v > 32767) return std::nullopt;
  return static_cast<int16_t>(v);
}

}  // namespace

void MotorSelect(int16_t address) { g_address = address; }
int16_t MotorAddress() { return g_address; }
void MotorSetMoveTimeout(int16_t seconds) { g_moveTimeout = seconds; }
int16_t MotorMoveTimeout() { return g_moveTimeout; }

void MotorSetLineEnds() {
  switch (Selected()) {
    case Driver::Im483i:
      SetOutEndChar(10);
      SetInTerm1(10);
      break;
    case Driver::Ezhr17:
      SetOutEndChar(13);
      SetInTerm1(13);
      SetInTerm2(10);
      break;
    case Driver::None:
      break;
  }
}

void MotorProcessEvents() {
  const int16_t address = g_address;
  GetUi().ProcessEvents();
  CommDeliverEvents();
  g_address = address;
}

int16_t MotorCommand(const std::string& request, std::string& reply) {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorCommand(request, reply);
    case Driver::Ezhr17: return AllMotionCntrl::MotorCommand(request, reply);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorHome(int32_t homeSpeed, int32_t initVel) {
  switch (Selected()) {
    case Driver::Im483i: {
      const auto s = Narrow(homeSpeed);
      const auto b = Narrow(initVel);
      if (!s || !b) return kMotorArgOutOfRange;
      return IMSCNTRL::MotorHome(*s, *b);
    }
    case Driver::Ezhr17: return AllMotionCntrl::MotorHome(homeSpeed, initVel);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorMoveRel(double steps) {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorMoveRel(steps);
    case Driver::Ezhr17: return AllMotionCntrl::MotorMoveRel(steps);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorGetPos(double& pos) {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorGetPos(pos);
    case Driver::Ezhr17: return AllMotionCntrl::MotorGetPos(pos);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSettle(int16_t ms) {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorSettle(ms);
    case Driver::Ezhr17: return AllMotionCntrl::MotorSettle(ms);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetCurrents(int16_t hold, int16_t run) {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorSetCurrents(hold, run);
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetCurrents(hold, run);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetAccel(int32_t accel, int32_t decel) {
  switch (Selected()) {
    case Driver::Im483i: {
      const auto a = Narrow(accel);
      const auto d = Narrow(decel);
      if (!a || !d) return kMotorArgOutOfRange;
      return IMSCNTRL::MotorSetAccel(*a, *d);
    }
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetAccel(accel, decel);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetAuxFlag(int16_t value) {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorSetAuxFlag(value);
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetAuxFlag(value);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetAuxPair(int32_t a, int32_t b) {
  switch (Selected()) {
    case Driver::Im483i: {
      const auto na = Narrow(a);
      const auto nb = Narrow(b);
      if (!na || !nb) return kMotorArgOutOfRange;
      return IMSCNTRL::MotorSetAuxPair(*na, *nb);
    }
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetAuxPair(a, b);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetSlewVel(int32_t vel) {
  switch (Selected()) {
    case Driver::Im483i: {
      const auto v = Narrow(vel);
      if (!v) return kMotorArgOutOfRange;
      return IMSCNTRL::MotorSetSlewVel(*v);
    }
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetSlewVel(vel);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetResolution(int16_t exponent) {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorSetResolution(exponent);
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetResolution(exponent);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetInitVel(int32_t vel) {
  switch (Selected()) {
    case Driver::Im483i: {
      const auto v = Narrow(vel);
      if (!v) return kMotorArgOutOfRange;
      return IMSCNTRL::MotorSetInitVel(*v);
    }
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetInitVel(vel);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetPos(int32_t& pos) {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorSetPos();
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetPos(pos);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorWaitStop() {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorWaitStop();
    case Driver::Ezhr17: return AllMotionCntrl::MotorWaitStop();
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetModeBit1(int16_t value) {
  switch (Selected()) {
    case Driver::Im483i: return 1;
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetModeBit1(value);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetModeSel(int16_t selector) {
  switch (Selected()) {
    case Driver::Im483i: return 1;
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetModeSel(selector);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorSetFilterSteps(int16_t steps) {
  switch (Selected()) {
    case Driver::Im483i: return 1;
    case Driver::Ezhr17: return AllMotionCntrl::MotorSetFilterSteps(steps);
    case Driver::None: break;
  }
  return 0;
}

int16_t MotorProbe() {
  switch (Selected()) {
    case Driver::Im483i: return IMSCNTRL::MotorProbe();
    case Driver::Ezhr17: return AllMotionCntrl::MotorProbe();
    case Driver::None: break;
  }
  return 0;
}

}  // namespace nvx
