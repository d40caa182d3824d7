// mtstest.ini: the operation file of remote-controlled runs and the DAC test waves.
#include <cstdio>

#include "outputs/dac_filters.h"
#include "platform/platform.h"
#include "testmodel/ini_values.h"
#include "testmodel/settings_ini.h"
#include "testmodel/model.h"

#include <strings.h>

int32_t nOperationFirstDisplayChannel = -1;

namespace {

const char* const F = kOperationIniFile;

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A display channel is used as a channel index later on: anything that is not
// a channel means "none".
int32_t DisplayChannel(int32_t v) { return v >= 0 && v < kChannels ? v : -1; }

// "NO" in any letter case means off; every other text, even "Nope", means on.
bool NotNo(const char* section, const char* key) {
    char buf[256];
    ReadProfileText(section, key, "NO", buf, sizeof buf, F);
    return strcasecmp(buf, "NO") != 0;
}

void DacSection(int n, char* section, size_t size) { snprintf(section, size, "DAC%d", n); }

}  // namespace

int32_t LoadOperationFile(OperationRecord* op, char* testFile, uint32_t testFileSize) {
    int32_t flags = kOperationFileRead;
    char name[256];
    ReadProfileText("Operations", "TestFile", "c:\\32bit\\example\\example.mdb", name, sizeof name, F);
    if (testFile != nullptr) CopyText(testFile, testFileSize, name);

    if (NotNo("Operations", "RecordToDisk")) flags |= kOperationRecordToDisk;
    bool monitor = NotNo("Operations", "MonitorData");
    // Only a monitored run names a channel to show first; the record's 0 of
    // an unmonitored one is no choice of channel 0.
    nOperationFirstDisplayChannel =
        monitor ? DisplayChannel(ReadProfileInt("Operations", "FirstDisplayChannel", "0", F)) : -1;
    if (op == nullptr) return flags | (monitor ? kOperationMonitorData : 0);

    if (monitor) {
        flags |= kOperationMonitorData;
        op->NumberToMonitor = Clamp(ReadProfileInt("Operations", "NumberToMonitor", "0", F), 0, 2);
        op->FirstDisplayChannel = nOperationFirstDisplayChannel;
        op->SecondDisplayChannel =
            DisplayChannel(ReadProfileInt("Operations", "SecondDisplayChannel", "0", F));
    } else {
        op->NumberToMonitor = 0;
        op->FirstDisplayChannel = 0;
        op->SecondDisplayChannel = 0;
    }
    op->TestType = Clamp(ReadProfileInt("Test Information", "TestType", "0", F), 0, 3);
    op->Reserved = 0;

    char section[16], key[32];
    for (int n = 1; n <= 6; ++n) {
        OperationDac& d = op->Dac[n - 1];
        DacSection(n, section, sizeof section);
        d.WaveSections = ReadProfileInt(section, "WaveSections", "1", F);
        d.DACFILTER = ReadProfileInt(section, "DACFILTER", "200", F);
        for (int s = 0; s < 3; ++s) {
            snprintf(key, sizeof key, "WaveSection%dLength", s + 1);
            d.WaveSectionLength[s] = ReadProfileInt(section, key, "0", F);
            snprintf(key, sizeof key, "WS%dPerformCount", s + 1);
            d.PerformCount[s] = ReadProfileInt(section, key, "1", F);
        }
        ReadProfileText(section, "WaveFile", "c:\\winnt35\\wavefile.wav", d.WaveFile,
                        sizeof d.WaveFile, F);
    }
    return flags;
}

int32_t ApplyDacFilters(OperationRecord* op, DacFilterSetter setter) {
    if (op == nullptr) return 1;
    if (setter == nullptr) setter = SetDacFilter;
    char section[16];
    for (int n = 1; n <= 6; ++n) {
        OperationDac& d = op->Dac[n - 1];
        DacSection(n, section, sizeof section);
        d.DACFILTER = ReadProfileInt(section, "DACFILTER", "200", F);
        if (d.WaveSectionLength[0] > 0) setter((n - 1) / 2, (n - 1) % 2, d.DACFILTER);
    }
    return 1;
}
