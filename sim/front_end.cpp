#include "sim/front_end.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace sim {

BusStatus g_bus;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kMaxTransferWords = 64480;
constexpr double kBoardTimeout = 10.0;  // board-level routines wait at most T10s
constexpr int32_t kFirstUd = 1;
constexpr int32_t kMaxDevices = 32;

// The calibration sources a card offers: level in mV before the attenuator.
constexpr double kCalLevels[] = {0.0, 0.0, 5000.0, -5000.0, 1000.0, -1000.0, 2500.0, -2500.0};
constexpr int32_t kCalSources = 8;

struct CardSettings {
    double gain = 1.0;
    double variableGain = 1.0;
    int32_t variableGainEnabled = 0;
    double filter = 0.0;
    int32_t excitationType = 0;  // 0 voltage, 1 current
    int32_t excitationEnabled = 1;
    double voltage = 10.0;
    double current = 0.0;
    int32_t autobalanceEnabled = 1;
    int32_t autozeroEnabled = 1;
    int32_t inputMode = 0;
    double balance = 0.0;  // mV added by the last autobalance
    int32_t calSource = 0;
    int32_t attenuation = 1;
    int32_t opModes = 0;
    int32_t dacFilter[2] = {0, 0};
};

struct DacOutput {
    int32_t level = 0;  // mV, static level
    bool running = false;
    std::vector<int16_t> memory;
    int32_t regions = 0;
};

struct Device {
    bool open = false;
    int32_t pad = 0;
    double timeout = 10.0;
};

struct PendingRead {
    bool active = false;
    bool finished = false;   // completed in the background, not yet waited for
    BusStatus result;        // its status for the wait
    uint8_t* buffer = nullptr;
    int32_t count = 0;
};

struct State {
    Chassis chassis;
    bool virtualTime = false;
    double virtualNow = 0.0;
    std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();

    Device dev[kMaxDevices];
    PendingRead read;
    std::vector<std::string> log;
    uint32_t calls = 0;

    // DDS
    std::vector<int32_t> srq;  // status bytes waiting to be polled, oldest first
    int32_t lastStatus = 0;
    std::string reply;         // bytes of the pending query reply
    int32_t lastErrorBits = 0;
    int32_t lastErrorStage = -1;
    bool refuseNext = false;
    std::vector<RefuseRule> refuse;

    // scan table
    bool muxProgrammed = false;
    bool muxLoading = false;
    uint32_t entries = 0, blocks = 0, muxFormat = 0, muxWords = 0;
    double rate = 0.0;
    std::vector<int32_t> channel, block;
    std::vector<int32_t> loadChannel, loadBlock;
    uint32_t loadEntries = 0, loadBlocks = 0, loadFormat = 0, loadWords = 0;
    double loadRate = 0.0;
    uint32_t transferWords = 0;  // M7

    // streaming
    bool scanning = false;
    bool uploading = false;
    bool stalled = false;  // a time-out fault: nothing more until restarted
    double scanStart = -1.0;
    uint32_t nextK = 0;               // transfer of this scan being delivered
    std::vector<uint16_t> current;    // its words, generated when first read
    size_t offset = 0;                // bytes of it already delivered
    bool currentOverflow = false;
    uint32_t transfers = 0;           // generated since configuration

    // cards
    int32_t selected = -1;
    CardSettings card[kSlots];
    int32_t digitalOut[kSlots] = {};
    DacOutput dac[kSlots][2];

    // fixture
    bool fixtureSrq = false;
};

State& S() {
    // Goes with the library when it is unloaded.
    static State state;
    return state;
}

// ---- time --------------------------------------------------------------------------
double NowSeconds() {
    State& s = S();
    if (s.virtualTime) return s.virtualNow;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - s.origin).count();
}

void WaitUntil(double t) {
    State& s = S();
    if (s.virtualTime) {
        if (t > s.virtualNow) s.virtualNow = t;
        return;
    }
    // Sleeps may end a little early (coarse system timers): never deliver
    // before the data exist.
    for (double now = NowSeconds(); now < t; now = NowSeconds())
        std::this_thread::sleep_for(std::chrono::duration<double>(t - now));
}

double TimeoutSeconds(int32_t tmo) {
    static const double kTable[] = {0,    10e-6, 30e-6, 100e-6, 300e-6, 1e-3, 3e-3, 10e-3, 30e-3,
                                    0.1,  0.3,   1.0,   3.0,    10.0,   30.0, 100.0, 300.0, 1000.0};
    if (tmo < 0 || tmo > 17) return 10.0;
    return tmo == 0 ? 1e9 : kTable[tmo];
}

void Set(int32_t sta, int32_t err, int32_t cnt) {
    g_bus.ibsta = sta;
    g_bus.iberr = err;
    g_bus.ibcntl = cnt;
}

void Error(int32_t err) { Set(kERR, err, 0); }

