// The program's side of the simulator's line in tests: the slave device
// opened with plain POSIX calls, raw, with reads that never wait past their
// time-out.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace nvx::test {

class SimLine {
 public:
  explicit SimLine(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ >= 0) {
      termios t{};
      tcgetattr(fd_, &t);
      cfmakeraw(&t);
      tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~SimLine() {
    if (fd_ >= 0) close(fd_);
  }
  SimLine(const SimLine&) = delete;
  SimLine& operator=(const SimLine&) = delete;

  bool Ok() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  bool Send(const std::string& bytes) {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Reads until the collected bytes end with `end` or timeout_ms passes.
  std::string ReadUntil(const std::string& end, int timeout_ms = 2000) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (
        !(out.size() >= end.size() && out.compare(out.size() - end.size(), end.size(), end) == 0)) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      if (!ReadSome(out, static_cast<int>(left.count()))) {
        if (hung_up_) break;
      }
    }
    return out;
  }

  // Everything that arrives within ms.
  std::string ReadFor(int ms) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || hung_up_) break;
      ReadSome(out, static_cast<int>(left.count()));
    }
    return out;
  }

  // Request and reply in one step.
  std::string Exchange(const std::string& request, const std::string& end, int timeout_ms = 2000) {
    if (!Send(request)) return "<write failed>";
    return ReadUntil(end, timeout_ms);
  }

  bool HungUp() const { return hung_up_; }

 private:
  bool ReadSome(std::string& out, int timeout_ms) {
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, timeout_ms);
    if (r <= 0) return false;
    char buf[512];
    ssize_t n = read(fd_, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<size_t>(n));
      return true;
    }
    if (n == 0 || (p.revents & POLLHUP)) hung_up_ = true;
    return false;
  }

  int fd_ = -1;
  bool hung_up_ = false;
};

}  // namespace nvx::test
