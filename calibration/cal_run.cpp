// Portable: the calibration measurement of channels through the DDS.
#include "calibration/cal_run.h"

#include <cmath>
#include <cstring>

#include "base/app_state.h"
#include "base/channel_gain.h"
#include "base/data_file_name.h"
#include "calibration/cal_fit.h"
#include "calibration/cal_states.h"
#include "hardware/gpib_access.h"
#include "hardware/q90_library.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

void Show(const char* text, const char* caption) { PlatformMessageBox(text, caption, MB_OK_); }

void Progress(const CalProgress& progress, const char* format, int32_t value) {
    char text[160];
    snprintf(text, sizeof text, format, value);
    progress.Show(text);
}

bool ValidChannel(int32_t channel) {
    return lpsChannelParams != nullptr && channel >= 0 && channel < kChannels;
}

// The calibration frame: 64 positions of the channel in blocks 0-63.
constexpr int32_t kFramePositions = 64;
constexpr int32_t kFrameWords = 288;  // four scans of 64 samples and 8 header words

// A start, upload or read that went wrong may leave the DDS scanning; the
// next state (or the next operation) must find it stopped.
void StopQuietly() {
    if (nDDSRunning) StopDDS();
}

}  // namespace

int16_t CalSample(const uint8_t* read, int32_t k) {
    const int32_t at = 16 + 2 * k + 16 * ((k >= 64) + (k >= 128) + (k >= 192));
    return static_cast<int16_t>(read[at] | (read[at + 1] << 8));
}

void CalMeanAndDeviation(const uint8_t* read, int32_t adcBits, double gain, double* mean, double* deviation) {
    const double full = adcBits == 12 ? 2048.0 : 32768.0;
    const double g = DivisorGain(gain);
    double mv[kCalSamples];
    double sum = 0;
    for (int32_t k = 0; k < kCalSamples; ++k) {
        mv[k] = CalSample(read, k) * 10000.0 / full;
        sum += mv[k];
    }
    const double m = sum / kCalSamples / g;
    double squares = 0;
    for (double v : mv) squares += (v / g - m) * (v / g - m);
    *mean = m;
    *deviation = std::sqrt(squares / kCalSamples);
}

int32_t CalAdcBits(int32_t channel) {
    if (!ValidChannel(channel)) return 16;
    char model[sizeof lpsChannelParams->CardModel[0] + 1] = "";
    memcpy(model, lpsChannelParams->CardModel[channel], sizeof lpsChannelParams->CardModel[0]);
    return CardAdcBits(model);
}

FILE* OpenCalibrationLog(int32_t channel, bool append, const CalProgress& progress) {
    char extension[8], path[300];
    snprintf(extension, sizeof extension, ".%d", channel);
    FILE* log = nullptr;
    if (DataFileName(szTestFile, extension, path, sizeof path)) log = fopen(path, append ? "a" : "w");
    if (log == nullptr) {
        char text[360];
        snprintf(text, sizeof text, "Could Not Write The Calibration Log %s", path);
        progress.Show(text);
        return nullptr;
    }
    if (!append) fprintf(log, "CALIBRATION INFO FOR CHANNEL %d\n", channel);
    return log;
}

int32_t PrepareCalibrationFrame(int32_t channel) {
    if (bSimulator) return 1;
    if (!SendCommand(kDdsAddress, "M0?")) {
        Show("Could Not Check DDS Status", "");
        return 0;
    }
    char reply[4] = {};
    Receive(kGpibBoard, kDdsAddress, reply, 4, kSTOPend);
    if (ibsta & ERR_) {
        Show("DDS Status Check Did Not Complete", "");
        return 0;
    }
    if (!CheckDDSResponse()) {
        Show("DDS Status Check Serial Poll Did Not Complete", "");
        return 0;
    }
    if (reply[1] == '1' && !StopDDS()) {
        Show("Could Not Stop DDS", "");
        return 0;
    }
    if (!Q90SelectChannel(channel)) {
        Show("Error Selecting Channel For Calibration", "Channel Select Error");
        return 0;
    }
    static MuxSetupRecord frame;
    memset(&frame, 0, sizeof frame);
    frame.One1 = frame.One2 = 1;
    frame.EntryCount = kFramePositions;
    frame.MuxFormat = nMuxFormat;
    frame.BlockCount = kFramePositions;
    for (int32_t p = 0; p < kFramePositions; ++p) {
        frame.Channel[p] = channel;
        frame.Block[p] = p;
    }
    // From here the front end scans the calibration frame, not the test's
    // table, until the table is downloaded again.
    bParametersDownloaded = false;
    if (!Q90InitMux(&frame, kFrameWords, 1, dSampleRate)) {
        Show("The DDS Could Not Be Initialized", "Error Setting Up Scan List");
        return 0;
    }
    return 1;
}

