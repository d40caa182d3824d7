// Portable: calibrating channels through the DDS.  A channel is switched,
// state after state, to its calibration sources; each state is sampled
// through a calibration frame (64 positions of the channel, four frames in
// one 576-byte read) and its mean and deviation in mV at the input are
// stored in the channel's calibration record.  The line fit (cal_fit.h)
// turns them into the channel's slope and offset.
//
// Every hardware failure is shown to the operator and ends the channel's
// run or skips the state; the DDS is left stopped.  In simulator mode no
// hardware is touched: every state reads 10.0 mV with deviation 0.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Where the run's progress texts go (the result list of the dialogs); a
// null function drops them.
struct CalProgress {
    void (*line)(void* context, const char* text) = nullptr;
    void* context = nullptr;
    void Show(const char* text) const {
        if (line) line(context, text);
    }
};

// Bytes of one calibration read: four frames of 8 header words and 64
// samples.
constexpr int32_t kCalReadBytes = 576;
constexpr int32_t kCalSamples = 256;

// Sample k (0-255) of a calibration read: frames of 64 samples, each after
// its 8 header words.
int16_t CalSample(const uint8_t* read, int32_t k);

// Mean and deviation (mV at the input) of the 256 samples of a read, for a
// converter of `adcBits` (12 or 16) and the gain the channel's values are
// divided by (a gain that is not positive or not finite counts as 1).
void CalMeanAndDeviation(const uint8_t* read, int32_t adcBits, double gain, double* mean, double* deviation);

// Converter resolution of a channel's card (12 or 16 bits).
int32_t CalAdcBits(int32_t channel);

// The channel's calibration log ("<test>.<channel>" beside the test),
// created with its heading; null when it cannot be written (the progress
// says so).  `append` continues an existing log.
FILE* OpenCalibrationLog(int32_t channel, bool append, const CalProgress& progress);

// Checks that the DDS is idle (stopping it when it scans), selects the
// channel and programs the calibration frame.  1 ready; 0 after the failure
// was shown.
int32_t PrepareCalibrationFrame(int32_t channel);

enum class StateResult {
    Measured,     // MEAN and DEVIATION of the state stored
    NotMeasured,  // shown; the state keeps 0 and the run goes on
    Failed,       // shown; the channel's run ends
};
// Measures state `index` (0-7) of `channel` with the state `code`: progress
// text and log line, attenuator, source or zero mode, start, upload, one
// read, stop, mean and deviation, reset of the calibration switches.
// Needs PrepareCalibrationFrame first.
StateResult MeasureCalibrationState(int32_t channel, int32_t index, int32_t code, FILE* log,
                                    const CalProgress& progress);

// Calibrates one channel over its ACTIVESTATES.  1 when every step of the
// run went through (states whose data were invalid keep 0); 0 after a
// failure that ended it.  Sets the channel's calibrated flag on success.
int32_t CalibrateChannel(int32_t channel, const CalProgress& progress);

// ---- the calibration dialog's session ------------------------------------------------
// Opening: calibrated flags, MEAN and DEVIATION of every channel cleared.
void BeginCalibrationSession();
bool ChannelCalibrated(int32_t channel);

// Every channel with a scan-table position, ascending.  After a failed
// channel (but the last possible one) the operator is asked whether to go
// on.  Returns the number of channels calibrated.
int32_t CalibrateScanListChannels(const CalProgress& progress);

// "Show Bad Cals": one line per overloaded state (mean x gain at or beyond
// +-9995 mV) and per state whose deviation exceeds a tenth of its mean.
std::vector<std::string> BadCalibrationLines();
// True when a mean (mV at the input) overloads the channel's converter.
bool CalMeanOverloaded(int32_t channel, double mean);

// "Exit && Apply Slopes": fits and stores every channel calibrated in this
// session (stops when the operator cancels a fit), then downloads the scan
// table again.  Returns the number of channels whose values were stored.
int32_t ApplyCalibratedSlopes();
// "Exit": downloads the scan table again, which the calibration frames
// replaced in the front end.  1 when it went through.
int32_t EndCalibrationSession();

// The slope and offset the dialog shows for a channel: the fit's preview
// once calibrated in this session, else the stored values.
void ShownSlopeAndOffset(int32_t channel, double* slope, double* offset);
