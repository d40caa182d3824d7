// Zd418 started from a directory that holds the simulated front end's
// libraries: with both it runs against the front end, without Q90ui.dll it
// runs in simulator mode.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/win32/e2e_support.h"

#include <string>

namespace {

std::string g_exe, g_gpib, g_q90ui;

// Copies the program (and the chosen libraries) into a fresh directory,
// starts it there and returns the control panel's caption once start-up is done.
std::string PanelCaptionWith(bool withQ90ui) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + (withQ90ui ? "zd418_hw_both" : "zd418_hw_gpib_only");
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string exe = dir + "\\Zd418.exe";
    EXPECT_TRUE(CopyFileA(WindowsPath(g_exe).c_str(), exe.c_str(), FALSE));
    EXPECT_TRUE(CopyFileA(WindowsPath(g_gpib).c_str(), (dir + "\\gpib-32.dll").c_str(), FALSE));
    DeleteFileA((dir + "\\Q90ui.dll").c_str());
    if (withQ90ui) {
        EXPECT_TRUE(CopyFileA(WindowsPath(g_q90ui).c_str(), (dir + "\\Q90ui.dll").c_str(), FALSE));
    }

    e2e::Process p;
    if (!e2e::StartZd418(p, exe, dir)) {
        ADD_FAILURE() << "Zd418 did not start";
        return "";
    }
    // Start-up ends after the Open Test dialog and whatever the test's
    // settings have to say: dismiss them all, failing on a box of the front
    // end's initialisation.
    e2e::DismissUntilIdle(p, [](const std::string& title) {
        if (title == "Please Check Your National Instruments Setup" || title == "GPIB Error" ||
            title == "Response Error")
            ADD_FAILURE() << "start-up showed \"" << title << "\"";
    });
    HWND panel = FindWindowOf(p.pi.dwProcessId, "CONTROLCLASS");
    return panel != nullptr ? Text(panel) : "";
}

TEST(HardwareStart, WithBothLibrariesTheProgramRunsAgainstTheFrontEnd) {
    std::string caption = PanelCaptionWith(true);
    EXPECT_NE(caption, "");
    EXPECT_EQ(caption.find("SIMULATOR MODE"), std::string::npos) << caption;
}

TEST(HardwareStart, WithoutQ90uiTheProgramRunsInSimulatorMode) {
    EXPECT_EQ(PanelCaptionWith(false), "Morva Record & Playback Control. SIMULATOR MODE");
}

}  // namespace

// The card-type and operation files a station has are copied into the
// prefix: start-up stops at their absence before it gets to the front end's
// captions.
int main(int argc, char** argv) {
    return e2e::RunE2eTests(argc, argv, "hardware_e2e_test Zd418.exe gpib-32.dll Q90ui.dll",
                            {&g_exe, &g_gpib, &g_q90ui});
}
