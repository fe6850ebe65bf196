// The wheel model and its operations.
//
// Every operation works on the wheel that was selected when it began: it
// takes SelWheel once at entry and passes that wheel down. The waits inside
// (MotorWaitStop) let window events run, and a nested command may select the
// other wheel meanwhile; the waiting operation still finishes on its own
// wheel, and it selects its controller again after every wait so its later
// requests go to its own address.
#include "wheels/wheels.h"

#include <string>

#include "base/numbers.h"
#include "base/settings.h"
#include "controllers/motcon.h"
#include "wheels/wheelmath.h"

namespace nvx {

namespace {

struct WheelState {
  WheelParRec par[3];
  int16_t curFilter[3] = {0, 0, 0};
  int16_t online[3] = {0, 0, 0};
  int16_t selWheel = 1;
  int16_t joyWheel = 0;
  int16_t joyStepLatch = 0;
};

WheelState g;
WheelObserver g_noObserver;
WheelObserver* g_observer = &g_noObserver;

bool ValidWheel(int n) { return n == 1 || n == 2; }

// Index 0 is a scratch record that no operation reads: asking for a wheel
// that does not exist never reaches outside the arrays.
int Slot(int n) { return ValidWheel(n) ? n : 0; }

bool IsIM483I() { return AppSettings().Controller == ControllerKind::Im483i; }
bool IsEZHR17() { return AppSettings().Controller == ControllerKind::Ezhr17; }

void SelectController(int16_t w) { MotorSelect(g.par[w].address); }

int16_t WaitWheelOn(int16_t w) {
  SelectController(w);
  return MotorWaitStop();
}

// The position relative to filter 1: an EZHR17 keeps its own origin, so the
// position found at homing is taken off.
double RelativePosition(int16_t w, double p) { return IsEZHR17() ? p - g.par[w].HomeRef : p; }

int16_t GoToFilterOn(int16_t w, int32_t n) {
  if (!IsIM483I() && !IsEZHR17()) return 0;
  SelectController(w);
  if (MotorWaitStop() < 0) return -1;
  SelectController(w);
  double p = 0;
  if (MotorGetPos(p) < 0) return -1;
  const WheelParRec& par = g.par[w];
  const auto move = ShortestMove(RelativePosition(w, p), n, par.filterCount, par.StepsPerFilter);
  if (!move) return -1;
  const int16_t r = MotorMoveRel(static_cast<double>(*move));
  // A number outside 1..N stands for the filter with the same number
  // modulo N, and that is where the wheel goes.
  const int32_t count = par.filterCount;
  g_observer->MoveCommanded(w, static_cast<int16_t>(((n - 1) % count + count) % count + 1));
  return r;
}

int16_t GetFilterOn(int16_t w, int16_t& k) {
  SelectController(w);
  if (!IsIM483I() && !IsEZHR17()) return 0;
  double p = 0;
  if (MotorGetPos(p) < 0) return -1;
  const WheelParRec& par = g.par[w];
  const auto f = FilterAtPosition(RelativePosition(w, p), par.filterCount, par.StepsPerFilter);
  if (!f) return -1;
  k = *f;
  g_observer->FilterRead(w, k);
  return 1;
}

int16_t StepFilterOn(int16_t w, bool forward) {
  if (!ValidWheel(w) || g.online[w] == 0) return 0;
  const int16_t n = g.par[w].filterCount;
  const int32_t b =
      forward ? NextFilterNumber(g.curFilter[w], n) : PrevFilterNumber(g.curFilter[w], n);
  const int16_t r = GoToFilterOn(w, b);
  // b is 1..N (or, without a usable count, one more or less than a stored
  // 16-bit number and then folded to 1 or N), so it always fits.
  g.curFilter[w] = static_cast<int16_t>(b);
  return r;
}

int16_t HomeIM483I(int16_t w) {
  const WheelParRec& par = g.par[w];
  SelectController(w);
  int16_t f = -1;
  if (MotorHome(par.homeSpeed, par.initVel) >= 0) {
    f = 1;
    if (par.homeOffset != 0) {
      SelectController(w);
      if (MotorMoveRel(par.homeOffset) < 0) {
        f = -1;
      } else if (MotorWaitStop() < 0) {
        f = -1;
      }
    }
  }
  SelectController(w);
  const int16_t settle = MotorSettle(500);
  int32_t origin = 0;
  const int16_t setPos = MotorSetPos(origin);
  if (settle < 0 || setPos < 0) return -1;
  return f;
}

// Every step runs even after a failure. The position that becomes HomeRef is
// read only after the offset move has ended, so HomeRef is where filter 1
// really stands rather than wherever the wheel was while still turning.
int16_t HomeEZHR17(int16_t w) {
  bool failed = false;
  auto track = [&failed](int16_t r) {
    if (r < 0) failed = true;
  };
  SelectController(w);
  int32_t origin = 0;
  track(MotorSetPos(origin));
  SelectController(w);
  track(MotorSeekLimit());
  SelectController(w);
  track(MotorMoveRel(g.par[w].homeOffset));
  track(MotorWaitStop());
  SelectController(w);
  double ref = 0;
  track(MotorGetPos(ref));
  const WheelParRec& par = g.par[w];
  track(MotorSetSlewVel(par.slewVel));
  track(MotorSetInitVel(par.initVel));
  track(MotorSetAccel(par.accel, par.decel));
  g.par[w].HomeRef = ref;
  return failed ? -1 : 1;
}

}  // namespace

WheelParRec& WheelPar(int n) { return g.par[Slot(n)]; }
int16_t& CurFilter(int n) { return g.curFilter[Slot(n)]; }
int16_t& WheelOnline(int n) { return g.online[Slot(n)]; }

int16_t SelectWheel(int16_t n) {
  if (!ValidWheel(n)) return 0;
  g.selWheel = n;
  return g.par[n].filterCount;
}

int16_t GetSelWheel() { return g.selWheel; }
void SetJoyWheel(int16_t n) { g.joyWheel = n; }
int16_t GetJoyWheel() { return g.joyWheel; }
int16_t GetJoyStepLatch() { return g.joyStepLatch; }

int16_t ConfigWheel(int16_t n) {
  if (!ValidWheel(n)) return -1;
  const WheelParRec& par = g.par[n];
  const auto filterSteps = ToInt16(par.StepsPerFilter);
  if (!filterSteps) return -1;
  SelectController(n);
  if (MotorSetResolution(par.resExponent) < 0) return -1;
  if (MotorSetCurrents(par.holdCurrent, par.runCurrent) < 0) return -1;
  if (MotorSetSlewVel(par.slewVel) < 0) return -1;
  if (MotorSetInitVel(par.initVel) < 0) return -1;
  if (MotorSetAccel(par.accel, par.decel) < 0) return -1;
  if (MotorSetAuxPair(par.auxA, par.auxB) < 0) return -1;
  if (MotorSetAuxFlag(0) < 0) return -1;
  if (MotorSetModeBit1(0) < 0) return -1;
  if (MotorSetModeSel(1) < 0) return -1;
  if (MotorSetFilterSteps(*filterSteps) < 0) return -1;
  return 1;
}

int16_t InitWheel(int16_t n) {
  if (!ValidWheel(n)) return -1;
  if (ReadWheelPar(n) == -1) return -1;
  if (ConfigWheel(n) == -1) return -1;
  SelectWheel(n);
  int16_t scratch = 0;
  return GetFilterOn(n, scratch) == 1 ? 1 : -1;
}

int16_t InitDevices() {
  MotorSetMoveTimeout(AppSettings().MoveTimeout);
  int16_t result = 1;
  for (int16_t n = 1; n <= 2; ++n) {
    if (AppSettings().WheelInstalled[n] != 1) {
      g.online[n] = 0;
    } else if (InitWheel(n) < 1) {
      g.online[n] = 0;
      result = -1;
    } else {
      g.online[n] = 1;
    }
  }
  if (g.online[1] == 1) {
    g.joyWheel = 1;
  } else if (g.online[2] == 1) {
    g.joyWheel = 2;
  }
  return result;
}

int16_t HomeWheel() {
  const int16_t w = g.selWheel;
  if (!ValidWheel(w)) return -1;
  int16_t r = 0;
  if (IsIM483I()) r = HomeIM483I(w);
  else if (IsEZHR17()) r = HomeEZHR17(w);
  else return 0;
  g_observer->Homed(w, r);
  return r;
}

int16_t WaitWheel() {
  const int16_t w = g.selWheel;
  if (!ValidWheel(w)) return -1;
  return WaitWheelOn(w);
}

int16_t GoToFilter(int16_t n) {
  const int16_t w = g.selWheel;
  if (!ValidWheel(w)) return -1;
  return GoToFilterOn(w, n);
}

int16_t GetFilter(int16_t& k) {
  const int16_t w = g.selWheel;
  if (!ValidWheel(w)) return -1;
  return GetFilterOn(w, k);
}

int16_t DevNextFilter() { return StepFilterOn(g.selWheel, true); }
int16_t DevPrevFilter() { return StepFilterOn(g.selWheel, false); }

int16_t JoyStepWheel(int16_t a, int16_t full) {
  const int16_t w = g.joyWheel;
  if (!ValidWheel(w) || g.online[w] == 0) return 1;
  const JoyStep d = JoyStepDecide(a, full, g.joyStepLatch != 0);
  // The latch closes before the step starts, so a joystick reading handled
  // inside the step's wait cannot step a second time.
  g.joyStepLatch = d.latched ? 1 : 0;
  if (d.step == 0) return 1;
  SelectWheel(w);
  WaitWheelOn(w);
  const int16_t r = StepFilterOn(w, d.step > 0);
  g_observer->JoyStepped(w);
  return r;
}

void SetWheelObserver(WheelObserver* observer) { g_observer = observer ? observer : &g_noObserver; }

void ResetWheels() { g = WheelState{}; }

}  // namespace nvx
