// Printing through the real print path under Wine: a generated recording is
// shown in a quick-plot window, printed from it, and batch printed as strip
// charts on the default printer (the PDF queue of scripts/print_queue.sh).
// print_test.sh runs this program twice: "print DIR" prints, then, after the
// PDFs arrived and were rendered by pdftoppm, "check ..." reads the pages as
// images and the pages' text and checks what was printed.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <commctrl.h>

#include "displays/quick_plot_ids.h"
#include "displays/quick_plot_prep.h"
#include "displays/quick_plot_wnd.h"
#include "print/batch_print_layout.h"
#include "print/batch_print_wnd.h"
#include "print/print_job_wnd.h"
#include "scanlist/scan_table.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

std::string g_mode;
std::vector<std::string> g_args;

// ---- the recording --------------------------------------------------------------------------
constexpr uint32_t kScans = 20000;
constexpr uint32_t kOverloadScan = 10001;

int32_t SampleOf(uint32_t scan, int32_t channel) {
    switch (channel) {
    case 0:  // a sine of half full scale, with one overloading sample
        if (scan == kOverloadScan) return 32767;
        return static_cast<int32_t>(std::lround(16384.0 * std::sin(2.0 * 3.14159265358979323846 * scan / 2000.0)));
    case 1:  // a ramp across the whole recording, bottom to top
        return -32000 + static_cast<int32_t>(64000.0 * scan / (kScans - 1));
    case 2:  // a constant: 2500 mV at the converter, 25 mV at gain 100
        return 8192;
    default:  // a square wave
        return (scan / 1500) % 2 ? 16384 : -16384;
    }
}

void MakeTest(const std::string& dir) {
    ASSERT_EQ(AllocateTestModel(), 1);
    ClearScanTable();
    const char* names[4] = {"SINE", "RAMP", "CONST", "SQUARE"};
    for (int c = 0; c < 4; ++c) {
        lpProgScanList->Entry[c].CHANNEL = static_cast<uint32_t>(c);
        lpProgScanList->Entry[c].BLOCK = 0;
        snprintf(lpsChannelParams->NAME[c], 32, "%s", names[c]);
        snprintf(lpsChannelParams->UNITS[c], 8, "%s", "mV");
        snprintf(lpsChannelParams->CardModel[c], 12, "%s", "M15-C");
        lpsChannelParams->GAIN[c] = c == 2 ? 100.0 : 1.0;
        lpsChannelParams->VARIABLEGAINENABLE[c] = 0;
        lpsChannelParams->SENSITIVITY[c] = 1.0;
        lpsChannelParams->OFFSET[c] = 0.0;
    }
    lpProgScanList->EntryCount = 4;
    lpProgScanList->BlockCount = 1;
    snprintf(szTestFile, sizeof szTestFile, "%s\\rec.mdb", dir.c_str());
    std::vector<uint8_t> bytes;
    for (uint32_t s = 0; s < kScans; ++s) {
        const uint8_t header[16] = {0x6B, 0xFE, static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8)};
        bytes.insert(bytes.end(), header, header + 16);
        for (int c = 0; c < 4; ++c) {
            const uint16_t w = static_cast<uint16_t>(SampleOf(s, c));
            bytes.push_back(static_cast<uint8_t>(w));
            bytes.push_back(static_cast<uint8_t>(w >> 8));
        }
    }
    FILE* f = fopen((dir + "\\rec.raw").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    fclose(f);
}

// ---- message boxes, answered from a timer while they are up --------------------------------
std::vector<std::string> g_boxes;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}
BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM param) {
    char cls[32] = "", text[256] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, text, sizeof text);
    if (lstrcmpiA(cls, "Static") == 0 && text[0]) *reinterpret_cast<std::string*>(param) += text;
    return TRUE;
}
void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr) return;
    char caption[128] = "";
    GetWindowTextA(box, caption, sizeof caption);
    std::string text;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
    g_boxes.push_back(std::string(caption) + ": " + text);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// ---- pixels ------------------------------------------------------------------------------
bool IsBlue(COLORREF c) {
    return GetBValue(c) > 150 && GetRValue(c) < 100 && GetGValue(c) < 100;
}

class PrintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (g_mode != "print") GTEST_SKIP() << "run by print_test.sh in its print step";
    }
};

