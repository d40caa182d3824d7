// Channel download, autobalance, readback and verification against the
// simulated chassis, through the program's own library binding.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "acquire/remote_loop.h"
#include "base/status_report.h"
#include "card_fixture.h"
#include "hardware/channel_download.h"
#include "scanlist/scan_table.h"
#include "shell/shell_rules.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

// The reports are text files (CR LF under Windows); compared by their lines.
std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text;
    for (char c : s.str())
        if (c != '\r') text += c;
    return text;
}

bool FileExists(const std::string& path) { return std::ifstream(path).good(); }

// Eight channels in block 0 on a chassis of mixed models.  Slot 2 refuses
// its filter, slot 5 its gain as "not installed" (64).
const char* kMixedChassis =
    "timebase virtual\n"
    "card 0-1 M15-C\n"
    "card 2 M13-B refuse 4 at filter\n"
    "card 3 M12\n"
    "card 4 M17-B\n"
    "card 5 M16 refuse 64 at gain\n"
    "card 6 M18-A\n"
    "card 7 M21\n";
const uint32_t kMixedTypes[8] = {6, 6, 4, 3, 8, 7, 10, 15};

class ChannelDownload : public SimTest {
  protected:
    CardControls cards;
    std::string dir;

    void SetUp() override {
        SimTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(cards.Bind(sim.lib));
        FreeTestModel();
        ResetSystemSettings();
        FakeSetProfileFile(kCardIniFile, ReadText(std::string(ZD418_SOURCE_DIR) + "/config/Q90CARD.ini"));
        ASSERT_EQ(AllocateTestModel(), 1);
        dir = ::testing::TempDir();
        snprintf(szTestFile, sizeof szTestFile, "%schan_dl.v1.mdb", dir.c_str());
        remove(LogPath().c_str());
        FakeSetProgramDirectory(dir.substr(0, dir.size() - 1));
        bTestSaved = true;
        bParametersDownloaded = true;
        dwRemoteStatus = 0;
    }
    void TearDown() override {
        hErrorPipe = 0;
        bRemoteControlled = false;
        remove(LogPath().c_str());
        FreeTestModel();
        SimTest::TearDown();
    }
    std::string LogPath() const { return dir + "chan_dl.log"; }

    // The mixed test: card types as the chassis holds them, names, settings
    // away from the power-on values so the download shows, channels 0-7 in
    // block 0 of the scan table.
    void MixedTest() {
        ASSERT_NO_FATAL_FAILURE(sim.Configure(kMixedChassis));
        ASSERT_TRUE(LoadControlLibrary());
        ChannelParams* p = lpsChannelParams;
        for (int c = 0; c < 8; ++c) {
            p->CARDTYPE[c] = kMixedTypes[c];
            snprintf(p->NAME[c], sizeof p->NAME[c], "CH%d", c);
        }
        for (int c = 8; c < kChannels; ++c) p->CARDTYPE[c] = 6;
        ASSERT_EQ(LoadCardTypes(), 1);
        for (int c : {0, 1, 2, 4, 5}) {
            p->GAIN[c] = 10;
            p->FILTER[c] = 625;
            p->EXCITATIONVOLTAGE[c] = 5;
        }
        p->VARIABLEGAINENABLE[1] = 1;
        p->VARIABLEGAIN[1] = 2.5;
        lpProgScanList->EntryCount = 8;
        lpProgScanList->BlockCount = 1;
        for (uint32_t c = 0; c < 8; ++c) lpProgScanList->Entry[c] = {c, 0, 0, 0};
        FakeClearMessages();
    }
};

