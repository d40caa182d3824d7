#include "acquire/dds_control.h"

#include <cstdio>
#include <cstring>

#include "acquire/engine.h"
#include "base/app_state.h"
#include "base/status_report.h"
#include "hardware/gpib_access.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"

TransferLayout sTransferLayout = {};

namespace {

// A failure of the start: the box without caption, or the status line.
int32_t Fail(const char* text, int32_t code) { return ReportFailure(text, "", MB_OK_, code); }

bool SendFailed(const char* text) {
    Send(kGpibBoard, kDdsAddress, text, static_cast<int32_t>(strlen(text)), kNLend);
    return (ibsta & ERR_) != 0;
}

}  // namespace

bool DownloadedTransferLayout(TransferLayout* layout) {
    if (nScansPerTransfer < 1 || nTransferWords < 1) return false;
    if (static_cast<uint32_t>(nTransferWords) > kNewDataWords) return false;
    if (nTransferWords % nScansPerTransfer != 0) return false;
    const uint32_t words = static_cast<uint32_t>(nTransferWords / nScansPerTransfer);
    // The front end scans the table it was given; a table of another size
    // since then would be decoded with the wrong scan length.
    if (words != UsedScanEntries() + 8) return false;
    layout->EntryCount = words - 8;
    layout->ScanBytes = 2 * words;
    layout->Scans = static_cast<uint32_t>(nScansPerTransfer);
    layout->TransferBytes = 2 * static_cast<uint32_t>(nTransferWords);
    return true;
}

void ClearNewData() {
    const uint32_t bytes = sTransferLayout.TransferBytes;
    if (bytes == 0 || bytes > 2 * kNewDataWords) return;
    if (lpucNewData0) memset(lpucNewData0, 0, bytes);
    if (lpucNewData1) memset(lpucNewData1, 0, bytes);
}

int32_t StartDDS() {
    TransferLayout layout;
    if (!DownloadedTransferLayout(&layout))
        return ReportFailure("You Have Not Properly Downloaded A ScanList Please Do So First",
                             "Potential Fatal Error", MB_OK_, 31);
    if (bSimulator) {
        sTransferLayout = layout;
        nDDSRunning = 1;
        nNoTransferOutstanding = 1;
        return 1;
    }
    // A read still outstanding must end (or be aborted) before the DDS can
    // be addressed.
    WaitForOutstandingRead();

    if (SendFailed("M0?")) return Fail("Could Not Check DDS Status", 28);
    char reply[4] = {};
    Receive(kGpibBoard, kDdsAddress, reply, 4, kSTOPend);
    if (ibsta & ERR_) return Fail("DDS Status Check Did Not Complete", 29);
    if (!CheckDDSResponse()) return Fail("DDS Status Check Serial Poll Did Not Complete", 30);
    if (reply[1] == '1' && !StopDDS()) return Fail("Could Not Stop DDS", 17);

    sTransferLayout = layout;
    ClearNewData();
    RebuildDacStartLists();

    char command[24];
    snprintf(command, sizeof command, "M7 %u", layout.TransferBytes / 2);
    if (SendFailed(command)) return Fail("Could Not Initialize DDS Transfer Size ", 31);
    if (!CheckDDSResponse()) return Fail("DDS Transfer Size Serial Poll Did Not Complete", 32);
    if (SendFailed("M0 1,1")) return Fail("Could Not Start DDS", 33);
    if (!CheckDDSResponse()) return Fail("DDS Start Serial Poll Did Not Complete", 34);
    if (SendFailed("U")) return Fail("DDS Upload Command Failed In Start Module", 35);
    nDDSRunning = 1;
    nNoTransferOutstanding = 1;
    return 1;
}
