// Quick plots: decimation of a whole generated recording, the overload
// limits, the scaling of the plot and the text window's pages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "displays/quick_plot_prep.h"
#include "displays/text_window_pages.h"
#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

std::string TempName(const char* name) {
#ifdef _WIN32
    return std::string(".\\") + name;
#else
    const char* t = getenv("TMPDIR");
    return std::string(t && *t ? t : "/tmp") + "/" + name;
#endif
}

class QuickPlotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        ClearScanTable();
        for (int c = 0; c < kChannels; ++c) {
            snprintf(lpsChannelParams->NAME[c], 32, "CH%d", c);
            strcpy(lpsChannelParams->CardModel[c], "M15-C");
            lpsChannelParams->GAIN[c] = 1.0;
            lpsChannelParams->SENSITIVITY[c] = 1.0;
            lpsChannelParams->OFFSET[c] = 0.0;
        }
        raw = TempName("quick_plot_test.raw");
    }
    void TearDown() override {
        remove(raw.c_str());
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
    // Writes `scans` scans; sample(scan, position) gives each word.  `tail`
    // extra bytes follow (a partial scan).
    template <typename Sample>
    void WriteRecording(uint32_t scans, Sample sample, uint32_t tail = 0) {
        const uint32_t entries = lpProgScanList->EntryCount;
        std::vector<uint8_t> bytes;
        bytes.reserve(static_cast<size_t>(scans) * (16 + 2 * entries) + tail);
        for (uint32_t s = 0; s < scans; ++s) {
            for (int h = 0; h < 16; ++h) bytes.push_back(static_cast<uint8_t>(h == 0 ? 0x6B : h == 1 ? 0xFE : s));
            for (uint32_t p = 0; p < entries; ++p) {
                const uint16_t w = static_cast<uint16_t>(sample(s, p));
                bytes.push_back(static_cast<uint8_t>(w & 0xFF));
                bytes.push_back(static_cast<uint8_t>(w >> 8));
            }
        }
        for (uint32_t i = 0; i < tail; ++i) bytes.push_back(0x7F);
        FILE* f = fopen(raw.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        fclose(f);
    }
    std::string raw;
};

TEST_F(QuickPlotTest, PointsSpanTheWholeRecordingAndAreTheRecordedSamples) {
    // Channel 5 in each of 4 blocks, 9 and 200 once per scan.
    SetTable({{5, 0}, {9, 0}, {5, 1}, {5, 2}, {200, 2}, {5, 3}}, 4);
    const uint32_t scans = 10000;
    // Channel 5's k-th sample is k (mod 30000): its place in the recording.
    auto sample = [](uint32_t s, uint32_t p) -> int32_t {
        static const int occurrence[6] = {0, -1, 1, 2, -1, 3};
        if (p == 1) return -static_cast<int32_t>(s % 30000);
        if (p == 4) return 1234;
        return static_cast<int32_t>((s * 4 + occurrence[p]) % 30000);
    };
    WriteRecording(scans, sample, 7);
    std::vector<uint64_t> reports;
    QuickPlotProgress progress = {
        [](void* ctx, uint64_t done, uint64_t) { static_cast<std::vector<uint64_t>*>(ctx)->push_back(done); },
        &reports};
    ASSERT_EQ(PrepareQuickPlotsFrom(raw.c_str(), &progress), 1);
    const QuickPlots& q = *lpQuickPlots;
    EXPECT_EQ(q.Prepared, 1u);

    // One sample in d, d rounded up so that the points reach the end.
    const uint64_t samples = 4u * scans;
    const uint64_t d = QuickPlotInterval(4, scans);
    EXPECT_EQ(d, (samples + 2047) / 2048);
    const int32_t n5 = QuickPlotPointCount(5);
    EXPECT_EQ(n5, static_cast<int32_t>((samples + d - 1) / d));
    EXPECT_LE(n5, 2048);
    for (int i = 0; i < n5; ++i) {
        ASSERT_EQ(q.Points[5][i][1], static_cast<int32_t>((i * d) % 30000)) << "point " << i;
        ASSERT_EQ(q.Points[5][i][0], i);
    }
    EXPECT_GE((n5 - 1) * d, samples - d) << "the points must reach the end of the recording";
    // Channel 9 is scanned once per scan: fewer points, spread just as far.
    const int32_t n9 = QuickPlotPointCount(9);
    EXPECT_EQ(n9, static_cast<int32_t>((scans + d - 1) / d));
    EXPECT_GE((n9 - 1) * d, scans - d);
    for (int i = 0; i < n9; ++i) ASSERT_EQ(q.Points[9][i][1], -static_cast<int32_t>(i * d % 30000));
    for (int i = n9; i < 2048; ++i) ASSERT_EQ(q.Points[9][i][1], 0);
    EXPECT_EQ(q.Points[200][0][1], 1234);
    // Occurrence tables: first offset 16 + 2p, then distances.
    ASSERT_EQ(q.OccurrenceCount[5], 4u);
    EXPECT_EQ(q.Offsets[5][0], 16);
    EXPECT_EQ(q.Offsets[5][1], 4);
    EXPECT_EQ(q.Offsets[5][2], 2);
    EXPECT_EQ(q.Offsets[5][3], 4);
    EXPECT_EQ(q.OccurrenceCount[9], 1u);
    EXPECT_EQ(q.OccurrenceCount[7], 0u);
    EXPECT_EQ(QuickPlotPointCount(7), 0);
    // Progress: rising to the whole file (the partial scan's bytes included).
    ASSERT_FALSE(reports.empty());
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]);
    EXPECT_EQ(reports.back(), scans * (16u + 12u) + 7u);
}

