// Carrying the channel settings of the test into the front end's cards and
// back: download of the scanned channels or of one channel, autobalance,
// readback of what a card holds, and verification of the cards' definition
// tables against the test's card types (with the "hardware.ver" report).
// Every call goes through the control library; in simulator mode nothing
// reaches the hardware and the operation reports success.  While
// remote-controlled, failures become status codes and bits of the remote
// status word instead of message boxes.
#pragma once

#include <cstdint>
#include <string>

#include "hardware/q90_library.h"

// Remote status bits this code sets or clears.
constexpr uint32_t kRemoteChannelFailure = 0x800F0000u;  // a download or the library failed
constexpr uint32_t kRemoteChannelsNotSetUp = 0x40000000u;  // cleared by a good download
constexpr uint32_t kRemoteSelectFailure = 0xC0000000u;  // a channel could not be selected
// Status code of an autobalance in which every channel balanced.
constexpr int32_t kStatusChannelsAutobalanced = 27;

// ---- texts of the setup log ------------------------------------------------------------
// "Channel Selection " ... "Gain Selection " for stages 0-6, "" otherwise.
const char* SetupStageText(int32_t stage);
// "::Bus Error\n" ... for the single error bits 1-32; any other value reads
// "::Make Sure Channel Is Installed\n".
const char* SetupErrorText(int32_t errorCode);
// The log's lines for every failed channel, in channel order.
std::string SetupLogText(const ChannelSetupReport& report, const ChannelParams& params);
// The channel-setup log of the open test: its data-file name with ".log".
// False when the test path names no file.
bool ChannelSetupLogPath(char* path, uint32_t size);

// ---- downloads ----------------------------------------------------------------------------
// All scanned channels, the setup log rewritten (empty when every channel
// took its settings).  A channel that refuses is listed by channel, stage and
// error; the others still get their settings.  1 when all were set up.
int32_t DownloadScannedChannels();
// What the recording start and the menu call: DownloadScannedChannels.
int32_t DownloadChannelSettings();
// The wait window's progress during a download of the scanned channels:
// called with each channel just before it is set up (ascending), then with
// -1 when the download has ended.  The window code behind it keeps the
// program's windows painting.  Null (the default) shows nothing.
using ChannelDownloadProgress = void (*)(int32_t channel);
void SetChannelDownloadProgress(ChannelDownloadProgress progress);
// One channel (the channel dialog's Download Channel).  1 when set up.
int32_t DownloadChannel(int32_t channel);

// The output filter of one DAC output (DAC card 0-2 of the scan table's DAC
// channel list, output 0 = A, 1 = B) to the filter value `filter`: sent as
// its index among the card channel's 8 filter options (0 when it is not one
// of them).  A card without a channel is skipped (1).  A refusal is shown
// with "Continue Setup Of Next Channel?" (the answer does not stop the
// others), or reported as code 14 while remote-controlled.  1 when set.
int32_t DownloadDacFilter(int32_t dacCard, int32_t output, int32_t filter);

// Selects the channel and balances its bridge.  1 balanced.
int32_t AutobalanceChannel(int32_t channel);

// ---- readback -----------------------------------------------------------------------------
// What a channel's card reports; each group's flag says whether it could be read.
struct ChannelReadback {
    double Gain = 1;
    double VariableGain = 1;
    int32_t VariableGainEnabled = 0;
    double Filter = 0;
    double Voltage = 10;
    double Current = 0;
    int32_t ExcitationType = 1;  // EXCITATIONSOURCE: 1 voltage, 0 current, 2 none
    int32_t ExcitationEnabled = 1;
    int32_t AutobalanceEnabled = 1;
    int32_t AutozeroEnabled = 1;
    bool Selected = true;
    bool GainRead = true;
    bool FilterRead = true;
    bool VoltageRead = true;
    bool CurrentRead = true;
    bool ModesRead = true;
};
// Reads the card of `channel` (simulator mode: the fixed power-on picture).
// A channel that cannot be selected or a value that cannot be read is shown
// to the operator; the rest is still read.  1 when everything was read.
int32_t ReadChannelSettings(int32_t channel, ChannelReadback* readback);

// The readback's fields as the review dialog shows them.
struct ReadbackText {
    std::string Gain;                // "%d" or "VARIABLE"
    std::string VariableGainStatus;  // "ENABLED" / "DISABLED"
    std::string VariableGain;        // "FIXED" or the value with 4 decimals
    std::string Filter;              // "WideBand" or "%d"
    std::string Excitation;          // "%d" (current) or "%d Volts"
    std::string ExcitationType;      // "CURRENT", "VOLTAGE" or "DISABLED"
    std::string AutozeroStatus;
    std::string AutobalanceStatus;
};
ReadbackText FormatReadback(const ChannelReadback& readback);

// ---- verification -------------------------------------------------------------------------
// CARDTYPE of the model a reported model code designates, or 0 when the code
// names no model the verification adopts.  Codes run in blocks of 100 per
// model in card-list order; the two M17 models share their blocks and the
// 16-bit choice picks between them; every digital card counts as M18-A.
int32_t CardTypeOfModelCode(int32_t modelCode, bool sixteenBitConverter);
// The model name of a CARDTYPE (1-15), "" otherwise.
const char* CardModelName(int32_t cardType);

// A double from the hardware as a list option: truncated, saturated to
// int32_t; NaN or negative values become 0.
int32_t OptionFromHardware(double value);

// Which of the channel's lists differ from the definition record.
struct Mismatches {
    bool Gains = false;
    bool Filters = false;
    bool Voltages = false;
    bool Currents = false;
    bool Any() const { return Gains || Filters || Voltages || Currents; }
};
Mismatches CompareDefinition(const ChannelParams& params, int32_t channel, const DefinitionTable& table);
// Adopts the record's lists as the channel's options and selects the first
// of each; counts never exceed their lists.
void AdoptDefinitionLists(ChannelParams* params, int32_t channel, const DefinitionTable& table);
// The "hardware.ver" lines of one channel.
std::string HardwareReportText(int32_t channel, const DefinitionTable& table);

enum class VerifyScope { None, AllChannels, ScanListChannels, SingleChannel };
struct VerifyOptions {
    VerifyScope Scope = VerifyScope::SingleChannel;
    int32_t Channel = 0;
    bool WriteReport = true;
    bool OpenNotepad = true;
    bool Apply = false;
    bool SixteenBit = false;
};
// "hardware.ver" in the program directory.
std::string HardwareReportPath();
// Runs the verification with its questions and messages.  Returns the number
// of channels verified (-1 when no scope was chosen).
int32_t VerifyChannelHardware(const VerifyOptions& options);
// "%s\notepad.exe %s\hardware.ver" (Windows directory, program directory).
std::string HardwareReportCommand();
