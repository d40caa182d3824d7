// Portable: the remote-control command loop over the supervisor's pipes.
#include "acquire/remote_loop.h"

#include <cstdio>
#include <cstring>

#include "acquire/dds_control.h"
#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/raw_file.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "base/data_file_name.h"
#include "base/status_report.h"
#include "hardware/channel_download.h"
#include "hardware/gpib_access.h"
#include "hardware/q90_library.h"
#include "network/remote_pipes.h"
#include "outputs/dac_outputs.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

RemoteLoopState sRemote = {};

namespace {

RemoteLoopUi g_ui = {nullptr, nullptr};
uint32_t g_lastCommandMs = 0;
// After a command the loop looks for the next one every millisecond for this long.
constexpr uint32_t kRemoteBusyWindowMs = 50;

struct CommandName {
    const char* text;
    int32_t code;
    int32_t digits;  // of a prefix command; 0 = plain
};

constexpr CommandName kCommands[] = {
    {"RD", kCmdRD, 0}, {"DR", kCmdDR, 0}, {"IT", kCmdIT, 0}, {"SS", kCmdSS, 0},
    {"ST", kCmdST, 0}, {"MD", kCmdMD, 0}, {"DM", kCmdDM, 0}, {"GS", kCmdGS, 0},
    {"UW", kCmdUW, 0}, {"RL", kCmdRL, 0}, {"DT", kCmdDT, 0}, {"AB", kCmdAB, 0},
    {"AO", kCmdAO, 0}, {"AA", kCmdAA, 0}, {"RO", kCmdRO, 0}, {"RZ", kCmdRZ, 0},
    {"HO", kCmdHO, 0}, {"BS", kCmdBS, 0}, {"DF", kCmdDF, 0},
    {"RI", kCmdRI, 7}, {"SC", kCmdSC, 7}, {"RT", kCmdRT, 5}, {"AD", kCmdAD, 5}, {"WI", kCmdWI, 5},
};

bool Sampling() { return (dwRemoteStatus & kRemoteSamplingBit) != 0; }
bool Initialised() { return (dwRemoteStatus & kRemoteInitialisedBit) != 0; }

void SetError(uint32_t code) { dwRemoteStatus |= kRemoteErrorFlag | (code << 16); }

void Wait(uint32_t ms) {
    if (g_ui.wait)
        g_ui.wait(ms);
    else
        PlatformSleep(ms);
}

void SendFixed(PlatformPipe pipe, const char* text) {
    char message[kRemoteReplyBytes] = {};
    snprintf(message, sizeof message, "%s", text);
    PlatformPipeWrite(pipe, message, sizeof message);  // write errors are ignored
}

void Reply() {
    char text[32];
    snprintf(text, sizeof text, "%d", static_cast<int32_t>(dwRemoteStatus));
    SendFixed(hListenPipe, text);
}

bool ChannelScanned(int32_t channel) {
    if (channel < 0 || channel >= kChannels || lpProgScanList == nullptr) return false;
    const uint32_t used = UsedScanEntries();
    for (uint32_t p = 0; p < used; ++p)
        if (lpProgScanList->Entry[p].CHANNEL == static_cast<uint32_t>(channel)) return true;
    return false;
}

// The raw file of the run: the first open after "IT" starts it afresh, later
// ones (after "DR" in the same run) append, so nothing recorded is lost.
bool OpenRemoteRawFile() {
    if (RawFileIsOpen()) return true;
    const bool append = !sRemote.TruncateNextOpen;
    if (!OpenRawFileNamed(sRemote.RawFileName, append)) return false;
    sRemote.TruncateNextOpen = false;
    return true;
}

void ResetEdgeStates() {
    sEngine.TriggerHigh = sEngine.StartHigh = 0;
    sEngine.TriggerLow = sEngine.StartLow = 1;
    sEngine.TriggerEdge = sEngine.StartEdge = 0;
    sEngine.FirstInputEvaluation = 1;
}

// Stops sampling the way "ST" does: waits for the outstanding read, checks
// and stops the DDS, closes the raw file.
void StopRemoteSampling() {
    dwRemoteStatus &= ~kRemoteSamplingBit;
    ResetEdgeStates();
    StopSamplingForExit();
    CloseRawFile();
    bRecording = bPreviewing = false;
}

// The edges the engine saw in its last transfer, as events.
void SendEdgeEvents() {
    if (sEngine.TriggerEdge) SendFixed(hTalkPipe, sEngine.TriggerHigh ? "RU" : "RD");
    if (sEngine.StartEdge) SendFixed(hTalkPipe, sEngine.StartHigh ? "SU" : "SD");
}

// Whether the last block step ended the recording by its own stop condition
// (timed, or on an input edge) rather than by a failure.
bool StoppedByCondition() {
    if (nRecordingType == 1 && sEngine.ElapsedSeconds > static_cast<double>(nRecordingTime)) return true;
    return nRecordingType >= 2 && nRecordingType <= 5 && (sEngine.StartEdge || sEngine.TriggerEdge);
}

void BlockStep() {
    if (bSimulator) return;  // no front end: the displays generate their signals
    // The edge flags are set only by a transfer whose inputs were evaluated
    // in this step; a step that collected none, or stopped a timed recording
    // before the evaluation, has no news.
    sEngine.TriggerEdge = sEngine.StartEdge = 0;
    AcquisitionBlockStep();
    SendEdgeEvents();
}

// The newest word of a scanned channel (0 before the first transfer).
int32_t NewestWord(int32_t channel) {
    if (lpsChannelParams == nullptr || sEngine.BlockCounter == 0) return 0;
    const int32_t pos = lpsChannelParams->ScanPosition[channel];
    if (pos < 0 || static_cast<uint32_t>(pos) + 2 > sEngine.TransferBytes) return 0;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(NewestTransfer());
    return static_cast<uint16_t>(bytes[pos] | (bytes[pos + 1] << 8));
}

// The DAC set-up of the run; 1 done, 0 failed (reported as code 36 and
// error 14).
int32_t SetUpDacs() {
    const int32_t r = SetupRemoteDacs(&sRemote.Operation);
    if (r == 0) {
        ReportStatus(-1, 36);
        SetError(kRemoteDacSetup);
    }
    return r;
}

void AutobalanceRemote() {
    if (lpProgScanList == nullptr || lpsChannelParams == nullptr) return;
    bool done[kChannels] = {};
    bool allBalanced = true;
    const uint32_t used = UsedScanEntries();
    for (uint32_t p = 0; p < used; ++p) {
        const uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c >= static_cast<uint32_t>(kChannels) || done[c]) continue;
        done[c] = true;
        const uint32_t type = lpsChannelParams->CARDTYPE[c];
        const bool balances = type == 4 || type == 5 || type == 7 || type == 8 || type == 9;
        if (balances && lpsChannelParams->AUTOBALANCEENABLE[c] && !AutobalanceChannel(static_cast<int32_t>(c)))
            allBalanced = false;
    }
    if (allBalanced) ReportStatus(-1, kStatusChannelsAutobalanced);
}

