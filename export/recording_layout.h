// How a test's recording is laid out and converted, taken from the test model
// once so that every data tool (exports, wizard, editor, raw-file check, the
// command-line tool) reads a raw file the same way.
//
// A raw file has no header of its own: the scan table and sample rate in force
// now say how long a scan and a transfer are, and which positions of a scan
// hold which channel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testmodel/model.h"

// Where one channel sits in a scan: its positions in table order and the block
// each position belongs to (what its time within the scan follows from).
struct ChannelPositions {
    int32_t Channel;
    std::vector<uint32_t> Position;  // scan-table index p; the sample is at byte 16 + 2p
    std::vector<uint32_t> Block;
};

// How a channel's counts become engineering values.
struct ChannelScale {
    int32_t AdcBits;  // 12 or 16
    double Gain;      // what values are divided by (never 0)
    double Slope;     // SENSITIVITY
    double Offset;
};

struct RecordingLayout {
    uint32_t Positions;         // P: samples per scan
    uint32_t Blocks;            // Bk
    double Rate;                // R: blocks per second
    uint32_t ScanBytes;         // 2P + 16
    uint32_t ScansPerTransfer;  // K, at least 1
    std::vector<int32_t> Channels;  // scan-list channels (ScanListChannels)
};

// Fills `layout` from the current scan table and sample rate.  1 on success;
// 0 when nothing can be read with it (no table, no position, no block or a
// rate that is not positive), with the reason in *problem.
int32_t CurrentRecordingLayout(RecordingLayout* layout, std::string* problem);

// The channel's positions in the current scan table (empty when not scanned).
ChannelPositions PositionsOfChannel(int32_t channel);

// Converter resolution of the card behind `channel`, by the scan map's table:
// every data tool uses this one rule.
int32_t ChannelAdcBits(int32_t channel);

// The channel's conversion from the test model.
ChannelScale CurrentChannelScale(int32_t channel);

// Counts to millivolts at the converter, truncated toward zero; a 12-bit
// count that cannot be a converter value saturates at the 16-bit limits
// rather than wrapping.
int16_t SampleMillivolts(int16_t sample, int32_t adcBits);
// Millivolts / gain x slope + offset.
double EngineeringValue(const ChannelScale& scale, int16_t sample);
// EngineeringValue of `n` samples at once, every result bit for bit the same,
// in a loop the compiler vectorises (the exports spend their time here).
void EngineeringValues(const ChannelScale& scale, const int16_t* samples, size_t n, double* values);

// A text field of the model that may fill its array without a terminator.
std::string FieldText(const char* field, size_t size);
