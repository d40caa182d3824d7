// Win32: BARDLG, "Bar Graph Properties".
#include "displays/bar_dlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "displays/display_fields.h"
#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "displays/param_list_dlg.h"
#include "testmodel/model.h"

namespace {

struct BarDialog {
    BarState copy;
    bool checking;
    COLORREF custom[16];
};

int32_t SelectedBar(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_DISP_SELECTED);
    int item = 0;
    if (SendMessageA(list, LB_GETSELCOUNT, 0, 0) < 1) return -1;
    if (SendMessageA(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&item)) < 1) return -1;
    return item;
}

void ShowScale(HWND dialog, const BarState& s, int32_t i) {
    char text[40] = "";
    if (i >= 0 && i < s.Count) FormatDisplayNumber(s.Minimum[i], 3, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_BAR_FROM, text);
    text[0] = '\0';
    if (i >= 0 && i < s.Count) FormatDisplayNumber(s.Maximum[i], 3, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_BAR_TO, text);
}

void StoreScaleField(HWND dialog, BarDialog* d, int id) {
    const int32_t i = SelectedBar(dialog);
    if (i < 0 || i >= d->copy.Count) {
        MessageBoxA(dialog, "No Parameter Selected", "Bar Graph", MB_OK);
        return;
    }
    char text[40];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    // Text that is not a number would silently become a scale of 0: say so
    // and keep the scale the bar had.
    char* end = text;
    const double v = strtod(text, &end);
    while (*end == ' ') ++end;
    if (end == text || *end != '\0' || !std::isfinite(static_cast<float>(v))) {
        MessageBoxA(dialog, "The Scale Must Be A Number", "Bar Graph", MB_OK | MB_ICONEXCLAMATION);
        ShowScale(dialog, d->copy, i);
        return;
    }
    (id == IDC_BAR_FROM ? d->copy.Minimum : d->copy.Maximum)[i] = static_cast<float>(v);
}

void Init(HWND dialog, BarDialog* d) {
    BarState& s = d->copy;
    if (s.Priority < 1) s.Priority = 2;
    FillAvailableList(dialog);
    FillSelectedList(dialog, s.Channels, s.Count);
    SendDlgItemMessageA(dialog, IDC_DISP_TITLE, EM_LIMITTEXT, kDisplayTitleSize - 1, 0);
    SetDlgItemTextA(dialog, IDC_DISP_TITLE, s.Title);
    SendDlgItemMessageA(dialog, IDC_DISP_PRIORITY_SPIN, UDM_SETRANGE, 0, MAKELPARAM(10, 1));
    if (s.Priority > 10) MessageBoxA(dialog, "Over 10", "Priority", MB_OK);
    ShowPriority(dialog, s.Priority);
    CheckDlgButton(dialog, IDC_BAR_AUTOMATIC, s.AutoTextSize ? BST_CHECKED : BST_UNCHECKED);
    for (COLORREF& c : d->custom) c = RGB(255, 255, 255);
}

// Bars keep their scale and colour when others are removed.
void RemoveBars(HWND dialog, BarState* s) {
    bool removed[kBarSlots] = {};
    int32_t before = s->Count;
    int32_t channels[kBarSlots];
    for (int32_t i = 0; i < before; ++i) channels[i] = s->Channels[i];
    if (RemoveFromSelected(dialog, channels, &before, removed) < 0 && before == s->Count) return;
    int32_t kept = 0;
    for (int32_t i = 0; i < s->Count; ++i) {
        if (removed[i]) continue;
        s->Channels[kept] = s->Channels[i];
        s->Minimum[kept] = s->Minimum[i];
        s->Maximum[kept] = s->Maximum[i];
        s->Colour[kept] = s->Colour[i];
        s->LastValue[kept] = s->LastValue[i];
        ++kept;
    }
    s->Count = kept;
}

