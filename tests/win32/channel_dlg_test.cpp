// The channel dialogs run for real (templates, the Win32 port) against the
// simulated front end's DLLs, driven from a thread timer inside their modal
// loops: a test of mixed card models is downloaded to a chassis where two
// cards refuse at different stages, the log, the message, the remote status
// word and every other card's settings are checked, readback shows what the
// cards hold, and verification adopts the hardware's lists only with Apply.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/status_report.h"
#include "channels/channel_dlg.h"
#include "channels/channel_ids.h"
#include "hardware/channel_download.h"
#include "hardware/control_library.h"
#include "hardware/gpib_access.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

std::string g_gpib, g_q90ui, g_cardIni;

struct Box {
    std::string caption;
    std::string text;
};

// Steps run one per tick; every message box is answered (Yes or OK) and kept.
struct Script {
    const char* title = nullptr;
    std::vector<std::function<void(HWND)>> steps;
    size_t next = 0;
    bool busy = false;
    std::vector<Box> boxes;
};
Script* g_script = nullptr;

std::string Text(HWND hwnd) {
    char buf[512] = "";
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    if (Text(hwnd) == g_script->title) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

BOOL CALLBACK FindStatic(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    std::string t = Text(hwnd);
    if (strcmp(cls, "Static") == 0 && !t.empty()) *reinterpret_cast<std::string*>(param) += t;
    return TRUE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script& s = *g_script;
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (box != nullptr) {
        Box b{Text(box), ""};
        EnumChildWindows(box, FindStatic, reinterpret_cast<LPARAM>(&b.text));
        s.boxes.push_back(b);
        int button = GetDlgItem(box, IDYES) ? IDYES : IDOK;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        return;
    }
    if (s.busy) return;
    HWND dlg = FindWindowA("#32770", s.title);
    if (dlg == nullptr || s.next >= s.steps.size()) return;
    s.busy = true;
    s.steps[s.next++](dlg);
    s.busy = false;
}

void RunDialog(Script* script, void (*open)(HWND)) {
    g_script = script;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
    UINT_PTR guard = SetTimer(nullptr, 0, 60000, [](HWND, UINT, UINT_PTR, DWORD) {
        ADD_FAILURE() << "dialog still open after 60 s";
        if (HWND d = FindWindowA("#32770", g_script->title)) EndDialog(d, IDCANCEL);
    });
    open(nullptr);
    KillTimer(nullptr, timer);
    KillTimer(nullptr, guard);
    g_script = nullptr;
}

void Press(HWND dlg, int id) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}
void Choose(HWND dlg, int id, int index) {
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}
void Type(HWND dlg, int id, const char* text) {
    SetDlgItemTextA(dlg, id, text);
    SendDlgItemMessageA(dlg, id, EM_SETMODIFY, TRUE, 0);  // as typing leaves it
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}
std::string Item(HWND dlg, int id) { return Text(GetDlgItem(dlg, id)); }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    // The program writes its reports as text files: CR LF on Windows.
    std::string text;
    for (char c : s.str())
        if (c != '\r') text += c;
    return text;
}

std::string ExeDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\'));
}

std::map<std::string, std::string> Card(int32_t slot) {
    auto state = reinterpret_cast<int32_t (*)(int32_t, char*, int32_t)>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("gpib-32.dll"), "Q90SimCardState")));
    std::map<std::string, std::string> m;
    if (state == nullptr) return m;
    char buf[4096] = "";
    state(slot, buf, sizeof buf);
    std::istringstream in(buf);
    for (std::string line; std::getline(in, line);) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return m;
}

const uint32_t kTypes[8] = {6, 6, 4, 3, 8, 7, 10, 15};

class ChannelDialogs : public ::testing::Test {
  protected:
    std::string dir;

