// The joystick: raw readings from the Linux joystick API, the calibration kept
// in ZR_JOY.TXT, calibrated and dead-banded axis values, and the calibration
// procedure. The joystick is polled only while AppSettings().JoyOn is 1.
#pragma once

#include <cstdint>
#include <string>

namespace nvx {

// The one calibration record of the program; all 0 until ZR_JOY.TXT is read.
struct JoyCalibrationData {
  int32_t Axis1Left = 0;    // JAXIS1_L: raw axis 1 (X) at full deflection, low side
  int32_t Axis1Centre = 0;  // JAXIS1_0: raw axis 1 at rest
  int32_t Axis1Right = 0;   // JAXIS1_R: raw axis 1 at full deflection, high side
  int32_t Axis2Left = 0;    // JAXIS2_L
  int32_t Axis2Centre = 0;  // JAXIS2_0
  int32_t Axis2Right = 0;   // JAXIS2_R
  int16_t Axis1Dir = 0;     // JAXIS1_Dir: 1 keeps, -1 reverses, 0 silences axis 1
  int16_t Axis2Dir = 0;     // JAXIS2_Dir
  int32_t DeadBand = 0;     // thousandths of full deflection; JLATENT (percent) x 10
};

JoyCalibrationData& JoyCalibration();

// 1 while a calibration is in progress (switched by the "Calibrate" menu entry).
int16_t& JoyCalibrating();
// 0 = "XY", 1 = "WZ"; 0 at start.
int16_t& JoyAxes();
// Calibration, calibrating and axes back to their state before start-up.
void ResetJoystick();

// Where raw readings come from. Read gives the X and Y positions and the
// pressed-button mask (bit n = button n+1); 1 on success, a negative value
// when no joystick could be read (the outputs are then 0).
class JoySource {
 public:
  virtual ~JoySource() = default;
  virtual int16_t Read(int32_t& x, int32_t& y, uint32_t& buttons) = 0;
};

// A joystick device of the Linux joystick API, opened without blocking. Each
// Read drains the waiting js_event records and folds them into the held
// position and button state: axis 0 is X, axis 1 is Y, both -32767..32767 as
// the driver reports them. A device that is missing, or that fails (unplugged),
// reads as (0, 0) with no button; opening it again is tried at most once a
// second, so a missing device costs no more than that on the polling path.
class LinuxJoystick : public JoySource {
 public:
  explicit LinuxJoystick(std::string path);
  ~LinuxJoystick() override;
  LinuxJoystick(const LinuxJoystick&) = delete;
  LinuxJoystick& operator=(const LinuxJoystick&) = delete;

  int16_t Read(int32_t& x, int32_t& y, uint32_t& buttons) override;
  const std::string& Path() const { return path_; }

 private:
  void Close();
  std::string path_;
  int fd_ = -1;
  bool tried_ = false;
  uint32_t lastTryMs_ = 0;  // the clock's counter (comm/clock.h)
  int32_t x_ = 0;
  int32_t y_ = 0;
  uint32_t buttons_ = 0;
};

// The device read by the default source: "/dev/input/js0" unless named here
// (the --joystick option). Changing it closes the old device.
void SetJoystickDevice(const std::string& path);
std::string JoystickDevice();
// Replaces the raw reading source (tests); nullptr goes back to the device.
// The caller keeps ownership.
void SetJoySource(JoySource* source);

// The button number of a button mask: 0 for none, 1..8 for exactly one of
// bits 0..7; any other mask leaves button unchanged.
void ButtonFromMask(uint32_t mask, int16_t& button);

// One raw reading: x, y as the source reports them; button as ButtonFromMask
// (callers pass it in as 0). Returns the source's result (1, or negative with
// the reading (0, 0), no button); no caller acts on it.
int16_t ReadJoyRaw(int32_t& x, int32_t& y, int16_t& button);

// One calibrated axis value: 0 inside the dead band, +-1000 at the calibrated
// extremes, beyond them outside; multiplied by dir. A half-range of 0 on the
// side of the reading, or a dead band of 1000 or more, gives 0; results
// beyond 16 bits are clamped to +-32767.
int16_t JoyAxisValue(int32_t v, int32_t left, int32_t centre, int32_t right, int32_t deadBand,
                     int16_t dir);

// One reading scaled by the calibration; full is always 1000. Returns 0.
int16_t ReadJoystick(int16_t& a1, int16_t& a2, int16_t& full, int16_t& button);
// 1 when both axes read 0, else 0.
int16_t JoyCentred();

// Calibration: CalibStart takes the rest position; CalibSample (one per tick)
// shows the reading on the message line and widens the extremes and moves
// the centre; CalibValid is 1 when all four half-ranges reach the dead band.
void CalibStart();
void CalibSample();
int16_t CalibValid();

// ZR_JOY.TXT: 1 when all nine keys were read, -1 otherwise (missing file,
// missing key - with the message box of ParMsg - or a value that is not a
// number or out of range - silent; its field keeps its value).
int16_t ReadJoyPar();
// Writes exactly the nine keys; the status of the file write (1 / -1).
int16_t WriteJoyPar();

// The axes of one sample put to work: in mode "WZ" (JoyAxes 1) a full
// deflection of axis 1 steps the joystick's wheel (JoyStepWheel) and its
// result is returned; in mode "XY" nothing happens and the result is 0.
// Axis 2 and the button drive nothing.
int16_t JoyAxesToDevice(int16_t a1, int16_t a2, int16_t full, int16_t button);

}  // namespace nvx
