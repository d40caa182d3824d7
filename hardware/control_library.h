// The maker's front-end control library, loaded from the program directory at
// start-up.  Without it the program runs in simulator mode.
#pragma once

#include "platform/platform.h"

extern PlatformLibrary hQ90Library;

// Loads "Q90ui.dll" from the program directory; false when it cannot be loaded
// (the caller then switches to simulator mode with the no-hardware flag).
// Once loaded: opens the DDS (OpenDDS) and initialises the library with its
// descriptor; a refused initialisation is shown with the library's error
// record ("GPIB Interface Board Not Found" when it holds no message).
bool LoadControlLibrary();
// Unloads the library until the loader holds no further reference.
void ReleaseControlLibrary();
