#include "shell/shell_rules.h"

#include <cstring>

#include "hardware/control_library.h"
#include "platform/platform.h"
#include "base/app_state.h"
#include "shell/command_ids.h"
#include "hardware/gpib_access.h"
#include "base/pending_parts.h"
#include "testmodel/settings_ini.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"

// ---- commands ---------------------------------------------------------------------------
bool IsMenuCommand(int32_t id) {
    static const int32_t kIds[] = {
        100, 101, 103, 104, 105, 107, 108, 109, 110, 111, 113, 114, 115, 116, 117, 118, 119,
        121, 123, 124, 125, 126, 128, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141,
        142, 143, 144, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165, 167, 168, 170, 172,
        173, 175, 176, 177, 179, 180, 181, 182, 184, 186, 187, 188, 189, 190, 191, 192, 193,
        194, 195, 196, 197, 198, 199, 200, 201, 202, 206, 207, 208, 209, 210, 211, 212, 213,
        214, 216, 217,
    };
    for (int32_t known : kIds)
        if (known == id) return true;
    return false;
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

// The channel's scale factor: its fine gain when that is enabled, else its gain.
double* ScaleFactor(int32_t channel) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return nullptr;
    if (lpsChannelParams->VARIABLEGAINENABLE[channel])
        return &lpsChannelParams->VARIABLEGAIN[channel];
    return &lpsChannelParams->GAIN[channel];
}
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
    double* scale = ScaleFactor(nSelectedChannel);
    if (mode == kModeTransducer) {
        // Back from an excitation mode the factor is the forced 1.0, so it is
        // restored even outside sampling; otherwise the channel's real gain
        // would be lost with the next save.
        bool forced = nInputMode >= kModeExcitationVoltage;
        if ((bRecording || bPreviewing || forced) && scale != nullptr && nInputMode > 0)
            *scale = dSavedScaleFactor;
    } else if (scale != nullptr) {
        // A calibration mode shown in engineering units must not lose the
        // transducer's scale: keep it for the way back.  Going from one
        // calibration mode to another keeps the first saved value, so an
        // excitation mode's 1.0 never overwrites it.
        if (nInputMode <= kModeTransducer) dSavedScaleFactor = *scale;
        if (mode >= kModeExcitationVoltage) *scale = 1.0;
    }
    nInputMode = mode;
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

// ---- autobalance ----------------------------------------------------------------------------
bool AutobalanceScannedChannels(std::string* failures) {
    *failures = "CHANNELS NOT AUTOBALANCING::";
    bool allGood = true;
    if (bNoHardware) {
        PlatformSleep(3000);
        return true;
    }
    if (lpProgScanList == nullptr || lpsChannelParams == nullptr) return true;
    uint32_t used = lpProgScanList->EntryCount;
    if (used > kScanPositions) used = kScanPositions;
    for (uint32_t p = 0; p < used; ++p) {
        const ProgScanEntry& e = lpProgScanList->Entry[p];
        if (e.BLOCK != 0 || e.CHANNEL >= static_cast<uint32_t>(kChannels)) continue;
        int32_t ch = static_cast<int32_t>(e.CHANNEL);
        if (!lpsChannelParams->AUTOBALANCEENABLE[ch]) continue;
        if (!AutobalanceChannel(ch)) {
            allGood = false;
            *failures += " " + std::to_string(ch);
        }
    }
    return allGood;
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
    SaveSystemIni();
    ReleaseControlLibrary();
    ReleaseGpibLibrary();
    FreeTestModel();
    return true;
}
