// Win32: batch print of a recording as strip charts.
#include "print/batch_print_wnd.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "displays/quick_plot_prep.h"
#include "platform/platform.h"
#include "print/batch_print_layout.h"
#include "print/print_job_wnd.h"
#include "testmodel/model.h"

namespace {

constexpr uint32_t kPageGapMs = 500;

// A small window with a progress bar while the recording is read.
struct ProgressWindow {
    HWND window;
    HWND bar;
};

ProgressWindow OpenProgress(HWND owner) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    ProgressWindow p = {};
    p.window = CreateWindowA("STATIC", "Batch Print: Reading The Recording", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                             CW_USEDEFAULT, CW_USEDEFAULT, 320, 80, owner, nullptr, GetModuleHandleA(nullptr),
                             nullptr);
    if (p.window == nullptr) return p;
    RECT r;
    GetClientRect(p.window, &r);
    p.bar = CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, (r.bottom - 20) / 2,
                          r.right - 20, 20, p.window, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(p.bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    UpdateWindow(p.window);
    return p;
}

void ShowProgress(void* context, uint64_t done, uint64_t total) {
    auto* p = static_cast<ProgressWindow*>(context);
    if (p->bar == nullptr) return;
    SendMessageA(p->bar, PBM_SETPOS, static_cast<WPARAM>(total ? done * 100 / total : 100), 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
}

void TextAt(HDC dc, int x, int y, const std::string& text) {
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

void DrawBatchStrip(HDC dc, const StripBox& box, int32_t c, bool withTrace) {
    const int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
    if (!withTrace || lpQuickPlots == nullptr || c < 0 || c >= kChannels) {
        RestoreDC(dc, saved);
        return;
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    TextAt(dc, box.left - 200, box.top - 120, BatchTopLabel(c));
    TextAt(dc, box.left - 200, box.bottom + 10, BatchBottomLabel(c));

    const int32_t fs = BatchFullScale(c);
    const int32_t width = box.right - box.left, height = box.bottom - box.top;
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, kQuickPlotPoints, -2 * fs, nullptr);
    SetViewportExtEx(dc, width, height, nullptr);
    SetViewportOrgEx(dc, box.left, box.top + height / 2, nullptr);
    // The stored points across the strip; points the recording did not fill
    // hold no sample and are not drawn.
    const int32_t n = QuickPlotPointCount(c);
    std::vector<POINT> points(kQuickPlotPoints);
    for (int32_t i = 0; i < n; ++i)
        points[i] = {n > 1 ? i * (kQuickPlotPoints - 1) / (n - 1) : 0,
                     BatchPointValue(c, lpQuickPlots->Points[c][i][1])};
    // About a third of a millimetre on paper whatever the resolution: the
    // pen's width is in the strip's logical units.
    const int32_t devicePen = GetDeviceCaps(dc, LOGPIXELSX) / 80 > 1 ? GetDeviceCaps(dc, LOGPIXELSX) / 80 : 1;
    const int32_t logicalPen = width > 0 ? devicePen * kQuickPlotPoints / width : 1;
    HPEN red = CreatePen(PS_SOLID, logicalPen > 1 ? logicalPen : 1, RGB(255, 0, 0));
    HGDIOBJ previous = SelectObject(dc, red);
    if (n > 1) Polyline(dc, points.data(), n);
    SelectObject(dc, previous);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, kQuickPlotPoints - 1, 0);
    RestoreDC(dc, saved);
    DeleteObject(red);
}

int32_t BatchPrint(HWND owner) {
    int32_t channels[kChannels];
    const int32_t n = ScanListChannels(channels);
    const int32_t pages = BatchPrintPages(n);
    if (pages == 0) {
        MessageBoxA(owner, "No Channel Is In The Scan List", "Nothing To Print", MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    PlatformBeginWaitCursor();
    // The printer first: without one the recording need not be read.
    PrintJob job;
    if (!BeginPrintJob(&job, "Test")) {
        PlatformEndWaitCursor();
        MessageBoxA(owner, "No Default Printer Is Set Up", "Batch Print", MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    ProgressWindow progress = OpenProgress(owner);
    QuickPlotProgress report = {ShowProgress, &progress};
    // Without a recording the strips stay empty frames.
    const bool traces = PrepareQuickPlots(&report) == 1;
    if (progress.window) DestroyWindow(progress.window);
    for (int32_t page = 0; page < pages; ++page) {
        if (page > 0) PlatformSleep(kPageGapMs);
        BeginPrintPage(&job);
        for (int32_t i = 0; i < kStripsPerPage; ++i) {
            const int32_t k = page * kStripsPerPage + i;
            if (k >= n) break;
            DrawBatchStrip(job.dc, BatchStripBox(job.width, job.height, i), channels[k], traces);
        }
        EndPrintPage(&job);
    }
    const int32_t printed = job.pages;
    const bool ok = EndPrintJob(&job);
    PlatformEndWaitCursor();
    return ok ? printed : 0;
}
