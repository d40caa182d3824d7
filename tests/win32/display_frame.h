// A test program as the displays' frame: an MDI frame window with its client,
// the graph, tabular and bar window classes, and the small helpers the
// display tests share to create windows, pump messages and read pixels.
// The test defines hInst, hwndFrame and hwndMDIClient (shell/frame_globals.h).
#pragma once

#include <windows.h>

#include <string>

#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "platform/win32/win32_platform.h"
#include "shell/frame_globals.h"

namespace display_frame {

inline LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        CLIENTCREATESTRUCT ccs = {};
        ccs.idFirstChild = IDM_FIRSTCHILD;
        hwndMDIClient = CreateWindowA("MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 0, 0,
                                      hwnd, nullptr, hInst, &ccs);
        return 0;
    }
    return DefFrameProcA(hwnd, hwndMDIClient, message, wParam, lParam);
}

inline bool RegisterDisplayClass(const char* name, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = 4;
    wc.hInstance = hInst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

// The frame of `width` x `height` shown, its client made, the three display
// classes registered and the shared drawing objects created.  False when a
// class or the frame could not be made.
inline bool OpenFrame(int width, int height) {
    hInst = GetModuleHandleA(nullptr);
    Win32SetResourceInstance(hInst);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = hInst;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = "DisplayTestFrame";
    if (!RegisterClassA(&wc) || !RegisterDisplayClass("OscopeChild", GraphWndProc) ||
        !RegisterDisplayClass("TabChild", TabProc) || !RegisterDisplayClass("BarChild", BarProc))
        return false;
    hwndFrame = CreateWindowA("DisplayTestFrame", "Displays", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, width,
                              height, nullptr, nullptr, hInst, nullptr);
    if (hwndFrame == nullptr) return false;
    ShowWindow(hwndFrame, SW_SHOW);
    CreateSharedDrawingObjects();
    return true;
}

inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A display window made as the frame's menu makes it, from its creation
// record (the fields after the title in a screen file).
inline HWND CreateDisplay(const char* cls, const char* title, int x, int y, int w, int h, const char* creation) {
    MDICREATESTRUCTA mcs = {};
    mcs.szClass = cls;
    mcs.szTitle = title;
    mcs.hOwner = hInst;
    mcs.x = x;
    mcs.y = y;
    mcs.cx = w;
    mcs.cy = h;
    mcs.lParam = reinterpret_cast<LPARAM>(creation);
    HWND hwnd = reinterpret_cast<HWND>(SendMessageA(hwndMDIClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
    UpdateWindow(hwnd);
    Pump();
    return hwnd;
}

inline std::string ClassOf(HWND h) {
    char c[64] = "";
    GetClassNameA(h, c, sizeof c);
    return c;
}
inline std::string TitleOf(HWND h) {
    char t[256] = "";
    GetWindowTextA(h, t, sizeof t);
    return t;
}

// What is on the screen at a point of a window's client area.
inline COLORREF Pixel(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

inline BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM param) {
    if (ClassOf(hwnd) == "Static") *reinterpret_cast<std::string*>(param) += TitleOf(hwnd);
    return TRUE;
}
inline BOOL CALLBACK FindVisibleDialog(HWND hwnd, LPARAM param) {
    if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The dialog or message box this thread shows (null when none), for the
// thread timers that drive them from inside their modal loops.
inline HWND ThreadDialog() {
    HWND dlg = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog, reinterpret_cast<LPARAM>(&dlg));
    return dlg;
}
// A message box as "caption: text".
inline std::string BoxText(HWND box) {
    std::string text;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
    return TitleOf(box) + ": " + text;
}

}  // namespace display_frame
