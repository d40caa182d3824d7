// The remote command loop against the fake port's pipes: decoding, the status
// word of every command in allowed and refused states, one message per
// command, channel checks, the raw file across "RD"/"DR", and the ends of a
// session (RL, RZ, a broken pipe).
#include <fstream>
#include <iterator>

#include "acquire/dds_control.h"
#include "hardware/gpib_access.h"
#include "remote_fixture.h"
#include "testmodel/settings_ini.h"

namespace {

constexpr uint32_t kNotAllowed = kRemoteErrorFlag | (1u << 16);
constexpr uint32_t kUnknown = kRemoteErrorFlag | (2u << 16);
constexpr uint32_t kNotScanned = kRemoteErrorFlag | (13u << 16);

std::string FileText(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(RemoteDecode, MessagesAndTheirNumbers) {
    struct Case {
        std::string message;
        int32_t code, number;
    } cases[] = {
        {"GS", kCmdGS, 0},
        {"RL", kCmdRL, 0},
        {"RZ", kCmdRZ, 0},
        {"RI12", kCmdRI, 12},
        {"SC255", kCmdSC, 255},
        {"RI99999999", kCmdRI, 9999999},   // seven digits at most
        {"RT123456", kCmdRT, 12345},       // five
        {"WI7x9", kCmdWI, 7},              // digits end at the first non-digit
        {"RI-5", kCmdRI, -5},
        {"AD", kCmdUnknown, 0},            // a prefix alone is no plain command
        {"GSX", kCmdUnknown, 0},           // a plain command takes no number
        {"XX", kCmdUnknown, 0},
        {"G", kCmdUnknown, 0},
        {"", kCmdUnknown, 0},
        {std::string("GS\0junk", 7), kCmdGS, 0},  // the text ends at its zero
        {std::string("RI3\0" "99", 6), kCmdRI, 3},
        {"gs", kCmdUnknown, 0},
    };
    for (const Case& c : cases) {
        RemoteCommand cmd = DecodeRemoteMessage(c.message.data(), static_cast<uint32_t>(c.message.size()));
        EXPECT_EQ(cmd.Code, c.code) << c.message;
        if (c.code != kCmdUnknown) {
            EXPECT_EQ(cmd.Number, c.number) << c.message;
        }
    }
    // Never past the given length, even without a terminator.
    const char unterminated[5] = {'R', 'I', '1', '2', '7'};
    EXPECT_EQ(DecodeRemoteMessage(unterminated, 4).Number, 12);
}

class RemoteLoop : public RemoteSession {};

TEST_F(RemoteLoop, StatusWordsOfCommandsInAllowedAndRefusedStates) {
    Operations("c:\\tests\\run.mdb", false, true, "NumberToMonitor=1\nFirstDisplayChannel=2\n");
    struct Step {
        const char* command;
        uint32_t status;
    } steps[] = {
        {"GS", 0},
        {"SS", kNotAllowed},            // not initialised
        {"ST", kNotAllowed},            // not sampling: error 1 ORed in again
        {"BS", 0},
        {"DT", kNotAllowed},            // not initialised
        {"BS", 0},
        {"MD", 0x8},
        {"DM", 0},
        {"AA", 0x10},
        {"AO", 0},
        {"RD", 0x1},                    // outside sampling only the bit
        {"DR", 0},
        {"UW", kNotAllowed},            // neither initialised nor recording: refused, but answered
        {"XX", kNotAllowed | kUnknown},  // errors accumulate until cleared
        {"RT5", kNotAllowed | kUnknown},  // prefix commands keep the error bits
        {"GS", 0},                      // plain ones clear them
        {"IT", 0x2 | 0x8},              // initialised, forwarding as the file asks
        {"ST", 0x2 | 0x8 | kNotAllowed},
        {"AD12", 0x2 | 0x8 | kNotAllowed},
        {"BS", 0x2 | 0x8},
        {"AA", 0x2 | 0x8 | 0x10},
        {"RO", 0x2 | 0x8 | 0x10},
        {"DF", 0x2 | 0x8 | 0x10},
        {"IT", 0x2 | 0x8},              // "IT" sets the whole word
    };
    for (const Step& s : steps) EXPECT_EQ(Ask(s.command), Word(s.status)) << s.command;
    EXPECT_EQ(nRecordingType, 1);
    EXPECT_EQ(nRecordingTime, 5);
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_FALSE(bRecording);
}

TEST_F(RemoteLoop, EveryMessageIsOneCommandWithOneReply) {
    // Two commands queued before the loop looks are two commands.
    FakePipeServerSend(kListen, "GS");
    FakePipeServerSend(kListen, "MD");
    RemoteLoopTurn();
    RemoteLoopTurn();
    std::vector<std::string> replies = FakePipeServerTake(kListen);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(Text(replies[0]), "0");
    EXPECT_EQ(Text(replies[1]), "8");

    // An over-long message is one unknown command, drained whole; the next
    // message is read on its own.
    std::string longMessage = "GS" + std::string(600, '7');
    EXPECT_EQ(Ask(longMessage), Word(0x8 | kUnknown));
    EXPECT_EQ(Ask("GS"), Word(0x8));
    // A 256-byte "RI" of digits only is refused the same way.
    EXPECT_EQ(Ask("RI" + std::string(254, '1')), Word(0x8 | kUnknown));

    // Nothing waiting: no reply, and the loop waited instead of spinning:
    // briefly right after a command, longer once the supervisor is quiet.
    static std::vector<uint32_t> waits;
    waits.clear();
    RemoteLoopUi ui = {[](uint32_t ms) { waits.push_back(ms); }, nullptr};
    SetRemoteLoopUi(&ui);
    RemoteLoopTurn();
    FakeAdvanceTime(100);
    RemoteLoopTurn();
    EXPECT_TRUE(FakePipeServerTake(kListen).empty());
    EXPECT_EQ(waits, (std::vector<uint32_t>{1, kRemoteIdleWaitMs}));
}

TEST_F(RemoteLoop, ChannelNumbersAreCheckedAgainstTheScanTable) {
    ScanTable({0, 1, 2});
    struct Case {
        const char* command;
        std::string reply;
        int32_t watchedAfter;
    } cases[] = {
        {"RI1", "0 0", -1},  // not sampling: word 0, channel forgotten
        {"RI7", Word(kNotScanned), -1},
        {"RI-1", Word(kNotScanned), -1},
        {"RI9999999", Word(kNotScanned), -1},
        {"SC2", Word(kNotScanned), 2},   // prefix commands keep the error bits
        {"BS", "0", 2},
        {"SC300", Word(kNotScanned), -1},
        {"WI5", Word(kNotScanned), -1},  // no watched channel: nothing written
        {"BS", "0", -1},
        {"SC1", "0", 1},
        {"HO", "0", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(c.command), c.reply) << c.command;
        EXPECT_EQ(nWatchedChannel, c.watchedAfter) << c.command;
    }
    EXPECT_EQ(nFirstScannedChannel, 1);
    EXPECT_GT(sDisplayForwarding.Count, 0);
}

TEST_F(RemoteLoop, InitialiseTakesTheRunFromTheOperationFile) {
    ScanTable({0, 1, 2, 3});
    struct Case {
        std::string extra;
        bool record, monitor;
        uint32_t status;
        int32_t first, second;
    } cases[] = {
        {"NumberToMonitor=2\nFirstDisplayChannel=1\nSecondDisplayChannel=3\n", true, true, 0xB, 1, 3},
        {"NumberToMonitor=1\nFirstDisplayChannel=1\nSecondDisplayChannel=3\n", false, true, 0xA, 1, -1},
        {"NumberToMonitor=2\nFirstDisplayChannel=999\nSecondDisplayChannel=-4\n", false, true, 0xA, -1, -1},
        {"NumberToMonitor=2\nFirstDisplayChannel=1\n", true, false, 0x3, -1, -1},
    };
    for (const Case& c : cases) {
        Operations("c:\\data.v2\\run.1.mdb", c.record, c.monitor, c.extra);
        EXPECT_EQ(Ask("IT"), Word(c.status)) << c.extra;
        EXPECT_EQ(nRemoteForwardChannel[0], c.first) << c.extra;
        EXPECT_EQ(nRemoteForwardChannel[1], c.second) << c.extra;
        EXPECT_STREQ(sRemote.RawFileName, "c:\\data.v2\\run.raw");
    }
}

TEST_F(RemoteLoop, FailedStartLeavesNothingRunning) {
    ScanTable({0, 1});
    nScansPerTransfer = 0;  // no download: the DDS cannot start
    bSimulator = true;
    Operations(dir + "failstart.mdb", true, false);
    EXPECT_EQ(Ask("IT"), Word(0x3));
    EXPECT_EQ(Ask("SS"), Word(0x3 | kNotAllowed));
    EXPECT_FALSE(bRecording);
    EXPECT_FALSE(bPreviewing);
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(nDDSRunning, 0);
    std::vector<std::string> lines = FakePipeServerTake(kError);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "FATAL::Could Not Initialize DDS Transfer Size");
    // Still initialised and not sampling: "SS" may be tried again.
    EXPECT_EQ(Ask("ST"), Word(0x3 | kNotAllowed));
    remove((dir + "failstart.raw").c_str());
}

TEST_F(RemoteLoop, ATestThatDoesNotLoadIsNeverDownloaded) {
    Operations(dir + "no_such_test.mdb", false, false);
    EXPECT_EQ(Ask("IT"), Word(0x2));
    // Had the defaults been downloaded, the missing control library would
    // have set its own bits (0x800F0000) as well.
    EXPECT_EQ(Ask("DT"), Word(0x2 | kNotAllowed));
    std::vector<std::string> lines = FakePipeServerTake(kError);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "FATAL::Test Database Corrupt");
    EXPECT_FALSE(bParametersDownloaded);
}

