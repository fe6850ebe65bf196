#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace nvx::test {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left < 0) return 0;
  return static_cast<int>(left);
}

}  // namespace

PtyPair::PtyPair() {
  int fd = posix_openpt(O_RDWR | O_NOCTTY);
  if (fd < 0) {
    error_ = std::string("posix_openpt: ") + std::strerror(errno);
    return;
  }
  char name[256] = {};
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    error_ = std::string("pty set-up: ") + std::strerror(errno);
    ::close(fd);
    return;
  }
  termios tio{};
  if (tcgetattr(fd, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  master_fd_ = fd;
  slave_path_ = name;
}

PtyPair::~PtyPair() {
  ReleaseSlave();
  CloseMaster();
}

bool PtyPair::Write(std::string_view bytes, int timeout_ms) {
  if (master_fd_ < 0) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    int left = RemainingMs(deadline);
    if (left <= 0) return false;
    pollfd p{master_fd_, POLLOUT, 0};
    if (::poll(&p, 1, left) < 0 && errno != EINTR) return false;
  }
  return true;
}

bool PtyPair::ReadOnce(std::string& out, int timeout_ms) {
  if (master_fd_ < 0) return false;
  pollfd p{master_fd_, POLLIN, 0};
  int r = ::poll(&p, 1, timeout_ms);
  if (r <= 0 || (p.revents & POLLIN) == 0) {
    // No data; a master whose slave is closed reports POLLHUP at once, so
    // pause instead of returning early to a caller that loops.
    if (r > 0 && timeout_ms > 0) { ::poll(nullptr, 0, timeout_ms < 5 ? timeout_ms : 5); }
    return false;
  }
  char buf[4096];
  ssize_t n = ::read(master_fd_, buf, sizeof buf);
  if (n <= 0) return false;
  out.append(buf, static_cast<std::size_t>(n));
  return true;
}

std::string PtyPair::ReadAvailable() {
  std::string out;
  while (ReadOnce(out, 0)) {}
  return out;
}

std::string PtyPair::ReadFor(int ms) {
  std::string out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (int left = ms; left > 0; left = RemainingMs(deadline)) ReadOnce(out, left);
  out += ReadAvailable();
  return out;
}

std::string PtyPair::ReadUntil(std::string_view needle, int timeout_ms) {
  std::string out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (out.find(needle) == std::string::npos) {
    int left = RemainingMs(deadline);
    if (left <= 0) {
      ReadOnce(out, 0);
      break;
    }
    ReadOnce(out, left);
  }
  return out;
}

std::string PtyPair::ReadCount(std::size_t n, int timeout_ms) {
  std::string out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (out.size() < n) {
    int left = RemainingMs(deadline);
    if (left <= 0) {
      ReadOnce(out, 0);
      break;
    }
    ReadOnce(out, left);
  }
  return out;
}

void PtyPair::CloseMaster() {
  if (master_fd_ >= 0) {
    ::close(master_fd_);
    master_fd_ = -1;
  }
}

bool PtyPair::HoldSlaveOpen() {
  if (held_slave_fd_ >= 0) return true;
  if (slave_path_.empty()) return false;
  held_slave_fd_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  return held_slave_fd_ >= 0;
}

void PtyPair::ReleaseSlave() {
  if (held_slave_fd_ >= 0) {
    ::close(held_slave_fd_);
    held_slave_fd_ = -1;
  }
}

}  // namespace nvx::test
