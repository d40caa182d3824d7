// The programmable scan table: single- and multi-rate builders, the per-channel
// bookkeeping in MultiRate, the classification of every position by the card
// behind it, the history pointer tables and the download to the front end.
//
// The table (lpProgScanList) holds at most 4096 positions split into blocks.
// A channel that is in every d-th block is sampled at SAMPLERATE / d.  After
// every operation here the used entries are sorted by BLOCK, by channel within
// a block, a channel occurs at most once per block, and MultiRate describes
// what is in the table:
//   PositionsFree      4096 - EntryCount
//   FirstPosition[c]   index of c's first entry, -1 when c is not scanned
//   Divisor[c]         c is sampled every Divisor[c]-th block, 0 = not scanned
//   PositionCount[c]   entries of c; for a 5B channel 16 x Divisor (the blocks
//                      its 16 modules are spread over)
//   PositionsNeeded    the frame length the last build laid the table out for
// A 5B channel (CARDTYPE below 4) carries 16 modules, module i in block 4i + 3.
#pragma once

#include <cstdint>

#include "testmodel/model.h"

constexpr int32_t kRateChoices = 13;     // "Add Channels At": SAMPLERATE / 2^k, k = 0..12
constexpr int32_t kChannelListSize = 16;  // DAC and digital channel lists

// ---- derived from the table (ClassifyScanEntries, DownloadScanTable) -----------------
extern int32_t nChannelAdcBits[kChannels];            // converter resolution, 12 or 16
extern int32_t nDacChannelList[kChannelListSize];      // first 16 M21 channels, -1 = none
extern int32_t nDigitalChannelList[kChannelListSize];  // first 16 M18 channels, -1 = none
extern int32_t nScansPerTransfer;  // scans (frames) in one transfer, kept for the DDS start
extern int32_t nTransferWords;     // (EntryCount + 8) x nScansPerTransfer

// Word format of a card model: 0 analog, 1 digital (and M19-B, M20-B), 2 5B,
// 3 DAC.  A model the table does not know is taken as analog.
int32_t CardDataType(const char* model);
// Converter resolution of a card model; 16 for a model the table does not know.
int32_t CardAdcBits(const char* model);
// True for a channel whose card type number is below 4.
bool IsFiveBChannel(int32_t channel);

// Positions in use, never more than the table holds.
uint32_t UsedScanEntries();

// Empties the table: every CHANNEL -1, BLOCK, DataType and FiveBFlag 0, both
// counts 0, every channel's ScanPosition -1, MultiRate empty.  Clears the
// parameters-downloaded and test-saved flags.
void ClearScanTable();

// Clamps and quantises a requested per-channel rate in place, with the
// operator messages of each step.  NaN counts as too low.
void ValidateScanRate(double* rate);

// The single-rate table: the `count` channels (list order) in every block of
// min(4096 / count, 32) blocks, then `requestedRate` validated into SAMPLERATE.
// Clears the parameters-downloaded and test-saved flags.  Returns 1; 0 when no
// channel is given (message, table unchanged) or in simulator mode (nothing done).
int32_t BuildSingleRateTable(const int32_t* channels, int32_t count, double requestedRate);

// Adds the channels flagged in newChannels[256] at SAMPLERATE / 2^rateIndex
// (rateIndex 0-12).  A flagged channel that is already scanned takes the new
// rate.  Returns 1; 0 when nothing is flagged, the index is out of range or
// the table would overflow (message; table and MultiRate unchanged).
int32_t AddChannelsToScanTable(const bool* newChannels, int32_t rateIndex);

// Lays the table out again from the channels' divisors (the multi-rate dialog
// does this when it opens) and writes the "Before Sorting" dump.  When the
// layout changes, clears the parameters-downloaded and test-saved flags.
void RebuildScanTable();

// Removes every position of `channel`; -1 (nothing picked) gives the message
// "Please Pick A Channel".  Returns 1 when positions were removed.
int32_t RemoveScanChannel(int32_t channel);

// Sets every entry's DataType, the per-channel converter resolution and the
// DAC and digital channel lists from the card models.
void ClassifyScanEntries();

// Stable order of the used entries by BLOCK.
void SortScanTable();

// Writes "scanlist.dat": `before` (count entries, may be null) under
// "Before Sorting", then the table as it is under "After Sorting".
void DumpScanTable(const ProgScanEntry* before, uint32_t count);

// Scans per transfer for a table of `entries` positions and `blocks` blocks at
// `rate`: 64480 / (entries + 8), cut so that one transfer lasts at most about
// a second, at least 1.
int32_t ComputeScansPerTransfer(uint32_t entries, uint32_t blocks, double rate);

// Fills the mux set-up record from the table.
struct MuxSetupRecord;
void FillMuxSetupRecord(MuxSetupRecord* record);

// Sends the table to the front end (InitMux).  Returns 1 on success (in
// simulator mode after the 2-second wait cursor), else 0 with the failure
// shown or, while remote-controlled, reported as a status code.
int32_t DownloadScanTable();

// Points both history tables at up to 100 evenly spread samples per channel
// of one transfer; entries without a sample are null.
void RebuildHistoryTables();

// What a test load needs after it filled the table: word formats, converter
// resolutions, channel lists, MultiRate and the history tables.
void RebuildScanDerivedData();

// The start channel (CHANNEL of position 0, -1 for an empty table) that the
// dialogs remember when they close.
int32_t FirstScanChannel();

// ---- rules of the scan list dialogs ------------------------------------------------------

// The single-rate dialog's rate field lost the focus (or took Enter): clears
// the parameters-downloaded and test-saved flags; outside simulator mode the
// request is validated and stored as SAMPLERATE and the history tables
// follow it.  Returns the rate to show.
double ApplyScanRateField(double requested);

// The multi-rate dialog's "Maximum Rate" field lost the focus (or took
// Enter): above 60000 it becomes 60000.0, at or below 0 (or not a number)
// 1.0, each with its message; the result is stored as SAMPLERATE and
// returned.  A changed rate rebuilds the history tables and clears the
// parameters-downloaded and test-saved flags.
double ApplyMaximumRate(double requested);

// Entry k (0-12) of "Add Channels At": SAMPLERATE / 2^k.
double RateChoice(int32_t k);

// A dialog closes with the table confirmed: remember the start channel and
// rebuild the recording header data (the scan map).
void ConfirmScanTable();

// Module of the 5B channel that the position in `block` carries (0-15).
int32_t FiveBModuleOfBlock(uint32_t block);
