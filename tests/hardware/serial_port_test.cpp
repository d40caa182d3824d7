// The fake port's serial ports: lines a test fills in or schedules on the
// clock the program shares with the simulated front end, read without ever
// waiting; and the script format those schedules are written in.
#include <cstring>
#include <string>
#include <vector>

#include "platform/serial_script.h"
#include "sim_fixture.h"

namespace {

// Everything queued now, byte by byte, as a caller that must not block reads.
std::string ReadQueued(PlatformSerial port) {
    std::string text;
    int32_t queued = PlatformSerialQueued(port);
    for (int32_t i = 0; i < queued; ++i) {
        uint8_t b = 0;
        if (!PlatformSerialReadByte(port, &b)) break;
        text += static_cast<char>(b);
    }
    return text;
}

class SerialPort : public SimTest {};

TEST_F(SerialPort, ScheduledLinesArriveWhenTheSharedClockReachesThem) {
    FakeSerialAddPort("COM2");
    std::string error;
    ASSERT_TRUE(FakeSerialScript("com2", "# run and point\n1.2 R12 \n2.5 P3\\r\n4 R13 P1\\r\n", error))
        << error;
    PlatformSerial port = PlatformSerialOpen("COM2", 9600);
    ASSERT_NE(port, 0);
    EXPECT_EQ(FakeSerialBaud("COM2"), 9600u);
    uint8_t b = 0;
    EXPECT_EQ(PlatformSerialQueued(port), 0);
    EXPECT_FALSE(PlatformSerialReadByte(port, &b));  // nothing there: no wait
    EXPECT_EQ(PlatformTimeMs(), 0u);
    // A partial line is all there is at 1.2 s: read, and no waiting for the rest.
    FakeAdvanceTime(1200);
    EXPECT_EQ(ReadQueued(port), "R12 ");
    EXPECT_FALSE(PlatformSerialReadByte(port, &b));
    EXPECT_EQ(PlatformTimeMs(), 1200u);
    // The simulator's clock is the same clock: a bus wait that moves it
    // brings the rest of the line and the next one.
    OpenDDS();
    FakeSerialAddPort("COM2");  // the same port again: no change
    int16_t flag = 0;
    WaitSRQ(0, &flag);  // nothing requests service: the board waits its 10 s
    EXPECT_NEAR(sim.now(), 11.2, 1e-9);
    EXPECT_EQ(ReadQueued(port), "P3\rR13 P1\r");
    EXPECT_EQ(ReadQueued(port), "");
    PlatformSerialClose(port);
    EXPECT_FALSE(FakeSerialIsOpen("COM2"));
}

TEST_F(SerialPort, APortIsOpenedOnceAndOnlyWhenItExists) {
    EXPECT_EQ(PlatformSerialOpen("COM2", 9600), 0);  // no such port
    FakeSerialAddPort("COM2");
    EXPECT_EQ(PlatformSerialOpen("COM2", 0), 0);  // no baud rate
    PlatformSerial a = PlatformSerialOpen("com2", 19200);
    ASSERT_NE(a, 0);
    EXPECT_TRUE(FakeSerialIsOpen("COM2"));
    EXPECT_EQ(PlatformSerialOpen("COM2", 9600), 0);  // not shared
    EXPECT_EQ(PlatformSerialOpen(nullptr, 9600), 0);
    PlatformSerialClose(a);
    PlatformSerialClose(a);  // twice is harmless
    PlatformSerial b = PlatformSerialOpen("COM2", 2400);
    ASSERT_NE(b, 0);
    EXPECT_EQ(FakeSerialBaud("COM2"), 2400u);
    // Handles that are not open read nothing.
    uint8_t byte;
    EXPECT_EQ(PlatformSerialQueued(a), -1);
    EXPECT_FALSE(PlatformSerialReadByte(a, &byte));
    EXPECT_EQ(PlatformSerialQueued(0), -1);
    // A line error: the port fails.
    FakeSerialFeed("COM2", "R1\r");
    FakeSerialBreak("COM2");
    EXPECT_EQ(PlatformSerialQueued(b), -1);
    EXPECT_FALSE(PlatformSerialReadByte(b, &byte));
    PlatformSerialClose(b);
}

TEST_F(SerialPort, TheInputQueueHoldsWhatADriverHolds) {
    FakeSerialAddPort("COM2");
    PlatformSerial port = PlatformSerialOpen("COM2", 9600);
    ASSERT_NE(port, 0);
    FakeSerialFeed("COM2", std::string(4000, 'a'));
    FakeSerialSchedule("COM2", 5, std::string(200, 'b'));
    FakeAdvanceTime(5);
    EXPECT_EQ(PlatformSerialQueued(port), 4096);
    std::string all = ReadQueued(port);
    EXPECT_EQ(all, std::string(4000, 'a') + std::string(96, 'b'));
    // NUL and high bytes are bytes like any other.
    FakeSerialFeed("COM2", std::string("\0\xFF\r", 3));
    EXPECT_EQ(ReadQueued(port), std::string("\0\xFF\r", 3));
    PlatformSerialClose(port);
}

TEST(SerialScript, GoodScriptsGiveTimesAndBytes) {
    const char* text = "# feeder\r\n0 R1 P1\\r\n\n2.5 R12 P3\\r\\n\n2.5 tab\\there \\\\ \\x41\\x00\n";
    std::vector<SerialDelivery> d;
    std::string error;
    ASSERT_TRUE(ParseSerialScript(text, strlen(text), d, error)) << error;
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].at, 0.0);
    EXPECT_EQ(d[0].bytes, "R1 P1\r");
    EXPECT_EQ(d[1].at, 2.5);
    EXPECT_EQ(d[1].bytes, "R12 P3\r\n");
    EXPECT_EQ(d[2].bytes, std::string("tab\there \\ A\0", 13));
}

