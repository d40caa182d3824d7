// The control panel's option dialogs: recording options, replay speed and
// the COM2 line settings.  Their rules are in recording_options.
#include <cstdio>

#include "acquire/acquire_ids.h"
#include "acquire/panel_dlg.h"
#include "acquire/recording_options.h"
#include "base/app_state.h"
#include "shell/frame_globals.h"
#include "testmodel/system_settings.h"

namespace {

// Modes as the radio buttons left them; -1 when a click left none checked.
int32_t g_triggerMode = 0;
int32_t g_stopMode = 0;
int32_t g_seconds = 0;

int32_t CheckedOf(HWND dlg, int32_t first, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        if (IsDlgButtonChecked(dlg, first + i) == BST_CHECKED) return i;
    return -1;
}

void FillCombo(HWND dlg, int id, const char* const* items, int count, int selected) {
    for (int i = 0; i < count; ++i) SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int Selected(HWND dlg, int id) {
    return static_cast<int>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0));
}

}  // namespace

INT_PTR CALLBACK RecordingOptionsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        g_triggerMode = nTriggerState;
        g_stopMode = nRecordingType;
        g_seconds = nRecordingTime;
        if (g_triggerMode >= 0 && g_triggerMode <= 6) CheckDlgButton(dlg, IDC_RO_TRIGGER0 + g_triggerMode, BST_CHECKED);
        if (g_stopMode >= 0 && g_stopMode <= 5) CheckDlgButton(dlg, IDC_RO_STOP0 + g_stopMode, BST_CHECKED);
        CheckDlgButton(dlg, IDC_RO_APPEND, bAppendMode ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dlg, IDC_RO_COM2, bCom2RunAndPoint ? BST_CHECKED : BST_UNCHECKED);
        char text[16];
        snprintf(text, sizeof text, "%d", g_seconds);
        SetDlgItemTextA(dlg, IDC_RO_SECONDS, text);
        return TRUE;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id >= IDC_RO_TRIGGER0 && id <= IDC_RO_TRIGGER0 + 6 && HIWORD(wParam) == BN_CLICKED) {
            g_triggerMode = CheckedOf(dlg, IDC_RO_TRIGGER0, 7);
            return TRUE;
        }
        if (id >= IDC_RO_STOP0 && id <= IDC_RO_STOP0 + 5 && HIWORD(wParam) == BN_CLICKED) {
            g_stopMode = CheckedOf(dlg, IDC_RO_STOP0, 6);
            return TRUE;
        }
        if (id == IDC_RO_SECONDS && HIWORD(wParam) == EN_KILLFOCUS) {
            char text[128];
            GetDlgItemTextA(dlg, IDC_RO_SECONDS, text, sizeof text);
            g_seconds = ParseRecordSeconds(text);
            return TRUE;
        }
        if (id == IDOK) {
            char text[128];
            GetDlgItemTextA(dlg, IDC_RO_SECONDS, text, sizeof text);
            g_seconds = ParseRecordSeconds(text);
            const char* caption = ConfirmRecordingOptions(
                g_triggerMode, g_stopMode, g_seconds, IsDlgButtonChecked(dlg, IDC_RO_APPEND) == BST_CHECKED,
                IsDlgButtonChecked(dlg, IDC_RO_COM2) == BST_CHECKED);
            if (hwndControl) SetWindowTextA(hwndControl, caption);
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK ReplaySpeedDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        char text[16];
        snprintf(text, sizeof text, "%u", dwReplayDelay);
        SetDlgItemTextA(dlg, IDC_RD_DELAY, text);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            char text[128];
            GetDlgItemTextA(dlg, IDC_RD_DELAY, text, sizeof text);
            dwReplayDelay = ParseReplayDelay(text);
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK COM2Dlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        static const char* const bauds[] = {"1200", "2400", "4800", "9600", "19200"};
        static const char* const dataBits[] = {"4", "5", "6", "7", "8"};
        static const char* const parity[] = {"None", "Odd", "Even", "Mark", "Space"};
        static const char* const stopBits[] = {"1", "1.5", "2"};
        static const char* const flow[] = {"None", "Xon / Xoff", "Hardware"};
        FillCombo(dlg, IDC_COM2_BAUD, bauds, 5, Com2BaudIndex(nCom2BaudRate));
        FillCombo(dlg, IDC_COM2_DATABITS, dataBits, 5, nCom2DataBits - 4);
        FillCombo(dlg, IDC_COM2_PARITY, parity, 5, nCom2Parity);
        FillCombo(dlg, IDC_COM2_STOPBITS, stopBits, 3, nCom2StopBits);
        FillCombo(dlg, IDC_COM2_FLOW, flow, 3, nCom2FlowControl);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            StoreCom2Settings(Selected(dlg, IDC_COM2_BAUD), Selected(dlg, IDC_COM2_DATABITS),
                              Selected(dlg, IDC_COM2_PARITY), Selected(dlg, IDC_COM2_STOPBITS),
                              Selected(dlg, IDC_COM2_FLOW));
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
