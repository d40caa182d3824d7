// The cancel-connection window shown while the remote-control connection is
// being made.
#include "shell/frame_globals.h"

namespace {
HFONT hFontLarge = nullptr;
HFONT hFontSmall = nullptr;
bool bPressed = false;

void DrawButton(HDC dc) {
    RECT frame = {55, 8, 170, 73};
    DrawEdge(dc, &frame, bPressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    int shift = bPressed ? 1 : 0;
    DrawBitmapResource(dc, "CANCELNET", 56 + shift, 9 + shift);
}
}  // namespace

LRESULT CALLBACK CancelWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        hFontLarge = CreateFontA(15, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
        hFontSmall = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
        HMENU sys = GetSystemMenu(hwnd, FALSE);
        for (int i = 0; i < 3; ++i) DeleteMenu(sys, 0, MF_BYPOSITION);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillClientLightGrey(hwnd, dc);
        DrawButton(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
        int x = static_cast<short>(LOWORD(lParam));
        int y = static_cast<short>(HIWORD(lParam));
        bool inside = x >= 56 && x <= 169 && y >= 9 && y <= 69;
        bPressed = message == WM_LBUTTONDOWN && inside;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_DESTROY:
        if (hFontLarge) DeleteObject(hFontLarge);
        if (hFontSmall) DeleteObject(hFontSmall);
        hFontLarge = hFontSmall = nullptr;
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
