// Portable: channel download, autobalance, readback and hardware verification
// through the front-end control library.
#include "hardware/channel_download.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/app_state.h"
#include "base/data_file_name.h"
#include "base/status_report.h"
#include "hardware/control_library.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/system_settings.h"

namespace {

constexpr int32_t kStatusChannelSetup = 14;
constexpr int32_t kStatusLibraryNotLoaded = 15;
constexpr int32_t kStatusAutobalance = 24;
constexpr int32_t kStatusChannelSelect = 25;
constexpr int32_t kDefinitionQuery = 9;  // the library's own selector, passed unchanged

bool ValidChannel(int32_t channel) { return channel >= 0 && channel < kChannels; }

// The library cannot be reached: say so and mark the remote status.
void ReportLibraryMissing(const char* text) {
    ReportFailure(text, "Q90 Library", MB_OK_ | MB_ICONEXCLAMATION_, kStatusLibraryNotLoaded);
    if (bRemoteControlled) dwRemoteStatus |= kRemoteChannelFailure;
}

std::string LibraryErrorText() {
    Q90ErrorRecord error = {};
    Q90GetErrorStatus(&error);
    char text[420];
    Q90ErrorText(error, text, sizeof text);
    return text;
}

// Writes the log; false when it cannot be created or written completely.
bool WriteSetupLog(const std::string& text) {
    char path[300];
    if (!ChannelSetupLogPath(path, sizeof path)) return false;
    FILE* f = fopen(path, "w");
    if (f == nullptr) return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}

// The distinct scanned channels in order of their first position.
int32_t ScannedChannelList(int32_t* channels) {
    if (lpProgScanList == nullptr) return 0;
    bool seen[kChannels] = {};
    int32_t count = 0;
    uint32_t used = lpProgScanList->EntryCount;
    if (used > kScanPositions) used = kScanPositions;
    for (uint32_t p = 0; p < used; ++p) {
        uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c >= static_cast<uint32_t>(kChannels) || seen[c]) continue;
        seen[c] = true;
        channels[count++] = static_cast<int32_t>(c);
    }
    return count;
}

ChannelDownloadProgress g_progress = nullptr;

// The library sets up every channel of the list it is given.  Handing it one
// scanned channel at a time, in the channel order it keeps itself, lets the
// wait window show each channel and the program repaint between them; the
// report collects every channel's failure.  1 when every call succeeded.
int32_t SetupScannedChannels(ChannelSetupReport* report) {
    static ProgScanList single;
    int32_t first[kChannels];
    for (int32_t c = 0; c < kChannels; ++c) first[c] = -1;
    uint32_t used = lpProgScanList->EntryCount;
    if (used > kScanPositions) used = kScanPositions;
    for (uint32_t p = used; p-- > 0;) {
        uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c < static_cast<uint32_t>(kChannels)) first[c] = static_cast<int32_t>(p);
    }
    single.EntryCount = 1;
    single.BlockCount = lpProgScanList->BlockCount;
    single.Reserved[0] = lpProgScanList->Reserved[0];
    single.Reserved[1] = lpProgScanList->Reserved[1];
    int32_t done = 1;
    for (int32_t c = 0; c < kChannels; ++c) {
        if (first[c] < 0) continue;
        if (g_progress != nullptr) g_progress(c);
        single.Entry[0] = lpProgScanList->Entry[first[c]];
        if (Q90NewSetupChannels(lpsChannelParams, &single, report) == 0) done = 0;
    }
    return done;
}

std::string Format(const char* format, double value) {
    char text[64];
    snprintf(text, sizeof text, format, value);
    return text;
}

// "%d" of a double, rounded to the nearest whole number.
std::string WholeNumber(double value) {
    if (!std::isfinite(value)) return "0";
    char text[32];
    snprintf(text, sizeof text, "%.0f", std::round(value));
    return text;
}

}  // namespace