TEST_F(RemoteLoop, SwitchingRecordingOffAndOnKeepsTheRecordedData) {
    ScanTable({0, 1});
    bSimulator = true;  // no front end: the file holds what the test writes
    const std::string raw = dir + "remote_rd.raw";
    Operations(dir + "remote_rd.mdb", true, false);
    EXPECT_EQ(Ask("IT"), Word(0x3));
    EXPECT_EQ(Ask("SS"), Word(0x7));
    ASSERT_TRUE(bRecording);
    ASSERT_TRUE(RawFileIsOpen());
    EXPECT_STREQ(RawFileName(), raw.c_str());
    ASSERT_EQ(AppendTransfer("AAAA", 4), 1);
    EXPECT_EQ(Ask("DR"), Word(0x6));
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_TRUE(bPreviewing);
    EXPECT_EQ(Ask("RD"), Word(0x7));
    EXPECT_TRUE(bRecording);
    ASSERT_EQ(AppendTransfer("BBBB", 4), 1);
    EXPECT_EQ(Ask("ST"), Word(0x3));
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(FileText(raw), "AAAABBBB");

    // A new run ("IT") starts its file afresh.
    EXPECT_EQ(Ask("IT"), Word(0x3));
    EXPECT_EQ(Ask("SS"), Word(0x7));
    ASSERT_EQ(AppendTransfer("CC", 2), 1);
    EXPECT_EQ(Ask("RL"), "0");
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(FileText(raw), "CC");
    remove(raw.c_str());
}

