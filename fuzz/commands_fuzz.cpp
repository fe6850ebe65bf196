// The command language from any bytes: one command line run on a headless
// set-up without a port (every exchange fails; waits and time-outs pass on
// a fake clock), both wheels online; the first byte's lowest bit picks the
// controller type.
#include <cstdint>
#include <string>
#include <vector>

#include "core/commands.h"
#include "fuzz_support.h"

using namespace nvx;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InstallQuietHost();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::HeadlessSession session((data[0] & 1) ? ControllerKind::Ezhr17 : ControllerKind::Im483i);
  const std::string line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> replies;
  ExecCmdLine(line, &replies);
  return 0;
}
