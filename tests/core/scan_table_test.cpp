#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "hardware/control_library.h"
#include "hardware/q90_library.h"
#include "scan_table_fixture.h"
#include "base/status_report.h"

namespace {

std::string ReadFile(const char* name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    // A text file: lines end in CR LF on Windows.
    std::string text;
    for (char c : s.str())
        if (c != '\r') text += c;
    return text;
}

// ---- rates ----------------------------------------------------------------------------

struct RateCase {
    double requested;
    int32_t channelsPerBlock;  // 0 = empty table
    double expected;
    const char* caption;  // "" = no message
};

TEST_F(ScanTableTest, EveryRateRequestEndsAsARunnableClockRate) {
    const double inf = std::numeric_limits<double>::infinity();
    const RateCase cases[] = {
        {0.0, 0, 5.0, "RATE TOO LOW"},
        {-250.0, 0, 5.0, "RATE TOO LOW"},
        {std::nan(""), 0, 5.0, "RATE TOO LOW"},
        {-inf, 0, 5.0, "RATE TOO LOW"},
        {5.0, 0, 5.0, "RATE TOO LOW"},
        {inf, 0, 200000.0, "RATE TOO HIGH"},
        {1e300, 0, 200000.0, "RATE TOO HIGH"},
        {3000.0, 0, 2000000.0 / 666, ""},
        {1000.0, 10, 1000.0, ""},
        // 10 channels a block: 60000 x 10 is over the aggregate limit.
        {60000.0, 10, 50000.0, "Aggregate Rate Too High"},
        // One channel a block: the block overhead of 12 us allows 83333.3.
        {150000.0, 1, 2000000.0 / 24, "DDS Hardware Sample Rate Constraint"},
        // 5 channels: overhead 14 us; the clock must not round back above it.
        {90000.0, 5, 2000000.0 / 28, "DDS Hardware Sample Rate Constraint"},
    };
    for (const RateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "request " << c.requested << " with " << c.channelsPerBlock);
        ClearScanTable();
        if (c.channelsPerBlock > 0) {
            int32_t channels[16];
            for (int32_t i = 0; i < c.channelsPerBlock; ++i) channels[i] = i;
            ASSERT_EQ(BuildSingleRateTable(channels, c.channelsPerBlock, 1000.0), 1);
        }
        FakeClearMessages();
        double r = c.requested;
        ValidateScanRate(&r);
        EXPECT_NEAR(r, c.expected, 1e-6);
        EXPECT_EQ(LastCaption(), c.caption);
        ASSERT_TRUE(std::isfinite(r));
        double k = 2000000.0 / r;
        EXPECT_NEAR(k, std::round(k), 1e-6) << "not a whole clock division";
        if (c.channelsPerBlock > 0) {
            double overhead = c.channelsPerBlock * 5e-07 + 1.15e-05;
            EXPECT_LE(r, 1.0 / overhead * (1 + 1e-12));
            EXPECT_LE(r * c.channelsPerBlock, 500000.0 * (1 + 1e-12));
        }
    }
}

TEST_F(ScanTableTest, ABrokenClockSettingStillGivesAUsableRate) {
    for (float clock : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN(), 3.0f}) {
        fClockCrystal = clock;
        double r = 3000.0;
        ValidateScanRate(&r);
        EXPECT_TRUE(std::isfinite(r) && r > 0.0) << clock;
    }
}

// ---- single rate ------------------------------------------------------------------------

TEST_F(ScanTableTest, SingleRateTableFillsUpTo32Blocks) {
    const int32_t one[] = {7};
    ASSERT_EQ(BuildSingleRateTable(one, 1, 1000.0), 1);
    EXPECT_EQ(lpProgScanList->BlockCount, 32u);
    EXPECT_EQ(lpProgScanList->EntryCount, 32u);
    for (uint32_t b = 0; b < 32; ++b) EXPECT_EQ(E(b).BLOCK, b);
    EXPECT_EQ(CheckScanInvariant(), "");

    int32_t many[200];
    for (int32_t i = 0; i < 200; ++i) many[i] = 199 - i;
    bParametersDownloaded = bTestSaved = true;
    ASSERT_EQ(BuildSingleRateTable(many, 200, 2000.0), 1);
    EXPECT_EQ(lpProgScanList->BlockCount, 20u);
    EXPECT_EQ(lpProgScanList->EntryCount, 4000u);
    EXPECT_EQ(E(0).CHANNEL, 0u);  // channel order within a block
    EXPECT_EQ(E(4000 - 1).CHANNEL, 199u);
    EXPECT_EQ(E(4000 - 1).BLOCK, 19u);
    EXPECT_FALSE(bParametersDownloaded);
    EXPECT_FALSE(bTestSaved);
    EXPECT_EQ(dSampleRate, 2000.0);
    EXPECT_EQ(MultiRate->PositionsFree, 96u);
    EXPECT_EQ(MultiRate->Divisor[5], 1);
}

