// The defaults of a fresh test model: what a test starts from before the
// card types and the test database overwrite it.
#include <cstdio>
#include <cstring>

#include "testmodel/ini_values.h"
#include "testmodel/settings_ini.h"
#include "testmodel/model.h"

namespace {

void ChannelDefaults(ChannelParams* cp) {
    static const double kResistors[4] = {499.0, 1000.0, 221000.0, 110000.0};
    for (int i = 0; i < kChannels; ++i) {
        CopyText(cp->CardModel[i], sizeof cp->CardModel[i], "M17-B");
        cp->CARDTYPE[i] = 8;
        snprintf(cp->NAME[i], sizeof cp->NAME[i], "CHAN%d", i);
        CopyText(cp->UNITS[i], sizeof cp->UNITS[i], "mV");
        CopyText(cp->DESCRIPTION[i], sizeof cp->DESCRIPTION[i], "Unknown");
        CopyText(cp->LOCATION[i], sizeof cp->LOCATION[i], "Unknown");
        cp->SENSITIVITY[i] = 1.0;
        cp->OFFSET[i] = 0.0;
        cp->GAIN[i] = 1.0;
        cp->VARIABLEGAIN[i] = 1.0;
        cp->FILTER[i] = 0.0;
        cp->EXCITATIONSOURCE[i] = 1;
        cp->EXCITATIONVOLTAGE[i] = 10.0;
        cp->EXCITATIONCURRENT[i] = 20.0;
        cp->AUTOBALANCEENABLE[i] = 1;
        cp->AUTOZEROENABLE[i] = 1;
        cp->VARIABLEGAINENABLE[i] = 0;
        cp->EXCITATIONENABLE[i] = 1;

        CalRecord& cal = cp->Cal;
        for (int k = 0; k < 4; ++k) cal.CalResistors[i][k] = kResistors[k];
        cal.CalFlag[i] = 0;
        cal.ACTIVESTATES[i] = kCalStates;
        for (int n = 0; n < kCalStates; ++n) {
            cal.STATE[n][i] = n;
            cal.EU[i][n] = 0.0;
        }

        cp->ReservedDouble[i] = 0.0;
        cp->ScanPosition[i] = -1;
        cp->ReservedWord[i] = 0;
        memset(cp->ReservedTail[i], 0, sizeof cp->ReservedTail[i]);
    }
}

void ScanTableDefaults(ProgScanList* scan) {
    scan->EntryCount = kChannels;
    scan->BlockCount = 1;
    for (uint32_t p = 0; p < kScanPositions; ++p) {
        ProgScanEntry& e = scan->Entry[p];
        if (p < kChannels) {
            e.CHANNEL = p;
            e.BLOCK = 0;
        } else {
            e.CHANNEL = 0;
            e.BLOCK = kScanEmpty;
        }
        e.DataType = 0;
    }
}

void ProcedureDefaults(CalProcedure* procs) {
    for (int n = 0; n < kCalProcedures; ++n) {
        snprintf(procs->ProcName[n], sizeof procs->ProcName[n], "Procedure%d", n + 1);
        procs->ProcSteps[n] = 4;
    }
}

}  // namespace

int32_t LoadDefaults() {
    LoadSystemIni();
    // A block that could not be allocated at start-up was reported then; the
    // rest of the model still gets its defaults.
    if (lpsChannelParams != nullptr) ChannelDefaults(lpsChannelParams);
    if (lpProgScanList != nullptr) ScanTableDefaults(lpProgScanList);
    if (lpsCalProcedures != nullptr) ProcedureDefaults(lpsCalProcedures);
    return 1;
}