// ---- scan timing ---------------------------------------------------------------------
uint32_t WordsPerScan() { return S().entries + 8; }
uint32_t ScansPerTransfer() { return S().transferWords / WordsPerScan(); }
double TransferSeconds() {
    State& s = S();
    return static_cast<double>(ScansPerTransfer()) * s.blocks / s.rate;
}
double ReadyTime(uint32_t k) { return S().scanStart + (k + 1.0) * TransferSeconds(); }
bool Streaming() {
    State& s = S();
    return s.chassis.ddsPresent && s.scanning && s.uploading && !s.stalled;
}

void PushSrq(int32_t status) {
    State& s = S();
    if (s.srq.size() < 64) s.srq.push_back(status);
}

bool HasFault(uint32_t transfer, FaultKind kind) {
    for (const Fault& f : S().chassis.faults)
        if (f.transfer == transfer && f.kind == kind) return true;
    return false;
}

// Makes the next transfer current; false when a time-out fault swallows it.
bool PrepareTransfer() {
    State& s = S();
    if (!s.current.empty()) return true;
    uint32_t number = ++s.transfers;
    if (HasFault(number, FaultKind::Timeout)) {
        s.stalled = true;
        return false;
    }
    s.current.assign(s.transferWords, 0);
    GenerateTransfer(s.current.data(), s.nextK, s.scanStart, static_cast<uint16_t>(number));
    // The DDS buffers a few transfers; one collected later than that has
    // been overwritten in its FIFO.
    s.currentOverflow = HasFault(number, FaultKind::Overflow) ||
                        NowSeconds() > ReadyTime(s.nextK + s.chassis.fifoTransfers);
    if (s.currentOverflow) {
        uint32_t scans = ScansPerTransfer(), w = WordsPerScan();
        for (uint32_t i = 0; i < scans; ++i) s.current[i * w + 2] |= 1;  // header byte 4, bit 0
    }
    if (HasFault(number, FaultKind::NoSync)) s.current[0] = 0;
    s.offset = 0;
    return true;
}

// Delivers up to `count` bytes of the stream into `buffer`; the transfer must
// be ready.  Returns the bytes given and whether the transfer ended.
int32_t Deliver(uint8_t* buffer, int32_t count, bool& end) {
    State& s = S();
    size_t total = s.current.size() * 2;
    size_t n = std::min(static_cast<size_t>(count), total - s.offset);
    memcpy(buffer, reinterpret_cast<const uint8_t*>(s.current.data()) + s.offset, n);
    s.offset += n;
    end = s.offset == total;
    if (end) {
        uint32_t number = s.transfers;
        PushSrq(s.currentOverflow ? kStatusOverflow : kStatusTransfer);
        s.current.clear();
        s.offset = 0;
        ++s.nextK;
        if (HasFault(number, FaultKind::Refuse)) s.refuseNext = true;
    }
    return static_cast<int32_t>(n);
}

// Runs an outstanding asynchronous read to its end if its data are ready by
// `deadline`; waits for them.  False when they are not.
bool CompleteRead(double deadline) {
    State& s = S();
    if (!s.read.active || !Streaming() || !PrepareTransfer()) return false;
    double ready = ReadyTime(s.nextK);
    if (ready > deadline) return false;
    WaitUntil(ready);
    bool end = false;
    int32_t n = Deliver(s.read.buffer, s.read.count, end);
    s.read.active = false;
    Set(kCMPL | (end ? kEND : 0), 0, n);
    s.read.finished = true;
    s.read.result = g_bus;
    return true;
}

// The board moves data in the background: a read whose data have arrived is
// done whatever routine is called next.
void CatchUp() {
    State& s = S();
    S().calls++;
    if (!s.read.active) return;
    BusStatus keep = g_bus;
    CompleteRead(NowSeconds());
    g_bus = keep;
}

bool ValidUd(int32_t ud) {
    return ud >= kFirstUd && ud < kMaxDevices && S().dev[ud].open;
}

// ---- DDS commands ----------------------------------------------------------------------
std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        size_t p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) break;
        start = p + 1;
    }
    return out;
}

