// norvantix: the filter wheel program.
//
//   norvantix [--dir DIR] [--simulate] [--joystick PATH]     the main window
//   norvantix --automation [...]                             start hidden for D-Bus clients
//   norvantix --exec LINE [--dir DIR] [--simulate]           run one command line headless
//   norvantix --run FILE [--dir DIR] [--simulate]            run a program headless
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/ui.h"
#include "base/words.h"
#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/main_model.h"
#include "core/options.h"
#include "core/program_dir.h"
#include "core/simulate.h"
#include "core/tick.h"
#include "interp/interp.h"
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
  // Every byte of the replies on one line: control bytes (a NUL or a line
  // break in a controller's reply) escaped as the trace shows them.
  const std::string out = nvx::EscapeControlBytes(joined) + "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  if (nvx::CommIsLoaded() == 1) nvx::ClosePortAndLink();
  for (const auto& r : replies) {
    if (nvx::ReplyCountsAsFailed(r)) return 1;
  }
  return 0;
}

volatile sig_atomic_t g_stopRequested = 0;

void RequestStop(int) { g_stopRequested = 1; }

// --run: the program read as the interpreter window reads it, then run from
// its first line by the tick until the run state is 0. Each line run goes to
// standard output with its reply, then the interpreter's last status;
// interpreter messages go to standard error. SIGINT and SIGTERM stop the run
// after the current line.
int RunProgramHeadless(const nvx::AppOptions& opt, const std::string& dir) {
  if (!nvx::AcquireSingleInstance(nvx::DefaultLockPath())) {
    nvx::MsgBox(nvx::kAlreadyRunningText, nvx::kAlreadyRunningTitle, nvx::MsgIcon::Critical);
    return 3;
  }
  struct sigaction sa {};
  sa.sa_handler = RequestStop;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);

  nvx::SetInterpMessageSink([](const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  });
  nvx::InitApp(dir);
  auto end = [](int code) {
    if (nvx::CommIsLoaded() == 1) nvx::ClosePortAndLink();
    return code;
  };
  const std::string read = nvx::ReadProgramFile(opt.runFile);
  if (read != "Program read") {
    std::fprintf(stderr, "%s: %s\n", read.c_str(), opt.runFile.c_str());
    return end(1);
  }
  nvx::TickHooks hooks;
  hooks.lineRun = [](const std::string& line, const std::string& reply) {
    std::printf("%s -> %s\n", line.c_str(), reply.c_str());
    std::fflush(stdout);
  };
  nvx::SetTickHooks(hooks);
  nvx::StartOver();
  nvx::StartRun();
  while (nvx::RunState() != 0) {
    // The tick runs only while the main window is loaded ("Unload" ends it).
    if (g_stopRequested || !nvx::MainWin().IsLoaded()) {
      nvx::StopRun();
      break;
    }
    nvx::PeriodicTick();
  }
  std::printf("%s\n", nvx::RunStatus().c_str());
  std::fflush(stdout);
  return end(nvx::RunStatus() == "PROGRAM FINISHED" ? 0 : 1);
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
  if (!opt.runFile.empty()) return RunProgramHeadless(opt, dir);
#ifdef NVX_HAVE_QT
  return nvx::RunGui(argc, argv, dir, opt.automation);
#else
  std::fprintf(stderr, "norvantix: built without windows; use --exec LINE\n");
  return 2;
#endif
}
