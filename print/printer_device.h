// Portable: the default printer as the system profile names it, the value
// of "device" in section "windows": "name,driver,port".
#pragma once

#include <cstdint>

struct PrinterDevice {
    char Name[128];
    char Driver[64];
    char Port[128];
};

// Splits a "device" value.  False (and `out` cleared) when there is no
// printer: an empty value, a value without the two commas, an empty name, or
// a part longer than its field (which would name another printer).  Spaces
// around each part are dropped.
bool ParsePrinterDevice(const char* value, PrinterDevice* out);
