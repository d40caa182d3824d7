// Win32: the bar display's properties dialog BARDLG.
#pragma once

#include <windows.h>

#include "displays/bar_rules.h"

// Runs the dialog on a copy; true (state updated, scales fixed, screen
// marked changed) when confirmed.
bool RunBarDialog(HWND owner, BarState* s);

INT_PTR CALLBACK BarDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