bool ToInt(const std::string& text, long long lo, long long hi, int32_t& out) {
    if (text.empty() || text.size() > 20) return false;
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool ToDouble(const std::string& text, double& out) {
    if (text.empty() || text.size() > 40) return false;
    char* end = nullptr;
    errno = 0;
    double v = strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    out = v;
    return true;
}

// Arguments after the command word, comma separated.
bool Args(const std::string& rest, size_t n, std::vector<std::string>& out) {
    out = rest.empty() ? std::vector<std::string>() : Split(rest, ',');
    for (std::string& a : out) {
        while (!a.empty() && a.front() == ' ') a.erase(0, 1);
        while (!a.empty() && a.back() == ' ') a.pop_back();
    }
    return out.size() == n;
}

struct Outcome {
    int32_t errorBits = 0;  // 0 = accepted
    int32_t stage = -1;
};

Outcome Refuse(int32_t bits, int32_t stage = -1) { return Outcome{bits, stage}; }

// The card of the selected channel, or the reason it cannot act.
Outcome SelectedCard(int32_t stage) {
    State& s = S();
    if (s.selected < 0) return Refuse(kErrInstruction, stage);
    const Card& c = s.chassis.card[s.selected];
    if (c.state == CardState::Missing) return Refuse(kErrNotInstalled, stage);
    if (c.state == CardState::Refusing) return Refuse(c.refuseBits, stage);
    return Outcome{};
}

std::string Format(const char* fmt, double v) {
    char buf[64];
    snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

Outcome CardCommand(const std::string& word, const std::string& rest) {
    State& s = S();
    std::vector<std::string> a;
    int32_t i0 = 0, i1 = 0, i2 = 0;
    double d0 = 0;

    if (word == "C") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, kSlots - 1, i0)) return Refuse(kErrParameter, 0);
        s.selected = i0;
        return SelectedCard(0);
    }
    if (word == "E?") {
        s.reply = std::to_string(s.lastErrorBits) + "," + std::to_string(s.lastErrorStage) + "\n";
        return Outcome{};
    }
    if (word == "O") {
        if (!Args(rest, 2, a) || !ToInt(a[0], 0, kSlots - 1, i0) || !ToInt(a[1], 0, 1, i1))
            return Refuse(kErrParameter);
        s.digitalOut[i0] = i1;
        return Outcome{};
    }
    if (word == "O?") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, kSlots - 1, i0)) return Refuse(kErrParameter);
        s.reply = std::to_string(s.digitalOut[i0]) + "\n";
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
    if (word == "QI") {  // DAC static level: channel,output,mV
        if (!Args(rest, 3, a) || !ToInt(a[0], 0, kSlots - 1, i0) || !ToInt(a[1], 0, 1, i1) ||
            !ToInt(a[2], -10000, 10000, i2))
            return Refuse(kErrParameter);
        if (s.chassis.card[i0].model != "M21" || s.chassis.card[i0].state != CardState::Present)
            return Refuse(kErrNotInstalled);
        s.dac[i0][i1].level = i2;
        return Outcome{};
    }
    if (word == "QW") {  // DAC region: channel,output,region,start,points,loop,master then QD data
        if (!Args(rest, 7, a) || !ToInt(a[0], 0, kSlots - 1, i0) || !ToInt(a[1], 0, 1, i1) ||
            !ToInt(a[2], 0, 63, i2))
            return Refuse(kErrParameter);
        int32_t start, points, loop, master;
        if (!ToInt(a[3], 0, 65535, start) || !ToInt(a[4], 0, 65536 - start, points) ||
            !ToInt(a[5], 0, 0x7FFFFFFF, loop) || !ToInt(a[6], 0, 0x7FFFFFFF, master))
            return Refuse(kErrParameter);
        if (s.chassis.card[i0].model != "M21" || s.chassis.card[i0].state != CardState::Present)
            return Refuse(kErrNotInstalled);
        DacOutput& out = s.dac[i0][i1];
        if (out.memory.size() < static_cast<size_t>(start + points)) out.memory.resize(start + points);
        out.regions = std::max(out.regions, i2 + 1);
        return Outcome{};
    }
    if (word == "QD") {  // channel,output,at,v,v,...
        a = Split(rest, ',');
        if (a.size() < 4 || !ToInt(a[0], 0, kSlots - 1, i0) || !ToInt(a[1], 0, 1, i1) ||
            !ToInt(a[2], 0, 65535, i2))
            return Refuse(kErrParameter);
        DacOutput& out = s.dac[i0][i1];
        if (static_cast<size_t>(i2) + a.size() - 3 > out.memory.size()) return Refuse(kErrParameter);
        for (size_t i = 3; i < a.size(); ++i) {
            int32_t v;
            if (!ToInt(a[i], -32768, 32767, v)) return Refuse(kErrParameter);
            out.memory[i2 + i - 3] = static_cast<int16_t>(v);
        }
        return Outcome{};
    }
    if (word == "QS" || word == "QZ" || word == "QH") {  // start / stop at zero / stop holding
        if (!Args(rest, 1, a) || !ToInt(a[0], -1, kSlots - 1, i0)) return Refuse(kErrParameter);
        for (int c = 0; c < kSlots; ++c) {
            if (i0 != -1 && c != i0) continue;
            for (DacOutput& out : s.dac[c]) {
                out.running = word == "QS";
                if (word == "QZ") out.level = 0;
            }
        }
        return Outcome{};
    }
    if (word == "QP") {  // count,c,c,... pairs of the test waves
        a = Split(rest, ',');
        if (a.empty() || !ToInt(a[0], 0, 64, i0) || a.size() != static_cast<size_t>(i0) + 1)
            return Refuse(kErrParameter);
        for (size_t i = 1; i < a.size(); ++i)
            if (!ToInt(a[i], -1, kSlots - 1, i1)) return Refuse(kErrParameter);
        return Outcome{};
    }

    // The rest act on the selected channel's card.
    static const struct {
        const char* word;
        int32_t stage;
    } kStages[] = {{"IM", 1}, {"F", 2}, {"DF", 3}, {"XI", 4}, {"XV", 5}, {"X", 5}, {"G", 6},
                   {"GV", 6}, {"AB", -1}, {"AZ", -1}, {"B", -1}, {"S?", -1}, {"D?", -1},
                   {"L", -1}, {"LA", -1}, {"LM", -1}, {"LR", -1}};
    int32_t stage = -2;
    for (const auto& k : kStages)
        if (word == k.word) stage = k.stage;
    if (stage == -2) return Refuse(kErrInstruction);
    if (word != "DF") {
        Outcome o = SelectedCard(stage);
        if (o.errorBits) return o;
    }
    CardSettings& cs = s.card[std::max(s.selected, 0)];
    const Card& hw = s.chassis.card[std::max(s.selected, 0)];

    if (word == "IM") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, 15, i0)) return Refuse(kErrParameter, stage);
        cs.inputMode = i0;
    } else if (word == "F") {
        if (!Args(rest, 1, a) || !ToDouble(a[0], d0) || d0 < 0) return Refuse(kErrParameter, stage);
        cs.filter = d0;
    } else if (word == "DF") {  // DAC card channel, output, filter index
        if (!Args(rest, 3, a) || !ToInt(a[0], 0, kSlots - 1, i0) || !ToInt(a[1], 0, 1, i1) ||
            !ToInt(a[2], 0, 7, i2))
            return Refuse(kErrParameter, stage);
        const Card& dacCard = s.chassis.card[i0];
        if (dacCard.state == CardState::Missing) return Refuse(kErrNotInstalled, stage);
        if (dacCard.state == CardState::Refusing) return Refuse(dacCard.refuseBits, stage);
        if (dacCard.model != "M21") return Refuse(kErrInstruction, stage);
        s.card[i0].dacFilter[i1] = i2;
    } else if (word == "XI" || word == "XV") {
        if (!Args(rest, 1, a) || !ToDouble(a[0], d0) || d0 < 0 || d0 > 100)
            return Refuse(kErrExcitation, stage);
        (word == "XI" ? cs.current : cs.voltage) = d0;
    } else if (word == "X") {
        if (!Args(rest, 2, a) || !ToInt(a[0], 0, 1, i0) || !ToInt(a[1], 0, 1, i1))
            return Refuse(kErrExcitation, stage);
        cs.excitationType = i0;
        cs.excitationEnabled = i1;
    } else if (word == "G") {
        if (!Args(rest, 1, a) || !ToDouble(a[0], d0) || !(d0 > 0) || d0 > 100000)
            return Refuse(kErrParameter, stage);
        cs.gain = d0;
    } else if (word == "GV") {
        if (!Args(rest, 2, a) || !ToDouble(a[0], d0) || !ToInt(a[1], 0, 1, i1) ||
            (i1 && (!(d0 > 0) || d0 > 100000)))
            return Refuse(kErrParameter, stage);
        cs.variableGain = d0;
        cs.variableGainEnabled = i1;
    } else if (word == "AB" || word == "AZ") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, 1, i0)) return Refuse(kErrParameter);
        (word == "AB" ? cs.autobalanceEnabled : cs.autozeroEnabled) = i0;
    } else if (word == "B") {
        if (!cs.autobalanceEnabled) return Refuse(kErrBalance);
        // The bridge is nulled against its imbalance at the input.
        cs.balance = -hw.imbalance;
    } else if (word == "S?") {
        char buf[256];
        snprintf(buf, sizeof buf, "%.17g,%.17g,%d,%.17g,%.17g,%.17g,%d,%d,%d,%d\n", cs.gain,
                 cs.variableGain, cs.variableGainEnabled, cs.filter, cs.voltage, cs.current,
                 cs.excitationType, cs.excitationEnabled, cs.autobalanceEnabled, cs.autozeroEnabled);
        s.reply = buf;
    } else if (word == "D?") {
        // The card's option lists: amplifier cards offer gains and filters,
        // the others unity gain and wide band only.
        bool amplifier = ModelBits(hw.model) == 12 || hw.model == "M15-C" || hw.model == "M17-C";
        static const double kGains[16] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
        static const double kFilters[8] = {0, 10, 100, 1000, 10000};
        static const double kVolts[10] = {0, 1, 2, 2.5, 5, 10};
        static const double kAmps[10] = {0, 1, 2, 4, 10};
        std::string r = std::to_string(hw.modelCode) + "," + std::to_string(hw.serial);
        for (int i = 0; i < 16; ++i) r += "," + Format("%g", amplifier ? kGains[i] : (i == 0 ? 1 : 0));
        for (int i = 0; i < 8; ++i) r += "," + Format("%g", amplifier ? kFilters[i] : 0);
        for (int i = 0; i < 10; ++i) r += "," + Format("%g", amplifier ? kVolts[i] : 0);
        for (int i = 0; i < 10; ++i) r += "," + Format("%g", amplifier ? kAmps[i] : 0);
        s.reply = r + "\n";
    } else if (word == "L") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 0, 0x7FFFFFFF, i0) || i0 >= kCalSources)
            return Refuse(kErrParameter);
        cs.calSource = i0;
    } else if (word == "LA") {
        if (!Args(rest, 1, a) || !ToInt(a[0], 1, 1000, i0) ||
            (i0 != 1 && i0 != 10 && i0 != 100 && i0 != 1000))
            return Refuse(kErrParameter);
        cs.attenuation = i0;
    } else if (word == "LM") {
        if (!Args(rest, 2, a) || !ToInt(a[0], 0, 0xFFFF, i0) || !ToInt(a[1], 0, 1, i1))
            return Refuse(kErrParameter);
        cs.opModes = i0;
    } else if (word == "LR") {
        cs.calSource = 0;
        cs.attenuation = 1;
        cs.opModes = 0;
    }
    return Outcome{};
}

