// The acquisition engine at the front end's maximum aggregate rate (500 000
// samples per second): block step, CVT refresh every 20 ms and the raw file
// written, against the simulated front end on the shared virtual clock.  The
// figure "samples/s" is how much faster than real time the engine (with the
// simulator generating the data) runs; the CPU share at 500 000 samples/s
// follows as 500000 / that rate.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "acquire/dds_control.h"
#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/raw_file.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "hardware/control_library.h"
#include "hardware/gpib_access.h"
#include "platform/fake/fake_platform.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

void BM_EngineRecording(benchmark::State& state) {
    FakeReset();
    FakeMapLibrary("GPIB-32.DLL", SIM_GPIB_PATH);
    FakeMapLibrary("Q90ui.dll", SIM_Q90UI_PATH);
    FakeMapLibrary(SIM_GPIB_PATH, SIM_GPIB_PATH);
    PlatformLibrary gpib = PlatformLoadLibrary(SIM_GPIB_PATH);
    auto configure = reinterpret_cast<int32_t (*)(const char*, char*, int32_t)>(
        PlatformGetProc(gpib, "Q90SimConfigure"));
    auto now = reinterpret_cast<double (*)()>(PlatformGetProc(gpib, "Q90SimNow"));
    auto advance = reinterpret_cast<void (*)(double)>(PlatformGetProc(gpib, "Q90SimAdvance"));
    char error[256];
    if (!configure || configure("timebase virtual\nsignal 0-31 sine 4000 50 10\nsignal 32-63 noise 300\n",
                                error, sizeof error) != 1) {
        state.SkipWithError("simulator not configured");
        return;
    }
    FakeUseExternalClock(now, advance);
    ResetSystemSettings();
    AllocateTestModel();
    ResetEngine();
    ResetPanel();
    bSimulator = false;
    bParametersDownloaded = true;
    snprintf(szTestFile, sizeof szTestFile, "/tmp/zd418_engine_bench.mdb");
    LoadControlLibrary();
    OpenDDS();
    // 64 channels in every block at 7812.5 blocks/s: 500 000 samples/s.
    int32_t channels[64];
    for (int32_t c = 0; c < 64; ++c) {
        channels[c] = c;
        strcpy(lpsChannelParams->CardModel[c], "M15-C");
    }
    if (BuildSingleRateTable(channels, 64, 7812.5) != 1 || DownloadScanTable() != 1) {
        state.SkipWithError("scan table not downloaded");
        return;
    }
    BuildScanMap();
    PanelRecord();
    if (!bRecording) {
        state.SkipWithError("recording did not start");
        return;
    }
    const uint32_t samplesPerTransfer = sTransferLayout.Scans * sTransferLayout.EntryCount;
    int64_t samples = 0;
    for (auto _ : state) {
        const uint32_t before = RawTransfersWritten();
        while (RawTransfersWritten() == before && bRecording) {
            AcquisitionPump();
            FakeAdvanceTime(5);
        }
        samples += samplesPerTransfer;
    }
    state.SetItemsProcessed(samples);
    state.counters["transfer_bytes"] = sTransferLayout.TransferBytes;
    state.counters["rate_per_s"] = dSampleRate * lpProgScanList->EntryCount / lpProgScanList->BlockCount;
    PanelStop();
    remove("/tmp/zd418_engine_bench.raw");
    remove("/tmp/zd418_engine_bench.map");
    FakeUseExternalClock(nullptr, nullptr);
    ReleaseControlLibrary();
    ReleaseGpibLibrary();
    PlatformFreeLibrary(gpib);
    FreeTestModel();
}
BENCHMARK(BM_EngineRecording)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
