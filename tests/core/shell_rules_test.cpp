#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "base/app_state.h"
#include "shell/command_ids.h"
#include "acquire/engine.h"
#include "shell/shell_rules.h"
#include "testmodel/settings_ini.h"
#include "testmodel/model.h"

namespace {

class ShellRules : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReset();
        bSimulator = bNoHardware = bRecording = bPreviewing = bPlaying = false;
        bAppendMode = bClientMode = bServeData = false;
        bTestOpen = bTestSaved = false;
        bTestChanged = bTestChanged2 = false;
        nInputMode = -1;
        nSelectedChannel = 3;
        dSavedScaleFactor = 1.0;
        nForcedScaleChannel = -1;
        ASSERT_EQ(AllocateTestModel(), 1);
    }
    void TearDown() override { FreeTestModel(); }
};

TEST_F(ShellRules, InputModeCommandsMapBothWays) {
    const int32_t ids[12] = {144, 167, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165};
    for (int32_t mode = 0; mode < 12; ++mode) {
        EXPECT_EQ(InputModeOfCommand(ids[mode]), mode);
        EXPECT_EQ(CommandOfInputMode(mode), ids[mode]);
    }
    EXPECT_EQ(InputModeOfCommand(166), -1);
    EXPECT_EQ(CommandOfInputMode(12), -1);
}

TEST_F(ShellRules, ExcitationModeForcesUnityAndTransducerRestoresTheGain) {
    lpsChannelParams->GAIN[3] = 100.0;
    SelectInputMode(10);  // internal voltage: scale factor 1.0 while it lasts
    EXPECT_EQ(lpsChannelParams->GAIN[3], 1.0);
    SelectInputMode(11);  // a second excitation mode must not save the forced 1.0
    EXPECT_EQ(lpsChannelParams->GAIN[3], 1.0);
    SelectInputMode(0);
    EXPECT_EQ(lpsChannelParams->GAIN[3], 100.0);
    EXPECT_EQ(nInputMode, 0);
}

// A chosen mode reaches the card through the engine, between transfers: the
// choice leaves the request the engine takes up; a choice outside the
// table asks for nothing.
TEST_F(ShellRules, AChosenInputModeIsLeftForTheEngine) {
    bInputModeRequest = false;
    SelectInputMode(12);
    EXPECT_FALSE(bInputModeRequest);
    SelectInputMode(3);
    EXPECT_TRUE(bInputModeRequest);
    EXPECT_EQ(nInputMode, 3);
    bInputModeRequest = false;
}

TEST_F(ShellRules, VoltageCalModeKeepsTheFactorAndTransducerRestoresOnlyWhileSampling) {
    lpsChannelParams->VARIABLEGAINENABLE[3] = 1;
    lpsChannelParams->VARIABLEGAIN[3] = 2.5;
    SelectInputMode(2);
    EXPECT_EQ(lpsChannelParams->VARIABLEGAIN[3], 2.5);
    EXPECT_EQ(dSavedScaleFactor, 2.5);
    lpsChannelParams->VARIABLEGAIN[3] = 3.0;  // edited meanwhile, not sampling
    SelectInputMode(0);
    EXPECT_EQ(lpsChannelParams->VARIABLEGAIN[3], 3.0);
    SelectInputMode(2);
    lpsChannelParams->VARIABLEGAIN[3] = 7.0;
    bRecording = true;
    SelectInputMode(0);
    EXPECT_EQ(lpsChannelParams->VARIABLEGAIN[3], 3.0);
}

