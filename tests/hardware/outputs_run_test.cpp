// The program's DAC and digital outputs against the simulated cards: every
// wave type lands in the card's memory exactly as defined, start and both
// stops reach the cards, the start lists and requests act on the engine's
// next transfer, and the timed digital states of a recording are each set
// once at their time, also across a restart of the DDS after a fault.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/raw_file.h"
#include "acquire/remote_loop.h"
#include "acquire/scan_map.h"
#include "base/status_report.h"
#include "card_fixture.h"
#include "network/remote_pipes.h"
#include "outputs/dac_outputs.h"
#include "outputs/dac_waves.h"
#include "outputs/digital_outputs.h"
#include "scanlist/scan_table.h"
#include "testmodel/db_database.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

const int32_t kScanned[] = {0, 1, 2, 3, 4, 5, 6, 7};

// Eight scanned amplifier channels, two DAC cards and two digital cards.
const char* kChassis =
    "timebase virtual\n"
    "card 0-7 M15-C\n"
    "card 12 M18-A\n"
    "card 13 M18-B\n"
    "card 14 M18-C missing\n"
    "card 20 M21\n"
    "card 21 M21\n"
    "signal 0-7 const 500\n";

class OutputsRun : public CardTest {
  protected:
    std::string dir;

    void SetUp() override {
        CardTest::SetUp();
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
        snprintf(szTestFile, sizeof szTestFile, "%soutp_run.mdb", dir.c_str());
        for (DacChannel& d : sDacChannel) {
            d = DacChannel{};
            d.HARDCHAN = -1;
            for (int w = 0; w < kDacWaves; ++w) d.FREQ[w][0] = d.FREQ[w][1] = 10;
        }
        for (DigitalOut& d : sDigitalOut) {
            d = DigitalOut{};
            d.HARDWARECHANNEL = -1;
        }
        sDacStartList[0].Count = sDacStartList[1].Count = 0;
        ASSERT_NO_FATAL_FAILURE(Load(kChassis));
        FakeClearMessages();
    }
    void TearDown() override {
        StopSamplingForExit();
        CloseRawFile();
        remove((dir + "outp_run.raw").c_str());
        bSimulator = false;
        FreeTestModel();
        CardTest::TearDown();
    }

    // The scan table downloaded and the DDS descriptor open, as before Record.
    void Program() {
        for (int c = 0; c < 8; ++c) {
            strcpy(lpsChannelParams->CardModel[c], "M15-C");
            lpsChannelParams->GAIN[c] = 1.0;
        }
        ASSERT_EQ(BuildSingleRateTable(kScanned, 8, 2000.0), 1);
        ASSERT_EQ(DownloadScanTable(), 1);
        BuildScanMap();
        FakeClearMessages();
    }
    // Runs the message loop's share of the engine until one more transfer
    // has been collected.  A start or restart first initialises the engine,
    // which counts transfers from 0 again.
    void NextTransfer() {
        if (nNoTransferOutstanding && nDDSRunning) AcquisitionPump();
        const uint32_t before = sEngine.BlockCounter;
        for (int i = 0; i < 20000 && sEngine.BlockCounter == before && nDDSRunning; ++i) {
            AcquisitionPump();
            FakeAdvanceTime(5);
        }
        ASSERT_GT(sEngine.BlockCounter, before) << "no transfer came";
    }
    std::string Run(int32_t slot, int32_t output) { return cards.Card(slot)[output ? "dacB.run" : "dacA.run"]; }
    int32_t Commands(const std::string& prefix) {
        const std::string log = sim.Log();
        int32_t n = 0;
        for (size_t at = 0; (at = log.find(":" + prefix, at)) != std::string::npos; ++at) ++n;
        return n;
    }
};

