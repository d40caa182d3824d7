// Portable: the text window's pages and precomputed values.
#include "displays/text_window_pages.h"

#include "base/channel_gain.h"
#include "testmodel/model.h"

int32_t NextTextPage(int32_t page) {
    return page >= 1 && page < kTextPages ? page + 1 : 1;
}

int32_t FirstChannelOfTextPage(int32_t page) {
    if (page < 1 || page > kTextPages) page = 1;
    return (page - 1) * kTextChannelsPerPage;
}

bool TextWindowValues(int32_t c, double* at9900, double* at8000) {
    if (lpsChannelParams == nullptr || c < 0 || c >= kChannels) return false;
    const ChannelParams& p = *lpsChannelParams;
    const double g = DivisorGain(p.GAIN[c]);
    *at9900 = 9900.0 / g * p.SENSITIVITY[c] + p.OFFSET[c];
    *at8000 = 8000.0 / g * p.SENSITIVITY[c] + p.OFFSET[c];
    return true;
}
