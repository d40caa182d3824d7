// Win32: the acknowledge window: one "Proceed" button with which the operator
// confirms a step.  Callers show it and wait for the flag.
#include "shell/ack_wnd.h"

#include "shell/frame_globals.h"
#include "resources/resource_ids.h"

int nAcknowledged = 0;

void ClearAcknowledged() {
    nAcknowledged = 0;
}

bool WaitForAcknowledge(HWND ackWindow) {
    ShowWindow(ackWindow, SW_SHOWNORMAL);
    SetForegroundWindow(ackWindow);
    bool quit = false;
    // Sleeps until a message comes; no spinning while the operator reads.
    while (!nAcknowledged && !quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The main loop must see it too.
                PostQuitMessage(static_cast<int>(msg.wParam));
                quit = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    ShowWindow(ackWindow, SW_HIDE);
    return nAcknowledged != 0;
}

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
