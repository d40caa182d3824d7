// Win32: the bar display window, BarProc.  Layout, heights and colours come
// from bar_rules; this file draws them.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "acquire/panel_rules.h"
#include "base/app_state.h"
#include "displays/bar_dlg.h"
#include "displays/bar_rules.h"
#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "platform/platform.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"

namespace {

struct BarBlock {
    BarState s;
    HFONT font;
};

void RecreateFont(BarBlock* b) {
    if (b->font) DeleteObject(b->font);
    if (b->s.AutoTextSize) {
        int32_t h, w;
        BarAutoFontSize(b->s, &h, &w);
        b->s.Font.Height = h;
        b->s.Font.Width = w;
    }
    b->font = MakeDisplayFont(b->s.Font);
}

void FillColour(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) {
    if (bottom < top) {
        int32_t t = top;
        top = bottom;
        bottom = t;
    }
    RECT rc = {left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
}

float ValueOf(int32_t channel) {
    return lpCVT && channel >= 0 && channel < kChannels ? static_cast<float>(lpCVT->Value[channel]) : 0.0f;
}

void DrawBars(HWND hwnd, HDC dc, BarBlock* b) {
    BarState& s = b->s;
    BarLayout(&s, s.Width, s.Height);
    DisplayDrawLog* log = DisplayDrawLogFor(hwnd);
    if (log) {
        ++log->Draws;
        log->Bars = 0;
    }
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    for (int32_t i = 0; i < s.Count; ++i) {
        const BarRect& r = s.Rect[i];
        FillColour(dc, r.Left, r.Top, r.Right, r.Bottom, RGB(255, 255, 255));
        const float v = ValueOf(s.Channels[i]);
        const uint32_t colour = BarFillColour(s, i, v);
        int32_t base, end;
        BarFillSpan(s, i, v, &base, &end);
        FillColour(dc, r.Left, end, r.Right, base, colour);
        MoveToEx(dc, r.Left, base, nullptr);
        LineTo(dc, r.Right, base);
        s.LastValue[i] = v;
        if (log && log->Bars < kBarMax) log->Bar[log->Bars++] = {r.Left, r.Right, base, end, colour};
    }
    SelectObject(dc, oldPen);
}

void DrawBarsNow(HWND hwnd, BarBlock* b) {
    HDC dc = GetDC(hwnd);
    DrawBars(hwnd, dc, b);
    ReleaseDC(hwnd, dc);
}

void DrawAll(HWND hwnd, HDC dc, BarBlock* b, HBRUSH background) {
    BarState& s = b->s;
    RECT rc = {0, 0, s.Width, s.Height};
    FillRect(dc, &rc, background);
    FrameRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    BarLayout(&s, s.Width, s.Height);
    HGDIOBJ oldFont = SelectObject(dc, b->font);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_CENTER | TA_BOTTOM);
    for (int32_t i = 0; i < s.Count; ++i) {
        const BarRect& r = s.Rect[i];
        FillColour(dc, r.Left, r.Top, r.Right, r.Bottom, RGB(255, 255, 255));
        SetTextColor(dc, s.Colour[i]);
        const char* name = ChannelName(s.Channels[i]);
        TextOutA(dc, (r.Left + r.Right) / 2, r.Top - s.Height / 50, name, static_cast<int>(strlen(name)));
        const int32_t c = s.Channels[i];
        if (lpCVT) {
            FillColour(dc, r.Left - 5, r.Top, r.Left - 1, r.Bottom, lpCVT->AlarmColor[c]);
            FillColour(dc, r.Left - 5, BarValueY(s, i, static_cast<float>(lpCVT->AlarmAbove[c])), r.Left - 1,
                       BarValueY(s, i, static_cast<float>(lpCVT->AlarmBelow[c])), lpCVT->WarningColor[c]);
            FillColour(dc, r.Left - 5, BarValueY(s, i, static_cast<float>(lpCVT->WarningAbove[c])), r.Left - 1,
                       BarValueY(s, i, static_cast<float>(lpCVT->WarningBelow[c])), s.Colour[i]);
        }
    }
    SelectObject(dc, oldFont);
    DrawBars(hwnd, dc, b);
}

void Update(HWND hwnd, BarBlock* b) {
    const bool sampling = bRecording || bPreviewing;
    if (bSimulator) {
        if (!sampling) return;
        SimulateCvtStep();
        if (dwReplayDelay) PlatformSleep(dwReplayDelay);
        DrawBarsNow(hwnd, b);
        return;
    }
    if (PriorityCountdown(&b->s.Countdown, b->s.Priority) && sampling) DrawBarsNow(hwnd, b);
}

void Print(HWND hwnd, BarBlock* b, HDC dc) {
    if (dc == nullptr) return;
    if (!BeginDisplayPrint(dc, b->s.Title, b->s.Width, b->s.Height)) return;
    DrawAll(hwnd, dc, b, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EndDisplayPrint(dc);
}

void Store(HWND hwnd, BarBlock* b) {
    static char rest[kScreenRecordMax];
    BarFormatRecord(b->s, rest, sizeof rest);
    char title[kDisplayTitleSize];
    GetWindowTextA(hwnd, title, sizeof title);
    StoreDisplayRecord(hwnd, "BAR", title, rest, StoreTexts::Bar);
}

void ShowValue(HWND hwnd, BarBlock* b, int32_t x, int32_t y) {
    int32_t i = BarHit(b->s, x, y);
    if (i < 0) return;
    char text[96];
    const int32_t c = b->s.Channels[i];
    snprintf(text, sizeof text, "%.3f %s", static_cast<double>(b->s.LastValue[i]), ChannelUnits(c));
    char caption[40];
    snprintf(caption, sizeof caption, "%s", ChannelName(c));
    UnlockDisplayBlock(hwnd);  // the box runs a message loop; the block must stay movable
    MessageBoxA(hwnd, text, caption, MB_OK);
    LockDisplayBlock(hwnd, nullptr);
}

LRESULT Create(HWND hwnd, LPARAM lParam) {
    BarBlock* b = static_cast<BarBlock*>(NewDisplayBlock(hwnd, sizeof(BarBlock)));
    if (b == nullptr) return -1;
    BarDefaults(&b->s);
    if (const char* text = DisplayCreationText(lParam)) BarReadCreation(&b->s, text);
    for (float& v : b->s.LastValue) v = -1.0f;
    BarComputeDecades(&b->s);
    GetWindowTextA(hwnd, b->s.Title, sizeof b->s.Title);
    RECT rc;
    GetClientRect(hwnd, &rc);
    b->s.Width = rc.right;
    b->s.Height = rc.bottom;
    RecreateFont(b);
    MarkScreenChanged();
    UnlockDisplayBlock(hwnd);
    return 0;
}

}  // namespace

LRESULT CALLBACK BarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        if (Create(hwnd, lParam) < 0) return -1;
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    }
    switch (message) {
    case WM_SIZE: case WM_PAINT: case WM_MOVE: case WM_DESTROY: case WM_RBUTTONUP: case WM_LBUTTONUP:
    case WM_COMMAND: case WM_DISPLAY_UPDATE: case WM_DISPLAY_CHANGE: case WM_DISPLAY_PLAY:
    case WM_DISPLAY_STOP: case WM_DISPLAY_STORE: case WM_DISPLAY_PRINT:
        break;
    default:
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    }
    BarBlock* b = static_cast<BarBlock*>(LockDisplayBlock(hwnd, "Bar Problem"));
    if (b == nullptr) return DefMDIChildProcA(hwnd, message, wParam, lParam);
    bool passOn = false;
    switch (message) {
    case WM_SIZE:
        b->s.Width = LOWORD(lParam);
        b->s.Height = HIWORD(lParam);
        RecreateFont(b);
        MarkScreenChanged();
        passOn = true;
        break;
    case WM_MOVE:
        MarkScreenChanged();
        passOn = true;
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        DrawAll(hwnd, dc, b, DisplayBackgroundBrush());
        EndPaint(hwnd, &ps);
        break;
    }
    case WM_LBUTTONUP:
        ShowValue(hwnd, b, static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam)));
        break;
    case WM_RBUTTONUP:
        wParam = IDM_DISPLAY_PROPERTIES;
        [[fallthrough]];
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_DISPLAY_PROPERTIES:
            if (RunBarDialog(hwnd, &b->s)) {
                RecreateFont(b);
                BarComputeDecades(&b->s);
                SetWindowTextA(hwnd, b->s.Title);
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            break;
        case IDM_DISPLAY_FONTS: {
            uint32_t colour = b->s.Count > 0 ? b->s.Colour[0] : 0;
            if (ChooseDisplayFont(hwnd, &b->s.Font, &colour)) {
                if (b->s.Count > 0) b->s.Colour[0] = colour;
                RecreateFont(b);
            }
            InvalidateRect(hwnd, nullptr, FALSE);
            MarkScreenChanged();
            break;
        }
        default:
            passOn = true;
            break;
        }
        break;
    case WM_DISPLAY_UPDATE:
        Update(hwnd, b);
        break;
    case WM_DISPLAY_CHANGE:
        BarResetScales(&b->s);
        BarComputeDecades(&b->s);
        InvalidateRect(hwnd, nullptr, FALSE);
        break;
    case WM_DISPLAY_PLAY:
        ScanReplayStep(&b->s.Replay, nPlayMode);
        DrawBarsNow(hwnd, b);
        if (b->s.Replay.DelayMs) PlatformSleep(b->s.Replay.DelayMs);
        break;
    case WM_DISPLAY_STOP:
        RearmScanReplay(&b->s.Replay);
        DrawBarsNow(hwnd, b);
        break;
    case WM_DISPLAY_STORE:
        Store(hwnd, b);
        break;
    case WM_DISPLAY_PRINT:
        Print(hwnd, b, reinterpret_cast<HDC>(lParam));
        break;
    case WM_DESTROY:
        if (b->font) DeleteObject(b->font);
        UnlockDisplayBlock(hwnd);
        FreeDisplayBlock(hwnd);
        MarkScreenChanged();
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    default:
        break;
    }
    UnlockDisplayBlock(hwnd);
    return passOn ? DefMDIChildProcA(hwnd, message, wParam, lParam) : 0;
}
