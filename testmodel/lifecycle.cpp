// The test lifecycle behind the Open, New, Save and Save As commands.
#include "acquire/scan_map.h"
#include "testmodel/lifecycle.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "base/app_state.h"
#include "base/channel_gain.h"
#include "scanlist/scan_table.h"
#include "export/analysis_files.h"
#include "base/status_report.h"
#include "testmodel/db_database.h"
#include "testmodel/ini_values.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

LifecycleUi gLifecycleUi = {nullptr, nullptr, nullptr};
char szMainTitle[300] = "Vornel Morva ";

namespace {

const char kCorruptText[] = "The Test Database Is Corrupt";
const char kCorruptCaption[] = "Bad Test Database";
const char kNotSavedText[] = "The Current Test Parameters Could Not Be Saved To The Test Database";
const char kNotSavedCaption[] = "Problem With Test Database Save";
const char kCopyText[] = "Problem With Test Database Or Scratch Database";

int32_t Message(const char* text, const char* caption, uint32_t style = MB_OK_ | MB_ICONEXCLAMATION_) {
    return PlatformMessageBox(text, caption, style);
}

void Repaint() {
    if (gLifecycleUi.repaint) gLifecycleUi.repaint();
}

void TitleForPath(const char* path) {
    std::string title = std::string(kTitlePrefix) + path;
    SetMainTitle(title.c_str());
}

bool SameFile(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// Loads the database under the hourglass.
int32_t LoadWithHourglass() {
    PlatformBeginWaitCursor();
    int32_t ok = LoadTestDatabase();
    PlatformEndWaitCursor();
    return ok;
}

enum class Opened { Loaded, NotCopied, NotLoaded };

// Copies a test over the scratch database and loads it.  The scratch
// database is the template of every new test, so a test that cannot be
// loaded must not take its place: the scratch database is first copied
// beside itself and put back after a failed load.  Without that copy (no
// scratch database, or no room for it) nothing is tried.
Opened CopyAndLoad(const char* testPath) {
    // Copied, not renamed: a new file could take another letter case than
    // the one the data source names, which matters to a case-sensitive host.
    std::string backup = BackupBeside(szTestScratch);
    if (!PlatformCopyFile(szTestScratch, backup.c_str()) || !SafeCopyFile(testPath, szTestScratch)) {
        PlatformDeleteFile(backup.c_str());
        return Opened::NotCopied;
    }
    // Another test from here on: quick plots prepared for the last one are stale.
    if (lpQuickPlots != nullptr) lpQuickPlots->Prepared = 0;
    if (LoadWithHourglass()) {
        PlatformDeleteFile(backup.c_str());
        return Opened::Loaded;
    }
    if (!PlatformReplaceFile(backup.c_str(), szTestScratch)) {
        SafeCopyFile(backup.c_str(), szTestScratch);
        PlatformDeleteFile(backup.c_str());
    }
    return Opened::NotLoaded;
}

}  // namespace

void SetMainTitle(const char* title) {
    CopyText(szMainTitle, sizeof szMainTitle, title);
    if (gLifecycleUi.setTitle) gLifecycleUi.setTitle(szMainTitle);
}

// ---- rules ------------------------------------------------------------------------------------------
bool IsValidTestName(const char* name) {
    static const char kForbidden[] = "!@#$%^&*()?><,;`'|][}{+=:.\\/";
    size_t n = strlen(name);
    if (n == 0 || n > static_cast<size_t>(kTestNameMaxLength)) return false;
    for (const char* p = name; *p; ++p)
        if (strchr(kForbidden, *p) != nullptr || static_cast<unsigned char>(*p) < 32) return false;
    return true;
}

ChosenPath CheckChosenPath(const char* loweredPath) {
    if (strstr(loweredPath, ".mdb") == nullptr) return ChosenPath::NotDatabase;
    if (SameFile(loweredPath, szTestScratch)) return ChosenPath::ScratchDatabase;
    if (SameFile(loweredPath, szHardwareFile)) return ChosenPath::HardwareDatabase;
    return ChosenPath::Ok;
}

std::string BackupBeside(const char* target) {
    std::string backup = target;
    if (backup.empty()) return "$";
    backup.back() = backup.back() == '$' ? '!' : '$';
    return backup;
}

std::string TemporaryBeside(const char* target) {
    std::string tmp = target;
    if (tmp.empty()) return "~";
    tmp.back() = tmp.back() == '~' ? '#' : '~';
    return tmp;
}

bool SafeCopyFile(const char* from, const char* to) {
    std::string tmp = TemporaryBeside(to);
    if (!PlatformCopyFile(from, tmp.c_str())) {
        PlatformDeleteFile(tmp.c_str());
        return false;
    }
    if (!PlatformReplaceFile(tmp.c_str(), to)) {
        PlatformDeleteFile(tmp.c_str());
        return false;
    }
    return true;
}

void SetCvtLimitsFromGain() {
    if (lpCVT == nullptr || lpsChannelParams == nullptr) return;
    for (int ch = 0; ch < kChannels; ++ch) {
        // A gain of 0 has no full scale, and a negative one would turn the
        // limits upside down: like every gain not positive or not finite,
        // both count as unity gain.
        double full = 10000.0 / DivisorGain(lpsChannelParams->GAIN[ch]);
        lpCVT->AlarmAbove[ch] = 0.8 * full;
        lpCVT->AlarmBelow[ch] = -0.8 * full;
        lpCVT->WarningAbove[ch] = 0.6 * full;
        lpCVT->WarningBelow[ch] = -0.6 * full;
        lpCVT->NormalColor[ch] = 0x0000FF00u;   // RGB(0, 255, 0)
        lpCVT->AlarmColor[ch] = 0x000000FFu;    // RGB(255, 0, 0)
        lpCVT->WarningColor[ch] = 0x0000FFFFu;  // RGB(255, 255, 0)
    }
}

void LoadDemoDefaults() {
    static const int32_t kGains[kGainOptions] = {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000, -1, -1, -1};
    static const int32_t kFilters[kFilterOptions] = {0, 100, 200, 500, 1000, -1, -1, -1};
    static const double kResistors[4] = {499.0, 1000.0, 221000.0, 110000.0};
    static const uint32_t kStates[kCalTypes] = {1, 2, 3, 4, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1, 2};
    if (lpsChannelParams != nullptr) {
        ChannelParams& cp = *lpsChannelParams;
        CalRecord& cal = cp.Cal;
        for (int i = 0; i < kChannels; ++i) {
            snprintf(cp.NAME[i], sizeof cp.NAME[i], "Chan%d", i);
            CopyText(cp.UNITS[i], sizeof cp.UNITS[i], "mV");
            CopyText(cp.DESCRIPTION[i], sizeof cp.DESCRIPTION[i], "Demo Sensor");
            CopyText(cp.LOCATION[i], sizeof cp.LOCATION[i], "On Test Article");
            cp.SENSITIVITY[i] = 1.0;
            cp.OFFSET[i] = 0.0;
            cp.GAIN[i] = 1.0;
            memcpy(cp.GainList[i], kGains, sizeof kGains);
            cp.GainCount[i] = 13;
            cp.VARIABLEGAIN[i] = 22.2;
            cp.FILTER[i] = 0.0;
            memcpy(cp.FilterList[i], kFilters, sizeof kFilters);
            cp.FilterCount[i] = 5;
            for (int k = 0; k < kVoltageOptions; ++k) cp.VoltageList[i][k] = k + 1;
            for (int k = 0; k < kCurrentOptions; ++k) cp.CurrentList[i][k] = 5 * (k + 1);
            cp.EXCITATIONSOURCE[i] = 0;
            cp.EXCITATIONVOLTAGE[i] = 10.0;
            cp.EXCITATIONCURRENT[i] = 25.0;
            cp.AUTOBALANCEENABLE[i] = 1;
            cp.AUTOZEROENABLE[i] = 1;
            cp.VARIABLEGAINENABLE[i] = 0;
            cp.EXCITATIONENABLE[i] = 1;
            cal.CALTYPE[i] = 1;
            cal.CALPROCEDURE[i] = 2;
            cal.ACTIVESTATES[i] = 4;
            for (int k = 0; k < kCalStates; ++k) {
                cal.STATE[k][i] = k;
                cal.EU[i][k] = 10.0 * k;
                cal.MEAN[i][k] = 10.0;
                cal.DEVIATION[i][k] = 0.0;
            }
            for (int k = 0; k < 4; ++k) cal.CalResistors[i][k] = kResistors[k];
            CopyText(cp.CardModel[i], sizeof cp.CardModel[i], "M17-B");
            cp.CARDTYPE[i] = 8;
            cp.ScanPosition[i] = -1;
        }
        CopyText(cp.NAME[1], sizeof cp.NAME[1], "Gen");
        CopyText(cp.NAME[2], sizeof cp.NAME[2], "Accel");
        CopyText(cp.UNITS[2], sizeof cp.UNITS[2], "g's");
        cp.GAIN[2] = 200.0;
        CopyText(cp.NAME[3], sizeof cp.NAME[3], "Bridge");
        CopyText(cp.UNITS[3], sizeof cp.UNITS[3], "psi");
        cp.GAIN[3] = 200.0;
        for (int k = 0; k < 16; ++k) sSystemOptions.Gains[k] = static_cast<float>(cp.GainList[1][k]);
        for (int k = 0; k < 8; ++k) sSystemOptions.Filters[k] = static_cast<float>(cp.FilterList[1][k]);
        for (int k = 0; k < 10; ++k) {
            sSystemOptions.Voltages[k] = static_cast<float>(cp.VoltageList[1][k]);
            sSystemOptions.Currents[k] = static_cast<float>(cp.CurrentList[1][k]);
        }
    }
    if (lpsCalTypes != nullptr) {
        CalType& t = *lpsCalTypes;
        for (int s = 0; s < kCalTypes; ++s) {
            t.TYPE[s] = static_cast<uint32_t>(s);
            snprintf(t.NAME[s], sizeof t.NAME[s], "Cal Procedure %d", s);
            t.STATES[s] = kStates[s];
            for (int n = 0; n < kCalStates; ++n) {
                t.STATE[n][s] = static_cast<uint32_t>(n + 1);
                t.STRING[n][s] = static_cast<uint32_t>(n + 1);
            }
        }
    }
    if (lpProgScanList != nullptr) {
        ProgScanList& scan = *lpProgScanList;
        for (uint32_t p = 0; p < kScanPositions; ++p) {
            ProgScanEntry& e = scan.Entry[p];
            if (p < 192) {
                e.CHANNEL = 1 + p % 6;
                e.BLOCK = p / 6;
            } else {
                e.CHANNEL = kScanEmpty;
                e.BLOCK = kScanEmpty;
            }
        }
        scan.EntryCount = 192;
        scan.BlockCount = 32;
    }
    dSampleRate = 20000.0;
    RebuildScanDerivedData();
    BuildScanMap();
    std::string demo = std::string(szWorkDirectory) + "\\demo\\demo.mdb";
    CopyText(szTestFile, sizeof szTestFile, demo.c_str());
    SetCvtLimitsFromGain();
}

void AssignHardware() {
    if (lpsChannelParams == nullptr) return;
    int digital = 0, dac = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        uint32_t card = lpsChannelParams->CARDTYPE[ch];
        if ((card == 10 || card == 11 || card == 12) && digital < kDigitalOuts)
            sDigitalOut[digital++].HARDWARECHANNEL = ch;
        if (card == 15 && dac < kDacChannels) sDacChannel[dac++].HARDCHAN = ch;
    }
}

