// Shared pieces of the link tests: a recording message line and a fixture
// that gives every test a fresh link on a real pseudo-terminal.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "comm/comm.h"
#include "support/pty_pair.h"

namespace nvx::test {

class RecordingLabel : public StatusLabel {
 public:
  std::string Text() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
  std::string text;
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

// Elapsed milliseconds of the steady clock since t0.
inline long long MsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
      .count();
}

class LinkOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok()) << pty.Error();
    CommUnload();
    SetSerialPortFactory(nullptr);
    SetTimeMsOffsetForTest(0);
    SetPortDevice(pty.SlavePath());
    CommInit(UseIm483iFraming);
    ASSERT_EQ(CommOpenPort(1), -1) << LastLogLine();
  }
  void TearDown() override {
    CommClosePort();
    CommUnload();
    SetPortDevice("");
    SetTimeMsOffsetForTest(0);
    // Framing back to the controller-type default of "nothing set".
    SetOutEndChar(0);
    SetInTerm1(0);
    SetInTerm2(0);
  }

  // Writes the pieces to the master side from a thread, pausing gap_ms
  // before each piece.
  std::thread Feed(std::vector<std::string> pieces, int gap_ms) {
    return std::thread([this, pieces = std::move(pieces), gap_ms] {
      for (const auto& piece : pieces) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms));
        pty.Write(piece);
      }
    });
  }

  PtyPair pty;
};

}  // namespace nvx::test
