// Portable: decimation of a whole recording into the quick-plot points.
#include "displays/quick_plot_prep.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "acquire/scan_map.h"
#include "base/channel_gain.h"
#include "base/data_file_name.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

constexpr uint32_t kScanHeaderBytes = 16;
constexpr uint32_t kScansPerChunk = 100;
constexpr int32_t kOffsetCapacity = 4096;  // the channel's 16384-byte area

const char* const kTwelveBitModels[] = {"M13-B", "M14-B", "M16", "M17-B", "M19-B", "M20-B"};

int32_t nStoredPoints[kChannels];

bool SameModel(const char* field, const char* name) {
    return strncmp(field, name, 12) == 0 && strlen(name) < 12 && field[strlen(name)] == '\0';
}

int64_t FileSize(FILE* f) {
    if (fseek(f, 0, SEEK_END) != 0) return -1;
#ifdef _WIN32
    int64_t size = _ftelli64(f);
#else
    int64_t size = ftello(f);
#endif
    if (fseek(f, 0, SEEK_SET) != 0) return -1;
    return size;
}

// Per channel: clear the points, the flag and the occurrence table, take the
// threshold of its card and the byte offsets of its positions.
void ResetChannels() {
    QuickPlots* q = lpQuickPlots;
    for (int32_t c = 0; c < kChannels; ++c) {
        memset(q->Points[c], 0, sizeof q->Points[c]);
        q->Overload[c] = 0;
        q->OccurrenceCount[c] = 0;
        q->OverloadThreshold[c] = QuickPlotThreshold(lpsChannelParams->CardModel[c]);
        nStoredPoints[c] = 0;
    }
    const uint32_t used = UsedScanEntries();
    int32_t last[kChannels];
    for (int32_t& l : last) l = 0;
    for (uint32_t p = 0; p < used; ++p) {
        const uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c >= static_cast<uint32_t>(kChannels) || q->OccurrenceCount[c] >= kOffsetCapacity) continue;
        const int32_t offset = static_cast<int32_t>(kScanHeaderBytes + 2 * p);
        q->Offsets[c][q->OccurrenceCount[c]++] = offset - last[c];
        last[c] = offset;
    }
}

}  // namespace

uint32_t QuickPlotThreshold(const char* model) {
    for (const char* m : kTwelveBitModels)
        if (model != nullptr && SameModel(model, m)) return 2045;
    return 32765;
}

bool IsQuickPlotOverload(int32_t sample, int32_t threshold) {
    return sample > threshold || sample < -threshold;
}

int32_t ScanListChannels(int32_t* channels) {
    if (lpProgScanList == nullptr) return 0;
    bool seen[kChannels] = {};
    int32_t n = 0;
    const uint32_t used = UsedScanEntries();
    for (uint32_t p = 0; p < used; ++p) {
        const uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c >= static_cast<uint32_t>(kChannels) || seen[c]) continue;
        seen[c] = true;
        channels[n++] = static_cast<int32_t>(c);
    }
    return n;
}

uint64_t RawFileScans(uint64_t fileBytes, uint32_t entries) {
    return fileBytes / (kScanHeaderBytes + 2ull * entries);
}

uint64_t QuickPlotInterval(uint32_t blockCount, uint64_t scans) {
    // Rounded up: 2048 points one interval apart then always reach the end.
    const uint64_t samples = static_cast<uint64_t>(blockCount) * scans;
    return (samples + kQuickPlotPoints - 1) / kQuickPlotPoints;
}

bool RecordedFileSize(char* name, uint32_t nameSize, uint64_t* bytes) {
    if (DataFileName(szTestFile, ".raw", name, nameSize) == 0) return false;
    FILE* f = fopen(name, "rb");
    if (f == nullptr) return false;
    int64_t size = FileSize(f);
    fclose(f);
    if (size < 0) return false;
    *bytes = static_cast<uint64_t>(size);
    return true;
}