// The card's memory holds, region after region, the samples each wave's
// definition gives; loops and the master loop go with them.
TEST_F(OutputsRun, EveryWaveTypeDownloadsExactlyItsSamples) {
    DacChannel& a = sDacChannel[0];
    a.HARDCHAN = 20;
    a.MASTERLOOP = 9;
    a.REGIONS[0] = a.REGIONS[1] = 5;
    const int32_t waves[5] = {kWaveSine, kWaveTriangle, kWaveSawtooth, kWaveSquare, kWaveNoise};
    const int32_t points[5] = {100, 10, 37, 10, 210};
    for (int r = 0; r < 5; ++r) {
        a.WAVE[r][0] = waves[r];
        a.WAVE[r][1] = waves[4 - r];
        a.FREQ[r][0] = a.FREQ[r][1] = points[r];
        a.LOOP[r][0] = a.LOOP[r][1] = r + 2;
    }
    // A dynamic output without regions downloads nothing.
    DacChannel& b = sDacChannel[3];
    b.HARDCHAN = 21;
    b.OUTTYPE[0] = b.OUTTYPE[1] = 1;
    b.REGIONS[0] = b.REGIONS[1] = 0;

    ASSERT_EQ(DownloadDacWaves(), 1) << ErrorText();

    auto held = cards.Card(20);
    EXPECT_EQ(held["dacA.regions"], "0:100:2:100;100:10:3:10;110:37:4:37;147:10:5:10;157:210:6:210");
    EXPECT_EQ(held["dacB.regions"], "0:100:2:100;100:10:3:10;110:37:4:37;147:10:5:10;157:210:6:210");
    EXPECT_EQ(held["dacA.masterLoop"], "9");
    EXPECT_EQ(cards.Card(21)["dacA.regions"], "");
    EXPECT_EQ(cards.Card(21)["dacB.regions"], "");

    for (int32_t s = 0; s < 2; ++s) {
        std::vector<int16_t> expected;
        for (int32_t r = 0; r < 5; ++r) {
            std::vector<int16_t> one(static_cast<size_t>(points[r]));
            ASSERT_EQ(GenerateDacWave(a.WAVE[r][s], points[r], DacNoiseSeed(20, s, r), one.data(), points[r]),
                      points[r]);
            expected.insert(expected.end(), one.begin(), one.end());
        }
        EXPECT_EQ(cards.Dac(20, s, 0, 1000), expected) << "output " << s;
    }
    // The two fixed shapes, sample for sample at their places in memory.
    EXPECT_EQ(cards.Dac(20, 0, 100, 10),
              (std::vector<int16_t>{-32768, -16384, 0, 16383, 32766, 32767, 16384, 0, -16384, -32768}));
    EXPECT_EQ(cards.Dac(20, 0, 147, 10),
              (std::vector<int16_t>{-32768, -32768, -32768, -32768, -32768, 32767, 32767, 32767, 32767, 32767}));

    // A second download replaces the set, noise included, with the same samples.
    const std::vector<int16_t> first = cards.Dac(20, 1, 0, 1000);
    ASSERT_EQ(DownloadDacWaves(), 1);
    EXPECT_EQ(cards.Dac(20, 1, 0, 1000), first);
}

TEST_F(OutputsRun, ARegionTheCardRefusesIsReportedAsAFailedDownload) {
    DacChannel& a = sDacChannel[0];
    a.HARDCHAN = 5;  // an amplifier card, not a DAC
    a.REGIONS[0] = 1;
    EXPECT_EQ(DownloadDacWaves(), 0);
    a.HARDCHAN = 20;
    a.FREQ[0][0] = 500;  // more points than a region can have
    EXPECT_EQ(DownloadDacWaves(), 0);
    EXPECT_EQ(cards.Card(20)["dacA.regions"], "");
}

TEST_F(OutputsRun, StartStopToZeroAndStopAndHoldReachTheCards) {
    sDacChannel[0].HARDCHAN = 20;
    sDacChannel[0].REGIONS[0] = sDacChannel[0].REGIONS[1] = 1;
    ASSERT_EQ(DownloadDacWaves(), 1);
    ASSERT_EQ(SetDacLevelNow(21, 1, -7500), 1);
    EXPECT_EQ(cards.Card(21)["dacB.level"], "-7500");
    EXPECT_EQ(SetDacLevelNow(21, 1, 10001), 0);
    EXPECT_EQ(cards.Card(21)["dacB.level"], "-7500");

    DriveDacsCommand();  // not sampling: at once
    for (int32_t slot : {20, 21})
        for (int32_t s : {0, 1}) EXPECT_EQ(Run(slot, s), "running") << slot << s;
    StopDacsCommand(false);
    EXPECT_EQ(Run(21, 1), "hold");
    EXPECT_EQ(cards.Card(21)["dacB.level"], "-7500");
    StartAllDacs();
    EXPECT_EQ(Run(20, 0), "running");
    StopDacsCommand(true);
    for (int32_t slot : {20, 21})
        for (int32_t s : {0, 1}) EXPECT_EQ(Run(slot, s), "zero") << slot << s;
    EXPECT_EQ(cards.Card(21)["dacB.level"], "0");

    // In simulator mode nothing reaches the cards.
    bSimulator = true;
    const int32_t before = Commands("QS") + Commands("QZ") + Commands("QH") + Commands("QW") + Commands("QI");
    StartAllDacs();
    DriveDacsCommand();
    StopAllDacs(false);
    EXPECT_EQ(DownloadDacWaves(), 1);
    EXPECT_EQ(SetDacLevelNow(20, 0, 100), 1);
    EXPECT_EQ(Commands("QS") + Commands("QZ") + Commands("QH") + Commands("QW") + Commands("QI"), before);
    EXPECT_EQ(Run(20, 0), "zero");
}

