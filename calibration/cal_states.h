// Portable: the calibration states a channel's input can be switched to,
// what each one asks of the card (source, attenuator, zero mode) and the
// texts a calibration run shows and logs for it.
#pragma once

#include <cstdint>

constexpr int32_t kCalStateCodes = 13;    // codes 0-12
constexpr int32_t kZeroCalSource = 0;     // the zero state: op modes, not a source
constexpr int32_t kTransducerSource = 10;

struct CalStateInfo {
    int32_t Source;       // SelectCal code, kZeroCalSource for the zero state
    int32_t Attenuation;  // SetCalAttenuator: 1, 10, 100 or 1000
    uint32_t NameId;      // string-table id of the state name
    const char* Name;     // the state name as the dialogs list it
    const char* Progress; // progress text, "%d" = channel
    const char* LogLine;  // line of the calibration log
    bool Known;           // false for a code outside 0-12
};

// The state of `code`; a code outside 0-12 gives the input at attenuator
// 1000 with Known false (the run then says "Incorrect Calibration Mode").
const CalStateInfo& CalState(int32_t code);

// The name of a state code, "" for an unknown code.
const char* CalStateName(int32_t code);

// Mode bits of the zero state for SelectOpModes: 4, plus 1 with autozero,
// 2 with autobalance and 8 with excitation enabled.
int32_t ZeroCalModeBits(int32_t channel);

// A state count as a loop may use it: 0-8.
int32_t BoundedStateCount(int64_t count);
