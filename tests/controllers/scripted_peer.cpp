#include "scripted_peer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace nvx::test {

ScriptedPeer::ScriptedPeer(int masterFd, char endChar, PeerReply fallback)
    : fd_(masterFd), end_(endChar), fallback_(std::move(fallback)) {
  thread_ = std::thread([this] { Run(); });
}

ScriptedPeer::~ScriptedPeer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void ScriptedPeer::Script(const std::string& request, std::vector<PeerReply> replies) {
  std::lock_guard<std::mutex> lock(mu_);
  script_[request] = {std::move(replies), 0};
}

void ScriptedPeer::Reset(bool script) {
  std::lock_guard<std::mutex> lock(mu_);
  requests_.clear();
  bytes_.clear();
  if (script) script_.clear();
}

std::vector<std::string> ScriptedPeer::Requests() const {
  std::lock_guard<std::mutex> lock(mu_);
  return requests_;
}

std::string ScriptedPeer::Bytes() const {
  std::lock_guard<std::mutex> lock(mu_);
  return bytes_;
}

void ScriptedPeer::Run() {
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
      if (buf[i] == end_) {
        const std::string request = pending_;
        pending_.clear();
        Answer(request);
      } else {
        pending_ += buf[i];
      }
    }
    handled_ += static_cast<uint64_t>(n);
  }
}

void ScriptedPeer::Answer(const std::string& request) {
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
  std::string out;
  switch (reply.kind) {
    case PeerReply::Kind::None: return;
    case PeerReply::Kind::Raw: out = reply.text; break;
    case PeerReply::Kind::Echo: out = request + reply.text + "\n"; break;
  }
  for (size_t done = 0; done < out.size();) {
    const ssize_t w = ::write(fd_, out.data() + done, out.size() - done);
    if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
      ::usleep(1000);
    } else if (w < 0) {
      return;
    } else {
      done += static_cast<size_t>(w);
      sent_ += static_cast<uint64_t>(w);
    }
  }
}

}  // namespace nvx::test
