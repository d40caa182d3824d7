// Process-wide run-time flags of the program, shared by the shell, the settings
// and the acquisition code.  Plain globals on the window thread; no locks.
#pragma once

#include <cstdint>

// Either test-changed flag requests one change broadcast; both are cleared
// when it is sent.
extern bool bTestChanged;
extern bool bTestChanged2;

extern bool bPlaying;      // a recorded file is being replayed
extern bool bStopRequest;  // sampling or replay must end: broadcast stop
extern bool bRecording;    // owned by the acquisition engine
extern bool bPreviewing;   // owned by the control panel

extern bool bSimulator;         // displays show generated signals
extern bool bNoHardware;        // the control library could not be loaded
extern bool bClientMode;        // values come from a network server
extern bool bServeData;         // the CVT is served to client stations
extern bool bRemoteControlled;  // a supervisor drives the program over pipes
extern bool bAppendMode;        // recordings append to the raw file

extern bool bTestOpen;
extern bool bTestSaved;

// Written by the acquisition engine, read by the idle loop.
extern uint32_t dwWaitThreshold;  // ms
extern uint32_t dwLastBlockStart;  // ms

// Channel input mode (-1 = none chosen, 0-11) and the channel whose scale
// factor a calibration mode saves and the transducer mode restores.
extern int32_t nInputMode;
extern int32_t nSelectedChannel;
extern double dSavedScaleFactor;
// The channel whose scale factor an excitation mode forced to 1.0 and the
// way back to Transducer must restore, sampling or not; -1 = none.
extern int32_t nForcedScaleChannel;

// Command-line start.
extern char szCommandLineTest[260];
extern bool bCommandLineStart;

// Status word of the remote-control command loop; failure sites set and clear
// its bits while remote-controlled.
extern uint32_t dwRemoteStatus;

// Set when channel and scan parameters have reached the front end.
extern bool bParametersDownloaded;

// Replay delay of the control panel, ms.
extern uint32_t dwReplayDelay;
