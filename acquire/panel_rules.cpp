#include "acquire/panel_rules.h"

#include <cstdio>
#include <cstring>

#include "acquire/dds_control.h"
#include "acquire/engine.h"
#include "acquire/raw_file.h"
#include "acquire/run_and_point.h"
#include "base/app_state.h"
#include "hardware/channel_download.h"
#include "hardware/gpib_access.h"
#include "outputs/dac_outputs.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "shell/shell_rules.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

PanelView sPanelView = {};
bool bPaused = false;
int32_t nPlayMode = 0;

namespace {

constexpr uint32_t kYellow = 0x0000FFFF;  // RGB(255, 255, 0)
constexpr uint32_t kGreen = 0x0000FF00;
constexpr uint32_t kRed = 0x000000FF;

void Show(const char* status, uint32_t colour) {
    sPanelView.Status = status;
    sPanelView.StatusColor = colour;
}

void Button(int32_t button, bool on) { sPanelView.ButtonOn[button] = on; }

// The download question of Play and Record.  Parameters count as downloaded
// only when both downloads succeeded; otherwise the next start asks again.
void OfferDownload() {
    if (bParametersDownloaded || bClientMode) return;
    if (PlatformMessageBox("Do You Want To Download The New Parameters?",
                           "Scanlist Or Channel Parameters Not Downloaded",
                           MB_YESNO_) != IDYES_)
        return;
    const int32_t channels = DownloadChannelSettings();
    const int32_t scanList = DownloadScanTable();
    if (PlatformMessageBox("Do You Want To Autobalance Channels?",
                           "Autobalance Might Be Affected By New Parameters",
                           MB_YESNO_) == IDYES_) {
        PlatformBeginWaitCursor();
        AutobalanceScannedChannels(nullptr);
        PlatformEndWaitCursor();
    }
    if (channels == 1 && scanList == 1) bParametersDownloaded = true;
}

bool ScanListMissing() {
    if (bClientMode) return false;
    TransferLayout layout;
    if (nScansPerTransfer >= 1 && DownloadedTransferLayout(&layout)) return false;
    PlatformMessageBox("You Have Not Properly Downloaded A ScanList Please Do So First",
                       "Potential Fatal Error", MB_OK_);
    return true;
}

// Stops the DDS once the engine's read has ended, so the stop command never
// meets an outstanding read.
void StopDdsAfterRead(bool checkResponse) {
    if (!nDDSRunning) return;
    if (bClientMode) {
        nDDSRunning = 0;
        return;
    }
    WaitForOutstandingRead();
    if (!bSimulator && checkResponse) CheckDDSResponse();
    StopDDS();
    if (bSimulator) nDDSRunning = 0;
}

// Commands greyed while previewing, refused as well while recording.
constexpr int32_t kBlockedRanges[][2] = {
    {100, 101}, {103, 105}, {107, 111}, {113, 119}, {121, 121}, {123, 124}, {126, 126},
    {128, 128}, {133, 143}, {170, 170}, {172, 173}, {176, 177}, {181, 182}, {194, 199},
    {203, 205}, {209, 214}, {216, 216},
};

}  // namespace

void PaintPanelState(int32_t state) {
    for (int32_t b = kButtonPause; b <= kButtonEnd; ++b) Button(b, false);
    switch (state) {
    case 0:
        Button(kButtonFastForward, true);
        Show("PLAYING >>", kGreen);
        break;
    case 1:
        Button(kButtonEnd, true);
        Show("PLAYING >>>>", kGreen);
        break;
    case 2:
        Button(kButtonRewind, true);
        Show("<< PLAYING", kGreen);
        break;
    case 3:
        Button(kButtonBegin, true);
        Show("<<<< PLAYING", kGreen);
        break;
    case kPanelPaused:
        Button(kButtonPause, true);
        Show("PAUSED", kYellow);
        break;
    default:
        Show("NOT SAMPLING", kYellow);
        return;
    }
    Button(kButtonStop, true);
}

int32_t PanelPlay() {
    if (bRecording || bPlaying || bPreviewing || bPaused) return 0;
    OfferDownload();
    if (ScanListMissing()) return 0;
    Button(kButtonPlay, true);
    Button(kButtonStop, true);
    Show("PREVIEWING", kGreen);
    int32_t ok = 1;
    if (bClientMode)
        nDDSRunning = 1;
    else
        ok = StartDDS();
    if (ok) {
        bPreviewing = true;
        return 1;
    }
    Button(kButtonPlay, false);
    Button(kButtonStop, false);
    CloseRawFile();
    Show("NOT SAMPLING", kYellow);
    return 0;
}

