// The wait window shown while channel settings are downloaded.
#include <cstdio>

#include "shell/frame_globals.h"
#include "resources/resource_ids.h"

int nDownloadChannel = 0;

// Sent by the channel download for every channel it sets up.
#define WM_WAIT_PROGRESS 0x301

LRESULT CALLBACK WaitWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillClientLightGrey(hwnd, dc);
        EndPaint(hwnd, &ps);
        SetDlgItemTextA(hwnd, IDC_WAIT_PLEASE, "Please Wait");
        SetDlgItemTextA(hwnd, IDC_WAIT_STATUS, "Downloading");
        return 0;
    }
    case WM_WAIT_PROGRESS: {
        char text[48];
        snprintf(text, sizeof text, "Downloading Channel %d", nDownloadChannel);
        SetDlgItemTextA(hwnd, IDC_WAIT_PLEASE, "Please Wait");
        SetDlgItemTextA(hwnd, IDC_WAIT_STATUS, text);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
