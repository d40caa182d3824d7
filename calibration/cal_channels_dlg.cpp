// Win32: the calibration states of a channel, calibrating channels and the
// details of a channel's calibration.  Every rule is in the portable
// calibration files; these procedures fill controls and pass edits on.
#include <cstdio>
#include <string>

#include "calibration/cal_controls_dlg.h"
#include "calibration/cal_fit.h"
#include "calibration/cal_run.h"
#include "calibration/cal_setup.h"
#include "calibration/cal_states.h"
#include "calibration/calibration_dlg.h"
#include "calibration/calibration_ids.h"
#include "platform/platform.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

using namespace cal_controls;

std::string Number(double value, const char* format = "%.4f") {
    char text[64];
    snprintf(text, sizeof text, format, value);
    return text;
}

// ---- CALIBRATION_STATES ----------------------------------------------------------------

struct StatesDialog {
    int32_t channel = 0;
    bool filling = false;
};

void FillStates(HWND dlg, StatesDialog& d) {
    const int32_t c = d.channel;
    const ChannelParams& p = *lpsChannelParams;
    const CalRecord& cal = p.Cal;
    d.filling = true;
    Select(dlg, IDC_CS_CHANNEL, c);
    SetDlgItemTextA(dlg, IDC_CS_NAME, Field(p.NAME[c], sizeof p.NAME[c]).c_str());
    SetDlgItemTextA(dlg, IDC_CS_DESCRIPTION, Field(p.DESCRIPTION[c], sizeof p.DESCRIPTION[c]).c_str());
    const int32_t steps = BoundedStateCount(cal.ACTIVESTATES[c]);
    Select(dlg, IDC_CS_STEPS, steps - 1);
    const int32_t type = cal.CALTYPE[c];
    Select(dlg, IDC_CS_TYPE, type >= 0 && type < kCalTypes ? type + 1 : 0);
    for (int32_t s = 0; s < kCalStates; ++s) {
        const int32_t code = cal.STATE[s][c];
        Select(dlg, IDC_CS_STATE1 + s, CalState(code).Known ? code : -1);
        SetDlgItemTextA(dlg, IDC_CS_EU1 + s, Number(cal.EU[c][s], "%g").c_str());
        SendDlgItemMessageA(dlg, IDC_CS_EU1 + s, EM_SETMODIFY, FALSE, 0);
        EnableWindow(GetDlgItem(dlg, IDC_CS_STATE1 + s), s < steps);
        EnableWindow(GetDlgItem(dlg, IDC_CS_EU1 + s), s < steps);
    }
    d.filling = false;
}

// A typed EU value goes through its check once; a refused one shows the
// stored value again.  False when refused.
bool CommitEU(HWND dlg, const StatesDialog& d, int32_t s) {
    HWND edit = GetDlgItem(dlg, IDC_CS_EU1 + s);
    if (!SendMessageA(edit, EM_GETMODIFY, 0, 0)) return true;
    SendMessageA(edit, EM_SETMODIFY, FALSE, 0);
    if (SetChannelEU(d.channel, s, ItemText(dlg, IDC_CS_EU1 + s).c_str())) return true;
    SetDlgItemTextA(dlg, IDC_CS_EU1 + s, Number(lpsChannelParams->Cal.EU[d.channel][s], "%g").c_str());
    SetFocus(edit);
    return false;
}

bool CommitAllEU(HWND dlg, const StatesDialog& d) {
    for (int32_t s = 0; s < kCalStates; ++s)
        if (!CommitEU(dlg, d, s)) return false;
    return true;
}

// ---- CALIBRATE_CHANNELS ------------------------------------------------------------------

struct CalibrateDialog {
    int32_t channel = 0;
};

void AppendResult(void* context, const char* text) {
    HWND list = static_cast<HWND>(context);
    LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    UpdateWindow(list);
}

CalProgress ResultList(HWND dlg) {
    CalProgress progress;
    progress.line = AppendResult;
    progress.context = GetDlgItem(dlg, IDC_CC_RESULTS);
    return progress;
}

