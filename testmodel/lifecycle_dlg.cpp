// The window side of the test lifecycle: the open-file dialog, the New Test
// and Save As dialog (CREATEANEWTEST), File Locations (FILELOCATIONS) and the
// frame title.  The rules are in lifecycle.cpp.
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "platform/platform.h"
#include "shell/command_ids.h"
#include "shell/frame_globals.h"
#include "shell/shell_rules.h"
#include "testmodel/system_settings.h"
#include "testmodel/lifecycle.h"
#include "testmodel/lifecycle_ids.h"

namespace {

void SetFrameTitle(const char* title) {
    if (hwndFrame) SetWindowTextA(hwndFrame, title);
}

void RepaintFrameAndCompanions() {
    for (HWND w : {hwndFrame, hwndTools, hwndControl})
        if (w) InvalidateRect(w, nullptr, TRUE);
}

void ShowCompanions() {
    if (hwndTools) ShowWindow(hwndTools, SW_SHOWNORMAL);
    if (hwndControl) ShowWindow(hwndControl, SW_SHOWNORMAL);
    CheckMenuItem(hMainMenu, IDM_TOOLBAR, MF_BYCOMMAND | MF_CHECKED);
    CheckMenuItem(hMainMenu, IDM_TAPECONTROL, MF_BYCOMMAND | MF_CHECKED);
}

// The lifecycle reaches the frame through these from the first command on.
struct InstallUi {
    InstallUi() { gLifecycleUi = {SetFrameTitle, RepaintFrameAndCompanions, ShowCompanions}; }
} installUi;

enum : LPARAM { kNewTest = 0, kSaveAs = 1 };

INT_PTR CALLBACK CreateATestDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SendDlgItemMessageA(dialog, IDC_NEWTEST_NAME, EM_LIMITTEXT, kTestNameMaxLength, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            char name[128] = "";
            GetDlgItemTextA(dialog, IDC_NEWTEST_NAME, name, sizeof name);
            if (!IsValidTestName(name)) {
                // The dialog stays, the name selected in its field for correction.
                PlatformMessageBox("The Test Name Entered Was Invalid", "Problem With Test Name",
                                   MB_OK_ | MB_ICONEXCLAMATION_);
                HWND field = GetDlgItem(dialog, IDC_NEWTEST_NAME);
                SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
                SendMessageA(field, EM_SETSEL, 0, -1);
                return TRUE;
            }
            bool saveAs = GetWindowLongPtrA(dialog, DWLP_USER) == kSaveAs;
            EndDialog(dialog, saveAs ? SaveTestAsNamed(name) : CreateTestNamed(name));
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK FileLocationsDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    struct Field {
        int id;
        const char* value;
        int limit;
    };
    const Field fields[] = {{IDC_LOCATION_ACCESS, szAccessPath, 127}, {IDC_LOCATION_MORVA, szMorvaPath, 127},
                            {IDC_LOCATION_MATLAB, szMatlabPath, 127}, {IDC_LOCATION_DADISP, szDadispPath, 127},
                            {IDC_LOCATION_AREA1, szNamedArea1, kMenuCaptionMax},
                            {IDC_LOCATION_AREA2, szNamedArea2, kMenuCaptionMax}};
    switch (message) {
    case WM_INITDIALOG:
        for (const Field& f : fields) {
            SetDlgItemTextA(dialog, f.id, f.value);
            SendDlgItemMessageA(dialog, f.id, EM_LIMITTEXT, f.limit, 0);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            char text[6][128];
            for (int k = 0; k < 6; ++k) GetDlgItemTextA(dialog, fields[k].id, text[k], sizeof text[k]);
            // A caption the menu cannot show is refused; the typed text stays
            // in its field for the operator to correct.
            for (int k = 4; k < 6; ++k) {
                if (const char* problem = MenuCaptionProblem(text[k])) {
                    PlatformMessageBox(problem, "Invalid Menu Caption", MB_OK_ | MB_ICONEXCLAMATION_);
                    HWND field = GetDlgItem(dialog, fields[k].id);
                    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
                    SendMessageA(field, EM_SETSEL, 0, -1);
                    return TRUE;
                }
            }
            StoreFileLocations(text[0], text[1], text[2], text[3], text[4], text[5]);
            ModifyMenuA(hMainMenu, IDM_MATLAB, MF_BYCOMMAND | MF_STRING, IDM_MATLAB, szNamedArea1);
            ModifyMenuA(hMainMenu, IDM_DADISP, MF_BYCOMMAND | MF_STRING, IDM_DADISP, szNamedArea2);
            if (hwndFrame) DrawMenuBar(hwndFrame);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

int32_t OpenTest() {
    AskToSaveChangedTest();
    char text[300];
    if (PlatformLoadString(2038, text, sizeof text) == 0) {
        PlatformMessageBox("Could Not Load Filter String", "Improper String Table Entry",
                           MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    std::string filter;
    if (!MakeFileFilter(text, &filter)) {
        PlatformMessageBox("Problem Reading String From String Table", "Contact Vornel",
                           MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    char file[256] = "";
    char title[256] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwndFrame;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    ofn.lpstrInitialDir = szWorkDirectory;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_SHOWHELP;
    if (!GetOpenFileNameA(&ofn)) return OpenTestCancelled();
    return OpenChosenTest(file);
}

int32_t CreateTest() {
    return static_cast<int32_t>(DialogBoxParamA(hInst, "CREATEANEWTEST", hwndFrame, CreateATestDlg, kNewTest));
}

int32_t SaveTestAs() {
    return static_cast<int32_t>(DialogBoxParamA(hInst, "CREATEANEWTEST", hwndFrame, CreateATestDlg, kSaveAs));
}

int32_t FileLocations() {
    return static_cast<int32_t>(DialogBoxParamA(hInst, "FILELOCATIONS", hwndFrame, FileLocationsDlg, 0));
}
