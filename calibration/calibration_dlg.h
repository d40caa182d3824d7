// Win32: the calibration dialogs and the menu commands that open them.
#pragma once

#include <windows.h>

#include <cstdint>

INT_PTR CALLBACK UICalibrationDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);  // lParam: channel
INT_PTR CALLBACK CalibrateDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CalDetailsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);  // lParam: channel
INT_PTR CALLBACK DefineExtComDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DefineCalTypesDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CalProcedureDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CalProcDetailDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);

// The menu commands (and the channel dialog's Calibration Information).
void OpenCalibrationStates(HWND owner, int32_t channel);  // Define Calibration States
void OpenCalibrateChannels(HWND owner);                   // Calibrate Channels
void OpenExternalCommands(HWND owner);                    // Define External Commands
void OpenCalibrationProcedures(HWND owner);               // Define Calibration Procedure
void OpenPerformProcedure(HWND owner);                    // Perform Calibration Procedure
