// Portable: the DAC output filters go to the cards through the channel
// download's DAC filter step.
#include "outputs/dac_filters.h"

#include "hardware/channel_download.h"

int32_t SetDacFilter(int32_t dacRecord, int32_t subChannel, int32_t filter) {
    return DownloadDacFilter(dacRecord, subChannel, filter);
}
