// The remote command loop driving the simulated front end on one virtual
// clock: the test plays the supervisor on the fake port's pipes and checks
// the raw file against the simulator's own record of what it delivered, the
// events, the forwarded samples and the status words.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "acquire/dds_control.h"
#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/raw_file.h"
#include "acquire/remote_loop.h"
#include "acquire/scan_map.h"
#include "base/status_report.h"
#include "network/remote_pipes.h"
#include "scanlist/scan_table.h"
#include "raw_file_check.h"
#include "sim_fixture.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

const char* kListen = "\\\\.\\PIPE\\RLISTEN";
const char* kTalk = "\\\\.\\PIPE\\RTALK";
const char* kError = "\\\\.\\PIPE\\RERROR";
const char* kData = "\\\\.\\PIPE\\RDATA";

std::string Status(uint32_t s) { return std::to_string(static_cast<int32_t>(s)); }

const int32_t kChannelsUsed[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};

class RemoteStream : public SimTest {
  protected:
    std::string dir;

    void SetUp() override {
        SimTest::SetUp();
        FreeTestModel();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        ResetEngine();
        ResetPanel();
        ResetRemoteLoop();
        CloseRemoteConnection();
        SetConnectionUi(nullptr);
        bRecording = bPreviewing = bPlaying = bStopRequest = false;
        bAppendMode = false;
        nTriggerState = 0;
        nRecordingType = 0;
        nStartAndTriggerChannel = 8;
        nStartBit = 0;
        nTriggerBit = 1;
        dir = ::testing::TempDir();
        snprintf(szListenPipe, sizeof szListenPipe, "%s", kListen);
        snprintf(szTalkPipe, sizeof szTalkPipe, "%s", kTalk);
        snprintf(szErrorPipe, sizeof szErrorPipe, "%s", kError);
        snprintf(szData1Pipe, sizeof szData1Pipe, "%s", kData);
        CreateServers();
        ASSERT_EQ(OpenRemoteConnection(), 1);
        bRemoteControlled = true;
        FakeSetProfileFile("mtstest.ini", "[Operations]\nTestFile=" + dir +
                                              "remote_e2e.mdb\nRecordToDisk=YES\nMonitorData=YES\n"
                                              "NumberToMonitor=2\nFirstDisplayChannel=1\n"
                                              "SecondDisplayChannel=2\n");
    }
    void TearDown() override {
        StopSamplingForExit();
        CloseRawFile();
        CloseRemoteConnection();
        SetConnectionUi(nullptr);
        bRemoteControlled = false;
        remove(RawPath().c_str());
        FreeTestModel();
        SimTest::TearDown();
    }
    std::string RawPath() const { return dir + "remote_e2e.raw"; }

    static void CreateServers() {
        for (const char* n : {kListen, kTalk, kError, kData}) FakePipeServerCreate(n);
    }
    static void CloseServers() {
        for (const char* n : {kListen, kTalk, kError, kData}) FakePipeServerClose(n);
    }

    // A chassis, the control library, the DDS descriptor and a downloaded table.
    void Program(const std::string& chassis) {
        ASSERT_NO_FATAL_FAILURE(sim.Configure(chassis));
        ASSERT_TRUE(LoadControlLibrary());
        OpenDDS();
        ASSERT_GE(nDDSDevice, 0);
        for (int c = 0; c < 9; ++c) {
            strcpy(lpsChannelParams->CardModel[c], "M15-C");
            lpsChannelParams->CARDTYPE[c] = 3;
            lpsChannelParams->GAIN[c] = 1.0;
            lpsChannelParams->VARIABLEGAINENABLE[c] = 0;
        }
        ASSERT_EQ(BuildSingleRateTable(kChannelsUsed, 9, 2000.0), 1);
        ASSERT_EQ(DownloadScanTable(), 1);
        FakeClearMessages();
    }

    static std::string Ask(const std::string& message) {
        FakePipeServerSend(kListen, message);
        RemoteLoopTurn();
        std::vector<std::string> replies = FakePipeServerTake(kListen);
        EXPECT_EQ(replies.size(), 1u) << message;
        return replies.empty() ? "<none>" : std::string(replies[0].c_str());
    }

