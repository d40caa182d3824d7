// Q90.ini: read at start-up and whenever the defaults are applied, written on exit.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "base/app_state.h"
#include "testmodel/ini_values.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

namespace {

const char* const F = kSystemIniFile;

constexpr int32_t kDefaultGains[16] = {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000,
                                       -1, -1, -1};
constexpr int32_t kDefaultFilters[8] = {0, 625, 1250, 2500, 5000, -1, -1, -1};

// WorkDirectory + suffix, as the default of a path key.
std::string UnderWorkDirectory(const char* suffix) {
    return std::string(szWorkDirectory) + suffix;
}

void ReadScreenLocations() {
    const char* s = "SCREEN LOCATIONS";
    nControlTop = ReadProfileInt(s, "ControlTop", "0", F);
    if (nControlTop > 480) nControlTop = 38;
    nControlLeft = ReadProfileInt(s, "ControlLeft", "0", F);
    if (nControlLeft > 640) nControlLeft = 402;
    nControlStatus = ReadProfileInt(s, "ControlStatus", "0", F);
    nToolsTop = ReadProfileInt(s, "ToolsTop", "0", F);
    if (nToolsTop > 480) nToolsTop = 38;
    nToolsLeft = ReadProfileInt(s, "ToolsLeft", "0", F);
    if (nToolsLeft > 640) nToolsLeft = 0;
    nToolsStatus = ReadProfileInt(s, "ToolsStatus", "0", F);
}

void ReadExternalCalCommands() {
    if (lpsCalCommands == nullptr) return;
    char key[32], def[32];
    for (int n = 1; n <= kCalCommands; ++n) {
        snprintf(key, sizeof key, "Name%d", n);
        snprintf(def, sizeof def, "Command%d", n);
        ReadProfileText("ExternalCalCommands", key, def, lpsCalCommands->Name[n - 1],
                        sizeof lpsCalCommands->Name[n - 1], F);
        snprintf(key, sizeof key, "Command%d", n);
        ReadProfileText("ExternalCalCommands", key, "Undefined", lpsCalCommands->Command[n - 1],
                        sizeof lpsCalCommands->Command[n - 1], F);
        snprintf(key, sizeof key, "Delay%d", n);
        int32_t delay = ReadProfileInt("ExternalCalCommands", key, "0", F);
        // A wait in ms, or -1: the operator acknowledges.  Any other negative
        // entry would wait for weeks as an unsigned wait: no wait.
        lpsCalCommands->Delay[n - 1] = delay == -1 ? UINT32_MAX : delay < 0 ? 0u : static_cast<uint32_t>(delay);
    }
}

// [Hardware Settings], read while AllTheSame is on: the option lists of all channels.
void ReadAllTheSameHardware() {
    const char* s = "Hardware Settings";
    char key[32], def[32];
    dADCMaxMv = ReadProfileReal(s, "ADCMaxMv", "10000.0", F);
    dADCMaxCounts = ReadProfileReal(s, "ADCMaxCounts", "2048.0", F);
    for (int k = 0; k < 16; ++k) {
        snprintf(key, sizeof key, "Gain%d", k + 1);
        snprintf(def, sizeof def, "%d", kDefaultGains[k]);
        sSystemOptions.Gains[k] = static_cast<float>(ReadProfileInt(s, key, def, F));
    }
    for (int k = 0; k < 8; ++k) {
        snprintf(key, sizeof key, "Filter%d", k + 1);
        snprintf(def, sizeof def, "%d", kDefaultFilters[k]);
        sSystemOptions.Filters[k] = static_cast<float>(ReadProfileInt(s, key, def, F));
    }
    for (int k = 0; k < 10; ++k) {
        snprintf(key, sizeof key, "Voltage%d", k + 1);
        snprintf(def, sizeof def, "%d", k + 1);
        sSystemOptions.Voltages[k] = static_cast<float>(ReadProfileInt(s, key, def, F));
    }
    for (int k = 0; k < 10; ++k) {
        snprintf(key, sizeof key, "Current%d", k + 1);
        snprintf(def, sizeof def, "%d", 5 * (k + 1));
        sSystemOptions.Currents[k] = static_cast<float>(ReadProfileInt(s, key, def, F));
    }
    ReadProfileText(s, "CardType", "M17-B", szSystemCardType, sizeof szSystemCardType, F);

    ChannelParams* cp = lpsChannelParams;
    if (cp == nullptr) return;
    for (int i = 0; i < kChannels; ++i) {
        for (int k = 0; k < kGainOptions; ++k)
            cp->GainList[i][k] = RealToInt32(sSystemOptions.Gains[k]);
        for (int k = 0; k < kFilterOptions; ++k)
            cp->FilterList[i][k] = RealToInt32(sSystemOptions.Filters[k]);
        for (int k = 0; k < kVoltageOptions; ++k)
            cp->VoltageList[i][k] = RealToInt32(sSystemOptions.Voltages[k]);
        for (int k = 0; k < kCurrentOptions; ++k)
            cp->CurrentList[i][k] = RealToInt32(sSystemOptions.Currents[k]);
        // The counts are fixed whatever the file holds.
        cp->GainCount[i] = 13;
        cp->FilterCount[i] = 5;
        CopyText(cp->CardModel[i], sizeof cp->CardModel[i], szSystemCardType);
    }
}

void WriteInt(const char* section, const char* key, int64_t value) {
    char text[32];
    snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    PlatformWriteProfileString(section, key, text, F);
}

void WriteYesNo(const char* section, const char* key, bool on) {
    PlatformWriteProfileString(section, key, on ? "YES" : "NO", F);
}

// True when channels 2 ... SYSTEMCHANNELS carry the card model of channel 1.
bool AllChannelsSameCard(const ChannelParams* cp) {
    const int32_t count = SystemChannelsInTable();
    for (int32_t i = 1; i < count; ++i)
        if (strncmp(cp->CardModel[i], cp->CardModel[0], sizeof cp->CardModel[0]) != 0)
            return false;
    return true;
}

}  // namespace

