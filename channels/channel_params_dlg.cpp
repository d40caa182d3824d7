// Win32: the channel parameter dialog and the clone dialog.  The controls are
// filled from the channel's settings and every edit goes through the rules
// of channel_rules.cpp, which check it before anything is stored.
#include "channels/channel_dlg.h"

#include <commdlg.h>

#include <cstdio>
#include <string>

#include "base/app_state.h"
#include "calibration/calibration_dlg.h"
#include "channels/channel_ids.h"
#include "channels/channel_rules.h"
#include "displays/quick_plot_wnd.h"
#include "hardware/channel_download.h"
#include "outputs/outputs_dlg.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "shell/shell_rules.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

// The dialog's state: the channel being edited, and a guard so that filling
// the controls does not read them back as edits.
struct ChannelDialog {
    int32_t channel = 0;
    bool filling = false;
    HBITMAP picture = nullptr;
};
ChannelDialog g_dialog;

std::string ItemText(HWND dlg, int id) {
    char text[256] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    return text;
}

void Show(HWND dlg, int id, bool visible) { ShowWindow(GetDlgItem(dlg, id), visible ? SW_SHOW : SW_HIDE); }

void FillList(HWND dlg, int id, const int32_t* options, int32_t count, double selected, bool filter) {
    HWND list = GetDlgItem(dlg, id);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (int32_t k = 0; k < count; ++k) {
        std::string text = filter ? FilterOptionText(options[k]) : GainOptionText(options[k]);
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(OptionIndex(options, count, selected)), 0);
}

void SetLimitField(HWND dlg, int id, LimitField field) {
    SetDlgItemTextA(dlg, id, FourDecimals(LimitPercent(g_dialog.channel, field)).c_str());
}

