// The joystick: button masks, scaling with the dead band, calibration, the
// calibration file, and the Linux device's event folding.
#include <gtest/gtest.h>
#include <linux/joystick.h>

#include <fstream>
#include "joystick/joystick.h"
#include "params/trapar.h"
#include "support/fake_time.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace nvx::test {
namespace {

using Ints = std::vector<int32_t>;

struct FakeJoy : JoySource {
  int32_t x = 0, y = 0;
  uint32_t mask = 0;
  int16_t result = 1;
  int16_t Read(int32_t& ox, int32_t& oy, uint32_t& buttons) override {
    ox = x;
    oy = y;
    buttons = mask;
    return result;
  }
};

// The record's fields in file order: L, 0, R of each axis, the directions, the dead band.
Ints Fields(const JoyCalibrationData& c) {
  return {c.Axis1Left,  c.Axis1Centre, c.Axis1Right, c.Axis2Left, c.Axis2Centre,
          c.Axis2Right, c.Axis1Dir,    c.Axis2Dir,   c.DeadBand};
}

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
  // Both axes calibrated alike, directions 1.
  static void Calibrate(int32_t l, int32_t c, int32_t r, int32_t deadBand) {
    JoyCalibration() = JoyCalibrationData{l, c, r, l, c, r, 1, 1, deadBand};
  }
  void Set(int32_t x, int32_t y, uint32_t mask = 0) {
    joy_.x = x;
    joy_.y = y;
    joy_.mask = mask;
  }

  TempDir tmp_;
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
  FakeJoy joy_;
};

// One button down gives its number; none gives 0; more than one, or one
// beyond the eighth, leaves the number as it was.
TEST(JoyButtons, MaskToNumber) {
  // clang-format off
  const struct { uint32_t mask; int16_t before, after; } cases[] = {{0, 5, 0}, {1, 0, 1}, {2, 0, 2},
      {4, 0, 3}, {8, 0, 4}, {16, 0, 5}, {32, 0, 6}, {64, 0, 7}, {128, 0, 8}, {3, 5, 5}, {3, 0, 0},
      {256, 5, 5}, {0x80000000u, 5, 5}, {0x81, 5, 5}};
  // clang-format on
  for (const auto& c : cases) {
    int16_t b = c.before;
    ButtonFromMask(c.mask, b);
    EXPECT_EQ(b, c.after) << c.mask;
  }
}

// Each side scales by its own half-range after the dead band (thousandths),
// halves to even ((202-200)*1000/800 = 2.5 gives 2, 7.5 gives 8); direction -1
// reverses, 0 silences; zero half-ranges and a dead band of 1000 or more give
// 0; results are clamped to 16 bits; 32-bit calibration values do not overflow.
TEST(JoyAxisValue, Scales) {
  // clang-format off
  const struct { int32_t v, left, centre, right, deadBand; int16_t dir, value; } cases[] = {
      {0, -1000, 0, 1000, 0, 1, 0}, {-1000, -1000, 0, 1000, 0, 1, -1000},
      {1000, -1000, 0, 1000, 0, 1, 1000}, {-1500, -1000, 0, 1000, 0, 1, -1500},
      {2000, -1000, 0, 1000, 0, 1, 2000}, {3000, -30000, 1000, 5000, 0, 1, 500},
      {-14500, -30000, 1000, 5000, 0, 1, -500}, {99, -1000, 0, 1000, 100, 1, 0},
      {100, -1000, 0, 1000, 100, 1, 0}, {550, -1000, 0, 1000, 100, 1, 500},
      {-99, -1000, 0, 1000, 100, 1, 0}, {-100, -1000, 0, 1000, 100, 1, 0},
      {-550, -1000, 0, 1000, 100, 1, -500}, {1000, -1000, 0, 1000, 100, 1, 1000},
      {202, -1000, 0, 1000, 200, 1, 2}, {206, -1000, 0, 1000, 200, 1, 8},
      {550, -1000, 0, 1000, 100, -1, -500}, {550, -1000, 0, 1000, 100, 0, 0},
      {0, 0, 0, 0, 0, 1, 0}, {32767, 0, 0, 0, 0, 1, 0}, {-32767, 0, 0, 0, 100, 1, 0},
      {-5, 0, 0, 500, 0, 1, 0}, {5, -500, 0, 0, 0, 1, 0}, {1000, -1000, 0, 1000, 1000, 1, 0},
      {1000, -1000, 0, 1000, 5000, 1, 0}, {32767, -1, 0, 1, 0, 1, 32767},
      {-32767, -1, 0, 1, 0, 1, -32767}, {32767, -1, 0, 1, 0, -1, -32767},
      {-32767, INT32_MIN, INT32_MAX, INT32_MAX, 0, 1, -500},
      {INT32_MAX, INT32_MIN, 0, INT32_MAX, 0, 1, 1000}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(JoyAxisValue(c.v, c.left, c.centre, c.right, c.deadBand, c.dir), c.value)
        << c.v << " " << c.left << "/" << c.centre << "/" << c.right << " db " << c.deadBand
        << " dir " << c.dir;
  }
}

