// Opening, closing and testing the supervisor's pipes on the fake port.
#include "remote_fixture.h"

namespace {

class RemotePipes : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReset();
        CloseRemoteConnection();
        SetConnectionUi(nullptr);
        bConnectionEverOpened = false;
        snprintf(szListenPipe, sizeof szListenPipe, "%s", kListen);
        snprintf(szTalkPipe, sizeof szTalkPipe, "%s", kTalk);
        snprintf(szErrorPipe, sizeof szErrorPipe, "%s", kError);
        snprintf(szData1Pipe, sizeof szData1Pipe, "%s", kData);
    }
    void TearDown() override {
        CloseRemoteConnection();
        SetConnectionUi(nullptr);
    }
    static void CreateServers() {
        for (const char* n : {kListen, kTalk, kError, kData}) FakePipeServerCreate(n);
    }
};

TEST_F(RemotePipes, OpensAllFourAndRefusesASecondConnection) {
    CreateServers();
    ASSERT_EQ(OpenRemoteConnection(), 1);
    EXPECT_TRUE(bConnectionEverOpened);
    for (const char* n : {kListen, kTalk, kError, kData}) EXPECT_TRUE(FakePipeServerConnected(n)) << n;
    const PlatformPipe before[] = {hListenPipe, hTalkPipe, hErrorPipe, hData1Pipe};

    // One pipe of the old connection still open is enough to refuse.
    PlatformPipeClose(hTalkPipe);
    hTalkPipe = 0;
    FakePipeServerClose(kTalk);
    FakePipeServerCreate(kTalk);
    FakeClearMessages();
    EXPECT_EQ(OpenRemoteConnection(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Please Close The Already Existing Pipe Connections");
    EXPECT_EQ(FakeMessages()[0].caption, "Network Communication Already Established");
    EXPECT_EQ(FakeMessages()[0].style, MB_ICONEXCLAMATION_);
    EXPECT_EQ(hListenPipe, before[0]);
    EXPECT_EQ(hTalkPipe, 0);
    EXPECT_EQ(hErrorPipe, before[2]);
    EXPECT_FALSE(FakePipeServerConnected(kTalk));

    CloseRemoteConnection();
    EXPECT_FALSE(AnyRemotePipeOpen());
    for (const char* n : {kListen, kTalk, kError, kData}) EXPECT_FALSE(FakePipeServerConnected(n)) << n;
}

TEST_F(RemotePipes, PassesRetryUntilTheSupervisorIsThereAndACancelClosesAll) {
    // Only two pipes exist: the passes go on, dispatching a message per attempt.
    FakePipeServerCreate(kListen);
    FakePipeServerCreate(kTalk);
    static int asked = 0, dispatched = 0;
    asked = dispatched = 0;
    ConnectionUi ui = {[] { return ++asked == 10; }, [] { ++dispatched; }};
    SetConnectionUi(&ui);
    EXPECT_EQ(OpenRemoteConnection(), 0);
    EXPECT_EQ(asked, 10);
    EXPECT_EQ(dispatched, 12);  // the pass ends with the remaining pipes, not attempted again
    EXPECT_FALSE(AnyRemotePipeOpen());
    EXPECT_FALSE(FakePipeServerConnected(kListen));
    EXPECT_FALSE(FakePipeServerConnected(kTalk));
    EXPECT_FALSE(bConnectionEverOpened);

    // The missing pipes appear while the passes run: connected.
    static int passes = 0;
    passes = 0;
    ConnectionUi late = {[] {
                             if (++passes == 7) {
                                 FakePipeServerCreate(kError);
                                 FakePipeServerCreate(kData);
                             }
                             return false;
                         },
                         nullptr};
    SetConnectionUi(&late);
    const uint32_t t0 = PlatformTimeMs();
    EXPECT_EQ(OpenRemoteConnection(), 1);
    EXPECT_GT(PlatformTimeMs() - t0, 0u) << "the passes must pause between attempts";
}

TEST_F(RemotePipes, WriteRolesOpenWriteOnlyWhenReadingIsRefused) {
    CreateServers();
    FakePipeServerWriteOnly(kError);
    ASSERT_EQ(OpenRemoteConnection(), 1);
    EXPECT_TRUE(FakePipeServerConnected(kError));
    EXPECT_EQ(ReportStatus(-1, 13), 1);
    std::vector<std::string> lines = FakePipeServerTake(kError);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "FATAL::Scan Table Is Corrupt In Test Database");
}

TEST_F(RemotePipes, ConnectionTestGivesUpOnASilentSupervisor) {
    CreateServers();
    ASSERT_EQ(OpenRemoteConnection(), 1);
    char reply[24];
    // Silent: the test ends after the bounded wait, pattern untouched.
    const uint32_t t0 = PlatformTimeMs();
    EXPECT_EQ(TestRemoteConnection(reply), 0);
    const uint32_t waited = PlatformTimeMs() - t0;
    EXPECT_GE(waited, kConnectionTestWaitMs);
    EXPECT_LT(waited, kConnectionTestWaitMs + 100);
    EXPECT_EQ(std::string(reply), "123412341231");
    std::vector<std::string> sent = FakePipeServerTake(kListen);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::string("Rq817 Here!") + std::string(13, '\0'));

    // An answer is taken, at most 24 bytes of it, and nothing of it is left behind.
    FakePipeServerSend(kListen, "Supervisor Here" + std::string(40, 'z'));
    EXPECT_EQ(TestRemoteConnection(reply), 1);
    EXPECT_EQ(std::string(reply, 15), "Supervisor Here");
    uint32_t available = 1, left = 1;
    ASSERT_TRUE(PlatformPipePeek(hListenPipe, &available, &left));
    EXPECT_EQ(available, 0u);

    // A broken pipe ends the test at once.
    FakePipeServerClose(kListen);
    EXPECT_EQ(TestRemoteConnection(reply), 0);
}

TEST(CancelWindow, ButtonAreaBoundsAreExclusive) {
    struct Case {
        int32_t x, y;
        bool hit;
    } cases[] = {{57, 10, true}, {168, 68, true}, {56, 30, false}, {169, 30, false},
                 {100, 9, false}, {100, 69, false}, {100, 40, true}};
    for (const Case& c : cases) EXPECT_EQ(CancelButtonHit(c.x, c.y), c.hit) << c.x << "," << c.y;
}

}  // namespace
