// Win32: the M21 waveform generator set-up (SETUPM21) and the DAC static
// level (SETDACSNOW).  Every edit goes through dac_setup_rules; a typed
// value out of range is refused with a message and the field shows the
// stored value again.
#include <cstdio>
#include <string>

#include "outputs/dac_outputs.h"
#include "outputs/dac_setup_rules.h"
#include "outputs/dac_waves.h"
#include "outputs/outputs_dlg.h"
#include "outputs/outputs_ids.h"
#include "platform/platform.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"

namespace {

constexpr const char* kSetupCaption = "Setup M21 Waveform Generator";

struct SetupState {
    int32_t records[kDacChannels];
    int32_t count;
    int32_t record;  // the shown record
    int32_t output;  // 0 = A, 1 = B
};
SetupState g_setup = {};

std::string FieldText(HWND dlg, int id) {
    char text[64] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    return text;
}

void SetNumber(HWND dlg, int id, int32_t value) { SetDlgItemTextA(dlg, id, std::to_string(value).c_str()); }

bool NoDacCards(HWND dlg) {
    MessageBoxA(dlg, "You Do Not Have Any DAC Cards",
                "Use Analog I/O Setup Analog Channel Parameters To Add A DAC Channel", MB_OK | MB_ICONINFORMATION);
    return true;
}

void ShowRecord(HWND dlg) {
    const DacChannel& d = sDacChannel[g_setup.record];
    const int32_t s = g_setup.output;
    CheckRadioButton(dlg, IDC_M21_OUTA, IDC_M21_OUTB, s == 0 ? IDC_M21_OUTA : IDC_M21_OUTB);
    CheckRadioButton(dlg, IDC_M21_STATIC, IDC_M21_DYNAMIC, d.OUTTYPE[s] == 1 ? IDC_M21_DYNAMIC : IDC_M21_STATIC);
    CheckRadioButton(dlg, IDC_M21_PREVIEW, IDC_M21_RECORD, d.STARTTYPE[0] == 1 ? IDC_M21_RECORD : IDC_M21_PREVIEW);
    SetNumber(dlg, IDC_M21_LEVEL, d.STATICOUT[s]);
    SetNumber(dlg, IDC_M21_MASTER, d.MASTERLOOP);
    SendDlgItemMessageA(dlg, IDC_M21_REGIONS, CB_SETCURSEL, static_cast<WPARAM>(DacRegionCount(d, s)), 0);
    for (int32_t r = 0; r < kDacWaves; ++r) {
        const int32_t wave = d.WAVE[r][s];
        SendDlgItemMessageA(dlg, IDC_M21_WAVE0 + r, CB_SETCURSEL,
                            static_cast<WPARAM>(wave >= 0 && wave < kDacWaveTypes ? wave : -1), 0);
        const int32_t points = d.FREQ[r][s];
        SendDlgItemMessageA(dlg, IDC_M21_FREQ0 + r, CB_SETCURSEL,
                            static_cast<WPARAM>(points >= kDacMinPoints && points <= kDacMaxPoints
                                                    ? points - kDacMinPoints : -1),
                            0);
        SetNumber(dlg, IDC_M21_LOOP0 + r, d.LOOP[r][s]);
    }
}

// Takes a typed field into the record.  On bad text: the message, and the
// field back to what the record holds.  False when refused.
bool TakeField(HWND dlg, int id) {
    if (id != IDC_M21_LEVEL && id != IDC_M21_MASTER && (id < IDC_M21_LOOP0 || id >= IDC_M21_LOOP0 + kDacWaves))
        return true;
    if (!SendDlgItemMessageA(dlg, id, EM_GETMODIFY, 0, 0)) return true;
    const std::string text = FieldText(dlg, id);
    std::string message;
    bool ok;
    if (id == IDC_M21_LEVEL)
        ok = DacSetLevel(g_setup.record, g_setup.output, text.c_str(), &message);
    else if (id == IDC_M21_MASTER)
        ok = DacSetMasterLoop(g_setup.record, text.c_str(), &message);
    else
        ok = DacSetLoop(g_setup.record, id - IDC_M21_LOOP0, text.c_str(), &message);
    SendDlgItemMessageA(dlg, id, EM_SETMODIFY, FALSE, 0);
    if (ok) return true;
    MessageBoxA(dlg, message.c_str(), kSetupCaption, MB_OK | MB_ICONEXCLAMATION);
    const DacChannel& d = sDacChannel[g_setup.record];
    if (id == IDC_M21_LEVEL)
        SetNumber(dlg, id, d.STATICOUT[g_setup.output]);
    else if (id == IDC_M21_MASTER)
        SetNumber(dlg, id, d.MASTERLOOP);
    else
        SetNumber(dlg, id, d.LOOP[id - IDC_M21_LOOP0][g_setup.output]);
    return false;
}

// Every field typed but not yet taken, before a button acts on the record.
bool TakeAllFields(HWND dlg) {
    bool ok = TakeField(dlg, IDC_M21_LEVEL) && TakeField(dlg, IDC_M21_MASTER);
    for (int32_t r = 0; r < kDacWaves && ok; ++r) ok = TakeField(dlg, IDC_M21_LOOP0 + r);
    return ok;
}

void ReportDownload(HWND dlg) {
    if (DownloadDacWaves()) return;
    MessageBoxA(dlg, "The DAC Cards Did Not Take Every Waveform Region.  Check The DAC Channels And Their Regions",
                "DAC Download Error", MB_OK | MB_ICONEXCLAMATION);
}

int32_t Selection(HWND dlg, int id) {
    return static_cast<int32_t>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0));
}

}  // namespace

