// The displays watching the simulated front end stream known signals in real
// time through the program's own acquisition: the simulated gpib-32.dll and
// Q90ui.dll loaded as the program loads them, the channels and the scan
// table downloaded to the simulated chassis, previewing started from the
// control panel's rules, and the program's message-loop pass (engine pump,
// idle broadcasts) run until every display has drawn transfers it was not
// fed by the test.  What each display drew is then checked against the
// signals the chassis was told to produce: a sine's trace sample by sample,
// its spectrum peak in the right bin, the table's value and colour at, just
// below and just above each limit, the bar heights.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "displays/display_fields.h"
#include "hardware/channel_download.h"
#include "hardware/control_library.h"
#include "hardware/gpib_access.h"
#include "scanlist/scan_table.h"
#include "shell/shell_rules.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"
#include "tests/win32/display_frame.h"
#include "tests/win32/front_end_dlls.h"

HINSTANCE hInst = nullptr;
HWND hwndFrame = nullptr;
HWND hwndMDIClient = nullptr;

namespace {

using namespace display_frame;

constexpr double kPi = 3.14159265358979323846;
constexpr double kMvPerCount = 10000.0 / 2048.0;  // the demonstration test's 12-bit cards at gain 1
constexpr double kSineMv = 4000.0;
constexpr int32_t kSinePeriod = 32;               // samples: bin 512 / 32 = 16 of the spectrum
constexpr int32_t kWarning = 100, kAlarm = 200;   // counts, both signs
// Channels 1-12 hold constants at, just inside and just beyond each limit.
constexpr int32_t kConstCounts[12] = {99, 100, 101, 199, 200, 201, -99, -100, -101, -199, -200, -201};
constexpr COLORREF kNormal = RGB(0, 0, 128), kWarn = RGB(200, 200, 0), kAlarmColour = RGB(255, 0, 0);

std::string g_gpib, g_q90ui;

double Mv(int32_t count) { return count * kMvPerCount; }

COLORREF ExpectedColour(int32_t count) {
    const int32_t magnitude = count < 0 ? -count : count;
    return magnitude > kAlarm ? kAlarmColour : magnitude > kWarning ? kWarn : kNormal;
}

// The properties dialog switches a graph to its spectrum; any other dialog or
// box that comes up is a failure, answered with OK and noted.
std::vector<std::string>* g_boxes = nullptr;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dlg = ThreadDialog();
    if (dlg == nullptr) return;
    if (TitleOf(dlg) == "Scope Parameter Selection")
        SendDlgItemMessageA(dlg, IDC_SCOPE_SPECTRUM, BM_CLICK, 0, 0);
    else if (g_boxes != nullptr)
        g_boxes->push_back(BoxText(dlg));
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
}

// The program's message loop, pass by pass, until `done` or `ms` have passed.
bool RunLoopUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        Pump();
        RunIdlePass(BroadcastIdleStep);
        AcquisitionPump();
        MsgWaitForMultipleObjectsEx(0, nullptr, 2, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return true;
}

class StreamedDisplays : public ::testing::Test {
  protected:
    std::vector<std::string> boxes;
    UINT_PTR timer = 0;

    void SetUp() override {
        bSimulator = bNoHardware = bRemoteControlled = false;
        ASSERT_EQ(AllocateTestModel(), 1);
        LoadDemoDefaults();
        // The channel-setup log goes beside the test.
        snprintf(szTestFile, sizeof szTestFile, "%s\\stream.mdb", ExeDir().c_str());
        DeleteFileA(LogPath().c_str());
        ASSERT_TRUE(LoadControlLibrary());
        g_boxes = &boxes;
        timer = SetTimer(nullptr, 0, 50, Tick);
    }
    void TearDown() override {
        if (bPreviewing || bRecording) PanelStop();
        RunLoopUntil([] { return nDDSRunning == 0; }, 5000);
        KillTimer(nullptr, timer);
        g_boxes = nullptr;
        EnumChildWindows(hwndMDIClient, CloseEnumProc, 0);
        Pump();
        ReleaseControlLibrary();
        ReleaseGpibLibrary();
        FreeTestModel();
        DeleteFileA(LogPath().c_str());
    }
    static std::string LogPath() { return ExeDir() + "\\stream.log"; }
};

