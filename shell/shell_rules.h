// The rules behind the frame's commands and its message loop, kept apart from
// the window code so tests can reach them.
#pragma once

#include <cstdint>
#include <string>

// ---- commands ----------------------------------------------------------------------
// True for the ids of the frame's command table (shell/command_ids.h); other
// WM_COMMAND ids go to the active display.
bool IsMenuCommand(int32_t id);

// A menu item's text as the operator reads it: without the "&" of its access
// key ("&&" is a plain "&"), a trailing "..." and surrounding blanks.
std::string MenuItemName(const char* menuText);
// The note for a command whose part is not built yet:
// "<name> Is Not Available In This Version".
std::string NotAvailableText(const char* menuText);

// ---- channel input mode ---------------------------------------------------------
// Mode code of an input-mode command id (144, 167, 156-165), or -1.
int32_t InputModeOfCommand(int32_t commandId);
// Command id of a mode code 0-11, or -1.
int32_t CommandOfInputMode(int32_t mode);
// Applies the choice of mode to the selected channel's scale factor (its
// GainField) and the current mode (nInputMode, nSelectedChannel,
// dSavedScaleFactor, nForcedScaleChannel).  A calibration mode saves the
// factor; an excitation mode also forces it to 1.0, and every way back to
// Transducer restores a forced factor, sampling or not.  Otherwise
// Transducer restores only while recording or previewing.
void SelectInputMode(int32_t mode);

// ---- simulator ---------------------------------------------------------------------
// Toggles simulator mode (it stays on while the no-hardware flag is set) and
// returns the control panel caption that goes with the new state.
const char* ToggleSimulator();
// Caption of the control panel at creation (two blanks before the mode word).
const char* StartupPanelCaption();
// Caption after start-up or a toggle, for the current mode.
const char* PanelCaption();

// ---- screen files ------------------------------------------------------------------
// The chosen save-file path with its extension made ".dsw".
std::string ScreenFilePath(const std::string& chosenPath);
// Turns a string-table filter ("A|*.a|") into the dialog's form by replacing
// every occurrence of its last character with NUL; false when it is empty or
// longer than 256 characters.
bool MakeFileFilter(const char* text, std::string* filter);

// ---- message loop ------------------------------------------------------------------
// The broadcasts and panel repaint of one idle pass, in the order they happen.
enum class IdleStep {
    Change,        // the test changed (either test-changed flag)
    Play,          // a replay step
    PanelStopped,  // the replay ended in that step: show the panel stopped
    Stop,          // sampling or replay stopped
    Update,        // repaint from the current values
};
// Runs one idle pass: calls `step` for every broadcast due, in the fixed
// order change, play (then panel and stop when the play step ended the
// replay), stop request, update (decided on the clock as it reads after the
// others).  Clears the flags it consumes; a stop request also ends a replay.
// Returns true when it asked for an update.
bool RunIdlePass(void (*step)(IdleStep));
// The two decisions inside it: a change broadcast is due (clears both
// flags), and an update is due at `now`.
bool IdleWantsChange();
bool IdleWantsUpdate(uint32_t now);
// How long the loop may wait for a message after an idle pass: bounded by the
// next moment the acquisition pump or a display refresh is due.  Displays
// refresh only when there are any and their values can change.
uint32_t IdleWaitMs(uint32_t now, uint32_t lastUpdate, uint32_t pumpBudgetMs, bool haveDisplays);
constexpr uint32_t kDisplayRefreshMs = 20;   // matches the CVT refresh period
constexpr uint32_t kIdleWaitCapMs = 100;

// ---- external programs --------------------------------------------------------------
// Command line of the database editor started on the test.
std::string AccessCommandLine(const char* accessPath, const char* testPath);

// Command line of the Notepad button: the Windows directory's notepad.exe on
// the test's text file (its data-file name with ".txt").  False when the test
// path names no file or the name does not fit.
bool NotepadCommandLine(const char* windowsDir, const char* testPath, std::string* commandLine);

// The analysis program's command first writes its file set, except without
// the front end (nothing recorded to export).
enum class AnalysisFiles { Written, Skipped, Failed };
AnalysisFiles PrepareAnalysisFiles();

// ---- autobalance ---------------------------------------------------------------------
enum class AutobalanceResult { Balanced, Failed };
// Balances every scanned block-0 channel with autobalance enabled through
// `balance` (AutobalanceChannel by default).  Failed comes with the failing
// list "CHANNELS NOT AUTOBALANCING:: 3 7" (`failures` may be null when no
// summary is shown).
// Without hardware it waits 3 s and reports Balanced.  Remote-controlled, a
// balance without failures reports code 27.
AutobalanceResult AutobalanceScannedChannels(std::string* failures,
                                             int32_t (*balance)(int32_t) = nullptr);

// ---- exit -------------------------------------------------------------------------------
// The exit questions and the work that follows an answer; returns true when the
// program is to end (the caller then posts the quit message).  `saveTest`
// saves the open test when the operator asks for it (SaveTest by default).
bool RunExitSequence(int32_t (*saveTest)() = nullptr);
// Unloads a library until the loader holds no further reference.
void ReleaseLibrary(void** library);
