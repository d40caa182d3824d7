// Displays printed through the real print path under Wine: a graph fed a
// known sine and a table with one value in each alarm state are printed by
// the frame's print broadcast on the default printer (the PDF queue of
// scripts/print_queue.sh).  display_print_test.sh runs this program twice:
// "print DIR" prints and writes the displays' client sizes to DIR, then,
// after the PDFs arrived and were rendered by pdftoppm, "check ..." reads the
// pages as images and the graph page's text and checks what was printed.
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
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "displays/display_wnd.h"
#include "platform/win32/win32_platform.h"
#include "print/print_job_wnd.h"
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
constexpr int32_t kCycles = 8;         // sine periods per 512 samples
constexpr double kAmplitude = 16000.0;  // counts: 4882 mV, about half of full scale

std::string g_mode;
std::vector<std::string> g_args;

// The table's three rows: normal, warning and alarm, each in its own colour.
const COLORREF kNormal = RGB(0, 160, 0), kWarning = RGB(255, 160, 0), kAlarm = RGB(255, 0, 0);
const double kRowValues[3] = {10.0, 75.0, 150.0};

int32_t Millivolts(int16_t count) { return static_cast<int32_t>(count * 0.30517578125); }
int16_t SineCount(int32_t i) { return static_cast<int16_t>(lround(kAmplitude * sin(2 * kPi * kCycles * i / 512.0))); }

// ---- the print step ------------------------------------------------------------------------------
// A transfer of channels {0, 1}: channel 0 carries the sine.
void FillTransfer(uint16_t* buffer, int32_t scans) {
    for (int32_t k = 0; k < scans; ++k) {
        uint16_t* scan = buffer + k * 10;
        for (int i = 0; i < 10; ++i) scan[i] = 0;
        scan[0] = 0xFE6B;
        scan[8] = static_cast<uint16_t>(SineCount(k));
    }
    sEngine.ScanBytes = 20;
    sEngine.TransferBytes = static_cast<uint32_t>(scans * 20);
}

class PrintStep : public ::testing::Test {
  protected:
    void SetUp() override {
        if (g_mode != "print") GTEST_SKIP() << "run by display_print_test.sh in its print step";
    }
};

TEST_F(PrintStep, GraphAndTablePrintThroughTheFramesBroadcast) {
    ASSERT_EQ(AllocateTestModel(), 1);
    ASSERT_TRUE(OpenFrame(1100, 800));
    Pump();

    ClearScanTable();
    lpProgScanList->Entry[0] = {0, 0, 0, 0};
    lpProgScanList->Entry[1] = {1, 0, 0, 0};
    lpProgScanList->EntryCount = 2;
    lpProgScanList->BlockCount = 1;
    BuildScanMapTo(nullptr);
    for (int32_t c = 0; c < kChannels; ++c) nChannelAdcBits[c] = 16;
    for (int32_t c = 0; c < 3; ++c) {
        lpCVT->WarningBelow[c] = -50;
        lpCVT->WarningAbove[c] = 50;
        lpCVT->AlarmBelow[c] = -100;
        lpCVT->AlarmAbove[c] = 100;
        lpCVT->NormalColor[c] = kNormal;
        lpCVT->WarningColor[c] = kWarning;
        lpCVT->AlarmColor[c] = kAlarm;
        lpCVT->Value[c] = kRowValues[c];
    }

    HWND graph = CreateDisplay("OscopeChild", "Printed Scope", 0, 0, 600, 400, "1,0,Arial,-20,400,0,0,0,1,0");
    HWND table = CreateDisplay("TabChild", "Printed Table", 600, 0, 420, 300, "1,3,0,0,1,2,1,1,Arial,-20,400,0,0,0,0,0,0,0");
    ASSERT_TRUE(graph && table);
    FillTransfer(lpucNewData0, 600);
    sEngine.BlockCounter = 1;  // odd: the newest transfer is buffer 0
    bRecording = true;
    EnableDisplayDrawLog(true);
    Broadcast(UpdateEnumProc);
    Broadcast(UpdateEnumProc);  // the table draws every second update
    bRecording = false;
    // The graph holds the sine before it goes to paper.
    DisplayDrawLog* log = DisplayDrawLogFor(graph);
    ASSERT_NE(log, nullptr);
    ASSERT_EQ(log->TracePoints, 512);
    for (int32_t i = 0; i < 512; ++i) ASSERT_EQ(log->TraceValue[i], Millivolts(SineCount(i))) << i;

    HDC printer = CreateDefaultPrinterDC();
    ASSERT_NE(printer, nullptr) << "no default printer";
    Broadcast(PrintEnumProc, reinterpret_cast<LPARAM>(printer));
    DeleteDC(printer);

    // The check step maps the displays' logical coordinates onto the pages.
    RECT g, t;
    GetClientRect(graph, &g);
    GetClientRect(table, &t);
    std::ofstream sizes(g_args.at(0) + "\\sizes.txt");
    sizes << g.right << " " << g.bottom << " " << t.right << " " << t.bottom << "\n";
    ASSERT_TRUE(sizes.good());
}

// ---- the check step: the printed pages ----------------------------------------------------------
struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
};

Image ReadPpm(const std::string& path) {
    Image img;
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    f >> magic >> img.w >> img.h >> maxval;
    f.get();
    if (magic != "P6" || maxval != 255 || img.w <= 0 || img.h <= 0) return Image{};
    img.rgb.resize(static_cast<size_t>(img.w) * img.h * 3);
    f.read(reinterpret_cast<char*>(img.rgb.data()), static_cast<std::streamsize>(img.rgb.size()));
    if (!f) return Image{};
    return img;
}

