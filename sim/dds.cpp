// The DDS: its commands, and the stream of transfers it uploads.
//
// Scanning runs from "M0 1,1" on, whether anybody collects or not: transfer
// k of a scan exists once its last scan has been taken, and waits in the
// FIFO until a "U" lets it go out.  Each "U" releases exactly one transfer;
// a transfer still in the FIFO `fifo` transfers' time after it was complete
// has been overwritten and goes out flagged as overflowed.
#include <algorithm>
#include <cstring>

#include "sim/front_end_state.h"

namespace sim {

uint32_t WordsPerScan() { return S().entries + 8; }
uint32_t ScansPerTransfer() { return S().transferWords / WordsPerScan(); }

namespace {

double TransferSeconds() {
    State& s = S();
    return static_cast<double>(ScansPerTransfer()) * s.blocks / s.rate;
}
double ReadyTime(uint32_t k) { return S().scanStart + (k + 1.0) * TransferSeconds(); }

bool HasFault(uint32_t transfer, FaultKind kind) {
    for (const Fault& f : S().faults)
        if (f.transfer == transfer && f.kind == kind) return true;
    return false;
}

// Makes the next transfer current when one may go out; false when none may
// (no "U" waiting, not scanning, or a time-out fault swallowed it).
bool PrepareTransfer() {
    State& s = S();
    if (!s.current.empty()) return true;  // the rest of a transfer a read cut short
    if (!s.chassis.ddsPresent || !s.scanning || s.stalled || !s.uploadArmed) return false;
    s.uploadArmed = false;
    uint32_t number = ++s.transfers;
    if (HasFault(number, FaultKind::Timeout)) {
        s.stalled = true;
        return false;
    }
    s.current.assign(s.transferWords, 0);
    GenerateTransfer(s.current.data(), s.nextK, s.scanStart, static_cast<uint16_t>(number));
    // Collected later than the FIFO holds it: overwritten by newer scans.
    // The transfer cannot go out before it exists, so the time it leaves is
    // the later of now and its ready time.
    double leaves = std::max(NowSeconds(), ReadyTime(s.nextK));
    s.currentOverflow = HasFault(number, FaultKind::Overflow) ||
                        leaves > ReadyTime(s.nextK + s.chassis.fifoTransfers);
    if (s.currentOverflow) {
        uint32_t scans = ScansPerTransfer(), w = WordsPerScan();
        for (uint32_t i = 0; i < scans; ++i) s.current[i * w + 2] |= 1;  // header byte 4, bit 0
    }
    bool nosync = HasFault(number, FaultKind::NoSync);
    if (nosync) s.current[0] = 0;
    s.offset = 0;
    if (s.delivered.size() < kMaxDeliveries) {
        uint32_t flags = (s.currentOverflow ? kDeliveredOverflow : 0) | (nosync ? kDeliveredNoSync : 0);
        s.delivered.push_back(Delivery{number, s.nextK, leaves, 0, flags});
    }
    return true;
}

// Delivers up to `count` bytes of the current transfer into `buffer`.
// Returns the bytes given and whether the transfer ended.
int32_t Deliver(uint8_t* buffer, int32_t count, bool& end) {
    State& s = S();
    size_t total = s.current.size() * 2;
    size_t n = std::min(static_cast<size_t>(count), total - s.offset);
    memcpy(buffer, reinterpret_cast<const uint8_t*>(s.current.data()) + s.offset, n);
    s.offset += n;
    end = s.offset == total;
    if (!s.delivered.empty() && s.delivered.back().sequence == s.transfers) {
        s.delivered.back().bytes = static_cast<uint32_t>(s.offset);
        if (end) s.delivered.back().flags |= kDeliveredComplete;
    }
    if (end) {
        uint32_t number = s.transfers;
        RaiseSrq(s.currentOverflow ? kStatusOverflow : kStatusTransfer);
        s.current.clear();
        s.offset = 0;
        ++s.nextK;
        if (HasFault(number, FaultKind::Refuse)) s.refuseNext = true;
    }
    return static_cast<int32_t>(n);
}

}  // namespace

void DropTransfers() {
    State& s = S();
    s.scanning = s.uploadArmed = s.stalled = false;
    s.scanStart = -1.0;
    s.current.clear();
    s.offset = 0;
}

bool CompleteRead(double deadline) {
    State& s = S();
    PendingRead& r = s.board.read;
    if (!r.active || r.done || !PrepareTransfer()) return false;
    double ready = ReadyTime(s.nextK);
    if (ready > deadline) return false;
    WaitUntil(ready);
    bool end = false;
    int32_t n = Deliver(r.buffer, r.count, end);
    r.done = true;
    r.result = BusStatus{kCMPL | (end ? kEND : 0), 0, n};
    return true;
}

namespace {

bool RefusedByRule(const std::string& cmd) {
    for (RefuseRule& r : S().refuse) {
        if (r.times > 0 && cmd.compare(0, r.prefix.size(), r.prefix) == 0) {
            --r.times;
            return true;
        }
    }
    return false;
}

// "M7 n": decimal digits without sign or leading zeros, 1-64480 words, a
// whole number of scans of the programmed table, not while scanning.
Outcome TransferLength(const std::string& rest) {
    State& s = S();
    int32_t n = 0;
    bool digits = !rest.empty() && rest[0] != '0' &&
                  rest.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || !ToInt(rest, 1, kMaxTransferWords, n) || !s.muxProgrammed ||
        n % static_cast<int32_t>(WordsPerScan()) != 0)
        return Refuse(kErrParameter);
    if (s.scanning) return Refuse(kErrInstruction);
    s.transferWords = static_cast<uint32_t>(n);
    return Outcome{};
}

}  // namespace

void DdsCommand(const std::string& cmd) {
    State& s = S();
    s.reply.clear();
    if (s.refuseNext || RefusedByRule(cmd)) {
        s.refuseNext = false;
        s.lastErrorBits = kErrBus;
        s.lastErrorStage = -1;
        RaiseSrq(kStatusRefused);
        return;
    }
    // Upload needs no answer: the transfer it releases carries its own.  A
    // second "U" before that transfer went out releases nothing more.
    if (cmd == "U") {
        if (s.scanning) s.uploadArmed = true;
        return;
    }
    Outcome o;
    size_t blank = cmd.find(' ');
    std::string word = cmd.substr(0, blank);
    std::string rest = blank == std::string::npos ? "" : cmd.substr(blank + 1);
    if (cmd == "M0?") {
        s.reply = std::string("S") + (s.scanning ? '1' : '0') + (s.uploadArmed ? '1' : '0') + "\n";
    } else if (cmd == "M0 2") {
        DropTransfers();
    } else if (cmd == "M0 1,1") {
        if (!s.muxProgrammed || s.transferWords == 0) {
            o = Refuse(kErrInstruction);
        } else {
            DropTransfers();
            s.scanning = true;
            s.scanStart = NowSeconds();
            s.nextK = 0;
        }
    } else if (word == "M7") {
        o = TransferLength(rest);
    } else {
        o = CardCommand(word, rest);
    }
    if (o.errorBits) {
        s.reply.clear();
        s.lastErrorBits = o.errorBits;
        s.lastErrorStage = o.stage;
        RaiseSrq(kStatusRefused);
    } else {
        RaiseSrq(kStatusDone);
    }
}

}  // namespace sim
