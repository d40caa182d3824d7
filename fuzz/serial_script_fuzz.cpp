// The serial script reader (scheduled run-and-point lines): any text gives a
// schedule or an error that names its line, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/serial_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<SerialDelivery> out;
    std::string error;
    bool ok = ParseSerialScript(reinterpret_cast<const char*>(data), size, out, error);
    if (ok != error.empty()) __builtin_trap();
    if (!ok && (error.compare(0, 5, "line ") != 0 || !out.empty())) __builtin_trap();
    double last = 0.0;
    for (const SerialDelivery& d : out) {
        if (!(d.at >= last) || d.at > 1e6 || d.bytes.empty()) __builtin_trap();
        last = d.at;
    }
    return 0;
}
