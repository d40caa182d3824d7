// Win32: the external calibrator's commands, the calibration procedures,
// running them with their results, and their details.  The rules (checks,
// the run, what is kept) are in the portable calibration files.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "calibration/cal_controls_dlg.h"
#include "calibration/cal_procedure.h"
#include "calibration/cal_setup.h"
#include "calibration/cal_states.h"
#include "calibration/calibration_dlg.h"
#include "calibration/calibration_ids.h"
#include "platform/platform.h"
#include "testmodel/model.h"

namespace {

using namespace cal_controls;

std::string ProcedureName(int32_t type) {
    std::string name = Field(lpsCalTypes->NAME[type], sizeof lpsCalTypes->NAME[type]);
    if (name.empty()) name = "Procedure " + std::to_string(type + 1);
    return name;
}

// ---- EXTERNAL_CALS -------------------------------------------------------------------------

void FillCommands(HWND dlg) {
    const CalCommand& c = *lpsCalCommands;
    for (int32_t k = 0; k < kCalCommands; ++k) {
        SetDlgItemTextA(dlg, IDC_EC_NAME1 + k, Field(c.Name[k], sizeof c.Name[k]).c_str());
        SetDlgItemTextA(dlg, IDC_EC_COMMAND1 + k, Field(c.Command[k], sizeof c.Command[k]).c_str());
        SetDlgItemTextA(dlg, IDC_EC_DELAY1 + k, std::to_string(CommandDelay(k)).c_str());
    }
}

// All ten rows or none: a refused row leaves every command as it was.
bool StoreCommands(HWND dlg) {
    CalCommand before;
    memcpy(&before, lpsCalCommands, sizeof before);
    for (int32_t k = 0; k < kCalCommands; ++k) {
        if (!SetCalCommand(k, ItemText(dlg, IDC_EC_NAME1 + k).c_str(), ItemText(dlg, IDC_EC_COMMAND1 + k).c_str(),
                           ItemText(dlg, IDC_EC_DELAY1 + k).c_str())) {
            memcpy(lpsCalCommands, &before, sizeof before);
            SetFocus(GetDlgItem(dlg, IDC_EC_DELAY1 + k));
            return false;
        }
    }
    return true;
}

// ---- CALIBRATIONTYPES ----------------------------------------------------------------------

struct TypesDialog {
    int32_t type = 0;
    bool filling = false;
};

void FillType(HWND dlg, TypesDialog& d) {
    const int32_t t = d.type;
    d.filling = true;
    Select(dlg, IDC_CT_PROCEDURE, t);
    SetDlgItemTextA(dlg, IDC_CT_NAME, Field(lpsCalTypes->NAME[t], sizeof lpsCalTypes->NAME[t]).c_str());
    SendDlgItemMessageA(dlg, IDC_CT_NAME, EM_SETMODIFY, FALSE, 0);
    const int32_t steps = BoundedStateCount(lpsCalTypes->STATES[t]);
    Select(dlg, IDC_CT_STEPS, steps - 1);
    for (int32_t i = 0; i < kCalStates; ++i) {
        const int32_t code = static_cast<int32_t>(lpsCalTypes->STATE[i][t]);
        Select(dlg, IDC_CT_STATE1 + i, CalState(code).Known ? code : -1);
        Select(dlg, IDC_CT_COMMAND1 + i, StepCommand(t, i) + 1);
        EnableWindow(GetDlgItem(dlg, IDC_CT_STATE1 + i), i < steps);
        EnableWindow(GetDlgItem(dlg, IDC_CT_COMMAND1 + i), i < steps);
    }
    d.filling = false;
}

bool CommitTypeName(HWND dlg, TypesDialog& d) {
    HWND edit = GetDlgItem(dlg, IDC_CT_NAME);
    if (!SendMessageA(edit, EM_GETMODIFY, 0, 0)) return true;
    SendMessageA(edit, EM_SETMODIFY, FALSE, 0);
    if (SetCalTypeName(d.type, ItemText(dlg, IDC_CT_NAME).c_str())) return true;
    FillType(dlg, d);
    return false;
}

// ---- DOCALPROCEDURES -----------------------------------------------------------------------

struct ProcedureDialog {
    bool running = false;
};

void AppendProgress(void* context, const char* text) {
    HWND list = static_cast<HWND>(context);
    LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    UpdateWindow(list);
}
void ClearProgress(void* context) {
    SendDlgItemMessageA(static_cast<HWND>(context), IDC_PR_PROGRESS, LB_RESETCONTENT, 0, 0);
}
void SetStatus(void* context, const char* text) {
    HWND dlg = static_cast<HWND>(context);
    SetDlgItemTextA(dlg, IDC_PR_STATUS, text);
    UpdateWindow(GetDlgItem(dlg, IDC_PR_STATUS));
}
// Keeps the windows painted while a delay runs; the dialog's buttons are
// disabled meanwhile, so nothing starts a second run.
void Pump(void*) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void ShowProcedureControls(HWND dlg, bool procedures) {
    for (int32_t i = 0; i < kCalTypes; ++i) ShowWindow(GetDlgItem(dlg, IDC_PR_PROC1 + i), procedures ? SW_SHOW : SW_HIDE);
    for (int id : {IDC_PR_PROCGROUP, IDC_PR_PROGRESS, IDC_PR_DETAILS, IDC_PR_RESULTS, IDC_PR_STATUS})
        ShowWindow(GetDlgItem(dlg, id), procedures ? SW_SHOW : SW_HIDE);
    for (int id : {IDC_PR_RESULTLIST, IDC_PR_KEEPALL, IDC_PR_KEEPSELECTED, IDC_PR_KEEPUNSELECTED, IDC_PR_KEEPNONE})
        ShowWindow(GetDlgItem(dlg, id), procedures ? SW_HIDE : SW_SHOW);
}

void EnableProcedureControls(HWND dlg, bool enable) {
    for (int32_t i = 0; i < kCalTypes; ++i) EnableWindow(GetDlgItem(dlg, IDC_PR_PROC1 + i), enable);
    for (int id : {IDC_PR_DETAILS, IDC_PR_RESULTS, IDC_PR_EXIT}) EnableWindow(GetDlgItem(dlg, id), enable);
}

void FillResults(HWND dlg) {
    HWND list = GetDlgItem(dlg, IDC_PR_RESULTLIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const int32_t channels = CalResultChannels();
    for (int32_t c = 0; c < channels; ++c)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(CalResultLine(c).c_str()));
    SendMessageA(list, LB_SETHORIZONTALEXTENT, 900, 0);
}

void Keep(HWND dlg, KeepChoice choice) {
    static bool selected[kChannels];
    HWND list = GetDlgItem(dlg, IDC_PR_RESULTLIST);
    const int32_t channels = CalResultChannels();
    for (int32_t c = 0; c < kChannels; ++c)
        selected[c] = c < channels && SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(c), 0) > 0;
    KeepCalibration(choice, selected);
    ShowProcedureControls(dlg, true);
}

}  // namespace

