// Portable: the rules of the channel parameter and clone dialogs.
#include "channels/channel_rules.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/app_state.h"
#include "base/channel_gain.h"
#include "base/data_file_name.h"
#include "hardware/channel_download.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/lifecycle.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

bool ValidChannel(int32_t channel) {
    return channel >= 0 && channel < kChannels && lpsChannelParams != nullptr;
}

void Changed(bool hardware) {
    bTestSaved = false;
    bTestChanged = true;
    if (hardware) bParametersDownloaded = false;
}

// Copies at most `limit` characters and terminates.
void StoreText(char* field, size_t size, const char* text, size_t limit) {
    size_t n = strnlen(text, limit);
    if (n >= size) n = size - 1;
    memcpy(field, text, n);
    field[n] = '\0';
}

double* LimitSlot(int32_t channel, LimitField field) {
    if (lpCVT == nullptr) return nullptr;
    switch (field) {
    case LimitField::AlarmAbove: return &lpCVT->AlarmAbove[channel];
    case LimitField::AlarmBelow: return &lpCVT->AlarmBelow[channel];
    case LimitField::WarningAbove: return &lpCVT->WarningAbove[channel];
    case LimitField::WarningBelow: return &lpCVT->WarningBelow[channel];
    }
    return nullptr;
}

}  // namespace

CardClass CardClassOfType(uint32_t cardType) {
    if (cardType >= 1 && cardType <= 3) return CardClass::FiveB;
    if (cardType >= 10 && cardType <= 12) return CardClass::Digital;
    if (cardType == 15) return CardClass::Dac;
    return CardClass::Analog;
}

const char* CardPictureOfType(uint32_t cardType) {
    switch (CardClassOfType(cardType)) {
    case CardClass::FiveB: return "5BBOX";
    case CardClass::Digital: return "DIGITALCARD";
    case CardClass::Dac: return "DACCARD";
    case CardClass::Analog: break;
    }
    return "ANALOGCARD";
}

ChannelControls ChannelControlsOf(const ChannelParams& p, int32_t c) {
    ChannelControls v;
    CardClass cls = CardClassOfType(p.CARDTYPE[c]);
    v.VariableGain = p.VariableGainCapable[c] != 0;
    v.Autobalance = p.AutobalanceCapable[c] != 0;
    v.Autozero = p.AutozeroCapable[c] != 0;
    v.ZeroBalanceGroup = v.Autobalance || v.Autozero;
    v.FilterList = p.FilterCount[c] != 0;
    for (int k = 0; k < kVoltageOptions; ++k)
        if (p.VoltageList[c][k] != -1) v.Voltage = true;
    for (int k = 0; k < kCurrentOptions; ++k)
        if (p.CurrentList[c][k] != -1) v.Current = true;
    v.ExcitationGroup = v.Voltage && v.Current;
    if (cls == CardClass::Digital) {
        v = ChannelControls();
        v.Analog = false;
        v.CalibrationButton = false;
        v.DigitalButton = true;
        return v;
    }
    if (cls == CardClass::Dac) v.DacButton = true;
    if (cls == CardClass::FiveB) v.NameFields = false;
    return v;
}

std::string GainOptionText(int32_t option) { return option < 0 ? "-1" : std::to_string(option); }

std::string FilterOptionText(int32_t option) { return option == 0 ? "WideBand" : std::to_string(option); }

int32_t OptionIndex(const int32_t* options, int32_t count, double value) {
    for (int32_t k = 0; k < count; ++k)
        if (static_cast<double>(options[k]) == value) return k;
    return -1;
}

