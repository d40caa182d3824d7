// Win32: the tool palette, fourteen bitmap buttons for the most used commands.
// Most buttons run the frame command of the same action; Retrieve, Save and
// Notepad act here.
#include <string>

#include "base/app_state.h"
#include "platform/platform.h"
#include "resources/resource_ids.h"
#include "shell/channel_info.h"
#include "shell/command_ids.h"
#include "shell/frame_globals.h"
#include "shell/shell_rules.h"
#include "testmodel/system_settings.h"

namespace {

struct ToolButton {
    int frameLeft, frameRight;
    const char* bitmap;
    int command;  // frame command performing the button's action; 0 = its own action
};

// Frames at y 2-24, hit boxes one pixel inside; the tenth button is wider.
const ToolButton kButtons[14] = {
    {3, 28, "NEWUPLOADACCESS", 0},          {31, 56, "NEWCHANPARAMS", IDM_CHANNELSETTINGS},
    {59, 84, "NEWSCANLIST", IDM_DEFINESCANLIST}, {87, 112, "NEWDOWNLOADAMPS", IDM_DOWNLOADCHANNELS},
    {115, 140, "NEWDOWNLOADDDS", IDM_DOWNLOADSCANLIST}, {143, 168, "NEWAUTOBALANCE", IDM_AUTOBALANCE},
    {171, 196, "NEWUPLOADAMPS", IDM_REVIEWCHANNELS}, {199, 224, "CALCHANNELS", IDM_CALIBRATE},
    {227, 252, "NEWSAVETOACCESS", 0},        {255, 282, "NEWDRIVEDAC", IDM_DRIVEDACS},
    {285, 310, "WIZARD", IDM_DATAWIZARD},    {313, 338, "BATCHPLOT", IDM_BATCHPRINT},
    {341, 366, "NEWMORVA", IDM_ANALYSIS},    {369, 394, "NEW_NOTEPAD", 0},
};

int nPressed = -1;

constexpr int kRetrieveButton = 0;
constexpr int kDownloadChannelsButton = 3;
constexpr int kDownloadScanListButton = 4;
constexpr int kSaveButton = 8;
constexpr int kNotepadButton = 13;

// Button 14: the test's text file in Notepad.
void OpenTestTextFile() {
    char dir[MAX_PATH] = "";
    PlatformWindowsDirectory(dir, sizeof dir);
    std::string command;
    if (!NotepadCommandLine(dir, szTestFile, &command) ||
        PlatformStartProgram(command.c_str(), SW_SHOWNORMAL) < 32)
        MessageBoxA(hwndFrame, "Could Not Find Notepad", "Put Notepad.exe in Windows Directory",
                    MB_OK | MB_ICONEXCLAMATION);
}

// Buttons 4 and 5 show their own cursor while the download runs.
int CursorOfButton(int i) {
    switch (i) {
    case kDownloadChannelsButton:
        return IDC_TOOLCURSOR_AMPS;
    case kDownloadScanListButton:
        return IDC_TOOLCURSOR_DDS;
    default:
        return 0;
    }
}

void ButtonAction(int i) {
    switch (i) {
    case kNotepadButton:
        OpenTestTextFile();
        return;
    case kRetrieveButton:
        RetrieveChannelInformation();
        return;
    case kSaveButton:
        SaveChannelInformation();
        return;
    default:
        break;
    }
    const int cursor = CursorOfButton(i);
    HCURSOR own = cursor ? LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(cursor)) : nullptr;
    HCURSOR previous = own ? SetCursor(own) : nullptr;
    FrameCommand(hwndFrame, kButtons[i].command);
    if (own) SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW));
}

int HitButton(LPARAM lParam) {
    int x = static_cast<short>(LOWORD(lParam));
    int y = static_cast<short>(HIWORD(lParam));
    if (y < 3 || y > 23) return -1;
    for (int i = 0; i < 14; ++i)
        if (x >= kButtons[i].frameLeft + 1 && x <= kButtons[i].frameRight - 1) return i;
    return -1;
}

void DrawButton(HDC dc, int i, bool sunken) {
    const ToolButton& b = kButtons[i];
    RECT frame = {b.frameLeft, 2, b.frameRight + 1, 25};
    DrawEdge(dc, &frame, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
    char name[32];
    lstrcpynA(name, b.bitmap, sizeof name - 4);
    if (bRemoteControlled) lstrcatA(name, "GRAY");
    int shift = sunken ? 1 : 0;
    DrawBitmapResource(dc, name, b.frameLeft + 1 + shift, 3 + shift);
}

}  // namespace

LRESULT CALLBACK DownWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        FillClientLightGrey(hwnd, dc);
        for (int i = 0; i < 14; ++i) DrawButton(dc, i, false);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        nPressed = HitButton(lParam);
        if (nPressed >= 0) {
            HDC dc = GetDC(hwnd);
            DrawButton(dc, nPressed, true);
            ReleaseDC(hwnd, dc);
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        // The button under the release acts, even when another was pressed.
        int released = HitButton(lParam);
        nPressed = -1;
        InvalidateRect(hwnd, nullptr, FALSE);
        if (released >= 0) ButtonAction(released);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