// The preview list starts with the first transfer of a preview, the record
// list with the first of a recording, each once; drive and stop requests
// made while sampling wait for the next transfer.
TEST_F(OutputsRun, StartListsAndRequestsActOnTheNextTransfer) {
    ASSERT_NO_FATAL_FAILURE(Program());
    sDacChannel[0].HARDCHAN = 20;  // preview start
    sDacChannel[1].HARDCHAN = 21;
    sDacChannel[1].STARTTYPE[0] = sDacChannel[1].STARTTYPE[1] = 1;  // record start
    ASSERT_EQ(PanelPlay(), 1);
    ASSERT_EQ(sDacStartList[0].Count, 1);  // the start rebuilt the lists
    ASSERT_EQ(sDacStartList[1].Count, 1);
    EXPECT_EQ(Run(20, 0), "idle");
    ASSERT_NO_FATAL_FAILURE(NextTransfer());
    EXPECT_EQ(Run(20, 0), "running");
    EXPECT_EQ(Run(21, 0), "idle");
    EXPECT_EQ(sDacStartList[0].Count, 0);
    const int32_t starts = Commands("QS");
    ASSERT_NO_FATAL_FAILURE(NextTransfer());
    EXPECT_EQ(Commands("QS"), starts) << "a start list starts its DACs once";

    StopDacsCommand(true);
    EXPECT_TRUE(bStopDacsZeroRequest);
    EXPECT_EQ(Run(20, 0), "running") << "the request waits for the engine";
    ASSERT_NO_FATAL_FAILURE(NextTransfer());
    EXPECT_EQ(Run(20, 0), "zero");
    DriveDacsCommand();
    EXPECT_EQ(Run(20, 0), "zero");
    ASSERT_NO_FATAL_FAILURE(NextTransfer());
    EXPECT_EQ(Run(20, 0), "running");
    EXPECT_EQ(Run(21, 0), "running");
    StopDacsCommand(false);
    ASSERT_NO_FATAL_FAILURE(NextTransfer());
    EXPECT_EQ(Run(21, 1), "hold");
    PanelStop();

    // A recording starts the record list.
    sDacChannel[0].HARDCHAN = -1;
    PanelRecord();
    ASSERT_TRUE(bRecording);
    ASSERT_EQ(sDacStartList[1].Count, 1);
    ASSERT_NO_FATAL_FAILURE(NextTransfer());
    EXPECT_EQ(Run(21, 0), "running");
    EXPECT_EQ(sDacStartList[1].Count, 0);
    PanelStop();
}

