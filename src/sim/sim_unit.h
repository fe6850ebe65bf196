// One simulated wheel unit: mechanical position, origin, home switch and the
// motion in progress, all on a simulated clock in seconds. Not thread-safe;
// ControllerSim guards every unit with its own mutex.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim.h"

namespace nvx::sim {

// One piece of a motion: from one mechanical position to another in a given
// time (a pause when both are equal). After the piece, the counted position
// may be set (an origin change inside a drive program).
struct Segment {
  double from = 0;
  double to = 0;
  double duration_s = 0;
  std::optional<double> set_count_after;
};

struct Motion {
  double t0 = 0;  // simulated start time, s
  std::vector<Segment> segments;
  // After the segments: run on forever at this signed speed (0 = busy but
  // standing, e.g. a drive program that loops without moving).
  bool endless = false;
  double endless_velocity = 0;
};

class SimUnit {
 public:
  explicit SimUnit(const UnitConfig& cfg);

  const UnitConfig& Config() const { return cfg_; }
  char Address() const { return cfg_.address; }

  // Brings the unit to time `now`: a finished motion is completed.
  void Advance(double now);

  double Mechanical(double now) const;
  double Counted(double now) const { return Mechanical(now) - origin_; }
  bool Moving(double now) const;
  bool SwitchAt(double mech) const;
  bool Switch(double now) const { return SwitchAt(Mechanical(now)); }

  // Stops at once where the unit stands.
  void Stop(double now);
  void SetMechanical(double now, double mech);
  // The counted position becomes `count` at the present place.
  void SetCount(double now, double count);

  // Starts a motion (replacing any motion in progress).
  void StartMotion(double now, Motion motion);

  // Nearest mechanical step at or beyond `from` (in direction dir = +1/-1)
  // where the switch is engaged; nullopt without a switch.
  std::optional<double> SwitchTarget(double from, int dir) const;

  int32_t slew_velocity;  // last "V"
  int32_t init_velocity = 0;
  std::string pending_program;  // EZHR17: command string stored without "R"

 private:
  UnitConfig cfg_;
  double mech_;
  double origin_ = 0;
  std::optional<Motion> motion_;
};

}  // namespace nvx::sim