int32_t LoadSystemIni() {
    ReadProfileText("Application", "NamedArea1", "Program 1", szNamedArea1, sizeof szNamedArea1, F);
    ReadProfileText("Application", "NamedArea2", "Program 2", szNamedArea2, sizeof szNamedArea2, F);

    nSubSystems = ReadProfileInt("System", "SubSystems", "0", F);
    nTriggerState = ReadProfileInt("System", "TriggerState", "0", F);
    if (nTriggerState < 0 || nTriggerState > 6) nTriggerState = 0;
    nRecordingType = ReadProfileInt("System", "RecordingType", "0", F);
    if (nRecordingType < 0 || nRecordingType > 5) nRecordingType = 0;
    if (bRemoteControlled) nRecordingType = 0;
    nRecordingTime = ReadProfileInt("System", "RecordingTime", "5", F);
    if (nRecordingTime < 0) nRecordingTime = 0;

    ReadProfileText("Application", "WorkDirectory", "c:\\zd418", szWorkDirectory,
                    sizeof szWorkDirectory, F);
    ReadProfileText("System", "HardwareFile", UnderWorkDirectory("\\hardware.mda").c_str(),
                    szHardwareFile, sizeof szHardwareFile, F);
    ReadProfileText("System", "TestScratch", UnderWorkDirectory("\\Q90.mda").c_str(),
                    szTestScratch, sizeof szTestScratch, F);
    ReadProfileText("System", "RegisteredTest", "Q90", szRegisteredTest, sizeof szRegisteredTest, F);
    ReadProfileText("System", "RegisteredHardware", "Q90", szRegisteredHardware,
                    sizeof szRegisteredHardware, F);
    ReadProfileText("Test", "Testfile", UnderWorkDirectory("\\test1\\test1.mdb").c_str(),
                    szTestFile, sizeof szTestFile, F);

    ReadProfileText("SYSTEM", "MATLAB", "c:\\matlab\\matlab.exe", szMatlabPath,
                    sizeof szMatlabPath, F);
    ReadProfileText("SYSTEM", "DADISP", "c:\\dadisp\\dadisp.exe", szDadispPath,
                    sizeof szDadispPath, F);
    ReadProfileText("SYSTEM", "MORVA", "c:\\zd418\\morva.exe", szMorvaPath, sizeof szMorvaPath, F);
    ReadProfileText("SYSTEM", "ACCESS", "c:\\msoffice\\msaccess.exe", szAccessPath,
                    sizeof szAccessPath, F);
    ReadProfileText("SYSTEM", "TALKPIPE", "\\\\.\\PIPE\\TEST", szTalkPipe, sizeof szTalkPipe, F);
    ReadProfileText("SYSTEM", "LISTENPIPE", "\\\\.\\PIPE\\TEST", szListenPipe,
                    sizeof szListenPipe, F);
    ReadProfileText("SYSTEM", "ERRORPIPE", "\\\\.\\PIPE\\TEST", szErrorPipe, sizeof szErrorPipe, F);
    ReadProfileText("SYSTEM", "DATA1PIPE", "\\\\.\\PIPE\\TEST", szData1Pipe, sizeof szData1Pipe, F);
    nStartAndTriggerChannel = ReadProfileInt("SYSTEM", "STARTANDTRIGGERCHANNEL", "0", F);
    nStartBit = ReadProfileInt("SYSTEM", "STARTBIT", "0", F);
    nTriggerBit = ReadProfileInt("SYSTEM", "TRIGGERBIT", "1", F);

    nMuxFormat = ReadProfileInt("HARDWARE SETTINGS", "MUXFORMAT", "130", F);
    bProgrammableMux = ReadProfileSwitch("HARDWARE SETTINGS", "PROGRAMMABLEMUX", "YES", F);

    bAppendMode = ReadProfileSwitch("SYSTEM", "APPEND", "NO", F);
    bCom2RunAndPoint = ReadProfileSwitch("SYSTEM", "COM2RUNANDPOINT", "NO", F);
    nCom2BaudRate = ReadProfileInt("SYSTEM", "COM2BAUDRATE", "9600", F);
    nCom2Parity = ReadProfileInt("SYSTEM", "COM2PARITY", "0", F);
    nCom2StopBits = ReadProfileInt("SYSTEM", "COM2STOPBITS", "1", F);
    nCom2DataBits = ReadProfileInt("SYSTEM", "COM2DATABITS", "8", F);
    nCom2FlowControl = ReadProfileInt("SYSTEM", "COM2FLOWCONTROL", "0", F);
    bSimulator = ReadProfileSwitch("SYSTEM", "SIMULATOR", "NO", F);

    bServeData = ReadProfileSwitch("NETWORK", "PIPESERVER", "NO", F);
    // A station either serves or fetches, never both.
    bClientMode = bServeData ? false : ReadProfileSwitch("NETWORK", "CLIENT", "NO", F);

    nScanListBlocks = ReadProfileInt("HARDWARE SETTINGS", "SCANLISTBLOCKS", "16", F);
    nWordsPerBlock = ReadProfileInt("HARDWARE SETTINGS", "WORDSPERBLOCK", "8", F);
    dAggregateRate = ReadProfileReal("HARDWARE SETTINGS", "AGGREGATERATE", "50000.0", F);
    fClockCrystal = RealToFloat(ReadProfileReal("HARDWARE SETTINGS", "CLOCKCRYSTAL", "2000000.0", F));
    // Kept as the file has it, so that an exit writes it back unchanged;
    // code that walks channels bounds it with SystemChannelsInTable.
    nSystemChannels = ReadProfileInt("HARDWARE SETTINGS", "SYSTEMCHANNELS", "16", F);

    ReadScreenLocations();
    ReadExternalCalCommands();

    bAllTheSame = ReadProfileSwitch("System", "AllTheSame", "Yes", F);
    if (bAllTheSame) ReadAllTheSameHardware();
    return 1;
}

