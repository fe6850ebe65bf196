#include "sim/sim_unit.h"

#include <cmath>
#include <utility>

namespace nvx::sim {

namespace {

struct State {
  double mech;
  double origin;
  bool moving;
};

int64_t Mod(int64_t a, int64_t m) {
  int64_t r = a % m;
  return r < 0 ? r + m : r;
}

State Evaluate(const Motion& m, double mech0, double origin0, double now) {
  State s{mech0, origin0, true};
  double t = now - m.t0;
  if (t < 0) t = 0;
  for (const Segment& seg : m.segments) {
    if (t < seg.duration_s) {
      double f = seg.duration_s > 0 ? t / seg.duration_s : 1.0;
      s.mech = seg.from + (seg.to - seg.from) * f;
      return s;
    }
    t -= seg.duration_s;
    s.mech = seg.to;
    if (seg.set_count_after) s.origin = seg.to - *seg.set_count_after;
  }
  if (m.endless) {
    s.mech += m.endless_velocity * t;
    return s;
  }
  s.moving = false;
  return s;
}

}  // namespace

SimUnit::SimUnit(const UnitConfig& cfg)
    : slew_velocity(cfg.slew_velocity), cfg_(cfg), mech_(cfg.start_position) {}

void SimUnit::Advance(double now) {
  if (!motion_) return;
  State s = Evaluate(*motion_, mech_, origin_, now);
  if (!s.moving) {
    mech_ = s.mech;
    origin_ = s.origin;
    motion_.reset();
  }
}

double SimUnit::Mechanical(double now) const {
  if (!motion_) return mech_;
  return Evaluate(*motion_, mech_, origin_, now).mech;
}

bool SimUnit::Moving(double now) const {
  return motion_ && Evaluate(*motion_, mech_, origin_, now).moving;
}

bool SimUnit::SwitchAt(double mech) const {
  if (!cfg_.has_switch || cfg_.switch_width <= 0) return false;
  int64_t step = std::llround(mech);
  return Mod(step - cfg_.switch_position, kStepsPerRev) < cfg_.switch_width;
}

void SimUnit::Stop(double now) {
  if (!motion_) return;
  State s = Evaluate(*motion_, mech_, origin_, now);
  mech_ = std::round(s.mech);
  origin_ = s.origin;
  motion_.reset();
}

void SimUnit::SetMechanical(double now, double mech) {
  Stop(now);
  mech_ = mech;
}

void SimUnit::SetCount(double now, double count) {
  Stop(now);
  origin_ = mech_ - count;
}

void SimUnit::StartMotion(double now, Motion motion) {
  Stop(now);
  motion.t0 = now;
  motion_ = std::move(motion);
  Advance(now);
}

std::optional<double> SimUnit::SwitchTarget(double from, int dir) const {
  if (!cfg_.has_switch || cfg_.switch_width <= 0) return std::nullopt;
  int64_t p = std::llround(from);
  if (SwitchAt(static_cast<double>(p))) return static_cast<double>(p);
  if (dir < 0) {
    // Entering from above: the last engaged step of the zone.
    int64_t upper = static_cast<int64_t>(cfg_.switch_position) + cfg_.switch_width - 1;
    return static_cast<double>(p - Mod(p - upper, kStepsPerRev));
  }
  return static_cast<double>(p + Mod(cfg_.switch_position - p, kStepsPerRev));
}

}  // namespace nvx::sim
