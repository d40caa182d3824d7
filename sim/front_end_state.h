// Internals of the simulated front end shared by its files: the state of
// the bus, the DDS, the cards and the stream, and the helpers each part
// uses.  Not part of the simulator's interface (front_end.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/front_end.h"

namespace sim {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr uint32_t kMaxTransferWords = 64480;
inline constexpr double kBoardTimeout = 10.0;  // board-level routines wait at most T10s
inline constexpr int32_t kFirstUd = 1;
// NI boards offer many descriptors; the program opens one per start-up and
// never takes it off line, so tests that reload it many times need room.
inline constexpr int32_t kMaxDevices = 256;

// Transfers the delivery record keeps (a day of 10 transfers a second).
inline constexpr size_t kMaxDeliveries = 1u << 20;
// Faults, refusals and send failures waiting for their turn at once.
inline constexpr size_t kMaxArmed = 1000;

struct Device {
    bool open = false;
    int32_t pad = 0;
    double timeout = 10.0;
};

// An asynchronous read is in progress from ibrda until ibwait reports its
// end or ibstop aborts it, even when its data arrived in the meantime.
struct PendingRead {
    bool active = false;
    bool done = false;       // its data have arrived; the wait reports `result`
    int32_t ud = 0;
    BusStatus result;
    uint8_t* buffer = nullptr;
    int32_t count = 0;
};

// The GPIB board in the computer: it outlives a re-configured front end.
struct Board {
    Device dev[kMaxDevices];
    PendingRead read;
    int32_t peakReads = 0;      // most reads a caller tried to have outstanding at once
    uint32_t eoipRefusals = 0;  // calls refused because a read was in progress
};


struct State {
    Chassis chassis;
    bool virtualTime = false;
    double virtualNow = 0.0;
    std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();

    Board board;
    std::vector<std::string> log;
    uint32_t calls = 0;
    uint32_t sends = 0;  // Send calls that reached the bus check, for send failures
    std::vector<SendFailure> sendFailures;

    // DDS
    int32_t status = 0;        // its serial-poll byte: the last event's, replaced by the next
    bool srq = false;          // requesting service until polled
    std::string reply;         // bytes of the pending query reply
    int32_t lastErrorBits = 0;
    int32_t lastErrorStage = -1;
    bool refuseNext = false;
    std::vector<RefuseRule> refuse;
    std::vector<Fault> faults;  // numbered by transfers since configuration

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
    bool uploadArmed = false;  // a "U" waits for the next transfer to go out
    bool stalled = false;      // a time-out fault: nothing more until restarted
    double scanStart = -1.0;
    uint32_t nextK = 0;               // transfer of this scan being delivered
    std::vector<uint16_t> current;    // its words, generated when first read
    size_t offset = 0;                // bytes of it already delivered
    bool currentOverflow = false;
    uint32_t transfers = 0;           // generated since configuration
    std::vector<Delivery> delivered;  // every transfer that went out, in order
    // The cards and the calibration fixture keep their own state
    // (sim/cards.h, sim/fixture.h), reset with the rest by Configure.
};

// The one front end of this library.
State& S();

// ---- time (front_end.cpp) ----------------------------------------------------------------
double NowSeconds();
// Virtual time jumps to t; real time sleeps until it.
void WaitUntil(double t);

// ---- status of the routine ---------------------------------------------------------------
void Set(int32_t sta, int32_t err, int32_t cnt);
void Error(int32_t err);
// An event of the DDS: its status byte replaces the last one and it
// requests service.
void RaiseSrq(int32_t status);

// ---- command text (front_end.cpp) -------------------------------------------------------
std::vector<std::string> Split(const std::string& s, char sep);
bool ToInt(const std::string& text, long long lo, long long hi, int32_t& out);
bool ToDouble(const std::string& text, double& out);
// Arguments after the command word, comma separated; true when there are n.
bool Args(const std::string& rest, size_t n, std::vector<std::string>& out);

struct Outcome {
    int32_t errorBits = 0;  // 0 = accepted
    int32_t stage = -1;
};

inline Outcome Refuse(int32_t bits, int32_t stage = -1) { return Outcome{bits, stage}; }

// ---- the DDS (dds.cpp) ---------------------------------------------------------------------
uint32_t WordsPerScan();
uint32_t ScansPerTransfer();
// Runs an outstanding asynchronous read to its end if its data are ready by
// `deadline`, waiting for them; false when they are not.
bool CompleteRead(double deadline);
// A command sent to address 29 (without its linefeed).
void DdsCommand(const std::string& cmd);
// Scanning and uploading stop; what the FIFO held is dropped.
void DropTransfers();

// ---- the cards (card_commands.cpp; sim/cards.h) ----------------------------------------------
// A card-level command: word and the text after it; a reply goes to `reply`.
Outcome CardCommand(const std::string& word, const std::string& rest);

}  // namespace sim
