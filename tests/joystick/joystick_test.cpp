// The joystick: button masks, scaling with the dead band, calibration, the
// calibration file, and the Linux device's event folding.
#include <gtest/gtest.h>
#include <linux/joystick.h>

#include <fstream>
#include <random>

#include "joystick/joystick.h"
#include "params/trapar.h"
#include "support/fake_time.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace nvx::test {
namespace {

struct FakeJoy : JoySource {
  int32_t x = 0, y = 0;
  uint32_t mask = 0;
  int16_t result = 1;
  int reads = 0;
  int16_t Read(int32_t& ox, int32_t& oy, uint32_t& buttons) override {
    ++reads;
    ox = x;
    oy = y;
    buttons = mask;
    return result;
  }
};

class JoyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui_.LoadMainWindow();
    SetParDir(tmp_.path());
    SetJoySource(&joy_);
    JoyCalibration() = JoyCalibrationData{};
    JoyCalibrating() = 0;
    JoyAxes() = 0;
  }
  void TearDown() override {
    SetJoySource(nullptr);
    JoyCalibration() = JoyCalibrationData{};
    CurParList().clear();
  }
  static void Calibrate(int32_t l, int32_t c, int32_t r, int32_t deadBand) {
    JoyCalibrationData& k = JoyCalibration();
    k.Axis1Left = k.Axis2Left = l;
    k.Axis1Centre = k.Axis2Centre = c;
    k.Axis1Right = k.Axis2Right = r;
    k.Axis1Dir = k.Axis2Dir = 1;
    k.DeadBand = deadBand;
  }

  TempDir tmp_;
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
  FakeJoy joy_;
};

// --- buttons ---

TEST(JoyButtons, MaskToNumber) {
  struct Case {
    uint32_t mask;
    int16_t before;
    int16_t after;
  };
  for (const Case& c :
       {Case{0, 5, 0}, Case{1, 0, 1}, Case{2, 0, 2}, Case{4, 0, 3}, Case{8, 0, 4}, Case{16, 0, 5},
        Case{32, 0, 6}, Case{64, 0, 7}, Case{128, 0, 8}, Case{3, 5, 5}, Case{3, 0, 0},
        Case{256, 5, 5}, Case{0x80000000u, 5, 5}, Case{0x81, 5, 5}}) {
    int16_t b = c.before;
    ButtonFromMask(c.mask, b);
    EXPECT_EQ(b, c.after) << c.mask;
  }
}

TEST_F(JoyTest, FailedReadingIsCentreAndNoButton) {
  joy_.x = 1234;
  joy_.y = -99;
  joy_.mask = 4;
  joy_.result = -1;
  int32_t x = 7, y = 7;
  int16_t b = 0;
  EXPECT_LT(ReadJoyRaw(x, y, b), 0);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(b, 0);
  joy_.result = 1;
  EXPECT_EQ(ReadJoyRaw(x, y, b), 1);
  EXPECT_EQ(x, 1234);
  EXPECT_EQ(y, -99);
  EXPECT_EQ(b, 3);
}

// --- scaling ---

struct AxisCase {
  int32_t v, left, centre, right, deadBand;
  int16_t dir;
  int16_t value;
};

class AxisScaling : public ::testing::TestWithParam<AxisCase> {};

