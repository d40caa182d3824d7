// The in-memory test model: global records and buffers that every subsystem
// reads and writes directly.
//
// Layout rules other code relies on:
//  * Array per field.  A per-channel field is an array of 256 elements indexed
//    by channel number (0-255); a per-channel element that is itself a list is
//    the inner dimension (GainList[channel][k]).  Fields that come as a
//    numbered family (STATE1 ... STATE8) are one array per number:
//    STATE[n][channel] holds STATEn+1 of that channel.
//  * Fixed widths and slot counts: the record sizes are asserted below because
//    the blocks are allocated with exactly these sizes and some records travel
//    as raw bytes (the CVT Value array over the network, the operation record
//    to the front-end library).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kChannels = 256;
constexpr int kScanPositions = 4096;
constexpr int kCalTypes = 16;
constexpr int kCalStates = 8;
constexpr int kCalProcedures = 10;
constexpr int kCalCommands = 10;
constexpr int kFiveBModules = 16;
constexpr int kDacChannels = 16;
constexpr int kDacWaves = 10;
constexpr int kDigitalOuts = 16;
constexpr int kGainOptions = 16;
constexpr int kFilterOptions = 8;
constexpr int kVoltageOptions = 10;
constexpr int kCurrentOptions = 10;
constexpr uint32_t kNewDataWords = 64480;
constexpr int kHistoryPerChannel = 100;
constexpr int kHistoryEntries = kChannels * kHistoryPerChannel;  // 25600
constexpr uint32_t kCalibDataWords = 1040;
constexpr uint32_t kMonitorDataBytes = 32768;

// ---- calibration settings and results of every channel ------------------------
struct CalRecord {
    int32_t CALTYPE[kChannels];        // CalType slot 0-15
    int32_t CALPROCEDURE[kChannels];   // CalProcedure 0-9, -1 = none
    int32_t ACTIVESTATES[kChannels];   // 1-8
    int32_t STATE[kCalStates][kChannels];  // STATE[n][ch] = STATEn+1, state code 0-13
    uint32_t CalFlag[kChannels];
    double CalResistors[kChannels][4];  // ohms
    double EU[kChannels][kCalStates];
    double MEAN[kChannels][kCalStates];
    double DEVIATION[kChannels][kCalStates];
};

// ---- the 16 5B modules behind every channel ------------------------------------
struct FiveBModule {
    char NAME[kChannels][kFiveBModules][32];
    double SENSITIVITY[kChannels][kFiveBModules];
    double OFFSET[kChannels][kFiveBModules];
    char UNITS[kChannels][kFiveBModules][8];
};

// ---- per-channel configuration (lpsChannelParams) ------------------------------
struct ChannelParams {
    char NAME[kChannels][32];
    char UNITS[kChannels][8];
    char DESCRIPTION[kChannels][30];
    char LOCATION[kChannels][30];
    double SENSITIVITY[kChannels];
    double OFFSET[kChannels];
    double GAIN[kChannels];
    uint32_t GainCount[kChannels];
    int32_t GainList[kChannels][kGainOptions];
    double VARIABLEGAIN[kChannels];
    double FILTER[kChannels];
    uint32_t FilterCount[kChannels];
    int32_t FilterList[kChannels][kFilterOptions];
    uint32_t EXCITATIONSOURCE[kChannels];
    double EXCITATIONVOLTAGE[kChannels];
    int32_t VoltageList[kChannels][kVoltageOptions];
    double EXCITATIONCURRENT[kChannels];
    int32_t CurrentList[kChannels][kCurrentOptions];
    uint32_t AUTOBALANCEENABLE[kChannels];
    uint32_t AutobalanceCapable[kChannels];
    uint32_t AUTOZEROENABLE[kChannels];
    uint32_t AutozeroCapable[kChannels];
    uint32_t EXTERNALAUTOZERO[kChannels];
    uint32_t VARIABLEGAINENABLE[kChannels];
    uint32_t VariableGainCapable[kChannels];
    uint32_t EXCITATIONENABLE[kChannels];
    CalRecord Cal;
    double ReservedDouble[kChannels];  // cleared with the defaults, read by nobody
    char CardModel[kChannels][12];     // 11 characters at most
    uint32_t CARDTYPE[kChannels];      // 1-based type of Q90CARD.ini
    FiveBModule FiveB;
    int32_t ScanPosition[kChannels];   // byte offset 16 + 2p in a scan, -1 = not scanned
    uint32_t ReservedWord[kChannels];  // cleared with the defaults, read by nobody
    // The fields above take 1576 bytes per channel, but the block has always
    // been allocated as 1584 bytes per channel (405504 in all).  The tail keeps
    // the block at that size so that nothing sized from it changes.
    uint8_t ReservedTail[kChannels][8];
};