TEST(SerialScript, MalformedLinesGetTheLineAndTheReason) {
    const struct {
        const char* text;
        const char* error;
    } table[] = {
        {"R12 P3\\r\n", "line 1: a line starts with its time in seconds (\"2.5 R12 P3\\r\")"},
        {"1 a\n-1 b\n", "line 2: a line starts with its time in seconds (\"2.5 R12 P3\\r\")"},
        {"2 a\n1 b\n", "line 2: times must not go back"},
        {"1.2.3 a\n", "line 1: bad time \"1.2.3\" (seconds, 0 to 1000000)"},
        {"2000000 a\n", "line 1: bad time \"2000000\" (seconds, 0 to 1000000)"},
        {"2.5\n", "line 1: no text after the time"},
        {"2.5 \n", "line 1: no text after the time"},
        {"1 R12\\q\n", "line 1: unknown escape \\q (\\r \\n \\t \\\\ \\xHH)"},
        {"1 R12\\x4\n", "line 1: \\x takes two hex digits"},
        {"1 R12\\xG0\n", "line 1: \\x takes two hex digits"},
        {"1 R12\\\n", "line 1: a backslash ends the line (write \\\\ for one)"},
        {"# c\n1 R\0\n", "line 2: unexpected NUL character (write \\x00)"},
    };
    for (const auto& row : table) {
        std::vector<SerialDelivery> d;
        std::string error;
        size_t length = strlen(row.text);
        if (std::string(row.error).find("NUL") != std::string::npos) length = 9;
        EXPECT_FALSE(ParseSerialScript(row.text, length, d, error)) << row.text;
        EXPECT_EQ(error, row.error);
        EXPECT_TRUE(d.empty());
    }
    // A bad script schedules nothing.
    FakeReset();
    FakeSerialAddPort("COM2");
    std::string error;
    EXPECT_FALSE(FakeSerialScript("COM2", "1 R1\\r\n0 R2\\r\n", error));
    EXPECT_EQ(error, "line 2: times must not go back");
    EXPECT_FALSE(FakeSerialScript("COM3", "1 R1\\r\n", error));
    EXPECT_EQ(error, "no port COM3");
    PlatformSerial port = PlatformSerialOpen("COM2", 9600);
    FakeAdvanceTime(5000);
    EXPECT_EQ(PlatformSerialQueued(port), 0);
    PlatformSerialClose(port);
}

}  // namespace
