// The record and playback control panel window: a tape recorder's face with
// a status display, the elapsed time, the start and trigger lamps and eight
// buttons.  What a button does lives in panel_rules; this draws the state
// kept there and forwards the engine's notifications to it.
#include <cstdio>
#include <cstring>

#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "base/app_state.h"
#include "outputs/outputs_dlg.h"
#include "scanlist/scan_table.h"
#include "testmodel/system_settings.h"
#include "shell/frame_globals.h"

namespace {

HFONT g_statusFont = nullptr;
HFONT g_timeFont = nullptr;
HFONT g_lampFont = nullptr;
int32_t g_pressed = -1;  // button under a left-button press, -1 none

struct ButtonPictures {
    const char* off;
    const char* on;
    const char* grey;
};
constexpr ButtonPictures kPictures[kPanelButtons] = {
    {"PLAYOFF", "PLAYON", "PLAYOFFGRAY"},   {"PAUSE", "PAUSEON", "PAUSEGRAY"},
    {"STOPOFF", "STOPON", "STOPONGRAY"},    {"BEGINOFF", "BEGINON", "BEGINOFFGRAY"},
    {"REWOFF", "REWON", "REWOFFGRAY"},      {"FFOFF", "FFON", "FFOFFGRAY"},
    {"ENDOFF", "ENDON", "ENDOFFGRAY"},      {"RECORD_OFF", "RECORD_ON", "RECORD_OFFGRAY"},
};

RECT ButtonFrame(int32_t k) { return RECT{185 + 24 * k, 8, 208 + 24 * k, 31}; }

// The button whose hit area holds (x, y), -1 for none.
int32_t HitButton(int x, int y) {
    if (y < 9 || y > 30) return -1;
    for (int32_t k = 0; k < kPanelButtons; ++k) {
        const int left = 186 + 24 * k;
        if (x >= left && x <= left + 21) return k;
    }
    return -1;
}

void Bevel(HDC dc, RECT r, bool sunken) {
    DrawEdge(dc, &r, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
}

void DrawButton(HDC dc, int32_t k, bool pressed) {
    RECT r = ButtonFrame(k);
    FillRect(dc, &r, reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    Bevel(dc, r, pressed);
    const ButtonPictures& p = kPictures[k];
    const char* name = bRemoteControlled ? p.grey : (pressed || sPanelView.ButtonOn[k]) ? p.on : p.off;
    DrawBitmapResource(dc, name, r.left + 1, r.top + 1);
}

void DrawStatus(HDC dc) {
    RECT box = {10, 9, 180, 32};
    FillRect(dc, &box, sDraw.hbrBlack);
    Bevel(dc, box, true);
    HGDIOBJ old = SelectObject(dc, g_statusFont);
    SetBkColor(dc, RGB(0, 0, 0));
    SetTextColor(dc, sPanelView.StatusColor);
    const char* text = sPanelView.Status ? sPanelView.Status : "NOT SAMPLING";
    TextOutA(dc, 15, 13, text, static_cast<int>(strlen(text)));
    SelectObject(dc, old);
}

void DrawElapsed(HDC dc) {
    RECT box = {10, 35, 180, 58};
    FillRect(dc, &box, sDraw.hbrBlack);
    Bevel(dc, box, true);
    HGDIOBJ old = SelectObject(dc, g_timeFont);
    SetBkColor(dc, RGB(0, 0, 0));
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, 12, 40, "888888888", 9);
    char text[32];
    snprintf(text, sizeof text, "%.4f", sEngine.ElapsedSeconds);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, 12, 40, text, static_cast<int>(strlen(text)));
    SelectObject(dc, old);
}

void DrawLamps(HDC dc) {
    RECT box = {185, 34, 265, 58};
    FillRect(dc, &box, reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    Bevel(dc, box, false);
    HGDIOBJ old = SelectObject(dc, g_lampFont);
    SetBkColor(dc, RGB(192, 192, 192));
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, 193, 41, "S", 1);
    TextOutA(dc, 232, 41, "T", 1);
    SelectObject(dc, old);
    DrawBitmapResource(dc, sPanelView.LampStart ? "ONSTATE" : "OFFSTATE", 203, 40);
    DrawBitmapResource(dc, sPanelView.LampTrigger ? "ONSTATE" : "OFFSTATE", 242, 40);
}

void PaintAll(HWND hwnd, HDC dc) {
    FillClientLightGrey(hwnd, dc);
    DrawStatus(dc);
    DrawElapsed(dc);
    DrawLamps(dc);
    for (int32_t k = 0; k < kPanelButtons; ++k) DrawButton(dc, k, k == g_pressed);
}

// Greys, or enables again, the frame's commands that must not run under a
// running acquisition.
void UpdateCommandGreying() {
    if (hMainMenu == nullptr) return;
    const bool grey = SamplingBlocksCommands() || bRemoteControlled;
    for (int32_t id = 100; id <= 216; ++id)
        if (CommandBlockedWhileSampling(id))
            EnableMenuItem(hMainMenu, static_cast<UINT>(id), MF_BYCOMMAND | (grey ? MF_GRAYED : MF_ENABLED));
    DrawMenuBar(hwndFrame);
}

void SendToPanel(uint32_t message) {
    if (hwndControl != nullptr)
        SendMessageA(hwndControl, message, 0, 0);
    else
        PanelNotification(message);
    if (message == kPanelInputsChanged) UpdateDigitalInputWindow(hwndMDIClient);
}

void Redraw(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    PaintAll(hwnd, dc);
    ReleaseDC(hwnd, dc);
}

void ButtonReleased(HWND hwnd, int32_t button) {
    switch (button) {
    case kButtonPlay: PanelPlay(); break;
    case kButtonStop: PanelStop(); break;
    case kButtonRecord: PanelRecord(); break;
    case -1: break;
    default: PanelReplayButton(button); break;
    }
    UpdateCommandGreying();
    Redraw(hwnd);
}

}  // namespace