void ShowSlope(HWND dlg, int32_t c) {
    double slope = 1, offset = 0;
    ShownSlopeAndOffset(c, &slope, &offset);
    const std::string units = Field(lpsChannelParams->UNITS[c], sizeof lpsChannelParams->UNITS[c]);
    SetDlgItemTextA(dlg, IDC_CC_SLOPE, Number(slope).c_str());
    SetDlgItemTextA(dlg, IDC_CC_OFFSET, Number(offset).c_str());
    SetDlgItemTextA(dlg, IDC_CC_SLOPEUNITS, (units + " per mV").c_str());
    SetDlgItemTextA(dlg, IDC_CC_OFFSETUNITS, units.c_str());
}

}  // namespace

INT_PTR CALLBACK UICalibrationDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    StatesDialog* d = reinterpret_cast<StatesDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        d = new StatesDialog;
        d->channel = lParam >= 0 && lParam < kChannels ? static_cast<int32_t>(lParam) : 0;
        SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
        char text[64];
        for (int32_t c = 0; c < kChannels; ++c) {
            snprintf(text, sizeof text, "%d", c);
            AddString(dlg, IDC_CS_CHANNEL, text);
        }
        for (int32_t n = 1; n <= kCalStates; ++n) {
            snprintf(text, sizeof text, "%d", n);
            AddString(dlg, IDC_CS_STEPS, text);
        }
        AddString(dlg, IDC_CS_TYPE, "NONE");
        for (int32_t t = 0; t < kCalTypes; ++t)
            AddString(dlg, IDC_CS_TYPE, Field(lpsCalTypes->NAME[t], sizeof lpsCalTypes->NAME[t]).c_str());
        for (int32_t s = 0; s < kCalStates; ++s) {
            for (int32_t code = 0; code < kCalStateCodes; ++code) AddString(dlg, IDC_CS_STATE1 + s, CalStateName(code));
            SendDlgItemMessageA(dlg, IDC_CS_EU1 + s, EM_LIMITTEXT, 40, 0);
        }
        FillStates(dlg, *d);
        return TRUE;
    }
    case WM_COMMAND: {
        if (d == nullptr || d->filling) break;
        const int id = LOWORD(wParam), code = HIWORD(wParam);
        if (id >= IDC_CS_EU1 && id < IDC_CS_EU1 + kCalStates && code == EN_KILLFOCUS) {
            CommitEU(dlg, *d, id - IDC_CS_EU1);
            return TRUE;
        }
        if (code == CBN_SELCHANGE) {
            if (id == IDC_CS_CHANNEL) {
                if (!CommitAllEU(dlg, *d)) {
                    Select(dlg, IDC_CS_CHANNEL, d->channel);
                    return TRUE;
                }
                d->channel = Selection(dlg, IDC_CS_CHANNEL);
            } else if (id == IDC_CS_STEPS) {
                SetChannelActiveStates(d->channel, Selection(dlg, IDC_CS_STEPS) + 1);
            } else if (id == IDC_CS_TYPE) {
                ChooseChannelCalType(d->channel, Selection(dlg, IDC_CS_TYPE) - 1);
            } else if (id >= IDC_CS_STATE1 && id < IDC_CS_STATE1 + kCalStates) {
                SetChannelState(d->channel, id - IDC_CS_STATE1, Selection(dlg, id));
            } else {
                break;
            }
            FillStates(dlg, *d);
            return TRUE;
        }
        if (id == IDOK || id == IDCANCEL) {
            if (!CommitAllEU(dlg, *d)) return TRUE;
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

INT_PTR CALLBACK CalDetailsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const int32_t c = lParam >= 0 && lParam < kChannels ? static_cast<int32_t>(lParam) : 0;
        const ChannelParams& p = *lpsChannelParams;
        SetDlgItemTextA(dlg, IDC_CD_NAME, Field(p.NAME[c], sizeof p.NAME[c]).c_str());
        SetDlgItemTextA(dlg, IDC_CD_DESCRIPTION, Field(p.DESCRIPTION[c], sizeof p.DESCRIPTION[c]).c_str());
        SetDlgItemTextA(dlg, IDC_CD_LOCATION, Field(p.LOCATION[c], sizeof p.LOCATION[c]).c_str());
        for (int32_t s = 0; s < kCalStates; ++s) {
            const double mean = p.Cal.MEAN[c][s];
            SetDlgItemTextA(dlg, IDC_CD_STATE1 + s, CalStateName(p.Cal.STATE[s][c]));
            SetDlgItemTextA(dlg, IDC_CD_MEAN1 + s, CalMeanOverloaded(c, mean) ? "Overload" : Number(mean).c_str());
            SetDlgItemTextA(dlg, IDC_CD_DEV1 + s, Number(p.Cal.DEVIATION[c][s]).c_str());
        }
        return TRUE;
    }
    case WM_COMMAND:
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

INT_PTR CALLBACK CalibrateDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    CalibrateDialog* d = reinterpret_cast<CalibrateDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        d = new CalibrateDialog;
        SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
        BeginCalibrationSession();
        const int32_t channels = SystemChannelsInTable();
        for (int32_t c = 0; c < channels; ++c)
            AddString(dlg, IDC_CC_CHANNEL,
                      Field(lpsChannelParams->NAME[c], sizeof lpsChannelParams->NAME[c]).c_str());
        Select(dlg, IDC_CC_CHANNEL, 0);
        ShowSlope(dlg, 0);
        return TRUE;
    }
    case WM_COMMAND: {
        if (d == nullptr) break;
        const int id = LOWORD(wParam);
        HWND list = GetDlgItem(dlg, IDC_CC_RESULTS);
        switch (id) {
        case IDC_CC_CHANNEL:
            if (HIWORD(wParam) != CBN_SELCHANGE) break;
            d->channel = Selection(dlg, IDC_CC_CHANNEL);
            if (d->channel < 0) d->channel = 0;
            ShowSlope(dlg, d->channel);
            return TRUE;
        case IDC_CC_CALIBRATE: {
            PlatformBeginWaitCursor();
            const int32_t ok = CalibrateChannel(d->channel, ResultList(dlg));
            PlatformEndWaitCursor();
            if (ok) {
                DialogBoxParamA(Instance(), "CALIBRATION_DETAILS", dlg, CalDetailsDlg, d->channel);
                ShowSlope(dlg, d->channel);
            }
            return TRUE;
        }
        case IDC_CC_SCANLIST:
            PlatformBeginWaitCursor();
            CalibrateScanListChannels(ResultList(dlg));
            PlatformEndWaitCursor();
            DialogBoxParamA(Instance(), "CALIBRATION_DETAILS", dlg, CalDetailsDlg, d->channel);
            ShowSlope(dlg, d->channel);
            return TRUE;
        case IDC_CC_DETAILS:
            DialogBoxParamA(Instance(), "CALIBRATION_DETAILS", dlg, CalDetailsDlg, d->channel);
            return TRUE;
        case IDC_CC_SETUP:
            DialogBoxParamA(Instance(), "CALIBRATION_STATES", dlg, UICalibrationDlg, d->channel);
            ShowSlope(dlg, d->channel);
            return TRUE;
        case IDC_CC_BADCALS: {
            SendMessageA(list, LB_RESETCONTENT, 0, 0);
            const std::vector<std::string> lines = BadCalibrationLines();
            CalProgress progress = ResultList(dlg);
            for (const std::string& line : lines) progress.Show(line.c_str());
            if (lines.empty()) progress.Show("No Bad Calibrations");
            return TRUE;
        }
        case IDC_CC_APPLY:
            PlatformBeginWaitCursor();
            ApplyCalibratedSlopes();
            PlatformEndWaitCursor();
            EndDialog(dlg, IDOK);
            return TRUE;
        case IDC_CC_EXIT:
        case IDCANCEL:
            // The calibration frames replaced the scan table in the front end.
            PlatformBeginWaitCursor();
            EndCalibrationSession();
            PlatformEndWaitCursor();
            EndDialog(dlg, IDCANCEL);
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

void OpenCalibrationStates(HWND owner, int32_t channel) {
    if (lpsChannelParams == nullptr || lpsCalTypes == nullptr) return;
    DialogBoxParamA(Instance(), "CALIBRATION_STATES", owner, UICalibrationDlg, channel);
}

void OpenCalibrateChannels(HWND owner) {
    if (lpsChannelParams == nullptr) return;
    DialogBoxParamA(Instance(), "CALIBRATE_CHANNELS", owner, CalibrateDlg, 0);
}
