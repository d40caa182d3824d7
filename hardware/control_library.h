// The maker's front-end control library, loaded from the program directory at
// start-up.  Without it the program runs in simulator mode.
#pragma once

#include "platform/platform.h"

extern PlatformLibrary hQ90Library;

// Loads "Q90ui.dll" from the program directory; false when it cannot be loaded
// (the caller then switches to simulator mode with the no-hardware flag).
bool LoadControlLibrary();
// Unloads the library until the loader holds no further reference.
void ReleaseControlLibrary();
