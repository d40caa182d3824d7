// Portable: what every display's state block shares: the font description
// (the fields of a Windows LOGFONT that a screen record carries), its
// defaults, the replay position of the CVT-fed displays, and the channel
// lookups every display makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr size_t kFaceSize = 32;  // LOGFONT face: 31 characters and the terminator

struct DisplayFont {
    int32_t Height;
    int32_t Width;
    int32_t Weight;
    uint8_t Italic;
    uint8_t PitchAndFamily;
    uint8_t CharSet;
    char Face[kFaceSize];
};

// Height -20, width 0, weight 400, the rest 0, face "Arial".
void DefaultDisplayFont(DisplayFont* font);

// "face,height,weight,italic,pitch-and-family,charset" as the records hold it.
int32_t FormatFontFields(const DisplayFont& font, char* out, size_t size);
// Reads the same six fields.  Height and weight are held to what a font can
// have (|height| <= 1000, weight 0-1000); the bytes keep their low 8 bits.
void ReadFontFields(const char* text, size_t* pos, DisplayFont* font);

// A channel number from a record or a dialog, checked: outside 0-255 gives
// `fallback`.
int32_t ValidChannel(int32_t channel, int32_t fallback);

// The channel's gain to divide by (effective gain, not positive or not
// finite counting as 1).
double DisplayGain(int32_t channel);
// Converter resolution of the channel's card: 12 or 16 bits.
int32_t DisplayAdcBits(int32_t channel);
// Millivolts at the converter of a raw count, truncated as the displays show it.
int32_t CountToMillivolts(int32_t count, int32_t adcBits);
// Engineering value of a raw count of the channel.
double CountToValue(int32_t channel, int32_t count);
// The channel's name and units ("" when the channel block is missing).
const char* ChannelName(int32_t channel);
const char* ChannelUnits(int32_t channel);


// Replay position of the displays that show all channels at once (tabular
// and bar): one scan per step through the recorded data file.
struct ScanReplay {
    int32_t LastMode;    // 0 forward, 1 fast forward, 2 backward, 3 fast backward
    int32_t Restart;     // the next play starts afresh
    int32_t Scan;        // index of the scan shown last
    uint32_t DelayMs;
};
// Re-armed by the stop broadcast.
void RearmScanReplay(ScanReplay* replay);

// One replay step: reads the next (forward modes) or previous (backward
// modes) complete scan of the recorded data file, read-only, and puts every
// scanned channel's raw word and engineering value into the CVT.  At either
// end of the file the replay ends (playing flag cleared, restart armed).
// Returns 1 when a scan was taken, 0 otherwise (no file, no scan, end).
int32_t ScanReplayStep(ScanReplay* replay, int32_t mode);

// The simulator of the CVT-fed displays: every channel's raw word steps by
// 100 and wraps within its converter's range; the CVT gets the word and its
// engineering value.
void SimulateCvtStep();

// Update pacing of a display with `priority`: 1 when this update draws.
// Priority p draws on every (p + 1)-th update.
int32_t PriorityCountdown(int32_t* countdown, int32_t priority);
