// One end of a pseudo-terminal for tests, raw (no echo, no line editing,
// 8-bit clean) and non-blocking: either a new pair, whose master side the
// test holds while the code under test opens SlavePath() as its serial port,
// or a device opened by its path, as the program opens a simulator's line.
// Reads and writes never wait past their time-out in ms.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

namespace nvx::test {

class PtyLine {
 public:
  // A new pair; this end is its master side.
  PtyLine() : fd_(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    char name[256] = {};
    if (fd_ < 0 || grantpt(fd_) || unlockpt(fd_) || ptsname_r(fd_, name, sizeof name)) Close();
    slave_ = name;
    MakeRaw();
  }
  explicit PtyLine(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    MakeRaw();
  }
  ~PtyLine() { Close(); }
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  bool Ok() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& SlavePath() const { return slave_; }
  // The far side had hung up when a read ended.
  bool HungUp() const { return hung_up_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  // Writes all bytes; false when they could not all go within timeout_ms.
  bool Write(std::string_view bytes, int timeout_ms = 1000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n > 0) bytes.remove_prefix(static_cast<size_t>(n));
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      pollfd p{fd_, POLLOUT, 0};
      if (n <= 0 && (Left(deadline) <= 0 || ::poll(&p, 1, Left(deadline)) < 0)) return false;
    }
    return true;
  }
  // Reads until the bytes read contain `needle` (never, when it is empty),
  // timeout_ms passes or the far side hangs up; returns every byte read.
  std::string ReadUntil(std::string_view needle, int timeout_ms = 2000) {
    std::string out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (needle.empty() || out.find(needle) == std::string::npos) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, Left(deadline)) <= 0) break;
      char buf[4096];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0) out.append(buf, static_cast<size_t>(n));
      if (n <= 0 && (p.revents & POLLHUP)) {
        hung_up_ = true;
        break;
      }
    }
    return out;
  }
  // Everything that arrives within ms.
  std::string ReadFor(int ms) { return ReadUntil("", ms); }
  // Request and reply in one step.
  std::string Exchange(std::string_view request, std::string_view end, int timeout_ms = 2000) {
    return Write(request) ? ReadUntil(end, timeout_ms) : "<write failed>";
  }

 private:
  using Clock = std::chrono::steady_clock;
  static int Left(Clock::time_point deadline) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return ms.count() > 0 ? static_cast<int>(ms.count()) : 0;
  }
  void MakeRaw() {
    termios t{};
    if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
      cfmakeraw(&t);
      tcsetattr(fd_, TCSANOW, &t);
    }
  }

  int fd_;
  std::string slave_;
  bool hung_up_ = false;
};

}  // namespace nvx::test
