// The scan map: how a recording's raw file is laid out, for the program's own
// readers (engine, displays, data tools) and for outside ones (the ".map"
// file beside the raw file).  Built from the current scan table whenever a
// test is loaded, the table or the recording options are confirmed, and
// before anything reads a raw file scan by scan.
#pragma once

#include <cstdint>

#include "testmodel/model.h"

// Where a chosen channel's samples lie within a scan: the first increment is
// the byte offset 16 + 2p of its first position, every further one the
// distance from the previous occurrence.  Count 0: the channel is not scanned.
struct ForwardingList {
    int32_t Count;
    int32_t Increment[kScanPositions];
};

// Of the display-selected channel (nFirstScannedChannel) and of the two
// channels whose samples the supervisor asked to have forwarded.
extern ForwardingList sDisplayForwarding;
extern ForwardingList sRemoteForwarding[2];
extern int32_t nRemoteForwardChannel[2];  // -1 = none

// Converter resolution of a card model as raw-file readers count it; a model
// this table does not know counts as 16 bits, as in the scan table builder.
int32_t RawFileAdcBits(const char* model);

// Rebuilds the three forwarding lists, every channel's ScanPosition (-1 when
// the channel is not listed) and the listed channels' converter resolution,
// then writes the ".map" file of the current test.  The tables are rebuilt even
// when the file cannot be written.  Returns 1.
int32_t BuildScanMap();

// The same, writing the map to `mapName` (null: no file).  Returns 1 when the
// file was written or none was asked for, 0 when it could not be.
int32_t BuildScanMapTo(const char* mapName);

// "SamplesPerTransfer" of the map: words per scan times the scans of one
// transfer of at most about a second, without the scan table's minimum of 1.
int32_t MapSamplesPerTransfer(uint32_t entries, uint32_t blocks, double rate);
