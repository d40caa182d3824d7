// Q90ui: the front-end control library.  Every entry programs the cards
// through the DDS with card-level commands over the GPIB driver (gpib-32,
// loaded from this library's own directory), the same driver the program
// uses; sim/README.md lists the commands.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "testmodel/model.h"

#ifdef _WIN32
#include <windows.h>
#define Q90_EXPORT extern "C" __declspec(dllexport)
#else
#include <dlfcn.h>
#define Q90_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

struct ErrorRecord {  // as GetErrorStatus hands it out
    int32_t FirstFlag;
    int32_t SecondFlag;
    char First[128];
    char Second[128];
    char Suffix[128];
};

ErrorRecord g_error = {};
int32_t g_dds = -1;

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

void SetError(int32_t which, const std::string& message, const std::string& suffix) {
    g_error = ErrorRecord{};
    char* field = which == 2 ? g_error.Second : g_error.First;
    (which == 2 ? g_error.SecondFlag : g_error.FirstFlag) = 1;
    snprintf(field, sizeof g_error.First, "%s", message.c_str());
    snprintf(g_error.Suffix, sizeof g_error.Suffix, "%s", suffix.c_str());
}

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

// Outcome of the last command: error bits (0 = accepted) and setup stage.
int32_t g_lastBits = 0;
int32_t g_lastStage = -1;

// Sends one command; for a query reads its reply first.  Then takes the
// DDS's service request and judges its status byte.  1 when accepted.
int32_t Exchange(const std::string& command, std::string* reply = nullptr) {
    g_lastBits = 0;
    g_lastStage = -1;
    if (!BindDriver()) {
        g_lastBits = 1;
        SetError(2, "GPIB Interface Board Not Found", "GPIB-32 driver could not be loaded");
        return 0;
    }
    g_gpib.send(0, 29, command.data(), static_cast<int32_t>(command.size()), 1);
    if (*g_gpib.ibsta & kERR) {
        g_lastBits = 1;
        SetError(2, GpibFailure("Send"), "Command " + command);
        return 0;
    }
    if (reply != nullptr) {
        char buf[2048];
        g_gpib.receive(0, 29, buf, sizeof buf - 1, 0x100);
        if (*g_gpib.ibsta & kERR) {
            g_lastBits = 1;
            SetError(2, GpibFailure("Receive"), "Command " + command);
            return 0;
        }
        int32_t n = *g_gpib.ibcntl;
        if (n < 0) n = 0;
        if (n > static_cast<int32_t>(sizeof buf - 1)) n = sizeof buf - 1;
        reply->assign(buf, static_cast<size_t>(n));
    }
    int16_t flag = 0, status = 0;
    g_gpib.waitSrq(0, &flag);
    if (*g_gpib.ibsta & kERR) {
        g_lastBits = 1;
        SetError(2, GpibFailure("Wait For Service Request"), "Command " + command);
        return 0;
    }
    g_gpib.poll(0, 29, &status);
    if (*g_gpib.ibsta & kERR) {
        g_lastBits = 1;
        SetError(2, GpibFailure("Serial Poll"), "Command " + command);
        return 0;
    }
    int32_t code = status & 0xBF;
    if (code == 0 || code == 2) return 1;
    // Ask the DDS why.
    int32_t bits = 1, stage = -1;
    std::string why;
    g_gpib.send(0, 29, "E?", 2, 1);
    if (!(*g_gpib.ibsta & kERR)) {
        char buf[64] = "";
        g_gpib.receive(0, 29, buf, sizeof buf - 1, 0x100);
        if (!(*g_gpib.ibsta & kERR)) {
            int32_t n = *g_gpib.ibcntl;
            buf[n > 0 && n < 63 ? n : 0] = '\0';
            if (sscanf(buf, "%d,%d", &bits, &stage) != 2) bits = 1, stage = -1;
        }
        g_gpib.waitSrq(0, &flag);
        g_gpib.poll(0, 29, &status);
    }
    g_lastBits = bits;
    g_lastStage = stage;
    SetError(1, std::string("Card Command Refused: ") + BitsText(bits),
             "Command " + command + ", Error Bits " + std::to_string(bits));
    return 0;
}

