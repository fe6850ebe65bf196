// The program's costs beside its peers', printed as one table of ratios
// (scripts/bench.sh runs it; docs/performance.md keeps the results).
//
//  1. Request/reply exchanges per second over one pseudo-terminal with an
//     instant echo peer: the program's serial link (CommInOut), a bare C
//     poll()/read() loop (the practical limit) and INDI's tty_write +
//     tty_read_section (libindi, when it was found at build time). Short
//     rounds alternate between them, so that all three meet the same load
//     of the machine; each figure is the median of its rounds.
//  2. "F n" end to end against the simulator paced at 9600 baud, for both
//     controller types: the time of one "F n" over the paced time of its
//     reply characters (10 bits each at 9600 baud; the requests reach the
//     simulator at once), median of the moves.
//  3. Processor time over wall time: a 1 s "Delay", a 1 s reply time-out, and
//     the idle main window (the program as a process, offscreen, over 10 s).
//
//   bench_side_by_side [--rounds N] [--exchanges N] [--moves N] [--idle-seconds S]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "comm/comm.h"
#include "comm/serial_port.h"
#include "core/app.h"
#include "core/commands.h"
#include "sim/sim.h"

#ifdef NVX_HAVE_INDI
#include <indicom.h>
#endif

namespace {

namespace fs = std::filesystem;

double Seconds(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// --- 1. exchanges -----------------------------------------------------------

// A raw pseudo-terminal; the bench holds the master side.
struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[256] = {};
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
      std::perror("pseudo-terminal");
      std::exit(1);
    }
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    slave = name;
  }
  ~Pty() { close(master); }
  int master = -1;
  std::string slave;
};

// Answers every line feed with "OK\n" at once, on its own thread.
class EchoPeer {
 public:
  explicit EchoPeer(int fd) : fd_(fd), thread_([this] { Run(); }) {}
  ~EchoPeer() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    char buf[512];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0 || (p.revents & POLLIN) == 0) continue;
      const ssize_t n = read(fd_, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) {
        if (buf[i] == '\n' && write(fd_, "OK\n", 3) != 3) return;
      }
    }
  }
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The slave side opened as the program opens a port: raw, 9600 8N1.
int OpenRaw(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

// The practical limit: write the request, poll and read until the line feed.
bool BareExchange(int fd) {
  if (write(fd, "V\n", 2) != 2) return false;
  char buf[64];
  size_t got = 0;
  while (got < 3) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) != 1) return false;
    const ssize_t n = read(fd, buf + got, sizeof buf - got);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
    if (buf[got - 1] == '\n') break;
  }
  return got == 3 && std::memcmp(buf, "OK\n", 3) == 0;
}

bool LinkExchange() {
  std::string reply;
  return nvx::CommInOut("V", reply) == 1 && reply == "OK";
}

#ifdef NVX_HAVE_INDI
bool IndiExchange(int fd) {
  int written = 0;
  if (tty_write(fd, "V\n", 2, &written) != TTY_OK || written != 2) return false;
  char buf[64] = {};
  int read_bytes = 0;
  return tty_read_section(fd, buf, '\n', 1, &read_bytes) == TTY_OK && read_bytes == 3 &&
         std::memcmp(buf, "OK\n", 3) == 0;
}
#endif

struct Exchanges {
  double link = 0, bare = 0, indi = 0;  // exchanges per second, medians
  long failures = 0;
};

Exchanges MeasureExchanges(int rounds, int perRound) {
  Pty pty;
  EchoPeer peer(pty.master);
  nvx::SetPortDevice(pty.slave);
  nvx::CommInit([] {
    nvx::SetOutEndChar(10);
    nvx::SetInTerm1(10);
  });
  if (nvx::CommOpenPort(1) != -1) {
    std::fprintf(stderr, "cannot open %s\n", pty.slave.c_str());
    std::exit(1);
  }
  const int bareFd = OpenRaw(pty.slave);
#ifdef NVX_HAVE_INDI
  int indiFd = -1;
  if (tty_connect(pty.slave.c_str(), 9600, 8, 0, 1, &indiFd) != TTY_OK) indiFd = -1;
#endif
  Exchanges out;
  std::vector<double> link, bare, indi;
  auto rate = [&](const std::function<bool()>& one) {
    const double t0 = Seconds(CLOCK_MONOTONIC);
    for (int i = 0; i < perRound; ++i) {
      if (!one()) ++out.failures;
    }
    return perRound / (Seconds(CLOCK_MONOTONIC) - t0);
  };
  for (int r = 0; r < rounds; ++r) {
    link.push_back(rate(LinkExchange));
    bare.push_back(rate([bareFd] { return BareExchange(bareFd); }));
#ifdef NVX_HAVE_INDI
    if (indiFd >= 0) indi.push_back(rate([indiFd] { return IndiExchange(indiFd); }));
#endif
  }
  close(bareFd);
#ifdef NVX_HAVE_INDI
  if (indiFd >= 0) tty_disconnect(indiFd);
#endif
  nvx::CommClosePort();
  nvx::CommUnload();
  nvx::SetPortDevice("");
  out.link = Median(link);
  out.bare = Median(bare);
  out.indi = Median(indi);
  return out;
}

