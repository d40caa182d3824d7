// The text window.  Until the display itself is built it takes the frame's
// broadcasts and shows an empty client area.
#include "displays/display_placeholder.h"
#include "shell/frame_globals.h"

LRESULT CALLBACK TextWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DisplayPlaceholderProc(hwnd, message, wParam, lParam, false);
}