std::string Num(double v) {
    if (!std::isfinite(v)) return "nan";  // the card refuses it as a bad parameter
    char buf[40];
    snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

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

bool Settings(std::vector<double>& v) {
    std::string reply;
    if (!Exchange("S?", &reply)) return false;
    v = Numbers(reply);
    if (v.size() != 10) {
        SetError(1, "Card Reply Malformed", "S? answered \"" + reply.substr(0, 60) + "\"");
        return false;
    }
    return true;
}

// The settings of one channel as the test model holds them; stops at the
// first refused command.
int32_t SetupOne(const ChannelParams* p, int32_t c) {
    const std::string cmds[] = {
        "C " + std::to_string(c),
        "IM " + std::to_string(p->EXTERNALAUTOZERO[c] ? 1 : 0),
        "F " + Num(p->FILTER[c]),
        "XI " + Num(p->EXCITATIONCURRENT[c]),
        "XV " + Num(p->EXCITATIONVOLTAGE[c]),
        "X " + std::to_string(p->EXCITATIONSOURCE[c] ? 1 : 0) + "," +
            std::to_string(p->EXCITATIONENABLE[c] ? 1 : 0),
        "G " + Num(p->GAIN[c]),
        "GV " + Num(p->VARIABLEGAIN[c]) + "," + std::to_string(p->VARIABLEGAINENABLE[c] ? 1 : 0),
        "AB " + std::to_string(p->AUTOBALANCEENABLE[c] ? 1 : 0),
        "AZ " + std::to_string(p->AUTOZEROENABLE[c] ? 1 : 0),
    };
    for (const std::string& cmd : cmds)
        if (!Exchange(cmd)) return 0;
    return 1;
}

}  // namespace

Q90_EXPORT int32_t VORQ90DLLInit(int32_t ddsDevice) {
    g_dds = ddsDevice;
    std::string reply;
    if (!Exchange("M0?", &reply)) return 0;
    if (reply.size() != 4) {
        SetError(1, "Front End Not Responding", "Status reply \"" + reply + "\"");
        return 0;
    }
    g_error = ErrorRecord{};
    return 1;
}

Q90_EXPORT int32_t GetErrorStatus(ErrorRecord* record) {
    if (record == nullptr) return 0;
    *record = g_error;
    return 1;
}

Q90_EXPORT int32_t SelectChannel(int32_t channel) { return Exchange("C " + std::to_string(channel)); }

Q90_EXPORT int32_t Autobalance() { return Exchange("B"); }

Q90_EXPORT int32_t SetupChannels(ChannelParams* params, int32_t channel) {
    if (params == nullptr || channel < 0 || channel >= kChannels) {
        SetError(1, "Bad Parameter", "SetupChannels channel " + std::to_string(channel));
        return 0;
    }
    return SetupOne(params, channel);
}

struct SetupReport {
    int32_t Failed[kChannels];
    int32_t Stage[kChannels];
    int32_t ErrorBit[kChannels];
};

Q90_EXPORT int32_t NewSetupChannels(ChannelParams* params, ProgScanList* scanList, SetupReport* report) {
    if (params == nullptr || scanList == nullptr || report == nullptr) {
        SetError(1, "Bad Parameter", "NewSetupChannels");
        return 0;
    }
    bool seen[kChannels] = {};
    uint32_t entries = scanList->EntryCount > static_cast<uint32_t>(kScanPositions)
                           ? static_cast<uint32_t>(kScanPositions)
                           : scanList->EntryCount;
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t c = scanList->Entry[i].CHANNEL;
        if (c < static_cast<uint32_t>(kChannels)) seen[c] = true;
    }
    int32_t failures = 0;
    for (int32_t c = 0; c < kChannels; ++c) {
        if (!seen[c] || SetupOne(params, c)) continue;
        report->Failed[c] = 1;
        report->Stage[c] = g_lastStage;
        report->ErrorBit[c] = g_lastBits;
        ++failures;
    }
    return failures == 0 ? 1 : 0;
}

