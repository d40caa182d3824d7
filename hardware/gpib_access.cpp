#include "hardware/gpib_access.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "base/app_state.h"

int32_t ibsta = 0;
int32_t iberr = 0;
int32_t ibcntl = 0;

int32_t nDDSDevice = -1;
int32_t nDDSRunning = 0;
int32_t nNoTransferOutstanding = 1;

namespace {

// The driver exports its status as C ints and its count as a long, which is
// 32 bits on the driver's platform.
PlatformLibrary g_gpib = nullptr;
int32_t* g_userIbsta = nullptr;
int32_t* g_userIberr = nullptr;
int32_t* g_userIbcntl = nullptr;

enum Routine {
    kSendIFC,
    kIbdev,
    kIbclr,
    kSend,
    kReceive,
    kWaitSRQ,
    kReadStatusByte,
    kTestSRQ,
    kIbrd,
    kIbrda,
    kIbwait,
    kIbstop,
    kRoutineCount
};

struct RoutineEntry {
    const char* name;
    uint16_t ordinal;
};

constexpr RoutineEntry kRoutines[kRoutineCount] = {
    {"SendIFC", 119}, {"ibdev", 18},          {"ibclr", 14},    {"Send", 116},
    {"Receive", 113}, {"WaitSRQ", 128},       {"ReadStatusByte", 112},
    {"TestSRQ", 124}, {"ibrd", 37},           {"ibrda", 38},    {"ibwait", 52},
    {"ibstop", 49},
};

PlatformProc g_procs[kRoutineCount] = {};

// Loads the driver and its status variables once; true when all are there.
bool BindDriver() {
    if (g_gpib == nullptr) {
        g_gpib = PlatformLoadLibrary("GPIB-32.DLL");
        if (g_gpib == nullptr) return false;
    }
    if (g_userIbsta == nullptr || g_userIberr == nullptr || g_userIbcntl == nullptr) {
        g_userIbsta = reinterpret_cast<int32_t*>(PlatformGetProc(g_gpib, "user_ibsta"));
        g_userIberr = reinterpret_cast<int32_t*>(PlatformGetProc(g_gpib, "user_iberr"));
        g_userIbcntl = reinterpret_cast<int32_t*>(PlatformGetProc(g_gpib, "user_ibcntl"));
        if (g_userIbsta == nullptr || g_userIberr == nullptr || g_userIbcntl == nullptr)
            return false;
    }
    return true;
}

// The routine's address, or null after recording the binding failure in the
// status copies.
PlatformProc Resolve(Routine r) {
    if (BindDriver()) {
        if (g_procs[r] == nullptr) {
            PlatformProc p = PlatformGetProcOrdinal(g_gpib, kRoutines[r].ordinal);
            // Platforms without export ordinals offer the same routines by name.
            if (p == nullptr) p = PlatformGetProc(g_gpib, kRoutines[r].name);
            g_procs[r] = p;
        }
        if (g_procs[r] != nullptr) return g_procs[r];
    }
    uint32_t error = PlatformLastError();
    ibsta = ERR_;
    iberr = 0;
    ibcntl = static_cast<int32_t>(error);
    return nullptr;
}

void CopyStatus() {
    ibsta = *g_userIbsta;
    iberr = *g_userIberr;
    ibcntl = *g_userIbcntl;
}

template <typename Fn>
Fn As(PlatformProc p) {
    return reinterpret_cast<Fn>(p);
}

}  // namespace

// ---- binding wrappers ----------------------------------------------------------
int32_t ibdev(int32_t board, int32_t pad, int32_t sad, int32_t tmo, int32_t eot, int32_t eos) {
    PlatformProc p = Resolve(kIbdev);
    if (p == nullptr) return -1;
    int32_t ud = As<int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t)>(p)(
        board, pad, sad, tmo, eot, eos);
    CopyStatus();
    return ud;
}

int32_t ibclr(int32_t ud) {
    PlatformProc p = Resolve(kIbclr);
    if (p == nullptr) return ibsta;
    As<int32_t (*)(int32_t)>(p)(ud);
    CopyStatus();
    return ibsta;
}

int32_t ibrd(int32_t ud, void* buffer, int32_t count) {
    PlatformProc p = Resolve(kIbrd);
    if (p == nullptr) return ibsta;
    As<int32_t (*)(int32_t, void*, int32_t)>(p)(ud, buffer, count);
    CopyStatus();
    return ibsta;
}

