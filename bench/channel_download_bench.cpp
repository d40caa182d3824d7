// Channel download of all 256 channels to the simulated chassis in real time
// (timebase real): every card's settings over the simulated bus, one channel
// per library call so that the wait window can follow, the setup log
// rewritten.  The figure is the wall time of one whole download; the target
// is well under a second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "base/app_state.h"
#include "hardware/channel_download.h"
#include "hardware/control_library.h"
#include "hardware/gpib_access.h"
#include "platform/fake/fake_platform.h"
#include "platform/platform.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

void BM_DownloadAllChannels(benchmark::State& state) {
    FakeReset();
    FakeMapLibrary("GPIB-32.DLL", SIM_GPIB_PATH);
    FakeMapLibrary("Q90ui.dll", SIM_Q90UI_PATH);
    FakeMapLibrary(SIM_GPIB_PATH, SIM_GPIB_PATH);
    PlatformLibrary gpib = PlatformLoadLibrary(SIM_GPIB_PATH);
    auto configure = reinterpret_cast<int32_t (*)(const char*, char*, int32_t)>(
        PlatformGetProc(gpib, "Q90SimConfigure"));
    char error[256];
    // Amplifier cards of both converters and variable gain: every setting
    // of every channel is sent and checked.
    if (!configure || configure("timebase real\ncard 0-127 M15-C\ncard 128-255 M16\n", error, sizeof error) != 1) {
        state.SkipWithError("simulator not configured");
        return;
    }
    ResetSystemSettings();
    AllocateTestModel();
    bSimulator = false;
    bRemoteControlled = true;  // no message box on the fake port's log
    snprintf(szTestFile, sizeof szTestFile, "/tmp/zd418_channel_bench.mdb");
    if (!LoadControlLibrary()) {
        state.SkipWithError("control library not loaded");
        return;
    }
    ChannelParams* p = lpsChannelParams;
    for (int c = 0; c < kChannels; ++c) {
        p->GAIN[c] = c % 2 ? 100 : 10;
        p->FILTER[c] = 625;
        p->EXCITATIONSOURCE[c] = 1;
        p->EXCITATIONVOLTAGE[c] = 5;
        p->EXCITATIONCURRENT[c] = 20;
        p->EXCITATIONENABLE[c] = 1;
        p->AUTOBALANCEENABLE[c] = 1;
        p->AUTOZEROENABLE[c] = 1;
        p->VARIABLEGAIN[c] = 1;
        p->VARIABLEGAINENABLE[c] = 0;
        lpProgScanList->Entry[c] = {static_cast<uint32_t>(c), 0, 0, 0};
    }
    lpProgScanList->EntryCount = kChannels;
    lpProgScanList->BlockCount = 1;
    for (auto _ : state) {
        if (DownloadScannedChannels() != 1) {
            state.SkipWithError("download failed");
            break;
        }
    }
    state.counters["channels"] = kChannels;
    remove("/tmp/zd418_channel_bench.log");
    ReleaseControlLibrary();
    ReleaseGpibLibrary();
    FreeTestModel();
    bRemoteControlled = false;
}
BENCHMARK(BM_DownloadAllChannels)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