// ---- texts of the setup log -------------------------------------------------------------
const char* SetupStageText(int32_t stage) {
    static const char* const kStages[] = {
        "Channel Selection ",           "Input Mode Selection ",         "Filter Selection ",
        "DAC Filter Selection ",        "Excitation Current Selection ", "Excitation Voltage Selection ",
        "Gain Selection ",
    };
    if (stage < 0 || stage > 6) return "";
    return kStages[stage];
}

const char* SetupErrorText(int32_t errorCode) {
    switch (errorCode) {
    case 1: return "::Bus Error\n";
    case 2: return "::Bad Instruction\n";
    case 4: return "::Bad Parameter\n";
    case 8: return "::ADC Value Error\n";
    case 16: return "::Autobalance Or Autozero Error\n";
    case 32: return "::Excitation Mode Error\n";
    default: return "::Make Sure Channel Is Installed\n";
    }
}

std::string SetupLogText(const ChannelSetupReport& report, const ChannelParams& params) {
    std::string text;
    for (int32_t c = 0; c < kChannels; ++c) {
        if (report.Failed[c] != 1) continue;
        char line[160];
        snprintf(line, sizeof line, "Channel %d Named %.31s Failed During ", static_cast<int>(c), params.NAME[c]);
        text += line;
        text += SetupStageText(report.Stage[c]);
        text += SetupErrorText(report.ErrorBit[c]);
    }
    return text;
}

bool ChannelSetupLogPath(char* path, uint32_t size) { return DataFileName(szTestFile, ".log", path, size) == 1; }

// ---- downloads -----------------------------------------------------------------------------
int32_t DownloadScannedChannels() {
    if (bSimulator) {
        PlatformBeginWaitCursor();
        PlatformSleep(2000);
        PlatformEndWaitCursor();
        return 1;
    }
    if (hQ90Library == nullptr) {
        ReportLibraryMissing("Problem loading Q90 library");
        return 0;
    }
    if (lpsChannelParams == nullptr || lpProgScanList == nullptr) return 0;
    static ChannelSetupReport report;
    for (int32_t c = 0; c < kChannels; ++c) {
        report.Failed[c] = 0;
        report.Stage[c] = -1;
        report.ErrorBit[c] = 0;
    }
    PlatformBeginWaitCursor();
    const int32_t done = SetupScannedChannels(&report);
    if (g_progress != nullptr) g_progress(-1);
    PlatformEndWaitCursor();

    // The log is rewritten either way, so an old list of failures never
    // outlives a good download.
    const bool logged = WriteSetupLog(done ? std::string() : SetupLogText(report, *lpsChannelParams));
    if (done) {
        if (bRemoteControlled) {
            dwRemoteStatus &= ~kRemoteChannelsNotSetUp;
        } else {
            std::string text = "Channels Setup Properly";
            if (!logged) text += "\nThe Channel Setup Log Could Not Be Written.";
            PlatformMessageBox(text.c_str(), "Success", MB_OK_ | MB_ICONINFORMATION_);
        }
        return 1;
    }
    if (bRemoteControlled) {
        ReportStatus(-1, kStatusChannelSetup);
        dwRemoteStatus |= kRemoteChannelFailure;
    } else {
        std::string text = logged ? "Some Channels Failed Setup. View Log File For Details."
                                  : "Some Channels Failed Setup. The Channel Setup Log Could Not Be Written:\n" +
                                        SetupLogText(report, *lpsChannelParams);
        PlatformMessageBox(text.c_str(), "Channel Setup Error", MB_OK_ | MB_ICONEXCLAMATION_);
    }
    return 0;
}

int32_t DownloadChannelSettings() { return DownloadScannedChannels(); }

void SetChannelDownloadProgress(ChannelDownloadProgress progress) { g_progress = progress; }

