// Process start: window classes, the frame and its companions, and the message
// loop that also drives acquisition.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "acquire/engine.h"
#include "channels/channel_dlg.h"
#include "hardware/channel_download.h"
#include "hardware/control_library.h"
#include "platform/win32/win32_platform.h"
#include "base/app_state.h"
#include "network/remote_control_wnd.h"
#include "shell/command_ids.h"
#include "shell/frame_globals.h"
#include "hardware/gpib_access.h"
#include "shell/shell_rules.h"
#include "testmodel/system_settings.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"

HINSTANCE hInst = nullptr;
HWND hwndFrame = nullptr;
HWND hwndMDIClient = nullptr;
HACCEL hAccel = nullptr;
HMENU hMainMenu = nullptr;
HMENU hWindowMenu = nullptr;
HWND hwndAck = nullptr;
HWND hwndControl = nullptr;
HWND hwndCancel = nullptr;
HWND hwndTools = nullptr;
HWND hwndWait = nullptr;

// Where a tool attached to a running station (a debugger, the CVT sharing
// test) finds the current value table without symbols: the address of
// lpCVT under an exported name.
extern "C" __declspec(dllexport) CVT** zd418CurrentValueTable;
CVT** zd418CurrentValueTable = &lpCVT;

namespace {

const char kTwoInstances[] = "You Should Not Run Two Instances Of Morva";

struct ClassEntry {
    const char* name;
    WNDPROC proc;
    const char* icon;
    const char* failText;
    const char* failCaption;  // null: no caption given
};

const ClassEntry kClasses[] = {
    {"GenericWClass", MainWndProc, "VORICON", "Unable To Register Main Window Class", kTwoInstances},
    {"CONTROLCLASS", ContWndProc, "VORICON", "Unable To Register Control Panel Class", kTwoInstances},
    {"TOOLBARCLASS", DownWndProc, "VORICON", "Unable To Register Vornel Toolbar Class", nullptr},
    {"CANCELCLASS", CancelWndProc, "VORICON", "Unable To Register Cancel Network Connection Class",
     kTwoInstances},
    {"WAITCLASS", WaitWndProc, "VORICON", "Unable To Register Vornel WAIT Class", nullptr},
    {"TEXTCLASS", TextWndProc, "VORICON", "Unable To Register Vornel Text Window Class", nullptr},
    {"OscopeChild", GraphWndProc, "SCOPEICON", "Unable To Register Vornel Graph Class", nullptr},
    {"BarChild", BarProc, "BARICON", "Unable To Register Vornel Bar Class", nullptr},
    {"TabChild", TabProc, "TABICON", "Unable To Register Tabular Class", kTwoInstances},
    {"ACKCLASS", AckWndProc, "VORICON", "Unable To Register Acknowledge Class", kTwoInstances},
    {"QUICKPLOTCLASS", QuickPlotWndProc, "BLUESQUARE", "Unable To Register Vornel Quickplot Class",
     nullptr},
};

bool RegisterClasses(HINSTANCE instance) {
    for (const ClassEntry& c : kClasses) {
        WNDCLASSA wc = {};
        bool frame = strcmp(c.name, "GenericWClass") == 0;
        wc.style = frame ? 0 : (CS_HREDRAW | CS_VREDRAW);
        wc.lpfnWndProc = c.proc;
        wc.cbWndExtra = 4;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, c.icon);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        wc.lpszClassName = c.name;
        if (!RegisterClassA(&wc)) {
            MessageBoxA(nullptr, c.failText, c.failCaption, MB_OK | MB_ICONHAND);
            return false;
        }
    }
    return true;
}

bool Fail(const char* text) {
    MessageBoxA(hwndFrame, text, nullptr, MB_OK | MB_ICONHAND);
    return false;
}