TEST_F(JoyTest, ReadJoystickScalesBothAxesAndTellsCentred) {
  Set(1234, -99, 4);  // a failed reading is centre and no button
  joy_.result = -1;
  int32_t x = 7, y = 7;
  int16_t b = 0;
  EXPECT_LT(ReadJoyRaw(x, y, b), 0);
  EXPECT_EQ(Ints({x, y, b}), Ints({0, 0, 0}));
  joy_.result = 1;
  EXPECT_EQ(ReadJoyRaw(x, y, b), 1);
  EXPECT_EQ(Ints({x, y, b}), Ints({1234, -99, 3}));
  Calibrate(-1000, 0, 1000, 100);
  JoyCalibration().Axis2Dir = -1;
  Set(550, -1000, 1);
  int16_t a1 = 0, a2 = 0, full = 0;
  EXPECT_EQ(ReadJoystick(a1, a2, full, b), 0);
  EXPECT_EQ(Ints({a1, a2, full, b}), Ints({500, 1000, 1000, 1}));
  joy_.mask = 1 | 4;  // two buttons at once
  ReadJoystick(a1, a2, full, b);
  EXPECT_EQ(b, 0);
  for (const Ints& c : {Ints{0, 0, 1}, Ints{99, -99, 1}, Ints{101, 0, 0}, Ints{0, -200, 0}}) {
    Set(c[0], c[1]);
    EXPECT_EQ(JoyCentred(), c[2]) << c[0] << "," << c[1];
  }
  // No calibration read yet (all 0): any reading counts as centred.
  JoyCalibration() = JoyCalibrationData{};
  joy_.x = 30000;
  EXPECT_EQ(JoyCentred(), 1);
}

// The centre is the running N((centre * 4 + sample) / 5).
TEST_F(JoyTest, CalibrationCollectsExtremesAveragesTheCentreAndNeedsEveryHalfRange) {
  Set(100, -50);
  CalibStart();
  EXPECT_EQ(Fields(JoyCalibration()), Ints({100, 100, 100, -50, -50, -50, 0, 0, 0}));
  Set(-400, 35, 2);
  CalibSample();
  EXPECT_EQ(ui_.msgLine, "Deflect to extremes: Axis1 =-400, Axis2 =35, But=2");
  EXPECT_EQ(Fields(JoyCalibration()), Ints({-400, 0, 100, -50, -33, 35, 0, 0, 0}));
  Set(32767, 0, 3);
  CalibSample();
  EXPECT_EQ(ui_.msgLine, "Deflect to extremes: Axis1 =32767, Axis2 =0, But=0");
  EXPECT_EQ(Fields(JoyCalibration()), Ints({-400, 6553, 32767, -50, -26, 35, 0, 0, 0}));

  // DeadBand 100: each half-range must be at least 3200 raw units; dead band
  // 0 passes anything. With the joystick off the tick takes no sample: a
  // start then an end at once is not valid.
  // clang-format off
  const struct { int32_t l1, c1, r1, l2, c2, r2; int16_t valid; } cases[] = {
      {-3200, 0, 3200, -3200, 0, 3200, 1}, {-3199, 0, 3200, -3200, 0, 3200, 0},
      {-3200, 0, 3199, -3200, 0, 3200, 0}, {-3200, 0, 3200, -3199, 0, 3200, 0},
      {-3200, 0, 3200, -3200, 0, 3199, 0}, {-32767, 500, 32767, -32767, -700, 32767, 1},
      {0, 0, 0, 0, 0, 0, 0}};
  // clang-format on
  for (const auto& k : cases) {
    JoyCalibration() = JoyCalibrationData{k.l1, k.c1, k.r1, k.l2, k.c2, k.r2, 1, 1, 100};
    EXPECT_EQ(CalibValid(), k.valid) << k.l1 << " " << k.r1 << " " << k.l2 << " " << k.r2;
  }
  JoyCalibration() = JoyCalibrationData{};
  EXPECT_EQ(CalibValid(), 1);
  Calibrate(-20000, 0, 20000, 100);
  Set(10, 10);
  CalibStart();
  EXPECT_EQ(CalibValid(), 0);
}

