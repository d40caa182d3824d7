// The behaviour shared by the display windows until each display is built:
// take every broadcast of the frame and leave the client area empty.
#pragma once
#include <windows.h>

LRESULT DisplayPlaceholderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                               bool mdiChild);