// ---- operations ---------------------------------------------------------------------------------------
void AskToSaveChangedTest() {
    if (!bTestOpen || bTestSaved) return;
    int32_t answer = Message("This Test Has Changed And Is Not Saved.  Should We Save It?",
                             "Test Changes Not Saved", MB_YESNO_ | MB_ICONQUESTION_);
    if (answer != IDYES_) return;
    if (!SaveTestDatabase()) {
        Message(kNotSavedText, kNotSavedCaption);
        return;
    }
    if (SafeCopyFile(szTestScratch, szTestFile)) bTestSaved = true;
    else Message(kCopyText, kNotSavedCaption);
}

int32_t OpenTestCancelled() {
    if (!bTestOpen || bSimulator) {
        LoadDemoDefaults();
        LoadCardTypes();
        SetMainTitle(kDefaultTitle);
    }
    return 1;
}

int32_t OpenChosenTest(const char* chosenPath) {
    char path[256];
    // A path that does not fit the test path would name another file.
    if (strlen(chosenPath) >= sizeof path) {
        Message(kCopyText, "Could Not Open Test");
        return 0;
    }
    CopyText(path, sizeof path, chosenPath);
    for (char* p = path; *p; ++p) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    switch (CheckChosenPath(path)) {
    case ChosenPath::NotDatabase:
        Message("The File Is Not An Access Database", "Can Not Open Test File");
        return 0;
    case ChosenPath::ScratchDatabase:
        Message("Can Not Open The System Database As A Test", "Error: Trying To Open System File");
        return 0;
    case ChosenPath::HardwareDatabase:
        Message("Can Not Open The Hardware Description Database As A Test",
                "Error: Trying To Open System File");
        return 0;
    case ChosenPath::Ok:
        break;
    }
    // The path becomes the current test only once its copy is in place: a
    // later save must never write the old model over the file that failed.
    Repaint();
    Opened opened = CopyAndLoad(path);
    if (opened == Opened::NotCopied) {
        Message(kCopyText, "Could Not Open Test");
        return 0;
    }
    CopyText(szTestFile, sizeof szTestFile, path);
    PlatformBeginWaitCursor();
    if (opened == Opened::NotLoaded) {
        if (bSimulator)
            Message("ODBC Not Installed. Continuing With DEMO Defaults",
                    "DEMO Version Does Not Use The Microsoft Access Database",
                    MB_OK_ | MB_ICONINFORMATION_);
        else
            Message(kCorruptText, kCorruptCaption);
        LoadDemoDefaults();
        LoadCardTypes();
    } else {
        SetCvtLimitsFromGain();
    }
    PlatformEndWaitCursor();
    bTestOpen = bTestSaved = true;
    // The demonstration test has no file to name.
    if (opened == Opened::Loaded) TitleForPath(szTestFile);
    else SetMainTitle(kDefaultTitle);
    if (gLifecycleUi.showCompanions) gLifecycleUi.showCompanions();
    return 1;
}

