// The arithmetic of a filter wheel, free of any state or controller: where a
// filter lies, which filter stands at a position, the shortest move between
// the two, the next and previous filter numbers, and the joystick latch.
//
// A wheel of N filters spreads them evenly over one revolution; filter k lies
// at (k - 1) * stepsPerFilter plus whole revolutions.
#pragma once

#include <cstdint>
#include <optional>

namespace nvx {

// Whole steps of one revolution: N * stepsPerFilter, nearest integer (halves
// to even). nullopt for N <= 0, a step count that is not a positive finite
// number, or a revolution that does not come out positive.
std::optional<int64_t> StepsPerRevolution(int16_t n, double stepsPerFilter);

// The step position of filter `filter` within the revolution, before any
// wrap: (filter - 1) * stepsPerFilter to the nearest integer, a fraction of
// exactly one half going down (12.5 -> 12, 37.5 -> 37, -0.5 -> -1).
int64_t FilterTargetSteps(int32_t filter, double stepsPerFilter);

// The signed relative move from `position` (steps, relative to filter 1) to
// filter `filter` by the shorter way round. The position is first rounded to
// a 32-bit integer (halves to even); both ends are then taken modulo one
// revolution, so the move is never longer than half a revolution, and an
// exact half revolution goes the negative way. A filter number outside 1..N
// is not refused: it stands for the filter with the same number modulo N.
// nullopt when the wheel geometry is unusable (see StepsPerRevolution) or the
// position does not fit 32 bits.
std::optional<int64_t> ShortestMove(double position, int32_t filter, int16_t n,
                                    double stepsPerFilter);

// The filter (1..N) nearest to `position` (steps, relative to filter 1); a
// position exactly half-way between two filters gives the lower one. nullopt
// for an unusable geometry or a position that is not finite.
std::optional<int16_t> FilterAtPosition(double position, int16_t n, double stepsPerFilter);

// A stored filter number as the filter it stands for: 0..N unchanged (0 is
// the undetermined filter), any other number taken modulo N into 1..N (a
// move to filter 7 of six ends at filter 1, and is recorded as 7).
int32_t NormalFilterNumber(int32_t current, int16_t n);

// The filter after `current` on a wheel of N: current + 1, or 1 past N (so
// the undetermined filter 0 goes to 1). A number outside 0..N counts as the
// filter it stands for.
int32_t NextFilterNumber(int32_t current, int16_t n);
// The filter before `current`: current - 1 while current is above 1, else N
// (so both 1 and the undetermined filter 0 go to N). A number outside 0..N
// counts as the filter it stands for.
int32_t PrevFilterNumber(int32_t current, int16_t n);

// One joystick reading against the step latch. A deflection strictly beyond
// 0.8 of full scale steps once (backward when negative, forward when
// positive) if the latch is open, and closes it; a deflection strictly inside
// 0.2 of full scale opens it again. Comparisons in double precision.
struct JoyStep {
  int step = 0;          // -1 previous filter, +1 next filter, 0 none
  bool latched = false;  // the latch after this reading
};
JoyStep JoyStepDecide(double deflection, double fullScale, bool latched);

}  // namespace nvx
