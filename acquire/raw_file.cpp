#include "acquire/raw_file.h"

#include <cstdio>
#include <cstring>

#include "base/app_state.h"
#include "base/data_file_name.h"
#include "platform/platform.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

FILE* g_raw = nullptr;
char g_rawName[260] = "";
uint32_t g_written = 0;

}  // namespace

int32_t OpenRawFileNamed(const char* name, bool append) {
    CloseRawFile();
    if (name == nullptr || name[0] == '\0') return 0;
    snprintf(g_rawName, sizeof g_rawName, "%s", name);
    g_written = 0;
    g_raw = fopen(name, append ? "a+b" : "w+b");
    // New data in the recording: quick plots prepared from the old one no
    // longer cover it.
    if (g_raw != nullptr && lpQuickPlots != nullptr) lpQuickPlots->Prepared = 0;
    return g_raw != nullptr ? 1 : 0;
}

int32_t OpenRawFile(bool append) {
    char name[260];
    if (DataFileName(szTestFile, ".raw", name, sizeof name) == 0) {
        CloseRawFile();
        g_rawName[0] = '\0';
        return 0;
    }
    return OpenRawFileNamed(name, append);
}

int32_t AppendTransfer(const void* data, uint32_t bytes) {
    if (g_raw == nullptr) return 0;
    // One item of the whole transfer: a short write leaves a partial item,
    // which fwrite reports as 0 items.
    bool ok = bytes == 0 || fwrite(data, bytes, 1, g_raw) == 1;
    ok = ok && fflush(g_raw) == 0;
    if (!ok) {
        fclose(g_raw);
        g_raw = nullptr;
        return 0;
    }
    ++g_written;
    return 1;
}

int32_t CloseRawFile() {
    if (g_raw == nullptr) return 1;
    bool ok = fflush(g_raw) == 0;
    ok = fclose(g_raw) == 0 && ok;
    g_raw = nullptr;
    return ok ? 1 : 0;
}

bool RawFileIsOpen() { return g_raw != nullptr; }

const char* RawFileName() { return g_rawName; }

uint32_t RawTransfersWritten() { return g_written; }

void ReportRawFileFailure(const char* what) {
    if (bRemoteControlled) {
        dwRemoteStatus |= 0x80000000u | (1u << 16);
        return;
    }
    char text[400];
    snprintf(text, sizeof text, "%s%s", what, g_rawName);
    PlatformMessageBox(text, "Recording Error", MB_OK_);
}
