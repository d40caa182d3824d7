// The IEEE-488 bus: binding of the NI-488.2 driver GPIB-32.DLL, which is never
// linked at build time, and the few DDS commands every other part relies on.
//
// Each driver routine below has the driver's own name and arguments.  The
// first call of any of them loads the driver and takes its status variables;
// the first call of each resolves that routine (by export ordinal, by name
// where the platform has no ordinals).  When the driver, a status variable or
// the routine is missing nothing is called: ibsta := ERR (0x8000), iberr := 0,
// ibcntl := the system error code, and the routine returns ibsta (-1 for
// ibdev, nothing for the board-level 488.2 routines).  Callers therefore see a
// missing driver exactly like a failed bus operation.
#pragma once

#include <cstdint>

// Status bits the program tests.
constexpr int32_t ERR_ = 0x8000;
constexpr int32_t TIMO_ = 0x4000;
constexpr int32_t END_ = 0x2000;
constexpr int32_t SRQI_ = 0x1000;
constexpr int32_t CMPL_ = 0x0100;

// Bus addresses and framing constants.
constexpr int32_t kGpibBoard = 0;
constexpr int32_t kDdsAddress = 29;
constexpr int32_t kFixtureAddress = 28;
constexpr int32_t kTimeout10s = 13;     // T10s
constexpr int32_t kNLend = 1;           // Send: linefeed with EOI
constexpr int32_t kSTOPend = 0x100;     // Receive: stop at EOI or count
constexpr int32_t kAddrNoSecondary = 0;  // NOADDR terminator of an address list

// Copies of the driver's status variables, refreshed after every call.
extern int32_t ibsta;
extern int32_t iberr;
extern int32_t ibcntl;

// The DDS device descriptor (ibdev of board 0, address 29), -1 until opened.
extern int32_t nDDSDevice;
// Set when the DDS was started, cleared by StopDDS.
extern int32_t nDDSRunning;
// 1 while no asynchronous read of scan data is pending on the descriptor.
extern int32_t nNoTransferOutstanding;

// ---- driver routines as the program calls them ---------------------------------
int32_t ibdev(int32_t board, int32_t pad, int32_t sad, int32_t tmo, int32_t eot, int32_t eos);
int32_t ibclr(int32_t ud);
int32_t ibrd(int32_t ud, void* buffer, int32_t count);
int32_t ibrda(int32_t ud, void* buffer, int32_t count);
int32_t ibwait(int32_t ud, int32_t mask);
int32_t ibstop(int32_t ud);
void SendIFC(int32_t board);
void Send(int32_t board, int16_t address, const void* buffer, int32_t count, int32_t eotMode);
void Receive(int32_t board, int16_t address, void* buffer, int32_t count, int32_t termination);
void WaitSRQ(int32_t board, int16_t* result);
void ReadStatusByte(int32_t board, int16_t address, int16_t* result);
void TestSRQ(int32_t board, int16_t* result);

// ---- command routines ----------------------------------------------------------
// SendIFC, then opens the DDS device descriptor; no transfer outstanding := 1.
void OpenDDS();
// Sends "M0 2" and confirms it; 1 on success (DDS running := 0, no transfer
// outstanding := 1), 0 on failure.  Simulator mode: 1, nothing touched.
int32_t StopDDS();
// Waits for the DDS's service request and judges its status byte: codes 0 and
// 2 (request bit masked off) are accepted.  1 accepted, 0 not (a message box
// says why).  Simulator mode: 1.
int32_t CheckDDSResponse();
// Selected device clear of the DDS; no message, no flag changes.
int32_t ClearGPIB();
// Sends a command text to an instrument with NLend; 1 when ERR stayed clear.
int32_t SendCommand(int16_t address, const char* text);

// Forgets the driver: drops the library reference and every resolved routine,
// so the next call loads it again.
void ReleaseGpibLibrary();
