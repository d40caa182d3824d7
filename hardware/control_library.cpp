#include "hardware/control_library.h"

#include <cstdio>

PlatformLibrary hQ90Library = nullptr;

bool LoadControlLibrary() {
    char dir[260];
    PlatformProgramDirectory(dir, sizeof dir);
    char path[300];
    snprintf(path, sizeof path, "%s\\Q90ui.dll", dir);
    hQ90Library = PlatformLoadLibrary(path);
    return hQ90Library != nullptr;
}

void ReleaseControlLibrary() {
    if (hQ90Library == nullptr) return;
    // Every load took a reference; drop them all so the module really goes.
    for (int guard = 0; guard < 64 && PlatformFreeLibrary(hQ90Library); ++guard) {
    }
    hQ90Library = nullptr;
}
