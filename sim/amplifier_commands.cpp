// The amplifier cards' commands: selection, the settings of each setup stage
// checked against the card's definition table, readback of what the card
// holds, autobalance, the definition table itself and the calibration
// source, attenuator and zero modes.
#include <cstdio>
#include <string>
#include <vector>

#include "sim/cards.h"
#include "sim/front_end_state.h"

namespace sim {

namespace {

// Gains, voltages and currents: one of the card's options (0 is no option).
bool Offered(const double* options, int n, double v) {
    if (v == 0) return false;
    for (int i = 0; i < n; ++i)
        if (options[i] == v) return true;
    return false;
}

// A filter: one of the options; 0 (wide band) when the first option is it.
bool FilterOffered(const ModelDefinition& m, double f) {
    return f == 0 ? m.filters[0] == 0 : Offered(m.filters, 8, f);
}

std::string Numbers(const double* v, int n) {
    std::string r;
    char buf[40];
    for (int i = 0; i < n; ++i) {
        snprintf(buf, sizeof buf, ",%.17g", v[i]);
        r += buf;
    }
    return r;
}

constexpr int32_t kNoStage = -1;

struct StageOf {
    const char* word;
    int32_t stage;
};
constexpr StageOf kStages[] = {{"C", 0},        {"IM", 1},       {"F", 2},        {"XI", 4},
                               {"XV", 5},       {"X", 5},        {"G", 6},        {"GV", 6},
                               {"AB", kNoStage}, {"AZ", kNoStage}, {"B", kNoStage}, {"S?", kNoStage},
                               {"D?", kNoStage}, {"L", kNoStage},  {"LA", kNoStage}, {"LM", kNoStage},
                               {"LR", kNoStage}};

}  // namespace

Outcome CardRefusal(int32_t slot, int32_t stage) {
    if (S().chassis.card[slot].state == CardState::Missing) return Refuse(kErrNotInstalled, stage);
    const CardSettings& cs = Cards().card[slot];
    if (cs.refuseBits != 0 && (cs.refuseStage == -1 || cs.refuseStage == stage))
        return Refuse(cs.refuseBits, stage);
    return Outcome{};
}

bool AmplifierCommand(const std::string& word, const std::string& rest, std::string& reply, Outcome& o) {
    int32_t stage = -2;
    for (const StageOf& k : kStages)
        if (word == k.word) stage = k.stage;
    if (stage == -2) return false;

    CardBank& b = Cards();
    std::vector<std::string> a;
    int32_t i0 = 0, i1 = 0;
    double d0 = 0;
    if (word == "C") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, kSlots - 1, i0)) {
            o = Refuse(kErrParameter, 0);
            return true;
        }
        b.selected = i0;
        o = CardRefusal(i0, 0);
        return true;
    }
    if (b.selected < 0) {
        o = Refuse(kErrInstruction, stage);
        return true;
    }
    o = CardRefusal(b.selected, stage);
    if (o.errorBits) return true;

    CardSettings& cs = b.card[b.selected];
    const Card& hw = S().chassis.card[b.selected];
    const ModelDefinition& m = DefinitionOf(hw);
    const bool analog = m.kind == CardClass::Analog;
    auto bad = [&](int32_t bits) {
        o = Refuse(bits, stage);
        return true;
    };

    if (word == "IM") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, analog ? 1 : 0, i0)) return bad(kErrParameter);
        cs.inputMode = i0;
    } else if (word == "F") {
        if (!Args(rest, 1, a) || !ToDouble(a[0], d0) || !FilterOffered(m, d0)) return bad(kErrParameter);
        cs.filter = d0;
    } else if (word == "XI" || word == "XV") {
        // 0 leaves the supply without a level; anything else is an option.
        const double* options = word == "XI" ? m.currents : m.voltages;
        if (!Args(rest, 1, a) || !ToDouble(a[0], d0) || (d0 != 0 && !Offered(options, 10, d0)))
            return bad(kErrParameter);
        (word == "XI" ? cs.current : cs.voltage) = d0;
    } else if (word == "X") {  // source (1 voltage, 0 current, 2 none), enable
        if (!Args(rest, 2, a) || !ToInt(a[0], 0, 2, i0) || !ToInt(a[1], 0, 1, i1)) return bad(kErrExcitation);
        if (!HasExcitation(m)) {
            // Nothing to excite with: the card stays without a supply.
            cs.excitationSource = 2;
            cs.excitationEnabled = 0;
        } else {
            cs.excitationSource = i0;
            cs.excitationEnabled = i1 && i0 != 2;
        }
    } else if (word == "G") {
        if (!Args(rest, 1, a) || !ToDouble(a[0], d0) || !Offered(m.gains, 16, d0)) return bad(kErrParameter);
        cs.gain = d0;
    } else if (word == "GV") {
        if (!Args(rest, 2, a) || !ToDouble(a[0], d0) || !ToInt(a[1], 0, 1, i1)) return bad(kErrParameter);
        if (m.variableGain) {
            if (!(d0 > 0 && d0 <= 10000)) return bad(kErrParameter);
            cs.variableGain = d0;
            cs.variableGainEnabled = i1;
        } else if (i1) {
            return bad(kErrParameter);  // no variable gain stage
        }
    } else if (word == "AB" || word == "AZ") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, 1, i0)) return bad(kErrParameter);
        bool capable = word == "AB" ? m.autobalance : m.autozero;
        if (i0 && !capable) return bad(kErrBalance);
        (word == "AB" ? cs.autobalanceEnabled : cs.autozeroEnabled) = i0;
    } else if (word == "B") {
        if (!rest.empty()) return bad(kErrParameter);
        if (!cs.autobalanceEnabled) return bad(kErrBalance);
        // The bridge is nulled against its imbalance at the input.
        cs.balance = -hw.imbalance;
    } else if (word == "S?") {
        char buf[256];
        snprintf(buf, sizeof buf, "%.17g,%.17g,%d,%.17g,%.17g,%.17g,%d,%d,%d,%d\n", cs.gain, cs.variableGain,
                 cs.variableGainEnabled, cs.filter, cs.voltage, cs.current, cs.excitationSource,
                 cs.excitationEnabled, cs.autobalanceEnabled, cs.autozeroEnabled);
        reply = buf;
    } else if (word == "D?") {
        reply = std::to_string(hw.modelCode) + "," + std::to_string(hw.serial) + Numbers(m.gains, 16) +
                Numbers(m.filters, 8) + Numbers(m.voltages, 10) + Numbers(m.currents, 10) + "\n";
    } else if (word == "L") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, 0x7FFFFFFF, i0) || !ValidSource(i0)) return bad(kErrParameter);
        // A card without a bridge supply has only its input; a worn one may
        // lack a source.
        bool offered = i0 == kSourceInput || (HasExcitation(m) && !(hw.cal.lacks & (1ull << i0)));
        if (!offered) return bad(kErrParameter);
        cs.calSource = i0;
    } else if (word == "LA") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 1, 1000, i0) || (i0 != 1 && i0 != 10 && i0 != 100 && i0 != 1000))
            return bad(kErrParameter);
        cs.attenuation = i0;
    } else if (word == "LM") {  // mode bits: 1 autozero, 2 autobalance, 4 zero, 8 excitation; then 1
        if (!Args(rest, 2, a) || !ToInt(a[0], 0, 15, i0) || !ToInt(a[1], 1, 1, i1)) return bad(kErrParameter);
        cs.opModes = i0;
    } else if (word == "LR") {
        if (!rest.empty()) return bad(kErrParameter);
        cs.calSource = kSourceInput;
        cs.attenuation = 1000;
        cs.opModes = 0;
    }
    return true;
}

}  // namespace sim
