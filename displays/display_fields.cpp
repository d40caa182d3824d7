// Portable: bounded field readers and the number formatter of the displays.
#include "displays/display_fields.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool EndsField(char c, bool text, bool star) {
    switch (c) {
    case '\0': case ',': case ';': case '\r': case '\n':
        return true;
    case '|':
        return text;
    case '*':
        return star;
    default:
        return false;
    }
}

// Copies the field at *pos into buf (at most kNumberFieldChars characters)
// and moves *pos past it and its separator.
void TakeNumberField(const char* text, size_t* pos, bool star, char* buf) {
    size_t at = *pos;
    size_t n = 0;
    while (!EndsField(text[at], false, star)) {
        if (n < kNumberFieldChars) buf[n++] = text[at];
        ++at;
    }
    buf[n] = '\0';
    // Move past one separator, but never past a line end or the end of text:
    // those belong to the caller.
    if (text[at] == ',' || text[at] == ';' || text[at] == '*') ++at;
    *pos = at;
}

}  // namespace

int32_t ReadIntField(const char* text, size_t* pos) {
    char buf[kNumberFieldChars + 1];
    TakeNumberField(text, pos, true, buf);
    errno = 0;
    long long v = strtoll(buf, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

uint32_t ReadUIntField(const char* text, size_t* pos) {
    char buf[kNumberFieldChars + 1];
    TakeNumberField(text, pos, false, buf);
    long long v = strtoll(buf, nullptr, 10);
    if (v < 0) return 0;
    if (v > static_cast<long long>(UINT32_MAX)) return UINT32_MAX;
    return static_cast<uint32_t>(v);
}

double ReadDoubleField(const char* text, size_t* pos) {
    char buf[kNumberFieldChars + 1];
    TakeNumberField(text, pos, false, buf);
    double v = strtod(buf, nullptr);
    return std::isfinite(v) ? v : 0.0;
}

void ReadStringField(const char* text, size_t* pos, char* out, size_t size) {
    size_t at = *pos;
    size_t n = 0;
    while (!EndsField(text[at], true, false)) {
        if (n + 1 < size) out[n++] = text[at];
        ++at;
    }
    if (size > 0) out[n] = '\0';
    if (text[at] == ',' || text[at] == ';' || text[at] == '|') ++at;
    *pos = at;
}

void ReadRestField(const char* text, size_t* pos, char terminator, char* out, size_t size) {
    size_t at = *pos;
    size_t n = 0;
    while (text[at] != '\0' && text[at] != terminator && text[at] != '\r' && text[at] != '\n') {
        if (n + 1 < size) out[n++] = text[at];
        ++at;
    }
    if (size > 0) out[n] = '\0';
    *pos = at;
}

void CopyFieldText(const char* text, char* out, size_t size) {
    if (size == 0) return;
    size_t n = 0;
    for (; text != nullptr && text[n] != '\0' && n + 1 < size; ++n) {
        char c = text[n];
        out[n] = EndsField(c, true, false) ? ' ' : c;
    }
    out[n] = '\0';
}

void FormatDisplayNumber(double value, int32_t precision, char* out, size_t size) {
    if (size == 0) return;
    if (precision < 0) precision = 0;
    if (precision > 15) precision = 15;
    // The magnitude test is made on the double itself: scaling to an integer
    // first overflows for large values and lets them through to "%f".
    if (!std::isfinite(value) || std::fabs(value) * 100.0 > 10000000.0)
        snprintf(out, size, "%.*e", precision, value);
    else
        snprintf(out, size, "%.*f", precision, value);
}