TEST_F(StreamedDisplays, EachKindDrawsWhatTheChassisStreams) {
    // Thirteen channels on the demonstration test's 12-bit cards at gain 1:
    // channel 0 the sine, 1-12 the constants.
    ChannelParams* p = lpsChannelParams;
    int32_t channels[13];
    for (int32_t c = 0; c < 13; ++c) {
        channels[c] = c;
        p->GAIN[c] = 1.0;
        p->SENSITIVITY[c] = 1.0;
        p->OFFSET[c] = 0.0;
    }
    ASSERT_EQ(BuildSingleRateTable(channels, 13, 2000.0), 1);
    const double rate = dSampleRate;  // blocks a second, as the front end can take it
    ASSERT_GT(rate, 0.0);
    char chassis[2048];
    int n = snprintf(chassis, sizeof chassis, "timebase real\ncard 0-255 M17-B\nsignal 0 sine %.17g %.17g\n", kSineMv,
                     rate / kSinePeriod);
    for (int32_t c = 1; c <= 12; ++c)
        n += snprintf(chassis + n, sizeof chassis - n, "signal %d const %.17g\n", c, Mv(kConstCounts[c - 1]));
    ASSERT_EQ(ConfigureChassis(chassis), "");
    ASSERT_EQ(DownloadChannelSettings(), 1);
    ASSERT_EQ(DownloadScanTable(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Success: Channels Setup Properly");
    boxes.clear();
    BuildScanMap();
    bParametersDownloaded = true;
    for (int32_t c = 1; c <= 12; ++c) {
        lpCVT->WarningAbove[c] = Mv(kWarning);
        lpCVT->WarningBelow[c] = -Mv(kWarning);
        lpCVT->AlarmAbove[c] = Mv(kAlarm);
        lpCVT->AlarmBelow[c] = -Mv(kAlarm);
        lpCVT->NormalColor[c] = kNormal;
        lpCVT->WarningColor[c] = kWarn;
        lpCVT->AlarmColor[c] = kAlarmColour;
    }

    EnableDisplayDrawLog(true);
    HWND trace = CreateDisplay("OscopeChild", "Trace", 0, 0, 560, 380, "1,0,Arial,-20,400,0,0,0,1,0");
    HWND spectrum = CreateDisplay("OscopeChild", "Spectrum", 560, 0, 560, 380, "1,0,Arial,-20,400,0,0,0,1,0");
    HWND table = CreateDisplay("TabChild", "Table", 0, 380, 560, 560,
                               "1,12,0,1,2,3,4,5,6,7,8,9,10,11,12,1,1,Arial,-14,400,0,0,0,0,0,0,0");
    // Channel 5 (200 counts) on 0 .. 400 counts: half the bar; channel 1 (99
    // counts) on 0 .. 396 counts: a quarter.
    char bars[256];
    snprintf(bars, sizeof bars, "1,2,4,1,5,0,%.9e,255,1,0,%.9e,65280,Arial,-20,400,0,0,0,1", Mv(400), Mv(396));
    HWND bar = CreateDisplay("BarChild", "Bars", 560, 380, 400, 500, bars);
    ASSERT_TRUE(trace && spectrum && table && bar);
    SendMessageA(spectrum, WM_COMMAND, IDM_DISPLAY_PROPERTIES, 0);

    ASSERT_EQ(PanelPlay(), 1) << "previewing did not start";
    DisplayDrawLog* logs[4] = {DisplayDrawLogFor(trace), DisplayDrawLogFor(spectrum), DisplayDrawLogFor(table),
                               DisplayDrawLogFor(bar)};
    for (DisplayDrawLog* log : logs) ASSERT_NE(log, nullptr);
    // Two transfers collected and drawn by both graphs (beyond the drawing
    // they made when they were opened), then two more drawings of the table
    // and the bars from the values of the newest transfer.
    int32_t opened[4];
    for (int i = 0; i < 4; ++i) opened[i] = logs[i]->Draws;
    bool drawn = RunLoopUntil(
        [&] {
            return sEngine.BlockCounter >= 2 && logs[0]->Draws >= opened[0] + 2 && logs[1]->Draws >= opened[1] + 2;
        },
        20000);
    const int32_t tableDraws = logs[2]->Draws, barDraws = logs[3]->Draws;
    drawn = drawn && RunLoopUntil([&] { return logs[2]->Draws >= tableDraws + 2 && logs[3]->Draws >= barDraws + 2; },
                                  5000);
    // The drawings and the simulator's scan start as they were at one moment.
    DisplayDrawLog seen[4];
    for (int i = 0; i < 4; ++i) seen[i] = *logs[i];
    auto scanStart = SimControl<double (*)()>("Q90SimScanStart");
    ASSERT_NE(scanStart, nullptr);
    const double start = scanStart();
    const uint32_t transfers = sEngine.BlockCounter;
    PanelStop();
    ASSERT_TRUE(drawn) << "draws: " << logs[0]->Draws << " " << logs[1]->Draws << " " << logs[2]->Draws << " "
                       << logs[3]->Draws << " after " << transfers << " transfers";
    EXPECT_TRUE(boxes.empty()) << boxes.front();

    // The trace: 512 consecutive samples of channel 0.  Sample n since the
    // scan started is taken at start + n / rate; a period is 32 samples, so
    // the first point's place in its period decides the rest.
    ASSERT_EQ(seen[0].TracePoints, 512);
    auto expectedCounts = [&](int32_t n, int32_t* low, int32_t* high) {
        const double x = kSineMv * sin(2 * kPi * (rate / kSinePeriod) * (start + n / rate)) * 2048.0 / 10000.0;
        *low = *high = static_cast<int32_t>(lround(x));
        if (fabs(fabs(x - floor(x)) - 0.5) < 1e-6) {  // a tie the simulator may round either way
            *low = static_cast<int32_t>(floor(x));
            *high = *low + 1;
        }
    };
    int32_t phase = -1;
    for (int32_t o = 0; o < kSinePeriod && phase < 0; ++o) {
        bool all = true;
        for (int32_t i = 0; i < 512 && all; ++i) {
            int32_t low, high;
            expectedCounts(o + i, &low, &high);
            const int32_t v = seen[0].TraceValue[i];
            all = v == CountToMillivolts(low, 12) || v == CountToMillivolts(high, 12);
        }
        if (all) phase = o;
    }
    EXPECT_GE(phase, 0) << "the trace is not the streamed sine; first points " << seen[0].TraceValue[0] << " "
                        << seen[0].TraceValue[1] << " " << seen[0].TraceValue[2];
    // Its highest point sits 0.4 of the height above the centre per 10 V.
    // With 32 samples a period it lies within cos(pi / 32) of the peak.
    RECT client;
    GetClientRect(trace, &client);
    int32_t top = 0;
    for (int32_t i = 1; i < 512; ++i)
        if (seen[0].TraceValue[i] > seen[0].TraceValue[top]) top = i;
    EXPECT_NEAR(seen[0].TraceY[top], client.bottom / 2 - 0.4 * client.bottom * seen[0].TraceValue[top] / 10000.0, 1.0);
    EXPECT_NEAR(seen[0].TraceValue[top], kSineMv, kSineMv * (1 - cos(kPi / kSinePeriod)) + kMvPerCount);

    // The spectrum: one peak, in bin 16 (points 32 and 33), about the sine's
    // amplitude high; nothing of note elsewhere.
    int32_t peak = 1;
    for (int32_t k = 1; k < 256; ++k)
        if (seen[1].TraceValue[2 * k] > seen[1].TraceValue[2 * peak]) peak = k;
    EXPECT_EQ(peak, 512 / kSinePeriod);
    EXPECT_NEAR(seen[1].TraceValue[2 * peak], kSineMv, 0.02 * kSineMv);
    for (int32_t k = 1; k < 256; ++k) {
        if (k == peak) continue;
        EXPECT_LT(seen[1].TraceValue[2 * k], 0.01 * kSineMv) << "bin " << k;
    }

    // The table: every constant with its raw count, its value and its colour.
    ASSERT_EQ(seen[2].Rows, 12);
    for (int32_t r = 0; r < 12; ++r) {
        const DrawnRow& row = seen[2].Row[r];
        const int32_t count = kConstCounts[r];
        char eu[40];
        FormatDisplayNumber(static_cast<float>(Mv(count)), 6, eu, sizeof eu);
        EXPECT_EQ(row.Channel, r + 1);
        EXPECT_EQ(std::string(row.Raw), std::to_string(count)) << "channel " << r + 1;
        EXPECT_STREQ(row.Eu, eu) << "channel " << r + 1;
        EXPECT_EQ(row.Colour, ExpectedColour(count)) << "channel " << r + 1 << " at " << count << " counts";
    }

    // The bars: filled from the bottom to half and a quarter of their scale,
    // and so on the screen; channel 5, beyond its warning limit, in the
    // warning colour, channel 1 in the bar's own.
    GetClientRect(bar, &client);
    const int32_t barTop = static_cast<int32_t>(0.2f * client.bottom);
    const int32_t barBottom = static_cast<int32_t>(0.8f * client.bottom);
    ASSERT_EQ(seen[3].Bars, 2);
    const double fraction[2] = {0.5, 0.25};
    const COLORREF colour[2] = {kWarn, RGB(0, 255, 0)};
    for (int32_t i = 0; i < 2; ++i) {
        const DrawnBar& b = seen[3].Bar[i];
        EXPECT_EQ(b.Base, barBottom);
        EXPECT_EQ(b.End, barBottom - static_cast<int32_t>(lround(fraction[i] * (barBottom - barTop)))) << i;
        EXPECT_EQ(b.Colour, colour[i]);
        EXPECT_EQ(Pixel(bar, (b.Left + b.Right) / 2, (b.Base + b.End) / 2), colour[i]) << i;
        EXPECT_EQ(Pixel(bar, (b.Left + b.Right) / 2, (b.End + barTop) / 2), RGB(255, 255, 255)) << i;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: display_stream_test <gpib-32.dll> <Q90ui.dll>\n");
        return 2;
    }
    g_gpib = WindowsPath(argv[1]);
    g_q90ui = WindowsPath(argv[2]);
    if (!PlaceFrontEndDlls(g_gpib, g_q90ui)) {
        fprintf(stderr, "display_stream_test: cannot place the front end's DLLs beside the test\n");
        return 2;
    }
    if (!OpenFrame(1200, 1000)) {
        fprintf(stderr, "display_stream_test: cannot open the frame\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
