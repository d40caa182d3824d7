// Win32: the dialogs of the export and data tools.
#pragma once

#include <windows.h>

INT_PTR CALLBACK GenerateAsciiDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK GenerateDaDispDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WizardDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK EditDataDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);

// The frame's commands: each opens its dialog modally over `owner`.
void OpenGenerateAscii(HWND owner);
void OpenGenerateDaDisp(HWND owner);
void OpenDataWizard(HWND owner);
void OpenEditDataFile(HWND owner);
