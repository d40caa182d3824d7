// The simulator's chassis file reader: any text gives a chassis or an error
// that names its line, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/chassis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static sim::Chassis chassis;
    std::string error;
    bool ok = sim::ParseChassis(reinterpret_cast<const char*>(data), size, chassis, error);
    if (ok != error.empty() && !ok) __builtin_trap();
    if (!ok && error.compare(0, 5, "line ") != 0) __builtin_trap();
    return 0;
}
