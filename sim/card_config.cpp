// The chassis file's card statements: `cal` (a card's calibration sources)
// and `wire` (the channels the calibration fixture drives).
#include <cmath>
#include <string>
#include <vector>

#include "sim/cards.h"

namespace sim {

namespace {

bool Fail(std::string& why, const std::string& text) {
    why = text;
    return false;
}

// The settings a `cal` statement may change.
double* CalField(CalModel& m, const std::string& key, bool& positive) {
    positive = key == "bridge" || key == "shunt1" || key == "shunt2" || key == "subst1" || key == "subst2";
    if (key == "reference") return &m.reference;
    if (key == "offset") return &m.offset;
    if (key == "bridge") return &m.bridge;
    if (key == "shunt1") return &m.shunt[0];
    if (key == "shunt2") return &m.shunt[1];
    if (key == "subst1") return &m.substitute[0];
    if (key == "subst2") return &m.substitute[1];
    if (key == "external") return &m.external;
    if (key == "noise") return &m.noise;
    return nullptr;
}

// cal <slots> <key> <value> ...: each key changes that setting of every card
// in the slots and leaves their other settings.
bool CalStatement(const std::vector<std::string>& w, Chassis& ch, std::string& why) {
    int first, last;
    if (w.size() < 4 || w.size() % 2 != 0)
        return Fail(why, "cal takes a slot (or range) and key value pairs");
    if (!ParseSlots(w[1], first, last)) return Fail(why, "bad slot \"" + w[1] + "\" (0-255 or a-b)");
    struct Change {
        std::string key;
        double value;
        uint64_t lacks;
    };
    std::vector<Change> changes;
    for (size_t i = 2; i + 1 < w.size(); i += 2) {
        const std::string& key = w[i];
        const std::string& text = w[i + 1];
        Change c{key, 0.0, 0};
        if (key == "lacks") {
            size_t start = 0;
            while (start <= text.size()) {
                size_t comma = text.find(',', start);
                std::string one = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                long long code;
                if (!ParseLong(one, 0, 63, code) || !ValidSource(static_cast<int32_t>(code)) || code == kSourceInput)
                    return Fail(why, "cal lacks takes calibration source codes (20, 31, 32, 41, 42, 50, 51, 52), not \"" +
                                         one + "\"");
                c.lacks |= 1ull << code;
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            changes.push_back(c);
            continue;
        }
        CalModel probe;
        bool positive = false;
        if (CalField(probe, key, positive) == nullptr) return Fail(why, "unknown cal setting \"" + key + "\"");
        if (!ParseDouble(text, c.value)) return Fail(why, "bad number \"" + text + "\"");
        if (positive && !(c.value > 0)) return Fail(why, "cal " + key + " must be above 0 ohms");
        if (key == "noise" && c.value < 0) return Fail(why, "cal noise must not be negative");
        if (std::fabs(c.value) > 1e9) return Fail(why, "cal " + key + " out of range");
        changes.push_back(c);
    }
    for (int s = first; s <= last; ++s) {
        CalModel& m = ch.card[s].cal;
        for (const Change& c : changes) {
            bool positive = false;
            if (c.key == "lacks") m.lacks = c.lacks;
            else *CalField(m, c.key, positive) = c.value;
        }
    }
    return true;
}

// wire <slots> ...
bool WireStatement(const std::vector<std::string>& w, Chassis& ch, std::string& why) {
    if (w.size() < 2) return Fail(why, "wire takes the slots (or ranges) the fixture drives");
    for (size_t i = 1; i < w.size(); ++i) {
        int first, last;
        if (!ParseSlots(w[i], first, last)) return Fail(why, "bad slot \"" + w[i] + "\" (0-255 or a-b)");
        for (int s = first; s <= last; ++s) ch.wired[s] = true;
    }
    return true;
}

}  // namespace

bool IsCardStatement(const std::string& keyword) { return keyword == "cal" || keyword == "wire"; }

bool ParseCardStatement(const std::vector<std::string>& w, Chassis& ch, std::string& why) {
    if (w.empty()) return Fail(why, "empty statement");
    if (w[0] == "cal") return CalStatement(w, ch, why);
    if (w[0] == "wire") return WireStatement(w, ch, why);
    return Fail(why, "unknown keyword \"" + w[0] + "\"");
}

}  // namespace sim