TEST_P(AxisScaling, Value) {
  const AxisCase& c = GetParam();
  EXPECT_EQ(JoyAxisValue(c.v, c.left, c.centre, c.right, c.deadBand, c.dir), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AxisScaling,
    ::testing::Values(
        // plain range, no dead band
        AxisCase{0, -1000, 0, 1000, 0, 1, 0}, AxisCase{-1000, -1000, 0, 1000, 0, 1, -1000},
        AxisCase{1000, -1000, 0, 1000, 0, 1, 1000}, AxisCase{-1500, -1000, 0, 1000, 0, 1, -1500},
        AxisCase{2000, -1000, 0, 1000, 0, 1, 2000},
        // an off-centre calibration: each side scales by its own half-range
        AxisCase{3000, -30000, 1000, 5000, 0, 1, 500},
        AxisCase{-14500, -30000, 1000, 5000, 0, 1, -500},
        // dead band 100 (JLATENT 10), half-range 1000
        AxisCase{99, -1000, 0, 1000, 100, 1, 0}, AxisCase{100, -1000, 0, 1000, 100, 1, 0},
        AxisCase{550, -1000, 0, 1000, 100, 1, 500}, AxisCase{-99, -1000, 0, 1000, 100, 1, 0},
        AxisCase{-100, -1000, 0, 1000, 100, 1, 0}, AxisCase{-550, -1000, 0, 1000, 100, 1, -500},
        AxisCase{1000, -1000, 0, 1000, 100, 1, 1000},
        // halves to even: (202-200)*1000/800 = 2.5, (206-200)*1000/800 = 7.5
        AxisCase{202, -1000, 0, 1000, 200, 1, 2}, AxisCase{206, -1000, 0, 1000, 200, 1, 8},
        // directions
        AxisCase{550, -1000, 0, 1000, 100, -1, -500}, AxisCase{550, -1000, 0, 1000, 100, 0, 0},
        // zero half-ranges and a dead band of 1000 or more are safe
        AxisCase{0, 0, 0, 0, 0, 1, 0}, AxisCase{32767, 0, 0, 0, 0, 1, 0},
        AxisCase{-32767, 0, 0, 0, 100, 1, 0}, AxisCase{-5, 0, 0, 500, 0, 1, 0},
        AxisCase{5, -500, 0, 0, 0, 1, 0}, AxisCase{1000, -1000, 0, 1000, 1000, 1, 0},
        AxisCase{1000, -1000, 0, 1000, 5000, 1, 0},
        // results beyond 16 bits are clamped
        AxisCase{32767, -1, 0, 1, 0, 1, 32767}, AxisCase{-32767, -1, 0, 1, 0, 1, -32767},
        AxisCase{32767, -1, 0, 1, 0, -1, -32767},
        // calibration values at the ends of the 32-bit range do not overflow
        AxisCase{-32767, INT32_MIN, INT32_MAX, INT32_MAX, 0, 1, -500},
        AxisCase{INT32_MAX, INT32_MIN, 0, INT32_MAX, 0, 1, 1000}));

TEST_F(JoyTest, ReadJoystickScalesBothAxes) {
  Calibrate(-1000, 0, 1000, 100);
  JoyCalibration().Axis2Dir = -1;
  joy_.x = 550;
  joy_.y = -1000;
  joy_.mask = 1;
  int16_t a1 = 0, a2 = 0, full = 0, b = 9;
  EXPECT_EQ(ReadJoystick(a1, a2, full, b), 0);
  EXPECT_EQ(a1, 500);
  EXPECT_EQ(a2, 1000);
  EXPECT_EQ(full, 1000);
  EXPECT_EQ(b, 1);
  joy_.mask = 1 | 4;  // two buttons at once
  ReadJoystick(a1, a2, full, b);
  EXPECT_EQ(b, 0);
}

TEST_F(JoyTest, AxisTwoSilencedByDirectionZero) {
  Calibrate(-1000, 0, 1000, 0);
  JoyCalibration().Axis2Dir = 0;
  for (int32_t y : {-5000, -1000, 0, 700, 32767}) {
    joy_.y = y;
    int16_t a1 = 0, a2 = 1, full = 0, b = 0;
    ReadJoystick(a1, a2, full, b);
    EXPECT_EQ(a2, 0) << y;
  }
}

TEST_F(JoyTest, Centred) {
  struct Case {
    int32_t x, y;
    int16_t centred;
  };
  Calibrate(-1000, 0, 1000, 100);
  for (const Case& c : {Case{0, 0, 1}, Case{99, -99, 1}, Case{101, 0, 0}, Case{0, -200, 0}}) {
    joy_.x = c.x;
    joy_.y = c.y;
    EXPECT_EQ(JoyCentred(), c.centred) << c.x << "," << c.y;
  }
  // No calibration read yet (all 0): any reading counts as centred.
  JoyCalibration() = JoyCalibrationData{};
  joy_.x = 30000;
  EXPECT_EQ(JoyCentred(), 1);
}

// --- calibration ---

TEST_F(JoyTest, CalibrationCollectsExtremesAndAveragesTheCentre) {
  joy_.x = 100;
  joy_.y = -50;
  CalibStart();
  const JoyCalibrationData& c = JoyCalibration();
  EXPECT_EQ(c.Axis1Left, 100);
  EXPECT_EQ(c.Axis1Centre, 100);
  EXPECT_EQ(c.Axis1Right, 100);
  EXPECT_EQ(c.Axis2Left, -50);
  EXPECT_EQ(c.Axis2Right, -50);

  joy_.x = -400;
  joy_.y = 35;
  joy_.mask = 2;
  CalibSample();
  EXPECT_EQ(ui_.msgLine, "Deflect to extremes: Axis1 =-400, Axis2 =35, But=2");
  EXPECT_EQ(c.Axis1Left, -400);
  EXPECT_EQ(c.Axis1Right, 100);
  EXPECT_EQ(c.Axis1Centre, 0);  // N((-400 + 400) / 5)
  EXPECT_EQ(c.Axis2Left, -50);
  EXPECT_EQ(c.Axis2Right, 35);
  EXPECT_EQ(c.Axis2Centre, -33);  // N((35 - 200) / 5)

  joy_.x = 32767;
  joy_.y = 0;
  joy_.mask = 3;
  CalibSample();
  EXPECT_EQ(ui_.msgLine, "Deflect to extremes: Axis1 =32767, Axis2 =0, But=0");
  EXPECT_EQ(c.Axis1Right, 32767);
  EXPECT_EQ(c.Axis1Centre, 6553);  // N(32767 / 5) = N(6553.4)
  EXPECT_EQ(c.Axis2Centre, -26);   // N(-132 / 5) = N(-26.4)
}

TEST_F(JoyTest, CalibValidNeedsEveryHalfRange) {
  // DeadBand 100: each half-range must be at least 3200 raw units.
  struct Case {
    int32_t l1, c1, r1, l2, c2, r2;
    int16_t valid;
  };
  for (const Case& k :
       {Case{-3200, 0, 3200, -3200, 0, 3200, 1}, Case{-3199, 0, 3200, -3200, 0, 3200, 0},
        Case{-3200, 0, 3199, -3200, 0, 3200, 0}, Case{-3200, 0, 3200, -3199, 0, 3200, 0},
        Case{-3200, 0, 3200, -3200, 0, 3199, 0}, Case{-32767, 500, 32767, -32767, -700, 32767, 1},
        Case{0, 0, 0, 0, 0, 0, 0}}) {
    JoyCalibrationData& c = JoyCalibration();
    c = JoyCalibrationData{k.l1, k.c1, k.r1, k.l2, k.c2, k.r2, 1, 1, 100};
    EXPECT_EQ(CalibValid(), k.valid) << k.l1 << " " << k.r1 << " " << k.l2 << " " << k.r2;
  }
  JoyCalibration() = JoyCalibrationData{};  // dead band 0: anything passes
  EXPECT_EQ(CalibValid(), 1);
}

TEST_F(JoyTest, CalibrationWithoutSamplesIsNotValid) {
  // With the joystick off the tick takes no sample: start then end at once.
  Calibrate(-20000, 0, 20000, 100);
  joy_.x = 10;
  joy_.y = 10;
  CalibStart();
  EXPECT_EQ(CalibValid(), 0);
}

// --- ZR_JOY.TXT ---

const char* kJoyFile =
    "\"JAXIS1_L\",-30000\r\n"
    "\"JAXIS1_0\",  120\r\n"
    "\"JAXIS1_R\",31000.4\r\n"
    "\"JAXIS2_L\",-29000\r\n"
    "\"JAXIS2_0\",-12\r\n"
    "\"JAXIS2_R\",30000\r\n"
    "\"JLATENT\",12.5, percent\r\n"
    "\"JAXIS1_Dir\",-7\r\n"
    "\"JAXIS2_Dir\",0\r\n";

// The record's fields in file order: L, 0, R of each axis, the directions, the dead band.
std::vector<int32_t> Fields(const JoyCalibrationData& c) {
  return {c.Axis1Left,  c.Axis1Centre, c.Axis1Right, c.Axis2Left, c.Axis2Centre,
          c.Axis2Right, c.Axis1Dir,    c.Axis2Dir,   c.DeadBand};
}

TEST_F(JoyTest, ReadJoyParAllKeys) {
  tmp_.writeRaw("ZR_JOY.TXT", kJoyFile);
  EXPECT_EQ(ReadJoyPar(), 1);
  // 31000.4 rounds, JLATENT N(12.5) = 12, a direction of -7 is -1.
  EXPECT_EQ(Fields(JoyCalibration()),
            (std::vector<int32_t>{-30000, 120, 31000, -29000, -12, 30000, -1, 0, 120}));
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(GetParPath(), tmp_.file("ZR_JOY.TXT"));
}

TEST_F(JoyTest, ReadJoyParMissingFileChangesNothing) {
  Calibrate(-1, 2, 3, 40);
  EXPECT_EQ(ReadJoyPar(), -1);
  EXPECT_EQ(JoyCalibration().Axis1Centre, 2);
  EXPECT_EQ(JoyCalibration().DeadBand, 40);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "File " + tmp_.file("ZR_JOY.TXT") + " does not exist");
}

