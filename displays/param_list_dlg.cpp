// Win32: channel lists and priority field of the tabular and bar dialogs.
#include "displays/param_list_dlg.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "base/status_report.h"
#include "displays/display_ids.h"
#include "displays/display_state.h"
#include "displays/tab_rules.h"
#include "testmodel/model.h"

namespace {

bool AskTakeSome(void* dialog) {
    return MessageBoxA(static_cast<HWND>(dialog), "Too many Parameters Selected. Use as many as possible?",
                       "Parameters", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::vector<int32_t> SelectedIndexes(HWND list) {
    LRESULT n = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    std::vector<int32_t> items(n > 0 ? static_cast<size_t>(n) : 0);
    if (n > 0) {
        std::vector<int> raw(static_cast<size_t>(n));
        LRESULT got = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(raw.data()));
        items.assign(raw.begin(), raw.begin() + (got > 0 ? got : 0));
    }
    return items;
}

}  // namespace

void FillAvailableList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_DISP_AVAILABLE);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int32_t c = 0; c < kChannels; ++c) {
        LRESULT r = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ChannelName(c)));
        if (r == LB_ERR || r == LB_ERRSPACE) {
            MessageBoxA(dialog, "List Box 'Available Parameters' is full", "Parameters", MB_OK);
            break;
        }
    }
}

void FillSelectedList(HWND dialog, const int32_t* channels, int32_t count) {
    HWND list = GetDlgItem(dialog, IDC_DISP_SELECTED);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int32_t i = 0; i < count; ++i)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ChannelName(channels[i])));
}

bool AddFromAvailable(HWND dialog, int32_t* channels, int32_t* count, int32_t limit) {
    // The list holds the channels in channel order, so an index is a channel
    // number (names of a test are unique, so looking them up gives the same).
    std::vector<int32_t> picked = SelectedIndexes(GetDlgItem(dialog, IDC_DISP_AVAILABLE));
    switch (AddSelectedChannels(channels, count, limit, limit - 1, picked.data(),
                                static_cast<int32_t>(picked.size()), AskTakeSome, dialog)) {
    case AddResult::NoSelection:
        MessageBoxA(dialog, "No Parameters Selected", "Parameters", MB_OK);
        return false;
    case AddResult::Full:
        MessageBoxA(dialog, "Maximum number of parameters already selected", "Parameters", MB_OK);
        return false;
    case AddResult::Declined:
        return false;
    case AddResult::Added:
        break;
    }
    FillSelectedList(dialog, channels, *count);
    return true;
}

int32_t RemoveFromSelected(HWND dialog, int32_t* channels, int32_t* count, bool* removed) {
    std::vector<int32_t> picked = SelectedIndexes(GetDlgItem(dialog, IDC_DISP_SELECTED));
    if (picked.empty()) {
        MessageBoxA(dialog, "No Parameters Selected", "Parameters", MB_OK);
        return -1;
    }
    if (removed != nullptr) {
        for (int32_t i = 0; i < *count; ++i) removed[i] = false;
        for (int32_t k : picked)
            if (k >= 0 && k < *count) removed[k] = true;
    }
    int32_t keep = RemoveSelectedEntries(channels, count, picked.data(), static_cast<int32_t>(picked.size()));
    FillSelectedList(dialog, channels, *count);
    if (keep >= 0) SendDlgItemMessageA(dialog, IDC_DISP_SELECTED, LB_SETSEL, TRUE, keep);
    return keep;
}

void ShowPriority(HWND dialog, int32_t priority) {
    char text[24];
    snprintf(text, sizeof text, "%d", static_cast<int>(priority));
    SetDlgItemTextA(dialog, IDC_DISP_PRIORITY, text);
}

int32_t ReadPriorityField(HWND dialog, int32_t undo, bool range, int32_t* value) {
    char text[32];
    GetDlgItemTextA(dialog, IDC_DISP_PRIORITY, text, sizeof text);
    int32_t r = ParsePriorityText(text, value);
    if (r == 0) {
        char msg[128];
        PlatformLoadString(2106, msg, sizeof msg);
        MessageBoxA(dialog, msg, "", MB_OK);
        ShowPriority(dialog, undo);
        return 0;
    }
    if (r < 0) {
        ShowProblem(2107, nullptr);
        ShowPriority(dialog, undo);
        return 0;
    }
    if (range && (*value < 0 || *value > 10)) {
        MessageBoxA(dialog, "Priority is out of Range.  Should be between 0 and 10", "Priority",
                    MB_OK | MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(dialog, IDC_DISP_PRIORITY));
        return 0;
    }
    return 1;
}
