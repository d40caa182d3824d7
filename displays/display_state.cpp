// Portable: font fields, channel lookups, the CVT simulator and the scan
// replay shared by the displays.
#include "displays/display_state.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "acquire/panel_rules.h"
#include "base/app_state.h"
#include "base/channel_gain.h"
#include "base/data_file_name.h"
#include "base/large_file.h"
#include "displays/display_fields.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

void DefaultDisplayFont(DisplayFont* font) {
    memset(font, 0, sizeof *font);
    font->Height = -20;
    font->Weight = 400;
    snprintf(font->Face, sizeof font->Face, "Arial");
}

int32_t FormatFontFields(const DisplayFont& font, char* out, size_t size) {
    char face[kFaceSize];
    CopyFieldText(font.Face, face, sizeof face);
    int n = snprintf(out, size, "%s,%d,%d,%d,%d,%d", face, static_cast<int>(font.Height),
                     static_cast<int>(font.Weight), font.Italic, font.PitchAndFamily, font.CharSet);
    return n < 0 ? 0 : n;
}

void ReadFontFields(const char* text, size_t* pos, DisplayFont* font) {
    ReadStringField(text, pos, font->Face, sizeof font->Face);
    int32_t height = ReadIntField(text, pos);
    int32_t weight = ReadIntField(text, pos);
    font->Height = height > 1000 ? 1000 : height < -1000 ? -1000 : height;
    font->Weight = weight < 0 ? 0 : weight > 1000 ? 1000 : weight;
    font->Width = 0;
    font->Italic = static_cast<uint8_t>(ReadIntField(text, pos));
    font->PitchAndFamily = static_cast<uint8_t>(ReadIntField(text, pos));
    font->CharSet = static_cast<uint8_t>(ReadIntField(text, pos));
}

int32_t ValidChannel(int32_t channel, int32_t fallback) {
    return channel >= 0 && channel < kChannels ? channel : fallback;
}

double DisplayGain(int32_t channel) { return DivisorGain(EffectiveGain(channel)); }

int32_t DisplayAdcBits(int32_t channel) {
    if (channel < 0 || channel >= kChannels) return 16;
    return nChannelAdcBits[channel] == 12 ? 12 : 16;
}

int32_t CountToMillivolts(int32_t count, int32_t adcBits) {
    double mv = adcBits == 12 ? count * 4.8828125 : count * 0.30517578125;
    return static_cast<int32_t>(mv);
}

double CountToValue(int32_t channel, int32_t count) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return 0.0;
    double full = DisplayAdcBits(channel) == 12 ? 2048.0 : 32768.0;
    double mv = count * 10000.0 / full;
    return mv / DisplayGain(channel) * lpsChannelParams->SENSITIVITY[channel] +
           lpsChannelParams->OFFSET[channel];
}

const char* ChannelName(int32_t channel) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return "";
    // The names are fixed arrays; a full one has no terminator of its own.
    static char name[33];
    memcpy(name, lpsChannelParams->NAME[channel], 32);
    name[32] = '\0';
    return name;
}

const char* ChannelUnits(int32_t channel) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return "";
    static char units[9];
    memcpy(units, lpsChannelParams->UNITS[channel], 8);
    units[8] = '\0';
    return units;
}

void RearmScanReplay(ScanReplay* replay) {
    replay->Restart = 1;
    replay->LastMode = nPlayMode;
    replay->DelayMs = dwReplayDelay;
}

namespace {

// Delay of a replay mode: the replay speed for the playing modes, none for
// the fast ones.
uint32_t ModeDelay(int32_t mode) { return (mode == 0 || mode == 2) ? dwReplayDelay : 0; }

void EndReplay(ScanReplay* replay) {
    bPlaying = false;
    replay->Restart = 1;
}

}  // namespace

int32_t ScanReplayStep(ScanReplay* replay, int32_t mode) {
    if (mode < 0 || mode > 3) mode = 0;
    if (mode != replay->LastMode) {
        replay->DelayMs = ModeDelay(mode);
        replay->LastMode = mode;
    }
    if (lpsChannelParams == nullptr || lpCVT == nullptr) return 0;
    char path[300];
    if (!DataFileName(szTestFile, ".raw", path, sizeof path)) return 0;
    FILE* f = fopen(path, "rb");
    if (f == nullptr) return 0;
    const uint32_t scanBytes = UsedScanEntries() * 2 + 16;
    const uint64_t allScans = FileLength(f) / scanBytes;
    const int32_t scans = allScans > INT32_MAX ? INT32_MAX : static_cast<int32_t>(allScans);
    const bool forward = mode == 0 || mode == 1;
    int32_t next;
    if (replay->Restart) {
        replay->Restart = 0;
        replay->DelayMs = ModeDelay(mode);
        next = forward ? 0 : scans - 1;
    } else {
        next = forward ? replay->Scan + 1 : replay->Scan - 1;
    }
    if (next < 0 || next >= scans) {
        fclose(f);
        EndReplay(replay);
        return 0;
    }
    static uint8_t scan[kScanPositions * 2 + 16];
    bool ok = SeekFile(f, static_cast<uint64_t>(next) * scanBytes) &&
              fread(scan, 1, scanBytes, f) == scanBytes;
    fclose(f);
    if (!ok) {
        EndReplay(replay);
        return 0;
    }
    replay->Scan = next;
    for (int32_t c = 0; c < kChannels; ++c) {
        int32_t at = lpsChannelParams->ScanPosition[c];
        if (at < 16 || static_cast<uint32_t>(at) + 2 > scanBytes) continue;
        int16_t word = static_cast<int16_t>(scan[at] | (scan[at + 1] << 8));
        lpCVT->Format[c] = word;
        lpCVT->Value[c] = CountToValue(c, word);
    }
    return 1;
}

void SimulateCvtStep() {
    if (lpCVT == nullptr) return;
    for (int32_t c = 0; c < kChannels; ++c) {
        int32_t top = DisplayAdcBits(c) == 12 ? 2047 : 32767;
        int32_t raw = lpCVT->Format[c] + 100;
        if (raw > top) raw = -top;
        if (raw < -top) raw = -top;  // a word left by another source
        lpCVT->Format[c] = raw;
        lpCVT->Value[c] = CountToValue(c, raw);
    }
}

int32_t PriorityCountdown(int32_t* countdown, int32_t priority) {
    --*countdown;
    if (*countdown >= 0) return 0;
    *countdown = priority;
    return 1;
}
