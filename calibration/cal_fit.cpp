// Portable: the calibration line fit and storing its result.
#include "calibration/cal_fit.h"

#include <cmath>
#include <cstdio>

#include "base/app_state.h"
#include "calibration/cal_states.h"
#include "platform/platform.h"
#include "testmodel/model.h"

LineFit FitCalibrationLine(const double* x, const double* y, int32_t count, double* slope, double* offset) {
    if (count < 2) {
        *slope = 1.0;
        *offset = 0.0;
        return LineFit::OneState;
    }
    double sx = 0, sy = 0, sxy = 0, sxx = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(y[i])) return LineFit::Degenerate;
        sx += x[i];
        sy += y[i];
        sxy += x[i] * y[i];
        sxx += x[i] * x[i];
    }
    const double n = count;
    // n Sxx - Sx^2 is n times the spread of the means about their average.
    // Cancellation leaves a tiny residue when they are all equal, so a
    // divisor that small against n Sxx counts as none.
    const double divisor = n * sxx - sx * sx;
    if (!(divisor > 1e-12 * n * sxx) || !std::isfinite(divisor)) return LineFit::Degenerate;
    const double s = (n * sxy - sy * sx) / divisor;
    const double o = (sy - s * sx) / n;
    if (!std::isfinite(s) || !std::isfinite(o)) return LineFit::Degenerate;
    *slope = s;
    *offset = o;
    return LineFit::Fitted;
}

LineFit FitChannel(int32_t channel, double* slope, double* offset) {
    const CalRecord& cal = lpsChannelParams->Cal;
    const int32_t n = BoundedStateCount(cal.ACTIVESTATES[channel]);
    return FitCalibrationLine(cal.MEAN[channel], cal.EU[channel], n, slope, offset);
}

FitApplied ApplyCalibrationFit(int32_t channel) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return FitApplied::Unchanged;
    ChannelParams& p = *lpsChannelParams;
    double slope = p.SENSITIVITY[channel], offset = p.OFFSET[channel];
    if (FitChannel(channel, &slope, &offset) == LineFit::Degenerate) {
        char text[200];
        snprintf(text, sizeof text,
                 "The Calibration Means Of Channel %d Do Not Define A Line.  "
                 "Its Slope And Offset Are Left As They Were.",
                 channel);
        PlatformMessageBox(text, "Calibration Fit Failed", MB_OK_ | MB_ICONEXCLAMATION_);
        return FitApplied::Unchanged;
    }
    if (slope == 0.0) {
        char text[100];
        snprintf(text, sizeof text, "The Sensitivity Is 0.0 For Channel %d.  Make It 1.0?", channel);
        int32_t answer = PlatformMessageBox(text, "Sensitivity Is Zero", MB_YESNOCANCEL_ | MB_ICONQUESTION_);
        if (answer == IDCANCEL_) return FitApplied::Cancelled;
        p.SENSITIVITY[channel] = answer == IDYES_ ? 1.0 : 0.0;
    } else {
        p.SENSITIVITY[channel] = slope;
    }
    p.OFFSET[channel] = offset;
    bTestSaved = false;
    bTestChanged = true;
    return FitApplied::Stored;
}

void PreviewCalibrationFit(int32_t channel, double* slope, double* offset) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) {
        *slope = 1.0;
        *offset = 0.0;
        return;
    }
    *slope = lpsChannelParams->SENSITIVITY[channel];
    *offset = lpsChannelParams->OFFSET[channel];
    FitChannel(channel, slope, offset);
}
