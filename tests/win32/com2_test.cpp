// COM2 through the product's port under Wine: the prefix's com2 is one end of
// a pseudo-terminal pair and scripts/com2.sh feeds the other end (see
// com2_test.sh, which runs this program).  The feeder starts once this test
// has the port open and says so in the ready file named on the command line.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace {

std::string g_readyFile;

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string ReadQueued(PlatformSerial port) {
    std::string text;
    for (int32_t n = PlatformSerialQueued(port); n > 0; --n) {
        uint8_t b = 0;
        if (!PlatformSerialReadByte(port, &b)) break;
        text += static_cast<char>(b);
    }
    return text;
}

// Polls until `want` bytes are queued or 15 s have passed.
int32_t QueuedWithin(PlatformSerial port, int32_t want) {
    int32_t n = 0;
    for (int i = 0; i < 750 && (n = PlatformSerialQueued(port)) < want; ++i) Sleep(20);
    return n;
}

TEST(Com2, TheFedLineIsReadAsItArrivesWithoutWaitingForItsEnd) {
    PlatformSerial port = PlatformSerialOpen("COM2", 9600);
    ASSERT_NE(port, 0) << "COM2 did not open (error " << GetLastError() << ")";
    // (Windows keeps a second opener out of a COM port; Wine's serial
    // devices do not, so "not shared" is left to the fake and posix ports' tests.)
    EXPECT_EQ(PlatformSerialQueued(port), 0);
    uint8_t b = 0;
    EXPECT_FALSE(PlatformSerialReadByte(port, &b));  // nothing queued: back at once

    // Go: the feeder sends "R12 " now and "P3\r" a second later.
    HANDLE ready = CreateFileA(WindowsPath(g_readyFile).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(ready, INVALID_HANDLE_VALUE);
    CloseHandle(ready);

    ASSERT_GE(QueuedWithin(port, 4), 4);
    std::string first = ReadQueued(port);
    // The rest of the line is not there yet; had the read waited for it, it
    // would have returned its first byte instead of nothing.
    EXPECT_FALSE(PlatformSerialReadByte(port, &b));
    EXPECT_EQ(first, "R12 ");
    ASSERT_GE(QueuedWithin(port, 3), 3);
    std::string line = first + ReadQueued(port);
    EXPECT_EQ(line, "R12 P3\r");
    PlatformSerialClose(port);

    port = PlatformSerialOpen("COM2", 19200);
    EXPECT_NE(port, 0);
    PlatformSerialClose(port);
    EXPECT_EQ(PlatformSerialOpen("COM9", 9600), 0);  // no such port
    EXPECT_EQ(PlatformSerialQueued(0), -1);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: com2_test READY-FILE (run by com2_test.sh)\n");
        return 2;
    }
    g_readyFile = argv[1];
    return RUN_ALL_TESTS();
}
