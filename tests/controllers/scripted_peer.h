// A scripted controller on the master side of a pseudo-terminal: it splits
// what the program writes into requests at the end character, records each
// one, and answers it from a script (per request text, a sequence of replies
// whose last one repeats), so tests can assert the exact bytes on the line.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nvx::test {

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
  // endChar ends a request (10 for IM483I, 13 for EZHR17); the default
  // answer of a request the script does not name is `fallback`.
  ScriptedPeer(int masterFd, char endChar, PeerReply fallback)
      : fd_(masterFd), end_(endChar), fallback_(std::move(fallback)), thread_([this] { Run(); }) {}
  ~ScriptedPeer() {
    stop_ = true;
    thread_.join();
  }
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  // Replies to `request` (text without its end character), in order; the last
  // one repeats.
  void Script(const std::string& request, std::vector<PeerReply> replies) {
    std::lock_guard<std::mutex> lock(mu_);
    script_[request] = {std::move(replies), 0};
  }
  // Forgets the requests and bytes received so far (and with `script`, the
  // script too).
  void Reset(bool script = false) {
    std::lock_guard<std::mutex> lock(mu_);
    requests_.clear();
    bytes_.clear();
    if (script) script_.clear();
  }
  // Requests received so far, without their end characters.
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return requests_;
  }
  // Every byte received so far, end characters included.
  std::string Bytes() const {
    std::lock_guard<std::mutex> lock(mu_);
    return bytes_;
  }
  // Bytes taken from the line and answered, and bytes written to it (for
  // FakeTime::FollowPeer).
  uint64_t BytesHandled() const { return handled_; }
  uint64_t BytesSent() const { return sent_; }

 private:
  void Run() {
    char buf[512];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      const int r = ::poll(&p, 1, 10);
      const ssize_t n = r > 0 && (p.revents & POLLIN) ? ::read(fd_, buf, sizeof buf) : 0;
      if (n <= 0) {
        if (r > 0) ::usleep(5000);  // hang-up or error: do not spin
        continue;
      }
      for (ssize_t i = 0; i < n; ++i) {
        {
          std::lock_guard<std::mutex> lock(mu_);
          bytes_ += buf[i];
        }
        if (buf[i] != end_) {
          pending_ += buf[i];
          continue;
        }
        Answer(pending_);
        pending_.clear();
      }
      handled_ += static_cast<uint64_t>(n);
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
    for (size_t done = 0; done < out.size();) {
      const ssize_t w = ::write(fd_, out.data() + done, out.size() - done);
      if (w < 0 && errno != EAGAIN && errno != EINTR) return;
      if (w < 0) {
        ::usleep(1000);
        continue;
      }
      done += static_cast<size_t>(w);
      sent_ += static_cast<uint64_t>(w);
    }
  }

  int fd_;
  char end_;
  PeerReply fallback_;
  mutable std::mutex mu_;
  std::map<std::string, std::pair<std::vector<PeerReply>, size_t>> script_;  // replies, used
  std::vector<std::string> requests_;
  std::string bytes_, pending_;
  std::atomic<uint64_t> handled_{0}, sent_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once every other member is ready
};

}  // namespace nvx::test