TEST_F(RemoteLoop, EndAndReconnectionOfTheSession) {
    // "RL": reply 0, pipes closed, the loop over.
    FakePipeServerSend(kListen, "MD");
    FakePipeServerSend(kListen, "RL");
    FakePipeServerSend(kListen, "GS");  // never read
    RunRemoteLoop();
    EXPECT_FALSE(bRemoteControlled);
    std::vector<std::string> replies = FakePipeServerTake(kListen);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(Text(replies[1]), "0");
    EXPECT_FALSE(AnyRemotePipeOpen());
    EXPECT_FALSE(FakePipeServerConnected(kListen));

    // "RZ": reply 0, then a new connection to the supervisor's new pipes.
    CloseServers();
    CreateServers();
    ASSERT_EQ(OpenRemoteConnection(), 1);
    sRemote.EndLoop = false;  // as a new Open & Connect starts the loop again
    static bool windowShown = false;
    static int shows = 0;
    RemoteLoopUi ui = {nullptr, [](bool show) { windowShown = show; ++shows; }};
    SetRemoteLoopUi(&ui);
    EXPECT_EQ(Ask("MD"), "8");
    FakePipeServerSend(kListen, "RZ");
    RemoteLoopTurn();
    // The reply went out on the old connection, which was then closed and opened again.
    replies = FakePipeServerTake(kListen);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(Text(replies[0]), "0");
    EXPECT_EQ(shows, 2);
    EXPECT_FALSE(windowShown);
    EXPECT_TRUE(FakePipeServerConnected(kListen));
    EXPECT_EQ(dwRemoteStatus, 0u);
    EXPECT_EQ(Ask("GS"), "0");

    // A broken command pipe reconnects without a reply; the supervisor's new
    // pipes are found.
    CloseServers();
    CreateServers();
    EXPECT_TRUE(RemoteLoopTurn());
    EXPECT_TRUE(FakePipeServerConnected(kListen));
    EXPECT_EQ(Ask("GS"), "0");

    // When the reconnection is cancelled the loop ends.
    static int asked = 0;
    asked = 0;
    ConnectionUi cancel = {[] { return ++asked > 5; }, nullptr};
    SetConnectionUi(&cancel);
    CloseServers();
    EXPECT_FALSE(RemoteLoopTurn());
    EXPECT_FALSE(AnyRemotePipeOpen());
}

}  // namespace
