// Portable: the DAC waveforms.  Every ramp is built with integer division so
// that the card receives exactly the same samples whatever the compiler.
#include "outputs/dac_waves.h"

#include <cmath>

const char* const kDacWaveNames[kDacWaveTypes] = {"Sine", "Triangle", "Sawtooth", "Square", "Noise"};

namespace {

int16_t Sine(int32_t i, int32_t n) {
    // Truncated toward zero, as the card's tables were always built.
    return static_cast<int16_t>(std::trunc(32760.0 * std::sin(2.0 * 3.1415926535 * i / n)));
}

// Starts at the negative peak, reaches the positive one at the half and
// falls back.
int16_t Triangle(int32_t i, int32_t n) {
    const int32_t q = n / 4;
    const int32_t half = n / 2;
    const int32_t threeQuarters = 3 * n / 4;
    if (i < q) return static_cast<int16_t>((i - q) * (32768 / q));
    if (i < half) return static_cast<int16_t>((i - q) * (32767 / q));
    if (i < threeQuarters) return static_cast<int16_t>(32767 - (i - half) * (32767 / q));
    return static_cast<int16_t>(-((i - threeQuarters) * (32768 / q)));
}

int16_t Sawtooth(int32_t i, int32_t n) {
    const int32_t h = n / 2;
    if (i < h) return static_cast<int16_t>((i - h) * (32768 / h));
    return static_cast<int16_t>((i - h) * (32767 / h));
}

int16_t Square(int32_t i, int32_t n) { return static_cast<int16_t>(i < n / 2 ? -32768 : 32767); }

// A 15-bit value per step, the same on every platform whatever its rand().
uint32_t NextNoise(uint32_t& state) {
    state = state * 214013u + 2531011u;
    return (state >> 16) & 0x7FFFu;
}

}  // namespace

int32_t GenerateDacWave(int32_t wave, int32_t points, uint32_t noiseSeed, int16_t* out, int32_t capacity) {
    if (out == nullptr || wave < 0 || wave >= kDacWaveTypes || points < kDacMinPoints ||
        points > kDacMaxPoints || capacity < points)
        return 0;
    uint32_t state = noiseSeed;
    for (int32_t i = 0; i < points; ++i) {
        switch (wave) {
        case kWaveSine: out[i] = Sine(i, points); break;
        case kWaveTriangle: out[i] = Triangle(i, points); break;
        case kWaveSawtooth: out[i] = Sawtooth(i, points); break;
        case kWaveSquare: out[i] = Square(i, points); break;
        default: out[i] = static_cast<int16_t>(static_cast<int32_t>(NextNoise(state)) - 16383); break;
        }
    }
    return points;
}

uint32_t DacNoiseSeed(int32_t hardChan, int32_t output, int32_t region) {
    // Mixed so that neighbouring regions and outputs do not share a sequence.
    uint32_t h = 2166136261u;
    const uint32_t parts[3] = {static_cast<uint32_t>(hardChan), static_cast<uint32_t>(output),
                               static_cast<uint32_t>(region)};
    for (uint32_t p : parts) {
        h ^= p;
        h *= 16777619u;
    }
    return h;
}

bool DacRecordInUse(const DacChannel& d) { return d.HARDCHAN >= 0 && d.HARDCHAN < kChannels; }

int32_t DacRegionCount(const DacChannel& d, int32_t output) {
    if (output < 0 || output > 1) return 0;
    const int32_t n = d.REGIONS[output];
    if (n < 0) return 0;
    return n > kDacWaves ? kDacWaves : n;
}

int32_t DacRegionStart(const DacChannel& d, int32_t output, int32_t region) {
    if (output < 0 || output > 1) return 0;
    int32_t start = 0;
    for (int32_t r = 0; r < region && r < kDacWaves; ++r) start += d.FREQ[r][output];
    return start;
}
