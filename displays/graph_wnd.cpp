// Win32: the graph (oscilloscope) display window, GraphWndProc.  The samples,
// spectrum, labels and trace come from graph_rules; this file draws them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "base/app_state.h"
#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "displays/graph_dlg.h"
#include "displays/graph_rules.h"
#include "platform/platform.h"
#include "shell/frame_globals.h"

namespace {

struct GraphBlock {
    GraphState s;
    HFONT font;
    HBITMAP graticule;
};

void RecreateFont(GraphBlock* b) {
    if (b->font) DeleteObject(b->font);
    if (b->s.ScaleFontToWindow) {
        b->s.Font.Height = b->s.Height / 15;
        b->s.Font.Width = 0;
    }
    b->font = MakeDisplayFont(b->s.Font);
}

void BuildGraticule(HWND hwnd, GraphBlock* b) {
    if (b->graticule) DeleteObject(b->graticule);
    b->graticule = nullptr;
    const int32_t w = static_cast<int32_t>(0.855 * b->s.Width), h = static_cast<int32_t>(0.82 * b->s.Height);
    if (w <= 0 || h <= 0) return;
    HDC wdc = GetDC(hwnd);
    HDC dc = CreateCompatibleDC(wdc);
    b->graticule = CreateCompatibleBitmap(wdc, w, h);
    HGDIOBJ oldBitmap = SelectObject(dc, b->graticule);
    RECT rc = {0, 0, w, h};
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HPEN grey = CreatePen(PS_SOLID, 1, RGB(100, 100, 100));
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, grey);
    for (int k = 1; k <= 7; ++k) {
        int x = static_cast<int>(k * 0.85 * b->s.Width / 8);
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, h);
    }
    for (int k = 1; k <= 9; ++k) {
        int y = static_cast<int>(k * 0.82 * b->s.Height / 10);
        SelectObject(dc, k == 5 ? red : grey);
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, w, y);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBitmap);
    DeleteObject(grey);
    DeleteObject(red);
    DeleteDC(dc);
    ReleaseDC(hwnd, wdc);
}

void CopyGraticule(HDC dc, const GraphBlock* b) {
    if (b->graticule == nullptr) return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, b->graticule);
    BITMAP bm;
    GetObject(b->graticule, sizeof bm, &bm);
    BitBlt(dc, b->s.Width / 10, b->s.Height / 10, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

// The data part: graticule and trace.
void DrawData(HWND hwnd, HDC dc, GraphBlock* b) {
    HGDIOBJ oldFont = SelectObject(dc, b->font);
    SetTextColor(dc, b->s.TextColour);
    CopyGraticule(dc, b);
    static int32_t xs[kGraphPoints], ys[kGraphPoints];
    GraphTracePixels(b->s, xs, ys);
    POINT pts[kGraphPoints];
    for (int32_t i = 0; i < kGraphPoints; ++i) pts[i] = {xs[i], ys[i]};
    HGDIOBJ oldPen = SelectObject(dc, sDraw.hpenGreen ? sDraw.hpenGreen : GetStockObject(WHITE_PEN));
    Polyline(dc, pts, kGraphPoints);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldFont);
    if (DisplayDrawLog* log = DisplayDrawLogFor(hwnd)) {
        ++log->Draws;
        log->TracePoints = kGraphPoints;
        memcpy(log->TraceX, xs, sizeof xs);
        memcpy(log->TraceY, ys, sizeof ys);
        memcpy(log->TraceValue, b->s.PointY, sizeof b->s.PointY);
    }
}

void DrawDataNow(HWND hwnd, GraphBlock* b) {
    HDC dc = GetDC(hwnd);
    DrawData(hwnd, dc, b);
    ReleaseDC(hwnd, dc);
}

void PadLabel(const char* text, char* out, size_t size) { snprintf(out, size, "%-14s", text); }

