// The records the control library takes from its caller, laid out as the
// library's interface documentation describes them.  The library keeps its
// own declarations rather than the program's headers, so that a record the
// program lays out differently is read as garbage (and refused where that
// shows) instead of being mirrored; every offset below is checked against
// the documented one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace q90lib {

constexpr int kChannels = 256;
constexpr int kScanPositions = 4096;

// The per-channel settings block: one array of 256 elements per field, in
// this order.  The amplifier settings lead the block; the library reads
// nothing after them (the calibration record, card and 5B fields follow).
struct ChannelBlock {
    char NAME[kChannels][32];
    char UNITS[kChannels][8];
    char DESCRIPTION[kChannels][30];
    char LOCATION[kChannels][30];
    double SENSITIVITY[kChannels];
    double OFFSET[kChannels];
    double GAIN[kChannels];
    uint32_t GainCount[kChannels];
    int32_t GainList[kChannels][16];
    double VARIABLEGAIN[kChannels];
    double FILTER[kChannels];
    uint32_t FilterCount[kChannels];
    int32_t FilterList[kChannels][8];
    uint32_t EXCITATIONSOURCE[kChannels];
    double EXCITATIONVOLTAGE[kChannels];
    int32_t VoltageList[kChannels][10];
    double EXCITATIONCURRENT[kChannels];
    int32_t CurrentList[kChannels][10];
    uint32_t AUTOBALANCEENABLE[kChannels];
    uint32_t AutobalanceCapable[kChannels];
    uint32_t AUTOZEROENABLE[kChannels];
    uint32_t AutozeroCapable[kChannels];
    uint32_t EXTERNALAUTOZERO[kChannels];
    uint32_t VARIABLEGAINENABLE[kChannels];
    uint32_t VariableGainCapable[kChannels];
    uint32_t EXCITATIONENABLE[kChannels];
};
static_assert(offsetof(ChannelBlock, UNITS) == 8192);
static_assert(offsetof(ChannelBlock, DESCRIPTION) == 10240);
static_assert(offsetof(ChannelBlock, LOCATION) == 17920);
static_assert(offsetof(ChannelBlock, SENSITIVITY) == 25600);
static_assert(offsetof(ChannelBlock, OFFSET) == 27648);
static_assert(offsetof(ChannelBlock, GAIN) == 29696);
static_assert(offsetof(ChannelBlock, GainCount) == 31744);
static_assert(offsetof(ChannelBlock, GainList) == 32768);
static_assert(offsetof(ChannelBlock, VARIABLEGAIN) == 49152);
static_assert(offsetof(ChannelBlock, FILTER) == 51200);
static_assert(offsetof(ChannelBlock, FilterCount) == 53248);
static_assert(offsetof(ChannelBlock, FilterList) == 54272);
static_assert(offsetof(ChannelBlock, EXCITATIONSOURCE) == 62464);
static_assert(offsetof(ChannelBlock, EXCITATIONVOLTAGE) == 63488);
static_assert(offsetof(ChannelBlock, VoltageList) == 65536);
static_assert(offsetof(ChannelBlock, EXCITATIONCURRENT) == 75776);
static_assert(offsetof(ChannelBlock, CurrentList) == 77824);
static_assert(offsetof(ChannelBlock, AUTOBALANCEENABLE) == 88064);
static_assert(offsetof(ChannelBlock, AutobalanceCapable) == 89088);
static_assert(offsetof(ChannelBlock, AUTOZEROENABLE) == 90112);
static_assert(offsetof(ChannelBlock, AutozeroCapable) == 91136);
static_assert(offsetof(ChannelBlock, EXTERNALAUTOZERO) == 92160);
static_assert(offsetof(ChannelBlock, VARIABLEGAINENABLE) == 93184);
static_assert(offsetof(ChannelBlock, VariableGainCapable) == 94208);
static_assert(offsetof(ChannelBlock, EXCITATIONENABLE) == 95232);
static_assert(sizeof(ChannelBlock) == 96256);

