#include "hardware/control_library.h"

#include <cstdio>

#include "hardware/gpib_access.h"
#include "hardware/q90_library.h"

PlatformLibrary hQ90Library = nullptr;

bool LoadControlLibrary() {
    char dir[260];
    PlatformProgramDirectory(dir, sizeof dir);
    char path[300];
    snprintf(path, sizeof path, "%s\\Q90ui.dll", dir);
    hQ90Library = PlatformLoadLibrary(path);
    if (hQ90Library == nullptr) return false;

    OpenDDS();
    if (Q90Init(nDDSDevice) == 0) {
        Q90ErrorRecord record = {};
        Q90GetErrorStatus(&record);
        char text[300] = "GPIB Interface Board Not Found";
        if (Q90ErrorHasMessage(record)) Q90ErrorText(record, text, sizeof text);
        PlatformMessageBox(text,
                           "Please Check Your National Instruments Setup", MB_OK_ | MB_ICONEXCLAMATION_);
    }
    return true;
}

void ReleaseControlLibrary() {
    if (hQ90Library == nullptr) return;
    // Every load took a reference; drop them all so the module really goes.
    for (int guard = 0; guard < 64 && PlatformFreeLibrary(hQ90Library); ++guard) {
    }
    hQ90Library = nullptr;
}
