// The three settings files: Q90.ini (system settings), Q90CARD.ini (card
// types, read only) and mtstest.ini (operation file of remote-controlled runs,
// read only), and the defaults of a fresh test model.
#pragma once

#include <cstdint>

constexpr const char* kSystemIniFile = "Q90.ini";
constexpr const char* kCardIniFile = "Q90CARD.ini";
constexpr const char* kOperationIniFile = "mtstest.ini";

// Reads Q90.ini into the system settings (system_settings.h), the process
// flags (SIMULATOR, APPEND, PIPESERVER, CLIENT), the external calibrator
// commands and, while AllTheSame is on, the option lists of every channel.
// Returns 1.
int32_t LoadSystemIni();

// Writes the system settings back to Q90.ini (on exit).  The shell fills the
// [SCREEN LOCATIONS] globals from its windows and menu first.  Returns 1.
int32_t SaveSystemIni();

// Reads Q90CARD.ini and applies the card types to all 256 channels: model
// name, option lists, capabilities, and the selected values checked against
// the lists.  A channel whose CARDTYPE has no type gets a message box.
// Returns 1.
int32_t LoadCardTypes();
// The same for one channel only (its CARDTYPE just changed); 0 when the
// type is not in Q90CARD.ini (nothing changed).
int32_t ApplyCardTypeToChannel(int32_t channel);

// Reads Q90.ini, then gives every channel, the scan table and the calibration
// procedures their defaults.  Blocks that failed to allocate are skipped.
// Returns 1.
int32_t LoadDefaults();

// ---- operation file ---------------------------------------------------------------------
// One DAC output's section [DACn] of mtstest.ini.
struct OperationDac {
    int32_t WaveSections;
    int32_t DACFILTER;
    int32_t WaveSectionLength[3];
    int32_t PerformCount[3];
    char WaveFile[256];
};

// The operation record; handed as raw bytes to the front-end library's DAC
// setup, so the field order and widths are fixed.
struct OperationRecord {
    int32_t NumberToMonitor;       // 0-2
    int32_t FirstDisplayChannel;   // channel 0-255, -1 = none
    int32_t SecondDisplayChannel;  // channel 0-255, -1 = none
    int32_t TestType;              // 0-3
    int32_t Reserved;
    OperationDac Dac[6];           // DAC1 ... DAC6
};
static_assert(sizeof(OperationDac) == 8 * 4 + 256);
static_assert(sizeof(OperationRecord) == 5 * 4 + 6 * sizeof(OperationDac));

// Bits of LoadOperationFile's result.
constexpr int32_t kOperationRecordToDisk = 0x1;
constexpr int32_t kOperationFileRead = 0x2;
constexpr int32_t kOperationMonitorData = 0x8;

// Reads mtstest.ini into `op` and the run's test database name into testFile
// (`testFileSize` bytes; may be null).  Returns the flag word above.  Also sets
// nOperationFirstDisplayChannel.
int32_t LoadOperationFile(OperationRecord* op, char* testFile, uint32_t testFileSize);

// The first display channel the last operation file named: its
// FirstDisplayChannel while MonitorData is on, else -1 (none).  While
// remote-controlled a test load shows this channel first instead of the first
// scanned one.
extern int32_t nOperationFirstDisplayChannel;

// Sets one DAC output's filter: DAC record (0-2), sub-channel (0-1), filter
// value.  Returns non-zero on success.
using DacFilterSetter = int32_t (*)(int32_t dacRecord, int32_t subChannel, int32_t filter);

// Re-reads DACFILTER of [DAC1] ... [DAC6] into `op` and, for every output whose
// first wave section is longer than 0, sets that output's filter through
// `setter` (the DAC outputs' SetDacFilter unless a caller passes another).
// DAC1/DAC2 are sub-channels 0/1 of DAC record 0, DAC3/DAC4 of record 1,
// DAC5/DAC6 of record 2.  Returns 1.
int32_t ApplyDacFilters(OperationRecord* op, DacFilterSetter setter = nullptr);