TEST_F(PrintTest, QuickPlotShowsTheWholeRecordingAndPrintsIt) {
    MakeTest(g_args.at(0));
    ASSERT_EQ(PrepareQuickPlots(nullptr), 1);
    ASSERT_EQ(lpQuickPlots->Overload[0], 1u);
    ASSERT_EQ(lpQuickPlots->Overload[1], 0u);

    // What the window draws: the points where they belong, and the mark.
    const int w = 400, h = 200;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT area = {0, 0, w, h};
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawQuickPlot(dc, &area, 1);
    std::vector<int32_t> xy(2 * kQuickPlotPoints);
    const int32_t n = QuickPlotPolyline(1, w, h, xy.data());
    ASSERT_GT(n, 1000);
    int onTrace = 0, tried = 0;
    for (int i = 0; i < n; i += 50, ++tried) {
        bool found = false;
        for (int dy = -1; dy <= 1 && !found; ++dy)
            for (int dx = -1; dx <= 1 && !found; ++dx)
                found = IsBlue(GetPixel(dc, xy[2 * i] + dx, xy[2 * i + 1] + dy));
        onTrace += found;
    }
    EXPECT_EQ(onTrace, tried);
    // The ramp rises across the whole width: low on the left, high on the right.
    EXPECT_EQ(xy[2 * (n - 1)], w - 1);
    EXPECT_GT(xy[1], h * 9 / 10);
    EXPECT_LT(xy[2 * (n - 1) + 1], h * 5 / 100);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawQuickPlot(dc, &area, 0);
    int grey = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) grey += GetPixel(dc, x, y) == RGB(150, 150, 150);
    EXPECT_GT(grey, 20) << "the OVERLOAD mark";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);

    // The windows: the newest is remembered, a closed one is forgotten, and
    // Remove All takes every one.
    WNDCLASSA wc = {};
    wc.lpfnWndProc = QuickPlotWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "QUICKPLOTCLASS";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND first = OpenQuickPlot(nullptr, 0, 10, 10, 300, 200);
    ASSERT_NE(first, nullptr);
    char title[80];
    GetWindowTextA(first, title, sizeof title);
    EXPECT_STREQ(title, "Quick Plot Channel 0 SINE");
    HWND second = OpenQuickPlot(nullptr, 0, 30, 30, 300, 200);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(lpQuickPlots->Window[0], static_cast<uint32_t>(reinterpret_cast<uintptr_t>(second)));
    DestroyWindow(second);
    EXPECT_EQ(lpQuickPlots->Window[0], 0u);
    UpdateWindow(first);

    // A channel that is not scanned: a message, no window.
    UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerBoxes);
    g_boxes.clear();
    EXPECT_EQ(OpenQuickPlot(nullptr, 9, 10, 10, 300, 200), nullptr);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "Can Not Quick Plot Channel Data: This Channel Is Not In The Scan List");

    // Printed from the window as the frame's print broadcast does: the
    // default printer's context in lParam.
    HDC printer = CreateDefaultPrinterDC();
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(SendMessageA(first, WM_DISPLAY_PRINT, reinterpret_cast<WPARAM>(first),
                           reinterpret_cast<LPARAM>(printer)), 1);
    DeleteDC(printer);
    KillTimer(nullptr, timer);

    HWND third = OpenQuickPlot(nullptr, 1, 50, 50, 300, 200);
    ASSERT_NE(third, nullptr);
    RemoveAllQuickPlots();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(third));
    for (uint32_t handle : lpQuickPlots->Window) ASSERT_EQ(handle, 0u);

    // "Quick Plot": one window per prepared channel, owned by the frame.
    HWND frame = CreateWindowA("STATIC", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(QuickPlotAllChannels(frame), 4);
    for (int c = 0; c < 4; ++c) {
        HWND w = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(lpQuickPlots->Window[c])));
        ASSERT_TRUE(IsWindow(w)) << c;
        EXPECT_EQ(GetWindow(w, GW_OWNER), frame);
        EXPECT_TRUE(IsWindowVisible(w));
    }
    EXPECT_EQ(lpQuickPlots->Window[4], 0u);
    RemoveAllQuickPlots();
    for (uint32_t handle : lpQuickPlots->Window) ASSERT_EQ(handle, 0u);
    DestroyWindow(frame);
}