TEST_F(ShellRules, EveryWayBackToTransducerRestoresAGainAnExcitationModeForced) {
    // Excitation modes force the scale factor to 1.0; whatever modes follow,
    // coming back to Transducer must bring the channel's gain back, sampling
    // or not, or the next save stores 1.0 as the channel's gain.
    struct Case {
        std::vector<int32_t> modes;  // chosen in this order, then Transducer
        bool variableGain;
        bool sampling;
    } cases[] = {
        {{10}, false, false},
        {{11}, false, false},
        {{10, 2}, false, false},  // excitation, then a calibration mode
        {{11, 1}, false, false},
        {{10, 7, 9}, false, false},
        {{2, 10}, false, false},  // a calibration mode first keeps the real gain
        {{10, 11, 3}, false, false},
        {{10, 2}, true, false},
        {{10, 2}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "modes " << ::testing::PrintToString(c.modes)
                                        << (c.variableGain ? " variable gain" : "")
                                        << (c.sampling ? " sampling" : ""));
        nInputMode = -1;
        bRecording = c.sampling;
        lpsChannelParams->GAIN[3] = 100.0;
        lpsChannelParams->VARIABLEGAIN[3] = 2.5;
        lpsChannelParams->VARIABLEGAINENABLE[3] = c.variableGain ? 1 : 0;
        for (int32_t m : c.modes) SelectInputMode(m);
        SelectInputMode(0);
        EXPECT_EQ(lpsChannelParams->GAIN[3], 100.0);
        EXPECT_EQ(lpsChannelParams->VARIABLEGAIN[3], 2.5);
        EXPECT_EQ(nInputMode, 0);
    }
}

TEST_F(ShellRules, SimulatorCannotBeLeftWithoutHardware) {
    struct Case {
        bool sim, noHw, append;
        bool simAfter;
        const char* caption;
    } cases[] = {
        {true, false, false, false, "Morva Record & Playback Control. OVERWRITE MODE"},
        {true, false, true, false, "Morva Record & Playback Control. APPEND MODE"},
        {true, true, false, true, "Morva Record & Playback Control. SIMULATOR MODE"},
        {false, false, false, true, "Morva Record & Playback Control. SIMULATOR MODE"},
        {false, true, true, true, "Morva Record & Playback Control. SIMULATOR MODE"},
    };
    for (const Case& c : cases) {
        bSimulator = c.sim;
        bNoHardware = c.noHw;
        bAppendMode = c.append;
        EXPECT_STREQ(ToggleSimulator(), c.caption);
        EXPECT_EQ(bSimulator, c.simAfter);
    }
}

TEST_F(ShellRules, StartupCaptionHasTwoBlanksBeforeTheMode) {
    bSimulator = false;
    bAppendMode = true;
    EXPECT_STREQ(StartupPanelCaption(), "Morva Record & Playback Control  APPEND MODE");
    bAppendMode = false;
    EXPECT_STREQ(StartupPanelCaption(), "Morva Record & Playback Control  OVERWRITE MODE");
    bSimulator = true;
    EXPECT_STREQ(StartupPanelCaption(), "Morva Record & Playback Control  SIMULATOR MODE");
}

TEST_F(ShellRules, ScreenFileNamesGetTheDswExtension) {
    EXPECT_EQ(ScreenFilePath("c:\\screens\\run.txt"), "c:\\screens\\run.dsw");
    EXPECT_EQ(ScreenFilePath("c:\\screens\\run"), "c:\\screens\\run.dsw");
    EXPECT_EQ(ScreenFilePath("c:\\screens\\run.dsw"), "c:\\screens\\run.dsw");
    EXPECT_EQ(ScreenFilePath("c:\\a.b\\run"), "c:\\a.b\\run.dsw");  // dots in directories stay
    EXPECT_EQ(ScreenFilePath("run.old.txt"), "run.old.dsw");
}

TEST_F(ShellRules, FileFilterSeparatorBecomesNul) {
    std::string f;
    ASSERT_TRUE(MakeFileFilter("Morva Screens (*.dsw)|*.dsw|", &f));
    EXPECT_EQ(f, std::string("Morva Screens (*.dsw)\0*.dsw\0", 28));
    EXPECT_FALSE(MakeFileFilter("", &f));
    EXPECT_FALSE(MakeFileFilter(std::string(257, 'x').c_str(), &f));
}