// Everything: background and frame, channel number, labels, graticule, trace.
void DrawAll(HWND hwnd, HDC dc, GraphBlock* b, HBRUSH background) {
    const int32_t w = b->s.Width, h = b->s.Height;
    RECT rc = {0, 0, w, h};
    FillRect(dc, &rc, background);
    FrameRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HGDIOBJ oldFont = SelectObject(dc, b->font);
    SetTextColor(dc, b->s.TextColour);
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    const int32_t bottomLine = h - tm.tmHeight - tm.tmExternalLeading - 2;
    char text[64];
    snprintf(text, sizeof text, "%d", static_cast<int>(b->s.DisplayChannel));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    TextOutA(dc, 13, bottomLine, text, static_cast<int>(strlen(text)));
    GraphLabels labels;
    GraphMakeLabels(b->s, &labels);
    char padded[64];
    snprintf(text, sizeof text, "%s mV per Div RTI", labels.PerDivision);
    SetTextAlign(dc, TA_RIGHT | TA_TOP);
    TextOutA(dc, w - 10, 3, text, static_cast<int>(strlen(text)));
    TextOutA(dc, w - 10, bottomLine, labels.TimeBase, static_cast<int>(strlen(labels.TimeBase)));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    PadLabel(labels.Top, padded, sizeof padded);
    TextOutA(dc, w / 10, 3, padded, static_cast<int>(strlen(padded)));
    PadLabel(labels.Bottom, padded, sizeof padded);
    TextOutA(dc, w / 10, bottomLine, padded, static_cast<int>(strlen(padded)));
    SelectObject(dc, oldFont);
    DrawData(hwnd, dc, b);
}

void Configure(HWND hwnd, GraphBlock* b, bool created) {
    GraphConfigure(&b->s, created);
    SetWindowTextA(hwnd, b->s.Title);
}

int32_t Random15() { return rand() & 0x7FFF; }

void Update(HWND hwnd, GraphBlock* b) {
    if (!bRecording && !bPreviewing) return;
    if (bSimulator) {
        if (!b->s.SimSeeded) srand(PlatformTimeMs());
        GraphSimulatedFrame(&b->s, Random15);
        DrawDataNow(hwnd, b);
        if (dwReplayDelay) PlatformSleep(dwReplayDelay);
        return;
    }
    if (sEngine.BlockCounter == 0) return;
    const uint16_t* newest = NewestTransfer();
    if (newest == nullptr) return;
    uint32_t bytes = sEngine.TransferBytes;
    if (bytes > kNewDataWords * 2) bytes = kNewDataWords * 2;
    if (GraphGatherTransfer(&b->s, reinterpret_cast<const uint8_t*>(newest), bytes, sEngine.ScanBytes,
                            sEngine.BlockCounter))
        DrawDataNow(hwnd, b);
}

void Play(HWND hwnd, GraphBlock* b) {
    if (GraphReplayStep(&b->s, nPlayMode)) DrawDataNow(hwnd, b);
    if (b->s.ReplayDelayMs) PlatformSleep(b->s.ReplayDelayMs);
}

void Print(HWND hwnd, GraphBlock* b, HDC dc) {
    if (dc == nullptr) return;
    if (!BeginDisplayPrint(dc, b->s.Title, b->s.Width, b->s.Height)) return;
    DrawAll(hwnd, dc, b, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EndDisplayPrint(dc);
}

void Store(HWND hwnd, GraphBlock* b) {
    char rest[256];
    GraphFormatRecord(b->s, rest, sizeof rest);
    char title[kDisplayTitleSize];
    GetWindowTextA(hwnd, title, sizeof title);
    StoreDisplayRecord(hwnd, "OSCOPE", title, rest, StoreTexts::Graph);
}

LRESULT Create(HWND hwnd, LPARAM lParam) {
    GraphBlock* b = static_cast<GraphBlock*>(NewDisplayBlock(hwnd, sizeof(GraphBlock)));
    if (b == nullptr) return -1;
    GraphDefaults(&b->s);
    if (const char* text = DisplayCreationText(lParam)) {
        GraphReadCreation(&b->s, text);
        GetWindowTextA(hwnd, b->s.Title, sizeof b->s.Title);
    }
    RECT rc;
    GetClientRect(hwnd, &rc);
    b->s.Width = rc.right;
    b->s.Height = rc.bottom;
    RecreateFont(b);
    Configure(hwnd, b, true);
    BuildGraticule(hwnd, b);
    MarkScreenChanged();
    UnlockDisplayBlock(hwnd);
    return 0;
}

}  // namespace

