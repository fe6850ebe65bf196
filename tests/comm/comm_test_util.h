// The link in tests: a recording message line, the error log as lines, and a
// fixture that opens the link for a controller type on a real pseudo-terminal,
// on a fake clock, with a scripted controller on the far side. The peer splits
// what the program writes into requests at the end character, records each
// one and answers it from a script (per request text, a sequence of replies
// whose last one repeats), so tests can assert the exact bytes on the line.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "comm/serial_port.h"
#include "controllers/motcon.h"
#include "support/fake_time.h"
#include "support/pty_line.h"

namespace nvx::test {

using Strings = std::vector<std::string>;

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
inline Strings LogLines() {
  Strings lines;
  const std::string text = CommErrLogText();
  for (size_t pos = 0, end; pos < text.size(); pos = end + 2) {
    end = text.find("\r\n", pos);
    if (end == std::string::npos) return lines.push_back(text.substr(pos) + "<no CRLF>"), lines;
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

// The last n log entries, oldest first.
inline Strings LogTail(size_t n) {
  const Strings log = LogLines();
  return Strings(log.end() - static_cast<long>(std::min(n, log.size())), log.end());
}

inline std::string LastLogLine() {
  const Strings last = LogTail(1);
  return last.empty() ? std::string() : last[0];
}

inline void UseEzhr17Framing() {
  SetOutEndChar(13);
  SetInTerm1(13);
  SetInTerm2(10);
}

struct PeerReply {
  enum class Kind { Echo, Raw, None };
  Kind kind = Kind::Echo;
  std::string text;  // Echo: value after the echo; Raw: every byte sent
};

// IM483I: echo of the request, then the value, then a line feed.
inline PeerReply Echo(std::string value = {}) { return {PeerReply::Kind::Echo, std::move(value)}; }
// Bytes sent exactly as given.
inline PeerReply Raw(std::string bytes) { return {PeerReply::Kind::Raw, std::move(bytes)}; }
// The request stays unanswered.
inline PeerReply NoReply() { return {PeerReply::Kind::None, {}}; }
// EZHR17: 0xFF, "/0", status character, data, 0x03, CR LF.
inline PeerReply Ez(char status, std::string data = {}) {
  return Raw(std::string("\xFF/0") + status + data + "\x03\r\n");
}
// An EZHR17 status character: ready bit 32 over 0x40, plus an error code.
inline char EzStatus(bool ready, int error = 0) {
  return static_cast<char>(0x40 | (ready ? 0x20 : 0) | (error & 15));
}

class ScriptedPeer {
 public:
  // endChar ends a request; a request the script does not name is answered
  // with `fallback`.
  ScriptedPeer(PtyLine& line, char endChar, PeerReply fallback)
      : line_(line), end_(1, endChar), fallback_(std::move(fallback)), thread_([this] { Run(); }) {}
  ~ScriptedPeer() {
    stop_ = true;
    thread_.join();
  }

  // Replies to `request` (without its end character), in order; the last
  // one repeats.
  void Script(const std::string& request, std::vector<PeerReply> replies) {
    std::lock_guard<std::mutex> lock(mu_);
    script_[request] = {std::move(replies), 0};
  }
  // Forgets the requests and bytes received so far, and the script.
  void Reset() {
    std::lock_guard<std::mutex> lock(mu_);
    requests_.clear();
    bytes_.clear();
    script_.clear();
  }
  // Requests received so far, without their end characters.
  Strings Requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return requests_;
  }
  // Every byte received so far, end characters included.
  std::string Bytes() const {
    std::lock_guard<std::mutex> lock(mu_);
    return bytes_;
  }
  // Sends bytes unasked; bytes owed were announced before by Owe.
  void Owe(size_t n) { sent_ += n; }
  bool Send(std::string_view bytes, bool owed = false) {
    if (!owed) sent_ += bytes.size();
    return line_.Write(bytes);
  }
  // Bytes taken from the line and answered, and bytes written to it (for
  // FakeTime::FollowPeer).
  uint64_t BytesHandled() const { return handled_; }
  uint64_t BytesSent() const { return sent_; }

 private:
  void Run() {
    while (!stop_) {
      const std::string got = line_.ReadUntil(end_, 10);
      for (char c : got) {
        {
          std::lock_guard<std::mutex> lock(mu_);
          bytes_ += c;
        }
        if (c != end_[0]) {
          pending_ += c;
          continue;
        }
        Answer(pending_);
        pending_.clear();
      }
      handled_ += got.size();
    }
  }

  void Answer(const std::string& request) {
    PeerReply reply = fallback_;
    {
      std::lock_guard<std::mutex> lock(mu_);
      requests_.push_back(request);
      auto it = script_.find(request);
      if (it != script_.end() && !it->second.first.empty()) {
        auto& [replies, used] = it->second;
        reply = replies[std::min(used++, replies.size() - 1)];
      }
    }
    if (reply.kind == PeerReply::Kind::None) return;
    const std::string out =
        reply.kind == PeerReply::Kind::Raw ? reply.text : request + reply.text + "\n";
    line_.Write(out);
    sent_ += out.size();
  }

  PtyLine& line_;
  const std::string end_;
  const PeerReply fallback_;
  mutable std::mutex mu_;
  std::map<std::string, std::pair<std::vector<PeerReply>, size_t>> script_;  // replies, used
  Strings requests_;
  std::string bytes_, pending_;
  std::atomic<uint64_t> handled_{0}, sent_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once every other member is ready
};

class LinkOnPty : public ::testing::Test {
 protected:
  void TearDown() override { CloseLink(); }

  // Opens the link for controller `type` on a new line, with the peer
  // answering `fallback`.
  void OpenLink(const std::string& type, PeerReply fallback = NoReply()) {
    SetControllerType(AppSettings(), type);
    AppSettings().WaitPollingInterval = 20;
    CommUnload();
    SetSerialPortFactory(nullptr);
    CommInit(MotorSetLineEnds);
    NewLine(type == "EZHR17" ? '\r' : '\n', std::move(fallback));
    ASSERT_EQ(CommOpenPort(1), -1) << LastLogLine();
  }
  // A new pseudo-terminal and peer, the far side held open (so the peer
  // never sees a hang-up), as the port device; the port itself stays as it is.
  void NewLine(char end, PeerReply fallback) {
    peer_.reset();
    pty_.emplace();
    ASSERT_TRUE(pty_->Ok());
    held_.emplace(pty_->SlavePath());
    SetPortDevice(pty_->SlavePath());
    end_ = end;
    peer_ = std::make_unique<ScriptedPeer>(*pty_, end, std::move(fallback));
    ScriptedPeer& peer = *peer_;
    time_.FollowPeer([&peer] { return peer.BytesHandled(); }, [&peer] { return peer.BytesSent(); });
  }
  // Hangs up the far side.
  void HangUp() {
    time_.clock.SetPeerBusy(nullptr);
    peer_.reset();
    held_.reset();
    pty_.reset();
  }
  void CloseLink() {
    SetCommStatusLabel(nullptr);
    SetUi(nullptr);
    CommClosePort();
    CommUnload();
    HangUp();
    SetPortDevice("");
    // Framing back to the controller-type default of "nothing set".
    SetOutEndChar(0);
    SetInTerm1(0);
    SetInTerm2(0);
  }

  // Milliseconds of the fake clock since start.
  int64_t FakeSince(uint32_t start) { return static_cast<uint32_t>(time_.clock.NowMs() - start); }

  FakeTime time_;
  char end_ = '\n';
  std::optional<PtyLine> pty_, held_;
  std::unique_ptr<ScriptedPeer> peer_;
};

}  // namespace nvx::test