int32_t DownloadChannel(int32_t channel) {
    if (bSimulator) return 1;
    if (hQ90Library == nullptr) {
        ReportLibraryMissing("Problem loading Q90 library");
        return 0;
    }
    if (lpsChannelParams == nullptr || !ValidChannel(channel)) return 0;
    if (Q90SetupChannels(lpsChannelParams, channel) != 0) {
        if (bRemoteControlled)
            dwRemoteStatus &= ~kRemoteChannelsNotSetUp;
        else
            PlatformMessageBox("Channels Setup Properly", "Success", MB_OK_ | MB_ICONINFORMATION_);
        return 1;
    }
    if (bRemoteControlled) {
        ReportStatus(channel, kStatusChannelSetup);
        dwRemoteStatus |= kRemoteChannelFailure;
    } else {
        std::string text = LibraryErrorText() + " Channel " + std::to_string(channel);
        PlatformMessageBox(text.c_str(), "Channel Setup Error", MB_OK_ | MB_ICONEXCLAMATION_);
    }
    return 0;
}

int32_t DownloadDacFilter(int32_t dacCard, int32_t output, int32_t filter) {
    if (dacCard < 0 || dacCard > 2 || output < 0 || output > 1) return 0;
    const int32_t channel = nDacChannelList[dacCard];
    if (!ValidChannel(channel)) return 1;  // no DAC card in the scan table for it
    if (bSimulator) return 1;
    if (hQ90Library == nullptr) {
        ReportLibraryMissing("Problem loading Q90 library");
        return 0;
    }
    if (lpsChannelParams == nullptr) return 0;
    int32_t index = 0;
    for (int32_t k = 0; k < kFilterOptions; ++k)
        if (lpsChannelParams->FilterList[channel][k] == filter) {
            index = k;
            break;
        }
    if (Q90SetupDACFilters(channel, output, index) != 0) return 1;
    if (bRemoteControlled) {
        ReportStatus(channel, kStatusChannelSetup);
        dwRemoteStatus |= kRemoteChannelFailure;
    } else {
        std::string text = LibraryErrorText() + " Channel " + std::to_string(channel) +
                           "\nContinue Setup Of Next Channel?";
        PlatformMessageBox(text.c_str(), "DAC Filter Setup Error", MB_YESNO_ | MB_ICONEXCLAMATION_);
    }
    return 0;
}

int32_t AutobalanceChannel(int32_t channel) {
    if (bSimulator) return 1;
    if (hQ90Library == nullptr) {
        ReportLibraryMissing("Problem loading Q90 library function");
        return 0;
    }
    if (!ValidChannel(channel)) return 0;
    if (Q90SelectChannel(channel) == 0) {
        if (bRemoteControlled) {
            ReportStatus(channel, kStatusChannelSelect);
            dwRemoteStatus |= kRemoteSelectFailure;
        } else {
            std::string text = "Channel " + std::to_string(channel);
            PlatformMessageBox(text.c_str(), "Channel Select Failure ", MB_OK_);
        }
        return 0;
    }
    if (Q90Autobalance() == 0) {
        if (bRemoteControlled) ReportStatus(channel, kStatusAutobalance);
        return 0;
    }
    return 1;
}

// ---- readback ------------------------------------------------------------------------------
int32_t ReadChannelSettings(int32_t channel, ChannelReadback* r) {
    *r = ChannelReadback();
    if (bSimulator) return 1;
    char text[96];
    if (!ValidChannel(channel) || Q90SelectChannel(channel) == 0) {
        snprintf(text, sizeof text, "Error Selecting Channel %d", static_cast<int>(channel));
        PlatformMessageBox(text, "Can Not Retrieve Values From Channel", MB_OK_ | MB_ICONEXCLAMATION_);
        r->Selected = false;
        return 0;
    }
    auto failed = [&](const char* what) {
        char caption[96];
        snprintf(text, sizeof text, "Error Retrieving %s From Channel %d", what, static_cast<int>(channel));
        snprintf(caption, sizeof caption, "Can Not Retrieve %s From Channel", what);
        PlatformMessageBox(text, caption, MB_OK_ | MB_ICONEXCLAMATION_);
        return false;
    };
    r->GainRead = Q90GetGain(&r->Gain, &r->VariableGain, &r->VariableGainEnabled) != 0 || failed("Gain");
    r->FilterRead = Q90GetFilter(&r->Filter) != 0 || failed("Filter");
    r->VoltageRead = Q90GetVoltage(&r->Voltage) != 0 || failed("Excitation Voltage");
    r->CurrentRead = Q90GetCurrent(&r->Current) != 0 || failed("Excitation Current");
    r->ModesRead = Q90GetModes(&r->ExcitationType, &r->ExcitationEnabled, &r->AutobalanceEnabled,
                               &r->AutozeroEnabled) != 0 ||
                   failed("Modes");
    return r->GainRead && r->FilterRead && r->VoltageRead && r->CurrentRead && r->ModesRead;
}

