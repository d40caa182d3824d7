// Portable: the effective gain of a channel and the gain a value is divided by.
#include "base/channel_gain.h"

#include <cmath>

#include "testmodel/model.h"

double* GainField(int32_t channel) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return nullptr;
    if (lpsChannelParams->VARIABLEGAINENABLE[channel]) return &lpsChannelParams->VARIABLEGAIN[channel];
    return &lpsChannelParams->GAIN[channel];
}

double EffectiveGain(int32_t channel) {
    const double* field = GainField(channel);
    return field != nullptr ? *field : 1.0;
}

double DivisorGain(double gain) {
    return gain > 0.0 && std::isfinite(gain) ? gain : 1.0;
}