// Each record's initial state at the first transfer, the later states at
// the first transfer past their time, once each, with the record's
// switches; a state whose use flag is off is never sent.  A DDS restart
// after a lost sync word neither repeats nor loses a state.
TEST_F(OutputsRun, TimedDigitalStatesAreSetOnceEachAtTheirTimesAcrossARestart) {
    ASSERT_NO_FATAL_FAILURE(Program());
    DigitalOut& d = sDigitalOut[0];
    d.HARDWARECHANNEL = 12;
    d.STATICSTATE = 0x0001;
    d.STATE1 = 0x8000;  // "Line 16"
    d.STATE1TIME = 2;
    d.STATE2 = 0x00FF;
    d.STATE2TIME = 6;
    d.STATE3 = 0xFFFF;
    d.STATE3TIME = 8;
    d.USEINIT = d.USE1 = d.USE2 = 1;
    d.USE3 = 0;
    d.GLITCHCATCHER = 1;
    DigitalOut& e = sDigitalOut[5];
    e.HARDWARECHANNEL = 13;
    e.STATICSTATE = 0x0F0F;
    e.STATE1 = 0x1234;
    e.STATE1TIME = 3;
    e.USEINIT = 0;
    e.USE1 = 1;
    e.OUTSTOINS = 1;

    PanelRecord();
    ASSERT_TRUE(bRecording);
    struct Seen {
        double elapsed;
        int32_t word12, writes12, word13, writes13;
    };
    std::vector<Seen> seen;
    bool faulted = false;
    while (sEngine.ElapsedSeconds < 10.0 && nDDSRunning) {
        ASSERT_NO_FATAL_FAILURE(NextTransfer());
        auto c12 = cards.Card(12), c13 = cards.Card(13);
        seen.push_back({sEngine.ElapsedSeconds, std::stoi(c12["digital"]), std::stoi(c12["digitalWrites"]),
                        std::stoi(c13["digital"]), std::stoi(c13["digitalWrites"])});
        if (!faulted && sEngine.ElapsedSeconds > 4.0) {
            sim.Arm("fault 1 nosync\n");
            faulted = true;
        }
    }
    ASSERT_TRUE(bRecording) << "the fault must not end the recording";
    ASSERT_TRUE(faulted);
    bool restarted = false;
    for (const FakeMessage& m : FakeMessages()) restarted |= m.text == "The Sync Word Is Missing";
    ASSERT_TRUE(restarted) << "the fault did not happen";
    const double step = sEngine.TransferSeconds;
    ASSERT_GT(step, 0.0);

    // Where each write happened: its word and the elapsed time.
    auto firstWith = [&](int32_t Seen::*writes, int32_t n) -> const Seen* {
        for (const Seen& s : seen)
            if (s.*writes >= n) return &s;
        return nullptr;
    };
    const Seen* init = firstWith(&Seen::writes12, 1);
    const Seen* one = firstWith(&Seen::writes12, 2);
    const Seen* two = firstWith(&Seen::writes12, 3);
    ASSERT_TRUE(init && one && two);
    EXPECT_EQ(init, &seen[0]) << "the initial state goes out with the first transfer";
    EXPECT_EQ(init->word12, 0x0001);
    EXPECT_EQ(one->word12, 0x8000);
    EXPECT_GT(one->elapsed, 2.0);
    EXPECT_LE(one->elapsed - step, 2.0 + 1e-9);
    EXPECT_EQ(two->word12, 0x00FF);
    EXPECT_GT(two->elapsed, 6.0);
    EXPECT_LE(two->elapsed - step, 6.0 + 1e-9);
    EXPECT_EQ(seen.back().writes12, 3) << "each used state once; State 3 is not used";
    auto c12 = cards.Card(12);
    EXPECT_EQ(c12["glitchCatcher"], "1");
    EXPECT_EQ(c12["outsToIns"], "0");

    const Seen* e1 = firstWith(&Seen::writes13, 1);
    ASSERT_TRUE(e1);
    EXPECT_EQ(e1->word13, 0x1234) << "the unused initial state was sent";
    EXPECT_GT(e1->elapsed, 3.0);
    EXPECT_LE(e1->elapsed - step, 3.0 + 1e-9);
    EXPECT_EQ(seen.back().writes13, 1);
    EXPECT_EQ(cards.Card(13)["outsToIns"], "1");
    PanelStop();
}

TEST_F(OutputsRun, ImmediateSettingIsReadBackAndAFailureIsShown) {
    sDigitalOut[2].HARDWARECHANNEL = 12;
    sDigitalOut[2].GLITCHCATCHER = 1;
    sDigitalOut[3].HARDWARECHANNEL = 14;  // a missing card
    sDigitalOut[4].HARDWARECHANNEL = 5;   // not a digital card
    ASSERT_EQ(SetDigitalOutput(2, 0x8001), 1);
    EXPECT_EQ(GetDigitalOutput(2), 0x8001);
    EXPECT_EQ(sim.digitalOut(12), 0x8001);
    EXPECT_EQ(cards.Card(12)["glitchCatcher"], "1");
    EXPECT_TRUE(FakeMessages().empty());
    for (int32_t r : {3, 4, 9}) {
        FakeClearMessages();
        EXPECT_EQ(SetDigitalOutput(r, 1), 0) << r;
        ASSERT_EQ(FakeMessages().size(), 1u) << r;
        EXPECT_EQ(FakeMessages()[0].text, "Error Setting Digital Out");
        EXPECT_EQ(FakeMessages()[0].caption, "Digital Output Error");
    }
    EXPECT_EQ(GetDigitalOutput(4), -1);
    EXPECT_EQ(sim.digitalOut(12), 0x8001);
}

