// norvantix-sim: the simulated controllers on a pseudo-terminal.
//
//   norvantix-sim [--type IM483I|EZHR17] [--dir DIR] [--paced]
//
// Prints the pseudo-terminal's path as its first line, then serves until
// SIGTERM or SIGINT and ends with 0. The units come from DIR/ZR_PARW1.TXT and
// DIR/ZR_PARW2.TXT, the type (unless given) from CONTRTYPE of
// DIR/ZR_CONFIG.TXT; DIR is the program's own directory unless given.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sim/sim.h"

namespace {

std::string ExeDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

int Usage() {
  std::fprintf(stderr, "usage: norvantix-sim [--type IM483I|EZHR17] [--dir DIR] [--paced]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  std::string type;
  bool paced = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--type") == 0 && i + 1 < argc) {
      type = argv[++i];
    } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strcmp(argv[i], "--paced") == 0) {
      paced = true;
    } else {
      return Usage();
    }
  }
  if (dir.empty()) dir = ExeDir();

  std::optional<nvx::sim::ControllerKind> kind =
      type.empty() ? nvx::sim::KindFromConfig(dir) : nvx::sim::ParseControllerKind(type);
  if (!kind) {
    std::fprintf(stderr, "norvantix-sim: unknown controller type\n");
    return 2;
  }
  std::vector<nvx::sim::UnitConfig> units = nvx::sim::UnitsFromParamFiles(dir);
  if (units.empty()) {
    std::fprintf(stderr, "norvantix-sim: no wheel parameter file with a controller address in %s\n",
                 dir.c_str());
  }

  // Block the ending signals before the serving thread starts, so that only
  // sigwait below receives them.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  nvx::sim::SimOptions options;
  options.paced = paced;
  nvx::sim::ControllerSim sim(*kind, units, options);
  if (sim.Start() < 0) {
    std::fprintf(stderr, "norvantix-sim: cannot open a pseudo-terminal\n");
    return 1;
  }
  std::printf("%s\n", sim.SlavePath().c_str());
  std::fflush(stdout);

  int sig = 0;
  while (sigwait(&set, &sig) != 0) {}
  sim.Stop();
  return 0;
}
