// Typed calls into the front-end control library Q90ui.dll.  Each wrapper
// looks its entry up by name at each use.  A library handle that is not valid
// or an entry that is missing is reported ("Problem loading Q90 library" /
// "Problem loading Q90 library function", or status code 15 while
// remote-controlled) and gives 0; otherwise the entry's own result returns.
#pragma once

#include <cstdint>

#include "testmodel/model.h"

struct OperationRecord;

// What GetErrorStatus fills.
struct Q90ErrorRecord {
    int32_t FirstFlag;
    int32_t SecondFlag;
    char First[128];
    char Second[128];
    char Suffix[128];
};

// The scan table as the multiplexer takes it: 1, 1, entry count, MUXFORMAT,
// block count, then CHANNEL and BLOCK of all 4096 positions.
struct MuxSetupRecord {
    int32_t One1;
    int32_t One2;
    int32_t EntryCount;
    int32_t MuxFormat;
    int32_t BlockCount;
    int32_t Channel[kScanPositions];
    int32_t Block[kScanPositions];
};
static_assert(sizeof(MuxSetupRecord) == 4 * (5 + 2 * kScanPositions));

// Per-channel outcome of NewSetupChannels: failed flag, stage, error bit.
struct ChannelSetupReport {
    int32_t Failed[kChannels];
    int32_t Stage[kChannels];
    int32_t ErrorBit[kChannels];
};

int32_t Q90Init(int32_t ddsDevice);  // VORQ90DLLInit
int32_t Q90GetErrorStatus(Q90ErrorRecord* record);
// "%s.  " of the second message when its flag is set, else of the first,
// followed by the suffix.
void Q90ErrorText(const Q90ErrorRecord& record, char* text, uint32_t size);
// True when the record carries a message (or a suffix) worth showing.
bool Q90ErrorHasMessage(const Q90ErrorRecord& record);
int32_t Q90SelectChannel(int32_t channel);
int32_t Q90Autobalance();
int32_t Q90SetupChannels(ChannelParams* params, int32_t channel);
int32_t Q90NewSetupChannels(ChannelParams* params, ProgScanList* scanList,
                            ChannelSetupReport* report);
// The output filter of a DAC card's output (0 = A, 1 = B): the index of the
// filter among the card channel's filter options.
int32_t Q90SetupDACFilters(int32_t cardChannel, int32_t output, int32_t filterIndex);
int32_t Q90GetGain(double* gain, double* variableGain, int32_t* variableGainEnabled);
int32_t Q90GetFilter(double* filter);
int32_t Q90GetVoltage(double* voltage);
int32_t Q90GetCurrent(double* current);
int32_t Q90GetModes(int32_t* excitationType, int32_t* excitationEnabled,
                    int32_t* autobalanceEnabled, int32_t* autozeroEnabled);
int32_t Q90QueryDefinitionTable(int32_t what, DefinitionTable* table);  // what = 9
int32_t Q90InitMux(const MuxSetupRecord* record, int32_t transferWords, int32_t one,
                   double aggregateRate);
int32_t Q90SelectCal(int32_t source);
int32_t Q90SetCalAttenuator(int32_t attenuation);
int32_t Q90SelectOpModes(int32_t modeBits, int32_t one);
int32_t Q90ResetCal();
// The 16 lines of the digital card in channel `line`: state word (line 1 is
// bit 0), glitch catcher and outputs-to-inputs switches (0/1).
int32_t Q90SetDigitalOut(int32_t line, int32_t state, int32_t glitchCatcher, int32_t outsToIns);
// The state word of the card's lines; -1 when it cannot be read.
int32_t Q90GetDigitalOut(int32_t line);

// ---- DAC outputs (output 0 = A, 1 = B; selection -1 = every DAC card) ----
// The static level of an output now, in mV.
int32_t Q90SetupDACImmediate(int32_t hardChannel, int32_t output, int32_t millivolts);
// One wave region (0-based) of an output: its start point in the card's
// memory, its points, loop count, the master loop and the samples.
int32_t Q90OldSetupDAC(int32_t hardChannel, int32_t output, int32_t region, int32_t start, int32_t points,
                       int32_t loop, int32_t masterLoop, const int16_t* samples);
// The test waves: `entries` channel numbers, two per DAC record (outputs A
// and B), with the operation record whose DAC1 ... DAC6 blocks describe them.
int32_t Q90NewBinarySetupDAC(const int32_t* pairs, int32_t entries, const OperationRecord* operation);
int32_t Q90StartDAC(int32_t selection, int32_t mode);  // mode: 0 = at once
int32_t Q90StopDACZero(int32_t selection);
int32_t Q90StopDACHold(int32_t selection);
