// The simulated front end's stream: virtual-time generation throughput, and
// the CPU share of real-time streaming at the front end's maximum aggregate
// rate of 500 000 samples per second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "sim/front_end.h"

namespace {

// 64 channels, one block, sines and noise: the heaviest models per sample.
void Program(const char* timebase, double rate, uint32_t scansPerTransfer) {
    std::string cfg = std::string("timebase ") + timebase + "\nsignal 0-31 sine 4000 50 10\nsignal 32-63 noise 300\n";
    std::string error;
    if (!sim::ConfigureText(cfg.data(), cfg.size(), error)) abort();
    const int n = 64;
    std::string k1 = "K1 0";
    for (int p = 0; p < n; ++p) k1 += "," + std::to_string(p) + ".0";
    uint32_t words = (n + 8) * scansPerTransfer;
    char k0[96];
    snprintf(k0, sizeof k0, "K0 %d,1,0,%u,%.6f", n, words, rate);
    int16_t flag, status;
    for (const std::string& cmd : {std::string(k0), k1, std::string("K2"), std::string("M0 1,1")}) {
        sim::Send(0, 29, cmd.data(), static_cast<int32_t>(cmd.size()), 1);
        sim::WaitSRQ(0, &flag);
        sim::ReadStatusByte(0, 29, &status);
        if (status != 0x40) abort();
    }
    sim::Send(0, 29, "U", 1, 1);
}

void BM_VirtualTimeGeneration(benchmark::State& state) {
    Program("virtual", 2000.0, 895);  // 64480 words per transfer
    int32_t ud = sim::Dev(0, 29, 0, 13, 1, 1);
    std::vector<uint16_t> buf(64480);
    int64_t samples = 0;
    for (auto _ : state) {
        sim::Rda(ud, buf.data(), static_cast<int32_t>(buf.size() * 2));
        sim::Wait(ud, sim::kTIMO | sim::kCMPL);
        if ((sim::g_bus.ibsta & sim::kEND) == 0) state.SkipWithError("transfer did not end");
        int16_t status;
        sim::ReadStatusByte(0, 29, &status);
        sim::Send(0, 29, "U", 1, 1);  // one upload per transfer, as the engine sends it
        samples += 64 * 895;
        benchmark::DoNotOptimize(buf.data());
    }
    state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VirtualTimeGeneration)->Unit(benchmark::kMillisecond);

double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// 64 channels x 7812.5 scans/s = 500 000 samples/s, transfers of 0.1 s as
// the acquisition engine sizes them; each iteration collects one transfer in
// real time.  "cpu_share" is process CPU time over wall time.
void BM_RealTimeStreaming500k(benchmark::State& state) {
    Program("real", 7812.5, 781);
    int32_t ud = sim::Dev(0, 29, 0, 13, 1, 1);
    std::vector<uint16_t> buf(64480);
    double cpu0 = CpuSeconds();
    auto wall0 = std::chrono::steady_clock::now();
    int64_t samples = 0;
    for (auto _ : state) {
        sim::Rda(ud, buf.data(), static_cast<int32_t>(buf.size() * 2));
        sim::Wait(ud, sim::kTIMO | sim::kCMPL);
        int16_t status;
        sim::ReadStatusByte(0, 29, &status);
        if (status != 0x42) state.SkipWithError("transfer not complete or overflowed");
        sim::Send(0, 29, "U", 1, 1);
        samples += 64 * 781;
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    state.counters["cpu_share_percent"] = 100.0 * (CpuSeconds() - cpu0) / wall;
    state.counters["samples/s"] = static_cast<double>(samples) / wall;
}
BENCHMARK(BM_RealTimeStreaming500k)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