bool RefusedByRule(const std::string& cmd) {
    for (RefuseRule& r : S().refuse) {
        if (r.times > 0 && cmd.compare(0, r.prefix.size(), r.prefix) == 0) {
            --r.times;
            return true;
        }
    }
    return false;
}

void DdsCommand(const std::string& cmd) {
    State& s = S();
    s.reply.clear();
    // Upload needs no answer: the transfers that follow carry their own.
    if (cmd == "U") {
        if (s.scanning) s.uploading = true;
        return;
    }
    if (s.refuseNext || RefusedByRule(cmd)) {
        s.refuseNext = false;
        s.lastErrorBits = kErrBus;
        s.lastErrorStage = -1;
        PushSrq(kStatusRefused);
        return;
    }
    Outcome o;
    size_t blank = cmd.find(' ');
    std::string word = cmd.substr(0, blank);
    std::string rest = blank == std::string::npos ? "" : cmd.substr(blank + 1);
    if (cmd == "M0?") {
        s.reply = std::string("S") + (s.scanning ? '1' : '0') + (s.uploading ? '1' : '0') + "\n";
    } else if (cmd == "M0 2") {
        s.scanning = s.uploading = s.stalled = false;
        s.scanStart = -1.0;
        s.current.clear();
        s.offset = 0;
    } else if (cmd == "M0 1,1") {
        if (!s.muxProgrammed || s.transferWords == 0) {
            o = Refuse(kErrInstruction);
        } else {
            s.scanning = true;
            s.uploading = s.stalled = false;
            s.scanStart = NowSeconds();
            s.nextK = 0;
            s.current.clear();
            s.offset = 0;
        }
    } else if (word == "M7") {
        int32_t n = 0;
        bool digits = !rest.empty() && rest.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || !ToInt(rest, 1, kMaxTransferWords, n) || !s.muxProgrammed ||
            n % static_cast<int32_t>(WordsPerScan()) != 0)
            o = Refuse(kErrParameter);  // only whole scans fit the stream
        else if (s.scanning)
            o = Refuse(kErrInstruction);
        else
            s.transferWords = static_cast<uint32_t>(n);
    } else {
        o = CardCommand(word, rest);
    }
    if (o.errorBits) {
        s.reply.clear();
        s.lastErrorBits = o.errorBits;
        s.lastErrorStage = o.stage;
        PushSrq(kStatusRefused);
    } else {
        PushSrq(kStatusDone);
    }
}

}  // namespace

