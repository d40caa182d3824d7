// Win32: the text window, a paged list of the channels' names, 16 to a page,
// with the engineering values of 9900 / G and 8000 / G millivolts.  Command
// 12 turns the page.
#include <cstdio>

#include "displays/text_window_pages.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"

namespace {

constexpr WPARAM kNextPageCommand = 12;

int32_t PageOf(HWND hwnd) {
    return static_cast<int32_t>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

void Paint(HWND hwnd, HDC dc) {
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (lpsChannelParams == nullptr) return;
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    const int32_t first = FirstChannelOfTextPage(PageOf(hwnd));
    for (int32_t i = 0; i < kTextChannelsPerPage; ++i) {
        const int32_t c = first + i;
        double at9900 = 0, at8000 = 0;
        TextWindowValues(c, &at9900, &at8000);
        char line[128];
        int n = snprintf(line, sizeof line, "%3d  %-.31s  %.4g  %.4g", c, lpsChannelParams->NAME[c], at9900,
                         at8000);
        if (n < 0) continue;
        TextOutA(dc, 8, 6 + i * tm.tmHeight, line, n < static_cast<int>(sizeof line) ? n : sizeof line - 1);
    }
}

}  // namespace

LRESULT CALLBACK TextWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 1);
        return 0;
    case WM_COMMAND:
        if (wParam == kNextPageCommand) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, NextTextPage(PageOf(hwnd)));
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Paint(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default:
        // The frame's display broadcasts carry nothing for this window.
        if (message >= WM_DISPLAY_UPDATE && message <= WM_DISPLAY_STOP) return 0;
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
