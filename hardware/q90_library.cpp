#include "hardware/q90_library.h"

#include <cstdio>
#include <cstring>

#include "hardware/control_library.h"
#include "base/app_state.h"
#include "base/status_report.h"

namespace {

constexpr int32_t kStatusLibraryNotLoaded = 15;

void ReportLibraryProblem(const char* text) {
    ReportFailure(text, "Q90 Library", MB_OK_ | MB_ICONEXCLAMATION_, kStatusLibraryNotLoaded);
}

// The entry's address, looked up at each use; null after the problem was
// reported.
template <typename Fn>
Fn Entry(const char* name) {
    if (hQ90Library == nullptr) {
        ReportLibraryProblem("Problem loading Q90 library");
        return nullptr;
    }
    PlatformProc p = PlatformGetProc(hQ90Library, name);
    if (p == nullptr) {
        ReportLibraryProblem("Problem loading Q90 library function");
        return nullptr;
    }
    return reinterpret_cast<Fn>(p);
}

// The library fills fixed character fields; a field without its terminator
// must not run into the next one.
int FieldLength(const char* field, size_t capacity) {
    return static_cast<int>(strnlen(field, capacity));
}

}  // namespace

int32_t Q90Init(int32_t ddsDevice) {
    auto f = Entry<int32_t (*)(int32_t)>("VORQ90DLLInit");
    return f ? f(ddsDevice) : 0;
}

int32_t Q90GetErrorStatus(Q90ErrorRecord* record) {
    auto f = Entry<int32_t (*)(Q90ErrorRecord*)>("GetErrorStatus");
    return f ? f(record) : 0;
}

bool Q90ErrorHasMessage(const Q90ErrorRecord& record) {
    const char* message = record.SecondFlag ? record.Second : record.First;
    return FieldLength(message, sizeof record.First) > 0 ||
           FieldLength(record.Suffix, sizeof record.Suffix) > 0;
}

void Q90ErrorText(const Q90ErrorRecord& record, char* text, uint32_t size) {
    if (size == 0) return;
    const char* message = record.SecondFlag ? record.Second : record.First;
    snprintf(text, size, "%.*s.  %.*s", FieldLength(message, sizeof record.First), message,
             FieldLength(record.Suffix, sizeof record.Suffix), record.Suffix);
}

int32_t Q90SelectChannel(int32_t channel) {
    auto f = Entry<int32_t (*)(int32_t)>("SelectChannel");
    return f ? f(channel) : 0;
}

int32_t Q90Autobalance() {
    auto f = Entry<int32_t (*)()>("Autobalance");
    return f ? f() : 0;
}

int32_t Q90SetupChannels(ChannelParams* params, int32_t channel) {
    auto f = Entry<int32_t (*)(ChannelParams*, int32_t)>("SetupChannels");
    return f ? f(params, channel) : 0;
}

int32_t Q90NewSetupChannels(ChannelParams* params, ProgScanList* scanList,
                            ChannelSetupReport* report) {
    auto f = Entry<int32_t (*)(ChannelParams*, ProgScanList*, ChannelSetupReport*)>(
        "NewSetupChannels");
    return f ? f(params, scanList, report) : 0;
}

int32_t Q90SetupDACFilters(int32_t cardChannel, int32_t output, int32_t filterIndex) {
    auto f = Entry<int32_t (*)(int32_t, int32_t, int32_t)>("SetupDACFilters");
    return f ? f(cardChannel, output, filterIndex) : 0;
}

int32_t Q90GetGain(double* gain, double* variableGain, int32_t* variableGainEnabled) {
    auto f = Entry<int32_t (*)(double*, double*, int32_t*)>("GetGain");
    return f ? f(gain, variableGain, variableGainEnabled) : 0;
}

int32_t Q90GetFilter(double* filter) {
    auto f = Entry<int32_t (*)(double*)>("GetFilter");
    return f ? f(filter) : 0;
}

int32_t Q90GetVoltage(double* voltage) {
    auto f = Entry<int32_t (*)(double*)>("GetVoltage");
    return f ? f(voltage) : 0;
}

