// Simulated motor controllers on a pseudo-terminal.
//
// A ControllerSim opens a pseudo-terminal and answers, on its own thread, the
// requests that the IM483I and EZHR17 drivers send, the way the controllers
// on the real line answer them. The program opens SlavePath() as its serial
// port. Several units share the line, each answering to its own address
// character; a request for an address that no unit has gets no reply.
//
// Every unit turns a wheel of 3200 steps per revolution. Moves take time (the
// unit's speed in steps per second, times SimOptions::speed_factor), so the
// moving/busy status and the position change while a move runs. A home switch
// is engaged over `switch_width` steps starting at `switch_position` of each
// revolution of the mechanical position; the counted position is the
// mechanical one minus the origin, which "O" (IM483I) and "z"/"Z" (EZHR17)
// move.
//
// IM483I: a request is the address, the command and a line feed. The reply is
// the request (without its line feed) echoed, then the value of a query, then
// a line feed: "AZ\n" -> "AZ 1067\n", "A^\n" -> "A^ 0\n", "A] 1\n" ->
// "A] 1 1\n" (bit 0 = home switch), "AV 500\n" -> "AV 500\n". A request the
// unit does not know is echoed like a parameter request.
//
// EZHR17: a request is "/", the address, the command string and a carriage
// return. The reply is 0xFF, "/0", the status character, the data of a query,
// 0x03, CR, LF. The status character is 0x40 | 0x20 when ready (0x40 while
// busy) | the error code (2 unknown command, 3 bad operand, 15 command while
// busy). "?0" gives the position, "?2" the top speed, "Q" the status alone.
// Command strings that end in "R" run as a small program: P/D moves, V/v/L
// and the other settings, z (set position), Z (home search to the switch,
// then position 0), g...G loops and S skips on input 3 (the home switch), so
// the limit-search program of the homing runs as it does on the drive.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nvx::sim {

enum class ControllerKind { kIM483I, kEZHR17 };

// "IM483I" / "EZHR17" (exact) -> kind.
std::optional<ControllerKind> ParseControllerKind(const std::string& text);
const char* ControllerKindName(ControllerKind kind);

constexpr int kStepsPerRev = 3200;

struct UnitConfig {
  char address = 'A';              // unit name (IM483I) or drive address (EZHR17)
  double start_position = 0;       // mechanical position at start, steps
  bool has_switch = true;          // false: no home switch, searches never end
  int32_t switch_position = 2400;  // first engaged step of each revolution (0..3199)
  int32_t switch_width = 40;       // engaged steps
  int32_t slew_velocity = 2000;    // steps/s until a "V" request changes it
};

// Faults injected into replies, for tests.
enum class Fault {
  kNone,
  kNoReply,      // the request is logged but not answered
  kGarbled,      // IM483I: echo replaced by other bytes; EZHR17: no "/0"
  kPartial,      // the reply without its terminator
  kWrongCase,    // IM483I: echo with the letter case swapped
  kErrorStatus,  // EZHR17: status carries error_code; IM483I: value "?"
  kHangUp,       // the master side is closed instead of answering
};

struct SimOptions {
  double speed_factor = 1.0;     // simulated seconds per real second (> 0)
  double fixed_steps_per_s = 0;  // > 0: every move runs at this speed
  int reply_delay_ms = 0;        // pause before each reply
  bool paced = false;            // send replies at 9600 baud (~1.04 ms/char)
  Fault fault = Fault::kNone;
  char fault_address = 0;  // 0: every address; else only this unit
  int fault_skip = 0;      // matching requests answered normally first
  int fault_count = -1;    // matching requests that get the fault (-1: all)
  uint8_t error_code = 9;  // for kErrorStatus on the EZHR17
};

class ControllerSim {
 public:
  ControllerSim(ControllerKind kind, std::vector<UnitConfig> units, SimOptions options = {});
  ~ControllerSim();
  ControllerSim(const ControllerSim&) = delete;
  ControllerSim& operator=(const ControllerSim&) = delete;

  // Opens the pseudo-terminal and starts serving. 1 on success, -1 on failure.
  int16_t Start();
  // Stops serving and closes the pseudo-terminal (also done by the destructor).
  void Stop();

  // Path of the pseudo-terminal's slave side ("" before Start).
  std::string SlavePath() const;
  ControllerKind Kind() const { return kind_; }

  // Counted position (what "Z"/"?0" would report, unrounded); nullopt for an
  // unknown address.
  std::optional<double> Position(char address) const;
  // Mechanical position (no origin), steps.
  std::optional<double> MechanicalPosition(char address) const;
  std::optional<bool> IsMoving(char address) const;
  std::optional<bool> SwitchEngaged(char address) const;
  // Last slew velocity set on the unit ("V").
  std::optional<int32_t> SlewVelocity(char address) const;
  // Puts a standing unit at a mechanical position (stops any motion).
  bool SetMechanicalPosition(char address, double position);

  // Every complete request received, exact bytes including its end character.
  std::vector<std::string> Requests() const;
  void ClearRequests();

  SimOptions Options() const;
  void SetOptions(const SimOptions& options);

  // True after a kHangUp fault closed the line.
  bool HungUp() const;

  // Where the simulated time comes from: a millisecond count of any origin
  // (a test's fake clock); empty: the steady clock. Moves follow it times
  // speed_factor. Set it before Start, or while the line is quiet.
  void SetTimeSource(std::function<int64_t()> now_ms);
  // Bytes taken from the line and handled (any reply written), and bytes
  // written to the line, since construction. A request's bytes count as
  // handled only once its reply is out.
  uint64_t BytesHandled() const;
  uint64_t BytesSent() const;

  struct Impl;

 private:
  ControllerKind kind_;
  std::unique_ptr<Impl> impl_;
};

// Reads a '"KEY",value[,remark]' parameter file into key -> trimmed value
// (first occurrence wins). False when the file cannot be read.
bool ReadKeyFile(const std::string& path, std::map<std::string, std::string>& out);

// Builds the units of ZR_PARW1.TXT and ZR_PARW2.TXT in dir (dir with or
// without a trailing '/'): address from WnCONTR, speed from WnSLEWVELOCITY.
// A file that is missing or lacks WnCONTR adds no unit; two files with the same
// address give one unit. The switch is put at the default position.
std::vector<UnitConfig> UnitsFromParamFiles(const std::string& dir);

// Controller kind from CONTRTYPE of dir/ZR_CONFIG.TXT; IM483I when the file or
// key is missing; nullopt for an unknown type.
std::optional<ControllerKind> KindFromConfig(const std::string& dir);

}  // namespace nvx::sim
