// Throughput of the quick-plot preparation (also the first step of the batch
// print) in bytes of raw file per second, beside a plain read of the same file
// in the same chunks as the physical reference.
//
// The recording: 32 channels of 16-bit cards in each of 2 blocks (64 samples
// per scan).  ZD418_BENCH_MB sets its size (default 256) and ZD418_BENCH_DIR
// its folder (default /tmp/zd418_quick_plot_bench); an existing file of the
// right size is reused.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "displays/quick_plot_prep.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"

namespace {

constexpr uint32_t kBenchChannels = 32;
constexpr uint32_t kBenchBlocks = 2;

std::string Folder() {
    const char* d = getenv("ZD418_BENCH_DIR");
    return d && *d ? d : "/tmp/zd418_quick_plot_bench";
}

std::string RawName() { return Folder() + "/bench.raw"; }

uint64_t TargetBytes() {
    const char* mb = getenv("ZD418_BENCH_MB");
    return (mb && *mb ? strtoull(mb, nullptr, 10) : 256ull) << 20;
}

// The model and, when missing, the raw file.  Returns the raw file's length.
uint64_t Prepare() {
    static uint64_t length = 0;
    if (length != 0) return length;
    AllocateTestModel();
    ClearScanTable();
    uint32_t p = 0;
    for (uint32_t b = 0; b < kBenchBlocks; ++b)
        for (uint32_t c = 0; c < kBenchChannels; ++c, ++p) {
            lpProgScanList->Entry[p].CHANNEL = c;
            lpProgScanList->Entry[p].BLOCK = b;
        }
    lpProgScanList->EntryCount = p;
    lpProgScanList->BlockCount = kBenchBlocks;
    for (uint32_t c = 0; c < kBenchChannels; ++c) snprintf(lpsChannelParams->CardModel[c], 12, "M11-A");
    const uint32_t scanBytes = 16 + 2 * p;
    const uint64_t scans = TargetBytes() / scanBytes;
    std::filesystem::create_directories(Folder());
    std::error_code ec;
    if (std::filesystem::file_size(RawName(), ec) != scans * scanBytes) {
        FILE* f = fopen(RawName().c_str(), "wb");
        if (f == nullptr) return 0;
        std::vector<uint8_t> scan(scanBytes);
        for (uint64_t s = 0; s < scans; ++s) {
            scan[0] = 0x6B;
            scan[1] = 0xFE;
            for (uint32_t i = 0; i < p; ++i) {
                const uint16_t w = static_cast<uint16_t>((s * 7 + i * 131) & 0xFFFF);
                scan[16 + 2 * i] = static_cast<uint8_t>(w);
                scan[17 + 2 * i] = static_cast<uint8_t>(w >> 8);
            }
            fwrite(scan.data(), 1, scan.size(), f);
        }
        fclose(f);
    }
    length = scans * scanBytes;
    return length;
}

void BM_ReadRawFile(benchmark::State& state) {
    const uint64_t bytes = Prepare();
    std::vector<uint8_t> chunk(100 * (16 + 2 * kBenchChannels * kBenchBlocks));
    for (auto _ : state) {
        FILE* f = fopen(RawName().c_str(), "rb");
        uint64_t sum = 0;
        size_t got;
        while ((got = fread(chunk.data(), 1, chunk.size(), f)) > 0) sum += chunk[got - 1];
        fclose(f);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ReadRawFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrepareQuickPlots(benchmark::State& state) {
    const uint64_t bytes = Prepare();
    for (auto _ : state) {
        if (PrepareQuickPlotsFrom(RawName().c_str(), nullptr) != 1) state.SkipWithError("preparation failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_PrepareQuickPlots)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
