// Zd418 started as an operator starts it, then driven through its windows
// from this process: the frame, its companions, display commands, and both
// ways out.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/win32/e2e_support.h"

#include <string>

namespace {

std::string g_exe;

std::string IniValue(const char* section, const char* key) {
    char buf[512];
    GetPrivateProfileStringA(section, key, "<missing>", buf, sizeof buf, SystemIni().c_str());
    return buf;
}

class Zd418Process : public ::testing::Test {
  protected:
    PROCESS_INFORMATION pi = {};
    HWND frame = nullptr;

    void Start(const std::string& arguments = "") {
        std::string cmd = "\"" + WindowsPath(g_exe) + "\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &si, &pi))
            << cmd;
        ASSERT_TRUE(WaitFor([&] { return (frame = FindWindowOf(pi.dwProcessId, "GenericWClass")) != nullptr; },
                            60000));
        // Without a test on the command line start-up asks for one; the
        // operator cancels and gets the demonstration test.
        if (arguments.empty()) {
            HWND open = nullptr;
            ASSERT_TRUE(WaitFor([&] { return (open = FindWindowOf(pi.dwProcessId, "#32770")) != nullptr; }, 30000));
            PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(open); }, 20000));
        }
        // Start-up is done when the frame answers.
        DWORD_PTR r;
        ASSERT_TRUE(SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_BLOCK, 20000, &r));
    }

    DWORD WaitExit(DWORD ms) {
        if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }

    void TearDown() override {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

TEST_F(Zd418Process, StartsWithFrameAndCompanionsAndExitsWritingSettings) {
    DeleteFileA(SystemIni().c_str());
    WritePrivateProfileStringA("SCREEN LOCATIONS", "ControlStatus", "1", SystemIni().c_str());
    WritePrivateProfileStringA("SCREEN LOCATIONS", "ControlLeft", "120", SystemIni().c_str());
    WritePrivateProfileStringA("SCREEN LOCATIONS", "ControlTop", "60", SystemIni().c_str());
    WritePrivateProfileStringA("SCREEN LOCATIONS", "ToolsStatus", "0", SystemIni().c_str());
    WritePrivateProfileStringA("Application", "NamedArea1", "Octave", SystemIni().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, SystemIni().c_str());  // flush

    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(Text(frame), "Vornel Morva Default Settings");
    EXPECT_NE(GetMenu(frame), nullptr);
    EXPECT_TRUE(IsWindowVisible(frame));

    // Companions, owned by the frame; only the panel is shown, as saved.
    HWND panel = FindWindowOf(pi.dwProcessId, "CONTROLCLASS");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(IsWindowVisible(panel));
    EXPECT_EQ(GetWindow(panel, GW_OWNER), frame);
    // No front-end library next to the program: simulator mode.
    EXPECT_EQ(Text(panel), "Morva Record & Playback Control. SIMULATOR MODE");
    RECT rc;
    GetWindowRect(panel, &rc);
    EXPECT_EQ(rc.left, 120);
    EXPECT_EQ(rc.top, 60);
    EXPECT_EQ(rc.right - rc.left, 390);
    struct Companion {
        const char* cls;
        const char* caption;
    } hidden[] = {{"ACKCLASS", "Acknowledge Before Proceeding"},
                  {"CANCELCLASS", "Establishing Connection To Halvo"},
                  {"TOOLBARCLASS", "Tools"},
                  {"WAITCLASS", "Status"}};
    for (const Companion& c : hidden) {
        HWND w = FindWindowOf(pi.dwProcessId, c.cls);
        ASSERT_NE(w, nullptr) << c.cls;
        EXPECT_EQ(Text(w), c.caption);
        EXPECT_FALSE(IsWindowVisible(w)) << c.cls;
        EXPECT_EQ(GetWindow(w, GW_OWNER), frame) << c.cls;
    }
    HWND wait = FindWindowOf(pi.dwProcessId, "WAITCLASS");
    EXPECT_EQ(Text(GetDlgItem(wait, 10)), "Please Wait ...");
    EXPECT_EQ(Text(GetDlgItem(wait, 11)), "Downloading");

    // Display commands make MDI children; Close All takes them away.
    HWND client = FindWindowExA(frame, nullptr, "MDICLIENT", nullptr);
    ASSERT_NE(client, nullptr);
    SendMessageA(frame, WM_COMMAND, 202, 0);
    SendMessageA(frame, WM_COMMAND, 201, 0);
    SendMessageA(frame, WM_COMMAND, 186, 0);
    HWND scope = FindWindowExA(client, nullptr, "OscopeChild", nullptr);
    ASSERT_NE(scope, nullptr);
    EXPECT_EQ(Text(scope), "Oscilloscope Chan0");  // the graph names its channel
    EXPECT_NE(FindWindowExA(client, nullptr, "TabChild", "Tabular"), nullptr);
    EXPECT_NE(FindWindowExA(client, nullptr, "BarChild", "Bar"), nullptr);
    SendMessageA(frame, WM_COMMAND, 184, 0);  // tile
    SendMessageA(frame, WM_COMMAND, 206, 0);  // close all
    EXPECT_EQ(FindWindowExA(client, nullptr, "OscopeChild", nullptr), nullptr);
    EXPECT_EQ(FindWindowExA(client, nullptr, "TabChild", nullptr), nullptr);

    // Tool palette and panel follow their menu items.
    SendMessageA(frame, WM_COMMAND, 131, 0);
    EXPECT_TRUE(IsWindowVisible(FindWindowOf(pi.dwProcessId, "TOOLBARCLASS")));
    SendMessageA(frame, WM_COMMAND, 132, 0);
    EXPECT_FALSE(IsWindowVisible(panel));

    // Without hardware the simulator stays on.
    SendMessageA(frame, WM_COMMAND, 213, 0);
    EXPECT_EQ(Text(panel), "Morva Record & Playback Control. SIMULATOR MODE");

    // Exit asks first; Yes writes Q90.ini and ends the program.
    PostMessageA(frame, WM_COMMAND, 126, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindWindowOf(pi.dwProcessId, "#32770", "Exit Morva?")) != nullptr; },
                        20000));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
    EXPECT_EQ(WaitExit(30000), 0u);

    EXPECT_EQ(IniValue("SCREEN LOCATIONS", "ControlStatus"), "0");
    EXPECT_EQ(IniValue("SCREEN LOCATIONS", "ToolsStatus"), "1");
    EXPECT_EQ(IniValue("SCREEN LOCATIONS", "ControlLeft"), "120");
    EXPECT_EQ(IniValue("SCREEN LOCATIONS", "ControlTop"), "60");
    EXPECT_EQ(IniValue("SYSTEM", "SIMULATOR"), "YES");
    EXPECT_EQ(IniValue("HARDWARE SETTINGS", "CLOCKCRYSTAL"), "2000000.0000");
    // The demonstration test the cancelled open left.
    EXPECT_EQ(IniValue("Test", "Testfile"), "c:\\zd418\\demo\\demo.mdb");
    EXPECT_EQ(IniValue("Application", "NamedArea1"), "Octave");
    EXPECT_EQ(IniValue("System", "RecordingTime"), "5");
    EXPECT_EQ(IniValue("EXTERNALCALCOMMANDS", "Command10"), "Undefined");
}

