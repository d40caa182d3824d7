// Checks a recording against its scan map and the current test: the map
// describes the same layout, every scan starts with the sync word, the file
// holds whole scans and whole transfers, and the transfers' sequence numbers
// run on by one with none repeated or missing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/recording_walk.h"

constexpr uint16_t kSyncWord = 0xFE6B;

struct RawCheckReport {
    uint64_t FileBytes;
    uint64_t Scans;             // whole scans
    uint64_t Transfers;         // transfers begun (a partial last one counts)
    uint64_t PartialScanBytes;  // bytes after the last whole scan
    uint64_t BadSyncScans;      // scans without the sync word
    uint64_t MixedScans;        // scans whose sequence differs from their transfer's
    uint64_t MissingTransfers;  // transfers the sequence numbers skip
    uint64_t RepeatedTransfers; // transfers whose sequence number repeats or goes back
    bool MapChecked;            // a map file was found and read
    std::vector<std::string> Findings;  // one line per problem, the first few of each kind
};

// Checks `rawPath` (and, when `mapPath` is not null, the map) against the
// current test.  Returns 1 when the recording is sound, 0 when a finding was
// made or the files cannot be read (the report says which).
int32_t CheckRawFile(const char* rawPath, const char* mapPath, RawCheckReport* report,
                     const ExportProgress* progress);

// The report as text, one finding per line and a closing summary.
std::string RawCheckText(const RawCheckReport& report, bool sound);
