// The acknowledge window: one "Proceed" button with which the operator
// confirms a step.
#include "shell/frame_globals.h"
#include "resources/resource_ids.h"

int nAcknowledged = 0;

LRESULT CALLBACK AckWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateWindowA("Button", "Proceed", WS_CHILD | WS_VISIBLE, 10, 10, 90, 20, hwnd,
                      reinterpret_cast<HMENU>(IDC_ACK_PROCEED), hInst, nullptr);
        nAcknowledged = 0;
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ACK_PROCEED) nAcknowledged = 1;
        return 0;
    case WM_LBUTTONDOWN:
        nAcknowledged = 1;
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
