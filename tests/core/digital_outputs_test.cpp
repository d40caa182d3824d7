// Digital output records: the setup dialog's edits (line k is bit k - 1),
// the group acting on every record, the read of the present state in
// simulator mode, and the start-and-trigger definition.
#include <gtest/gtest.h>

#include <cstring>

#include "base/app_state.h"
#include "outputs/digital_outputs.h"
#include "platform/fake/fake_platform.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

class DigitalRecords : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReset();
        for (DigitalOut& d : sDigitalOut) {
            memset(&d, 0, sizeof d);
            d.HARDWARECHANNEL = -1;
        }
        bTestSaved = true;
        bSimulator = false;
    }
    void TearDown() override { bSimulator = false; }
};

TEST_F(DigitalRecords, EachLineIsItsOwnBitOfItsRow) {
    sDigitalOut[3].HARDWARECHANNEL = 12;
    const struct {
        int32_t row, line, word;
    } table[] = {{2, 16, 0x8000}, {2, 1, 0x0001}, {0, 9, 0x0100}, {3, 5, 0x0010}, {1, 12, 0x0800}};
    for (const auto& k : table) {
        SCOPED_TRACE(k.line);
        for (int32_t row = 0; row < kDigitalRows; ++row) ASSERT_TRUE(DigitalSetRowState(3, row, 0));
        ASSERT_TRUE(DigitalSetLine(3, k.row, k.line, true));
        for (int32_t row = 0; row < kDigitalRows; ++row)
            EXPECT_EQ(DigitalRowState(3, row), row == k.row ? k.word : 0) << row;
    }
    EXPECT_EQ(sDigitalOut[3].STATE2, 0);
    ASSERT_TRUE(DigitalSetLine(3, 2, 16, true));
    EXPECT_EQ(sDigitalOut[3].STATE2, 0x8000);
    ASSERT_TRUE(DigitalSetLine(3, 2, 1, true));
    EXPECT_EQ(sDigitalOut[3].STATE2, 0x8001);
    ASSERT_TRUE(DigitalSetLine(3, 2, 16, false));
    EXPECT_EQ(sDigitalOut[3].STATE2, 0x0001);
    EXPECT_FALSE(bTestSaved) << "an edited test must ask to be saved";
    // Lines 0 and 17, rows and records that do not exist change nothing.
    EXPECT_FALSE(DigitalSetLine(3, 2, 0, true));
    EXPECT_FALSE(DigitalSetLine(3, 2, 17, true));
    EXPECT_FALSE(DigitalSetLine(3, 4, 1, true));
    EXPECT_FALSE(DigitalSetLine(16, 0, 1, true));
    EXPECT_FALSE(DigitalSetRowState(3, 1, 0x10000));
    EXPECT_EQ(sDigitalOut[3].STATE2, 0x0001);
}

TEST_F(DigitalRecords, TimesUseFlagsAndTheGlitchCatcherAreStored) {
    std::string message;
    ASSERT_TRUE(DigitalSetRowTime(0, 1, "5", &message));
    ASSERT_TRUE(DigitalSetRowTime(0, 3, " 3600", &message));
    EXPECT_EQ(sDigitalOut[0].STATE1TIME, 5);
    EXPECT_EQ(sDigitalOut[0].STATE3TIME, 3600);
    for (const char* bad : {"-1", "1.5", "ten", "", "99999999999"}) {
        EXPECT_FALSE(DigitalSetRowTime(0, 1, bad, &message)) << bad;
        EXPECT_EQ(message, "The Time Must Be A Whole Number From 0 To 2147483647 Seconds");
    }
    EXPECT_FALSE(DigitalSetRowTime(0, 0, "5", &message));  // the initial state has no time
    EXPECT_EQ(sDigitalOut[0].STATE1TIME, 5);
    ASSERT_TRUE(DigitalSetRowUsed(0, 0, true));
    ASSERT_TRUE(DigitalSetRowUsed(0, 2, true));
    ASSERT_TRUE(DigitalSetGlitchCatcher(0, true));
    EXPECT_EQ(sDigitalOut[0].USEINIT, 1);
    EXPECT_EQ(sDigitalOut[0].USE1, 0);
    EXPECT_EQ(sDigitalOut[0].USE2, 1);
    EXPECT_EQ(sDigitalOut[0].GLITCHCATCHER, 1);
    ASSERT_TRUE(DigitalSetRowUsed(0, 2, false));
    EXPECT_EQ(sDigitalOut[0].USE2, 0);
}

TEST_F(DigitalRecords, TheAllChannelsGroupActsOnEveryRecordAndOnlySets) {
    sDigitalOut[7].USE1 = 0;
    DigitalAllSetRowUsed(1);
    DigitalAllSetGlitchCatcher();
    DigitalAllSetOutsToIns();
    DigitalAllSetStates(0xFFFF);
    for (int32_t r = 0; r < kDigitalOuts; ++r) {
        const DigitalOut& d = sDigitalOut[r];
        EXPECT_EQ(d.USE1, 1) << r;
        EXPECT_EQ(d.USEINIT, 0) << r;
        EXPECT_EQ(d.GLITCHCATCHER, 1) << r;
        EXPECT_EQ(d.OUTSTOINS, 1) << r;
        EXPECT_EQ(d.STATICSTATE, 0xFFFF);
        EXPECT_EQ(d.STATE1, 0xFFFF);
        EXPECT_EQ(d.STATE2, 0xFFFF);
        EXPECT_EQ(d.STATE3, 0xFFFF);
    }
    DigitalAllSetStates(0);
    EXPECT_EQ(sDigitalOut[15].STATE3, 0);
    EXPECT_FALSE(bTestSaved);
}

TEST_F(DigitalRecords, RecordsInUseAndTheSimulatorsPresentState) {
    sDigitalOut[1].HARDWARECHANNEL = 12;
    sDigitalOut[4].HARDWARECHANNEL = 256;  // not a channel: unused
    sDigitalOut[9].HARDWARECHANNEL = 0;
    int32_t records[16];
    ASSERT_EQ(DigitalRecordsInUse(records), 2);
    EXPECT_EQ(records[0], 1);
    EXPECT_EQ(records[1], 9);
    // In simulator mode the lines are never touched: the present state is
    // the stored initial state and a setting succeeds without a word sent.
    bSimulator = true;
    sDigitalOut[1].STATICSTATE = 0x8421;
    EXPECT_EQ(GetDigitalOutput(1), 0x8421);
    EXPECT_EQ(SetDigitalOutput(1, 0x1234), 1);
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(DigitalRecords, StartAndTriggerBitsGiveTheirMasks) {
    ASSERT_TRUE(SetStartTriggerChannel(200));
    ASSERT_TRUE(SetStartBit(15));
    ASSERT_TRUE(SetTriggerBit(0));
    EXPECT_EQ(nStartAndTriggerChannel, 200);
    EXPECT_EQ(dwStartMask, 0x8000u);
    EXPECT_EQ(dwTriggerMask, 0x1u);
    ASSERT_TRUE(SetTriggerBit(7));
    EXPECT_EQ(dwTriggerMask, 0x80u);
    EXPECT_FALSE(SetStartBit(16));
    EXPECT_FALSE(SetTriggerBit(-1));
    EXPECT_FALSE(SetStartTriggerChannel(256));
    EXPECT_EQ(dwStartMask, 0x8000u);
    EXPECT_EQ(dwTriggerMask, 0x80u);
    EXPECT_EQ(nStartAndTriggerChannel, 200);
}

}  // namespace
