// Win32: the ASCII and DaDisp export dialogs, the data wizard and the data
// file editor.  The work is done by the portable export code; these procedures
// only read their controls and show the outcome.
#include "export/export_dlg.h"

#include <cstdio>
#include <string>

#include "base/data_file_name.h"
#include "displays/quick_plot_prep.h"
#include "export/channel_export.h"
#include "export/data_runs.h"
#include "export/data_wizard.h"
#include "export/export_ids.h"
#include "platform/platform.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

// The state of one export dialog: its format, the chosen channel and the
// "all channels" flag.
struct ExportChoice {
    ChannelFormat Format;
    int32_t Channel;
    bool All;
};

void ShowWarning(HWND owner, const std::string& text, const char* caption) {
    MessageBoxA(owner, text.c_str(), caption, MB_OK | MB_ICONEXCLAMATION);
}

INT_PTR ExportDialog(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam, ChannelFormat format) {
    ExportChoice* choice = reinterpret_cast<ExportChoice*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            static ExportChoice choices[2];
            choice = &choices[format == ChannelFormat::Ascii ? 0 : 1];
            SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(choice));
            int32_t channels[kChannels];
            const int32_t n = ScanListChannels(channels);
            *choice = {format, n > 0 ? channels[0] : -1, false};
            for (int32_t i = 0; i < n && lpsChannelParams != nullptr; ++i) {
                const std::string name = FieldText(lpsChannelParams->NAME[channels[i]], sizeof lpsChannelParams->NAME[0]);
                SendDlgItemMessageA(dlg, IDC_EXP_CHANNEL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            }
            SendDlgItemMessageA(dlg, IDC_EXP_CHANNEL, CB_SETCURSEL, 0, 0);
            CheckRadioButton(dlg, IDC_EXP_ONE, IDC_EXP_ALL, IDC_EXP_ONE);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_EXP_CHANNEL:
                    if (HIWORD(wParam) == CBN_SELCHANGE) {
                        int32_t channels[kChannels];
                        const int32_t n = ScanListChannels(channels);
                        const LRESULT index = SendDlgItemMessageA(dlg, IDC_EXP_CHANNEL, CB_GETCURSEL, 0, 0);
                        if (index >= 0 && index < n) choice->Channel = channels[index];
                    }
                    return TRUE;
                case IDC_EXP_ONE:
                case IDC_EXP_ALL:
                    choice->All = IsDlgButtonChecked(dlg, IDC_EXP_ALL) == BST_CHECKED;
                    return TRUE;
                case IDOK: {
                    int32_t channels[kChannels];
                    int32_t n = 0;
                    if (choice->All) n = ScanListChannels(channels);
                    else if (choice->Channel >= 0) channels[n++] = choice->Channel;
                    HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
                    // Each failure is reported by the export itself.
                    ExportChannelFiles(choice->Format, szTestFile, channels, n, nullptr);
                    SetCursor(old);
                    EndDialog(dlg, 1);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dlg, 0);
                    return TRUE;
            }
            break;
    }
    (void)lParam;
    return FALSE;
}

// "wizard.txt" in the program's folder.
std::string WizardReportPath() {
    char dir[MAX_PATH];
    PlatformProgramDirectory(dir, sizeof dir);
    return std::string(dir) + "\\wizard.txt";
}

}  // namespace

INT_PTR CALLBACK GenerateAsciiDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    return ExportDialog(dlg, message, wParam, lParam, ChannelFormat::Ascii);
}

INT_PTR CALLBACK GenerateDaDispDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    return ExportDialog(dlg, message, wParam, lParam, ChannelFormat::DaDisp);
}

