// "F n" end to end against the simulated controllers.
//
// BM_FilterMovePaced: the simulator answers at 9600 baud (10 bits a
// character); the counter wire_ratio is the measured time of one "F n"
// divided by the time its characters, both ways, need on such a line.
// BM_ExchangesUnpaced: position reads per second against the unpaced
// simulator.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include <unistd.h>

#include "base/settings.h"
#include "comm/comm.h"
#include "comm/serial_port.h"
#include "controllers/motcon.h"
#include "core/app.h"
#include "core/commands.h"
#include "sim/sim.h"
#include "wheels/wheels.h"

namespace {

// Counts the bytes that cross the line in both directions.
class CountingPort : public nvx::SerialPort {
 public:
  static inline long long written = 0, read = 0;
  bool Open(const std::string& path) override { return port_.Open(path); }
  bool Close() override { return port_.Close(); }
  bool IsOpen() const override { return port_.IsOpen(); }
  int BytesWaiting() override { return port_.BytesWaiting(); }
  bool ReadWaiting(std::string& out) override {
    const size_t before = out.size();
    const bool ok = port_.ReadWaiting(out);
    read += static_cast<long long>(out.size() - before);
    return ok;
  }
  bool Write(std::string_view data, int timeout_ms) override {
    written += static_cast<long long>(data.size());
    return port_.Write(data, timeout_ms);
  }
  Wait WaitReadable(int timeout_ms) override { return port_.WaitReadable(timeout_ms); }
  int ErrorCode() const override { return port_.ErrorCode(); }
  std::string ErrorText() const override { return port_.ErrorText(); }
  std::vector<int16_t> TakeEvents() override { return port_.TakeEvents(); }

 private:
  nvx::PosixSerialPort port_;
};

struct Line {
  std::filesystem::path dir;
  std::unique_ptr<nvx::sim::ControllerSim> sim;

  Line(nvx::sim::ControllerKind kind, bool paced) {
    dir = std::filesystem::temp_directory_path() / ("nvx-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const auto& e : std::filesystem::directory_iterator(NVX_DATA_DIR)) {
      std::filesystem::copy_file(e.path(), dir / e.path().filename(),
                                 std::filesystem::copy_options::overwrite_existing);
    }
    nvx::sim::SimOptions opt;
    opt.paced = paced;
    opt.fixed_steps_per_s = 1e9;  // moves end at once: only the line is measured
    sim = std::make_unique<nvx::sim::ControllerSim>(
        kind, nvx::sim::UnitsFromParamFiles(dir.string()), opt);
    sim->Start();
    // The first entry of a key wins: put ours in front.
    std::ifstream in(dir / "ZR_CONFIG.TXT");
    const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir / "ZR_CONFIG.TXT", std::ios::trunc)
        << "\"PORTDEVICE\"," << sim->SlavePath() << "\r\n"
        << "\"CONTRTYPE\"," << nvx::sim::ControllerKindName(kind) << "\r\n"
        << old;
    nvx::SetSerialPortFactory([] { return std::make_unique<CountingPort>(); });
    nvx::InitApp(dir.string());
  }
  ~Line() {
    nvx::ClosePortAndLink();
    nvx::SetSerialPortFactory(nullptr);
    sim->Stop();
    std::filesystem::remove_all(dir);
  }
};

void BM_FilterMovePaced(benchmark::State& state) {
  const auto kind = static_cast<nvx::sim::ControllerKind>(state.range(0));
  Line line(kind, true);
  nvx::ExecCmdLine("F 1;F Wait");
  CountingPort::written = CountingPort::read = 0;
  int f = 2;
  long long moves = 0;
  for (auto _ : state) {
    const std::string reply = nvx::ExecCmd("F " + std::to_string(f));
    if (reply != "OK ") state.SkipWithError(("F n answered " + reply).c_str());
    f = f == 2 ? 3 : 2;
    ++moves;
  }
  const double chars = static_cast<double>(CountingPort::written + CountingPort::read);
  const double wireSeconds = chars * 10.0 / 9600.0;
  // The simulator paces only its replies; the program's requests reach it at
  // once over the pseudo-terminal. reply_ratio compares with the paced part.
  const double replySeconds = static_cast<double>(CountingPort::read) * 10.0 / 9600.0;
  state.counters["reply_ratio"] =
      benchmark::Counter(replySeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["chars_per_move"] = chars / static_cast<double>(moves);
  state.counters["wire_ms_per_move"] = 1000.0 * wireSeconds / static_cast<double>(moves);
  // Elapsed time of the loop is what benchmark reports per iteration; the
  // ratio uses the same measure.
  state.counters["wire_ratio"] =
      benchmark::Counter(wireSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(nvx::sim::ControllerKindName(kind));
}
BENCHMARK(BM_FilterMovePaced)
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

void BM_ExchangesUnpaced(benchmark::State& state) {
  const auto kind = static_cast<nvx::sim::ControllerKind>(state.range(0));
  Line line(kind, false);
  nvx::SelectWheel(1);
  for (auto _ : state) {
    int16_t k = 0;
    if (nvx::GetFilter(k) != 1) state.SkipWithError("position read failed");
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(nvx::sim::ControllerKindName(kind));
}
BENCHMARK(BM_ExchangesUnpaced)
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
