// The wheel speed test: asks for a step size and a repetition count, moves
// one wheel that many times, waiting for each move, and reports the time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace nvx {

extern const char* const kSpeedTestTitle;       // "Filter move test"
extern const char* const kSpeedTestStepPrompt;  // step size n
extern const char* const kSpeedTestRepPrompt;   // repetitions r
extern const char* const kSpeedTestBadInput;    // "Error in input - not a number"

// An input box's text as a 16-bit count: nullopt for a cancelled box, text
// that is not a number, and a number outside the 16-bit range once rounded
// (halves to even).
std::optional<int16_t> SpeedTestInput(const std::optional<std::string>& text);

// r, " repetitions -", elapsed, " msec" ("10 repetitions -4523 msec").
std::string SpeedTestResultText(int16_t repetitions, uint32_t elapsedMs);

// The next target of a step of n filters from p on a wheel of `count`
// filters: p + n, less count once when above count. Kept within the 16-bit
// range (a target that far out is refused by GoToFilter either way).
int16_t SpeedTestTarget(int16_t p, int16_t n, int16_t count);

// Progress text shown while a test of several repetitions runs.
std::string SpeedTestProgressText(int32_t k, int16_t repetitions);

// The wheel operations the test uses; the defaults are the real ones.
struct SpeedTestOps {
  std::function<int16_t(int16_t)> selectWheel;
  std::function<int16_t(int16_t&)> getFilter;
  std::function<int16_t(int16_t)> goToFilter;
  std::function<int16_t()> waitWheel;
  std::function<int16_t()> nextFilter;
  std::function<uint32_t()> timeMs;
  // Called before repetition k (1-based) of r when r > 1; shows nothing
  // on the line and changes nothing that is sent.
  std::function<void(int32_t k, int16_t r)> progress;
};
SpeedTestOps DefaultSpeedTestOps();

// The moves alone (no input boxes, no message): for n = 1, r times the next
// filter and a wait; for n >= 2, r times a reading, p := target, a move to p
// and a wait; for n <= 0 or r <= 0 nothing. The wheel is selected again
// after every wait, so it stays the one moved and selected whatever ran
// nested in the wait. Returns the elapsed ms.
uint32_t RunSpeedTestMoves(int16_t wheel, int16_t n, int16_t r, const SpeedTestOps& ops);

// The whole menu entry for wheel 1 or 2: both input boxes through GetUi(),
// the moves, the panel refresh (FiltCaption of the wheel), and the message
// line. 1 when the test ran, -1 on bad input.
int16_t RunSpeedTest(int16_t wheel, const SpeedTestOps& ops = DefaultSpeedTestOps());

}  // namespace nvx
