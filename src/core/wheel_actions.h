// The wheel actions every front end uses (the command language, the wheel
// menus, the speed test, D-Bus through the command language): each selects
// its wheel, runs the wheel operation and keeps CurFilter as its callers
// expect. The wheel operations tell the wheel observer of every move they
// command and every filter they read, so a view follows them all.
#pragma once

#include <cstdint>

namespace nvx {

// Reads the wheel's filter into CurFilter; a failed reading leaves CurFilter
// as it was. The result of GetFilter (1 when read).
int16_t ReadBackFilter(int16_t wheel);

// Moves the wheel to filter f by the shortest way. CurFilter := f when the
// move was started (result above 0), or whatever the result when
// recordAlways. The result of GoToFilter.
int16_t GoToFilterAndRecord(int16_t wheel, int16_t f, bool recordAlways);

// Homes the wheel; unless the homing failed (result below 0), reads its
// filter back into CurFilter, with `read` the reading's result (0 when not
// read). The result of HomeWheel.
int16_t HomeAndReadBack(int16_t wheel, int16_t& read);

// The next (forward) or previous filter; CurFilter follows.
int16_t StepFilter(int16_t wheel, bool forward);

// Waits for the wheel's move to end.
int16_t WaitForWheel(int16_t wheel);

}  // namespace nvx
