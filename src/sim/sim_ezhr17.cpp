// EZHR17 requests: "/<address><command string>". Queries are answered at
// once; command strings that end in "R" run as a drive program, worked out
// ahead on a virtual position and then played back over time.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/numbers.h"
#include "sim/sim_protocol.h"

namespace nvx::sim {

namespace {

struct Token {
  char letter = 0;
  bool has_value = false;
  int64_t value = 0;
};

// Letters, each with an optional signed decimal operand. False on an operand
// too long to be a number the drive could hold.
bool Tokenize(const std::string& text, std::vector<Token>& out) {
  size_t i = 0;
  while (i < text.size()) {
    Token t;
    t.letter = text[i++];
    size_t start = i;
    if (i < text.size() && text[i] == '-') ++i;
    size_t digits = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i > digits) {
      if (i - start > 12) return false;
      t.has_value = true;
      t.value = std::strtoll(text.substr(start, i - start).c_str(), nullptr, 10);
    } else {
      i = start;  // a lone '-' is a letter of its own
    }
    out.push_back(t);
  }
  return true;
}

bool KnownCommand(char c) {
  switch (c) {
    case 'A':
    case 'P':
    case 'D':
    case 'V':
    case 'v':
    case 'L':
    case 'h':
    case 'm':
    case 'j':
    case 'z':
    case 'Z':
    case 'n':
    case 'f':
    case 'B':
    case 'g':
    case 'G':
    case 'S':
    case 'M':
    case 'H':
    case 'R': return true;
    default: return false;
  }
}

constexpr double kEndlessTravel = 100.0 * kStepsPerRev;
constexpr long kMaxOps = 2000000;

// Works out a drive program on a virtual position.
class ProgramRun {
 public:
  ProgramRun(SimUnit& u, double now, double fixed) : u_(u), now_(now), fixed_(fixed) {
    p_ = u.Mechanical(now);
  }

  // 0 or an error code.
  int Check(const std::vector<Token>& prog) const {
    for (const Token& t : prog) {
      if (!KnownCommand(t.letter)) return kEzErrBadCommand;
      if (t.has_value && t.value < 0 && t.letter != 'A' && t.letter != 'z') {
        return kEzErrBadOperand;
      }
      if (t.letter == 'j' && t.has_value) {
        int64_t v = t.value;
        if (v < 1 || v > 256 || (v & (v - 1)) != 0) return kEzErrBadOperand;
      }
      if ((t.letter == 'V' || t.letter == 'v') && t.has_value && t.value == 0) {
        return kEzErrBadOperand;
      }
    }
    return 0;
  }