TEST_F(ScanTableTest, SingleRateWithoutChannelsOrInSimulatorKeepsTheTable) {
    const int32_t two[] = {1, 2};
    ASSERT_EQ(BuildSingleRateTable(two, 2, 1000.0), 1);
    ProgScanList before = *lpProgScanList;
    FakeClearMessages();

    EXPECT_EQ(BuildSingleRateTable(nullptr, 0, 1000.0), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Can Not Create A Scan List With No Channels");
    EXPECT_EQ(FakeMessages()[0].caption, "Please Select Channels First");
    const int32_t bad[] = {-1, 256, 9999};
    EXPECT_EQ(BuildSingleRateTable(bad, 3, 1000.0), 0);

    bSimulator = true;
    const int32_t three[] = {3, 4, 5};
    EXPECT_EQ(BuildSingleRateTable(three, 3, 1000.0), 0);
    EXPECT_EQ(memcmp(&before, lpProgScanList, sizeof before), 0);
}

// ---- multi rate -------------------------------------------------------------------------

TEST_F(ScanTableTest, AddLaysNewChannelsEveryDthBlock) {
    ASSERT_TRUE(Add({9}, 3));
    EXPECT_EQ(lpProgScanList->BlockCount, 8u);
    EXPECT_EQ(BlocksOf(9), std::vector<uint32_t>({0}));
    EXPECT_EQ(MultiRate->Divisor[9], 8);
    EXPECT_EQ(MultiRate->PositionsNeeded, 8u);

    ASSERT_TRUE(Add({2, 4}, 1));  // existing channel 9 keeps its rate
    EXPECT_EQ(lpProgScanList->BlockCount, 8u);
    EXPECT_EQ(BlocksOf(2), std::vector<uint32_t>({0, 2, 4, 6}));
    EXPECT_EQ(BlocksOf(9), std::vector<uint32_t>({0}));
    // Block 0 holds 2, 4, 9 in channel order.
    EXPECT_EQ(E(0).CHANNEL, 2u);
    EXPECT_EQ(E(1).CHANNEL, 4u);
    EXPECT_EQ(E(2).CHANNEL, 9u);

    ASSERT_TRUE(Add({0}, 5));  // slower than the frame: the frame grows
    EXPECT_EQ(lpProgScanList->BlockCount, 32u);
    EXPECT_EQ(BlocksOf(9), std::vector<uint32_t>({0, 8, 16, 24}));
    EXPECT_EQ(BlocksOf(2).size(), 16u);
    EXPECT_EQ(CheckScanInvariant(), "");
}

TEST_F(ScanTableTest, FiveBChannelTakesSixteenPositionsInBlocks4iPlus3) {
    MakeFiveB(12);
    ASSERT_TRUE(Add({12}, 0));
    EXPECT_EQ(lpProgScanList->BlockCount, 64u);
    std::vector<uint32_t> expected;
    for (uint32_t i = 0; i < 16; ++i) expected.push_back(4 * i + 3);
    EXPECT_EQ(BlocksOf(12), expected);
    EXPECT_EQ(MultiRate->Divisor[12], 4);
    EXPECT_EQ(MultiRate->PositionCount[12], 64);
    EXPECT_EQ(E(0).DataType, 2u);
    EXPECT_EQ(E(0).FiveBFlag, 1u);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_EQ(CheckScanInvariant(), "");
}

TEST_F(ScanTableTest, FiveBInAFrameNotBasedOn64IsWarnedAboutButBuilt) {
    MakeFiveB(0);
    int32_t channels[200];
    for (int32_t i = 0; i < 200; ++i) channels[i] = i;
    ASSERT_EQ(BuildSingleRateTable(channels, 200, 1000.0), 1);  // 20 blocks
    ASSERT_TRUE(Add({210}, 0));
    ASSERT_FALSE(FakeMessages().empty());
    EXPECT_EQ(FakeMessages()[0].text, "Non 64 Based 5B Addition");
    EXPECT_EQ(FakeMessages()[0].caption, "Error");
    EXPECT_FALSE(BlocksOf(0).empty());
    EXPECT_EQ(BlocksOf(210).size(), 20u);
    EXPECT_EQ(CheckScanInvariant(), "");
}

TEST_F(ScanTableTest, AnAddNeeding4097PositionsIsRefusedAndChangesNothing) {
    ASSERT_TRUE(Add({0}, 12));  // 4096 blocks, one position
    ASSERT_EQ(lpProgScanList->BlockCount, 4096u);
    ProgScanList table = *lpProgScanList;
    MultiRateTable rates = *MultiRate;
    bParametersDownloaded = true;
    FakeClearMessages();

    EXPECT_FALSE(Add({1}, 0));
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text,
              "This Request Requires 4097 Scan Table Positions And Only 4096 Total Positions Are "
              "Possible.\n\nNew Channels Require 4096 Positions.\nExisting Channels Require 1 "
              "Positions.\nTry Adding The Channel At A Higher Rate.");
    EXPECT_EQ(FakeMessages()[0].caption, "Not Enough Room In Scan Table To Satisfy This Request");
    EXPECT_EQ(FakeMessages()[0].style, MB_OK_ | MB_ICONEXCLAMATION_);
    EXPECT_EQ(memcmp(&table, lpProgScanList, sizeof table), 0);
    EXPECT_EQ(memcmp(&rates, MultiRate, sizeof rates), 0);
    EXPECT_TRUE(bParametersDownloaded);

    EXPECT_TRUE(Add({1}, 1));  // half the rate fits exactly: 2048 + 1
    EXPECT_EQ(lpProgScanList->EntryCount, 2049u);
}

