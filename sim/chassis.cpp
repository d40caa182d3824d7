#include "sim/chassis.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/cards.h"

namespace sim {

constexpr double kPi = 3.14159265358979323846;

bool ParseDouble(const std::string& s, double& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = strtod(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ParseLong(const std::string& s, long long lo, long long hi, long long& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(s.c_str(), &end, 0);
    if (end == s.c_str() || *end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
    out = v;
    return true;
}

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size()) break;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
        words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

}  // namespace

// "5" or "0-15" -> [first, last]
bool ParseSlots(const std::string& s, int& first, int& last) {
    long long a, b;
    size_t dash = s.find('-', 1);
    if (dash == std::string::npos) {
        if (!ParseLong(s, 0, kSlots - 1, a)) return false;
        first = last = static_cast<int>(a);
        return true;
    }
    if (!ParseLong(s.substr(0, dash), 0, kSlots - 1, a) ||
        !ParseLong(s.substr(dash + 1), 0, kSlots - 1, b) || b < a)
        return false;
    first = static_cast<int>(a);
    last = static_cast<int>(b);
    return true;
}

namespace {

class LineParser {
  public:
    LineParser(Chassis& c, std::string& e, bool armOnly) : ch(c), error(e), arming(armOnly) {}

    bool Line(int number, const std::string& raw) {
        std::string text = raw;
        size_t hash = text.find('#');
        if (hash != std::string::npos) text.resize(hash);
        std::vector<std::string> w = Words(text);
        if (w.empty()) return true;
        lineNo = number;
        const std::string& key = w[0];
        if (key == "fault") return FaultLine(w);
        if (key == "refuse") return RefuseLine(w);
        if (key == "sendfail") return SendFailLine(w);
        if (arming) {
            static const char* const kSettings[] = {"card", "signal", "bits", "extstart", "timebase",
                                                    "fifo", "dds", "fixture", "cal", "wire"};
            for (const char* k : kSettings)
                if (key == k)
                    return Fail("\"" + key + "\" cannot be armed (only fault, refuse and sendfail)");
            return Fail("unknown keyword \"" + key + "\"");
        }
        if (key == "card") return CardLine(w);
        if (IsCardStatement(key)) {
            std::string why;
            return ParseCardStatement(w, ch, why) || Fail(why);
        }
        if (key == "signal") return SignalLine(w);
        if (key == "bits") return BitsLine(w);
        if (key == "extstart") return ExtStartLine(w);
        if (key == "timebase") {
            if (w.size() != 2 || (w[1] != "real" && w[1] != "virtual"))
                return Fail("timebase takes \"real\" or \"virtual\"");
            ch.virtualTime = w[1] == "virtual";
            return true;
        }
        if (key == "fifo") {
            long long n;
            if (w.size() != 2 || !ParseLong(w[1], 1, 1000000, n))
                return Fail("fifo takes a transfer count of 1 or more");
            ch.fifoTransfers = static_cast<uint32_t>(n);
            return true;
        }
        if (key == "dds" || key == "fixture") {
            if (w.size() < 2) return Fail(key + " takes \"present\", \"absent\" or \"srq\"");
            for (size_t i = 1; i < w.size(); ++i) {
                if (w[i] == "present") SetPresence(key, true);
                else if (w[i] == "absent") SetPresence(key, false);
                else if (w[i] == "srq" && key == "fixture") ch.fixtureSrq = true;
                else return Fail("unknown " + key + " setting \"" + w[i] + "\"");
            }
            return true;
        }
        return Fail("unknown keyword \"" + key + "\"");
    }

  private:
    Chassis& ch;
    std::string& error;
    bool arming;
    int lineNo = 0;

    bool Fail(const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    }

    void SetPresence(const std::string& key, bool present) {
        if (key == "dds") ch.ddsPresent = present;
        else ch.fixturePresent = present;
    }

    // card <slots> <model> [missing] [refuse [bits] [at <stage>]] [serial <n>] [code <n>] [imbalance <mV>]
    bool CardLine(const std::vector<std::string>& w) {
        int first, last;
        if (w.size() < 3) return Fail("card takes a slot (or range) and a model");
        if (!ParseSlots(w[1], first, last)) return Fail("bad slot \"" + w[1] + "\" (0-255 or a-b)");
        if (!KnownModel(w[2])) return Fail("unknown card model \"" + w[2] + "\"");
        Card card;
        card.model = w[2];
        card.modelCode = ModelCode(w[2]);
        bool serialSet = false;
        for (size_t i = 3; i < w.size(); ++i) {
            long long n;
            double v;
            if (w[i] == "missing") {
                card.state = CardState::Missing;
            } else if (w[i] == "refuse") {
                card.state = CardState::Refusing;
                if (i + 1 < w.size() && ParseLong(w[i + 1], 1, 0x7FFFFFFF, n)) {
                    card.refuseBits = static_cast<int32_t>(n);
                    ++i;
                }
                if (i + 1 < w.size() && w[i + 1] == "at") {
                    if (i + 2 >= w.size() || StageByName(w[i + 2]) < 0)
                        return Fail("refuse at takes a setup stage (select, input, filter, dacfilter, current, "
                                    "voltage, gain or 0-6)");
                    card.refuseStage = StageByName(w[i + 2]);
                    i += 2;
                }
            } else if (w[i] == "serial" && i + 1 < w.size() && ParseLong(w[i + 1], 0, 0x7FFFFFFF, n)) {
                card.serial = static_cast<int32_t>(n);
                serialSet = true;
                ++i;
            } else if (w[i] == "code" && i + 1 < w.size() && ParseLong(w[i + 1], 0, 0x7FFFFFFF, n)) {
                card.modelCode = static_cast<int32_t>(n);
                ++i;
            } else if (w[i] == "imbalance" && i + 1 < w.size() && ParseDouble(w[i + 1], v)) {
                card.imbalance = v;
                ++i;
            } else {
                return Fail("unknown or incomplete card option \"" + w[i] + "\"");
            }
        }
        for (int s = first; s <= last; ++s) {
            ch.card[s] = card;
            if (!serialSet) ch.card[s].serial = 10000 + s;
        }
        return true;
    }

    // signal <slots> const <mV> | sine <amp> <Hz> [offset] [phase] | noise <amp> [seed]
    //        | step <low> <high> <at s> | square <low> <high> <period s>
    bool SignalLine(const std::vector<std::string>& w) {
        int first, last;
        if (w.size() < 4) return Fail("signal takes a slot (or range), a kind and its values");
        if (!ParseSlots(w[1], first, last)) return Fail("bad slot \"" + w[1] + "\" (0-255 or a-b)");
        Signal s;
        std::vector<double> v;
        for (size_t i = 3; i < w.size(); ++i) {
            double x;
            if (!ParseDouble(w[i], x)) return Fail("bad number \"" + w[i] + "\"");
            v.push_back(x);
        }
        const std::string& kind = w[2];
        auto need = [&](size_t lo, size_t hi) { return v.size() >= lo && v.size() <= hi; };
        if (kind == "const") {
            if (!need(1, 1)) return Fail("const takes one level in mV");
            s.kind = SignalKind::Const;
            s.a = v[0];
        } else if (kind == "sine") {
            if (!need(2, 4)) return Fail("sine takes amplitude, frequency [offset] [phase]");
            if (v[1] < 0) return Fail("sine frequency must not be negative");
            s.kind = SignalKind::Sine;
            s.a = v[0];
            s.b = v[1];
            s.c = v.size() > 2 ? v[2] : 0.0;
            s.d = v.size() > 3 ? v[3] : 0.0;
        } else if (kind == "noise") {
            if (!need(1, 2)) return Fail("noise takes amplitude [seed]");
            s.kind = SignalKind::Noise;
            s.a = v[0];
            if (v.size() > 1) {
                if (v[1] < 0 || v[1] > 4294967295.0 || v[1] != std::floor(v[1]))
                    return Fail("noise seed must be a whole number 0-4294967295");
                s.seed = static_cast<uint32_t>(v[1]);
            }
        } else if (kind == "step") {
            if (!need(3, 3)) return Fail("step takes low, high and the switch time");
            s.kind = SignalKind::Step;
            s.a = v[0];
            s.b = v[1];
            s.c = v[2];
        } else if (kind == "square") {
            if (!need(3, 3)) return Fail("square takes low, high and the period");
            if (!(v[2] > 0)) return Fail("square period must be above 0");
            s.kind = SignalKind::Square;
            s.a = v[0];
            s.b = v[1];
            s.c = v[2];
        } else {
            return Fail("unknown signal kind \"" + kind + "\"");
        }
        for (int c = first; c <= last; ++c) ch.signal[c] = s;
        return true;
    }

    // bits <channel> <time>=<word> ...
    bool BitsLine(const std::vector<std::string>& w) {
        long long c;
        if (w.size() < 2 || !ParseLong(w[1], 0, kSlots - 1, c))
            return Fail("bits takes a channel 0-255 and time=word pairs");
        ch.bitsChannel = static_cast<int32_t>(c);
        ch.bits.clear();
        double last = -1.0;
        for (size_t i = 2; i < w.size(); ++i) {
            size_t eq = w[i].find('=');
            double t;
            long long word;
            if (eq == std::string::npos || !ParseDouble(w[i].substr(0, eq), t) ||
                !ParseLong(w[i].substr(eq + 1), 0, 0xFFFF, word))
                return Fail("bad bit change \"" + w[i] + "\" (time=word, word 0-0xFFFF)");
            if (t < 0 || t <= last) return Fail("bit change times must ascend from 0");
            last = t;
            ch.bits.push_back({t, static_cast<uint16_t>(word)});
        }
        return true;
    }

    // extstart <from>-<to> ...
    bool ExtStartLine(const std::vector<std::string>& w) {
        ch.extStart.clear();
        for (size_t i = 1; i < w.size(); ++i) {
            size_t dash = w[i].find('-', 1);
            double a, b;
            if (dash == std::string::npos || !ParseDouble(w[i].substr(0, dash), a) ||
                !ParseDouble(w[i].substr(dash + 1), b) || a < 0 || b <= a)
                return Fail("bad external-start interval \"" + w[i] + "\" (from-to seconds)");
            ch.extStart.push_back({a, b});
        }
        return true;
    }

    // fault <transfer> nosync|overflow|timeout|refuse
    bool FaultLine(const std::vector<std::string>& w) {
        long long n;
        if (w.size() != 3 || !ParseLong(w[1], 1, 0xFFFFFFFFLL, n))
            return Fail("fault takes a transfer number (1 or more) and a kind");
        Fault f;
        f.transfer = static_cast<uint32_t>(n);
        if (w[2] == "nosync") f.kind = FaultKind::NoSync;
        else if (w[2] == "overflow") f.kind = FaultKind::Overflow;
        else if (w[2] == "timeout") f.kind = FaultKind::Timeout;
        else if (w[2] == "refuse") f.kind = FaultKind::Refuse;
        else return Fail("unknown fault \"" + w[2] + "\" (nosync, overflow, timeout, refuse)");
        ch.faults.push_back(f);
        return true;
    }

    // sendfail <n> [enol|eadr|eabo|ebus]
    bool SendFailLine(const std::vector<std::string>& w) {
        long long n;
        if (w.size() < 2 || w.size() > 3 || !ParseLong(w[1], 1, 0xFFFFFFFFLL, n))
            return Fail("sendfail takes a Send number (1 or more) and an optional error");
        static const struct {
            const char* name;
            int32_t iberr;
        } kErrors[] = {{"enol", 2}, {"eadr", 3}, {"eabo", 6}, {"ebus", 14}};
        SendFailure f{static_cast<uint32_t>(n), 2};
        if (w.size() == 3) {
            bool known = false;
            for (const auto& e : kErrors)
                if (w[2] == e.name) {
                    f.iberr = e.iberr;
                    known = true;
                }
            if (!known) return Fail("unknown bus error \"" + w[2] + "\" (enol, eadr, eabo, ebus)");
        }
        ch.sendFailures.push_back(f);
        return true;
    }

    // refuse "<command prefix>" [times]
    bool RefuseLine(const std::vector<std::string>& w) {
        // The prefix may hold blanks: take everything between the quotes.
        std::string joined;
        for (size_t i = 1; i < w.size(); ++i) joined += (i > 1 ? " " : "") + w[i];
        if (joined.size() < 2 || joined[0] != '"') return Fail("refuse takes a quoted command prefix");
        size_t close = joined.find('"', 1);
        if (close == std::string::npos || close == 1) return Fail("refuse takes a quoted command prefix");
        RefuseRule r{joined.substr(1, close - 1), 1};
        std::string rest = joined.substr(close + 1);
        while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        long long n;
        if (!rest.empty()) {
            if (!ParseLong(rest, 1, 1000000, n)) return Fail("refuse count must be 1 or more");
            r.times = static_cast<int32_t>(n);
        }
        ch.refuse.push_back(r);
        return true;
    }
};

}  // namespace

void DefaultChassis(Chassis& chassis) {
    chassis = Chassis();
    for (int s = 0; s < kSlots; ++s) {
        chassis.card[s].serial = 10000 + s;
        chassis.signal[s].kind = SignalKind::Sine;
        chassis.signal[s].a = 1000.0;
        chassis.signal[s].b = 1.0;
    }
}

namespace {

bool ParseLines(const char* text, size_t length, LineParser& parser, std::string& error) {
    size_t start = 0;
    int number = 0;
    while (start < length) {
        size_t end = start;
        while (end < length && text[end] != '\n') ++end;
        ++number;
        std::string line(text + start, end - start);
        if (line.find('\0') != std::string::npos) {
            error = "line " + std::to_string(number) + ": unexpected NUL character";
            return false;
        }
        if (!parser.Line(number, line)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

bool ParseChassis(const char* text, size_t length, Chassis& chassis, std::string& error) {
    DefaultChassis(chassis);
    LineParser parser(chassis, error, false);
    if (ParseLines(text, length, parser, error)) return true;
    DefaultChassis(chassis);
    return false;
}

bool ParseArm(const char* text, size_t length, Chassis& armed, std::string& error) {
    armed.faults.clear();
    armed.refuse.clear();
    armed.sendFailures.clear();
    LineParser parser(armed, error, true);
    if (ParseLines(text, length, parser, error)) return true;
    armed.faults.clear();
    armed.refuse.clear();
    armed.sendFailures.clear();
    return false;
}

double NoiseUnit(uint32_t seed, int32_t channel, double t) {
    // splitmix64 over (seed, channel, time in ns): reproducible from the
    // sample's own time, whatever order samples are generated in.
    uint64_t z = static_cast<uint64_t>(std::llround(t * 1e9)) ^
                 (static_cast<uint64_t>(seed) << 32) ^ (static_cast<uint64_t>(channel) * 0x9E3779B97F4A7C15ull);
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

double SignalValue(const Signal& s, int32_t channel, double t) {
    switch (s.kind) {
        case SignalKind::Const:
            return s.a;
        case SignalKind::Sine:
            return s.c + s.a * std::sin(2.0 * kPi * s.b * t + s.d * (kPi / 180.0));
        case SignalKind::Noise:
            return s.a * NoiseUnit(s.seed, channel, t);
        case SignalKind::Step:
            return t < s.c ? s.a : s.b;
        case SignalKind::Square:
            return std::fmod(t, s.c) < s.c * 0.5 ? s.a : s.b;
    }
    return 0.0;
}

}  // namespace sim
