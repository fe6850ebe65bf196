// Programs driven by the tick, and what the tick costs while idle.
//
// BM_ProgramLines: lines per second of a program of "Ver" lines (instant
// commands) run by PeriodicTick as fast as it can be called.
// BM_IdleTick: one PeriodicTick with no program running and the joystick off.
// BM_IdleWindowCpuShare: the window program (offscreen, its 50 ms tick
// running, nothing else to do) as a process; the counter cpu_share_pct is
// the CPU time it used over 10 s of wall time, in percent of one core.
// Arg 1 runs it with --simulate (the simulator's thread counts too).
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/app.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "interp/interp.h"

namespace {

void BM_ProgramLines(benchmark::State& state) {
  nvx::ResetProgramState();
  nvx::MainWin().Load();
  const auto n = static_cast<size_t>(state.range(0));
  nvx::SetProgram(std::vector<std::string>(n, "Ver"));
  int64_t lines = 0;
  for (auto _ : state) {
    nvx::StartOver();
    nvx::StartRun();
    while (nvx::RunState() != 0) nvx::PeriodicTick();
    lines += static_cast<int64_t>(n);
  }
  if (nvx::RunStatus() != "PROGRAM FINISHED") state.SkipWithError(nvx::RunStatus().c_str());
  state.SetItemsProcessed(lines);
  nvx::ResetProgramState();
}
BENCHMARK(BM_ProgramLines)->Arg(1000)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_IdleTick(benchmark::State& state) {
  nvx::ResetProgramState();
  nvx::MainWin().Load();
  for (auto _ : state) nvx::PeriodicTick();
  nvx::ResetProgramState();
}
BENCHMARK(BM_IdleTick);

// utime + stime of a process, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Fields after the command name in parentheses: state is field 3, utime 14.
  std::istringstream rest(stat.substr(stat.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i)
    if (i >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

void BM_IdleWindowCpuShare(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("nvx-idle-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::permissions(dir, fs::perms::owner_all);
  for (const auto& e : fs::directory_iterator(NVX_DATA_DIR))
    fs::copy_file(e.path(), dir / e.path().filename(), fs::copy_options::overwrite_existing);
  std::vector<std::string> args{NVX_PROGRAM, "--dir", dir.string()};
  if (state.range(0) == 1) args.emplace_back("--simulate");
  std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + dir.string(),
                               "HOME=" + dir.string()};
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  for (auto _ : state) {
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
      state.SkipWithError("cannot start the program");
      break;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));  // start-up
    const double c0 = CpuSeconds(pid);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double c1 = CpuSeconds(pid);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - t0;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    state.counters["cpu_share_pct"] = 100.0 * (c1 - c0) / wall.count();
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_IdleWindowCpuShare)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
