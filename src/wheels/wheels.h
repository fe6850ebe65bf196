// The two filter wheels: their parameters, state and operations.
// Wheel 1 is "F", wheel 2 is "B".
#pragma once

#include <cstdint>

namespace nvx {

struct WheelParRec {
  int16_t address = 0;      // controller address character (W<n>CONTR)
  int16_t resExponent = 4;  // microstep resolution exponent (fixed)
  int16_t holdCurrent = 0;
  int16_t runCurrent = 0;
  int32_t slewVel = 0;
  int32_t initVel = 0;
  int32_t accel = 0;
  int32_t decel = 0;
  int32_t auxA = 10, auxB = 50;  // fixed
  int32_t homeSpeed = -500;      // fixed
  double homeOffset = 0;
  int16_t filterCount = 0;    // N
  double StepsPerFilter = 0;  // 3200 / N
  double HomeRef = 0;         // EZHR17: position of filter 1
};

// Indexed 1..2 (index 0 unused).
WheelParRec& WheelPar(int n);
int16_t& CurFilter(int n);
int16_t& WheelOnline(int n);

int16_t SelectWheel(int16_t n);
int16_t GetSelWheel();
void SetJoyWheel(int16_t n);
int16_t GetJoyWheel();
// JoyStepLatch: 1 after a joystick step until the axis comes back near the
// middle.
int16_t GetJoyStepLatch();

int16_t ReadWheelPar(int16_t n);
int16_t ConfigWheel(int16_t n);
int16_t InitWheel(int16_t n);
int16_t InitDevices();
int16_t HomeWheel();
int16_t WaitWheel();
int16_t GoToFilter(int16_t n);
int16_t GetFilter(int16_t& k);
int16_t DevNextFilter();
int16_t DevPrevFilter();
int16_t JoyStepWheel(int16_t a, int16_t full);

// Told of what the wheel operations do, so that a view can follow the wheels
// without asking the controllers anything. Every call has a default that
// does nothing.
class WheelObserver {
 public:
  virtual ~WheelObserver() = default;
  // A move of wheel w to filter f was commanded (whatever its result).
  virtual void MoveCommanded(int16_t /*w*/, int16_t /*f*/) {}
  // Wheel w was homed; r is the homing's result.
  virtual void Homed(int16_t /*w*/, int16_t /*r*/) {}
  // The filter of wheel w was read back: f.
  virtual void FilterRead(int16_t /*w*/, int16_t /*f*/) {}
  // Wheel w stepped by the joystick: its caption shows CurFilter again.
  virtual void JoyStepped(int16_t /*w*/) {}
};
// nullptr: nobody is told.
void SetWheelObserver(WheelObserver* observer);

// Puts every wheel back to its state before start-up (offline, filter 0).
void ResetWheels();

}  // namespace nvx