void AddBars(HWND dialog, BarState* s) {
    const int32_t before = s->Count;
    if (!AddFromAvailable(dialog, s->Channels, &s->Count, kBarMax)) return;
    for (int32_t i = before; i < s->Count; ++i) {
        BarFullRange(s->Channels[i], &s->Minimum[i], &s->Maximum[i]);
        s->Colour[i] = lpCVT ? lpCVT->NormalColor[s->Channels[i]] : 0;
        s->LastValue[i] = -1.0f;
    }
}

}  // namespace

INT_PTR CALLBACK BarDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    BarDialog* d = reinterpret_cast<BarDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        Init(dialog, reinterpret_cast<BarDialog*>(lParam));
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* h = reinterpret_cast<const NMHDR*>(lParam);
        if (d && h->idFrom == IDC_DISP_PRIORITY_SPIN && h->code == UDN_DELTAPOS) {
            const NMUPDOWN* ud = reinterpret_cast<const NMUPDOWN*>(lParam);
            int32_t p = d->copy.Priority + (ud->iDelta > 0 ? 1 : -1);
            if (p >= 1 && p <= 10) d->copy.Priority = p;
            ShowPriority(dialog, d->copy.Priority);
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        break;
    }
    case WM_COMMAND: {
        if (d == nullptr) break;
        const int id = LOWORD(wParam), code = HIWORD(wParam);
        BarState& s = d->copy;
        if (code == EN_KILLFOCUS && !d->checking) {
            d->checking = true;
            if (id == IDC_DISP_PRIORITY) {
                int32_t v;
                if (ReadPriorityField(dialog, s.Priority, false, &v)) s.Priority = v;
            } else if (id == IDC_BAR_FROM || id == IDC_BAR_TO) {
                StoreScaleField(dialog, d, id);
            }
            d->checking = false;
            return TRUE;
        }
        if (id == IDC_DISP_SELECTED && code == LBN_SELCHANGE) {
            ShowScale(dialog, s, SelectedBar(dialog));
            return TRUE;
        }
        if ((id == IDC_DISP_AVAILABLE || id == IDC_DISP_SELECTED) && code == LBN_DBLCLK)
            wParam = id == IDC_DISP_AVAILABLE ? IDC_DISP_ADD : IDC_DISP_REMOVE;
        switch (LOWORD(wParam)) {
        case IDC_DISP_ADD:
            AddBars(dialog, &s);
            return TRUE;
        case IDC_DISP_REMOVE:
            RemoveBars(dialog, &s);
            ShowScale(dialog, s, SelectedBar(dialog));
            return TRUE;
        case IDC_BAR_COLOR: {
            const int32_t i = SelectedBar(dialog);
            if (i < 0 || i >= s.Count) {
                MessageBoxA(dialog, "No Parameters Selected", "Bar Graph", MB_OK);
                return TRUE;
            }
            CHOOSECOLORA cc = {};
            cc.lStructSize = sizeof cc;
            cc.hwndOwner = dialog;
            cc.rgbResult = s.Colour[i];
            cc.lpCustColors = d->custom;
            cc.Flags = CC_RGBINIT;
            if (ChooseColorA(&cc)) s.Colour[i] = cc.rgbResult;
            return TRUE;
        }
        case IDOK: {
            d->checking = true;
            int32_t v;
            bool ok = ReadPriorityField(dialog, s.Priority, true, &v) != 0;
            d->checking = false;
            if (!ok) return TRUE;
            s.Priority = v;
            s.Countdown = v;
            BarFixScales(&s);
            s.AutoTextSize = IsDlgButtonChecked(dialog, IDC_BAR_AUTOMATIC) == BST_CHECKED;
            GetDlgItemTextA(dialog, IDC_DISP_TITLE, s.Title, sizeof s.Title);
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

bool RunBarDialog(HWND owner, BarState* s) {
    auto d = std::make_unique<BarDialog>();
    d->copy = *s;
    d->checking = false;
    if (DialogBoxParamA(GetModuleHandleA(nullptr), "BARDLG", owner, BarDlgProc,
                        reinterpret_cast<LPARAM>(d.get())) != IDOK)
        return false;
    *s = d->copy;
    MarkScreenChanged();
    return true;
}
