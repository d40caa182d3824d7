// Q90CARD.ini: the card types and what they allow each channel to select.
#include <cstdio>

#include "platform/platform.h"
#include "testmodel/ini_values.h"
#include "testmodel/settings_ini.h"
#include "testmodel/model.h"

namespace {

constexpr int kMaxCardTypes = 15;

struct CardTypeInfo {
    char model[25];  // 24 characters of the CardType text are used
    bool autobalance;
    bool autozero;
    bool variableGain;
    double gains[kGainOptions];
    uint32_t gainCount;
    double filters[kFilterOptions];
    uint32_t filterCount;
    double voltages[kVoltageOptions];
    double currents[kCurrentOptions];
};

// Reads `count` reals Prefix1 ... PrefixN; zero entries become 1.0 and are not
// counted.  Returns the number of non-zero entries.
uint32_t ReadCountedList(const char* section, const char* prefix, const char* def, double* out,
                         int count) {
    uint32_t counted = 0;
    char key[32];
    for (int k = 0; k < count; ++k) {
        snprintf(key, sizeof key, "%s%d", prefix, k + 1);
        double v = ReadProfileReal(section, key, def, kCardIniFile);
        if (v == 0.0) {
            v = 1.0;
        } else {
            ++counted;
        }
        out[k] = v;
    }
    return counted;
}

// A filter of 0 is the wide band, which every card offers, so unlike a gain
// it stays 0 and counts.  A key the type does not give reads -1 (no filter
// at that place) and, like a negative entry, is not an option to count.
uint32_t ReadFilterList(const char* section, double* out) {
    uint32_t counted = 0;
    char key[32];
    char text[256];
    for (int k = 0; k < kFilterOptions; ++k) {
        snprintf(key, sizeof key, "Filter%d", k + 1);
        ReadProfileText(section, key, "", text, sizeof text, kCardIniFile);
        const char* p = text;
        while (*p == ' ' || *p == '\t') ++p;
        out[k] = *p == '\0' ? -1.0 : IniToReal(text);
        // A small negative entry must not truncate to the wide band's 0.
        if (out[k] < 0.0 && out[k] > -1.0) out[k] = -1.0;
        if (out[k] >= 0.0) ++counted;
    }
    return counted;
}

void ReadList(const char* section, const char* prefix, double* out, int count) {
    char key[32];
    for (int k = 0; k < count; ++k) {
        snprintf(key, sizeof key, "%s%d", prefix, k + 1);
        out[k] = ReadProfileReal(section, key, "1", kCardIniFile);
    }
}

void ReadCardType(int n, CardTypeInfo* t) {
    char section[32];
    snprintf(section, sizeof section, "TYPE %d INFO", n);
    ReadProfileText(section, "CardType", "1", t->model, sizeof t->model, kCardIniFile);
    t->autobalance = ReadProfileSwitch(section, "AUTOBALANCE", "1", kCardIniFile);
    t->autozero = ReadProfileSwitch(section, "AUTOZERO", "1", kCardIniFile);
    t->variableGain = ReadProfileSwitch(section, "VARIABLEGAIN", "1", kCardIniFile);
    t->gainCount = ReadCountedList(section, "Gain", "1.0", t->gains, kGainOptions);
    t->filterCount = ReadFilterList(section, t->filters);
    ReadList(section, "Voltage", t->voltages, kVoltageOptions);
    ReadList(section, "Current", t->currents, kCurrentOptions);
}

// Copies the list as integers into `list`; true when `selected` is one of them.
bool FillList(const double* values, int count, int32_t* list, double selected) {
    bool found = false;
    for (int k = 0; k < count; ++k) {
        list[k] = RealToInt32(values[k]);
        if (selected == static_cast<double>(list[k])) found = true;
    }
    return found;
}

// The filter a channel falls back to: the type's first offered filter, the
// wide band when it offers none.
double FirstFilterOption(const int32_t* list) {
    for (int k = 0; k < kFilterOptions; ++k)
        if (list[k] >= 0) return list[k];
    return 0.0;
}

void ApplyCardType(ChannelParams* cp, int i, const CardTypeInfo& t) {
    CopyText(cp->CardModel[i], sizeof cp->CardModel[i], t.model);
    if (!FillList(t.gains, kGainOptions, cp->GainList[i], cp->GAIN[i]))
        cp->GAIN[i] = cp->GainList[i][0];
    cp->GainCount[i] = t.gainCount;
    if (!FillList(t.filters, kFilterOptions, cp->FilterList[i], cp->FILTER[i]) || cp->FILTER[i] < 0)
        cp->FILTER[i] = FirstFilterOption(cp->FilterList[i]);
    cp->FilterCount[i] = t.filterCount;
    if (!FillList(t.voltages, kVoltageOptions, cp->VoltageList[i], cp->EXCITATIONVOLTAGE[i]))
        cp->EXCITATIONVOLTAGE[i] = 0.0;
    if (!FillList(t.currents, kCurrentOptions, cp->CurrentList[i], cp->EXCITATIONCURRENT[i]))
        cp->EXCITATIONCURRENT[i] = 0.0;
    cp->AutobalanceCapable[i] = t.autobalance ? 1u : 0u;
    cp->AutozeroCapable[i] = t.autozero ? 1u : 0u;
    cp->VariableGainCapable[i] = t.variableGain ? 1u : 0u;
    if (!t.autobalance) cp->AUTOBALANCEENABLE[i] = 0;
    if (!t.autozero) cp->AUTOZEROENABLE[i] = 0;
    if (!t.variableGain) cp->VARIABLEGAINENABLE[i] = 0;
}

}  // namespace

int32_t LoadCardTypes() {
    int32_t count = ReadProfileInt("GENERAL INFO", "NUMBEROFTYPES", "1", kCardIniFile);
    if (count > kMaxCardTypes) count = kMaxCardTypes;
    if (count < 0) count = 0;

    CardTypeInfo types[kMaxCardTypes] = {};
    for (int n = 1; n <= count; ++n) ReadCardType(n, &types[n - 1]);

    ChannelParams* cp = lpsChannelParams;
    if (cp == nullptr) return 1;
    for (int i = 0; i < kChannels; ++i) {
        uint32_t type = cp->CARDTYPE[i];
        if (type >= 1 && type <= static_cast<uint32_t>(count)) {
            ApplyCardType(cp, i, types[type - 1]);
        } else {
            char text[96];
            snprintf(text, sizeof text, "Card Type Information Not Found For Type %d Channel %d",
                     static_cast<int>(static_cast<int32_t>(type)), i);
            PlatformMessageBox(text, "PROBLEM WITH Q90CARD.INI CONTACT Vornel",
                               MB_OK_ | MB_ICONINFORMATION_);
        }
    }
    return 1;
}

int32_t ApplyCardTypeToChannel(int32_t channel) {
    ChannelParams* cp = lpsChannelParams;
    if (cp == nullptr || channel < 0 || channel >= kChannels) return 0;
    int32_t count = ReadProfileInt("GENERAL INFO", "NUMBEROFTYPES", "1", kCardIniFile);
    if (count > kMaxCardTypes) count = kMaxCardTypes;
    uint32_t type = cp->CARDTYPE[channel];
    if (type < 1 || static_cast<int32_t>(type) > count) return 0;
    CardTypeInfo info = {};
    ReadCardType(static_cast<int>(type), &info);
    ApplyCardType(cp, channel, info);
    return 1;
}
