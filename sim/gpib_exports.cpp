// gpib-32: the NI-488.2 routines and status variables the program binds,
// answered by the simulated front end.  Besides the driver's names it
// exports a few Q90Sim* controls for tests and tools.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/cards.h"
#include "sim/fixture.h"
#include "sim/front_end.h"

#ifdef _WIN32
#include <windows.h>
#define SIM_EXPORT extern "C" __declspec(dllexport)
#else
#include <dlfcn.h>
#define SIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#ifdef _WIN32
#define SIM_DATA extern "C" __declspec(dllexport)
#else
#define SIM_DATA extern "C" __attribute__((visibility("default")))
#endif
SIM_DATA int32_t user_ibsta;
SIM_DATA int32_t user_iberr;
SIM_DATA int32_t user_ibcntl;
int32_t user_ibsta = 0;
int32_t user_iberr = 0;
int32_t user_ibcntl = 0;

namespace {

bool g_loaded = false;
std::string g_configError;

std::string LibraryDirectory() {
#ifdef _WIN32
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&LibraryDirectory), &self);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, MAX_PATH);
    std::string p = path;
    size_t cut = p.find_last_of("\\/");
#else
    Dl_info info = {};
    dladdr(reinterpret_cast<void*>(&LibraryDirectory), &info);
    std::string p = info.dli_fname ? info.dli_fname : "";
    size_t cut = p.rfind('/');
#endif
    return cut == std::string::npos ? std::string(".") : p.substr(0, cut);
}

bool ReadFile(const std::string& path, std::string& text) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    char buf[4096];
    size_t n;
    text.clear();
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && text.size() < (1u << 20)) text.append(buf, n);
    fclose(f);
    return true;
}

// The chassis file: Q90SIM_CONFIG, else q90sim.cfg beside this library,
// else the default chassis.  A bad file is reported and the defaults stay.
void LoadOnce() {
    if (g_loaded) return;
    g_loaded = true;
    const char* env = getenv("Q90SIM_CONFIG");
    std::string path = env && *env ? env : LibraryDirectory() + "/q90sim.cfg";
    std::string text;
    sim::Chassis* chassis = new sim::Chassis();
    if (ReadFile(path, text)) {
        if (!sim::ParseChassis(text.data(), text.size(), *chassis, g_configError)) {
            g_configError = path + ": " + g_configError;
            fprintf(stderr, "q90sim: %s (default chassis used)\n", g_configError.c_str());
        }
    } else {
        sim::DefaultChassis(*chassis);
    }
    sim::Configure(*chassis);
    delete chassis;
}

void Publish() {
    user_ibsta = sim::g_bus.ibsta;
    user_iberr = sim::g_bus.iberr;
    user_ibcntl = sim::g_bus.ibcntl;
}

}  // namespace

SIM_EXPORT void SendIFC(int32_t board) {
    LoadOnce();
    sim::SendIFC(board);
    Publish();
}
SIM_EXPORT int32_t ibdev(int32_t board, int32_t pad, int32_t sad, int32_t tmo, int32_t eot, int32_t eos) {
    LoadOnce();
    int32_t ud = sim::Dev(board, pad, sad, tmo, eot, eos);
    Publish();
    return ud;
}
SIM_EXPORT int32_t ibclr(int32_t ud) {
    LoadOnce();
    sim::Clr(ud);
    Publish();
    return user_ibsta;
}
SIM_EXPORT int32_t ibrd(int32_t ud, void* buffer, int32_t count) {
    LoadOnce();
    sim::Rd(ud, buffer, count);
    Publish();
    return user_ibsta;
}
SIM_EXPORT int32_t ibrda(int32_t ud, void* buffer, int32_t count) {
    LoadOnce();
    sim::Rda(ud, buffer, count);
    Publish();
    return user_ibsta;
}
SIM_EXPORT int32_t ibwait(int32_t ud, int32_t mask) {
    LoadOnce();
    sim::Wait(ud, mask);
    Publish();
    return user_ibsta;
}
SIM_EXPORT int32_t ibstop(int32_t ud) {
    LoadOnce();
    sim::Stop(ud);
    Publish();
    return user_ibsta;
}
SIM_EXPORT void Send(int32_t board, int16_t address, const void* buffer, int32_t count, int32_t eot) {
    LoadOnce();
    sim::Send(board, address, buffer, count, eot);
    Publish();
}
SIM_EXPORT void Receive(int32_t board, int16_t address, void* buffer, int32_t count, int32_t termination) {
    LoadOnce();
    sim::Receive(board, address, buffer, count, termination);
    Publish();
}
#ifndef SIM_OMIT_WAITSRQ  // the build that proves a missing driver entry is survived
SIM_EXPORT void WaitSRQ(int32_t board, int16_t* result) {
    LoadOnce();
    sim::WaitSRQ(board, result);
    Publish();
}
#endif
SIM_EXPORT void ReadStatusByte(int32_t board, int16_t address, int16_t* result) {
    LoadOnce();
    sim::ReadStatusByte(board, address, result);
    Publish();
}
SIM_EXPORT void TestSRQ(int32_t board, int16_t* result) {
    LoadOnce();
    sim::TestSRQ(board, result);
    Publish();
}