    // Turns of the loop (each idle one sleeps, which moves the shared clock)
    // until `done` or a bound.
    template <typename Done>
    static void RunUntil(Done done, int maxTurns = 40000) {
        for (int i = 0; i < maxTurns && !done(); ++i) {
            RemoteLoopTurn();
            FakeAdvanceTime(1);
        }
    }

    // Sequence numbers of the transfers in the raw file.
    std::vector<uint32_t> FileSequences() { return RawFileSequences(RawPath(), sTransferLayout.TransferBytes); }
    std::vector<uint32_t> Complete() { return DeliveredSequences(sim.Delivered(), sim::kDeliveredComplete); }
};

TEST_F(RemoteStream, TimedRunRecordsEveryTransferWithEventsAndForwardedSamples) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\nsignal 0-7 const 1000\nsignal 2 const -500\n"
                                    "bits 8 0=0 1.5=0x0001 3.5=0x0003 4.5=0x0001\n"));
    EXPECT_EQ(Ask("IT"), Status(0xB));
    EXPECT_EQ(Ask("RT6"), Status(0xB));
    EXPECT_EQ(Ask("SS"), Status(0xF));
    ASSERT_TRUE(bRecording);
    RunUntil([] { return (dwRemoteStatus & kRemoteSamplingBit) == 0; });
    EXPECT_EQ(Ask("GS"), Status(0xB)) << "the timed stop ends sampling without an error";
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(nDDSRunning, 0);
    EXPECT_EQ(sim.peakReads(), 1);
    EXPECT_EQ(sim.eoipRefusals(), 0u);

    // The file: every transfer delivered up to the stop, in order, once.
    const double d = sEngine.TransferSeconds;
    ASSERT_GT(d, 0.0);
    uint32_t kept = 0;
    for (double elapsed = d; elapsed <= 6.0; elapsed += d) ++kept;
    std::vector<uint32_t> file = FileSequences();
    ASSERT_EQ(file.size(), kept);
    std::vector<uint32_t> complete = Complete();
    ASSERT_GE(complete.size(), file.size());
    for (size_t i = 0; i < file.size(); ++i) EXPECT_EQ(file[i], complete[i]) << i;

    // Events: start up, trigger up, trigger down, as 256-byte messages.
    std::vector<std::string> events = FakePipeServerTake(kTalk);
    std::vector<std::string> texts;
    for (const std::string& e : events) {
        EXPECT_EQ(e.size(), kRemoteReplyBytes);
        texts.push_back(e.c_str());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"SU", "RU", "RD"}));

    // Forwarded samples: one message per collected transfer, channel 1 and 2
    // interleaved in scan order.
    std::vector<std::string> data = FakePipeServerTake(kData);
    ASSERT_GE(data.size(), file.size());
    const size_t words = data[0].size() / 2;
    EXPECT_EQ(words, static_cast<size_t>(sTransferLayout.Scans) * 2 *
                         static_cast<size_t>(sRemoteForwarding[0].Count));
    for (const std::string& m : data) {
        ASSERT_EQ(m.size(), data[0].size());
        for (size_t i = 0; i < m.size() / 2; ++i) {
            const int16_t v = static_cast<int16_t>(static_cast<uint8_t>(m[2 * i]) |
                                                   (static_cast<uint8_t>(m[2 * i + 1]) << 8));
            ASSERT_EQ(v, i % 2 == 0 ? 3277 : -1638) << i;
        }
    }
    std::vector<std::string> lines = FakePipeServerTake(kError);
    for (const std::string& l : lines) ADD_FAILURE() << "status line: " << l;
}

