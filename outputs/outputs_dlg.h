// Win32: the output dialogs and the digital input indicator.  Each Open...
// runs its dialog modally over `owner`; the rules they apply live in
// dac_outputs.h, dac_setup_rules.h and digital_outputs.h.
#pragma once

#include <windows.h>

INT_PTR CALLBACK SetupM21Dlg(HWND, UINT, WPARAM, LPARAM);             // SETUPM21
INT_PTR CALLBACK SetupDACSNOWDlg(HWND, UINT, WPARAM, LPARAM);         // SETDACSNOW
INT_PTR CALLBACK SetupDigitalOutsDlg(HWND, UINT, WPARAM, LPARAM);     // DIGITALOUTPUTSETUP
INT_PTR CALLBACK SetDigitalOutsNowDlg(HWND, UINT, WPARAM, LPARAM);    // SETDIGITALOUTSNOW
INT_PTR CALLBACK DefineDigitalInProcDlg(HWND, UINT, WPARAM, LPARAM);  // STARTANDTRIGGER

void OpenSetupM21(HWND owner);
void OpenDacStaticLevel(HWND owner);
void OpenDigitalOutputSetup(HWND owner);
void OpenDigitalOutputsNow(HWND owner);
void OpenStartAndTrigger(HWND owner);
// Menu "Test Waves", with the wait cursor.
void TestWavesMenuCommand();

// The start and trigger lamps (class "DIGITALINCLASS", an MDI child).  Message
// 769 repaints them from the last levels the engine saw.
constexpr UINT kDigitalInUpdate = 769;
LRESULT CALLBACK DigitalInWndProc(HWND, UINT, WPARAM, LPARAM);
// Registers the class once and opens the window in the MDI client, or brings
// the open one to the front; null without a client window.
HWND OpenDigitalInputWindow(HWND mdiClient);
// The engine saw the start or trigger bit change: message 769 to the lamps,
// when they are open.
void UpdateDigitalInputWindow(HWND mdiClient);
