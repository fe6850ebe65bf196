// A serial link on a real pseudo-terminal with a scripted controller on the
// far side, set up for one controller type, on a fake clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "controllers/allmotion.h"
#include "controllers/motcon.h"
#include "scripted_peer.h"
#include "support/fake_time.h"
#include "support/pty_pair.h"

namespace nvx::test {

// Records every text the error log mirrors into the message line; a hook may
// run inside SetText (it is not re-entered).
class HookLabel : public StatusLabel {
 public:
  std::string text;
  std::vector<std::string> history;
  std::function<void()> onSetText;
  std::string Text() const override { return text; }
  void SetText(const std::string& t) override {
    text = t;
    history.push_back(t);
    if (onSetText && !inHook_) {
      inHook_ = true;
      onSetText();
      inHook_ = false;
    }
  }

 private:
  bool inHook_ = false;
};

inline std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  const std::string text = CommErrLogText();
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t e = text.find("\r\n", pos);
    if (e == std::string::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, e - pos));
    pos = e + 2;
  }
  return lines;
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
    peer_ = std::make_unique<ScriptedPeer>(pty_->MasterFd(), type == "EZHR17" ? '\r' : '\n',
                                           std::move(fallback));
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

  std::vector<std::string> Requests() const { return peer_->Requests(); }

  FakeTime time_;
  std::unique_ptr<PtyPair> pty_;
  std::unique_ptr<ScriptedPeer> peer_;
};

}  // namespace nvx::test
