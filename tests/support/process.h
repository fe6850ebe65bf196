// Runs a program as a child process with extra environment variables and
// captures its output; the child is killed when it outlives the time limit.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace nvx::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when killed or not started
  std::string out, err;
};

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env = {},
                         int timeoutMs = 60000);

// A child that runs in the background until Wait() or destruction.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::vector<std::string>& argv,
                    const std::vector<std::pair<std::string, std::string>>& env = {});
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;
  int pid() const { return pid_; }
  // Exit code, or -1 when killed after timeoutMs.
  int Wait(int timeoutMs);
  void Kill(int signal);

 private:
  int pid_ = -1;
  int status_ = -1;
  bool reaped_ = false;
};

}  // namespace nvx::test
