// The control panel's option dialogs (recording_options_dlg.cpp).
#pragma once

#include <windows.h>

INT_PTR CALLBACK RecordingOptionsDlg(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK ReplaySpeedDlg(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK COM2Dlg(HWND, UINT, WPARAM, LPARAM);
