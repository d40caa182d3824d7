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
#include "channels/five_b_rules.h"
#include "base/status_report.h"
#include "channels/channel_dlg.h"
#include "channels/channel_ids.h"
#include "hardware/channel_download.h"
#include "hardware/control_library.h"
#include "hardware/gpib_access.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"
#include "shell/frame_globals.h"

// What the program's frame owns and these windows use: set by the tests.
HWND hwndWait = nullptr;
HWND hwndMDIClient = nullptr;
int nDownloadChannel = 0;

#include "tests/win32/dialog_driver.h"
#include "tests/win32/front_end_dlls.h"

// Every box is answered Yes, else OK; a dialog without either (the set-ups) is cancelled.
const DialogRules kDialogRules = {DialogIs::Titled, AnswerYesElseOkElseCancel, ""};

namespace {

std::string g_gpib, g_q90ui, g_cardIni;

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

// The commands each card received since the chassis was configured: the
// control library's lines to the DDS, counted from each card's selection.
std::map<int, std::vector<std::string>> CommandsByCard() {
    auto log = reinterpret_cast<int32_t (*)(char*, int32_t)>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("gpib-32.dll"), "Q90SimCommandLog")));
    std::map<int, std::vector<std::string>> byCard;
    if (log == nullptr) return byCard;
    std::vector<char> buf(1 << 20);
    log(buf.data(), static_cast<int32_t>(buf.size()));
    std::istringstream in(buf.data());
    int card = -1;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("29:", 0) != 0) continue;
        std::string command = line.substr(3);
        if (command.rfind("C ", 0) == 0) card = std::stoi(command.substr(2));
        if (card >= 0) byCard[card].push_back(command);
    }
    return byCard;
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
        ASSERT_EQ(ConfigureChassis("timebase real\ncard 0-1 M15-C\ncard 2 M13-B refuse 4 at filter\ncard 3 M12\n"
                                   "card 4 M17-B\ncard 5 M16 refuse 64 at gain\ncard 6 M18-A\ncard 7 M21\n"
                                   "card 8-255 M13-B\n"),
                  "");
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
    // Every scanned card was selected once and the others took all their
    // settings (selection and nine settings); the refusing cards stopped at
    // their stage.  No command reached a card that is not scanned.
    auto commands = CommandsByCard();
    for (int c = 0; c < 8; ++c) {
        ASSERT_FALSE(commands[c].empty()) << c;
        EXPECT_EQ(commands[c][0], "C " + std::to_string(c));
        // A refusal is followed by the library's question for its reason.
        const size_t expected = c == 2 ? 4u : c == 5 ? 8u : 10u;
        EXPECT_EQ(commands[c].size(), expected) << c;
    }
    EXPECT_EQ(commands[2][2].rfind("F ", 0), 0u) << commands[2][2];
    EXPECT_EQ(commands[5][6].rfind("G ", 0), 0u) << commands[5][6];
    EXPECT_EQ(commands[5][7], "E?");
    for (int c = 8; c < kChannels; ++c) EXPECT_EQ(commands.count(c), 0u) << c;
    for (int c : {3, 6, 7}) {
        auto card = Card(c);
        EXPECT_EQ(std::stod(card["filter"]), 0) << c;
        EXPECT_EQ(card["excitationSource"], "2") << c << ": no supply on this card";
    }
    EXPECT_EQ(std::stod(Card(200)["gain"]), 1);

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
            Choose(dlg, IDC_UC_CHANNEL, 5);
        },
        [](HWND dlg) {
            // The card that refused its gain holds its filter and the
            // power-on gain, not the test's 10.
            EXPECT_EQ(Item(dlg, IDC_UC_FILTER), "625");
            EXPECT_EQ(Item(dlg, IDC_UC_GAIN), "1");
            EXPECT_EQ(Item(dlg, IDC_UC_NAME), "CH5");
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

    // Every line of the report for an M13-B card: its model code and serial,
    // then its definition table (unused entries read 0).
    const double gains[16] = {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000, 0, 0, 0};
    const double filters[8] = {0, 625, 1250, 2500, 5000, 0, 0, 0};
    std::string expected = "**********************HARDWARE INFORMATION***********************\n"
                           "-------------\nChannel 8\n-------------\nModel \t\t400\nSerial Number \t10008\n";
    char line[64];
    for (int k = 0; k < 16; ++k) {
        snprintf(line, sizeof line, "Gain%d \t\t%f\n", k, gains[k]);
        expected += line;
    }
    for (int k = 0; k < 8; ++k) {
        snprintf(line, sizeof line, "Filter%d \t%f\n", k, filters[k]);
        expected += line;
    }
    for (int k = 0; k < 10; ++k) {
        snprintf(line, sizeof line, "Voltage%d \t%f\n", k, k + 1.0);
        expected += line;
    }
    for (int k = 0; k < 10; ++k) {
        snprintf(line, sizeof line, "Current%d \t%f\n", k, 5.0 * (k + 1));
        expected += line;
    }
    EXPECT_EQ(report, expected);

    // In simulator mode nothing is asked of the cards and nothing adopted,
    // Apply or not; the report holds the cleared record.
    bSimulator = true;
    boxes = verify(true);
    bSimulator = false;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Done Verifying Channel 8");
    EXPECT_EQ(lpsChannelParams->CARDTYPE[8], 6u);
    EXPECT_EQ(lpsChannelParams->GainCount[8], 16u);
    EXPECT_TRUE(bTestSaved);
    EXPECT_NE(ReadText(HardwareReportPath()).find("Model \t\t0\nSerial Number \t0\nGain0 \t\t0.000000\n"),
              std::string::npos);

    verify(true);
    EXPECT_EQ(lpsChannelParams->CARDTYPE[8], 4u);
    EXPECT_STREQ(lpsChannelParams->CardModel[8], "M13-B");
    EXPECT_EQ(lpsChannelParams->GainCount[8], 13u);
    EXPECT_EQ(lpsChannelParams->GainList[8][13], 0);
    EXPECT_FALSE(bTestSaved);
    DeleteFileA(HardwareReportPath().c_str());
}

