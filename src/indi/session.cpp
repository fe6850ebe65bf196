#include "indi/session.h"

#include <eventloop.h>
#include <indidevapi.h>
#include <indilogger.h>

#include <utility>

#include "comm/comm.h"
#include "core/app.h"
#include "core/simulate.h"
#include "core/tick.h"

namespace nvx::indi {

namespace {

// Nothing in the driver runs programs or reads the joystick, so the tick only
// delivers the port's events (a line that hung up) while nothing waits.
constexpr int kTickIntervalMs = 200;

unsigned LevelCode(Level level) {
  switch (level) {
    case Level::Error: return INDI::Logger::DBG_ERROR;
    case Level::Warning: return INDI::Logger::DBG_WARNING;
    case Level::Info: return INDI::Logger::DBG_SESSION;
    case Level::Debug: break;
  }
  return INDI::Logger::DBG_DEBUG;
}

// One line for a client's message log: the program's message boxes use
// CR LF between their lines.
std::string OneLine(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') continue;
    out += text[i] == '\n' ? ' ' : text[i];
  }
  return out;
}

}  // namespace

void Say(const char* device, Level level, const std::string& text) {
  DEBUGFDEVICE(device, LevelCode(level), "%s", OneLine(text).c_str());
}

std::string DirWithSlash(const std::string& dir) {
  if (dir.empty() || dir.back() == '/') return dir;
  return dir + "/";
}

// The host services of the driver: message boxes become messages to the
// device the core works for, input boxes are cancelled, and letting events
// run runs INDI's event loop for a moment.
class Session::HostUi : public Ui {
 public:
  explicit HostUi(Session& s) : s_(s) {}
  void MessageBox(const std::string& text, const std::string&, MsgIcon icon) override {
    const Level level = icon == MsgIcon::Critical      ? Level::Error
                        : icon == MsgIcon::Exclamation ? Level::Warning
                                                       : Level::Info;
    s_.Tell(level, text);
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  void ProcessEvents() override {
    // Runs what is ready (client messages, due timers, posted work) and
    // returns after about a millisecond.
    int never = 0;
    IEDeferLoop(1, &never);
  }
  void Beep() override {}

 private:
  Session& s_;
};

// The main window's model has no window here; its message line (replies,
// serial link errors) goes to the debug log.
class Session::MsgView : public MainView {
 public:
  explicit MsgView(Session& s) : s_(s) {}
  void MsgChanged() override {
    if (!MainWin().Msg().empty()) s_.Tell(Level::Debug, MainWin().Msg());
  }

 private:
  Session& s_;
};

struct Session::Work {
  Session* session;
  Member* member;
  std::function<void()> fn;
};

Session& Session::Get() {
  static Session s;
  return s;
}

Session::Session()
    : ui_(std::make_unique<HostUi>(*this)), view_(std::make_unique<MsgView>(*this)) {}

void Session::Tell(Level level, const std::string& text) {
  if (speaker_) {
    Say(speaker_->Name(), level, text);
  } else if (!members_.empty()) {
    for (Member* m : members_) Say(m->Name(), level, text);
  } else {
    IDLog("%s\n", OneLine(text).c_str());
  }
}

bool Session::Join(Member& member, const std::string& dirIn, bool simulate, std::string& why) {
  const std::string dir = DirWithSlash(dirIn);
  if (started_) {
    if (simulate != simulate_) {
      why = std::string("the other wheel is connected ") +
            (simulate_ ? "in simulation: turn SIMULATION on here too"
                       : "to the serial port: turn SIMULATION off here too") +
            ", or disconnect it first";
      return false;
    }
    if (dir != dir_) {
      why = "the other wheel is connected with the program directory " + dir_ +
            ": set PROGRAM_DIR to it here too, or disconnect it first";
      return false;
    }
    endPending_ = false;
    members_.insert(&member);
    return true;
  }
  // The window program holds this lock while it runs: nothing is sent on
  // the line unless the driver has it.
  if (!AcquireSingleInstance(DefaultLockPath())) {
    why =
        "Norvantix is already running on this computer (the window program or another driver "
        "holds the wheels): close it, then connect again";
    return false;
  }
  if (simulate) {
    std::string error;
    sim_ = StartSimulatedLine(dir, error);
    if (!sim_) {
      ReleaseSingleInstance();
      why = error.substr(error.rfind("--simulate: ", 0) == 0 ? 12 : 0);
      return false;
    }
  }
  Member* before = speaker_;
  speaker_ = &member;
  members_.insert(&member);
  Start(dir, simulate);
  speaker_ = before;
  return true;
}

void Session::Start(const std::string& dir, bool simulate) {
  SetUi(ui_.get());
  MainWin().SetViewFactory([this] { return view_.get(); });
  dir_ = dir;
  simulate_ = simulate;
  started_ = true;
  endPending_ = false;
  InitApp(dir);
  // The driver holds the program as an automation client does: "Unload"
  // from a command line leaves the port open, the last disconnect closes it.
  AutomationObjectCreated();
  tickTimer_ = IEAddPeriodicTimer(kTickIntervalMs, &Session::Tick, this);
}

void Session::Leave(Member& member) {
  if (members_.erase(&member) == 0 || !members_.empty()) return;
  if (depth_ > 0) {
    endPending_ = true;  // the waiting work returns first
  } else {
    End();
  }
}

void Session::End() {
  if (!started_) return;
  if (tickTimer_ >= 0) IERmTimer(tickTimer_);
  tickTimer_ = -1;
  // The window's ending, then the automation client's: the port closes.
  MainWin().Unload();
  AutomationObjectEnded();
  ResetProgramState();
  sim_.reset();
  MainWin().SetViewFactory(nullptr);
  SetUi(nullptr);
  ReleaseSingleInstance();
  started_ = false;
  endPending_ = false;
  dir_.clear();
}

void Session::Post(Member& member, std::function<void()> fn) {
  addImmediateWork(&Session::RunWork, new Work{this, &member, std::move(fn)});
}

void Session::RunWork(void* p) {
  std::unique_ptr<Work> work(static_cast<Work*>(p));
  Session& s = *work->session;
  if (!s.started_ || s.members_.count(work->member) == 0) return;  // left meanwhile
  Member* before = s.speaker_;
  s.speaker_ = work->member;
  ++s.depth_;
  work->fn();
  --s.depth_;
  s.speaker_ = before;
  for (Member* m : s.members_) m->StateMayHaveChanged();
  if (s.depth_ == 0 && s.endPending_) s.End();
}

void Session::Tick(void* p) {
  Session& s = *static_cast<Session*>(p);
  if (!s.started_) return;
  PeriodicTick();
  if (s.depth_ == 0) {
    for (Member* m : s.members_) m->StateMayHaveChanged();
  }
}

}  // namespace nvx::indi
