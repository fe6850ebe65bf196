// A scripted controller on the master side of a pseudo-terminal: it splits
// what the program writes into requests at the end character, records each
// one, and answers it from a script (per request text, a sequence of replies
// whose last one repeats), so tests can assert the exact bytes on the line.
#pragma once

#include <atomic>
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
  ScriptedPeer(int masterFd, char endChar, PeerReply fallback);
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  // Replies to `request` (text without its end character), in order; the last
  // one repeats.
  void Script(const std::string& request, std::vector<PeerReply> replies);
  // Forgets the requests and bytes received so far (and with `script`, the
  // script too).
  void Reset(bool script = false);
  // Requests received so far, without their end characters.
  std::vector<std::string> Requests() const;
  // Every byte received so far, end characters included.
  std::string Bytes() const;
  // Bytes taken from the line and answered, and bytes written to it (for
  // FakeTime::FollowPeer).
  uint64_t BytesHandled() const { return handled_; }
  uint64_t BytesSent() const { return sent_; }

 private:
  void Run();
  void Answer(const std::string& request);

  int fd_;
  char end_;
  PeerReply fallback_;
  mutable std::mutex mu_;
  std::map<std::string, std::pair<std::vector<PeerReply>, size_t>> script_;  // replies, used
  std::vector<std::string> requests_;
  std::string bytes_, pending_;
  std::atomic<uint64_t> handled_{0}, sent_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace nvx::test
