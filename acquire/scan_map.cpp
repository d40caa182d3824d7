#include "acquire/scan_map.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/data_file_name.h"
#include "scanlist/scan_table.h"
#include "testmodel/system_settings.h"

ForwardingList sDisplayForwarding;
ForwardingList sRemoteForwarding[2];
int32_t nRemoteForwardChannel[2] = {-1, -1};

namespace {

struct ModelBits {
    const char* model;
    int32_t bits;
};

constexpr ModelBits kModelBits[] = {
    {"M11-A", 16}, {"M11-B", 16}, {"M12", 16},   {"M15-C", 16}, {"M17-C", 16},
    {"M18-A", 16}, {"M18-B", 16}, {"M18-C", 16}, {"M21", 16},   {"M13-B", 12},
    {"M14-B", 12}, {"M16", 12},   {"M17-B", 12}, {"M19-B", 12}, {"M20-B", 12},
};

void BuildForwarding(ForwardingList* list, int32_t channel) {
    list->Count = 0;
    if (channel < 0 || channel >= kChannels || lpProgScanList == nullptr) return;
    const uint32_t used = UsedScanEntries();
    int32_t sum = 0;
    for (uint32_t p = 0; p < used && list->Count < kScanPositions; ++p) {
        if (lpProgScanList->Entry[p].CHANNEL != static_cast<uint32_t>(channel)) continue;
        const int32_t offset = 16 + 2 * static_cast<int32_t>(p);
        list->Increment[list->Count++] = offset - sum;
        sum = offset;
    }
}

// Text of a fixed-size field that may lack its terminator.
int FieldLength(const char* field, size_t size) {
    const void* end = memchr(field, '\0', size);
    return static_cast<int>(end ? static_cast<const char*>(end) - field : size);
}

bool WriteMap(FILE* f, const int32_t* listed, int32_t m) {
    const uint32_t entries = UsedScanEntries();
    const uint32_t blocks = lpProgScanList->BlockCount;
    fprintf(f, "[DATAFILE]\n");
    fprintf(f, "Scans In Minor Frame = %d\n", static_cast<int32_t>(blocks));
    fprintf(f, "Channels Per Scan = %d\n", m);
    fprintf(f, "ScanRate = %.4f\n", dSampleRate);
    fprintf(f, "SamplesPerTransfer = %d\n", MapSamplesPerTransfer(entries, blocks, dSampleRate));
    fprintf(f, "AtLeastRecordSeconds = %d\n", nRecordingTime);
    for (int32_t i = 0; i < m; ++i) fprintf(f, "Channel%d = %d\n", i, listed[i]);
    fprintf(f, "\n[PARAMETERS]\n");
    const ChannelParams* cp = lpsChannelParams;
    for (int32_t i = 0; i < m; ++i) {
        const int32_t c = listed[i];
        fprintf(f, "Name%d = %.*s\n", i, FieldLength(cp->NAME[c], sizeof cp->NAME[c]), cp->NAME[c]);
        fprintf(f, "Units%d = %.*s\n", i, FieldLength(cp->UNITS[c], sizeof cp->UNITS[c]),
                cp->UNITS[c]);
        fprintf(f, "Gain%d = %f\n", i, cp->GAIN[c]);
        fprintf(f, "Sensitivity%d = %f\n", i, cp->SENSITIVITY[c]);
        fprintf(f, "Offset%d = %f\n", i, cp->OFFSET[c]);
    }
    return ferror(f) == 0;
}

}  // namespace

int32_t RawFileAdcBits(const char* model) {
    if (model == nullptr) return 16;
    char name[12];
    snprintf(name, sizeof name, "%.*s", FieldLength(model, 12), model);
    for (const ModelBits& m : kModelBits)
        if (strcmp(name, m.model) == 0) return m.bits;
    return 16;
}

int32_t MapSamplesPerTransfer(uint32_t entries, uint32_t blocks, double rate) {
    const int32_t words = static_cast<int32_t>(entries) + 8;
    int32_t k = static_cast<int32_t>(kNewDataWords) / words;
    const double d = static_cast<double>(blocks) * k * (1.0 / rate);
    if (d > 1.0) k = static_cast<int32_t>(std::trunc(k / d));
    return words * k;
}

int32_t BuildScanMapTo(const char* mapName) {
    if (lpProgScanList == nullptr || lpsChannelParams == nullptr) return 0;
    BuildForwarding(&sDisplayForwarding, nFirstScannedChannel);
    for (int32_t r = 0; r < 2; ++r) BuildForwarding(&sRemoteForwarding[r], nRemoteForwardChannel[r]);

    int32_t first[kChannels];
    for (int32_t c = 0; c < kChannels; ++c) first[c] = -1;
    const uint32_t used = UsedScanEntries();
    for (uint32_t p = used; p-- > 0;) {
        const uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c < static_cast<uint32_t>(kChannels)) first[c] = static_cast<int32_t>(p);
    }
    int32_t listed[kChannels];
    int32_t m = 0;
    ChannelParams* cp = lpsChannelParams;
    for (int32_t c = 0; c < kChannels; ++c) {
        cp->ScanPosition[c] = -1;
        if (first[c] < 0 || cp->CARDTYPE[c] == 0) continue;
        cp->ScanPosition[c] = 16 + 2 * first[c];
        nChannelAdcBits[c] = RawFileAdcBits(cp->CardModel[c]);
        listed[m++] = c;
    }
    if (mapName == nullptr) return 1;
    FILE* f = fopen(mapName, "w");
    if (f == nullptr) return 0;
    const bool written = WriteMap(f, listed, m);
    return fclose(f) == 0 && written ? 1 : 0;
}

int32_t BuildScanMap() {
    char name[260];
    if (DataFileName(szTestFile, ".map", name, sizeof name) == 0) {
        BuildScanMapTo(nullptr);
        return 1;
    }
    BuildScanMapTo(name);
    return 1;
}
