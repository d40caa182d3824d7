// DAC waveforms sample by sample, region layout, and the setup dialog's
// edits with their range checks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "outputs/dac_outputs.h"
#include "outputs/dac_setup_rules.h"
#include "outputs/dac_waves.h"
#include "outputs/field_values.h"
#include "platform/fake/fake_platform.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

std::vector<int16_t> Wave(int32_t wave, int32_t points, uint32_t seed = 1) {
    std::vector<int16_t> v(static_cast<size_t>(kDacMaxPoints + 5), 0x5A5A);
    int32_t n = GenerateDacWave(wave, points, seed, v.data(), static_cast<int32_t>(v.size()));
    v.resize(static_cast<size_t>(n < 0 ? 0 : n));
    return v;
}

TEST(DacWaves, TenPointCyclesAreExactlyTheDefinedSamples) {
    const struct {
        int32_t wave;
        std::vector<int16_t> samples;
    } table[] = {
        {kWaveSquare, {-32768, -32768, -32768, -32768, -32768, 32767, 32767, 32767, 32767, 32767}},
        {kWaveTriangle, {-32768, -16384, 0, 16383, 32766, 32767, 16384, 0, -16384, -32768}},
        {kWaveSawtooth, {-32765, -26212, -19659, -13106, -6553, 0, 6553, 13106, 19659, 26212}},
        // Truncated toward zero, not rounded: 19255.8 gives 19255, -19255.8 gives -19255.
        {kWaveSine, {0, 19255, 31156, 31156, 19255, 0, -19255, -31156, -31156, -19255}},
    };
    for (const auto& k : table) {
        SCOPED_TRACE(kDacWaveNames[k.wave]);
        EXPECT_EQ(Wave(k.wave, 10), k.samples);
    }
    EXPECT_EQ(Wave(kWaveSine, 16), (std::vector<int16_t>{0, 12536, 23164, 30266, 32760, 30266, 23164, 12536, 0,
                                                         -12536, -23164, -30266, -32760, -30266, -23164, -12536}));
}

// Odd and long cycles stay inside 16 bits and keep each wave's shape.
TEST(DacWaves, EveryLengthStaysInRangeWithItsShape) {
    for (int32_t n = kDacMinPoints; n <= kDacMaxPoints; ++n) {
        SCOPED_TRACE(n);
        std::vector<int16_t> tri = Wave(kWaveTriangle, n), saw = Wave(kWaveSawtooth, n), sq = Wave(kWaveSquare, n);
        ASSERT_EQ(tri.size(), static_cast<size_t>(n));
        // The negative peak within one step of the ramp.
        EXPECT_LE(tri[0], -32768 + n / 4);
        EXPECT_EQ(tri[static_cast<size_t>(n / 2)], 32767);
        for (int32_t i = 1; i <= n / 2; ++i) EXPECT_GE(tri[i], tri[i - 1]) << i;
        for (int32_t i = n / 2 + 1; i < n; ++i) EXPECT_LE(tri[i], tri[i - 1]) << i;
        for (int32_t i = 1; i < n; ++i) EXPECT_GT(saw[i], saw[i - 1]) << i;
        EXPECT_EQ(saw[static_cast<size_t>(n / 2)], 0);
        int32_t low = 0;
        for (int16_t v : sq) low += v == -32768;
        EXPECT_EQ(low, n / 2);
    }
}

TEST(DacWaves, NoiseIsTheSameForTheSameSeedAndFitsItsRange) {
    std::vector<int16_t> a = Wave(kWaveNoise, 210, 77), b = Wave(kWaveNoise, 210, 77), c = Wave(kWaveNoise, 210, 78);
    ASSERT_EQ(a.size(), 210u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    int16_t lo = 32767, hi = -32768;
    for (int16_t v : a) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_GE(lo, -16383);
    EXPECT_LE(hi, 16384);
    EXPECT_GT(hi - lo, 20000) << "not noise";
    // The seed of a region comes from where it is, so it differs between
    // regions, outputs and cards, and not between two downloads.
    EXPECT_EQ(DacNoiseSeed(20, 0, 3), DacNoiseSeed(20, 0, 3));
    EXPECT_NE(DacNoiseSeed(20, 0, 3), DacNoiseSeed(20, 1, 3));
    EXPECT_NE(DacNoiseSeed(20, 0, 3), DacNoiseSeed(20, 0, 4));
    EXPECT_NE(DacNoiseSeed(20, 0, 3), DacNoiseSeed(21, 0, 3));
}

TEST(DacWaves, WavesAndLengthsThatCannotBeGeneratedGiveNothing) {
    int16_t out[300];
    const struct {
        int32_t wave, points, capacity;
    } bad[] = {{5, 10, 300}, {-1, 10, 300}, {kWaveSine, 9, 300}, {kWaveSine, 211, 300},
               {kWaveSine, 0, 300}, {kWaveTriangle, 100, 99}};
    for (const auto& k : bad) EXPECT_EQ(GenerateDacWave(k.wave, k.points, 1, out, k.capacity), 0) << k.wave;
    EXPECT_EQ(GenerateDacWave(kWaveSine, 10, 1, nullptr, 10), 0);
}

class DacRecords : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReset();
        for (DacChannel& d : sDacChannel) {
            memset(&d, 0, sizeof d);
            d.HARDCHAN = -1;
            for (int w = 0; w < kDacWaves; ++w) d.FREQ[w][0] = d.FREQ[w][1] = 10;
        }
        dSampleRate = 1000.0;
        bTestSaved = true;
    }
};