std::string ReadText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    std::string out;
    for (char c : s.str()) {
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out += c;
    }
    return out;
}

bool Near(const uint8_t* p, COLORREF c) {
    return abs(p[0] - GetRValue(c)) < 40 && abs(p[1] - GetGValue(c)) < 40 && abs(p[2] - GetBValue(c)) < 40;
}
bool White(const uint8_t* p) { return p[0] > 240 && p[1] > 240 && p[2] > 240; }

// The printed display: the box around everything not white on the page.
struct Box {
    int left, top, right, bottom;
};
Box InkBox(const Image& img) {
    Box b = {img.w, img.h, -1, -1};
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (!White(img.At(x, y))) {
                b.left = std::min(b.left, x);
                b.top = std::min(b.top, y);
                b.right = std::max(b.right, x);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

class PrintedPages : public ::testing::Test {
  protected:
    void SetUp() override {
        if (g_mode != "check") GTEST_SKIP() << "run by display_print_test.sh in its check step";
        std::ifstream f(g_args.at(0));
        f >> graphW >> graphH >> tableW >> tableH;
        ASSERT_TRUE(f && graphW > 0 && graphH > 0 && tableW > 0 && tableH > 0) << g_args.at(0);
    }
    int graphW = 0, graphH = 0, tableW = 0, tableH = 0;
};

TEST_F(PrintedPages, GraphPageTracesTheSineWithItsLabels) {
    const Image page = ReadPpm(g_args.at(1));
    ASSERT_GT(page.w, 0) << g_args.at(1);
    // The display's frame spans the page's printable width, its height in
    // the same proportion.
    const Box box = InkBox(page);
    ASSERT_GT(box.right, box.left);
    const double scale = static_cast<double>(box.right - box.left) / graphW;
    EXPECT_GT(box.right - box.left, page.w * 3 / 4);
    EXPECT_NEAR(box.bottom - box.top, scale * graphH, 3 + scale);

    // Every point of the sine, placed from the signal itself: 512 points
    // from a tenth of the width, 10 V full scale over 0.4 of the height
    // from the centre.
    const int tolerance = 2 + static_cast<int>(scale);
    int hits = 0;
    for (int32_t i = 0; i < 512; ++i) {
        const double x = graphW / 10 + i * graphW / 600;
        const double y = graphH / 2 - Millivolts(SineCount(i)) / 10000.0 * 0.4 * graphH;
        const int px = box.left + static_cast<int>(lround(x * scale));
        const int py = box.top + static_cast<int>(lround(y * scale));
        bool found = false;
        for (int dy = -tolerance; dy <= tolerance && !found; ++dy)
            for (int dx = -tolerance; dx <= tolerance && !found; ++dx) {
                const int qx = px + dx, qy = py + dy;
                found = qx >= 0 && qy >= 0 && qx < page.w && qy < page.h && Near(page.At(qx, qy), RGB(0, 255, 0));
            }
        hits += found;
    }
    EXPECT_GE(hits, 500) << "of 512 sine points found on the trace";

    // And nothing green outside the sine's band: the trace swings by the
    // amplitude, not beyond.
    const double swing = Millivolts(static_cast<int16_t>(kAmplitude)) / 10000.0 * 0.4 * graphH * scale;
    const double centre = box.top + graphH / 2 * scale;
    int top = page.h, bottom = -1;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            if (Near(page.At(x, y), RGB(0, 255, 0))) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(bottom, 0) << "no trace on the page";
    EXPECT_NEAR(top, centre - swing, tolerance + 1);
    EXPECT_NEAR(bottom, centre + swing, tolerance + 1);

    const std::string text = ReadText(g_args.at(2));
    EXPECT_NE(text.find("mV per Div RTI"), std::string::npos) << text;
}

TEST_F(PrintedPages, TablePageShowsEachRowInItsAlarmColour) {
    const Image page = ReadPpm(g_args.at(3));
    ASSERT_GT(page.w, 0) << g_args.at(3);
    const Box box = InkBox(page);
    ASSERT_GT(box.right, box.left);
    EXPECT_GT(box.right - box.left, page.w * 3 / 4);
    // The three values in their colours, one row under the other.
    const COLORREF colours[3] = {kNormal, kWarning, kAlarm};
    int rowTop[3], rowBottom[3], count[3];
    for (int r = 0; r < 3; ++r) {
        rowTop[r] = page.h;
        rowBottom[r] = -1;
        count[r] = 0;
        for (int y = box.top; y <= box.bottom; ++y)
            for (int x = box.left; x <= box.right; ++x)
                if (Near(page.At(x, y), colours[r])) {
                    rowTop[r] = std::min(rowTop[r], y);
                    rowBottom[r] = std::max(rowBottom[r], y);
                    ++count[r];
                }
        EXPECT_GT(count[r], 20) << "row " << r << " in its colour";
    }
    EXPECT_LT(rowBottom[0], rowTop[1]);
    EXPECT_LT(rowBottom[1], rowTop[2]);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: display_print_test print DIR | check SIZES GRAPH.ppm GRAPH.txt TABLE.ppm\n");
        return 2;
    }
    g_mode = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string p = argv[i];
        if (!p.empty() && p[0] == '/') p = "Z:" + p;
        for (char& c : p)
            if (c == '/') c = '\\';
        g_args.push_back(p);
    }
    return RUN_ALL_TESTS();
}
