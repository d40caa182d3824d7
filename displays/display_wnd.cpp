// Win32: the shared part of the display windows.
#include "displays/display_wnd.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "base/status_report.h"
#include "displays/screen_file.h"
#include "shell/command_ids.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"

void* NewDisplayBlock(HWND hwnd, size_t size) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (h == nullptr) {
        ShowProblem(1002, nullptr);
        return nullptr;
    }
    void* p = GlobalLock(h);
    if (p == nullptr) {
        GlobalFree(h);
        ShowProblem(1000, nullptr);
        return nullptr;
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(h));
    return p;
}

void* LockDisplayBlock(HWND hwnd, const char* caption) {
    HGLOBAL h = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    void* p = h ? GlobalLock(h) : nullptr;
    if (p == nullptr && caption != nullptr)
        MessageBoxA(hwnd, "Got A Zero lock", caption, MB_OK | MB_ICONEXCLAMATION);
    return p;
}

void UnlockDisplayBlock(HWND hwnd) {
    HGLOBAL h = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (h) GlobalUnlock(h);
}

void FreeDisplayBlock(HWND hwnd) {
    HGLOBAL h = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (h == nullptr) return;
    for (int i = 0; i < 1000 && (GlobalFlags(h) & GMEM_LOCKCOUNT) != 0; ++i) GlobalUnlock(h);
    if (GlobalFree(h) != nullptr) {
        ShowProblem(1001, nullptr);
        return;
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
}

void MarkScreenChanged() {
    if (lpCVT) lpCVT->ScreenLoaded = 1;
}

const char* DisplayCreationText(LPARAM createLParam) {
    const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(createLParam);
    if (cs == nullptr || cs->lpCreateParams == nullptr) return nullptr;
    const MDICREATESTRUCTA* mcs = static_cast<const MDICREATESTRUCTA*>(cs->lpCreateParams);
    const char* text = reinterpret_cast<const char*>(mcs->lParam);
    return text != nullptr && text[0] != '\0' ? text : nullptr;
}

HFONT MakeDisplayFont(const DisplayFont& f) {
    LOGFONTA lf = {};
    lf.lfHeight = f.Height;
    lf.lfWidth = f.Width;
    lf.lfWeight = f.Weight;
    lf.lfItalic = f.Italic;
    lf.lfPitchAndFamily = f.PitchAndFamily;
    lf.lfCharSet = f.CharSet;
    snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", f.Face);
    return CreateFontIndirectA(&lf);
}

bool ChooseDisplayFont(HWND owner, DisplayFont* f, uint32_t* colour) {
    LOGFONTA lf = {};
    lf.lfHeight = f->Height;
    lf.lfWidth = f->Width;
    lf.lfWeight = f->Weight;
    lf.lfItalic = f->Italic;
    lf.lfPitchAndFamily = f->PitchAndFamily;
    lf.lfCharSet = f->CharSet;
    snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", f->Face);
    CHOOSEFONTA cf = {};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = owner;
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    cf.rgbColors = *colour;
    if (!ChooseFontA(&cf)) return false;
    f->Height = lf.lfHeight;
    f->Width = lf.lfWidth;
    f->Weight = lf.lfWeight;
    f->Italic = lf.lfItalic;
    f->PitchAndFamily = lf.lfPitchAndFamily;
    f->CharSet = lf.lfCharSet;
    snprintf(f->Face, sizeof f->Face, "%s", lf.lfFaceName);
    *colour = cf.rgbColors;
    return true;
}

namespace {

// The window's rectangle in the MDI client's client coordinates.
void PlacementInClient(HWND hwnd, RECT* rc) {
    GetWindowRect(hwnd, rc);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(rc), 2);
}

}  // namespace

void StoreDisplayRecord(HWND hwnd, const char* keyword, const char* title, const char* rest,
                        StoreTexts texts) {
    if (lpCVT == nullptr) return;
    RECT rc;
    PlacementInClient(hwnd, &rc);
    static char record[kScreenRecordMax + 256];
    int32_t n = FormatScreenPrefix(keyword, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                                   title, record, sizeof record);
    snprintf(record + n, sizeof record - n, "%s", rest);
    const char* path = lpCVT->ScreenFile;
    char text[400];
    switch (AppendScreenRecord(path, record)) {
    case ScreenAppend::Written:
        return;
    case ScreenAppend::OpenFailed:
        snprintf(text, sizeof text, "Error Opening File %s", path);
        break;
    case ScreenAppend::SeekFailed:
        snprintf(text, sizeof text, "Seek Error In File %s", path);
        break;
    case ScreenAppend::WriteFailed:
        snprintf(text, sizeof text, "Write Error In File %s", path);
        break;
    }
    if (texts != StoreTexts::Graph) MessageBeep(MB_ICONEXCLAMATION);
    MessageBoxA(hwnd, text, "Screen File", MB_OK | MB_ICONEXCLAMATION);
}

