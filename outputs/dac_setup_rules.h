// The edits of the DAC setup dialog on the test's DAC records.  Each edit is
// stored at once and marks the test unsaved; a value out of its range
// changes nothing and gives the operator's message.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t kDacLevelLimitMv = 10000;

// The records whose HARDCHAN names a DAC card, in record order; returns how
// many were written to `records` (room for 16).
int32_t DacRecordsInUse(int32_t* records);

// Text of the frequency choice for `points` per cycle: SAMPLERATE / points.
std::string DacFrequencyText(int32_t points);

// Record `record` (0-15), output 0 (A) or 1 (B), region 0-9.  False when an
// argument is outside its range (nothing changed).
bool DacSetOutputType(int32_t record, int32_t output, int32_t dynamic);
bool DacSetStartType(int32_t record, int32_t recordStart);  // both outputs
bool DacSetRegions(int32_t record, int32_t regions);        // both outputs, 0-10
bool DacSetWave(int32_t record, int32_t output, int32_t region, int32_t wave);
// Frequency choice k (0-200) of a region: FREQ = k + 10 points, both outputs.
bool DacSetPointsChoice(int32_t record, int32_t region, int32_t choice);

// Typed fields: the level in mV (-10000 to 10000), a region's loop count and
// the master loop (0 or more).  On bad text *message says what is wanted.
bool DacSetLevel(int32_t record, int32_t output, const char* text, std::string* message);
bool DacSetLoop(int32_t record, int32_t region, const char* text, std::string* message);
bool DacSetMasterLoop(int32_t record, const char* text, std::string* message);

// The immediate level dialog's field: true with *millivolts set when valid.
bool DacParseImmediateLevel(const char* text, int32_t* millivolts, std::string* message);
