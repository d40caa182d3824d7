// Win32: the frame's remote-control and network commands, and what the
// remote loop and the opening passes need from the window system.
#include <windows.h>

#include <vector>

#include "acquire/panel_rules.h"
#include "acquire/remote_loop.h"
#include "base/app_state.h"
#include "network/cvt_slices.h"
#include "network/remote_control_wnd.h"
#include "network/remote_pipes.h"
#include "shell/command_ids.h"
#include "shell/frame_globals.h"
#include "shell/shell_rules.h"
#include "testmodel/system_settings.h"

namespace {

bool g_cancelClicked = false;
bool g_quitSeen = false;
WPARAM g_quitCode = 0;

bool IsCancelClick(const MSG& msg) {
    return hwndCancel != nullptr && msg.hwnd == hwndCancel && msg.message == WM_LBUTTONDOWN &&
           CancelButtonHit(static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam)));
}

// A quit request while the loop runs is kept for the main loop.
void Dispatch(const MSG& msg) {
    if (msg.message == WM_QUIT) {
        g_quitSeen = true;
        g_quitCode = msg.wParam;
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool CancelPressed() {
    MSG msg;
    while (PeekMessageA(&msg, hwndCancel, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE)) {
        if (IsCancelClick(msg)) g_cancelClicked = true;
        Dispatch(msg);
    }
    // A program asked to quit (Exit ran inside the passes) gives up opening.
    const bool clicked = g_cancelClicked || g_quitSeen;
    g_cancelClicked = false;
    return clicked;
}

void DispatchOne() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
    if (IsCancelClick(msg)) g_cancelClicked = true;
    Dispatch(msg);
}

// The loop's idle wait: windows keep painting and the displays updating; the
// frame is disabled meanwhile, so no menu command can run inside the loop.
void LoopWait(uint32_t ms) {
    MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) Dispatch(msg);
    RunIdlePass(BroadcastIdleStep);
}

void ShowCancelWindow(bool show) {
    if (hwndCancel == nullptr) return;
    ShowWindow(hwndCancel, show ? SW_SHOWNORMAL : SW_HIDE);
    if (show) UpdateWindow(hwndCancel);
}

const ConnectionUi kConnectionUi = {CancelPressed, DispatchOne};
const RemoteLoopUi kLoopUi = {LoopWait, ShowCancelWindow};

void Repaint(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
}

// Opening with the frame disabled: Exit or Open Test must not run inside the passes.
int32_t OpenWithCancelWindow(HWND frame) {
    SetConnectionUi(&kConnectionUi);
    ShowCancelWindow(true);
    Repaint(frame);
    EnableWindow(frame, FALSE);
    g_cancelClicked = false;
    g_quitSeen = false;
    const int32_t ok = OpenRemoteConnection();
    EnableWindow(frame, TRUE);
    if (g_quitSeen) {
        g_quitSeen = false;
        PostQuitMessage(static_cast<int>(g_quitCode));
    }
    return ok;
}

// Runs the loop with the companions hidden and the sampling-time commands
// greyed (each restored to what it was).
void RunLoopFromFrame(HWND frame) {
    const bool controlShown = hwndControl && IsWindowVisible(hwndControl);
    const bool toolsShown = hwndTools && IsWindowVisible(hwndTools);
    if (hwndControl) ShowWindow(hwndControl, SW_HIDE);
    if (hwndTools) ShowWindow(hwndTools, SW_HIDE);
    ShowCancelWindow(false);
    Repaint(frame);
    std::vector<std::pair<int, UINT>> greyed;
    for (int id = 100; id <= 216; ++id) {
        if (!CommandBlockedWhileSampling(id)) continue;
        const UINT state = GetMenuState(hMainMenu, id, MF_BYCOMMAND);
        if (state == 0xFFFFFFFFu) continue;
        greyed.emplace_back(id, state & (MF_GRAYED | MF_DISABLED));
        EnableMenuItem(hMainMenu, id, MF_BYCOMMAND | MF_GRAYED);
    }
    DrawMenuBar(frame);
    nRecordingType = 0;
    nTriggerState = 0;
    SetConnectionUi(&kConnectionUi);
    SetRemoteLoopUi(&kLoopUi);
    bRemoteControlled = true;
    g_quitSeen = false;
    EnableWindow(frame, FALSE);
    RunRemoteLoop();
    EnableWindow(frame, TRUE);
    for (const auto& g : greyed) EnableMenuItem(hMainMenu, g.first, MF_BYCOMMAND | g.second);
    DrawMenuBar(frame);
    if (hwndControl && controlShown) ShowWindow(hwndControl, SW_SHOWNORMAL);
    if (hwndTools && toolsShown) ShowWindow(hwndTools, SW_SHOWNORMAL);
    Repaint(frame);
    if (g_quitSeen) PostQuitMessage(static_cast<int>(g_quitCode));
}

}  // namespace

void StartNetworkServices() {
    SetNetworkDefaults();
    if (bServeData) OpenServerMailslots();
    // A station started in client mode takes its values at once.
    if (bClientMode) CreateClientMailslots();
}

bool RemoteControlCommand(HWND frame, int id) {
    switch (id) {
    case IDM_PIPESETUP:
        DialogBoxA(hInst, "PIPESETUP", frame, NamedPipeDlg);
        return true;
    case IDM_PIPETEST: {
        char reply[24];
        if (!TestRemoteConnection(reply))
            MessageBoxA(frame, "No Answer From The Supervising Computer", "Remote Control Test",
                        MB_OK | MB_ICONEXCLAMATION);
        return true;
    }
    case IDM_OPENCONNECT:
        if (!OpenWithCancelWindow(frame)) {
            ShowCancelWindow(false);
            Repaint(frame);
            Repaint(frame);
            return true;
        }
        RunLoopFromFrame(frame);
        return true;
    case IDM_CLOSECONNECT:
        CloseRemoteConnection();
        return true;
    case IDM_RECONNECT:
        if (!bConnectionEverOpened) {
            MessageBoxA(frame, "Please Open & Connect First", "No Connection Established Yet", MB_OK);
            return true;
        }
        RunLoopFromFrame(frame);
        return true;
    case IDM_CONNECTSERVER:
        ConnectToServer();
        return true;
    case IDM_DISCONNECTSERVER:
        DisconnectFromServer();
        return true;
    case IDM_SERVERINFO:
        DialogBoxA(hInst, "SERVERINFO", frame, SetupServerInfoDlg);
        return true;
    default:
        return false;
    }
}