TEST_F(JoyTest, ReadJoyParBadOrMissingKeys) {
  struct Case {
    std::string replace;  // the line to change
    std::string with;     // its new text ("" drops it)
    size_t boxes;
  };
  for (const Case& k : {Case{"\"JLATENT\",12.5, percent\r\n", "", 1},
                        Case{"\"JLATENT\",12.5, percent\r\n", "\"JLATENT\",ten\r\n", 0},
                        Case{"\"JLATENT\",12.5, percent\r\n", "\"JLATENT\",1e9\r\n", 0},
                        Case{"\"JAXIS1_0\",  120\r\n", "\"JAXIS1_0\",3e9\r\n", 0},
                        Case{"\"JAXIS1_0\",  120\r\n", "\"jaxis1_0\",120\r\n", 1},
                        Case{"\"JAXIS2_Dir\",0\r\n", "\"JAXIS2_Dir\",\r\n", 0}}) {
    std::string file = kJoyFile;
    file.replace(file.find(k.replace), k.replace.size(), k.with);
    tmp_.writeRaw("ZR_JOY.TXT", file);
    JoyCalibration() = JoyCalibrationData{1, 2, 3, 4, 5, 6, 1, 1, 77};
    ui_.boxes.clear();
    EXPECT_EQ(ReadJoyPar(), -1) << k.with;
    ASSERT_EQ(ui_.boxes.size(), k.boxes) << k.with;
    const JoyCalibrationData& c = JoyCalibration();
    // The bad field keeps its value; the others are read.
    if (k.replace.find("JLATENT") != std::string::npos) {
      EXPECT_EQ(c.DeadBand, 77);
      EXPECT_EQ(c.Axis1Centre, 120);
    } else if (k.replace.find("JAXIS1_0") != std::string::npos) {
      EXPECT_EQ(c.Axis1Centre, 2);
      EXPECT_EQ(c.DeadBand, 120);
    } else {
      EXPECT_EQ(c.Axis2Dir, 1);
      EXPECT_EQ(c.Axis1Dir, -1);
    }
    if (k.boxes == 1) {
      EXPECT_EQ(ui_.boxes[0].text.rfind("Parameter ", 0), 0u);
      EXPECT_NE(ui_.boxes[0].text.find(" not found in " + tmp_.file("ZR_JOY.TXT")),
                std::string::npos);
      EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::Critical);
    }
  }
}