StateResult MeasureCalibrationState(int32_t channel, int32_t index, int32_t code, FILE* log,
                                    const CalProgress& progress) {
    if (!ValidChannel(channel) || index < 0 || index >= kCalStates) return StateResult::Failed;
    CalRecord& cal = lpsChannelParams->Cal;
    const CalStateInfo& state = CalState(code);
    if (state.Known)
        Progress(progress, state.Progress, channel);
    else
        Show("Incorrect Calibration Mode", "Calibration State Error");
    if (log) fputs(state.LogLine, log);

    if (bSimulator) {
        PlatformSleep(500);
        cal.MEAN[channel][index] = 10.0;
        cal.DEVIATION[channel][index] = 0.0;
        return StateResult::Measured;
    }

    if (!Q90SetCalAttenuator(state.Attenuation)) Show("Error Setting The Cal Attenuator", "Calibration Error");
    if (state.Source == kZeroCalSource) {
        if (!Q90SelectOpModes(ZeroCalModeBits(channel), 1))
            Show("Error Selecting Zero Calibration", "Channel Calibration Error");
    } else if (!Q90SelectCal(state.Source)) {
        Progress(progress, "Channel %d Does Not Support This Calibration State", channel);
        Q90ResetCal();  // back on its input, whatever the attenuator took
        return StateResult::Failed;
    }

    ibwait(nDDSDevice, TIMO_ | CMPL_);
    if (!SendCommand(kDdsAddress, "M0 1,1")) {
        Show("Could Not Start DDS", "");
        return StateResult::Failed;
    }
    nDDSRunning = 1;
    if (!CheckDDSResponse()) {
        Show("DDS Start Serial Poll Did Not Complete", "");
        StopQuietly();
        return StateResult::Failed;
    }
    if (!SendCommand(kDdsAddress, "U")) {
        Show("DDS Upload Command Failed In Start Module", "");
        StopQuietly();
        return StateResult::Failed;
    }

    // A read that failed or came short holds no frame of this state: its
    // buffer would still carry an earlier state's samples.
    uint8_t* read = reinterpret_cast<uint8_t*>(lpucCalibData);
    static uint8_t fallback[kCalReadBytes];
    if (read == nullptr) read = fallback;
    memset(read, 0, kCalReadBytes);
    ibrd(nDDSDevice, read, kCalReadBytes);
    bool valid = !(ibsta & ERR_) && ibcntl == kCalReadBytes;
    if (valid) valid = CheckDDSResponse() != 0;
    if (!valid) {
        char text[80];
        snprintf(text, sizeof text, "The Data From State %d Is Invalid", index + 1);
        Show(text, "Error Receiving Data");
    }
    if (!StopDDS()) {
        Show("Could Not Stop DDS", "");
        return StateResult::Failed;
    }
    if (valid) {
        double mean = 0, deviation = 0;
        CalMeanAndDeviation(read, CalAdcBits(channel), EffectiveGain(channel), &mean, &deviation);
        cal.MEAN[channel][index] = mean;
        cal.DEVIATION[channel][index] = deviation;
        if (log) fprintf(log, "Mean = %f\nDeviation = %f\n", mean, deviation);
    }
    if (!Q90ResetCal()) Show("Could Not Issue A Reset Cal Command", "Channel Calibration Error");
    return valid ? StateResult::Measured : StateResult::NotMeasured;
}