// --- ZR_JOY.TXT ---

const char* kJoyFile =
    "\"JAXIS1_L\",-30000\r\n\"JAXIS1_0\",  120\r\n\"JAXIS1_R\",31000.4\r\n\"JAXIS2_L\",-29000\r\n"
    "\"JAXIS2_0\",-12\r\n\"JAXIS2_R\",30000\r\n\"JLATENT\",12.5, percent\r\n"
    "\"JAXIS1_Dir\",-7\r\n\"JAXIS2_Dir\",0\r\n";

// The record read from kJoyFile: 31000.4 rounds, JLATENT N(12.5) = 12, a
// direction of -7 is -1.
const Ints kJoyRead = {-30000, 120, 31000, -29000, -12, 30000, -1, 0, 120};

// A missing file changes nothing; a bad or missing key keeps its field, the
// others are read. Only a missing file or key shows a message. Writing gives
// exactly the nine keys, replacing the file; read back the same record except
// the dead band, which goes through whole percent. A failed write shows nothing.
TEST_F(JoyTest, ReadAndWriteJoyPar) {
  const Ints seed = {1, 2, 3, 4, 5, 6, 1, 1, 77};
  JoyCalibration() = JoyCalibrationData{1, 2, 3, 4, 5, 6, 1, 1, 77};
  EXPECT_EQ(ReadJoyPar(), -1);
  EXPECT_EQ(Fields(JoyCalibration()), seed);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "File " + tmp_.file("ZR_JOY.TXT") + " does not exist");
  const std::string kLatent = "\"JLATENT\",12.5, percent\r\n", kC1 = "\"JAXIS1_0\",  120\r\n";
  // The line to change ("": the file as it is), its new text ("" drops it),
  // the messages, and the field that keeps its value (-1: none): 8 the dead
  // band (77), 1 axis 1's centre (2), 7 axis 2's direction (1).
  // clang-format off
  const struct { std::string replace, with; size_t boxes; int field; } cases[] = {{"", "", 0, -1},
      {kLatent, "", 1, 8}, {kLatent, "\"JLATENT\",ten\r\n", 0, 8},
      {kLatent, "\"JLATENT\",1e9\r\n", 0, 8}, {kC1, "\"JAXIS1_0\",3e9\r\n", 0, 1},
      {kC1, "\"jaxis1_0\",120\r\n", 1, 1}, {"\"JAXIS2_Dir\",0\r\n", "\"JAXIS2_Dir\",\r\n", 0, 7}};
  // clang-format on
  for (const auto& k : cases) {
    std::string file = kJoyFile;
    file.replace(file.find(k.replace), k.replace.size(), k.with);
    tmp_.writeRaw("ZR_JOY.TXT", file);
    JoyCalibration() = JoyCalibrationData{1, 2, 3, 4, 5, 6, 1, 1, 77};
    ui_.boxes.clear();
    EXPECT_EQ(ReadJoyPar(), k.field < 0 ? 1 : -1) << k.with;
    Ints want = kJoyRead;
    if (k.field >= 0) want[k.field] = seed[k.field];
    EXPECT_EQ(Fields(JoyCalibration()), want) << k.with;
    ASSERT_EQ(ui_.boxes.size(), k.boxes) << k.with;
    if (k.boxes == 0) continue;
    const std::string key = k.replace.substr(1, k.replace.find('"', 1) - 1);
    EXPECT_EQ(ui_.boxes[0].text, "Parameter " + key + " not found in " + tmp_.file("ZR_JOY.TXT"));
    EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::Critical);
  }
  EXPECT_EQ(GetParPath(), tmp_.file("ZR_JOY.TXT"));

  tmp_.writeRaw("ZR_JOY.TXT", "\"OTHER\",1\r\n");
  JoyCalibration() = JoyCalibrationData{-30000, 120, 31000, -29000, -12, 30000, -1, 0, 125};
  EXPECT_EQ(WriteJoyPar(), 1);
  EXPECT_EQ(tmp_.read("ZR_JOY.TXT"),
            "\"JAXIS1_L\",-30000\r\n\"JAXIS1_0\", 120\r\n\"JAXIS1_R\", 31000\r\n"
            "\"JAXIS2_L\",-29000\r\n\"JAXIS2_0\",-12\r\n\"JAXIS2_R\", 30000\r\n"
            "\"JLATENT\", 12.5\r\n\"JAXIS1_Dir\",-1\r\n\"JAXIS2_Dir\", 0\r\n");
  JoyCalibration() = JoyCalibrationData{};
  EXPECT_EQ(ReadJoyPar(), 1);
  EXPECT_EQ(Fields(JoyCalibration()), kJoyRead);
  SetParDir(tmp_.file("missing/"));
  EXPECT_EQ(WriteJoyPar(), -1);
  EXPECT_TRUE(ui_.boxes.empty());
}