namespace {

void CreateFromRecord(const ScreenRecord& record, void*) {
    if (!record.Type->Created) return;  // no window class behind it
    MDICREATESTRUCTA mcs = {};
    mcs.szClass = record.Type->ClassName;
    mcs.szTitle = record.Title;
    mcs.hOwner = hInst;
    mcs.x = record.X;
    mcs.y = record.Y;
    mcs.cx = record.Width;
    mcs.cy = record.Height;
    mcs.style = 0;
    mcs.lParam = reinterpret_cast<LPARAM>(record.Creation);
    SendMessageA(hwndMDIClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs));
}

}  // namespace

int32_t RebuildDisplaysFromScreen(const char* path) {
    if (hwndMDIClient) EnumChildWindows(hwndMDIClient, CloseEnumProc, 0);
    switch (LoadScreenFile(path, CreateFromRecord, nullptr)) {
    case ScreenLoad::OpenFailed:
        ShowProblem(2103, path);
        return 0;
    case ScreenLoad::ReadError:
        ShowProblem(2104, path);
        return 0;
    case ScreenLoad::Loaded:
        break;
    }
    if (lpCVT) lpCVT->ScreenLoaded = 0;
    return 1;
}

void OpenScreenCommand(HWND frame) {
    if (lpCVT == nullptr) return;
    static const char kFilter[] = "Morva Screens (*.dsw)\0*.dsw\0";
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = frame;
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&ofn)) return;
    snprintf(lpCVT->ScreenFile, sizeof lpCVT->ScreenFile, "%s", file);
    RebuildDisplaysFromScreen(lpCVT->ScreenFile);
}

namespace {
BOOL CALLBACK DisplayAbortProc(HDC, int) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return TRUE;
}
}  // namespace

bool BeginDisplayPrint(HDC dc, const char* title, int32_t width, int32_t height) {
    SetAbortProc(dc, DisplayAbortProc);
    DOCINFOA di = {};
    di.cbSize = sizeof di;
    di.lpszDocName = title;
    if (StartDocA(dc, &di) <= 0) return false;
    if (StartPage(dc) <= 0) {
        AbortDoc(dc);
        return false;
    }
    SaveDC(dc);
    const int32_t deviceWidth = GetDeviceCaps(dc, HORZRES);
    const int32_t deviceHeight = width > 0 ? MulDiv(deviceWidth, height, width) : 1;
    SetMapMode(dc, MM_ISOTROPIC);
    SetWindowExtEx(dc, width > 0 ? width : 1, height > 0 ? height : 1, nullptr);
    SetViewportExtEx(dc, deviceWidth, deviceHeight > 0 ? deviceHeight : 1, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    return true;
}

void EndDisplayPrint(HDC dc) {
    RestoreDC(dc, -1);
    // A page that could not be ended leaves no half job behind.
    if (EndPage(dc) > 0)
        EndDoc(dc);
    else
        AbortDoc(dc);
}

HBRUSH DisplayBackgroundBrush() { return GetSysColorBrush(COLOR_APPWORKSPACE); }

namespace {
bool gDrawLogOn = false;
DisplayDrawLog gDrawLogs[16];
}  // namespace

void EnableDisplayDrawLog(bool on) {
    gDrawLogOn = on;
    memset(gDrawLogs, 0, sizeof gDrawLogs);
}

DisplayDrawLog* DisplayDrawLogFor(HWND hwnd) {
    if (!gDrawLogOn) return nullptr;
    for (DisplayDrawLog& l : gDrawLogs)
        if (l.Window == hwnd) return &l;
    for (DisplayDrawLog& l : gDrawLogs)
        if (l.Window == nullptr || !IsWindow(l.Window)) {
            memset(&l, 0, sizeof l);
            l.Window = hwnd;
            return &l;
        }
    return nullptr;
}
