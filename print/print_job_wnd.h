// Win32: printing on the default printer.  A print job is a plain record:
// begin it (the printer's device context and the document), draw each page
// between BeginPrintPage and EndPrintPage, end it.
//
// Displays: the frame makes the printer's device context with
// CreateDefaultPrinterDC and hands it to every display in the lParam of
// WM_DISPLAY_PRINT; a display prints its page on it with PrintPageOn, drawn by
// its own painting code.  PrintOnePage does both for a window that prints by
// itself.
#pragma once

#include <windows.h>

#include <cstdint>

struct PrintJob {
    HDC dc;          // the printer's device context, null when none
    int32_t width;   // printable area, device units
    int32_t height;
    int32_t pages;   // pages ended so far
    bool failed;     // a document or page call failed
    bool ownsDc;     // made by the job, deleted at its end
};

// The default printer's device context ("device" of section "windows",
// "name,driver,port"), null when no printer is configured or it cannot be
// made.
HDC CreateDefaultPrinterDC();

// Opens the default printer and starts document `documentName`.  False (and
// nothing left open) when there is no printer or the document cannot start.
bool BeginPrintJob(PrintJob* job, const char* documentName);
// The same on a printer context the caller made; it is not deleted at the end.
bool BeginPrintJobOn(PrintJob* job, HDC dc, const char* documentName);
bool BeginPrintPage(PrintJob* job);
bool EndPrintPage(PrintJob* job);
// Ends the document and releases the printer; true when every call of the
// job succeeded.
bool EndPrintJob(PrintJob* job);
// Abandons the document and releases the printer.
void AbortPrintJob(PrintJob* job);

// What a display draws on a page: `area` is the printable area in device
// units, the device context is the printer's.
using PrintPageProc = void (*)(HDC dc, const RECT* area, void* context);

// A document of one page drawn by `draw` on the printer context `dc` (which
// stays the caller's to delete).  Returns 1 when it reached the printer, 0
// when a document or page call failed (the document is then abandoned).
int32_t PrintPageOn(HDC dc, const char* documentName, PrintPageProc draw, void* context);

// One whole job of one page drawn by `draw` on the default printer.  Returns 1 when it reached the
// printer, 0 when there is no printer or a call failed.
int32_t PrintOnePage(const char* documentName, PrintPageProc draw, void* context);
