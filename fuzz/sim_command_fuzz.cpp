// The simulated DDS's command parser and the fault statements armed while it
// runs: each input line is sent as a command over the bus (a line starting
// with '!' is armed instead); replies are read and every service request is
// polled.  A malformed command is refused (status 0x41), a malformed fault
// statement gets an error naming its line, never a crash.
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
        start = end + 1;
        if (!cmd.empty() && cmd[0] == '!') {
            std::string error;
            bool ok = sim::Arm(cmd.data() + 1, cmd.size() - 1, error);
            if (ok != error.empty()) __builtin_trap();
            if (!ok && error.compare(0, 5, "line ") != 0 && error.compare(0, 9, "too many ") != 0) __builtin_trap();
            continue;
        }
        sim::Send(0, 29, cmd.data(), static_cast<int32_t>(cmd.size()), 1);
        char reply[128];
        if (!cmd.empty() && cmd.back() == '?') sim::Receive(0, 29, reply, sizeof reply, 0x100);
        int16_t flag = 0, status = 0;
        sim::TestSRQ(0, &flag);
        if (flag) sim::ReadStatusByte(0, 29, &status);
        if (flag && status != 0x40 && status != 0x41 && status != 0x42 && status != 0x44) __builtin_trap();
    }
    // Stream a little of whatever was programmed; while the read is in
    // progress the board refuses everything else.
    static uint16_t buffer[4096];
    sim::Send(0, 29, "U", 1, 1);
    if ((sim::Rda(ud, buffer, sizeof buffer) & sim::kERR) == 0) {
        int16_t s;
        sim::ReadStatusByte(0, 29, &s);
        if (sim::g_bus.iberr != sim::kEOIP) __builtin_trap();
        sim::Wait(ud, sim::kTIMO | sim::kCMPL);
        sim::Stop(ud);
    }
    if (sim::PeakReads() > 2) __builtin_trap();
    int16_t s;
    sim::ReadStatusByte(0, 29, &s);
    sim::Send(0, 29, "M0 2", 4, 1);
    sim::ReadStatusByte(0, 29, &s);
    return 0;
}