TEST_F(ShellRules, ChangeBroadcastClearsBothFlagsOnce) {
    bTestChanged2 = true;
    EXPECT_TRUE(IdleWantsChange());
    EXPECT_FALSE(bTestChanged || bTestChanged2);
    EXPECT_FALSE(IdleWantsChange());
}

TEST_F(ShellRules, UpdatesWhileSamplingHardwareOnlyEarlyInTheTransfer) {
    bRecording = true;
    dwWaitThreshold = 400;
    dwLastBlockStart = 0xFFFFFF00u;  // the comparison survives the clock wrapping
    EXPECT_TRUE(IdleWantsUpdate(0xFFFFFF00u + 199));
    EXPECT_FALSE(IdleWantsUpdate(0xFFFFFF00u + 200));
    bSimulator = true;
    EXPECT_TRUE(IdleWantsUpdate(0xFFFFFF00u + 300));
    bSimulator = false;
    bRecording = false;
    EXPECT_TRUE(IdleWantsUpdate(12345));
}

TEST_F(ShellRules, IdleWaitIsBoundedByThePumpAndTheNextRefresh) {
    // Nothing live: only the cap.
    EXPECT_EQ(IdleWaitMs(1000, 1000, 0xFFFFFFFFu, true), kIdleWaitCapMs);
    // The pump's budget always wins when it is shorter.
    EXPECT_EQ(IdleWaitMs(1000, 1000, 3, false), 3u);
    EXPECT_EQ(IdleWaitMs(1000, 1000, 0, true), 0u);
    // Live values: until the next refresh, but only when something shows them.
    bSimulator = true;
    EXPECT_EQ(IdleWaitMs(1005, 1000, 0xFFFFFFFFu, true), kDisplayRefreshMs - 5);
    EXPECT_EQ(IdleWaitMs(1030, 1000, 0xFFFFFFFFu, true), 0u);
    EXPECT_EQ(IdleWaitMs(1005, 1000, 0xFFFFFFFFu, false), kIdleWaitCapMs);
    // The clock wrapping between refreshes does not make the wait huge.
    EXPECT_EQ(IdleWaitMs(3, 0xFFFFFFFEu, 0xFFFFFFFFu, true), kDisplayRefreshMs - 5);
}

TEST_F(ShellRules, AccessStartsOnTheTestDatabase) {
    EXPECT_EQ(AccessCommandLine("c:\\msoffice\\msaccess.exe", "c:\\zd418\\test1\\test1.mdb"),
              "c:\\msoffice\\msaccess.exe c:\\zd418\\test1\\test1.mdb");
}

TEST_F(ShellRules, AutobalanceWithoutHardwareWaitsAndSucceeds) {
    bNoHardware = true;
    std::string failures;
    uint32_t before = PlatformTimeMs();
    EXPECT_EQ(AutobalanceScannedChannels(&failures), AutobalanceResult::Balanced);
    EXPECT_EQ(PlatformTimeMs() - before, 3000u);
}

void ScanFourChannels() {
    lpProgScanList->EntryCount = 4;
    lpProgScanList->Entry[0] = {3, 0, 0, 0};
    lpProgScanList->Entry[1] = {5, 0, 0, 0};
    lpProgScanList->Entry[2] = {7, 1, 0, 0};
    lpProgScanList->Entry[3] = {9, 0, 0, 0};
    lpsChannelParams->AUTOBALANCEENABLE[5] = 0;
}

std::vector<int32_t> g_balanced;
int32_t BalanceAllButThree(int32_t channel) {
    g_balanced.push_back(channel);
    return channel == 3 ? 0 : 1;
}

