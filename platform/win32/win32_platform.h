// Settings the Win32 front end gives its port.
#pragma once
#include <windows.h>

// Owner of the message boxes the core raises (the main frame).
void Win32SetMessageOwner(HWND owner);
// Module whose string table PlatformLoadString reads.
void Win32SetResourceInstance(HINSTANCE instance);
