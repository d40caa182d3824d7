// Win32: the quick-plot windows, one recorded channel each, drawn from the
// points the preparation decimated from the whole recording; and the
// Prepare Quick Plots dialog with its progress bar.
#include "displays/quick_plot_wnd.h"

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "displays/quick_plot_ids.h"
#include "displays/quick_plot_prep.h"
#include "platform/platform.h"
#include "print/print_job_wnd.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"

namespace {

const char kClass[] = "QUICKPLOTCLASS";
const char kFontProp[] = "QuickPlotFont";

// The remembered handle of a channel's newest window.  Window handles keep
// their meaning in 32 bits, which is what the block holds.
uint32_t HandleWord(HWND hwnd) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd));
}

int32_t ChannelOf(HWND hwnd) {
    return static_cast<int32_t>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)) - 1;
}

bool IsQuickPlotWindow(HWND hwnd) {
    char cls[32] = "";
    return IsWindow(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) && lstrcmpiA(cls, kClass) == 0;
}

std::string ChannelName(int32_t c) {
    if (lpsChannelParams == nullptr || c < 0 || c >= kChannels) return "";
    const char* name = lpsChannelParams->NAME[c];
    size_t n = 0;
    while (n < sizeof lpsChannelParams->NAME[c] && name[n]) ++n;
    return std::string(name, n);
}