// "RZ" and a broken command pipe: close, show the cancel window, reconnect.
void Reconnect() {
    CloseRemoteConnection();
    if (g_ui.showCancelWindow) g_ui.showCancelWindow(true);
    if (!OpenRemoteConnection()) sRemote.EndLoop = true;
    if (g_ui.showCancelWindow) g_ui.showCancelWindow(false);
}

bool Allowed(int32_t code) {
    switch (code) {
    case kCmdIT: case kCmdAB: case kCmdAO: case kCmdAA: case kCmdDF: return !Sampling();
    case kCmdSS: case kCmdDT: return Initialised() && !Sampling();
    case kCmdST: return Sampling();
    case kCmdUW:
        return !Sampling() && (dwRemoteStatus & (kRemoteInitialisedBit | kRemoteRecordBit)) != 0;
    default: return true;
    }
}

bool IsPrefix(int32_t code) {
    return code == kCmdRI || code == kCmdSC || code == kCmdRT || code == kCmdAD || code == kCmdWI;
}

}  // namespace

RemoteCommand DecodeRemoteMessage(const char* message, uint32_t length) {
    RemoteCommand cmd = {kCmdUnknown, 0};
    if (message == nullptr) return cmd;
    uint32_t n = 0;
    while (n < length && message[n] != '\0') ++n;
    if (n < 2) return cmd;
    for (const CommandName& c : kCommands) {
        if (message[0] != c.text[0] || message[1] != c.text[1]) continue;
        if (n == 2) {
            if (c.digits == 0) cmd.Code = c.code;
            return cmd;
        }
        if (c.digits == 0) return cmd;
        // The number as a decimal of at most `digits` characters.
        const uint32_t end = 2 + static_cast<uint32_t>(c.digits) < n ? 2 + c.digits : n;
        uint32_t i = 2;
        bool negative = false;
        if (i < end && (message[i] == '-' || message[i] == '+')) negative = message[i++] == '-';
        int32_t value = 0;
        while (i < end && message[i] >= '0' && message[i] <= '9') value = value * 10 + (message[i++] - '0');
        cmd.Code = c.code;
        cmd.Number = negative ? -value : value;
        return cmd;
    }
    return cmd;
}

