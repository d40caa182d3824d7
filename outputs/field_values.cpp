// Portable: whole-number fields of the output dialogs.
#include "outputs/field_values.h"

#include <cctype>

bool ParseWholeNumber(const char* text, int32_t low, int32_t high, const char* what, const char* unit,
                      int32_t* value, std::string* message) {
    bool ok = text != nullptr;
    int64_t v = 0;
    if (ok) {
        const char* p = text;
        while (*p == ' ' || *p == '\t') ++p;
        bool negative = false;
        if (*p == '+' || *p == '-') negative = *p++ == '-';
        int digits = 0;
        // More than ten digits cannot be in range; stop before the sum overflows.
        while (std::isdigit(static_cast<unsigned char>(*p)) && digits <= 10) {
            v = v * 10 + (*p++ - '0');
            ++digits;
        }
        while (*p == ' ' || *p == '\t') ++p;
        if (negative) v = -v;
        ok = digits > 0 && digits <= 10 && *p == '\0' && v >= low && v <= high;
    }
    if (!ok) {
        if (message)
            *message = std::string(what) + " Must Be A Whole Number From " + std::to_string(low) + " To " +
                       std::to_string(high) + unit;
        return false;
    }
    *value = static_cast<int32_t>(v);
    return true;
}