INT_PTR CALLBACK WizardDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            // All three checks start cleared each time.
            CheckDlgButton(dlg, IDC_WIZ_FLAT, BST_UNCHECKED);
            CheckDlgButton(dlg, IDC_WIZ_RAIL, BST_UNCHECKED);
            CheckDlgButton(dlg, IDC_WIZ_NOISY, BST_UNCHECKED);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_WIZ_START: {
                    const WizardChecks checks{IsDlgButtonChecked(dlg, IDC_WIZ_FLAT) == BST_CHECKED,
                                              IsDlgButtonChecked(dlg, IDC_WIZ_RAIL) == BST_CHECKED,
                                              IsDlgButtonChecked(dlg, IDC_WIZ_NOISY) == BST_CHECKED};
                    std::string problem;
                    PlatformBeginWaitCursor();
                    const int32_t ok = RunDataWizard(checks, szTestFile, WizardReportPath().c_str(), &problem, nullptr);
                    PlatformEndWaitCursor();
                    if (!ok) ShowWarning(dlg, problem, "Data Wizard");
                    return TRUE;
                }
                case IDC_WIZ_VIEW: {
                    char windows[MAX_PATH], program[MAX_PATH], command[3 * MAX_PATH];
                    PlatformWindowsDirectory(windows, sizeof windows);
                    PlatformProgramDirectory(program, sizeof program);
                    snprintf(command, sizeof command, "%s\\notepad.exe %s\\wizard.txt", windows, program);
                    if (PlatformStartProgram(command, SW_SHOWNORMAL) < 32)
                        MessageBoxA(dlg, "Could Not Find Notepad", "Put Notepad.exe in Windows Directory",
                                    MB_OK | MB_ICONEXCLAMATION);
                    return TRUE;
                }
                case IDC_WIZ_EXIT:
                case IDCANCEL:
                    EndDialog(dlg, 0);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

INT_PTR CALLBACK EditDataDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    static RunTable runs;
    static char raw[300];
    switch (message) {
        case WM_INITDIALOG: {
            RecordingLayout layout;
            std::string problem;
            runs.Count = 0;
            if (!CurrentRecordingLayout(&layout, &problem)) {
                MessageBoxA(dlg, problem.c_str(), "No Data To Edit", MB_OK | MB_ICONINFORMATION);
                EndDialog(dlg, 0);
                return TRUE;
            }
            const uint64_t transferBytes = static_cast<uint64_t>(layout.ScanBytes) * layout.ScansPerTransfer;
            if (!DataFileName(szTestFile, ".raw", raw, sizeof raw) || !ListRuns(raw, transferBytes, &runs)) {
                MessageBoxA(dlg, "There Is No Data File For This Test", "No Data To Edit", MB_OK | MB_ICONINFORMATION);
                EndDialog(dlg, 0);
                return TRUE;
            }
            for (int32_t i = 0; i < runs.Count; ++i)
                SendDlgItemMessageA(dlg, IDC_EDIT_RUNS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(runs.Run[i].Text));
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: {
                    bool selected[kMaxRuns] = {};
                    for (int32_t i = 0; i < runs.Count; ++i)
                        selected[i] = SendDlgItemMessageA(dlg, IDC_EDIT_RUNS, LB_GETSEL, i, 0) > 0;
                    std::string problem;
                    PlatformBeginWaitCursor();
                    const RemoveResult result = RemoveRuns(raw, runs, selected, &problem);
                    PlatformEndWaitCursor();
                    if (result == RemoveResult::Failed)
                        ShowWarning(dlg, problem + "\nThe data file is unchanged.", "Delete Data File Runs");
                    EndDialog(dlg, 1);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dlg, 0);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

void OpenGenerateAscii(HWND owner) { DialogBoxA(GetModuleHandleA(nullptr), "GENERATEASCII", owner, GenerateAsciiDlg); }
void OpenGenerateDaDisp(HWND owner) {
    DialogBoxA(GetModuleHandleA(nullptr), "GENERATEDADISP", owner, GenerateDaDispDlg);
}
void OpenDataWizard(HWND owner) { DialogBoxA(GetModuleHandleA(nullptr), "WIZARDDIALOG", owner, WizardDlg); }
void OpenEditDataFile(HWND owner) { DialogBoxA(GetModuleHandleA(nullptr), "EDITDATAFILE", owner, EditDataDlg); }
