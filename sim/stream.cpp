// The stream generator: the words of a transfer from the scan table, the
// channel settings and the signal models.
#include <cmath>
#include <vector>

#include "sim/cards.h"
#include "sim/front_end_state.h"

namespace sim {

namespace {

enum class PosKind : uint8_t { Zero, Const, Sine, Noise, Wave, Bits };

struct PosPlan {
    PosKind kind;
    int32_t channel;
    double factor;   // counts per mV at the input
    double dc;       // mV added to the signal
    double lo, hi;   // converter range in counts
    const Signal* signal;
    double sinStep, cosStep;  // rotation per scan (sine)
    double sn, cs;            // sin/cos of the phase at the current scan
};

inline int16_t ToCounts(double mv, const PosPlan& p) {
    double x = mv * p.factor;
    x = x < p.lo ? p.lo : (x > p.hi ? p.hi : x);
    return static_cast<int16_t>(std::lround(x));
}

uint16_t BitsAt(const Chassis& c, double t) {
    uint16_t word = 0;
    for (const BitChange& b : c.bits) {
        if (b.time > t) break;
        word = b.word;
    }
    return word;
}

bool ExternalStartAt(const Chassis& c, double t) {
    for (const Interval& i : c.extStart)
        if (t >= i.from && t < i.to) return true;
    return false;
}

}  // namespace

void GenerateTransfer(uint16_t* out, uint32_t k, double scanStart, uint16_t sequence) {
    State& s = S();
    const uint32_t n = s.entries, w = n + 8, scans = ScansPerTransfer();
    const double blocks = s.blocks, rate = s.rate;
    static std::vector<PosPlan> plan;  // one caller at a time, as on the bus
    plan.assign(n, PosPlan{});
    const uint64_t firstScan = static_cast<uint64_t>(k) * scans;
    for (uint32_t p = 0; p < n; ++p) {
        PosPlan& pp = plan[p];
        int32_t c = s.channel[p];
        pp.channel = c;
        pp.kind = PosKind::Zero;
        if (c < 0 || c >= kSlots) continue;
        const Card& hw = s.chassis.card[c];
        if (hw.state == CardState::Missing) continue;
        if (c == s.chassis.bitsChannel) {
            pp.kind = PosKind::Bits;
            continue;
        }
        // What the card puts before its converter (sim/calibration_model.cpp).
        const ChannelInput in = InputOf(c);
        if (in.word) {  // a raw word, as the start and trigger bits
            pp.kind = PosKind::Const;
            pp.factor = 1.0;
            pp.lo = -32768.0;
            pp.hi = 32767.0;
            pp.dc = static_cast<int16_t>(static_cast<uint16_t>(in.dc));
            continue;
        }
        double full = ModelBits(hw.model) == 12 ? 2048.0 : 32768.0;
        pp.factor = in.gain * full / 10000.0;
        pp.lo = -full;
        pp.hi = full - 1;
        pp.dc = in.dc;
        pp.signal = in.signal;
        if (pp.signal == nullptr) {
            pp.kind = PosKind::Const;
            continue;
        }
        switch (pp.signal->kind) {
            case SignalKind::Const:
                pp.kind = PosKind::Const;
                pp.dc += pp.signal->a;
                break;
            case SignalKind::Sine: {
                pp.kind = PosKind::Sine;
                double omega = 2.0 * kPi * pp.signal->b;
                double t0 = scanStart + (firstScan * blocks + s.block[p]) / rate;
                double phase = omega * t0 + pp.signal->d * (kPi / 180.0);
                pp.sn = std::sin(phase);
                pp.cs = std::cos(phase);
                double step = omega * blocks / rate;
                pp.sinStep = std::sin(step);
                pp.cosStep = std::cos(step);
                pp.dc += pp.signal->c;
                break;
            }
            case SignalKind::Noise:
                pp.kind = PosKind::Noise;
                break;
            default:
                pp.kind = PosKind::Wave;
                break;
        }
    }
    for (uint32_t i = 0; i < scans; ++i) {
        uint16_t* scan = out + static_cast<size_t>(i) * w;
        uint64_t frame = firstScan + i;
        double frameTime = scanStart + (frame * blocks) / rate;
        scan[0] = 0xFE6B;
        scan[1] = sequence;
        scan[2] = static_cast<uint16_t>(ExternalStartAt(s.chassis, frameTime) ? 0x0100 : 0);
        scan[3] = static_cast<uint16_t>(i);
        scan[4] = static_cast<uint16_t>(frame & 0xFFFF);
        scan[5] = static_cast<uint16_t>((frame >> 16) & 0xFFFF);
        scan[6] = 0;
        scan[7] = 0;
        uint16_t* sample = scan + 8;
        for (uint32_t p = 0; p < n; ++p) {
            PosPlan& pp = plan[p];
            switch (pp.kind) {
                case PosKind::Zero:
                    sample[p] = 0;
                    break;
                case PosKind::Const:
                    sample[p] = static_cast<uint16_t>(ToCounts(pp.dc, pp));
                    break;
                case PosKind::Sine: {
                    sample[p] = static_cast<uint16_t>(ToCounts(pp.dc + pp.signal->a * pp.sn, pp));
                    double sn = pp.sn * pp.cosStep + pp.cs * pp.sinStep;
                    pp.cs = pp.cs * pp.cosStep - pp.sn * pp.sinStep;
                    pp.sn = sn;
                    break;
                }
                case PosKind::Noise: {
                    double t = scanStart + (frame * blocks + s.block[p]) / rate;
                    sample[p] = static_cast<uint16_t>(
                        ToCounts(pp.dc + pp.signal->a * NoiseUnit(pp.signal->seed, pp.channel, t), pp));
                    break;
                }
                case PosKind::Wave: {
                    double t = scanStart + (frame * blocks + s.block[p]) / rate;
                    sample[p] = static_cast<uint16_t>(
                        ToCounts(pp.dc + SignalValue(*pp.signal, pp.channel, t), pp));
                    break;
                }
                case PosKind::Bits: {
                    double t = scanStart + (frame * blocks + s.block[p]) / rate;
                    sample[p] = BitsAt(s.chassis, t);
                    break;
                }
            }
        }
    }
}

}  // namespace sim