TEST_F(PrintTest, BatchPrintPrintsEveryChannelThreeToAPage) {
    MakeTest(g_args.at(0));
    lpQuickPlots->Prepared = 0;
    nFirstScannedChannel = 2;
    EXPECT_EQ(BatchPrint(nullptr), 2);
    EXPECT_EQ(lpQuickPlots->Prepared, 1u);
    // The channel the displays follow is left alone.
    EXPECT_EQ(nFirstScannedChannel, 2);
}

// What a strip puts on a page, recorded in a metafile instead of printed.
struct Drawn {
    int rectangles = 0;
    int polylinePoints = -1;  // points of the trace, -1 = none drawn
    int texts = 0;
};
int CALLBACK CountRecords(HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM param) {
    auto* d = reinterpret_cast<Drawn*>(param);
    switch (r->iType) {
    case EMR_RECTANGLE:
        ++d->rectangles;
        break;
    case EMR_POLYLINE:
        d->polylinePoints = static_cast<int>(reinterpret_cast<const EMRPOLYLINE*>(r)->cptl);
        break;
    case EMR_POLYLINE16:
        d->polylinePoints = static_cast<int>(reinterpret_cast<const EMRPOLYLINE16*>(r)->cpts);
        break;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
        ++d->texts;
        break;
    }
    return 1;
}
Drawn DrawStripInMetafile(int32_t c, bool withTrace) {
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    DrawBatchStrip(dc, BatchStripBox(4800, 6600, 0), c, withTrace);
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    Drawn d;
    EnumEnhMetaFile(nullptr, emf, CountRecords, &d, nullptr);
    DeleteEnhMetaFile(emf);
    return d;
}

TEST_F(PrintTest, AStripDrawsItsFrameLabelsAndOnlyTheRecordedPoints) {
    MakeTest(g_args.at(0));
    ASSERT_EQ(PrepareQuickPlots(nullptr), 1);
    Drawn full = DrawStripInMetafile(1, true);
    EXPECT_EQ(full.rectangles, 1);
    EXPECT_EQ(full.texts, 2);
    EXPECT_EQ(full.polylinePoints, QuickPlotPointCount(1));
    EXPECT_GT(full.polylinePoints, 1000);
    // No recording: the frame alone.
    Drawn empty = DrawStripInMetafile(1, false);
    EXPECT_EQ(empty.rectangles, 1);
    EXPECT_EQ(empty.texts, 0);
    EXPECT_EQ(empty.polylinePoints, -1);
    // A recording of a few scans: its points only, none invented.
    ClearScanTable();
    lpProgScanList->Entry[0].CHANNEL = 3;
    lpProgScanList->EntryCount = 1;
    lpProgScanList->BlockCount = 1;
    const std::string raw = g_args.at(0) + "\\rec.raw";
    FILE* f = fopen(raw.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int s = 0; s < 10; ++s) {
        const uint8_t scan[18] = {0x6B, 0xFE, static_cast<uint8_t>(s), 0, 0, 0, 0, 0,
                                  0,    0,    0,                      0, 0, 0, 0, 0, 0x00, 0x40};
        fwrite(scan, 1, sizeof scan, f);
    }
    fclose(f);
    ASSERT_EQ(PrepareQuickPlots(nullptr), 1);
    EXPECT_EQ(DrawStripInMetafile(3, true).polylinePoints, 10);
}

void CALLBACK RunPreparationDialog(HWND, UINT, UINT_PTR id, DWORD);
std::string g_dialogText;
int g_dialogStep = 0;

TEST_F(PrintTest, PrepareQuickPlotsDialogReadsTheWholeRecording) {
    MakeTest(g_args.at(0));
    lpQuickPlots->Prepared = 0;
    g_dialogText.clear();
    g_dialogStep = 0;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    SetTimer(nullptr, 0, 100, RunPreparationDialog);
    EXPECT_EQ(DialogBoxA(GetModuleHandleA(nullptr), "PREPQUICKPLOTS", nullptr, PrepQuickPlotsDlg), IDOK);
    // 20000 scans of 24 bytes: 480000 / 2 / 400000 rounds down to 0 seconds.
    EXPECT_EQ(g_dialogText, "Time To Convert Is Around 0 Seconds");
    EXPECT_EQ(lpQuickPlots->Prepared, 1u);
    EXPECT_EQ(lpQuickPlots->Overload[0], 1u);
}

