// A pseudo-terminal pair for tests: the test holds the master side and the
// code under test opens the slave device by its path, exactly as it would
// open a real serial port.
//
// The pair starts in raw mode (no echo, no line editing, 8-bit clean), so
// bytes pass unchanged in both directions even before the slave side is set
// up by its user. Every read and write helper has a time-out in ms and never
// blocks past it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nvx::test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // True when the pair was created; Error() says why not.
  bool Ok() const { return master_fd_ >= 0; }
  const std::string& Error() const { return error_; }

  int MasterFd() const { return master_fd_; }
  // The slave device path, e.g. "/dev/pts/7".
  const std::string& SlavePath() const { return slave_path_; }

  // Writes all bytes to the master side (they arrive at the slave). False
  // when they could not all be written within timeout_ms.
  bool Write(std::string_view bytes, int timeout_ms = 1000);

  // What the slave side has written, without waiting.
  std::string ReadAvailable();
  // Everything that arrives within ms (waits the whole time).
  std::string ReadFor(int ms);
  // Reads until the collected bytes contain `needle` or timeout_ms passes;
  // returns all bytes collected either way.
  std::string ReadUntil(std::string_view needle, int timeout_ms);
  // Reads until n bytes were collected or timeout_ms passes.
  std::string ReadCount(std::size_t n, int timeout_ms);

  // Closes the master side: the slave side sees a hang-up.
  void CloseMaster();

  // Holds a slave descriptor open in the helper, so that the master side
  // never sees the slave closed (reads on the master then wait instead of
  // failing while the code under test has the device closed).
  bool HoldSlaveOpen();
  void ReleaseSlave();

 private:
  // One read of whatever is waiting, after waiting up to timeout_ms for it.
  // Appends to out; false when nothing came.
  bool ReadOnce(std::string& out, int timeout_ms);

  int master_fd_ = -1;
  int held_slave_fd_ = -1;
  std::string slave_path_;
  std::string error_;
};

}  // namespace nvx::test
