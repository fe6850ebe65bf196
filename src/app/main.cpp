// norvantix: the filter wheel program.
//
//   norvantix [--dir DIR] [--simulate] [--joystick PATH]     the main window
//   norvantix --automation [...]                             start hidden for D-Bus clients
//   norvantix --exec LINE [--dir DIR] [--simulate]           run one command line headless
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/options.h"
#include "base/ui.h"
#include "base/words.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/program_dir.h"
#include "core/simulate.h"
#include "comm/comm.h"
#include "joystick/joystick.h"

#ifdef NVX_HAVE_QT
#include "app/gui_main.h"
#endif

namespace {

int RunHeadless(const nvx::AppOptions& opt, const std::string& dir) {
  if (!nvx::AcquireSingleInstance(nvx::DefaultLockPath())) {
    nvx::MsgBox(nvx::kAlreadyRunningText, nvx::kAlreadyRunningTitle, nvx::MsgIcon::Critical);
    return 3;
  }
  nvx::InitApp(dir);
  std::vector<std::string> replies;
  const std::string joined = nvx::ExecCmdLine(opt.execLine, &replies);
  std::printf("%s\n", joined.c_str());
  std::fflush(stdout);
  if (nvx::CommIsLoaded() == 1) nvx::ClosePortAndLink();
  for (const auto& r : replies) {
    if (nvx::ReplyCountsAsFailed(r)) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  nvx::AppOptions opt;
  std::string error;
  if (!nvx::ParseOptions(argc, argv, opt, error)) {
    std::fprintf(stderr, "norvantix: %s\n%s", error.c_str(), nvx::kUsage);
    return 2;
  }
  if (opt.help) {
    std::fputs(nvx::kUsage, stdout);
    return 0;
  }
  // --dir, else the folder the program stands in beside its data files, else
  // (installed) the user's own program directory, filled on the first start.
  const std::string dir = nvx::PrepareProgramDir(opt.dir, error);
  if (!error.empty()) std::fprintf(stderr, "norvantix: %s\n", error.c_str());
  error.clear();
  if (!opt.joystick.empty()) nvx::SetJoystickDevice(opt.joystick);

  // The simulator lives as long as the program and serves on its own thread.
  std::unique_ptr<nvx::SimulatedLine> sim;
  if (opt.simulate) {
    sim = nvx::StartSimulatedLine(dir, error);
    if (!sim) {
      std::fprintf(stderr, "norvantix: %s\n", error.c_str());
      return 2;
    }
  }

  if (opt.exec) return RunHeadless(opt, dir);
#ifdef NVX_HAVE_QT
  return nvx::RunGui(argc, argv, dir, opt.automation);
#else
  std::fprintf(stderr, "norvantix: built without windows; use --exec LINE\n");
  return 2;
#endif
}
