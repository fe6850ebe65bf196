// The wheel model without a controller on the line: selection, the offline
// refusals, and what an unrecognised controller type does.
#include <gtest/gtest.h>

#include <initializer_list>

#include "base/settings.h"
#include "controllers/motcon.h"
#include "wheels/wheels.h"
#include "wheels_fixture.h"

namespace nvx::test {
namespace {

using WheelStateTest = WheelDirTest;

TEST_F(WheelStateTest, SelectionAndOutOfRangeIndexes) {
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
}

TEST_F(WheelStateTest, StepsRefusedWhileOfflineOrWithoutAWheel) {
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

TEST_F(WheelStateTest, UnknownControllerTypeDoesNothing) {
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

// Only an installed value of 1 counts: neither file of 2 or 0 is looked for;
// an installed wheel without its file fails with a message.
TEST_F(WheelStateTest, InstalledValuesAndMissingFiles) {
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
}

}  // namespace
}  // namespace nvx::test