Q90_EXPORT int32_t SetupDACFilters(int32_t cardChannel, int32_t output, int32_t index) {
    return Exchange("DF " + std::to_string(cardChannel) + "," + std::to_string(output) + "," +
                    std::to_string(index));
}

Q90_EXPORT int32_t GetGain(double* gain, double* variableGain, int32_t* variableGainEnabled) {
    std::vector<double> v;
    if (!gain || !variableGain || !variableGainEnabled || !Settings(v)) return 0;
    *gain = v[0];
    *variableGain = v[1];
    *variableGainEnabled = static_cast<int32_t>(v[2]);
    return 1;
}

Q90_EXPORT int32_t GetFilter(double* filter) {
    std::vector<double> v;
    if (!filter || !Settings(v)) return 0;
    *filter = v[3];
    return 1;
}

Q90_EXPORT int32_t GetVoltage(double* voltage) {
    std::vector<double> v;
    if (!voltage || !Settings(v)) return 0;
    *voltage = v[4];
    return 1;
}

Q90_EXPORT int32_t GetCurrent(double* current) {
    std::vector<double> v;
    if (!current || !Settings(v)) return 0;
    *current = v[5];
    return 1;
}

Q90_EXPORT int32_t GetModes(int32_t* excitationType, int32_t* excitationEnabled,
                            int32_t* autobalanceEnabled, int32_t* autozeroEnabled) {
    std::vector<double> v;
    if (!excitationType || !excitationEnabled || !autobalanceEnabled || !autozeroEnabled ||
        !Settings(v))
        return 0;
    *excitationType = static_cast<int32_t>(v[6]);
    *excitationEnabled = static_cast<int32_t>(v[7]);
    *autobalanceEnabled = static_cast<int32_t>(v[8]);
    *autozeroEnabled = static_cast<int32_t>(v[9]);
    return 1;
}

Q90_EXPORT int32_t QueryDefinitionTable(int32_t what, DefinitionTable* table) {
    if (table == nullptr || what != 9) {
        SetError(1, "Bad Parameter", "QueryDefinitionTable " + std::to_string(what));
        return 0;
    }
    std::string reply;
    if (!Exchange("D?", &reply)) return 0;
    std::vector<double> v = Numbers(reply);
    if (v.size() != 46) {
        SetError(1, "Card Reply Malformed", "D? answered " + std::to_string(v.size()) + " values");
        return 0;
    }
    memset(table, 0, sizeof *table);
    table->ModuleCode = static_cast<int32_t>(v[0]);
    table->SerialNumber = static_cast<int32_t>(v[1]);
    for (int i = 0; i < 16; ++i) table->Gains[i] = v[2 + i];
    for (int i = 0; i < 8; ++i) table->Filters[i] = v[18 + i];
    for (int i = 0; i < 10; ++i) table->Voltages[i] = v[26 + i];
    for (int i = 0; i < 10; ++i) table->Currents[i] = v[36 + i];
    return 1;
}

struct MuxRecord {
    int32_t One1, One2, EntryCount, MuxFormat, BlockCount;
    int32_t Channel[kScanPositions];
    int32_t Block[kScanPositions];
};

