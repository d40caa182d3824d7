#include <cstddef>
#include <cstring>

#include "settings_fixture.h"

namespace {

using TestModel = ModelTest;

struct Block {
    const char* failureText;
    bool (*isNull)();
};

// The fifteen blocks in allocation order.
const Block kBlocks[] = {
    {"Could Not Allocate Memory For MultiRate Variable", [] { return MultiRate == nullptr; }},
    {"Could Not Allocate Memory For lpProgScanList Variable", [] { return lpProgScanList == nullptr; }},
    {"Could Not Allocate Memory For lpsCalProcedures Variable", [] { return lpsCalProcedures == nullptr; }},
    {"Could Not Allocate Memory For lpsChannelParams Variable", [] { return lpsChannelParams == nullptr; }},
    {"Could Not Allocate Memory For lpsDefinitionTable Variable", [] { return lpsDefinitionTable == nullptr; }},
    {"Could Not Allocate Memory For lpMonitorData Variable", [] { return lpMonitorData == nullptr; }},
    {"Could Not Allocate Memory For lpCVT Variable", [] { return lpCVT == nullptr; }},
    {"Could Not Allocate Memory For lpQuickPlots Variable", [] { return lpQuickPlots == nullptr; }},
    {"Could Not Allocate Memory For lpsCalTypes Variable", [] { return lpsCalTypes == nullptr; }},
    {"Could Not Allocate Memory For lpucNewData0 Variable", [] { return lpucNewData0 == nullptr; }},
    {"Could Not Allocate Memory For lpucNewData1 Variable", [] { return lpucNewData1 == nullptr; }},
    {"Could Not Allocate Memory For history buffer 0 pointers", [] { return lpHistoryBuffer0 == nullptr; }},
    {"Could Not Allocate Memory For history buffer 1 pointers", [] { return lpHistoryBuffer1 == nullptr; }},
    {"Could Not Allocate Memory For lpucCalibData Variable", [] { return lpucCalibData == nullptr; }},
    {"Could Not Allocate Memory For lpsCalCommands Variable", [] { return lpsCalCommands == nullptr; }},
};

std::string StringText(uint32_t id) {
    char buf[512];
    PlatformLoadString(id, buf, sizeof buf);
    return buf;
}

TEST_F(TestModel, EachFailedAllocationIsReportedAndOnlyThatBlockStaysNull) {
    for (bool inLock : {false, true}) {
        for (int n = 1; n <= 15; ++n) {
            SCOPED_TRACE(testing::Message() << "block " << n << (inLock ? " lock" : " alloc"));
            FreeTestModel();
            FakeReset();
            FakeFailAllocation(n, inLock);
            EXPECT_EQ(AllocateTestModel(), 0);
            for (int k = 1; k <= 15; ++k) EXPECT_EQ(kBlocks[k - 1].isNull(), k == n) << "block " << k;
            EXPECT_EQ(FakeLiveAllocations(), 14u);

            // Defaults and card types come after start-up's reports; only the
            // allocation's two boxes are asserted here.
            const auto& m = FakeMessages();
            ASSERT_GE(m.size(), 2u);
            EXPECT_EQ(m[0].caption, "There Is A Problem With The Last Action");
            EXPECT_EQ(m[0].text, StringText(inLock ? 1000 : 1002));
            EXPECT_TRUE(m[0].ownerless);
            EXPECT_EQ(m[1].caption, "Memory Allocation Failure");
            EXPECT_EQ(m[1].text, kBlocks[n - 1].failureText);
            EXPECT_FALSE(m[1].ownerless);
            EXPECT_EQ(m.size(), 2u);
        }
    }
}

TEST_F(TestModel, FreeReleasesEveryBlockAndAllocatingTwiceDoesNotLeak) {
    Allocate();
    EXPECT_EQ(FakeLiveAllocations(), 15u);
    Allocate();
    EXPECT_EQ(FakeLiveAllocations(), 15u);
    FreeTestModel();
    EXPECT_EQ(FakeLiveAllocations(), 0u);
    for (const Block& b : kBlocks) EXPECT_TRUE(b.isNull());
}

TEST_F(TestModel, StartUpInitialisesQuickPlotsRatesAndBuffers) {
    Allocate();
    EXPECT_EQ(lpQuickPlots->Prepared, 0u);
    for (int i : {0, 17, 255}) {
        EXPECT_EQ(lpQuickPlots->OverloadThreshold[i], 32765u);
        EXPECT_EQ(lpQuickPlots->OccurrenceCount[i], 0u);
        EXPECT_EQ(lpQuickPlots->Overload[i], 0u);
        EXPECT_EQ(lpQuickPlots->Window[i], 0u);
        EXPECT_EQ(lpQuickPlots->Offsets[i][63], 0);
        EXPECT_EQ(lpQuickPlots->Points[i][2047][1], 0);
    }
    EXPECT_EQ(dSampleRate, 1000.0);
    EXPECT_EQ(dwNewDataWords, 64480u);
    // Every block is usable to its full size (the sanitizer build catches overruns).
    lpucNewData0[kNewDataWords - 1] = 1;
    lpucNewData1[kNewDataWords - 1] = 1;
    lpHistoryBuffer0[kHistoryEntries - 1] = lpucNewData0;
    lpHistoryBuffer1[kHistoryEntries - 1] = lpucNewData1;
    lpucCalibData[kCalibDataWords - 1] = 1;
    lpMonitorData[kMonitorDataBytes - 1] = 1;
}

TEST_F(TestModel, FreshModelWithoutAnySettingsFileHasTheDefaults) {
    Allocate();
    ChannelParams& c = Ch();
    EXPECT_STREQ(c.NAME[0], "CHAN0");
    EXPECT_STREQ(c.NAME[255], "CHAN255");
    for (int i : {0, 128, 255}) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(c.UNITS[i], "mV");
        EXPECT_STREQ(c.DESCRIPTION[i], "Unknown");
        EXPECT_STREQ(c.LOCATION[i], "Unknown");
        EXPECT_STREQ(c.CardModel[i], "M17-B");
        EXPECT_EQ(c.CARDTYPE[i], 8u);
        EXPECT_EQ(c.SENSITIVITY[i], 1.0);
        EXPECT_EQ(c.OFFSET[i], 0.0);
        EXPECT_EQ(c.GAIN[i], 1.0);
        EXPECT_EQ(c.VARIABLEGAIN[i], 1.0);
        EXPECT_EQ(c.FILTER[i], 0.0);
        EXPECT_EQ(c.EXCITATIONSOURCE[i], 1u);
        EXPECT_EQ(c.EXCITATIONVOLTAGE[i], 10.0);
        EXPECT_EQ(c.EXCITATIONCURRENT[i], 20.0);
        EXPECT_EQ(c.AUTOBALANCEENABLE[i], 1u);
        EXPECT_EQ(c.AUTOZEROENABLE[i], 1u);
        EXPECT_EQ(c.VARIABLEGAINENABLE[i], 0u);
        EXPECT_EQ(c.EXCITATIONENABLE[i], 1u);
        EXPECT_EQ(c.ScanPosition[i], -1);
        EXPECT_EQ(c.Cal.ACTIVESTATES[i], 8);
        for (int n = 0; n < 8; ++n) EXPECT_EQ(c.Cal.STATE[n][i], n);
        EXPECT_EQ(c.Cal.CalResistors[i][0], 499.0);
        EXPECT_EQ(c.Cal.CalResistors[i][1], 1000.0);
        EXPECT_EQ(c.Cal.CalResistors[i][2], 221000.0);
        EXPECT_EQ(c.Cal.CalResistors[i][3], 110000.0);
        // The built-in lists of [Hardware Settings] (AllTheSame defaults to on).
        const int32_t gains[16] = {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000, -1, -1, -1};
        const int32_t filters[8] = {0, 625, 1250, 2500, 5000, -1, -1, -1};
        EXPECT_EQ(0, memcmp(c.GainList[i], gains, sizeof gains));
        EXPECT_EQ(0, memcmp(c.FilterList[i], filters, sizeof filters));
        for (int k = 0; k < 10; ++k) {
            EXPECT_EQ(c.VoltageList[i][k], k + 1);
            EXPECT_EQ(c.CurrentList[i][k], 5 * (k + 1));
        }
        EXPECT_EQ(c.GainCount[i], 13u);
        EXPECT_EQ(c.FilterCount[i], 5u);
    }