void SetRemoteLoopUi(const RemoteLoopUi* ui) { g_ui = ui ? *ui : RemoteLoopUi{nullptr, nullptr}; }

RemoteCommand ReadRemoteCommand() {
    uint32_t available = 0, left = 0;
    if (!PlatformPipePeek(hListenPipe, &available, &left)) return {kCmdRZ, -1};
    // An empty message ahead of others still has to be taken off the pipe.
    if (left == 0 && available == 0) return {kCmdNone, 0};
    char message[kRemoteMessageBytes + 1] = {};
    bool more = false;
    const int32_t n = PlatformPipeRead(hListenPipe, message, kRemoteMessageBytes, &more);
    if (n < 0) return {kCmdRZ, -1};
    // The rest of an over-long message is part of it, not a next command.
    char rest[kRemoteMessageBytes];
    while (more && PlatformPipeRead(hListenPipe, rest, sizeof rest, &more) >= 0) {
    }
    RemoteCommand cmd = DecodeRemoteMessage(message, static_cast<uint32_t>(n));
    // A message too long to be a command is refused whatever it begins with.
    if (static_cast<uint32_t>(n) == kRemoteMessageBytes && message[kRemoteMessageBytes - 1] != '\0')
        cmd.Code = kCmdUnknown;
    return cmd;
}