// A fresh test on the shipped card types: every model in a chassis of all
// fifteen, every channel scanned.  Each keeps its wide band, which its card
// offers, so nothing is refused.
TEST_F(ChannelDownload, AFreshTestOnTheShippedCardTypesDownloadsWithoutARefusal) {
    std::string chassis = "timebase virtual\n";
    for (int c = 0; c < 15; ++c)
        chassis += "card " + std::to_string(c) + " " + CardModelName(c + 1) + "\n";
    chassis += "card 15-255 M13-B\n";
    ASSERT_NO_FATAL_FAILURE(sim.Configure(chassis));
    ASSERT_TRUE(LoadControlLibrary());
    ChannelParams* p = lpsChannelParams;
    for (int c = 0; c < kChannels; ++c) p->CARDTYPE[c] = c < 15 ? static_cast<uint32_t>(c + 1) : 4u;
    ASSERT_EQ(LoadCardTypes(), 1);
    ASSERT_EQ(lpProgScanList->EntryCount, 256u);
    for (int c = 0; c < 15; ++c) {
        SCOPED_TRACE(p->CardModel[c]);
        EXPECT_EQ(p->FILTER[c], 0.0);
        ASSERT_GE(p->FilterCount[c], 1u);
        EXPECT_EQ(p->FilterList[c][0], 0);
        for (uint32_t k = 0; k < p->FilterCount[c]; ++k) EXPECT_GE(p->FilterList[c][k], 0) << k;
    }
    // The amplifier cards get a gain away from their power-on value, so the
    // download shows on them.
    const int amplifiers[] = {3, 4, 5, 6, 7, 8, 12, 13, 200};
    for (int c : amplifiers) p->GAIN[c] = 10;
    FakeClearMessages();

    EXPECT_EQ(DownloadScannedChannels(), 1);
    EXPECT_EQ(ReadText(LogPath()), "");
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Channels Setup Properly");
    for (int c : amplifiers) EXPECT_EQ(std::stod(cards.Card(c)["gain"]), 10) << c;
}

TEST_F(ChannelDownload, RefusingCardsAreLoggedByStageWhileTheOthersGetTheirSettings) {
    ASSERT_NO_FATAL_FAILURE(MixedTest());
    EXPECT_EQ(DownloadChannelSettings(), 0);

    // Exactly the two refusing channels, in channel order, with stage and error.
    EXPECT_EQ(ReadText(LogPath()),
              "Channel 2 Named CH2 Failed During Filter Selection ::Bad Parameter\n"
              "Channel 5 Named CH5 Failed During Gain Selection ::Make Sure Channel Is Installed\n");
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Some Channels Failed Setup. View Log File For Details.");
    EXPECT_EQ(FakeMessages()[0].caption, "Channel Setup Error");
    EXPECT_EQ(FakeMessages()[0].style, MB_OK_ | MB_ICONEXCLAMATION_);

    // Every other channel holds its settings.
    for (int c : {0, 1, 4}) {
        auto card = cards.Card(c);
        EXPECT_EQ(std::stod(card["gain"]), 10) << c;
        EXPECT_EQ(std::stod(card["filter"]), 625) << c;
        EXPECT_EQ(std::stod(card["voltage"]), 5) << c;
    }
    EXPECT_EQ(cards.Card(1)["variableGainEnabled"], "1");
    EXPECT_EQ(std::stod(cards.Card(1)["variableGain"]), 2.5);
    // The refusing channels kept what they had before their refused stage:
    // slot 5 took its filter, slot 2 nothing from its filter on.
    EXPECT_EQ(std::stod(cards.Card(5)["filter"]), 625);
    EXPECT_EQ(std::stod(cards.Card(5)["gain"]), 1);
    EXPECT_EQ(std::stod(cards.Card(2)["filter"]), 0);
    EXPECT_EQ(std::stod(cards.Card(2)["gain"]), 1);
    // The download changes nothing in the test.
    EXPECT_EQ(lpsChannelParams->GAIN[2], 10);
    EXPECT_TRUE(bTestSaved);

    // Once the cards take their settings the log is rewritten empty.
    ASSERT_EQ(cards.cardRefuse(2, -1, 0), 1);
    ASSERT_EQ(cards.cardRefuse(5, -1, 0), 1);
    FakeClearMessages();
    EXPECT_EQ(DownloadScannedChannels(), 1);
    EXPECT_TRUE(FileExists(LogPath()));
    EXPECT_EQ(ReadText(LogPath()), "");
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Channels Setup Properly");
    EXPECT_EQ(FakeMessages()[0].caption, "Success");
    EXPECT_EQ(std::stod(cards.Card(2)["gain"]), 10);
    EXPECT_EQ(std::stod(cards.Card(5)["gain"]), 10);
}