TEST_F(ShellRules, AutobalanceListsEveryFailingScannedChannel) {
    // Only enabled block-0 channels are balanced; the failing ones are listed.
    ScanFourChannels();
    lpsChannelParams->AUTOBALANCEENABLE[9] = 1;
    g_balanced.clear();
    std::string failures;
    EXPECT_EQ(AutobalanceScannedChannels(&failures, BalanceAllButThree), AutobalanceResult::Failed);
    EXPECT_EQ(failures, "CHANNELS NOT AUTOBALANCING:: 3");
    EXPECT_EQ(g_balanced, std::vector<int32_t>({3, 9}));
}

TEST_F(ShellRules, AutobalanceWithoutTheLibraryListsEveryChannelAsFailed) {
    // Hardware expected but the control library handle is gone: every
    // balanced channel fails, and the operator is told why.
    ScanFourChannels();
    lpsChannelParams->AUTOBALANCEENABLE[9] = 1;
    std::string failures;
    EXPECT_EQ(AutobalanceScannedChannels(&failures), AutobalanceResult::Failed);
    EXPECT_EQ(failures, "CHANNELS NOT AUTOBALANCING:: 3 9");
    ASSERT_FALSE(FakeMessages().empty());
    EXPECT_EQ(FakeMessages()[0].text, "Problem loading Q90 library function");
}

TEST_F(ShellRules, AnalysisFilesOfATestWithoutRecordingFailAndSaySo) {
    // No test file and no recording: the export fails with a report, and the
    // analysis program is not started on stale files.
    EXPECT_EQ(PrepareAnalysisFiles(), AnalysisFiles::Failed);
    EXPECT_FALSE(FakeMessages().empty());
    bNoHardware = true;  // nothing recorded to export: the program just starts
    EXPECT_EQ(PrepareAnalysisFiles(), AnalysisFiles::Skipped);
}

TEST_F(ShellRules, NotAvailableNotesNameTheCommandAsTheMenuShowsIt) {
    struct Case {
        const char* menu;
        const char* name;
    } cases[] = {
        {"Autobalance", "Autobalance"},
        {"&Lm905 Data Analysis", "Lm905 Data Analysis"},
        {"Save Screen &As...", "Save Screen As"},
        {"Stop DACS && Zero", "Stop DACS & Zero"},
        {"Tabular ", "Tabular"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MenuItemName(c.menu), c.name) << c.menu;
        EXPECT_EQ(NotAvailableText(c.menu), std::string(c.name) + " Is Not Available In This Version");
    }
}

TEST_F(ShellRules, MenuCommandTableHasEveryIdAndNoOther) {
    // Every id of the frame's command table, and nothing else up to 1023.
    const std::vector<int32_t> table = {
        100, 101, 103, 104, 105, 107, 108, 109, 110, 111, 113, 114, 115, 116, 117, 118, 119, 121,
        123, 124, 125, 126, 128, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 142, 143,
        144, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165, 167, 168, 170, 172, 173, 175, 176,
        177, 179, 180, 181, 182, 184, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197,
        198, 199, 200, 201, 202, 206, 207, 208, 209, 210, 211, 212, 213, 214, 216, 217,
    };
    for (int32_t id = -1; id < 1024; ++id) {
        bool inTable = std::find(table.begin(), table.end(), id) != table.end();
        EXPECT_EQ(IsMenuCommand(id), inTable) << id;
    }
}

// What one idle pass broadcast, in order.
std::vector<IdleStep> g_steps;
bool g_replayEndsOnPlay = false;
void RecordStep(IdleStep step) {
    g_steps.push_back(step);
    if (step == IdleStep::Play && g_replayEndsOnPlay) bPlaying = false;  // the last replay step
}