// ---- controls for tests and tools -----------------------------------------------------
namespace {
int32_t CopyOut(const std::string& s, char* buf, int32_t size) {
    if (buf == nullptr || size <= 0) return static_cast<int32_t>(s.size());
    size_t n = s.size() < static_cast<size_t>(size - 1) ? s.size() : static_cast<size_t>(size - 1);
    memcpy(buf, s.data(), n);
    buf[n] = '\0';
    return static_cast<int32_t>(s.size());
}
}  // namespace

// Replaces the chassis with a configuration text and resets the front end;
// 1 on success, else 0 with the reason in `error`.
SIM_EXPORT int32_t Q90SimConfigure(const char* text, char* error, int32_t errorSize) {
    g_loaded = true;
    std::string why;
    bool ok = text != nullptr && sim::ConfigureText(text, strlen(text), why);
    if (text == nullptr) why = "no configuration text";
    CopyOut(ok ? std::string() : why, error, errorSize);
    Publish();
    return ok ? 1 : 0;
}
// The error of the chassis file read at load ("" when none).
SIM_EXPORT int32_t Q90SimConfigError(char* buf, int32_t size) {
    LoadOnce();
    return CopyOut(g_configError, buf, size);
}
SIM_EXPORT double Q90SimNow() {
    LoadOnce();
    return sim::Now();
}
SIM_EXPORT void Q90SimAdvance(double seconds) {
    LoadOnce();
    sim::Advance(seconds);
}
SIM_EXPORT double Q90SimScanStart() {
    LoadOnce();
    return sim::ScanStartTime();
}
SIM_EXPORT uint32_t Q90SimCallCount() {
    LoadOnce();
    return sim::CallCount();
}
// Commands received, one per line as "address:text".
SIM_EXPORT int32_t Q90SimCommandLog(char* buf, int32_t size) {
    LoadOnce();
    std::string all;
    for (const std::string& line : sim::CommandLog()) all += line + "\n";
    return CopyOut(all, buf, size);
}
// Arms faults now (statements fault, refuse, sendfail counted from now, see
// sim/README.md); 1 on success, else 0 with the reason in `error`.
SIM_EXPORT int32_t Q90SimArm(const char* text, char* error, int32_t errorSize) {
    LoadOnce();
    std::string why;
    bool ok = text != nullptr && sim::Arm(text, strlen(text), why);
    if (text == nullptr) why = "no fault text";
    CopyOut(ok ? std::string() : why, error, errorSize);
    return ok ? 1 : 0;
}
// The GPIB board as at power-on: every descriptor closed, no read in progress.
SIM_EXPORT void Q90SimResetBoard() {
    LoadOnce();
    sim::ResetBoard();
    Publish();
}
// Transfers sent since configuration: copies up to `max` records (24 bytes
// each: sequence, index, time, bytes, flags) and returns how many there are.
SIM_EXPORT int32_t Q90SimDeliveries(sim::Delivery* out, int32_t max) {
    LoadOnce();
    const std::vector<sim::Delivery>& d = sim::Deliveries();
    for (int32_t i = 0; out != nullptr && i < max && static_cast<size_t>(i) < d.size(); ++i) out[i] = d[i];
    return static_cast<int32_t>(d.size());
}
// Most reads a caller tried to have outstanding at once (a correct caller: 1).
SIM_EXPORT int32_t Q90SimPeakReads() {
    LoadOnce();
    return sim::PeakReads();
}
// Calls the board refused with EOIP because a read was in progress.
SIM_EXPORT uint32_t Q90SimEoipRefusals() {
    LoadOnce();
    return sim::EoipRefusals();
}
SIM_EXPORT void Q90SimRaiseFixtureSRQ() {
    LoadOnce();
    sim::RaiseFixtureSRQ();
}
SIM_EXPORT int32_t Q90SimDigitalOut(int32_t line) {
    LoadOnce();
    return sim::DigitalOut(line);
}

// ---- the cards and the calibration fixture (sim/cards.h, sim/fixture.h) -------------------------
// What the card in `slot` holds, as "key=value" lines (sim/README.md).
SIM_EXPORT int32_t Q90SimCardState(int32_t slot, char* buf, int32_t size) {
    LoadOnce();
    return CopyOut(sim::CardStateText(slot), buf, size);
}
// Samples of a DAC output's memory; the number copied, -1 when not a DAC's.
SIM_EXPORT int32_t Q90SimDacMemory(int32_t slot, int32_t output, int32_t start, int32_t count, int16_t* samples) {
    LoadOnce();
    return sim::DacMemory(slot, output, start, count, samples);
}
// The card in `slot` refuses the commands of a setup stage (-1: all of them)
// with `bits` from now on; bits 0 ends it.  1 on success.
SIM_EXPORT int32_t Q90SimCardRefuse(int32_t slot, int32_t stage, int32_t bits) {
    LoadOnce();
    return sim::SetCardRefusal(slot, stage, bits) ? 1 : 0;
}
// The calibration fixture's state, as "key=value" lines.
SIM_EXPORT int32_t Q90SimFixtureState(char* buf, int32_t size) {
    LoadOnce();
    return CopyOut(sim::FixtureStateText(), buf, size);
}