TEST_F(ChannelDownload, RemoteControlledFailuresGoToTheErrorPipeAndStatusWord) {
    ASSERT_NO_FATAL_FAILURE(MixedTest());
    bRemoteControlled = true;
    hErrorPipe = FakePipeCreate();
    EXPECT_EQ(DownloadScannedChannels(), 0);
    EXPECT_EQ(FakePipeBytes(hErrorPipe), "WARNING::Channel Setup Error");
    EXPECT_EQ(dwRemoteStatus & kRemoteChannelFailure, kRemoteChannelFailure);
    EXPECT_TRUE(FakeMessages().empty());

    // One channel: the failure names the channel.
    hErrorPipe = FakePipeCreate();
    EXPECT_EQ(DownloadChannel(2), 0);
    EXPECT_EQ(FakePipeBytes(hErrorPipe), "WARNING::Channel Setup Error::Channel 2");

    // A good download clears the not-set-up bit.
    cards.cardRefuse(2, -1, 0);
    cards.cardRefuse(5, -1, 0);
    dwRemoteStatus = kRemoteChannelsNotSetUp | 0x1;
    EXPECT_EQ(DownloadScannedChannels(), 1);
    EXPECT_EQ(dwRemoteStatus, 0x1u) << "only the not-set-up bit is cleared";
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(ChannelDownload, OneChannelShowsTheLibrarysErrorWithTheChannel) {
    ASSERT_NO_FATAL_FAILURE(MixedTest());
    EXPECT_EQ(DownloadChannel(0), 1);
    EXPECT_EQ(std::stod(cards.Card(0)["gain"]), 10);
    EXPECT_EQ(std::stod(cards.Card(1)["gain"]), 1) << "only the one channel";
    FakeClearMessages();
    EXPECT_EQ(DownloadChannel(2), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    const std::string& text = FakeMessages()[0].text;
    EXPECT_NE(text.find("Bad Parameter"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 10), " Channel 2") << text;
}

TEST_F(ChannelDownload, WithoutTheLibraryNothingIsReportedAsDone) {
    ASSERT_NO_FATAL_FAILURE(MixedTest());
    ReleaseControlLibrary();
    FakeClearMessages();
    EXPECT_EQ(DownloadScannedChannels(), 0);
    EXPECT_EQ(DownloadChannel(0), 0);
    EXPECT_EQ(AutobalanceChannel(0), 0);
    ASSERT_EQ(FakeMessages().size(), 3u);
    EXPECT_EQ(FakeMessages()[0].text, "Problem loading Q90 library");
    EXPECT_EQ(FakeMessages()[2].text, "Problem loading Q90 library function");
    EXPECT_FALSE(FileExists(LogPath()));

    // Simulator mode: nothing reaches the hardware, everything succeeds.
    bSimulator = true;
    FakeClearMessages();
    EXPECT_EQ(DownloadScannedChannels(), 1);
    EXPECT_EQ(DownloadChannel(0), 1);
    EXPECT_EQ(AutobalanceChannel(0), 1);
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(ChannelDownload, DacFiltersGoByTheirIndexAmongTheCardsOptions) {
    ASSERT_NO_FATAL_FAILURE(MixedTest());
    ClassifyScanEntries();  // channel 7's M21 becomes DAC card 0
    ASSERT_EQ(nDacChannelList[0], 7);
    ASSERT_EQ(nDacChannelList[1], -1);
    const int32_t filters[8] = {0, 100, 200, 500, 1000, 0, 0, 0};
    memcpy(lpsChannelParams->FilterList[7], filters, sizeof filters);
    EXPECT_EQ(DownloadDacFilter(0, 1, 200), 1);
    EXPECT_EQ(cards.Card(7)["dacB.filterIndex"], "2");
    EXPECT_EQ(DownloadDacFilter(0, 0, 1000), 1);
    EXPECT_EQ(cards.Card(7)["dacA.filterIndex"], "4");
    EXPECT_EQ(DownloadDacFilter(0, 0, 300), 1) << "not an option: the first";
    EXPECT_EQ(cards.Card(7)["dacA.filterIndex"], "0");
    // No DAC card for the second record: nothing is sent.
    uint32_t calls = sim.callCount();
    EXPECT_EQ(DownloadDacFilter(1, 0, 200), 1);
    EXPECT_EQ(sim.callCount(), calls);
    EXPECT_TRUE(FakeMessages().empty());

    // A refusing card: the library's error, the channel and the question.
    ASSERT_EQ(cards.cardRefuse(7, 3, 4), 1);
    EXPECT_EQ(DownloadDacFilter(0, 1, 500), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    const std::string& text = FakeMessages()[0].text;
    EXPECT_NE(text.find("Bad Parameter"), std::string::npos) << text;
    EXPECT_NE(text.find(" Channel 7\nContinue Setup Of Next Channel?"), std::string::npos) << text;
    EXPECT_EQ(FakeMessages()[0].style & MB_YESNO_, MB_YESNO_);
    EXPECT_EQ(cards.Card(7)["dacB.filterIndex"], "2") << "unchanged";
}

TEST_F(ChannelDownload, AutobalanceNullsTheImbalanceAndListsEveryFailure) {
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\ncard 0-7 M15-C imbalance 12\n"
                                          "card 2 M15-C refuse 1\n"));
    ASSERT_TRUE(LoadControlLibrary());
    lpProgScanList->EntryCount = 6;
    lpProgScanList->BlockCount = 2;
    lpProgScanList->Entry[0] = {0, 0, 0, 0};
    lpProgScanList->Entry[1] = {2, 0, 0, 0};
    lpProgScanList->Entry[2] = {3, 0, 0, 0};
    lpProgScanList->Entry[3] = {4, 0, 0, 0};
    lpProgScanList->Entry[4] = {5, 0, 0, 0};
    lpProgScanList->Entry[5] = {6, 1, 0, 0};  // not in block 0
    for (int c = 0; c < 8; ++c) lpsChannelParams->AUTOBALANCEENABLE[c] = 1;
    lpsChannelParams->AUTOBALANCEENABLE[3] = 0;  // not balanced
    // Channel 4's card holds autobalance off (downloaded so), so its balance
    // is refused (16) although the test asks for it.
    ChannelParams* p = lpsChannelParams;
    p->AUTOBALANCEENABLE[4] = 0;
    ASSERT_EQ(DownloadChannel(4), 1);
    p->AUTOBALANCEENABLE[4] = 1;
    FakeClearMessages();

    std::string failures;
    EXPECT_EQ(AutobalanceScannedChannels(&failures), AutobalanceResult::Failed);
    EXPECT_EQ(failures, "CHANNELS NOT AUTOBALANCING:: 2 4");
    EXPECT_EQ(std::stod(cards.Card(0)["balance"]), -12);
    EXPECT_EQ(std::stod(cards.Card(5)["balance"]), -12);
    EXPECT_EQ(std::stod(cards.Card(3)["balance"]), 0) << "autobalance disabled in the test";
    EXPECT_EQ(std::stod(cards.Card(6)["balance"]), 0) << "no position in block 0";
    // The select failure is shown; the refused balance is not.
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Channel 2");
    EXPECT_EQ(FakeMessages()[0].caption, "Channel Select Failure ");

    // Remote-controlled: codes 25 and 24 with the channel, select bits set.
    bRemoteControlled = true;
    hErrorPipe = FakePipeCreate();
    EXPECT_EQ(AutobalanceChannel(2), 0);
    EXPECT_EQ(dwRemoteStatus & kRemoteSelectFailure, kRemoteSelectFailure);
    EXPECT_EQ(AutobalanceChannel(4), 0);
    EXPECT_EQ(FakePipeBytes(hErrorPipe),
              "WARNING::Channel Select Failure::Channel 2WARNING::Autobalance Failure::Channel 4");

    // A balance of the scanned channels with failures reports them one by
    // one and no success; once every card balances, code 27 alone.
    hErrorPipe = FakePipeCreate();
    EXPECT_EQ(AutobalanceScannedChannels(&failures), AutobalanceResult::Failed);
    EXPECT_EQ(FakePipeBytes(hErrorPipe),
              "WARNING::Channel Select Failure::Channel 2WARNING::Autobalance Failure::Channel 4");
    ASSERT_EQ(cards.cardRefuse(2, -1, 0), 1);
    p->AUTOBALANCEENABLE[4] = 0;
    hErrorPipe = FakePipeCreate();
    EXPECT_EQ(AutobalanceScannedChannels(&failures), AutobalanceResult::Balanced);
    EXPECT_EQ(FakePipeBytes(hErrorPipe), "SUCCESS::Channels Autobalanced Successfully");
    bRemoteControlled = false;

    // The recording start balances without a summary: no list to fill.
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\ncard 0-7 M15-C imbalance 12\n"
                                          "card 5 M15-C refuse 1\n"));
    FakeClearMessages();
    EXPECT_EQ(AutobalanceScannedChannels(nullptr), AutobalanceResult::Failed);
    EXPECT_EQ(std::stod(cards.Card(0)["balance"]), -12);
    EXPECT_EQ(std::stod(cards.Card(2)["balance"]), -12);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Channel 5");
}