TEST_F(DacRecords, RegionsStartAfterThePointsOfTheRegionsBeforeThem) {
    DacChannel& d = sDacChannel[0];
    d.FREQ[0][1] = 100;
    d.FREQ[1][1] = 50;
    d.FREQ[2][1] = 30;
    EXPECT_EQ(DacRegionStart(d, 1, 0), 0);
    EXPECT_EQ(DacRegionStart(d, 1, 1), 100);
    EXPECT_EQ(DacRegionStart(d, 1, 2), 150);
    EXPECT_EQ(DacRegionStart(d, 1, 3), 180);
    d.REGIONS[0] = 0;
    d.REGIONS[1] = 12;  // beyond the ten a record holds
    EXPECT_EQ(DacRegionCount(d, 0), 0);
    EXPECT_EQ(DacRegionCount(d, 1), 10);
    // Only a channel number names a card.
    for (int32_t h : {-1, 256, 1000}) {
        d.HARDCHAN = h;
        EXPECT_FALSE(DacRecordInUse(d)) << h;
    }
    d.HARDCHAN = 255;
    EXPECT_TRUE(DacRecordInUse(d));
}

TEST_F(DacRecords, SetupEditsStoreTheirValueAndMarkTheTestUnsaved) {
    sDacChannel[2].HARDCHAN = 40;
    sDacChannel[5].HARDCHAN = 41;
    int32_t records[16];
    ASSERT_EQ(DacRecordsInUse(records), 2);
    EXPECT_EQ(records[0], 2);
    EXPECT_EQ(records[1], 5);

    std::string message;
    ASSERT_TRUE(DacSetLevel(2, 1, " -2500 ", &message));
    EXPECT_EQ(sDacChannel[2].STATICOUT[1], -2500);
    EXPECT_EQ(sDacChannel[2].STATICOUT[0], 0);
    EXPECT_FALSE(bTestSaved);
    ASSERT_TRUE(DacSetOutputType(2, 1, 1));
    EXPECT_EQ(sDacChannel[2].OUTTYPE[1], 1);
    EXPECT_EQ(sDacChannel[2].OUTTYPE[0], 0);
    // Start type, regions, points and loops are the same for both outputs.
    ASSERT_TRUE(DacSetStartType(2, 1));
    EXPECT_EQ(sDacChannel[2].STARTTYPE[0], 1);
    EXPECT_EQ(sDacChannel[2].STARTTYPE[1], 1);
    ASSERT_TRUE(DacSetRegions(2, 3));
    EXPECT_EQ(sDacChannel[2].REGIONS[0], 3);
    EXPECT_EQ(sDacChannel[2].REGIONS[1], 3);
    ASSERT_TRUE(DacSetPointsChoice(2, 2, 90));
    EXPECT_EQ(sDacChannel[2].FREQ[2][0], 100);
    EXPECT_EQ(sDacChannel[2].FREQ[2][1], 100);
    ASSERT_TRUE(DacSetLoop(2, 2, "12", &message));
    EXPECT_EQ(sDacChannel[2].LOOP[2][0], 12);
    EXPECT_EQ(sDacChannel[2].LOOP[2][1], 12);
    ASSERT_TRUE(DacSetMasterLoop(2, "3", &message));
    EXPECT_EQ(sDacChannel[2].MASTERLOOP, 3);
    // The wave is per output.
    ASSERT_TRUE(DacSetWave(2, 0, 2, kWaveNoise));
    EXPECT_EQ(sDacChannel[2].WAVE[2][0], kWaveNoise);
    EXPECT_EQ(sDacChannel[2].WAVE[2][1], kWaveSine);
    EXPECT_EQ(DacFrequencyText(100), "10.000000");
}