TEST_F(RemoteStream, RecordingOffAndOnKeepsEveryRecordedTransfer) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\nsignal 0-8 const 700\n"));
    EXPECT_EQ(Ask("IT"), Status(0xB));
    EXPECT_EQ(Ask("DM"), Status(0x3));
    EXPECT_EQ(Ask("SS"), Status(0x7));
    RunUntil([] { return RawTransfersWritten() >= 3; });
    ASSERT_EQ(RawTransfersWritten(), 3u);
    EXPECT_EQ(Ask("DR"), Status(0x6));
    const uint32_t blocks = sEngine.BlockCounter;
    RunUntil([&] { return sEngine.BlockCounter >= blocks + 2; });
    ASSERT_TRUE(bPreviewing);
    EXPECT_EQ(Ask("RD"), Status(0x7));
    RunUntil([] { return RawTransfersWritten() >= 2; });
    // While sampling "RI" runs a step and answers the newest word of the channel.
    EXPECT_EQ(Ask("RI4"), Status(0x7) + " 2294");
    EXPECT_EQ(Ask("ST"), Status(0x3));
    EXPECT_EQ(nDDSRunning, 0);
    std::vector<uint32_t> file = FileSequences();
    ASSERT_GE(file.size(), 5u);
    std::vector<uint32_t> complete = Complete();
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(file[i], complete[i]) << i;
    for (size_t i = 1; i < file.size(); ++i) EXPECT_GT(file[i], file[i - 1]) << i;
    EXPECT_TRUE(FakePipeServerTake(kData).empty()) << "forwarding was switched off";
}

TEST_F(RemoteStream, SupervisorGoneMidRunKeepsTheRecordingAndReconnects) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\nsignal 0-8 const 300\n"));
    EXPECT_EQ(Ask("IT"), Status(0xB));
    EXPECT_EQ(Ask("SS"), Status(0xF));
    RunUntil([] { return RawTransfersWritten() >= 4; });
    const uint32_t written = RawTransfersWritten();
    ASSERT_EQ(written, 4u);

    // The supervisor closes its pipes and creates them again a little later.
    CloseServers();
    static int attempts = 0;
    attempts = 0;
    ConnectionUi ui = {[] {
                           if (++attempts == 20) CreateServers();
                           return false;
                       },
                       nullptr};
    SetConnectionUi(&ui);
    EXPECT_TRUE(RemoteLoopTurn());
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(nDDSRunning, 0);
    EXPECT_EQ(dwRemoteStatus, 0u);
    EXPECT_TRUE(FakePipeServerConnected(kListen));
    std::vector<uint32_t> file = FileSequences();
    ASSERT_EQ(file.size(), written);
    std::vector<uint32_t> complete = Complete();
    for (size_t i = 0; i < file.size(); ++i) EXPECT_EQ(file[i], complete[i]) << i;
    EXPECT_EQ(Ask("GS"), "0");

    // Gone for good (the operator cancels): the loop ends.
    static int asked = 0;
    asked = 0;
    ConnectionUi cancel = {[] { return ++asked > 3; }, nullptr};
    SetConnectionUi(&cancel);
    CloseServers();
    EXPECT_FALSE(RemoteLoopTurn());
}

TEST_F(RemoteStream, EngineGivingUpEndsSamplingWithTheErrorFlag) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\nsignal 0-8 const 300\n"));
    EXPECT_EQ(Ask("IT"), Status(0xB));
    EXPECT_EQ(Ask("SS"), Status(0xF));
    RunUntil([] { return RawTransfersWritten() >= 2; });
    sim.Arm("fault 1 nosync\nrefuse \"M0 1,1\"\n");
    RunUntil([] { return (dwRemoteStatus & kRemoteSamplingBit) == 0; }, 20000);
    EXPECT_EQ(dwRemoteStatus & kRemoteSamplingBit, 0u);
    EXPECT_FALSE(bRecording);
    EXPECT_FALSE(RawFileIsOpen());
    // A prefix command shows the error bits; the reasons came as status lines.
    EXPECT_EQ(Ask("AD0"), Status(0xB | kRemoteErrorFlag | (1u << 16)));
    std::vector<std::string> lines = FakePipeServerTake(kError);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "FATAL::SYNC Word Missing Or Wrong In Record Module");
    EXPECT_EQ(lines[1], "FATAL::DDS Could Not Be Restarted In Record Module");
    // And "SS" may start a new run.
    EXPECT_EQ(Ask("SS"), Status(0xF));
    EXPECT_EQ(Ask("ST"), Status(0xB));
}

}  // namespace
