// The pseudo-terminal, the serving thread and the injected faults.
#include "sim/sim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "sim/sim_protocol.h"

namespace nvx::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxPending = 4096;  // bytes kept while no end character came
constexpr int kWriteTimeoutMs = 1000;
constexpr auto kCharTime = std::chrono::nanoseconds(1041667);  // 10 bits at 9600 baud

bool SetRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string SwapCase(std::string s) {
  for (char& c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::islower(u)) {
      c = static_cast<char>(std::toupper(u));
    } else if (std::isupper(u)) {
      c = static_cast<char>(std::tolower(u));
    }
  }
  return s;
}

}  // namespace

std::optional<ControllerKind> ParseControllerKind(const std::string& text) {
  if (text == "IM483I") return ControllerKind::kIM483I;
  if (text == "EZHR17") return ControllerKind::kEZHR17;
  return std::nullopt;
}

const char* ControllerKindName(ControllerKind kind) {
  return kind == ControllerKind::kIM483I ? "IM483I" : "EZHR17";
}

struct ControllerSim::Impl {
  ControllerKind kind;
  mutable std::mutex mu;
  UnitMap units;
  SimOptions options;
  std::vector<std::string> requests;
  int fault_seen = 0;

  // Simulated clock: sim seconds = base_sim + elapsed * speed_factor, the
  // elapsed time taken from the time source when there is one.
  Clock::time_point base_real = Clock::now();
  std::function<int64_t()> time_source;
  int64_t base_source_ms = 0;
  double base_sim = 0;
  std::atomic<uint64_t> handled{0};
  mutable std::atomic<uint64_t> sent{0};  // counted by the const WriteAll

  int master = -1;
  int slave = -1;
  int wake[2] = {-1, -1};
  std::string slave_path;
  std::thread thread;
  std::atomic<bool> hung{false};
  bool started = false;

  double NowLocked() const {
    if (time_source) {
      return base_sim +
             static_cast<double>(time_source() - base_source_ms) / 1000.0 * options.speed_factor;
    }
    std::chrono::duration<double> d = Clock::now() - base_real;
    return base_sim + d.count() * options.speed_factor;
  }

  // Starts a new piece of the simulated clock at the current time.
  void RebaseLocked() {
    base_sim = NowLocked();
    base_real = Clock::now();
    if (time_source) base_source_ms = time_source();
  }

