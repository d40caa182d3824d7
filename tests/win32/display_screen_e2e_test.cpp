// A screen set saved by Zd418, the program started again and the set opened:
// the same displays come back at the same places with the same titles, and
// saving them again writes the same records (channels, scales, fonts and
// colours).  Driven from this process through the program's menus and its
// file dialogs, as an operator would.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/win32/e2e_support.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string g_exe;
const char* const kScreen = "C:\\zd418_display_e2e.dsw";

struct Shown {
    std::string cls, title;
    RECT rc;
};

std::vector<Shown> Displays(HWND client) {
    std::vector<Shown> out;
    for (HWND h = GetWindow(client, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        if (GetWindow(h, GW_OWNER) != nullptr) continue;
        char cls[64] = "";
        GetClassNameA(h, cls, sizeof cls);
        RECT rc;
        GetWindowRect(h, &rc);
        MapWindowPoints(HWND_DESKTOP, client, reinterpret_cast<POINT*>(&rc), 2);
        out.push_back({cls, Text(h), rc});
    }
    std::sort(out.begin(), out.end(), [](const Shown& a, const Shown& b) { return a.cls < b.cls; });
    return out;
}

std::vector<std::string> Records(const char* path) {
    std::vector<std::string> lines;
    FILE* f = fopen(path, "rb");
    if (f == nullptr) return lines;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    fclose(f);
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

BOOL CALLBACK FindEdit(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Edit") == 0 && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

class DisplayScreenE2E : public ::testing::Test {
  protected:
    PROCESS_INFORMATION pi = {};
    HWND frame = nullptr;
    HWND client = nullptr;

    void Start() {
        std::string cmd = "\"" + WindowsPath(g_exe) + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        ASSERT_TRUE(WaitFor([&] { return (frame = FindWindowOf(pi.dwProcessId, "GenericWClass")) != nullptr; },
                            60000));
        HWND open = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (open = FindWindowOf(pi.dwProcessId, "#32770")) != nullptr; }, 30000));
        PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(open); }, 20000));
        DWORD_PTR r;
        ASSERT_TRUE(SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_BLOCK, 20000, &r));
        client = FindWindowExA(frame, nullptr, "MDICLIENT", nullptr);
        ASSERT_NE(client, nullptr);
    }

    void Stop() {
        PostMessageA(frame, WM_CLOSE, 0, 0);  // ends at once, without the exit questions
        if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        pi = {};
    }

    // Posts a command that opens a file dialog and types `path` into it.
    void FileDialog(int command, const char* path) {
        PostMessageA(frame, WM_COMMAND, command, 0);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = FindWindowOf(pi.dwProcessId, "#32770")) != nullptr; }, 20000));
        HWND edit = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                EnumChildWindows(dialog, FindEdit, reinterpret_cast<LPARAM>(&edit));
                return edit != nullptr;
            },
            10000));
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 20000));
        DWORD_PTR r;
        ASSERT_TRUE(SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_BLOCK, 20000, &r));
    }

    void TearDown() override {
        if (pi.hProcess) {
            TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

TEST_F(DisplayScreenE2E, ASavedScreenSetComesBackAfterARestart) {
    DeleteFileA(kScreen);
    ASSERT_NO_FATAL_FAILURE(Start());
    SendMessageA(frame, WM_COMMAND, 202, 0);  // oscilloscope
    SendMessageA(frame, WM_COMMAND, 201, 0);  // tabular
    SendMessageA(frame, WM_COMMAND, 186, 0);  // bar
    HWND scope = FindWindowExA(client, nullptr, "OscopeChild", nullptr);
    HWND table = FindWindowExA(client, nullptr, "TabChild", nullptr);
    HWND bars = FindWindowExA(client, nullptr, "BarChild", nullptr);
    ASSERT_TRUE(scope && table && bars);
    MoveWindow(scope, 12, 8, 420, 300, TRUE);
    MoveWindow(table, 440, 20, 360, 330, TRUE);
    MoveWindow(bars, 30, 320, 500, 280, TRUE);
    const std::vector<Shown> before = Displays(client);
    ASSERT_EQ(before.size(), 3u);

    ASSERT_NO_FATAL_FAILURE(FileDialog(209, kScreen));  // Save Screen As...
    const std::vector<std::string> saved = Records(kScreen);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0].rfind("BAR,30,320,500,280,Bar,", 0), 0u) << saved[0];
    EXPECT_EQ(saved[1].rfind("OSCOPE,12,8,420,300,Oscilloscope", 0), 0u) << saved[1];
    EXPECT_EQ(saved[2].rfind("TABULAR,440,20,360,330,Tabular,", 0), 0u) << saved[2];
    Stop();

    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(Displays(client).size(), 0u);
    ASSERT_NO_FATAL_FAILURE(FileDialog(199, kScreen));  // Open Screen...
    const std::vector<Shown> after = Displays(client);
    ASSERT_EQ(after.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(after[i].cls, before[i].cls);
        EXPECT_EQ(after[i].title, before[i].title);
        EXPECT_TRUE(EqualRect(&after[i].rc, &before[i].rc)) << after[i].cls;
    }
    // Save Screen now writes to the opened file without asking.
    SendMessageA(frame, WM_COMMAND, 198, 0);
    EXPECT_EQ(Records(kScreen), saved);
    Stop();
    DeleteFileA(kScreen);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: display_screen_e2e_test path\\to\\Zd418.exe\n");
        return 2;
    }
    g_exe = argv[1];
    return RUN_ALL_TESTS();
}
