// The acquisition engine against the simulated front end on one virtual
// clock: recordings are compared with the simulator's own record of what it
// delivered, across injected faults, and the timing rules are driven without
// sleeping.
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "acquire/dds_control.h"
#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/raw_file.h"
#include "acquire/scan_map.h"
#include "scanlist/scan_table.h"
#include "raw_file_check.h"
#include "sim_fixture.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

// Eight channels, every one in each of 32 blocks: 256 positions, 264 words a
// scan; at 2000 blocks/s a transfer is cut to about one second of scans.
const int32_t kChannelsUsed[] = {0, 1, 2, 3, 4, 5, 6, 7};
constexpr double kRate = 2000.0;

class EngineStream : public SimTest {
  protected:
    std::string dir;

    void SetUp() override {
        SimTest::SetUp();
        FreeTestModel();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        ResetEngine();
        ResetPanel();
        bRecording = bPreviewing = bPlaying = bStopRequest = false;
        bAppendMode = false;
        bParametersDownloaded = true;
        nTriggerState = 0;
        nRecordingType = 0;
        dir = ::testing::TempDir();
        snprintf(szTestFile, sizeof szTestFile, "%sengine_e2e.mdb", dir.c_str());
        FakeClearMessages();
    }
    void TearDown() override {
        StopSamplingForExit();
        CloseRawFile();
        remove(RawPath().c_str());
        FreeTestModel();
        SimTest::TearDown();
    }
    std::string RawPath() const { return dir + "engine_e2e.raw"; }

    // A chassis, the control library, the DDS descriptor and a downloaded table.
    void Program(const std::string& chassis) {
        ASSERT_NO_FATAL_FAILURE(sim.Configure(chassis));
        ASSERT_TRUE(LoadControlLibrary());
        OpenDDS();
        ASSERT_GE(nDDSDevice, 0);
        for (int c = 0; c < 8; ++c) {
            strcpy(lpsChannelParams->CardModel[c], "M15-C");
            lpsChannelParams->GAIN[c] = 1.0;
            lpsChannelParams->VARIABLEGAINENABLE[c] = 0;
        }
        ASSERT_EQ(BuildSingleRateTable(kChannelsUsed, 8, kRate), 1);
        ASSERT_EQ(DownloadScanTable(), 1);
        BuildScanMap();
        FakeClearMessages();
    }

    // Runs the message loop's share of the engine until `transfers` are in
    // the raw file (or a bound of passes), 5 ms of program time per pass.
    void RunUntilWritten(uint32_t transfers, uint32_t maxPasses = 20000) {
        for (uint32_t i = 0; i < maxPasses && RawTransfersWritten() < transfers && nDDSRunning; ++i) {
            AcquisitionPump();
            FakeAdvanceTime(5);
        }
    }

    // The transfers of the raw file, by the sequence number in their header.
    std::vector<uint32_t> FileSequences() { return RawFileSequences(RawPath(), sTransferLayout.TransferBytes); }
};

TEST_F(EngineStream, RecordingHoldsEveryDeliveredTransferOnceInOrder) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\nsignal 0-7 const 1000\nsignal 3 sine 2000 3\n"));
    PanelRecord();
    ASSERT_TRUE(bRecording);
    ASSERT_EQ(nDDSRunning, 1);
    RunUntilWritten(12);
    ASSERT_EQ(RawTransfersWritten(), 12u);
    PanelStop();
    EXPECT_EQ(nDDSRunning, 0);
    EXPECT_FALSE(RawFileIsOpen());
    for (const FakeMessage& m : FakeMessages()) ADD_FAILURE() << "unexpected message: " << m.text;

    EXPECT_EQ(sim.peakReads(), 1);
    EXPECT_EQ(sim.eoipRefusals(), 0u) << "the DDS was addressed while a read was outstanding";
    std::vector<uint32_t> sequences = FileSequences();
    ASSERT_EQ(sequences.size(), 12u);
    std::vector<uint32_t> complete = DeliveredSequences(sim.Delivered(), sim::kDeliveredComplete);
    // The transfer collected at Stop is not part of the recording.
    ASSERT_GE(complete.size(), 12u);
    ASSERT_LE(complete.size(), 13u);
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(sequences[i], complete[i]) << i;

    // Samples: 1000 mV at gain 1 on a 16-bit card in every constant position.
    std::vector<uint8_t> bytes = ReadBytes(RawPath());
    const uint32_t scanBytes = sTransferLayout.ScanBytes;
    const int16_t expected = 3277;
    for (uint32_t p = 0; p < sTransferLayout.EntryCount; ++p) {
        const uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        if (c == 3) continue;
        ASSERT_EQ(static_cast<int16_t>(Word(bytes, scanBytes * 5 + 16 + 2 * p)), expected) << p;
    }
}

