// Joystick event records from any bytes, read by the program's own Linux
// joystick reader from a pipe (opened once, so the loop touches no file)
// and taken through the calibration, the scaled readings, the tick's polls
// and the wheel steps of the "WZ" axes, on a headless set-up without a port.
//
// Input: a flags byte (bit 0 EZHR17, bit 1 axes "WZ", bit 2 a calibration
// runs), 36 bytes of calibration (the nine fields as 32-bit numbers, as
// ZR_JOY.TXT may hold them), then js_event records (8 bytes each; a partial
// record at the end is dropped, as a device never sends one).
#include <fcntl.h>
#include <linux/joystick.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/settings.h"
#include "core/tick.h"
#include "fuzz_support.h"
#include "joystick/joystick.h"
#include "wheels/wheels.h"

using namespace nvx;

namespace {

int g_pipe[2] = {-1, -1};
constexpr size_t kHeader = 1 + 9 * 4;

void Put(const void* bytes, size_t n) {
  if (n > 0 && ::write(g_pipe[1], bytes, n) != static_cast<ssize_t>(n)) std::abort();
}

int32_t Field(const uint8_t* p, int i) {
  int32_t v = 0;
  std::memcpy(&v, p + 1 + 4 * i, 4);
  return v;
}

// The reader keeps the last position and buttons it saw: back to rest.
void Rest() {
  js_event rest[34] = {};
  rest[0] = {0, 0, JS_EVENT_AXIS, 0};
  rest[1] = {0, 0, JS_EVENT_AXIS, 1};
  for (uint8_t b = 0; b < 32; ++b) rest[2 + b] = {0, 0, JS_EVENT_BUTTON, b};
  Put(rest, sizeof rest);
  int32_t x = 0, y = 0;
  int16_t button = 0;
  ReadJoyRaw(x, y, button);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InstallQuietHost();
  SetJoySource(nullptr);
  if (::pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) std::abort();
  ::fcntl(g_pipe[1], F_SETPIPE_SZ, 1 << 20);
  SetJoystickDevice("/proc/self/fd/" + std::to_string(g_pipe[0]));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  const uint8_t flags = data[0];
  fuzz::HeadlessSession session((flags & 1) ? ControllerKind::Ezhr17 : ControllerKind::Im483i);
  SetJoyWheel(1);
  JoyCalibrationData& c = JoyCalibration();
  c.Axis1Left = Field(data, 0);
  c.Axis1Centre = Field(data, 1);
  c.Axis1Right = Field(data, 2);
  c.Axis2Left = Field(data, 3);
  c.Axis2Centre = Field(data, 4);
  c.Axis2Right = Field(data, 5);
  c.Axis1Dir = static_cast<int16_t>(Field(data, 6) > 0 ? 1 : (Field(data, 6) < 0 ? -1 : 0));
  c.Axis2Dir = static_cast<int16_t>(Field(data, 7) > 0 ? 1 : (Field(data, 7) < 0 ? -1 : 0));
  c.DeadBand = Field(data, 8);
  JoyAxes() = (flags & 2) ? 1 : 0;
  AppSettings().JoyOn = 1;
  if (flags & 4) {
    CalibStart();
    JoyCalibrating() = 1;
  }

  // A few records per poll, as they come from a device between two ticks.
  const uint8_t* records = data + kHeader;
  const size_t count = (size - kHeader) / sizeof(js_event);
  for (size_t i = 0; i < count; i += 4) {
    const size_t n = count - i < 4 ? count - i : 4;
    Put(records + i * sizeof(js_event), n * sizeof(js_event));
    PeriodicTick();
    int16_t a1 = 0, a2 = 0, full = 0, button = 0;
    ReadJoystick(a1, a2, full, button);
    if (JoyAxes() == 1) JoyStepWheel(a1, full);
  }
  if (JoyCalibrating() == 1) CalibValid();
  JoyCentred();
  Rest();
  return 0;
}