int32_t OpenNamedTest(const char* path) {
    LoadDefaults();
    // The defaults re-read the simulator switch from Q90.ini; without the
    // front-end library the program can only run simulated.
    if (bNoHardware) bSimulator = true;
    bool fits = strlen(path) < sizeof szTestFile;
    CopyText(szTestFile, sizeof szTestFile, path);
    Repaint();
    // Without the named file in the scratch database, loading would present
    // whatever test was there before under this test's name.
    Opened opened = fits ? CopyAndLoad(path) : Opened::NotCopied;
    bool copied = opened != Opened::NotCopied;
    int32_t ok = opened == Opened::Loaded ? 1 : 0;
    if (!ok) {
        if (bRemoteControlled) ReportStatus(-1, kStatusTestDatabaseCorrupt);
        else Message(copied ? kCorruptText : kCopyText, kCorruptCaption);
    }
    bTestOpen = bTestSaved = true;
    TitleForPath(szTestFile);
    return ok;
}

int32_t CreateTestNamed(const char* name) {
    if (!IsValidTestName(name)) {
        Message("The Test Name Entered Was Invalid", "Problem With Test Name");
        return 0;
    }
    std::string dir = std::string(szWorkDirectory) + "\\" + name;
    std::string path = dir + "\\" + name + ".mdb";
    if (path.size() >= sizeof szTestFile || !PlatformCreateDirectory(dir.c_str())) {
        Message("The Directory Could Not Be Created.\nDo Not Enter Path.\nAll Directories Are Created "
                "Under The Morva Directory",
                "INVALID PATH");
        return 0;
    }
    if (!SafeCopyFile(szTestScratch, path.c_str())) {
        Message(kCopyText, "Could Not Create Test");
        return 0;
    }
    // A test made from a scratch database that cannot be loaded would be as
    // damaged as it is: nothing is created, the open test stays.
    if (!LoadWithHourglass()) {
        PlatformDeleteFile(path.c_str());
        Message("The Scratch Database Is Corrupt", kCorruptCaption);
        return 0;
    }
    CopyText(szTestFile, sizeof szTestFile, path.c_str());
    bTestOpen = bTestSaved = true;
    TitleForPath(szTestFile);
    return 1;
}

