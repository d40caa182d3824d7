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

// What a card's calibration sources put at its amplifier input
// (sim/README.md, "Calibration sources").
struct CalModel {
    double reference = 5000.0;              // mV of the voltage reference before the attenuator
    double offset = 0.0;                    // mV at the input: the amplifier's zero error, nulled by autozero
    double bridge = 350.0;                  // ohms per bridge arm
    double shunt[2] = {100000.0, 50000.0};  // ohms
    double substitute[2] = {360.0, 340.0};  // ohms
    double external = 0.0;                  // V of an external excitation supply
    double noise = 0.0;                     // mV of noise on every calibration source (a worn card)
    uint64_t lacks = 0;                     // bit n: the card does not offer source code n
};

struct Card {
    std::string model = "M15-C";
    int32_t modelCode = 600;
    int32_t serial = 0;
    CardState state = CardState::Present;
    int32_t refuseBits = 1;     // error bits a refusing card answers with
    int32_t refuseStage = -1;   // the setup stage it refuses, -1 = every command
    double imbalance = 0.0;     // mV at the input until autobalanced
    CalModel cal;
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

// The `send`-th Send (1-based, counted like the faults) fails at the bus
// with ERR and this error code (ENOL 2, EADR 3, EABO 6 with TIMO, EBUS 14).
struct SendFailure {
    uint32_t send;
    int32_t iberr;
};

struct Chassis {
    Card card[kSlots];
    Signal signal[kSlots];
    int32_t bitsChannel = -1;  // channel carrying the start and trigger bits
    std::vector<BitChange> bits;
    std::vector<Interval> extStart;
    std::vector<Fault> faults;
    std::vector<RefuseRule> refuse;
    std::vector<SendFailure> sendFailures;
    bool virtualTime = false;
    bool ddsPresent = true;
    bool fixturePresent = true;
    bool fixtureSrq = false;   // the fixture requests service after each command
    uint32_t fifoTransfers = 8;  // transfers the DDS buffers before it overflows
    bool wired[kSlots] = {};     // channels whose inputs the calibration fixture can drive
};

// Card models (sim/card_models.cpp).
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

// Parses fault statements to arm while the front end runs: only the lines
// fault, refuse and sendfail (numbers counted from the moment they are
// armed).  What they say goes into `armed`'s lists; other statements fail
// with "line n: ... cannot be armed".
bool ParseArm(const char* text, size_t length, Chassis& armed, std::string& error);

// Pieces of the file's syntax, shared by the statement readers.
bool ParseSlots(const std::string& s, int& first, int& last);  // "5" or "0-15"
bool ParseDouble(const std::string& s, double& out);          // finite numbers only
bool ParseLong(const std::string& s, long long lo, long long hi, long long& out);
// The card statements `cal` and `wire` (sim/card_config.cpp): false with the
// reason (without the line number) in `why`.
bool IsCardStatement(const std::string& keyword);
bool ParseCardStatement(const std::vector<std::string>& words, Chassis& chassis, std::string& why);

// Value of a signal in mV at time t (seconds since configuration); `index`
// keys the noise so that it is reproducible.
double SignalValue(const Signal& s, int32_t channel, double t);

// Deterministic noise in [-1, 1] for (seed, channel, t).
double NoiseUnit(uint32_t seed, int32_t channel, double t);

}  // namespace sim
