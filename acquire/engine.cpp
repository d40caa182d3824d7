#include "acquire/engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "acquire/dds_control.h"
#include "acquire/panel_rules.h"
#include "acquire/raw_file.h"
#include "acquire/run_and_point.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "channels/five_b_rules.h"
#include "base/channel_gain.h"
#include "base/status_report.h"
#include "calibration/cal_input_mode.h"
#include "hardware/gpib_access.h"
#include "hardware/q90_library.h"
#include "network/cvt_slices.h"
#include "network/remote_pipes.h"
#include "outputs/dac_outputs.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/system_settings.h"

EngineState sEngine = {};

bool bDriveDacsRequest = false;
bool bStopDacsZeroRequest = false;
bool bStopDacsLevelRequest = false;
bool bDigitalOutRequest = false;
int32_t nDigitalOutLine = -1;
int32_t nDigitalOutState = 0;
bool bInputModeRequest = false;
int32_t nWatchedChannel = -1;
int32_t nDigitalInputValue = 0;
char szRunAndPoint[128] = "";

namespace {

PanelSink g_panelSink = nullptr;
bool g_pumpBusy = false;

// Remote status bit under which the supervisor wants samples forwarded.
constexpr uint32_t kRemoteForwardBit = 0x8;

uint16_t* Buffer(uint32_t index) { return index == 0 ? lpucNewData0 : lpucNewData1; }

// A failure of the engine: the box, or the status line while remote-controlled.
void Report(const char* text, const char* caption, int32_t code) { ReportFailure(text, caption, MB_OK_, code); }

int16_t SampleAt(const uint8_t* bytes, uint32_t offset) {
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8)));
}

bool SendDds(const char* text) {
    Send(kGpibBoard, kDdsAddress, text, static_cast<int32_t>(strlen(text)), kNLend);
    return (ibsta & ERR_) == 0;
}

// Starts the one read the engine keeps outstanding.
bool StartRead(uint32_t bufferIndex) {
    ibrda(nDDSDevice, Buffer(bufferIndex), static_cast<int32_t>(sEngine.TransferBytes));
    if (ibsta & ERR_) return false;
    sEngine.ReadOutstanding = true;
    ++sEngine.ReadsStarted;
    return true;
}

int32_t ComputePeriodMs() {
    const double rate = dSampleRate;
    const double blocks = lpProgScanList ? lpProgScanList->BlockCount : 0;
    double p = blocks / rate * sTransferLayout.Scans * 1000.0;
    if (!std::isfinite(p) || p < 1.0) return 1;
    if (p > 2.0e9) return 2000000000;
    return static_cast<int32_t>(p);
}

int32_t FindInputPosition() {
    if (lpProgScanList == nullptr || nStartAndTriggerChannel < 0 ||
        nStartAndTriggerChannel >= kChannels)
        return -1;
    const uint32_t used = std::min<uint32_t>(UsedScanEntries(), sTransferLayout.EntryCount);
    for (uint32_t p = 0; p < used; ++p)
        if (lpProgScanList->Entry[p].CHANNEL == static_cast<uint32_t>(nStartAndTriggerChannel))
            return 16 + 2 * static_cast<int32_t>(p);
    return -1;
}

void Initialise(uint32_t now) {
    sEngine.CvtScanIndex = 0;
    if (!sEngine.RecoveryRestart) {
        // A restart after a fault goes on with the same recording: its timed
        // outputs have fired and its elapsed time keeps counting.
        memset(sEngine.OutputEventFired, 0, sizeof sEngine.OutputEventFired);
        sEngine.ElapsedSeconds = 0.0;
        sEngine.Com2OpenReported = false;
    }
    sEngine.RecoveryRestart = false;
    sEngine.InputPosition = FindInputPosition();
    sEngine.FirstInputEvaluation = 1;
    sEngine.TriggerHigh = sEngine.StartHigh = 0;
    sEngine.TriggerLow = sEngine.StartLow = 1;
    sEngine.TriggerEdge = sEngine.StartEdge = 0;
    sEngine.ScanBytes = sTransferLayout.ScanBytes;
    sEngine.TransferBytes = sTransferLayout.TransferBytes;
    const double blocks = lpProgScanList ? lpProgScanList->BlockCount : 0;
    sEngine.TransferSeconds = sTransferLayout.Scans * blocks / dSampleRate;
    if (!std::isfinite(sEngine.TransferSeconds)) sEngine.TransferSeconds = 0.0;
    sEngine.BlockCounter = 0;
    sEngine.LastCvtUpdate = now;
    dwLastBlockStart = now;
    dwWaitThreshold = 20;
    sEngine.LagMs = 0;
}

