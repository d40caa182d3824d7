// The data tools' readers over any raw file, map and table: the first bytes
// choose the scan table (positions, blocks, rate, channels) and the map text,
// the rest is the raw file.  Nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "export/analysis_files.h"
#include "export/channel_export.h"
#include "export/data_runs.h"
#include "export/data_wizard.h"
#include "export/raw_check.h"
#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

std::string Folder() {
    static const std::string folder = "/tmp/zd418_raw_fuzz_" + std::to_string(getpid());
    return folder;
}

void Write(const std::string& name, const uint8_t* data, size_t size) {
    FILE* f = fopen(name.c_str(), "wb");
    if (f == nullptr) return;
    if (size > 0) fwrite(data, 1, size, f);
    fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        AllocateTestModel();
        mkdir(Folder().c_str(), 0700);
        return true;
    }();
    (void)ready;
    if (size < 8) return 0;
    FakeClearMessages();
    ClearScanTable();
    // Table: up to 64 positions in up to 8 blocks (0 allowed), any rate byte.
    const uint32_t positions = data[0] % 65;
    const uint32_t blocks = data[1] % 9;
    const double rates[] = {0.0, -1.0, 0.5, 1.0, 10.0, 1000.0, 60000.0, 1e300};
    dSampleRate = rates[data[2] % 8];
    const size_t mapLength = data[3];
    data += 4;
    size -= 4;
    for (uint32_t p = 0; p < positions; ++p) {
        const uint8_t b = size > p ? data[p] : 0;
        lpProgScanList->Entry[p].CHANNEL = b < 250 ? b % 8 : 0xFFFFFFFFu;
        lpProgScanList->Entry[p].BLOCK = blocks ? (b >> 3) % blocks : 0;
        snprintf(lpsChannelParams->CardModel[b % 8], 12, "%s", b & 1 ? "M13-B" : "M11-A");
        lpsChannelParams->GAIN[b % 8] = (b & 2) ? 0.0 : 10.0;
    }
    lpProgScanList->EntryCount = positions;
    lpProgScanList->BlockCount = blocks;
    const size_t mapBytes = mapLength < size ? mapLength : size;
    const std::string test = Folder() + "/t1.mdb";
    snprintf(szTestFile, sizeof szTestFile, "%s", test.c_str());
    Write(Folder() + "/t1.map", data, mapBytes);
    Write(Folder() + "/t1.raw", data + mapBytes, size - mapBytes);
    const std::string raw = Folder() + "/t1.raw";

    RawCheckReport report;
    CheckRawFile(raw.c_str(), (Folder() + "/t1.map").c_str(), &report, nullptr);
    RawCheckText(report, false);
    RecordingLayout layout;
    std::string problem;
    if (CurrentRecordingLayout(&layout, &problem)) {
        std::vector<ChannelScreening> screened;
        ScreenRecording(raw.c_str(), layout, &screened, nullptr);
        RunTable runs;
        if (ListRuns(raw.c_str(), static_cast<uint64_t>(layout.ScanBytes) * layout.ScansPerTransfer, &runs)) {
            bool keepFirst[kMaxRuns] = {};
            for (int32_t i = 1; i < runs.Count; ++i) keepFirst[i] = true;
            RemoveRuns(raw.c_str(), runs, keepFirst, &problem);
        }
    }
    const int32_t channels[] = {0, 1, 2, 3, 4, 5, 6, 7};
    ExportChannelFiles(ChannelFormat::DaDisp, test.c_str(), channels, 8, nullptr);
    // The ASCII export times every sample; the analysis set reads the
    // layout, the runs and the samples once more.
    ExportChannelFiles(ChannelFormat::Ascii, test.c_str(), channels, 8, nullptr);
    WriteAnalysisFiles(test.c_str(), nullptr);
    return 0;
}
