// The request handlers of the two controller kinds. Each takes one request
// without its end character and gives the reply in parts, so that faults can
// be applied to the parts afterwards; nullopt when no unit answers.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "sim/sim_unit.h"

namespace nvx::sim {

struct ReplyParts {
  char address = 0;
  std::string prefix;          // IM483I: the echo; EZHR17: 0xFF "/0"
  std::optional<char> status;  // EZHR17 status character
  std::string body;            // values; EZHR17: data and the trailing 0x03
  std::string terminator;      // "\n" or "\r\n"

  std::string Bytes() const {
    std::string s = prefix;
    if (status) s += *status;
    s += body;
    s += terminator;
    return s;
  }
};

using UnitMap = std::map<char, SimUnit>;

// `speed_steps_per_s` > 0 overrides the speed of every move.
std::optional<ReplyParts> Im483iHandle(const std::string& request, UnitMap& units, double now,
                                       double fixed_steps_per_s);
std::optional<ReplyParts> Ezhr17Handle(const std::string& request, UnitMap& units, double now,
                                       double fixed_steps_per_s);

// EZHR17 status bits and error codes.
constexpr char kEzBase = 0x40;
constexpr char kEzReady = 0x20;
constexpr int kEzErrBadCommand = 2;
constexpr int kEzErrBadOperand = 3;
constexpr int kEzErrBusy = 15;

}  // namespace nvx::sim