// The supervisor's "AB": the scanned channels of the balancing card types,
// each failure with its code, and code 27 only when none failed.
TEST_F(ChannelDownload, RemoteAutobalanceReportsSuccessOnlyWhenEveryChannelBalanced) {
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\ncard 0-7 M17-B imbalance 12\n"
                                          "card 3 M17-B imbalance 12 refuse 1\n"));
    ASSERT_TRUE(LoadControlLibrary());
    lpProgScanList->EntryCount = 4;
    lpProgScanList->BlockCount = 2;
    lpProgScanList->Entry[0] = {0, 0, 0, 0};
    lpProgScanList->Entry[1] = {3, 0, 0, 0};
    lpProgScanList->Entry[2] = {4, 1, 0, 0};
    lpProgScanList->Entry[3] = {0, 1, 0, 0};
    for (int c = 0; c < 8; ++c) {
        lpsChannelParams->CARDTYPE[c] = 8;
        lpsChannelParams->AUTOBALANCEENABLE[c] = 1;
    }
    ResetRemoteLoop();
    bRemoteControlled = true;
    hErrorPipe = FakePipeCreate();
    PerformRemoteCommand(DecodeRemoteMessage("AB", 2));
    EXPECT_EQ(FakePipeBytes(hErrorPipe), "WARNING::Channel Select Failure::Channel 3");
    EXPECT_EQ(std::stod(cards.Card(4)["balance"]), -12) << "every used position, not only block 0";

    ASSERT_EQ(cards.cardRefuse(3, -1, 0), 1);
    hErrorPipe = FakePipeCreate();
    PerformRemoteCommand(DecodeRemoteMessage("AB", 2));
    EXPECT_EQ(FakePipeBytes(hErrorPipe), "SUCCESS::Channels Autobalanced Successfully");
    EXPECT_EQ(std::stod(cards.Card(3)["balance"]), -12);
    ResetRemoteLoop();
}