TEST(QuickPlotInterval, PointsReachTheEndForAnyLength) {
    // Every length from a few samples to a long recording: 2048 points one
    // interval apart reach the last interval, and whole scans are counted
    // from the full file size.
    for (uint64_t samples : {0ull, 1ull, 2047ull, 2048ull, 2049ull, 4095ull, 4097ull, 1000000007ull}) {
        const uint64_t d = QuickPlotInterval(1, samples);
        if (samples == 0) {
            EXPECT_EQ(d, 0u);
            continue;
        }
        const uint64_t kept = d == 0 ? samples : (samples + d - 1) / d;
        EXPECT_LE(kept, 2048u) << samples;
        EXPECT_GE((kept - 1) * (d ? d : 1) + (d ? d : 1), samples) << samples;
    }
    EXPECT_EQ(RawFileScans(28 * 1000 + 27, 6), 1000u);
    EXPECT_EQ(RawFileScans(15, 0), 0u);
    EXPECT_EQ(QuickPlotInterval(4, 10000), 20u);
}

TEST_F(QuickPlotTest, AShortRecordingKeepsEverySample) {
    SetTable({{3, 0}}, 1);
    WriteRecording(100, [](uint32_t s, uint32_t) { return static_cast<int32_t>(s) - 50; });
    ASSERT_EQ(PrepareQuickPlotsFrom(raw.c_str(), nullptr), 1);
    ASSERT_EQ(QuickPlotPointCount(3), 100);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(lpQuickPlots->Points[3][i][1], i - 50);
}

TEST_F(QuickPlotTest, OverloadFollowsTheCardsLimitOnBothSides) {
    struct Case {
        const char* model;
        int32_t sample;
        bool overload;
    };
    const Case cases[] = {
        {"M15-C", 32765, false},  {"M15-C", 32766, true},  {"M15-C", -32765, false}, {"M15-C", -32766, true},
        {"M15-C", -32768, true},  {"M21", 32767, true},    {"XYZ", -32765, false},   {"XYZ", -32766, true},
        {"M17-B", 2045, false},   {"M17-B", 2046, true},   {"M17-B", -2045, false},  {"M17-B", -2046, true},
        {"M13-B", 2046, true},    {"M20-B", -2046, true},  {"M16", 2045, false},     {"M12", 2046, false},
    };
    SetTable({{0, 0}, {1, 0}}, 1);
    for (const Case& k : cases) {
        strcpy(lpsChannelParams->CardModel[0], k.model);
        // The spike is one sample in the middle, which no point keeps.
        WriteRecording(5000, [&](uint32_t s, uint32_t p) { return p == 0 && s == 2501 ? k.sample : 0; });
        ASSERT_EQ(PrepareQuickPlotsFrom(raw.c_str(), nullptr), 1);
        EXPECT_EQ(lpQuickPlots->Overload[0], k.overload ? 1u : 0u) << k.model << " " << k.sample;
        EXPECT_EQ(lpQuickPlots->Overload[1], 0u);
    }
    EXPECT_EQ(QuickPlotThreshold("M19-B"), 2045u);
    EXPECT_EQ(QuickPlotThreshold("M17-C"), 32765u);
    EXPECT_EQ(QuickPlotThreshold("M17-BX"), 32765u);
    EXPECT_EQ(QuickPlotThreshold(""), 32765u);
}

