// Win32: the quick-plot windows and the Prepare Quick Plots dialog.
#pragma once

#include <windows.h>

#include <cstdint>

// Dialog PREPQUICKPLOTS.
INT_PTR CALLBACK PrepQuickPlotsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
// "Prepare Quick Plots": the dialog, with its progress bar.
void PrepareQuickPlotsCommand(HWND owner);

// A quick-plot window of channel `c` at the given place, owned by `owner`.
// A channel that is not scanned gets a message and no window.  Returns the
// window, or null.
HWND OpenQuickPlot(HWND owner, int32_t c, int32_t x, int32_t y, int32_t width, int32_t height);
// "Quick Plot": a window for every channel the last preparation found in the
// scan list, tiled across the frame, which is maximised.  Returns the
// windows made.
int32_t QuickPlotAllChannels(HWND frame);
// "Remove All Quick Plots": every quick-plot window goes, each remembered
// handle is forgotten.
void RemoveAllQuickPlots();

// Draws channel `c`'s quick plot into `area` of `dc` (screen or printer).
void DrawQuickPlot(HDC dc, const RECT* area, int32_t c);
