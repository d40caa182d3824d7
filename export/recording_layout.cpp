// Portable: the recording layout and channel conversion shared by the data tools.
#include "export/recording_layout.h"

#include <cmath>
#include <cstring>

#include "acquire/scan_map.h"
#include "base/channel_gain.h"
#include "displays/quick_plot_prep.h"
#include "scanlist/scan_table.h"
#include "testmodel/system_settings.h"

int32_t CurrentRecordingLayout(RecordingLayout* layout, std::string* problem) {
    *layout = RecordingLayout{};
    if (lpProgScanList == nullptr || lpsChannelParams == nullptr) {
        *problem = "No Test Is Loaded";
        return 0;
    }
    layout->Positions = UsedScanEntries();
    layout->Blocks = lpProgScanList->BlockCount;
    layout->Rate = dSampleRate;
    if (layout->Positions == 0) {
        *problem = "The Scan List Is Empty";
        return 0;
    }
    if (layout->Blocks == 0) {
        *problem = "The Scan List Has No Blocks";
        return 0;
    }
    if (!(layout->Rate > 0.0) || !std::isfinite(layout->Rate)) {
        *problem = "The Sample Rate Is Not Positive";
        return 0;
    }
    layout->ScanBytes = 2 * layout->Positions + 16;
    layout->ScansPerTransfer =
        static_cast<uint32_t>(ComputeScansPerTransfer(layout->Positions, layout->Blocks, layout->Rate));
    int32_t channels[kChannels];
    const int32_t n = ScanListChannels(channels);
    layout->Channels.assign(channels, channels + n);
    return 1;
}

ChannelPositions PositionsOfChannel(int32_t channel) {
    ChannelPositions cp;
    cp.Channel = channel;
    if (lpProgScanList == nullptr || channel < 0 || channel >= kChannels) return cp;
    const uint32_t used = UsedScanEntries();
    for (uint32_t p = 0; p < used; ++p) {
        const ProgScanEntry& e = lpProgScanList->Entry[p];
        if (e.CHANNEL != static_cast<uint32_t>(channel)) continue;
        cp.Position.push_back(p);
        cp.Block.push_back(e.BLOCK);
    }
    return cp;
}

int32_t ChannelAdcBits(int32_t channel) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return 16;
    return RawFileAdcBits(lpsChannelParams->CardModel[channel]);
}

ChannelScale CurrentChannelScale(int32_t channel) {
    ChannelScale s{16, 1.0, 1.0, 0.0};
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return s;
    s.AdcBits = ChannelAdcBits(channel);
    s.Gain = DivisorGain(EffectiveGain(channel));
    s.Slope = lpsChannelParams->SENSITIVITY[channel];
    s.Offset = lpsChannelParams->OFFSET[channel];
    return s;
}

int16_t SampleMillivolts(int16_t sample, int32_t adcBits) {
    const double mv = std::trunc(sample * (adcBits == 12 ? 4.8828125 : 0.30517578125));
    if (mv > 32767.0) return 32767;
    if (mv < -32768.0) return -32768;
    return static_cast<int16_t>(mv);
}

double EngineeringValue(const ChannelScale& scale, int16_t sample) {
    return scale.Slope * (SampleMillivolts(sample, scale.AdcBits) / scale.Gain) + scale.Offset;
}

namespace {

// The converter's step is 10000 mV over 2^15 (16-bit) or 2^11 (12-bit)
// counts, so sample x 10000 / divisor in integers is the product above
// truncated toward zero, exactly; the clamp keeps the 16-bit limits.
// Blocks of a fixed size let -O2 vectorise without a scalar remainder.
template <int32_t Divisor>
void ValuesOf(const ChannelScale& scale, const int16_t* samples, size_t n, double* values) {
    constexpr size_t kBlock = 16;
    const double gain = scale.Gain, slope = scale.Slope, offset = scale.Offset;
    auto one = [&](int16_t sample) {
        int32_t mv = static_cast<int32_t>(sample) * 10000 / Divisor;
        mv = mv > 32767 ? 32767 : mv;
        mv = mv < -32768 ? -32768 : mv;
        return slope * (static_cast<double>(mv) / gain) + offset;
    };
    size_t i = 0;
    for (; i + kBlock <= n; i += kBlock)
        for (size_t j = 0; j < kBlock; ++j) values[i + j] = one(samples[i + j]);
    for (; i < n; ++i) values[i] = one(samples[i]);
}

}  // namespace

void EngineeringValues(const ChannelScale& scale, const int16_t* samples, size_t n, double* values) {
    if (scale.AdcBits == 12) ValuesOf<2048>(scale, samples, n, values);
    else ValuesOf<32768>(scale, samples, n, values);
}

std::string FieldText(const char* field, size_t size) {
    const void* end = memchr(field, '\0', size);
    return std::string(field, end ? static_cast<const char*>(end) - field : size);
}
