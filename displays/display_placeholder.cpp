#include "displays/display_placeholder.h"

#include "shell/frame_globals.h"

LRESULT DisplayPlaceholderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                               bool mdiChild) {
    if (message >= WM_DISPLAY_UPDATE && message <= WM_DISPLAY_STOP) return 0;
    return mdiChild ? DefMDIChildProcA(hwnd, message, wParam, lParam)
                    : DefWindowProcA(hwnd, message, wParam, lParam);
}