  // Sleeps until the deadline, to the nanosecond the system allows, unless
  // Stop() is asked for; false when stopping.
  bool PauseUntil(Clock::time_point deadline) const {
    pollfd p{wake[0], POLLIN, 0};
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
      if (left.count() <= 0) return true;
      timespec ts{};
      ts.tv_sec = static_cast<time_t>(left.count() / 1000000000);
      ts.tv_nsec = static_cast<long>(left.count() % 1000000000);
      if (ppoll(&p, 1, &ts, nullptr) > 0) return false;
    }
  }
  bool Pause(std::chrono::microseconds us) const { return PauseUntil(Clock::now() + us); }

  bool WriteAll(const std::string& bytes) const {
    size_t done = 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    while (done < bytes.size()) {
      ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        sent += static_cast<uint64_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (Clock::now() >= deadline) return false;
      pollfd p{master, POLLOUT, 0};
      poll(&p, 1, 10);
    }
    return true;
  }

  // Paced, each character arrives when its last bit would have on a 9600
  // baud line: character i of a reply at start + (i + 1) character times.
  // The deadlines are absolute, so that no late wake-up adds to the next.
  void Send(const std::string& bytes, bool paced) const {
    if (!paced) {
      WriteAll(bytes);
      return;
    }
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (!PauseUntil(start + (i + 1) * kCharTime)) return;
      if (!WriteAll(std::string(1, bytes[i]))) return;
    }
  }

  // Handles one complete request (with its end character). False when the
  // line was hung up.
  bool Handle(const std::string& raw) {
    std::string request = raw.substr(0, raw.size() - 1);
    std::optional<ReplyParts> reply;
    SimOptions opt;
    Fault fault = Fault::kNone;
    {
      std::lock_guard<std::mutex> lock(mu);
      requests.push_back(raw);
      opt = options;
      double now = NowLocked();
      double fixed = opt.fixed_steps_per_s;
      reply = kind == ControllerKind::kIM483I ? Im483iHandle(request, units, now, fixed)
                                              : Ezhr17Handle(request, units, now, fixed);
      if (reply && opt.fault != Fault::kNone &&
          (opt.fault_address == 0 || opt.fault_address == reply->address)) {
        int index = fault_seen++;
        if (index >= opt.fault_skip &&
            (opt.fault_count < 0 || index < opt.fault_skip + opt.fault_count)) {
          fault = opt.fault;
        }
      }
    }
    if (!reply) return true;
    switch (fault) {
      case Fault::kNone: break;
      case Fault::kNoReply: return true;
      case Fault::kHangUp: return false;
      case Fault::kGarbled:
        if (kind == ControllerKind::kIM483I) {
          reply->prefix.assign(reply->prefix.size(), '#');
        } else {
          reply->prefix = "\xFF#?";
        }
        break;
      case Fault::kPartial: reply->terminator.clear(); break;
      case Fault::kWrongCase: reply->prefix = SwapCase(reply->prefix); break;
      case Fault::kErrorStatus:
        if (reply->status) {
          reply->status = static_cast<char>((*reply->status & 0xF0) | (opt.error_code & 0x0F));
        } else {
          reply->body = "?";
        }
        break;
    }
    if (opt.reply_delay_ms > 0 && !Pause(std::chrono::milliseconds(opt.reply_delay_ms))) {
      return true;
    }
    Send(reply->Bytes(), opt.paced);
    return true;
  }

  void Serve() {
    // The serving thread wakes as close to its deadlines as the system can
    // (the default slack of 50 us would make paced characters late).
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    const char end = kind == ControllerKind::kIM483I ? '\n' : '\r';
    std::string pending;
    char buf[256];
    for (;;) {
      pollfd p[2] = {{master, POLLIN, 0}, {wake[0], POLLIN, 0}};
      int r = poll(p, 2, 200);
      if (r < 0 && errno != EINTR) break;
      if (p[1].revents) break;
      if (r <= 0 || !(p[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) {
        // EIO while no slave is open, or nothing after all: wait a little.
        if (!Pause(std::chrono::milliseconds(10))) break;
        continue;
      }
      pending.append(buf, static_cast<size_t>(n));
      size_t pos;
      while ((pos = pending.find(end)) != std::string::npos) {
        std::string raw = pending.substr(0, pos + 1);
        pending.erase(0, pos + 1);
        if (!Handle(raw)) {
          HangUp();
          return;
        }
      }
      if (pending.size() > kMaxPending) pending.erase(0, pending.size() - kMaxPending);
      handled += static_cast<uint64_t>(n);
    }
  }

  void HangUp() {
    std::lock_guard<std::mutex> lock(mu);
    hung = true;
    if (master >= 0) close(master);
    master = -1;
  }
};

ControllerSim::ControllerSim(ControllerKind kind, std::vector<UnitConfig> units, SimOptions options)
    : kind_(kind), impl_(std::make_unique<Impl>()) {
  impl_->kind = kind;
  if (!(options.speed_factor > 0)) options.speed_factor = 1.0;
  impl_->options = options;
  for (const UnitConfig& u : units) impl_->units.emplace(u.address, SimUnit(u));
}

ControllerSim::~ControllerSim() { Stop(); }

int16_t ControllerSim::Start() {
  Impl& m = *impl_;
  if (m.started) return -1;
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return -1;
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    close(master);
    return -1;
  }
  int slave = open(name, O_RDWR | O_NOCTTY);
  if (slave < 0 || !SetRaw(slave) || !SetRaw(master) || pipe(m.wake) != 0) {
    if (slave >= 0) close(slave);
    close(master);
    return -1;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(m.wake[0], F_SETFD, FD_CLOEXEC);
  fcntl(m.wake[1], F_SETFD, FD_CLOEXEC);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  m.master = master;
  m.slave = slave;
  m.slave_path = name;
  m.started = true;
  m.thread = std::thread([&m] { m.Serve(); });
  return 1;
}

void ControllerSim::Stop() {
  Impl& m = *impl_;
  if (!m.started) return;
  char c = 'x';
  if (write(m.wake[1], &c, 1) < 0) {
    // The pipe cannot be full: one byte is ever written.
  }
  if (m.thread.joinable()) m.thread.join();
  std::lock_guard<std::mutex> lock(m.mu);
  if (m.master >= 0) close(m.master);
  if (m.slave >= 0) close(m.slave);
  close(m.wake[0]);
  close(m.wake[1]);
  m.master = m.slave = m.wake[0] = m.wake[1] = -1;
  m.started = false;
}

std::string ControllerSim::SlavePath() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->slave_path;
}

std::optional<double> ControllerSim::Position(char address) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto it = impl_->units.find(address);
  if (it == impl_->units.end()) return std::nullopt;
  return it->second.Counted(impl_->NowLocked());
}

std::optional<double> ControllerSim::MechanicalPosition(char address) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto it = impl_->units.find(address);
  if (it == impl_->units.end()) return std::nullopt;
  return it->second.Mechanical(impl_->NowLocked());
}

std::optional<bool> ControllerSim::IsMoving(char address) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto it = impl_->units.find(address);
  if (it == impl_->units.end()) return std::nullopt;
  return it->second.Moving(impl_->NowLocked());
}

std::optional<bool> ControllerSim::SwitchEngaged(char address) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto it = impl_->units.find(address);
  if (it == impl_->units.end()) return std::nullopt;
  return it->second.Switch(impl_->NowLocked());
}

std::optional<int32_t> ControllerSim::SlewVelocity(char address) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto it = impl_->units.find(address);
  if (it == impl_->units.end()) return std::nullopt;
  return it->second.slew_velocity;
}

bool ControllerSim::SetMechanicalPosition(char address, double position) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  auto it = impl_->units.find(address);
  if (it == impl_->units.end()) return false;
  it->second.SetMechanical(impl_->NowLocked(), position);
  return true;
}

std::vector<std::string> ControllerSim::Requests() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->requests;
}

void ControllerSim::ClearRequests() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->requests.clear();
}

SimOptions ControllerSim::Options() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->options;
}

void ControllerSim::SetOptions(const SimOptions& options) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  Impl& m = *impl_;
  // Keep the simulated clock continuous across a change of speed.
  m.RebaseLocked();
  m.options = options;
  if (!(m.options.speed_factor > 0)) m.options.speed_factor = 1.0;
  m.fault_seen = 0;
}

bool ControllerSim::HungUp() const { return impl_->hung; }

void ControllerSim::SetTimeSource(std::function<int64_t()> now_ms) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  Impl& m = *impl_;
  m.RebaseLocked();
  m.time_source = std::move(now_ms);
  if (m.time_source) m.base_source_ms = m.time_source();
}

uint64_t ControllerSim::BytesHandled() const { return impl_->handled.load(); }
uint64_t ControllerSim::BytesSent() const { return impl_->sent.load(); }

}  // namespace nvx::sim
