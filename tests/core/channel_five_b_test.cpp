// 5B modules: the dialog's store, module positions in the scan and values.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/app_state.h"
#include "channels/five_b_rules.h"
#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"

namespace {

class FiveB : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReset();
        ASSERT_EQ(AllocateTestModel(), 1);
        for (int c = 0; c < kChannels; ++c) lpsChannelParams->CARDTYPE[c] = 6;
        FakeClearMessages();
        bTestSaved = true;
    }
    void TearDown() override { FreeTestModel(); }
    void Rows(FiveBRowText rows[kFiveBModules]) {
        for (int m = 0; m < kFiveBModules; ++m) {
            rows[m].Name = "Module name " + std::to_string(m) + std::string(40, 'x');
            rows[m].Units = "units" + std::to_string(m) + "long";
            rows[m].Slope = std::to_string(m + 1) + ".5";
            rows[m].Offset = "-" + std::to_string(m);
        }
    }
};

TEST_F(FiveB, OkStoresEveryRowCutToItsField) {
    FiveBRowText rows[kFiveBModules];
    Rows(rows);
    ASSERT_EQ(StoreFiveBModules(7, rows), 1);
    const FiveBModule& b = lpsChannelParams->FiveB;
    for (int m = 0; m < kFiveBModules; ++m) {
        EXPECT_EQ(std::string(b.NAME[7][m]), rows[m].Name.substr(0, 31)) << m;
        EXPECT_EQ(std::string(b.UNITS[7][m]), rows[m].Units.substr(0, 7)) << m;
        EXPECT_EQ(b.SENSITIVITY[7][m], m + 1.5);
        EXPECT_EQ(b.OFFSET[7][m], -m);
    }
    EXPECT_FALSE(bTestSaved);
    FiveBRowText shown[kFiveBModules];
    FiveBModuleRows(7, shown);
    EXPECT_EQ(shown[2].Slope, "3.5000");
    EXPECT_EQ(shown[2].Offset, "-2.0000");
    EXPECT_EQ(shown[15].Units, "units15");
}

TEST_F(FiveB, ABadNumberStoresNoRowAtAll) {
    FiveBRowText rows[kFiveBModules];
    Rows(rows);
    ASSERT_EQ(StoreFiveBModules(7, rows), 1);
    auto before = std::make_unique<FiveBModule>();
    memcpy(before.get(), &lpsChannelParams->FiveB, sizeof *before);
    bTestSaved = true;
    for (int m = 0; m < kFiveBModules; ++m) rows[m].Name = "changed";
    rows[12].Offset = "1.2.3";
    EXPECT_EQ(StoreFiveBModules(7, rows), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "The Slope And Offset Of Module 12 Must Be Numbers");
    EXPECT_EQ(memcmp(before.get(), &lpsChannelParams->FiveB, sizeof *before), 0);
    EXPECT_TRUE(bTestSaved);
}

TEST_F(FiveB, ModulesLieAtTheChannelsPositionsInTableOrder) {
    // Channel 3 is a 5B channel with only three positions; channel 1 an
    // amplifier in between.
    lpsChannelParams->CARDTYPE[3] = 3;
    lpProgScanList->EntryCount = 5;
    lpProgScanList->Entry[0] = {1, 0, 0, 0};
    lpProgScanList->Entry[1] = {3, 3, 0, 1};
    lpProgScanList->Entry[2] = {1, 4, 0, 0};
    lpProgScanList->Entry[3] = {3, 7, 0, 1};
    lpProgScanList->Entry[4] = {3, 11, 0, 1};
    int32_t offsets[kFiveBModules];
    FiveBModuleOffsets(3, offsets);
    EXPECT_EQ(offsets[0], 18);
    EXPECT_EQ(offsets[1], 22);
    EXPECT_EQ(offsets[2], 24);
    for (int m = 3; m < kFiveBModules; ++m) EXPECT_EQ(offsets[m], -1) << m;

    // Never more than 16, even with more positions.
    lpProgScanList->EntryCount = 40;
    for (uint32_t p = 0; p < 40; ++p) lpProgScanList->Entry[p] = {3, p, 0, 1};
    FiveBModuleOffsets(3, offsets);
    EXPECT_EQ(offsets[15], 16 + 2 * 15);
}

TEST_F(FiveB, ValuesUseTheCardsConverterAndAGuardedGain) {
    lpsChannelParams->CARDTYPE[3] = 3;
    lpsChannelParams->FiveB.SENSITIVITY[3][4] = 2;
    lpsChannelParams->FiveB.OFFSET[3][4] = 1;
    lpsChannelParams->GAIN[3] = 1;
    nChannelAdcBits[3] = 12;
    EXPECT_DOUBLE_EQ(FiveBModuleValue(3, 4, 1024), 5000.0 * 2 + 1);
    nChannelAdcBits[3] = 16;
    EXPECT_DOUBLE_EQ(FiveBModuleValue(3, 4, 16384), 5000.0 * 2 + 1);
    lpsChannelParams->GAIN[3] = 0;  // counts as 1
    EXPECT_DOUBLE_EQ(FiveBModuleValue(3, 4, 16384), 5000.0 * 2 + 1);
    lpsChannelParams->GAIN[3] = 10;
    EXPECT_DOUBLE_EQ(FiveBModuleValue(3, 4, 16384), 500.0 * 2 + 1);
    EXPECT_EQ(FiveBModuleValue(3, 16, 100), 0);
}

