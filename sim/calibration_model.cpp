// What each converter sees: the transducer signal with the bridge's
// imbalance and balance, the calibration fixture's level on the channels it
// is wired to, or a calibration source (the voltage reference, shunt and
// substitution resistors across the bridge, the excitation monitors) through
// the attenuator, and in the zero state the shorted input.  Also the cards'
// power-on settings.
#include "sim/cards.h"
#include "sim/fixture.h"
#include "sim/front_end_state.h"

namespace sim {

CardBank& Cards() {
    // Goes with the library when it is unloaded.
    static CardBank bank;
    return bank;
}

void ResetCards(const Chassis& chassis) {
    CardBank& b = Cards();
    b.selected = -1;
    b.testWaveChannels.clear();
    for (int32_t c = 0; c < kSlots; ++c) {
        const Card& hw = chassis.card[c];
        const ModelDefinition& m = DefinitionOf(hw);
        CardSettings& cs = b.card[c];
        cs = CardSettings();
        // The program's defaults: 10 V bridge supply on, 20 mA ready,
        // autobalance and autozero on where the card has them.
        if (HasExcitation(m)) {
            cs.voltage = 10.0;
            cs.current = 20.0;
            cs.excitationEnabled = 1;
        } else {
            cs.excitationSource = 2;
        }
        cs.autobalanceEnabled = m.autobalance ? 1 : 0;
        cs.autozeroEnabled = m.autozero ? 1 : 0;
        if (hw.state == CardState::Refusing) {
            cs.refuseBits = hw.refuseBits;
            cs.refuseStage = hw.refuseStage;
        }
        b.digital[c] = DigitalState();
        b.dac[c][0] = DacOutput();
        b.dac[c][1] = DacOutput();
        Signal noise;
        noise.kind = SignalKind::Noise;
        noise.a = hw.cal.noise;
        noise.seed = 0x5EED0000u + static_cast<uint32_t>(c);
        b.calNoise[c] = noise;
    }
}

bool ValidSource(int32_t source) {
    switch (source) {
        case 10: case 20: case 31: case 32: case 41: case 42: case 50: case 51: case 52:
            return true;
        default:
            return false;
    }
}

double SourceLevel(int32_t channel, int32_t source) {
    const Card& hw = S().chassis.card[channel];
    const CardSettings& cs = Cards().card[channel];
    const CalModel& k = hw.cal;
    // The bridge supply: mV across the bridge and mA through it.
    double volts = 0.0, amps = 0.0;
    if (cs.excitationEnabled && cs.excitationSource == 1) {
        volts = cs.voltage * 1000.0;
        amps = volts / k.bridge;
    } else if (cs.excitationEnabled && cs.excitationSource == 0) {
        amps = cs.current;
        volts = amps * k.bridge;
    }
    switch (source) {
        case 20:
            return k.reference;
        case 31:
        case 32:  // a shunt across one arm of the bridge
            return volts * k.bridge / (2.0 * k.bridge + 4.0 * k.shunt[source - 31]);
        case 41:
        case 42: {  // one arm replaced by a known resistor
            double r = k.substitute[source - 41];
            return volts * (r - k.bridge) / (2.0 * (r + k.bridge));
        }
        case 50:
            return volts / 10.0;  // 100 mV per volt of supply
        case 51:
            return amps * 100.0;  // 100 mV per mA
        case 52:
            return k.external * 100.0;
        default:
            return 0.0;
    }
}

ChannelInput InputOf(int32_t c) {
    const Card& hw = S().chassis.card[c];
    CardBank& b = Cards();
    const CardSettings& cs = b.card[c];
    const ModelDefinition& m = DefinitionOf(hw);
    ChannelInput in;
    in.gain = cs.variableGainEnabled ? cs.variableGain : cs.gain;
    if (m.kind == CardClass::Digital && b.digital[c].outsToIns) {
        in.word = true;  // the inputs read the card's own outputs
        in.dc = b.digital[c].word;
        return in;
    }
    const double zeroError = hw.cal.offset;
    if (cs.opModes & 4) {  // zero state: the input shorted, as the mode bits leave it
        in.dc = ((cs.opModes & 8) ? hw.imbalance : 0.0) + ((cs.opModes & 2) ? cs.balance : 0.0) +
                ((cs.opModes & 1) ? 0.0 : zeroError);
        return in;
    }
    const double amplifier = cs.autozeroEnabled ? 0.0 : zeroError;
    if (cs.calSource == kSourceInput) {
        in.dc = hw.imbalance + cs.balance + amplifier;
        const Signal* fixture = FixtureSignalFor(c);
        in.signal = fixture ? fixture : &S().chassis.signal[c];
        return in;
    }
    in.dc = SourceLevel(c, cs.calSource) * cs.attenuation / 1000.0 + amplifier;
    if (hw.cal.noise > 0) in.signal = &b.calNoise[c];
    return in;
}

}  // namespace sim
