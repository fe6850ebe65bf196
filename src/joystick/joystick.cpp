#include "joystick/joystick.h"

#include <fcntl.h>
#include <linux/joystick.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "base/numbers.h"
#include "base/ui.h"
#include "comm/clock.h"
#include "params/trapar.h"
#include "wheels/wheels.h"

namespace nvx {

namespace {

JoyCalibrationData g_calib;
int16_t g_calibrating = 0;
int16_t g_axes = 0;

std::string g_devicePath = "/dev/input/js0";
std::unique_ptr<LinuxJoystick> g_device;
JoySource* g_source = nullptr;

constexpr uint32_t kReopenIntervalMs = 1000;
// A bound on the records taken per reading, so that a source that never runs
// dry (a huge file standing in for the device) cannot hold the tick.
constexpr int kMaxReadsPerPoll = 64;

JoySource& Source() {
  if (g_source) return *g_source;
  if (!g_device) g_device = std::make_unique<LinuxJoystick>(g_devicePath);
  return *g_device;
}

int16_t Clamp16(double v) {
  if (v > 32767.0) return 32767;
  if (v < -32767.0) return -32767;
  return static_cast<int16_t>(v);
}

}  // namespace

JoyCalibrationData& JoyCalibration() { return g_calib; }
int16_t& JoyCalibrating() { return g_calibrating; }
int16_t& JoyAxes() { return g_axes; }

void ResetJoystick() {
  g_calib = JoyCalibrationData{};
  g_calibrating = 0;
  g_axes = 0;
}

// --- the Linux device ---

LinuxJoystick::LinuxJoystick(std::string path) : path_(std::move(path)) {}

LinuxJoystick::~LinuxJoystick() { Close(); }

void LinuxJoystick::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  x_ = 0;
  y_ = 0;
  buttons_ = 0;
}

int16_t LinuxJoystick::Read(int32_t& x, int32_t& y, uint32_t& buttons) {
  x = 0;
  y = 0;
  buttons = 0;
  if (fd_ < 0) {
    const uint32_t now = CurrentClock().NowMs();
    if (tried_ && now - lastTryMs_ < kReopenIntervalMs) return -1;  // modulo 2^32
    tried_ = true;
    lastTryMs_ = now;
    fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) return -1;
  }
  js_event events[64];
  for (int i = 0; i < kMaxReadsPerPoll; ++i) {
    const ssize_t n = ::read(fd_, events, sizeof events);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      // The device went away (unplugged) or cannot be read: no joystick.
      Close();
      lastTryMs_ = CurrentClock().NowMs();
      return -1;
    }
    const size_t count = static_cast<size_t>(n) / sizeof(js_event);
    for (size_t k = 0; k < count; ++k) {
      const js_event& e = events[k];
      const unsigned type = e.type & ~static_cast<unsigned>(JS_EVENT_INIT);
      if (type == JS_EVENT_AXIS) {
        if (e.number == 0) x_ = e.value;
        if (e.number == 1) y_ = e.value;
      } else if (type == JS_EVENT_BUTTON && e.number < 32) {
        const uint32_t bit = 1u << e.number;
        buttons_ = e.value ? (buttons_ | bit) : (buttons_ & ~bit);
      }
    }
    if (static_cast<size_t>(n) < sizeof events) break;  // nothing more waiting
  }
  x = x_;
  y = y_;
  buttons = buttons_;
  return 1;
}

void SetJoystickDevice(const std::string& path) {
  g_devicePath = path;
  g_device.reset();
}

std::string JoystickDevice() { return g_devicePath; }

void SetJoySource(JoySource* source) { g_source = source; }

// --- readings ---

void ButtonFromMask(uint32_t mask, int16_t& button) {
  if (mask == 0) {
    button = 0;
    return;
  }
  for (int16_t b = 0; b < 8; ++b) {
    if (mask == (1u << b)) {
      button = static_cast<int16_t>(b + 1);
      return;
    }
  }
}

int16_t ReadJoyRaw(int32_t& x, int32_t& y, int16_t& button) {
  int32_t rx = 0;
  int32_t ry = 0;
  uint32_t mask = 0;
  const int16_t r = Source().Read(rx, ry, mask);
  if (r < 0) {
    rx = 0;
    ry = 0;
    mask = 0;
  }
  x = rx;
  y = ry;
  ButtonFromMask(mask, button);
  return r;
}

int16_t JoyAxisValue(int32_t v, int32_t left, int32_t centre, int32_t right, int32_t deadBand,
                     int16_t dir) {
  // The differences are taken in double precision: raw values and calibration
  // fields may lie anywhere in the 32-bit range.
  const double d = deadBand;
  if (d >= 1000.0) return 0;
  const double off = static_cast<double>(v) - centre;
  double value = 0.0;
  if (v < centre) {
    const double half = static_cast<double>(centre) - left;
    if (half == 0.0) return 0;
    const double f = RoundHalfEven(off * 1000.0 / half);
    value = f > -d ? 0.0 : RoundHalfEven((f + d) * 1000.0 / (1000.0 - d));
  } else {
    const double half = static_cast<double>(right) - centre;
    if (half == 0.0) return 0;
    const double f = RoundHalfEven(off * 1000.0 / half);
    value = f < d ? 0.0 : RoundHalfEven((f - d) * 1000.0 / (1000.0 - d));
  }
  return Clamp16(value * dir);
}