int32_t ibrda(int32_t ud, void* buffer, int32_t count) {
    PlatformProc p = Resolve(kIbrda);
    if (p == nullptr) return ibsta;
    As<int32_t (*)(int32_t, void*, int32_t)>(p)(ud, buffer, count);
    CopyStatus();
    return ibsta;
}

int32_t ibwait(int32_t ud, int32_t mask) {
    PlatformProc p = Resolve(kIbwait);
    if (p == nullptr) return ibsta;
    As<int32_t (*)(int32_t, int32_t)>(p)(ud, mask);
    CopyStatus();
    return ibsta;
}

int32_t ibstop(int32_t ud) {
    PlatformProc p = Resolve(kIbstop);
    if (p == nullptr) return ibsta;
    As<int32_t (*)(int32_t)>(p)(ud);
    CopyStatus();
    return ibsta;
}

void SendIFC(int32_t board) {
    PlatformProc p = Resolve(kSendIFC);
    if (p == nullptr) return;
    As<void (*)(int32_t)>(p)(board);
    CopyStatus();
}

void Send(int32_t board, int16_t address, const void* buffer, int32_t count, int32_t eotMode) {
    PlatformProc p = Resolve(kSend);
    if (p == nullptr) return;
    As<void (*)(int32_t, int16_t, const void*, int32_t, int32_t)>(p)(board, address, buffer, count,
                                                                      eotMode);
    CopyStatus();
}

void Receive(int32_t board, int16_t address, void* buffer, int32_t count, int32_t termination) {
    PlatformProc p = Resolve(kReceive);
    if (p == nullptr) return;
    As<void (*)(int32_t, int16_t, void*, int32_t, int32_t)>(p)(board, address, buffer, count,
                                                                termination);
    CopyStatus();
}

void WaitSRQ(int32_t board, int16_t* result) {
    PlatformProc p = Resolve(kWaitSRQ);
    if (p == nullptr) return;
    As<void (*)(int32_t, int16_t*)>(p)(board, result);
    CopyStatus();
}

void ReadStatusByte(int32_t board, int16_t address, int16_t* result) {
    PlatformProc p = Resolve(kReadStatusByte);
    if (p == nullptr) return;
    As<void (*)(int32_t, int16_t, int16_t*)>(p)(board, address, result);
    CopyStatus();
}

void TestSRQ(int32_t board, int16_t* result) {
    PlatformProc p = Resolve(kTestSRQ);
    if (p == nullptr) return;
    As<void (*)(int32_t, int16_t*)>(p)(board, result);
    CopyStatus();
}

void ReleaseGpibLibrary() {
    if (g_gpib != nullptr) PlatformFreeLibrary(g_gpib);
    g_gpib = nullptr;
    g_userIbsta = g_userIberr = g_userIbcntl = nullptr;
    for (PlatformProc& p : g_procs) p = nullptr;
}

// ---- command routines --------------------------------------------------------------
void OpenDDS() {
    SendIFC(kGpibBoard);
    nDDSDevice = ibdev(kGpibBoard, kDdsAddress, 0, kTimeout10s, 1, 1);
    nNoTransferOutstanding = 1;
}

int32_t SendCommand(int16_t address, const char* text) {
    Send(kGpibBoard, address, text, static_cast<int32_t>(strlen(text)), kNLend);
    return (ibsta & ERR_) ? 0 : 1;
}

int32_t CheckDDSResponse() {
    if (bSimulator) return 1;
    int16_t flag = 0;
    WaitSRQ(kGpibBoard, &flag);
    if (ibsta & ERR_) {
        PlatformMessageBox("GPIB Error", "GPIB Error", MB_OK_);
        return 0;
    }
    int16_t status = 0;
    ReadStatusByte(kGpibBoard, kDdsAddress, &status);
    // A failed serial poll leaves no status to judge; taking the stale
    // variable for a completion code would accept whatever it held.
    if (ibsta & ERR_) {
        PlatformMessageBox("GPIB Error", "GPIB Error", MB_OK_);
        return 0;
    }
    int32_t code = static_cast<int32_t>(status) & 0xFFBF;
    if (code == 0 || code == 2) return 1;
    char text[64];
    snprintf(text, sizeof text, "return code is %d", code);
    PlatformMessageBox(text, "Response Error", MB_OK_);
    return 0;
}

int32_t StopDDS() {
    if (bSimulator) return 1;
    if (!SendCommand(kDdsAddress, "M0 2")) return 0;
    if (!CheckDDSResponse()) return 0;
    nDDSRunning = 0;
    nNoTransferOutstanding = 1;
    return 1;
}

int32_t ClearGPIB() {
    ibclr(nDDSDevice);
    return 1;
}
