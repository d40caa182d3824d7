// Q90ui: the front-end control library.  Every entry programs the cards
// through the DDS with card-level commands over the GPIB driver, the same
// driver the program uses; sim/README.md lists the commands.  The records
// it takes are its own declarations of the documented layouts
// (sim/library_records.h); a record that cannot be one is refused before
// anything reaches the bus.  This file: initialisation, the channel
// settings, the definition table, the multiplexer and calibration; the
// outputs are in q90ui_outputs.cpp.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/q90ui_bus.h"

using namespace q90lib;

namespace {

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

// The settings of one channel as the caller's block holds them, in the
// order of the setup stages; stops at the first refused command.
int32_t SetupOne(const ChannelBlock* p, int32_t c) {
    const std::string cmds[] = {
        "C " + Int(c),
        "IM " + Int(static_cast<int32_t>(p->EXTERNALAUTOZERO[c])),
        "F " + Num(p->FILTER[c]),
        "XI " + Num(p->EXCITATIONCURRENT[c]),
        "XV " + Num(p->EXCITATIONVOLTAGE[c]),
        "X " + std::to_string(p->EXCITATIONSOURCE[c]) + "," + std::to_string(p->EXCITATIONENABLE[c]),
        "G " + Num(p->GAIN[c]),
        "GV " + Num(p->VARIABLEGAIN[c]) + "," + std::to_string(p->VARIABLEGAINENABLE[c]),
        "AB " + std::to_string(p->AUTOBALANCEENABLE[c]),
        "AZ " + std::to_string(p->AUTOZEROENABLE[c]),
    };
    for (const std::string& cmd : cmds)
        if (!Exchange(cmd)) return 0;
    return 1;
}

}  // namespace

Q90_EXPORT int32_t VORQ90DLLInit(int32_t ddsDevice) {
    (void)ddsDevice;  // the commands go to the DDS's address on the board
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
    if (record == nullptr || !Aligned(record)) return 0;
    *record = g_error;
    return 1;
}

Q90_EXPORT int32_t SelectChannel(int32_t channel) { return Exchange("C " + Int(channel)); }

Q90_EXPORT int32_t Autobalance() { return Exchange("B"); }

Q90_EXPORT int32_t SetupChannels(const ChannelBlock* params, int32_t channel) {
    if (params == nullptr || !Aligned(params)) return BadCall("SetupChannels settings block not usable");
    if (channel < 0 || channel >= kChannels) return BadCall("SetupChannels channel " + Int(channel));
    return SetupOne(params, channel);
}

Q90_EXPORT int32_t NewSetupChannels(const ChannelBlock* params, const ScanList* scanList, SetupReport* report) {
    if (params == nullptr || scanList == nullptr || report == nullptr || !Aligned(params) ||
        !Aligned(scanList) || !Aligned(report))
        return BadCall("NewSetupChannels records not usable");
    // Positions beyond the entry count are not looked at; those within it
    // hold a channel or the empty mark, nothing else.
    if (scanList->EntryCount > static_cast<uint32_t>(kScanPositions))
        return BadCall("NewSetupChannels entry count " + std::to_string(scanList->EntryCount));
    bool seen[kChannels] = {};
    for (uint32_t i = 0; i < scanList->EntryCount; ++i) {
        uint32_t c = scanList->Entry[i].CHANNEL;
        if (c == kScanEmpty) continue;
        if (c >= static_cast<uint32_t>(kChannels))
            return BadCall("NewSetupChannels position " + std::to_string(i) + " channel " + std::to_string(c));
        seen[c] = true;
    }
    int32_t failures = 0;
    ErrorRecord first = {};
    for (int32_t c = 0; c < kChannels; ++c) {
        if (!seen[c] || SetupOne(params, c)) continue;
        if (failures++ == 0) first = g_error;
        report->Failed[c] = 1;
        report->Stage[c] = g_lastStage;
        report->ErrorBit[c] = g_lastBits;
    }
    if (failures > 0) g_error = first;
    return failures == 0 ? 1 : 0;
}

Q90_EXPORT int32_t GetGain(double* gain, double* variableGain, int32_t* variableGainEnabled) {
    std::vector<double> v;
    if (!gain || !variableGain || !variableGainEnabled) return BadCall("GetGain null result");
    if (!Settings(v)) return 0;
    *gain = v[0];
    *variableGain = v[1];
    *variableGainEnabled = static_cast<int32_t>(v[2]);
    return 1;
}