TEST_F(ShellRules, IdlePassBroadcastsInTheirFixedOrder) {
    using S = IdleStep;
    struct Case {
        const char* what;
        bool changed, playing, replayEnds, stopRequest, recording;
        std::vector<IdleStep> steps;
    } cases[] = {
        {"nothing pending", false, false, false, false, false, {S::Update}},
        {"test changed", true, false, false, false, false, {S::Change, S::Update}},
        {"replaying", false, true, false, false, false, {S::Play, S::Update}},
        {"last replay step", false, true, true, false, false, {S::Play, S::PanelStopped, S::Stop, S::Update}},
        {"stop request", false, false, false, true, false, {S::Stop, S::Update}},
        // A stop while playing ends both with one stop broadcast.
        {"stop while playing", false, true, false, true, false, {S::Play, S::Stop, S::Update}},
        {"everything", true, true, true, false, false,
         {S::Change, S::Play, S::PanelStopped, S::Stop, S::Update}},
        // Sampling real hardware late in the transfer period: no update.
        {"late in a transfer", false, false, false, false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bTestChanged2 = c.changed;
        bPlaying = c.playing;
        g_replayEndsOnPlay = c.replayEnds;
        bStopRequest = c.stopRequest;
        bRecording = c.recording;
        dwWaitThreshold = 400;
        dwLastBlockStart = 1000;
        g_steps.clear();
        FakeSetTime(1300);
        bool updated = RunIdlePass(RecordStep);
        EXPECT_EQ(g_steps, c.steps);
        EXPECT_EQ(updated, !c.steps.empty() && c.steps.back() == S::Update);
        EXPECT_FALSE(bTestChanged || bTestChanged2 || bStopRequest);
        if (c.stopRequest || c.replayEnds) {
            EXPECT_FALSE(bPlaying);
        }
    }
}

TEST_F(ShellRules, NotepadOpensTheTestsTextFile) {
    struct Case {
        const char* test;
        const char* command;
    } cases[] = {
        {"c:\\zd418\\test1\\test1.mdb", "C:\\windows\\notepad.exe c:\\zd418\\test1\\test1.txt"},
        // A dot in a directory name is not the test's extension.
        {"c:\\data.v2\\t1\\t1.mdb", "C:\\windows\\notepad.exe c:\\data.v2\\t1\\t1.txt"},
    };
    for (const Case& c : cases) {
        std::string command;
        ASSERT_TRUE(NotepadCommandLine("C:\\windows", c.test, &command)) << c.test;
        EXPECT_EQ(command, c.command);
    }
    std::string command;
    EXPECT_FALSE(NotepadCommandLine("C:\\windows", "", &command));
}

int g_saves = 0;
int32_t CountSave() {
    ++g_saves;
    return 1;
}

TEST_F(ShellRules, ExitAnswersDecideWhatIsWritten) {
    struct Case {
        bool open, saved;
        int32_t answer;
        bool exits, saves;
        const char* caption;
    } cases[] = {
        {false, false, IDYES_, true, false, "Exit Morva?"},
        {false, false, IDNO_, false, false, "Exit Morva?"},
        {true, true, IDYES_, true, false, "Exit Morva?"},
        {true, false, IDYES_, true, true, "Save Unsaved Test First?"},
        {true, false, IDNO_, true, false, "Save Unsaved Test First?"},
        {true, false, IDCANCEL_, false, false, "Save Unsaved Test First?"},
    };
    for (const Case& c : cases) {
        FakeReset();
        ASSERT_EQ(AllocateTestModel(), 1);
        bTestOpen = c.open;
        bTestSaved = c.saved;
        g_saves = 0;
        FakePushAnswer(c.answer);
        EXPECT_EQ(RunExitSequence(CountSave), c.exits) << c.caption << " " << c.answer;
        ASSERT_EQ(FakeMessages().size(), 1u);
        EXPECT_EQ(FakeMessages()[0].caption, c.caption);
        EXPECT_EQ(g_saves, c.saves ? 1 : 0) << c.caption << " " << c.answer;
        EXPECT_EQ(FakeProfileFileExists("Q90.ini"), c.exits);
        EXPECT_EQ(FakeLiveAllocations() == 0, c.exits);  // blocks freed only on the way out
        if (!c.exits) FreeTestModel();
    }
    AllocateTestModel();  // TearDown frees
}

}  // namespace
