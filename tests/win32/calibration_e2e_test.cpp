// Zd418 itself, driven from a second process in simulator mode: each item of
// the Calibration menu opens its dialog, and a channel calibrated through
// "Calibrate Channels" reads 10 mV in every state, which defines no line, so
// "Exit && Apply Slopes" says so instead of storing a slope.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/win32/e2e_support.h"

#include <string>

#include "calibration/calibration_ids.h"
#include "shell/command_ids.h"

namespace {

std::string g_exe;

using namespace e2e;

// Starts Zd418 without the front end's libraries and dismisses what start-up
// shows (the Open Test dialog first) until it is idle.
bool Start(Process& p) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "zd418_calibration";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string exe = dir + "\\Zd418.exe";
    if (!CopyFileA(WindowsPath(g_exe).c_str(), exe.c_str(), FALSE)) return false;
    DeleteFileA((dir + "\\Q90ui.dll").c_str());
    if (!StartZd418(p, exe, dir)) return false;
    DismissUntilIdle(p);
    return true;
}

HWND WaitDialog(const Process& p, const char* title, DWORD ms = 20000) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindWindowOf(p.pi.dwProcessId, "#32770", title)) != nullptr; }, ms);
    return found;
}

void Click(HWND dlg, int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

std::string StaticTexts(HWND box) {
    std::string all;
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(c, cls, sizeof cls);
        if (strcmp(cls, "Static") == 0) all += Text(c) + "|";
    }
    return all;
}

class CalibrationMenu : public ::testing::Test {
  protected:
    Process p;
    void SetUp() override { ASSERT_TRUE(Start(p)) << "Zd418 did not start"; }
    void TearDown() override { EndProcess(p); }
};

TEST_F(CalibrationMenu, EveryItemOpensItsDialog) {
    const struct {
        int command;
        const char* title;
        int close;
    } items[] = {
        {IDM_CALSTATES, "Calibration States", IDOK},
        {IDM_EXTERNALCOMMANDS, "External Calibrator Commands", IDCANCEL},
        {IDM_DEFINEPROCEDURE, "Calibration Procedure Setup", IDOK},
        {IDM_PERFORMPROCEDURE, "Perform Calibration Procedure", IDC_PR_EXIT},
        {IDM_CALIBRATE, "Calibrate Channels", IDC_CC_EXIT},
    };
    for (const auto& k : items) {
        SCOPED_TRACE(k.title);
        PostMessageA(p.frame, WM_COMMAND, MAKEWPARAM(k.command, 0), 0);
        HWND dlg = WaitDialog(p, k.title);
        ASSERT_NE(dlg, nullptr);
        Click(dlg, k.close);
        // Exit downloads the scan table again (two seconds in simulator mode).
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, 20000));
    }
}

TEST_F(CalibrationMenu, SimulatorModeCalibrationShowsTenMillivoltsAndStoresNoSlope) {
    PostMessageA(p.frame, WM_COMMAND, MAKEWPARAM(IDM_CALIBRATE, 0), 0);
    HWND dlg = WaitDialog(p, "Calibrate Channels");
    ASSERT_NE(dlg, nullptr);
    Click(dlg, IDC_CC_CALIBRATE);
    // Eight states of half a second each, then the details.
    HWND details = WaitDialog(p, "Calibration Details", 30000);
    ASSERT_NE(details, nullptr);
    const std::string texts = StaticTexts(details);
    EXPECT_NE(texts.find("|10.0000|0.0000|"), std::string::npos) << texts;
    Click(details, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(details); }, 10000));
    Click(dlg, IDC_CC_APPLY);
    HWND box = WaitDialog(p, "Calibration Fit Failed");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(StaticTexts(box).find("The Calibration Means Of Channel 0 Do Not Define A Line."), std::string::npos);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, 20000));
}

}  // namespace

int main(int argc, char** argv) {
    return e2e::RunE2eTests(argc, argv, "calibration_e2e_test Zd418.exe", {&g_exe});
}
