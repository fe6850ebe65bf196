// What the fuzz targets share: a Ui that shows nothing, the program's state
// set up headless for one input (main window model loaded, no port, a fake
// clock so that no time-out or delay is waited for), and a serial port that
// serves a script of replies from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings.h"
#include "base/ui.h"
#include "comm/clock.h"
#include "comm/serial_port.h"
#include "joystick/joystick.h"

namespace nvx::fuzz {

// Message boxes and input boxes go nowhere (an input box is cancelled).
class QuietUi : public Ui {
 public:
  void MessageBox(const std::string&, const std::string&, MsgIcon) override {}
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  void ProcessEvents() override {}
  void Beep() override {}
};

// No joystick: every reading fails, as a missing device does.
class NoJoystick : public JoySource {
 public:
  int16_t Read(int32_t& x, int32_t& y, uint32_t& buttons) override {
    x = y = 0;
    buttons = 0;
    return -1;
  }
};

// One input's run: a fresh program state on a fake clock of its own, with
// the quiet Ui and no joystick device. Set up as the start-up leaves a
// program whose port did not open: the link loaded, the main window's model
// loaded and hidden, both wheels online (6 and 8 filters at addresses A/B or
// 1/2), a few symbolic constants. Everything is put back at the end.
class HeadlessSession {
 public:
  explicit HeadlessSession(ControllerKind kind, bool wheelsOnline = true);
  ~HeadlessSession();
  HeadlessSession(const HeadlessSession&) = delete;
  HeadlessSession& operator=(const HeadlessSession&) = delete;

  FakeClock clock;

 private:
  ScopedClock scoped_clock_;
};

// Installs the quiet Ui and the no-joystick source once for the process.
void InstallQuietHost();

// A serial port in memory. Each request written takes the next step of the
// script: its reply bytes are offered to the receive (in one read or in two),
// or nothing comes (the receive times out), or the line hangs up, or a read
// fails. Bytes of a reply that the link does not take stay waiting and come
// before the next reply, as stale bytes on a real line do. Waits advance the
// fake clock instead of waiting.
struct ReplyStep {
  enum class Kind { Whole, Split, Silent, HangUp, ReadError };
  Kind kind = Kind::Whole;
  std::string bytes;
};

class ScriptPort : public SerialPort {
 public:
  explicit ScriptPort(std::vector<ReplyStep>* script) : script_(script) {}

  bool Open(const std::string&) override;
  bool Close() override;
  bool IsOpen() const override { return open_; }
  int BytesWaiting() override;
  bool ReadWaiting(std::string& out) override;
  bool Write(std::string_view data, int timeout_ms) override;
  Wait WaitReadable(int timeout_ms) override;
  int ErrorCode() const override { return code_; }
  std::string ErrorText() const override { return text_; }
  std::vector<int16_t> TakeEvents() override;

 private:
  bool Fail(int code, const char* text);

  std::vector<ReplyStep>* script_;
  size_t next_ = 0;
  bool open_ = false;
  bool hung_up_ = false;
  bool read_error_ = false;
  std::string waiting_;  // offered now
  std::string held_;     // the second half of a split reply
  int code_ = 0;
  std::string text_;
  std::vector<int16_t> events_;
};

// Splits data at the separator byte.
std::vector<std::string_view> SplitRecords(std::string_view data, char separator);

}  // namespace nvx::fuzz