TEST_F(EngineStream, FaultsRestartTheDdsAndLoseOnlyTheFaultyTransfers) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\nsignal 0-7 const 500\n"));
    PanelRecord();
    ASSERT_TRUE(bRecording);
    RunUntilWritten(3);
    sim.Arm("fault 1 nosync\n");
    RunUntilWritten(6);
    sim.Arm("fault 1 overflow\n");
    RunUntilWritten(9);
    sim.Arm("fault 1 timeout\n");
    RunUntilWritten(12);
    ASSERT_EQ(RawTransfersWritten(), 12u);
    ASSERT_TRUE(bRecording) << "the faults must not end the recording";
    PanelStop();

    // Each fault was shown once, in order.
    std::vector<std::string> texts;
    for (const FakeMessage& m : FakeMessages()) texts.push_back(m.text);
    auto has = [&](const std::string& t) {
        for (const std::string& s : texts)
            if (s == t) return true;
        return false;
    };
    EXPECT_TRUE(has("The Sync Word Is Missing"));
    EXPECT_TRUE(has("The DDS FIFO Overflowed"));
    EXPECT_EQ(sim.peakReads(), 1);
    EXPECT_EQ(sim.eoipRefusals(), 0u);

    // Every complete, good transfer the DDS delivered while recording is in
    // the file once, in order; the faulty ones are not.
    std::vector<uint32_t> good = DeliveredSequences(sim.Delivered(), sim::kDeliveredComplete,
                                                    sim::kDeliveredNoSync | sim::kDeliveredOverflow);
    std::vector<uint32_t> sequences = FileSequences();
    ASSERT_EQ(sequences.size(), 12u);
    ASSERT_GE(good.size(), 12u);
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(sequences[i], good[i]) << i;
}

TEST_F(EngineStream, TimedRecordStopsAtTheFirstTransferPastItsSeconds) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\n"));
    nRecordingType = 1;
    nRecordingTime = 3;
    PanelRecord();
    RunUntilWritten(100, 5000);
    EXPECT_FALSE(bRecording);
    EXPECT_EQ(nDDSRunning, 0);
    // The transfer that takes the elapsed time past the seconds is not kept.
    const double d = sEngine.TransferSeconds;
    ASSERT_GT(d, 0.0);
    uint32_t kept = 0;
    for (double elapsed = d; elapsed <= 3.0; elapsed += d) ++kept;
    EXPECT_EQ(RawTransfersWritten(), kept);
    EXPECT_EQ(FileSequences().size(), kept);
}

TEST_F(EngineStream, CollectsOneTransferPerPeriodAndCatchesUpWhenLate) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\nfifo 16\n"));
    ASSERT_EQ(PanelPlay(), 1);
    AcquisitionPump();  // initialises and starts the first read
    ASSERT_EQ(sEngine.ReadsStarted, 1u);
    FakeAdvanceTime(1);
    AcquisitionPump();
    const int32_t p = sEngine.PeriodMs;
    ASSERT_GT(p, 100);
    EXPECT_EQ(static_cast<int32_t>(dwWaitThreshold), p / 2);
    // Before half a period nothing is collected.
    FakeAdvanceTime(static_cast<uint32_t>(p / 2 - 10));
    AcquisitionPump();
    EXPECT_EQ(sEngine.BlockCounter, 0u);
    FakeAdvanceTime(20);
    AcquisitionPump();
    EXPECT_EQ(sEngine.BlockCounter, 1u);

    // Late by between one and two periods: nothing this pass; by two and a
    // half more: 2 x (lag div P) = 4 transfers in one pass.
    FakeAdvanceTime(static_cast<uint32_t>(p + p / 2));
    const uint32_t before = sEngine.BlockCounter;
    AcquisitionPump();
    EXPECT_EQ(sEngine.BlockCounter, before);
    FakeAdvanceTime(static_cast<uint32_t>(2 * p));
    AcquisitionPump();
    EXPECT_EQ(sEngine.BlockCounter, before + 4);
    EXPECT_EQ(sim.peakReads(), 1);
    PanelStop();
}

