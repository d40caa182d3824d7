// The control panel's rules and option dialogs, and the engine's CVT
// conversion, without a front end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "acquire/dds_control.h"
#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/raw_file.h"
#include "acquire/recording_options.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "hardware/gpib_access.h"
#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

class AcquirePanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        ResetEngine();
        ResetPanel();
        bSimulator = bRemoteControlled = bClientMode = bRecording = bPreviewing = false;
        bPlaying = bStopRequest = false;
        bParametersDownloaded = true;
        nDDSRunning = 0;
        nDDSDevice = -1;
        nScansPerTransfer = 0;
        nTransferWords = 0;
    }
    void TearDown() override {
        CloseRawFile();
        FreeTestModel();
    }
    static std::string LastText() { return FakeMessages().empty() ? "" : FakeMessages().back().text; }
};

TEST_F(AcquirePanelTest, OptionFieldsAreClampedAndNeverTrap) {
    struct SecondsCase {
        const char* text;
        int32_t expected;
    } seconds[] = {{"12", 12}, {"12.9", 12}, {"-3", 0}, {"abc", 0}, {"", 0},
                   {"nan", 0}, {"1e30", 2147483647}, {"inf", 0}};
    for (const auto& c : seconds) EXPECT_EQ(ParseRecordSeconds(c.text), c.expected) << c.text;
    struct DelayCase {
        const char* text;
        uint32_t expected;
    } delays[] = {{"30", 30}, {"5000", 1000}, {"-5", 0}, {"x", 0}, {"999.9", 999}};
    for (const auto& c : delays) EXPECT_EQ(ParseReplayDelay(c.text), c.expected) << c.text;
}

TEST_F(AcquirePanelTest, UnsetModesFallBackToThePanelWithTheirMessages) {
    ConfirmRecordingOptions(-1, -1, 7, true, false);
    EXPECT_EQ(nTriggerState, 0);
    EXPECT_EQ(nRecordingType, 0);
    EXPECT_EQ(nRecordingTime, 7);
    EXPECT_TRUE(bAppendMode);
    ASSERT_EQ(FakeMessages().size(), 2u);
    EXPECT_EQ(FakeMessages()[0].text, "You Did Not Specify A Recording Style");
    EXPECT_EQ(FakeMessages()[1].text, "You Did Not Specify A Trigger Option");
}

TEST_F(AcquirePanelTest, PlayWithoutADownloadedScanListIsRefused) {
    EXPECT_EQ(PanelPlay(), 0);
    EXPECT_EQ(LastText(), "You Have Not Properly Downloaded A ScanList Please Do So First");
    EXPECT_FALSE(bPreviewing);
    EXPECT_EQ(nDDSRunning, 0);
}

TEST_F(AcquirePanelTest, AScanListChangedSinceTheDownloadBlocksTheStart) {
    // Downloaded with 24 positions; the table now has 256.
    lpProgScanList->EntryCount = 256;
    lpProgScanList->BlockCount = 1;
    nScansPerTransfer = 2015;
    nTransferWords = 32 * 2015;
    bSimulator = true;
    EXPECT_EQ(StartDDS(), 0);
    EXPECT_EQ(nDDSRunning, 0);
    EXPECT_EQ(LastText(), "You Have Not Properly Downloaded A ScanList Please Do So First");
    // With the table it was made for, the same download starts.
    lpProgScanList->EntryCount = 24;
    EXPECT_EQ(StartDDS(), 1);
    EXPECT_EQ(sTransferLayout.TransferBytes, 2u * 32 * 2015);
}

TEST_F(AcquirePanelTest, SimulatedRecordShowsRecordingWithoutFileOrBus) {
    lpProgScanList->EntryCount = 24;
    lpProgScanList->BlockCount = 1;
    nScansPerTransfer = 100;
    nTransferWords = 32 * 100;
    bSimulator = true;
    PanelRecord();
    EXPECT_TRUE(bRecording);
    EXPECT_STREQ(sPanelView.Status, "RECORDING");
    EXPECT_FALSE(RawFileIsOpen());
    PanelStop();
    EXPECT_FALSE(bRecording);
    EXPECT_STREQ(sPanelView.Status, "NOT SAMPLING");
    EXPECT_TRUE(bStopRequest);
}

TEST_F(AcquirePanelTest, RecordWithAnAutomaticTriggerOnlyExplains) {
    nTriggerState = 3;
    PanelRecord();
    EXPECT_EQ(LastText(), "Trigger State Is Not Via Control Panel");
    EXPECT_FALSE(bRecording);
}

