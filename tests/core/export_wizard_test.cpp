// The data wizard: each check lists exactly the channels it should, at the
// converter limits too, and the noise figure stays exact on long recordings.
#include <gtest/gtest.h>

#include <cmath>

#include "export/data_wizard.h"
#include "export_fixture.h"

using namespace exporttest;

namespace {

class DataWizard : public ExportTest {
  protected:
    std::string Report() const { return dir + "wizard.txt"; }
    std::vector<std::string> Run(bool notChanging, bool atRail, bool noisy, int32_t expect = 1) {
        std::string problem;
        EXPECT_EQ(RunDataWizard({notChanging, atRail, noisy}, test.c_str(), Report().c_str(), &problem, nullptr),
                  expect)
            << problem;
        return SplitLines(ReadText(Report()));
    }
};

const char* const kFlat = "*****************CHANNELS THAT CHANGED LESS THAN 50 COUNTS***************************";
const char* const kRail = "*****************CHANNELS THAT OVERLOADED********************************************";
const char* const kNoisy = "*****************CHANNELS THAT APPEAR NOISY********************************";

TEST_F(DataWizard, EachCheckListsExactlyItsChannels) {
    // 0 constant, 1 railed (16-bit), 2 noisy (16-bit), 3 clean, 4 a 12-bit
    // channel at +full scale (not at the rail), 5 a 12-bit one at -full
    // scale (at the rail), 6 a 12-bit channel that is noisy by 16x its counts.
    SingleRate({0, 1, 2, 3, 4, 5, 6}, 1, 100.0);
    for (int c : {4, 5, 6}) Channel(c, ("Twelve" + std::to_string(c)).c_str(), "M13-B", 1, 1, 0);
    auto sample = [](uint64_t s, uint32_t p) -> int16_t {
        const int sign = s % 2 ? 1 : -1;
        switch (p) {
            case 0: return 1234;
            case 1: return s == 300 ? 32766 : 100;
            case 2: return static_cast<int16_t>(sign * 60);  // deviation 60 > 50
            case 3: return static_cast<int16_t>(sign * 40 + static_cast<int>(s % 7));  // changes, quiet
            case 4: return 2047;
            case 5: return s == 10 ? -2048 : 0;
            default: return static_cast<int16_t>(sign * 30);  // 480 after scaling > 400
        }
    };
    WriteRaw(MakeRaw(500, sample));
    const std::vector<std::string> lines = Run(true, true, true);
    const std::vector<std::string> want = {
        kFlat,  "Channel 0 Named CH0 ", "Channel 4 Named Twelve4 ",
        kRail,  "Channel 1 Named CH1 ", "Channel 5 Named Twelve5 ",
        // A single spike in 500 samples is noise too (deviation about 1460).
        kNoisy, "Channel 1 Named CH1 ", "Channel 2 Named CH2 ", "Channel 5 Named Twelve5 ", "Channel 6 Named Twelve6 ",
    };
    EXPECT_EQ(lines, want);
    // The display-selected channel is not disturbed.
    EXPECT_EQ(nFirstScannedChannel, 0);
}

TEST_F(DataWizard, RailLimitsOfBothConverters) {
    struct Case {
        int16_t sample;
        const char* model;
        bool railed;
    } cases[] = {
        {32766, "M11-A", true},  {32767, "M11-A", true},  {-32766, "M11-A", true}, {-32767, "M11-A", true},
        {-32768, "M11-A", true}, {32765, "M11-A", false}, {-32765, "M11-A", false}, {2047, "M14-B", false},
        {-2048, "M14-B", true},  {2046, "M14-B", false},
        // Counts no 12-bit converter gives: times 16 they wrap as 16-bit words.
        {2048, "M14-B", true},   {4096, "M14-B", false},  {6144, "M14-B", true},   {-2049, "M14-B", false},
    };
    SingleRate({0}, 1, 100.0);
    for (const Case& c : cases) {
        Channel(0, "X", c.model, 1, 1, 0);
        WriteRaw(MakeRaw(3, [&](uint64_t s, uint32_t) { return s == 1 ? c.sample : int16_t{0}; }));
        const std::vector<std::string> lines = Run(false, true, false);
        EXPECT_EQ(lines.size(), c.railed ? 2u : 1u) << c.sample << " " << c.model;
    }
}

TEST_F(DataWizard, NoChecksOrNoScansGiveNoChannelLines) {
    SingleRate({0, 1}, 1, 100.0);
    WriteRaw(MakeRaw(5, [](uint64_t, uint32_t) { return int16_t{0}; }));
    Run(false, false, false);
    EXPECT_TRUE(Exists(Report()));
    EXPECT_EQ(ReadBytes(Report()), "");
    // A raw file shorter than one scan: banners only, no channel.
    WriteRaw(std::string(ScanBytes() - 1, '\0'));
    EXPECT_EQ(Run(true, true, true), (std::vector<std::string>{kFlat, kRail, kNoisy}));
    // No raw file at all: banners, and the caller is told.
    std::filesystem::remove(RawName());
    EXPECT_EQ(Run(true, false, false, 0), (std::vector<std::string>{kFlat}));
}

TEST_F(DataWizard, TheFileIsScreenedToItsLastScanWithProgressToItsEnd) {
    // The file is screened in two halves at once: a change in the very last
    // scan still counts against the first sample, and progress ends at the
    // file's length (a partial last scan included), never beyond it.
    SingleRate({0, 1}, 1, 100.0);
    WriteRaw(MakeRaw(1001, [](uint64_t s, uint32_t p) { return p == 0 && s == 1000 ? int16_t{51} : int16_t{0}; }) +
             std::string(3, '\0'));
    EXPECT_EQ(Run(true, false, false), (std::vector<std::string>{kFlat, "Channel 1 Named CH1 "}));
    RecordingLayout layout;
    std::string problem;
    ASSERT_EQ(CurrentRecordingLayout(&layout, &problem), 1);
    struct Seen {
        uint64_t last = 0, total = 0;
        bool backwards = false;
    } seen;
    ExportProgress progress{[](void* c, uint64_t done, uint64_t total) {
                                Seen* s = static_cast<Seen*>(c);
                                if (done < s->last) s->backwards = true;
                                s->last = done;
                                s->total = total;
                            },
                            &seen};
    std::vector<ChannelScreening> screened;
    ASSERT_EQ(ScreenRecording(RawName().c_str(), layout, &screened, &progress), 1);
    ASSERT_EQ(screened.size(), 2u);
    EXPECT_EQ(screened[0].Samples, 1001u);
    EXPECT_TRUE(screened[0].Changing);
    EXPECT_FALSE(screened[1].Changing);
    EXPECT_FALSE(seen.backwards);
    EXPECT_EQ(seen.total, 1001 * ScanBytes() + 3);
    EXPECT_EQ(seen.last, seen.total);
}

TEST_F(DataWizard, NoiseStaysExactOnLongRecordingsNearFullScale) {
    // Four million samples around 30000: a single-precision sum of them is
    // off by thousands of counts, and its deviation with it.  The true
    // deviations are 49 (quiet) and 51 (noisy).
    SingleRate({0, 0, 0, 0, 1, 1, 1, 1}, 1, 1000.0);
    for (uint32_t p = 0; p < 8; ++p) lpProgScanList->Entry[p].BLOCK = 0;
    std::string raw;
    const uint64_t scans = 500000;
    raw = MakeRaw(scans, [](uint64_t s, uint32_t p) {
        const int sign = (s + p) % 2 ? 1 : -1;
        return static_cast<int16_t>(30000 + sign * (p < 4 ? 49 : 51));
    });
    WriteRaw(raw);
    RecordingLayout layout;
    std::string problem;
    ASSERT_EQ(CurrentRecordingLayout(&layout, &problem), 1);
    std::vector<ChannelScreening> screened;
    ASSERT_EQ(ScreenRecording(RawName().c_str(), layout, &screened, nullptr), 1);
    ASSERT_EQ(screened.size(), 2u);
    EXPECT_EQ(screened[0].Samples, 4 * scans);
    EXPECT_DOUBLE_EQ(screened[0].Deviation, 49.0);
    EXPECT_DOUBLE_EQ(screened[1].Deviation, 51.0);
    EXPECT_FALSE(ListedNoisy(screened[0], 16));
    EXPECT_TRUE(ListedNoisy(screened[1], 16));
}

TEST_F(DataWizard, ScreeningMatchesASampleBySampleCount) {
    // An odd number of scans over several reads of the file, a channel in
    // two positions, 12- and 16-bit cards, and -32768 in consecutive scans
    // (the largest square, twice).  Every figure must equal one worked out
    // sample by sample.
    Table({{0, 0}, {1, 0}, {2, 0}, {0, 1}, {3, 1}}, 2, 100.0);
    Channel(1, "Twelve", "M13-B", 1, 1, 0);
    const uint64_t scans = 131071;  // 26 bytes each: about 3.2 MB
    auto sample = [](uint64_t s, uint32_t p) -> int16_t {
        switch (p) {
            case 0: return static_cast<int16_t>(static_cast<int64_t>(s * 2654435761u % 65536) - 32768);
            case 1:  // now and then a count beyond the 12-bit range
                if (s % 997 == 5) return static_cast<int16_t>(2048 * static_cast<int>(1 + s % 3));
                return static_cast<int16_t>(static_cast<int64_t>(s * 40503 % 4096) - 2048);
            case 2: return s < 4 ? int16_t{-32768} : static_cast<int16_t>(-32760 + static_cast<int>(s % 3));
            case 3: return static_cast<int16_t>(static_cast<int64_t>((s * s) % 65536) - 32768);
            default: return static_cast<int16_t>(1000 + static_cast<int>(s % 41));
        }
    };
    WriteRaw(MakeRaw(scans, sample));
    RecordingLayout layout;
    std::string problem;
    ASSERT_EQ(CurrentRecordingLayout(&layout, &problem), 1);
    std::vector<ChannelScreening> screened;
    ASSERT_EQ(ScreenRecording(RawName().c_str(), layout, &screened, nullptr), 1);
    ASSERT_EQ(screened.size(), 4u);
    for (const ChannelScreening& got : screened) {
        SCOPED_TRACE("channel " + std::to_string(got.Channel));
        const int64_t scale = got.Channel == 1 ? 16 : 1;
        uint64_t n = 0;
        int64_t sum = 0;
        unsigned __int128 squares = 0;
        bool changing = false, railed = false;
        int64_t first = 0;
        for (uint64_t s = 0; s < scans; ++s)
            for (uint32_t p = 0; p < Positions(); ++p) {
                if (lpProgScanList->Entry[p].CHANNEL != static_cast<uint32_t>(got.Channel)) continue;
                const int64_t v = sample(s, p);
                if (n == 0) first = v;
                changing = changing || v - first > 50 || first - v > 50;
                const int16_t word = static_cast<int16_t>(static_cast<uint16_t>(v * scale));
                railed = railed || word > 32765 || word < -32765;
                ++n;
                sum += v * scale;
                squares += static_cast<unsigned __int128>(static_cast<uint64_t>(v * scale * v * scale));
            }
        EXPECT_EQ(got.Samples, n);
        EXPECT_EQ(got.Changing, changing);
        EXPECT_EQ(got.Railed, railed);
        const __int128 spread = static_cast<__int128>(n) * static_cast<__int128>(squares) -
                                static_cast<__int128>(sum) * static_cast<__int128>(sum);
        EXPECT_EQ(got.Deviation, std::sqrt(static_cast<double>(spread) / static_cast<double>(n) / static_cast<double>(n)));
    }
    // The channel at the negative limit is railed and changes by less than 50.
    EXPECT_TRUE(screened[2].Railed);
    EXPECT_FALSE(screened[2].Changing);
}

}  // namespace
