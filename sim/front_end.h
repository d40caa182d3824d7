// The simulated front end behind the GPIB board: the DDS at address 29 with
// its cards, and the calibration fixture at address 28.  The driver routines
// of gpib-32 are thin calls into this; everything here is portable and runs
// on one thread (the caller's), with time either real or virtual.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/chassis.h"

namespace sim {

// NI-488.2 status bits and error codes the simulator reports.
constexpr int32_t kERR = 0x8000, kTIMO = 0x4000, kEND = 0x2000, kSRQI = 0x1000, kCMPL = 0x0100;
constexpr int32_t kEDVR = 0, kENOL = 2, kEARG = 4, kEABO = 6, kEOIP = 10;

// Status bytes of the DDS (bit 6 = request service): code 0 command done,
// 2 transfer complete, 1 command refused, 4 FIFO overflow.
constexpr int32_t kStatusDone = 0x40, kStatusTransfer = 0x42, kStatusRefused = 0x41,
                  kStatusOverflow = 0x44;

// Card-level error bits answered by "E?".
constexpr int32_t kErrBus = 1, kErrInstruction = 2, kErrParameter = 4, kErrAdc = 8,
                  kErrBalance = 16, kErrExcitation = 32, kErrNotInstalled = 64;

struct BusStatus {
    int32_t ibsta = 0;
    int32_t iberr = 0;
    int32_t ibcntl = 0;
};

// Status of the last routine, what the driver's status variables show.
extern BusStatus g_bus;

// One transfer the DDS sent, as the test controls report it.  The layout is
// fixed (it crosses the library boundary): 24 bytes.
struct Delivery {
    uint32_t sequence;  // transfers generated since configuration (header word 1 is its low 16 bits)
    uint32_t index;     // transfer of this scan, 0-based since its "M0 1,1"
    double time;        // seconds since configuration when its first byte went out
    uint32_t bytes;     // bytes delivered so far
    uint32_t flags;     // kDeliveredComplete, kDeliveredOverflow, kDeliveredNoSync
};
static_assert(sizeof(Delivery) == 24, "Delivery crosses the library boundary");
constexpr uint32_t kDeliveredComplete = 1, kDeliveredOverflow = 2, kDeliveredNoSync = 4;

// ---- set-up and time ----------------------------------------------------------------
// Resets the front end (the DDS, the cards, the fixture, the faults, the
// logs) to `chassis`; time restarts at 0.  The GPIB board is the computer's
// and stays as it is: open descriptors keep working, and a read in progress
// stays in progress (its data never come from the reset DDS, so it ends by
// its time-out or by ibstop).
void Configure(const Chassis& chassis);
// The board as at power-on: no descriptors, no read in progress, no counts.
void ResetBoard();
// Parses and applies a configuration text; false (and the chassis unchanged)
// with the reason in `error`.
bool ConfigureText(const char* text, size_t length, std::string& error);
const Chassis& CurrentChassis();
bool VirtualTime();
void SetVirtualTime(bool on);
// Seconds since the front end was configured.
double Now();
// Virtual time only: moves the clock forward (real time ignores it).
void Advance(double seconds);

// Faults armed now, in the statements of the chassis file's fault lines
// (fault, refuse, sendfail) counted from now: "fault 1 timeout" hits the
// next transfer, "sendfail 1" the next Send.  False (nothing armed) with the
// reason in `error`.
bool Arm(const char* text, size_t length, std::string& error);

// ---- driver routines ---------------------------------------------------------------
void SendIFC(int32_t board);
int32_t Dev(int32_t board, int32_t pad, int32_t sad, int32_t tmo, int32_t eot, int32_t eos);
int32_t Clr(int32_t ud);
int32_t Rd(int32_t ud, void* buffer, int32_t count);
int32_t Rda(int32_t ud, void* buffer, int32_t count);
int32_t Wait(int32_t ud, int32_t mask);
int32_t Stop(int32_t ud);
void Send(int32_t board, int32_t address, const void* buffer, int32_t count, int32_t eot);
void Receive(int32_t board, int32_t address, void* buffer, int32_t count, int32_t termination);
void WaitSRQ(int32_t board, int16_t* result);
void ReadStatusByte(int32_t board, int32_t address, int16_t* result);
void TestSRQ(int32_t board, int16_t* result);

// ---- what tests and tools look at -------------------------------------------------------
// Every command the DDS and the fixture received, in order, as "29:text" / "28:text".
const std::vector<std::string>& CommandLog();
// Driver routine calls since configuration.
uint32_t CallCount();
// Time (seconds since configuration) when the current scan started; -1 when
// the DDS is not scanning.
double ScanStartTime();
// Transfers generated since configuration (the fault numbering).
uint32_t TransferCount();
// Every transfer that went out since configuration, in order.
const std::vector<Delivery>& Deliveries();
// Most asynchronous reads a caller tried to have outstanding at once since
// the board was reset (a second one is refused, yet counted), and the calls
// refused because a read was in progress.
int32_t PeakReads();
uint32_t EoipRefusals();
// The fixture raises its service request now (sim/fixture.cpp).
void RaiseFixtureSRQ();
// The state word of the digital card in channel `line` (sim/digital_outputs.cpp).
int32_t DigitalOut(int32_t line);

// Fills `out` (words) with transfer k of a scan that started at `scanStart`
// with the programmed table, exactly as the DDS streams it (without faults).
// `sequence` goes into header word 1.  Used by the DDS and by the benchmarks.
void GenerateTransfer(uint16_t* out, uint32_t k, double scanStart, uint16_t sequence);
// Words per transfer as programmed by "M7" (0 when none).
uint32_t TransferWords();

}  // namespace sim
