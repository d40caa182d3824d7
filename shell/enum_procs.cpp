// Broadcasts from the frame to its display children.  Owned windows are the
// icon titles of minimised children and get nothing.
#include "shell/frame_globals.h"
#include "shell/shell_rules.h"

namespace {
BOOL SendToChild(HWND child, UINT message, LPARAM lParam) {
    if (GetWindow(child, GW_OWNER) != nullptr) return TRUE;
    SendMessage(child, message, reinterpret_cast<WPARAM>(child), lParam);
    return TRUE;
}
}  // namespace

BOOL CALLBACK UpdateEnumProc(HWND hwnd, LPARAM) { return SendToChild(hwnd, WM_DISPLAY_UPDATE, 0); }
BOOL CALLBACK ChangeEnumProc(HWND hwnd, LPARAM) { return SendToChild(hwnd, WM_DISPLAY_CHANGE, 0); }
BOOL CALLBACK ResizeEnumProc(HWND hwnd, LPARAM) { return SendToChild(hwnd, WM_DISPLAY_CHANGE, 0); }
BOOL CALLBACK StoreEnumProc(HWND hwnd, LPARAM) { return SendToChild(hwnd, WM_DISPLAY_STORE, 0); }
BOOL CALLBACK TimingEnumProc(HWND hwnd, LPARAM) { return SendToChild(hwnd, WM_DISPLAY_TIMING, 0); }
BOOL CALLBACK PrintEnumProc(HWND hwnd, LPARAM param) {
    return SendToChild(hwnd, WM_DISPLAY_PRINT, param);
}
BOOL CALLBACK PlayEnumProc(HWND hwnd, LPARAM) { return SendToChild(hwnd, WM_DISPLAY_PLAY, 0); }
BOOL CALLBACK StopEnumProc(HWND hwnd, LPARAM) { return SendToChild(hwnd, WM_DISPLAY_STOP, 0); }

BOOL CALLBACK CloseEnumProc(HWND hwnd, LPARAM) {
    if (GetWindow(hwnd, GW_OWNER) != nullptr) return TRUE;
    SendMessage(GetParent(hwnd), WM_MDIRESTORE, reinterpret_cast<WPARAM>(hwnd), 0);
    if (!SendMessage(hwnd, WM_QUERYENDSESSION, 0, 0)) return TRUE;
    SendMessage(GetParent(hwnd), WM_MDIDESTROY, reinterpret_cast<WPARAM>(hwnd), 0);
    return TRUE;
}

void Broadcast(WNDENUMPROC proc, LPARAM param) {
    if (hwndMDIClient) EnumChildWindows(hwndMDIClient, proc, param);
}

void BroadcastIdleStep(IdleStep step) {
    switch (step) {
    case IdleStep::Change: Broadcast(ChangeEnumProc); break;
    case IdleStep::Play: Broadcast(PlayEnumProc); break;
    case IdleStep::PanelStopped: break;
    case IdleStep::Stop: Broadcast(StopEnumProc); break;
    case IdleStep::Update: Broadcast(UpdateEnumProc); break;
    }
}