int32_t PrepareQuickPlotsFrom(const char* rawName, const QuickPlotProgress* progress) {
    if (lpQuickPlots == nullptr || lpsChannelParams == nullptr || lpProgScanList == nullptr) return 0;
    QuickPlots* q = lpQuickPlots;
    q->Prepared = 0;
    FILE* f = fopen(rawName, "rb");
    if (f == nullptr) return 0;
    const int64_t size = FileSize(f);
    if (size < 0) {
        fclose(f);
        return 0;
    }
    ResetChannels();
    const uint32_t entries = UsedScanEntries();
    const uint32_t scanBytes = kScanHeaderBytes + 2 * entries;
    const uint64_t interval = QuickPlotInterval(lpProgScanList->BlockCount,
                                                RawFileScans(static_cast<uint64_t>(size), entries));
    // Per channel: samples still to skip before the next point is kept.
    std::vector<int64_t> countdown(kChannels, 0);
    // The channel of every position, -1 where none is.
    std::vector<int32_t> positionChannel(entries, -1);
    for (uint32_t p = 0; p < entries; ++p) {
        const uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c < static_cast<uint32_t>(kChannels)) positionChannel[p] = static_cast<int32_t>(c);
    }
    std::vector<uint8_t> chunk(static_cast<size_t>(scanBytes) * kScansPerChunk);
    uint64_t done = 0;
    bool failed = false;
    for (;;) {
        const size_t got = fread(chunk.data(), 1, chunk.size(), f);
        if (got < chunk.size() && ferror(f)) failed = true;
        const size_t scans = got / scanBytes;  // a partial trailing scan is left out
        for (size_t s = 0; s < scans; ++s) {
            const uint8_t* scan = chunk.data() + s * scanBytes;
            for (uint32_t p = 0; p < entries; ++p) {
                const int32_t c = positionChannel[p];
                if (c < 0) continue;
                const uint8_t* w = scan + kScanHeaderBytes + 2 * p;
                const int32_t v = static_cast<int16_t>(static_cast<uint16_t>(w[0] | (w[1] << 8)));
                if (IsQuickPlotOverload(v, static_cast<int32_t>(q->OverloadThreshold[c]))) q->Overload[c] = 1;
                if (countdown[c] <= 0) {
                    if (nStoredPoints[c] < kQuickPlotPoints) {
                        q->Points[c][nStoredPoints[c]][0] = nStoredPoints[c];
                        q->Points[c][nStoredPoints[c]][1] = v;
                        ++nStoredPoints[c];
                    }
                    countdown[c] = static_cast<int64_t>(interval);
                }
                --countdown[c];
            }
        }
        done += got;
        if (progress && progress->report && (got > 0 || done == 0)) progress->report(progress->context, done, static_cast<uint64_t>(size));
        if (got < chunk.size() || failed) break;
    }
    fclose(f);
    if (failed) return 0;
    q->Prepared = 1;
    return 1;
}

int32_t PrepareQuickPlots(const QuickPlotProgress* progress) {
    char name[300];
    if (DataFileName(szTestFile, ".raw", name, sizeof name) == 0) return 0;
    return PrepareQuickPlotsFrom(name, progress);
}

int32_t QuickPlotSecondsLeft(uint64_t done, uint64_t total, uint32_t elapsedMs) {
    if (done == 0 || elapsedMs == 0 || done >= total) return 0;
    const double rate = static_cast<double>(done) / elapsedMs;  // bytes per ms
    return static_cast<int32_t>(static_cast<double>(total - done) / rate / 1000.0);
}

int32_t QuickPlotPointCount(int32_t c) {
    return c >= 0 && c < kChannels ? nStoredPoints[c] : 0;
}

int32_t QuickPlotHalfRange(int32_t c) {
    if (lpsChannelParams == nullptr || c < 0 || c >= kChannels) return 32768;
    return RawFileAdcBits(lpsChannelParams->CardModel[c]) == 12 ? 2048 : 32768;
}

int32_t QuickPlotFullScale(int32_t c) {
    return static_cast<int32_t>(std::trunc(10000.0 / DivisorGain(EffectiveGain(c))));
}

int32_t QuickPlotPolyline(int32_t c, int32_t width, int32_t height, int32_t* xy) {
    const int32_t half = QuickPlotHalfRange(c);
    const int32_t n = QuickPlotPointCount(c);
    if (lpQuickPlots == nullptr || n == 0) return 0;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t y = lpQuickPlots->Points[c][i][1];
        xy[2 * i] = n > 1 ? static_cast<int32_t>(static_cast<int64_t>(i) * (width - 1) / (n - 1)) : 0;
        // +half at row 0, -half at the last row.
        xy[2 * i + 1] = static_cast<int32_t>((static_cast<int64_t>(half - y) * (height - 1)) / (2 * half));
    }
    return n;
}
