#include "core/speed_test.h"

#include <algorithm>
#include <limits>

#include "base/numbers.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "core/main_model.h"
#include "wheels/wheels.h"

namespace nvx {

const char* const kSpeedTestTitle = "Filter move test";
const char* const kSpeedTestStepPrompt =
    "Enter number of positions to switch (1 is switch to adjacent):";
const char* const kSpeedTestRepPrompt = "Enter number of repetitions:";
const char* const kSpeedTestBadInput = "Error in input - not a number";

std::optional<int16_t> SpeedTestInput(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return TextToInt16(*text);
}

std::string SpeedTestResultText(int16_t repetitions, uint32_t elapsedMs) {
  return FormatInt(repetitions) + " repetitions -" + FormatInt(elapsedMs) + " msec";
}

int16_t SpeedTestTarget(int16_t p, int16_t n, int16_t count) {
  int32_t q = static_cast<int32_t>(p) + n;
  if (q > count) q -= count;
  q = std::clamp<int32_t>(q, std::numeric_limits<int16_t>::min(),
                          std::numeric_limits<int16_t>::max());
  return static_cast<int16_t>(q);
}

std::string SpeedTestProgressText(int32_t k, int16_t repetitions) {
  return "Speed test: repetition " + FormatInt(k) + " of " + FormatInt(repetitions);
}

SpeedTestOps DefaultSpeedTestOps() {
  SpeedTestOps ops;
  ops.selectWheel = [](int16_t n) { return SelectWheel(n); };
  ops.getFilter = [](int16_t& k) { return GetFilter(k); };
  ops.goToFilter = [](int16_t n) { return GoToFilter(n); };
  ops.waitWheel = [] { return WaitWheel(); };
  ops.nextFilter = [] { return DevNextFilter(); };
  ops.timeMs = [] { return TimeMs(); };
  ops.progress = [](int32_t k, int16_t r) { MainWin().ShowMsg(SpeedTestProgressText(k, r)); };
  return ops;
}

uint32_t RunSpeedTestMoves(int16_t wheel, int16_t n, int16_t r, const SpeedTestOps& ops) {
  // The wheel is selected again after every wait: a command run nested
  // inside the wait may select the other wheel, and the next repetition (and
  // the wheel left selected at the end) must still be this one.
  const int16_t count = ops.selectWheel(wheel);
  const uint32_t start = ops.timeMs();
  const bool showProgress = r > 1 && ops.progress;
  if (n == 1) {
    for (int32_t k = 1; k <= r; ++k) {
      if (showProgress) ops.progress(k, r);
      ops.nextFilter();
      ops.waitWheel();
      ops.selectWheel(wheel);
    }
  } else if (n >= 2) {
    int16_t p = 0;
    for (int32_t k = 1; k <= r; ++k) {
      if (showProgress) ops.progress(k, r);
      int16_t reading = p;
      if (ops.getFilter(reading) > 0) p = reading;
      p = SpeedTestTarget(p, n, count);
      ops.goToFilter(p);
      ops.waitWheel();
      ops.selectWheel(wheel);
    }
  }
  return ops.timeMs() - start;
}

int16_t RunSpeedTest(int16_t wheel, const SpeedTestOps& ops) {
  Ui& ui = GetUi();
  const auto n = SpeedTestInput(ui.InputBox(kSpeedTestStepPrompt, kSpeedTestTitle, ""));
  if (!n) {
    MainWin().ShowMsg(kSpeedTestBadInput);
    return -1;
  }
  const auto r = SpeedTestInput(ui.InputBox(kSpeedTestRepPrompt, kSpeedTestTitle, ""));
  if (!r) {
    MainWin().ShowMsg(kSpeedTestBadInput);
    return -1;
  }
  uint32_t elapsed = 0;
  {
    MainModel::BusyScope busy(MainWin());
    elapsed = RunSpeedTestMoves(wheel, *n, *r, ops);
  }
  MainWin().WheelCaption(wheel);
  MainWin().ShowMsg(SpeedTestResultText(*r, elapsed));
  return 1;
}

}  // namespace nvx
