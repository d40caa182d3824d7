// Win32: the acknowledge window, with which the operator confirms a step.
#pragma once

#include <windows.h>

// Set when the operator pressed "Proceed" or clicked the window; cleared
// when the window is created and by ClearAcknowledged.
extern int nAcknowledged;

void ClearAcknowledged();

// Shows the acknowledge window and waits, taking the program's messages
// (the operator must be able to reach the window), until the flag is set
// or `quit` is posted.  Returns true when acknowledged, false when the
// program is ending.  The window is hidden again before returning.
bool WaitForAcknowledge(HWND ackWindow);
