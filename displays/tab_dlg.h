// Win32: the tabular display's properties dialog TABDLG.
#pragma once

#include <windows.h>

#include "displays/tab_rules.h"

// Runs the dialog on a copy; true (state updated, screen marked changed)
// when confirmed.
bool RunTabDialog(HWND owner, TabState* s);

INT_PTR CALLBACK TabDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