  void Run(const std::vector<Token>& prog) {
    struct Loop {
      size_t start;
      int64_t done;
    };
    std::vector<Loop> loops;
    size_t pc = 0;
    long ops = 0;
    double travel_half = 0;
    while (pc < prog.size()) {
      if (++ops == kMaxOps / 2) travel_half = travel_;
      if (ops > kMaxOps || travel_ > kEndlessTravel) {
        // A loop that never ends: it runs on in the direction it last
        // moved, or stands busy when it no longer moves at all.
        endless_ = true;
        if (ops > kMaxOps && travel_ == travel_half) dir_ = 0;
        break;
      }
      const Token& t = prog[pc];
      const int64_t v = t.has_value ? t.value : 0;
      switch (t.letter) {
        case 'P':
          if (v == 0) {
            endless_ = true;
            dir_ = 1;
            pc = prog.size();
            continue;
          }
          Move(static_cast<double>(v));
          break;
        case 'D':
          if (v == 0) {
            endless_ = true;
            dir_ = -1;
            pc = prog.size();
            continue;
          }
          Move(-static_cast<double>(v));
          break;
        case 'A': Move(origin_ + static_cast<double>(v) - p_); break;
        case 'V':
          if (t.has_value) u_.slew_velocity = static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX));
          break;
        case 'v':
          if (t.has_value) u_.init_velocity = static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX));
          break;
        case 'z': SetCount(static_cast<double>(v)); break;
        case 'Z': {
          double limit = t.has_value ? static_cast<double>(v) : 1e9;
          std::optional<double> target = u_.SwitchTarget(p_, -1);
          if (target && p_ - *target <= limit) {
            Move(*target - p_);
            SetCount(0);
          } else if (limit > kEndlessTravel) {
            endless_ = true;
            dir_ = -1;
            pc = prog.size();
            continue;
          } else {
            Move(-limit);
          }
          break;
        }
        case 'M': Pause(static_cast<double>(v) / 1000.0); break;
        case 'g': loops.push_back(Loop{pc + 1, 0}); break;
        case 'G':
          if (!loops.empty()) {
            Loop& l = loops.back();
            if (v == 0 || ++l.done < v) {
              pc = l.start;
              continue;
            }
            loops.pop_back();
          }
          break;
        case 'S': {
          // S<level><input>: skip the next command when the input is at level.
          int input = static_cast<int>(v % 10);
          int level = static_cast<int>(v / 10);
          int state = (input == 3 && u_.SwitchAt(p_)) ? 1 : 0;
          if (state == level) {
            if (pc + 1 < prog.size() && prog[pc + 1].letter == 'G' && !loops.empty()) {
              loops.pop_back();
            }
            pc += 2;
            continue;
          }
          break;
        }
        default: break;  // settings the simulation does not need
      }
      ++pc;
    }
  }

  // Starts what was worked out on the unit.
  void Apply() {
    if (segments_.empty() && !endless_) return;
    Motion m;
    m.segments = std::move(segments_);
    m.endless = endless_;
    m.endless_velocity = dir_ * Speed();
    u_.StartMotion(now_, std::move(m));
  }

 private:
  double Speed() const {
    if (fixed_ > 0) return fixed_;
    return u_.slew_velocity >= 1 ? static_cast<double>(u_.slew_velocity) : 1.0;
  }

  void Move(double d) {
    if (d == 0) return;
    double to = p_ + d;
    double dur = std::fabs(d) / Speed();
    int dir = d < 0 ? -1 : 1;
    if (!segments_.empty()) {
      Segment& last = segments_.back();
      if (!last.set_count_after && last.to != last.from &&
          ((last.to - last.from < 0) == (dir < 0))) {
        last.to = to;
        last.duration_s += dur;
        p_ = to;
        travel_ += std::fabs(d);
        dir_ = dir;
        return;
      }
    }
    segments_.push_back(Segment{p_, to, dur, std::nullopt});
    p_ = to;
    travel_ += std::fabs(d);
    dir_ = dir;
  }

  void Pause(double s) {
    if (s <= 0) return;
    segments_.push_back(Segment{p_, p_, s, std::nullopt});
  }

  void SetCount(double c) {
    origin_ = p_ - c;
    if (segments_.empty()) {
      u_.SetCount(now_, c);
    } else {
      Segment& last = segments_.back();
      if (last.set_count_after) {
        segments_.push_back(Segment{p_, p_, 0, c});
      } else {
        last.set_count_after = c;
      }
    }
  }

  SimUnit& u_;
  double now_;
  double fixed_;
  double p_ = 0;
  double origin_ = 0;
  double travel_ = 0;
  int dir_ = 1;
  bool endless_ = false;
  std::vector<Segment> segments_;

 public:
  void SetOrigin(double o) { origin_ = o; }
};

}  // namespace

std::optional<ReplyParts> Ezhr17Handle(const std::string& request, UnitMap& units, double now,
                                       double fixed_steps_per_s) {
  size_t slash = request.find('/');
  if (slash == std::string::npos || slash + 1 >= request.size()) return std::nullopt;
  auto it = units.find(request[slash + 1]);
  if (it == units.end()) return std::nullopt;
  SimUnit& u = it->second;
  u.Advance(now);

  ReplyParts r{it->first, "\xFF/0", std::nullopt, std::string(), "\r\n"};
  int error = 0;
  std::string data;
  const std::string cmd = request.substr(slash + 2);

  std::vector<Token> tokens;
  if (!Tokenize(cmd, tokens)) {
    error = kEzErrBadOperand;
  } else if (tokens.empty() || tokens[0].letter == 'Q') {
    // status only
  } else if (tokens[0].letter == '?') {
    if (!tokens[0].has_value) {
      error = kEzErrBadCommand;
    } else {
      switch (tokens[0].value) {
        case 0: data = FormatInt(std::llround(u.Counted(now))); break;
        case 1: data = FormatInt(u.init_velocity); break;
        case 2: data = FormatInt(u.slew_velocity); break;
        case 4: data = FormatInt(u.Switch(now) ? 4 : 0); break;
        default: error = kEzErrBadCommand; break;
      }
    }
  } else if (tokens[0].letter == 'T') {
    u.Stop(now);
  } else {
    std::vector<Token> prog = tokens;
    bool run = prog.back().letter == 'R' && !prog.back().has_value;
    if (run) prog.pop_back();
    if (run && prog.empty()) {
      std::vector<Token> stored;
      Tokenize(u.pending_program, stored);
      prog = stored;
    }
    ProgramRun pr(u, now, fixed_steps_per_s);
    pr.SetOrigin(u.Mechanical(now) - u.Counted(now));
    error = pr.Check(prog);
    if (error == 0 && run && u.Moving(now)) error = kEzErrBusy;
    if (error == 0) {
      if (run) {
        pr.Run(prog);
        pr.Apply();
      } else {
        u.pending_program = cmd;
      }
    }
  }
  char status = static_cast<char>(kEzBase | (u.Moving(now) ? 0 : kEzReady) | error);
  r.status = status;
  r.body = data + "\x03";
  return r;
}

}  // namespace nvx::sim
