// Default names of a wheel's filter slots for INDI clients.
#pragma once

#include <string>
#include <vector>

#include "params/trapar.h"

namespace nvx::indi {

// One name per slot 1..count: the first symbolic constant, in file order,
// whose value is exactly that slot number ("RED",3 names slot 3 "RED"),
// else "Filter k".
std::vector<std::string> DefaultFilterNames(const ParamList& constants, int count);

}  // namespace nvx::indi
