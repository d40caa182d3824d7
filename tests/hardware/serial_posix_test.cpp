// The native command-line port's serial service on a real tty: a
// pseudo-terminal pair stands for COM2 and the device at its far end.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

struct PtyPair {
    int far = -1;  // the device's end: what it writes arrives at the port
    int near = -1;
    std::string path;
    PtyPair() {
        char name[256] = "";
        if (openpty(&far, &near, name, nullptr, nullptr) == 0) path = name;
    }
    ~PtyPair() {
        if (far >= 0) close(far);
        if (near >= 0) close(near);
    }
    void Write(const std::string& s) const { ASSERT_EQ(write(far, s.data(), s.size()), static_cast<ssize_t>(s.size())); }
};

std::string ReadQueued(PlatformSerial port) {
    std::string text;
    for (int32_t n = PlatformSerialQueued(port); n > 0; --n) {
        uint8_t b = 0;
        if (!PlatformSerialReadByte(port, &b)) break;
        text += static_cast<char>(b);
    }
    return text;
}

// Bytes written to a pty reach the other end within a moment.
int32_t QueuedWithin(PlatformSerial port, int32_t want) {
    int32_t n = 0;
    for (int i = 0; i < 200 && (n = PlatformSerialQueued(port)) < want; ++i) usleep(5000);
    return n;
}

TEST(SerialPortPosix, ReadsWhatIsQueuedAndNeverWaitsForTheRestOfALine) {
    PtyPair pty;
    ASSERT_FALSE(pty.path.empty());
    setenv("ZD418_COM2", pty.path.c_str(), 1);
    PlatformSerial port = PlatformSerialOpen("COM2", 9600);
    ASSERT_NE(port, 0);
    EXPECT_EQ(PlatformSerialQueued(port), 0);
    uint8_t b = 0;
    EXPECT_FALSE(PlatformSerialReadByte(port, &b));
    pty.Write("R12 ");
    ASSERT_EQ(QueuedWithin(port, 4), 4);
    EXPECT_EQ(ReadQueued(port), "R12 ");
    EXPECT_FALSE(PlatformSerialReadByte(port, &b));  // the rest is not there: no wait
    pty.Write("P3\r");
    ASSERT_EQ(QueuedWithin(port, 3), 3);
    EXPECT_EQ(ReadQueued(port), "P3\r");  // raw: the carriage return arrives as it is
    // Not shared while open.
    EXPECT_EQ(PlatformSerialOpen(pty.path.c_str(), 9600), 0);
    PlatformSerialClose(port);
    port = PlatformSerialOpen(pty.path.c_str(), 19200);
    EXPECT_NE(port, 0);
    PlatformSerialClose(port);
    unsetenv("ZD418_COM2");
}

TEST(SerialPortPosix, PortsThatCannotBeOpenedGiveNone) {
    PtyPair pty;
    ASSERT_FALSE(pty.path.empty());
    const struct {
        const char* name;
        uint32_t baud;
    } table[] = {{pty.path.c_str(), 12345}, {pty.path.c_str(), 0}, {"/nonexistent/tty", 9600},
                 {"/dev/null", 9600},  // not a terminal
                 {"COM", 9600},        {"COMX", 9600},         {"", 9600}};
    for (const auto& row : table) EXPECT_EQ(PlatformSerialOpen(row.name, row.baud), 0) << row.name;
    EXPECT_EQ(PlatformSerialQueued(0), -1);
    uint8_t b;
    EXPECT_FALSE(PlatformSerialReadByte(0, &b));
}

}  // namespace
