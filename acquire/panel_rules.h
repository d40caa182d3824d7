// The rules of the record and playback control panel: what Play, Record,
// Stop and the replay buttons do, and how the engine's notifications change
// the sampling state.  The panel window paints what is kept here.
#pragma once

#include <cstdint>

// Buttons, left to right.
enum PanelButton : int32_t {
    kButtonPlay,
    kButtonPause,
    kButtonStop,
    kButtonBegin,
    kButtonRewind,
    kButtonFastForward,
    kButtonEnd,
    kButtonRecord,
    kPanelButtons
};

// Panel states of the painter: 0-3 the play modes, 4 paused, 5 stopped.
constexpr int32_t kPanelPaused = 4;
constexpr int32_t kPanelStopped = 5;

struct PanelView {
    bool ButtonOn[kPanelButtons];
    const char* Status;     // "NOT SAMPLING", "PREVIEWING", "RECORDING", "PLAYING >>" ...
    uint32_t StatusColor;   // Windows RGB
    bool LampStart;         // lamp S on
    bool LampTrigger;       // lamp T on
    bool ElapsedChanged;    // the time display must be redrawn
};
extern PanelView sPanelView;

extern bool bPaused;
extern int32_t nPlayMode;  // 0 forward, 1 fast forward, 2 reverse, 3 fast reverse

// Shows panel state 0-5 (buttons and status).
void PaintPanelState(int32_t state);

// Play released.  1 when previewing started.
int32_t PanelPlay();
// Record released.
void PanelRecord();
// Stop released (always acts).
void PanelStop();
// Pause, Begin, Rewind, Fast forward, End released.
void PanelReplayButton(int32_t button);

// A notification of the engine (0x300, 0x301, 0x302, 0x304).
void PanelNotification(uint32_t message);

// Commands refused while previewing or recording, because they would change
// the scan table, the test, the calibration or the data file under a running
// acquisition (the frame greys them as well).
bool CommandBlockedWhileSampling(int32_t commandId);
// Whether any sampling runs that blocks them.
bool SamplingBlocksCommands();

// Stops everything before the program ends: waits for the read, stops the
// DDS, closes the raw file.
void StopSamplingForExit();

// Back to start-up (tests).
void ResetPanel();
