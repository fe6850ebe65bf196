// Shared pieces of the link tests: a recording message line and a fixture
// that gives every test a fresh link on a real pseudo-terminal, on a fake
// clock.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "comm/comm.h"
#include "support/fake_time.h"
#include "support/pty_pair.h"

namespace nvx::test {

// Records the text the error log mirrors into the message line; a hook may
// run inside SetText (it is not re-entered).
class RecordingLabel : public StatusLabel {
 public:
  std::string text;
  std::function<void()> onSetText;
  std::string Text() const override { return text; }
  void SetText(const std::string& t) override {
    text = t;
    if (onSetText && !inHook_) {
      inHook_ = true;
      onSetText();
      inHook_ = false;
    }
  }

 private:
  bool inHook_ = false;
};

// The log as a list of lines, oldest first.
inline std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  std::string text = CommErrLogText();
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos) + "<no CRLF>");
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

inline std::string LastLogLine() {
  auto lines = LogLines();
  return lines.empty() ? std::string() : lines.back();
}

inline void UseIm483iFraming() {
  SetOutEndChar(10);
  SetInTerm1(10);
}

inline void UseEzhr17Framing() {
  SetOutEndChar(13);
  SetInTerm1(13);
  SetInTerm2(10);
}

class LinkOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok()) << pty.Error();
    CommUnload();
    SetSerialPortFactory(nullptr);
    SetPortDevice(pty.SlavePath());
    CommInit(UseIm483iFraming);
    ASSERT_EQ(CommOpenPort(1), -1) << LastLogLine();
    // Nothing answers what the link writes; a poll skips ahead once the link
    // has read every byte a test sends it.
    time.FollowPeer([] { return UINT64_MAX; }, [this] { return sent.load(); });
  }
  void TearDown() override {
    CommClosePort();
    CommUnload();
    SetPortDevice("");
    // Framing back to the controller-type default of "nothing set".
    SetOutEndChar(0);
    SetInTerm1(0);
    SetInTerm2(0);
  }

  // Writes bytes to the master side for the link to read.
  bool Send(const std::string& bytes) {
    sent += bytes.size();
    return pty.Write(bytes);
  }

  // Writes the pieces to the master side from a thread, pausing gap_ms of
  // real time and moving the clock on by advance_ms before each piece.
  std::thread Feed(std::vector<std::string> pieces, int gap_ms, int advance_ms = 0) {
    for (const auto& piece : pieces) sent += piece.size();
    return std::thread([this, pieces = std::move(pieces), gap_ms, advance_ms] {
      for (const auto& piece : pieces) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms));
        time.clock.Advance(advance_ms);
        pty.Write(piece);
      }
    });
  }

  // Milliseconds of the fake clock since start.
  int64_t FakeSince(uint32_t start) { return static_cast<uint32_t>(time.clock.NowMs() - start); }

  FakeTime time;
  std::atomic<uint64_t> sent{0};
  PtyPair pty;
};

}  // namespace nvx::test