// ---- calibration types (lpsCalTypes), 16 slots --------------------------------
struct CalType {
    uint32_t TYPE[kCalTypes];
    char NAME[kCalTypes][50];
    uint32_t STATES[kCalTypes];                 // 1-8
    uint32_t STATE[kCalStates][kCalTypes];      // STATE[n][slot] = STATEn+1, 0-13
    uint32_t STRING[kCalStates][kCalTypes];     // STRING[n][slot] = STRINGn+1
};

// ---- calibration procedures (lpsCalProcedures) ----------------------------------
struct CalProcedure {
    char ProcName[kCalProcedures][25];
    uint32_t ProcSteps[kCalProcedures];
    uint32_t ProcStepList[kCalProcedures][8];
};

// ---- external calibrator commands (lpsCalCommands) -------------------------------
struct CalCommand {
    char Command[kCalCommands][50];
    char Name[kCalCommands][25];
    uint32_t Delay[kCalCommands];
};

// ---- programmable scan table (lpProgScanList) --------------------------------------
constexpr uint32_t kScanEmpty = 0xFFFFFFFFu;  // CHANNEL of an unused position

struct ProgScanEntry {
    uint32_t CHANNEL;    // channel 0-255, kScanEmpty = empty
    uint32_t BLOCK;      // 0-based block; all bits set for unused default positions
    uint32_t DataType;   // word format 0-3
    uint32_t FiveBFlag;  // 1 for a 5B channel's position
};

struct ProgScanList {
    uint32_t EntryCount;  // positions in use
    uint32_t BlockCount;
    uint32_t Reserved[2];
    ProgScanEntry Entry[kScanPositions];
};

// ---- multi-rate bookkeeping of the scan table builder (MultiRate) ---------------------
struct MultiRateTable {
    uint32_t PositionsNeeded;  // the builders' base count
    uint32_t PositionsFree;    // 4096 minus the positions in use
    int32_t FirstPosition[kChannels];  // -1 = not scanned
    int32_t PositionCount[kChannels];
    int32_t Divisor[kChannels];        // sampled every Divisor-th block
};

// ---- card definition returned by the front-end library (lpsDefinitionTable) -----------
struct DefinitionTable {
    double Gains[16];
    double Filters[8];
    double Voltages[10];
    double Currents[10];
    uint8_t Reserved1[40];
    int32_t ModuleCode;
    int32_t SerialNumber;
    uint8_t Reserved2[16];
};

// ---- DAC channels and digital outputs (static arrays) ---------------------------------
struct DacChannel {
    int32_t HARDCHAN;
    int32_t MASTERLOOP;
    int32_t STATICOUT[2];
    int32_t SUBCHAN[2];
    int32_t OUTTYPE[2];
    int32_t REGIONS[2];
    int32_t STARTTYPE[2];
    int32_t WAVE[kDacWaves][2];  // wave n of sub-channel s at [n][s]
    int32_t FREQ[kDacWaves][2];
    int32_t LOOP[kDacWaves][2];
};