INT_PTR CALLBACK SetupM21Dlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        g_setup = {};
        g_setup.count = DacRecordsInUse(g_setup.records);
        if (g_setup.count == 0) {
            NoDacCards(dlg);
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        for (int32_t i = 0; i < g_setup.count; ++i)
            SendDlgItemMessageA(dlg, IDC_M21_CHANNEL, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(std::to_string(sDacChannel[g_setup.records[i]].HARDCHAN).c_str()));
        SendDlgItemMessageA(dlg, IDC_M21_CHANNEL, CB_SETCURSEL, 0, 0);
        for (int32_t n = 0; n <= kDacWaves; ++n)
            SendDlgItemMessageA(dlg, IDC_M21_REGIONS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(n).c_str()));
        for (int32_t r = 0; r < kDacWaves; ++r) {
            for (const char* name : kDacWaveNames)
                SendDlgItemMessageA(dlg, IDC_M21_WAVE0 + r, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            for (int32_t n = kDacMinPoints; n <= kDacMaxPoints; ++n)
                SendDlgItemMessageA(dlg, IDC_M21_FREQ0 + r, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(DacFrequencyText(n).c_str()));
        }
        g_setup.record = g_setup.records[0];
        ShowRecord(dlg);
        return TRUE;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (code == EN_KILLFOCUS) {
            TakeField(dlg, id);
            return TRUE;
        }
        if (code == CBN_SELCHANGE) {
            const int32_t k = Selection(dlg, id);
            if (k < 0) return TRUE;
            if (id == IDC_M21_CHANNEL && k < g_setup.count) {
                if (!TakeAllFields(dlg)) {
                    // Stay on the record whose field was refused.
                    for (int32_t i = 0; i < g_setup.count; ++i)
                        if (g_setup.records[i] == g_setup.record)
                            SendDlgItemMessageA(dlg, IDC_M21_CHANNEL, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
                    return TRUE;
                }
                g_setup.record = g_setup.records[k];
                ShowRecord(dlg);
            } else if (id == IDC_M21_REGIONS) {
                DacSetRegions(g_setup.record, k);
            } else if (id >= IDC_M21_WAVE0 && id < IDC_M21_WAVE0 + kDacWaves) {
                DacSetWave(g_setup.record, g_setup.output, id - IDC_M21_WAVE0, k);
            } else if (id >= IDC_M21_FREQ0 && id < IDC_M21_FREQ0 + kDacWaves) {
                DacSetPointsChoice(g_setup.record, id - IDC_M21_FREQ0, k);
            }
            return TRUE;
        }
        if (code != BN_CLICKED) return FALSE;
        switch (id) {
        case IDC_M21_OUTA:
        case IDC_M21_OUTB:
            if (!TakeAllFields(dlg)) return TRUE;
            g_setup.output = id == IDC_M21_OUTB ? 1 : 0;
            ShowRecord(dlg);
            return TRUE;
        case IDC_M21_STATIC:
        case IDC_M21_DYNAMIC:
            DacSetOutputType(g_setup.record, g_setup.output, id == IDC_M21_DYNAMIC ? 1 : 0);
            CheckRadioButton(dlg, IDC_M21_STATIC, IDC_M21_DYNAMIC, id);
            return TRUE;
        case IDC_M21_PREVIEW:
        case IDC_M21_RECORD:
            DacSetStartType(g_setup.record, id == IDC_M21_RECORD ? 1 : 0);
            CheckRadioButton(dlg, IDC_M21_PREVIEW, IDC_M21_RECORD, id);
            return TRUE;
        case IDC_M21_DOWNLOADEXIT:
            if (!TakeAllFields(dlg)) return TRUE;
            RebuildDacStartLists();
            ReportDownload(dlg);
            EndDialog(dlg, IDOK);
            return TRUE;
        case IDC_M21_EXIT:
        case IDCANCEL:
            if (!TakeAllFields(dlg)) return TRUE;
            RebuildDacStartLists();
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        case IDC_M21_DOWNLOADSTART:
            if (!TakeAllFields(dlg)) return TRUE;
            ReportDownload(dlg);
            StartAllDacs();
            return TRUE;
        case IDC_M21_START:
            StartAllDacs();
            return TRUE;
        default:
            return FALSE;
        }
    }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK SetupDACSNOWDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    static int32_t records[kDacChannels];
    static int32_t count = 0;
    switch (message) {
    case WM_INITDIALOG:
        count = DacRecordsInUse(records);
        if (count == 0) {
            NoDacCards(dlg);
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        for (int32_t i = 0; i < count; ++i)
            SendDlgItemMessageA(dlg, IDC_DN_CHANNEL, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(std::to_string(sDacChannel[records[i]].HARDCHAN).c_str()));
        SendDlgItemMessageA(dlg, IDC_DN_CHANNEL, CB_SETCURSEL, 0, 0);
        CheckRadioButton(dlg, IDC_DN_A, IDC_DN_B, IDC_DN_A);
        SetDlgItemTextA(dlg, IDC_DN_VOLTAGE, "0");
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_DN_A:
        case IDC_DN_B:
            CheckRadioButton(dlg, IDC_DN_A, IDC_DN_B, LOWORD(wParam));
            return TRUE;
        case IDC_DN_SETNOW: {
            const int32_t k = Selection(dlg, IDC_DN_CHANNEL);
            if (k < 0 || k >= count) return TRUE;
            int32_t mv = 0;
            std::string text;
            if (!DacParseImmediateLevel(FieldText(dlg, IDC_DN_VOLTAGE).c_str(), &mv, &text)) {
                MessageBoxA(dlg, text.c_str(), "Set DAC Immediate", MB_OK | MB_ICONEXCLAMATION);
                return TRUE;
            }
            const int32_t output = IsDlgButtonChecked(dlg, IDC_DN_B) == BST_CHECKED ? 1 : 0;
            if (!SetDacLevelNow(sDacChannel[records[k]].HARDCHAN, output, mv))
                MessageBoxA(dlg, "The DAC Card Did Not Take The Level.  Check The DAC Channel", "Set DAC Immediate",
                            MB_OK | MB_ICONEXCLAMATION);
            return TRUE;
        }
        case IDC_DN_EXIT:
        case IDCANCEL:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void OpenSetupM21(HWND owner) { DialogBoxParamA(GetModuleHandleA(nullptr), "SETUPM21", owner, SetupM21Dlg, 0); }

void OpenDacStaticLevel(HWND owner) {
    DialogBoxParamA(GetModuleHandleA(nullptr), "SETDACSNOW", owner, SetupDACSNOWDlg, 0);
}

void TestWavesMenuCommand() {
    PlatformBeginWaitCursor();
    TestWavesCommand();
    PlatformEndWaitCursor();
}