int32_t Q90GetCurrent(double* current) {
    auto f = Entry<int32_t (*)(double*)>("GetCurrent");
    return f ? f(current) : 0;
}

int32_t Q90GetModes(int32_t* excitationType, int32_t* excitationEnabled,
                    int32_t* autobalanceEnabled, int32_t* autozeroEnabled) {
    auto f = Entry<int32_t (*)(int32_t*, int32_t*, int32_t*, int32_t*)>("GetModes");
    return f ? f(excitationType, excitationEnabled, autobalanceEnabled, autozeroEnabled) : 0;
}

int32_t Q90QueryDefinitionTable(int32_t what, DefinitionTable* table) {
    auto f = Entry<int32_t (*)(int32_t, DefinitionTable*)>("QueryDefinitionTable");
    return f ? f(what, table) : 0;
}

int32_t Q90InitMux(const MuxSetupRecord* record, int32_t transferWords, int32_t one,
                   double aggregateRate) {
    auto f = Entry<int32_t (*)(const MuxSetupRecord*, int32_t, int32_t, double)>("InitMux");
    return f ? f(record, transferWords, one, aggregateRate) : 0;
}

int32_t Q90SelectCal(int32_t source) {
    auto f = Entry<int32_t (*)(int32_t)>("SelectCal");
    return f ? f(source) : 0;
}

int32_t Q90SetCalAttenuator(int32_t attenuation) {
    auto f = Entry<int32_t (*)(int32_t)>("SetCalAttenuator");
    return f ? f(attenuation) : 0;
}

int32_t Q90SelectOpModes(int32_t modeBits, int32_t one) {
    auto f = Entry<int32_t (*)(int32_t, int32_t)>("SelectOpModes");
    return f ? f(modeBits, one) : 0;
}

int32_t Q90ResetCal() {
    auto f = Entry<int32_t (*)()>("ResetCal");
    return f ? f() : 0;
}

int32_t Q90SetDigitalOut(int32_t line, int32_t state, int32_t glitchCatcher, int32_t outsToIns) {
    auto f = Entry<int32_t (*)(int32_t, int32_t, int32_t, int32_t)>("SetDigitalOut");
    return f ? f(line, state, glitchCatcher, outsToIns) : 0;
}

int32_t Q90GetDigitalOut(int32_t line) {
    auto f = Entry<int32_t (*)(int32_t)>("GetDigitalOut");
    return f ? f(line) : -1;
}

int32_t Q90SetupDACImmediate(int32_t hardChannel, int32_t output, int32_t millivolts) {
    auto f = Entry<int32_t (*)(int32_t, int32_t, int32_t)>("SetupDACImmediate");
    return f ? f(hardChannel, output, millivolts) : 0;
}

int32_t Q90OldSetupDAC(int32_t hardChannel, int32_t output, int32_t region, int32_t start, int32_t points,
                       int32_t loop, int32_t masterLoop, const int16_t* samples) {
    auto f = Entry<int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                               const int16_t*)>("OldSetupDAC");
    return f ? f(hardChannel, output, region, start, points, loop, masterLoop, samples) : 0;
}

int32_t Q90NewBinarySetupDAC(const int32_t* pairs, int32_t entries, const OperationRecord* operation) {
    auto f = Entry<int32_t (*)(const int32_t*, int32_t, const OperationRecord*)>("NewBinarySetupDAC");
    return f ? f(pairs, entries, operation) : 0;
}

int32_t Q90StartDAC(int32_t selection, int32_t mode) {
    auto f = Entry<int32_t (*)(int32_t, int32_t)>("StartDAC");
    return f ? f(selection, mode) : 0;
}

int32_t Q90StopDACZero(int32_t selection) {
    auto f = Entry<int32_t (*)(int32_t)>("StopDACZero");
    return f ? f(selection) : 0;
}

int32_t Q90StopDACHold(int32_t selection) {
    auto f = Entry<int32_t (*)(int32_t)>("StopDACHold");
    return f ? f(selection) : 0;
}
