// The dispatch by controller type: which driver runs, what an unknown type
// does, the framing per type and the address kept across event processing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "comm/serial_port.h"
#include "link_fixture.h"
#include "support/recording_ui.h"

namespace nvx::test {
namespace {

using Strings = std::vector<std::string>;

struct Op {
  const char* name;
  std::function<int16_t()> call;
};

std::vector<Op> AllOperations() {
  static int32_t pos = 5;
  return {
      {"MotorCommand", [] { std::string r; return MotorCommand("AZ", r); }},
      {"MotorHome", [] { return MotorHome(-500, 200); }},
      {"MotorMoveRel", [] { return MotorMoveRel(10); }},
      {"MotorGetPos", [] { double p = 0; return MotorGetPos(p); }},
      {"MotorSettle", [] { return MotorSettle(10); }},
      {"MotorSetCurrents", [] { return MotorSetCurrents(10, 50); }},
      {"MotorSetAccel", [] { return MotorSetAccel(1, 2); }},
      {"MotorSetAuxFlag", [] { return MotorSetAuxFlag(0); }},
      {"MotorSetAuxPair", [] { return MotorSetAuxPair(10, 50); }},
      {"MotorSetSlewVel", [] { return MotorSetSlewVel(500); }},
      {"MotorSetResolution", [] { return MotorSetResolution(4); }},
      {"MotorSetInitVel", [] { return MotorSetInitVel(100); }},
      {"MotorSetPos", [] { return MotorSetPos(pos); }},
      {"MotorWaitStop", [] { return MotorWaitStop(); }},
      {"MotorSetModeBit1", [] { return MotorSetModeBit1(1); }},
      {"MotorSetModeSel", [] { return MotorSetModeSel(1); }},
      {"MotorSetFilterSteps", [] { return MotorSetFilterSteps(400); }},
      {"MotorProbe", [] { return MotorProbe(); }},
  };
}

class UnknownTypeTest : public ::testing::TestWithParam<const char*>, public LinkFixture {
 protected:
  void SetUp() override { OpenLink(GetParam(), 'A', Echo()); }
  void TearDown() override { CloseLink(); }
};

TEST_P(UnknownTypeTest, EveryOperationAnswersZeroWithoutTraffic) {
  const auto before = PosixSerialPort::TotalTraffic();
  for (const Op& op : AllOperations()) EXPECT_EQ(op.call(), 0) << op.name;
  EXPECT_EQ(PosixSerialPort::TotalTraffic().written, before.written);
  EXPECT_TRUE(LogLines().empty());
}

INSTANTIATE_TEST_SUITE_P(Types, UnknownTypeTest,
                         ::testing::Values("ezhr17", "", "IM483", "im483i", " EZHR17",
                                           "EZHR17 "));

class FramingTest : public ::testing::Test, public LinkFixture {
 protected:
  void TearDown() override { CloseLink(); }
};

TEST_F(FramingTest, Im483iEndsRequestsWithLineFeed) {
  OpenLink("IM483I", 'A', Echo(" 7"));
  std::string reply;
  EXPECT_EQ(CommInOut("AZ", reply), 1);
  EXPECT_EQ(reply, "AZ 7");
  EXPECT_EQ(peer_->Bytes(), "AZ\n");
}

TEST_F(FramingTest, Ezhr17EndsRequestsWithCarriageReturnAndWaitsForCrLf) {
  OpenLink("EZHR17", '1', Raw("ok\r\n"));
  std::string reply;
  EXPECT_EQ(CommInOut2("/1Q", reply), 1);
  EXPECT_EQ(reply, "ok");
  EXPECT_EQ(peer_->Bytes(), "/1Q\r");
}

TEST_F(FramingTest, UnknownTypeLeavesFramingAsItWas) {
  OpenLink("IM483I", 'A', Echo());
  AppSettings().ControllerType = "ezhr17";
  MotorSetLineEnds();
  std::string reply;
  EXPECT_EQ(CommInOut("AZ", reply), 1);
  EXPECT_EQ(peer_->Bytes(), "AZ\n");
}

TEST_F(FramingTest, DispatchFollowsTypeChangeAtOnce) {
  OpenLink("IM483I", 'A', Echo());
  EXPECT_EQ(MotorSetFilterSteps(400), 1);  // IM483I: nothing sent
  AppSettings().ControllerType = "EZHR17";
  EXPECT_EQ(MotorSetInitVel(100), 0);       // EZHR17: nothing to do
  const auto before = PosixSerialPort::TotalTraffic();
  AppSettings().ControllerType = "";
  EXPECT_EQ(MotorSetFilterSteps(400), 0);
  EXPECT_EQ(PosixSerialPort::TotalTraffic().written, before.written);
}

TEST(MotorStateTest, SettersStoreValues) {
  MotorSelect('B');
  EXPECT_EQ(MotorAddress(), 'B');
  MotorSetMoveTimeout(17);
  EXPECT_EQ(MotorMoveTimeout(), 17);
}

TEST(MotorStateTest, ProcessEventsPutsAddressBack) {
  RecordingUi ui;
  ScopedUi scoped(ui);
  MotorSelect('A');
  ui.onProcessEvents = [] { MotorSelect('B'); };
  MotorProcessEvents();
  EXPECT_EQ(ui.processEventsCalls, 1);
  EXPECT_EQ(MotorAddress(), 'A');
}

}  // namespace
}  // namespace nvx::test
