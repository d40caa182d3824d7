// The quick-plot window.  Until the display itself is built the window takes the frame's
// broadcasts and shows an empty client area.
#include "shell/frame_globals.h"

LRESULT CALLBACK QuickPlotWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DISPLAY_UPDATE:
    case WM_DISPLAY_CHANGE:
    case WM_DISPLAY_STORE:
    case WM_DISPLAY_TIMING:
    case WM_DISPLAY_PRINT:
    case WM_DISPLAY_PLAY:
    case WM_DISPLAY_STOP:
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
