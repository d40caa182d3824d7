// The simulated front end's DLLs for a test that runs the program's code
// in-process: placed beside the test, where the program looks for them, and
// the simulator's own controls of its cards.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>

#include "tests/win32/windows_path.h"

// The folder of the test's own executable.
inline std::string ExeDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\'));
}

// gpib-32.dll and Q90ui.dll (Windows paths) copied beside the test.
inline bool PlaceFrontEndDlls(const std::string& gpib, const std::string& q90ui) {
    const std::string dir = ExeDir();
    return CopyFileA(gpib.c_str(), (dir + "\\gpib-32.dll").c_str(), FALSE) &&
           CopyFileA(q90ui.c_str(), (dir + "\\Q90ui.dll").c_str(), FALSE);
}

// A control the simulated gpib-32.dll exports beside the bus functions.
template <typename F>
F SimControl(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("gpib-32.dll"), name)));
}

// The simulated chassis set up anew from `text`: "" once it is taken, else
// why not.
inline std::string ConfigureChassis(const char* text) {
    auto configure = SimControl<int32_t (*)(const char*, char*, int32_t)>("Q90SimConfigure");
    if (configure == nullptr) return "gpib-32.dll without Q90SimConfigure";
    char error[256] = "";
    return configure(text, error, sizeof error) == 1 ? std::string() : std::string("refused: ") + error;
}

// What the simulated card in `slot` holds, key by key (empty without the DLL).
inline std::map<std::string, std::string> Card(int32_t slot) {
    std::map<std::string, std::string> m;
    auto state = SimControl<int32_t (*)(int32_t, char*, int32_t)>("Q90SimCardState");
    if (state == nullptr) return m;
    char buf[8192] = "";
    state(slot, buf, sizeof buf);
    std::istringstream in(buf);
    for (std::string line; std::getline(in, line);) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return m;
}
