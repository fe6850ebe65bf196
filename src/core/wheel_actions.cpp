#include "core/wheel_actions.h"

#include "wheels/wheels.h"

namespace nvx {

int16_t ReadBackFilter(int16_t wheel) {
  // Selected again here: a nested command may have selected the other wheel
  // while this one waited.
  SelectWheel(wheel);
  int16_t k = CurFilter(wheel);
  const int16_t r = GetFilter(k);
  if (r == 1) CurFilter(wheel) = k;
  return r;
}

int16_t GoToFilterAndRecord(int16_t wheel, int16_t f, bool recordAlways) {
  SelectWheel(wheel);
  const int16_t r = GoToFilter(f);
  if (r > 0 || recordAlways) CurFilter(wheel) = f;
  return r;
}

int16_t HomeAndReadBack(int16_t wheel, int16_t& read) {
  SelectWheel(wheel);
  const int16_t r = HomeWheel();
  read = r < 0 ? 0 : ReadBackFilter(wheel);
  return r;
}

int16_t StepFilter(int16_t wheel, bool forward) {
  SelectWheel(wheel);
  return forward ? DevNextFilter() : DevPrevFilter();
}

int16_t WaitForWheel(int16_t wheel) {
  SelectWheel(wheel);
  return WaitWheel();
}

}  // namespace nvx
