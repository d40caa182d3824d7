// The simulated front end's chassis: which card sits in each channel slot,
// what signal each channel sees, the start/trigger bit and external-start
// schedules and the faults to inject.  Read from a small text file (see
// sim/README.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr int kSlots = 256;

enum class SignalKind : uint8_t { Const, Sine, Noise, Step, Square };

struct Signal {
    SignalKind kind = SignalKind::Const;
    double a = 0.0;       // const: level; sine/noise: amplitude; step/square: low
    double b = 0.0;       // sine: frequency Hz; step/square: high
    double c = 0.0;       // sine: offset; step: switch time s; square: period s
    double d = 0.0;       // sine: phase in degrees
    uint32_t seed = 1;    // noise
};

enum class CardState : uint8_t { Present, Missing, Refusing };

struct Card {
    std::string model = "M15-C";
    int32_t modelCode = 1500;
    int32_t serial = 0;
    CardState state = CardState::Present;
    int32_t refuseBits = 1;     // error bits a refusing card answers with
    double imbalance = 0.0;     // mV at the input until autobalanced
};

struct BitChange {
    double time;     // seconds since the chassis was configured
    uint16_t word;
};

struct Interval {
    double from, to;  // seconds, [from, to)
};

enum class FaultKind : uint8_t { NoSync, Overflow, Timeout, Refuse };

struct Fault {
    uint32_t transfer;  // 1-based count of transfers since configuration
    FaultKind kind;
};

struct RefuseRule {
    std::string prefix;  // commands that start with this text
    int32_t times;       // how many of them are refused
};

struct Chassis {
    Card card[kSlots];
    Signal signal[kSlots];
    int32_t bitsChannel = -1;  // channel carrying the start and trigger bits
    std::vector<BitChange> bits;
    std::vector<Interval> extStart;
    std::vector<Fault> faults;
    std::vector<RefuseRule> refuse;
    bool virtualTime = false;
    bool ddsPresent = true;
    bool fixturePresent = true;
    bool fixtureSrq = false;   // the fixture requests service after each command
    uint32_t fifoTransfers = 8;  // transfers the DDS buffers before it overflows
};

// Converter resolution of a card model (12 or 16 bits; unknown models 16).
int32_t ModelBits(const std::string& model);
// Model code the card reports for a model name (0 for an unknown model).
int32_t ModelCode(const std::string& model);
// True for a model the chassis knows.
bool KnownModel(const std::string& model);

// The chassis without a file: every slot an M15-C with a 1 Hz sine of
// 1000 mV, no bits, no faults, real time.
void DefaultChassis(Chassis& chassis);

// Parses a configuration text over the defaults.  On an error returns false
// and says where and why in `error` ("line 3: unknown card model \"M99\"");
// `chassis` is then left as the defaults.
bool ParseChassis(const char* text, size_t length, Chassis& chassis, std::string& error);

// Value of a signal in mV at time t (seconds since configuration); `index`
// keys the noise so that it is reproducible.
double SignalValue(const Signal& s, int32_t channel, double t);

// Deterministic noise in [-1, 1] for (seed, channel, t).
double NoiseUnit(uint32_t seed, int32_t channel, double t);

}  // namespace sim