bool ParseNumber(const char* text, double* value) {
    if (text == nullptr) return false;
    errno = 0;
    char* end = nullptr;
    double v = strtod(text, &end);
    if (end == text) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

std::string FourDecimals(double value) {
    char text[64];
    snprintf(text, sizeof text, "%.4f", value);
    return text;
}

// ---- stores -----------------------------------------------------------------------------------
int32_t ChannelNameClash(int32_t channel, const char* name) {
    if (lpsChannelParams == nullptr) return -1;
    char wanted[32];
    StoreText(wanted, sizeof wanted, name, 31);
    for (int32_t c = 0; c < kChannels; ++c) {
        if (c == channel) continue;
        if (strncmp(lpsChannelParams->NAME[c], wanted, 31) == 0 &&
            strnlen(lpsChannelParams->NAME[c], 32) <= 31)
            return c;
    }
    return -1;
}

int32_t StoreChannelName(int32_t channel, const char* text) {
    if (!ValidChannel(channel)) return 0;
    int32_t clash = ChannelNameClash(channel, text);
    if (clash >= 0) {
        char message[96];
        snprintf(message, sizeof message, "This Channel Name Is The Same As The Name For Channel %d",
                 static_cast<int>(clash));
        PlatformMessageBox(message, "Error: Channel Name Not Unique", MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    char* field = lpsChannelParams->NAME[channel];
    if (strncmp(field, text, 31) != 0 || strnlen(text, 32) > 31) Changed(false);
    StoreText(field, 32, text, 31);
    return 1;
}

void StoreChannelText(int32_t channel, TextField which, const char* text) {
    if (!ValidChannel(channel)) return;
    ChannelParams* p = lpsChannelParams;
    switch (which) {
    case TextField::Units: StoreText(p->UNITS[channel], sizeof p->UNITS[channel], text, 7); break;
    case TextField::Description:
        StoreText(p->DESCRIPTION[channel], sizeof p->DESCRIPTION[channel], text, 29);
        break;
    case TextField::Location: StoreText(p->LOCATION[channel], sizeof p->LOCATION[channel], text, 29); break;
    }
    Changed(false);
}

int32_t StoreChannelNumber(int32_t channel, NumberField which, const char* text) {
    if (!ValidChannel(channel)) return 0;
    double v = 0;
    if (!ParseNumber(text, &v)) {
        PlatformMessageBox("Please Enter A Number", "Not A Number", MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    ChannelParams* p = lpsChannelParams;
    switch (which) {
    case NumberField::Sensitivity: p->SENSITIVITY[channel] = v; Changed(false); break;
    case NumberField::Offset: p->OFFSET[channel] = v; Changed(false); break;
    case NumberField::VariableGain:
        // Every conversion divides by it: the load rule of the database holds here too.
        if (!(v > 0 && v <= 10000)) {
            PlatformMessageBox("The Variable Gain Must Be Above 0 And At Most 10000",
                               "Variable Gain Out Of Range", MB_OK_ | MB_ICONEXCLAMATION_);
            return 0;
        }
        p->VARIABLEGAIN[channel] = v;
        Changed(true);
        break;
    }
    return 1;
}

int32_t SelectChannelOption(int32_t channel, OptionList list, int32_t index) {
    if (!ValidChannel(channel) || index < 0) return 0;
    ChannelParams* p = lpsChannelParams;
    switch (list) {
    case OptionList::Gain: {
        if (index >= kGainOptions) return 0;
        // The limits keep their percentage of full scale.
        double oldFull = FullScaleMv(p->GAIN[channel]);
        double newGain = p->GainList[channel][index];
        double newFull = FullScaleMv(newGain);
        for (LimitField f : {LimitField::AlarmAbove, LimitField::AlarmBelow, LimitField::WarningAbove,
                             LimitField::WarningBelow})
            if (double* limit = LimitSlot(channel, f)) *limit = *limit / oldFull * newFull;
        p->GAIN[channel] = newGain;
        break;
    }
    case OptionList::Filter:
        // A negative entry marks a place where the card type has no filter.
        if (index >= kFilterOptions || p->FilterList[channel][index] < 0) return 0;
        p->FILTER[channel] = p->FilterList[channel][index];
        break;
    case OptionList::Voltage:
        if (index >= kVoltageOptions) return 0;
        p->EXCITATIONVOLTAGE[channel] = p->VoltageList[channel][index];
        break;
    case OptionList::Current:
        if (index >= kCurrentOptions) return 0;
        p->EXCITATIONCURRENT[channel] = p->CurrentList[channel][index];
        break;
    }
    Changed(true);
    return 1;
}

void SetChannelSwitch(int32_t channel, ChannelSwitch which, bool on) {
    if (!ValidChannel(channel)) return;
    ChannelParams* p = lpsChannelParams;
    uint32_t v = on ? 1u : 0u;
    switch (which) {
    case ChannelSwitch::VoltageExcitation:
        if (on) p->EXCITATIONSOURCE[channel] = 1;
        break;
    case ChannelSwitch::CurrentExcitation:
        if (on) p->EXCITATIONSOURCE[channel] = 0;
        break;
    case ChannelSwitch::ExcitationEnable: p->EXCITATIONENABLE[channel] = v; break;
    case ChannelSwitch::Autobalance: p->AUTOBALANCEENABLE[channel] = v; break;
    case ChannelSwitch::Autozero: p->AUTOZEROENABLE[channel] = v; break;
    case ChannelSwitch::ExternalAutozero: p->EXTERNALAUTOZERO[channel] = v; break;
    case ChannelSwitch::VariableGainEnable: p->VARIABLEGAINENABLE[channel] = v; break;
    }
    Changed(true);
}

int32_t SelectCardType(int32_t channel, uint32_t cardType) {
    if (!ValidChannel(channel) || cardType < 1 || cardType > static_cast<uint32_t>(kCardTypes)) return 0;
    ChannelParams* p = lpsChannelParams;
    uint32_t before = p->CARDTYPE[channel];
    p->CARDTYPE[channel] = cardType;
    if (!ApplyCardTypeToChannel(channel)) {
        p->CARDTYPE[channel] = before;
        PlatformMessageBox("This Card Type Is Not Defined In Q90CARD.INI", "Card Type Not Available",
                           MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    Changed(true);
    return 1;
}

// ---- limits ------------------------------------------------------------------------------------
double FullScaleMv(double gain) { return 10000.0 / DivisorGain(gain); }

double LimitPercent(int32_t channel, LimitField field) {
    if (!ValidChannel(channel)) return 0;
    double* limit = LimitSlot(channel, field);
    return limit ? *limit / FullScaleMv(lpsChannelParams->GAIN[channel]) * 100.0 : 0;
}

double StoreLimitPercent(int32_t channel, LimitField field, const char* text) {
    if (!ValidChannel(channel) || LimitSlot(channel, field) == nullptr) return 0;
    double percent = 0;
    if (!ParseNumber(text, &percent)) {
        PlatformMessageBox("Please Enter A Percentage Of Full Scale", "Not A Number",
                           MB_OK_ | MB_ICONEXCLAMATION_);
        return LimitPercent(channel, field);
    }
    const bool above = field == LimitField::AlarmAbove || field == LimitField::WarningAbove;
    const char* name = field == LimitField::AlarmAbove     ? "Alarm High"
                       : field == LimitField::AlarmBelow   ? "Alarm Low"
                       : field == LimitField::WarningAbove ? "Warning High"
                                                           : "Warning Low";
    const char* bound = above ? "Maximum" : "Minimum";
    std::string text2, caption;
    if (percent > 100) {
        percent = 100;
        text2 = std::string(bound) + " Can Not Be Above 100 Percent";
        caption = std::string(name) + " Limit Is Too High";
    } else if (percent < -100) {
        percent = -100;
        text2 = std::string(bound) + " Can Not Be Below Negative 100 Percent";
        caption = std::string(name) + " Limit Is Too Low";
    }
    if (!text2.empty()) PlatformMessageBox(text2.c_str(), caption.c_str(), MB_OK_ | MB_ICONINFORMATION_);
    *LimitSlot(channel, field) = percent / 100.0 * FullScaleMv(lpsChannelParams->GAIN[channel]);
    Changed(false);
    return percent;
}

void StoreLimitColour(int32_t channel, LimitColour which, uint32_t rgb) {
    if (!ValidChannel(channel) || lpCVT == nullptr) return;
    switch (which) {
    case LimitColour::Normal: lpCVT->NormalColor[channel] = rgb; break;
    case LimitColour::Alarm: lpCVT->AlarmColor[channel] = rgb; break;
    case LimitColour::Warning: lpCVT->WarningColor[channel] = rgb; break;
    }
    Changed(false);
}

// ---- several channels -------------------------------------------------------------------------
int32_t CloneChannel(int32_t s, const bool* destinations) {
    if (!ValidChannel(s) || destinations == nullptr) return 0;
    ChannelParams* p = lpsChannelParams;
    int32_t written = 0;
    for (int32_t d = 0; d < kChannels; ++d) {
        if (!destinations[d] || d == s) continue;
        memcpy(p->UNITS[d], p->UNITS[s], sizeof p->UNITS[d]);
        memcpy(p->DESCRIPTION[d], p->DESCRIPTION[s], sizeof p->DESCRIPTION[d]);
        memcpy(p->LOCATION[d], p->LOCATION[s], sizeof p->LOCATION[d]);
        p->SENSITIVITY[d] = p->SENSITIVITY[s];
        p->OFFSET[d] = p->OFFSET[s];
        p->GAIN[d] = p->GAIN[s];
        p->GainCount[d] = p->GainCount[s];
        memcpy(p->GainList[d], p->GainList[s], sizeof p->GainList[d]);
        p->VARIABLEGAIN[d] = p->VARIABLEGAIN[s];
        p->FILTER[d] = p->FILTER[s];
        p->FilterCount[d] = p->FilterCount[s];
        memcpy(p->FilterList[d], p->FilterList[s], sizeof p->FilterList[d]);
        p->EXCITATIONSOURCE[d] = p->EXCITATIONSOURCE[s];
        p->EXCITATIONVOLTAGE[d] = p->EXCITATIONVOLTAGE[s];
        memcpy(p->VoltageList[d], p->VoltageList[s], sizeof p->VoltageList[d]);
        p->EXCITATIONCURRENT[d] = p->EXCITATIONCURRENT[s];
        memcpy(p->CurrentList[d], p->CurrentList[s], sizeof p->CurrentList[d]);
        p->AUTOBALANCEENABLE[d] = p->AUTOBALANCEENABLE[s];
        p->AutobalanceCapable[d] = p->AutobalanceCapable[s];
        p->AUTOZEROENABLE[d] = p->AUTOZEROENABLE[s];
        p->AutozeroCapable[d] = p->AutozeroCapable[s];
        p->EXTERNALAUTOZERO[d] = p->EXTERNALAUTOZERO[s];
        p->VARIABLEGAINENABLE[d] = p->VARIABLEGAINENABLE[s];
        p->VariableGainCapable[d] = p->VariableGainCapable[s];
        p->EXCITATIONENABLE[d] = p->EXCITATIONENABLE[s];
        memcpy(p->CardModel[d], p->CardModel[s], sizeof p->CardModel[d]);
        p->CARDTYPE[d] = p->CARDTYPE[s];
        // The calibration settings, not what was measured on the source.
        CalRecord& cal = p->Cal;
        cal.CALTYPE[d] = cal.CALTYPE[s];
        cal.CALPROCEDURE[d] = cal.CALPROCEDURE[s];
        cal.ACTIVESTATES[d] = cal.ACTIVESTATES[s];
        for (int n = 0; n < kCalStates; ++n) cal.STATE[n][d] = cal.STATE[n][s];
        cal.CalFlag[d] = cal.CalFlag[s];
        memcpy(cal.CalResistors[d], cal.CalResistors[s], sizeof cal.CalResistors[d]);
        memcpy(cal.EU[d], cal.EU[s], sizeof cal.EU[d]);
        if (lpCVT != nullptr) {
            lpCVT->AlarmAbove[d] = lpCVT->AlarmAbove[s];
            lpCVT->AlarmBelow[d] = lpCVT->AlarmBelow[s];
            lpCVT->WarningAbove[d] = lpCVT->WarningAbove[s];
            lpCVT->WarningBelow[d] = lpCVT->WarningBelow[s];
            lpCVT->NormalColor[d] = lpCVT->NormalColor[s];
            lpCVT->AlarmColor[d] = lpCVT->AlarmColor[s];
            lpCVT->WarningColor[d] = lpCVT->WarningColor[s];
        }
        ++written;
    }
    if (written > 0) Changed(true);
    return written;
}

// ---- the test from the dialog --------------------------------------------------------------------
int32_t RetrieveChannelTest() {
    if (!bTestOpen || szTestFile[0] == '\0') {
        PlatformMessageBox("Please Open A Test First", "No Test Open", MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    // Opening the same file again: the safe copy over the working copy, the
    // load, and the demonstration defaults (with their message) when the
    // file does not load.
    char path[sizeof szTestFile];
    memcpy(path, szTestFile, sizeof path);
    return OpenChosenTest(path);
}

int32_t SaveChannelTest() {
    if (!bTestOpen || szTestFile[0] == '\0') {
        PlatformMessageBox("Please Open A Test First", "No Test Open", MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    return SaveTest();
}

int32_t DownloadScannedFromDialog() {
    int32_t done = DownloadScannedChannels();
    ClassifyScanEntries();
    if (done == 1) bParametersDownloaded = true;
    return done;
}

bool ChannelLogCommand(std::string* commandLine) {
    char log[300];
    if (!DataFileName(szTestFile, ".log", log, sizeof log)) return false;
    char windows[260] = "";
    PlatformWindowsDirectory(windows, sizeof windows);
    *commandLine = std::string(windows) + "\\notepad.exe " + log;
    return true;
}