int32_t CalibrateChannel(int32_t channel, const CalProgress& progress) {
    if (!ValidChannel(channel)) return 0;
    CalRecord& cal = lpsChannelParams->Cal;
    for (int32_t s = 0; s < kCalStates; ++s) {
        cal.MEAN[channel][s] = 0.0;
        cal.DEVIATION[channel][s] = 0.0;
    }
    FILE* log = bSimulator ? nullptr : OpenCalibrationLog(channel, false, progress);
    int32_t result = PrepareCalibrationFrame(channel);
    const int32_t states = BoundedStateCount(cal.ACTIVESTATES[channel]);
    for (int32_t s = 0; result && s < states; ++s) {
        if (MeasureCalibrationState(channel, s, cal.STATE[s][channel], log, progress) == StateResult::Failed)
            result = 0;
    }
    if (result && !bSimulator && !Q90ResetCal())
        Show("Could Not Issue A Reset Cal Command", "Channel Calibration Error");
    if (log) fclose(log);
    if (result) cal.CalFlag[channel] = 1;
    return result;
}

// ---- the calibration dialog's session --------------------------------------------------

void BeginCalibrationSession() {
    if (lpsChannelParams == nullptr) return;
    CalRecord& cal = lpsChannelParams->Cal;
    for (int32_t c = 0; c < kChannels; ++c) {
        cal.CalFlag[c] = 0;
        for (int32_t s = 0; s < kCalStates; ++s) {
            cal.MEAN[c][s] = 0.0;
            cal.DEVIATION[c][s] = 0.0;
        }
    }
}

bool ChannelCalibrated(int32_t channel) {
    return ValidChannel(channel) && lpsChannelParams->Cal.CalFlag[channel] != 0;
}

int32_t CalibrateScanListChannels(const CalProgress& progress) {
    if (lpsChannelParams == nullptr || lpProgScanList == nullptr) return 0;
    bool scanned[kChannels] = {};
    const uint32_t used = UsedScanEntries();
    for (uint32_t p = 0; p < used; ++p) {
        const uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c < static_cast<uint32_t>(kChannels)) scanned[c] = true;
    }
    int32_t last = -1;
    for (int32_t c = 0; c < kChannels; ++c)
        if (scanned[c]) last = c;
    int32_t calibrated = 0;
    for (int32_t c = 0; c <= last; ++c) {
        if (!scanned[c]) continue;
        if (CalibrateChannel(c, progress)) {
            ++calibrated;
            continue;
        }
        // After the last channel there is nothing to go on with.
        if (c == last) break;
        char text[100];
        snprintf(text, sizeof text, "Channel %d Failed Cal.\nContinue With Next Channel?", c);
        if (PlatformMessageBox(text, "Continue Calibration Of Scan List Channels?", MB_YESNO_ | MB_ICONQUESTION_) ==
            IDNO_)
            break;
    }
    return calibrated;
}

bool CalMeanOverloaded(int32_t channel, double mean) {
    const double atConverter = mean * DivisorGain(EffectiveGain(channel));
    return atConverter >= 9995.0 || atConverter <= -9995.0;
}

std::vector<std::string> BadCalibrationLines() {
    std::vector<std::string> lines;
    if (lpsChannelParams == nullptr) return lines;
    const CalRecord& cal = lpsChannelParams->Cal;
    char text[100];
    for (int32_t c = 0; c < kChannels; ++c) {
        for (int32_t s = 0; s < kCalStates; ++s) {
            const double mean = cal.MEAN[c][s];
            if (CalMeanOverloaded(c, mean)) {
                snprintf(text, sizeof text, "Overloaded Channel %d State %d", c, s + 1);
                lines.push_back(text);
            }
            if (cal.DEVIATION[c][s] > 0.1 * std::fabs(mean)) {
                snprintf(text, sizeof text, "Deviation > Than 10%% Of Mean Channel %d State %d", c, s + 1);
                lines.push_back(text);
            }
        }
    }
    return lines;
}

int32_t ApplyCalibratedSlopes() {
    int32_t stored = 0;
    for (int32_t c = 0; c < kChannels; ++c) {
        if (!ChannelCalibrated(c)) continue;
        FitApplied result = ApplyCalibrationFit(c);
        if (result == FitApplied::Cancelled) break;
        if (result == FitApplied::Stored) ++stored;
    }
    EndCalibrationSession();
    return stored;
}

int32_t EndCalibrationSession() { return DownloadScanTable(); }

void ShownSlopeAndOffset(int32_t channel, double* slope, double* offset) {
    if (ChannelCalibrated(channel)) {
        PreviewCalibrationFit(channel, slope, offset);
        return;
    }
    *slope = ValidChannel(channel) ? lpsChannelParams->SENSITIVITY[channel] : 1.0;
    *offset = ValidChannel(channel) ? lpsChannelParams->OFFSET[channel] : 0.0;
}
