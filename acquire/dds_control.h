// Starting the DDS: query, stop when it still scans, size the transfers, start
// scanning and begin the upload.  The transfer layout it starts with is the
// one fixed by the last scan-table download, which every reader of the
// transfers (the engine, the raw file, the live displays) then shares.
#pragma once

#include <cstdint>

// Transfer layout in force since the last successful StartDDS.
struct TransferLayout {
    uint32_t EntryCount;     // scan-table positions N
    uint32_t ScanBytes;      // 2N + 16
    uint32_t Scans;          // scans per transfer S
    uint32_t TransferBytes;  // 2 (N + 8) S
};
extern TransferLayout sTransferLayout;

// The layout of the last scan-table download when it still fits the current
// table and the transfer buffers; false when there was no download, the table
// changed its size since, or the length would not fit.
bool DownloadedTransferLayout(TransferLayout* layout);

// Zeroes the layout's bytes of both transfer buffers.
void ClearNewData();

// 1 on success (DDS running and no transfer outstanding set); 0 after the
// failure was shown, or reported by code while remote-controlled.  Simulator
// mode touches no bus.
int32_t StartDDS();
