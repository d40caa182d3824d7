// Portable: the straight line through a channel's calibration states,
// "EU = (Slope * Input) + Offset", x being the measured means (mV at the
// input) and y the engineering values the operator gave the states.
//
// The fit never hands out NaN or infinity: when the means do not spread
// (all equal, as in simulator mode where every state reads 10 mV) no line
// is defined and the channel keeps its slope and offset.
#pragma once

#include <cstdint>

enum class LineFit {
    Fitted,      // slope and offset computed (the slope may be 0)
    OneState,    // fewer than two states: slope 1.0, offset 0
    Degenerate,  // the means do not spread, or a value is not finite
};

// Least squares over `count` (x, y) pairs.  On Degenerate *slope and
// *offset are left as they were.
LineFit FitCalibrationLine(const double* x, const double* y, int32_t count, double* slope, double* offset);

// The fit of `channel` from its ACTIVESTATES, MEAN and EU.
LineFit FitChannel(int32_t channel, double* slope, double* offset);

enum class FitApplied {
    Stored,     // SENSITIVITY and OFFSET hold the fit
    Unchanged,  // degenerate fit, reported; the channel is as it was
    Cancelled,  // the operator cancelled at the zero-slope question
};

// Fits `channel` and stores SENSITIVITY and OFFSET.  A zero slope asks
// "The Sensitivity Is 0.0 For Channel %d.  Make It 1.0?" (Yes 1.0, No 0,
// Cancel nothing).  A degenerate fit is shown and changes nothing.  A
// stored result clears the test-saved flag.
FitApplied ApplyCalibrationFit(int32_t channel);

// What ApplyCalibrationFit would store, without asking or storing: the
// channel's stored values when the fit is degenerate.
void PreviewCalibrationFit(int32_t channel, double* slope, double* offset);
