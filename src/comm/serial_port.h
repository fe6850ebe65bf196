// The serial port under the link: a small interface with the operations the
// link needs, and its POSIX termios implementation.
//
// Failures are reported as an error code and a text, kept until the next
// failure: the code is the errno value of the failing system call and the
// text its strerror text, with two port-level cases of our own:
//   - an operation on a port that is not open: code EBADF, text
//     "Port is not open";
//   - a write that could not be completed in time: code EAGAIN, text
//     "Write incomplete: <n> of <m> bytes written".
//
// Communication events the port notices on its own (the far side hung up,
// an I/O error) are queued as pending event codes in the range of the
// serial control's error events and handed out by TakeEvents():
//   kEventHangUp (1007): the line was hung up (carrier lost, pty closed);
//                       queued once per open port.
//   kEventIoError (1011): a read, poll or status query failed with an I/O
//                       error; not queued again while one is pending.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nvx {

inline constexpr int16_t kEventHangUp = 1007;
inline constexpr int16_t kEventIoError = 1011;

class SerialPort {
 public:
  enum class Wait { Readable, Timeout, HangUp, Error };

  virtual ~SerialPort() = default;

  // Opens the device at 9600 baud, 8 data bits, no parity, 1 stop bit, raw,
  // no flow control. An open port is closed first. False on failure.
  virtual bool Open(const std::string& path) = 0;
  // Closes the port; closing a closed port succeeds. False on failure.
  virtual bool Close() = 0;
  virtual bool IsOpen() const = 0;

  // Number of bytes waiting to be read; -1 on failure.
  virtual int BytesWaiting() = 0;
  // Appends every byte waiting to out (possibly none). False on failure.
  virtual bool ReadWaiting(std::string& out) = 0;
  // Writes all of data, waiting up to timeout_ms for room in the output
  // buffer. False on failure or when not all bytes went out in time.
  virtual bool Write(std::string_view data, int timeout_ms) = 0;
  // Waits until bytes are waiting, the time-out passes, the line hangs up or
  // the wait fails. A time-out of 0 only looks. The wait, and the wait of
  // Write for room, go through the current clock (comm/clock.h).
  virtual Wait WaitReadable(int timeout_ms) = 0;

  virtual int ErrorCode() const = 0;
  virtual std::string ErrorText() const = 0;

  // The communication events noticed since the last call, oldest first.
  virtual std::vector<int16_t> TakeEvents() = 0;
};

// The port over a POSIX tty device (serial port, USB adapter, pseudo-terminal).
class PosixSerialPort : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const std::string& path) override;
  bool Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  int BytesWaiting() override;
  bool ReadWaiting(std::string& out) override;
  bool Write(std::string_view data, int timeout_ms) override;
  Wait WaitReadable(int timeout_ms) override;
  int ErrorCode() const override { return error_code_; }
  std::string ErrorText() const override { return error_text_; }
  std::vector<int16_t> TakeEvents() override;

  // Bytes written to and read from every port of this kind since the
  // program started. A peer on the far side of a pseudo-terminal compares
  // them with its own counts to tell whether a reply is still on its way.
  struct Traffic {
    uint64_t written = 0;
    uint64_t read = 0;
  };
  static Traffic TotalTraffic();

 private:
  bool Fail(int code);                    // records errno-style failure
  bool Fail(int code, std::string text);  // records a failure with its own text
  void NoteHangUp();
  void NoteIoError();

  int fd_ = -1;
  bool hung_up_ = false;
  int error_code_ = 0;
  std::string error_text_;
  std::vector<int16_t> events_;
};

}  // namespace nvx
