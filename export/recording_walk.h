// One pass over a raw file that hands every chosen channel's samples, with
// their times, to a writer a chunk at a time.  All exports (ASCII, DaDisp,
// HDF5) share it, so a sample is converted and timed in one place only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/large_file.h"
#include "export/recording_layout.h"

// Progress on long work: called after every chunk with the bytes read so far
// and the file's length.
struct ExportProgress {
    void (*Step)(void* context, uint64_t done, uint64_t total);
    void* Context;
};

// One channel's samples of the current chunk.  Time in seconds from the
// start of the file: a sample in block b of scan s was taken (s x Bk + b) / R,
// which is also right for a channel sampled several times per scan.
struct ChannelSeries {
    int32_t Channel;
    ChannelPositions Where;
    ChannelScale Scale;
    bool WantTime;   // fill Time (writers that need no times leave it off)
    uint64_t Count;  // samples handed over so far, this chunk's included
    std::vector<double> Time;
    std::vector<double> Value;
};

// Sets a series up for `channel` from the current test model.
ChannelSeries SeriesOfChannel(int32_t channel, bool wantTime);

// Reads `raw` from its current position to its end.  A sample counts when
// both its bytes are in the file, so a partial last scan gives what it holds.
// After each chunk `consume` gets the series (their vectors holding that
// chunk's samples); it returns false to stop the walk.  Returns 1 when the
// file was read to its end and every chunk consumed, 0 on a read error or
// when `consume` stopped it.
int32_t WalkRecording(FILE* raw, const RecordingLayout& layout, std::vector<ChannelSeries>* series,
                      bool (*consume)(void* context, std::vector<ChannelSeries>* series),
                      void* context, const ExportProgress* progress);

