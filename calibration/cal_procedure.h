// Portable: calibration procedures with the external calibration fixture
// (GPIB address 28).  A procedure is one of the 16 calibration types: steps
// of a calibration state each, and before a step optionally one of the 10
// external commands, sent to the fixture and followed by its delay (or the
// operator's acknowledgement).  Every channel whose CALTYPE selects the
// procedure is measured at every step and fitted at the end.
//
// The results change SENSITIVITY and OFFSET at once, so the result list and
// the displays show them; only the kept copy survives the dialog's Exit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calibration/cal_run.h"

// What the procedure dialog does for a run.  Null members are skipped;
// a null acknowledge shows the message box.
struct CalProcedureUi {
    void* context = nullptr;
    void (*clearProgress)(void* context) = nullptr;
    void (*status)(void* context, const char* text) = nullptr;
    // The operator's OK before a step whose delay is below 1 ms.
    void (*acknowledge)(void* context, const char* text, const char* caption) = nullptr;
    // Called while a delay runs, so windows stay alive.
    void (*pump)(void* context) = nullptr;
};

// The external command a step names, or -1: indexes outside 0-9 (a
// database may hold anything) name none.
int32_t StepCommand(int32_t type, int32_t step);
// A command's delay in ms; -1 = the operator acknowledges, which is also
// what a stored delay beyond kMaxCommandDelay (one hour) means.
int32_t CommandDelay(int32_t command);

// Runs procedure `procedure` (1-16).  Returns the number of channels whose
// slope and offset were fitted (0 in simulator mode, where nothing is
// fitted); -1 when the run could not go on (a bad procedure number, or a
// command the fixture did not receive).
int32_t RunCalProcedure(int32_t procedure, const CalProgress& progress, const CalProcedureUi& ui);

// ---- kept values ---------------------------------------------------------------------
// The procedure dialog opens: every channel's SENSITIVITY and OFFSET are
// copied into the kept values.
void TakeKeptCalibration();
enum class KeepChoice { All, Selected, UnSelected, None };
// Copies the current values of all / the selected / the unselected channels
// (`selected`: 256 flags, may be null for All and None) into the kept values.
void KeepCalibration(KeepChoice choice, const bool* selected);
double KeptSensitivity(int32_t channel);
double KeptOffset(int32_t channel);
// Exit: every channel's SENSITIVITY and OFFSET from the kept values, then
// the scan table downloaded again.  Returns the download's result.
int32_t ExitCalProcedures();

// ---- texts -------------------------------------------------------------------------------
// A result line: name, sensitivity "per mV" and offset with their units.
std::string CalResultLine(int32_t channel);
// The channels the result list shows (0 to SYSTEMCHANNELS - 1).
int32_t CalResultChannels();
// The procedure's steps ("Step n: state, command, delay") and then the
// channels that use it, for the details dialog.
std::vector<std::string> CalProcedureDetailLines(int32_t type);
