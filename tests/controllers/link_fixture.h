// A serial link on a real pseudo-terminal with a scripted controller on the
// far side, set up for one controller type, on a fake clock.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "comm/comm_test_util.h"
#include "controllers/allmotion.h"
#include "controllers/motcon.h"
#include "scripted_peer.h"
#include "support/fake_time.h"
#include "support/pty_pair.h"

namespace nvx::test {

using Strings = std::vector<std::string>;

using PeerScript = std::vector<std::pair<std::string, std::vector<PeerReply>>>;

// One operation of the dispatch and the requests it puts on the line.
struct RequestRow {
  const char* name;
  std::function<int16_t()> op;
  Strings expected;  // requests, without their end character
  int16_t status;
  PeerScript script = {};  // the peer's replies, over the fixture's own
  Strings logTail = {};    // the last log entries after it, in order (none: nothing logged)
};

// Reads the position into a value of 5 and expects `want` in it after.
inline std::function<int16_t()> GetPos(double want) {
  return [want] {
    double pos = 5;
    const int16_t r = MotorGetPos(pos);
    EXPECT_DOUBLE_EQ(pos, want);
    return r;
  };
}

// The last log entries, oldest first.
inline Strings LogTail(size_t n) {
  const Strings log = LogLines();
  return Strings(log.end() - static_cast<long>(std::min(n, log.size())), log.end());
}

class LinkFixture {
 protected:
  // Opens the link for `type` with the scripted peer answering `fallback`.
  void OpenLink(const std::string& type, char address, PeerReply fallback) {
    SetControllerType(AppSettings(), type);
    AppSettings().WaitPollingInterval = 20;
    pty_ = std::make_unique<PtyPair>();
    ASSERT_TRUE(pty_->Ok()) << pty_->Error();
    ASSERT_TRUE(pty_->HoldSlaveOpen());
    CommInit(MotorSetLineEnds);
    SetPortDevice(pty_->SlavePath());
    ASSERT_EQ(CommOpenPort(1), -1);
    SetPortTimeout(250);
    end_ = type == "EZHR17" ? '\r' : '\n';
    peer_ = std::make_unique<ScriptedPeer>(pty_->MasterFd(), end_, std::move(fallback));
    ScriptedPeer& peer = *peer_;
    time_.FollowPeer([&peer] { return peer.BytesHandled(); }, [&peer] { return peer.BytesSent(); });
    MotorSelect(address);
    MotorSetMoveTimeout(5);
    AllMotionCntrl::ModeWord = 0;
  }

  void CloseLink() {
    SetCommStatusLabel(nullptr);
    SetUi(nullptr);
    CommClosePort();
    CommUnload();
    time_.clock.SetPeerBusy(nullptr);
    peer_.reset();
    pty_.reset();
    SetPortDevice("");
  }

  // Runs each row's operation against a fresh script: its status, the
  // requests, that each went out followed by the end character and nothing
  // else, and what was logged.
  void ExpectRequests(const std::vector<RequestRow>& rows) {
    for (const RequestRow& r : rows) {
      SCOPED_TRACE(r.name);
      peer_->Reset(true);
      for (const auto& [request, replies] : script_) peer_->Script(request, replies);
      for (const auto& [request, replies] : r.script) peer_->Script(request, replies);
      const std::string logged = CommErrLogText();
      EXPECT_EQ(r.op(), r.status);
      EXPECT_EQ(Requests(), r.expected);
      std::string bytes;
      for (const auto& q : r.expected) bytes += q + end_;
      EXPECT_EQ(peer_->Bytes(), bytes);
      if (r.logTail.empty()) {
        EXPECT_EQ(CommErrLogText(), logged);  // nothing logged
      } else {
        EXPECT_EQ(LogTail(r.logTail.size()), r.logTail);
      }
    }
  }

  Strings Requests() const { return peer_->Requests(); }

  FakeTime time_;
  char end_ = '\n';
  PeerScript script_;  // the replies every row of ExpectRequests starts with
  std::unique_ptr<PtyPair> pty_;
  std::unique_ptr<ScriptedPeer> peer_;
};

}  // namespace nvx::test
