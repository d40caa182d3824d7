// Win32: the digital output set-up (DIGITALOUTPUTSETUP), their immediate
// setting (SETDIGITALOUTSNOW), the start and trigger channel
// (STARTANDTRIGGER) and the start and trigger lamps (DigitalInWndProc).
// The line checkboxes are toggled here, not by the control, so that the
// state word decides what they show.
#include <string>

#include "acquire/engine.h"
#include "outputs/digital_outputs.h"
#include "outputs/field_values.h"
#include "outputs/outputs_dlg.h"
#include "outputs/outputs_ids.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

constexpr const char* kSetupCaption = "Digital I/O Setup";

struct DigitalDialog {
    int32_t records[kDigitalOuts];
    int32_t count;
    int32_t record;
    int32_t shown;  // the immediate dialog's shown word
};
DigitalDialog g_digital = {};

HBITMAP Lamp(bool on) {
    static HBITMAP lamps[2] = {};
    HBITMAP& b = lamps[on ? 1 : 0];
    if (b == nullptr) b = LoadBitmapA(GetModuleHandleA(nullptr), on ? "DIGOUTON" : "DIGOUTOFF");
    return b;
}

// Lines 16 down to 1 of a word into the checkboxes and lamps from `firstLine`.
void ShowWord(HWND dlg, int firstLine, int firstLamp, int32_t word) {
    for (int32_t bit = kDigitalLines - 1; bit >= 0; --bit) {
        const bool on = (word >> bit) & 1;
        CheckDlgButton(dlg, firstLine + bit, on ? BST_CHECKED : BST_UNCHECKED);
        SendDlgItemMessageA(dlg, firstLamp + bit, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Lamp(on)));
    }
}

void Check(HWND dlg, int id, bool on) { CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

bool FillChannels(HWND dlg, int combo, const char* text, const char* caption) {
    g_digital = {};
    g_digital.count = DigitalRecordsInUse(g_digital.records);
    if (g_digital.count == 0) {
        MessageBoxA(dlg, text, caption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    for (int32_t i = 0; i < g_digital.count; ++i)
        SendDlgItemMessageA(
            dlg, combo, CB_ADDSTRING, 0,
            reinterpret_cast<LPARAM>(std::to_string(sDigitalOut[g_digital.records[i]].HARDWARECHANNEL).c_str()));
    SendDlgItemMessageA(dlg, combo, CB_SETCURSEL, 0, 0);
    g_digital.record = g_digital.records[0];
    return true;
}

int32_t Selection(HWND dlg, int id) { return static_cast<int32_t>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0)); }

void ShowSetupRecord(HWND dlg) {
    const int32_t r = g_digital.record;
    for (int32_t row = 0; row < kDigitalRows; ++row) {
        ShowWord(dlg, IDC_DS_LINE0 + 16 * row, IDC_DS_LAMP0 + 16 * row, DigitalRowState(r, row));
        Check(dlg, IDC_DS_USE0 + row, DigitalRowUsed(r, row) != 0);
        if (row > 0) SetDlgItemTextA(dlg, IDC_DS_TIME1 + row - 1, std::to_string(DigitalRowTime(r, row)).c_str());
    }
    Check(dlg, IDC_DS_GLITCH, sDigitalOut[r].GLITCHCATCHER != 0);
}

// A typed time: taken, or refused with the message and shown as stored.
bool TakeTime(HWND dlg, int id) {
    if (!SendDlgItemMessageA(dlg, id, EM_GETMODIFY, 0, 0)) return true;
    SendDlgItemMessageA(dlg, id, EM_SETMODIFY, FALSE, 0);
    char text[64] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    const int32_t row = id - IDC_DS_TIME1 + 1;
    std::string message;
    if (DigitalSetRowTime(g_digital.record, row, text, &message)) return true;
    MessageBoxA(dlg, message.c_str(), kSetupCaption, MB_OK | MB_ICONEXCLAMATION);
    SetDlgItemTextA(dlg, id, std::to_string(DigitalRowTime(g_digital.record, row)).c_str());
    return false;
}

bool TakeTimes(HWND dlg) {
    for (int id = IDC_DS_TIME1; id < IDC_DS_TIME1 + 3; ++id)
        if (!TakeTime(dlg, id)) return false;
    return true;
}

// Shows the word the immediate dialog holds.
void ShowNow(HWND dlg, int32_t word) {
    g_digital.shown = word < 0 ? 0 : word;
    ShowWord(dlg, IDC_DN2_LINE1, IDC_DN2_LAMP1, g_digital.shown);
}

void ReadPresentState(HWND dlg) {
    const int32_t word = GetDigitalOutput(g_digital.record);
    if (word < 0)
        MessageBoxA(dlg, "Could Not Read The Digital Output Lines.  Check The Digital Channel",
                    "Set Digital Outputs Immediately", MB_OK | MB_ICONEXCLAMATION);
    ShowNow(dlg, word);
}

void SendNow(HWND dlg, int32_t word) {
    if (SetDigitalOutput(g_digital.record, word)) ShowNow(dlg, word);
}

}  // namespace