int32_t SaveTestAsNamed(const char* name) {
    if (!IsValidTestName(name)) {
        Message("The Test Name Entered Was Invalid", "Problem With Test Name");
        return 0;
    }
    AssignHardware();
    if (!SaveTestDatabase()) {
        Message(kNotSavedText, kNotSavedCaption);
        return 0;
    }
    return CreateTestNamed(name);
}

int32_t SaveTest() {
    AssignHardware();
    if (!SaveTestDatabase()) {
        Message(kNotSavedText, kNotSavedCaption);
        return 0;
    }
    PlatformBeginWaitCursor();
    bool copied = SafeCopyFile(szTestScratch, szTestFile);
    PlatformEndWaitCursor();
    if (!copied) {
        Message(kCopyText, kNotSavedCaption);
        return 0;
    }
    bTestSaved = true;
    ExportAnalysisFilesOfRecording();
    return 1;
}

void StoreFileLocations(const char* access, const char* morva, const char* matlab,
                        const char* dadisp, const char* area1, const char* area2) {
    auto store = [](char* dst, uint32_t size, const char* src, uint32_t limit) {
        char tmp[128];
        CopyText(tmp, limit + 1 < sizeof tmp ? limit + 1 : sizeof tmp, src);
        CopyText(dst, size, tmp);
    };
    store(szAccessPath, sizeof szAccessPath, access, 127);
    store(szMorvaPath, sizeof szMorvaPath, morva, 127);
    store(szMatlabPath, sizeof szMatlabPath, matlab, 127);
    store(szDadispPath, sizeof szDadispPath, dadisp, 127);
    store(szNamedArea1, sizeof szNamedArea1, area1, 19);
    store(szNamedArea2, sizeof szNamedArea2, area2, 19);
}
