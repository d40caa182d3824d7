// Portable: the default printer entry of the system profile.
#include "print/printer_device.h"

#include <cstring>

namespace {

// Copies [begin, end) without surrounding spaces into `field`; false when it
// does not fit.
bool TakePart(const char* begin, const char* end, char* field, size_t size) {
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
    const size_t n = static_cast<size_t>(end - begin);
    if (n >= size) return false;
    memcpy(field, begin, n);
    field[n] = '\0';
    return true;
}

}  // namespace

bool ParsePrinterDevice(const char* value, PrinterDevice* out) {
    *out = PrinterDevice{};
    if (value == nullptr) return false;
    const char* first = strchr(value, ',');
    if (first == nullptr) return false;
    const char* second = strchr(first + 1, ',');
    if (second == nullptr) return false;
    PrinterDevice d{};
    if (!TakePart(value, first, d.Name, sizeof d.Name) ||
        !TakePart(first + 1, second, d.Driver, sizeof d.Driver) ||
        !TakePart(second + 1, second + strlen(second), d.Port, sizeof d.Port) || d.Name[0] == '\0')
        return false;
    *out = d;
    return true;
}