INT_PTR CALLBACK SetupDigitalOutsDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!FillChannels(dlg, IDC_DS_CHANNEL, "You Do Not Have Any Digital Output Channels",
                          "No Digital Outs Defined")) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        ShowSetupRecord(dlg);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (code == EN_KILLFOCUS && id >= IDC_DS_TIME1 && id < IDC_DS_TIME1 + 3) {
            TakeTime(dlg, id);
            return TRUE;
        }
        if (code == CBN_SELCHANGE && id == IDC_DS_CHANNEL) {
            const int32_t k = Selection(dlg, id);
            if (!TakeTimes(dlg)) {
                for (int32_t i = 0; i < g_digital.count; ++i)
                    if (g_digital.records[i] == g_digital.record)
                        SendDlgItemMessageA(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
                return TRUE;
            }
            if (k >= 0 && k < g_digital.count) g_digital.record = g_digital.records[k];
            ShowSetupRecord(dlg);
            return TRUE;
        }
        if (code != BN_CLICKED) return FALSE;
        const int32_t r = g_digital.record;
        if (id >= IDC_DS_LINE0 && id < IDC_DS_LINE0 + 16 * kDigitalRows) {
            const int32_t row = (id - IDC_DS_LINE0) / 16, line = (id - IDC_DS_LINE0) % 16 + 1;
            DigitalSetLine(r, row, line, !Checked(dlg, id));
            ShowSetupRecord(dlg);
            return TRUE;
        }
        if (id >= IDC_DS_SETALL0 && id < IDC_DS_SETALL0 + kDigitalRows) {
            DigitalSetRowState(r, id - IDC_DS_SETALL0, kDigitalAllLines);
            ShowSetupRecord(dlg);
            return TRUE;
        }
        if (id >= IDC_DS_CLEARALL0 && id < IDC_DS_CLEARALL0 + kDigitalRows) {
            DigitalSetRowState(r, id - IDC_DS_CLEARALL0, 0);
            ShowSetupRecord(dlg);
            return TRUE;
        }
        if (id >= IDC_DS_USE0 && id < IDC_DS_USE0 + kDigitalRows) {
            DigitalSetRowUsed(r, id - IDC_DS_USE0, !Checked(dlg, id));
            ShowSetupRecord(dlg);
            return TRUE;
        }
        if (id >= IDC_DS_ALLUSE0 && id < IDC_DS_ALLUSE0 + kDigitalRows) {
            const bool on = !Checked(dlg, id);
            Check(dlg, id, on);
            if (on) DigitalAllSetRowUsed(id - IDC_DS_ALLUSE0);
            ShowSetupRecord(dlg);
            return TRUE;
        }
        switch (id) {
        case IDC_DS_GLITCH:
            DigitalSetGlitchCatcher(r, !Checked(dlg, id));
            ShowSetupRecord(dlg);
            return TRUE;
        case IDC_DS_ALLGLITCH: {
            const bool on = !Checked(dlg, id);
            Check(dlg, id, on);
            if (on) DigitalAllSetGlitchCatcher();
            ShowSetupRecord(dlg);
            return TRUE;
        }
        case IDC_DS_ALLCLEAR:
            DigitalAllSetStates(0);
            ShowSetupRecord(dlg);
            return TRUE;
        case IDC_DS_ALLSET:
            DigitalAllSetStates(kDigitalAllLines);
            ShowSetupRecord(dlg);
            return TRUE;
        case IDC_DS_ALLOUTSTOINS:
            DigitalAllSetOutsToIns();
            return TRUE;
        case IDC_DS_EXIT:
        case IDCANCEL:
            if (!TakeTimes(dlg)) return TRUE;
            EndDialog(dlg, IDOK);
            return TRUE;
        default:
            return FALSE;
        }
    }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK SetDigitalOutsNowDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!FillChannels(dlg, IDC_DN2_CHANNEL, "You Do Not Have Any Digital Output Channels",
                          "No Digital Outs Defined")) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        ReadPresentState(dlg);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDC_DN2_CHANNEL && HIWORD(wParam) == CBN_SELCHANGE) {
            const int32_t k = Selection(dlg, id);
            if (k >= 0 && k < g_digital.count) g_digital.record = g_digital.records[k];
            ReadPresentState(dlg);
            return TRUE;
        }
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        if (id >= IDC_DN2_SETSTATE0 && id < IDC_DN2_SETSTATE0 + kDigitalRows) {
            SendNow(dlg, DigitalRowState(g_digital.record, id - IDC_DN2_SETSTATE0));
            return TRUE;
        }
        if (id >= IDC_DN2_LINE1 && id < IDC_DN2_LINE1 + kDigitalLines) {
            SendNow(dlg, g_digital.shown ^ DigitalLineBit(id - IDC_DN2_LINE1 + 1));
            return TRUE;
        }
        switch (id) {
        case IDC_DN2_SETALL:
            SendNow(dlg, kDigitalAllLines);
            return TRUE;
        case IDC_DN2_CLEARALL:
            SendNow(dlg, 0);
            return TRUE;
        case IDC_DN2_EXIT:
        case IDCANCEL:
            EndDialog(dlg, IDOK);
            return TRUE;
        default:
            return FALSE;
        }
    }
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK DefineDigitalInProcDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        for (int32_t c = 0; c < kChannels; ++c)
            SendDlgItemMessageA(dlg, IDC_ST_CHANNEL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(c).c_str()));
        for (int32_t b = 0; b < kDigitalLines; ++b) {
            SendDlgItemMessageA(dlg, IDC_ST_STARTBIT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(b).c_str()));
            SendDlgItemMessageA(dlg, IDC_ST_TRIGGERBIT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(b).c_str()));
        }
        // A stored value outside the lists shows no selection until one is chosen.
        SendDlgItemMessageA(dlg, IDC_ST_CHANNEL, CB_SETCURSEL, static_cast<WPARAM>(nStartAndTriggerChannel), 0);
        SendDlgItemMessageA(dlg, IDC_ST_STARTBIT, CB_SETCURSEL, static_cast<WPARAM>(nStartBit), 0);
        SendDlgItemMessageA(dlg, IDC_ST_TRIGGERBIT, CB_SETCURSEL, static_cast<WPARAM>(nTriggerBit), 0);
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            const int32_t k = Selection(dlg, id);
            if (id == IDC_ST_CHANNEL) SetStartTriggerChannel(k);
            if (id == IDC_ST_STARTBIT) SetStartBit(k);
            if (id == IDC_ST_TRIGGERBIT) SetTriggerBit(k);
            return TRUE;
        }
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

