// Win32: the dialogs PIPESETUP (pipe names) and SERVERINFO (CVT server name).
#include <windows.h>

#include "network/cvt_slices.h"
#include "network/network_ids.h"
#include "network/remote_control_wnd.h"
#include "network/remote_pipes.h"
#include "testmodel/system_settings.h"

INT_PTR CALLBACK NamedPipeDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_PS_TALK, szTalkPipe);
        SetDlgItemTextA(dialog, IDC_PS_LISTEN, szListenPipe);
        SetDlgItemTextA(dialog, IDC_PS_ERROR, szErrorPipe);
        SetDlgItemTextA(dialog, IDC_PS_DATA, szData1Pipe);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            char talk[100], listen[100], error[100], data[100];
            GetDlgItemTextA(dialog, IDC_PS_TALK, talk, sizeof talk);
            GetDlgItemTextA(dialog, IDC_PS_LISTEN, listen, sizeof listen);
            GetDlgItemTextA(dialog, IDC_PS_ERROR, error, sizeof error);
            GetDlgItemTextA(dialog, IDC_PS_DATA, data, sizeof data);
            StorePipeNames(talk, listen, error, data);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK SetupServerInfoDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_SI_SERVER, szServerBaseName);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            char text[128];
            GetDlgItemTextA(dialog, IDC_SI_SERVER, text, sizeof text);
            SetServerBaseName(text);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}