TEST_F(DacRecords, BadValuesChangeNothingAndSayWhatIsWanted) {
    DacChannel& d = sDacChannel[0];
    d.HARDCHAN = 40;
    d.STATICOUT[0] = 100;
    d.LOOP[1][0] = d.LOOP[1][1] = 7;
    d.MASTERLOOP = 2;
    const DacChannel before = d;
    const struct {
        const char* text;
    } levels[] = {{"10001"}, {"-10001"}, {"12abc"}, {""}, {"1.5"}, {"99999999999"}, {"- 5"}};
    for (const auto& k : levels) {
        std::string message;
        EXPECT_FALSE(DacSetLevel(0, 0, k.text, &message)) << k.text;
        EXPECT_EQ(message, "The Level Must Be A Whole Number From -10000 To 10000 mV");
    }
    std::string message;
    EXPECT_FALSE(DacSetLoop(0, 1, "-1", &message));
    EXPECT_EQ(message, "The Loop Count Must Be A Whole Number From 0 To 2147483647");
    EXPECT_FALSE(DacSetLoop(0, 1, "2147483648", &message));
    EXPECT_FALSE(DacSetMasterLoop(0, "x", &message));
    EXPECT_EQ(message, "The Master Loop Must Be A Whole Number From 0 To 2147483647");
    // Arguments the dialog could not give are refused too.
    EXPECT_FALSE(DacSetRegions(0, 11));
    EXPECT_FALSE(DacSetRegions(0, -1));
    EXPECT_FALSE(DacSetWave(0, 0, 0, 5));
    EXPECT_FALSE(DacSetWave(0, 2, 0, 1));
    EXPECT_FALSE(DacSetWave(0, 0, 10, 1));
    EXPECT_FALSE(DacSetPointsChoice(0, 0, 201));
    EXPECT_FALSE(DacSetPointsChoice(16, 0, 1));
    EXPECT_FALSE(DacSetOutputType(0, 0, 2));
    EXPECT_FALSE(DacSetStartType(0, 2));
    EXPECT_EQ(memcmp(&before, &d, sizeof d), 0);
    EXPECT_TRUE(bTestSaved);

    int32_t mv = 123;
    EXPECT_FALSE(DacParseImmediateLevel("10500", &mv, &message));
    EXPECT_EQ(mv, 123);
    EXPECT_EQ(message, "The Voltage Must Be A Whole Number From -10000 To 10000 mV");
    EXPECT_TRUE(DacParseImmediateLevel("-10000", &mv, &message));
    EXPECT_EQ(mv, -10000);
}

TEST(DacTestWaves, TheWaveFileIs25CyclesOfA4096PointSine) {
    const std::string path = ::testing::TempDir() + "outp_wavefile.wav";
    ASSERT_EQ(WriteTestWaveFile(path.c_str()), 1);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    remove(path.c_str());
    ASSERT_EQ(bytes.size(), 25u * 4096u * 2u);
    auto at = [&](size_t i) { return static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); };
    const struct {
        size_t i;
        int16_t v;
    } table[] = {{0, 0}, {1, 50}, {1024, 32767}, {2048, 0}, {3072, -32767}, {4095, -50}};
    for (int cycle = 0; cycle < 25; ++cycle)
        for (const auto& k : table) ASSERT_EQ(at(cycle * 4096u + k.i), k.v) << cycle << " " << k.i;
    EXPECT_EQ(WriteTestWaveFile((::testing::TempDir() + "no/such/dir/Wavefile.wav").c_str()), 0);
}

TEST(DacTestWaves, PairsNameTheFirstSixRecordsInUseTwice) {
    for (DacChannel& d : sDacChannel) d.HARDCHAN = -1;
    int32_t pairs[12];
    EXPECT_EQ(TestWavePairs(pairs), 0);
    const int32_t used[] = {1, 3, 4, 6, 8, 9, 12, 15};
    for (int32_t r : used) sDacChannel[r].HARDCHAN = 100 + r;
    sDacChannel[2].HARDCHAN = 300;  // not a channel
    ASSERT_EQ(TestWavePairs(pairs), 12);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pairs[2 * i], 100 + used[i]) << i;
        EXPECT_EQ(pairs[2 * i + 1], 100 + used[i]) << i;
    }
}

}  // namespace