// ---- set-up ----------------------------------------------------------------------------
void Configure(const Chassis& chassis) {
    State& s = S();
    s = State();
    s.chassis = chassis;
    s.virtualTime = chassis.virtualTime;
    s.refuse = chassis.refuse;
    g_bus = BusStatus();
}

bool ConfigureText(const char* text, size_t length, std::string& error) {
    Chassis* c = new Chassis();
    bool ok = ParseChassis(text, length, *c, error);
    if (ok) Configure(*c);
    delete c;
    return ok;
}

const Chassis& CurrentChassis() { return S().chassis; }
bool VirtualTime() { return S().virtualTime; }
void SetVirtualTime(bool on) {
    State& s = S();
    if (on == s.virtualTime) return;
    double now = NowSeconds();
    s.virtualTime = on;
    if (on) {
        s.virtualNow = now;
    } else {
        s.origin = std::chrono::steady_clock::now() -
                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                       std::chrono::duration<double>(now));
    }
}
double Now() { return NowSeconds(); }
void Advance(double seconds) {
    if (S().virtualTime && seconds > 0) S().virtualNow += seconds;
}

// ---- driver routines ------------------------------------------------------------------
void SendIFC(int32_t board) {
    CatchUp();
    if (board != 0) return Error(kENOL);
    S().read.active = false;
    Set(kCMPL, 0, 0);
}

