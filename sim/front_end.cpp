#include "sim/front_end.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "sim/cards.h"
#include "sim/fixture.h"
#include "sim/front_end_state.h"

namespace sim {

BusStatus g_bus;

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

namespace {

double TimeoutSeconds(int32_t tmo) {
    static const double kTable[] = {0,    10e-6, 30e-6, 100e-6, 300e-6, 1e-3, 3e-3, 10e-3, 30e-3,
                                    0.1,  0.3,   1.0,   3.0,    10.0,   30.0, 100.0, 300.0, 1000.0};
    if (tmo < 0 || tmo > 17) return 10.0;
    return tmo == 0 ? 1e9 : kTable[tmo];
}

}  // namespace

void Set(int32_t sta, int32_t err, int32_t cnt) {
    g_bus.ibsta = sta;
    g_bus.iberr = err;
    g_bus.ibcntl = cnt;
}

void Error(int32_t err) { Set(kERR, err, 0); }

void RaiseSrq(int32_t status) {
    State& s = S();
    s.status = status;
    s.srq = true;
}

// ---- command text ----------------------------------------------------------------------
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

namespace {

// The board moves data in the background: a read whose data have arrived is
// done whatever routine is called next (it still waits for ibwait to end).
void CatchUp() {
    State& s = S();
    s.calls++;
    if (!s.board.read.active || s.board.read.done) return;
    CompleteRead(NowSeconds());
}

bool ValidUd(int32_t ud) {
    return ud >= kFirstUd && ud < kMaxDevices && S().board.dev[ud].open;
}

// While an asynchronous read is in progress the board takes nothing but
// ibwait and ibstop for it: everything else fails with EOIP.
bool Busy() {
    Board& b = S().board;
    if (!b.read.active) return false;
    ++b.eoipRefusals;
    Error(kEOIP);
    return true;
}

bool Present(int32_t address) {
    const Chassis& c = S().chassis;
    return (address == 29 && c.ddsPresent) || (address == 28 && c.fixturePresent);
}

}  // namespace

// ---- set-up ----------------------------------------------------------------------------
void Configure(const Chassis& chassis) {
    State& s = S();
    Board board = s.board;
    s = State();
    s.board = board;
    s.chassis = chassis;
    s.virtualTime = chassis.virtualTime;
    s.refuse = chassis.refuse;
    s.faults = chassis.faults;
    s.sendFailures = chassis.sendFailures;
    ResetCards(chassis);
    ResetFixture();
}

void ResetBoard() {
    S().board = Board();
    g_bus = BusStatus();
}

bool ConfigureText(const char* text, size_t length, std::string& error) {
    Chassis* c = new Chassis();
    bool ok = ParseChassis(text, length, *c, error);
    if (ok) Configure(*c);
    delete c;
    return ok;
}

bool Arm(const char* text, size_t length, std::string& error) {
    State& s = S();
    // What has had its turn goes, so that arming again and again stays cheap
    // (the transfer going out now keeps its faults: "refuse" acts at its end).
    auto& faults = s.faults;
    faults.erase(std::remove_if(faults.begin(), faults.end(),
                                [&](const Fault& f) { return f.transfer < s.transfers; }),
                 faults.end());
    auto& refuse = s.refuse;
    refuse.erase(std::remove_if(refuse.begin(), refuse.end(), [](const RefuseRule& r) { return r.times <= 0; }),
                 refuse.end());
    auto& sends = s.sendFailures;
    sends.erase(std::remove_if(sends.begin(), sends.end(), [&](const SendFailure& f) { return f.send <= s.sends; }),
                sends.end());
    Chassis* armed = new Chassis();
    bool ok = ParseArm(text, length, *armed, error);
    size_t total = faults.size() + refuse.size() + sends.size() + armed->faults.size() +
                   armed->refuse.size() + armed->sendFailures.size();
    if (ok && total > kMaxArmed) {
        error = "too many faults armed at once (at most " + std::to_string(kMaxArmed) + ")";
        ok = false;
    }
    if (ok) {
        // Numbers beyond the counters' range are never reached.
        for (Fault f : armed->faults)
            if (f.transfer <= UINT32_MAX - s.transfers) faults.push_back({f.transfer + s.transfers, f.kind});
        for (const RefuseRule& r : armed->refuse) refuse.push_back(r);
        for (SendFailure f : armed->sendFailures)
            if (f.send <= UINT32_MAX - s.sends) sends.push_back({f.send + s.sends, f.iberr});
    }
    delete armed;
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
    if (Busy()) return;
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
    Board& b = S().board;
    for (int32_t ud = kFirstUd; ud < kMaxDevices; ++ud) {
        if (b.dev[ud].open) continue;
        b.dev[ud].open = true;
        b.dev[ud].pad = pad;
        b.dev[ud].timeout = TimeoutSeconds(tmo);
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
    if (Busy()) return g_bus.ibsta;
    if (s.board.dev[ud].pad == 29) {
        if (!s.chassis.ddsPresent) {
            Error(kENOL);
            return g_bus.ibsta;
        }
        // A cleared DDS stops everything and forgets what it had to say.
        DropTransfers();
        s.status = 0;
        s.srq = false;
        s.reply.clear();
    }
    Set(kCMPL, 0, 0);
    return g_bus.ibsta;
}

int32_t Rda(int32_t ud, void* buffer, int32_t count) {
    CatchUp();
    State& s = S();
    Board& b = s.board;
    if (!ValidUd(ud)) {
        Error(kEDVR);
        return g_bus.ibsta;
    }
    if (buffer == nullptr || count <= 0) {
        Error(kEARG);
        return g_bus.ibsta;
    }
    b.peakReads = std::max(b.peakReads, b.read.active ? 2 : 1);
    if (Busy()) return g_bus.ibsta;
    if (b.dev[ud].pad != 29 || !s.chassis.ddsPresent) {
        Error(kENOL);
        return g_bus.ibsta;
    }
    b.read = PendingRead();
    b.read.active = true;
    b.read.ud = ud;
    b.read.buffer = static_cast<uint8_t*>(buffer);
    b.read.count = count;
    Set(0, 0, 0);
    return g_bus.ibsta;
}

int32_t Wait(int32_t ud, int32_t mask) {
    CatchUp();
    State& s = S();
    PendingRead& r = s.board.read;
    if (!ValidUd(ud)) {
        Error(kEDVR);
        return g_bus.ibsta;
    }
    if (!r.active) {
        Set(kCMPL, 0, 0);  // no I/O in progress: nothing to wait for
        return g_bus.ibsta;
    }
    if (r.ud != ud) {
        Busy();  // the board's read belongs to another descriptor
        return g_bus.ibsta;
    }
    if (!(mask & (kTIMO | kCMPL))) {
        Set(0, 0, 0);
        return g_bus.ibsta;
    }
    double deadline = NowSeconds() + s.board.dev[ud].timeout;
    if ((mask & kCMPL) && (r.done || CompleteRead(deadline))) {
        g_bus = r.result;
        r = PendingRead();
        return g_bus.ibsta;
    }
    WaitUntil(deadline);
    Set(kTIMO, 0, 0);  // the read stays in progress until it ends or is stopped
    return g_bus.ibsta;
}

int32_t Rd(int32_t ud, void* buffer, int32_t count) {
    if (Rda(ud, buffer, count) & kERR) return g_bus.ibsta;
    S().calls--;  // one routine, not two
    Wait(ud, kTIMO | kCMPL);
    if (g_bus.ibsta & kTIMO) {
        S().board.read = PendingRead();
        Set(kERR | kTIMO, kEABO, 0);
    }
    return g_bus.ibsta;
}

int32_t Stop(int32_t ud) {
    CatchUp();
    State& s = S();
    PendingRead& r = s.board.read;
    if (!ValidUd(ud)) {
        Error(kEDVR);
        return g_bus.ibsta;
    }
    if (r.active && r.ud != ud) {
        Busy();
        return g_bus.ibsta;
    }
    // Data that already arrived stay delivered; otherwise the read is aborted.
    bool aborted = r.active && !r.done;
    r = PendingRead();
    if (aborted) Set(kERR | kCMPL, kEABO, 0);
    else Set(kCMPL, 0, 0);
    return g_bus.ibsta;
}

void Send(int32_t board, int32_t address, const void* buffer, int32_t count, int32_t eot) {
    CatchUp();
    State& s = S();
    (void)eot;
    if (board != 0 || buffer == nullptr || count < 0 || count > 65536) return Error(kEARG);
    if (Busy()) return;
    ++s.sends;
    for (const SendFailure& f : s.sendFailures)
        if (f.send == s.sends) return Set(kERR | (f.iberr == kEABO ? kTIMO : 0), f.iberr, 0);
    if (!Present(address)) return Error(kENOL);
    std::string text(static_cast<const char*>(buffer), static_cast<size_t>(count));
    // The instrument reads up to the linefeed or EOI; an embedded NUL ends it.
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (s.log.size() < 100000) s.log.push_back(std::to_string(address) + ":" + text);
    if (address == 29) DdsCommand(text);
    else FixtureCommand(text);
    Set(kCMPL | kEND, 0, count);
}

void Receive(int32_t board, int32_t address, void* buffer, int32_t count, int32_t termination) {
    CatchUp();
    State& s = S();
    (void)termination;
    if (board != 0 || buffer == nullptr || count < 0) return Error(kEARG);
    if (Busy()) return;
    if (!Present(address)) return Error(kENOL);
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
    if (Busy()) return;
    if (s.srq || FixtureRequesting()) {
        *result = 1;
        return Set(kCMPL, 0, 0);
    }
    // Nothing else moves while the board waits: no request will come.
    WaitUntil(NowSeconds() + kBoardTimeout);
    *result = 0;
    Set(kERR | kTIMO, kEABO, 0);
}

void ReadStatusByte(int32_t board, int32_t address, int16_t* result) {
    CatchUp();
    State& s = S();
    if (board != 0 || result == nullptr) return Error(kEARG);
    if (Busy()) return;
    if (!Present(address)) return Error(kENOL);
    if (address == 29) {
        // The request bit is set only until the request is polled.
        *result = static_cast<int16_t>(s.srq ? s.status : (s.status & ~0x40));
        s.srq = false;
    } else {
        *result = static_cast<int16_t>(FixturePoll());
    }
    Set(kCMPL, 0, 0);
}

void TestSRQ(int32_t board, int16_t* result) {
    CatchUp();
    State& s = S();
    if (board != 0 || result == nullptr) return Error(kEARG);
    if (Busy()) return;
    *result = (s.srq || FixtureRequesting()) ? 1 : 0;
    Set(kCMPL, 0, 0);
}

// ---- observation ---------------------------------------------------------------------
const std::vector<std::string>& CommandLog() { return S().log; }
uint32_t CallCount() { return S().calls; }
double ScanStartTime() { return S().scanning ? S().scanStart : -1.0; }
uint32_t TransferCount() { return S().transfers; }
const std::vector<Delivery>& Deliveries() { return S().delivered; }
int32_t PeakReads() { return S().board.peakReads; }
uint32_t EoipRefusals() { return S().board.eoipRefusals; }
uint32_t TransferWords() { return S().transferWords; }

}  // namespace sim