int16_t ReadJoystick(int16_t& a1, int16_t& a2, int16_t& full, int16_t& button) {
  int32_t x = 0;
  int32_t y = 0;
  button = 0;
  ReadJoyRaw(x, y, button);
  const JoyCalibrationData& c = g_calib;
  a1 = JoyAxisValue(x, c.Axis1Left, c.Axis1Centre, c.Axis1Right, c.DeadBand, c.Axis1Dir);
  a2 = JoyAxisValue(y, c.Axis2Left, c.Axis2Centre, c.Axis2Right, c.DeadBand, c.Axis2Dir);
  full = 1000;
  return 0;
}

int16_t JoyCentred() {
  int16_t a1 = 0;
  int16_t a2 = 0;
  int16_t full = 0;
  int16_t button = 0;
  ReadJoystick(a1, a2, full, button);
  return (a1 == 0 && a2 == 0) ? 1 : 0;
}

// --- calibration ---

void CalibStart() {
  int32_t x = 0;
  int32_t y = 0;
  int16_t button = 0;
  ReadJoyRaw(x, y, button);
  g_calib.Axis1Left = g_calib.Axis1Centre = g_calib.Axis1Right = x;
  g_calib.Axis2Left = g_calib.Axis2Centre = g_calib.Axis2Right = y;
}

namespace {

void Widen(int32_t v, int32_t& left, int32_t& centre, int32_t& right) {
  if (v < left) left = v;
  if (v > right) right = v;
  // A weighted mean of two 32-bit values always fits 32 bits.
  centre = static_cast<int32_t>(RoundHalfEven((static_cast<double>(v) + 4.0 * centre) / 5.0));
}

bool WideEnough(int32_t a, int32_t b, int32_t deadBand) {
  return std::fabs(static_cast<double>(a) - b) * 1000.0 / 32000.0 >= deadBand;
}

}  // namespace

void CalibSample() {
  int32_t x = 0;
  int32_t y = 0;
  int16_t button = 0;
  ReadJoyRaw(x, y, button);
  ShowMainMessage("Deflect to extremes: Axis1 =" + FormatInt(x) + ", Axis2 =" + FormatInt(y) +
                  ", But=" + FormatInt(button));
  Widen(x, g_calib.Axis1Left, g_calib.Axis1Centre, g_calib.Axis1Right);
  Widen(y, g_calib.Axis2Left, g_calib.Axis2Centre, g_calib.Axis2Right);
}

int16_t CalibValid() {
  const JoyCalibrationData& c = g_calib;
  if (!WideEnough(c.Axis1Centre, c.Axis1Left, c.DeadBand)) return 0;
  if (!WideEnough(c.Axis1Right, c.Axis1Centre, c.DeadBand)) return 0;
  if (!WideEnough(c.Axis2Centre, c.Axis2Left, c.DeadBand)) return 0;
  if (!WideEnough(c.Axis2Right, c.Axis2Centre, c.DeadBand)) return 0;
  return 1;
}

// --- ZR_JOY.TXT ---

int16_t ReadJoyPar() {
  SetParFile("ZR_JOY.TXT");
  if (ReadCurPar() == -1) return -1;
  bool all = true;
  // Each key in turn; a key that is missing, not a number or out of range
  // leaves its field as it was.
  auto axis = [&all](const char* key, int32_t& field) {
    double v = 0;
    if (ParMsg(key, v, "from") != 1) {
      all = false;
      return;
    }
    const auto n = ToInt32(v);
    if (!n) {
      all = false;
      return;
    }
    field = *n;
  };
  auto dir = [&all](const char* key, int16_t& field) {
    double v = 0;
    if (ParMsg(key, v, "from") != 1) {
      all = false;
      return;
    }
    field = static_cast<int16_t>(v > 0 ? 1 : (v < 0 ? -1 : 0));
  };
  JoyCalibrationData& c = g_calib;
  axis("JAXIS1_L", c.Axis1Left);
  axis("JAXIS1_0", c.Axis1Centre);
  axis("JAXIS1_R", c.Axis1Right);
  axis("JAXIS2_L", c.Axis2Left);
  axis("JAXIS2_0", c.Axis2Centre);
  axis("JAXIS2_R", c.Axis2Right);
  {
    double v = 0;
    const auto n = ParMsg("JLATENT", v, "from") == 1 ? ToInt32(v) : std::nullopt;
    const int64_t band = n ? static_cast<int64_t>(*n) * 10 : 0;
    if (n && band >= INT32_MIN && band <= INT32_MAX) {
      c.DeadBand = static_cast<int32_t>(band);
    } else {
      all = false;
    }
  }
  dir("JAXIS1_Dir", c.Axis1Dir);
  dir("JAXIS2_Dir", c.Axis2Dir);
  return all ? 1 : -1;
}

int16_t WriteJoyPar() {
  SetParFile("ZR_JOY.TXT");
  const JoyCalibrationData& c = g_calib;
  auto put = [](const char* key, double v, const char* mode) { ParMsg(key, v, mode); };
  put("JAXIS1_L", c.Axis1Left, "clear");
  put("JAXIS1_0", c.Axis1Centre, "to");
  put("JAXIS1_R", c.Axis1Right, "to");
  put("JAXIS2_L", c.Axis2Left, "to");
  put("JAXIS2_0", c.Axis2Centre, "to");
  put("JAXIS2_R", c.Axis2Right, "to");
  put("JLATENT", static_cast<double>(c.DeadBand) * 100.0 / 1000.0, "to");
  put("JAXIS1_Dir", c.Axis1Dir, "to");
  put("JAXIS2_Dir", c.Axis2Dir, "to");
  return WriteCurPar();
}

// --- the axes ---

int16_t JoyAxesToDevice(int16_t a1, int16_t /*a2*/, int16_t full, int16_t /*button*/) {
  if (g_axes != 1) return 0;
  return JoyStepWheel(a1, full);
}

}  // namespace nvx
