// Win32: SCOPEDLG, "Scope Parameter Selection".
#include "displays/graph_dlg.h"

#include <cstdio>
#include <memory>

#include "base/status_report.h"
#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "displays/tab_rules.h"
#include "testmodel/model.h"

namespace {

struct ScopeDialog {
    GraphState copy;
    bool checking;  // a field's message box is up: its focus change is not a new check
};

void ShowInt(HWND dialog, int id, int32_t v) {
    char text[24];
    snprintf(text, sizeof text, "%d", static_cast<int>(v));
    SetDlgItemTextA(dialog, id, text);
}

// Reads a numeric field: 1 with *value; 0 after reporting empty or bad text
// (the field is then reset to `undo`).
int32_t ReadField(HWND dialog, int id, int32_t undo, int32_t* value) {
    char text[32];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    int32_t r = ParsePriorityText(text, value);
    if (r == 0) {
        char msg[128];
        PlatformLoadString(2106, msg, sizeof msg);
        MessageBoxA(dialog, msg, "", MB_OK);
    } else if (r < 0) {
        ShowProblem(2107, nullptr);
    }
    if (r != 1) ShowInt(dialog, id, undo);
    return r == 1;
}

bool CheckYScale(HWND dialog, ScopeDialog* d) {
    int32_t v;
    const int32_t undo = GraphYScalePercent(d->copy);
    if (!ReadField(dialog, IDC_SCOPE_YSCALE, undo, &v)) return false;
    if (v < 1) {
        ShowProblem(2107, nullptr);
        ShowInt(dialog, IDC_SCOPE_YSCALE, undo);
        return false;
    }
    GraphApplyYScale(&d->copy, v);
    return true;
}

bool CheckDecimationField(HWND dialog, ScopeDialog* d) {
    int32_t v;
    const int32_t undo = d->copy.Step - 1;
    if (!ReadField(dialog, IDC_SCOPE_DECIMATION, undo, &v)) return false;
    switch (CheckDecimation(v, d->copy.OccurrenceCount)) {
    case DecimationCheck::Negative:
        MessageBoxA(dialog, "Can't Decimate Less Than Zero", "Decimation Error", MB_OK | MB_ICONEXCLAMATION);
        ShowInt(dialog, IDC_SCOPE_DECIMATION, undo);
        return false;
    case DecimationCheck::TooHigh:
        MessageBoxA(dialog, "Decimation Too High For This Scan List", "Decimation Error",
                    MB_OK | MB_ICONEXCLAMATION);
        ShowInt(dialog, IDC_SCOPE_DECIMATION, undo);
        return false;
    case DecimationCheck::Ok:
        break;
    }
    d->copy.Step = v + 1;
    return true;
}

void Init(HWND dialog, ScopeDialog* d) {
    if (d->copy.Priority < 1) d->copy.Priority = 2;
    HWND list = GetDlgItem(dialog, IDC_SCOPE_CHANNEL);
    for (int32_t c = 0; c < kChannels; ++c)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ChannelName(c)));
    SendMessageA(list, LB_SETCURSEL, d->copy.DisplayChannel, 0);
    SendDlgItemMessageA(dialog, IDC_SCOPE_TITLE, EM_LIMITTEXT, kDisplayTitleSize - 1, 0);
    SetDlgItemTextA(dialog, IDC_SCOPE_TITLE, d->copy.Title);
    ShowInt(dialog, IDC_SCOPE_YSCALE, GraphYScalePercent(d->copy));
    ShowInt(dialog, IDC_SCOPE_DECIMATION, d->copy.Step - 1);
    CheckRadioButton(dialog, IDC_SCOPE_OSCILLOSCOPE, IDC_SCOPE_WINDOWED,
                     IDC_SCOPE_OSCILLOSCOPE + (d->copy.Style >= 0 && d->copy.Style <= 2 ? d->copy.Style : 0));
}

}  // namespace

INT_PTR CALLBACK ScopeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ScopeDialog* d = reinterpret_cast<ScopeDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        Init(dialog, reinterpret_cast<ScopeDialog*>(lParam));
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam), code = HIWORD(wParam);
        if (d == nullptr) break;
        if (code == EN_KILLFOCUS && !d->checking && (id == IDC_SCOPE_YSCALE || id == IDC_SCOPE_DECIMATION)) {
            d->checking = true;
            if (id == IDC_SCOPE_YSCALE)
                CheckYScale(dialog, d);
            else
                CheckDecimationField(dialog, d);
            d->checking = false;
            return TRUE;
        }
        switch (id) {
        case IDC_SCOPE_OSCILLOSCOPE: case IDC_SCOPE_SPECTRUM: case IDC_SCOPE_WINDOWED:
            if (code == BN_CLICKED) d->copy.Style = id - IDC_SCOPE_OSCILLOSCOPE;
            return TRUE;
        case IDOK: {
            d->checking = true;
            bool ok = CheckYScale(dialog, d) && CheckDecimationField(dialog, d);
            d->checking = false;
            if (!ok) return TRUE;
            GetDlgItemTextA(dialog, IDC_SCOPE_TITLE, d->copy.Title, sizeof d->copy.Title);
            LRESULT sel = SendDlgItemMessageA(dialog, IDC_SCOPE_CHANNEL, LB_GETCURSEL, 0, 0);
            if (sel >= 0 && sel < kChannels) d->copy.Channel = static_cast<int32_t>(sel);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
    return FALSE;
}

bool RunScopeDialog(HWND owner, GraphState* s) {
    auto d = std::make_unique<ScopeDialog>();
    d->copy = *s;
    d->checking = false;
    if (DialogBoxParamA(GetModuleHandleA(nullptr), "SCOPEDLG", owner, ScopeDlgProc,
                        reinterpret_cast<LPARAM>(d.get())) != IDOK)
        return false;
    // The chosen channel's offsets and span; step and title stay as chosen.
    const int32_t step = d->copy.Step;
    d->copy.DisplayChannel = d->copy.Channel;
    GraphConfigure(&d->copy, false);
    d->copy.Step = step;
    *s = d->copy;
    MarkScreenChanged();
    return true;
}
