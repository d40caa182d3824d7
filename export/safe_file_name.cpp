// Portable: file names for exported channels.
#include "export/safe_file_name.h"

#include <cctype>
#include <cstring>

namespace {

bool IsReservedDevice(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

}  // namespace

std::string SafeFileName(const std::string& name, int32_t channel) {
    std::string safe;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        safe += (u < 0x20 || u == 0x7F || strchr("<>:\"/\\|?*", c) != nullptr) ? '_' : c;
    }
    for (size_t i = safe.size(); i-- > 0 && (safe[i] == '.' || safe[i] == ' ');) safe[i] = '_';
    if (safe.empty()) return "Channel" + std::to_string(channel);
    if (IsReservedDevice(safe)) safe = "_" + safe;
    return safe;
}

std::string TestFolder(const char* testPath) {
    if (testPath == nullptr) return "";
    const char* end = testPath;
    for (const char* p = testPath; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') end = p + 1;
    return std::string(testPath, end);
}