void CheckItem(int id, bool on) {
    CheckMenuItem(hMainMenu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

bool CreateFrameAndCompanions(HINSTANCE instance, int show) {
    bRemoteControlled = false;
    hInst = instance;
    hwndFrame = CreateWindowA("GenericWClass", "Vornel Morva ", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                              hMainMenu, instance, nullptr);
    if (hwndFrame == nullptr) return false;
    Win32SetMessageOwner(hwndFrame);
    ShowWindow(hwndFrame, show);

    int sx = GetSystemMetrics(SM_CXSCREEN);
    int sy = GetSystemMetrics(SM_CYSCREEN);
    hwndAck = CreateWindowA("ACKCLASS", "Acknowledge Before Proceeding", WS_POPUP | WS_CAPTION,
                            sx / 4, static_cast<int>(sy * 0.1), 200, 62, hwndFrame, nullptr,
                            instance, nullptr);
    if (hwndAck == nullptr) return Fail("Unable To Create Acknowledge Window");
    ShowWindow(hwndAck, SW_HIDE);

    AllocateTestModel();  // reports each failed block itself, then reads the settings

    // The menu captions of the two user programs come from the settings; one
    // the menu cannot show (a blank, clickable item) leaves the item as it is.
    if (MenuCaptionProblem(szNamedArea1) == nullptr)
        ModifyMenuA(hMainMenu, IDM_MATLAB, MF_BYCOMMAND | MF_STRING, IDM_MATLAB, szNamedArea1);
    if (MenuCaptionProblem(szNamedArea2) == nullptr)
        ModifyMenuA(hMainMenu, IDM_DADISP, MF_BYCOMMAND | MF_STRING, IDM_DADISP, szNamedArea2);

    hwndControl = CreateWindowA("CONTROLCLASS", StartupPanelCaption(), WS_POPUP | WS_CAPTION,
                                nControlLeft, nControlTop, 390, 87, hwndFrame, nullptr, instance,
                                nullptr);
    if (hwndControl == nullptr) return Fail("Unable To Create Recorder Control Window");
    if (nControlStatus) ShowWindow(hwndControl, SW_SHOWNORMAL);
    else CheckItem(IDM_TAPECONTROL, false);

    hwndCancel = CreateWindowA("CANCELCLASS", "Establishing Connection To Halvo",
                               WS_POPUP | WS_CAPTION | WS_SYSMENU, sx / 2, sy / 2, 225, 105,
                               hwndFrame, nullptr, instance, nullptr);
    if (hwndCancel == nullptr) return Fail("Unable To Create Cancel Network Connection Window");
    ShowWindow(hwndCancel, SW_HIDE);

    hwndTools = CreateWindowA("TOOLBARCLASS", "Tools", WS_POPUP | WS_CAPTION, nToolsLeft,
                              nToolsTop, 403, 50, hwndFrame, nullptr, instance, nullptr);
    if (hwndTools == nullptr) return Fail("Unable To Create Vornel Toolbar Class");
    if (nToolsStatus) ShowWindow(hwndTools, SW_SHOWNORMAL);
    else CheckItem(IDM_TOOLBAR, false);

    hwndWait = CreateWindowA("WAITCLASS", "Status", WS_POPUP | WS_CAPTION,
                             static_cast<int>(sx * 0.4), static_cast<int>(sy * 0.4), 210, 110,
                             hwndFrame, nullptr, instance, nullptr);
    if (hwndWait == nullptr) return Fail("Unable To Create Vornel Wait Class");
    CreateWindowA("STATIC", "Please Wait ...", WS_CHILD | WS_VISIBLE, 50, 10, 100, 20, hwndWait,
                  reinterpret_cast<HMENU>(10), instance, nullptr);
    CreateWindowA("STATIC", "Downloading", WS_CHILD | WS_VISIBLE, 30, 50, 150, 50, hwndWait,
                  reinterpret_cast<HMENU>(11), instance, nullptr);
    ShowWindow(hwndWait, SW_HIDE);
    SetChannelDownloadProgress(ShowChannelDownloadProgress);

    dwReplayDelay = 30;
    bTestOpen = false;

    if (!LoadControlLibrary()) {
        bSimulator = true;
        bNoHardware = true;
    }
    ClearGPIB();

    if (bCommandLineStart) {
        OpenNamedTest(szCommandLineTest);
    } else {
        OpenTest();
        bTestChanged = true;
    }

    CheckItem(IDM_SIMULATOR, bSimulator);
    if (bSimulator) SetWindowTextA(hwndControl, PanelCaption());

    nInputMode = -1;
    if (bCommandLineStart) PostMessage(hwndFrame, WM_COMMAND, IDM_OPENCONNECT, 0);
    StartNetworkServices();
    CheckItem(IDM_SERVEDATA, bServeData);
    UpdateWindow(hwndFrame);
    return true;
}

void DispatchWaiting(const MSG& msg) {
    if (hwndMDIClient && TranslateMDISysAccel(hwndMDIClient, const_cast<MSG*>(&msg))) return;
    if (hAccel && TranslateAcceleratorA(hwndFrame, hAccel, const_cast<MSG*>(&msg))) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

// One step of an idle pass: a broadcast to the displays, or the panel shown
// stopped after the last replay step.
void IdleBroadcast(IdleStep step) {
    if (step == IdleStep::PanelStopped) {
        if (hwndControl) InvalidateRect(hwndControl, nullptr, TRUE);
        return;
    }
    BroadcastIdleStep(step);
}

void IdlePass(uint32_t* lastUpdate) {
    if (RunIdlePass(IdleBroadcast)) *lastUpdate = timeGetTime();
}

int MessageLoop() {
    MSG msg;
    uint32_t lastUpdate = timeGetTime();
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            DispatchWaiting(msg);
        } else {
            IdlePass(&lastUpdate);
            // Sleep until a message arrives or the pump or a display refresh
            // is due, whichever is first: idle costs no CPU, timing is kept.
            uint32_t now = timeGetTime();
            bool haveDisplays = hwndMDIClient && GetWindow(hwndMDIClient, GW_CHILD) != nullptr;
            DWORD wait = IdleWaitMs(now, lastUpdate, AcquisitionBudgetMs(now), haveDisplays);
            if (wait > 0)
                MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
        AcquisitionPump();
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    Win32SetResourceInstance(instance);
    if (commandLine != nullptr && commandLine[0] != '\0') {
        // A path with blanks arrives quoted; the quotes are not part of it.
        const char* start = commandLine;
        size_t len = strlen(start);
        if (len >= 2 && start[0] == '"' && start[len - 1] == '"') {
            ++start;
            len -= 2;
        }
        snprintf(szCommandLineTest, sizeof szCommandLineTest, "%.*s", static_cast<int>(len), start);
        bCommandLineStart = true;
    }
    if (!RegisterClasses(instance)) return 0;

    bTestChanged = bTestChanged2 = false;
    hMainMenu = LoadMenuA(instance, "Zd418Menu");
    hWindowMenu = GetSubMenu(hMainMenu, 5);
    if (!CreateFrameAndCompanions(instance, show)) return 0;

    hAccel = LoadAcceleratorsA(instance, "MdiAccel");
    hwndMDIClient = GetWindow(hwndFrame, GW_CHILD);

    int code = MessageLoop();
    DeleteSharedDrawingObjects();
    return code;
}