void CALLBACK RunPreparationDialog(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dlg = FindWindowA(nullptr, "Prepare Quick Plots");
    if (dlg == nullptr) return;
    KillTimer(nullptr, id);
    char text[128] = "";
    GetDlgItemTextA(dlg, IDC_QP_TEXT, text, sizeof text);
    g_dialogText = text;
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

TEST_F(PrintTest, WithoutAPrinterNothingIsPrintedAndTheOperatorIsTold) {
    MakeTest(g_args.at(0));
    char device[400] = "";
    GetProfileStringA("windows", "device", "", device, sizeof device);
    ASSERT_NE(device[0], '\0') << "the queue should be the default printer here";
    ASSERT_TRUE(WriteProfileStringA("windows", "device", ""));
    g_boxes.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerBoxes);
    const int32_t pages = BatchPrint(nullptr);
    KillTimer(nullptr, timer);
    WriteProfileStringA("windows", "device", device);
    EXPECT_EQ(pages, 0);
    EXPECT_EQ(g_boxes, std::vector<std::string>{"Batch Print: No Default Printer Is Set Up"});
    EXPECT_EQ(CreateDefaultPrinterDC() != nullptr, true) << "the printer entry was put back";
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
    // pdftotext may spread a label's spaces differently: compare with single spaces.
    std::string out;
    for (char c : s.str()) {
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out += c;
    }
    return out;
}

bool Red(const uint8_t* p) { return p[0] > 180 && p[1] < 120 && p[2] < 120; }
bool Blue(const uint8_t* p) { return p[2] > 150 && p[0] < 120 && p[1] < 120; }
bool Dark(const uint8_t* p) { return p[0] < 90 && p[1] < 90 && p[2] < 90; }

