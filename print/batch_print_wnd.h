// Win32: batch print of the current test's recording on the default
// printer, one strip chart per scanned channel, three to a page.
#pragma once

#include <windows.h>

#include <cstdint>

// Reads the whole recording once (a progress bar shows how far), then
// prints.  Returns the pages printed: 0 when nothing is scanned or there is
// no printer (the operator is told) or the job failed.
int32_t BatchPrint(HWND owner);

// Draws channel `c`'s strip into `box` of a printer page; `withTrace` false
// leaves the frame empty (no recording to draw from).
struct StripBox;
void DrawBatchStrip(HDC dc, const StripBox& box, int32_t c, bool withTrace);
