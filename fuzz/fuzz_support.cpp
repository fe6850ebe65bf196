#include "fuzz_support.h"

#include <cerrno>

#include "comm/comm.h"
#include "controllers/motcon.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/main_model.h"
#include "wheels/wheels.h"

namespace nvx::fuzz {

void InstallQuietHost() {
  static QuietUi ui;
  static NoJoystick joystick;
  SetUi(&ui);
  SetJoySource(&joystick);
}

HeadlessSession::HeadlessSession(ControllerKind kind, bool wheelsOnline) : scoped_clock_(clock) {
  ResetProgramState();
  Settings& s = AppSettings();
  SetControllerType(s, kind == ControllerKind::Ezhr17 ? "EZHR17" : "IM483I");
  s.PortTimeout = 100;
  s.MoveTimeout = 2;
  s.WaitPollingInterval = 20;
  s.WheelInstalled[1] = s.WheelInstalled[2] = 1;
  CommInit(MotorSetLineEnds);
  SetPortTimeout(s.PortTimeout);
  MotorSetMoveTimeout(s.MoveTimeout);
  const bool ez = kind == ControllerKind::Ezhr17;
  const int16_t counts[3] = {0, 6, 8};
  for (int n = 1; n <= 2; ++n) {
    WheelParRec& w = WheelPar(n);
    w.address = static_cast<int16_t>(ez ? '0' + n : 'A' + n - 1);
    w.holdCurrent = 5;
    w.runCurrent = 25;
    w.slewVel = 2000;
    w.initVel = 125;
    w.accel = w.decel = 5;
    w.filterCount = counts[n];
    w.StepsPerFilter = 3200.0 / counts[n];
    WheelOnline(n) = wheelsOnline ? 1 : 0;
  }
  SymConst() = {{"RED", std::string("3")},
                {"SLOW", std::string("40.5")},
                {"HUGE", std::string("1e12")},
                {"TEXT", std::string("abc")}};
  MainWin().Load();
}

HeadlessSession::~HeadlessSession() { ResetProgramState(); }

// --- the port in memory ---

bool ScriptPort::Fail(int code, const char* text) {
  code_ = code;
  text_ = text;
  return false;
}

bool ScriptPort::Open(const std::string&) {
  open_ = true;
  hung_up_ = false;
  return true;
}

bool ScriptPort::Close() {
  open_ = false;
  return true;
}

int ScriptPort::BytesWaiting() {
  if (!open_) {
    Fail(EBADF, "Port is not open");
    return -1;
  }
  return static_cast<int>(waiting_.size());
}

bool ScriptPort::ReadWaiting(std::string& out) {
  if (!open_) return Fail(EBADF, "Port is not open");
  if (read_error_) {
    read_error_ = false;
    events_.push_back(kEventIoError);
    return Fail(EIO, "Input/output error");
  }
  out += waiting_;
  waiting_.clear();
  // The second half of a split reply arrives after the first was taken.
  waiting_.swap(held_);
  return true;
}

bool ScriptPort::Write(std::string_view data, int) {
  if (!open_) return Fail(EBADF, "Port is not open");
  if (hung_up_) return Fail(EIO, "Input/output error");
  (void)data;
  if (next_ >= script_->size()) return true;  // the script is over: silence
  const ReplyStep& step = (*script_)[next_++];
  switch (step.kind) {
    case ReplyStep::Kind::Whole: waiting_ += step.bytes; break;
    case ReplyStep::Kind::Split: {
      const size_t half = step.bytes.size() / 2;
      waiting_ += step.bytes.substr(0, half);
      held_ += step.bytes.substr(half);
      break;
    }
    case ReplyStep::Kind::Silent: break;
    case ReplyStep::Kind::HangUp:
      waiting_ += step.bytes;
      hung_up_ = true;
      events_.push_back(kEventHangUp);
      break;
    case ReplyStep::Kind::ReadError:
      waiting_ += step.bytes;
      read_error_ = true;
      break;
  }
  return true;
}

SerialPort::Wait ScriptPort::WaitReadable(int timeout_ms) {
  if (!open_) {
    Fail(EBADF, "Port is not open");
    return Wait::Error;
  }
  if (!waiting_.empty() || read_error_) return Wait::Readable;
  if (hung_up_) return Wait::HangUp;
  CurrentClock().SleepForMs(timeout_ms);
  return Wait::Timeout;
}

std::vector<int16_t> ScriptPort::TakeEvents() {
  std::vector<int16_t> out;
  out.swap(events_);
  return out;
}

std::vector<std::string_view> SplitRecords(std::string_view data, char separator) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    const size_t p = data.find(separator, start);
    if (p == std::string_view::npos) {
      out.push_back(data.substr(start));
      return out;
    }
    out.push_back(data.substr(start, p - start));
    start = p + 1;
  }
}

}  // namespace nvx::fuzz