// The run-and-point text for a recording about to start, when it comes from COM2.
void ReadRunAndPointForStart() {
    if (!bCom2RunAndPoint) return;
    if (!Com2IsOpen() && !OpenCom2(!sEngine.Com2OpenReported)) {
        sEngine.Com2OpenReported = true;
        snprintf(szRunAndPoint, sizeof szRunAndPoint, "INVALID");
        return;
    }
    if (!ReadRunAndPoint()) snprintf(szRunAndPoint, sizeof szRunAndPoint, "INVALID");
}

void ForwardSamples(const uint8_t* bytes) {
    const ForwardingList& first = sRemoteForwarding[0];
    const ForwardingList& second = sRemoteForwarding[1];
    if (first.Count < 1 || lpMonitorData == nullptr) return;
    int16_t* out = reinterpret_cast<int16_t*>(lpMonitorData);
    const uint32_t capacity = kMonitorDataBytes / 2;
    uint32_t n = 0;
    const uint32_t bytesInTransfer = sEngine.TransferBytes;
    for (uint32_t scan = 0; scan + sEngine.ScanBytes <= bytesInTransfer && n < capacity;
         scan += sEngine.ScanBytes) {
        uint32_t off1 = scan;
        uint32_t off2 = scan;
        for (int32_t i = 0; i < first.Count && n < capacity; ++i) {
            off1 += static_cast<uint32_t>(first.Increment[i]);
            if (off1 + 2 > bytesInTransfer) break;
            out[n++] = SampleAt(bytes, off1);
            if (i < second.Count && n < capacity) {
                off2 += static_cast<uint32_t>(second.Increment[i]);
                if (off2 + 2 <= bytesInTransfer) out[n++] = SampleAt(bytes, off2);
            }
        }
    }
    if (n > 0) WriteForwardedSamples(out, n);
}

// Fires the timed events of the digital outputs that are due, once each per
// recording.
void FireTimedOutputs() {
    for (int32_t i = 0; i < kDigitalOuts; ++i) {
        const DigitalOut& d = sDigitalOut[i];
        const int32_t times[4] = {0, d.STATE1TIME, d.STATE2TIME, d.STATE3TIME};
        const int32_t states[4] = {d.STATICSTATE, d.STATE1, d.STATE2, d.STATE3};
        const int32_t use[4] = {d.USEINIT, d.USE1, d.USE2, d.USE3};
        for (int32_t e = 0; e < 4; ++e) {
            if (sEngine.OutputEventFired[i][e]) continue;
            const bool due = e == 0 ? sEngine.ElapsedSeconds >= 0.0
                                    : sEngine.ElapsedSeconds > static_cast<double>(times[e]);
            if (!due) continue;
            sEngine.OutputEventFired[i][e] = 1;
            if (d.HARDWARECHANNEL < 0 || d.HARDWARECHANNEL >= kChannels || !use[e]) continue;
            Q90SetDigitalOut(d.HARDWARECHANNEL, states[e], d.GLITCHCATCHER, d.OUTSTOINS);
        }
    }
}

// Start/stop decisions on a change of one input bit.  Returns true when the
// recording was stopped (the step ends).
bool InputEdge(int32_t stopMode, int32_t triggerMode) {
    if (nRecordingType == stopMode && bRecording) {
        CheckDDSResponse();
        SendPanelMessage(kPanelRecordingStopped);
        SendPanelMessage(kPanelInputsChanged);
        return true;
    }
    if (nTriggerState == triggerMode && !bRecording) {
        if (StartRecording()) ReadRunAndPointForStart();
    }
    SendPanelMessage(kPanelInputsChanged);
    return false;
}

