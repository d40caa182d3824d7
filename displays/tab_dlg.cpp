// Win32: TABDLG, "Tabular Graph Properties".
#include "displays/tab_dlg.h"

#include <commctrl.h>

#include <memory>

#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "displays/param_list_dlg.h"

namespace {

struct TabDialog {
    TabState copy;
    bool checking;
};

void Init(HWND dialog, TabDialog* d) {
    TabState& s = d->copy;
    if (s.Priority < 1) s.Priority = 2;
    FillAvailableList(dialog);
    FillSelectedList(dialog, s.Parameters, s.Count);
    SendDlgItemMessageA(dialog, IDC_DISP_TITLE, EM_LIMITTEXT, kDisplayTitleSize - 1, 0);
    SetDlgItemTextA(dialog, IDC_DISP_TITLE, s.Title);
    SendDlgItemMessageA(dialog, IDC_DISP_PRIORITY_SPIN, UDM_SETRANGE, 0, MAKELPARAM(10, 1));
    ShowPriority(dialog, s.Priority);
    CheckRadioButton(dialog, IDC_TAB_DECIMAL, IDC_TAB_BINARY,
                     IDC_TAB_DECIMAL + (s.Radix >= 0 && s.Radix <= 3 ? s.Radix : 0));
    CheckDlgButton(dialog, IDC_TAB_FITWIDTH, s.FitWidth ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_TAB_FITHEIGHT, s.FitHeight ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_TAB_HIDERAW, s.HideRaw ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_TAB_HIDEEU, s.HideEu ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace

INT_PTR CALLBACK TabDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    TabDialog* d = reinterpret_cast<TabDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        Init(dialog, reinterpret_cast<TabDialog*>(lParam));
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* h = reinterpret_cast<const NMHDR*>(lParam);
        if (d && h->idFrom == IDC_DISP_PRIORITY_SPIN && h->code == UDN_DELTAPOS) {
            const NMUPDOWN* ud = reinterpret_cast<const NMUPDOWN*>(lParam);
            int32_t p = d->copy.Priority + (ud->iDelta > 0 ? 1 : -1);
            if (p >= 1 && p <= 10) d->copy.Priority = p;
            ShowPriority(dialog, d->copy.Priority);
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);  // the field is set here
            return TRUE;
        }
        break;
    }
    case WM_COMMAND: {
        if (d == nullptr) break;
        const int id = LOWORD(wParam), code = HIWORD(wParam);
        TabState& s = d->copy;
        if (id == IDC_DISP_PRIORITY && code == EN_KILLFOCUS && !d->checking) {
            d->checking = true;
            int32_t v;
            if (ReadPriorityField(dialog, s.Priority, false, &v)) s.Priority = v;
            d->checking = false;
            return TRUE;
        }
        if ((id == IDC_DISP_AVAILABLE || id == IDC_DISP_SELECTED) && code == LBN_DBLCLK)
            wParam = id == IDC_DISP_AVAILABLE ? IDC_DISP_ADD : IDC_DISP_REMOVE;
        switch (LOWORD(wParam)) {
        case IDC_DISP_ADD:
            AddFromAvailable(dialog, s.Parameters, &s.Count, kTabMaxParameters);
            return TRUE;
        case IDC_DISP_REMOVE:
            RemoveFromSelected(dialog, s.Parameters, &s.Count, nullptr);
            return TRUE;
        case IDC_TAB_DECIMAL: case IDC_TAB_HEX: case IDC_TAB_OCTAL: case IDC_TAB_BINARY:
            s.Radix = id - IDC_TAB_DECIMAL;
            return TRUE;
        case IDOK: {
            d->checking = true;
            int32_t v;
            bool ok = ReadPriorityField(dialog, s.Priority, true, &v) != 0;
            d->checking = false;
            if (!ok) return TRUE;
            s.Priority = v;
            s.Countdown = v;
            s.FitWidth = IsDlgButtonChecked(dialog, IDC_TAB_FITWIDTH) == BST_CHECKED;
            s.FitHeight = IsDlgButtonChecked(dialog, IDC_TAB_FITHEIGHT) == BST_CHECKED;
            s.HideRaw = IsDlgButtonChecked(dialog, IDC_TAB_HIDERAW) == BST_CHECKED;
            s.HideEu = IsDlgButtonChecked(dialog, IDC_TAB_HIDEEU) == BST_CHECKED;
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

bool RunTabDialog(HWND owner, TabState* s) {
    auto d = std::make_unique<TabDialog>();
    d->copy = *s;
    d->checking = false;
    if (DialogBoxParamA(GetModuleHandleA(nullptr), "TABDLG", owner, TabDlgProc,
                        reinterpret_cast<LPARAM>(d.get())) != IDOK)
        return false;
    *s = d->copy;
    MarkScreenChanged();
    return true;
}
