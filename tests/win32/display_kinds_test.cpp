// The graph, tabular and bar displays in-process under Wine: real MDI
// children of a frame, fed known samples through the transfer buffers and
// the CVT, checked against what they passed to GDI (the drawing log) and
// against the pixels on screen; the properties dialog switching the graph to
// its spectrum; and a screen set saved, closed and rebuilt.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "displays/display_fields.h"
#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "platform/win32/win32_platform.h"
#include "scanlist/scan_table.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"
#include "tests/win32/display_frame.h"

// The frame's handles the display code refers to; the test is the frame.
HINSTANCE hInst = nullptr;
HWND hwndFrame = nullptr;
HWND hwndMDIClient = nullptr;

namespace {

using namespace display_frame;

constexpr double kPi = 3.14159265358979323846;

std::vector<HWND> Children() {
    std::vector<HWND> out;
    for (HWND h = GetWindow(hwndMDIClient, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
        if (GetWindow(h, GW_OWNER) == nullptr) out.push_back(h);
    return out;
}

RECT RectInClient(HWND h) {
    RECT rc;
    GetWindowRect(h, &rc);
    MapWindowPoints(HWND_DESKTOP, hwndMDIClient, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Message boxes and the properties dialog are driven from a thread timer
// inside their modal loops.
struct Driver {
    std::vector<std::string> boxes;  // "caption: text"
    int spectrumClicks = 0;
};
Driver* g_driver = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dlg = ThreadDialog();
    if (dlg == nullptr || g_driver == nullptr) return;
    if (TitleOf(dlg) == "Scope Parameter Selection") {
        SendDlgItemMessageA(dlg, IDC_SCOPE_SPECTRUM, BM_CLICK, 0, 0);
        ++g_driver->spectrumClicks;
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
        return;
    }
    g_driver->boxes.push_back(BoxText(dlg));
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

class DisplayWindows : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(AllocateTestModel(), 1);
        ASSERT_TRUE(OpenFrame(1100, 900));
        Pump();
    }

    void SetUp() override {
        EnumChildWindows(hwndMDIClient, CloseEnumProc, 0);
        Pump();
        bSimulator = bRecording = bPreviewing = bPlaying = false;
        dwReplayDelay = 0;
        ClearScanTable();
        EnableDisplayDrawLog(true);
        driver = Driver{};
        g_driver = &driver;
        timer = SetTimer(nullptr, 0, 50, Tick);
    }
    void TearDown() override {
        KillTimer(nullptr, timer);
        g_driver = nullptr;
        bRecording = false;
    }

    static HWND Create(const char* cls, const char* title, int x, int y, int w, int h, const char* creation) {
        return CreateDisplay(cls, title, x, y, w, h, creation);
    }
    static void SetScan(std::initializer_list<int32_t> channels) {
        uint32_t p = 0;
        for (int32_t c : channels) {
            lpProgScanList->Entry[p].CHANNEL = static_cast<uint32_t>(c);
            lpProgScanList->Entry[p].BLOCK = 0;
            ++p;
        }
        lpProgScanList->EntryCount = p;
        lpProgScanList->BlockCount = 1;
        BuildScanMapTo(nullptr);
        for (int32_t c = 0; c < kChannels; ++c) nChannelAdcBits[c] = 16;
    }

    Driver driver;
    UINT_PTR timer = 0;
};

// A transfer of `scans` scans of channels {0, 1}: channel 0 carries a sine
// of `cycles` periods per 512 scans at `amplitude` counts.
void FillTransfer(uint16_t* buffer, int32_t scans, int32_t cycles, double amplitude) {
    for (int32_t k = 0; k < scans; ++k) {
        uint16_t* scan = buffer + k * 10;
        for (int i = 0; i < 8; ++i) scan[i] = 0;
        scan[0] = 0xFE6B;
        scan[8] = static_cast<uint16_t>(static_cast<int16_t>(lround(amplitude * sin(2 * kPi * cycles * k / 512.0))));
        scan[9] = 0;
    }
    sEngine.ScanBytes = 20;
    sEngine.TransferBytes = static_cast<uint32_t>(scans * 20);
}

int32_t Millivolts(int16_t count) { return static_cast<int32_t>(count * 0.30517578125); }

TEST_F(DisplayWindows, GraphDrawsTheSineItIsFedAndItsSpectrumPeak) {
    SetScan({0, 1});
    HWND g = Create("OscopeChild", "Scope", 0, 0, 600, 400, "1,0,Arial,-20,400,0,0,0,1,0");
    ASSERT_NE(g, nullptr);
    RECT client;
    GetClientRect(g, &client);
    FillTransfer(lpucNewData0, 600, 8, 16000.0);
    sEngine.BlockCounter = 1;  // odd: the newest transfer is buffer 0
    bRecording = true;
    SendMessageA(g, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(g), 0);
    DisplayDrawLog* log = DisplayDrawLogFor(g);
    ASSERT_NE(log, nullptr);
    ASSERT_GE(log->Draws, 1);
    ASSERT_EQ(log->TracePoints, 512);
    const int32_t h = client.bottom;
    for (int32_t i = 0; i < 512; ++i) {
        int16_t count = static_cast<int16_t>(lround(16000.0 * sin(2 * kPi * 8 * i / 512.0)));
        ASSERT_EQ(log->TraceValue[i], Millivolts(count)) << i;
        // Full scale (10 V at gain 1) lands 0.4 H from the centre.
        ASSERT_EQ(log->TraceY[i], h / 2 - static_cast<int32_t>(lround(Millivolts(count) / 10000.0 * 0.4 * h))) << i;
    }
    // The top of the first period is where the green trace was drawn.
    EXPECT_EQ(Pixel(g, log->TraceX[16], log->TraceY[16]), RGB(0, 255, 0));

    // The properties dialog switches the style; the next transfer shows the
    // amplitude spectrum with its peak in bin 8 (points 16 and 17).
    SendMessageA(g, WM_COMMAND, IDM_DISPLAY_PROPERTIES, 0);
    EXPECT_EQ(driver.spectrumClicks, 1);
    sEngine.BlockCounter = 3;
    const int32_t drawsBefore = log->Draws;
    SendMessageA(g, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(g), 0);
    ASSERT_GT(log->Draws, drawsBefore);
    int32_t peak = 1;
    for (int32_t k = 1; k < 256; ++k)
        if (log->TraceValue[2 * k] > log->TraceValue[2 * peak]) peak = k;
    EXPECT_EQ(peak, 8);
    EXPECT_NEAR(log->TraceValue[16], Millivolts(16000), 3);
    EXPECT_EQ(log->TraceValue[16], log->TraceValue[17]);
    EXPECT_LT(log->TraceValue[2 * 20], 10);
    EXPECT_TRUE(driver.boxes.empty()) << driver.boxes.front();
}

TEST_F(DisplayWindows, TableShowsValueAndColourAtJustBelowAndJustAboveEachLimit) {
    for (int32_t c = 0; c < 3; ++c) {
        lpCVT->AlarmBelow[c] = -100;
        lpCVT->AlarmAbove[c] = 100;
        lpCVT->WarningBelow[c] = -50;
        lpCVT->WarningAbove[c] = 50;
        lpCVT->NormalColor[c] = RGB(0, 0, 128);
        lpCVT->WarningColor[c] = RGB(200, 200, 0);
        lpCVT->AlarmColor[c] = RGB(255, 0, 0);
    }
    HWND t = Create("TabChild", "Table", 0, 0, 500, 300, "1,3,0,0,1,2,1,1,Arial,-20,400,0,0,0,0,0,0,0");
    ASSERT_NE(t, nullptr);
    const COLORREF N = RGB(0, 0, 128), W = RGB(200, 200, 0), A = RGB(255, 0, 0);
    struct Round {
        double v[3];
        COLORREF colour[3];
    } rounds[] = {
        {{49.99, 50.0, 50.01}, {N, N, W}},
        {{-49.99, -50.0, -50.01}, {N, N, W}},
        {{99.99, 100.0, 100.01}, {W, W, A}},
        {{-99.99, -100.0, -100.01}, {W, W, A}},
    };
    for (const Round& r : rounds) {
        for (int32_t c = 0; c < 3; ++c) {
            lpCVT->Value[c] = r.v[c];
            lpCVT->Format[c] = 1000 + c;
        }
        DisplayDrawLog* log = DisplayDrawLogFor(t);
        ASSERT_NE(log, nullptr);
        const int32_t before = log->Draws;
        // Priority 1: one drawing every second update.
        SendMessageA(t, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(t), 0);
        SendMessageA(t, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(t), 0);
        ASSERT_EQ(log->Draws, before + 1);
        ASSERT_EQ(log->Rows, 3);
        for (int32_t c = 0; c < 3; ++c) {
            char eu[40];
            FormatDisplayNumber(static_cast<float>(r.v[c]), 6, eu, sizeof eu);
            EXPECT_EQ(log->Row[c].Channel, c);
            EXPECT_STREQ(log->Row[c].Eu, eu) << r.v[c];
            EXPECT_EQ(log->Row[c].Colour, r.colour[c]) << r.v[c];
            EXPECT_EQ(std::string(log->Row[c].Raw), std::to_string(1000 + c));
        }
    }
}

TEST_F(DisplayWindows, BarsRiseFromTheirBaseToTheValueInTheirColour) {
    for (int32_t c = 0; c < 2; ++c) {
        lpCVT->AlarmBelow[c] = -1e6;
        lpCVT->AlarmAbove[c] = 1e6;
        lpCVT->WarningBelow[c] = -1e5;
        lpCVT->WarningAbove[c] = 1e5;
    }
    HWND b = Create("BarChild", "Bars", 0, 0, 400, 500,
                    "1,2,4,1,0,0.000e+00,1.000e+02,255,1,-5.000e+01,-1.000e+01,65280,Arial,-20,400,0,0,0,1");
    ASSERT_NE(b, nullptr);
    RECT client;
    GetClientRect(b, &client);
    lpCVT->Value[0] = 25.0;
    lpCVT->Value[1] = -30.0;
    bRecording = true;
    SendMessageA(b, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(b), 0);
    SendMessageA(b, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(b), 0);
    DisplayDrawLog* log = DisplayDrawLogFor(b);
    ASSERT_NE(log, nullptr);
    ASSERT_EQ(log->Bars, 2);
    const int32_t top = static_cast<int32_t>(0.2f * client.bottom), bottom = static_cast<int32_t>(0.8f * client.bottom);
    const DrawnBar& b0 = log->Bar[0];
    const DrawnBar& b1 = log->Bar[1];
    EXPECT_EQ(b0.Base, bottom);  // 0 .. 100: from the bottom edge
    EXPECT_EQ(b0.End, bottom - static_cast<int32_t>(lround(0.25 * (bottom - top))));
    EXPECT_EQ(b0.Colour, RGB(255, 0, 0));
    EXPECT_EQ(b1.Base, top);     // -50 .. -10: from the top edge
    EXPECT_EQ(b1.End, bottom - static_cast<int32_t>(lround(0.5 * (bottom - top))));
    EXPECT_EQ(b1.Colour, RGB(0, 255, 0));
    const int xm0 = (b0.Left + b0.Right) / 2;
    EXPECT_EQ(Pixel(b, xm0, (b0.Base + b0.End) / 2), RGB(255, 0, 0));
    EXPECT_EQ(Pixel(b, xm0, (b0.End + top) / 2), RGB(255, 255, 255));  // above the value: empty bar
    const int xm1 = (b1.Left + b1.Right) / 2;
    EXPECT_EQ(Pixel(b, xm1, (b1.Base + b1.End) / 2), RGB(0, 255, 0));
    EXPECT_EQ(Pixel(b, xm1, (b1.End + bottom) / 2), RGB(255, 255, 255));
    // Above the maximum the whole bar is filled.
    lpCVT->Value[0] = 1e4;
    SendMessageA(b, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(b), 0);
    SendMessageA(b, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(b), 0);
    EXPECT_EQ(log->Bar[0].End, top);
    EXPECT_EQ(Pixel(b, xm0, top + 2), RGB(255, 0, 0));
}

TEST_F(DisplayWindows, SimulatedAndReplayedDataReachTheWindows) {
    SetScan({0, 5});
    HWND g = Create("OscopeChild", "Scope", 0, 0, 600, 400, "1,0,Arial,-20,400,0,0,0,1,0");
    HWND t = Create("TabChild", "Table", 600, 0, 400, 300, "1,2,0,0,5,1,1,Arial,-20,400,0,0,0,0,0,0,0");
    ASSERT_TRUE(g && t);
    DisplayDrawLog* glog = DisplayDrawLogFor(g);
    DisplayDrawLog* tlog = DisplayDrawLogFor(t);
    ASSERT_TRUE(glog && tlog);

    // Simulator, previewing: a sine of 640 samples on the even channel, and
    // every raw word stepping by 100.
    bSimulator = bPreviewing = true;
    lpCVT->Format[5] = 400;
    const int32_t graphDraws = glog->Draws;
    SendMessageA(g, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(g), 0);
    SendMessageA(t, WM_DISPLAY_UPDATE, reinterpret_cast<WPARAM>(t), 0);
    ASSERT_EQ(glog->Draws, graphDraws + 1);
    for (int32_t i = 0; i < 512; ++i)
        ASSERT_EQ(glog->TraceValue[i],
                  Millivolts(static_cast<int16_t>(static_cast<int32_t>(sin(2 * kPi * i / 640) * 32767)))) << i;
    ASSERT_GE(tlog->Rows, 2);
    EXPECT_EQ(tlog->Row[1].Channel, 5);
    EXPECT_STREQ(tlog->Row[1].Raw, "500");
    bSimulator = bPreviewing = false;

    // Replay of a recording: the graph shows the channel's first 512
    // samples, the table the first scan; the second step moves both on.
    const std::string base = "zd418_display_replay";
    snprintf(szTestFile, sizeof szTestFile, "%s.mdb", base.c_str());
    FILE* f = fopen((base + ".raw").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int32_t k = 0; k < 600; ++k) {
        uint16_t scan[10] = {0xFE6B};
        scan[8] = static_cast<uint16_t>(3 * k);
        scan[9] = static_cast<uint16_t>(-k);
        fwrite(scan, sizeof scan, 1, f);
    }
    fclose(f);
    nPlayMode = 0;
    bPlaying = true;
    SendMessageA(g, WM_DISPLAY_STOP, reinterpret_cast<WPARAM>(g), 0);
    SendMessageA(t, WM_DISPLAY_STOP, reinterpret_cast<WPARAM>(t), 0);
    const int32_t tableDraws = tlog->Draws;
    SendMessageA(g, WM_DISPLAY_PLAY, reinterpret_cast<WPARAM>(g), 0);
    SendMessageA(t, WM_DISPLAY_PLAY, reinterpret_cast<WPARAM>(t), 0);
    EXPECT_EQ(glog->TraceValue[0], 0);
    EXPECT_EQ(glog->TraceValue[511], Millivolts(3 * 511));
    ASSERT_EQ(tlog->Draws, tableDraws + 1);
    EXPECT_STREQ(tlog->Row[0].Raw, "0");
    SendMessageA(g, WM_DISPLAY_PLAY, reinterpret_cast<WPARAM>(g), 0);
    SendMessageA(t, WM_DISPLAY_PLAY, reinterpret_cast<WPARAM>(t), 0);
    EXPECT_EQ(glog->TraceValue[0], Millivolts(3 * 50));
    EXPECT_STREQ(tlog->Row[0].Raw, "3");
    EXPECT_STREQ(tlog->Row[1].Raw, "-1");
    EXPECT_TRUE(bPlaying);
    // 600 samples: the next graph step would pass the end and ends the replay.
    SendMessageA(g, WM_DISPLAY_PLAY, reinterpret_cast<WPARAM>(g), 0);
    EXPECT_FALSE(bPlaying);
    remove((base + ".raw").c_str());
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    std::vector<std::string> lines;
    std::string text = ss.str(), line;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

void SaveScreenTo(const std::string& path) {
    snprintf(lpCVT->ScreenFile, sizeof lpCVT->ScreenFile, "%s", path.c_str());
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    Broadcast(StoreEnumProc);
    lpCVT->ScreenLoaded = 0;
}

struct Seen {
    std::string cls, title;
    RECT rc;
};
std::vector<Seen> Arrangement() {
    std::vector<Seen> out;
    for (HWND h : Children()) out.push_back({ClassOf(h), TitleOf(h), RectInClient(h)});
    std::sort(out.begin(), out.end(), [](const Seen& a, const Seen& b) { return a.title < b.title; });
    return out;
}

TEST_F(DisplayWindows, AScreenSetIsRebuiltWithTheSameWindowsAndFields) {
    SetScan({0, 1, 2, 3});
    Create("OscopeChild", "A scope", 10, 10, 420, 300, "3,2,Courier New,-17,700,1,0,0,0,255");
    Create("TabChild", "B table", 440, 10, 400, 280, "2,3,1,5,6,7,0,1,Times New Roman,-15,400,0,0,0,1,65280,1,0");
    Create("BarChild", "C bars", 10, 320, 500, 360,
           "4,2,4,1,3,-1.500e+02,2.500e+02,16711680,1,0.000e+00,1.000e+01,32768,Arial,-20,700,0,0,0,0");
    Pump();
    const std::vector<Seen> before = Arrangement();
    ASSERT_EQ(before.size(), 3u);
    const std::string first = "zd418_display_screen_1.dsw", second = "zd418_display_screen_2.dsw";
    SaveScreenTo(first);
    const std::vector<std::string> saved = Lines(first);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_NE(saved[0].find("BAR,10,320,500,360,C bars,4,2,4,1,3,-1.500e+02,2.500e+02,16711680,"), std::string::npos)
        << saved[0];
    EXPECT_NE(saved[1].find("OSCOPE,10,10,420,300,A scope,3,2,Courier New,"), std::string::npos) << saved[1];
    EXPECT_NE(saved[2].find("TABULAR,440,10,400,280,B table,2,3,1,5,6,7,0,1,Times New Roman,-15,400"),
              std::string::npos)
        << saved[2];

    lpCVT->ScreenLoaded = 1;
    ASSERT_EQ(RebuildDisplaysFromScreen(first.c_str()), 1);
    Pump();
    EXPECT_EQ(lpCVT->ScreenLoaded, 0u);
    const std::vector<Seen> after = Arrangement();
    ASSERT_EQ(after.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(after[i].cls, before[i].cls);
        EXPECT_EQ(after[i].title, before[i].title);
        EXPECT_TRUE(EqualRect(&after[i].rc, &before[i].rc)) << after[i].title;
    }
    // Channels, scales, fonts and colours: the rebuilt windows write the
    // same records.
    SaveScreenTo(second);
    EXPECT_EQ(Lines(second), saved);

    // A file that cannot be opened still closes the displays first; an empty
    // one says "Read Error".
    EXPECT_EQ(RebuildDisplaysFromScreen("zd418_no_such_screen.dsw"), 0);
    Pump();
    EXPECT_TRUE(Children().empty());
    FILE* f = fopen(second.c_str(), "wb");
    fclose(f);
    EXPECT_EQ(RebuildDisplaysFromScreen(second.c_str()), 0);
    ASSERT_EQ(driver.boxes.size(), 2u);
    EXPECT_NE(driver.boxes[0].find("Error loading screen file zd418_no_such_screen.dsw"), std::string::npos)
        << driver.boxes[0];
    EXPECT_NE(driver.boxes[1].find("Read Error"), std::string::npos) << driver.boxes[1];
    remove(first.c_str());
    remove(second.c_str());
}

}  // namespace