// ---- the wait window during a download ------------------------------------------------------
// The dialog's buttons lead to the other parts: the channel's calibration
// states, the DAC and digital set-ups, and a quick plot of the channel
// beside the dialog.
TEST_F(ChannelDialogs, TheButtonsOpenTheCalibrationOutputAndQuickPlotWindows) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = QuickPlotWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QUICKPLOTCLASS";
    RegisterClassA(&wc);
    Script s;
    s.title = "Channel Parameters";
    s.steps = {
        [](HWND dlg) { Press(dlg, IDC_CP_CALIBRATION); },
        [](HWND dlg) { Press(dlg, IDC_CP_DAC); },
        [](HWND dlg) { Press(dlg, IDC_CP_DIGITAL); },
        [](HWND dlg) {
            Press(dlg, IDC_CP_QUICKPLOT);
            HWND plot = FindWindowA("QUICKPLOTCLASS", nullptr);
            ASSERT_NE(plot, nullptr) << "no quick plot of the scanned channel";
            RECT d, q;
            GetWindowRect(dlg, &d);
            GetWindowRect(plot, &q);
            EXPECT_TRUE(q.left >= d.right || q.right <= d.left) << "the plot covers the dialog";
            DestroyWindow(plot);
        },
        [](HWND dlg) { Press(dlg, IDC_CP_EXIT); },
    };
    RunDialog(&s, OpenChannelParameters);
    std::vector<std::string> captions;
    for (const Box& b : s.boxes) captions.push_back(b.caption);
    const std::vector<std::string> expected = {"Calibration States", "Setup M21 Waveform Generator",
                                               "Digital I/O Setup"};
    EXPECT_EQ(captions, expected);
}

struct ProgressSeen {
    std::vector<int> channels;   // nDownloadChannel at each progress message
    std::vector<int> paintsAt;   // repaints of the other window by then
    std::vector<bool> visible;   // the wait window shown
    int paints = 0;
    HWND other = nullptr;
};
ProgressSeen g_seen;

