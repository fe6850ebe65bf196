// The wheel model without a controller on the line: the wheel files, the
// selection, the offline refusals, and what an unrecognised controller type does.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/settings.h"
#include "controllers/motcon.h"
#include "params/trapar.h"
#include "wheels/wheels.h"
#include "wheels_fixture.h"

namespace nvx::test {
namespace {

using WheelStateTest = WheelDirTest;

TEST_F(WheelStateTest, SelectionOutOfRangeIndexesAndStepsRefusedOffline) {
  CurFilter(3) = 5;  // out of range: never touches a wheel
  WheelOnline(-1) = 1;
  WheelPar(7).filterCount = 99;
  for (int n : {1, 2}) {
    EXPECT_EQ(WheelOnline(n), 0);
    EXPECT_EQ(CurFilter(n), 0);
    EXPECT_EQ(WheelPar(n).filterCount, 0);
  }
  EXPECT_EQ(GetJoyStepLatch(), 0);
  WheelPar(1).filterCount = 6;
  WheelPar(2).filterCount = 8;
  EXPECT_EQ(SelectWheel(2), 8);  // answers the filter count
  EXPECT_EQ(GetSelWheel(), 2);
  EXPECT_EQ(SelectWheel(1), 6);
  EXPECT_EQ(SelectWheel(3), 0);  // no such wheel: nothing changes
  EXPECT_EQ(SelectWheel(0), 0);
  EXPECT_EQ(GetSelWheel(), 1);
  SetJoyWheel(2);
  EXPECT_EQ(GetJoyWheel(), 2);
  ResetWheels();
  EXPECT_EQ(GetJoyWheel(), 0);
  EXPECT_EQ(ConfigWheel(0), -1);
  EXPECT_EQ(ConfigWheel(3), -1);
  EXPECT_EQ(InitWheel(3), -1);
  // Steps are refused while offline or without a wheel.
  WheelPar(1).filterCount = 6;
  CurFilter(1) = 3;
  SelectWheel(1);
  EXPECT_EQ(DevNextFilter(), 0);
  EXPECT_EQ(DevPrevFilter(), 0);
  EXPECT_EQ(CurFilter(1), 3);
  for (int16_t w : std::initializer_list<int16_t>{1, 0, 3}) {
    SetJoyWheel(w);
    EXPECT_EQ(JoyStepWheel(w == 3 ? int16_t{900} : int16_t{-900}, 1000), 1);
    EXPECT_EQ(GetJoyStepLatch(), 0);
  }
  EXPECT_EQ(CurFilter(1), 3);
  EXPECT_TRUE(ui_.captions.empty());
}

// Only an installed value of 1 counts: neither file of 2 or 0 is looked for;
// an installed wheel without its file fails with a message. With a type not
// recognised nothing moves, and installed wheels stay offline.
TEST_F(WheelStateTest, InstalledValuesMissingFilesAndUnknownControllerType) {
  SetControllerType(AppSettings(), "IM483I");
  AppSettings().WheelInstalled[1] = 2;
  AppSettings().WheelInstalled[2] = 0;
  WheelOnline(1) = 1;  // from an earlier configuration
  EXPECT_EQ(InitDevices(), 1);
  EXPECT_EQ(WheelOnline(1) + WheelOnline(2), 0);
  EXPECT_TRUE(ui_.boxes.empty());
  AppSettings().WheelInstalled[2] = 1;
  EXPECT_EQ(InitDevices(), -1);
  EXPECT_EQ(WheelOnline(2), 0);
  EXPECT_EQ(ui_.boxes,
            std::vector<std::string>{"File " + Path("ZR_PARW2.TXT") + " does not exist"});
  ui_.boxes.clear();
  SetControllerType(AppSettings(), "ezhr17");  // compared with case
  WheelPar(1).filterCount = 6;
  WheelPar(1).StepsPerFilter = 3200.0 / 6;
  SelectWheel(1);
  int16_t k = 4;
  EXPECT_EQ(GetFilter(k), 0);
  EXPECT_EQ(k, 4);  // untouched
  EXPECT_EQ(GoToFilter(2), 0);
  EXPECT_EQ(HomeWheel(), 0);
  WheelOnline(1) = 1;
  CurFilter(1) = 2;
  EXPECT_EQ(DevNextFilter(), 0);
  EXPECT_EQ(CurFilter(1), 3);  // recorded whatever the move did

  // Installed wheels stay offline; their files are read all the same.
  ResetWheels();
  SetControllerType(AppSettings(), "");
  AppSettings().MoveTimeout = 7;
  AppSettings().WheelInstalled[1] = AppSettings().WheelInstalled[2] = 1;
  PutWheel(1, {});
  PutWheel(2, {.contr = "B"});
  SetJoyWheel(2);
  EXPECT_EQ(InitDevices(), -1);
  EXPECT_EQ(MotorMoveTimeout(), 7);
  EXPECT_EQ(WheelOnline(1) + WheelOnline(2), 0);
  EXPECT_EQ(GetJoyWheel(), 2);  // no wheel online: kept
  EXPECT_EQ(WheelPar(1).address, 'A');
  EXPECT_EQ(WheelPar(2).address, 'B');
  EXPECT_TRUE(ui_.boxes.empty());
}

// A wheel's fields in file order (address, the two currents, the speeds, the
// offset, the filter count), then what follows from them: deceleration, steps
// per filter, and the fixed values (auxA, auxB, home speed, resolution).
std::vector<double> Fields(const WheelParRec& w) {
  return {1.0 * w.address,   1.0 * w.holdCurrent, 1.0 * w.runCurrent, 1.0 * w.slewVel,
          1.0 * w.initVel,   1.0 * w.accel,       w.homeOffset,       1.0 * w.filterCount,
          1.0 * w.decel,     w.StepsPerFilter,    1.0 * w.auxA,       1.0 * w.auxB,
          1.0 * w.homeSpeed, 1.0 * w.resExponent};
}

class ReadWheelParTest : public WheelDirTest {
 protected:
  // Values that no read of the standard file would produce, to see which
  // fields a failed read leaves alone.
  static void Seed(int n) {
    // address, resolution, currents, speeds, decel, auxA, auxB, home speed, offset, N, steps
    WheelPar(n) = {'Q', 4, 1, 2, 3, 4, 5, 6, 0, 0, 0, 7.5, 8, 400};
  }
  // The message for key `key` of wheel 1's file: "not found" or "has a bad value".
  std::string Msg(const std::string& key, const std::string& what = "not found") const {
    return "Parameter " + key + " " + what + " in " + Path("ZR_PARW1.TXT");
  }
};

// No such wheel, or no file: nothing is read but the fixed values, which are
// set before the file is looked at. A slew velocity beyond 16 bits is still a
// 32-bit value; the offset is not rounded.
TEST_F(ReadWheelParTest, ReadsEveryKeyOrNothing) {
  for (int16_t n : std::initializer_list<int16_t>{0, 3}) EXPECT_EQ(ReadWheelPar(n), -1) << n;
  EXPECT_TRUE(ui_.boxes.empty());
  Seed(1);
  EXPECT_EQ(ReadWheelPar(1), -1);
  EXPECT_EQ(ui_.boxes,
            std::vector<std::string>{"File " + Path("ZR_PARW1.TXT") + " does not exist"});
  EXPECT_EQ(Fields(WheelPar(1)),
            (std::vector<double>{'Q', 1, 2, 3, 4, 5, 7.5, 8, 6, 400, 10, 50, -500, 4}));
  ui_.boxes.clear();
  PutWheel(1, {"A", "12", "55", "40000", "300", "120", "-12.75"});
  ASSERT_EQ(ReadWheelPar(1), 1);
  EXPECT_EQ(Fields(WheelPar(1)), (std::vector<double>{'A', 12, 55, 40000, 300, 120, -12.75, 6, 120,
                                                      3200.0 / 6.0, 10, 50, -500, 4}));
  EXPECT_TRUE(ui_.boxes.empty());
  // The current parameter list now holds the wheel's file.
  EXPECT_EQ(GetParPath(), Path("ZR_PARW1.TXT"));
  EXPECT_EQ(ParCount(), 8);

  // Wheel 2 reads its own file and keys; wheel 1's keys there are not looked at.
  Put("ZR_PARW2.TXT", WheelFileText("W1", {}) + WheelFileText("W2", {.contr = "B", .filt = "8"}));
  ASSERT_EQ(ReadWheelPar(2), 1);
  EXPECT_EQ(WheelPar(2).address, 'B');
  EXPECT_DOUBLE_EQ(WheelPar(2).StepsPerFilter, 400.0);
  EXPECT_EQ(WheelPar(1).holdCurrent, 12);  // wheel 1 untouched
  EXPECT_EQ(GetParPath(), Path("ZR_PARW2.TXT"));

  // Never read a usable count: nothing to divide by, nothing computed. Binary
  // garbage fails cleanly.
  ResetWheels();
  PutWheel(1, {.filt = "0"});
  EXPECT_EQ(ReadWheelPar(1), -1);
  EXPECT_EQ(WheelPar(1).filterCount, 0);
  EXPECT_DOUBLE_EQ(WheelPar(1).StepsPerFilter, 0.0);
  std::string junk = "\"W1CONTR\",\x01\x02\r\n\"W1FILTPOSITIONS\",\xff\xfe\r\n";
  Put("ZR_PARW1.TXT", junk + std::string(5000, '\0') + "\r\n");
  EXPECT_EQ(ReadWheelPar(1), -1);
  EXPECT_EQ(WheelPar(1).address, 1);
  EXPECT_EQ(WheelPar(1).filterCount, 0);
}

// A missing key gives one message and the rest is read; the deceleration
// follows the acceleration field even when it was missing.
TEST_F(ReadWheelParTest, MissingKeyGivesOneMessageAndTheRestIsRead) {
  const std::vector<double> seeded = {'Q', 1, 2, 3, 4, 5, 7.5, 8, 400};
  const std::vector<double> read = {'C', 11, 22, 3333, 444, 55, -66, 5, 640};
  for (size_t i = 0; i < kWheelKeys.size(); ++i) {
    const std::string& name = kWheelKeys[i];
    SCOPED_TRACE(name);
    PutWheel(1, {"C", "11", "22", "3333", "444", "55", "-66", "5"}, {name});
    Seed(1);
    ui_.boxes.clear();
    EXPECT_EQ(ReadWheelPar(1), -1);
    EXPECT_EQ(ui_.boxes, std::vector<std::string>{Msg("W1" + name)});
    std::vector<double> want = read;
    want[i] = seeded[i];
    if (i == 7) want[8] = seeded[8];  // no count: the steps per filter stay
    const WheelParRec& w = WheelPar(1);
    std::vector<double> got = Fields(w);
    got.resize(8);
    got.push_back(w.StepsPerFilter);
    EXPECT_EQ(got, want);
    EXPECT_EQ(w.decel, w.accel);
  }
  // Keys of the other wheel, or in the wrong case, are not wheel 1's keys: one
  // message per key, in file order.
  for (const char* prefix : {"W2", "w1"}) {
    ui_.boxes.clear();
    Put("ZR_PARW1.TXT", WheelFileText(prefix, {}));
    EXPECT_EQ(ReadWheelPar(1), -1) << prefix;
    std::vector<std::string> want;
    for (const auto& name : kWheelKeys) want.push_back(Msg("W1" + name));
    EXPECT_EQ(ui_.boxes, want) << prefix;
  }
}

// The address is the first byte of the trimmed text (never negative), and not
// empty. Halves go to even; currents and the filter count are 16 bits, speeds
// 32; a filter count must be at least 1, a slew velocity above 0 (or a move
// would never end). A refused value leaves the field's seed.
TEST_F(ReadWheelParTest, NumbersConvertOrFail) {
  // Key name after "W1", its text, whether it is taken, what the field holds
  // afterwards (the seed when refused).
  // clang-format off
  struct Case { std::string name, text; bool ok; double stored; };
  const Case cases[] = {{"CONTR", " a ", true, 'a'}, {"CONTR", "12", true, '1'},
      {"CONTR", "  9", true, '9'}, {"CONTR", "\xC3\xA9", true, 0xC3}, {"CONTR", "", false, 'Q'},
      {"HOLDCURRENT", "12.5", true, 12}, {"HOLDCURRENT", "13.5", true, 14},
      {"RUNCURRENT", "-0.5", true, 0}, {"ACCELERATION", "2.5e1", true, 25},
      {"FILTPOSITIONS", "6.5", true, 6}, {"FILTPOSITIONS", "7.5", true, 8},
      {"FILTPOSITIONS", "1", true, 1}, {"OFFSETHOME", ".25", true, 0.25},
      {"HOLDCURRENT", "32767", true, 32767}, {"HOLDCURRENT", "32768", false, 1},
      {"RUNCURRENT", "-32769", false, 2}, {"SLEWVELOCITY", "2147483647", true, 2147483647.0},
      {"SLEWVELOCITY", "3e9", false, 3}, {"INITVELOCITY", "-2147483649", false, 4},
      {"ACCELERATION", "1e300", false, 5}, {"HOLDCURRENT", "ten", false, 1},
      {"SLEWVELOCITY", "0x10", false, 3}, {"OFFSETHOME", "x", false, 7.5},
      {"INITVELOCITY", "", false, 4}, {"FILTPOSITIONS", "0", false, 8},
      {"FILTPOSITIONS", "-3", false, 8}, {"FILTPOSITIONS", "0.4", false, 8},
      {"FILTPOSITIONS", "x", false, 8}, {"FILTPOSITIONS", "40000", false, 8},
      {"SLEWVELOCITY", "0", false, 3}, {"SLEWVELOCITY", "-100", false, 3}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " " + c.text);
    // The file with this key's text; the other keys keep their usable values.
    Put("ZR_PARW1.TXT",
        WheelFileText("W1", {}, {c.name}) + "\"W1" + c.name + "\"," + c.text + ",remark\r\n");
    const auto i = static_cast<size_t>(std::find(kWheelKeys.begin(), kWheelKeys.end(), c.name) -
                                       kWheelKeys.begin());
    Seed(1);
    ui_.boxes.clear();
    EXPECT_EQ(ReadWheelPar(1), c.ok ? 1 : -1);
    // The other keys are read all the same.
    std::vector<double> want = {'A', 10, 50, 2000, 500, 100, 0, 6}, got = Fields(WheelPar(1));
    want[i] = c.stored;
    got.resize(want.size());
    EXPECT_EQ(got, want);
    const std::vector<std::string> none, bad = {Msg("W1" + c.name, "has a bad value")};
    EXPECT_EQ(ui_.boxes, c.ok ? none : bad);
  }
}

}  // namespace
}  // namespace nvx::test