// Evaluates the start and trigger bits of the completed transfer.  Returns
// true when a stop condition ended the step.
bool EvaluateInputs(const uint8_t* bytes) {
    uint32_t word = 0;
    if (sEngine.InputPosition >= 0 &&
        static_cast<uint32_t>(sEngine.InputPosition) + 2 <= sEngine.TransferBytes)
        word = static_cast<uint16_t>(SampleAt(bytes, static_cast<uint32_t>(sEngine.InputPosition)));
    const int32_t trigger = (word & dwTriggerMask) ? 1 : 0;
    const int32_t start = (word & dwStartMask) ? 1 : 0;
    if (sEngine.InputPosition < 0 || sEngine.FirstInputEvaluation) {
        sEngine.TriggerHigh = trigger;
        sEngine.TriggerLow = !trigger;
        sEngine.StartHigh = start;
        sEngine.StartLow = !start;
        sEngine.TriggerEdge = sEngine.StartEdge = 0;
        sEngine.FirstInputEvaluation = 0;
        SendPanelMessage(kPanelInputsChanged);
        return false;
    }
    if (start != sEngine.StartHigh) {
        sEngine.StartEdge = 1;
        sEngine.StartHigh = start;
        sEngine.StartLow = !start;
        if (start ? InputEdge(4, 4) : InputEdge(5, 5)) return true;
    } else {
        sEngine.StartEdge = 0;
    }
    if (trigger != sEngine.TriggerHigh) {
        sEngine.TriggerEdge = 1;
        sEngine.TriggerHigh = trigger;
        sEngine.TriggerLow = !trigger;
        if (trigger ? InputEdge(2, 1) : InputEdge(3, 2)) return true;
    } else {
        sEngine.TriggerEdge = 0;
    }
    return false;
}

// Starts the stopped DDS again and uploads; the next block step initialises
// as after a start, but the recording goes on.  1 normally (also when
// sampling had to end), 0 when the upload command failed.
int32_t RestartDds() {
    const bool started = SendDds("M0 1,1");
    nDDSRunning = 1;
    if (!started || !CheckDDSResponse()) {
        Report("DDS could not be restarted", "DDS Start Error", 21);
        EndSampling();
        return 1;
    }
    if (!SendDds("U")) {
        Report("DDS Upload Command Failed In Start Module", "", 18);
        EndSampling();
        return 0;
    }
    sEngine.RecoveryRestart = true;
    nNoTransferOutstanding = 1;
    return 1;
}

// The DDS lost the sync word or overflowed: stop it and start it again.  0
// when sampling cannot go on.
int32_t BlockErrorRecovery(bool syncMissing) {
    if (syncMissing)
        Report("The Sync Word Is Missing", "I/O Error", 19);
    else
        Report("The DDS FIFO Overflowed", "I/O Error", 20);
    if (!StopDDS()) {
        Report("DDS could not be stopped", "DDS Stop Error", 17);
        ClearGPIB();
        // The device clear stopped it; asking it to stop again only fails again.
        nDDSRunning = 0;
        EndSampling();
        return 1;
    }
    return RestartDds();
}

// The transfer never came: abort the read, stop the DDS and start it again.
int32_t TimeoutRecovery() {
    ibstop(nDDSDevice);
    sEngine.ReadOutstanding = false;
    if (!StopDDS()) {
        ClearGPIB();
        Report("DDS could not be stopped", "Sending an Interface Clear Please Wait", 17);
        PlatformSleep(10000);
    }
    return RestartDds();
}

