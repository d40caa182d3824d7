// Portable: Retrieve and Save of channel information (tool palette buttons
// 1 and 9).
#include "shell/channel_info.h"

#include <string>

#include "base/app_state.h"
#include "platform/platform.h"
#include "testmodel/db_database.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

void NoTestMessage() {
    if (bSimulator)
        PlatformMessageBox("If You Have ODBC Then Open A Test First", "Demo Version Running Without Test Open",
                           MB_OK_ | MB_ICONEXCLAMATION_);
    else
        PlatformMessageBox("Please Open A Test First", "No Test Is Opened", MB_OK_ | MB_ICONEXCLAMATION_);
}

// Puts the scratch database back from its copy after a failed load.
void RestoreScratch(const std::string& backup) {
    if (!PlatformReplaceFile(backup.c_str(), szTestScratch)) {
        SafeCopyFile(backup.c_str(), szTestScratch);
        PlatformDeleteFile(backup.c_str());
    }
}

}  // namespace

int32_t RetrieveChannelInformation() {
    PlatformBeginWaitCursor();
    // The scratch database is kept beside itself until the test has loaded:
    // it is the template of every new test.
    const std::string backup = BackupBeside(szTestScratch);
    if (!bTestOpen || szTestFile[0] == '\0' || !PlatformCopyFile(szTestScratch, backup.c_str()) ||
        !SafeCopyFile(szTestFile, szTestScratch)) {
        PlatformDeleteFile(backup.c_str());
        PlatformEndWaitCursor();
        NoTestMessage();
        return 0;
    }
    const int32_t loaded = LoadTestDatabase();
    PlatformEndWaitCursor();
    // The quick plots were decimated with the scan table just replaced.
    if (lpQuickPlots) lpQuickPlots->Prepared = 0;
    if (!loaded) {
        RestoreScratch(backup);
        if (bSimulator)
            PlatformMessageBox("ODBC Not Installed. Continuing With DEMO Defaults",
                               "DEMO Version Does Not Use The Microsoft Access Database",
                               MB_OK_ | MB_ICONINFORMATION_);
        else
            PlatformMessageBox("The Test Database Is Corrupt", "Bad Test Database", MB_OK_ | MB_ICONEXCLAMATION_);
        LoadDemoDefaults();
        LoadCardTypes();
        bTestChanged = true;
        return 0;
    }
    PlatformDeleteFile(backup.c_str());
    SetCvtLimitsFromGain();
    bTestSaved = true;
    bTestChanged = true;
    PlatformMessageBox("Channel Information Retrieved", "Success", MB_OK_);
    return 1;
}

int32_t SaveChannelInformation() {
    PlatformBeginWaitCursor();
    if (!bTestOpen || szTestFile[0] == '\0') {
        PlatformEndWaitCursor();
        NoTestMessage();
        return 0;
    }
    if (!SaveTestDatabase()) {
        PlatformEndWaitCursor();
        PlatformMessageBox("The Current Test Parameters Could Not Be Saved To The Test Database",
                           "Problem With Test Database Save", MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    const bool copied = SafeCopyFile(szTestScratch, szTestFile);
    PlatformEndWaitCursor();
    if (!copied) {
        NoTestMessage();
        return 0;
    }
    bTestSaved = true;
    PlatformMessageBox("Channel Information Saved", "Success", MB_OK_);
    return 1;
}
