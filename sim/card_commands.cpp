// The commands behind the DDS that are not its own: the scan table it is
// loaded with (K0-K2), the reason of the last refusal (E?), and the cards'
// commands, which the cards take (sim/cards.h).
#include <string>
#include <vector>

#include "sim/cards.h"
#include "sim/front_end_state.h"

namespace sim {

Outcome CardCommand(const std::string& word, const std::string& rest) {
    State& s = S();
    std::vector<std::string> a;
    int32_t i0 = 0, i1 = 0, i2 = 0;
    double d0 = 0;

    if (word == "E?") {
        s.reply = std::to_string(s.lastErrorBits) + "," + std::to_string(s.lastErrorStage) + "\n";
        return Outcome{};
    }
    if (word == "K0") {  // entries,blocks,format,words,rate
        if (!Args(rest, 5, a) || !ToInt(a[0], 1, 4096, i0) || !ToInt(a[1], 1, 4096, i1) ||
            !ToInt(a[2], -0x7FFFFFFF, 0x7FFFFFFF, i2) || !ToDouble(a[4], d0) || !(d0 > 0))
            return Refuse(kErrParameter);
        int32_t words = 0;
        if (!ToInt(a[3], 1, kMaxTransferWords, words) || words % (i0 + 8) != 0)
            return Refuse(kErrParameter);
        s.muxLoading = true;
        s.loadEntries = static_cast<uint32_t>(i0);
        s.loadBlocks = static_cast<uint32_t>(i1);
        s.loadFormat = static_cast<uint32_t>(i2);
        s.loadWords = static_cast<uint32_t>(words);
        s.loadRate = d0;
        s.loadChannel.assign(s.loadEntries, -2);
        s.loadBlock.assign(s.loadEntries, 0);
        return Outcome{};
    }
    if (word == "K1") {  // first,c.b,c.b,...
        if (!s.muxLoading) return Refuse(kErrInstruction);
        a = Split(rest, ',');
        int32_t first = 0;
        if (a.empty() || !ToInt(a[0], 0, 4095, first) ||
            static_cast<size_t>(first) + a.size() - 1 > s.loadEntries)
            return Refuse(kErrParameter);
        for (size_t i = 1; i < a.size(); ++i) {
            size_t dot = a[i].find('.');
            if (dot == std::string::npos || !ToInt(a[i].substr(0, dot), -1, kSlots - 1, i0) ||
                !ToInt(a[i].substr(dot + 1), 0, static_cast<long long>(s.loadBlocks) - 1, i1))
                return Refuse(kErrParameter);
            s.loadChannel[first + i - 1] = i0;
            s.loadBlock[first + i - 1] = i1;
        }
        return Outcome{};
    }
    if (word == "K2") {
        if (!s.muxLoading || s.scanning) return Refuse(kErrInstruction);
        for (int32_t c : s.loadChannel)
            if (c == -2) return Refuse(kErrParameter);  // a position never sent
        s.muxLoading = false;
        s.muxProgrammed = true;
        s.entries = s.loadEntries;
        s.blocks = s.loadBlocks;
        s.muxFormat = s.loadFormat;
        s.muxWords = s.loadWords;
        s.rate = s.loadRate;
        s.channel = s.loadChannel;
        s.block = s.loadBlock;
        s.transferWords = s.loadWords;
        return Outcome{};
    }
    Outcome o;
    if (AmplifierCommand(word, rest, s.reply, o) || DacCommand(word, rest, o) ||
        DigitalCommand(word, rest, s.reply, o))
        return o;
    return Refuse(kErrInstruction);
}

}  // namespace sim