TEST_F(JoyTest, WriteJoyParWritesExactlyTheNineKeys) {
  tmp_.writeRaw("ZR_JOY.TXT", "\"OTHER\",1\r\n");
  JoyCalibration() = JoyCalibrationData{-30000, 120, 31000, -29000, -12, 30000, -1, 0, 125};
  EXPECT_EQ(WriteJoyPar(), 1);
  EXPECT_EQ(tmp_.read("ZR_JOY.TXT"),
            "\"JAXIS1_L\",-30000\r\n"
            "\"JAXIS1_0\", 120\r\n"
            "\"JAXIS1_R\", 31000\r\n"
            "\"JAXIS2_L\",-29000\r\n"
            "\"JAXIS2_0\",-12\r\n"
            "\"JAXIS2_R\", 30000\r\n"
            "\"JLATENT\", 12.5\r\n"
            "\"JAXIS1_Dir\",-1\r\n"
            "\"JAXIS2_Dir\", 0\r\n");
  // Read back: the same record, except the dead band goes through whole percent.
  JoyCalibration() = JoyCalibrationData{};
  EXPECT_EQ(ReadJoyPar(), 1);
  EXPECT_EQ(Fields(JoyCalibration()),
            (std::vector<int32_t>{-30000, 120, 31000, -29000, -12, 30000, -1, 0, 120}));
}

TEST_F(JoyTest, JlatentOfTwelveAndAHalfWritesBackAsTwelve) {
  tmp_.writeRaw("ZR_JOY.TXT", kJoyFile);
  ASSERT_EQ(ReadJoyPar(), 1);
  ASSERT_EQ(WriteJoyPar(), 1);
  EXPECT_NE(tmp_.read("ZR_JOY.TXT").find("\"JLATENT\", 12\r\n"), std::string::npos);
}

TEST_F(JoyTest, WriteJoyParFailureReportsIt) {
  SetParDir(tmp_.file("missing/"));
  EXPECT_EQ(WriteJoyPar(), -1);
  EXPECT_TRUE(ui_.boxes.empty());
}

// --- the Linux device ---

