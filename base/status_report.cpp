#include "base/status_report.h"

#include <cstdio>
#include <cstring>

#include "base/app_state.h"

PlatformPipe hErrorPipe = 0;

int32_t FormatStatusLine(int32_t channel, int32_t code, char* line, int32_t size) {
    char text[100];
    int32_t found = 0;
    // Only codes of the status table: a code past its end or below it would
    // otherwise reach neighbouring strings (2102 is the screen-file filter).
    if (code >= 0 && code <= kLastStatusCode)
        found = PlatformLoadString(kStatusStringBase + static_cast<uint32_t>(code), text,
                                   sizeof text);
    int n;
    if (found > 0)
        n = channel >= 0 ? snprintf(line, size, "%s::Channel %d", text, channel)
                         : snprintf(line, size, "%s", text);
    else
        n = channel >= 0 ? snprintf(line, size, "Unknown Error::Channel %d", channel)
                         : snprintf(line, size, "Unknown Error::");
    if (n < 0) return 0;
    return n < size ? n : size - 1;
}

int32_t ReportStatus(int32_t channel, int32_t code) {
    char line[160];
    int32_t n = FormatStatusLine(channel, code, line, sizeof line);
    PlatformPipeWrite(hErrorPipe, line, static_cast<uint32_t>(n));
    return 1;
}

int32_t ShowProblem(uint32_t stringId, const char* append) {
    // One shared buffer, as every caller runs on the window thread.
    static char text[512];
    PlatformBeep(BEEP_EXCLAMATION);
    text[0] = '\0';
    PlatformLoadString(stringId, text, sizeof text);
    if (append != nullptr) {
        size_t used = strlen(text);
        snprintf(text + used, sizeof text - used, "%s", append);
    }
    return PlatformMessageBox(text, "There Is A Problem With The Last Action",
                              MB_OK_ | MB_ICONEXCLAMATION_, true);
}

int32_t ReportFailure(const char* text, const char* caption, uint32_t style, int32_t code,
                      int32_t channel) {
    if (bRemoteControlled)
        ReportStatus(channel, code);
    else
        PlatformMessageBox(text, caption, style);
    return 0;
}