TEST_F(AcquirePanelTest, ReplayButtonsAndPause) {
    PanelReplayButton(kButtonPause);  // nothing playing: repaint stopped, no change
    EXPECT_FALSE(bPlaying);
    EXPECT_FALSE(bPaused);
    EXPECT_STREQ(sPanelView.Status, "NOT SAMPLING");

    PanelReplayButton(kButtonRewind);
    EXPECT_TRUE(bPlaying);
    EXPECT_EQ(nPlayMode, 2);
    EXPECT_STREQ(sPanelView.Status, "<< PLAYING");
    PanelReplayButton(kButtonPause);
    EXPECT_TRUE(bPaused);
    EXPECT_FALSE(bPlaying);
    EXPECT_STREQ(sPanelView.Status, "PAUSED");
    PanelReplayButton(kButtonPause);
    EXPECT_TRUE(bPlaying);
    EXPECT_STREQ(sPanelView.Status, "<< PLAYING");

    // Not while sampling.
    PanelStop();
    bPreviewing = true;
    PanelReplayButton(kButtonEnd);
    EXPECT_FALSE(bPlaying);
}

TEST_F(AcquirePanelTest, EngineStopClosesTheFileAndClearsSampling) {
    const std::string name = "zd418_panel_stop.raw";
    ASSERT_EQ(OpenRawFileNamed(name.c_str(), false), 1);
    bRecording = true;
    PanelNotification(kPanelRecordingStopped);
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_FALSE(bRecording);
    EXPECT_STREQ(sPanelView.Status, "NOT SAMPLING");
    remove(name.c_str());
}

TEST_F(AcquirePanelTest, CommandsThatWouldChangeARunningRecordingAreBlocked) {
    for (int32_t id : {101, 103, 105, 107, 108, 110, 111, 126, 141, 194, 216})
        EXPECT_TRUE(CommandBlockedWhileSampling(id)) << id;
    for (int32_t id : {102, 106, 120, 125, 129, 130, 131, 132})
        EXPECT_FALSE(CommandBlockedWhileSampling(id)) << id;
    EXPECT_FALSE(SamplingBlocksCommands());
    bRecording = true;
    EXPECT_TRUE(SamplingBlocksCommands());
}

// ---- CVT conversion of the newest transfer --------------------------------------------

TEST_F(AcquirePanelTest, CvtConvertsTheNewestScanToEngineeringUnits) {
    // Three channels at positions 0-2; 12-bit, 16-bit with variable gain,
    // and one whose gain is 0 (counts as 1).
    lpProgScanList->EntryCount = 3;
    lpProgScanList->BlockCount = 1;
    ChannelParams* cp = lpsChannelParams;
    for (int c = 0; c < kChannels; ++c) cp->ScanPosition[c] = -1;
    cp->ScanPosition[0] = 16;
    cp->ScanPosition[1] = 18;
    cp->ScanPosition[2] = 20;
    nChannelAdcBits[0] = 12;
    nChannelAdcBits[1] = 16;
    nChannelAdcBits[2] = 16;
    cp->GAIN[0] = 2.0;
    cp->SENSITIVITY[0] = 3.0;
    cp->OFFSET[0] = 1.0;
    cp->VARIABLEGAINENABLE[1] = 1;
    cp->VARIABLEGAIN[1] = 4.0;
    cp->GAIN[1] = 100.0;
    cp->SENSITIVITY[1] = 1.0;
    cp->OFFSET[1] = 0.0;
    cp->GAIN[2] = 0.0;
    cp->SENSITIVITY[2] = 1.0;
    cp->OFFSET[2] = 0.0;

    sEngine.ScanBytes = 22;
    sEngine.TransferBytes = 44;  // two scans
    sEngine.BlockCounter = 1;    // buffer 0 is the newest
    uint16_t* b = lpucNewData0;
    b[8] = 2048;                           // scan 0
    b[9] = 32767;
    b[10] = static_cast<uint16_t>(-16384);
    b[11 + 8] = static_cast<uint16_t>(-2048);  // scan 1, channel 0
    sEngine.CvtScanIndex = 0;
    RefreshCvt();
    EXPECT_DOUBLE_EQ(lpCVT->Value[0], 2048 * 10000.0 / 2048 / 2.0 * 3.0 + 1.0);
    EXPECT_DOUBLE_EQ(lpCVT->Value[1], 32767 * 10000.0 / 32768 / 4.0);
    EXPECT_DOUBLE_EQ(lpCVT->Value[2], -5000.0);
    EXPECT_EQ(lpCVT->Format[2], -16384);
    EXPECT_EQ(sEngine.CvtScanIndex, 1u);

    RefreshCvt();
    EXPECT_DOUBLE_EQ(lpCVT->Value[0], -10000.0 / 2.0 * 3.0 + 1.0);
    // Past the last scan the values stop changing.
    const double before = lpCVT->Value[0];
    b[8] = 0;
    RefreshCvt();
    EXPECT_DOUBLE_EQ(lpCVT->Value[0], before);
}

}  // namespace