// --- 2. "F n" paced ------------------------------------------------------------

// Counts the bytes the link reads.
class CountingPort : public nvx::SerialPort {
 public:
  static inline uint64_t read_bytes = 0;
  bool Open(const std::string& path) override { return port_.Open(path); }
  bool Close() override { return port_.Close(); }
  bool IsOpen() const override { return port_.IsOpen(); }
  int BytesWaiting() override { return port_.BytesWaiting(); }
  bool ReadWaiting(std::string& out) override {
    const size_t before = out.size();
    const bool ok = port_.ReadWaiting(out);
    read_bytes += out.size() - before;
    return ok;
  }
  bool Write(std::string_view data, int timeout_ms) override {
    return port_.Write(data, timeout_ms);
  }
  Wait WaitReadable(int timeout_ms) override { return port_.WaitReadable(timeout_ms); }
  int ErrorCode() const override { return port_.ErrorCode(); }
  std::string ErrorText() const override { return port_.ErrorText(); }
  std::vector<int16_t> TakeEvents() override { return port_.TakeEvents(); }

 private:
  nvx::PosixSerialPort port_;
};

fs::path DataCopy(const std::string& tag) {
  const fs::path dir =
      fs::temp_directory_path() / ("nvx-side-" + tag + "-" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (const auto& e : fs::directory_iterator(NVX_DATA_DIR)) {
    fs::copy_file(e.path(), dir / e.path().filename(), fs::copy_options::overwrite_existing);
  }
  return dir;
}

// The median of (time of one "F n") / (paced time of its replies).
double MeasurePacedMoves(nvx::sim::ControllerKind kind, int moves, double& msPerMove) {
  const fs::path dir = DataCopy("paced");
  nvx::sim::SimOptions opt;
  opt.paced = true;
  opt.fixed_steps_per_s = 1e9;  // moves end at once: only the line is measured
  auto sim = std::make_unique<nvx::sim::ControllerSim>(
      kind, nvx::sim::UnitsFromParamFiles(dir.string()), opt);
  sim->Start();
  {
    std::ifstream in(dir / "ZR_CONFIG.TXT");
    const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir / "ZR_CONFIG.TXT", std::ios::trunc)
        << "\"PORTDEVICE\"," << sim->SlavePath() << "\r\n"
        << "\"CONTRTYPE\"," << nvx::sim::ControllerKindName(kind) << "\r\n"
        << old;
  }
  nvx::SetSerialPortFactory([] { return std::make_unique<CountingPort>(); });
  nvx::InitApp(dir.string());
  nvx::ExecCmdLine("F 1;F Wait");
  std::vector<double> ratios, ms;
  int f = 2;
  for (int i = 0; i < moves; ++i) {
    const uint64_t r0 = CountingPort::read_bytes;
    const double t0 = Seconds(CLOCK_MONOTONIC);
    const std::string reply = nvx::ExecCmd("F " + std::to_string(f));
    const double t = Seconds(CLOCK_MONOTONIC) - t0;
    if (reply != "OK ") std::fprintf(stderr, "F %d answered \"%s\"\n", f, reply.c_str());
    const double paced = static_cast<double>(CountingPort::read_bytes - r0) * 10.0 / 9600.0;
    ratios.push_back(t / paced);
    ms.push_back(1000 * t);
    f = f == 2 ? 3 : 2;
  }
  nvx::ClosePortAndLink();
  nvx::ResetProgramState();
  nvx::SetSerialPortFactory(nullptr);
  sim->Stop();
  fs::remove_all(dir);
  msPerMove = Median(ms);
  return Median(ratios);
}

// --- 3. processor shares ---------------------------------------------------

double CpuShare(const std::function<void()>& wait) {
  const double c0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  const double w0 = Seconds(CLOCK_MONOTONIC);
  wait();
  return (Seconds(CLOCK_PROCESS_CPUTIME_ID) - c0) / (Seconds(CLOCK_MONOTONIC) - w0);
}

