// Portable: page geometry, scaling and labels of the batch print.
#include "print/batch_print_layout.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "acquire/scan_map.h"
#include "base/channel_gain.h"
#include "testmodel/model.h"

namespace {

// trunc(x) as an int, held within the int range (a NaN gives 0).
int32_t Trunc(double x) {
    if (!(x == x)) return 0;
    if (x >= 2147483647.0) return 2147483647;
    if (x <= -2147483647.0) return -2147483647;
    return static_cast<int32_t>(std::trunc(x));
}

double Sensitivity(int32_t c) {
    return lpsChannelParams && c >= 0 && c < kChannels ? lpsChannelParams->SENSITIVITY[c] : 1.0;
}
double Offset(int32_t c) {
    return lpsChannelParams && c >= 0 && c < kChannels ? lpsChannelParams->OFFSET[c] : 0.0;
}

// A fixed-size text field that may lack its terminator.
std::string Field(const char* text, size_t size) {
    const void* end = memchr(text, '\0', size);
    return std::string(text, end ? static_cast<const char*>(end) - text : size);
}

std::string Units(int32_t c) {
    if (lpsChannelParams == nullptr || c < 0 || c >= kChannels) return "";
    return Field(lpsChannelParams->UNITS[c], sizeof lpsChannelParams->UNITS[c]);
}

}  // namespace

StripBox BatchStripBox(int32_t w, int32_t h, int32_t i) {
    const int32_t s = h / 4;
    StripBox b;
    b.left = Trunc(0.1 * w);
    b.right = Trunc(0.9 * w);
    b.top = Trunc(0.05 * h + i * s);
    if (i == 1) b.top += Trunc(0.05 * h);
    if (i == 2) b.top += Trunc(0.1 * h);
    b.bottom = b.top + s;
    return b;
}

int32_t BatchPrintPages(int32_t channels) {
    return channels <= 0 ? 0 : (channels + kStripsPerPage - 1) / kStripsPerPage;
}

int32_t BatchFullScale(int32_t c) {
    const int32_t mv = Trunc(10000.0 / DivisorGain(EffectiveGain(c)));
    const int32_t fs = Trunc(Sensitivity(c) * mv);
    return fs == 0 ? 1 : fs;
}

int32_t BatchPointValue(int32_t c, int32_t v) {
    const bool twelveBit = lpsChannelParams && c >= 0 && c < kChannels &&
                           RawFileAdcBits(lpsChannelParams->CardModel[c]) == 12;
    const int32_t mv = Trunc(v * 10000.0 / (twelveBit ? 2048.0 : 32768.0));
    const int32_t scaled = Trunc(mv / DivisorGain(EffectiveGain(c)));
    const int32_t eu = Trunc(scaled * Sensitivity(c));
    return Trunc(eu + Offset(c));
}

std::string BatchTopLabel(int32_t c) {
    std::string name;
    if (lpsChannelParams && c >= 0 && c < kChannels)
        name = Field(lpsChannelParams->NAME[c], sizeof lpsChannelParams->NAME[c]);
    char text[128];
    snprintf(text, sizeof text, "%d %s       Channel %d %s", BatchFullScale(c), Units(c).c_str(), c,
             name.c_str());
    return text;
}

std::string BatchBottomLabel(int32_t c) {
    char text[64];
    snprintf(text, sizeof text, "%d %s", -BatchFullScale(c), Units(c).c_str());
    return text;
}
