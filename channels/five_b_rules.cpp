// Portable: 5B module definitions, positions and values.
#include "channels/five_b_rules.h"

#include <cstdio>
#include <cstring>

#include "base/app_state.h"
#include "base/channel_gain.h"
#include "channels/channel_rules.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"

namespace {

bool ValidChannel(int32_t channel) {
    return channel >= 0 && channel < kChannels && lpsChannelParams != nullptr;
}

void CopyCut(char* field, size_t size, const std::string& text, size_t limit) {
    size_t n = text.size() < limit ? text.size() : limit;
    if (n >= size) n = size - 1;
    memcpy(field, text.data(), n);
    field[n] = '\0';
}

}  // namespace

int32_t StoreFiveBModules(int32_t channel, const FiveBRowText rows[kFiveBModules]) {
    if (!ValidChannel(channel)) return 0;
    double slope[kFiveBModules], offset[kFiveBModules];
    for (int m = 0; m < kFiveBModules; ++m) {
        if (!ParseNumber(rows[m].Slope.c_str(), &slope[m]) || !ParseNumber(rows[m].Offset.c_str(), &offset[m])) {
            std::string text = "The Slope And Offset Of Module " + std::to_string(m) + " Must Be Numbers";
            PlatformMessageBox(text.c_str(), "Module Definition Not Stored", MB_OK_ | MB_ICONEXCLAMATION_);
            return 0;
        }
    }
    FiveBModule& b = lpsChannelParams->FiveB;
    for (int m = 0; m < kFiveBModules; ++m) {
        CopyCut(b.NAME[channel][m], sizeof b.NAME[channel][m], rows[m].Name, 31);
        CopyCut(b.UNITS[channel][m], sizeof b.UNITS[channel][m], rows[m].Units, 7);
        b.SENSITIVITY[channel][m] = slope[m];
        b.OFFSET[channel][m] = offset[m];
    }
    bTestSaved = false;
    bTestChanged = true;
    return 1;
}

void FiveBModuleRows(int32_t channel, FiveBRowText rows[kFiveBModules]) {
    if (!ValidChannel(channel)) return;
    const FiveBModule& b = lpsChannelParams->FiveB;
    for (int m = 0; m < kFiveBModules; ++m) {
        rows[m].Name.assign(b.NAME[channel][m], strnlen(b.NAME[channel][m], sizeof b.NAME[channel][m]));
        rows[m].Units.assign(b.UNITS[channel][m], strnlen(b.UNITS[channel][m], sizeof b.UNITS[channel][m]));
        rows[m].Slope = FourDecimals(b.SENSITIVITY[channel][m]);
        rows[m].Offset = FourDecimals(b.OFFSET[channel][m]);
    }
}

int32_t FiveBChannelList(int32_t* channels) {
    int32_t count = 0;
    if (lpsChannelParams == nullptr) return 0;
    for (int32_t c = 0; c < kChannels; ++c)
        if (IsFiveBChannel(c)) channels[count++] = c;
    return count;
}

int32_t NextFiveBChannel(int32_t current) {
    int32_t list[kChannels];
    int32_t count = FiveBChannelList(list);
    if (count == 0) return 0;
    for (int32_t i = 0; i < count; ++i)
        if (list[i] > current) return list[i];
    return list[0];
}

void FiveBModuleOffsets(int32_t channel, int32_t offsets[kFiveBModules]) {
    for (int m = 0; m < kFiveBModules; ++m) offsets[m] = -1;
    if (lpProgScanList == nullptr || channel < 0 || channel >= kChannels) return;
    int32_t found = 0;
    uint32_t used = UsedScanEntries();
    for (uint32_t p = 0; p < used && found < kFiveBModules; ++p)
        if (lpProgScanList->Entry[p].CHANNEL == static_cast<uint32_t>(channel))
            offsets[found++] = 16 + 2 * static_cast<int32_t>(p);
}

double FiveBModuleValue(int32_t channel, int32_t module, int16_t sample) {
    if (!ValidChannel(channel) || module < 0 || module >= kFiveBModules) return 0;
    const double full = nChannelAdcBits[channel] == 12 ? 2048.0 : 32768.0;
    const double millivolts = sample * 10000.0 / full;
    const FiveBModule& b = lpsChannelParams->FiveB;
    return millivolts / DivisorGain(EffectiveGain(channel)) * b.SENSITIVITY[channel][module] +
           b.OFFSET[channel][module];
}

std::string FiveBWindowTitle(int32_t channel) {
    char title[64];
    snprintf(title, sizeof title, "Primary Channel %d's Five B Modules", static_cast<int>(channel));
    return title;
}

int32_t nFiveBPrimaryChannel = -1;
int32_t nFiveBOffsets[kFiveBModules] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
double dFiveBValues[kFiveBModules] = {};

void SelectFiveBPrimary(int32_t channel) {
    nFiveBPrimaryChannel = channel;
    FiveBModuleOffsets(channel, nFiveBOffsets);
    for (double& v : dFiveBValues) v = 0;
}

void RefreshFiveBValues(const uint8_t* transfer, uint32_t scanOffset, uint32_t transferBytes) {
    if (transfer == nullptr || nFiveBPrimaryChannel < 0) return;
    for (int m = 0; m < kFiveBModules; ++m) {
        // A module without a position, or one whose sample lies past the
        // transfer, keeps its last value.
        if (nFiveBOffsets[m] < 0) continue;
        uint64_t at = static_cast<uint64_t>(scanOffset) + static_cast<uint32_t>(nFiveBOffsets[m]);
        if (at + 2 > transferBytes) continue;
        int16_t sample = static_cast<int16_t>(transfer[at] | (transfer[at + 1] << 8));
        dFiveBValues[m] = FiveBModuleValue(nFiveBPrimaryChannel, m, sample);
    }
}

int32_t FirstFiveBChannel() {
    int32_t list[kChannels];
    return FiveBChannelList(list) > 0 ? list[0] : 0;
}

void FiveBWindowRows(FiveBWindowRow rows[kFiveBModules]) {
    const int32_t c = nFiveBPrimaryChannel;
    for (int m = 0; m < kFiveBModules; ++m) {
        rows[m] = FiveBWindowRow();
        if (!ValidChannel(c)) continue;
        const FiveBModule& b = lpsChannelParams->FiveB;
        rows[m].Name.assign(b.NAME[c][m], strnlen(b.NAME[c][m], sizeof b.NAME[c][m]));
        rows[m].Units.assign(b.UNITS[c][m], strnlen(b.UNITS[c][m], sizeof b.UNITS[c][m]));
        if (nFiveBOffsets[m] >= 0) rows[m].Value = FourDecimals(dFiveBValues[m]);
    }
}