LRESULT CALLBACK ContWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        g_statusFont = CreateFontA(15, 9, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
        g_timeFont = CreateFontA(12, 6, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
        g_lampFont = CreateFontA(9, 3, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
        HMENU system = GetSystemMenu(hwnd, FALSE);
        for (int i = 0; i < 3 && system; ++i) DeleteMenu(system, 0, MF_BYPOSITION);
        ResetPanel();
        SetPanelSink(SendToPanel);
        return 0;
    }
    case WM_DESTROY:
        SetPanelSink(nullptr);
        DeleteObject(g_statusFont);
        DeleteObject(g_timeFont);
        DeleteObject(g_lampFont);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        PaintAll(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        g_pressed = HitButton(LOWORD(lParam), HIWORD(lParam));
        if (g_pressed < 0) return 0;
        SetCapture(hwnd);
        const bool idle = !bRecording && !bPreviewing && !bPlaying;
        if (g_pressed == kButtonPlay && idle && nScansPerTransfer > 0)
            sPanelView.Status = "PREVIEWING";
        else if (g_pressed == kButtonRecord && idle && nTriggerState == 0 &&
                 nScansPerTransfer > 0)
            sPanelView.Status = "RECORDING";
        else if (g_pressed == kButtonStop)
            sPanelView.Status = "NOT SAMPLING";
        Redraw(hwnd);
        return 0;
    }
    case WM_LBUTTONUP: {
        if (GetCapture() == hwnd) ReleaseCapture();
        const int32_t pressed = g_pressed;
        g_pressed = -1;
        if (pressed < 0) return 0;
        // The release decides: a press on one button and a release on another
        // runs the second.
        ButtonReleased(hwnd, HitButton(LOWORD(lParam), HIWORD(lParam)));
        return 0;
    }
    case kPanelInputsChanged:
    case kPanelRecordingStopped:
    case kPanelRecordingStarted:
    case kPanelTransferDone:
        PanelNotification(message);
        if (message == kPanelRecordingStopped) UpdateCommandGreying();
        if (message == kPanelTransferDone) {
            HDC dc = GetDC(hwnd);
            DrawElapsed(dc);
            ReleaseDC(hwnd, dc);
        } else {
            Redraw(hwnd);
        }
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
