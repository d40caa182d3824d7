// A Unix path handed in by ctest, as Wine's Z: drive shows it.
#pragma once

#include <string>

inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