void Fill(HWND dlg) {
    const int32_t c = g_dialog.channel;
    ChannelParams& p = *lpsChannelParams;
    g_dialog.filling = true;
    ChannelControls v = ChannelControlsOf(p, c);

    for (int id : {IDC_CP_GAIN, IDC_CP_GAINLABEL}) Show(dlg, id, v.Analog);
    for (int id : {IDC_CP_VARGROUP, IDC_CP_VARENABLE, IDC_CP_VARGAIN}) Show(dlg, id, v.Analog && v.VariableGain);
    Show(dlg, IDC_CP_AUTOBALANCE, v.Analog && v.Autobalance);
    for (int id : {IDC_CP_AUTOZERO, IDC_CP_EXTZERO}) Show(dlg, id, v.Analog && v.Autozero);
    Show(dlg, IDC_CP_ZBGROUP, v.Analog && v.ZeroBalanceGroup);
    for (int id : {IDC_CP_FILTER, IDC_CP_FILTERLABEL}) Show(dlg, id, v.Analog && v.FilterList);
    for (int id : {IDC_CP_VOLTRADIO, IDC_CP_VOLTAGE}) Show(dlg, id, v.Analog && v.Voltage);
    for (int id : {IDC_CP_CURRRADIO, IDC_CP_CURRENT}) Show(dlg, id, v.Analog && v.Current);
    for (int id : {IDC_CP_EXCENABLE, IDC_CP_EXCGROUP}) Show(dlg, id, v.Analog && v.ExcitationGroup);
    for (int id : {IDC_CP_LIMITGROUP, IDC_CP_ALARMABOVE, IDC_CP_ALARMBELOW, IDC_CP_WARNABOVE, IDC_CP_WARNBELOW,
                   IDC_CP_NORMALCOLOR, IDC_CP_ALARMCOLOR, IDC_CP_WARNCOLOR})
        Show(dlg, id, v.Analog);
    for (int id : {IDC_CP_NAME, IDC_CP_NAMELABEL, IDC_CP_UNITS, IDC_CP_UNITSLABEL, IDC_CP_SENSITIVITY,
                   IDC_CP_SENSLABEL, IDC_CP_OFFSET, IDC_CP_OFFSETLABEL})
        Show(dlg, id, v.NameFields);
    Show(dlg, IDC_CP_CALIBRATION, v.CalibrationButton);
    Show(dlg, IDC_CP_DIGITAL, v.DigitalButton);
    Show(dlg, IDC_CP_DAC, v.DacButton);
    Show(dlg, IDC_CP_MODULES, CardClassOfType(p.CARDTYPE[c]) == CardClass::FiveB);
    Show(dlg, IDC_CP_MODULEVALUES, CardClassOfType(p.CARDTYPE[c]) == CardClass::FiveB);

    FillList(dlg, IDC_CP_GAIN, p.GainList[c], kGainOptions, p.GAIN[c], false);
    FillList(dlg, IDC_CP_FILTER, p.FilterList[c], kFilterOptions, p.FILTER[c], true);
    FillList(dlg, IDC_CP_VOLTAGE, p.VoltageList[c], kVoltageOptions, p.EXCITATIONVOLTAGE[c], false);
    FillList(dlg, IDC_CP_CURRENT, p.CurrentList[c], kCurrentOptions, p.EXCITATIONCURRENT[c], false);

    SendDlgItemMessageA(dlg, IDC_CP_TYPE, CB_SETCURSEL, p.CARDTYPE[c] >= 1 ? p.CARDTYPE[c] - 1 : -1, 0);
    HBITMAP bmp = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), CardPictureOfType(p.CARDTYPE[c]), IMAGE_BITMAP, 0, 0, 0));
    HBITMAP old = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageA(dlg, IDC_CP_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bmp)));
    if (old && old != bmp) DeleteObject(old);
    g_dialog.picture = bmp;

    auto text = [&](int id, const char* field, size_t size) {
        SetDlgItemTextA(dlg, id, std::string(field, strnlen(field, size)).c_str());
    };
    text(IDC_CP_NAME, p.NAME[c], sizeof p.NAME[c]);
    text(IDC_CP_UNITS, p.UNITS[c], sizeof p.UNITS[c]);
    text(IDC_CP_DESCRIPTION, p.DESCRIPTION[c], sizeof p.DESCRIPTION[c]);
    text(IDC_CP_LOCATION, p.LOCATION[c], sizeof p.LOCATION[c]);
    SetDlgItemTextA(dlg, IDC_CP_SENSITIVITY, FourDecimals(p.SENSITIVITY[c]).c_str());
    SetDlgItemTextA(dlg, IDC_CP_OFFSET, FourDecimals(p.OFFSET[c]).c_str());
    SetDlgItemTextA(dlg, IDC_CP_VARGAIN, FourDecimals(p.VARIABLEGAIN[c]).c_str());
    std::string units(p.UNITS[c], strnlen(p.UNITS[c], sizeof p.UNITS[c]));
    SetDlgItemTextA(dlg, IDC_CP_SENSLABEL, ("Sensitivity " + units).c_str());
    SetDlgItemTextA(dlg, IDC_CP_OFFSETLABEL, ("Offset " + units).c_str());
    SetLimitField(dlg, IDC_CP_ALARMABOVE, LimitField::AlarmAbove);
    SetLimitField(dlg, IDC_CP_ALARMBELOW, LimitField::AlarmBelow);
    SetLimitField(dlg, IDC_CP_WARNABOVE, LimitField::WarningAbove);
    SetLimitField(dlg, IDC_CP_WARNBELOW, LimitField::WarningBelow);

    CheckRadioButton(dlg, IDC_CP_VOLTRADIO, IDC_CP_CURRRADIO,
                     p.EXCITATIONSOURCE[c] == 1 ? IDC_CP_VOLTRADIO
                                                : (p.EXCITATIONSOURCE[c] == 0 ? IDC_CP_CURRRADIO : 0));
    CheckDlgButton(dlg, IDC_CP_EXCENABLE, p.EXCITATIONENABLE[c] ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dlg, IDC_CP_AUTOBALANCE, p.AUTOBALANCEENABLE[c] ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dlg, IDC_CP_AUTOZERO, p.AUTOZEROENABLE[c] ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dlg, IDC_CP_EXTZERO, p.EXTERNALAUTOZERO[c] ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dlg, IDC_CP_VARENABLE, p.VARIABLEGAINENABLE[c] ? BST_CHECKED : BST_UNCHECKED);
    g_dialog.filling = false;
}