// Runs one completed transfer.  Returns 1 to go on collecting, 0 or 2 to end
// the block step (2: with result 1, 0: with result 0).
int32_t TransferStep() {
    sEngine.CvtScanIndex = 0;
    ++sEngine.BlockCounter;
    const int32_t status = ibwait(nDDSDevice, TIMO_ | CMPL_);
    const bool timedOut = (status & TIMO_) != 0 && (status & CMPL_) == 0;
    if (!timedOut) sEngine.ReadOutstanding = false;
    sEngine.ElapsedSeconds += sEngine.TransferSeconds;

    if (nRecordingType == 1 && bRecording &&
        static_cast<double>(nRecordingTime) < sEngine.ElapsedSeconds) {
        CheckDDSResponse();
        SendPanelMessage(kPanelRecordingStopped);
        SendPanelMessage(kPanelTransferDone);
        return 2;
    }
    SendPanelMessage(kPanelTransferDone);
    if (timedOut) return TimeoutRecovery() ? 2 : 0;

    if (nTriggerState == 6) {
        // The port is retried on every transfer, but its failure is shown once.
        if (!Com2IsOpen() && !OpenCom2(!sEngine.Com2OpenReported)) sEngine.Com2OpenReported = true;
        if (Com2IsOpen() && ReadRunAndPoint()) StartRecording();
    }

    const uint32_t completed = (sEngine.BlockCounter & 1) ? 0 : 1;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(Buffer(completed));
    if (nWatchedChannel >= 0 && nWatchedChannel < kChannels && lpsChannelParams) {
        const int32_t pos = lpsChannelParams->ScanPosition[nWatchedChannel];
        if (pos >= 0 && static_cast<uint32_t>(pos) + 2 <= sEngine.TransferBytes)
            nDigitalInputValue = static_cast<uint16_t>(SampleAt(bytes, static_cast<uint32_t>(pos)));
    }
    // A transfer without its sync word is not a transfer: nothing in it may
    // start or stop a recording.
    const bool syncMissing = !(bytes[0] == 0x6B && bytes[1] == 0xFE);
    if (syncMissing) {
        CheckDDSResponse();
        return BlockErrorRecovery(true) ? 2 : 0;
    }

    if (nTriggerState == 3 && !bRecording &&
        (completed != 0 || sEngine.ElapsedSeconds - sEngine.TransferSeconds > 0.0)) {
        for (uint32_t scan = 0; scan + sEngine.ScanBytes <= sEngine.TransferBytes;
             scan += sEngine.ScanBytes) {
            if (bytes[scan + 5] != 0) {
                if (StartRecording()) ReadRunAndPointForStart();
                break;
            }
        }
    }
    if (bRemoteControlled && (dwRemoteStatus & kRemoteForwardBit)) ForwardSamples(bytes);
    if (EvaluateInputs(bytes)) return 2;

    if (!CheckDDSResponse()) return BlockErrorRecovery(false) ? 2 : 0;

    if (bRecording) FireTimedOutputs();
    if (bPreviewing && !bRemoteControlled) StartDacStartList(false);
    if (bRecording && !bRemoteControlled) StartDacStartList(true);
    if (bInputModeRequest) {
        bInputModeRequest = false;
        ApplyInputModeChange();
    }
    if (bDriveDacsRequest) {
        bDriveDacsRequest = false;
        StartAllDacs();
    }
    if (bStopDacsZeroRequest) {
        bStopDacsZeroRequest = bStopDacsLevelRequest = false;
        StopAllDacs(true);
    }
    if (bStopDacsLevelRequest) {
        bStopDacsZeroRequest = bStopDacsLevelRequest = false;
        StopAllDacs(false);
    }
    if (bDigitalOutRequest) {
        bDigitalOutRequest = false;
        Q90SetDigitalOut(nDigitalOutLine, nDigitalOutState, 0, 0);
    }

    if (!SendDds("U")) Report("Upload Command Failed On Send", "Command Error", 18);
    dwLastBlockStart = PlatformTimeMs();
    if (!StartRead(completed ^ 1)) {
        Report("DDS could not be restarted", "DDS Start Error", 21);
        EndSampling();
        return 2;
    }

    if (bRecording && RawFileIsOpen()) {
        if (bCom2RunAndPoint) {
            // Twelve bytes, zero-filled after the text, so runs compare alike.
            uint8_t text[12] = {};
            memcpy(text, szRunAndPoint, std::min(sizeof text, strnlen(szRunAndPoint, sizeof szRunAndPoint)));
            memcpy(bytes + 4, text, sizeof text);
        }
        if (!AppendTransfer(bytes, sEngine.TransferBytes)) {
            ReportRawFileFailure(kRawFileWriteFailed);
            SendPanelMessage(kPanelRecordingStopped);
            return 2;
        }
    }
    return 1;
}

}  // namespace

void SetPanelSink(PanelSink sink) { g_panelSink = sink; }

void SendPanelMessage(uint32_t message) {
    if (g_panelSink)
        g_panelSink(message);
    else
        PanelNotification(message);
}

const uint16_t* NewestTransfer() { return (sEngine.BlockCounter & 1) ? lpucNewData0 : lpucNewData1; }

void WaitForOutstandingRead() {
    if (!sEngine.ReadOutstanding || nDDSDevice < 0) return;
    ibwait(nDDSDevice, TIMO_ | CMPL_);
    if (ibsta & TIMO_) ibstop(nDDSDevice);
    sEngine.ReadOutstanding = false;
}

void EndSampling() {
    WaitForOutstandingRead();
    SendPanelMessage(kPanelRecordingStopped);
    bRecording = bPreviewing = false;
    nDDSRunning = 0;
    nNoTransferOutstanding = 1;
}

int32_t StartRecording() {
    sEngine.ElapsedSeconds = 0.0;
    memset(sEngine.OutputEventFired, 0, sizeof sEngine.OutputEventFired);
    CloseRawFile();
    if (!OpenRawFile(bAppendMode)) {
        ReportRawFileFailure(kRawFileOpenFailed);
        return 0;
    }
    bRecording = true;
    bPreviewing = false;
    SendPanelMessage(kPanelRecordingStarted);
    return 1;
}