Q90_EXPORT int32_t GetFilter(double* filter) {
    std::vector<double> v;
    if (!filter) return BadCall("GetFilter null result");
    if (!Settings(v)) return 0;
    *filter = v[3];
    return 1;
}

Q90_EXPORT int32_t GetVoltage(double* voltage) {
    std::vector<double> v;
    if (!voltage) return BadCall("GetVoltage null result");
    if (!Settings(v)) return 0;
    *voltage = v[4];
    return 1;
}

Q90_EXPORT int32_t GetCurrent(double* current) {
    std::vector<double> v;
    if (!current) return BadCall("GetCurrent null result");
    if (!Settings(v)) return 0;
    *current = v[5];
    return 1;
}

// Excitation type as EXCITATIONSOURCE counts it: 1 voltage, 0 current, 2 none.
Q90_EXPORT int32_t GetModes(int32_t* excitationType, int32_t* excitationEnabled,
                            int32_t* autobalanceEnabled, int32_t* autozeroEnabled) {
    std::vector<double> v;
    if (!excitationType || !excitationEnabled || !autobalanceEnabled || !autozeroEnabled)
        return BadCall("GetModes null result");
    if (!Settings(v)) return 0;
    *excitationType = static_cast<int32_t>(v[6]);
    *excitationEnabled = static_cast<int32_t>(v[7]);
    *autobalanceEnabled = static_cast<int32_t>(v[8]);
    *autozeroEnabled = static_cast<int32_t>(v[9]);
    return 1;
}

Q90_EXPORT int32_t QueryDefinitionTable(int32_t what, DefinitionRecord* table) {
    if (table == nullptr || !Aligned(table)) return BadCall("QueryDefinitionTable record not usable");
    if (what != 9) return BadCall("QueryDefinitionTable " + Int(what));
    std::string reply;
    if (!Exchange("D?", &reply)) return 0;
    std::vector<double> v = Numbers(reply);
    if (v.size() != 46) {
        SetError(1, "Card Reply Malformed", "D? answered " + std::to_string(v.size()) + " values");
        return 0;
    }
    memset(table, 0, sizeof *table);
    table->ModelCode = static_cast<int32_t>(v[0]);
    table->SerialNumber = static_cast<int32_t>(v[1]);
    for (int i = 0; i < 16; ++i) table->Gains[i] = v[2 + i];
    for (int i = 0; i < 8; ++i) table->Filters[i] = v[18 + i];
    for (int i = 0; i < 10; ++i) table->Voltages[i] = v[26 + i];
    for (int i = 0; i < 10; ++i) table->Currents[i] = v[36 + i];
    return 1;
}

Q90_EXPORT int32_t InitMux(const MuxRecord* record, int32_t transferWords, int32_t one, double rate) {
    if (record == nullptr || !Aligned(record)) return BadCall("InitMux record not usable");
    if (one != 1) return BadCall("InitMux third argument " + Int(one));
    if (record->One1 != 1 || record->One2 != 1)
        return BadCall("InitMux record begins " + Int(record->One1) + "," + Int(record->One2));
    if (record->EntryCount < 1 || record->EntryCount > kScanPositions) {
        SetError(1, "Bad Scan Table", "Entry Count " + Int(record->EntryCount));
        return 0;
    }
    if (!Exchange("K0 " + Int(record->EntryCount) + "," + Int(record->BlockCount) + "," +
                  Int(record->MuxFormat) + "," + Int(transferWords) + "," + Num(rate)))
        return 0;
    for (int32_t first = 0; first < record->EntryCount; first += 64) {
        std::string cmd = "K1 " + Int(first);
        for (int32_t p = first; p < first + 64 && p < record->EntryCount; ++p)
            cmd += "," + Int(record->Channel[p]) + "." + Int(record->Block[p]);
        if (!Exchange(cmd)) return 0;
    }
    return Exchange("K2");
}

// ---- calibration ----------------------------------------------------------------------------
Q90_EXPORT int32_t SelectCal(int32_t source) { return Exchange("L " + Int(source)); }
Q90_EXPORT int32_t SetCalAttenuator(int32_t attenuation) { return Exchange("LA " + Int(attenuation)); }
Q90_EXPORT int32_t SelectOpModes(int32_t bits, int32_t one) {
    return Exchange("LM " + Int(bits) + "," + Int(one));
}
Q90_EXPORT int32_t ResetCal() { return Exchange("LR"); }
