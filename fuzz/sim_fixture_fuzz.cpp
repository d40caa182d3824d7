// The calibration fixture's command reader: each input line is sent to
// address 28 as one text, its request is polled.  Anything is refused with a
// reason or carried out, never a crash, and the reference stays within 10 V.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "sim/fixture.h"
#include "sim/front_end.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool configured = false;
    if (!configured) {
        const char* cfg = "timebase virtual\nfixture srq\nwire 0-3\n";
        std::string error;
        sim::ConfigureText(cfg, strlen(cfg), error);
        configured = true;
    }
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        std::string text = input.substr(start, end - start);
        sim::Send(0, 28, text.data(), static_cast<int32_t>(text.size()), 1);
        int16_t status = 0;
        sim::ReadStatusByte(0, 28, &status);
        const sim::FixtureState& f = sim::Fixture();
        if (status != 0x40 && status != 0x41) __builtin_trap();
        if ((status & 1) != (f.refused ? 1 : 0) || (f.refused && f.error.empty())) __builtin_trap();
        if (!(std::fabs(f.level) <= 10000.0)) __builtin_trap();
        start = end + 1;
    }
    return 0;
}