TEST_F(FiveB, TheWindowStepsThroughThe5BChannels) {
    EXPECT_EQ(NextFiveBChannel(0), 0) << "no 5B channel: channel 0";
    lpsChannelParams->CARDTYPE[4] = 1;
    lpsChannelParams->CARDTYPE[9] = 3;
    int32_t list[kChannels];
    ASSERT_EQ(FiveBChannelList(list), 2);
    EXPECT_EQ(list[0], 4);
    EXPECT_EQ(NextFiveBChannel(4), 9);
    EXPECT_EQ(NextFiveBChannel(9), 4);
    EXPECT_EQ(FiveBWindowTitle(9), "Primary Channel 9's Five B Modules");
}


TEST_F(FiveB, TheEngineFillsTheModulesOfThePrimaryChannelOnly) {
    // Channel 2 (M12, 12-bit) has three positions in a 6-position scan.
    lpsChannelParams->CARDTYPE[2] = 3;
    nChannelAdcBits[2] = 12;
    lpsChannelParams->GAIN[2] = 1;
    for (int m = 0; m < kFiveBModules; ++m) {
        lpsChannelParams->FiveB.SENSITIVITY[2][m] = 1;
        lpsChannelParams->FiveB.OFFSET[2][m] = m;
    }
    lpProgScanList->EntryCount = 6;
    const uint32_t channels[6] = {0, 2, 1, 2, 1, 2};
    for (uint32_t p = 0; p < 6; ++p) lpProgScanList->Entry[p] = {channels[p], p, 0, 0};
    dFiveBValues[3] = 77;  // left from another channel
    SelectFiveBPrimary(2);
    // Two scans of 8 header words and 6 samples; the second scan is read.
    uint8_t transfer[2 * 28] = {};
    auto put = [&](uint32_t at, int16_t v) {
        transfer[at] = static_cast<uint8_t>(v & 0xFF);
        transfer[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    };
    put(28 + 16 + 2 * 1, 1024);   // module 0: 5000 mV
    put(28 + 16 + 2 * 3, -2048);  // module 1: -10000 mV
    put(28 + 16 + 2 * 5, 205);    // module 2
    put(28 + 16 + 2 * 0, 999);    // channel 0: not a module
    RefreshFiveBValues(transfer, 28, sizeof transfer);
    EXPECT_DOUBLE_EQ(dFiveBValues[0], 5000.0);
    EXPECT_DOUBLE_EQ(dFiveBValues[1], -10000.0 + 1);
    EXPECT_DOUBLE_EQ(dFiveBValues[2], 205 * 10000.0 / 2048 + 2);
    EXPECT_EQ(dFiveBValues[3], 0) << "cleared when the window chose the channel; no position";
    // A scan offset that leaves the samples outside the transfer reads nothing.
    dFiveBValues[0] = 5;
    RefreshFiveBValues(transfer, 40, sizeof transfer);
    EXPECT_EQ(dFiveBValues[0], 5);
    SelectFiveBPrimary(-1);
}

// What the module window paints: the primary channel's names, values and
// units, and no value for a module that has no position.
TEST_F(FiveB, TheWindowRowsShowThePrimaryChannelsModules) {
    EXPECT_EQ(FirstFiveBChannel(), 0) << "no 5B channel: channel 0";
    lpsChannelParams->CARDTYPE[5] = 2;
    lpsChannelParams->CARDTYPE[11] = 1;
    EXPECT_EQ(FirstFiveBChannel(), 5);
    FiveBModule& b = lpsChannelParams->FiveB;
    for (int m = 0; m < kFiveBModules; ++m) {
        snprintf(b.NAME[5][m], sizeof b.NAME[5][m], "PRESS%d", m);
        snprintf(b.UNITS[5][m], sizeof b.UNITS[5][m], "psi");
        snprintf(b.NAME[11][m], sizeof b.NAME[11][m], "OTHER%d", m);
    }
    // Channel 5 has two positions: modules 0 and 1 have values, 2-15 none.
    lpProgScanList->EntryCount = 3;
    lpProgScanList->Entry[0] = {5, 3, 2, 1};
    lpProgScanList->Entry[1] = {11, 3, 2, 1};
    lpProgScanList->Entry[2] = {5, 7, 2, 1};
    SelectFiveBPrimary(FirstFiveBChannel());
    dFiveBValues[0] = 12.5;
    dFiveBValues[1] = -0.25;
    dFiveBValues[2] = 99;  // no position: never shown
    FiveBWindowRow rows[kFiveBModules];
    FiveBWindowRows(rows);
    EXPECT_EQ(rows[0].Name, "PRESS0");
    EXPECT_EQ(rows[0].Value, "12.5000");
    EXPECT_EQ(rows[0].Units, "psi");
    EXPECT_EQ(rows[1].Value, "-0.2500");
    EXPECT_EQ(rows[2].Name, "PRESS2");
    EXPECT_EQ(rows[2].Value, "");
    EXPECT_EQ(rows[15].Name, "PRESS15");

    SelectFiveBPrimary(NextFiveBChannel(nFiveBPrimaryChannel));
    FiveBWindowRows(rows);
    EXPECT_EQ(rows[0].Name, "OTHER0");
    EXPECT_EQ(rows[0].Value, "0.0000") << "values start afresh for the new channel";
    EXPECT_EQ(rows[1].Value, "");

    // Without a primary channel the window has nothing to show.
    SelectFiveBPrimary(-1);
    FiveBWindowRows(rows);
    EXPECT_EQ(rows[0].Name, "");
    EXPECT_EQ(rows[0].Value, "");
}

}  // namespace
