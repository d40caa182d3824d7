// What the tests that drive Zd418 from a second process share: paths in
// Windows form, reading a window's text, waiting, finding the program's
// top-level windows, starting it and answering its boxes, reading the files it
// writes, and the station's files in the prefix.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/win32/windows_path.h"

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

// In a namespace of their own, so that a test may keep a helper of the same
// name as its own.
namespace e2e {

// A program the test started; whatever the test found, it does not outlive it.
struct Process {
    PROCESS_INFORMATION pi = {};
    HWND frame = nullptr;  // Zd418's frame window
    HWND panel = nullptr;  // its control panel
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool Running() const { return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    ~Process() {
        if (pi.hProcess == nullptr) return;
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
};

// Ends the program now, before the test reads what it wrote.
inline void EndProcess(Process& p) {
    if (p.pi.hProcess == nullptr) return;
    TerminateProcess(p.pi.hProcess, 0);
    WaitForSingleObject(p.pi.hProcess, 10000);
    CloseHandle(p.pi.hProcess);
    CloseHandle(p.pi.hThread);
    p.pi = {};
}

// Starts `exe` in `dir`; true once its frame is up (within a minute).
inline bool StartZd418(Process& p, const std::string& exe, const std::string& dir) {
    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &p.pi))
        return false;
    return WaitFor([&] { return (p.frame = FindWindowOf(p.pi.dwProcessId, "GenericWClass")) != nullptr; }, 60000);
}

// A folder of the temporary directory for one station, made if need be.
inline std::string StationDir(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + name;
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

// A station in `dir`: Zd418.exe with the simulated front end's gpib-32.dll
// and Q90ui.dll beside it (Unix paths from ctest) and the chassis the
// simulator reads from q90sim.cfg.  True once all are in place.
inline bool PlaceStation(const std::string& dir, const std::string& exe, const std::string& gpib,
                         const std::string& q90ui, const std::string& chassis) {
    if (!CopyFileA(WindowsPath(exe).c_str(), (dir + "\\Zd418.exe").c_str(), FALSE) ||
        !CopyFileA(WindowsPath(gpib).c_str(), (dir + "\\gpib-32.dll").c_str(), FALSE) ||
        !CopyFileA(WindowsPath(q90ui).c_str(), (dir + "\\Q90ui.dll").c_str(), FALSE))
        return false;
    FILE* cfg = fopen((dir + "\\q90sim.cfg").c_str(), "w");
    if (cfg == nullptr) return false;
    fputs(chassis.c_str(), cfg);
    fclose(cfg);
    return true;
}

// Q90.ini of a station that records into `dir` by the panel's button, in
// overwrite mode, from the front end (not simulated).
inline void WriteRecordingStationIni(const std::string& dir) {
    DeleteFileA(SystemIni().c_str());
    const std::string iniPath = SystemIni();
    const char* ini = iniPath.c_str();
    WritePrivateProfileStringA("Application", "WorkDirectory", dir.c_str(), ini);
    WritePrivateProfileStringA("System", "TriggerState", "0", ini);
    WritePrivateProfileStringA("System", "RecordingType", "0", ini);
    WritePrivateProfileStringA("SYSTEM", "SIMULATOR", "NO", ini);
    WritePrivateProfileStringA("SYSTEM", "APPEND", "NO", ini);
    WritePrivateProfileStringA("SYSTEM", "COM2RUNANDPOINT", "NO", ini);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini);
}

// Answers the boxes of process `pid` that come up within `ms`: the download
// question with Yes, every other question with No, plain messages with OK.
// Returns the captions seen.
inline std::vector<std::string> AnswerBoxes(DWORD pid, DWORD ms) {
    std::vector<std::string> seen;
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (HWND box = FindWindowOf(pid, "#32770")) {
            const std::string title = Text(box);
            seen.push_back(title);
            const WPARAM answer = title == "Scanlist Or Channel Parameters Not Downloaded" ? IDYES : IDNO;
            PostMessageA(box, WM_COMMAND, answer, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        }
        Sleep(50);
    }
    return seen;
}

// Cancels (else OKs) every box of process `pid` that comes up within `ms`.
inline void DismissBoxes(DWORD pid, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (HWND box = FindWindowOf(pid, "#32770")) {
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(50);
    }
}

// Cancels (else OKs) what start-up shows, the Open Test dialog first, until
// the frame has answered twenty times in a row with no box up (half a minute
// at the most).  `seen` is told each box's caption.
inline void DismissUntilIdle(const Process& p, const std::function<void(const std::string&)>& seen = nullptr) {
    int quiet = 0;
    for (int i = 0; i < 600 && quiet < 20; ++i) {
        if (HWND box = FindWindowOf(p.pi.dwProcessId, "#32770")) {
            if (seen) seen(Text(box));
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            quiet = 0;
        } else {
            DWORD_PTR r;
            if (SendMessageTimeoutA(p.frame, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &r)) ++quiet;
        }
        Sleep(50);
    }
}

// A click of the mouse on the control panel at (x, y).
inline void Click(HWND panel, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(panel, WM_LBUTTONUP, 0, at);
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A file's bytes as they are (empty when there is none).
inline std::string ReadFileText(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A text file the program wrote, without the CRs of its CR LF lines.
inline std::string ReadLines(const std::string& name) {
    std::string text;
    for (char c : ReadFileText(name))
        if (c != '\r') text += c;
    return text;
}

// A file of the prefix a test changes (Q90.ini, mtstest.ini), put back as it
// was afterwards: other tests of the prefix read it.
struct SavedFile {
    std::string path;
    bool existed = false;
    std::string bytes;
};

inline SavedFile SaveFile(const std::string& path) {
    return {path, GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES, ReadFileText(path)};
}

inline void RestoreFile(const SavedFile& saved) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, saved.path.c_str());  // flush the profile cache
    if (saved.existed) {
        std::ofstream restore(saved.path, std::ios::binary | std::ios::trunc);
        restore << saved.bytes;
    } else {
        DeleteFileA(saved.path.c_str());
    }
}

#ifdef ZD418_CONFIG_DIR
// The card-type and operation files a station has, copied from the source
// tree into the prefix's Windows directory unless they are there already:
// start-up stops at their absence.
inline void CopyStationFiles(std::initializer_list<const char*> files = {"Q90CARD.ini", "mtstest.ini"}) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (const char* file : files)
        CopyFileA(WindowsPath(std::string(ZD418_CONFIG_DIR) + "/" + file).c_str(),
                  (std::string(windows) + "\\" + file).c_str(), TRUE);
}

// The main() of these tests: the programs named on the command line (by
// ctest, as Unix paths) into `paths`, the station's files in place, then the tests.
inline int RunE2eTests(int argc, char** argv, const char* usage, std::initializer_list<std::string*> paths,
                       std::initializer_list<const char*> files = {"Q90CARD.ini", "mtstest.ini"}) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < static_cast<int>(paths.size()) + 1) {
        fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    int i = 1;
    for (std::string* path : paths) *path = argv[i++];
    CopyStationFiles(files);
    return RUN_ALL_TESTS();
}
#endif

}  // namespace e2e