// --- the Linux device ---

std::string Event(uint8_t type, uint8_t number, int16_t value) {
  js_event e{1, value, type, number};
  return std::string(reinterpret_cast<const char*>(&e), sizeof e);
}

void Append(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::app);
  f << bytes;
}

Ints Read(LinuxJoystick& dev, int16_t result = 1) {
  int32_t x = 5, y = 5;
  uint32_t b = 5;
  EXPECT_EQ(dev.Read(x, y, b), result);
  return {x, y, static_cast<int32_t>(b)};
}

// Axes 0 and 1 and the buttons are folded into a held state; later events
// change it; a partial record at the end is not taken. (The program reading
// its device through the default source is tested on a FIFO in tests/app.)
// A missing device or a directory (EISDIR) reads centre and no button; it is
// opened again a second later.
TEST(LinuxJoystickTest, FoldsEventsOrReadsCentreWithoutADevice) {
  TempDir tmp;
  const std::string path = tmp.file("js0");
  Append(path, Event(JS_EVENT_AXIS | JS_EVENT_INIT, 0, 0) +
                   Event(JS_EVENT_AXIS | JS_EVENT_INIT, 1, 0) +
                   Event(JS_EVENT_BUTTON | JS_EVENT_INIT, 0, 0) + Event(JS_EVENT_AXIS, 0, -5000) +
                   Event(JS_EVENT_AXIS, 1, 32767) + Event(JS_EVENT_AXIS, 2, 1234) +
                   Event(JS_EVENT_BUTTON, 1, 1));
  LinuxJoystick dev(path);
  EXPECT_EQ(Read(dev), Ints({-5000, 32767, 2}));
  EXPECT_EQ(Read(dev), Ints({-5000, 32767, 2}));  // nothing new: the held state stays
  Append(path, Event(JS_EVENT_BUTTON, 1, 0) + Event(JS_EVENT_BUTTON, 31, 1) +
                   Event(JS_EVENT_BUTTON, 40, 1) + Event(JS_EVENT_AXIS, 1, -32767) +
                   std::string("\x01\x02\x03", 3));
  EXPECT_EQ(Read(dev), Ints({-5000, -32767, static_cast<int32_t>(0x80000000u)}));

  EXPECT_EQ(JoystickDevice(), "/dev/input/js0");  // the default source's device

  FakeTime time;
  for (const std::string& where : {tmp.file("js9"), tmp.path()}) {
    const bool appears = where != tmp.path();
    LinuxJoystick late(where);
    EXPECT_EQ(Read(late, -1), Ints({0, 0, 0})) << where;
    if (appears) Append(where, Event(JS_EVENT_AXIS, 0, 700));
    time.clock.Advance(999);
    Read(late, -1);
    time.clock.Advance(1);
    EXPECT_EQ(Read(late, appears ? 1 : -1)[0], appears ? 700 : 0) << where;
  }
}

}  // namespace
}  // namespace nvx::test
