// DAC records through the test database: a Noise region keeps its wave and
// downloads the same samples after the test is saved and opened again, and
// a stored HARDCHAN that names no channel comes back unused.
#include <vector>

#include "outputs/dac_waves.h"
#include "tests/core/db_fixture.h"

namespace dbtest {
namespace {

std::vector<int16_t> RegionSamples(const DacChannel& d, int32_t output, int32_t region) {
    std::vector<int16_t> v(kDacMaxPoints);
    const int32_t n = GenerateDacWave(d.WAVE[region][output], d.FREQ[region][output],
                                      DacNoiseSeed(d.HARDCHAN, output, region), v.data(), kDacMaxPoints);
    v.resize(static_cast<size_t>(n));
    return v;
}

TEST_F(DatabaseTest, ANoiseRegionComesBackAsNoiseWithTheSameSamples) {
    DacChannel& d = sDacChannel[1];
    d.HARDCHAN = 40;
    d.REGIONS[0] = d.REGIONS[1] = 3;
    d.FREQ[0][0] = d.FREQ[0][1] = 50;
    d.FREQ[1][0] = d.FREQ[1][1] = 210;
    d.FREQ[2][0] = d.FREQ[2][1] = 10;
    d.WAVE[0][0] = kWaveTriangle;
    d.WAVE[1][0] = kWaveNoise;
    d.WAVE[2][1] = kWaveNoise;
    const std::vector<int16_t> noiseA = RegionSamples(d, 0, 1), noiseB = RegionSamples(d, 1, 2);
    ASSERT_EQ(noiseA.size(), 210u);
    ASSERT_EQ(SaveTestDatabase(), 1) << ::testing::PrintToString(Shown());
    d = DacChannel{};
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_EQ(d.HARDCHAN, 40);
    EXPECT_EQ(d.WAVE[0][0], kWaveTriangle);
    EXPECT_EQ(d.WAVE[1][0], kWaveNoise);
    EXPECT_EQ(d.WAVE[2][1], kWaveNoise);
    EXPECT_EQ(RegionSamples(d, 0, 1), noiseA);
    EXPECT_EQ(RegionSamples(d, 1, 2), noiseB);
}

TEST_F(DatabaseTest, AStoredDacChannelBeyondTheChannelTableIsUnused) {
    Sql({"UPDATE DACTABLE SET HARDCHAN = 256 WHERE CHANNEL = 0", "UPDATE DACTABLE SET HARDCHAN = 255 WHERE CHANNEL = 1",
         "UPDATE DACTABLE SET HARDCHAN = 70000 WHERE CHANNEL = 2"});
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_EQ(sDacChannel[0].HARDCHAN, -1);
    EXPECT_EQ(sDacChannel[1].HARDCHAN, 255);
    EXPECT_EQ(sDacChannel[2].HARDCHAN, -1);
    // Neither start list holds a channel that does not exist.
    for (const DacStartList& list : sDacStartList)
        for (int32_t i = 0; i < list.Count; ++i) EXPECT_LT(list.HardChan[i], 256);
}

}  // namespace
}  // namespace dbtest