void PerformRemoteCommand(const RemoteCommand& command) {
    const int32_t code = command.Code;
    if (code == kCmdUnknown) {
        SetError(kRemoteUnknown);
        Reply();
        return;
    }
    // A broken pipe (Number -1) reconnects without a reply.
    if (code == kCmdRZ && command.Number == -1) {
        if (Sampling()) StopRemoteSampling();
        CloseRawFile();
        dwRemoteStatus = 0;
        Reconnect();
        return;
    }
    sRemote.LastCode = code;
    if (!Allowed(code)) {
        SetError(kRemoteNotAllowed);
        Reply();
        return;
    }
    if (!IsPrefix(code) && code != kCmdAB) dwRemoteStatus &= ~kRemoteErrorBits;

    switch (code) {
    case kCmdRD:
        dwRemoteStatus |= kRemoteRecordBit;
        if (Sampling() && !bRecording) {
            if (OpenRemoteRawFile()) {
                sEngine.ElapsedSeconds = 0.0;
                bRecording = true;
                bPreviewing = false;
            } else {
                SetError(kRemoteNotAllowed);
            }
        }
        break;
    case kCmdDR:
        dwRemoteStatus &= ~kRemoteRecordBit;
        if (Sampling()) {
            CloseRawFile();
            bRecording = false;
            bPreviewing = true;
        }
        break;
    case kCmdIT: {
        const int32_t flags = LoadOperationFile(&sRemote.Operation, sRemote.TestFile, sizeof sRemote.TestFile);
        dwRemoteStatus = static_cast<uint32_t>(flags & (kOperationRecordToDisk | kOperationMonitorData)) |
                         kRemoteInitialisedBit;
        if (!DataFileName(sRemote.TestFile, ".raw", sRemote.RawFileName, sizeof sRemote.RawFileName))
            sRemote.RawFileName[0] = '\0';
        sRemote.TruncateNextOpen = true;
        const OperationRecord& op = sRemote.Operation;
        nRemoteForwardChannel[0] = op.NumberToMonitor >= 1 ? op.FirstDisplayChannel : -1;
        nRemoteForwardChannel[1] = op.NumberToMonitor >= 2 ? op.SecondDisplayChannel : -1;
        break;
    }
    case kCmdSS:
        dwRemoteStatus |= kRemoteSamplingBit;
        ResetEdgeStates();
        UpdateStartTriggerMasks();
        {
            // The map describes the raw file, so it goes beside it: the
            // operation file's test, not whichever test the program has open.
            char mapName[260];
            BuildScanMapTo(DataFileName(sRemote.TestFile, ".map", mapName, sizeof mapName) ? mapName : nullptr);
        }
        if (dwRemoteStatus & kRemoteRecordBit) {
            if (OpenRemoteRawFile())
                bRecording = true;
            else
                bPreviewing = true;  // the failure shows in the error bits
        } else {
            bPreviewing = true;
        }
        sEngine.ElapsedSeconds = 0.0;
        if (!StartDDS() || (!RawFileIsOpen() && (dwRemoteStatus & kRemoteRecordBit))) {
            // The reason went to the error pipe; nothing may look as if it runs.
            StopRemoteSampling();
            SetError(kRemoteNotAllowed);
        }
        break;
    case kCmdST:
        StopRemoteSampling();
        break;
    case kCmdMD: dwRemoteStatus |= kRemoteForwardBit; break;
    case kCmdDM: dwRemoteStatus &= ~kRemoteForwardBit; break;
    case kCmdGS: break;
    case kCmdUW: SetUpDacs(); break;
    case kCmdRL:
    case kCmdRZ:
        if (Sampling()) StopRemoteSampling();
        CloseRawFile();
        bRecording = bPreviewing = false;
        dwRemoteStatus = 0;
        Reply();
        if (code == kCmdRL) {
            sRemote.EndLoop = true;
            CloseRemoteConnection();
        } else {
            Reconnect();
        }
        return;
    case kCmdDT:
        // A test that did not load leaves the model's defaults, which must
        // never reach the hardware.
        if (!OpenNamedTest(sRemote.TestFile)) {
            SetError(kRemoteNotAllowed);
            break;
        }
        if (DownloadChannelSettings() == 1 && DownloadScanTable() == 1) bParametersDownloaded = true;
        if (sRemote.Operation.TestType != 3) SetUpDacs();
        break;
    case kCmdAB: AutobalanceRemote(); break;
    case kCmdAO:
        sRemote.DriveDacsAtStart = false;
        dwRemoteStatus &= ~kRemoteDriveDacsBit;
        break;
    case kCmdAA:
        sRemote.DriveDacsAtStart = true;
        dwRemoteStatus |= kRemoteDriveDacsBit;
        break;
    case kCmdRO:
        if (Sampling())
            bStopDacsZeroRequest = true;
        else
            StopAllDacs(true);
        break;
    case kCmdHO:
        if (nWatchedChannel >= 0 && nWatchedChannel < kChannels) {
            nFirstScannedChannel = nWatchedChannel;
            BuildScanMapTo(nullptr);
        }
        break;
    case kCmdBS: dwRemoteStatus &= ~kRemoteErrorBits; break;
    case kCmdDF: ApplyDacFilters(&sRemote.Operation); break;
    case kCmdRI: {
        if (!ChannelScanned(command.Number)) {
            nWatchedChannel = -1;
            SetError(kRemoteNotScanned);
            break;
        }
        nWatchedChannel = command.Number;
        int32_t word = 0;
        if (Sampling()) {
            BlockStep();
            word = NewestWord(nWatchedChannel);
        }
        nWatchedChannel = -1;
        char text[48];
        snprintf(text, sizeof text, "%d %d", static_cast<int32_t>(dwRemoteStatus), word);
        SendFixed(hListenPipe, text);
        return;
    }
    case kCmdSC:
        if (!ChannelScanned(command.Number)) {
            nWatchedChannel = -1;
            SetError(kRemoteNotScanned);
        } else {
            nWatchedChannel = command.Number;
        }
        break;
    case kCmdRT:
        nRecordingTime = command.Number < 0 ? 0 : command.Number;
        nRecordingType = 1;
        break;
    case kCmdAD: break;
    case kCmdWI:
        sRemote.DigitalOutValue = command.Number;
        // Without a watched channel there is no line to write.
        if (nWatchedChannel < 0 || nWatchedChannel >= kChannels) {
            SetError(kRemoteNotScanned);
            break;
        }
        if (Sampling()) {
            sRemote.DigitalOutPending = true;
            nDigitalOutLine = nWatchedChannel;
            nDigitalOutState = command.Number;
            bDigitalOutRequest = true;
            BlockStep();
        } else {
            Q90SetDigitalOut(nWatchedChannel, command.Number, 0, 0);
        }
        sRemote.DigitalOutPending = bDigitalOutRequest;
        break;
    default: break;
    }
    Reply();
}

