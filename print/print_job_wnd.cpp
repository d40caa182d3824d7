// Win32: print jobs on the default printer.
#include "print/print_job_wnd.h"

#include "print/printer_device.h"

HDC CreateDefaultPrinterDC() {
    char value[400] = "";
    GetProfileStringA("windows", "device", "", value, sizeof value);
    PrinterDevice device;
    if (!ParsePrinterDevice(value, &device)) return nullptr;
    return CreateDCA(nullptr, device.Name, nullptr, nullptr);
}

bool BeginPrintJob(PrintJob* job, const char* documentName) {
    HDC dc = CreateDefaultPrinterDC();
    if (!BeginPrintJobOn(job, dc, documentName)) {
        if (dc) DeleteDC(dc);
        return false;
    }
    job->ownsDc = true;
    return true;
}

bool BeginPrintJobOn(PrintJob* job, HDC dc, const char* documentName) {
    *job = PrintJob{};
    job->dc = dc;
    if (job->dc == nullptr) return false;
    job->width = GetDeviceCaps(job->dc, HORZRES);
    job->height = GetDeviceCaps(job->dc, VERTRES);
    DOCINFOA doc = {};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = documentName;
    if (StartDocA(job->dc, &doc) <= 0) {
        job->dc = nullptr;
        return false;
    }
    return true;
}

bool BeginPrintPage(PrintJob* job) {
    if (job->dc == nullptr) return false;
    if (StartPage(job->dc) <= 0) job->failed = true;
    return !job->failed;
}

bool EndPrintPage(PrintJob* job) {
    if (job->dc == nullptr) return false;
    if (EndPage(job->dc) <= 0) job->failed = true;
    else ++job->pages;
    return !job->failed;
}

bool EndPrintJob(PrintJob* job) {
    if (job->dc == nullptr) return false;
    if (EndDoc(job->dc) <= 0) job->failed = true;
    if (job->ownsDc) DeleteDC(job->dc);
    job->dc = nullptr;
    return !job->failed;
}

void AbortPrintJob(PrintJob* job) {
    if (job->dc == nullptr) return;
    AbortDoc(job->dc);
    if (job->ownsDc) DeleteDC(job->dc);
    job->dc = nullptr;
}

namespace {

int32_t PrintPage(PrintJob& job, PrintPageProc draw, void* context) {
    if (!BeginPrintPage(&job)) {
        AbortPrintJob(&job);
        return 0;
    }
    RECT area = {0, 0, job.width, job.height};
    draw(job.dc, &area, context);
    if (!EndPrintPage(&job)) {
        AbortPrintJob(&job);
        return 0;
    }
    return EndPrintJob(&job) ? 1 : 0;
}

}  // namespace

int32_t PrintPageOn(HDC dc, const char* documentName, PrintPageProc draw, void* context) {
    PrintJob job;
    if (!BeginPrintJobOn(&job, dc, documentName)) return 0;
    return PrintPage(job, draw, context);
}

int32_t PrintOnePage(const char* documentName, PrintPageProc draw, void* context) {
    PrintJob job;
    if (!BeginPrintJob(&job, documentName)) return 0;
    return PrintPage(job, draw, context);
}