TEST_F(ScanTableTest, AddWithNothingCheckedOrABadRateIndexChangesNothing) {
    ASSERT_TRUE(Add({3}, 2));
    ProgScanList table = *lpProgScanList;
    FakeClearMessages();
    EXPECT_FALSE(Add({}, 4));
    EXPECT_EQ(LastCaption(), "Please Select Channels First");
    EXPECT_FALSE(Add({5}, 13));
    EXPECT_FALSE(Add({5}, -1));
    EXPECT_EQ(memcmp(&table, lpProgScanList, sizeof table), 0);
}

TEST_F(ScanTableTest, AddWritesTheDumpBeforeAndAfterSorting) {
    ASSERT_TRUE(Add({5}, 1));     // 2 blocks, 5 in block 0
    ASSERT_TRUE(Add({1, 2}, 0));  // generated in channel order: 1@0 1@1 2@0 2@1 5@0
    std::string expected =
        "Before Sorting\n================================\n"
        "Entry   0 Channel   1 Block   0\nEntry   1 Channel   1 Block   1\n"
        "Entry   2 Channel   2 Block   0\nEntry   3 Channel   2 Block   1\n"
        "Entry   4 Channel   5 Block   0\n"
        "================================\nAfter Sorting\n================================\n"
        "Entry   0 Channel   1 Block   0\nEntry   1 Channel   2 Block   0\n"
        "Entry   2 Channel   5 Block   0\nEntry   3 Channel   1 Block   1\n"
        "Entry   4 Channel   2 Block   1\n";
    EXPECT_EQ(ReadFile("scanlist.dat"), expected);
}

// ---- rebuild and remove ----------------------------------------------------------------

TEST_F(ScanTableTest, RebuildKeepsEveryChannelsRateAndDumpsTheLayout) {
    ASSERT_TRUE(Add({1}, 0));
    ASSERT_TRUE(Add({2}, 2));
    MakeFiveB(3);
    ASSERT_TRUE(Add({3}, 0));
    int32_t divisors[3] = {MultiRate->Divisor[1], MultiRate->Divisor[2], MultiRate->Divisor[3]};
    RebuildScanTable();
    EXPECT_EQ(CheckScanInvariant(), "");
    EXPECT_EQ(MultiRate->Divisor[1], divisors[0]);
    EXPECT_EQ(MultiRate->Divisor[2], divisors[1]);
    EXPECT_EQ(MultiRate->Divisor[3], divisors[2]);
    EXPECT_EQ(lpProgScanList->BlockCount, 64u);
    EXPECT_EQ(BlocksOf(1).size(), 64u);
    EXPECT_EQ(BlocksOf(2).front(), 3u);  // every 4th block, the last of each group
    EXPECT_EQ(BlocksOf(3).size(), 16u);
    EXPECT_EQ(MultiRate->PositionsNeeded, 64u);
    std::string dump = ReadFile("scanlist.dat");
    EXPECT_EQ(dump.rfind("Before Sorting\n================================\nEntry   0 Channel   1 Block   0\n", 0), 0u);
    EXPECT_EQ(dump.find("After Sorting"), std::string::npos);
}