LRESULT CALLBACK WaitStandIn(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == 0x301) {
        g_seen.channels.push_back(nDownloadChannel);
        g_seen.paintsAt.push_back(g_seen.paints);
        g_seen.visible.push_back(IsWindowVisible(hwnd) != FALSE);
        // Something for the program to repaint before the next channel.
        InvalidateRect(g_seen.other, nullptr, TRUE);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK PaintCounter(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        ++g_seen.paints;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeWindow(const char* cls, WNDPROC proc, DWORD style) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = cls;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassA(&wc);
    return CreateWindowA(cls, cls, style, 10, 10, 200, 120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

TEST_F(ChannelDialogs, TheWaitWindowShowsEachChannelWhileTheProgramRepaints) {
    hwndWait = MakeWindow("WaitStandIn", WaitStandIn, WS_POPUP | WS_CAPTION);
    g_seen = ProgressSeen();
    g_seen.other = MakeWindow("PaintCounter", PaintCounter, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(hwndWait && g_seen.other);
    UpdateWindow(g_seen.other);
    g_seen.paints = 0;
    // The failure box at the end is answered by the script's timer.
    Script boxes;
    boxes.title = "no dialog";
    g_script = &boxes;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
    SetChannelDownloadProgress(ShowChannelDownloadProgress);
    EXPECT_EQ(DownloadScannedChannels(), 0);  // two cards refuse
    SetChannelDownloadProgress(nullptr);
    KillTimer(nullptr, timer);
    g_script = nullptr;
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Channel Setup Error");
    EXPECT_EQ(g_seen.channels, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    // Before each channel the window painted what the previous one left.
    EXPECT_EQ(g_seen.paintsAt, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(g_seen.paints, 8);
    EXPECT_EQ(g_seen.visible, std::vector<bool>(8, true));
    EXPECT_FALSE(IsWindowVisible(hwndWait)) << "hidden when the download ended";
    DestroyWindow(g_seen.other);
    DestroyWindow(hwndWait);
    hwndWait = nullptr;
}

// ---- the module window -------------------------------------------------------------------------
LRESULT CALLBACK TestFrame(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefFrameProcA(hwnd, hwndMDIClient, message, wParam, lParam);
}

// Dark pixels in a rectangle of the window's client area.
int DarkPixels(HWND hwnd, int left, int top, int right, int bottom) {
    HDC dc = GetDC(hwnd);
    int dark = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            if (c != CLR_INVALID && GetRValue(c) < 0x60 && GetGValue(c) < 0x60 && GetBValue(c) < 0x60) ++dark;
        }
    ReleaseDC(hwnd, dc);
    return dark;
}

TEST_F(ChannelDialogs, TheModuleWindowShowsThePrimaryChannelsValuesAndSteps) {
    ChannelParams* p = lpsChannelParams;
    p->CARDTYPE[200] = 1;  // a second 5B channel after channel 3 (M12)
    for (int m = 0; m < kFiveBModules; ++m) {
        snprintf(p->FiveB.NAME[3][m], sizeof p->FiveB.NAME[3][m], "MOD%d", m);
        snprintf(p->FiveB.UNITS[3][m], sizeof p->FiveB.UNITS[3][m], "V");
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestFrame;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TestMdiFrame";
    RegisterClassA(&wc);
    HWND frame = CreateWindowA("TestMdiFrame", "frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                               640, 520, nullptr, nullptr, wc.hInstance, nullptr);
    CLIENTCREATESTRUCT ccs = {nullptr, 800};
    hwndMDIClient = CreateWindowA("MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 620, 480,
                                  frame, nullptr, wc.hInstance, &ccs);
    ASSERT_TRUE(frame && hwndMDIClient);

    HWND window = OpenFiveBWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(OpenFiveBWindow(), window) << "one module window at a time";
    EXPECT_EQ(Text(window), "Primary Channel 3's Five B Modules");
    // Channel 3 has one position (3): module 0 has a value, the others none.
    EXPECT_EQ(nFiveBPrimaryChannel, 3);
    EXPECT_EQ(nFiveBOffsets[0], 16 + 2 * 3);
    EXPECT_EQ(nFiveBOffsets[1], -1);

    MoveWindow(window, 0, 0, 400, 400, TRUE);
    RECT r;
    GetClientRect(window, &r);
    const int row = r.bottom / 18;
    ASSERT_GE(row, 8);
    dFiveBValues[0] = 1234.5678;
    SendMessageA(window, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(window), 0);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(0xDE, 0xDE, 0xDE));
    ReleaseDC(window, dc);
    // Row of module m: name at 10 %, value at 50 %, units at 80 % of the width.
    auto cell = [&](int m, int from, int to) {
        return DarkPixels(window, r.right * from / 100, row * (m + 1), r.right * to / 100, row * (m + 2));
    };
    EXPECT_GT(cell(0, 10, 45), 0) << "module 0's name";
    EXPECT_GT(cell(0, 50, 78), 0) << "module 0's value";
    EXPECT_GT(cell(0, 80, 100), 0) << "module 0's units";
    EXPECT_GT(cell(1, 10, 45), 0) << "module 1's name";
    EXPECT_EQ(cell(1, 50, 78), 0) << "module 1 has no position and no value";
    EXPECT_EQ(cell(17, 0, 100), 0) << "nothing below the sixteen rows";

    // A left click and the timing message step through the 5B channels.
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(Text(window), "Primary Channel 200's Five B Modules");
    EXPECT_EQ(nFiveBPrimaryChannel, 200);
    EXPECT_EQ(nFiveBOffsets[0], -1) << "channel 200 is not scanned";
    SendMessageA(window, WM_DISPLAY_TIMING, reinterpret_cast<WPARAM>(window), 0);
    EXPECT_EQ(Text(window), "Primary Channel 3's Five B Modules");
    // Closed, nobody keeps module values any longer.
    SendMessageA(hwndMDIClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
    EXPECT_EQ(nFiveBPrimaryChannel, -1);
    DestroyWindow(frame);
    hwndMDIClient = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        fprintf(stderr, "usage: channel_dlg_test <gpib-32.dll> <Q90ui.dll> <Q90CARD.ini>\n");
        return 2;
    }
    g_gpib = WindowsPath(argv[1]);
    g_q90ui = WindowsPath(argv[2]);
    g_cardIni = WindowsPath(argv[3]);
    // The front end's DLLs where the program looks for them, and the card
    // types in the Windows directory.
    char windowsDir[MAX_PATH];
    GetWindowsDirectoryA(windowsDir, MAX_PATH);
    if (!PlaceFrontEndDlls(g_gpib, g_q90ui) ||
        !CopyFileA(g_cardIni.c_str(), (std::string(windowsDir) + "\\Q90CARD.ini").c_str(), FALSE)) {
        fprintf(stderr, "channel_dlg_test: cannot place the DLLs and Q90CARD.ini\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