int32_t Dev(int32_t board, int32_t pad, int32_t sad, int32_t tmo, int32_t eot, int32_t eos) {
    CatchUp();
    (void)eot;
    (void)eos;
    if (board != 0 || pad < 0 || pad > 30 || (sad != 0 && (sad < 0x60 || sad > 0x7E)) || tmo < 0 ||
        tmo > 17) {
        Error(kEARG);
        return -1;
    }
    State& s = S();
    for (int32_t ud = kFirstUd; ud < kMaxDevices; ++ud) {
        if (s.dev[ud].open) continue;
        s.dev[ud].open = true;
        s.dev[ud].pad = pad;
        s.dev[ud].timeout = TimeoutSeconds(tmo);
        Set(kCMPL, 0, 0);
        return ud;
    }
    Error(kEDVR);
    return -1;
}

int32_t Clr(int32_t ud) {
    CatchUp();
    State& s = S();
    if (!ValidUd(ud)) {
        Error(kEDVR);
        return g_bus.ibsta;
    }
    if (s.dev[ud].pad == 29) {
        if (!s.chassis.ddsPresent) {
            Error(kENOL);
            return g_bus.ibsta;
        }
        // A cleared DDS stops everything and forgets what it had to say.
        s.read.active = false;
        s.scanning = s.uploading = s.stalled = false;
        s.scanStart = -1.0;
        s.current.clear();
        s.offset = 0;
        s.srq.clear();
        s.reply.clear();
    }
    Set(kCMPL, 0, 0);
    return g_bus.ibsta;
}

int32_t Rda(int32_t ud, void* buffer, int32_t count) {
    CatchUp();
    State& s = S();
    if (!ValidUd(ud)) {
        Error(kEDVR);
        return g_bus.ibsta;
    }
    if (buffer == nullptr || count <= 0) {
        Error(kEARG);
        return g_bus.ibsta;
    }
    if (s.read.active) {
        Error(kEOIP);
        return g_bus.ibsta;
    }
    if (s.dev[ud].pad != 29 || !s.chassis.ddsPresent) {
        Error(kENOL);
        return g_bus.ibsta;
    }
    s.read.active = true;
    s.read.finished = false;
    s.read.buffer = static_cast<uint8_t*>(buffer);
    s.read.count = count;
    Set(0, 0, 0);
    return g_bus.ibsta;
}

int32_t Wait(int32_t ud, int32_t mask) {
    CatchUp();
    State& s = S();
    if (!ValidUd(ud)) {
        Error(kEDVR);
        return g_bus.ibsta;
    }
    if (!s.read.active) {
        // A read that finished in the background reports how it ended.
        if (s.read.finished) g_bus = s.read.result;
        else Set(kCMPL, 0, 0);
        s.read.finished = false;
        return g_bus.ibsta;
    }
    if (!(mask & (kTIMO | kCMPL))) {
        Set(0, 0, 0);
        return g_bus.ibsta;
    }
    double deadline = NowSeconds() + s.dev[ud].timeout;
    if ((mask & kCMPL) && CompleteRead(deadline)) return g_bus.ibsta;
    WaitUntil(deadline);
    Set(kTIMO, 0, 0);  // the read stays outstanding until stopped
    return g_bus.ibsta;
}

int32_t Rd(int32_t ud, void* buffer, int32_t count) {
    if (Rda(ud, buffer, count) & kERR) return g_bus.ibsta;
    S().calls--;  // one routine, not two
    Wait(ud, kTIMO | kCMPL);
    if (g_bus.ibsta & kTIMO) {
        S().read.active = false;
        Set(kERR | kTIMO, kEABO, 0);
    }
    return g_bus.ibsta;
}

int32_t Stop(int32_t ud) {
    CatchUp();
    State& s = S();
    if (!ValidUd(ud)) {
        Error(kEDVR);
        return g_bus.ibsta;
    }
    if (s.read.active) {
        s.read.active = false;
        Set(kERR | kCMPL, kEABO, 0);
    } else {
        Set(kCMPL, 0, 0);
    }
    return g_bus.ibsta;
}