bool RemoteLoopTurn() {
    if (sRemote.EndLoop) return false;
    const RemoteCommand cmd = ReadRemoteCommand();
    if (cmd.Code != kCmdNone) {
        g_lastCommandMs = PlatformTimeMs();
        PerformRemoteCommand(cmd);
        return !sRemote.EndLoop;
    }
    if (Sampling()) {
        if (bRecording || bPreviewing) {
            if (!bSimulator && !nDDSRunning) {
                // The engine gave up on the DDS: end sampling as "ST" does.
                StopRemoteSampling();
                SetError(kRemoteNotAllowed);
                return true;
            }
            if (bSimulator) Wait(kRemoteIdleWaitMs);
            BlockStep();
            if (!bRecording && !bPreviewing && !StoppedByCondition()) {
                StopRemoteSampling();
                SetError(kRemoteNotAllowed);
            } else if (!bRecording && !bPreviewing) {
                dwRemoteStatus &= ~(kRemoteSamplingBit | kRemoteErrorBits);
                CloseRawFile();
            }
            // Sleep only as long as the engine has nothing to do.
            const uint32_t budget = AcquisitionBudgetMs(PlatformTimeMs());
            if (budget > 0 && budget != 0xFFFFFFFFu && !bSimulator)
                Wait(budget < kRemoteIdleWaitMs ? budget : kRemoteIdleWaitMs);
        } else {
            dwRemoteStatus &= ~(kRemoteSamplingBit | kRemoteErrorBits);
        }
        return true;
    }
    // A supervisor sending a series gets its next command taken at once; an
    // idle one costs no CPU.
    Wait(PlatformTimeMs() - g_lastCommandMs < kRemoteBusyWindowMs ? 1 : kRemoteIdleWaitMs);
    return true;
}

void RunRemoteLoop() {
    nRecordingType = 0;
    nRecordingTime = 0;
    dwRemoteStatus = 0;
    sRemote.EndLoop = false;
    bRemoteControlled = true;
    sRemoteForwarding[0].Count = sRemoteForwarding[1].Count = 0;
    while (RemoteLoopTurn()) {
    }
    nRecordingType = 0;
    nRecordingTime = 0;
    bRemoteControlled = false;
}

void ResetRemoteLoop() {
    sRemote = RemoteLoopState{};
    dwRemoteStatus = 0;
    g_ui = RemoteLoopUi{nullptr, nullptr};
    g_lastCommandMs = PlatformTimeMs() - kRemoteBusyWindowMs;
}