void InitDialog(HWND dlg) {
    for (int c = 0; c < kChannels; ++c)
        SendDlgItemMessageA(dlg, IDC_CP_CHANNEL, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(std::to_string(c).c_str()));
    for (uint32_t t = 1; t <= static_cast<uint32_t>(kCardTypes); ++t)
        SendDlgItemMessageA(dlg, IDC_CP_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(CardModelName(
                                                                  static_cast<int32_t>(t))));
    SendDlgItemMessageA(dlg, IDC_CP_NAME, EM_LIMITTEXT, 31, 0);
    SendDlgItemMessageA(dlg, IDC_CP_UNITS, EM_LIMITTEXT, 7, 0);
    SendDlgItemMessageA(dlg, IDC_CP_DESCRIPTION, EM_LIMITTEXT, 29, 0);
    SendDlgItemMessageA(dlg, IDC_CP_LOCATION, EM_LIMITTEXT, 29, 0);
    SendDlgItemMessageA(dlg, IDC_CP_CHANNEL, CB_SETCURSEL, static_cast<WPARAM>(g_dialog.channel), 0);
    Fill(dlg);
}

void ChooseLimitColour(HWND dlg, LimitColour which) {
    static COLORREF custom[16] = {};
    uint32_t* current = which == LimitColour::Normal  ? &lpCVT->NormalColor[g_dialog.channel]
                        : which == LimitColour::Alarm ? &lpCVT->AlarmColor[g_dialog.channel]
                                                      : &lpCVT->WarningColor[g_dialog.channel];
    CHOOSECOLORA cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = dlg;
    cc.rgbResult = *current;
    cc.lpCustColors = custom;
    cc.Flags = CC_FULLOPEN | CC_RGBINIT;
    if (ChooseColorA(&cc)) StoreLimitColour(g_dialog.channel, which, cc.rgbResult);
}

void Launch(const std::string& command, const char* failText, const char* failCaption) {
    if (PlatformStartProgram(command.c_str(), SW_SHOWNORMAL) < 32)
        MessageBoxA(nullptr, failText, failCaption, MB_OK | MB_ICONEXCLAMATION);
}

// A field lost the focus: store it through its rule, then show what is stored.
void FieldDone(HWND dlg, int id) {
    const int32_t c = g_dialog.channel;
    // Leaving a field the operator did not edit changes nothing.
    if (!SendDlgItemMessageA(dlg, id, EM_GETMODIFY, 0, 0)) return;
    std::string text = ItemText(dlg, id);
    switch (id) {
    case IDC_CP_NAME: StoreChannelName(c, text.c_str()); break;
    case IDC_CP_UNITS: StoreChannelText(c, TextField::Units, text.c_str()); break;
    case IDC_CP_DESCRIPTION: StoreChannelText(c, TextField::Description, text.c_str()); break;
    case IDC_CP_LOCATION: StoreChannelText(c, TextField::Location, text.c_str()); break;
    case IDC_CP_SENSITIVITY: StoreChannelNumber(c, NumberField::Sensitivity, text.c_str()); break;
    case IDC_CP_OFFSET: StoreChannelNumber(c, NumberField::Offset, text.c_str()); break;
    case IDC_CP_VARGAIN: StoreChannelNumber(c, NumberField::VariableGain, text.c_str()); break;
    case IDC_CP_ALARMABOVE: StoreLimitPercent(c, LimitField::AlarmAbove, text.c_str()); break;
    case IDC_CP_ALARMBELOW: StoreLimitPercent(c, LimitField::AlarmBelow, text.c_str()); break;
    case IDC_CP_WARNABOVE: StoreLimitPercent(c, LimitField::WarningAbove, text.c_str()); break;
    case IDC_CP_WARNBELOW: StoreLimitPercent(c, LimitField::WarningBelow, text.c_str()); break;
    default: return;
    }
    Fill(dlg);
}

