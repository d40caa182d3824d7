// The recording's files: the scan map (tables and ".map" text) and the raw
// file's stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acquire/raw_file.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

std::string ReadText(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    std::string text;
    for (char c : s.str())
        if (c != '\r') text += c;  // text mode writes CR LF on Windows
    return text;
}

std::string ReadBytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string TempDir() {
    const char* t = getenv("TMPDIR");
    std::string dir = t && *t ? t : "/tmp";
#ifdef _WIN32
    dir = ".";
#endif
    return dir;
}

class AcquireFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        ClearScanTable();
        nRemoteForwardChannel[0] = nRemoteForwardChannel[1] = -1;
        for (int c = 0; c < kChannels; ++c) {
            snprintf(lpsChannelParams->NAME[c], 32, "CH%d", c);
            strcpy(lpsChannelParams->UNITS[c], "mV");
            strcpy(lpsChannelParams->CardModel[c], "M15-C");
            lpsChannelParams->CARDTYPE[c] = 5;
            lpsChannelParams->GAIN[c] = 1.0;
            lpsChannelParams->SENSITIVITY[c] = 1.0;
            lpsChannelParams->OFFSET[c] = 0.0;
        }
    }
    void TearDown() override {
        CloseRawFile();
        FreeTestModel();
    }
    // Positions in order: {channel, block}.
    static void SetTable(std::initializer_list<std::pair<int, int>> entries, uint32_t blocks) {
        uint32_t p = 0;
        for (auto [c, b] : entries) {
            lpProgScanList->Entry[p].CHANNEL = static_cast<uint32_t>(c);
            lpProgScanList->Entry[p].BLOCK = static_cast<uint32_t>(b);
            ++p;
        }
        lpProgScanList->EntryCount = p;
        lpProgScanList->BlockCount = blocks;
    }
};

TEST_F(AcquireFilesTest, MapFileListsScannedChannelsOnceInAscendingOrder) {
    // Channel 9 twice, channel 4 with no card type, channel 2 a 12-bit card.
    SetTable({{9, 0}, {2, 0}, {4, 0}, {9, 1}, {7, 1}}, 2);
    lpsChannelParams->CARDTYPE[4] = 0;
    strcpy(lpsChannelParams->CardModel[2], "M17-B");
    strcpy(lpsChannelParams->NAME[7], "Strain Gauge");
    strcpy(lpsChannelParams->UNITS[7], "ue");
    lpsChannelParams->GAIN[7] = 200.0;
    lpsChannelParams->SENSITIVITY[7] = 2.5;
    lpsChannelParams->OFFSET[7] = -1.25;
    dSampleRate = 1000.0;
    nRecordingTime = 12;
    const std::string map = TempDir() + "/zd418_map_test.map";
    ASSERT_EQ(BuildScanMapTo(map.c_str()), 1);

    const int spt = MapSamplesPerTransfer(5, 2, 1000.0);
    const std::string expected = std::string("[DATAFILE]\n") +
        "Scans In Minor Frame = 2\n"
        "Channels Per Scan = 3\n"
        "ScanRate = 1000.0000\n"
        "SamplesPerTransfer = " + std::to_string(spt) + "\n"
        "AtLeastRecordSeconds = 12\n"
        "Channel0 = 2\nChannel1 = 7\nChannel2 = 9\n"
        "\n[PARAMETERS]\n"
        "Name0 = CH2\nUnits0 = mV\nGain0 = 1.000000\nSensitivity0 = 1.000000\nOffset0 = 0.000000\n"
        "Name1 = Strain Gauge\nUnits1 = ue\nGain1 = 200.000000\nSensitivity1 = 2.500000\nOffset1 = -1.250000\n"
        "Name2 = CH9\nUnits2 = mV\nGain2 = 1.000000\nSensitivity2 = 1.000000\nOffset2 = 0.000000\n";
    EXPECT_EQ(ReadText(map), expected);
    remove(map.c_str());

    // Tables: offsets of first positions, nothing for the untyped or unscanned.
    EXPECT_EQ(lpsChannelParams->ScanPosition[9], 16);
    EXPECT_EQ(lpsChannelParams->ScanPosition[2], 18);
    EXPECT_EQ(lpsChannelParams->ScanPosition[7], 24);
    EXPECT_EQ(lpsChannelParams->ScanPosition[4], -1);
    EXPECT_EQ(lpsChannelParams->ScanPosition[0], -1);
    EXPECT_EQ(nChannelAdcBits[2], 12);
    EXPECT_EQ(nChannelAdcBits[9], 16);
}

TEST_F(AcquireFilesTest, SamplesPerTransferFollowsTheOneSecondCut) {
    struct Case {
        uint32_t entries, blocks;
        double rate;
        int expected;
    };
    const Case cases[] = {
        {24, 1, 50000.0, 64480},  // 2015 scans last 0.0403 s
        {24, 1, 2015.0, 64480},   // exactly one second is not cut
        {0, 1, 10000.0, 64480},   // 8 header words only
        {192, 32, 20000.0, 200 * 322},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MapSamplesPerTransfer(c.entries, c.blocks, c.rate), c.expected) << c.entries << " " << c.rate;
    // At 1000/s the quotient 2015 / 2.015 may round just below 1000.
    const int at1000 = MapSamplesPerTransfer(24, 1, 1000.0);
    EXPECT_TRUE(at1000 == 32 * 1000 || at1000 == 32 * 999) << at1000;
    // No rate at all: nothing fits in a second; no division trap.
    EXPECT_EQ(MapSamplesPerTransfer(24, 1, 0.0), 0);
}

