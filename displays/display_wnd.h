// Win32: what the display windows share: their state blocks in movable
// global memory, fonts and the font chooser, the record each one appends to
// the screen file, rebuilding displays from a screen file, the print frame,
// and a drawing log that tests read back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "displays/display_state.h"

// ---- state blocks (handle kept in the window's user data) ----
// Allocates a zeroed block of `size` bytes for the window and returns it
// locked; null (problem box shown) when it cannot be had.
void* NewDisplayBlock(HWND hwnd, size_t size);
// Locks the window's block; null with "Got A Zero lock" under `caption`.
void* LockDisplayBlock(HWND hwnd, const char* caption);
void UnlockDisplayBlock(HWND hwnd);
// Unlocks fully and frees the block.
void FreeDisplayBlock(HWND hwnd);

// The arrangement of displays changed since the last save or load.
void MarkScreenChanged();

// The creation text handed to an MDI child (null for a menu-created one).
const char* DisplayCreationText(LPARAM createLParam);

HFONT MakeDisplayFont(const DisplayFont& font);
// The font dialog on font and colour; true when confirmed.
bool ChooseDisplayFont(HWND owner, DisplayFont* font, uint32_t* colour);

// Appends "KEYWORD,x,y,w,h,title" + rest to the current screen file.  The
// tabular display reports failures with its own texts.
enum class StoreTexts { Graph, Tabular, Bar };
void StoreDisplayRecord(HWND hwnd, const char* keyword, const char* title, const char* rest,
                        StoreTexts texts);

// Closes every display, then creates one for each record of the file.
// Returns 1, or 0 after reporting a file that cannot be opened or read.
int32_t RebuildDisplaysFromScreen(const char* path);
// "Open Screen...": asks for the file, remembers it and rebuilds from it.
void OpenScreenCommand(HWND frame);

// Print frame around a display's drawing: abort procedure, document, page,
// an isotropic mapping of the client size onto the page width.  Begin
// returns false when the document could not be started.
bool BeginDisplayPrint(HDC dc, const char* title, int32_t width, int32_t height);
void EndDisplayPrint(HDC dc);

// Background of the displays: the system colour of the MDI background area.
HBRUSH DisplayBackgroundBrush();

// ---- drawing log (tests) ----
// While a test has enabled it, every display notes what it last passed to
// GDI for its data: the trace points, the table rows with their colours,
// the filled part of each bar with its colour.
struct DrawnRow {
    int32_t Channel;
    char Raw[24];
    char Eu[40];
    uint32_t Colour;
};
struct DrawnBar {
    int32_t Left, Right, Base, End;
    uint32_t Colour;
};
struct DisplayDrawLog {
    HWND Window;
    int32_t Draws;             // data drawings so far
    int32_t TracePoints;
    int32_t TraceX[512], TraceY[512];
    int32_t TraceValue[512];   // the values behind the points (mV or spectrum height)
    int32_t Rows;
    DrawnRow Row[255];
    int32_t Bars;
    DrawnBar Bar[96];
};
void EnableDisplayDrawLog(bool on);
// The log of a window (null while logging is off or all slots are taken).
DisplayDrawLog* DisplayDrawLogFor(HWND hwnd);
