// Handles owned by the shell's Win32 front end: the frame, its MDI client, the
// companion windows and the drawing objects shared by the displays.
#pragma once

#include <windows.h>

extern HINSTANCE hInst;
extern HWND hwndFrame;
extern HWND hwndMDIClient;
extern HACCEL hAccel;
extern HMENU hMainMenu;
extern HMENU hWindowMenu;

extern HWND hwndAck;
extern HWND hwndControl;
extern HWND hwndCancel;
extern HWND hwndTools;
extern HWND hwndWait;

// First child id of the MDI client's windows.
#define IDM_FIRSTCHILD 800

// The private messages every display child handles.
#define WM_DISPLAY_UPDATE (WM_USER + 1)
#define WM_DISPLAY_CHANGE (WM_USER + 2)
#define WM_DISPLAY_STORE (WM_USER + 3)
#define WM_DISPLAY_TIMING (WM_USER + 4)
#define WM_DISPLAY_PRINT (WM_USER + 5)
#define WM_DISPLAY_PLAY (WM_USER + 6)
#define WM_DISPLAY_STOP (WM_USER + 7)

// Drawing objects created with the frame, in their fixed order.
struct SharedDrawingObjects {
    HBRUSH hbrBlack;
    HPEN hpenBlack;
    HPEN hpenLightBlue;       // RGB(181,198,222)
    HBRUSH hbrLightGrey;      // stock
    HPEN hpenPaleGrey;        // RGB(222,222,222)
    HBRUSH hbrDarkGrey;       // stock
    HPEN hpenSteelBlue;       // RGB(90,123,181)
    HBRUSH hbrLightGrey2;     // stock, second handle
    HPEN hpenBlue;            // RGB(0,0,255)
    HBRUSH hbrRed;            // RGB(255,0,0)
    HPEN hpenGreen;           // RGB(0,255,0)
    HBRUSH hbrWhite;          // RGB(255,255,255)
    HPEN hpenGrey;            // RGB(128,128,128)
    HPEN hpenDashDot;         // dash-dot, width 0, RGB(92,92,92)
    HBRUSH hbrRed2;           // RGB(255,0,0)
    HPEN hpenRed;             // RGB(255,0,0)
    HPEN hpenOlive;           // RGB(192,192,0)
    HBRUSH hbrOlive;          // RGB(192,192,0)
    HBRUSH hbrGreen;          // RGB(0,255,0)
    HPEN hpenGreen2;          // RGB(0,255,0)
};
extern SharedDrawingObjects sDraw;
void CreateSharedDrawingObjects();
void DeleteSharedDrawingObjects();

// Painting helpers of the panels: the light grey background every panel has,
// and a bitmap resource drawn with its top-left corner at (x, y).
void FillClientLightGrey(HWND hwnd, HDC dc);
void DrawBitmapResource(HDC dc, const char* name, int x, int y);

// Window procedures of the registered classes.
LRESULT CALLBACK MainWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ContWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DownWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK CancelWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK WaitWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TextWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK GraphWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK BarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TabProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK AckWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK QuickPlotWndProc(HWND, UINT, WPARAM, LPARAM);

INT_PTR CALLBACK About(HWND, UINT, WPARAM, LPARAM);

// Broadcasts to the MDI client's children.
BOOL CALLBACK StopEnumProc(HWND, LPARAM);
BOOL CALLBACK PlayEnumProc(HWND, LPARAM);
BOOL CALLBACK ChangeEnumProc(HWND, LPARAM);
BOOL CALLBACK UpdateEnumProc(HWND, LPARAM);
BOOL CALLBACK ResizeEnumProc(HWND, LPARAM);
BOOL CALLBACK StoreEnumProc(HWND, LPARAM);
BOOL CALLBACK PrintEnumProc(HWND, LPARAM);
BOOL CALLBACK CloseEnumProc(HWND, LPARAM);
BOOL CALLBACK TimingEnumProc(HWND, LPARAM);
// Sends one broadcast over the MDI client's children.
void Broadcast(WNDENUMPROC proc, LPARAM param = 0);
// The display broadcast of one idle-pass step (the panel's repaint after a
// replay ends is the frame's own business and is left out).
enum class IdleStep;
void BroadcastIdleStep(IdleStep step);

// The frame's command dispatch (menu and tool palette share it).
void FrameCommand(HWND hwnd, int id);