    void SetUp() override {
        dir = ExeDir();
        bSimulator = bNoHardware = bRemoteControlled = false;
        ASSERT_EQ(AllocateTestModel(), 1);
        bSimulator = false;
        ASSERT_TRUE(LoadControlLibrary());
        auto configure = reinterpret_cast<int32_t (*)(const char*, char*, int32_t)>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("gpib-32.dll"), "Q90SimConfigure")));
        ASSERT_NE(configure, nullptr);
        char error[256] = "";
        ASSERT_EQ(configure("timebase real\ncard 0-1 M15-C\ncard 2 M13-B refuse 4 at filter\ncard 3 M12\n"
                            "card 4 M17-B\ncard 5 M16 refuse 64 at gain\ncard 6 M18-A\ncard 7 M21\n"
                            "card 8-255 M13-B\n",
                            error, sizeof error),
                  1)
            << error;
        ChannelParams* p = lpsChannelParams;
        for (int c = 0; c < kChannels; ++c) {
            p->CARDTYPE[c] = c < 8 ? kTypes[c] : 4;
            snprintf(p->NAME[c], sizeof p->NAME[c], "CH%d", c);
        }
        ASSERT_EQ(LoadCardTypes(), 1);
        for (int c : {0, 1, 2, 4, 5}) {
            p->GAIN[c] = 10;
            p->FILTER[c] = 625;
            p->EXCITATIONVOLTAGE[c] = 5;
        }
        for (int c : {3, 6, 7}) p->FILTER[c] = 0;  // Q90CARD.ini's wide band reads as 1
        lpProgScanList->EntryCount = 8;
        lpProgScanList->BlockCount = 1;
        for (uint32_t c = 0; c < 8; ++c) lpProgScanList->Entry[c] = {c, 0, 0, 0};
        snprintf(szTestFile, sizeof szTestFile, "%s\\chan_e2e.mdb", dir.c_str());
        DeleteFileA(LogPath().c_str());
        bParametersDownloaded = false;
        bTestSaved = true;
    }
    void TearDown() override {
        ReleaseControlLibrary();
        ReleaseGpibLibrary();
        FreeTestModel();
    }
    std::string LogPath() const { return dir + "\\chan_e2e.log"; }
};

TEST_F(ChannelDialogs, DownloadScannedReportsTheRefusingCardsAndSetsUpTheOthers) {
    Script s;
    s.title = "Channel Parameters";
    s.steps = {
        [](HWND dlg) { Press(dlg, IDC_CP_DOWNLOADSCANNED); },
        // A variable gain of 0 would reach every division: refused, kept.
        [](HWND dlg) { Type(dlg, IDC_CP_VARGAIN, "0"); },
        [](HWND dlg) {
            EXPECT_EQ(Item(dlg, IDC_CP_VARGAIN), "1.0000");
            // Leaving a field without editing it is no change.
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_CP_UNITS, EN_KILLFOCUS),
                         reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_CP_UNITS)));
        },
        [](HWND dlg) { Press(dlg, IDC_CP_EXIT); },
    };
    RunDialog(&s, OpenChannelParameters);
    ASSERT_GE(s.boxes.size(), 2u);
    EXPECT_EQ(s.boxes[0].caption, "Channel Setup Error");
    EXPECT_EQ(s.boxes[0].text, "Some Channels Failed Setup. View Log File For Details.");
    EXPECT_EQ(s.boxes[1].caption, "Variable Gain Out Of Range");
    EXPECT_EQ(lpsChannelParams->VARIABLEGAIN[0], 1.0);
    EXPECT_TRUE(bTestSaved) << "nothing was changed in the test";
    EXPECT_EQ(ReadText(LogPath()),
              "Channel 2 Named CH2 Failed During Filter Selection ::Bad Parameter\n"
              "Channel 5 Named CH5 Failed During Gain Selection ::Make Sure Channel Is Installed\n");
    EXPECT_FALSE(bParametersDownloaded) << "a failed download does not count";
    for (int c : {0, 1, 4}) {
        auto card = Card(c);
        EXPECT_EQ(std::stod(card["gain"]), 10) << c;
        EXPECT_EQ(std::stod(card["filter"]), 625) << c;
        EXPECT_EQ(std::stod(card["voltage"]), 5) << c;
    }
    EXPECT_EQ(std::stod(Card(2)["gain"]), 1);
    EXPECT_EQ(std::stod(Card(5)["filter"]), 625);
    EXPECT_EQ(std::stod(Card(5)["gain"]), 1);

    // Remote-controlled: code 14 on the error pipe and the failure bits.
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    hErrorPipe = reinterpret_cast<PlatformPipe>(writeEnd);
    bRemoteControlled = true;
    dwRemoteStatus = 0;
    EXPECT_EQ(DownloadScannedChannels(), 0);
    char bytes[128] = "";
    DWORD got = 0;
    ReadFile(readEnd, bytes, sizeof bytes - 1, &got, nullptr);
    EXPECT_EQ(std::string(bytes, got), "WARNING::Channel Setup Error");
    EXPECT_EQ(dwRemoteStatus & 0x800F0000u, 0x800F0000u);
    bRemoteControlled = false;
    hErrorPipe = 0;
    CloseHandle(readEnd);
    CloseHandle(writeEnd);

    // Readback shows what the cards hold.
    Script r;
    r.title = "Review Channel Settings";
    r.steps = {
        [](HWND dlg) {
            EXPECT_EQ(Item(dlg, IDC_UC_GAIN), "10");
            EXPECT_EQ(Item(dlg, IDC_UC_FILTER), "625");
            EXPECT_EQ(Item(dlg, IDC_UC_EXCITATION), "5 Volts");
            EXPECT_EQ(Item(dlg, IDC_UC_NAME), "CH0");
            Choose(dlg, IDC_UC_CHANNEL, 3);
        },
        [](HWND dlg) {
            EXPECT_EQ(Item(dlg, IDC_UC_FILTER), "WideBand");
            EXPECT_EQ(Item(dlg, IDC_UC_VARSTATUS), "DISABLED");
            Press(dlg, IDCANCEL);
        },
    };
    RunDialog(&r, OpenChannelReadback);
    EXPECT_TRUE(r.boxes.empty()) << r.boxes[0].text;
}