TEST_F(OutputsRun, RemoteDacSetupLoadsTheOperationRecordsWaves) {
    const std::string wave = dir + "outp_remote.wav";
    ASSERT_EQ(WriteTestWaveFile(wave.c_str()), 1);
    auto op = std::make_unique<OperationRecord>();
    memset(op.get(), 0, sizeof *op);
    for (OperationDac& k : op->Dac) snprintf(k.WaveFile, sizeof k.WaveFile, "%s", wave.c_str());
    op->Dac[0].WaveSections = 2;
    op->Dac[0].DACFILTER = 200;
    op->Dac[0].WaveSectionLength[0] = 4096;
    op->Dac[0].WaveSectionLength[1] = 1024;
    op->Dac[0].PerformCount[0] = 3;
    op->Dac[0].PerformCount[1] = 1;
    op->Dac[1].WaveSections = 1;
    op->Dac[1].DACFILTER = 0;
    op->Dac[1].WaveSectionLength[0] = 100;
    op->Dac[1].PerformCount[0] = 1;

    // No DAC card in the test: nothing to set up.
    EXPECT_EQ(SetupRemoteDacs(op.get()), 1);
    EXPECT_EQ(Commands("QP"), 0);

    sDacChannel[2].HARDCHAN = 21;
    ASSERT_EQ(SetupRemoteDacs(op.get()), 1) << ErrorText();
    auto held = cards.Card(21);
    EXPECT_EQ(held["testWaveChannels"], "21,21");
    EXPECT_EQ(held["dacA.regions"], "0:4096:3:4096;4096:1024:1:1024");
    EXPECT_EQ(held["dacB.regions"], "0:100:1:100");
    const std::vector<int16_t> a = cards.Dac(21, 0, 4096, 1024);
    ASSERT_EQ(a.size(), 1024u);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[1], 50);  // the file's second cycle starts where the first did
    EXPECT_EQ(cards.Dac(21, 0, 1024, 1), std::vector<int16_t>{32767});

    op->Dac[0].DACFILTER = 300;  // not one of the card's filters
    EXPECT_EQ(SetupRemoteDacs(op.get()), 0);
    EXPECT_EQ(SetupRemoteDacs(nullptr), 0);
    remove(wave.c_str());
}

TEST_F(OutputsRun, TestWavesWriteTheFileSetUpTheCardsAndStartThem) {
    // The work directory exists, as the program's always does.
    std::filesystem::create_directories(dir + "outp_work");
    snprintf(szWorkDirectory, sizeof szWorkDirectory, "%soutp_work", dir.c_str());
    const std::string path = TestWaveFilePath();
    std::string ini = "[DAC1]\nWaveSections=1\nDACFILTER=500\nWaveSection1Length=4096\nWS1PerformCount=2\nWaveFile=" +
                      path + "\n[DAC2]\nWaveSections=1\nDACFILTER=0\nWaveSection1Length=2048\nWaveFile=" + path + "\n";
    for (int n = 3; n <= 6; ++n) ini += "[DAC" + std::to_string(n) + "]\nWaveSections=0\n";
    FakeSetProfileFile("mtstest.ini", ini);
    sDacChannel[4].HARDCHAN = 20;
    ASSERT_EQ(TestWavesCommand(), TestWavesResult::Started) << ::testing::PrintToString(FakeMessages().size());
    auto held = cards.Card(20);
    EXPECT_EQ(held["dacA.testWave"], "500:1:4096/0/0:2/1/1");
    EXPECT_EQ(held["dacA.regions"], "0:4096:2:4096");
    EXPECT_EQ(held["dacB.regions"], "0:2048:1:2048");
    EXPECT_EQ(held["dacA.run"], "running");
    EXPECT_EQ(cards.Dac(20, 1, 1024, 1), std::vector<int16_t>{32767});

    // A refused set-up is shown and starts nothing.
    StopAllDacs(true);
    FakeSetProfileFile("mtstest.ini", "[DAC1]\nDACFILTER=300\nWaveSection1Length=10\nWaveFile=" + path + "\n");
    FakeClearMessages();
    EXPECT_EQ(TestWavesCommand(), TestWavesResult::SetupRefused);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].caption, "Test Waves");
    EXPECT_EQ(Run(20, 0), "zero");
    remove(path.c_str());

    // A work directory that cannot take the file: shown, nothing sent.
    snprintf(szWorkDirectory, sizeof szWorkDirectory, "%sno/such/dir", dir.c_str());
    FakeClearMessages();
    const int32_t setups = Commands("QP");
    EXPECT_EQ(TestWavesCommand(), TestWavesResult::FileNotWritten);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(Commands("QP"), setups);
    std::filesystem::remove_all(dir + "outp_work");
}