// The wait window follows the download channel by channel, each scanned
// channel once and in channel order whatever the scan order, then ends.
std::vector<int32_t> g_progress;
void RecordProgress(int32_t channel) { g_progress.push_back(channel); }

TEST_F(ChannelDownload, ProgressNamesEachScannedChannelOnceInChannelOrder) {
    ASSERT_NO_FATAL_FAILURE(MixedTest());
    lpProgScanList->EntryCount = 7;
    lpProgScanList->BlockCount = 4;
    const ProgScanEntry order[7] = {{5, 0, 0, 0}, {2, 0, 0, 0}, {5, 1, 0, 0}, {kScanEmpty, 0, 0, 0},
                                    {7, 2, 0, 0}, {0, 3, 0, 0}, {2, 3, 0, 0}};
    for (int i = 0; i < 7; ++i) lpProgScanList->Entry[i] = order[i];
    lpProgScanList->Entry[7] = {1, 0, 0, 0};  // beyond the entry count
    g_progress.clear();
    SetChannelDownloadProgress(RecordProgress);
    EXPECT_EQ(DownloadScannedChannels(), 0);
    SetChannelDownloadProgress(nullptr);
    EXPECT_EQ(g_progress, (std::vector<int32_t>{0, 2, 5, 7, -1}));
    EXPECT_EQ(ReadText(LogPath()),
              "Channel 2 Named CH2 Failed During Filter Selection ::Bad Parameter\n"
              "Channel 5 Named CH5 Failed During Gain Selection ::Make Sure Channel Is Installed\n");
    EXPECT_EQ(std::stod(cards.Card(0)["gain"]), 10);
    EXPECT_EQ(std::stod(cards.Card(1)["gain"]), 1) << "not scanned";

    // A good download ends the same way.
    ASSERT_EQ(cards.cardRefuse(2, -1, 0), 1);
    ASSERT_EQ(cards.cardRefuse(5, -1, 0), 1);
    g_progress.clear();
    SetChannelDownloadProgress(RecordProgress);
    EXPECT_EQ(DownloadScannedChannels(), 1);
    SetChannelDownloadProgress(nullptr);
    EXPECT_EQ(g_progress, (std::vector<int32_t>{0, 2, 5, 7, -1}));
    EXPECT_EQ(std::stod(cards.Card(5)["gain"]), 10);
}

