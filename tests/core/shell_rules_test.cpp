#include <gtest/gtest.h>

#include <string>

#include "platform/fake/fake_platform.h"
#include "base/app_state.h"
#include "shell/command_ids.h"
#include "base/pending_parts.h"
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
    EXPECT_TRUE(AutobalanceScannedChannels(&failures));
    EXPECT_EQ(PlatformTimeMs() - before, 3000u);
}

TEST_F(ShellRules, AutobalanceListsEveryFailingScannedChannel) {
    // The channel hardware is not reachable yet, so every enabled block-0
    // channel fails; disabled ones and other blocks are skipped.
    lpProgScanList->EntryCount = 4;
    lpProgScanList->Entry[0] = {3, 0, 0, 0};
    lpProgScanList->Entry[1] = {5, 0, 0, 0};
    lpProgScanList->Entry[2] = {7, 1, 0, 0};
    lpProgScanList->Entry[3] = {9, 0, 0, 0};
    lpsChannelParams->AUTOBALANCEENABLE[5] = 0;
    std::string failures;
    EXPECT_FALSE(AutobalanceScannedChannels(&failures));
    EXPECT_EQ(failures, "CHANNELS NOT AUTOBALANCING:: 3 9");
}

TEST_F(ShellRules, MenuCommandTableHasEveryIdAndNoOther) {
    for (int32_t id : {100, 101, 125, 144, 167, 184, 206, 213, 214, 216, 217})
        EXPECT_TRUE(IsMenuCommand(id)) << id;
    for (int32_t id : {99, 102, 106, 145, 166, 203, 215, 218, 800})
        EXPECT_FALSE(IsMenuCommand(id)) << id;
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