void RefreshCvt() {
    sEngine.LastCvtUpdate = PlatformTimeMs();
    if (lpCVT == nullptr || lpsChannelParams == nullptr) return;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(NewestTransfer());
    const ChannelParams* cp = lpsChannelParams;
    RefreshFiveBValues(bytes, sEngine.ScanBytes * sEngine.CvtScanIndex, sEngine.TransferBytes);
    const uint32_t base = sEngine.ScanBytes * sEngine.CvtScanIndex;
    for (int32_t c = 0; c < kChannels; ++c) {
        const int32_t q = cp->ScanPosition[c];
        if (q < 0) continue;
        const uint32_t offset = static_cast<uint32_t>(q) + base;
        if (offset + 2 > sEngine.TransferBytes) return;
        const int32_t raw = SampleAt(bytes, offset);
        lpCVT->Format[c] = raw;
        const double mv = nChannelAdcBits[c] == 12 ? raw * 10000.0 / 2048.0 : raw * 10000.0 / 32768.0;
        lpCVT->Value[c] = mv / DivisorGain(EffectiveGain(c)) * cp->SENSITIVITY[c] + cp->OFFSET[c];
    }
    ++sEngine.CvtScanIndex;
    if (bServeData) ServeCvtSlices();
}

int32_t AcquisitionBlockStep() {
    const uint32_t now = PlatformTimeMs();
    if (nNoTransferOutstanding) {
        TransferLayout layout;
        if (sTransferLayout.TransferBytes == 0 && DownloadedTransferLayout(&layout))
            sTransferLayout = layout;
        Initialise(now);
        if (sEngine.TransferBytes == 0 || !StartRead(0)) {
            Report("DDS could not be restarted", "DDS Start Error", 21);
            EndSampling();
            return 1;
        }
        nNoTransferOutstanding = 0;
        return 1;
    }
    if (!sEngine.ReadOutstanding) {
        // Never wait on a read that was not started: the buffer would hold
        // an old transfer with a good sync word.
        EndSampling();
        return 1;
    }
    sEngine.PeriodMs = ComputePeriodMs();
    const int32_t p = sEngine.PeriodMs;
    const int32_t threshold = p / 2 - sEngine.LagMs;
    dwWaitThreshold = static_cast<uint32_t>(threshold);
    const uint32_t since = now - dwLastBlockStart;
    if (static_cast<int32_t>(since) > threshold) {
        uint32_t collect = 1;
        if (since > static_cast<uint32_t>(p)) {
            sEngine.LagMs = static_cast<int32_t>(since - static_cast<uint32_t>(p));
            collect = 2 * static_cast<uint32_t>(sEngine.LagMs / p);
        } else {
            sEngine.LagMs = 0;
        }
        for (uint32_t i = 0; i < collect; ++i) {
            const int32_t r = TransferStep();
            if (r != 1) return r == 2 ? 1 : 0;
        }
    } else if (now - sEngine.LastCvtUpdate > 20) {
        RefreshCvt();
    }
    return 1;
}

int32_t AcquisitionPump() {
    if (!nDDSRunning || g_pumpBusy) return 0;
    g_pumpBusy = true;
    int32_t result = 0;
    if (bClientMode)
        result = ReadClientCvtSlices();
    else if ((bRecording || bPreviewing) && !bSimulator)
        result = AcquisitionBlockStep();
    g_pumpBusy = false;
    return result;
}

uint32_t AcquisitionBudgetMs(uint32_t now) {
    if (!nDDSRunning || (!bRecording && !bPreviewing)) return 0xFFFFFFFFu;
    // Mailslots cannot wake the message loop: a client polls them, at the
    // rate a server sends, without spinning a core.
    if (bClientMode) return kClientPollMs;
    if (bSimulator) return 0xFFFFFFFFu;
    if (nNoTransferOutstanding) return 0;
    const int32_t toCollect = static_cast<int32_t>(dwLastBlockStart + dwWaitThreshold - now);
    const int32_t toCvt = static_cast<int32_t>(sEngine.LastCvtUpdate + 21 - now);
    const int32_t wait = std::min(toCollect + 1, toCvt);
    return wait > 0 ? static_cast<uint32_t>(wait) : 0;
}

void ResetEngine() {
    sEngine = EngineState{};
    sEngine.InputPosition = -1;
    sTransferLayout = TransferLayout{};
    bDriveDacsRequest = bStopDacsZeroRequest = bStopDacsLevelRequest = false;
    bDigitalOutRequest = bInputModeRequest = false;
    nWatchedChannel = -1;
    nDigitalInputValue = 0;
    szRunAndPoint[0] = '\0';
    g_pumpBusy = false;
}