void OpenDigitalOutputSetup(HWND owner) {
    DialogBoxParamA(GetModuleHandleA(nullptr), "DIGITALOUTPUTSETUP", owner, SetupDigitalOutsDlg, 0);
}

void OpenDigitalOutputsNow(HWND owner) {
    DialogBoxParamA(GetModuleHandleA(nullptr), "SETDIGITALOUTSNOW", owner, SetDigitalOutsNowDlg, 0);
}

void OpenStartAndTrigger(HWND owner) {
    DialogBoxParamA(GetModuleHandleA(nullptr), "STARTANDTRIGGER", owner, DefineDigitalInProcDlg, 0);
    // The operator has just chosen the bits: show their lamps in the
    // frame's MDI client.
    OpenDigitalInputWindow(owner ? FindWindowExA(owner, nullptr, "MDICLIENT", nullptr) : nullptr);
}

// ---- the start and trigger lamps ------------------------------------------------------
namespace {

constexpr const char* kDigitalInClass = "DIGITALINCLASS";

void PaintLamps(HWND hwnd, bool live) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    HBRUSH grey = CreateSolidBrush(RGB(192, 192, 192));
    FillRect(dc, &rc, grey);
    DeleteObject(grey);
    const bool start = live && sEngine.StartHigh != 0;
    const bool trigger = live && sEngine.TriggerHigh != 0;
    HDC mem = CreateCompatibleDC(dc);
    const struct {
        int x;
        bool on;
    } lamps[] = {{40, start}, {135, trigger}};
    for (const auto& l : lamps) {
        HBITMAP b = LoadBitmapA(GetModuleHandleA(nullptr), l.on ? "ONSTATE" : "OFFSTATE");
        if (b == nullptr) continue;
        BITMAP info;
        GetObjectA(b, sizeof info, &info);
        HGDIOBJ old = SelectObject(mem, b);
        BitBlt(dc, l.x, 13, info.bmWidth, info.bmHeight, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteObject(b);
    }
    DeleteDC(mem);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, live ? RGB(0, 0, 0) : RGB(255, 255, 255));
    TextOutA(dc, 20, 45, "Start Bit", 9);
    TextOutA(dc, 115, 45, "Trigger Bit", 11);
    EndPaint(hwnd, &ps);
}

