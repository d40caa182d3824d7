// The gain a channel's values are divided by.  One rule for every conversion
// (engineering values, CVT limits, displays, exports): the effective gain is
// the fine gain VARIABLEGAIN while VARIABLEGAINENABLE is set, else GAIN, and a
// gain that is not positive or not finite counts as 1.  Such gains do reach
// the model: a 0 or -1 in an option list, a hardware gain truncated to 0, a
// fine gain typed as 0.
#pragma once

#include <cstdint>

// The field that holds the channel's effective gain (VARIABLEGAIN or GAIN);
// null for a channel outside 0-255 or while the channel block is missing.
double* GainField(int32_t channel);

// The channel's effective gain as stored (1.0 when it has no field).
double EffectiveGain(int32_t channel);

// What to divide by: `gain`, or 1.0 when it is not positive or not finite.
double DivisorGain(double gain);