int32_t SaveSystemIni() {
    PlatformWriteProfileString("Test", "Testfile", szTestFile, F);
    WriteInt("System", "SubSystems", nSubSystems);
    WriteInt("System", "TriggerState", nTriggerState);
    WriteInt("System", "RecordingType", nRecordingType);
    WriteInt("System", "RecordingTime", nRecordingTime);
    WriteInt("Hardware Settings", "SystemChannels", nSystemChannels);

    if (lpsChannelParams != nullptr) {
        if (AllChannelsSameCard(lpsChannelParams)) {
            PlatformWriteProfileString("System", "ALLTHESAME", "YES", F);
            char model[sizeof lpsChannelParams->CardModel[0]];
            CopyText(model, sizeof model, lpsChannelParams->CardModel[0]);
            PlatformWriteProfileString("Hardware Settings", "CARDTYPE", model, F);
        } else {
            PlatformWriteProfileString("System", "ALLTHESAME", "NO", F);
        }
    }

    char text[64];
    snprintf(text, sizeof text, "%.4f", static_cast<double>(fClockCrystal));
    PlatformWriteProfileString("HARDWARE SETTINGS", "CLOCKCRYSTAL", text, F);

    WriteYesNo("SYSTEM", "SIMULATOR", bSimulator);
    WriteYesNo("SYSTEM", "APPEND", bAppendMode);
    WriteYesNo("SYSTEM", "COM2RUNANDPOINT", bCom2RunAndPoint);
    WriteInt("System", "COM2BAUDRATE", nCom2BaudRate);
    WriteInt("System", "COM2PARITY", nCom2Parity);
    WriteInt("System", "COM2STOPBITS", nCom2StopBits);
    WriteInt("System", "COM2DATABITS", nCom2DataBits);
    WriteInt("System", "COM2FLOWCONTROL", nCom2FlowControl);

    PlatformWriteProfileString("SYSTEM", "MATLAB", szMatlabPath, F);
    PlatformWriteProfileString("SYSTEM", "DADISP", szDadispPath, F);
    PlatformWriteProfileString("SYSTEM", "MORVA", szMorvaPath, F);
    PlatformWriteProfileString("SYSTEM", "ACCESS", szAccessPath, F);
    PlatformWriteProfileString("Application", "NamedArea1", szNamedArea1, F);
    PlatformWriteProfileString("Application", "NamedArea2", szNamedArea2, F);
    PlatformWriteProfileString("SYSTEM", "TALKPIPE", szTalkPipe, F);
    PlatformWriteProfileString("SYSTEM", "LISTENPIPE", szListenPipe, F);
    PlatformWriteProfileString("SYSTEM", "ERRORPIPE", szErrorPipe, F);
    PlatformWriteProfileString("SYSTEM", "DATA1PIPE", szData1Pipe, F);
    WriteInt("SYSTEM", "STARTANDTRIGGERCHANNEL", nStartAndTriggerChannel);
    WriteInt("SYSTEM", "STARTBIT", nStartBit);
    WriteInt("SYSTEM", "TRIGGERBIT", nTriggerBit);

    if (lpsCalCommands != nullptr) {
        char key[32], name[sizeof lpsCalCommands->Name[0]], command[sizeof lpsCalCommands->Command[0]];
        for (int n = 1; n <= kCalCommands; ++n) {
            // Copies, so that an entry filled to the brim by a dialog still ends.
            CopyText(name, sizeof name, lpsCalCommands->Name[n - 1]);
            CopyText(command, sizeof command, lpsCalCommands->Command[n - 1]);
            snprintf(key, sizeof key, "Name%d", n);
            PlatformWriteProfileString("EXTERNALCALCOMMANDS", key, name, F);
            snprintf(key, sizeof key, "Command%d", n);
            PlatformWriteProfileString("EXTERNALCALCOMMANDS", key, command, F);
            snprintf(key, sizeof key, "Delay%d", n);
            // Signed, so an acknowledged command reads back as -1.
            WriteInt("EXTERNALCALCOMMANDS", key, static_cast<int32_t>(lpsCalCommands->Delay[n - 1]));
        }
    }

    // Off-screen negatives would bring the windows back where nobody sees them.
    WriteInt("SCREEN LOCATIONS", "ControlTop", nControlTop < 0 ? 0 : nControlTop);
    WriteInt("SCREEN LOCATIONS", "ControlLeft", nControlLeft < 0 ? 0 : nControlLeft);
    PlatformWriteProfileString("SCREEN LOCATIONS", "ControlStatus", nControlStatus ? "1" : "0", F);
    WriteInt("SCREEN LOCATIONS", "ToolsTop", nToolsTop < 0 ? 0 : nToolsTop);
    WriteInt("SCREEN LOCATIONS", "ToolsLeft", nToolsLeft < 0 ? 0 : nToolsLeft);
    PlatformWriteProfileString("SCREEN LOCATIONS", "ToolsStatus", nToolsStatus ? "1" : "0", F);
    return 1;
}
