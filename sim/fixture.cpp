// The calibration fixture: its commands and the reference it puts on the
// channels it is wired to.
#include "sim/fixture.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/cards.h"
#include "sim/front_end_state.h"

namespace sim {

namespace {

constexpr double kFullOutput = 10000.0;  // mV either way

FixtureState& F() {
    static FixtureState fixture;
    return fixture;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// One command; "" when done, else why not.
std::string Execute(const std::string& raw) {
    FixtureState& f = F();
    std::string cmd = Upper(Trim(raw));
    if (cmd == "*RST") {
        f.level = 0.0;
        f.output = false;
        return "";
    }
    if (cmd == "OFF") {
        f.output = false;
        return "";
    }
    if (cmd.compare(0, 4, "OUT ") == 0) {
        // OUT <number> [V|MV]
        std::string arg = Trim(cmd.substr(4));
        char* end = nullptr;
        errno = 0;
        double v = strtod(arg.c_str(), &end);
        if (end == arg.c_str() || errno == ERANGE || !std::isfinite(v)) return "bad level \"" + arg + "\"";
        std::string unit = Trim(std::string(end));
        if (unit.empty() || unit == "V") v *= 1000.0;
        else if (unit != "MV") return "unknown unit \"" + unit + "\" (V or MV)";
        if (std::fabs(v) > kFullOutput) return "level beyond 10 V";
        f.level = v;
        f.output = true;
        return "";
    }
    return "unknown command \"" + cmd.substr(0, 40) + "\"";
}

}  // namespace

const FixtureState& Fixture() { return F(); }

void ResetFixture() { F() = FixtureState(); }

void FixtureCommand(const std::string& text) {
    FixtureState& f = F();
    ++f.commands;
    f.refused = false;
    f.error.clear();
    // Several commands may share one text; the first one not understood
    // ends it and the rest are not carried out.
    size_t start = 0;
    while (start <= text.size()) {
        size_t semi = text.find(';', start);
        std::string one = text.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        if (!Trim(one).empty() || semi != std::string::npos) {
            std::string why = Execute(one);
            if (!why.empty()) {
                f.refused = true;
                f.error = why;
                break;
            }
        }
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    if (S().chassis.fixtureSrq) f.requesting = true;
}

int32_t FixturePoll() {
    FixtureState& f = F();
    int32_t status = (f.requesting ? 0x40 : 0) | (f.refused ? 0x01 : 0);
    f.requesting = false;
    return status;
}

bool FixtureRequesting() { return F().requesting; }

void RaiseFixtureSRQ() { F().requesting = true; }

const Signal* FixtureSignalFor(int32_t channel) {
    const FixtureState& f = F();
    if (!f.output || channel < 0 || channel >= kSlots || !S().chassis.wired[channel]) return nullptr;
    Signal& s = Cards().fixtureSignal;
    s = Signal();
    s.kind = SignalKind::Const;
    s.a = f.level;
    return &s;
}

std::string FixtureStateText() {
    const FixtureState& f = F();
    char level[40];
    snprintf(level, sizeof level, "%.17g", f.level);
    std::string wired;
    for (int32_t c = 0; c < kSlots; ++c)
        if (S().chassis.wired[c]) wired += (wired.empty() ? "" : ",") + std::to_string(c);
    return std::string("level=") + level + "\noutput=" + (f.output ? "1" : "0") + "\nrequesting=" +
           (f.requesting ? "1" : "0") + "\nrefused=" + (f.refused ? "1" : "0") + "\nerror=" + f.error +
           "\ncommands=" + std::to_string(f.commands) + "\nwired=" + wired + "\n";
}

}  // namespace sim