INT_PTR CALLBACK DefineExtComDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        for (int32_t k = 0; k < kCalCommands; ++k) {
            SendDlgItemMessageA(dlg, IDC_EC_NAME1 + k, EM_LIMITTEXT, sizeof lpsCalCommands->Name[k] - 1, 0);
            SendDlgItemMessageA(dlg, IDC_EC_COMMAND1 + k, EM_LIMITTEXT, sizeof lpsCalCommands->Command[k] - 1, 0);
            SendDlgItemMessageA(dlg, IDC_EC_DELAY1 + k, EM_LIMITTEXT, 12, 0);
        }
        FillCommands(dlg);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (StoreCommands(dlg)) EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK DefineCalTypesDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    TypesDialog* d = reinterpret_cast<TypesDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        d = new TypesDialog;
        SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
        for (int32_t t = 0; t < kCalTypes; ++t) AddString(dlg, IDC_CT_PROCEDURE, std::to_string(t).c_str());
        for (int32_t n = 1; n <= kCalStates; ++n) AddString(dlg, IDC_CT_STEPS, std::to_string(n).c_str());
        for (int32_t i = 0; i < kCalStates; ++i) {
            for (int32_t code = 0; code < kCalStateCodes; ++code) AddString(dlg, IDC_CT_STATE1 + i, CalStateName(code));
            AddString(dlg, IDC_CT_COMMAND1 + i, "None");
            for (int32_t k = 0; k < kCalCommands; ++k)
                AddString(dlg, IDC_CT_COMMAND1 + i,
                          Field(lpsCalCommands->Name[k], sizeof lpsCalCommands->Name[k]).c_str());
        }
        SendDlgItemMessageA(dlg, IDC_CT_NAME, EM_LIMITTEXT, sizeof lpsCalTypes->NAME[0] - 1, 0);
        FillType(dlg, *d);
        return TRUE;
    }
    case WM_COMMAND: {
        if (d == nullptr || d->filling) break;
        const int id = LOWORD(wParam), code = HIWORD(wParam);
        if (id == IDC_CT_NAME && code == EN_KILLFOCUS) {
            CommitTypeName(dlg, *d);
            return TRUE;
        }
        if (code == CBN_SELCHANGE) {
            if (id == IDC_CT_PROCEDURE) {
                if (!CommitTypeName(dlg, *d)) return TRUE;
                d->type = Selection(dlg, IDC_CT_PROCEDURE);
                if (d->type < 0) d->type = 0;
            } else if (id == IDC_CT_STEPS) {
                SetCalTypeSteps(d->type, Selection(dlg, IDC_CT_STEPS) + 1);
            } else if ((id >= IDC_CT_STATE1 && id < IDC_CT_STATE1 + kCalStates) ||
                       (id >= IDC_CT_COMMAND1 && id < IDC_CT_COMMAND1 + kCalStates)) {
                const int32_t i = id >= IDC_CT_COMMAND1 ? id - IDC_CT_COMMAND1 : id - IDC_CT_STATE1;
                SetCalTypeStep(d->type, i, Selection(dlg, IDC_CT_STATE1 + i), Selection(dlg, IDC_CT_COMMAND1 + i) - 1);
            } else {
                break;
            }
            FillType(dlg, *d);
            return TRUE;
        }
        if (id == IDOK || id == IDCANCEL) {
            if (!CommitTypeName(dlg, *d)) return TRUE;
            EndDialog(dlg, id);
            return TRUE;
        }
        break;
    }
    case WM_DESTROY:
        delete d;
        SetWindowLongPtrA(dlg, DWLP_USER, 0);
        break;
    default:
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK CalProcDetailDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    auto fill = [dlg](int32_t type) {
        SendDlgItemMessageA(dlg, IDC_PD_LINES, LB_RESETCONTENT, 0, 0);
        for (const std::string& line : CalProcedureDetailLines(type))
            SendDlgItemMessageA(dlg, IDC_PD_LINES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SendDlgItemMessageA(dlg, IDC_PD_LINES, LB_SETHORIZONTALEXTENT, 900, 0);
    };
    switch (message) {
    case WM_INITDIALOG: {
        for (int32_t t = 0; t < kCalTypes; ++t) AddString(dlg, IDC_PD_PROCEDURE, ProcedureName(t).c_str());
        const int32_t type = lParam >= 0 && lParam < kCalTypes ? static_cast<int32_t>(lParam) : 0;
        Select(dlg, IDC_PD_PROCEDURE, type);
        fill(type);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PD_PROCEDURE && HIWORD(wParam) == CBN_SELCHANGE) {
            const int32_t type = Selection(dlg, IDC_PD_PROCEDURE);
            fill(type < 0 ? 0 : type);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK CalProcedureDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    ProcedureDialog* d = reinterpret_cast<ProcedureDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        d = new ProcedureDialog;
        SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
        TakeKeptCalibration();
        for (int32_t t = 0; t < kCalTypes; ++t) SetDlgItemTextA(dlg, IDC_PR_PROC1 + t, ProcedureName(t).c_str());
        ShowProcedureControls(dlg, true);
        return TRUE;
    case WM_COMMAND: {
        if (d == nullptr || d->running) break;
        const int id = LOWORD(wParam);
        if (id >= IDC_PR_PROC1 && id < IDC_PR_PROC1 + kCalTypes) {
            d->running = true;
            EnableProcedureControls(dlg, false);
            SetStatus(dlg, "Calibrating");
            CalProgress progress;
            progress.line = AppendProgress;
            progress.context = GetDlgItem(dlg, IDC_PR_PROGRESS);
            CalProcedureUi ui;
            ui.context = dlg;
            ui.clearProgress = ClearProgress;
            ui.status = SetStatus;
            ui.pump = Pump;
            PlatformBeginWaitCursor();
            RunCalProcedure(id - IDC_PR_PROC1 + 1, progress, ui);
            PlatformEndWaitCursor();
            SetStatus(dlg, "Idle");
            EnableProcedureControls(dlg, true);
            d->running = false;
            return TRUE;
        }
        switch (id) {
        case IDC_PR_DETAILS:
            DialogBoxParamA(Instance(), "CALPROCDETAILS", dlg, CalProcDetailDlg, 0);
            return TRUE;
        case IDC_PR_RESULTS:
            FillResults(dlg);
            ShowProcedureControls(dlg, false);
            return TRUE;
        case IDC_PR_KEEPALL:
            Keep(dlg, KeepChoice::All);
            return TRUE;
        case IDC_PR_KEEPSELECTED:
            Keep(dlg, KeepChoice::Selected);
            return TRUE;
        case IDC_PR_KEEPUNSELECTED:
            Keep(dlg, KeepChoice::UnSelected);
            return TRUE;
        case IDC_PR_KEEPNONE:
            Keep(dlg, KeepChoice::None);
            return TRUE;
        case IDC_PR_EXIT:
        case IDCANCEL:
            PlatformBeginWaitCursor();
            ExitCalProcedures();
            PlatformEndWaitCursor();
            EndDialog(dlg, IDOK);
            return TRUE;
        default:
            break;
        }
        break;
    }
    case WM_DESTROY:
        delete d;
        SetWindowLongPtrA(dlg, DWLP_USER, 0);
        break;
    default:
        break;
    }
    return FALSE;
}

void OpenExternalCommands(HWND owner) {
    if (lpsCalCommands == nullptr) return;
    DialogBoxParamA(Instance(), "EXTERNAL_CALS", owner, DefineExtComDlg, 0);
}

void OpenCalibrationProcedures(HWND owner) {
    if (lpsCalTypes == nullptr || lpsCalCommands == nullptr) return;
    DialogBoxParamA(Instance(), "CALIBRATIONTYPES", owner, DefineCalTypesDlg, 0);
}

void OpenPerformProcedure(HWND owner) {
    if (lpsCalTypes == nullptr || lpsCalCommands == nullptr || lpsChannelParams == nullptr) return;
    DialogBoxParamA(Instance(), "DOCALPROCEDURES", owner, CalProcedureDlg, 0);
}
