// Win32: the 5B module dialog of one channel (template 5BSETUP).
#include "channels/channel_dlg.h"

#include <string>

#include "channels/channel_ids.h"
#include "channels/five_b_rules.h"
#include "testmodel/model.h"

namespace {

int32_t g_fiveBChannel = 0;

std::string ItemText(HWND dlg, int id) {
    char text[256] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    return text;
}

}  // namespace

INT_PTR CALLBACK FiveBDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        g_fiveBChannel = static_cast<int32_t>(lParam);
        FiveBRowText rows[kFiveBModules];
        FiveBModuleRows(g_fiveBChannel, rows);
        for (int m = 0; m < kFiveBModules; ++m) {
            SendDlgItemMessageA(dlg, IDC_5B_NAME0 + m, EM_LIMITTEXT, 31, 0);
            SendDlgItemMessageA(dlg, IDC_5B_UNITS0 + m, EM_LIMITTEXT, 7, 0);
            SetDlgItemTextA(dlg, IDC_5B_NAME0 + m, rows[m].Name.c_str());
            SetDlgItemTextA(dlg, IDC_5B_SLOPE0 + m, rows[m].Slope.c_str());
            SetDlgItemTextA(dlg, IDC_5B_OFFSET0 + m, rows[m].Offset.c_str());
            SetDlgItemTextA(dlg, IDC_5B_UNITS0 + m, rows[m].Units.c_str());
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            FiveBRowText rows[kFiveBModules];
            for (int m = 0; m < kFiveBModules; ++m) {
                rows[m].Name = ItemText(dlg, IDC_5B_NAME0 + m);
                rows[m].Slope = ItemText(dlg, IDC_5B_SLOPE0 + m);
                rows[m].Offset = ItemText(dlg, IDC_5B_OFFSET0 + m);
                rows[m].Units = ItemText(dlg, IDC_5B_UNITS0 + m);
            }
            // A row that does not read stays open for correction.
            if (StoreFiveBModules(g_fiveBChannel, rows)) EndDialog(dlg, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}