ReadbackText FormatReadback(const ChannelReadback& r) {
    ReadbackText t;
    if (r.VariableGainEnabled) {
        t.Gain = "VARIABLE";
        t.VariableGainStatus = "ENABLED";
        t.VariableGain = Format("%.4f", r.VariableGain);
    } else {
        t.Gain = WholeNumber(r.Gain);
        t.VariableGainStatus = "DISABLED";
        t.VariableGain = "FIXED";
    }
    t.Filter = r.Filter == 0 ? "WideBand" : WholeNumber(r.Filter);
    if (r.ExcitationType == 0) {
        t.Excitation = WholeNumber(r.Current);
        t.ExcitationType = r.ExcitationEnabled ? "CURRENT" : "DISABLED";
    } else {
        t.Excitation = WholeNumber(r.Voltage) + " Volts";
        t.ExcitationType = r.ExcitationEnabled ? "VOLTAGE" : "DISABLED";
    }
    t.AutozeroStatus = r.AutozeroEnabled ? "ENABLED" : "DISABLED";
    t.AutobalanceStatus = r.AutobalanceEnabled ? "ENABLED" : "DISABLED";
    return t;
}

// ---- verification --------------------------------------------------------------------------
const char* CardModelName(int32_t cardType) {
    static const char* const kModels[] = {"M11-A", "M11-B", "M12",   "M13-B", "M14-B",
                                          "M15-C", "M16",   "M17-B", "M17-C", "M18-A",
                                          "M18-B", "M18-C", "M19-B", "M20-B", "M21"};
    if (cardType < 1 || cardType > 15) return "";
    return kModels[cardType - 1];
}

int32_t CardTypeOfModelCode(int32_t modelCode, bool sixteenBitConverter) {
    if (modelCode < 0) return 0;
    switch (modelCode / 100) {
    case 4: return 4;                                // M13-B
    case 6: return 6;                                // M15-C
    case 7: return 7;                                // M16
    case 8:
    case 9: return sixteenBitConverter ? 9 : 8;      // M17-C / M17-B
    case 10:
    case 11:
    case 12: return 10;                              // M18-A
    case 13: return 13;                              // M19-B
    case 14: return 14;                              // M20-B
    case 15: return 15;                              // M21
    default: return 0;  // 5B cards, M14-B and unknown codes: not adopted
    }
}

int32_t OptionFromHardware(double value) {
    if (!(value > 0)) return 0;  // negative, zero and NaN
    if (value >= 2147483647.0) return 2147483647;
    return static_cast<int32_t>(value);
}

Mismatches CompareDefinition(const ChannelParams& p, int32_t c, const DefinitionTable& t) {
    Mismatches m;
    uint32_t gains = p.GainCount[c] > kGainOptions ? kGainOptions : p.GainCount[c];
    uint32_t filters = p.FilterCount[c] > kFilterOptions ? kFilterOptions : p.FilterCount[c];
    for (uint32_t k = 0; k < gains; ++k)
        if (static_cast<double>(p.GainList[c][k]) != t.Gains[k]) m.Gains = true;
    for (uint32_t k = 0; k < filters; ++k)
        if (static_cast<double>(p.FilterList[c][k]) != t.Filters[k]) m.Filters = true;
    for (int k = 0; k < kVoltageOptions; ++k)
        if (static_cast<double>(p.VoltageList[c][k]) != t.Voltages[k]) m.Voltages = true;
    for (int k = 0; k < kCurrentOptions; ++k)
        if (static_cast<double>(p.CurrentList[c][k]) != t.Currents[k]) m.Currents = true;
    return m;
}

