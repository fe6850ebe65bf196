#include "controllers/motcon.h"

#include <optional>
#include <utility>

#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "controllers/allmotion.h"
#include "controllers/imscntrl.h"

namespace nvx {

namespace {

int16_t g_address = 0;
int16_t g_moveTimeout = 0;
const MotorDriver* g_installed = nullptr;  // a ScopedMotorDriver's table

// The IM483I takes 16-bit values only; a wider one is refused unsent.
std::optional<int16_t> Narrow(int32_t v) {
  if (v < -32768 || v > 32767) return std::nullopt;
  return static_cast<int16_t>(v);
}

template <int16_t (*Op)(int16_t)>
int16_t Narrowed(int32_t v) {
  const auto n = Narrow(v);
  return n ? Op(*n) : kMotorArgOutOfRange;
}

template <int16_t (*Op)(int16_t, int16_t)>
int16_t Narrowed(int32_t a, int32_t b) {
  const auto na = Narrow(a);
  const auto nb = Narrow(b);
  return na && nb ? Op(*na, *nb) : kMotorArgOutOfRange;
}

// Requests end with a line feed; replies end with one.
void Im483iLineEnds() {
  SetOutEndChar(10);
  SetInTerm1(10);
}

// Requests end with a carriage return; replies with CR then LF.
void Ezhr17LineEnds() {
  SetOutEndChar(13);
  SetInTerm1(13);
  SetInTerm2(10);
}

// Operations the IM483I has no request for: done, nothing sent.
int16_t NothingToSend(int16_t) { return 1; }

// Tables built on first use, so no other static initialiser can reach one
// before it exists.
const MotorDriver& Im483iTable() {
  static const MotorDriver table{
      .setLineEnds = Im483iLineEnds,
      .command = IMSCNTRL::MotorCommand,
      .home = Narrowed<IMSCNTRL::MotorHome>,
      .moveRel = IMSCNTRL::MotorMoveRel,
      .getPos = IMSCNTRL::MotorGetPos,
      .settle = IMSCNTRL::MotorSettle,
      .setCurrents = IMSCNTRL::MotorSetCurrents,
      .setAccel = Narrowed<IMSCNTRL::MotorSetAccel>,
      .setAuxFlag = IMSCNTRL::MotorSetAuxFlag,
      .setAuxPair = Narrowed<IMSCNTRL::MotorSetAuxPair>,
      .setSlewVel = Narrowed<IMSCNTRL::MotorSetSlewVel>,
      .setResolution = IMSCNTRL::MotorSetResolution,
      .setInitVel = Narrowed<IMSCNTRL::MotorSetInitVel>,
      .setPos = [](int32_t&) { return IMSCNTRL::MotorSetPos(); },  // the value is not sent
      .waitStop = IMSCNTRL::MotorWaitStop,
      .setModeBit1 = NothingToSend,
      .setModeSel = NothingToSend,
      .setFilterSteps = NothingToSend,
      .probe = IMSCNTRL::MotorProbe,
      .seekLimit = nullptr,  // homes by its own search ("F")
  };
  return table;
}

const MotorDriver& Ezhr17Table() {
  static const MotorDriver table{
      .setLineEnds = Ezhr17LineEnds,
      .command = AllMotionCntrl::MotorCommand,
      .home = AllMotionCntrl::MotorHome,
      .moveRel = AllMotionCntrl::MotorMoveRel,
      .getPos = AllMotionCntrl::MotorGetPos,
      .settle = AllMotionCntrl::MotorSettle,
      .setCurrents = AllMotionCntrl::MotorSetCurrents,
      .setAccel = AllMotionCntrl::MotorSetAccel,
      .setAuxFlag = AllMotionCntrl::MotorSetAuxFlag,
      .setAuxPair = AllMotionCntrl::MotorSetAuxPair,
      .setSlewVel = AllMotionCntrl::MotorSetSlewVel,
      .setResolution = AllMotionCntrl::MotorSetResolution,
      .setInitVel = AllMotionCntrl::MotorSetInitVel,
      .setPos = AllMotionCntrl::MotorSetPos,
      .waitStop = AllMotionCntrl::MotorWaitStop,
      .setModeBit1 = AllMotionCntrl::MotorSetModeBit1,
      .setModeSel = AllMotionCntrl::MotorSetModeSel,
      .setFilterSteps = AllMotionCntrl::MotorSetFilterSteps,
      .probe = AllMotionCntrl::MotorProbe,
      .seekLimit = AllMotionCntrl::EZHR17_SeekLimit,
  };
  return table;
}

// The installed table, else the configured type's: a change of type reaches
// the next operation at once.
const MotorDriver& Active() {
  return g_installed ? *g_installed : MotorDriverFor(AppSettings().Controller);
}

template <typename Op, typename... Args>
int16_t Call(const Op& op, Args&&... args) {
  return op ? op(std::forward<Args>(args)...) : 0;
}

}  // namespace

const MotorDriver& MotorDriverFor(ControllerKind kind) {
  switch (kind) {
    case ControllerKind::Im483i: return Im483iTable();
    case ControllerKind::Ezhr17: return Ezhr17Table();
    case ControllerKind::None: break;
  }
  static const MotorDriver none{};
  return none;
}

ScopedMotorDriver::ScopedMotorDriver(MotorDriver driver)
    : driver_(std::move(driver)), previous_(g_installed) {
  g_installed = &driver_;
}

ScopedMotorDriver::~ScopedMotorDriver() { g_installed = previous_; }

void MotorSelect(int16_t address) { g_address = address; }
int16_t MotorAddress() { return g_address; }
void MotorSetMoveTimeout(int16_t seconds) { g_moveTimeout = seconds; }
int16_t MotorMoveTimeout() { return g_moveTimeout; }

void MotorSetLineEnds() {
  if (const auto& op = Active().setLineEnds) op();
}

void MotorProcessEvents() {
  const int16_t address = g_address;
  GetUi().ProcessEvents();
  CommDeliverEvents();
  g_address = address;
}

int16_t MotorCommand(const std::string& request, std::string& reply) {
  return Call(Active().command, request, reply);
}
int16_t MotorHome(int32_t homeSpeed, int32_t initVel) {
  return Call(Active().home, homeSpeed, initVel);
}
int16_t MotorMoveRel(double steps) { return Call(Active().moveRel, steps); }
int16_t MotorGetPos(double& pos) { return Call(Active().getPos, pos); }
int16_t MotorSettle(int16_t ms) { return Call(Active().settle, ms); }
int16_t MotorSetCurrents(int16_t hold, int16_t run) {
  return Call(Active().setCurrents, hold, run);
}
int16_t MotorSetAccel(int32_t accel, int32_t decel) {
  return Call(Active().setAccel, accel, decel);
}
int16_t MotorSetAuxFlag(int16_t value) { return Call(Active().setAuxFlag, value); }
int16_t MotorSetAuxPair(int32_t a, int32_t b) { return Call(Active().setAuxPair, a, b); }
int16_t MotorSetSlewVel(int32_t vel) { return Call(Active().setSlewVel, vel); }
int16_t MotorSetResolution(int16_t exponent) { return Call(Active().setResolution, exponent); }
int16_t MotorSetInitVel(int32_t vel) { return Call(Active().setInitVel, vel); }
int16_t MotorSetPos(int32_t& pos) { return Call(Active().setPos, pos); }
int16_t MotorWaitStop() { return Call(Active().waitStop); }
int16_t MotorSetModeBit1(int16_t value) { return Call(Active().setModeBit1, value); }
int16_t MotorSetModeSel(int16_t selector) { return Call(Active().setModeSel, selector); }
int16_t MotorSetFilterSteps(int16_t steps) { return Call(Active().setFilterSteps, steps); }
int16_t MotorProbe() { return Call(Active().probe); }
int16_t MotorSeekLimit() { return Call(Active().seekLimit); }

}  // namespace nvx