TEST_F(EngineStream, CvtStepsThroughTheNewestTransferEvery20Ms) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\nsignal 0-7 const 250\n"));
    ASSERT_EQ(PanelPlay(), 1);
    AcquisitionPump();
    for (int i = 0; i < 400 && sEngine.BlockCounter == 0; ++i) {
        FakeAdvanceTime(5);
        AcquisitionPump();
    }
    ASSERT_EQ(sEngine.BlockCounter, 1u);
    EXPECT_EQ(sEngine.CvtScanIndex, 0u);
    FakeAdvanceTime(5);
    AcquisitionPump();  // the last refresh was long ago
    EXPECT_EQ(sEngine.CvtScanIndex, 1u);
    EXPECT_NEAR(lpCVT->Value[2], 250.0, 0.5);
    EXPECT_EQ(lpCVT->Format[2], 819);
    FakeAdvanceTime(15);
    AcquisitionPump();
    EXPECT_EQ(sEngine.CvtScanIndex, 1u) << "refreshed before 20 ms had passed";
    FakeAdvanceTime(6);
    AcquisitionPump();
    EXPECT_EQ(sEngine.CvtScanIndex, 2u);
    PanelStop();
}

TEST_F(EngineStream, AFailedRestartEndsTheRecordingAndClosesTheFile) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\n"));
    PanelRecord();
    RunUntilWritten(2);
    sim.Arm("fault 1 nosync\nrefuse \"M0 1,1\"\n");
    RunUntilWritten(10, 400);
    EXPECT_FALSE(bRecording);
    EXPECT_EQ(nDDSRunning, 0);
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(RawTransfersWritten(), 2u);
    EXPECT_EQ(FileSequences().size(), 2u);
    EXPECT_EQ(sim.eoipRefusals(), 0u);
}


// Automatic starts and stops on the simulator's scheduled start and trigger
// bits, external start line and COM2 line, armed by Play.
struct TriggerCase {
    int32_t trigger, stop, seconds;
    const char* schedule;  // chassis lines
    int check;             // 0: trigger bit set, 1: clear, 2: start bit set, 3: clear, 4: ext start, 5: COM2 text
};

TEST_F(EngineStream, AutomaticTriggersStartAndStopRecordings) {
    const TriggerCase cases[] = {
        {1, 3, 0, "bits 7 0=0 2.5=0x2 6.5=0\n", 0},
        {2, 2, 0, "bits 7 0=0x2 2.5=0 6.5=0x2\n", 1},
        {4, 5, 0, "bits 7 0=0 2.5=0x1 6.5=0\n", 2},
        {5, 4, 0, "bits 7 0=0x1 2.5=0 6.5=0x1\n", 3},
        {3, 1, 3, "extstart 2.5-20\n", 4},
        {6, 1, 3, "", 5},
    };
    for (const TriggerCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "trigger " << c.trigger << " stop " << c.stop);
        ResetEngine();
        ResetPanel();
        CloseRawFile();
        remove(RawPath().c_str());
        ASSERT_NO_FATAL_FAILURE(Program(std::string("timebase virtual\n") + c.schedule));
        nStartAndTriggerChannel = 7;
        nStartBit = 0;
        nTriggerBit = 1;
        UpdateStartTriggerMasks();
        nTriggerState = c.trigger;
        nRecordingType = c.stop;
        nRecordingTime = c.seconds;
        bCom2RunAndPoint = c.trigger == 6;
        if (c.trigger == 6) {
            FakeSerialAddPort("COM2");
            FakeSerialSchedule("COM2", PlatformTimeMs() + 2500, "R12 P3\r");
        }
        ASSERT_EQ(PanelPlay(), 1);
        bool started = false;
        for (int i = 0; i < 4000 && nDDSRunning; ++i) {
            AcquisitionPump();
            started = started || bRecording;
            FakeAdvanceTime(5);
        }
        EXPECT_TRUE(started) << "the recording never started";
        EXPECT_FALSE(bRecording) << "the recording never stopped";
        EXPECT_EQ(nDDSRunning, 0);
        EXPECT_EQ(sim.eoipRefusals(), 0u);

        std::vector<uint8_t> bytes = ReadBytes(RawPath());
        const uint32_t size = sTransferLayout.TransferBytes;
        ASSERT_GT(bytes.size(), 0u);
        ASSERT_EQ(bytes.size() % size, 0u);
        const uint32_t input = static_cast<uint32_t>(lpsChannelParams->ScanPosition[7]);
        for (size_t t = 0; t < bytes.size(); t += size) {
            const uint16_t word = Word(bytes, t + input);
            switch (c.check) {
            case 0: EXPECT_TRUE(word & 2) << t; break;
            case 1: EXPECT_FALSE(word & 2) << t; break;
            case 2: EXPECT_TRUE(word & 1) << t; break;
            case 3: EXPECT_FALSE(word & 1) << t; break;
            case 4: {
                // The first recorded transfer is the one that saw the line high.
                if (t != 0) break;
                bool high = false;
                for (uint32_t scan = 0; scan < size; scan += sTransferLayout.ScanBytes)
                    high = high || bytes[scan + 5] != 0;
                EXPECT_TRUE(high) << "started before the external start line";
                break;
            }
            case 5: EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[t + 4]), 12),
                              std::string("R12 P3\0\0\0\0\0\0", 12)); break;
            }
        }
        // The transfer before the first recorded one did not meet the condition:
        // recordings start at the edge, not before it.
        EXPECT_LT(bytes.size() / size, 8u);
    }
}

