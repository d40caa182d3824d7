// The cards in the channel slots behind the DDS: what each model offers (the
// definition table the card reports), the settings each card holds, its
// calibration sources, digital outputs and DAC outputs.  Portable; one
// caller at a time, like everything behind the bus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/chassis.h"

namespace sim {

struct Outcome;

// ---- card models -------------------------------------------------------------------------
enum class CardClass : uint8_t { FiveB, Analog, Digital, Dac };

struct ModelDefinition {
    const char* name;
    int32_t cardType;  // position in the card list (1-15); model codes are 100 x cardType + revision
    CardClass kind;
    int32_t bits;      // converter resolution
    bool autobalance, autozero, variableGain;
    double gains[16];     // 0 = no option
    double filters[8];    // Hz; 0 in the first entry is wide band
    double voltages[10];  // V; 0 = no option
    double currents[10];  // mA; 0 = no option
};

// Null for a model the front end does not know.
const ModelDefinition* FindModelDefinition(const std::string& model);
// The model a chassis card is (its definition; an unknown name gets M15-C's).
const ModelDefinition& DefinitionOf(const Card& card);
bool HasExcitation(const ModelDefinition& m);

// The setup stage names a chassis file may use ("gain" or 6); -2 when none.
int32_t StageByName(const std::string& name);

// ---- what each card holds -------------------------------------------------------------------
constexpr int32_t kSourceInput = 10;  // the transducer input: no calibration source

struct CardSettings {
    double gain = 1.0;
    double variableGain = 1.0;
    int32_t variableGainEnabled = 0;
    double filter = 0.0;
    int32_t inputMode = 0;          // 1 = external auto zero (AC coupling)
    int32_t excitationSource = 1;   // as EXCITATIONSOURCE: 1 voltage, 0 current, 2 none
    int32_t excitationEnabled = 0;
    double voltage = 0.0;           // V
    double current = 0.0;           // mA
    int32_t autobalanceEnabled = 0;
    int32_t autozeroEnabled = 0;
    double balance = 0.0;           // mV added by the last autobalance
    int32_t calSource = kSourceInput;
    int32_t attenuation = 1000;     // 1000 passes a source unchanged
    int32_t opModes = 0;            // SelectOpModes bits; 4 = zero state
    int32_t refuseStage = -1;       // a refusing card: the stage it refuses, -1 = every command
    int32_t refuseBits = 0;         // 0 = not refusing
};

enum class DacRun : uint8_t { Idle, Running, StoppedZero, StoppedHold };

struct DacRegion {
    int32_t start = 0, points = 0, loop = 0;
    int32_t filled = 0;  // samples received so far
};

constexpr int32_t kDacRegions = 10;
constexpr int32_t kDacMemoryPoints = 131072;  // per output

struct DacOutput {
    int32_t level = 0;  // mV, the static level
    DacRun run = DacRun::Idle;
    int32_t startMode = 0;  // second argument of the last start
    int32_t filterIndex = 0;
    int32_t masterLoop = 0;
    int32_t regions = 0;  // regions declared
    DacRegion region[kDacRegions];
    std::vector<int16_t> memory;  // grows to the highest point loaded
    // The test wave set-up of this output (NewBinarySetupDAC), as received.
    bool testWave = false;
    int32_t dacFilter = 0;  // the operation record's DACFILTER value
    int32_t sections = 0;
    int32_t sectionLength[3] = {};
    int32_t performCount[3] = {};
};

struct DigitalState {
    int32_t word = 0;  // lines 1-16 are bits 0-15
    int32_t glitchCatcher = 0;
    int32_t outsToIns = 0;
    uint32_t writes = 0;
};

struct CardBank {
    int32_t selected = -1;
    CardSettings card[kSlots];
    DigitalState digital[kSlots];
    DacOutput dac[kSlots][2];
    std::vector<int32_t> testWaveChannels;  // the last NewBinarySetupDAC list
    Signal calNoise[kSlots];  // the noise a worn card adds to its calibration sources
    Signal fixtureSignal;     // the fixture's level as a signal
};

CardBank& Cards();
// Every card back to its power-on settings for the chassis.
void ResetCards(const Chassis& chassis);

// ---- card-level commands (amplifier_commands.cpp, dac_outputs.cpp, digital_outputs.cpp) -------
// True when `word` is a card command; its outcome (and any reply) is then set.
bool AmplifierCommand(const std::string& word, const std::string& rest, std::string& reply, Outcome& o);
bool DacCommand(const std::string& word, const std::string& rest, Outcome& o);
bool DigitalCommand(const std::string& word, const std::string& rest, std::string& reply, Outcome& o);
// The reason the card in `slot` cannot act on a command of `stage`, if any.
Outcome CardRefusal(int32_t slot, int32_t stage);

// ---- the input of each converter (calibration_model.cpp) -------------------------------------
struct ChannelInput {
    double gain = 1.0;              // the effective gain
    double dc = 0.0;                // mV added to the signal, or the whole level without one
    const Signal* signal = nullptr; // null: a constant level
    bool word = false;              // the sample is `dc` as a raw 16-bit word (a digital card's loop-back)
};
ChannelInput InputOf(int32_t channel);
// The calibration source levels in mV at the amplifier input for a source
// code, before noise; used by InputOf and by the tests through the README.
double SourceLevel(int32_t channel, int32_t source);
bool ValidSource(int32_t source);

// ---- readable state for the test controls (card_state_text.cpp) ----------------------------
// "key=value" lines describing the card in `slot`; "" for a slot out of range.
std::string CardStateText(int32_t slot);
// Copies up to `count` samples of a DAC output's memory from `start`; the
// number copied, or -1 when the slot or output is not a DAC's.
int32_t DacMemory(int32_t slot, int32_t output, int32_t start, int32_t count, int16_t* out);
// Arms (bits > 0) or ends (bits 0) a refusal of the card in `slot` at a
// setup stage (-1 = every command).  False for a bad slot or stage.
bool SetCardRefusal(int32_t slot, int32_t stage, int32_t bits);

}  // namespace sim
