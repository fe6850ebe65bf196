// Programs from any bytes, read as a program file is read and run by the
// periodic tick on a headless set-up without a port, for at most a bounded
// number of ticks (a program may repeat for a very long time).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/main_model.h"
#include "core/tick.h"
#include "fuzz_support.h"
#include "interp/interp.h"
#include "params/trapar.h"

using namespace nvx;

namespace {
constexpr int kMaxTicks = 400;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InstallQuietHost();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  bool tooMany = false;
  std::vector<std::string> lines = ParseTextFields(bytes, tooMany);
  if (tooMany || lines.empty()) return 0;
  fuzz::HeadlessSession session((data[0] & 1) ? ControllerKind::Ezhr17 : ControllerKind::Im483i);
  // ReadProgramFile's steps after the file's bytes are in.
  CheckProgram(lines);
  SetProgram(std::move(lines));
  EditAllowed() = 1;
  StartOver();
  StartRun();
  for (int i = 0; i < kMaxTicks && RunState() != 0 && MainWin().IsLoaded(); ++i) PeriodicTick();
  if (RunState() != 0) StopRun();
  return 0;
}