// "UW" of a supervisor sets the test waves of its operation file up; a set-up
// the cards refuse answers error 14 and reports status code 36.
TEST_F(OutputsRun, TheSupervisorsWaveSetupReachesTheCardsOrReportsItsFailure) {
    const char* kListen = "\\\\.\\PIPE\\OLISTEN";
    const char* kError = "\\\\.\\PIPE\\OERROR";
    const char* pipes[4] = {kListen, "\\\\.\\PIPE\\OTALK", kError, "\\\\.\\PIPE\\ODATA"};
    snprintf(szListenPipe, sizeof szListenPipe, "%s", pipes[0]);
    snprintf(szTalkPipe, sizeof szTalkPipe, "%s", pipes[1]);
    snprintf(szErrorPipe, sizeof szErrorPipe, "%s", pipes[2]);
    snprintf(szData1Pipe, sizeof szData1Pipe, "%s", pipes[3]);
    ResetRemoteLoop();
    SetConnectionUi(nullptr);
    for (const char* n : pipes) FakePipeServerCreate(n);
    ASSERT_EQ(OpenRemoteConnection(), 1);
    bRemoteControlled = true;
    const std::string wave = dir + "outp_uw.wav";
    ASSERT_EQ(WriteTestWaveFile(wave.c_str()), 1);
    auto operationFile = [&](int32_t filter) {
        std::string ini = "[Operations]\nTestFile=" + dir + "outp_uw.mdb\n[DAC1]\nWaveSections=1\nDACFILTER=" +
                          std::to_string(filter) + "\nWaveSection1Length=300\nWS1PerformCount=4\nWaveFile=" +
                          wave + "\n";
        for (int n = 2; n <= 6; ++n) ini += "[DAC" + std::to_string(n) + "]\nWaveSections=0\n";
        FakeSetProfileFile("mtstest.ini", ini);
    };
    auto ask = [&](const std::string& message) {
        FakePipeServerSend(kListen, message);
        RemoteLoopTurn();
        std::vector<std::string> replies = FakePipeServerTake(kListen);
        EXPECT_EQ(replies.size(), 1u) << message;
        return replies.empty() ? int64_t{-1} : std::stoll(replies[0].c_str());
    };
    sDacChannel[0].HARDCHAN = 20;

    operationFile(100);
    ASSERT_EQ(ask("IT") & kRemoteErrorFlag, 0);
    const int64_t done = ask("UW");
    EXPECT_EQ(done & kRemoteErrorFlag, 0) << done;
    auto held = cards.Card(20);
    EXPECT_EQ(held["dacA.testWave"], "100:1:300/0/0:4/1/1");
    EXPECT_EQ(held["dacA.regions"], "0:300:4:300");
    const std::vector<int16_t> loaded = cards.Dac(20, 0, 0, 1000);
    ASSERT_EQ(loaded.size(), 300u);
    EXPECT_EQ(loaded[100], 5006);  // 32767 sin(2 pi 100 / 4096), truncated
    EXPECT_TRUE(FakePipeServerTake(kError).empty());

    operationFile(300);  // a filter the card does not have
    ASSERT_EQ(ask("IT") & kRemoteErrorFlag, 0);
    const int64_t refused = ask("UW");
    EXPECT_NE(refused & kRemoteErrorFlag, 0);
    EXPECT_EQ((refused >> 16) & 0xFF, 14);
    char line[256];
    FormatStatusLine(-1, 36, line, sizeof line);
    const std::vector<std::string> errors = FakePipeServerTake(kError);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(std::string(errors[0].c_str()), line);

    CloseRemoteConnection();
    bRemoteControlled = false;
    for (const char* n : pipes) FakePipeServerClose(n);
    remove(wave.c_str());
}

}  // namespace
