// What the tests that drive Zd418 from a second process share: paths in
// Windows form, reading a window's text, waiting, and finding the program's
// top-level windows.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

// A Unix path handed in by ctest, as Wine's Z: drive shows it.
inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline std::string SystemIni() {
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\Q90.ini";
}

// A window's text, without hanging on a busy program.
inline std::string Text(HWND hwnd) {
    char buf[512] = "";
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_BLOCK,
                        5000, nullptr);
    return buf;
}

template <typename Pred>
bool WaitFor(Pred pred, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (pred()) return true;
        Sleep(50);
    }
    return pred();
}

struct TopLevelSearch {
    DWORD pid;
    const char* cls;
    const char* title;  // null: any
    HWND found;
};

inline BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != f->pid) return TRUE;
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, f->cls) != 0) return TRUE;
    if (f->title && Text(hwnd) != f->title) return TRUE;
    f->found = hwnd;
    return FALSE;
}

// The first top-level window of process `pid` with class `cls` (and title).
inline HWND FindWindowOf(DWORD pid, const char* cls, const char* title = nullptr) {
    TopLevelSearch f = {pid, cls, title, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&f));
    return f.found;
}
