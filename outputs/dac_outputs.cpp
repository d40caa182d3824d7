// Portable: DAC download, start, stop, static levels and test waves through
// the front-end control library.
#include "outputs/dac_outputs.h"

#include <cmath>
#include <cstdio>

#include "acquire/engine.h"
#include "base/app_state.h"
#include "base/status_report.h"
#include "hardware/gpib_access.h"
#include "hardware/q90_library.h"
#include "outputs/dac_waves.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

// The library's own words for the last refusal, for the operator.
std::string LibraryErrorText() {
    Q90ErrorRecord record = {};
    if (!Q90GetErrorStatus(&record) || !Q90ErrorHasMessage(record)) return "";
    char text[400];
    Q90ErrorText(record, text, sizeof text);
    return text;
}

}  // namespace

int32_t DownloadDacWaves() {
    if (bSimulator) return 1;
    int32_t ok = 1;
    int16_t samples[kDacMaxPoints];
    for (const DacChannel& d : sDacChannel) {
        if (!DacRecordInUse(d)) continue;
        for (int32_t s = 0; s < 2; ++s) {
            const int32_t regions = DacRegionCount(d, s);
            for (int32_t r = 0; r < regions; ++r) {
                const int32_t points = d.FREQ[r][s];
                if (GenerateDacWave(d.WAVE[r][s], points, DacNoiseSeed(d.HARDCHAN, s, r), samples,
                                    kDacMaxPoints) != points) {
                    // A region the record cannot describe; the regions after it
                    // would start at the wrong point, so the output stops here.
                    ok = 0;
                    break;
                }
                if (!Q90OldSetupDAC(d.HARDCHAN, s, r, DacRegionStart(d, s, r), points, d.LOOP[r][s],
                                    d.MASTERLOOP, samples))
                    ok = 0;
            }
        }
    }
    return ok;
}

void StartAllDacs() {
    if (!bSimulator) Q90StartDAC(-1, 0);
}

void StopAllDacs(bool atZero) {
    if (bSimulator) return;
    if (atZero)
        Q90StopDACZero(-1);
    else
        Q90StopDACHold(-1);
}

void StartDacStartList(bool recordList) {
    DacStartList& list = sDacStartList[recordList ? 1 : 0];
    const int32_t count = list.Count < 0 ? 0 : (list.Count > 16 ? 16 : list.Count);
    if (!bSimulator)
        for (int32_t i = 0; i < count; ++i)
            if (list.HardChan[i] >= 0 && list.HardChan[i] < kChannels) Q90StartDAC(list.HardChan[i], 0);
    list.Count = 0;
}

bool DacRequestsGoToEngine() { return nDDSRunning != 0 && (bRecording || bPreviewing) && !bSimulator; }

void DriveDacsCommand() {
    if (DacRequestsGoToEngine())
        bDriveDacsRequest = true;
    else
        StartAllDacs();
}

void StopDacsCommand(bool atZero) {
    if (DacRequestsGoToEngine()) {
        if (atZero)
            bStopDacsZeroRequest = true;
        else
            bStopDacsLevelRequest = true;
        return;
    }
    StopAllDacs(atZero);
}

int32_t SetDacLevelNow(int32_t hardChan, int32_t output, int32_t millivolts) {
    if (bSimulator) return 1;
    return Q90SetupDACImmediate(hardChan, output, millivolts) != 0 ? 1 : 0;
}

std::string TestWaveFilePath() { return std::string(szWorkDirectory) + "\\Wavefile.wav"; }

int32_t WriteTestWaveFile(const char* path) {
    FILE* f = fopen(path, "wb");
    if (f == nullptr) return 0;
    uint8_t cycle[2 * kTestWaveCycle];
    for (int32_t i = 0; i < kTestWaveCycle; ++i) {
        const int16_t v = static_cast<int16_t>(std::trunc(32767.0 * std::sin(2.0 * 3.1415926535 * i / kTestWaveCycle)));
        cycle[2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF);
        cycle[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
    }
    bool ok = true;
    for (int32_t k = 0; k < kTestWaveCycles && ok; ++k) ok = fwrite(cycle, 1, sizeof cycle, f) == sizeof cycle;
    // A full disk may show only when the buffered rest is flushed.
    if (fclose(f) != 0) ok = false;
    return ok ? 1 : 0;
}

int32_t TestWavePairs(int32_t* pairs) {
    int32_t entries = 0;
    for (const DacChannel& d : sDacChannel) {
        if (entries >= 12) break;
        if (!DacRecordInUse(d)) continue;
        pairs[entries++] = d.HARDCHAN;
        pairs[entries++] = d.HARDCHAN;
    }
    return entries;
}

TestWavesResult TestWavesCommand() {
    OperationRecord op = {};
    LoadOperationFile(&op, nullptr, 0);
    const std::string path = TestWaveFilePath();
    if (!WriteTestWaveFile(path.c_str())) {
        const std::string text = "Could Not Write The Test Wave File " + path + ".  Check The Work Directory";
        ReportFailure(text.c_str(), "Test Waves", MB_OK_ | MB_ICONEXCLAMATION_, 36);
        return TestWavesResult::FileNotWritten;
    }
    if (bSimulator) return TestWavesResult::Started;
    int32_t pairs[12];
    const int32_t entries = TestWavePairs(pairs);
    if (!Q90NewBinarySetupDAC(pairs, entries, &op)) {
        const std::string text = "The DAC Cards Did Not Take The Test Waves.  " + LibraryErrorText();
        ReportFailure(text.c_str(), "Test Waves", MB_OK_ | MB_ICONEXCLAMATION_, 36);
        return TestWavesResult::SetupRefused;
    }
    StartAllDacs();
    return TestWavesResult::Started;
}

int32_t SetupRemoteDacs(const OperationRecord* operation) {
    if (operation == nullptr) return 0;
    if (bSimulator) return 1;
    int32_t pairs[12];
    const int32_t entries = TestWavePairs(pairs);
    if (entries == 0) return 1;
    return Q90NewBinarySetupDAC(pairs, entries, operation) != 0 ? 1 : 0;
}
