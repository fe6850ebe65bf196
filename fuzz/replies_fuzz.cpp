// Controller replies from any bytes, fed to the IM483I and EZHR17 drivers
// and the wheel operations over a serial port in memory.
//
// Input: records separated by 0x1E. The first names the controller type
// ('E' first: EZHR17, else IM483I) and then the operations to run, one
// character each (see Run). Every further record is the reply to one
// request: its first character says how it comes ('s' in two reads, 't' not
// at all, 'h' followed by a hang-up, 'e' followed by a failed read, anything
// else whole) and the rest are its bytes. Requests past the last record get
// no reply.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comm/comm.h"
#include "controllers/motcon.h"
#include "core/commands.h"
#include "core/wheel_actions.h"
#include "fuzz_support.h"
#include "wheels/wheels.h"

using namespace nvx;

namespace {

std::vector<fuzz::ReplyStep> g_script;

fuzz::ReplyStep StepOf(std::string_view record) {
  fuzz::ReplyStep step;
  if (record.empty()) return step;
  switch (record[0]) {
    case 's': step.kind = fuzz::ReplyStep::Kind::Split; break;
    case 't': step.kind = fuzz::ReplyStep::Kind::Silent; break;
    case 'h': step.kind = fuzz::ReplyStep::Kind::HangUp; break;
    case 'e': step.kind = fuzz::ReplyStep::Kind::ReadError; break;
    default: break;
  }
  step.bytes = std::string(record.substr(1));
  return step;
}

void Run(char op, int digit) {
  int16_t k = 0;
  double pos = 0;
  int32_t origin = 0;
  std::string reply;
  switch (op) {
    case '1':
    case '2':
      SelectWheel(static_cast<int16_t>(op - '0'));
      MotorSelect(WheelPar(op - '0').address);
      break;
    case 'p': MotorProbe(); break;
    case 'z': MotorGetPos(pos); break;
    case 'm': MotorMoveRel((digit - 4.5) * 100.25); break;
    case 'w': MotorWaitStop(); break;
    case 'h': MotorHome(-500, 125); break;
    case 'c':
      MotorCommand(AppSettings().Controller == ControllerKind::Ezhr17 ? "/1?0" : "AZ", reply);
      break;
    case 'R': MotorSetPos(origin); break;
    case 'S': MotorSettle(500); break;
    case 'V': MotorSetSlewVel(digit * 1000); break;
    case 'l': MotorSeekLimit(); break;
    case 'g': GoToFilter(static_cast<int16_t>(digit)); break;
    case 'f': GetFilter(k); break;
    case 'H': HomeWheel(); break;
    case 'n': DevNextFilter(); break;
    case 'N': DevPrevFilter(); break;
    case 'C': ConfigWheel(GetSelWheel()); break;
    case 'W': WaitWheel(); break;
    case 'j': JoyStepWheel(static_cast<int16_t>(digit >= 5 ? 1000 : -1000), 1000); break;
    // The wheel actions of the command language and the main window.
    case 'G': GoToFilterAndRecord(GetSelWheel(), static_cast<int16_t>(digit), false); break;
    case 'B': ReadBackFilter(GetSelWheel()); break;
    case 'A': HomeAndReadBack(GetSelWheel(), k); break;
    case 'X': WaitForWheel(GetSelWheel()); break;
    case 'E': CommDeliverEvents(); break;
    default: break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InstallQuietHost();
  SetSerialPortFactory([] { return std::make_unique<fuzz::ScriptPort>(&g_script); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> records = fuzz::SplitRecords(bytes, '\x1e');
  const std::string_view header = records[0];
  g_script.clear();
  for (size_t i = 1; i < records.size(); ++i) g_script.push_back(StepOf(records[i]));
  const bool ez = !header.empty() && header[0] == 'E';
  fuzz::HeadlessSession session(ez ? ControllerKind::Ezhr17 : ControllerKind::Im483i);
  CommOpenPort(1);
  for (size_t i = 1; i < header.size() && i < 64; ++i) {
    const char next = i + 1 < header.size() ? header[i + 1] : '0';
    Run(header[i], (next >= '0' && next <= '9') ? next - '0' : 1);
  }
  return 0;
}