struct DigitalOut {
    int32_t STATICSTATE;
    int32_t STATE1;
    int32_t STATE2;
    int32_t STATE3;
    int32_t STATE1TIME;
    int32_t STATE2TIME;
    int32_t STATE3TIME;
    int32_t HARDWARECHANNEL;
    int32_t USEINIT;
    int32_t USE1;
    int32_t USE2;
    int32_t USE3;
    int32_t OUTSTOINS;
    int32_t GLITCHCATCHER;
};

// ---- current value table (lpCVT) -------------------------------------------------------
struct CVT {
    uint32_t ScreenLoaded;   // 1 when the display arrangement changed since the last save/load
    char ScreenFile[260];
    double Value[kChannels];  // latest engineering value; served over the network as is
    int32_t Format[kChannels];  // latest raw sample, sign-extended
    double AlarmAbove[kChannels];
    double AlarmBelow[kChannels];
    double WarningAbove[kChannels];
    double WarningBelow[kChannels];
    uint32_t NormalColor[kChannels];  // Windows RGB values
    uint32_t AlarmColor[kChannels];
    uint32_t WarningColor[kChannels];
};

// ---- quick plots (lpQuickPlots) --------------------------------------------------------
// Everything is 32-bit, so the single leading count leaves no padding.
struct QuickPlots {
    uint32_t Prepared;                     // the leading count: 0 = not prepared
    int32_t Offsets[kChannels][4096];      // 16384-byte area per channel
    uint32_t OccurrenceCount[kChannels];
    int32_t Points[kChannels][2048][2];    // (x, y) pairs
    uint32_t Overload[kChannels];
    uint32_t OverloadThreshold[kChannels];
    uint32_t Window[kChannels];            // quick-plot window handle, 0 = none
};

// ---- block sizes, fixed by the allocation table --------------------------------------------
static_assert(sizeof(MultiRateTable) == 3080);
static_assert(sizeof(ProgScanList) == 65552);
static_assert(sizeof(CalProcedure) == 612);
static_assert(sizeof(ChannelParams) == 405504);
static_assert(sizeof(DefinitionTable) == 416);
static_assert(sizeof(CVT) == 14600);
static_assert(sizeof(QuickPlots) == 8392708);
static_assert(sizeof(CalType) == 1952);
static_assert(sizeof(CalCommand) == 792);
static_assert(sizeof(DacChannel) == 4 * (2 + 5 * 2 + 3 * kDacWaves * 2));
static_assert(sizeof(DigitalOut) == 14 * 4);

// ---- the global blocks (null until AllocateTestModel, or when an allocation failed) --------
extern MultiRateTable* MultiRate;
extern ProgScanList* lpProgScanList;
extern CalProcedure* lpsCalProcedures;
extern ChannelParams* lpsChannelParams;
extern DefinitionTable* lpsDefinitionTable;
extern uint8_t* lpMonitorData;  // allocated, never used
extern CVT* lpCVT;
extern QuickPlots* lpQuickPlots;
extern CalType* lpsCalTypes;
extern uint16_t* lpucNewData0;
extern uint16_t* lpucNewData1;
extern uint16_t** lpHistoryBuffer0;  // 25600 pointers into lpucNewData0, 100 per channel
extern uint16_t** lpHistoryBuffer1;  // the same into lpucNewData1
extern uint16_t* lpucCalibData;
extern CalCommand* lpsCalCommands;

extern DacChannel sDacChannel[kDacChannels];
extern DigitalOut sDigitalOut[kDigitalOuts];

// Allocates the fifteen blocks in their fixed order, initialises the quick
// plots, the channel gains, the sample rate and the transfer length, then
// applies the defaults (LoadDefaults).  A block that cannot be had is reported
// (problem box, then "Memory Allocation Failure") and left null; start-up goes
// on.  Returns 1 when every block was allocated, else 0.  Calling it again
// frees the previous blocks first.
int32_t AllocateTestModel();

// Frees every block and clears the pointers.
void FreeTestModel();