std::string Event(uint8_t type, uint8_t number, int16_t value) {
  js_event e{};
  e.time = 1;
  e.type = type;
  e.number = number;
  e.value = value;
  return std::string(reinterpret_cast<const char*>(&e), sizeof e);
}

void Append(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::app);
  f << bytes;
}

TEST(LinuxJoystickTest, FoldsEventsIntoState) {
  TempDir tmp;
  const std::string path = tmp.file("js0");
  Append(path, Event(JS_EVENT_AXIS | JS_EVENT_INIT, 0, 0) +
                   Event(JS_EVENT_AXIS | JS_EVENT_INIT, 1, 0) +
                   Event(JS_EVENT_BUTTON | JS_EVENT_INIT, 0, 0) + Event(JS_EVENT_AXIS, 0, -5000) +
                   Event(JS_EVENT_AXIS, 1, 32767) + Event(JS_EVENT_AXIS, 2, 1234) +
                   Event(JS_EVENT_BUTTON, 1, 1));
  LinuxJoystick dev(path);
  int32_t x = 0, y = 0;
  uint32_t b = 0;
  ASSERT_EQ(dev.Read(x, y, b), 1);
  EXPECT_EQ(x, -5000);
  EXPECT_EQ(y, 32767);
  EXPECT_EQ(b, 2u);

  // Nothing new: the held state stays.
  ASSERT_EQ(dev.Read(x, y, b), 1);
  EXPECT_EQ(x, -5000);
  EXPECT_EQ(b, 2u);

  // Later events change it; a partial record at the end is not taken.
  Append(path, Event(JS_EVENT_BUTTON, 1, 0) + Event(JS_EVENT_BUTTON, 31, 1) +
                   Event(JS_EVENT_BUTTON, 40, 1) + Event(JS_EVENT_AXIS, 1, -32767) +
                   std::string("\x01\x02\x03", 3));
  ASSERT_EQ(dev.Read(x, y, b), 1);
  EXPECT_EQ(x, -5000);
  EXPECT_EQ(y, -32767);
  EXPECT_EQ(b, 0x80000000u);
}

TEST(LinuxJoystickTest, MissingDeviceOrDirectoryReadsCentreNoButton) {
  TempDir tmp;
  FakeTime time;
  for (const std::string& path : {tmp.file("js9"), tmp.path()}) {  // missing; a directory: EISDIR
    const bool appears = path != tmp.path();
    LinuxJoystick dev(path);
    int32_t x = 5, y = 5;
    uint32_t b = 5;
    EXPECT_LT(dev.Read(x, y, b), 0) << path;
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(b, 0u);
    if (appears) Append(path, Event(JS_EVENT_AXIS, 0, 700));
    time.clock.Advance(999);
    EXPECT_LT(dev.Read(x, y, b), 0) << path;  // opening again waits a second
    time.clock.Advance(1);
    EXPECT_EQ(dev.Read(x, y, b), appears ? 1 : -1) << path;
    EXPECT_EQ(x, appears ? 700 : 0);
  }
}

TEST(LinuxJoystickTest, GarbageAndLongStreams) {
  TempDir tmp;
  const std::string path = tmp.file("js0");
  std::mt19937 rng(3);
  std::string bytes(200000, '\0');
  for (char& c : bytes) c = static_cast<char>(rng() & 0xff);
  Append(path, bytes);
  LinuxJoystick dev(path);
  int32_t x = 0, y = 0;
  uint32_t b = 0;
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(dev.Read(x, y, b), 1);
    EXPECT_GE(x, -32768);
    EXPECT_LE(x, 32767);
    EXPECT_GE(y, -32768);
    EXPECT_LE(y, 32767);
  }
}

TEST(LinuxJoystickTest, DefaultSourceUsesTheNamedDevice) {
  TempDir tmp;
  const std::string path = tmp.file("js1");
  Append(path, Event(JS_EVENT_AXIS, 0, 700) + Event(JS_EVENT_AXIS, 1, -800) +
                   Event(JS_EVENT_BUTTON, 7, 1));
  const std::string before = JoystickDevice();
  EXPECT_EQ(before, "/dev/input/js0");
  SetJoySource(nullptr);
  SetJoystickDevice(path);
  EXPECT_EQ(JoystickDevice(), path);
  int32_t x = 0, y = 0;
  int16_t b = 0;
  EXPECT_EQ(ReadJoyRaw(x, y, b), 1);
  EXPECT_EQ(x, 700);
  EXPECT_EQ(y, -800);
  EXPECT_EQ(b, 8);
  SetJoystickDevice(before);
}

}  // namespace
}  // namespace nvx::test