    const ProgScanList& s = *lpProgScanList;
    EXPECT_EQ(s.EntryCount, 256u);
    EXPECT_EQ(s.BlockCount, 1u);
    for (uint32_t p : {0u, 1u, 255u}) {
        EXPECT_EQ(s.Entry[p].CHANNEL, p);
        EXPECT_EQ(s.Entry[p].BLOCK, 0u);
    }
    for (uint32_t p : {256u, 4095u}) {
        EXPECT_EQ(s.Entry[p].CHANNEL, 0u);
        EXPECT_EQ(s.Entry[p].BLOCK, kScanEmpty);
        EXPECT_EQ(s.Entry[p].DataType, 0u);
    }

    EXPECT_STREQ(lpsCalProcedures->ProcName[0], "Procedure1");
    EXPECT_STREQ(lpsCalProcedures->ProcName[9], "Procedure10");
    EXPECT_EQ(lpsCalProcedures->ProcSteps[9], 4u);
    EXPECT_STREQ(lpsCalCommands->Name[9], "Command10");
    EXPECT_STREQ(lpsCalCommands->Command[0], "Undefined");
    EXPECT_EQ(lpsCalCommands->Delay[0], 0u);
    // No card-type message: the defaults are applied without Q90CARD.ini.
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(TestModel, DefaultsOverwriteAnEditedChannelButTheCardTypeNameComesLast) {
    FakeSetProfileFile("Q90.ini", "[Hardware Settings]\nCardType=M21\nGain1=7\n");
    Allocate();
    EXPECT_EQ(Ch().GainList[3][0], 7);          // the lists of Q90.ini stay
    EXPECT_STREQ(Ch().CardModel[3], "M17-B");   // the name is replaced by the default card
    EXPECT_STREQ(szSystemCardType, "M21");
    strcpy(Ch().NAME[3], "PRESSURE");
    Ch().ScanPosition[3] = 40;
    lpProgScanList->EntryCount = 3;
    LoadDefaults();
    EXPECT_STREQ(Ch().NAME[3], "CHAN3");
    EXPECT_EQ(Ch().ScanPosition[3], -1);
    EXPECT_EQ(lpProgScanList->EntryCount, 256u);
}

TEST_F(TestModel, StartUpWithoutTheLargeBlocksDoesNotCrash) {
    // Channel parameters, scan list and calibrator commands missing together:
    // the settings and defaults must skip them.
    FakeSetProfileFile("Q90.ini", "[ExternalCalCommands]\nName1=X\n");
    FakeFailAllocation(2, false);
    EXPECT_EQ(AllocateTestModel(), 0);
    EXPECT_EQ(lpProgScanList, nullptr);
    FreeTestModel();
    FakeReset();
    FakeFailAllocation(4, true);
    EXPECT_EQ(AllocateTestModel(), 0);
    EXPECT_EQ(lpsChannelParams, nullptr);
    EXPECT_EQ(LoadCardTypes(), 1);
    EXPECT_EQ(SaveSystemIni(), 1);
    FreeTestModel();
    FakeReset();
    FakeFailAllocation(15, false);
    EXPECT_EQ(AllocateTestModel(), 0);
    EXPECT_EQ(LoadSystemIni(), 1);
    EXPECT_EQ(SaveSystemIni(), 1);
}

TEST(TestModelLayout, FieldOrderAndWidthsAreFixed) {
    // Offsets that follow from the field order and element widths.
    EXPECT_EQ(offsetof(CVT, ScreenFile), 4u);
    EXPECT_EQ(offsetof(CVT, Value), 264u);
    EXPECT_EQ(offsetof(CVT, Format), 264u + 2048u);
    EXPECT_EQ(offsetof(CVT, WarningColor), 14600u - 1024u);
    EXPECT_EQ(offsetof(ChannelParams, UNITS), 32u * 256);
    EXPECT_EQ(offsetof(ChannelParams, SENSITIVITY), 100u * 256);
    EXPECT_EQ(offsetof(ChannelParams, GainList), 128u * 256);
    EXPECT_EQ(offsetof(ChannelParams, EXCITATIONSOURCE), 244u * 256);
    EXPECT_EQ(offsetof(ChannelParams, Cal), 376u * 256);
    EXPECT_EQ(offsetof(ChannelParams, ReservedDouble), 648u * 256);
    EXPECT_EQ(offsetof(ChannelParams, CardModel), 656u * 256);
    EXPECT_EQ(offsetof(ChannelParams, FiveB), 672u * 256);
    EXPECT_EQ(offsetof(ChannelParams, ScanPosition), 1568u * 256);
    EXPECT_EQ(offsetof(ChannelParams, ReservedTail), 1576u * 256);
    EXPECT_EQ(offsetof(CalRecord, CalResistors), 48u * 256);
    EXPECT_EQ(sizeof(CalRecord), 272u * 256);
    EXPECT_EQ(sizeof(FiveBModule), 56u * 16 * 256);
    EXPECT_EQ(offsetof(CalType, NAME), 64u);
    EXPECT_EQ(offsetof(CalType, STATES), 864u);
    EXPECT_EQ(offsetof(CalProcedure, ProcSteps), 252u);
    EXPECT_EQ(offsetof(CalCommand, Name), 500u);
    EXPECT_EQ(offsetof(CalCommand, Delay), 752u);
    EXPECT_EQ(offsetof(ProgScanList, Entry), 16u);
    EXPECT_EQ(offsetof(MultiRateTable, FirstPosition), 8u);
    EXPECT_EQ(offsetof(DefinitionTable, ModuleCode), 392u);
    EXPECT_EQ(offsetof(QuickPlots, Offsets), 4u);
    EXPECT_EQ(offsetof(QuickPlots, OccurrenceCount), 4u + 16384u * 256);
    EXPECT_EQ(offsetof(QuickPlots, OverloadThreshold), 8392708u - 2048u);
    EXPECT_EQ(offsetof(DacChannel, WAVE), 48u);
    EXPECT_EQ(offsetof(DigitalOut, HARDWARECHANNEL), 28u);
    EXPECT_EQ(offsetof(OperationRecord, Dac), 20u);
    EXPECT_EQ(offsetof(OperationDac, WaveFile), 32u);
    EXPECT_EQ(sizeof(OperationRecord), 20u + 6 * 288);
}

}  // namespace