TEST_F(ChannelDownload, ReadbackShowsWhatTheCardsHold) {
    ASSERT_NO_FATAL_FAILURE(MixedTest());
    lpsChannelParams->FILTER[4] = 0;
    lpsChannelParams->EXCITATIONSOURCE[4] = 0;
    lpsChannelParams->EXCITATIONCURRENT[4] = 15;
    EXPECT_EQ(DownloadChannelSettings(), 0);
    FakeClearMessages();

    ChannelReadback r;
    ASSERT_EQ(ReadChannelSettings(0, &r), 1);
    ReadbackText t = FormatReadback(r);
    EXPECT_EQ(t.Gain, "10");
    EXPECT_EQ(t.VariableGainStatus, "DISABLED");
    EXPECT_EQ(t.VariableGain, "FIXED");
    EXPECT_EQ(t.Filter, "625");
    EXPECT_EQ(t.Excitation, "5 Volts");
    EXPECT_EQ(t.ExcitationType, "VOLTAGE");
    EXPECT_EQ(t.AutobalanceStatus, "ENABLED");
    EXPECT_EQ(t.AutozeroStatus, "ENABLED");

    ASSERT_EQ(ReadChannelSettings(1, &r), 1);
    t = FormatReadback(r);
    EXPECT_EQ(t.Gain, "VARIABLE");
    EXPECT_EQ(t.VariableGainStatus, "ENABLED");
    EXPECT_EQ(t.VariableGain, "2.5000");

    ASSERT_EQ(ReadChannelSettings(4, &r), 1);
    t = FormatReadback(r);
    EXPECT_EQ(t.Filter, "WideBand");
    EXPECT_EQ(t.Excitation, "15");
    EXPECT_EQ(t.ExcitationType, "CURRENT");

    // A card that refuses its selection: the message, and no readback.
    ASSERT_EQ(cards.cardRefuse(2, 0, 1), 1);
    FakeClearMessages();
    ASSERT_EQ(ReadChannelSettings(2, &r), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Error Selecting Channel 2");
    EXPECT_EQ(FakeMessages()[0].caption, "Can Not Retrieve Values From Channel");
    EXPECT_FALSE(r.Selected);

    // Simulator mode: the fixed picture, nothing asked of the cards.
    bSimulator = true;
    uint32_t calls = sim.callCount();
    ASSERT_EQ(ReadChannelSettings(0, &r), 1);
    EXPECT_EQ(sim.callCount(), calls);
    t = FormatReadback(r);
    EXPECT_EQ(t.Gain, "1");
    EXPECT_EQ(t.Filter, "WideBand");
    EXPECT_EQ(t.Excitation, "10 Volts");
    EXPECT_EQ(t.VariableGainStatus, "DISABLED");
}


// Verification: channel 0 is an M15-C card that the test calls an M13-B with
// a wrong gain list; channel 1 an M17-B card (code 850).
class Verify : public ChannelDownload {
  protected:
    void SetUp() override {
        ChannelDownload::SetUp();
        ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\ncard 0 M15-C\ncard 1 M17-B code 850\n"
                                              "card 2 M15-C\n"));
        ASSERT_TRUE(LoadControlLibrary());
        for (int c = 0; c < kChannels; ++c) lpsChannelParams->CARDTYPE[c] = 4;
        lpsChannelParams->CARDTYPE[2] = 6;
        ASSERT_EQ(LoadCardTypes(), 1);
        // The lists exactly as the amplifier cards report them (Q90CARD.ini
        // read by its rules pads them with counted 1s), then one wrong gain.
        const int32_t gains[16] = {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000, 0, 0, 0};
        const int32_t filters[8] = {0, 625, 1250, 2500, 5000, 0, 0, 0};
        for (int c = 0; c < 3; ++c) {
            ChannelParams* p = lpsChannelParams;
            memcpy(p->GainList[c], gains, sizeof gains);
            memcpy(p->FilterList[c], filters, sizeof filters);
            p->GainCount[c] = 13;
            p->FilterCount[c] = 5;
        }
        lpsChannelParams->GainList[0][1] = 7;
        lpsChannelParams->GAIN[0] = 7;
        remove(HardwareReportPath().c_str());
        FakeClearMessages();
    }
    void TearDown() override {
        remove(HardwareReportPath().c_str());
        ChannelDownload::TearDown();
    }
};

