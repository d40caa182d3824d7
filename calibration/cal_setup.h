// Portable: the edits the calibration dialogs make — a channel's states and
// engineering values, the external commands and the procedures.  Each
// checks what was typed: bad input is shown with what is wanted and changes
// nothing.  Edits of the test clear the test-saved flag; the external
// commands belong to Q90.ini, which is written on exit.
#pragma once

#include <cstdint>

// A number as typed: optional blanks around it, nothing else, finite.
bool ParseCalNumber(const char* text, double* value);
// A whole number as typed, within [low, high].
bool ParseCalInteger(const char* text, int32_t low, int32_t high, int32_t* value);

// ---- a channel's calibration states ----------------------------------------------------
// The calibration type list: -1 ("NONE") keeps the states and sets CALTYPE
// -1; 0-15 copies the type's step count and states and sets CALTYPE.
int32_t ChooseChannelCalType(int32_t channel, int32_t type);
// Active steps 1-8; sets CALTYPE -1.
int32_t SetChannelActiveStates(int32_t channel, int32_t count);
// State `index` (0-7) to a state code 0-12; sets CALTYPE -1.
int32_t SetChannelState(int32_t channel, int32_t index, int32_t code);
// The engineering value of state `index` from its field.
int32_t SetChannelEU(int32_t channel, int32_t index, const char* text);

// ---- external commands --------------------------------------------------------------------
constexpr int32_t kMaxCommandDelay = 3600000;  // one hour, in ms
// Row k (0-9) of the external-command dialog: name (24 characters at most),
// command text (49 at most) and delay (-1 = the operator acknowledges, or
// 0 to kMaxCommandDelay ms).  All or nothing.
int32_t SetCalCommand(int32_t k, const char* name, const char* command, const char* delay);

// ---- procedures -----------------------------------------------------------------------------
int32_t SetCalTypeName(int32_t type, const char* name);  // 49 characters at most
int32_t SetCalTypeSteps(int32_t type, int32_t count);    // 1-8
// Step `index` (0-7): state code 0-12, external command -1 (none) or 0-9.
int32_t SetCalTypeStep(int32_t type, int32_t index, int32_t code, int32_t command);
