// Runs of a recording and their removal (the data file editor).
//
// The first scan of every transfer carries in bytes 4-15 the run-and-point
// text in force when it was recorded; consecutive transfers with the same
// text form one run.  The listing holds at most 100 runs: the 100th run then
// reaches to the end of the file, so every byte of the file belongs to one
// listed run and a removal never drops data nobody chose.
//
// A removal builds the new raw file beside the old one and puts it in place
// only when it is complete: a full disk, a read error or a crash leaves the
// recording as it was.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t kMaxRuns = 100;

struct DataRun {
    char Text[13];       // the 12 bytes of the header, terminated
    uint64_t Offset;     // byte offset of its first transfer
    uint64_t Bytes;      // up to the next run (or the end of the file)
    uint64_t Transfers;  // transfers it spans (a partial last one counts)
};

struct RunTable {
    int32_t Count;
    bool Capped;          // the file holds more runs than listed; the last reaches to the end
    uint64_t FileBytes;
    DataRun Run[kMaxRuns];
};

// Lists the runs of `rawPath` with transfers of `transferBytes` (S x K).
// 1 on success; 0 when the file cannot be opened or transferBytes is below 16.
int32_t ListRuns(const char* rawPath, uint64_t transferBytes, RunTable* runs);

enum class RemoveResult : int32_t {
    NothingSelected,  // the file is untouched
    Rewritten,        // the kept runs are the file now
    Deleted,          // every run was selected: the raw file is gone
    Failed,           // nothing changed; *problem says why
};

// The temporary file a removal builds: beside the raw file.
std::string RemovalTemporary(const char* rawPath);

// Removes the runs flagged in selected[0 .. runs.Count) from `rawPath`.  The
// file must still be what `runs` was listed from (same length), else nothing
// is changed.  A stale temporary file of an earlier attempt is replaced, never
// copied.
RemoveResult RemoveRuns(const char* rawPath, const RunTable& runs, const bool* selected,
                        std::string* problem);
