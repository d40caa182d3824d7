// Q90ui's bus traffic: it binds the same GPIB driver the program uses and
// reaches the cards only through Send, Receive, WaitSRQ and ReadStatusByte.
#include "sim/q90ui_bus.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace q90lib {

ErrorRecord g_error = {};
int32_t g_lastBits = 0;
int32_t g_lastStage = -1;

namespace {

using SendFn = void (*)(int32_t, int16_t, const void*, int32_t, int32_t);
using ReceiveFn = void (*)(int32_t, int16_t, void*, int32_t, int32_t);
using SrqFn = void (*)(int32_t, int16_t*);
using PollFn = void (*)(int32_t, int16_t, int16_t*);

struct Driver {
    void* lib = nullptr;
    SendFn send = nullptr;
    ReceiveFn receive = nullptr;
    SrqFn waitSrq = nullptr;
    PollFn poll = nullptr;
    int32_t* ibsta = nullptr;
    int32_t* iberr = nullptr;
    int32_t* ibcntl = nullptr;
} g_gpib;

constexpr int32_t kERR = 0x8000;
constexpr int16_t kDds = 29;

void* Sym(void* lib, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
#else
    return dlsym(lib, name);
#endif
}

bool BindDriver() {
    if (g_gpib.lib != nullptr) return true;
#ifdef _WIN32
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&BindDriver), &self);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, MAX_PATH);
    std::string p = path;
    p = p.substr(0, p.find_last_of("\\/") + 1) + "gpib-32.dll";
    void* lib = reinterpret_cast<void*>(LoadLibraryA(p.c_str()));
    if (lib == nullptr) lib = reinterpret_cast<void*>(LoadLibraryA("gpib-32.dll"));
#else
    Dl_info info = {};
    dladdr(reinterpret_cast<void*>(&BindDriver), &info);
    std::string p = info.dli_fname ? info.dli_fname : "";
    p = p.substr(0, p.rfind('/') + 1) + "gpib-32.so";
    void* lib = dlopen(p.c_str(), RTLD_NOW);
#endif
    if (lib == nullptr) return false;
    Driver d;
    d.lib = lib;
    d.send = reinterpret_cast<SendFn>(Sym(lib, "Send"));
    d.receive = reinterpret_cast<ReceiveFn>(Sym(lib, "Receive"));
    d.waitSrq = reinterpret_cast<SrqFn>(Sym(lib, "WaitSRQ"));
    d.poll = reinterpret_cast<PollFn>(Sym(lib, "ReadStatusByte"));
    d.ibsta = static_cast<int32_t*>(Sym(lib, "user_ibsta"));
    d.iberr = static_cast<int32_t*>(Sym(lib, "user_iberr"));
    d.ibcntl = static_cast<int32_t*>(Sym(lib, "user_ibcntl"));
    if (!d.send || !d.receive || !d.waitSrq || !d.poll || !d.ibsta || !d.iberr || !d.ibcntl) return false;
    g_gpib = d;
    return true;
}

std::string GpibFailure(const char* step) {
    return std::string("GPIB ") + step + " Failed (iberr " + std::to_string(*g_gpib.iberr) + ")";
}

const char* BitsText(int32_t bits) {
    switch (bits) {
        case 1: return "Bus Error";
        case 2: return "Bad Instruction";
        case 4: return "Bad Parameter";
        case 8: return "ADC Value Error";
        case 16: return "Autobalance Or Autozero Error";
        case 32: return "Excitation Mode Error";
        default: return "Make Sure Channel Is Installed";
    }
}

int32_t BusFailure(const char* step, const std::string& command) {
    g_lastBits = 1;
    SetError(2, GpibFailure(step), "Command " + command);
    return 0;
}

}  // namespace

void SetError(int32_t which, const std::string& message, const std::string& suffix) {
    g_error = ErrorRecord{};
    char* field = which == 2 ? g_error.Second : g_error.First;
    (which == 2 ? g_error.SecondFlag : g_error.FirstFlag) = 1;
    snprintf(field, sizeof g_error.First, "%s", message.c_str());
    snprintf(g_error.Suffix, sizeof g_error.Suffix, "%s", suffix.c_str());
}

int32_t BadCall(const std::string& what) {
    g_lastBits = 4;
    g_lastStage = -1;
    SetError(1, "Bad Parameter", what);
    return 0;
}

int32_t Exchange(const std::string& command, std::string* reply) {
    g_lastBits = 0;
    g_lastStage = -1;
    if (!BindDriver()) {
        g_lastBits = 1;
        SetError(2, "GPIB Interface Board Not Found", "GPIB-32 driver could not be loaded");
        return 0;
    }
    g_gpib.send(0, kDds, command.data(), static_cast<int32_t>(command.size()), 1);
    if (*g_gpib.ibsta & kERR) return BusFailure("Send", command);
    if (reply != nullptr) {
        char buf[4096];
        g_gpib.receive(0, kDds, buf, sizeof buf - 1, 0x100);
        if (*g_gpib.ibsta & kERR) return BusFailure("Receive", command);
        int32_t n = *g_gpib.ibcntl;
        if (n < 0) n = 0;
        if (n > static_cast<int32_t>(sizeof buf - 1)) n = sizeof buf - 1;
        reply->assign(buf, static_cast<size_t>(n));
    }
    int16_t flag = 0, status = 0;
    g_gpib.waitSrq(0, &flag);
    if (*g_gpib.ibsta & kERR) return BusFailure("Wait For Service Request", command);
    g_gpib.poll(0, kDds, &status);
    if (*g_gpib.ibsta & kERR) return BusFailure("Serial Poll", command);
    int32_t code = status & 0xBF;
    if (code == 0 || code == 2) return 1;
    // Ask the DDS why.
    int32_t bits = 1, stage = -1;
    g_gpib.send(0, kDds, "E?", 2, 1);
    if (!(*g_gpib.ibsta & kERR)) {
        char buf[64] = "";
        g_gpib.receive(0, kDds, buf, sizeof buf - 1, 0x100);
        if (!(*g_gpib.ibsta & kERR)) {
            int32_t n = *g_gpib.ibcntl;
            buf[n > 0 && n < 63 ? n : 0] = '\0';
            if (sscanf(buf, "%d,%d", &bits, &stage) != 2) bits = 1, stage = -1;
        }
        g_gpib.waitSrq(0, &flag);
        g_gpib.poll(0, kDds, &status);
    }
    g_lastBits = bits;
    g_lastStage = stage;
    SetError(1, std::string("Card Command Refused: ") + BitsText(bits),
             "Command " + command.substr(0, 80) + ", Error Bits " + std::to_string(bits));
    return 0;
}

std::string Num(double v) {
    if (!std::isfinite(v)) return "nan";
    char buf[40];
    snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string Int(int32_t v) { return std::to_string(v); }

std::vector<double> Numbers(const std::string& reply) {
    std::vector<double> v;
    const char* p = reply.c_str();
    while (*p) {
        char* end = nullptr;
        double x = strtod(p, &end);
        if (end == p) break;
        v.push_back(x);
        p = end;
        if (*p == ',') ++p;
    }
    return v;
}

}  // namespace q90lib