void Send(int32_t board, int32_t address, const void* buffer, int32_t count, int32_t eot) {
    CatchUp();
    State& s = S();
    (void)eot;
    if (board != 0 || buffer == nullptr || count < 0 || count > 65536) return Error(kEARG);
    if (s.read.active) return Error(kEOIP);
    bool present = (address == 29 && s.chassis.ddsPresent) || (address == 28 && s.chassis.fixturePresent);
    if (!present) return Error(kENOL);
    std::string text(static_cast<const char*>(buffer), static_cast<size_t>(count));
    // The instrument reads up to the linefeed or EOI; an embedded NUL ends it.
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (s.log.size() < 100000) s.log.push_back(std::to_string(address) + ":" + text);
    if (address == 29) DdsCommand(text);
    else if (s.chassis.fixtureSrq) s.fixtureSrq = true;
    Set(kCMPL | kEND, 0, count);
}

void Receive(int32_t board, int32_t address, void* buffer, int32_t count, int32_t termination) {
    CatchUp();
    State& s = S();
    (void)termination;
    if (board != 0 || buffer == nullptr || count < 0) return Error(kEARG);
    if (s.read.active) return Error(kEOIP);
    bool present = (address == 29 && s.chassis.ddsPresent) || (address == 28 && s.chassis.fixturePresent);
    if (!present) return Error(kENOL);
    if (address != 29 || s.reply.empty()) {
        // Nothing to say: the talker never sends and the board times out.
        WaitUntil(NowSeconds() + kBoardTimeout);
        return Set(kERR | kTIMO, kEABO, 0);
    }
    size_t n = std::min(static_cast<size_t>(count), s.reply.size());
    memcpy(buffer, s.reply.data(), n);
    s.reply.erase(0, n);
    Set(kCMPL | (s.reply.empty() ? kEND : 0), 0, static_cast<int32_t>(n));
}

void WaitSRQ(int32_t board, int16_t* result) {
    CatchUp();
    State& s = S();
    if (board != 0 || result == nullptr) return Error(kEARG);
    double deadline = NowSeconds() + kBoardTimeout;
    if (s.srq.empty() && !s.fixtureSrq) CompleteRead(deadline);
    if (!s.srq.empty() || s.fixtureSrq) {
        *result = 1;
        return Set(kCMPL, 0, 0);
    }
    WaitUntil(deadline);
    *result = 0;
    Set(kERR | kTIMO, kEABO, 0);
}

void ReadStatusByte(int32_t board, int32_t address, int16_t* result) {
    CatchUp();
    State& s = S();
    if (board != 0 || result == nullptr) return Error(kEARG);
    if (address == 29 && s.chassis.ddsPresent) {
        if (!s.srq.empty()) {
            s.lastStatus = s.srq.front();
            s.srq.erase(s.srq.begin());
            *result = static_cast<int16_t>(s.lastStatus);
        } else {
            *result = static_cast<int16_t>(s.lastStatus & ~0x40);
        }
        return Set(kCMPL, 0, 0);
    }
    if (address == 28 && s.chassis.fixturePresent) {
        *result = static_cast<int16_t>(s.fixtureSrq ? 0x40 : 0);
        s.fixtureSrq = false;
        return Set(kCMPL, 0, 0);
    }
    Error(kENOL);
}

void TestSRQ(int32_t board, int16_t* result) {
    CatchUp();
    State& s = S();
    if (board != 0 || result == nullptr) return Error(kEARG);
    *result = (!s.srq.empty() || s.fixtureSrq) ? 1 : 0;
    Set(kCMPL, 0, 0);
}

// ---- observation ---------------------------------------------------------------------
const std::vector<std::string>& CommandLog() { return S().log; }
uint32_t CallCount() { return S().calls; }
double ScanStartTime() { return S().scanning ? S().scanStart : -1.0; }
uint32_t TransferCount() { return S().transfers; }
void RaiseFixtureSRQ() { S().fixtureSrq = true; }
int32_t DigitalOut(int32_t line) { return line >= 0 && line < kSlots ? S().digitalOut[line] : 0; }
uint32_t TransferWords() { return S().transferWords; }

// ---- the stream ---------------------------------------------------------------------
namespace {

enum class PosKind : uint8_t { Zero, Const, Sine, Noise, Wave, Bits };

struct PosPlan {
    PosKind kind;
    int32_t channel;
    double factor;   // counts per mV at the input
    double dc;       // mV added to the signal
    double lo, hi;   // converter range in counts
    const Signal* signal;
    double sinStep, cosStep;  // rotation per scan (sine)
    double sn, cs;            // sin/cos of the phase at the current scan
};

inline int16_t ToCounts(double mv, const PosPlan& p) {
    double x = mv * p.factor;
    x = x < p.lo ? p.lo : (x > p.hi ? p.hi : x);
    return static_cast<int16_t>(std::lround(x));
}

uint16_t BitsAt(const Chassis& c, double t) {
    uint16_t word = 0;
    for (const BitChange& b : c.bits) {
        if (b.time > t) break;
        word = b.word;
    }
    return word;
}

bool ExternalStartAt(const Chassis& c, double t) {
    for (const Interval& i : c.extStart)
        if (t >= i.from && t < i.to) return true;
    return false;
}

}  // namespace