void AdoptDefinitionLists(ChannelParams* p, int32_t c, const DefinitionTable& t) {
    uint32_t count = 0;
    for (int k = 0; k < kGainOptions; ++k) {
        p->GainList[c][k] = OptionFromHardware(t.Gains[k]);
        if (p->GainList[c][k] != 0) ++count;
    }
    p->GainCount[c] = count;
    p->GAIN[c] = p->GainList[c][0];
    count = 0;
    for (int k = 0; k < kFilterOptions; ++k) {
        p->FilterList[c][k] = OptionFromHardware(t.Filters[k]);
        if (p->FilterList[c][k] != 0) ++count;
    }
    // A leading wide band (0) is an option too when real filters follow it.
    if (p->FilterList[c][1] != 0) ++count;
    p->FilterCount[c] = count > kFilterOptions ? kFilterOptions : count;
    p->FILTER[c] = p->FilterList[c][0];
    for (int k = 0; k < kVoltageOptions; ++k) p->VoltageList[c][k] = OptionFromHardware(t.Voltages[k]);
    for (int k = 0; k < kCurrentOptions; ++k) p->CurrentList[c][k] = OptionFromHardware(t.Currents[k]);
    p->EXCITATIONVOLTAGE[c] = p->VoltageList[c][0];
    p->EXCITATIONCURRENT[c] = p->CurrentList[c][0];
}

std::string HardwareReportText(int32_t channel, const DefinitionTable& t) {
    char line[96];
    std::string text = "-------------\n";
    snprintf(line, sizeof line, "Channel %d\n", static_cast<int>(channel));
    text += line;
    text += "-------------\n";
    snprintf(line, sizeof line, "Model \t\t%d\n", static_cast<int>(t.ModuleCode));
    text += line;
    snprintf(line, sizeof line, "Serial Number \t%d\n", static_cast<int>(t.SerialNumber));
    text += line;
    for (int k = 0; k < 16; ++k) {
        snprintf(line, sizeof line, "Gain%d \t\t%f\n", k, t.Gains[k]);
        text += line;
    }
    for (int k = 0; k < 8; ++k) {
        snprintf(line, sizeof line, "Filter%d \t%f\n", k, t.Filters[k]);
        text += line;
    }
    for (int k = 0; k < 10; ++k) {
        snprintf(line, sizeof line, "Voltage%d \t%f\n", k, t.Voltages[k]);
        text += line;
    }
    for (int k = 0; k < 10; ++k) {
        snprintf(line, sizeof line, "Current%d \t%f\n", k, t.Currents[k]);
        text += line;
    }
    return text;
}

std::string HardwareReportPath() {
    char dir[260] = "";
    PlatformProgramDirectory(dir, sizeof dir);
    return std::string(dir) + "\\hardware.ver";
}

std::string HardwareReportCommand() {
    char windows[260] = "";
    PlatformWindowsDirectory(windows, sizeof windows);
    return std::string(windows) + "\\notepad.exe " + HardwareReportPath();
}

