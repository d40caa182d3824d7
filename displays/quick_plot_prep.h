// Portable: quick plots, an overview of a whole recording.  The raw file is
// read once and every scanned channel is decimated into at most 2048 points
// (lpQuickPlots), with an overload flag set when any sample of the channel
// reached its converter's limit.  The same points feed the quick-plot windows
// and the batch print of a recording.
#pragma once

#include <cstdint>

constexpr int32_t kQuickPlotPoints = 2048;

// The overload threshold of a card model: 2045 for the 12-bit cards, 32765
// for every other model, known or not.
uint32_t QuickPlotThreshold(const char* model);

// A sample is an overload when it lies beyond the threshold on either side;
// exactly minus the threshold is not one.
bool IsQuickPlotOverload(int32_t sample, int32_t threshold);

// The channels of the scan table in order of their first position, each once
// (invalid channel numbers skipped).  Returns how many were written to
// `channels` (room for 256).
int32_t ScanListChannels(int32_t* channels);

// What the preparation reports after every chunk it read: bytes done of the
// whole file.  Null: no report.
struct QuickPlotProgress {
    void (*report)(void* context, uint64_t done, uint64_t total);
    void* context;
};

// Whole scans in a raw file of `fileBytes` bytes for `entries` scan-table
// positions: a scan is 16 header bytes and one 16-bit word per position.  A
// partial trailing scan is not counted.
uint64_t RawFileScans(uint64_t fileBytes, uint32_t entries);

// The decimation interval: one sample of every `d` is kept, d rounded up so
// that the points of a channel scanned once per block reach the end of the
// recording.
uint64_t QuickPlotInterval(uint32_t blockCount, uint64_t scans);

// Prepares lpQuickPlots from the raw file `rawName` against the current scan
// table and channel cards.  Returns 1 when prepared (the prepared flag set),
// 0 when the file cannot be opened or read or the model is missing (the
// flag is then 0).
int32_t PrepareQuickPlotsFrom(const char* rawName, const QuickPlotProgress* progress);
// The same for the current test's raw file.
int32_t PrepareQuickPlots(const QuickPlotProgress* progress);

// The current test's raw file name and its size; false when it cannot be
// opened.
bool RecordedFileSize(char* name, uint32_t nameSize, uint64_t* bytes);

// Seconds left of a preparation: what remains at the rate measured so far
// (0 before anything was measured).
int32_t QuickPlotSecondsLeft(uint64_t done, uint64_t total, uint32_t elapsedMs);

// Points of channel `c` stored by the last preparation (up to 2048).
int32_t QuickPlotPointCount(int32_t c);

// The vertical half-range of a channel's plot in counts: 2048 for a channel
// whose converter has 12 bits, else 32768.
int32_t QuickPlotHalfRange(int32_t c);

// The full-scale label value of a channel: trunc(10000 / G) mV with G its
// effective gain (a gain that is not positive or not finite counts as 1).
int32_t QuickPlotFullScale(int32_t c);

// The stored points of channel `c` mapped on a client area `width` x
// `height`: spread across the width, +half-range at the top, -half-range at
// the bottom.  `xy` receives up to 2 x 2048 ints; returns the points mapped.
// Points the recording did not fill are not drawn: they hold no sample.
int32_t QuickPlotPolyline(int32_t c, int32_t width, int32_t height, int32_t* xy);
