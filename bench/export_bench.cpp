// Throughput of the data tools on one large generated recording, in bytes of
// raw file per second: reading it (the physical reference), the DaDisp and
// analysis-program exports, the wizard and the ASCII export of one channel.
//
// The recording: 32 channels of 16-bit cards in each of 2 blocks (64 samples
// per scan) at 1000 blocks/s.  ZD418_BENCH_MB sets its size (default 256) and
// ZD418_BENCH_DIR its folder (default /tmp/zd418_export_bench); an existing
// file of the right size is reused.  bench/export_vs_cat.sh runs this beside
// cat and numpy on the same file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/analysis_files.h"
#include "export/channel_export.h"
#include "export/data_wizard.h"
#ifdef ZD418_HDF5
#include "export/hdf5_export.h"
#endif
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

constexpr uint32_t kBenchChannels = 32;
constexpr uint32_t kBenchBlocks = 2;

std::string Folder() {
    const char* d = getenv("ZD418_BENCH_DIR");
    return d && *d ? d : "/tmp/zd418_export_bench";
}

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
    dSampleRate = 1000.0;
    for (uint32_t c = 0; c < kBenchChannels; ++c) {
        snprintf(lpsChannelParams->NAME[c], 32, "C%02u", c);
        snprintf(lpsChannelParams->CardModel[c], 12, "M11-A");
        lpsChannelParams->GAIN[c] = 10.0;
        lpsChannelParams->SENSITIVITY[c] = 2.0;
        lpsChannelParams->OFFSET[c] = 1.0;
    }
    std::filesystem::create_directories(Folder());
    const std::string test = Folder() + "/t1.mdb";
    snprintf(szTestFile, sizeof szTestFile, "%s", test.c_str());
    const std::string raw = Folder() + "/t1.raw";
    const uint64_t scanBytes = 2 * p + 16;
    const uint64_t scans = TargetBytes() / scanBytes;
    std::error_code ec;
    if (std::filesystem::file_size(raw, ec) != scans * scanBytes) {
        FILE* f = fopen(raw.c_str(), "wb");
        std::vector<uint16_t> scan(scanBytes / 2);
        uint32_t x = 12345;
        std::vector<uint16_t> chunk;
        for (uint64_t s = 0; s < scans; ++s) {
            scan[0] = 0xFE6B;
            scan[1] = static_cast<uint16_t>(s / 100);
            for (uint32_t i = 8; i < scan.size(); ++i) {
                x = x * 1664525u + 1013904223u;
                scan[i] = static_cast<uint16_t>(x >> 16);
            }
            chunk.insert(chunk.end(), scan.begin(), scan.end());
            if (chunk.size() >= (8u << 20)) {
                fwrite(chunk.data(), 2, chunk.size(), f);
                chunk.clear();
            }
        }
        fwrite(chunk.data(), 2, chunk.size(), f);
        fclose(f);
    }
    length = scans * scanBytes;
    return length;
}

void Throughput(benchmark::State& state, uint64_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
    state.counters["raw_MB"] = static_cast<double>(bytes) / (1 << 20);
}

void BM_ReadRaw(benchmark::State& state) {
    const uint64_t bytes = Prepare();
    std::vector<char> buffer(8u << 20);
    for (auto _ : state) {
        FILE* f = fopen((Folder() + "/t1.raw").c_str(), "rb");
        while (fread(buffer.data(), 1, buffer.size(), f) > 0) benchmark::ClobberMemory();
        fclose(f);
    }
    Throughput(state, bytes);
}

void BM_DaDispAllChannels(benchmark::State& state) {
    const uint64_t bytes = Prepare();
    std::vector<int32_t> channels;
    for (uint32_t c = 0; c < kBenchChannels; ++c) channels.push_back(static_cast<int32_t>(c));
    for (auto _ : state)
        if (ExportChannelFiles(ChannelFormat::DaDisp, szTestFile, channels.data(), kBenchChannels, nullptr).Written !=
            static_cast<int32_t>(kBenchChannels))
            state.SkipWithError("DaDisp export failed");
    Throughput(state, bytes);
}

void BM_AnalysisFileSet(benchmark::State& state) {
    const uint64_t bytes = Prepare();
    for (auto _ : state)
        if (WriteAnalysisFiles(szTestFile, nullptr) != 1) state.SkipWithError("analysis export failed");
    Throughput(state, bytes);
}

void BM_Wizard(benchmark::State& state) {
    const uint64_t bytes = Prepare();
    std::string problem;
    const std::string report = Folder() + "/wizard.txt";
    for (auto _ : state)
        if (RunDataWizard({true, true, true}, szTestFile, report.c_str(), &problem, nullptr) != 1)
            state.SkipWithError(problem.c_str());
    Throughput(state, bytes);
}

// ASCII of one channel: the bytes counted are the whole raw file it walks.
void BM_AsciiOneChannel(benchmark::State& state) {
    const uint64_t bytes = Prepare();
    const int32_t channel = 0;
    for (auto _ : state)
        if (ExportChannelFiles(ChannelFormat::Ascii, szTestFile, &channel, 1, nullptr).Written != 1)
            state.SkipWithError("ASCII export failed");
    Throughput(state, bytes);
}

#ifdef ZD418_HDF5
void BM_Hdf5AllChannels(benchmark::State& state) {
    const uint64_t bytes = Prepare();
    std::vector<int32_t> channels;
    for (uint32_t c = 0; c < kBenchChannels; ++c) channels.push_back(static_cast<int32_t>(c));
    std::string problem;
    const std::string out = Folder() + "/t1.h5";
    for (auto _ : state)
        if (!ExportHdf5(szTestFile, out.c_str(), channels.data(), kBenchChannels, nullptr, &problem))
            state.SkipWithError(problem.c_str());
    Throughput(state, bytes);
}
BENCHMARK(BM_Hdf5AllChannels)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
#endif

BENCHMARK(BM_ReadRaw)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_DaDispAllChannels)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_AnalysisFileSet)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Wizard)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_AsciiOneChannel)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