void PanelRecord() {
    if (bRecording && !bClientMode) {
        bPlaying = bPreviewing = bRecording = bPaused = false;
        StopDdsAfterRead(true);
        Button(kButtonRecord, false);
        Button(kButtonStop, false);
        Show("NOT SAMPLING", kYellow);
        CloseRawFile();
        return;
    }
    if (nTriggerState != 0) {
        PlatformMessageBox("Trigger State Is Not Via Control Panel",
                           "Change Trigger State To Record Via Control Panel", MB_OK_);
        return;
    }
    if (bPlaying || bPreviewing || bPaused || bRecording) return;
    OfferDownload();
    if (ScanListMissing()) return;
    Button(kButtonRecord, true);
    Button(kButtonStop, true);
    Show("RECORDING", kRed);
    if (bCom2RunAndPoint && (Com2IsOpen() || OpenCom2(true))) {
        PlatformMessageBox("Press OK When Run Number Is Available On COM2", "Waiting On Run Number",
                           MB_OK_);
        for (;;) {
            ReadRunAndPoint();
            const int32_t answer =
                PlatformMessageBox(szRunAndPoint, "Is This The Correct Run And Point Number From COM2",
                                   MB_YESNOCANCEL_);
            if (answer == IDYES_) break;
            if (answer == IDCANCEL_) {
                snprintf(szRunAndPoint, sizeof szRunAndPoint, "INVALID");
                break;
            }
        }
    }
    if (nDDSRunning && !bClientMode) StopDdsAfterRead(true);
    CloseRawFile();
    int32_t ok = 1;
    if (bClientMode || bSimulator) {
        nDDSRunning = 1;
        bRecording = true;
    } else if (!OpenRawFile(bAppendMode)) {
        ReportRawFileFailure(kRawFileOpenFailed);
        ok = 0;
    } else {
        bRecording = true;
        const bool remote = bRemoteControlled;
        bRemoteControlled = false;  // the panel's start always shows its failures
        ok = StartDDS();
        bRemoteControlled = remote;
    }
    if (!ok) {
        Button(kButtonRecord, false);
        Button(kButtonStop, false);
        CloseRawFile();
        Show("NOT SAMPLING", kYellow);
        bRecording = false;
        return;
    }
    if (lpQuickPlots) lpQuickPlots->Prepared = 0;
}

void PanelStop() {
    Button(kButtonStop, false);
    bPaused = false;
    if (bRecording) {
        Button(kButtonRecord, false);
        CloseRawFile();
    }
    if (bPreviewing) Button(kButtonPlay, false);
    bPlaying = false;
    bStopRequest = true;
    PaintPanelState(kPanelStopped);
    bPreviewing = false;
    bRecording = false;
    StopDdsAfterRead(true);
}

void PanelReplayButton(int32_t button) {
    if (bRecording || bPreviewing) return;
    int32_t mode = -1;
    switch (button) {
    case kButtonBegin: mode = 3; break;
    case kButtonRewind: mode = 2; break;
    case kButtonFastForward: mode = 0; break;
    case kButtonEnd: mode = 1; break;
    case kButtonPause:
        if (bPaused) {
            PaintPanelState(nPlayMode);
            bPlaying = true;
            bPaused = false;
        } else if (bPlaying) {
            PaintPanelState(kPanelPaused);
            bPlaying = false;
            bPaused = true;
        } else {
            PaintPanelState(kPanelStopped);
        }
        return;
    default:
        return;
    }
    bPlaying = true;
    nPlayMode = mode;
    PaintPanelState(mode);
    bPaused = false;
}

void PanelNotification(uint32_t message) {
    switch (message) {
    case kPanelInputsChanged:
        sPanelView.LampStart = sEngine.StartHigh != 0;
        sPanelView.LampTrigger = sEngine.TriggerHigh != 0;
        break;
    case kPanelRecordingStopped:
        Button(kButtonStop, false);
        Show("NOT SAMPLING", kYellow);
        if (bRecording) {
            Button(kButtonRecord, false);
            CloseRawFile();
        }
        if (bPreviewing) Button(kButtonPlay, false);
        if (bPlaying) Button(kButtonFastForward, true);
        bPlaying = bPreviewing = bRecording = false;
        if (nDDSRunning) {
            StopDdsAfterRead(false);
            StopAllDacs(true);
        }
        break;
    case kPanelRecordingStarted:
        Button(kButtonPlay, false);
        Button(kButtonRecord, true);
        Button(kButtonStop, true);
        Show("RECORDING", kRed);
        break;
    case kPanelTransferDone:
        sPanelView.ElapsedChanged = true;
        break;
    default:
        break;
    }
}

bool SamplingBlocksCommands() { return bPreviewing || bRecording; }

bool CommandBlockedWhileSampling(int32_t commandId) {
    for (const auto& r : kBlockedRanges)
        if (commandId >= r[0] && commandId <= r[1]) return true;
    return false;
}

void StopSamplingForExit() {
    if (!nDDSRunning && !bRecording && !bPreviewing && !RawFileIsOpen()) return;
    bPlaying = bPreviewing = bRecording = bPaused = false;
    StopDdsAfterRead(true);
    CloseRawFile();
}

void ResetPanel() {
    sPanelView = PanelView{};
    PaintPanelState(kPanelStopped);
    bPaused = false;
    nPlayMode = 0;
}
