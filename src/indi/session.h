// The one program core that the driver's devices share: the first device to
// connect starts it (single-instance lock, simulated line, start-up), the
// last to disconnect ends it (port closed, program state reset, lock given
// back).
//
// Everything runs on INDI's event loop thread. Work that may wait for a wheel
// (a move, homing, a command line) runs as "immediate work" after the client
// message that asked for it has been handled in full; while it waits, the
// core's event hook (Ui::ProcessEvents) runs INDI's event loop, so other
// clients, other properties and the other device are served meanwhile, and
// their own waiting work nests inside. Immediate work, unlike INDI timers,
// may nest: the event loop takes it off its queue before running it.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "base/ui.h"
#include "core/main_model.h"

namespace nvx {
class SimulatedLine;
}

namespace nvx::indi {

// What the session needs from a device: its name for messages, and a word
// when the program's state may have changed (after work and on the tick).
class Member {
 public:
  virtual ~Member() = default;
  virtual const char* Name() = 0;
  virtual void StateMayHaveChanged() = 0;
};

// INDI message levels used by the driver.
enum class Level { Error, Warning, Info, Debug };
void Say(const char* device, Level level, const std::string& text);

class Session {
 public:
  static Session& Get();

  // Starts the core for the first member, or joins the running one. false
  // with the reason when the program runs elsewhere (the lock), the
  // simulator does not start, or the running core was started with another
  // program directory or simulation setting.
  bool Join(Member& member, const std::string& dir, bool simulate, std::string& why);
  // The member leaves; when none is left the core ends, at once or, while
  // work still waits for a wheel, as soon as that work has returned.
  void Leave(Member& member);

  bool Started() const { return started_; }
  const std::string& Dir() const { return dir_; }

  // Runs fn as immediate work on behalf of member, with the core's messages
  // going to that member while it runs.
  void Post(Member& member, std::function<void()> fn);

  // Sends a message to the member that the core works for now, else to every
  // member, else to the driver's log.
  void Tell(Level level, const std::string& text);

 private:
  class HostUi;
  class MsgView;
  struct Work;
  static void RunWork(void* work);
  static void Tick(void* session);

  Session();
  void Start(const std::string& dir, bool simulate);
  void End();

  bool started_ = false;
  bool endPending_ = false;
  bool simulate_ = false;
  std::string dir_;
  int depth_ = 0;  // waiting work now on the stack
  int tickTimer_ = -1;
  Member* speaker_ = nullptr;
  std::set<Member*> members_;
  std::unique_ptr<SimulatedLine> sim_;
  std::unique_ptr<HostUi> ui_;
  std::unique_ptr<MsgView> view_;
};

// The directory with a trailing '/' (how the session compares directories).
std::string DirWithSlash(const std::string& dir);

}  // namespace nvx::indi