TEST_F(ChannelDialogs, VerifyAdoptsTheHardwareOnlyWithApply) {
    // Channel 8 holds an M13-B card; the test calls it an M15-C with the
    // gains of Q90CARD.ini (padded with 1s there, so they differ).
    lpsChannelParams->CARDTYPE[8] = 6;
    ASSERT_EQ(LoadCardTypes(), 1);
    DeleteFileA(HardwareReportPath().c_str());
    auto verify = [](bool apply) {
        Script s;
        s.title = "Verify Channel Hardware";
        s.steps = {
            [apply](HWND dlg) {
                Choose(dlg, IDC_VH_CHANNEL, 8);
                CheckDlgButton(dlg, IDC_VH_NOTEPAD, BST_UNCHECKED);
                CheckDlgButton(dlg, IDC_VH_APPLY, apply ? BST_CHECKED : BST_UNCHECKED);
                Press(dlg, IDC_VH_VERIFY);
            },
            [](HWND dlg) { Press(dlg, IDC_VH_EXIT); },
        };
        RunDialog(&s, OpenVerifyHardware);
        return s.boxes;
    };
    std::vector<Box> boxes = verify(false);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Hardware and Software Settings Mismatch.  Continue?");
    EXPECT_EQ(boxes[1].text, "Done Verifying Channel 8");
    EXPECT_EQ(lpsChannelParams->CARDTYPE[8], 6u);
    EXPECT_TRUE(bTestSaved);
    std::string report = ReadText(HardwareReportPath());
    EXPECT_EQ(report.rfind("**********************HARDWARE INFORMATION***********************\n"
                           "-------------\nChannel 8\n-------------\nModel \t\t400\nSerial Number \t10008\n",
                           0),
              0u)
        << report;

    verify(true);
    EXPECT_EQ(lpsChannelParams->CARDTYPE[8], 4u);
    EXPECT_STREQ(lpsChannelParams->CardModel[8], "M13-B");
    EXPECT_EQ(lpsChannelParams->GainCount[8], 13u);
    EXPECT_EQ(lpsChannelParams->GainList[8][13], 0);
    EXPECT_FALSE(bTestSaved);
    DeleteFileA(HardwareReportPath().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        fprintf(stderr, "usage: channel_dlg_test <gpib-32.dll> <Q90ui.dll> <Q90CARD.ini>\n");
        return 2;
    }
    auto windows = [](std::string p) {
        if (!p.empty() && p[0] == '/') p = "Z:" + p;
        for (char& c : p)
            if (c == '/') c = '\\';
        return p;
    };
    g_gpib = windows(argv[1]);
    g_q90ui = windows(argv[2]);
    g_cardIni = windows(argv[3]);
    // The front end's DLLs where the program looks for them, and the card
    // types in the Windows directory.
    std::string dir = ExeDir();
    char windowsDir[MAX_PATH];
    GetWindowsDirectoryA(windowsDir, MAX_PATH);
    if (!CopyFileA(g_gpib.c_str(), (dir + "\\gpib-32.dll").c_str(), FALSE) ||
        !CopyFileA(g_q90ui.c_str(), (dir + "\\Q90ui.dll").c_str(), FALSE) ||
        !CopyFileA(g_cardIni.c_str(), (std::string(windowsDir) + "\\Q90CARD.ini").c_str(), FALSE)) {
        fprintf(stderr, "channel_dlg_test: cannot place the DLLs and Q90CARD.ini\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