TEST_F(Verify, WithoutApplyReportsMismatchesAndChangesNothing) {
    VerifyOptions o;  // single channel 0, report and Notepad on
    EXPECT_EQ(VerifyChannelHardware(o), 1);
    ASSERT_EQ(FakeMessages().size(), 2u);
    EXPECT_EQ(FakeMessages()[0].text, "Channel 0 Has Mismatches in Gains: ");
    EXPECT_EQ(FakeMessages()[0].caption, "Hardware and Software Settings Mismatch.  Continue?");
    EXPECT_EQ(FakeMessages()[1].text, "Done Verifying Channel 0");
    EXPECT_EQ(FakeMessages()[1].caption, "Done With Single Channel Verification");
    EXPECT_EQ(lpsChannelParams->CARDTYPE[0], 4u);
    EXPECT_STREQ(lpsChannelParams->CardModel[0], "M13-B");
    EXPECT_EQ(lpsChannelParams->GainList[0][1], 7);
    EXPECT_TRUE(bTestSaved);
    EXPECT_TRUE(bParametersDownloaded);

    // The report: header, the channel's block with the card's code and lists.
    std::string report = ReadText(HardwareReportPath());
    EXPECT_EQ(report.rfind("**********************HARDWARE INFORMATION***********************\n"
                           "-------------\nChannel 0\n-------------\nModel \t\t600\nSerial Number \t10000\n"
                           "Gain0 \t\t1.000000\nGain1 \t\t2.000000\n",
                           0),
              0u)
        << report;
    EXPECT_NE(report.find("Gain12 \t\t1000.000000\nGain13 \t\t0.000000\n"), std::string::npos);
    EXPECT_NE(report.find("Filter1 \t625.000000\n"), std::string::npos);
    EXPECT_NE(report.find("Voltage9 \t10.000000\n"), std::string::npos);
    EXPECT_NE(report.find("Current0 \t5.000000\n"), std::string::npos);
    ASSERT_EQ(FakeStartedPrograms().size(), 1u);
    EXPECT_EQ(FakeStartedPrograms()[0], HardwareReportCommand());
}

TEST_F(Verify, ApplyAdoptsTheHardwareListsAndModel) {
    VerifyOptions o;
    o.Apply = true;
    o.OpenNotepad = false;
    EXPECT_EQ(VerifyChannelHardware(o), 1);
    ChannelParams* p = lpsChannelParams;
    EXPECT_EQ(p->CARDTYPE[0], 6u);
    EXPECT_STREQ(p->CardModel[0], "M15-C");
    const int32_t gains[16] = {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000, 0, 0, 0};
    for (int k = 0; k < 16; ++k) EXPECT_EQ(p->GainList[0][k], gains[k]) << k;
    EXPECT_EQ(p->GainCount[0], 13u);
    EXPECT_EQ(p->GAIN[0], 1);
    // Wide band plus the four filters.
    EXPECT_EQ(p->FilterCount[0], 5u);
    EXPECT_EQ(p->FilterList[0][4], 5000);
    EXPECT_EQ(p->FILTER[0], 0);
    EXPECT_EQ(p->EXCITATIONVOLTAGE[0], p->VoltageList[0][0]);
    EXPECT_FALSE(bTestSaved);
    EXPECT_FALSE(bParametersDownloaded);
    EXPECT_TRUE(FakeStartedPrograms().empty());

    // The 16-bit choice decides between the two M17 models.
    o.Channel = 1;
    o.SixteenBit = false;
    EXPECT_EQ(VerifyChannelHardware(o), 1);
    EXPECT_EQ(p->CARDTYPE[1], 8u);
    o.SixteenBit = true;
    EXPECT_EQ(VerifyChannelHardware(o), 1);
    EXPECT_EQ(p->CARDTYPE[1], 9u);
    EXPECT_STREQ(p->CardModel[1], "M17-C");
}

