// The controls both calibration dialog files work the same way: reading an
// edit field, the fixed-size name fields of the records, and the combo boxes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace cal_controls {

inline HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

inline std::string ItemText(HWND dlg, int id) {
    char text[256] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    return text;
}

// A name field of a record, which need not end in a NUL.
inline std::string Field(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

inline void AddString(HWND dlg, int id, const char* text) {
    SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}
inline int32_t Selection(HWND dlg, int id) {
    return static_cast<int32_t>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0));
}
inline void Select(HWND dlg, int id, int32_t index) {
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

}  // namespace cal_controls
