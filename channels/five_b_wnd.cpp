// Win32: the module window, an MDI child showing the 16 module values of one
// 5B channel (the primary channel).  The acquisition engine keeps the values;
// the window repaints them on the frame's update broadcast, and a left click
// or the framework's timing message steps to the next 5B channel.
#include <windows.h>

#include "channels/channel_dlg.h"
#include "channels/five_b_rules.h"
#include "scanlist/scan_table.h"
#include "shell/frame_globals.h"

namespace {

constexpr char kFiveBClass[] = "FiveBChild";
constexpr COLORREF kBackground = RGB(0xDE, 0xDE, 0xDE);

// One module window at a time: the engine keeps the values of one primary
// channel only.
HWND g_fiveBWindow = nullptr;
HFONT g_fiveBFont = nullptr;

void ShowPrimary(HWND hwnd, int32_t channel) {
    SelectFiveBPrimary(channel);
    SetWindowTextA(hwnd, FiveBWindowTitle(channel).c_str());
    InvalidateRect(hwnd, nullptr, FALSE);
}

// The font follows the window: 18 rows high, 40 characters wide.
void MakeFont(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    if (g_fiveBFont != nullptr) DeleteObject(g_fiveBFont);
    g_fiveBFont = CreateFontA(r.bottom / 18, r.right / 40, 0, 0, 100, FALSE, FALSE, FALSE, ANSI_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              FIXED_PITCH | FF_MODERN, "Courier New");
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH background = CreateSolidBrush(kBackground);
    FillRect(dc, &r, background);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ oldFont = g_fiveBFont != nullptr ? SelectObject(dc, g_fiveBFont) : nullptr;
    FiveBWindowRow rows[kFiveBModules];
    FiveBWindowRows(rows);
    const int rowHeight = r.bottom / 18;
    for (int m = 0; m < kFiveBModules; ++m) {
        const int y = rowHeight * (m + 1);
        TextOutA(dc, r.right / 10, y, rows[m].Name.c_str(), static_cast<int>(rows[m].Name.size()));
        TextOutA(dc, r.right / 2, y, rows[m].Value.c_str(), static_cast<int>(rows[m].Value.size()));
        TextOutA(dc, r.right * 8 / 10, y, rows[m].Units.c_str(), static_cast<int>(rows[m].Units.size()));
    }
    if (oldFont != nullptr) SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

bool RegisterFiveBClass() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing;
    if (GetClassInfoA(instance, kFiveBClass, &existing)) return true;
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ScaleText5BWndProc;
    wc.cbWndExtra = 4;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "VORICON");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kFiveBClass;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

LRESULT CALLBACK ScaleText5BWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_fiveBWindow = hwnd;
        MakeFont(hwnd);
        ShowPrimary(hwnd, FirstFiveBChannel());
        break;
    case WM_SIZE:
        MakeFont(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        break;  // the MDI child handling needs the size too
    case WM_ERASEBKGND:
        return 1;  // the paint fills the whole client area
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_DISPLAY_UPDATE:
    case WM_DISPLAY_PLAY:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_DISPLAY_CHANGE:
        // The test changed: the same primary channel while it is still a 5B
        // channel, its positions taken afresh.
        ShowPrimary(hwnd, IsFiveBChannel(nFiveBPrimaryChannel) ? nFiveBPrimaryChannel : FirstFiveBChannel());
        return 0;
    case WM_DISPLAY_TIMING:
    case WM_LBUTTONUP:
        ShowPrimary(hwnd, NextFiveBChannel(nFiveBPrimaryChannel));
        return 0;
    case WM_DISPLAY_STORE:  // no screen-file record exists for this window
    case WM_DISPLAY_PRINT:
    case WM_DISPLAY_STOP:
        return 0;
    case WM_DESTROY:
        SelectFiveBPrimary(-1);  // nobody shows the values any longer
        if (g_fiveBFont != nullptr) DeleteObject(g_fiveBFont);
        g_fiveBFont = nullptr;
        g_fiveBWindow = nullptr;
        break;
    default:
        break;
    }
    return DefMDIChildProcA(hwnd, message, wParam, lParam);
}

HWND OpenFiveBWindow() {
    if (hwndMDIClient == nullptr) return nullptr;
    if (g_fiveBWindow != nullptr) {
        SendMessageA(hwndMDIClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(g_fiveBWindow), 0);
        return g_fiveBWindow;
    }
    if (!RegisterFiveBClass()) return nullptr;
    MDICREATESTRUCTA mcs = {};
    mcs.szClass = kFiveBClass;
    mcs.szTitle = "";
    mcs.hOwner = GetModuleHandleA(nullptr);
    mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
    return reinterpret_cast<HWND>(SendMessageA(hwndMDIClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
}
