// IM483I requests: "<name><command>", answered by the echo, the value of a
// query and a line feed.
#include <cmath>
#include <sstream>
#include <vector>

#include "base/numbers.h"
#include "sim/sim_protocol.h"

namespace nvx::sim {

namespace {

// The blank-separated numbers after the command letter; nullopt when any
// of them is not a number.
std::optional<std::vector<double>> Args(const std::string& text) {
  std::vector<double> out;
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    std::optional<double> v = ParseNumber(word);
    if (!v) return std::nullopt;
    out.push_back(*v);
  }
  return out;
}

double Speed(double requested, double fixed) {
  if (fixed > 0) return fixed;
  return std::fabs(requested) >= 1 ? std::fabs(requested) : 1.0;
}

Motion MoveTo(double from, double to, double speed) {
  Motion m;
  m.segments.push_back(Segment{from, to, std::fabs(to - from) / speed, std::nullopt});
  return m;
}

}  // namespace

std::optional<ReplyParts> Im483iHandle(const std::string& request, UnitMap& units, double now,
                                       double fixed_steps_per_s) {
  if (request.empty()) return std::nullopt;
  auto it = units.find(request[0]);
  if (it == units.end()) return std::nullopt;
  SimUnit& u = it->second;
  u.Advance(now);

  ReplyParts r;
  r.address = request[0];
  r.prefix = request;
  r.terminator.push_back('\n');
  if (request.size() < 2) return r;

  const char cmd = request[1];
  const std::string rest = request.substr(2);
  std::optional<std::vector<double>> args = Args(rest);

  switch (cmd) {
    case '+':
    case '-': {
      std::optional<double> n = ParseNumber(rest);
      if (n && *n >= 0) {
        double steps = std::round(*n) * (cmd == '-' ? -1.0 : 1.0);
        double from = u.Mechanical(now);
        if (steps != 0) {
          u.StartMotion(now, MoveTo(from, from + steps, Speed(u.slew_velocity, fixed_steps_per_s)));
        }
      }
      break;
    }
    case 'Z': r.body = FormatIntLeadingBlank(std::llround(u.Counted(now))); break;
    case '^': r.body = FormatIntLeadingBlank(u.Moving(now) ? 1 : 0); break;
    case ']': r.body = FormatIntLeadingBlank(u.Switch(now) ? 1 : 0); break;
    case 'M':
      if (args && args->size() == 1) {
        double v = (*args)[0];
        if (v == 0) {
          u.Stop(now);
        } else {
          Motion m;
          m.endless = true;
          m.endless_velocity = (v < 0 ? -1.0 : 1.0) * Speed(v, fixed_steps_per_s);
          u.StartMotion(now, m);
        }
      }
      break;
    case 'F':
      // Home search: speed and direction (1 = negative); stops on the switch.
      if (args && args->size() == 2 && (*args)[0] != 0) {
        int dir = (*args)[1] == 1 ? -1 : 1;
        double speed = Speed((*args)[0], fixed_steps_per_s);
        double from = u.Mechanical(now);
        std::optional<double> target = u.SwitchTarget(from, dir);
        if (target) {
          if (*target != from) u.StartMotion(now, MoveTo(from, *target, speed));
        } else {
          Motion m;
          m.endless = true;
          m.endless_velocity = dir * speed;
          u.StartMotion(now, m);
        }
      }
      break;
    case 'O': u.SetCount(now, 0); break;
    case 'V':
      if (args && args->size() == 1) {
        std::optional<int32_t> v = ToInt32((*args)[0]);
        if (v) u.slew_velocity = *v;
      }
      break;
    case 'I':
      if (args && args->size() == 1) {
        std::optional<int32_t> v = ToInt32((*args)[0]);
        if (v) u.init_velocity = *v;
      }
      break;
    default:
      // Parameter requests and requests the unit does not know: echo only.
      break;
  }
  return r;
}

}  // namespace nvx::sim
