#include "shell/shell_rules.h"

#include <cstring>

#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "hardware/channel_download.h"
#include "hardware/control_library.h"
#include "platform/platform.h"
#include "base/app_state.h"
#include "base/channel_gain.h"
#include "base/data_file_name.h"
#include "base/status_report.h"
#include "shell/command_ids.h"
#include "hardware/gpib_access.h"
#include "export/analysis_files.h"
#include "testmodel/settings_ini.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"

// ---- commands ---------------------------------------------------------------------------
bool IsMenuCommand(int32_t id) {
    // The "#define IDM_" values of shell/command_ids.h, copied by the build.
    static const int32_t kIds[] = {
#include "shell/command_id_values.inc"
    };
    for (int32_t known : kIds)
        if (known == id) return true;
    return false;
}

std::string MenuItemName(const char* menuText) {
    std::string name;
    for (const char* p = menuText ? menuText : ""; *p; ++p) {
        if (*p == '&') {
            if (p[1] != '&') continue;
            ++p;
        }
        name += *p;
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
    size_t start = name.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : name.substr(start);
}

std::string NotAvailableText(const char* menuText) {
    return MenuItemName(menuText) + " Is Not Available In This Version";
}

// ---- channel input mode -----------------------------------------------------------
namespace {
const int32_t kModeCommands[12] = {
    IDM_MODE_TRANSDUCER, IDM_MODE_ZEROCAL, IDM_MODE_VOLT1,   IDM_MODE_VOLT01,
    IDM_MODE_VOLT001,    IDM_MODE_VOLT0001, IDM_MODE_SHUNT1, IDM_MODE_SHUNT2,
    IDM_MODE_SUBST1,     IDM_MODE_SUBST2,  IDM_MODE_EXCITV,  IDM_MODE_EXCITI,
};
constexpr int32_t kModeTransducer = 0;
constexpr int32_t kModeExcitationVoltage = 10;
}  // namespace

int32_t InputModeOfCommand(int32_t commandId) {
    for (int32_t mode = 0; mode < 12; ++mode)
        if (kModeCommands[mode] == commandId) return mode;
    return -1;
}

int32_t CommandOfInputMode(int32_t mode) {
    return mode >= 0 && mode < 12 ? kModeCommands[mode] : -1;
}

void SelectInputMode(int32_t mode) {
    if (mode < 0 || mode > 11) return;
    if (mode == kModeTransducer) {
        if (nForcedScaleChannel >= 0) {
            // An excitation mode forced the factor to 1.0.  Whatever modes came
            // since, and sampling or not, the channel's own gain comes back;
            // otherwise it would be lost with the next save.
            if (double* forced = GainField(nForcedScaleChannel)) *forced = dSavedScaleFactor;
        } else if ((bRecording || bPreviewing) && nInputMode > kModeTransducer) {
            if (double* scale = GainField(nSelectedChannel)) *scale = dSavedScaleFactor;
        }
        nForcedScaleChannel = -1;
    } else if (double* scale = GainField(nSelectedChannel)) {
        // A calibration mode shown in engineering units must not lose the
        // transducer's scale: keep it for the way back.  Going from one
        // calibration mode to another keeps the first saved value, so an
        // excitation mode's 1.0 never overwrites it.
        if (nInputMode <= kModeTransducer) dSavedScaleFactor = *scale;
        if (mode >= kModeExcitationVoltage) {
            *scale = 1.0;
            nForcedScaleChannel = nSelectedChannel;
        }
    }
    nInputMode = mode;
    // The card is switched by the engine between two transfers, so the
    // switch never lands inside a transfer; idle, it waits for the next run.
    bInputModeRequest = true;
}

// ---- simulator -----------------------------------------------------------------------
const char* StartupPanelCaption() {
    if (bSimulator) return "Morva Record & Playback Control  SIMULATOR MODE";
    if (bAppendMode) return "Morva Record & Playback Control  APPEND MODE";
    return "Morva Record & Playback Control  OVERWRITE MODE";
}

const char* PanelCaption() {
    if (bSimulator) return "Morva Record & Playback Control. SIMULATOR MODE";
    if (bAppendMode) return "Morva Record & Playback Control. APPEND MODE";
    return "Morva Record & Playback Control. OVERWRITE MODE";
}

const char* ToggleSimulator() {
    bSimulator = !(bSimulator && !bNoHardware);
    return PanelCaption();
}

// ---- screen files ----------------------------------------------------------------------
std::string ScreenFilePath(const std::string& chosenPath) {
    size_t slash = chosenPath.find_last_of("\\/");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string dir = slash == std::string::npos ? std::string() : chosenPath.substr(0, slash);
    std::string name = chosenPath.substr(nameStart);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    name += ".dsw";
    return dir.empty() ? name : dir + "\\" + name;
}

bool MakeFileFilter(const char* text, std::string* filter) {
    size_t n = text ? strlen(text) : 0;
    if (n == 0 || n > 256) return false;
    *filter = text;
    char separator = (*filter)[n - 1];
    for (char& c : *filter)
        if (c == separator) c = '\0';
    return true;
}

// ---- message loop -----------------------------------------------------------------------
bool IdleWantsChange() {
    if (!bTestChanged && !bTestChanged2) return false;
    bTestChanged = bTestChanged2 = false;
    return true;
}

bool IdleWantsUpdate(uint32_t now) {
    if (!bSimulator && (bRecording || bPreviewing))
        // Only early in a transfer period, so drawing never delays the next read.
        return now - dwLastBlockStart < dwWaitThreshold / 2;
    return true;
}

bool RunIdlePass(void (*step)(IdleStep)) {
    if (IdleWantsChange()) step(IdleStep::Change);
    if (bPlaying) {
        step(IdleStep::Play);
        if (!bPlaying) {
            // The last replay step ended it.
            step(IdleStep::PanelStopped);
            step(IdleStep::Stop);
        }
    }
    if (bStopRequest) {
        step(IdleStep::Stop);
        bStopRequest = false;
        bPlaying = false;
    }
    // The time is read after the other broadcasts, which may have taken some.
    if (!IdleWantsUpdate(PlatformTimeMs())) return false;
    step(IdleStep::Update);
    return true;
}

uint32_t IdleWaitMs(uint32_t now, uint32_t lastUpdate, uint32_t pumpBudgetMs, bool haveDisplays) {
    uint32_t sinceUpdate = now - lastUpdate;
    uint32_t untilUpdate = sinceUpdate >= kDisplayRefreshMs ? 0 : kDisplayRefreshMs - sinceUpdate;
    uint32_t wait = kIdleWaitCapMs;
    bool live = bPlaying || bRecording || bPreviewing || bSimulator || bClientMode;
    if (haveDisplays && live) wait = untilUpdate;
    if (pumpBudgetMs < wait) wait = pumpBudgetMs;
    return wait;
}

// ---- external programs -------------------------------------------------------------------
std::string AccessCommandLine(const char* accessPath, const char* testPath) {
    return std::string(accessPath) + " " + testPath;
}

bool NotepadCommandLine(const char* windowsDir, const char* testPath, std::string* commandLine) {
    char text[260];
    if (!DataFileName(testPath, ".txt", text, sizeof text)) return false;
    *commandLine = std::string(windowsDir) + "\\notepad.exe " + text;
    return true;
}

AnalysisFiles PrepareAnalysisFiles() {
    if (bNoHardware) return AnalysisFiles::Skipped;
    int32_t written = ExportAnalysisFiles();
    return written ? AnalysisFiles::Written : AnalysisFiles::Failed;
}

// ---- autobalance ----------------------------------------------------------------------------
AutobalanceResult AutobalanceScannedChannels(std::string* failures, int32_t (*balance)(int32_t)) {
    // The recording start balances without a summary and passes no list.
    std::string unused;
    if (failures == nullptr) failures = &unused;
    *failures = "CHANNELS NOT AUTOBALANCING::";
    if (bNoHardware) {
        PlatformSleep(3000);
        if (bRemoteControlled) ReportStatus(-1, kStatusChannelsAutobalanced);
        return AutobalanceResult::Balanced;
    }
    if (balance == nullptr) balance = AutobalanceChannel;
    bool allGood = true;
    if (lpProgScanList == nullptr || lpsChannelParams == nullptr) return AutobalanceResult::Balanced;
    uint32_t used = lpProgScanList->EntryCount;
    if (used > kScanPositions) used = kScanPositions;
    for (uint32_t p = 0; p < used; ++p) {
        const ProgScanEntry& e = lpProgScanList->Entry[p];
        if (e.BLOCK != 0 || e.CHANNEL >= static_cast<uint32_t>(kChannels)) continue;
        int32_t ch = static_cast<int32_t>(e.CHANNEL);
        if (!lpsChannelParams->AUTOBALANCEENABLE[ch]) continue;
        int32_t balanced = balance(ch);
        if (!balanced) {
            allGood = false;
            *failures += " " + std::to_string(ch);
        }
    }
    if (allGood && bRemoteControlled) ReportStatus(-1, kStatusChannelsAutobalanced);
    return allGood ? AutobalanceResult::Balanced : AutobalanceResult::Failed;
}

// ---- exit ---------------------------------------------------------------------------------------
void ReleaseLibrary(void** library) {
    if (*library == nullptr) return;
    for (int guard = 0; guard < 64 && PlatformFreeLibrary(*library); ++guard) {
    }
    *library = nullptr;
}

bool RunExitSequence(int32_t (*saveTest)()) {
    if (bTestOpen && !bTestSaved) {
        int32_t answer = PlatformMessageBox(
            "An Open Test Is Not Saved.  Do You Want To Save It First?", "Save Unsaved Test First?",
            MB_YESNOCANCEL_ | MB_ICONQUESTION_);
        if (answer == IDCANCEL_) return false;
        if (answer == IDYES_) (saveTest ? saveTest : SaveTest)();
    } else {
        int32_t answer = PlatformMessageBox("Do You Really Want to Exit?", "Exit Morva?",
                                            MB_YESNO_ | MB_ICONQUESTION_);
        if (answer != IDYES_) return false;
    }
    // Nothing may be freed under a running acquisition: its read writes into
    // the transfer buffers and its file must be closed whole.
    StopSamplingForExit();
    SaveSystemIni();
    ReleaseControlLibrary();
    ReleaseGpibLibrary();
    FreeTestModel();
    return true;
}