TEST_F(AcquireFilesTest, ForwardingListsStepFromOccurrenceToOccurrence) {
    SetTable({{3, 0}, {5, 0}, {3, 1}, {8, 1}, {3, 2}}, 3);
    nFirstScannedChannel = 3;
    nRemoteForwardChannel[0] = 8;
    nRemoteForwardChannel[1] = 6;  // not scanned
    ASSERT_EQ(BuildScanMapTo(nullptr), 1);
    ASSERT_EQ(sDisplayForwarding.Count, 3);
    EXPECT_EQ(sDisplayForwarding.Increment[0], 16);  // position 0
    EXPECT_EQ(sDisplayForwarding.Increment[1], 4);   // position 2: 20
    EXPECT_EQ(sDisplayForwarding.Increment[2], 4);   // position 4: 24
    ASSERT_EQ(sRemoteForwarding[0].Count, 1);
    EXPECT_EQ(sRemoteForwarding[0].Increment[0], 22);
    EXPECT_EQ(sRemoteForwarding[1].Count, 0);

    // A display channel that is not scanned, or none at all, forwards nothing.
    for (int32_t c : {6, -1, 256}) {
        nFirstScannedChannel = c;
        BuildScanMapTo(nullptr);
        EXPECT_EQ(sDisplayForwarding.Count, 0) << c;
    }
}

TEST_F(AcquireFilesTest, RawFileAppendsOrTruncatesAndKeepsEveryTransfer) {
    const std::string name = TempDir() + "/zd418_raw_test.raw";
    const std::string a(1000, 'a'), b(600, 'b'), c(40, 'c');
    ASSERT_EQ(OpenRawFileNamed(name.c_str(), false), 1);
    ASSERT_EQ(AppendTransfer(a.data(), static_cast<uint32_t>(a.size())), 1);
    ASSERT_EQ(AppendTransfer(b.data(), static_cast<uint32_t>(b.size())), 1);
    // Each transfer is in the file before the next one is collected, so a
    // program killed now leaves both.
    EXPECT_EQ(ReadBytes(name), a + b);
    ASSERT_EQ(CloseRawFile(), 1);

    // Quick plots prepared from the recording no longer cover it once more
    // is recorded.
    ASSERT_NE(lpQuickPlots, nullptr);
    lpQuickPlots->Prepared = 1;
    ASSERT_EQ(OpenRawFileNamed(name.c_str(), true), 1);
    EXPECT_EQ(lpQuickPlots->Prepared, 0u);
    ASSERT_EQ(AppendTransfer(c.data(), static_cast<uint32_t>(c.size())), 1);
    ASSERT_EQ(CloseRawFile(), 1);
    EXPECT_EQ(ReadBytes(name), a + b + c);

    ASSERT_EQ(OpenRawFileNamed(name.c_str(), false), 1);
    ASSERT_EQ(AppendTransfer(c.data(), static_cast<uint32_t>(c.size())), 1);
    ASSERT_EQ(CloseRawFile(), 1);
    EXPECT_EQ(ReadBytes(name), c);
    remove(name.c_str());

    // Nothing is written without an open file.
    EXPECT_EQ(AppendTransfer(c.data(), 40), 0);
}

TEST_F(AcquireFilesTest, RawFileNameIsCutAtTheFirstDotOfTheFileName) {
    const std::string dir = TempDir() + "/zd418.v2";
    std::filesystem::create_directories(dir);
    snprintf(szTestFile, sizeof szTestFile, "%s/t1.old.mdb", dir.c_str());
    ASSERT_EQ(OpenRawFile(false), 1);
    EXPECT_EQ(std::string(RawFileName()), dir + "/t1.raw");
    CloseRawFile();
    std::filesystem::remove_all(dir);
}

#ifndef _WIN32
TEST_F(AcquireFilesTest, AFullDiskEndsTheRecordingWithoutLosingWhatWasWritten) {
    ASSERT_EQ(OpenRawFileNamed("/dev/full", false), 1);
    const std::string a(4096, 'a');
    EXPECT_EQ(AppendTransfer(a.data(), static_cast<uint32_t>(a.size())), 0);
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(RawTransfersWritten(), 0u);
}
#endif

TEST_F(AcquireFilesTest, AFileThatCannotBeOpenedLeavesNoStream) {
    EXPECT_EQ(OpenRawFileNamed("/nonexistent-dir/x/y.raw", false), 0);
    EXPECT_FALSE(RawFileIsOpen());
    EXPECT_EQ(AppendTransfer("x", 1), 0);
    EXPECT_EQ(CloseRawFile(), 1);
}

}  // namespace
