// The rules behind the frame's commands and its message loop, kept apart from
// the window code so tests can reach them.
#pragma once

#include <cstdint>
#include <string>

// ---- commands ----------------------------------------------------------------------
// True for the ids of the frame's command table; other WM_COMMAND ids go to
// the active display.
bool IsMenuCommand(int32_t id);

// ---- channel input mode ---------------------------------------------------------
// Mode code of an input-mode command id (144, 167, 156-165), or -1.
int32_t InputModeOfCommand(int32_t commandId);
// Command id of a mode code 0-11, or -1.
int32_t CommandOfInputMode(int32_t mode);
// Applies the choice of mode to the selected channel's scale factor and the
// current mode (nInputMode, nSelectedChannel, dSavedScaleFactor).
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
struct IdleBroadcasts {
    bool change;
    bool play;
    bool stopAfterPlay;  // replay ended during the play broadcast
    bool stop;
    bool update;
};
// Decides the broadcasts of one idle pass; `playingAfter` is evaluated after
// the play broadcast.  Clears the flags it consumes.
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

// ---- autobalance ---------------------------------------------------------------------
// Balances every scanned block-0 channel with autobalance enabled; returns
// true when all balanced, else the failing list "CHANNELS NOT AUTOBALANCING:: 3 7".
bool AutobalanceScannedChannels(std::string* failures);

// ---- exit -------------------------------------------------------------------------------
// The exit questions and the work that follows an answer; returns true when the
// program is to end (the caller then posts the quit message).  `saveTest`
// saves the open test when the operator asks for it (SaveTest by default).
bool RunExitSequence(int32_t (*saveTest)() = nullptr);
// Unloads a library until the loader holds no further reference.
void ReleaseLibrary(void** library);