TEST_F(QuickPlotTest, NoFileOrNoModelPreparesNothing) {
    SetTable({{0, 0}}, 1);
    lpQuickPlots->Prepared = 1;
    EXPECT_EQ(PrepareQuickPlotsFrom(TempName("no_such_recording.raw").c_str(), nullptr), 0);
    EXPECT_EQ(lpQuickPlots->Prepared, 0u);
    // An empty recording is prepared, with nothing in it.
    WriteRecording(0, [](uint32_t, uint32_t) { return 0; }, 5);
    EXPECT_EQ(PrepareQuickPlotsFrom(raw.c_str(), nullptr), 1);
    EXPECT_EQ(QuickPlotPointCount(0), 0);
    // The test's own file name is cut at the first dot of its file name.
    snprintf(szTestFile, sizeof szTestFile, "%s", TempName("quick_plot_test.v1.mdb").c_str());
    WriteRecording(10, [](uint32_t, uint32_t) { return 77; });
    char name[300];
    uint64_t bytes = 0;
    ASSERT_TRUE(RecordedFileSize(name, sizeof name, &bytes));
    EXPECT_EQ(std::string(name), raw);
    EXPECT_EQ(bytes, 10u * 18u);
    EXPECT_EQ(PrepareQuickPlots(nullptr), 1);
    EXPECT_EQ(lpQuickPlots->Points[0][9][1], 77);
}

TEST_F(QuickPlotTest, ScanListChannelsInOrderOfFirstPosition) {
    SetTable({{7, 0}, {3, 0}, {7, 1}, {300, 1}, {0, 1}, {3, 2}}, 3);
    lpProgScanList->Entry[3].CHANNEL = kScanEmpty;
    int32_t channels[kChannels];
    ASSERT_EQ(ScanListChannels(channels), 3);
    EXPECT_EQ(channels[0], 7);
    EXPECT_EQ(channels[1], 3);
    EXPECT_EQ(channels[2], 0);
}

TEST_F(QuickPlotTest, PlotScaleAndFullScaleLabel) {
    struct Case {
        double gain;
        uint32_t variableEnabled;
        double variable;
        int32_t fullScale;
    };
    const Case cases[] = {{1, 0, 0, 10000}, {100, 0, 0, 100}, {3, 0, 0, 3333}, {0, 0, 0, 10000},
                          {-5, 0, 0, 10000}, {NAN, 0, 0, 10000}, {1, 1, 250, 40}, {1, 1, 0, 10000}};
    for (const Case& k : cases) {
        lpsChannelParams->GAIN[4] = k.gain;
        lpsChannelParams->VARIABLEGAINENABLE[4] = k.variableEnabled;
        lpsChannelParams->VARIABLEGAIN[4] = k.variable;
        EXPECT_EQ(QuickPlotFullScale(4), k.fullScale) << k.gain << " " << k.variable;
    }
    // +half-range at the top row, -half-range at the bottom, across the width.
    strcpy(lpsChannelParams->CardModel[2], "M17-B");
    EXPECT_EQ(QuickPlotHalfRange(2), 2048);
    EXPECT_EQ(QuickPlotHalfRange(1), 32768);
    SetTable({{2, 0}}, 1);
    WriteRecording(5, [](uint32_t s, uint32_t) { return s == 0 ? 2048 : s == 1 ? -2048 : 0; });
    ASSERT_EQ(PrepareQuickPlotsFrom(raw.c_str(), nullptr), 1);
    std::vector<int32_t> xy(2 * kQuickPlotPoints);
    // Only the five recorded points, spread across the width.
    ASSERT_EQ(QuickPlotPolyline(2, 201, 101, xy.data()), 5);
    EXPECT_EQ(xy[0], 0);
    EXPECT_EQ(xy[1], 0);
    EXPECT_EQ(xy[2], 50);
    EXPECT_EQ(xy[3], 100);
    EXPECT_EQ(xy[5], 50);
    EXPECT_EQ(xy[8], 200);
    EXPECT_EQ(QuickPlotPolyline(3, 201, 101, xy.data()), 0);
}

TEST_F(QuickPlotTest, TextWindowPagesAndValues) {
    EXPECT_EQ(NextTextPage(1), 2);
    EXPECT_EQ(NextTextPage(15), 16);
    EXPECT_EQ(NextTextPage(16), 1);
    EXPECT_EQ(NextTextPage(0), 1);
    EXPECT_EQ(NextTextPage(99), 1);
    EXPECT_EQ(FirstChannelOfTextPage(1), 0);
    EXPECT_EQ(FirstChannelOfTextPage(16), 240);
    EXPECT_EQ(FirstChannelOfTextPage(17), 0);
    lpsChannelParams->GAIN[8] = 10;
    lpsChannelParams->SENSITIVITY[8] = 2;
    lpsChannelParams->OFFSET[8] = 1;
    double a = 0, b = 0;
    ASSERT_TRUE(TextWindowValues(8, &a, &b));
    EXPECT_DOUBLE_EQ(a, 1981.0);
    EXPECT_DOUBLE_EQ(b, 1601.0);
    lpsChannelParams->GAIN[8] = 0;
    ASSERT_TRUE(TextWindowValues(8, &a, &b));
    EXPECT_DOUBLE_EQ(a, 19801.0);
    EXPECT_FALSE(TextWindowValues(256, &a, &b));
}

}  // namespace