void GenerateTransfer(uint16_t* out, uint32_t k, double scanStart, uint16_t sequence) {
    State& s = S();
    const uint32_t n = s.entries, w = n + 8, scans = ScansPerTransfer();
    const double blocks = s.blocks, rate = s.rate;
    static std::vector<PosPlan> plan;  // one caller at a time, as on the bus
    plan.assign(n, PosPlan{});
    const uint64_t firstScan = static_cast<uint64_t>(k) * scans;
    for (uint32_t p = 0; p < n; ++p) {
        PosPlan& pp = plan[p];
        int32_t c = s.channel[p];
        pp.channel = c;
        pp.kind = PosKind::Zero;
        if (c < 0 || c >= kSlots) continue;
        const Card& hw = s.chassis.card[c];
        if (hw.state == CardState::Missing) continue;
        if (c == s.chassis.bitsChannel) {
            pp.kind = PosKind::Bits;
            continue;
        }
        const CardSettings& cs = s.card[c];
        double full = ModelBits(hw.model) == 12 ? 2048.0 : 32768.0;
        double gain = cs.variableGainEnabled ? cs.variableGain : cs.gain;
        pp.factor = gain * full / 10000.0;
        pp.lo = -full;
        pp.hi = full - 1;
        pp.dc = hw.imbalance + cs.balance;
        pp.signal = &s.chassis.signal[c];
        if (cs.calSource != 0) {
            pp.kind = PosKind::Const;
            pp.dc = kCalLevels[cs.calSource] / cs.attenuation;
            pp.signal = nullptr;
            continue;
        }
        switch (pp.signal->kind) {
            case SignalKind::Const:
                pp.kind = PosKind::Const;
                pp.dc += pp.signal->a;
                break;
            case SignalKind::Sine: {
                pp.kind = PosKind::Sine;
                double omega = 2.0 * kPi * pp.signal->b;
                double t0 = scanStart + (firstScan * blocks + s.block[p]) / rate;
                double phase = omega * t0 + pp.signal->d * (kPi / 180.0);
                pp.sn = std::sin(phase);
                pp.cs = std::cos(phase);
                double step = omega * blocks / rate;
                pp.sinStep = std::sin(step);
                pp.cosStep = std::cos(step);
                pp.dc += pp.signal->c;
                break;
            }
            case SignalKind::Noise:
                pp.kind = PosKind::Noise;
                break;
            default:
                pp.kind = PosKind::Wave;
                break;
        }
    }
    for (uint32_t i = 0; i < scans; ++i) {
        uint16_t* scan = out + static_cast<size_t>(i) * w;
        uint64_t frame = firstScan + i;
        double frameTime = scanStart + (frame * blocks) / rate;
        scan[0] = 0xFE6B;
        scan[1] = sequence;
        scan[2] = static_cast<uint16_t>(ExternalStartAt(s.chassis, frameTime) ? 0x0100 : 0);
        scan[3] = static_cast<uint16_t>(i);
        scan[4] = static_cast<uint16_t>(frame & 0xFFFF);
        scan[5] = static_cast<uint16_t>((frame >> 16) & 0xFFFF);
        scan[6] = 0;
        scan[7] = 0;
        uint16_t* sample = scan + 8;
        for (uint32_t p = 0; p < n; ++p) {
            PosPlan& pp = plan[p];
            switch (pp.kind) {
                case PosKind::Zero:
                    sample[p] = 0;
                    break;
                case PosKind::Const:
                    sample[p] = static_cast<uint16_t>(ToCounts(pp.dc, pp));
                    break;
                case PosKind::Sine: {
                    sample[p] = static_cast<uint16_t>(ToCounts(pp.dc + pp.signal->a * pp.sn, pp));
                    double sn = pp.sn * pp.cosStep + pp.cs * pp.sinStep;
                    pp.cs = pp.cs * pp.cosStep - pp.sn * pp.sinStep;
                    pp.sn = sn;
                    break;
                }
                case PosKind::Noise: {
                    double t = scanStart + (frame * blocks + s.block[p]) / rate;
                    sample[p] = static_cast<uint16_t>(
                        ToCounts(pp.dc + pp.signal->a * NoiseUnit(pp.signal->seed, pp.channel, t), pp));
                    break;
                }
                case PosKind::Wave: {
                    double t = scanStart + (frame * blocks + s.block[p]) / rate;
                    sample[p] = static_cast<uint16_t>(
                        ToCounts(pp.dc + SignalValue(*pp.signal, pp.channel, t), pp));
                    break;
                }
                case PosKind::Bits: {
                    double t = scanStart + (frame * blocks + s.block[p]) / rate;
                    sample[p] = BitsAt(s.chassis, t);
                    break;
                }
            }
        }
    }
}

}  // namespace sim
