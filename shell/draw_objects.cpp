#include "shell/frame_globals.h"

SharedDrawingObjects sDraw;

void CreateSharedDrawingObjects() {
    sDraw.hbrBlack = CreateSolidBrush(RGB(0, 0, 0));
    sDraw.hpenBlack = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    sDraw.hpenLightBlue = CreatePen(PS_SOLID, 1, RGB(181, 198, 222));
    sDraw.hbrLightGrey = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    sDraw.hpenPaleGrey = CreatePen(PS_SOLID, 1, RGB(222, 222, 222));
    sDraw.hbrDarkGrey = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    sDraw.hpenSteelBlue = CreatePen(PS_SOLID, 1, RGB(90, 123, 181));
    sDraw.hbrLightGrey2 = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    sDraw.hpenBlue = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    sDraw.hbrRed = CreateSolidBrush(RGB(255, 0, 0));
    sDraw.hpenGreen = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
    sDraw.hbrWhite = CreateSolidBrush(RGB(255, 255, 255));
    sDraw.hpenGrey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    sDraw.hpenDashDot = CreatePen(PS_DASHDOT, 0, RGB(92, 92, 92));
    sDraw.hbrRed2 = CreateSolidBrush(RGB(255, 0, 0));
    sDraw.hpenRed = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    sDraw.hpenOlive = CreatePen(PS_SOLID, 1, RGB(192, 192, 0));
    sDraw.hbrOlive = CreateSolidBrush(RGB(192, 192, 0));
    sDraw.hbrGreen = CreateSolidBrush(RGB(0, 255, 0));
    sDraw.hpenGreen2 = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
}

void DeleteSharedDrawingObjects() {
    // Stock objects need no deleting; every object we created goes, so no GDI
    // handle outlives the frame.
    HGDIOBJ created[] = {
        sDraw.hbrBlack,   sDraw.hpenBlack, sDraw.hpenLightBlue, sDraw.hpenPaleGrey,
        sDraw.hpenSteelBlue, sDraw.hpenBlue, sDraw.hbrRed,      sDraw.hpenGreen,
        sDraw.hbrWhite,   sDraw.hpenGrey,  sDraw.hpenDashDot,   sDraw.hbrRed2,
        sDraw.hpenRed,    sDraw.hpenOlive, sDraw.hbrOlive,      sDraw.hbrGreen,
        sDraw.hpenGreen2,
    };
    for (HGDIOBJ o : created)
        if (o) DeleteObject(o);
    sDraw = SharedDrawingObjects{};
}

void FillClientLightGrey(HWND hwnd, HDC dc) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
}

void DrawBitmapResource(HDC dc, const char* name, int x, int y) {
    HBITMAP bmp = LoadBitmapA(hInst, name);
    if (bmp == nullptr) return;
    BITMAP bm;
    GetObjectA(bmp, sizeof bm, &bm);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
}