void Close(HWND dlg) {
    ClassifyScanEntries();
    if (g_dialog.picture) DeleteObject(g_dialog.picture);
    g_dialog.picture = nullptr;
    EndDialog(dlg, 1);
}

}  // namespace

INT_PTR CALLBACK ChannelParametersDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dlg);
        return TRUE;
    case WM_CLOSE:
        Close(dlg);
        return TRUE;
    case WM_COMMAND: {
        if (g_dialog.filling) return FALSE;
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        const int32_t c = g_dialog.channel;
        if (code == EN_KILLFOCUS) {
            FieldDone(dlg, id);
            return TRUE;
        }
        if (code == CBN_SELCHANGE) {
            int32_t index = static_cast<int32_t>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0));
            switch (id) {
            case IDC_CP_CHANNEL:
                if (index >= 0) g_dialog.channel = index;
                break;
            case IDC_CP_TYPE: SelectCardType(c, static_cast<uint32_t>(index + 1)); break;
            case IDC_CP_GAIN: SelectChannelOption(c, OptionList::Gain, index); break;
            case IDC_CP_FILTER: SelectChannelOption(c, OptionList::Filter, index); break;
            case IDC_CP_VOLTAGE: SelectChannelOption(c, OptionList::Voltage, index); break;
            case IDC_CP_CURRENT: SelectChannelOption(c, OptionList::Current, index); break;
            default: return FALSE;
            }
            Fill(dlg);
            return TRUE;
        }
        if (code != BN_CLICKED) return FALSE;
        auto checked = [&](int box) { return IsDlgButtonChecked(dlg, box) == BST_CHECKED; };
        switch (id) {
        case IDC_CP_VOLTRADIO: SetChannelSwitch(c, ChannelSwitch::VoltageExcitation, true); break;
        case IDC_CP_CURRRADIO: SetChannelSwitch(c, ChannelSwitch::CurrentExcitation, true); break;
        case IDC_CP_EXCENABLE: SetChannelSwitch(c, ChannelSwitch::ExcitationEnable, checked(id)); break;
        case IDC_CP_AUTOBALANCE: SetChannelSwitch(c, ChannelSwitch::Autobalance, checked(id)); break;
        case IDC_CP_AUTOZERO: SetChannelSwitch(c, ChannelSwitch::Autozero, checked(id)); break;
        case IDC_CP_EXTZERO: SetChannelSwitch(c, ChannelSwitch::ExternalAutozero, checked(id)); break;
        case IDC_CP_VARENABLE: SetChannelSwitch(c, ChannelSwitch::VariableGainEnable, checked(id)); break;
        case IDC_CP_NORMALCOLOR: ChooseLimitColour(dlg, LimitColour::Normal); break;
        case IDC_CP_ALARMCOLOR: ChooseLimitColour(dlg, LimitColour::Alarm); break;
        case IDC_CP_WARNCOLOR: ChooseLimitColour(dlg, LimitColour::Warning); break;
        case IDC_CP_DOWNLOAD: DownloadChannel(c); break;
        case IDC_CP_DOWNLOADSCANNED: DownloadScannedFromDialog(); break;
        case IDC_CP_RETRIEVE: RetrieveChannelTest(); break;
        case IDC_CP_SAVE: SaveChannelTest(); break;
        case IDC_CP_ACCESS: Launch(AccessCommandLine(szAccessPath, szTestFile), "Could Not Start Access",
                                   "Check The Path To Microsoft Access"); break;
        case IDC_CP_LOG: {
            std::string command;
            if (ChannelLogCommand(&command))
                Launch(command, "Could Not Find Notepad", "Put Notepad.exe in Windows Directory");
            else
                MessageBoxA(dlg, "Please Open A Test First", "No Test Open", MB_OK | MB_ICONEXCLAMATION);
            break;
        }
        case IDC_CP_CLONE:
            DialogBoxParamA(GetModuleHandleA(nullptr), "CLONE_CHANNELS", dlg, UICloneChannelsDlg,
                            static_cast<LPARAM>(c));
            break;
        case IDC_CP_MODULES:
            DialogBoxParamA(GetModuleHandleA(nullptr), "5BSETUP", dlg, FiveBDlg, static_cast<LPARAM>(c));
            break;
        case IDC_CP_MODULEVALUES:
            OpenFiveBWindow();
            return TRUE;
        case IDC_CP_CALIBRATION:
            OpenCalibrationStates(dlg, c);
            Fill(dlg);
            return TRUE;
        case IDC_CP_DIGITAL:
            OpenDigitalOutputSetup(dlg);
            return TRUE;
        case IDC_CP_DAC:
            OpenSetupM21(dlg);
            return TRUE;
        case IDC_CP_QUICKPLOT: {
            // Beside the dialog, on the side with more room.
            RECT r;
            GetWindowRect(dlg, &r);
            const int width = 320, height = 200;
            const int x = r.right + width <= GetSystemMetrics(SM_CXSCREEN) ? r.right : r.left - width;
            OpenQuickPlot(GetParent(dlg), c, x > 0 ? x : 0, r.top, width, height);
            return TRUE;
        }
        case IDOK:
            // Enter in a field stores it, as leaving the field does.
            FieldDone(dlg, GetDlgCtrlID(GetFocus()));
            return TRUE;
        case IDC_CP_EXIT:
        case IDCANCEL:
            Close(dlg);
            return TRUE;
        default: return FALSE;
        }
        Fill(dlg);
        return TRUE;
    }
    }
    return FALSE;
}

