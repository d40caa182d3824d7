// Win32: the tabular display window, TabProc.  The table is drawn into an
// off-screen bitmap on every update that its priority lets through and
// copied to the window on paint.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "acquire/panel_rules.h"
#include "base/app_state.h"
#include "displays/display_fields.h"
#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "displays/tab_dlg.h"
#include "displays/tab_rules.h"
#include "platform/platform.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"

namespace {

struct TabBlock {
    TabState s;
    HFONT font;
    HBITMAP bitmap;
};

int32_t LineHeight(HWND hwnd, TabBlock* b) {
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, b->font);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return tm.tmHeight + tm.tmExternalLeading;
}

int32_t TextWidth(HDC dc, const char* text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
    return size.cx;
}

void Measure(HDC dc, TabState* s) {
    s->UnitsWidth = TextWidth(dc, "MM");
    s->NameWidth = 0;
    for (int32_t i = 0; i < s->Count; ++i) {
        int32_t c = s->Parameters[i];
        int32_t u = TextWidth(dc, ChannelUnits(c));
        if (u > s->UnitsWidth) s->UnitsWidth = u;
        int32_t n = TextWidth(dc, ChannelName(c));
        if (n > s->NameWidth) s->NameWidth = n;
    }
    static const char* const kRawSample[] = {"999999999", "XXXX", "88888888", "0000000000000000"};
    s->RawWidth = TextWidth(dc, kRawSample[s->Radix >= 0 && s->Radix <= 3 ? s->Radix : 0]);
    s->EuWidth = TextWidth(dc, "999999.999999");
    s->Measured = 1;
}

void TextAt(HDC dc, int32_t x, int32_t y, UINT align, const char* text) {
    SetTextAlign(dc, align | TA_TOP);
    TextOutA(dc, x, y, text, static_cast<int>(strlen(text)));
}

// Draws the table into dc (a bitmap of the client size) on `background`.
void DrawTable(HWND hwnd, HDC dc, TabBlock* b, HBRUSH background) {
    TabState& s = b->s;
    RECT rc = {0, 0, s.Width, s.Height};
    FillRect(dc, &rc, background);
    HGDIOBJ oldFont = SelectObject(dc, b->font);
    if (!s.Measured) Measure(dc, &s);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    int32_t lh = tm.tmHeight + tm.tmExternalLeading;
    if (lh < 1) lh = 1;
    const int32_t nameX = 0;
    const int32_t rawX = s.NameWidth + s.RawWidth + 10;
    const int32_t euX = s.NameWidth + s.RawWidth + s.EuWidth + 20;
    const int32_t unitsX = s.NameWidth + s.UnitsWidth + s.RawWidth + s.EuWidth + 30;
    const int32_t logicalWidth = s.FitWidth ? unitsX + 15 : s.Width;
    const int32_t logicalHeight = s.FitHeight ? lh * (s.Count + 1) + 5 : s.Height;
    // The logical table is scaled onto the client area by its own factor
    // in each direction (1 without fitting).  The scaling is done here rather
    // than by a GDI mapping: a font under an anisotropic mapping keeps its own
    // aspect and would run over the next column.  A font of the scaled height
    // and character width keeps the text inside the widths measured above.
    const double sx = logicalWidth > 0 ? static_cast<double>(s.Width) / logicalWidth : 1.0;
    const double sy = logicalHeight > 0 ? static_cast<double>(s.Height) / logicalHeight : 1.0;
    DisplayFont scaled = s.Font;
    scaled.Height = static_cast<int32_t>(s.Font.Height * sy);
    if (scaled.Height == 0) scaled.Height = s.Font.Height < 0 ? -1 : 1;
    scaled.Width = static_cast<int32_t>(tm.tmAveCharWidth * sx);
    if (scaled.Width < 1) scaled.Width = 1;
    HFONT drawFont = MakeDisplayFont(scaled);
    HGDIOBJ measuredFont = SelectObject(dc, drawFont);
    auto X = [&](int32_t x) { return 5 + static_cast<int32_t>(x * sx); };
    auto Y = [&](int32_t y) { return static_cast<int32_t>(-y * sy); };
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 255));
    TextAt(dc, X(nameX), Y(0), TA_LEFT, "Parameter");
    if (!s.HideRaw) TextAt(dc, X(rawX), Y(0), TA_RIGHT, "Raw");
    if (!s.HideEu) TextAt(dc, X(euX), Y(0), TA_RIGHT, "EU");
    DisplayDrawLog* log = DisplayDrawLogFor(hwnd);
    const int32_t rows = TabRowsDrawn(s);
    if (log) {
        ++log->Draws;
        log->Rows = 0;
    }
    for (int32_t i = 0; i < rows; ++i) {
        const int32_t c = s.Parameters[s.FirstRow + i];
        const int32_t y = -(lh * (i + 1));
        const float v = lpCVT ? static_cast<float>(lpCVT->Value[c]) : 0.0f;
        const uint32_t colour = TabValueColour(c, v, s.TextColour);
        char raw[24] = "", eu[40] = "";
        FormatRawWord(lpCVT ? lpCVT->Format[c] : 0, s.Radix, raw, sizeof raw);
        FormatDisplayNumber(v, 6, eu, sizeof eu);
        SetTextColor(dc, colour);
        TextAt(dc, X(nameX), Y(y), TA_LEFT, ChannelName(c));
        if (!s.HideRaw) TextAt(dc, X(rawX), Y(y), TA_RIGHT, raw);
        if (!s.HideEu) TextAt(dc, X(euX), Y(y), TA_RIGHT, eu);
        TextAt(dc, X(unitsX), Y(y), TA_RIGHT, ChannelUnits(c));
        if (log && log->Rows < 255) {
            DrawnRow& r = log->Row[log->Rows++];
            r.Channel = c;
            r.Colour = colour;
            snprintf(r.Raw, sizeof r.Raw, "%s", raw);
            snprintf(r.Eu, sizeof r.Eu, "%s", eu);
        }
    }
    SelectObject(dc, measuredFont);
    DeleteObject(drawFont);
    SelectObject(dc, oldFont);
}