HFONT OverloadFont(int32_t height) {
    return CreateFontA(height, 0, -250, -250, 100, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
}

// Text drawn at (x, y) in the font and alignment given.
void Label(HDC dc, int x, int y, const std::string& text, UINT align) {
    SetTextAlign(dc, align);
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

BOOL CALLBACK CollectQuickPlots(HWND hwnd, LPARAM param) {
    if (IsQuickPlotWindow(hwnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

void PrintQuickPlotPage(HDC dc, const RECT* area, void* context) {
    // A margin of a twentieth of the page on every side.
    RECT r = *area;
    const int mx = (r.right - r.left) / 20, my = (r.bottom - r.top) / 20;
    InflateRect(&r, -mx, -my);
    r.bottom = r.top + (r.bottom - r.top) / 2;
    DrawQuickPlot(dc, &r, *static_cast<int32_t*>(context));
}

// ---- the Prepare Quick Plots dialog -------------------------------------------------------
struct Progress {
    HWND dlg;
    uint32_t startMs;
};

void ShowProgress(void* context, uint64_t done, uint64_t total) {
    auto* p = static_cast<Progress*>(context);
    const int percent = total ? static_cast<int>(done * 100 / total) : 100;
    SendDlgItemMessageA(p->dlg, IDC_QP_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    char text[64];
    snprintf(text, sizeof text, "Time Left Is Around %d Seconds",
             QuickPlotSecondsLeft(done, total, PlatformTimeMs() - p->startMs));
    SetDlgItemTextA(p->dlg, IDC_QP_TEXT, text);
    // Keep the dialog painted while the file is read.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
}

void RunPreparation(HWND dlg) {
    char name[300];
    uint64_t bytes = 0;
    if (!RecordedFileSize(name, sizeof name, &bytes)) return;
    char text[64];
    snprintf(text, sizeof text, "Time Left Is Around %d Seconds", static_cast<int>(bytes / 800000));
    SetDlgItemTextA(dlg, IDC_QP_TEXT, text);
    Progress progress = {dlg, PlatformTimeMs()};
    QuickPlotProgress report = {ShowProgress, &progress};
    PlatformBeginWaitCursor();
    const int32_t prepared = PrepareQuickPlotsFrom(name, &report);
    PlatformEndWaitCursor();
    SetDlgItemTextA(dlg, IDC_QP_TEXT, prepared ? "Finished Preparing Quick Plots"
                                               : "The Recorded Data Could Not Be Read");
    UpdateWindow(dlg);
    if (!prepared)
        MessageBoxA(dlg, "The Recorded Data Could Not Be Read", "Quick Plots Not Prepared",
                    MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

void DrawQuickPlot(HDC dc, const RECT* area, int32_t c) {
    const int32_t w = area->right - area->left, h = area->bottom - area->top;
    if (w < 2 || h < 2 || lpQuickPlots == nullptr) return;
    const int saved = SaveDC(dc);
    std::vector<int32_t> xy(2 * kQuickPlotPoints);
    const int32_t n = QuickPlotPolyline(c, w, h, xy.data());
    std::vector<POINT> points(kQuickPlotPoints);
    for (int32_t i = 0; i < n; ++i) points[i] = {area->left + xy[2 * i], area->top + xy[2 * i + 1]};
    HPEN pen = CreatePen(PS_SOLID, h / 800 > 1 ? h / 800 : 1, RGB(0, 0, 255));
    SelectObject(dc, pen);
    if (n > 1) Polyline(dc, points.data(), n);
    else if (n == 1) SetPixel(dc, points[0].x, points[0].y, RGB(0, 0, 255));

    const int labelHeight = h / 25 > 14 ? h / 25 : 14;
    HFONT labels = CreateFontA(labelHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    SelectObject(dc, labels);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    char text[48];
    snprintf(text, sizeof text, "%d mV", QuickPlotFullScale(c));
    Label(dc, area->left + 5, area->top + 5, text, TA_LEFT | TA_TOP);
    snprintf(text, sizeof text, "%d mV", -QuickPlotFullScale(c));
    Label(dc, area->left + 5, area->bottom - 20 * labelHeight / 14, text, TA_LEFT | TA_TOP);
    Label(dc, area->left + w / 2, area->top + 5, ChannelName(c), TA_CENTER | TA_TOP);

    HFONT overload = nullptr;
    if (c >= 0 && c < kChannels && lpQuickPlots->Overload[c]) {
        overload = OverloadFont(h / 12 > 20 ? h / 12 : 20);
        SelectObject(dc, overload);
        SetTextColor(dc, RGB(150, 150, 150));
        Label(dc, area->left + w / 2, area->top + h / 2, "OVERLOAD", TA_CENTER | TA_BASELINE);
    }
    RestoreDC(dc, saved);
    DeleteObject(pen);
    DeleteObject(labels);
    if (overload) DeleteObject(overload);
}

LRESULT CALLBACK QuickPlotWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        const int32_t c = static_cast<int32_t>(reinterpret_cast<intptr_t>(cs->lpCreateParams));
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, c + 1);
        SetPropA(hwnd, kFontProp, OverloadFont(20));
        return 0;
    }
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        if (lpQuickPlots && lpQuickPlots->Prepared == 0) PrepareQuickPlots(nullptr);
        DrawQuickPlot(dc, &r, ChannelOf(hwnd));
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DISPLAY_PRINT: {
        // On the printer context of the print broadcast, or on the default
        // printer when none comes with the message.
        int32_t c = ChannelOf(hwnd);
        char title[80];
        GetWindowTextA(hwnd, title, sizeof title);
        HDC printer = reinterpret_cast<HDC>(lParam);
        return printer ? PrintPageOn(printer, title, PrintQuickPlotPage, &c)
                       : PrintOnePage(title, PrintQuickPlotPage, &c);
    }
    case WM_DESTROY: {
        HFONT font = static_cast<HFONT>(RemovePropA(hwnd, kFontProp));
        if (font) DeleteObject(font);
        // A closed window must not stay remembered: its handle may later
        // belong to another window.
        const int32_t c = ChannelOf(hwnd);
        if (lpQuickPlots && c >= 0 && c < kChannels && lpQuickPlots->Window[c] == HandleWord(hwnd))
            lpQuickPlots->Window[c] = 0;
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

HWND OpenQuickPlot(HWND owner, int32_t c, int32_t x, int32_t y, int32_t width, int32_t height) {
    int32_t channels[kChannels];
    const int32_t n = ScanListChannels(channels);
    bool scanned = false;
    for (int32_t i = 0; i < n; ++i) scanned = scanned || channels[i] == c;
    if (!scanned || lpQuickPlots == nullptr) {
        MessageBoxA(owner, "This Channel Is Not In The Scan List", "Can Not Quick Plot Channel Data",
                    MB_OK | MB_ICONINFORMATION);
        return nullptr;
    }
    char title[80];
    snprintf(title, sizeof title, "Quick Plot Channel %d %s", c, ChannelName(c).c_str());
    HWND hwnd = CreateWindowA(kClass, title,
                              WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                              x, y, width, height, owner, nullptr, GetModuleHandleA(nullptr),
                              reinterpret_cast<LPVOID>(static_cast<intptr_t>(c)));
    if (hwnd == nullptr) {
        MessageBoxA(owner, "Unable To Create Vornel Quick Plot Window", "Quick Plot", MB_OK | MB_ICONEXCLAMATION);
        return nullptr;
    }
    lpQuickPlots->Window[c] = HandleWord(hwnd);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    return hwnd;
}

int32_t QuickPlotAllChannels(HWND frame) {
    if (lpQuickPlots == nullptr) return 0;
    std::vector<HWND> made;
    for (int32_t c = 0; c < kChannels; ++c) {
        if (lpQuickPlots->OccurrenceCount[c] == 0) continue;
        const int32_t k = static_cast<int32_t>(made.size());
        HWND hwnd = OpenQuickPlot(frame, c, 10 * k, 10 * k, 200, 200);
        if (hwnd) made.push_back(hwnd);
    }
    if (made.empty()) return 0;
    ShowWindow(frame, SW_SHOWMAXIMIZED);
    RECT r;
    GetWindowRect(frame, &r);
    TileWindows(nullptr, MDITILE_HORIZONTAL, &r, static_cast<UINT>(made.size()), made.data());
    return static_cast<int32_t>(made.size());
}

void RemoveAllQuickPlots() {
    // Every window of the class goes, also the older ones of a channel that
    // was plotted twice; only the newest handle is remembered.
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectQuickPlots, reinterpret_cast<LPARAM>(&windows));
    for (HWND hwnd : windows)
        if (IsQuickPlotWindow(hwnd)) DestroyWindow(hwnd);
    if (lpQuickPlots)
        for (uint32_t& w : lpQuickPlots->Window) w = 0;
}

INT_PTR CALLBACK PrepQuickPlotsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        char name[300];
        uint64_t bytes = 0;
        SendDlgItemMessageA(dlg, IDC_QP_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendDlgItemMessageA(dlg, IDC_QP_PROGRESS, PBM_SETPOS, 0, 0);
        if (RecordedFileSize(name, sizeof name, &bytes)) {
            char text[64];
            snprintf(text, sizeof text, "Time To Convert Is Around %d Seconds",
                     static_cast<int>(bytes / 2 / 400000));
            SetDlgItemTextA(dlg, IDC_QP_TEXT, text);
        } else {
            SetDlgItemTextA(dlg, IDC_QP_TEXT, "No Data Are Available For This Test");
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EnableWindow(GetDlgItem(dlg, IDOK), FALSE);
            EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
            RunPreparation(dlg);
            EndDialog(dlg, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void PrepareQuickPlotsCommand(HWND owner) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    DialogBoxA(GetModuleHandleA(nullptr), "PREPQUICKPLOTS", owner, PrepQuickPlotsDlg);
}
