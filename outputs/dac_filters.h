// DAC output filters.
#pragma once

#include <cstdint>

// Sets the output filter of one DAC output: DAC record 0-2, sub-channel 0-1,
// filter value.  Returns non-zero on success.
int32_t SetDacFilter(int32_t dacRecord, int32_t subChannel, int32_t filter);
