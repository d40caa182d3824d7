// Portable: digital output lines and the start-and-trigger definition.
#include "outputs/digital_outputs.h"

#include "base/app_state.h"
#include "hardware/gpib_access.h"
#include "hardware/q90_library.h"
#include "outputs/field_values.h"
#include "platform/platform.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

bool RecordOk(int32_t record) { return record >= 0 && record < kDigitalOuts; }
bool RowOk(int32_t row) { return row >= 0 && row < kDigitalRows; }

int32_t* RowWord(DigitalOut& d, int32_t row) {
    switch (row) {
    case 0: return &d.STATICSTATE;
    case 1: return &d.STATE1;
    case 2: return &d.STATE2;
    default: return &d.STATE3;
    }
}
int32_t* RowTime(DigitalOut& d, int32_t row) {
    return row == 1 ? &d.STATE1TIME : row == 2 ? &d.STATE2TIME : &d.STATE3TIME;
}
int32_t* RowUse(DigitalOut& d, int32_t row) {
    switch (row) {
    case 0: return &d.USEINIT;
    case 1: return &d.USE1;
    case 2: return &d.USE2;
    default: return &d.USE3;
    }
}

bool Edited() {
    bTestSaved = false;
    return true;
}

bool AcquisitionRunning() { return nDDSRunning != 0 && (bRecording || bPreviewing); }

}  // namespace

bool DigitalRecordInUse(int32_t record) {
    return RecordOk(record) && sDigitalOut[record].HARDWARECHANNEL >= 0 &&
           sDigitalOut[record].HARDWARECHANNEL < kChannels;
}

int32_t DigitalRecordsInUse(int32_t* records) {
    int32_t n = 0;
    for (int32_t r = 0; r < kDigitalOuts; ++r)
        if (DigitalRecordInUse(r)) records[n++] = r;
    return n;
}

int32_t SetDigitalOutput(int32_t record, int32_t state) {
    if (bSimulator) return 1;
    if (DigitalRecordInUse(record)) {
        const DigitalOut& d = sDigitalOut[record];
        if (Q90SetDigitalOut(d.HARDWARECHANNEL, state & kDigitalAllLines, d.GLITCHCATCHER, d.OUTSTOINS)) return 1;
    }
    if (!AcquisitionRunning())
        PlatformMessageBox("Error Setting Digital Out", "Digital Output Error", MB_OK_ | MB_ICONEXCLAMATION_);
    return 0;
}

int32_t GetDigitalOutput(int32_t record) {
    if (!RecordOk(record)) return -1;
    if (bSimulator) return sDigitalOut[record].STATICSTATE & kDigitalAllLines;
    if (!DigitalRecordInUse(record)) return -1;
    const int32_t word = Q90GetDigitalOut(sDigitalOut[record].HARDWARECHANNEL);
    return word < 0 ? -1 : word & kDigitalAllLines;
}

int32_t DigitalRowState(int32_t record, int32_t row) {
    if (!RecordOk(record) || !RowOk(row)) return 0;
    return *RowWord(sDigitalOut[record], row);
}

int32_t DigitalRowTime(int32_t record, int32_t row) {
    if (!RecordOk(record) || row < 1 || row >= kDigitalRows) return 0;
    return *RowTime(sDigitalOut[record], row);
}

int32_t DigitalRowUsed(int32_t record, int32_t row) {
    if (!RecordOk(record) || !RowOk(row)) return 0;
    return *RowUse(sDigitalOut[record], row);
}

bool DigitalSetLine(int32_t record, int32_t row, int32_t line, bool on) {
    const int32_t bit = DigitalLineBit(line);
    if (!RecordOk(record) || !RowOk(row) || bit == 0) return false;
    int32_t* word = RowWord(sDigitalOut[record], row);
    *word = on ? (*word | bit) : (*word & ~bit);
    return Edited();
}

bool DigitalSetRowState(int32_t record, int32_t row, int32_t state) {
    if (!RecordOk(record) || !RowOk(row) || state < 0 || state > kDigitalAllLines) return false;
    *RowWord(sDigitalOut[record], row) = state;
    return Edited();
}

bool DigitalSetRowTime(int32_t record, int32_t row, const char* text, std::string* message) {
    int32_t v = 0;
    if (!RecordOk(record) || row < 1 || row >= kDigitalRows) return false;
    if (!ParseWholeNumber(text, 0, INT32_MAX, "The Time", " Seconds", &v, message)) return false;
    *RowTime(sDigitalOut[record], row) = v;
    return Edited();
}

bool DigitalSetRowUsed(int32_t record, int32_t row, bool used) {
    if (!RecordOk(record) || !RowOk(row)) return false;
    *RowUse(sDigitalOut[record], row) = used ? 1 : 0;
    return Edited();
}

bool DigitalSetGlitchCatcher(int32_t record, bool on) {
    if (!RecordOk(record)) return false;
    sDigitalOut[record].GLITCHCATCHER = on ? 1 : 0;
    return Edited();
}

void DigitalAllSetRowUsed(int32_t row) {
    if (!RowOk(row)) return;
    for (DigitalOut& d : sDigitalOut) *RowUse(d, row) = 1;
    Edited();
}

void DigitalAllSetGlitchCatcher() {
    for (DigitalOut& d : sDigitalOut) d.GLITCHCATCHER = 1;
    Edited();
}

void DigitalAllSetStates(int32_t state) {
    for (DigitalOut& d : sDigitalOut)
        for (int32_t row = 0; row < kDigitalRows; ++row) *RowWord(d, row) = state & kDigitalAllLines;
    Edited();
}

void DigitalAllSetOutsToIns() {
    for (DigitalOut& d : sDigitalOut) d.OUTSTOINS = 1;
    Edited();
}

bool SetStartTriggerChannel(int32_t channel) {
    if (channel < 0 || channel >= kChannels) return false;
    nStartAndTriggerChannel = channel;
    UpdateStartTriggerMasks();
    return true;
}

bool SetStartBit(int32_t bit) {
    if (bit < 0 || bit >= kDigitalLines) return false;
    nStartBit = bit;
    UpdateStartTriggerMasks();
    return true;
}

bool SetTriggerBit(int32_t bit) {
    if (bit < 0 || bit >= kDigitalLines) return false;
    nTriggerBit = bit;
    UpdateStartTriggerMasks();
    return true;
}
