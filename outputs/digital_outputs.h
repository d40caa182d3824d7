// The digital output lines of a test: setting and reading them through the
// control library, the edits of the digital setup dialog, and the start and
// trigger definition of the digital inputs.
#pragma once

#include <cstdint>
#include <string>

// State words: bit k is line k + 1 ("Line 16" is bit 15).
constexpr int32_t kDigitalLines = 16;
constexpr int32_t kDigitalAllLines = 0xFFFF;
inline int32_t DigitalLineBit(int32_t line) { return line >= 1 && line <= kDigitalLines ? 1 << (line - 1) : 0; }

// Rows of a record's states: 0 the initial state, 1-3 the later states.
constexpr int32_t kDigitalRows = 4;

// True when the record's HARDWARECHANNEL names a channel 0-255.
bool DigitalRecordInUse(int32_t record);
// The records in use, in order; returns the count (room for 16).
int32_t DigitalRecordsInUse(int32_t* records);

// Sends `state` to the record's lines with its glitch-catcher and
// outputs-to-inputs switches.  1 when the card took it (at once in simulator
// mode, where nothing is sent); 0 otherwise, shown as "Error Setting Digital
// Out" unless acquisition is running.
int32_t SetDigitalOutput(int32_t record, int32_t state);
// The record's present state word; in simulator mode its STATICSTATE.  -1
// when the lines cannot be read.
int32_t GetDigitalOutput(int32_t record);

// A row's stored state word (0 when record or row is out of range).
int32_t DigitalRowState(int32_t record, int32_t row);
int32_t DigitalRowTime(int32_t record, int32_t row);  // row 1-3; 0 for row 0
int32_t DigitalRowUsed(int32_t record, int32_t row);

// ---- setup dialog edits (each marks the test unsaved) ----------------------------------
bool DigitalSetLine(int32_t record, int32_t row, int32_t line, bool on);
bool DigitalSetRowState(int32_t record, int32_t row, int32_t state);
// The time field of row 1-3: whole seconds from 0.
bool DigitalSetRowTime(int32_t record, int32_t row, const char* text, std::string* message);
bool DigitalSetRowUsed(int32_t record, int32_t row, bool used);
bool DigitalSetGlitchCatcher(int32_t record, bool on);
// "All Digital Channels": every one of the 16 records.
void DigitalAllSetRowUsed(int32_t row);
void DigitalAllSetGlitchCatcher();
void DigitalAllSetStates(int32_t state);
void DigitalAllSetOutsToIns();

// ---- start and trigger of the digital inputs --------------------------------------------
// Each stores its value (channel 0-255, bit 0-15) and recomputes the masks;
// false and nothing changed when out of range.
bool SetStartTriggerChannel(int32_t channel);
bool SetStartBit(int32_t bit);
bool SetTriggerBit(int32_t bit);
