// The two scan list dialogs: single rate (template NEWSCANTABLE) and
// multi rate (template SECONDARYSCANLIST).
#pragma once

#include <windows.h>

INT_PTR CALLBACK ProgrammableScanListDlg(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK SecondaryScanDlg(HWND, UINT, WPARAM, LPARAM);

// The frame's commands: each opens its dialog modally over `owner`.
void OpenProgrammableScanList(HWND owner);
void OpenSecondaryScanList(HWND owner);
