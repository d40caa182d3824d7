// Scan table builds: the single-rate table of all 256 channels, and the
// worst-case multi-rate add that fills all 4096 positions (sort and dump
// included), plus the sort alone on a table generated channel by channel.
#include <benchmark/benchmark.h>

#include <cstring>

#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "base/app_state.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

namespace {

void Setup() {
    FakeReset();
    ResetSystemSettings();
    bSimulator = false;
    AllocateTestModel();
}

void BM_SingleRate256(benchmark::State& state) {
    Setup();
    int32_t channels[kChannels];
    for (int32_t i = 0; i < kChannels; ++i) channels[i] = i;
    for (auto _ : state) {
        BuildSingleRateTable(channels, kChannels, 1000.0);
        benchmark::DoNotOptimize(lpProgScanList->EntryCount);
    }
    state.counters["positions"] = lpProgScanList->EntryCount;
    FreeTestModel();
}
BENCHMARK(BM_SingleRate256)->Unit(benchmark::kMicrosecond);

void BM_MultiRateAddFills4096(benchmark::State& state) {
    Setup();
    bool all[kChannels];
    for (bool& b : all) b = true;
    for (auto _ : state) {
        state.PauseTiming();
        ClearScanTable();
        bool first[kChannels] = {true};
        AddChannelsToScanTable(first, 4);  // a frame of 16 blocks
        FakeClearMessages();
        state.ResumeTiming();
        // All 256 channels in every one of the 16 blocks: 4096 positions.
        if (AddChannelsToScanTable(all, 0) != 1) state.SkipWithError("add refused");
    }
    state.counters["positions"] = lpProgScanList->EntryCount;
    FreeTestModel();
}
BENCHMARK(BM_MultiRateAddFills4096)->Unit(benchmark::kMicrosecond);

void BM_SortFullTable(benchmark::State& state) {
    Setup();
    bool all[kChannels];
    for (bool& b : all) b = true;
    AddChannelsToScanTable(all, 4);
    ProgScanList generated = *lpProgScanList;
    // Channel by channel, as the add generates it: the order a neighbour-
    // swapping sort needs the most passes for.
    uint32_t n = 0;
    for (uint32_t ch = 0; ch < kChannels; ++ch)
        for (uint32_t b = 0; b < 16; ++b) generated.Entry[n++] = {ch, b, 0, 0};
    for (auto _ : state) {
        state.PauseTiming();
        memcpy(lpProgScanList, &generated, sizeof generated);
        state.ResumeTiming();
        SortScanTable();
    }
    FreeTestModel();
}
BENCHMARK(BM_SortFullTable)->Unit(benchmark::kMicrosecond);

}  // namespace