LRESULT CALLBACK GraphWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        if (Create(hwnd, lParam) < 0) return -1;
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    }
    const char* caption = nullptr;
    switch (message) {
    case WM_SIZE: case WM_PAINT: case WM_MOVE: case WM_DESTROY: case WM_RBUTTONUP:
    case WM_COMMAND: case WM_DISPLAY_UPDATE: case WM_DISPLAY_CHANGE: case WM_DISPLAY_PLAY:
    case WM_DISPLAY_STOP:
        caption = "mode Scope Problem";
        break;
    case WM_DISPLAY_STORE:
        caption = "store Scope Problem";
        break;
    case WM_DISPLAY_PRINT:
        caption = "print Scope Problem";
        break;
    default:
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    }
    if (message == WM_DESTROY) caption = "destroy Scope Problem";
    GraphBlock* b = static_cast<GraphBlock*>(LockDisplayBlock(hwnd, caption));
    if (b == nullptr) return DefMDIChildProcA(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    bool passOn = false;
    switch (message) {
    case WM_SIZE:
        b->s.Width = LOWORD(lParam);
        b->s.Height = HIWORD(lParam);
        RecreateFont(b);
        BuildGraticule(hwnd, b);
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
    case WM_RBUTTONUP:
        wParam = IDM_DISPLAY_PROPERTIES;
        [[fallthrough]];
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_DISPLAY_PROPERTIES:
            if (RunScopeDialog(hwnd, &b->s)) {
                SetWindowTextA(hwnd, b->s.Title);
                UnlockDisplayBlock(hwnd);
                SendMessageA(hwnd, WM_DISPLAY_CHANGE, reinterpret_cast<WPARAM>(hwnd), 0);
                InvalidateRect(hwnd, nullptr, FALSE);
                return 0;
            }
            break;
        case IDM_DISPLAY_FONTS:
            if (ChooseDisplayFont(hwnd, &b->s.Font, &b->s.TextColour)) RecreateFont(b);
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        case IDM_GRAPH_INVALIDATE:
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        default:
            passOn = true;
            break;
        }
        break;
    case WM_DISPLAY_UPDATE:
        Update(hwnd, b);
        break;
    case WM_DISPLAY_CHANGE:
        Configure(hwnd, b, false);
        InvalidateRect(hwnd, nullptr, FALSE);
        break;
    case WM_DISPLAY_STORE:
        Store(hwnd, b);
        break;
    case WM_DISPLAY_PRINT:
        Print(hwnd, b, reinterpret_cast<HDC>(lParam));
        break;
    case WM_DISPLAY_PLAY:
        Play(hwnd, b);
        break;
    case WM_DISPLAY_STOP:
        GraphRearmReplay(&b->s);
        Update(hwnd, b);
        break;
    case WM_DESTROY:
        if (b->font) DeleteObject(b->font);
        if (b->graticule) DeleteObject(b->graticule);
        UnlockDisplayBlock(hwnd);
        FreeDisplayBlock(hwnd);
        MarkScreenChanged();
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    default:
        break;
    }
    UnlockDisplayBlock(hwnd);
    if (passOn) result = DefMDIChildProcA(hwnd, message, wParam, lParam);
    return result;
}
