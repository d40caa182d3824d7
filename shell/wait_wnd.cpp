// Win32: the wait window shown while channel settings are downloaded.
#include <cstdio>

#include "shell/frame_globals.h"
#include "resources/resource_ids.h"

int nDownloadChannel = 0;

namespace {

// Sent by the channel download for every channel it sets up.
constexpr UINT kWaitProgress = 0x301;

// The channel last reported while the window is shown, -1 = none yet.  A
// repaint in the middle of a download keeps showing it.
int nShownChannel = -1;

void SetTexts(HWND hwnd) {
    char text[48] = "Downloading";
    if (nShownChannel >= 0) snprintf(text, sizeof text, "Downloading Channel %d", nShownChannel);
    SetDlgItemTextA(hwnd, IDC_WAIT_PLEASE, "Please Wait");
    SetDlgItemTextA(hwnd, IDC_WAIT_STATUS, text);
}

}  // namespace

LRESULT CALLBACK WaitWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillClientLightGrey(hwnd, dc);
        EndPaint(hwnd, &ps);
        SetTexts(hwnd);
        return 0;
    }
    case kWaitProgress:
        nShownChannel = nDownloadChannel;
        SetTexts(hwnd);
        return 0;
    case WM_SHOWWINDOW:
        // Each download starts from "Downloading".
        if (!wParam) nShownChannel = -1;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
