#include "comm/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "comm/clock.h"

namespace nvx {

namespace {

PosixSerialPort::Traffic g_traffic;

}  // namespace

PosixSerialPort::Traffic PosixSerialPort::TotalTraffic() { return g_traffic; }

PosixSerialPort::~PosixSerialPort() {
  if (fd_ >= 0) ::close(fd_);
}

bool PosixSerialPort::Fail(int code) { return Fail(code, std::strerror(code)); }

bool PosixSerialPort::Fail(int code, std::string text) {
  error_code_ = code;
  error_text_ = std::move(text);
  return false;
}

void PosixSerialPort::NoteHangUp() {
  if (hung_up_) return;
  hung_up_ = true;
  events_.push_back(kEventHangUp);
}

void PosixSerialPort::NoteIoError() {
  if (std::find(events_.begin(), events_.end(), kEventIoError) == events_.end()) {
    events_.push_back(kEventIoError);
  }
}

bool PosixSerialPort::Open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) {
    int e = errno;
    ::close(fd);
    return Fail(e);
  }
  cfmakeraw(&tio);
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    int e = errno;
    ::close(fd);
    return Fail(e);
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  hung_up_ = false;
  return true;
}

bool PosixSerialPort::Close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  hung_up_ = false;
  // The descriptor is released even when close reports an error.
  if (::close(fd) != 0 && errno != EINTR) return Fail(errno);
  return true;
}

int PosixSerialPort::BytesWaiting() {
  if (fd_ < 0) {
    Fail(EBADF, "Port is not open");
    return -1;
  }
  int n = 0;
  if (::ioctl(fd_, FIONREAD, &n) != 0) {
    int e = errno;
    if (e == EIO) NoteIoError();
    Fail(e);
    return -1;
  }
  return n < 0 ? 0 : n;
}

bool PosixSerialPort::ReadWaiting(std::string& out) {
  if (fd_ < 0) return Fail(EBADF, "Port is not open");
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<std::size_t>(n));
      g_traffic.read += static_cast<uint64_t>(n);
      if (static_cast<std::size_t>(n) < sizeof buf) return true;
      continue;
    }
    if (n == 0) return true;  // nothing waiting (or end of file after a hang-up)
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    int e = errno;
    if (e == EIO) NoteIoError();
    return Fail(e);
  }
}

bool PosixSerialPort::Write(std::string_view data, int timeout_ms) {
  if (fd_ < 0) return Fail(EBADF, "Port is not open");
  Clock& clock = CurrentClock();
  const uint32_t start = clock.NowMs();
  const int64_t timeout = std::max(timeout_ms, 0);
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      g_traffic.written += static_cast<uint64_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      int e = errno;
      if (e == EIO) NoteIoError();
      return Fail(e);
    }
    const int64_t left = timeout - static_cast<uint32_t>(clock.NowMs() - start);
    pollfd p{fd_, POLLOUT, 0};
    int r = left > 0 ? clock.Poll(&p, 1, static_cast<int>(left)) : 0;
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p.revents & (POLLHUP | POLLERR)) != 0) {
      if (r > 0 && (p.revents & POLLHUP) != 0) NoteHangUp();
      return Fail(EAGAIN, "Write incomplete: " + std::to_string(done) + " of " +
                              std::to_string(data.size()) + " bytes written");
    }
  }
  return true;
}

SerialPort::Wait PosixSerialPort::WaitReadable(int timeout_ms) {
  if (fd_ < 0) {
    Fail(EBADF, "Port is not open");
    return Wait::Error;
  }
  pollfd p{fd_, POLLIN, 0};
  int r = CurrentClock().Poll(&p, 1, std::max(timeout_ms, 0));
  if (r < 0) {
    if (errno == EINTR) return Wait::Timeout;  // the caller re-checks its deadline
    Fail(errno);
    return Wait::Error;
  }
  if (r == 0) return Wait::Timeout;
  if ((p.revents & POLLNVAL) != 0) {
    Fail(EBADF);
    return Wait::Error;
  }
  if ((p.revents & POLLHUP) != 0) {
    NoteHangUp();
    return Wait::HangUp;
  }
  if ((p.revents & POLLERR) != 0) {
    NoteIoError();
    Fail(EIO);
    return Wait::Error;
  }
  return Wait::Readable;
}

std::vector<int16_t> PosixSerialPort::TakeEvents() {
  std::vector<int16_t> out;
  out.swap(events_);
  return out;
}

}  // namespace nvx
