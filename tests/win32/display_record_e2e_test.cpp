// Zd418 recording from the simulated front end in real time with four
// graphs, two tables and two bar displays open and live: the raw file must
// still hold every transfer, whole and in order, and the program's CPU time
// over the recording is reported.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/win32/e2e_support.h"

namespace {

std::string g_exe, g_gpib, g_q90ui;

// Answers the boxes that are up: the download question with Yes, every other
// question with No, plain messages with OK.  Returns the captions seen.
std::vector<std::string> AnswerBoxes(DWORD pid, DWORD ms) {
    std::vector<std::string> seen;
    for (DWORD waited = 0; waited < ms; waited += 50) {
        HWND box = FindWindowOf(pid, "#32770");
        if (box != nullptr) {
            const std::string title = Text(box);
            seen.push_back(title);
            const WPARAM answer = title == "Scanlist Or Channel Parameters Not Downloaded" ? IDYES : IDNO;
            PostMessageA(box, WM_COMMAND, answer, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        }
        Sleep(50);
    }
    return seen;
}

void Click(HWND panel, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(panel, WM_LBUTTONUP, 0, at);
}

double CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& f) {
        return ((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

std::vector<uint8_t> ReadFileBytes(const std::string& name) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(name.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

TEST(DisplayRecordE2E, LiveDisplaysCostNoTransfer) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "zd418_display_record";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string exe = dir + "\\Zd418.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(g_exe).c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPath(g_gpib).c_str(), (dir + "\\gpib-32.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPath(g_q90ui).c_str(), (dir + "\\Q90ui.dll").c_str(), FALSE));
    FILE* cfg = fopen((dir + "\\q90sim.cfg").c_str(), "w");
    ASSERT_NE(cfg, nullptr);
    fputs("timebase real\nsignal 0-255 const 1000\n", cfg);
    fclose(cfg);

    DeleteFileA(SystemIni().c_str());
    const std::string iniPath = SystemIni();
    const char* ini = iniPath.c_str();
    WritePrivateProfileStringA("Application", "WorkDirectory", dir.c_str(), ini);
    WritePrivateProfileStringA("System", "TriggerState", "0", ini);
    WritePrivateProfileStringA("System", "RecordingType", "0", ini);
    WritePrivateProfileStringA("SYSTEM", "SIMULATOR", "NO", ini);
    WritePrivateProfileStringA("SYSTEM", "APPEND", "NO", ini);
    WritePrivateProfileStringA("SYSTEM", "COM2RUNANDPOINT", "NO", ini);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini);

    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi));
    HWND frame = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (frame = FindWindowOf(pi.dwProcessId, "GenericWClass")) != nullptr; }, 60000));
    AnswerBoxes(pi.dwProcessId, 3000);  // the Open Test dialog: cancelled, the demonstration test
    HWND panel = FindWindowOf(pi.dwProcessId, "CONTROLCLASS");
    ASSERT_NE(panel, nullptr);
    const std::string base = dir + "\\demo\\demo";
    CreateDirectoryA((dir + "\\demo").c_str(), nullptr);
    DeleteFileA((base + ".raw").c_str());

    for (int command : {202, 202, 202, 202, 201, 201, 186, 186}) SendMessageA(frame, WM_COMMAND, command, 0);
    SendMessageA(frame, WM_COMMAND, 184, 0);  // tile
    HWND client = FindWindowExA(frame, nullptr, "MDICLIENT", nullptr);
    int displays = 0;
    for (HWND h = GetWindow(client, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) ++displays;
    EXPECT_EQ(displays, 8);

    Click(panel, 365, 20);  // Record
    AnswerBoxes(pi.dwProcessId, 3000);
    const double cpu0 = CpuSeconds(pi.hProcess);
    const DWORD t0 = GetTickCount();
    std::vector<std::string> during = AnswerBoxes(pi.dwProcessId, 6000);
    const double wall = (GetTickCount() - t0) / 1000.0;
    const double cpu = CpuSeconds(pi.hProcess) - cpu0;
    printf("Zd418 recording with 8 live displays: %.1f %% of one core over %.1f s\n", 100.0 * cpu / wall, wall);
    Click(panel, 245, 20);  // Stop
    AnswerBoxes(pi.dwProcessId, 1500);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    for (const std::string& s : during) ADD_FAILURE() << "box while recording: " << s;

    // The demonstration table: 322 scans of 200 words a transfer.
    const size_t transferBytes = 2 * 200 * 322;
    std::vector<uint8_t> bytes = ReadFileBytes(base + ".raw");
    ASSERT_GE(bytes.size(), 8 * transferBytes) << base << ".raw";  // about 1.5 transfers a second
    ASSERT_EQ(bytes.size() % transferBytes, 0u) << "a partial transfer in the file";
    uint32_t previous = 0;
    for (size_t t = 0; t < bytes.size(); t += transferBytes) {
        ASSERT_EQ(bytes[t], 0x6B);
        ASSERT_EQ(bytes[t + 1], 0xFE);
        const uint32_t sequence = bytes[t + 2] | (bytes[t + 3] << 8);
        ASSERT_EQ(sequence, previous + 1) << "transfer lost or repeated at offset " << t;
        previous = sequence;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        fprintf(stderr, "usage: display_record_e2e_test Zd418.exe gpib-32.dll Q90ui.dll\n");
        return 2;
    }
    g_exe = argv[1];
    g_gpib = argv[2];
    g_q90ui = argv[3];
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (const char* ini : {"Q90CARD.ini", "mtstest.ini"})
        CopyFileA(WindowsPath(std::string(ZD418_CONFIG_DIR) + "/" + ini).c_str(),
                  (std::string(windows) + "\\" + ini).c_str(), TRUE);
    return RUN_ALL_TESTS();
}
