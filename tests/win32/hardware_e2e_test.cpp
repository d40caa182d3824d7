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

    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start " << cmd;
        return "";
    }
    HWND frame = nullptr;
    for (int i = 0; i < 1200 && frame == nullptr; ++i) {
        frame = FindWindowOf(pi.dwProcessId, "GenericWClass");
        if (frame == nullptr) Sleep(50);
    }
    // Start-up ends after the Open Test dialog and whatever the test's
    // settings have to say: dismiss them all, failing on a box of the front
    // end's initialisation.
    std::string caption;
    if (frame == nullptr) ADD_FAILURE() << "Zd418 did not start";
    int quiet = 0;
    for (int i = 0; frame != nullptr && i < 600 && quiet < 20; ++i) {
        HWND box = FindWindowOf(pi.dwProcessId, "#32770");
        if (box != nullptr) {
            std::string title = Text(box);
            if (title == "Please Check Your National Instruments Setup" || title == "GPIB Error" ||
                title == "Response Error")
                ADD_FAILURE() << "start-up showed \"" << title << "\"";
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            quiet = 0;
        } else {
            DWORD_PTR r;
            if (SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &r)) ++quiet;
        }
        Sleep(50);
    }
    HWND panel = frame ? FindWindowOf(pi.dwProcessId, "CONTROLCLASS") : nullptr;
    if (panel != nullptr) caption = Text(panel);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return caption;
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

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        fprintf(stderr, "usage: hardware_e2e_test Zd418.exe gpib-32.dll Q90ui.dll\n");
        return 2;
    }
    g_exe = argv[1];
    g_gpib = argv[2];
    g_q90ui = argv[3];
    // The card-type and operation files a station has; start-up stops at
    // their absence before it gets to the front end's captions.
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (const char* ini : {"Q90CARD.ini", "mtstest.ini"})
        CopyFileA(WindowsPath(std::string(ZD418_CONFIG_DIR) + "/" + ini).c_str(),
                  (std::string(windows) + "\\" + ini).c_str(), TRUE);
    return RUN_ALL_TESTS();
}