bool g_lampsLive = false;

}  // namespace

LRESULT CALLBACK DigitalInWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kDigitalInUpdate:
        g_lampsLive = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
        g_lampsLive = false;
        return 0;
    case WM_PAINT:
        PaintLamps(hwnd, g_lampsLive);
        return 0;
    default:
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    }
}

void UpdateDigitalInputWindow(HWND mdiClient) {
    if (mdiClient == nullptr) return;
    if (HWND open = FindWindowExA(mdiClient, nullptr, kDigitalInClass, nullptr))
        SendMessageA(open, kDigitalInUpdate, 0, 0);
}

HWND OpenDigitalInputWindow(HWND mdiClient) {
    if (mdiClient == nullptr) return nullptr;
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DigitalInWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
        wc.lpszClassName = kDigitalInClass;
        registered = RegisterClassA(&wc) != 0;
    }
    if (HWND open = FindWindowExA(mdiClient, nullptr, kDigitalInClass, nullptr)) {
        SendMessageA(mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(open), 0);
        return open;
    }
    MDICREATESTRUCTA mcs = {};
    mcs.szClass = kDigitalInClass;
    mcs.szTitle = "Digital Inputs";
    mcs.hOwner = GetModuleHandleA(nullptr);
    mcs.x = mcs.y = static_cast<int>(CW_USEDEFAULT);
    mcs.cx = 220;
    mcs.cy = 110;
    return reinterpret_cast<HWND>(SendMessageA(mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
}
