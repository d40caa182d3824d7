// Entry points of subsystems that are not built yet.  Each does nothing until
// its subsystem replaces it; where it returns a result it answers
// kNotAvailable, so that a command leading here tells the operator the part
// is missing instead of reporting a failure that did not happen.
#pragma once

#include <cstdint>

// A placeholder's answer: the part behind the call is not built yet.
constexpr int32_t kNotAvailable = -1;

// Export of the analysis program's file set: 1 written, 0 failed.
int32_t ExportAnalysisFiles();

// DAC outputs: the preview or record start list started (and emptied) on the
// first transfer; all DACs started or stopped (at zero or holding their
// level) on request.
void StartDacStartList(bool recordList);
void StartAllDacs();
void StopAllDacs(bool atZero);

// Channel input mode chosen while sampling, applied after the next transfer.
void ApplyInputModeChange();

// DAC waveforms of a remote-controlled run set up from its operation file:
// 1 done, 0 failed.
struct OperationRecord;
int32_t SetupRemoteDacs(const OperationRecord* operation);

// The 16 module values of the chosen 5B channel from scan `scanOffset` of the
// newest transfer (`transferBytes` long) (built in channels/five_b_rules.cpp).
void RefreshFiveBValues(const uint8_t* transfer, uint32_t scanOffset, uint32_t transferBytes);