void RebuildBitmap(HWND hwnd, TabBlock* b) {
    if (b->bitmap) DeleteObject(b->bitmap);
    b->bitmap = nullptr;
    TabComputeRows(&b->s, LineHeight(hwnd, b));
    if (b->s.Width <= 0 || b->s.Height <= 0) return;
    HDC wdc = GetDC(hwnd);
    b->bitmap = CreateCompatibleBitmap(wdc, b->s.Width, b->s.Height);
    HDC dc = CreateCompatibleDC(wdc);
    HGDIOBJ old = SelectObject(dc, b->bitmap);
    RECT rc = {0, 0, b->s.Width, b->s.Height};
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(hwnd, wdc);
}

void DrawIntoBitmap(HWND hwnd, TabBlock* b) {
    if (b->bitmap == nullptr) return;
    HDC wdc = GetDC(hwnd);
    HDC dc = CreateCompatibleDC(wdc);
    HGDIOBJ old = SelectObject(dc, b->bitmap);
    DrawTable(hwnd, dc, b, DisplayBackgroundBrush());
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(hwnd, wdc);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void RecreateFont(TabBlock* b) {
    if (b->font) DeleteObject(b->font);
    b->font = MakeDisplayFont(b->s.Font);
}

void Update(HWND hwnd, TabBlock* b) {
    if (bSimulator) {
        if (!bRecording && !bPreviewing) return;
        SimulateCvtStep();
        DrawIntoBitmap(hwnd, b);
        if (dwReplayDelay) PlatformSleep(dwReplayDelay);
        return;
    }
    if (PriorityCountdown(&b->s.Countdown, b->s.Priority)) DrawIntoBitmap(hwnd, b);
}

void Print(HWND hwnd, TabBlock* b, HDC printer) {
    if (printer == nullptr) return;
    if (!BeginDisplayPrint(printer, b->s.Title, b->s.Width, b->s.Height)) return;
    HDC wdc = GetDC(hwnd);
    HBITMAP page = CreateCompatibleBitmap(wdc, b->s.Width > 0 ? b->s.Width : 1, b->s.Height > 0 ? b->s.Height : 1);
    HDC dc = CreateCompatibleDC(wdc);
    HGDIOBJ old = SelectObject(dc, page);
    DrawTable(hwnd, dc, b, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    BitBlt(printer, 0, 0, b->s.Width, b->s.Height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(page);
    ReleaseDC(hwnd, wdc);
    EndDisplayPrint(printer);
    RebuildBitmap(hwnd, b);
    DrawIntoBitmap(hwnd, b);
}

void Store(HWND hwnd, TabBlock* b) {
    static char rest[kScreenRecordMax];
    TabFormatRecord(b->s, rest, sizeof rest);
    char title[kDisplayTitleSize];
    GetWindowTextA(hwnd, title, sizeof title);
    StoreDisplayRecord(hwnd, "TABULAR", title, rest, StoreTexts::Tabular);
}

LRESULT Create(HWND hwnd, LPARAM lParam) {
    TabBlock* b = static_cast<TabBlock*>(NewDisplayBlock(hwnd, sizeof(TabBlock)));
    if (b == nullptr) return -1;
    TabDefaults(&b->s);
    if (const char* text = DisplayCreationText(lParam)) TabReadCreation(&b->s, text);
    GetWindowTextA(hwnd, b->s.Title, sizeof b->s.Title);
    RECT rc;
    GetClientRect(hwnd, &rc);
    b->s.Width = rc.right;
    b->s.Height = rc.bottom;
    RecreateFont(b);
    RebuildBitmap(hwnd, b);
    DrawIntoBitmap(hwnd, b);
    MarkScreenChanged();
    UnlockDisplayBlock(hwnd);
    return 0;
}

}  // namespace

LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        if (Create(hwnd, lParam) < 0) return -1;
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    }
    switch (message) {
    case WM_SIZE: case WM_PAINT: case WM_MOVE: case WM_DESTROY: case WM_RBUTTONUP:
    case WM_COMMAND: case WM_DISPLAY_UPDATE: case WM_DISPLAY_CHANGE: case WM_DISPLAY_PLAY:
    case WM_DISPLAY_STOP: case WM_DISPLAY_STORE: case WM_DISPLAY_PRINT:
        break;
    default:
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    }
    TabBlock* b = static_cast<TabBlock*>(LockDisplayBlock(hwnd, "Tabular Problem"));
    if (b == nullptr) return DefMDIChildProcA(hwnd, message, wParam, lParam);
    bool passOn = false;
    switch (message) {
    case WM_SIZE:
        b->s.Width = LOWORD(lParam);
        b->s.Height = HIWORD(lParam);
        RebuildBitmap(hwnd, b);
        DrawIntoBitmap(hwnd, b);
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
        if (b->bitmap) {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, b->bitmap);
            BitBlt(dc, 0, 0, b->s.Width, b->s.Height, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        EndPaint(hwnd, &ps);
        break;
    }
    case WM_RBUTTONUP:
        wParam = IDM_DISPLAY_PROPERTIES;
        [[fallthrough]];
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_DISPLAY_PROPERTIES:
            if (RunTabDialog(hwnd, &b->s)) {
                SetWindowTextA(hwnd, b->s.Title);
                b->s.Measured = 0;
                RebuildBitmap(hwnd, b);
                DrawIntoBitmap(hwnd, b);
            }
            break;
        case IDM_DISPLAY_FONTS:
            if (ChooseDisplayFont(hwnd, &b->s.Font, &b->s.TextColour)) {
                RecreateFont(b);
                b->s.Measured = 0;
                RebuildBitmap(hwnd, b);
                DrawIntoBitmap(hwnd, b);
                MarkScreenChanged();
            }
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
        b->s.Measured = 0;
        RebuildBitmap(hwnd, b);
        DrawIntoBitmap(hwnd, b);
        break;
    case WM_DISPLAY_PLAY:
        ScanReplayStep(&b->s.Replay, nPlayMode);
        DrawIntoBitmap(hwnd, b);
        if (b->s.Replay.DelayMs) PlatformSleep(b->s.Replay.DelayMs);
        break;
    case WM_DISPLAY_STOP:
        RearmScanReplay(&b->s.Replay);
        break;
    case WM_DISPLAY_STORE:
        Store(hwnd, b);
        break;
    case WM_DISPLAY_PRINT:
        Print(hwnd, b, reinterpret_cast<HDC>(lParam));
        break;
    case WM_DESTROY:
        if (b->font) DeleteObject(b->font);
        if (b->bitmap) DeleteObject(b->bitmap);
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
