// The serial link: one port for every controller, request/reply framing with
// a reply time-out, the 101-message error log, the millisecond clock and the
// busy wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace nvx {

class SerialPort;

// --- clock ---
// A 32-bit millisecond counter from the current clock (comm/clock.h);
// elapsed times are differences taken modulo 2^32.
uint32_t TimeMs();
// Returns once more than n ms have passed (at least n + 1 ms); at once for
// n < 0. Processes no events. Sleeps rather than spinning the processor.
void WaitMs(int32_t n);

// --- the message line mirror ---
class StatusLabel {
 public:
  virtual ~StatusLabel() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
};

// --- the link ---
// Creates the link state, runs the controller-type framing set-up (the
// callback, normally MotorSetLineEnds), sets the time-out to 1000 ms, clears
// the status label and the log slots. ErrLogPos is kept.
void CommInit(const std::function<void()>& setLineEnds = {});
void CommUnload();
int16_t CommIsLoaded();

// The device path used for port N: the configured device when one is set
// (SetPortDevice), else "/dev/ttyS<N-1>".
void SetPortDevice(const std::string& path);
std::string PortDevicePath(int16_t port);

int16_t CommOpenPort(int16_t port);  // -1 when open afterwards, 0 otherwise
int16_t CommClosePort();             // -1 on success, 0 on failure
int16_t CommPortIsOpen();            // -1 open, 0 closed
void SetPortTimeout(int16_t ms);
int16_t GetPortTimeout();

void SetOutEndChar(int16_t c);
void SetInTerm1(int16_t c);
void SetInTerm2(int16_t c);

int16_t CommOut(const std::string& request);
int16_t CommIn(std::string& reply);
int16_t CommIn2(std::string& reply);
int16_t CommInOut(const std::string& request, std::string& reply);
int16_t CommInOut2(const std::string& request, std::string& reply);

// --- error log ---
void CommLog(const std::string& message);
void CommLogAppend(const std::string& message);
void SetCommStatusLabel(StatusLabel* label);
std::string CommErrLogText();

// Failures of the port are logged as the operation's name ("CommOpenPort ",
// "CommClosePort ", "CommOut ", "CommIn ", "CommIn2 "), the code in
// leading-blank form, a blank and the text, e.g.
// "CommOpenPort  2 No such file or directory". Codes and texts are errno
// values and their strerror texts, plus "Port is not open" (code 9) and
// "Write incomplete: <n> of <m> bytes written" (code 11); see serial_port.h.
// CommOut first drops any bytes still waiting from an earlier exchange (a
// reply that came after its time-out), then waits up to the port time-out
// for room in the output buffer.
// A receive logs at most one such entry per call and goes on waiting until
// its time-out. Replies are kept to their first kMaxReplyBytes bytes (the
// terminator is still recognised after them).
inline constexpr std::size_t kMaxReplyBytes = 65536;

// Setting NORVANTIX_TRACE=1 in the environment traces every request and
// reply to standard error with control bytes escaped (a developer switch);
// a receive's line holds at most its first kMaxTraceBytes bytes.
inline constexpr std::size_t kMaxTraceBytes = 4096;

// A communication event of the port: codes above 1000 are logged as
// "ERROR #" + the code with a leading blank; others are ignored.
void CommEvent(int16_t code);
// Delivers the events the port has noticed since the last call: 1007 when
// the line hung up (the far side closed, carrier lost; once per open port),
// 1011 after an I/O error. Called when the window system processes events, never inside a
// receive.
void CommDeliverEvents();

// For tests and tools: replace how ports are made; nullptr restores the
// POSIX termios port. Takes effect when the serial host is next created
// (first use, or any use after CommUnload).
using SerialPortFactory = std::function<std::unique_ptr<SerialPort>()>;
void SetSerialPortFactory(SerialPortFactory factory);

}  // namespace nvx
