// The simulated DDS's command parser: each input line is sent as a command
// over the bus; replies are read and every service request is polled.  A
// malformed command is refused (status 0x41), never a crash.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "sim/front_end.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool configured = false;
    if (!configured) {
        const char* cfg = "timebase virtual\ncard 3 M21\ncard 4 M16 missing\ncard 5 M16 refuse 8\nbits 7 0=1\n";
        std::string error;
        sim::ConfigureText(cfg, strlen(cfg), error);
        configured = true;
    }
    static int32_t ud = sim::Dev(0, 29, 0, 13, 1, 1);
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        std::string cmd = input.substr(start, end - start);
        sim::Send(0, 29, cmd.data(), static_cast<int32_t>(cmd.size()), 1);
        char reply[128];
        if (!cmd.empty() && cmd.back() == '?') sim::Receive(0, 29, reply, sizeof reply, 0x100);
        int16_t flag = 0, status = 0;
        sim::TestSRQ(0, &flag);
        if (flag) sim::ReadStatusByte(0, 29, &status);
        if (flag && status != 0x40 && status != 0x41 && status != 0x42 && status != 0x44) __builtin_trap();
        start = end + 1;
    }
    // Stream a little of whatever was programmed.
    static uint16_t buffer[4096];
    if (sim::Rda(ud, buffer, sizeof buffer) == 0) {
        sim::Wait(ud, sim::kTIMO | sim::kCMPL);
        sim::Stop(ud);
    }
    int16_t s;
    sim::ReadStatusByte(0, 29, &s);
    sim::Send(0, 29, "M0 2", 4, 1);
    sim::ReadStatusByte(0, 29, &s);
    return 0;
}
