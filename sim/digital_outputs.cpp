// The digital cards' 16 output lines: the state word with the glitch-catcher
// and outputs-to-inputs switches that come with every setting.  Only a
// digital card has lines; with outputs-to-inputs on, its inputs read back
// its own outputs (sim/calibration_model.cpp).
#include <string>
#include <vector>

#include "sim/cards.h"
#include "sim/front_end_state.h"

namespace sim {

namespace {

// The card in `slot` as a digital card, or why it cannot act as one.
Outcome DigitalCard(int32_t slot) {
    Outcome o = CardRefusal(slot, -1);
    if (o.errorBits) return o;
    if (DefinitionOf(S().chassis.card[slot]).kind != CardClass::Digital) return Refuse(kErrInstruction);
    return Outcome{};
}

}  // namespace

bool DigitalCommand(const std::string& word, const std::string& rest, std::string& reply, Outcome& o) {
    std::vector<std::string> a;
    int32_t slot = 0, w = 0, glitch = 0, loop = 0;
    if (word == "O") {  // channel,word,glitch catcher,outs to ins
        if (!Args(rest, 4, a) || !ToInt(a[0], 0, kSlots - 1, slot) || !ToInt(a[1], 0, 0xFFFF, w) ||
            !ToInt(a[2], 0, 1, glitch) || !ToInt(a[3], 0, 1, loop)) {
            o = Refuse(kErrParameter);
            return true;
        }
        o = DigitalCard(slot);
        if (o.errorBits) return true;
        DigitalState& d = Cards().digital[slot];
        d.word = w;
        d.glitchCatcher = glitch;
        d.outsToIns = loop;
        ++d.writes;
        return true;
    }
    if (word == "O?") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, kSlots - 1, slot)) {
            o = Refuse(kErrParameter);
            return true;
        }
        o = DigitalCard(slot);
        if (o.errorBits) return true;
        const DigitalState& d = Cards().digital[slot];
        reply = std::to_string(d.word) + "," + std::to_string(d.glitchCatcher) + "," + std::to_string(d.outsToIns) + "\n";
        return true;
    }
    return false;
}

int32_t DigitalOut(int32_t line) { return line >= 0 && line < kSlots ? Cards().digital[line].word : 0; }

}  // namespace sim
