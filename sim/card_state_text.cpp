// What a test can read of a card without going through the control
// library: every setting it holds, its calibration state, digital lines and
// DAC outputs, as "key=value" lines; and the refusal a test can arm.
#include <cstdio>
#include <string>

#include "sim/cards.h"
#include "sim/front_end_state.h"

namespace sim {

namespace {

std::string Real(double v) {
    char buf[40];
    snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

const char* RunName(DacRun r) {
    switch (r) {
        case DacRun::Running: return "running";
        case DacRun::StoppedZero: return "zero";
        case DacRun::StoppedHold: return "hold";
        default: return "idle";
    }
}

void Line(std::string& out, const std::string& key, const std::string& value) { out += key + "=" + value + "\n"; }
void Line(std::string& out, const std::string& key, int32_t value) { Line(out, key, std::to_string(value)); }

}  // namespace

std::string CardStateText(int32_t slot) {
    if (slot < 0 || slot >= kSlots) return "";
    const Card& hw = S().chassis.card[slot];
    const ModelDefinition& m = DefinitionOf(hw);
    const CardBank& b = Cards();
    const CardSettings& cs = b.card[slot];
    std::string t;
    Line(t, "model", hw.model);
    Line(t, "code", hw.modelCode);
    Line(t, "serial", hw.serial);
    Line(t, "installed", hw.state == CardState::Missing ? 0 : 1);
    Line(t, "refuseBits", cs.refuseBits);
    Line(t, "refuseStage", cs.refuseStage);
    Line(t, "selected", b.selected == slot ? 1 : 0);
    Line(t, "gain", Real(cs.gain));
    Line(t, "variableGain", Real(cs.variableGain));
    Line(t, "variableGainEnabled", cs.variableGainEnabled);
    Line(t, "filter", Real(cs.filter));
    Line(t, "inputMode", cs.inputMode);
    Line(t, "excitationSource", cs.excitationSource);
    Line(t, "excitationEnabled", cs.excitationEnabled);
    Line(t, "voltage", Real(cs.voltage));
    Line(t, "current", Real(cs.current));
    Line(t, "autobalance", cs.autobalanceEnabled);
    Line(t, "autozero", cs.autozeroEnabled);
    Line(t, "balance", Real(cs.balance));
    Line(t, "calSource", cs.calSource);
    Line(t, "attenuation", cs.attenuation);
    Line(t, "opModes", cs.opModes);
    if (m.kind == CardClass::Digital) {
        const DigitalState& d = b.digital[slot];
        Line(t, "digital", d.word);
        Line(t, "glitchCatcher", d.glitchCatcher);
        Line(t, "outsToIns", d.outsToIns);
        Line(t, "digitalWrites", static_cast<int32_t>(d.writes));
    }
    if (m.kind == CardClass::Dac) {
        std::string pairs;
        for (int32_t c : b.testWaveChannels) pairs += (pairs.empty() ? "" : ",") + std::to_string(c);
        Line(t, "testWaveChannels", pairs);
        for (int out = 0; out < 2; ++out) {
            const DacOutput& d = b.dac[slot][out];
            std::string p = out == 0 ? "dacA." : "dacB.";
            Line(t, p + "run", RunName(d.run));
            Line(t, p + "startMode", d.startMode);
            Line(t, p + "level", d.level);
            Line(t, p + "filterIndex", d.filterIndex);
            Line(t, p + "masterLoop", d.masterLoop);
            std::string regions;
            for (int32_t r = 0; r < d.regions; ++r) {
                const DacRegion& g = d.region[r];
                regions += (r ? ";" : "") + std::to_string(g.start) + ":" + std::to_string(g.points) + ":" +
                           std::to_string(g.loop) + ":" + std::to_string(g.filled);
            }
            Line(t, p + "regions", regions);
            Line(t, p + "memory", static_cast<int32_t>(d.memory.size()));
            if (d.testWave) {
                Line(t, p + "testWave", std::to_string(d.dacFilter) + ":" + std::to_string(d.sections) + ":" +
                                            std::to_string(d.sectionLength[0]) + "/" +
                                            std::to_string(d.sectionLength[1]) + "/" +
                                            std::to_string(d.sectionLength[2]) + ":" +
                                            std::to_string(d.performCount[0]) + "/" +
                                            std::to_string(d.performCount[1]) + "/" +
                                            std::to_string(d.performCount[2]));
            }
        }
    }
    return t;
}

bool SetCardRefusal(int32_t slot, int32_t stage, int32_t bits) {
    if (slot < 0 || slot >= kSlots || stage < -1 || stage > 6 || bits < 0) return false;
    CardSettings& cs = Cards().card[slot];
    cs.refuseBits = bits;
    cs.refuseStage = bits ? stage : -1;
    return true;
}

}  // namespace sim
