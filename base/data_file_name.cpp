// Portable: the data-file name of a test.
#include "base/data_file_name.h"

#include <cstring>

int32_t DataFileName(const char* testPath, const char* extension, char* out, uint32_t size) {
    if (out != nullptr && size > 0) out[0] = '\0';
    if (testPath == nullptr || out == nullptr || size == 0) return 0;
    if (extension == nullptr) extension = "";
    // The file name starts after the last separator; a drive letter's colon
    // counts too ("c:test1.mdb").
    const char* name = testPath;
    for (const char* p = testPath; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    if (*name == '\0') return 0;
    const char* dot = strchr(name, '.');
    size_t base = dot != nullptr ? static_cast<size_t>(dot - testPath) : strlen(testPath);
    size_t ext = strlen(extension);
    if (base + ext + 1 > size) return 0;
    memcpy(out, testPath, base);
    memcpy(out + base, extension, ext + 1);
    return 1;
}
