// Portable: checked edits of calibration states, external commands and
// procedures.
#include "calibration/cal_setup.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/app_state.h"
#include "calibration/cal_states.h"
#include "platform/platform.h"
#include "testmodel/model.h"

namespace {

int32_t Refuse(const char* text, const char* caption) {
    PlatformMessageBox(text, caption, MB_OK_ | MB_ICONEXCLAMATION_);
    return 0;
}

bool ChannelOk(int32_t channel) { return lpsChannelParams != nullptr && channel >= 0 && channel < kChannels; }
bool TypeOk(int32_t type) { return lpsCalTypes != nullptr && type >= 0 && type < kCalTypes; }

const char* SkipBlanks(const char* s) {
    while (*s == ' ' || *s == '\t') ++s;
    return s;
}

constexpr const char* kStatesCaption = "Calibration States";
constexpr const char* kCommandsCaption = "External Calibrator Commands";
constexpr const char* kProcedureCaption = "Calibration Procedure Setup";

}  // namespace

bool ParseCalNumber(const char* text, double* value) {
    if (text == nullptr) return false;
    const char* start = SkipBlanks(text);
    if (*start == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const double v = strtod(start, &end);
    if (end == start || errno == ERANGE || !std::isfinite(v)) return false;
    if (*SkipBlanks(end) != '\0') return false;
    *value = v;
    return true;
}

bool ParseCalInteger(const char* text, int32_t low, int32_t high, int32_t* value) {
    if (text == nullptr) return false;
    const char* start = SkipBlanks(text);
    if (*start == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long long v = strtoll(start, &end, 10);
    if (end == start || errno == ERANGE || *SkipBlanks(end) != '\0') return false;
    if (v < low || v > high) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

int32_t ChooseChannelCalType(int32_t channel, int32_t type) {
    if (!ChannelOk(channel) || type < -1 || type >= kCalTypes) return 0;
    CalRecord& cal = lpsChannelParams->Cal;
    if (type >= 0) {
        if (!TypeOk(type)) return 0;
        const int32_t steps = BoundedStateCount(lpsCalTypes->STATES[type]);
        if (steps < 1) return Refuse("This Calibration Procedure Has No Steps", kStatesCaption);
        cal.ACTIVESTATES[channel] = steps;
        for (int32_t s = 0; s < steps; ++s) cal.STATE[s][channel] = static_cast<int32_t>(lpsCalTypes->STATE[s][type]);
    }
    cal.CALTYPE[channel] = type;
    bTestSaved = false;
    return 1;
}

int32_t SetChannelActiveStates(int32_t channel, int32_t count) {
    if (!ChannelOk(channel)) return 0;
    if (count < 1 || count > kCalStates) return Refuse("The Number Of Active Steps Must Be 1 To 8", kStatesCaption);
    lpsChannelParams->Cal.ACTIVESTATES[channel] = count;
    lpsChannelParams->Cal.CALTYPE[channel] = -1;
    bTestSaved = false;
    return 1;
}

int32_t SetChannelState(int32_t channel, int32_t index, int32_t code) {
    if (!ChannelOk(channel) || index < 0 || index >= kCalStates) return 0;
    if (!CalState(code).Known) return Refuse("Please Choose One Of The Calibration States", kStatesCaption);
    lpsChannelParams->Cal.STATE[index][channel] = code;
    lpsChannelParams->Cal.CALTYPE[channel] = -1;
    bTestSaved = false;
    return 1;
}

int32_t SetChannelEU(int32_t channel, int32_t index, const char* text) {
    if (!ChannelOk(channel) || index < 0 || index >= kCalStates) return 0;
    double value = 0;
    if (!ParseCalNumber(text, &value)) {
        char message[160];
        snprintf(message, sizeof message, "The EU Value Of State %d Must Be A Number (\"%.40s\" Is Not)", index + 1,
                 text ? text : "");
        return Refuse(message, kStatesCaption);
    }
    if (lpsChannelParams->Cal.EU[channel][index] != value) bTestSaved = false;
    lpsChannelParams->Cal.EU[channel][index] = value;
    return 1;
}

int32_t SetCalCommand(int32_t k, const char* name, const char* command, const char* delay) {
    if (lpsCalCommands == nullptr || k < 0 || k >= kCalCommands || !name || !command) return 0;
    CalCommand& c = *lpsCalCommands;
    char message[200];
    if (strlen(name) >= sizeof c.Name[k]) {
        snprintf(message, sizeof message, "The Name Of Command %d Is Longer Than %d Characters", k + 1,
                 static_cast<int>(sizeof c.Name[k] - 1));
        return Refuse(message, kCommandsCaption);
    }
    if (strlen(command) >= sizeof c.Command[k]) {
        snprintf(message, sizeof message, "The Text Of Command %d Is Longer Than %d Characters", k + 1,
                 static_cast<int>(sizeof c.Command[k] - 1));
        return Refuse(message, kCommandsCaption);
    }
    int32_t wait = 0;
    if (!ParseCalInteger(delay, -1, kMaxCommandDelay, &wait)) {
        snprintf(message, sizeof message,
                 "The Delay Of Command %d Must Be -1 (Wait For The Operator) Or 0 To %d Milliseconds", k + 1,
                 kMaxCommandDelay);
        return Refuse(message, kCommandsCaption);
    }
    snprintf(c.Name[k], sizeof c.Name[k], "%s", name);
    snprintf(c.Command[k], sizeof c.Command[k], "%s", command);
    c.Delay[k] = static_cast<uint32_t>(wait);
    return 1;
}

int32_t SetCalTypeName(int32_t type, const char* name) {
    if (!TypeOk(type) || name == nullptr) return 0;
    if (strlen(name) >= sizeof lpsCalTypes->NAME[type])
        return Refuse("The Procedure Name Is Longer Than 49 Characters", kProcedureCaption);
    snprintf(lpsCalTypes->NAME[type], sizeof lpsCalTypes->NAME[type], "%s", name);
    bTestSaved = false;
    return 1;
}

int32_t SetCalTypeSteps(int32_t type, int32_t count) {
    if (!TypeOk(type)) return 0;
    if (count < 1 || count > kCalStates) return Refuse("The Number Of Active Steps Must Be 1 To 8", kProcedureCaption);
    lpsCalTypes->STATES[type] = static_cast<uint32_t>(count);
    bTestSaved = false;
    return 1;
}

int32_t SetCalTypeStep(int32_t type, int32_t index, int32_t code, int32_t command) {
    if (!TypeOk(type) || index < 0 || index >= kCalStates) return 0;
    if (!CalState(code).Known) return Refuse("Please Choose One Of The Calibration States", kProcedureCaption);
    if (command < -1 || command >= kCalCommands)
        return Refuse("Please Choose One Of The External Commands Or None", kProcedureCaption);
    lpsCalTypes->STATE[index][type] = static_cast<uint32_t>(code);
    lpsCalTypes->STRING[index][type] = static_cast<uint32_t>(command);
    bTestSaved = false;
    return 1;
}