// The scan table: a header of four words, then 4096 positions of four words.
constexpr uint32_t kScanEmpty = 0xFFFFFFFFu;
struct ScanEntry {
    uint32_t CHANNEL;  // 0-255, kScanEmpty = empty
    uint32_t BLOCK;
    uint32_t DataType;
    uint32_t FiveBFlag;
};
struct ScanList {
    uint32_t EntryCount;
    uint32_t BlockCount;
    uint32_t Reserved[2];
    ScanEntry Entry[kScanPositions];
};
static_assert(offsetof(ScanList, BlockCount) == 4);
static_assert(offsetof(ScanList, Entry) == 16);
static_assert(sizeof(ScanEntry) == 16);
static_assert(sizeof(ScanList) == 65552);

// The card definition a channel reports.
struct DefinitionRecord {
    double Gains[16];
    double Filters[8];
    double Voltages[10];
    double Currents[10];
    uint8_t Reserved1[40];
    int32_t ModelCode;
    int32_t SerialNumber;
    uint8_t Reserved2[16];
};
static_assert(offsetof(DefinitionRecord, Filters) == 128);
static_assert(offsetof(DefinitionRecord, Voltages) == 192);
static_assert(offsetof(DefinitionRecord, Currents) == 272);
static_assert(offsetof(DefinitionRecord, ModelCode) == 392);
static_assert(offsetof(DefinitionRecord, SerialNumber) == 396);
static_assert(sizeof(DefinitionRecord) == 416);

// The per-channel outcome of setting up the scanned channels.
struct SetupReport {
    int32_t Failed[kChannels];
    int32_t Stage[kChannels];
    int32_t ErrorBit[kChannels];
};
static_assert(offsetof(SetupReport, Stage) == 1024);
static_assert(offsetof(SetupReport, ErrorBit) == 2048);
static_assert(sizeof(SetupReport) == 3072);

// The error record the library hands out.
struct ErrorRecord {
    int32_t FirstFlag;
    int32_t SecondFlag;
    char First[128];
    char Second[128];
    char Suffix[128];
};
static_assert(offsetof(ErrorRecord, First) == 8);
static_assert(offsetof(ErrorRecord, Second) == 136);
static_assert(offsetof(ErrorRecord, Suffix) == 264);
static_assert(sizeof(ErrorRecord) == 392);

// The multiplexer set-up: 1, 1, entry count, format, block count, then the
// channel and the block of every position (-1 = unused).
struct MuxRecord {
    int32_t One1;
    int32_t One2;
    int32_t EntryCount;
    int32_t MuxFormat;
    int32_t BlockCount;
    int32_t Channel[kScanPositions];
    int32_t Block[kScanPositions];
};
static_assert(offsetof(MuxRecord, Channel) == 20);
static_assert(offsetof(MuxRecord, Block) == 20 + 4 * kScanPositions);
static_assert(sizeof(MuxRecord) == 4 * (5 + 2 * kScanPositions));

// The operation record of the test waves: monitoring words, then one block
// per DAC output (DAC1 ... DAC6).
struct OperationDac {
    int32_t WaveSections;
    int32_t DACFILTER;
    int32_t WaveSectionLength[3];
    int32_t PerformCount[3];
    char WaveFile[256];
};
struct OperationRecord {
    int32_t NumberToMonitor;
    int32_t FirstDisplayChannel;
    int32_t SecondDisplayChannel;
    int32_t TestType;
    int32_t Reserved;
    OperationDac Dac[6];
};
static_assert(offsetof(OperationDac, DACFILTER) == 4);
static_assert(offsetof(OperationDac, WaveSectionLength) == 8);
static_assert(offsetof(OperationDac, PerformCount) == 20);
static_assert(offsetof(OperationDac, WaveFile) == 32);
static_assert(sizeof(OperationDac) == 288);
static_assert(offsetof(OperationRecord, TestType) == 12);
static_assert(offsetof(OperationRecord, Dac) == 20);
static_assert(sizeof(OperationRecord) == 20 + 6 * 288);

// A record handed at an address its fields cannot sit at was not made as
// documented.
template <typename T>
bool Aligned(const T* p) {
    return reinterpret_cast<uintptr_t>(p) % alignof(T) == 0;
}

}  // namespace q90lib