double DelayShare() {
  nvx::ResetProgramState();
  const double share = CpuShare([] { nvx::ExecCmd("Delay 1000"); });
  nvx::ResetProgramState();
  return share;
}

double ReplyTimeOutShare() {
  Pty pty;  // nothing answers
  nvx::SetPortDevice(pty.slave);
  nvx::CommInit([] {
    nvx::SetOutEndChar(10);
    nvx::SetInTerm1(10);
  });
  nvx::CommOpenPort(1);
  nvx::SetPortTimeout(1000);
  std::string reply;
  const double share = CpuShare([&] { nvx::CommInOut("V", reply); });
  nvx::CommClosePort();
  nvx::CommUnload();
  nvx::SetPortDevice("");
  return share;
}

// Processor time of all threads of a process in seconds, to the nanosecond
// (the first field of each thread's schedstat).
double ProcessCpuSeconds(pid_t pid) {
  double total = 0;
  std::error_code ec;
  for (const auto& t : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream in(t.path() / "schedstat");
    unsigned long long ns = 0;
    if (in >> ns) total += static_cast<double>(ns) * 1e-9;
  }
  return total;
}

double IdleWindowShare(int seconds, bool simulate) {
  const fs::path dir = DataCopy("idle");
  std::vector<std::string> args{NVX_PROGRAM, "--dir", dir.string()};
  if (simulate) args.emplace_back("--simulate");
  std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + dir.string(),
                               "HOME=" + dir.string(), "DBUS_SESSION_BUS_ADDRESS=disabled:"};
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  // Its messages (no session bus, the offscreen platform's notes) go nowhere.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return -1;
  std::this_thread::sleep_for(std::chrono::seconds(3));  // start-up
  const double c0 = ProcessCpuSeconds(pid);
  const double w0 = Seconds(CLOCK_MONOTONIC);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double share = (ProcessCpuSeconds(pid) - c0) / (Seconds(CLOCK_MONOTONIC) - w0);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  fs::remove_all(dir);
  return share;
}

int Arg(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = Arg(argc, argv, "--rounds", 41);
  const int perRound = Arg(argc, argv, "--exchanges", 500);
  const int moves = Arg(argc, argv, "--moves", 60);
  const int idleSeconds = Arg(argc, argv, "--idle-seconds", 10);

  std::printf("%-58s %12s %8s %s\n", "measure", "value", "ratio", "goal");
  const Exchanges x = MeasureExchanges(rounds, perRound);
  std::printf("%-58s %12.0f %8s\n", "exchanges/s, bare C poll()/read() loop", x.bare, "1.00");
  std::printf("%-58s %12.0f %8.2f %s\n", "exchanges/s, the program's link (CommInOut)", x.link,
              x.link / x.bare, ">= 0.90 of the bare loop");
  if (x.indi > 0) {
    std::printf("%-58s %12.0f %8.2f\n", "exchanges/s, INDI tty_write + tty_read_section", x.indi,
                x.indi / x.bare);
  } else {
    std::printf("%-58s %12s\n", "exchanges/s, INDI tty_write + tty_read_section", "(no libindi)");
  }
  if (x.failures) std::printf("  (%ld exchanges failed)\n", x.failures);
  std::fflush(stdout);

  for (auto kind : {nvx::sim::ControllerKind::kIM483I, nvx::sim::ControllerKind::kEZHR17}) {
    double ms = 0;
    const double ratio = MeasurePacedMoves(kind, moves, ms);
    const std::string name = std::string("\"F n\" at 9600 baud, ") +
                             nvx::sim::ControllerKindName(kind) +
                             " (ms per move; ratio to paced replies)";
    std::printf("%-58s %12.2f %8.3f %s\n", name.c_str(), ms, ratio, "<= 1.05");
    std::fflush(stdout);
  }

  std::printf("%-58s %11.3f%% %8s %s\n", "CPU during a 1 s \"Delay\"", 100 * DelayShare(), "",
              "< 1%");
  std::printf("%-58s %11.3f%% %8s %s\n", "CPU during a 1 s reply time-out",
              100 * ReplyTimeOutShare(), "", "< 1%");
  std::fflush(stdout);
  std::printf("%-58s %11.3f%% %8s %s\n", "CPU of the idle main window",
              100 * IdleWindowShare(idleSeconds, false), "", "< 1%");
  std::printf("%-58s %11.3f%% %8s %s\n", "CPU of the idle main window with --simulate",
              100 * IdleWindowShare(idleSeconds, true), "", "< 1%");
  return 0;
}
