// The raw data file of a recording: the front end's transfers exactly as they
// arrived, appended one after another with nothing between them.  One stream,
// owned here, is open while a recording runs; the engine, the control panel
// and the remote-control loop all go through these calls, so a failed open or
// write ends the recording in every view of it at once.
//
// Every transfer is handed to the operating system as soon as it is written
// (the stream is flushed), so a program that dies mid-recording leaves every
// completed transfer in the file.
#pragma once

#include <cstdint>

// Opens the raw file of the current test (its data-file name plus ".raw"),
// closing one that is open: appending in append mode, truncated otherwise.
// 1 on success; 0 when it cannot be opened (no stream is left open).
int32_t OpenRawFile(bool append);
// The same for an explicit file name (tools and tests).
int32_t OpenRawFileNamed(const char* name, bool append);

// Writes one transfer of `bytes` bytes and hands it to the system.  1 when all
// of it reached the file; 0 on a short write or a failed flush, in which case
// the stream is closed (what was written before stays in the file).  0 also
// when no file is open.
int32_t AppendTransfer(const void* data, uint32_t bytes);

// Closes the stream; 1 when the close (and its final flush) succeeded or none
// was open, 0 when data may not have reached the file.
int32_t CloseRawFile();

bool RawFileIsOpen();
// Name of the file opened last ("" before the first open).
const char* RawFileName();
// Transfers written since the last open.
uint32_t RawTransfersWritten();

// What failed, ahead of the file's name in the report.
constexpr const char* kRawFileOpenFailed = "Could Not Open The Raw Data File ";
constexpr const char* kRawFileWriteFailed = "Could Not Write The Raw Data File ";
// The raw file failed: the operator sees which file; a supervisor finds the
// failure bit with error 1 in the next status word.
void ReportRawFileFailure(const char* what);
