// The dispatch by controller type: which names select a driver, that every
// operation reaches an installed driver table with its arguments, what an
// unknown type does.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "comm/comm_test_util.h"

namespace nvx::test {
namespace {

struct Op {
  const char* name;
  std::function<int16_t()> call;
  const char* recorded;  // what a recording driver writes down for the call
};

std::vector<Op> AllOperations() {
  static int32_t pos = 5;
  // clang-format off
  return {
      {"MotorCommand", [] { std::string r; return MotorCommand("AZ", r); }, "command AZ"},
      {"MotorHome", [] { return MotorHome(-500, 200); }, "home -500 200"},
      {"MotorMoveRel", [] { return MotorMoveRel(10); }, "moveRel 10"},
      {"MotorGetPos", [] { double p = 0; return MotorGetPos(p); }, "getPos"},
      {"MotorSettle", [] { return MotorSettle(10); }, "settle 10"},
      {"MotorSetCurrents", [] { return MotorSetCurrents(10, 50); }, "setCurrents 10 50"},
      {"MotorSetAccel", [] { return MotorSetAccel(1, 2); }, "setAccel 1 2"},
      {"MotorSetAuxFlag", [] { return MotorSetAuxFlag(0); }, "setAuxFlag 0"},
      {"MotorSetAuxPair", [] { return MotorSetAuxPair(10, 50); }, "setAuxPair 10 50"},
      {"MotorSetSlewVel", [] { return MotorSetSlewVel(40000); }, "setSlewVel 40000"},
      {"MotorSetResolution", [] { return MotorSetResolution(4); }, "setResolution 4"},
      {"MotorSetInitVel", [] { return MotorSetInitVel(100); }, "setInitVel 100"},
      {"MotorSetPos", [] { return MotorSetPos(pos); }, "setPos 5"},
      {"MotorWaitStop", [] { return MotorWaitStop(); }, "waitStop"},
      {"MotorSetModeBit1", [] { return MotorSetModeBit1(1); }, "setModeBit1 1"},
      {"MotorSetModeSel", [] { return MotorSetModeSel(1); }, "setModeSel 1"},
      {"MotorSetFilterSteps", [] { return MotorSetFilterSteps(400); }, "setFilterSteps 400"},
      {"MotorProbe", [] { return MotorProbe(); }, "probe"},
      {"MotorSeekLimit", [] { return MotorSeekLimit(); }, "seekLimit"},
  };
  // clang-format on
}

// A driver table that writes down each operation with its arguments and
// answers `status`.
struct RecordingDriver {
  Strings log;
  int16_t status = 7;

  template <typename... A>
  int16_t Rec(const char* name, const A&... a) {
    std::ostringstream s;
    s << name;
    ((s << ' ' << a), ...);
    log.push_back(s.str());
    return status;
  }
  MotorDriver Table() {
    auto r = [this](const char* name) {
      return [this, name](const auto&... a) { return Rec(name, a...); };
    };
    // clang-format off
    return {.setLineEnds = [this] { Rec("setLineEnds"); },
            .command = [this](const std::string& q, std::string&) { return Rec("command", q); },
            .home = r("home"), .moveRel = r("moveRel"),
            .getPos = [this](double&) { return Rec("getPos"); },
            .settle = r("settle"), .setCurrents = r("setCurrents"), .setAccel = r("setAccel"),
            .setAuxFlag = r("setAuxFlag"), .setAuxPair = r("setAuxPair"),
            .setSlewVel = r("setSlewVel"), .setResolution = r("setResolution"),
            .setInitVel = r("setInitVel"), .setPos = r("setPos"), .waitStop = r("waitStop"),
            .setModeBit1 = r("setModeBit1"), .setModeSel = r("setModeSel"),
            .setFilterSteps = r("setFilterSteps"), .probe = r("probe"),
            .seekLimit = r("seekLimit")};
    // clang-format on
  }
};

using DispatchTest = LinkOnPty;

// Only the exact names select a driver. An installed driver table gets every
// operation with its arguments. The dispatch follows a change of type at once;
// an unknown type answers 0 to everything without traffic, and leaves the
// framing as it was.
TEST_F(DispatchTest, TypeNamesInstalledDriverTypeChangeAndUnknownType) {
  const std::pair<const char*, ControllerKind> cases[] = {
      {"IM483I", ControllerKind::Im483i}, {"EZHR17", ControllerKind::Ezhr17},
      {"ezhr17", ControllerKind::None},   {"", ControllerKind::None},
      {"IM483", ControllerKind::None},    {"im483i", ControllerKind::None},
      {" EZHR17", ControllerKind::None},  {"EZHR17 ", ControllerKind::None}};
  for (const auto& [text, kind] : cases) {
    Settings s;
    SetControllerType(s, text);
    EXPECT_EQ(s.ControllerType, text);
    EXPECT_EQ(s.Controller, kind) << '"' << text << '"';
  }
  SetControllerType(AppSettings(), "");
  RecordingDriver rec;
  Strings expected = {"setLineEnds"};
  {
    ScopedMotorDriver scoped(rec.Table());
    MotorSetLineEnds();
    for (const Op& op : AllOperations()) {
      EXPECT_EQ(op.call(), 7) << op.name;
      expected.push_back(op.recorded);
    }
  }
  EXPECT_EQ(rec.log, expected);
  EXPECT_EQ(MotorProbe(), 0);  // the configured type's table again
  OpenLink("IM483I", Echo(" 7"));
  EXPECT_EQ(MotorSetFilterSteps(400), 1);  // IM483I: nothing sent
  SetControllerType(AppSettings(), "EZHR17");
  EXPECT_EQ(MotorSetInitVel(100), 0);  // EZHR17: nothing to do
  SetControllerType(AppSettings(), "ezhr17");
  const auto before = PosixSerialPort::TotalTraffic();
  for (const Op& op : AllOperations()) EXPECT_EQ(op.call(), 0) << op.name;
  EXPECT_EQ(PosixSerialPort::TotalTraffic().written, before.written);
  EXPECT_TRUE(LogLines().empty());
  MotorSetLineEnds();
  std::string reply;
  EXPECT_EQ(CommInOut("AZ", reply), 1);
  EXPECT_EQ(reply, "AZ 7");
  EXPECT_EQ(peer_->Bytes(), "AZ\n");
}

}  // namespace
}  // namespace nvx::test
