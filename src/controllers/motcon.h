// The one set of motor operations the rest of the program uses. Each call
// goes through the table of motor operations of the configured controller
// type (AppSettings().Controller): the IM483I driver, the EZHR17 driver, or,
// with no recognised type, a table that sends nothing and answers 0. A test
// may install a table of its own in place of the configured one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/settings.h"

namespace nvx {

// Status of an operation whose argument cannot be sent to the controller: an
// IM483I value outside -32768..32767, a step count that is not finite or does
// not fit 32 bits, an EZHR17 resolution exponent outside 0..30, an address
// code outside 0..255. Nothing is sent when an operation answers it.
inline constexpr int16_t kMotorArgOutOfRange = -9;

// One driver's motor operations, an entry per operation of this module. An
// empty entry is an operation the driver does not have: it sends nothing and
// answers 0.
struct MotorDriver {
  std::function<void()> setLineEnds;
  std::function<int16_t(const std::string& request, std::string& reply)> command;
  std::function<int16_t(int32_t homeSpeed, int32_t initVel)> home;
  std::function<int16_t(double steps)> moveRel;
  std::function<int16_t(double& pos)> getPos;
  std::function<int16_t(int16_t ms)> settle;
  std::function<int16_t(int16_t hold, int16_t run)> setCurrents;
  std::function<int16_t(int32_t accel, int32_t decel)> setAccel;
  std::function<int16_t(int16_t value)> setAuxFlag;
  std::function<int16_t(int32_t a, int32_t b)> setAuxPair;
  std::function<int16_t(int32_t vel)> setSlewVel;
  std::function<int16_t(int16_t exponent)> setResolution;
  std::function<int16_t(int32_t vel)> setInitVel;
  std::function<int16_t(int32_t& pos)> setPos;
  std::function<int16_t()> waitStop;
  std::function<int16_t(int16_t value)> setModeBit1;
  std::function<int16_t(int16_t selector)> setModeSel;
  std::function<int16_t(int16_t steps)> setFilterSteps;
  std::function<int16_t()> probe;
  std::function<int16_t()> seekLimit;
};

// The table of a controller type; for ControllerKind::None every entry is
// empty.
const MotorDriver& MotorDriverFor(ControllerKind kind);

// Puts `driver` in place of the configured type's table while it lives (a
// test's recording driver, for one); the table before it comes back after.
class ScopedMotorDriver {
 public:
  explicit ScopedMotorDriver(MotorDriver driver);
  ~ScopedMotorDriver();
  ScopedMotorDriver(const ScopedMotorDriver&) = delete;
  ScopedMotorDriver& operator=(const ScopedMotorDriver&) = delete;

 private:
  MotorDriver driver_;
  const MotorDriver* previous_;
};

// Address character of the controller the next request goes to.
void MotorSelect(int16_t address);
int16_t MotorAddress();
void MotorSetMoveTimeout(int16_t seconds);
int16_t MotorMoveTimeout();
// Sets the link's framing for the configured controller type.
void MotorSetLineEnds();

// Lets pending window events run between two controller exchanges and then
// puts MotorAddress back as it was, so that a nested operation on another
// controller never redirects the waiting operation's later requests.
void MotorProcessEvents();

int16_t MotorCommand(const std::string& request, std::string& reply);
int16_t MotorHome(int32_t homeSpeed, int32_t initVel);
int16_t MotorMoveRel(double steps);
int16_t MotorGetPos(double& pos);
int16_t MotorSettle(int16_t ms);
int16_t MotorSetCurrents(int16_t hold, int16_t run);
int16_t MotorSetAccel(int32_t accel, int32_t decel);
int16_t MotorSetAuxFlag(int16_t value);
int16_t MotorSetAuxPair(int32_t a, int32_t b);
int16_t MotorSetSlewVel(int32_t vel);
int16_t MotorSetResolution(int16_t exponent);
int16_t MotorSetInitVel(int32_t vel);
int16_t MotorSetPos(int32_t& pos);
int16_t MotorWaitStop();
int16_t MotorSetModeBit1(int16_t value);
int16_t MotorSetModeSel(int16_t selector);
int16_t MotorSetFilterSteps(int16_t steps);
int16_t MotorProbe();
// The EZHR17's limit search, used by its home search: runs the drive's
// limit-search program and waits for its end. The IM483I has none (0).
int16_t MotorSeekLimit();

}  // namespace nvx
