// The rules of the channel parameter dialog, apart from its window code: what
// each card model shows, how typed values are checked and stored, the alarm
// and warning limits, cloning, and the test's save and retrieve from the
// dialog.  Every store clears the test-saved flag; a change of a hardware
// setting also clears the parameters-downloaded flag.
#pragma once

#include <cstdint>
#include <string>

#include "testmodel/model.h"

constexpr int32_t kCardTypes = 15;

enum class CardClass { FiveB, Analog, Digital, Dac };
// The class of a CARDTYPE 1-15 (an unknown type counts as analog).
CardClass CardClassOfType(uint32_t cardType);
// The bitmap resource shown beside the Type list: "5BBOX", "ANALOGCARD",
// "DIGITALCARD" or "DACCARD".
const char* CardPictureOfType(uint32_t cardType);

// Which controls the dialog shows for a channel.
struct ChannelControls {
    bool Analog = true;             // gain, filter, excitation, zero and balance
    bool NameFields = true;         // name, units, sensitivity, offset (not for 5B)
    bool VariableGain = false;
    bool Autobalance = false;
    bool Autozero = false;          // zero and external auto-zero
    bool ZeroBalanceGroup = false;
    bool FilterList = false;
    bool Voltage = false;           // radio button and list
    bool Current = false;
    bool ExcitationGroup = false;   // Enable Excitation Supply and its group
    bool CalibrationButton = true;
    bool DigitalButton = false;
    bool DacButton = false;
};
ChannelControls ChannelControlsOf(const ChannelParams& params, int32_t channel);

// Option list entries: whole numbers ("-1" for a negative option), a filter
// of 0 reads "WideBand".
std::string GainOptionText(int32_t option);
std::string FilterOptionText(int32_t option);
// Index of `value` in a list of `count` options, -1 when it is not there.
int32_t OptionIndex(const int32_t* options, int32_t count, double value);

// A number as the operator typed it; false for text that is not one finite
// number (surrounding blanks allowed).
bool ParseNumber(const char* text, double* value);
// "%.4f".
std::string FourDecimals(double value);

// ---- stores --------------------------------------------------------------------------------
// Name: at most 31 characters, unique among the 256 channels.  A clash shows
// "This Channel Name Is The Same As The Name For Channel %d" (lowest such
// channel) and stores nothing.  Returns 1 when stored.
int32_t StoreChannelName(int32_t channel, const char* text);
// The first other channel with this name (31 characters compared), or -1.
int32_t ChannelNameClash(int32_t channel, const char* name);

enum class TextField { Units, Description, Location };
// Units at most 7 characters, description and location 29.
void StoreChannelText(int32_t channel, TextField field, const char* text);

enum class NumberField { Sensitivity, Offset, VariableGain };
// Stores a typed number.  Text that is not a number, or a variable gain
// outside (0, 10000], is refused with a message and stores nothing.
// Returns 1 when stored.
int32_t StoreChannelNumber(int32_t channel, NumberField field, const char* text);

enum class OptionList { Gain, Filter, Voltage, Current };
// Selects entry `index` of the channel's list (16 gains, 8 filters, 10
// voltages, 10 currents, as the dialog lists them).  A gain change keeps the
// limits at their percentage of full scale.  An index outside the list
// changes nothing.  Returns 1 when stored.
int32_t SelectChannelOption(int32_t channel, OptionList list, int32_t index);

enum class ChannelSwitch {
    VoltageExcitation,   // EXCITATIONSOURCE 1
    CurrentExcitation,   // EXCITATIONSOURCE 0
    ExcitationEnable,
    Autobalance,
    Autozero,
    ExternalAutozero,
    VariableGainEnable,
};
void SetChannelSwitch(int32_t channel, ChannelSwitch which, bool on);

// Card model by its position in the Type list (CARDTYPE 1-15): model name,
// CARDTYPE, then the card definitions of Q90CARD.ini.  Returns 1 when stored.
int32_t SelectCardType(int32_t channel, uint32_t cardType);

// ---- limits --------------------------------------------------------------------------------
enum class LimitField { AlarmAbove, AlarmBelow, WarningAbove, WarningBelow };
// Full scale in mV at the input for a gain: 10000 / gain, a gain that is not
// positive or not finite counting as 1.
double FullScaleMv(double gain);
// A stored limit (mV) as percent of the channel's full scale.
double LimitPercent(int32_t channel, LimitField field);
// Stores a typed percent: above 100 becomes 100, below -100 becomes -100 with
// the field's message.  Text that is not a number stores nothing.  Returns
// the percent the field shows afterwards.
double StoreLimitPercent(int32_t channel, LimitField field, const char* text);
// Colours are Windows RGB values.
enum class LimitColour { Normal, Alarm, Warning };
void StoreLimitColour(int32_t channel, LimitColour which, uint32_t rgb);

// ---- several channels ----------------------------------------------------------------------
// Copies every setting of `source` but its name to each flagged destination
// (destinations[256]; the source itself is skipped).  Returns the number of
// channels written.
int32_t CloneChannel(int32_t source, const bool* destinations);

// ---- the test from the dialog ----------------------------------------------------------------
// Retrieve: the test file over the working copy and loaded again; the working
// copy is never touched before the test file is known good.  1 when loaded.
int32_t RetrieveChannelTest();
// Save: SaveTest (database, then a safe copy back).  1 when saved.
int32_t SaveChannelTest();
// Download Scanned: the scanned channels, then the position kinds of the scan
// table; the parameters count as downloaded only when the download succeeded.
int32_t DownloadScannedFromDialog();
// The LOG button's command line: "%s\notepad.exe %s" (Windows directory, the
// test's .log).  False when the test path names no file.
bool ChannelLogCommand(std::string* commandLine);