#ifndef _WIN32
// A file system that fills up: the process may not grow a file past a limit,
// as on a full disk.  The recording stops with a message, the DDS is stopped,
// and every transfer written before stays whole in the file.
TEST_F(EngineStream, AFullDiskStopsTheRecordingAndKeepsWhatWasWritten) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\n"));
    TransferLayout layout;
    ASSERT_TRUE(DownloadedTransferLayout(&layout));
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit limited = old;
    limited.rlim_cur = 5 * layout.TransferBytes + layout.TransferBytes / 2;
    signal(SIGXFSZ, SIG_IGN);
    PanelRecord();
    ASSERT_TRUE(bRecording);
    setrlimit(RLIMIT_FSIZE, &limited);
    RunUntilWritten(20, 4000);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);

    EXPECT_FALSE(bRecording);
    EXPECT_EQ(nDDSRunning, 0);
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(RawTransfersWritten(), 5u);
    ASSERT_FALSE(FakeMessages().empty());
    EXPECT_EQ(FakeMessages().back().text.rfind("Could Not Write The Raw Data File ", 0), 0u)
        << FakeMessages().back().text;
    // Five whole transfers, then at most the start of the sixth.
    std::vector<uint8_t> bytes = ReadBytes(RawPath());
    ASSERT_GE(bytes.size(), 5u * layout.TransferBytes);
    for (uint32_t t = 0; t < 5; ++t) {
        EXPECT_EQ(Word(bytes, t * layout.TransferBytes), 0xFE6B);
        EXPECT_EQ(Word(bytes, t * layout.TransferBytes + 2), t + 1) << t;
    }
    EXPECT_EQ(sim.eoipRefusals(), 0u);
}

// Killed outright in the middle of a recording: every transfer collected
// before is whole in the file, because each is handed to the system at once.
TEST_F(EngineStream, AKilledProgramLeavesEveryCollectedTransferInTheFile) {
    ASSERT_NO_FATAL_FAILURE(Program("timebase virtual\n"));
    const std::string map = dir + "engine_e2e.map";
    ASSERT_TRUE(std::filesystem::exists(map));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PanelRecord();
        for (int i = 0; i < 20000 && RawTransfersWritten() < 7; ++i) {
            AcquisitionPump();
            FakeAdvanceTime(5);
        }
        raise(SIGKILL);
        _exit(3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    TransferLayout layout;
    ASSERT_TRUE(DownloadedTransferLayout(&layout));
    std::vector<uint8_t> bytes = ReadBytes(RawPath());
    ASSERT_EQ(bytes.size(), 7u * layout.TransferBytes);
    for (uint32_t t = 0; t < 7; ++t) EXPECT_EQ(Word(bytes, t * layout.TransferBytes + 2), t + 1);
    // The map written before the recording describes it.
    std::ifstream f(map);
    std::stringstream text;
    text << f.rdbuf();
    EXPECT_NE(text.str().find("Channels Per Scan = 8\n"), std::string::npos);
    EXPECT_NE(text.str().find("Scans In Minor Frame = " + std::to_string(lpProgScanList->BlockCount) + "\n"),
              std::string::npos);
    remove(map.c_str());
}
#endif

}  // namespace
