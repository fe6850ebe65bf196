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
  script_[request] = std::move(replies);
  used_[request] = 0;
}

std::vector<std::string> ScriptedPeer::Requests() const {
  std::lock_guard<std::mutex> lock(mu_);
  return requests_;
}

void ScriptedPeer::ClearRequests() {
  std::lock_guard<std::mutex> lock(mu_);
  requests_.clear();
  bytes_.clear();
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
    if (r <= 0 || (p.revents & POLLIN) == 0) {
      if (r > 0) ::usleep(5000);  // hang-up or error: do not spin
      continue;
    }
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) {
      ::usleep(5000);
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
    if (it != script_.end() && !it->second.empty()) {
      size_t& k = used_[request];
      reply = it->second[k < it->second.size() ? k : it->second.size() - 1];
      ++k;
    }
  }
  std::string out;
  switch (reply.kind) {
    case PeerReply::Kind::None: return;
    case PeerReply::Kind::Raw: out = reply.text; break;
    case PeerReply::Kind::Echo: out = request + reply.text + "\n"; break;
  }
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t w = ::write(fd_, out.data() + done, out.size() - done);
    if (w < 0) {
      if (errno == EAGAIN || errno == EINTR) {
        ::usleep(1000);
        continue;
      }
      return;
    }
    done += static_cast<size_t>(w);
    sent_ += static_cast<uint64_t>(w);
  }
}

}  // namespace nvx::test
