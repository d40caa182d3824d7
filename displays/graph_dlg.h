// Win32: the graph display's properties dialog SCOPEDLG.
#pragma once

#include <windows.h>

#include "displays/graph_rules.h"

// Runs the dialog on a copy of the state; true (state updated, offsets
// rebuilt, screen marked changed) when confirmed with OK.
bool RunScopeDialog(HWND owner, GraphState* s);

INT_PTR CALLBACK ScopeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
