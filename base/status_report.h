// Failure and success reports: status lines to a supervising program and the
// problem box.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// First string-table id of the status texts: code k lives at 2043 + k.
constexpr uint32_t kStatusStringBase = 2043;
constexpr int32_t kLastStatusCode = 58;

// Handle the remote-control connection opened on the error pipe; 0 while there
// is none (writes to it then fail silently).
extern PlatformPipe hErrorPipe;

// Formats the status line of `code` for `channel` (-1 = none) into line
// (capacity `size`); returns its length.
int32_t FormatStatusLine(int32_t channel, int32_t code, char* line, int32_t size);

// Writes the status line to the error pipe; the write is not checked.  Returns 1.
int32_t ReportStatus(int32_t channel, int32_t code);

// A failure of an operation: while remote-controlled the status line of
// `code` (for `channel`, -1 = none), otherwise the message box `text` with
// `caption` and `style`.  Returns 0, the failure result of its callers.
int32_t ReportFailure(const char* text, const char* caption, uint32_t style, int32_t code,
                      int32_t channel = -1);

// Beep, then a message box without owner: string `stringId` followed by
// `append` (may be null), caption "There Is A Problem With The Last Action".
int32_t ShowProblem(uint32_t stringId, const char* append);
