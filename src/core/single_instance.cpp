#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/app.h"

namespace nvx {

const char* const kAlreadyRunningText =
    "Application is already running.\r\nIf user interface is not visible,\r\n"
    "restore form, or give Show command from a client.";
const char* const kAlreadyRunningTitle = "Quillmark";

std::string DefaultLockPath() {
  // One lock per user session: the runtime directory when there is one,
  // else /tmp with the user id in the name.
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
    return std::string(run) + "/norvantix.lock";
  }
  // A program started without the variable (indiserver from cron, ssh or a
  // service) still finds the user's runtime directory while they are logged
  // in, so it takes the same lock as the desktop session's window program.
  const std::string userRun = "/run/user/" + std::to_string(getuid());
  if (::access(userRun.c_str(), W_OK) == 0) return userRun + "/norvantix.lock";
  return "/tmp/norvantix-" + std::to_string(getuid()) + ".lock";
}

namespace {
// The locked descriptor while this process holds the lock, else -1.
int g_lockFd = -1;
}  // namespace

bool AcquireSingleInstance(const std::string& lockPath) {
  // flock() locks belong to the open file description: the kernel drops the
  // lock when the process ends in any way, so a crash never blocks the next
  // start. The program keeps the descriptor open for its whole life; the
  // INDI driver gives it back when its last device disconnects.
  int& fd = g_lockFd;
  if (fd >= 0) return true;
  const int f = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (f < 0) return true;  // no place for a lock: do not refuse to start
  if (::flock(f, LOCK_EX | LOCK_NB) != 0) {
    ::close(f);
    return false;
  }
  fd = f;
  return true;
}

void ReleaseSingleInstance() {
  if (g_lockFd < 0) return;
  ::close(g_lockFd);  // closing the only descriptor drops the lock
  g_lockFd = -1;
}

}  // namespace nvx
