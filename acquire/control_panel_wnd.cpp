// The record and playback control panel window.  Its buttons and states come
// with the recording subsystem; until then it shows its mode in the caption
// and an empty panel.
#include "shell/frame_globals.h"

LRESULT CALLBACK ContWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillClientLightGrey(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