namespace {

bool Ask(const std::string& text, const char* caption) {
    return PlatformMessageBox(text.c_str(), caption, MB_YESNO_ | MB_ICONQUESTION_) == IDYES_;
}

// One channel: compare, report, adopt.  False when the operator ends the
// verification.
bool VerifyOne(const VerifyOptions& o, int32_t c, FILE* report) {
    ChannelParams* p = lpsChannelParams;
    DefinitionTable& t = *lpsDefinitionTable;
    bool queried = false;
    // Cleared in simulator mode too: the report must not show what an
    // earlier verification read from another channel.
    memset(&t, 0, sizeof t);
    if (!bSimulator) {
        if (Q90SelectChannel(c) == 0) {
            if (!Ask("Could Not Select Channel " + std::to_string(c) + ".  Continue?", "Error Verifying Channel"))
                return false;
        } else {
            Q90QueryDefinitionTable(kDefinitionQuery, &t);
            queried = true;
            Mismatches m = CompareDefinition(*p, c, t);
            if (p->CARDTYPE[c] == 6) m.Voltages = m.Currents = false;
            if (m.Any()) {
                std::string text = "Channel " + std::to_string(c) + " Has Mismatches in ";
                if (m.Gains) text += "Gains: ";
                if (m.Filters) text += "Filters: ";
                if (m.Voltages) text += "Excitation Voltages: ";
                if (m.Currents) text += "Excitation Currents: ";
                if (!Ask(text, "Hardware and Software Settings Mismatch.  Continue?")) return false;
            }
        }
    }
    if (report != nullptr) {
        std::string text = HardwareReportText(c, t);
        fwrite(text.data(), 1, text.size(), report);
    }
    // Only what this channel's card has just reported may replace the test's
    // definitions, and only when the operator asked for it.
    if (o.Apply && queried) {
        AdoptDefinitionLists(p, c, t);
        int32_t type = CardTypeOfModelCode(t.ModuleCode, o.SixteenBit);
        if (type != 0) {
            snprintf(p->CardModel[c], sizeof p->CardModel[c], "%s", CardModelName(type));
            p->CARDTYPE[c] = static_cast<uint32_t>(type);
        }
        bTestSaved = false;
        bParametersDownloaded = false;
    }
    return true;
}

}  // namespace

int32_t VerifyChannelHardware(const VerifyOptions& o) {
    if (o.Scope == VerifyScope::None) {
        PlatformMessageBox("You Must Pick A Verification Type First", "No Verification Radio Button Checked",
                           MB_OK_);
        return -1;
    }
    if (lpsChannelParams == nullptr || lpsDefinitionTable == nullptr) return 0;
    if (!bSimulator && hQ90Library == nullptr) {
        ReportLibraryMissing("Problem loading Q90 library");
        return 0;
    }
    FILE* report = nullptr;
    if (o.WriteReport) {
        report = fopen(HardwareReportPath().c_str(), "w");
        if (report == nullptr)
            PlatformMessageBox(("Could Not Create " + HardwareReportPath()).c_str(), "Hardware Report",
                               MB_OK_ | MB_ICONEXCLAMATION_);
        else
            fputs("**********************HARDWARE INFORMATION***********************\n", report);
    }
    int32_t channels[kChannels];
    int32_t count = 0;
    switch (o.Scope) {
    case VerifyScope::AllChannels:
        for (int32_t c = 0; c < kChannels; ++c) channels[count++] = c;
        break;
    case VerifyScope::ScanListChannels:
        count = ScannedChannelList(channels);
        break;
    default:
        if (ValidChannel(o.Channel)) channels[count++] = o.Channel;
        break;
    }
    int32_t verified = 0;
    for (int32_t i = 0; i < count; ++i) {
        int32_t c = channels[i];
        if (!VerifyOne(o, c, report)) break;
        ++verified;
        if (o.Scope == VerifyScope::SingleChannel) {
            PlatformMessageBox(("Done Verifying Channel " + std::to_string(c)).c_str(),
                               "Done With Single Channel Verification", MB_OK_);
        } else if (i + 1 == count) {
            PlatformMessageBox(o.Scope == VerifyScope::AllChannels ? "Done Verifying System Channels"
                                                                   : "Done Verifying Scan List Channels",
                               "Verification Complete", MB_OK_);
        } else if (!Ask("Done Verifying Channel " + std::to_string(c) + ". Continue With Next Channel?",
                        "Continue Verification?")) {
            break;
        }
    }
    if (report != nullptr) fclose(report);
    if (o.OpenNotepad) PlatformStartProgram(HardwareReportCommand().c_str(), 1);
    return verified;
}
