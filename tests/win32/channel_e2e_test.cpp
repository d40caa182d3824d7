// Zd418 itself, driven from a second process against the simulated chassis:
// the demonstration test (channels 1-6 scanned, all M17-B) downloaded from the
// menu to a chassis where card 2 refuses its filter, card 5 its gain and slot
// 6 holds no card; then "Autobalance" from the menu, and a recording start
// that downloads and balances without a summary.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/win32/e2e_support.h"

namespace {

std::string g_exe, g_gpib, g_q90ui;

constexpr WPARAM kDownloadChannelSettings = 113;
constexpr WPARAM kAutobalance = 212;

struct Box {
    std::string caption;
    std::string text;
};

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) *reinterpret_cast<std::string*>(param) += Text(hwnd);
    return TRUE;
}

struct Program {
    PROCESS_INFORMATION pi = {};
    HWND frame = nullptr;
    HWND panel = nullptr;

    // Answers the boxes that come up within `ms`: the two questions of a
    // recording start with Yes, other questions with No, messages with OK.
    std::vector<Box> Answer(DWORD ms) const {
        std::vector<Box> seen;
        for (DWORD waited = 0; waited < ms; waited += 50) {
            HWND box = FindWindowOf(pi.dwProcessId, "#32770");
            if (box != nullptr) {
                Box b{Text(box), ""};
                EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&b.text));
                // A box being torn down after its answer reads empty.
                if (b.caption.empty() && b.text.empty()) {
                    Sleep(50);
                    continue;
                }
                if (seen.empty() || seen.back().caption != b.caption || seen.back().text != b.text)
                    seen.push_back(b);
                const bool yes = b.caption == "Scanlist Or Channel Parameters Not Downloaded" ||
                                 b.caption == "Autobalance Might Be Affected By New Parameters";
                PostMessageA(box, WM_COMMAND, yes ? IDYES : IDNO, 0);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            }
            Sleep(50);
        }
        return seen;
    }
    bool Running() const { return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    // Whatever the test found, the program does not outlive it.
    ~Program() {
        if (pi.hProcess == nullptr) return;
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
};

bool Saw(const std::vector<Box>& boxes, const std::string& caption) {
    for (const Box& b : boxes)
        if (b.caption == caption) return true;
    return false;
}

std::string Describe(const std::vector<Box>& boxes) {
    std::string all;
    for (const Box& b : boxes) all += "[" + b.caption + "] " + b.text + "\n";
    return all;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text;
    for (char c : s.str())
        if (c != '\r') text += c;
    return text;
}

TEST(ChannelE2E, DownloadAutobalanceAndTheRecordingStartAgainstTheChassis) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "zd418_channels";
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "\\demo").c_str(), nullptr);
    const std::string log = dir + "\\demo\\demo.log";
    DeleteFileA(log.c_str());
    const std::string exe = dir + "\\Zd418.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(g_exe).c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPath(g_gpib).c_str(), (dir + "\\gpib-32.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPath(g_q90ui).c_str(), (dir + "\\Q90ui.dll").c_str(), FALSE));
    FILE* cfg = fopen((dir + "\\q90sim.cfg").c_str(), "w");
    ASSERT_NE(cfg, nullptr);
    fputs("timebase real\ncard 0-255 M17-B imbalance 10\ncard 2 M16 refuse 4 at filter\n"
          "card 5 M15-C refuse 64 at gain\ncard 6 M17-B missing\n",
          cfg);
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

    Program p;
    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &p.pi));
    ASSERT_TRUE(WaitFor([&] { return (p.frame = FindWindowOf(p.pi.dwProcessId, "GenericWClass")) != nullptr; },
                        60000));
    p.Answer(3000);  // the Open Test dialog: cancelled, the demonstration test
    p.panel = FindWindowOf(p.pi.dwProcessId, "CONTROLCLASS");
    HWND wait = FindWindowOf(p.pi.dwProcessId, "WAITCLASS");
    ASSERT_TRUE(p.panel && wait);

    // Download from the menu: the three failing channels in the log, in
    // channel order with their stage, one message, the wait window having
    // counted up to the last scanned channel.
    PostMessageA(p.frame, WM_COMMAND, kDownloadChannelSettings, 0);
    std::vector<Box> download = p.Answer(4000);
    ASSERT_EQ(download.size(), 1u) << Describe(download);
    EXPECT_EQ(download[0].caption, "Channel Setup Error");
    EXPECT_EQ(download[0].text, "Some Channels Failed Setup. View Log File For Details.");
    EXPECT_EQ(ReadText(log),
              "Channel 2 Named Accel Failed During Filter Selection ::Bad Parameter\n"
              "Channel 5 Named Chan5 Failed During Gain Selection ::Make Sure Channel Is Installed\n"
              "Channel 6 Named Chan6 Failed During Channel Selection ::Make Sure Channel Is Installed\n");
    EXPECT_EQ(Text(GetDlgItem(wait, 11)), "Downloading Channel 6");
    EXPECT_FALSE(IsWindowVisible(wait));

    // Autobalance from the menu: the missing card cannot be selected; the
    // summary lists it.
    PostMessageA(p.frame, WM_COMMAND, kAutobalance, 0);
    std::vector<Box> balance = p.Answer(3000);
    ASSERT_EQ(balance.size(), 2u) << Describe(balance);
    EXPECT_EQ(balance[0].caption, "Channel Select Failure ");
    EXPECT_EQ(balance[0].text, "Channel 6");
    EXPECT_EQ(balance[1].caption, "These Channels Failed To Autobalance");
    EXPECT_EQ(balance[1].text, "CHANNELS NOT AUTOBALANCING:: 6");

    // Record: the download question (Yes), the download's failure, the
    // autobalance question (Yes), the select failure of the balance, and no
    // summary; the program goes on recording.
    Sleep(500);
    const LPARAM record = MAKELPARAM(365, 20);
    PostMessageA(p.panel, WM_LBUTTONDOWN, MK_LBUTTON, record);
    PostMessageA(p.panel, WM_LBUTTONUP, 0, record);
    std::vector<Box> start = p.Answer(6000);
    EXPECT_TRUE(Saw(start, "Scanlist Or Channel Parameters Not Downloaded")) << Describe(start);
    EXPECT_TRUE(Saw(start, "Channel Setup Error")) << Describe(start);
    EXPECT_TRUE(Saw(start, "Autobalance Might Be Affected By New Parameters")) << Describe(start);
    EXPECT_TRUE(Saw(start, "Channel Select Failure ")) << Describe(start);
    EXPECT_FALSE(Saw(start, "These Channels Failed To Autobalance")) << Describe(start);
    EXPECT_FALSE(Saw(start, "Autobalance Success")) << Describe(start);
    EXPECT_TRUE(p.Running()) << "the program ended during the recording start";

    const LPARAM stop = MAKELPARAM(245, 20);
    PostMessageA(p.panel, WM_LBUTTONDOWN, MK_LBUTTON, stop);
    PostMessageA(p.panel, WM_LBUTTONUP, 0, stop);
    p.Answer(1500);
    EXPECT_TRUE(p.Running());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        fprintf(stderr, "usage: channel_e2e_test Zd418.exe gpib-32.dll Q90ui.dll\n");
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