// The first message box or dialog of the program with this caption.
HWND WaitForBox(DWORD pid, const char* caption, DWORD ms = 20000) {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindWindowOf(pid, "#32770", caption)) != nullptr; }, ms);
    return box;
}

void Click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

TEST_F(Zd418Process, FileLocationsRefusesCaptionsTheMenuCannotShow) {
    const int kArea1 = 315;  // "Named Area 1"
    DeleteFileA(SystemIni().c_str());
    ASSERT_NO_FATAL_FAILURE(Start());
    PostMessageA(frame, WM_COMMAND, 128, 0);
    HWND dlg = WaitForBox(pi.dwProcessId, "File Locations");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Text(GetDlgItem(dlg, kArea1)), "Program 1");

    // An empty caption would leave a blank menu item: refused, the dialog stays.
    SendMessageA(GetDlgItem(dlg, kArea1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("   "));
    Click(dlg, IDOK);
    HWND box = WaitForBox(pi.dwProcessId, "Invalid Menu Caption");
    ASSERT_NE(box, nullptr) << "an empty caption was taken";
    Click(box, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));
    ASSERT_TRUE(IsWindow(dlg));
    EXPECT_EQ(Text(GetDlgItem(dlg, kArea1)), "   ");  // what the operator typed is kept

    // Typing takes no more than the menu shows.
    HWND field = GetDlgItem(dlg, kArea1);
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    for (char c : std::string("Twenty Characters!!"
                              "X"))
        SendMessageA(field, WM_CHAR, static_cast<WPARAM>(c), 1);
    EXPECT_EQ(Text(field), "Twenty Characters!!");
    Click(dlg, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, 10000));

    // Prepare Quick Plots on the demonstration test, which has no recording.
    PostMessageA(frame, WM_COMMAND, 197, 0);
    box = WaitForBox(pi.dwProcessId, "Prepare Quick Plots");
    ASSERT_NE(box, nullptr) << "Prepare Quick Plots did nothing visible";
    EXPECT_EQ(Text(GetDlgItem(box, 3101)), "No Data Are Available For This Test");
    Click(box, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));

    PostMessageA(frame, WM_COMMAND, 126, 0);
    box = WaitForBox(pi.dwProcessId, "Exit Morva?");
    ASSERT_NE(box, nullptr);
    Click(box, IDYES);
    EXPECT_EQ(WaitExit(30000), 0u);
    EXPECT_EQ(IniValue("Application", "NamedArea1"), "Twenty Characters!!");
}

TEST_F(Zd418Process, ClosingTheFrameEndsAtOnceWithoutWritingSettings) {
    DeleteFileA(SystemIni().c_str());
    ASSERT_NO_FATAL_FAILURE(Start());
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitExit(30000), 0u);
    EXPECT_EQ(GetFileAttributesA(SystemIni().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Zd418Process, AnsweringNoToExitKeepsRunning) {
    ASSERT_NO_FATAL_FAILURE(Start());
    PostMessageA(frame, WM_COMMAND, 126, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindWindowOf(pi.dwProcessId, "#32770", "Exit Morva?")) != nullptr; },
                        20000));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO)));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));
    DWORD_PTR r;
    EXPECT_TRUE(SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &r));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: shell_e2e_test path\\to\\Zd418.exe\n");
        return 2;
    }
    g_exe = argv[1];
    return RUN_ALL_TESTS();
}
