// The frame window procedure and its menu-command dispatch.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <string>

#include "acquire/panel_dlg.h"
#include "acquire/panel_rules.h"
#include "hardware/control_library.h"
#include "platform/platform.h"
#include "base/app_state.h"
#include "shell/command_ids.h"
#include "shell/frame_globals.h"
#include "hardware/gpib_access.h"
#include "network/remote_control_wnd.h"
#include "outputs/dac_outputs.h"
#include "outputs/outputs_dlg.h"
#include "calibration/calibration_dlg.h"
#include "channels/channel_dlg.h"
#include "displays/display_wnd.h"
#include "scanlist/scan_list_dlg.h"
#include "export/export_dlg.h"
#include "scanlist/scan_table.h"
#include "shell/shell_rules.h"
#include "base/status_report.h"
#include "testmodel/system_settings.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"
#include "displays/quick_plot_wnd.h"
#include "print/batch_print_wnd.h"

namespace {

void CheckItem(int id, bool on) {
    CheckMenuItem(hMainMenu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}
bool IsChecked(int id) {
    return (GetMenuState(hMainMenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void ToggleCompanion(int id, HWND window) {
    bool show = !IsChecked(id);
    CheckItem(id, show);
    ShowWindow(window, show ? SW_SHOWNORMAL : SW_HIDE);
}

void StartProgram(const char* commandLine, const char* failText, const char* failCaption) {
    if (PlatformStartProgram(commandLine, SW_SHOWNORMAL) < 32)
        MessageBoxA(hwndFrame, failText, failCaption, MB_OK | MB_ICONEXCLAMATION);
}

void CreateDisplay(const char* cls, const char* title) {
    MDICREATESTRUCTA mcs = {};
    mcs.szClass = cls;
    mcs.szTitle = title;
    mcs.hOwner = hInst;
    mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
    mcs.style = 0;
    SendMessageA(hwndMDIClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs));
}

void SelectInputModeCommand(int id) {
    int32_t mode = InputModeOfCommand(id);
    for (int32_t m = 0; m < 12; ++m) CheckItem(CommandOfInputMode(m), m == mode);
    SelectInputMode(mode);
}

// Asks for a screen file name; false when the operator cancels or the filter
// string is unusable (already reported).
bool AskScreenFileName(std::string* path) {
    char text[300];
    if (PlatformLoadString(2102, text, sizeof text) == 0) {
        MessageBoxA(hwndFrame, "Could Not Load Screen Filter String", "Improper String Table Entry",
                    MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    std::string filter;
    if (!MakeFileFilter(text, &filter)) {
        MessageBoxA(hwndFrame, "Problem Reading String From String Table", "Contact Vornel",
                    MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwndFrame;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&ofn)) return false;
    *path = ScreenFilePath(file);
    return true;
}

void SaveScreen(bool askName) {
    if (lpCVT == nullptr) return;
    if (askName || lpCVT->ScreenFile[0] == '\0') {
        std::string path;
        if (!AskScreenFileName(&path)) return;
        snprintf(lpCVT->ScreenFile, sizeof lpCVT->ScreenFile, "%s", path.c_str());
    }
    FILE* f = fopen(lpCVT->ScreenFile, "wb");
    if (f == nullptr) {
        ShowProblem(2105, lpCVT->ScreenFile);
        return;
    }
    fclose(f);
    Broadcast(StoreEnumProc);
    lpCVT->ScreenLoaded = 0;
}

// The menu text of a command, as the note of a missing part names it.
std::string MenuText(int id) {
    char text[128] = "";
    GetMenuStringA(hMainMenu, id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

// A command whose part is not built yet says so; it never pretends to fail.
void NotAvailable(int id) {
    std::string name = MenuText(id);
    MessageBoxA(hwndFrame, NotAvailableText(name.c_str()).c_str(), MenuItemName(name.c_str()).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

void Autobalance() {
    PlatformBeginWaitCursor();
    std::string failures;
    AutobalanceResult result = AutobalanceScannedChannels(&failures);
    PlatformEndWaitCursor();
    switch (result) {
    case AutobalanceResult::Balanced:
        MessageBoxA(hwndFrame, "Channels Autobalanced Properly", "Autobalance Success",
                    MB_OK | MB_ICONINFORMATION);
        break;
    case AutobalanceResult::Failed:
        MessageBoxA(hwndFrame, failures.c_str(), "These Channels Failed To Autobalance",
                    MB_OK | MB_ICONINFORMATION);
        break;
    }
}

void AnalysisProgram(HWND hwnd) {
    switch (PrepareAnalysisFiles()) {
    case AnalysisFiles::Failed:
        MessageBoxA(hwnd, "Could Not Save Test Information In Morva Format",
                    "Data File (.RAW) or (.DAT) may not Exist", MB_OK | MB_ICONEXCLAMATION);
        return;
    case AnalysisFiles::Written:
    case AnalysisFiles::Skipped:
        break;
    }
    char dir[MAX_PATH];
    PlatformProgramDirectory(dir, sizeof dir);
    PlatformSetCurrentDirectory(dir);
    StartProgram(szMorvaPath, "Could Not Find QRT Morva", "Problem Executing Morva");
}

void RememberScreenLocations() {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (hwndControl && GetWindowPlacement(hwndControl, &wp)) {
        nControlTop = wp.rcNormalPosition.top < 0 ? 0 : wp.rcNormalPosition.top;
        nControlLeft = wp.rcNormalPosition.left < 0 ? 0 : wp.rcNormalPosition.left;
    }
    if (hwndTools && GetWindowPlacement(hwndTools, &wp)) {
        nToolsTop = wp.rcNormalPosition.top < 0 ? 0 : wp.rcNormalPosition.top;
        nToolsLeft = wp.rcNormalPosition.left < 0 ? 0 : wp.rcNormalPosition.left;
    }
    nControlStatus = IsChecked(IDM_TAPECONTROL) ? 1 : 0;
    nToolsStatus = IsChecked(IDM_TOOLBAR) ? 1 : 0;
}

void Exit() {
    RememberScreenLocations();
    if (RunExitSequence()) PostQuitMessage(0);
}

}  // namespace

void FrameCommand(HWND hwnd, int id) {
    // A command that would change the scan table, the test, the calibration
    // or the data file under a running acquisition waits for Stop.
    if (SamplingBlocksCommands() && CommandBlockedWhileSampling(id)) {
        MessageBoxA(hwnd, "Please Stop Sampling First", "Sampling Is Running", MB_OK | MB_ICONINFORMATION);
        return;
    }
    // While a supervisor drives the program the same commands are its alone
    // (a posted command still reaches the disabled frame).
    if (bRemoteControlled && CommandBlockedWhileSampling(id)) return;
    if (RemoteControlCommand(hwnd, id)) return;
    switch (id) {
    case IDM_RECORDINGOPTIONS:
        DialogBoxA(hInst, "RECORDINGOPTIONS", hwnd, RecordingOptionsDlg);
        break;
    case IDM_REPLAYSPEED:
        DialogBoxA(hInst, "REPLAYDELAY", hwnd, ReplaySpeedDlg);
        break;
    case IDM_SETUPCOM2:
    case IDM_PLAYWAVEFILE:
        DialogBoxA(hInst, "COM2DLG", hwnd, COM2Dlg);
        break;
    case IDM_ABOUT:
        DialogBoxA(hInst, "AboutBox", hwnd, About);
        break;
    case IDM_OPENTEST:
        OpenTest();
        bTestChanged = true;
        break;
    case IDM_NEWTEST:
        CreateTest();
        bTestChanged = true;
        break;
    case IDM_SAVETEST:
        SaveTest();
        break;
    case IDM_SAVETESTAS:
        SaveTestAs();
        bTestChanged = true;
        break;
    case IDM_FILELOCATIONS:
        FileLocations();
        break;
    case IDM_ANALYSIS:
        AnalysisProgram(hwnd);
        break;
    case IDM_ASCIIFILE:
        OpenGenerateAscii(hwnd);
        break;
    case IDM_DADISPFILES:
        OpenGenerateDaDisp(hwnd);
        break;
    case IDM_DATAWIZARD:
        OpenDataWizard(hwnd);
        break;
    case IDM_EDITDATAFILE:
        OpenEditDataFile(hwnd);
        break;
    case IDM_MATLAB:
        StartProgram(szMatlabPath, "Could Not Program", "Problem Executing User Program");
        break;
    case IDM_DADISP:
        StartProgram(szDadispPath, "Could Not Find Program", "Problem Executing User Program");
        break;
    case IDM_ACCESS:
        StartProgram(AccessCommandLine(szAccessPath, szTestFile).c_str(),
                     "Could Not Find Microsoft Access", "Problem Executing Access");
        break;
    case IDM_HELPSEARCH: {
        char dir[MAX_PATH], help[MAX_PATH + 16];
        PlatformProgramDirectory(dir, sizeof dir);
        snprintf(help, sizeof help, "%s\\morva.hlp", dir);
        WinHelpA(hwnd, help, HELP_CONTENTS, 0);
        break;
    }
    case IDM_EXIT:
        Exit();
        break;
    case IDM_TOOLBAR:
        ToggleCompanion(IDM_TOOLBAR, hwndTools);
        break;
    case IDM_TAPECONTROL:
        ToggleCompanion(IDM_TAPECONTROL, hwndControl);
        break;
    case IDM_CLEARGPIB:
        ClearGPIB();
        break;
    case IDM_MODE_TRANSDUCER: case IDM_MODE_ZEROCAL: case IDM_MODE_VOLT1: case IDM_MODE_VOLT01:
    case IDM_MODE_VOLT001: case IDM_MODE_VOLT0001: case IDM_MODE_SHUNT1: case IDM_MODE_SHUNT2:
    case IDM_MODE_SUBST1: case IDM_MODE_SUBST2: case IDM_MODE_EXCITV: case IDM_MODE_EXCITI:
        SelectInputModeCommand(id);
        break;
    case IDM_TILE:
        SendMessageA(hwndMDIClient, WM_MDITILE, 0, 0);
        break;
    case IDM_BARCHART:
        CreateDisplay("BarChild", "Bar");
        break;
    case IDM_STRIPCHART:
        CreateDisplay("StripChild", "Strip Chart");
        break;
    case IDM_OBJECTVIEW:
        CreateDisplay("ObjectView", "Test Object");
        break;
    case IDM_TABULAR:
        CreateDisplay("TabChild", "Tabular");
        break;
    case IDM_OSCILLOSCOPE:
        CreateDisplay("OscopeChild", "Oscilloscope");
        break;
    case IDM_SAVESCREEN:
        SaveScreen(false);
        break;
    case IDM_SAVESCREENAS:
        SaveScreen(true);
        break;
    case IDM_OPENSCREEN:
        OpenScreenCommand(hwnd);
        break;
    case IDM_SERVEDATA:
        bServeData = !bServeData;
        CheckItem(IDM_SERVEDATA, bServeData);
        break;
    case IDM_CLOSEALL:
        EnumChildWindows(hwndMDIClient, CloseEnumProc, 0);
        break;
    case IDM_ARRANGEICONS:
        SendMessageA(hwndMDIClient, WM_MDIICONARRANGE, 0, 0);
        break;
    case IDM_CASCADE:
        SendMessageA(hwndMDIClient, WM_MDICASCADE, 0, 0);
        break;
    case IDM_DEFINESCANLIST:
        OpenProgrammableScanList(hwnd);
        break;
    case IDM_SECONDARYSCAN:
        OpenSecondaryScanList(hwnd);
        break;
    case IDM_DOWNLOADSCANLIST: {
        int32_t ok = DownloadScanTable();
        if (bRemoteControlled) ReportStatus(-1, ok ? 26 : 0);
        break;
    }
    case IDM_AUTOBALANCE:
        Autobalance();
        break;
    case IDM_CALSTATES:
        OpenCalibrationStates(hwnd, nSelectedChannel >= 0 && nSelectedChannel < kChannels ? nSelectedChannel : 0);
        break;
    case IDM_CALIBRATE:
        OpenCalibrateChannels(hwnd);
        break;
    case IDM_EXTERNALCOMMANDS:
        OpenExternalCommands(hwnd);
        break;
    case IDM_DEFINEPROCEDURE:
        OpenCalibrationProcedures(hwnd);
        break;
    case IDM_PERFORMPROCEDURE:
        OpenPerformProcedure(hwnd);
        break;
    case IDM_CHANNELSETTINGS:
        OpenChannelParameters(hwnd);
        break;
    case IDM_DOWNLOADCHANNELS:
        DownloadChannelsCommand();
        break;
    case IDM_REVIEWCHANNELS:
        OpenChannelReadback(hwnd);
        break;
    case IDM_VERIFYHARDWARE:
        OpenVerifyHardware(hwnd);
        break;
    case IDM_DACFILTERS:
        DacFiltersCommand();
        break;
    case IDM_SETUPDACS:
        OpenSetupM21(hwnd);
        break;
    case IDM_DACSTATIC:
        OpenDacStaticLevel(hwnd);
        break;
    case IDM_DRIVEDACS:
        DriveDacsCommand();
        break;
    case IDM_STOPDACSZERO:
        StopDacsCommand(true);
        break;
    case IDM_STOPDACSLEVEL:
        StopDacsCommand(false);
        break;
    case IDM_TESTWAVES:
        TestWavesMenuCommand();
        break;
    case IDM_DIGITALRUNTIME:
        OpenDigitalOutputSetup(hwnd);
        break;
    case IDM_DIGITALNOW:
        OpenDigitalOutputsNow(hwnd);
        break;
    case IDM_STARTTRIGGER:
        OpenStartAndTrigger(hwnd);
        break;
    case IDM_BATCHPRINT:
        BatchPrint(hwnd);
        break;
    case IDM_PREPQUICKPLOTS:
        PrepareQuickPlotsCommand(hwnd);
        break;
    case IDM_QUICKPLOT:
        QuickPlotAllChannels(hwnd);
        break;
    case IDM_REMOVEQUICKPLOTS:
        RemoveAllQuickPlots();
        break;
    case IDM_SIMULATOR: {
        const char* caption = ToggleSimulator();
        SetWindowTextA(hwndControl, caption);
        CheckItem(IDM_SIMULATOR, bSimulator);
        break;
    }
    case IDM_NOTHING125:
    case IDM_XYCHART:
    case IDM_PROFILECHART:
        // Commands of the table that do nothing (the menu greys the two charts).
        break;
    default:
        // Commands of subsystems not built yet (dialogs, downloads, outputs,
        // network, exports) say so instead of doing nothing unseen.
        NotAvailable(id);
        break;
    }
}


LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        CLIENTCREATESTRUCT ccs = {};
        ccs.hWindowMenu = hWindowMenu;
        ccs.idFirstChild = IDM_FIRSTCHILD;
        hwndMDIClient = CreateWindowA("MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE,
                                      0, 0, 0, 0, hwnd, nullptr, hInst, &ccs);
        CreateSharedDrawingObjects();
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, TRUE);
        break;  // the MDI client is sized by the default frame procedure
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
        DrawBitmapResource(dc, "BACKDROP", rc.right / 10, rc.bottom / 10);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (IsMenuCommand(id)) {
            FrameCommand(hwnd, id);
            return 0;
        }
        HWND active = reinterpret_cast<HWND>(SendMessageA(hwndMDIClient, WM_MDIGETACTIVE, 0, 0));
        if (IsWindow(active)) SendMessageA(active, WM_COMMAND, wParam, lParam);
        break;
    }
    default:
        break;
    }
    return DefFrameProcA(hwnd, hwndMDIClient, message, wParam, lParam);
}

INT_PTR CALLBACK About(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}
