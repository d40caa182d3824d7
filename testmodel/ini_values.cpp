#include "testmodel/ini_values.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t IniToInt(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // Accumulate the magnitude in 64 bits and stop growing once it is past the
    // int32 range; the remaining digits are consumed without effect.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
        if (magnitude <= limit) magnitude = magnitude * 10 + (*p - '0');
    }
    if (magnitude > limit) magnitude = limit;
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

double IniToReal(const char* text) {
    if (text == nullptr) return 0.0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    // Take the longest decimal prefix ourselves: strtod alone would also accept
    // nan, inf and hexadecimal numbers.
    const char* start = p;
    const char* q = p;
    if (*q == '+' || *q == '-') ++q;
    bool mantissaDigits = false;
    while (IsDigit(*q)) {
        ++q;
        mantissaDigits = true;
    }
    if (*q == '.') {
        ++q;
        while (IsDigit(*q)) {
            ++q;
            mantissaDigits = true;
        }
    }
    if (!mantissaDigits) return 0.0;
    if (*q == 'e' || *q == 'E') {
        const char* e = q + 1;
        if (*e == '+' || *e == '-') ++e;
        if (IsDigit(*e)) {
            while (IsDigit(*e)) ++e;
            q = e;
        }
    }
    std::string number(start, static_cast<size_t>(q - start));
    double value = strtod(number.c_str(), nullptr);
    if (std::isnan(value)) return 0.0;
    if (std::isinf(value)) return value > 0 ? DBL_MAX : -DBL_MAX;
    return value;
}

bool IniToSwitch(const char* text) {
    return text != nullptr && (text[0] == 'Y' || text[0] == 'y');
}

float RealToFloat(double value) {
    if (std::isnan(value)) return 0.0f;
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

int32_t RealToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void CopyText(char* dst, uint32_t size, const char* src) {
    if (dst == nullptr || size == 0) return;
    if (src == nullptr) src = "";
    size_t n = strnlen(src, size - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

int32_t ReadProfileInt(const char* section, const char* key, const char* def, const char* file) {
    char buf[256];
    PlatformGetProfileString(section, key, def, buf, sizeof buf, file);
    return IniToInt(buf);
}

double ReadProfileReal(const char* section, const char* key, const char* def, const char* file) {
    char buf[256];
    PlatformGetProfileString(section, key, def, buf, sizeof buf, file);
    return IniToReal(buf);
}

bool ReadProfileSwitch(const char* section, const char* key, const char* def, const char* file) {
    char buf[256];
    PlatformGetProfileString(section, key, def, buf, sizeof buf, file);
    return IniToSwitch(buf);
}

void ReadProfileText(const char* section, const char* key, const char* def, char* buf,
                     uint32_t size, const char* file) {
    if (buf == nullptr || size == 0) return;
    buf[0] = '\0';
    PlatformGetProfileString(section, key, def, buf, size, file);
    buf[size - 1] = '\0';
}