TEST_F(Verify, NothingIsAdoptedWithoutAQueryOrInSimulatorMode) {
    VerifyOptions o;
    o.Apply = true;
    o.OpenNotepad = false;
    // Simulator mode: the record is not queried, so nothing may be taken from it.
    bSimulator = true;
    EXPECT_EQ(VerifyChannelHardware(o), 1);
    EXPECT_EQ(lpsChannelParams->CARDTYPE[0], 4u);
    EXPECT_EQ(lpsChannelParams->GainList[0][1], 7);
    EXPECT_TRUE(bTestSaved);
    bSimulator = false;

    // A channel that cannot be selected: asked whether to go on, not adopted.
    ASSERT_EQ(cards.cardRefuse(0, 0, 1), 1);
    FakeClearMessages();
    FakePushAnswer(IDYES_);
    EXPECT_EQ(VerifyChannelHardware(o), 1);
    EXPECT_EQ(FakeMessages()[0].text, "Could Not Select Channel 0.  Continue?");
    EXPECT_EQ(FakeMessages()[0].caption, "Error Verifying Channel");
    EXPECT_EQ(lpsChannelParams->CARDTYPE[0], 4u);
    EXPECT_EQ(lpsChannelParams->GainList[0][1], 7);
    // No ends the verification there.
    FakeClearMessages();
    FakePushAnswer(IDNO_);
    EXPECT_EQ(VerifyChannelHardware(o), 0);
    EXPECT_EQ(FakeMessages().size(), 1u);
}

TEST_F(Verify, TypeSixReportsOnlyGainAndFilterMismatches) {
    VerifyOptions o;
    o.Channel = 2;
    o.OpenNotepad = false;
    lpsChannelParams->VoltageList[2][3] = 77;
    EXPECT_EQ(VerifyChannelHardware(o), 1);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Done Verifying Channel 2");
    // On another type the same difference is reported.
    lpsChannelParams->CARDTYPE[2] = 4;
    FakeClearMessages();
    EXPECT_EQ(VerifyChannelHardware(o), 1);
    EXPECT_EQ(FakeMessages()[0].text, "Channel 2 Has Mismatches in Excitation Voltages: ");
}

TEST_F(Verify, ScanListChannelsGoInScanOrderAndAskBetweenChannels) {
    lpProgScanList->EntryCount = 4;
    lpProgScanList->Entry[0] = {2, 0, 0, 0};
    lpProgScanList->Entry[1] = {1, 0, 0, 0};
    lpProgScanList->Entry[2] = {2, 1, 0, 0};
    lpProgScanList->Entry[3] = {kScanEmpty, 1, 0, 0};
    VerifyOptions o;
    o.Scope = VerifyScope::ScanListChannels;
    o.OpenNotepad = false;
    EXPECT_EQ(VerifyChannelHardware(o), 2);
    std::vector<std::string> texts;
    for (const FakeMessage& m : FakeMessages()) texts.push_back(m.text);
    EXPECT_EQ(texts, std::vector<std::string>({"Done Verifying Channel 2. Continue With Next Channel?",
                                               "Done Verifying Scan List Channels"}));
    std::string report = ReadText(HardwareReportPath());
    EXPECT_LT(report.find("Channel 2\n"), report.find("Channel 1\n"));

    FakeClearMessages();
    o.Scope = VerifyScope::None;
    EXPECT_EQ(VerifyChannelHardware(o), -1);
    EXPECT_EQ(FakeMessages()[0].text, "You Must Pick A Verification Type First");
}

}  // namespace
