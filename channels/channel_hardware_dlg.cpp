// Win32: what a channel's card holds (template UPLOADCHANNEL) and the
// verification of the cards against the test (template VERIFYHARDWARE).
#include "channels/channel_dlg.h"

#include <string>

#include "channels/channel_ids.h"
#include "channels/channel_rules.h"
#include "hardware/channel_download.h"
#include "platform/platform.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

void ShowReadback(HWND dlg, int32_t c) {
    const ChannelParams& p = *lpsChannelParams;
    SetDlgItemTextA(dlg, IDC_UC_NAME, std::string(p.NAME[c], strnlen(p.NAME[c], 32)).c_str());
    SetDlgItemTextA(dlg, IDC_UC_DESCRIPTION, std::string(p.DESCRIPTION[c], strnlen(p.DESCRIPTION[c], 30)).c_str());
    SetDlgItemTextA(dlg, IDC_UC_LOCATION, std::string(p.LOCATION[c], strnlen(p.LOCATION[c], 30)).c_str());
    SetDlgItemTextA(dlg, IDC_UC_SENSITIVITY, FourDecimals(p.SENSITIVITY[c]).c_str());
    SetDlgItemTextA(dlg, IDC_UC_OFFSET, FourDecimals(p.OFFSET[c]).c_str());
    ChannelReadback r;
    ReadChannelSettings(c, &r);
    if (!r.Selected) return;
    ReadbackText t = FormatReadback(r);
    SetDlgItemTextA(dlg, IDC_UC_GAIN, t.Gain.c_str());
    SetDlgItemTextA(dlg, IDC_UC_VARSTATUS, t.VariableGainStatus.c_str());
    SetDlgItemTextA(dlg, IDC_UC_VARGAIN, t.VariableGain.c_str());
    SetDlgItemTextA(dlg, IDC_UC_FILTER, t.Filter.c_str());
    SetDlgItemTextA(dlg, IDC_UC_EXCITATION, t.Excitation.c_str());
    SetDlgItemTextA(dlg, IDC_UC_EXCTYPE, t.ExcitationType.c_str());
    SetDlgItemTextA(dlg, IDC_UC_AUTOZERO, t.AutozeroStatus.c_str());
    SetDlgItemTextA(dlg, IDC_UC_AUTOBALANCE, t.AutobalanceStatus.c_str());
}

bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

}  // namespace

INT_PTR CALLBACK GetChannelSettingsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        const int32_t channels = SystemChannelsInTable();
        for (int32_t c = 0; c < channels; ++c)
            SendDlgItemMessageA(dlg, IDC_UC_CHANNEL, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(std::to_string(c).c_str()));
        SendDlgItemMessageA(dlg, IDC_UC_CHANNEL, CB_SETCURSEL, 0, 0);
        ShowReadback(dlg, 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_UC_CHANNEL && HIWORD(wParam) == CBN_SELCHANGE) {
            int32_t c = static_cast<int32_t>(SendDlgItemMessageA(dlg, IDC_UC_CHANNEL, CB_GETCURSEL, 0, 0));
            if (c >= 0 && c < kChannels) ShowReadback(dlg, c);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK VerifySettingsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        for (int c = 0; c < kChannels; ++c)
            SendDlgItemMessageA(dlg, IDC_VH_CHANNEL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(c).c_str()));
        SendDlgItemMessageA(dlg, IDC_VH_CHANNEL, CB_SETCURSEL, 0, 0);
        CheckRadioButton(dlg, IDC_VH_ALL, IDC_VH_SINGLE, IDC_VH_SINGLE);
        CheckDlgButton(dlg, IDC_VH_WRITEFILE, BST_CHECKED);
        CheckDlgButton(dlg, IDC_VH_NOTEPAD, BST_CHECKED);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_VH_VERIFY: {
            VerifyOptions o;
            o.Scope = Checked(dlg, IDC_VH_ALL)        ? VerifyScope::AllChannels
                      : Checked(dlg, IDC_VH_SCANLIST) ? VerifyScope::ScanListChannels
                      : Checked(dlg, IDC_VH_SINGLE)   ? VerifyScope::SingleChannel
                                                      : VerifyScope::None;
            o.Channel = static_cast<int32_t>(SendDlgItemMessageA(dlg, IDC_VH_CHANNEL, CB_GETCURSEL, 0, 0));
            o.WriteReport = Checked(dlg, IDC_VH_WRITEFILE);
            o.OpenNotepad = Checked(dlg, IDC_VH_NOTEPAD);
            o.Apply = Checked(dlg, IDC_VH_APPLY);
            o.SixteenBit = Checked(dlg, IDC_VH_16BIT);
            VerifyChannelHardware(o);
            return TRUE;
        }
        case IDC_VH_VIEW:
            PlatformStartProgram(HardwareReportCommand().c_str(), SW_SHOWNORMAL);
            return TRUE;
        case IDC_VH_EXIT:
        case IDCANCEL:
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void OpenChannelReadback(HWND owner) {
    if (lpsChannelParams == nullptr) return;
    DialogBoxParamA(GetModuleHandleA(nullptr), "UPLOADCHANNEL", owner, GetChannelSettingsDlg, 0);
}

void OpenVerifyHardware(HWND owner) {
    if (lpsChannelParams == nullptr) return;
    DialogBoxParamA(GetModuleHandleA(nullptr), "VERIFYHARDWARE", owner, VerifySettingsDlg, 0);
}

void DacFiltersCommand() {
    // The DAC outputs' settings as mtstest.ini holds them, then each enabled
    // output's filter.
    static OperationRecord operation;
    LoadOperationFile(&operation, nullptr, 0);
    ApplyDacFilters(&operation);
}