// Runs of rows holding red pixels, merged across gaps of a few rows.
struct Band {
    int top, bottom, left, right;
};
std::vector<Band> RedBands(const Image& img) {
    std::vector<Band> bands;
    int gap = 0;
    for (int y = 0; y < img.h; ++y) {
        int left = img.w, right = -1;
        for (int x = 0; x < img.w; ++x)
            if (Red(img.At(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        if (right < 0) {
            ++gap;
            continue;
        }
        if (bands.empty() || gap > img.h / 40) bands.push_back({y, y, left, right});
        Band& b = bands.back();
        b.bottom = y;
        b.left = std::min(b.left, left);
        b.right = std::max(b.right, right);
        gap = 0;
    }
    return bands;
}

// Rows of the page crossed by a dark line over most of the strips' width
// (frame tops and bottoms and zero lines), adjacent rows taken as one.
std::vector<int> DarkLines(const Image& img) {
    std::vector<int> lines;
    int last = -10;
    for (int y = 0; y < img.h; ++y) {
        int dark = 0;
        for (int x = img.w * 15 / 100; x < img.w * 85 / 100; ++x) dark += Dark(img.At(x, y));
        if (dark < img.w * 7 / 10 * 8 / 10) continue;
        if (y - last > 1) lines.push_back(y);
        last = y;
    }
    return lines;
}

// Red rows in the columns [x0, x1) of a band.
void RedRowsIn(const Image& img, const Band& b, int x0, int x1, int* top, int* bottom) {
    *top = img.h;
    *bottom = -1;
    for (int y = b.top; y <= b.bottom; ++y)
        for (int x = x0; x < x1; ++x)
            if (Red(img.At(x, y))) {
                *top = std::min(*top, y);
                *bottom = std::max(*bottom, y);
            }
}

class PrintedPages : public ::testing::Test {
  protected:
    void SetUp() override {
        if (g_mode != "check") GTEST_SKIP() << "run by print_test.sh in its check step";
    }
};

TEST_F(PrintedPages, BatchPrintHasThreeStripsThenOneEachTracingTheWholeRecording) {
    const Image one = ReadPpm(g_args.at(1)), two = ReadPpm(g_args.at(2));
    ASSERT_GT(one.w, 0) << g_args.at(1);
    ASSERT_GT(two.w, 0) << g_args.at(2);
    const std::vector<Band> first = RedBands(one), second = RedBands(two);
    ASSERT_EQ(first.size(), 3u);
    ASSERT_EQ(second.size(), 1u);
    // Each strip: its frame's top, its zero line, its frame's bottom.
    const std::vector<int> lines = DarkLines(one), lines2 = DarkLines(two);
    ASSERT_EQ(lines.size(), 9u) << ::testing::PrintToString(lines);
    ASSERT_EQ(lines2.size(), 3u) << ::testing::PrintToString(lines2);
    // Strips near 5 %, 35 % and 65 % of the page, spanning 10 % to 90 % of its width.
    const double starts[3] = {0.05, 0.35, 0.65};
    for (int i = 0; i < 3; ++i) {
        const Band& b = first[i];
        const int top = lines[3 * i], zero = lines[3 * i + 1], bottom = lines[3 * i + 2];
        EXPECT_NEAR(static_cast<double>(top) / one.h, starts[i], 0.04) << "strip " << i;
        EXPECT_NEAR(static_cast<double>(bottom - top) / one.h, 0.25, 0.04) << "strip " << i;
        EXPECT_NEAR(zero, (top + bottom) / 2.0, 2.0) << "strip " << i;
        EXPECT_NEAR(static_cast<double>(b.left) / one.w, 0.1, 0.04) << "strip " << i;
        EXPECT_NEAR(static_cast<double>(b.right) / one.w, 0.9, 0.04) << "strip " << i;
        EXPECT_GE(b.top, top - 1) << "the trace stays in its strip " << i;
        EXPECT_LE(b.bottom, bottom + 1) << "the trace stays in its strip " << i;
        const double height = bottom - top;
        if (i == 0) {
            // The sine of half full scale fills the middle half of the strip.
            EXPECT_NEAR((b.top - top) / height, 0.25, 0.05);
            EXPECT_NEAR((b.bottom - top) / height, 0.75, 0.05);
        }
        if (i == 1) {
            // The ramp: near the bottom at the left end, near the top at the
            // right end, because the points cover the whole recording.
            const int w = b.right - b.left;
            int t, u;
            RedRowsIn(one, b, b.left, b.left + w / 20, &t, &u);
            EXPECT_GT((u - top) / height, 0.85) << "left end";
            RedRowsIn(one, b, b.right - w / 20, b.right + 1, &t, &u);
            EXPECT_LT((t - top) / height, 0.08) << "right end";
        }
        if (i == 2) {
            // 25 of +-100 mV: a flat line an eighth of the strip above its middle.
            EXPECT_NEAR((b.top - top) / height, 0.375, 0.03);
            EXPECT_LT(b.bottom - b.top, height / 20);
        }
    }
    // One strip on the second page, in the first place.
    EXPECT_NEAR(static_cast<double>(lines2[0]) / two.h, 0.05, 0.04);
    EXPECT_GE(second[0].top, lines2[0] - 1);
    EXPECT_LE(second[0].bottom, lines2[2] + 1);
}

TEST_F(PrintedPages, LabelsReadFullScaleInUnitsWithChannelAndName) {
    const std::string text = ReadText(g_args.at(3));
    for (const char* label : {"10000 mV Channel 0 SINE", "-10000 mV", "10000 mV Channel 1 RAMP",
                              "100 mV Channel 2 CONST", "-100 mV", "10000 mV Channel 3 SQUARE"})
        EXPECT_NE(text.find(label), std::string::npos) << label << " in: " << text;
}

TEST_F(PrintedPages, QuickPlotPagePrintsTheTraceAndTheOverloadMark) {
    const Image page = ReadPpm(g_args.at(4));
    ASSERT_GT(page.w, 0) << g_args.at(4);
    int left = page.w, right = -1, top = page.h, bottom = -1;
    for (int y = 0; y < page.h; ++y)
        for (int x = 0; x < page.w; ++x)
            if (Blue(page.At(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0) << "no trace on the page";
    // Across the plot's width, in the upper half of the page.
    EXPECT_GT(right - left, page.w * 3 / 4);
    EXPECT_LT(bottom, page.h / 2);
    const std::string text = ReadText(g_args.at(5));
    // The mark is written at a slant: its letters come out in pieces.
    std::string letters;
    for (char ch : text)
        if (ch != ' ') letters += ch;
    EXPECT_NE(letters.find("OVERLOAD"), std::string::npos) << text;
    EXPECT_NE(text.find("SINE"), std::string::npos) << text;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: print_test print DIR | check PAGE1.ppm PAGE2.ppm BATCH.txt QUICK.ppm QUICK.txt\n");
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
    if (g_mode == "check") g_args.insert(g_args.begin(), "");
    return RUN_ALL_TESTS();
}