TEST_F(ScanTableTest, RebuildLengthensAFastFrameOnlyWhileTheTableCanHoldIt) {
    int32_t channels[200];
    for (int32_t i = 0; i < 200; ++i) channels[i] = i;
    ASSERT_EQ(BuildSingleRateTable(channels, 200, 1000.0), 1);
    dSampleRate = 60000.0;  // asks for about 30 blocks: 200 x 32 would not fit
    RebuildScanTable();
    EXPECT_EQ(CheckScanInvariant(), "");
    EXPECT_LE(lpProgScanList->EntryCount, 4096u);
    EXPECT_EQ(lpProgScanList->BlockCount, 16u);
    EXPECT_EQ(BlocksOf(199).size(), 16u);
}

TEST_F(ScanTableTest, RemoveRenumbersBlocksAndCutsTheFrame) {
    ASSERT_TRUE(Add({4}, 0));  // 4 in every block
    ASSERT_TRUE(Add({8}, 3));  // 8 in blocks 0, 8, ... of 8
    ASSERT_TRUE(Add({9}, 6));  // frame 64; 9 in block 0
    ASSERT_EQ(lpProgScanList->BlockCount, 64u);
    ASSERT_EQ(RemoveScanChannel(4), 1);
    // Only the blocks of 8 and 9 remain: 8 blocks, 8 now in every one of them.
    EXPECT_EQ(lpProgScanList->BlockCount, 8u);
    EXPECT_EQ(BlocksOf(8), std::vector<uint32_t>({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(BlocksOf(9), std::vector<uint32_t>({0}));
    EXPECT_EQ(MultiRate->Divisor[8], 1);
    EXPECT_EQ(MultiRate->Divisor[9], 8);
    EXPECT_EQ(MultiRate->Divisor[4], 0);
    EXPECT_EQ(CheckScanInvariant(), "");

    FakeClearMessages();
    EXPECT_EQ(RemoveScanChannel(-1), 0);
    EXPECT_EQ(FakeMessages().at(0).text, "Please Pick A Channel");
    EXPECT_EQ(FakeMessages().at(0).caption, "Can Not Remove This Entry");
    EXPECT_EQ(RemoveScanChannel(100), 0);  // not scanned
}

TEST_F(ScanTableTest, RemoveCutsTheFrameToWhatTheSlowestChannelNeeds) {
    ASSERT_TRUE(Add({9}, 6));  // frame of 64
    ASSERT_TRUE(Add({3}, 0));
    ASSERT_TRUE(Add({2}, 5));  // blocks 0 and 32
    ASSERT_EQ(RemoveScanChannel(9), 1);
    // Every block is still in use; channel 2 needs 32 blocks, so the frame
    // is cut to 32 and channel 3 keeps the first 32 of its positions.
    EXPECT_EQ(lpProgScanList->BlockCount, 32u);
    EXPECT_EQ(BlocksOf(3).size(), 32u);
    EXPECT_EQ(BlocksOf(2), std::vector<uint32_t>({0}));
    EXPECT_EQ(CheckScanInvariant(), "");
}

TEST_F(ScanTableTest, CuttingTheFrameNeverDropsAWholeChannel) {
    // A loaded table in which channel 2 only sits late in the frame.
    ProgScanList& t = *lpProgScanList;
    uint32_t n = 0;
    for (uint32_t b = 0; b < 64; ++b) {
        if (b == 0) t.Entry[n++] = {3, b, 0, 0};
        t.Entry[n++] = {1, b, 0, 0};
        if (b == 40 || b == 50) t.Entry[n++] = {2, b, 0, 0};
    }
    t.EntryCount = n;
    t.BlockCount = 64;
    RebuildScanDerivedData();
    ASSERT_EQ(RemoveScanChannel(3), 1);
    EXPECT_EQ(BlocksOf(2), std::vector<uint32_t>({40}));
    EXPECT_EQ(lpProgScanList->BlockCount, 41u);
    EXPECT_EQ(CheckScanInvariant(), "");
}

TEST_F(ScanTableTest, RemovedAndClearedChannelsDoNotComeBackOnRebuild) {
    ASSERT_TRUE(Add({1, 2}, 0));
    ASSERT_EQ(RemoveScanChannel(2), 1);
    RebuildScanTable();
    EXPECT_TRUE(BlocksOf(2).empty());
    ClearScanTable();
    RebuildScanTable();
    EXPECT_EQ(lpProgScanList->EntryCount, 0u);
    EXPECT_EQ(CheckScanInvariant(), "");
}

TEST_F(ScanTableTest, ClearEmptiesTableScanPositionsAndBookkeeping) {
    ASSERT_TRUE(Add({1, 2}, 0));
    lpsChannelParams->ScanPosition[1] = 16;
    ClearScanTable();
    EXPECT_EQ(lpProgScanList->EntryCount, 0u);
    EXPECT_EQ(lpProgScanList->BlockCount, 0u);
    for (const ProgScanEntry& e : lpProgScanList->Entry) {
        ASSERT_EQ(e.CHANNEL, kScanEmpty);
        ASSERT_EQ(e.BLOCK, 0u);
    }
    EXPECT_EQ(lpsChannelParams->ScanPosition[1], -1);
    EXPECT_EQ(MultiRate->PositionsFree, 4096u);
    EXPECT_EQ(CheckScanInvariant(), "");
}

// ---- classification ---------------------------------------------------------------------

TEST_F(ScanTableTest, ClassificationFollowsTheCardModels) {
    struct { const char* model; uint32_t type; int32_t dataType; int32_t bits; } cards[] = {
        {"M11-A", 1, 2, 16}, {"M11-B", 2, 2, 16}, {"M12", 3, 2, 12},   {"M13-B", 4, 0, 12},
        {"M14-B", 5, 0, 12}, {"M15-C", 6, 0, 16}, {"M16", 7, 0, 12},   {"M17-B", 8, 0, 12},
        {"M17-C", 9, 0, 16}, {"M18-A", 10, 1, 16}, {"M18-B", 11, 1, 16}, {"M18-C", 12, 1, 16},
        {"M19-B", 13, 1, 12}, {"M20-B", 14, 1, 12}, {"M21", 15, 3, 16},
    };
    int32_t channels[15];
    for (int32_t i = 0; i < 15; ++i) {
        SetCard(i, cards[i].model, cards[i].type);
        channels[i] = i;
    }
    ASSERT_EQ(BuildSingleRateTable(channels, 15, 1000.0), 1);
    for (int32_t i = 0; i < 15; ++i) {
        SCOPED_TRACE(cards[i].model);
        EXPECT_EQ(E(static_cast<uint32_t>(i)).DataType, static_cast<uint32_t>(cards[i].dataType));
        EXPECT_EQ(nChannelAdcBits[i], cards[i].bits);
    }
    EXPECT_EQ(E(lpProgScanList->EntryCount).DataType, 1u);  // unused
    EXPECT_EQ(nDacChannelList[0], 14);
    EXPECT_EQ(nDacChannelList[1], -1);
    // The digital list is the M18 cards only, not M19-B or M20-B.
    EXPECT_EQ(nDigitalChannelList[0], 9);
    EXPECT_EQ(nDigitalChannelList[2], 11);
    EXPECT_EQ(nDigitalChannelList[3], -1);
}

TEST_F(ScanTableTest, ChannelListsHoldTheFirstSixteenInChannelOrder) {
    for (int32_t ch = 20; ch < 60; ++ch) SetCard(ch, ch % 2 ? "M21" : "M18-B", ch % 2 ? 15 : 11);
    ClassifyScanEntries();
    for (int32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(nDacChannelList[i], 21 + 2 * i);
        EXPECT_EQ(nDigitalChannelList[i], 20 + 2 * i);
    }
}

// ---- transfer size and history tables ---------------------------------------------------

TEST_F(ScanTableTest, ScansPerTransferLastAboutOneSecondAtMost) {
    EXPECT_EQ(ComputeScansPerTransfer(24, 1, 50000.0), 2015);
    int32_t slow = ComputeScansPerTransfer(24, 1, 1000.0);
    EXPECT_TRUE(slow == 999 || slow == 1000) << slow;
    EXPECT_EQ(ComputeScansPerTransfer(4096, 4096, 5.0), 1);
    EXPECT_EQ(ComputeScansPerTransfer(0, 0, 0.0), 8060);
    EXPECT_GE(ComputeScansPerTransfer(10, 10, std::nan("")), 1);
    EXPECT_EQ(ComputeScansPerTransfer(99999, 1, 1e6), 15);  // a count past the table is capped
}

TEST_F(ScanTableTest, HistoryTablesHoldAtMost100EvenlySpreadSamples) {
    const int32_t channels[] = {5, 6};
    ASSERT_EQ(BuildSingleRateTable(channels, 2, 20000.0), 1);  // 32 blocks, 64 positions
    int32_t scans = ComputeScansPerTransfer(64, 32, dSampleRate);
    ASSERT_GT(scans * 32, 100);
    const int32_t words = 64 + 8;
    for (int32_t k = 0; k < 100; ++k) {
        uint16_t* p0 = lpHistoryBuffer0[5 * 100 + k];
        uint16_t* p1 = lpHistoryBuffer1[6 * 100 + k];
        ASSERT_NE(p0, nullptr);
        ASSERT_NE(p1, nullptr);
        int64_t w0 = p0 - lpucNewData0;
        int64_t w1 = p1 - lpucNewData1;
        ASSERT_LT(w0, static_cast<int64_t>(kNewDataWords));
        // Channel 5 sits at even positions, channel 6 at odd ones.
        EXPECT_EQ((w0 % words - 8) % 2, 0);
        EXPECT_EQ((w1 % words - 8) % 2, 1);
        if (k > 0) {
            EXPECT_GT(p0, lpHistoryBuffer0[5 * 100 + k - 1]);
        }
    }
    // Spread over the whole transfer, not bunched at its start.
    EXPECT_GT(lpHistoryBuffer0[5 * 100 + 99] - lpucNewData0, static_cast<int64_t>(words) * (scans * 9 / 10));
    EXPECT_EQ(lpHistoryBuffer0[7 * 100], nullptr);

    ASSERT_TRUE(RemoveScanChannel(5));
    EXPECT_EQ(lpHistoryBuffer0[5 * 100], nullptr);
}

TEST_F(ScanTableTest, HistoryOfASlowChannelHasOnlyItsSamples) {
    ASSERT_TRUE(Add({1}, 1));
    ASSERT_TRUE(Add({2}, 12));  // 4096 blocks: one sample of channel 2 per frame
    dSampleRate = 1000.0;
    RebuildHistoryTables();
    int32_t scans = ComputeScansPerTransfer(lpProgScanList->EntryCount, 4096, dSampleRate);
    ASSERT_EQ(scans, 1);
    EXPECT_NE(lpHistoryBuffer0[2 * 100], nullptr);
    EXPECT_EQ(lpHistoryBuffer0[2 * 100 + 1], nullptr);
}

// ---- download ---------------------------------------------------------------------------

class ScanDownloadTest : public ScanTableTest {
  protected:
    void SetUp() override {
        ScanTableTest::SetUp();
        hErrorPipe = FakePipeCreate();
    }
    void TearDown() override {
        if (hQ90Library != nullptr) PlatformFreeLibrary(hQ90Library);
        hQ90Library = nullptr;
        FakeMapLibrary("Q90ui.dll", "");
        hErrorPipe = 0;
        ScanTableTest::TearDown();
    }
    template <typename Fn>
    static Fn Proc(const char* name) {
        return reinterpret_cast<Fn>(PlatformGetProc(hQ90Library, name));
    }
    void LoadFakeLibrary(int32_t result) {
        FakeMapLibrary("Q90ui.dll", FAKE_Q90UI_PATH);
        hQ90Library = PlatformLoadLibrary("Q90ui.dll");
        ASSERT_NE(hQ90Library, nullptr);
        Proc<void (*)(int32_t)>("FakeQ90SetResult")(result);
    }
};

TEST_F(ScanDownloadTest, SimulatorModeOnlyShowsTheWaitCursorForTwoSeconds) {
    bSimulator = true;
    ASSERT_TRUE(Add({1, 2}, 0));
    uint32_t start = PlatformTimeMs();
    EXPECT_EQ(DownloadScanTable(), 1);
    EXPECT_EQ(PlatformTimeMs() - start, 2000u);
    EXPECT_EQ(FakeWaitCursorDepth(), 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_FALSE(bParametersDownloaded);
}

TEST_F(ScanDownloadTest, MissingLibraryIsShownOrReportedAsCode15) {
    ASSERT_TRUE(Add({1}, 0));
    EXPECT_EQ(DownloadScanTable(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Problem loading Q90 library");

    FakeClearMessages();
    bRemoteControlled = true;
    EXPECT_EQ(DownloadScanTable(), 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_NE(FakePipeBytes(hErrorPipe).find("FATAL::Could Not Load Q90 DLL"), std::string::npos);
    EXPECT_EQ(dwRemoteStatus & 0x80100000u, 0x80100000u);
}

TEST_F(ScanDownloadTest, InitMuxGetsTheWholeTableAndTheTransferLength) {
    LoadFakeLibrary(1);
    ASSERT_TRUE(Add({3}, 0));
    ASSERT_TRUE(Add({7}, 3));
    dSampleRate = 1000.0;
    nMuxFormat = 77;
    bRemoteControlled = true;
    dwRemoteStatus = 0x20000000u;
    EXPECT_EQ(DownloadScanTable(), 1);
    EXPECT_TRUE(bParametersDownloaded);
    EXPECT_EQ(dwRemoteStatus, 0u);
    EXPECT_EQ(Proc<int32_t (*)()>("FakeQ90Calls")(), 1);
    const int32_t* rec = Proc<const int32_t* (*)()>("FakeQ90Record")();
    EXPECT_EQ(rec[0], 1);
    EXPECT_EQ(rec[1], 1);
    EXPECT_EQ(rec[2], 9);  // 8 + 1 positions
    EXPECT_EQ(rec[3], 77);
    EXPECT_EQ(rec[4], 8);
    for (int32_t p = 0; p < kScanPositions; ++p) {
        ASSERT_EQ(rec[5 + p], static_cast<int32_t>(E(p).CHANNEL));
        ASSERT_EQ(rec[5 + kScanPositions + p], static_cast<int32_t>(E(p).BLOCK));
    }
    int32_t scans = ComputeScansPerTransfer(9, 8, 1000.0);
    EXPECT_TRUE(scans == 124 || scans == 125) << scans;  // 8 blocks a scan at 1000/s: a second
    EXPECT_EQ(nScansPerTransfer, scans);
    EXPECT_EQ(Proc<int32_t (*)()>("FakeQ90Words")(), 17 * scans);
    EXPECT_EQ(Proc<int32_t (*)()>("FakeQ90One")(), 1);
    EXPECT_EQ(Proc<double (*)()>("FakeQ90Rate")(), 1000.0);
}

TEST_F(ScanDownloadTest, RefusedTableShowsTheErrorRecordOrReportsCode16) {
    LoadFakeLibrary(0);
    ASSERT_TRUE(Add({3}, 0));
    bParametersDownloaded = false;
    EXPECT_EQ(DownloadScanTable(), 0);
    EXPECT_FALSE(bParametersDownloaded);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Mux Table Rejected.  Check The DDS");
    EXPECT_EQ(FakeMessages()[0].style & MB_ICONEXCLAMATION_, MB_ICONEXCLAMATION_);

    FakeClearMessages();
    bRemoteControlled = true;
    EXPECT_EQ(DownloadScanTable(), 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_NE(FakePipeBytes(hErrorPipe).find("FATAL::Failed To Setup DDS With Scanlist"), std::string::npos);
    EXPECT_EQ(dwRemoteStatus & 0x80100000u, 0x80100000u);
}

// ---- what a change of the table or the rate leaves behind ---------------------------------

// The history tables as a fresh rebuild makes them for the current table and rate.
std::vector<uint16_t*> FreshHistory() {
    std::vector<uint16_t*> before(lpHistoryBuffer0, lpHistoryBuffer0 + kHistoryEntries);
    RebuildHistoryTables();
    std::vector<uint16_t*> fresh(lpHistoryBuffer0, lpHistoryBuffer0 + kHistoryEntries);
    std::copy(before.begin(), before.end(), lpHistoryBuffer0);
    return fresh;
}
std::vector<uint16_t*> CurrentHistory() {
    return std::vector<uint16_t*>(lpHistoryBuffer0, lpHistoryBuffer0 + kHistoryEntries);
}

TEST_F(ScanTableTest, EveryChangeOfTableOrRateNeedsANewDownloadAndSave) {
    // After any of these the front end would scan something else than the
    // program decodes, unless the download is asked for again.
    struct Case {
        const char* what;
        void (*change)();
    } cases[] = {
        {"rebuild of a table laid out elsewhere", [] { RebuildScanTable(); }},
        {"clear", [] { ClearScanTable(); }},
        {"maximum rate", [] { ApplyMaximumRate(4000.0); }},
        {"maximum rate clamped", [] { ApplyMaximumRate(100000.0); }},
        {"single-rate field", [] { ApplyScanRateField(3000.0); }},
        {"add", [] {
             bool flags[kChannels] = {};
             flags[9] = true;
             AddChannelsToScanTable(flags, 1);
         }},
        {"remove", [] { RemoveScanChannel(2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Channel 1 every block, channel 2 every 4th, in a frame of 64 blocks
        // longer than the rebuild lays out at this rate.
        ProgScanList& t = *lpProgScanList;
        uint32_t n = 0;
        for (uint32_t b = 0; b < 64; ++b) {
            t.Entry[n++] = {1, b, 0, 0};
            if (b % 4 == 3) t.Entry[n++] = {2, b, 0, 0};
        }
        t.EntryCount = n;
        t.BlockCount = 64;
        dSampleRate = 1000.0;
        RebuildScanDerivedData();
        bParametersDownloaded = bTestSaved = true;
        c.change();
        EXPECT_FALSE(bParametersDownloaded);
        EXPECT_FALSE(bTestSaved);
    }
}

TEST_F(ScanTableTest, ARebuildThatChangesNothingKeepsTheFlags) {
    ASSERT_TRUE(Add({1}, 0));
    ASSERT_TRUE(Add({2}, 2));
    RebuildScanTable();  // the layout the dialog makes when it opens
    bParametersDownloaded = bTestSaved = true;
    RebuildScanTable();  // opening it again
    EXPECT_TRUE(bParametersDownloaded);
    EXPECT_TRUE(bTestSaved);
}

TEST_F(ScanTableTest, HistoryTablesFollowEveryChangeOfTheRate) {
    // One channel in 32 blocks: at 1000/s a transfer holds 31 scans, at
    // 60000/s the whole buffer, so the history points elsewhere after a change.
    const int32_t one[] = {4};
    struct Case {
        const char* what;
        double (*apply)(double);
        double from, to;
    } cases[] = {
        {"maximum rate up", ApplyMaximumRate, 1000.0, 60000.0},
        {"maximum rate down", ApplyMaximumRate, 60000.0, 1000.0},
        {"single-rate field up", ApplyScanRateField, 1000.0, 50000.0},
        {"single-rate field down", ApplyScanRateField, 50000.0, 1000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(BuildSingleRateTable(one, 1, c.from), 1);
        ASSERT_TRUE(CurrentHistory() == FreshHistory());
        std::vector<uint16_t*> old = CurrentHistory();
        c.apply(c.to);
        EXPECT_TRUE(CurrentHistory() != old) << "the rate change did not reach the history";
        EXPECT_TRUE(CurrentHistory() == FreshHistory()) << "the history is not what the rate needs";
        // No entry points past the transfer at the new rate.
        uint32_t words = (UsedScanEntries() + 8) *
                         ComputeScansPerTransfer(UsedScanEntries(), lpProgScanList->BlockCount, dSampleRate);
        int32_t past = 0;
        for (int k = 0; k < kHistoryPerChannel; ++k) {
            uint16_t* p = lpHistoryBuffer0[4 * kHistoryPerChannel + k];
            if (p != nullptr && p - lpucNewData0 >= static_cast<int64_t>(words)) ++past;
        }
        EXPECT_EQ(past, 0) << "entries past the end of the transfer";
    }
}

// ---- a table from elsewhere -----------------------------------------------------------------

TEST_F(ScanTableTest, DerivedDataOfALoadedTableIsRebuiltSafely) {
    // A table as a database may hold it: unsorted, a bad channel, a count past 4096.
    ProgScanList& t = *lpProgScanList;
    t.EntryCount = 5000;
    t.BlockCount = 2;
    for (uint32_t p = 0; p < 4096; ++p) t.Entry[p] = {p % 3, p % 2, 0, 0};
    t.Entry[7].CHANNEL = 999;
    RebuildScanDerivedData();
    EXPECT_EQ(MultiRate->PositionsFree, 0u);
    EXPECT_EQ(MultiRate->FirstPosition[1], 1);
    EXPECT_EQ(t.Entry[7].DataType, 1u);
    RebuildScanTable();  // what the multi-rate dialog does first
    EXPECT_EQ(CheckScanInvariant(), "");
    EXPECT_EQ(FirstScanChannel(), static_cast<int32_t>(t.Entry[0].CHANNEL));
}

}  // namespace