// ---- clone ----------------------------------------------------------------------------------
INT_PTR CALLBACK UICloneChannelsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        for (int c = 0; c < kChannels; ++c) {
            std::string name(lpsChannelParams->NAME[c], strnlen(lpsChannelParams->NAME[c], 32));
            std::string item = std::to_string(c) + " " + name;
            SendDlgItemMessageA(dlg, IDC_CL_SOURCE, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            SendDlgItemMessageA(dlg, IDC_CL_DEST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        }
        SendDlgItemMessageA(dlg, IDC_CL_SOURCE, LB_SETCURSEL, static_cast<WPARAM>(lParam), 0);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            int32_t source = static_cast<int32_t>(SendDlgItemMessageA(dlg, IDC_CL_SOURCE, LB_GETCURSEL, 0, 0));
            bool destinations[kChannels] = {};
            for (int c = 0; c < kChannels; ++c)
                destinations[c] = SendDlgItemMessageA(dlg, IDC_CL_DEST, LB_GETSEL, static_cast<WPARAM>(c), 0) > 0;
            if (source >= 0) CloneChannel(source, destinations);
            EndDialog(dlg, IDOK);
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

void OpenChannelParameters(HWND owner) {
    if (lpsChannelParams == nullptr) return;
    if (g_dialog.channel < 0 || g_dialog.channel >= kChannels) g_dialog.channel = 0;
    DialogBoxParamA(GetModuleHandleA(nullptr), "CHANNELPARAMS", owner, ChannelParametersDlg, 0);
}

void DownloadChannelsCommand() {
    if (DownloadScannedChannels() == 1) bParametersDownloaded = true;
}
