// The DAC cards (M21): two outputs each with a static level, an output
// filter and a memory of wave regions played in order, their loops and the
// master loop; the test-wave set-up of the operation record; start and the
// two kinds of stop.  The card checks what a region says against what it
// already holds, so a download laid out wrongly is refused, not played.
#include <algorithm>
#include <string>
#include <vector>

#include "sim/cards.h"
#include "sim/front_end_state.h"

namespace sim {

namespace {

constexpr int32_t kDacFilterStage = 3;

bool IsDac(int32_t slot) { return DefinitionOf(S().chassis.card[slot]).kind == CardClass::Dac; }

// The DAC card in `slot`, or why it cannot act.
Outcome DacCard(int32_t slot, int32_t stage = -1) {
    Outcome o = CardRefusal(slot, stage);
    if (o.errorBits) return o;
    if (!IsDac(slot)) return Refuse(kErrInstruction, stage);
    return Outcome{};
}

// channel,output at the start of the arguments.
bool Output(const std::vector<std::string>& a, int32_t& slot, int32_t& output) {
    return a.size() >= 2 && ToInt(a[0], 0, kSlots - 1, slot) && ToInt(a[1], 0, 1, output);
}

// -1 (every DAC card) or one DAC card's channel; the cards it names.
bool Selection(const std::string& text, std::vector<int32_t>& slots, Outcome& o) {
    int32_t sel = 0;
    if (!ToInt(text, -1, kSlots - 1, sel)) {
        o = Refuse(kErrParameter);
        return false;
    }
    if (sel >= 0) {
        o = DacCard(sel);
        if (o.errorBits) return false;
        slots.push_back(sel);
        return true;
    }
    for (int32_t c = 0; c < kSlots; ++c)
        if (IsDac(c) && S().chassis.card[c].state != CardState::Missing) slots.push_back(c);
    return true;
}

bool Complete(const DacOutput& out) {
    for (int32_t r = 0; r < out.regions; ++r)
        if (out.region[r].filled != out.region[r].points) return false;
    return true;
}

// The output filter index of a filter value among the card's options.
int32_t FilterIndex(const ModelDefinition& m, int32_t value) {
    for (int32_t i = 0; i < 8; ++i)
        if (m.filters[i] == value && (i == 0 || value != 0)) return i;
    return -1;
}

}  // namespace

bool DacCommand(const std::string& word, const std::string& rest, Outcome& o) {
    static const char* const kWords[] = {"DF", "QI", "QW", "QD", "QS", "QZ", "QH", "QP", "QT"};
    if (std::find_if(std::begin(kWords), std::end(kWords), [&](const char* w) { return word == w; }) ==
        std::end(kWords))
        return false;
    CardBank& b = Cards();
    std::vector<std::string> a = rest.empty() ? std::vector<std::string>() : Split(rest, ',');
    int32_t slot = 0, output = 0;
    auto bad = [&](int32_t bits, int32_t stage = -1) {
        o = Refuse(bits, stage);
        return true;
    };

    if (word == "DF") {  // channel,output,filter index
        int32_t index = 0;
        if (a.size() != 3 || !Output(a, slot, output) || !ToInt(a[2], 0, 7, index))
            return bad(kErrParameter, kDacFilterStage);
        o = DacCard(slot, kDacFilterStage);
        if (o.errorBits) return true;
        if (index > 0 && DefinitionOf(S().chassis.card[slot]).filters[index] == 0)
            return bad(kErrParameter, kDacFilterStage);  // no filter there
        b.dac[slot][output].filterIndex = index;
        return true;
    }
    if (word == "QS" || word == "QZ" || word == "QH") {  // selection[,start mode]
        size_t n = word == "QS" ? 2 : 1;
        int32_t mode = 0;
        if (a.size() != n || (n == 2 && !ToInt(a[1], 0, 0, mode))) return bad(kErrParameter);
        std::vector<int32_t> slots;
        if (!Selection(a[0], slots, o)) return true;
        if (word == "QS")
            for (int32_t c : slots)
                for (const DacOutput& out : b.dac[c])
                    if (!Complete(out)) return bad(kErrParameter);  // a region still without its samples
        for (int32_t c : slots)
            for (DacOutput& out : b.dac[c]) {
                if (word == "QS") {
                    out.run = DacRun::Running;
                    out.startMode = mode;
                } else if (word == "QZ") {
                    out.run = DacRun::StoppedZero;
                    out.level = 0;
                } else {
                    out.run = DacRun::StoppedHold;
                }
            }
        return true;
    }
    if (word == "QP") {  // count,channel,... two entries (outputs A and B) per DAC record
        int32_t n = 0;
        if (a.empty() || !ToInt(a[0], 0, 12, n) || n % 2 != 0 || a.size() != static_cast<size_t>(n) + 1)
            return bad(kErrParameter);
        std::vector<int32_t> list;
        for (int32_t i = 0; i < n; ++i) {
            if (!ToInt(a[i + 1], 0, kSlots - 1, slot)) return bad(kErrParameter);
            if (i % 2 == 1 && slot != list.back()) return bad(kErrParameter);  // not a record's pair
            o = DacCard(slot);
            if (o.errorBits) return true;
            list.push_back(slot);
        }
        b.testWaveChannels = list;
        return true;
    }

    // The rest name one output.
    if (!Output(a, slot, output)) return bad(kErrParameter);
    o = DacCard(slot);
    if (o.errorBits) return true;
    DacOutput& out = b.dac[slot][output];
    if (word == "QI") {  // channel,output,mV
        int32_t mv = 0;
        if (a.size() != 3 || !ToInt(a[2], -10000, 10000, mv)) return bad(kErrParameter);
        out.level = mv;
    } else if (word == "QW") {  // channel,output,region,start,points,loop,master
        int32_t region = 0, start = 0, points = 0, loop = 0, master = 0;
        if (a.size() != 7 || !ToInt(a[2], 0, kDacRegions - 1, region) ||
            !ToInt(a[3], 0, kDacMemoryPoints - 1, start) || !ToInt(a[4], 1, kDacMemoryPoints - start, points) ||
            !ToInt(a[5], 0, 0x7FFFFFFF, loop) || !ToInt(a[6], 0, 0x7FFFFFFF, master))
            return bad(kErrParameter);
        // Region 0 starts a new set; each further one follows the last
        // without overlapping it.
        if (region > 0) {
            if (region != out.regions) return bad(kErrParameter);
            const DacRegion& prev = out.region[region - 1];
            if (start < prev.start + prev.points) return bad(kErrParameter);
        }
        out.regions = region + 1;
        out.region[region] = DacRegion{start, points, loop, 0};
        out.masterLoop = master;
        if (out.memory.size() < static_cast<size_t>(start + points)) out.memory.resize(start + points);
    } else if (word == "QD") {  // channel,output,at,v,v,...: the next samples of the last region
        int32_t at = 0;
        if (a.size() < 4 || out.regions == 0 || !ToInt(a[2], 0, kDacMemoryPoints - 1, at)) return bad(kErrParameter);
        DacRegion& r = out.region[out.regions - 1];
        size_t count = a.size() - 3;
        if (at != r.start + r.filled || static_cast<size_t>(r.filled) + count > static_cast<size_t>(r.points))
            return bad(kErrParameter);
        std::vector<int16_t> v(count);
        for (size_t i = 0; i < count; ++i) {
            int32_t x = 0;
            if (!ToInt(a[i + 3], -32768, 32767, x)) return bad(kErrParameter);
            v[i] = static_cast<int16_t>(x);
        }
        std::copy(v.begin(), v.end(), out.memory.begin() + at);
        r.filled += static_cast<int32_t>(count);
    } else {  // QT channel,output,filter,sections,length x3,count x3
        int32_t v[8] = {};
        if (a.size() != 10) return bad(kErrParameter);
        for (int i = 0; i < 8; ++i)
            if (!ToInt(a[i + 2], 0, i < 5 ? kDacMemoryPoints : 0x7FFFFFFF, v[i])) return bad(kErrParameter);
        int32_t index = FilterIndex(DefinitionOf(S().chassis.card[slot]), v[0]);
        if (index < 0 || v[1] > 3 || v[2] + v[3] + v[4] > kDacMemoryPoints) return bad(kErrParameter);
        out.testWave = true;
        out.dacFilter = v[0];
        out.filterIndex = index;
        out.sections = v[1];
        for (int k = 0; k < 3; ++k) {
            out.sectionLength[k] = v[2 + k];
            out.performCount[k] = v[5 + k];
        }
    }
    return true;
}

int32_t DacMemory(int32_t slot, int32_t output, int32_t start, int32_t count, int16_t* samples) {
    if (slot < 0 || slot >= kSlots || output < 0 || output > 1 || !IsDac(slot) || start < 0 || count < 0)
        return -1;
    const std::vector<int16_t>& m = Cards().dac[slot][output].memory;
    if (static_cast<size_t>(start) >= m.size()) return 0;
    int32_t n = std::min<int32_t>(count, static_cast<int32_t>(m.size()) - start);
    if (samples != nullptr) std::copy(m.begin() + start, m.begin() + start + n, samples);
    return n;
}

}  // namespace sim
