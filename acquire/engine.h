// The acquisition engine: keeps exactly one asynchronous read of a whole
// transfer outstanding on the DDS, alternates between the two transfer
// buffers, checks every completed transfer, starts and stops recordings on
// their trigger conditions, appends transfers to the raw file, carries out
// the output actions requested while sampling, restarts the DDS after a lost
// sync word, an overflow or a time-out, and refreshes the CVT every 20 ms
// from the newest transfer.
//
// It has no thread: the message loop calls AcquisitionPump after every pass
// and the remote-control loop calls AcquisitionBlockStep itself.
#pragma once

#include <cstdint>

#include "testmodel/model.h"

// Private messages to the control panel.
constexpr uint32_t kPanelInputsChanged = 0x300;
constexpr uint32_t kPanelRecordingStopped = 0x301;
constexpr uint32_t kPanelRecordingStarted = 0x302;
constexpr uint32_t kPanelTransferDone = 0x304;

// Where the engine's panel messages go.  The panel window installs a sender
// that posts them to itself; without one they reach PanelNotification of the
// panel's rules directly (tests, tools).
using PanelSink = void (*)(uint32_t message);
void SetPanelSink(PanelSink sink);
void SendPanelMessage(uint32_t message);

struct EngineState {
    uint32_t BlockCounter;     // transfers completed since the last initialisation
    uint32_t TransferBytes;    // 2 x W x S
    uint32_t ScanBytes;        // 2N + 16
    double TransferSeconds;    // S x blocks / rate
    int32_t PeriodMs;          // P, at least 1
    int32_t LagMs;
    uint32_t LastCvtUpdate;    // ms
    uint32_t CvtScanIndex;
    double ElapsedSeconds;     // of the current recording (or preview)
    int32_t TriggerHigh, TriggerLow, StartHigh, StartLow;
    int32_t TriggerEdge, StartEdge;  // an edge was seen in the last transfer
    int32_t FirstInputEvaluation;
    int32_t InputPosition;     // byte offset of the start-and-trigger word, -1 = not scanned
    int32_t OutputEventFired[kDigitalOuts][4];
    bool ReadOutstanding;      // an ibrda has been started and not yet waited for
    bool RecoveryRestart;      // the next initialisation follows a restart, not a start
    bool Com2OpenReported;     // "Could Not Open COM2" already shown this session
    uint32_t ReadsStarted;     // for the tests: every ibrda the engine issued
};
extern EngineState sEngine;

// Requests of the output Parts, carried out after the next transfer.
extern bool bDriveDacsRequest;
extern bool bStopDacsZeroRequest;
extern bool bStopDacsLevelRequest;
extern bool bDigitalOutRequest;
extern int32_t nDigitalOutLine;
extern int32_t nDigitalOutState;
extern bool bInputModeRequest;

// Digital-input channel being watched (-1 none) and its last word.
extern int32_t nWatchedChannel;
extern int32_t nDigitalInputValue;

// The last run-and-point text read from COM2 ("INVALID" after a failed read).
extern char szRunAndPoint[128];

// Called by the message loop after every pass.  Returns 0 at once unless the
// DDS is running and the pump is not already active.
int32_t AcquisitionPump();
// How long the loop may sleep before the pump has work (0xFFFFFFFF: none).
// A client station polls its mailslots every kClientPollMs.
constexpr uint32_t kClientPollMs = 10;
uint32_t AcquisitionBudgetMs(uint32_t now);

// One step of the engine; 1 normally, 0 when a restart failed at its upload
// command.
int32_t AcquisitionBlockStep();

// Elapsed time 0, recording on, previewing off, the raw file (re)opened and
// the panel told.  0 when the raw file cannot be opened: then nothing is
// recorded, the failure is shown (or reported) and sampling goes on previewing.
int32_t StartRecording();

// Ends sampling from inside the engine when the DDS cannot go on: DDS running
// cleared and the panel told, so it closes the file and shows the stop.
void EndSampling();

// Waits for the outstanding read, if any, so the DDS can be addressed.
void WaitForOutstandingRead();

// The newest completed transfer buffer.
const uint16_t* NewestTransfer();

// Refreshes the CVT from scan CvtScanIndex of the newest transfer.
void RefreshCvt();

// Back to start-up state (tests).
void ResetEngine();