Q90_EXPORT int32_t InitMux(const MuxRecord* record, int32_t transferWords, int32_t one, double rate) {
    (void)one;
    if (record == nullptr || record->EntryCount < 1 || record->EntryCount > kScanPositions) {
        SetError(1, "Bad Scan Table", record ? "Entry Count " + std::to_string(record->EntryCount) : "");
        return 0;
    }
    if (!Exchange("K0 " + std::to_string(record->EntryCount) + "," + std::to_string(record->BlockCount) +
                  "," + std::to_string(record->MuxFormat) + "," + std::to_string(transferWords) + "," +
                  Num(rate)))
        return 0;
    for (int32_t first = 0; first < record->EntryCount; first += 64) {
        std::string cmd = "K1 " + std::to_string(first);
        for (int32_t p = first; p < first + 64 && p < record->EntryCount; ++p)
            cmd += "," + std::to_string(record->Channel[p]) + "." + std::to_string(record->Block[p]);
        if (!Exchange(cmd)) return 0;
    }
    return Exchange("K2");
}

Q90_EXPORT int32_t SelectCal(int32_t source) { return Exchange("L " + std::to_string(source)); }
Q90_EXPORT int32_t SetCalAttenuator(int32_t attenuation) {
    return Exchange("LA " + std::to_string(attenuation));
}
Q90_EXPORT int32_t SelectOpModes(int32_t bits, int32_t one) {
    return Exchange("LM " + std::to_string(bits) + "," + std::to_string(one));
}
Q90_EXPORT int32_t ResetCal() { return Exchange("LR"); }

Q90_EXPORT int32_t SetDigitalOut(int32_t line, int32_t state, int32_t, int32_t) {
    return Exchange("O " + std::to_string(line) + "," + std::to_string(state ? 1 : 0));
}

Q90_EXPORT int32_t GetDigitalOut(int32_t line) {
    std::string reply;
    if (!Exchange("O? " + std::to_string(line), &reply)) return 0;
    return atoi(reply.c_str()) ? 1 : 0;
}

// ---- DAC outputs ------------------------------------------------------------------------
Q90_EXPORT int32_t SetupDACImmediate(int32_t hardChannel, int32_t output, int32_t millivolts) {
    return Exchange("QI " + std::to_string(hardChannel) + "," + std::to_string(output) + "," +
                    std::to_string(millivolts));
}

Q90_EXPORT int32_t OldSetupDAC(int32_t hardChannel, int32_t output, int32_t region, int32_t start,
                               int32_t points, int32_t loop, int32_t masterLoop, const int16_t* samples) {
    if (points < 0 || (points > 0 && samples == nullptr)) {
        SetError(1, "Bad Parameter", "OldSetupDAC points " + std::to_string(points));
        return 0;
    }
    std::string head = std::to_string(hardChannel) + "," + std::to_string(output);
    if (!Exchange("QW " + head + "," + std::to_string(region) + "," + std::to_string(start) + "," +
                  std::to_string(points) + "," + std::to_string(loop) + "," + std::to_string(masterLoop)))
        return 0;
    for (int32_t at = 0; at < points; at += 64) {
        std::string cmd = "QD " + head + "," + std::to_string(start + at);
        for (int32_t i = at; i < at + 64 && i < points; ++i) cmd += "," + std::to_string(samples[i]);
        if (!Exchange(cmd)) return 0;
    }
    return 1;
}

Q90_EXPORT int32_t StartDAC(int32_t selection, int32_t) { return Exchange("QS " + std::to_string(selection)); }
Q90_EXPORT int32_t StopDACZero(int32_t selection) { return Exchange("QZ " + std::to_string(selection)); }
Q90_EXPORT int32_t StopDACHold(int32_t selection) { return Exchange("QH " + std::to_string(selection)); }

// pairs: `entries` channel numbers (two per record); the operation record is
// the program's and only travels with the call.
Q90_EXPORT int32_t NewBinarySetupDAC(const int32_t* pairs, int32_t entries, const void* operation) {
    (void)operation;
    if (entries < 0 || entries > 64 || (entries > 0 && pairs == nullptr)) {
        SetError(1, "Bad Parameter", "NewBinarySetupDAC entries " + std::to_string(entries));
        return 0;
    }
    std::string cmd = "QP " + std::to_string(entries);
    for (int32_t i = 0; i < entries; ++i) cmd += "," + std::to_string(pairs[i]);
    return Exchange(cmd);
}
