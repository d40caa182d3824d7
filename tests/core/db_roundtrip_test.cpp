// Save then load through the real data source gives back every stored field.
#include <cstring>

#include "tests/core/db_fixture.h"
#include "testmodel/ini_values.h"

namespace dbtest {
namespace {

// The SQLite driver carries reals as text with 15 significant digits.
void ExpectSameReal(double actual, double expected) {
    EXPECT_NEAR(actual, expected, 1e-14 * (expected < 0 ? -expected : expected)) << expected;
}

const int kGains[] = {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000};
const int kFilters[] = {10, 625, 1250, 2500, 5000};

// A model in which every stored field differs from the defaults and from its
// neighbours, within what the load rules keep.
void FillDistinctModel() {
    ChannelParams& cp = *lpsChannelParams;
    for (int ch = 0; ch < kChannels; ++ch) {
        snprintf(cp.NAME[ch], sizeof cp.NAME[ch], "Name %03d abcdefghijklmnopqrstuv", ch);  // 31 chars
        snprintf(cp.UNITS[ch], sizeof cp.UNITS[ch], "u%03d'x", ch);
        snprintf(cp.DESCRIPTION[ch], sizeof cp.DESCRIPTION[ch], "Description of %d", ch);
        snprintf(cp.LOCATION[ch], sizeof cp.LOCATION[ch], "Loc %d", 1000 - ch);
        cp.GAIN[ch] = kGains[ch % 13];
        cp.FILTER[ch] = kFilters[ch % 5];
        cp.SENSITIVITY[ch] = 0.001 * ch - 1.0 / 3.0;
        cp.OFFSET[ch] = -1e6 + ch * 7.25;
        cp.VARIABLEGAIN[ch] = ch == 0 ? 10000.0 : 0.5 + ch;
        cp.EXCITATIONSOURCE[ch] = ch % 2;
        cp.EXCITATIONVOLTAGE[ch] = 1 + ch % 10;
        cp.EXCITATIONCURRENT[ch] = 5 * (1 + ch % 10);
        cp.AUTOBALANCEENABLE[ch] = ch % 2;
        cp.AUTOZEROENABLE[ch] = (ch / 2) % 2;
        cp.VARIABLEGAINENABLE[ch] = (ch / 4) % 2;
        cp.EXCITATIONENABLE[ch] = (ch / 8) % 2;
        cp.EXTERNALAUTOZERO[ch] = (ch / 16) % 2;
        cp.Cal.CALPROCEDURE[ch] = ch % 11 - 1;
        cp.Cal.CALTYPE[ch] = ch % 16;
        cp.CARDTYPE[ch] = 1 + ch % 15;
        for (int n = 0; n < kCalStates; ++n) {
            cp.Cal.EU[ch][n] = ch * 10.0 + n;
            cp.Cal.MEAN[ch][n] = -ch - n / 8.0;
            cp.Cal.DEVIATION[ch][n] = 1.0 / (1 + ch + n);
        }
    }
    CalType& t = *lpsCalTypes;
    for (int s = 0; s < kCalTypes; ++s) {
        snprintf(t.NAME[s], sizeof t.NAME[s], "Type %d %s", s, "with a name forty-nine characters long..");
        t.STATES[s] = 1 + (s + 3) % 8;
        for (int n = 0; n < kCalStates; ++n) {
            t.STATE[n][s] = static_cast<uint32_t>((s + n) % 14);
            t.STRING[n][s] = static_cast<uint32_t>(s * 100 + n);
        }
    }
    for (int r = 0; r < kDigitalOuts; ++r) {
        DigitalOut& d = sDigitalOut[r];
        d = {r + 1, r + 2, r + 3, r + 4, 10 * r, 20 * r, 30 * r, 200 + r, r % 2, (r + 1) % 2, r % 2, (r / 2) % 2, -r, (r / 4) % 2};
    }
    for (int r = 0; r < kDacChannels; ++r) {
        DacChannel& d = sDacChannel[r];
        d.HARDCHAN = r % 3 == 0 ? -1 : 100 + r;
        d.MASTERLOOP = 7 * r;
        for (int s = 0; s < 2; ++s) {
            d.STATICOUT[s] = r * 10 + s;
            d.SUBCHAN[s] = s;
            d.OUTTYPE[s] = (r + s) % 2;
            d.REGIONS[s] = r % 11;
            d.STARTTYPE[s] = (r / 2 + s) % 2;
        }
        for (int w = 0; w < kDacWaves; ++w)
            for (int s = 0; s < 2; ++s) {
                d.WAVE[w][s] = (r + w + s) % 4;
                d.FREQ[w][s] = 10 + (r * 10 + w) % 201;
                d.LOOP[w][s] = r * 1000 + w;
            }
    }
    ProgScanList& scan = *lpProgScanList;
    for (int p = 0; p < kScanPositions; ++p) {
        scan.Entry[p].CHANNEL = p % 17 == 5 ? kScanEmpty : static_cast<uint32_t>((p * 7) % kChannels);
        scan.Entry[p].BLOCK = static_cast<uint32_t>(p / 3);
    }
    scan.EntryCount = 4000;
    dSampleRate = 12345.678;
}

TEST_F(DatabaseTest, SaveThenLoadGivesBackEveryStoredField) {
    FillDistinctModel();
    // Snapshot of what was saved.
    static ChannelParams saved;
    static CalType savedTypes;
    static ProgScanList savedScan;
    memcpy(&saved, lpsChannelParams, sizeof saved);
    memcpy(&savedTypes, lpsCalTypes, sizeof savedTypes);
    memcpy(&savedScan, lpProgScanList, sizeof savedScan);
    DigitalOut savedDigital[kDigitalOuts];
    DacChannel savedDac[kDacChannels];
    memcpy(savedDigital, sDigitalOut, sizeof savedDigital);
    memcpy(savedDac, sDacChannel, sizeof savedDac);

    ASSERT_EQ(SaveTestDatabase(), 1) << ::testing::PrintToString(Shown());
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());

    // Forget everything, then load.
    LoadDefaults();
    for (auto& d : sDacChannel) d = DacChannel{};
    for (auto& d : sDigitalOut) d = DigitalOut{};
    memset(lpsCalTypes, 0, sizeof *lpsCalTypes);
    dSampleRate = 0.0;
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());

    const ChannelParams& cp = *lpsChannelParams;
    for (int ch = 0; ch < kChannels; ++ch) {
        SCOPED_TRACE("channel " + std::to_string(ch));
        EXPECT_STREQ(cp.NAME[ch], saved.NAME[ch]);
        EXPECT_STREQ(cp.UNITS[ch], saved.UNITS[ch]);
        EXPECT_STREQ(cp.DESCRIPTION[ch], saved.DESCRIPTION[ch]);
        EXPECT_STREQ(cp.LOCATION[ch], saved.LOCATION[ch]);
        EXPECT_EQ(cp.GAIN[ch], saved.GAIN[ch]);
        EXPECT_EQ(cp.FILTER[ch], saved.FILTER[ch]);
        ExpectSameReal(cp.SENSITIVITY[ch], saved.SENSITIVITY[ch]);
        ExpectSameReal(cp.OFFSET[ch], saved.OFFSET[ch]);
        ExpectSameReal(cp.VARIABLEGAIN[ch], saved.VARIABLEGAIN[ch]);
        EXPECT_EQ(cp.EXCITATIONSOURCE[ch], saved.EXCITATIONSOURCE[ch]);
        EXPECT_EQ(cp.EXCITATIONVOLTAGE[ch], saved.EXCITATIONVOLTAGE[ch]);
        EXPECT_EQ(cp.EXCITATIONCURRENT[ch], saved.EXCITATIONCURRENT[ch]);
        EXPECT_EQ(cp.AUTOBALANCEENABLE[ch], saved.AUTOBALANCEENABLE[ch]);
        EXPECT_EQ(cp.AUTOZEROENABLE[ch], saved.AUTOZEROENABLE[ch]);
        EXPECT_EQ(cp.VARIABLEGAINENABLE[ch], saved.VARIABLEGAINENABLE[ch]);
        EXPECT_EQ(cp.EXCITATIONENABLE[ch], saved.EXCITATIONENABLE[ch]);
        EXPECT_EQ(cp.EXTERNALAUTOZERO[ch], saved.EXTERNALAUTOZERO[ch]);
        EXPECT_EQ(cp.Cal.CALPROCEDURE[ch], saved.Cal.CALPROCEDURE[ch]);
        EXPECT_EQ(cp.Cal.CALTYPE[ch], saved.Cal.CALTYPE[ch]);
        EXPECT_EQ(cp.CARDTYPE[ch], saved.CARDTYPE[ch]);
        // The state sequence comes from the channel's calibration type.
        int t = saved.Cal.CALTYPE[ch];
        EXPECT_EQ(cp.Cal.ACTIVESTATES[ch], static_cast<int32_t>(savedTypes.STATES[t]));
        for (int n = 0; n < kCalStates; ++n) {
            EXPECT_EQ(cp.Cal.STATE[n][ch], static_cast<int32_t>(savedTypes.STATE[n][t]));
            // Calibration results are stored for the first 128 channels only.
            double eu = ch < kCalibrationRows ? saved.Cal.EU[ch][n] : 0.0;
            ExpectSameReal(cp.Cal.EU[ch][n], eu);
            if (ch < kCalibrationRows) {
                ExpectSameReal(cp.Cal.MEAN[ch][n], saved.Cal.MEAN[ch][n]);
                ExpectSameReal(cp.Cal.DEVIATION[ch][n], saved.Cal.DEVIATION[ch][n]);
            }
        }
    }
    for (int s = 0; s < kCalTypes; ++s) {
        EXPECT_EQ(lpsCalTypes->TYPE[s], static_cast<uint32_t>(s));  // TYPE is left as stored
        EXPECT_STREQ(lpsCalTypes->NAME[s], savedTypes.NAME[s]);
        EXPECT_EQ(lpsCalTypes->STATES[s], savedTypes.STATES[s]);
        for (int n = 0; n < kCalStates; ++n) {
            EXPECT_EQ(lpsCalTypes->STATE[n][s], savedTypes.STATE[n][s]);
            EXPECT_EQ(lpsCalTypes->STRING[n][s], savedTypes.STRING[n][s]);
        }
    }
    EXPECT_EQ(memcmp(sDigitalOut, savedDigital, sizeof savedDigital), 0);
    EXPECT_EQ(memcmp(sDacChannel, savedDac, sizeof savedDac), 0);
    for (int p = 0; p < kScanPositions; ++p) {
        EXPECT_EQ(lpProgScanList->Entry[p].CHANNEL, savedScan.Entry[p].CHANNEL) << p;
        EXPECT_EQ(lpProgScanList->Entry[p].BLOCK, savedScan.Entry[p].BLOCK) << p;
    }
    EXPECT_EQ(lpProgScanList->EntryCount, 4000u);
    EXPECT_EQ(lpProgScanList->BlockCount, 4095u / 3 + 1);
    ExpectSameReal(dSampleRate, 12345.678);
}

TEST_F(DatabaseTest, GainFilterAndExcitationComeBackAsWholeNumbers) {
    // A card with fractional options: the database keeps integers only.
    Ch().GAIN[0] = 2.75;
    Ch().FILTER[0] = 625.5;
    Ch().EXCITATIONVOLTAGE[0] = 3.9;
    Ch().EXCITATIONCURRENT[0] = 10.2;
    Ch().CARDTYPE[0] = 99;  // no card type: the lists do not interfere
    ASSERT_EQ(SaveTestDatabase(), 1);
    FakePushAnswer(IDOK_);  // the card-type message for channel 0
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_EQ(Ch().GAIN[0], 2.0);
    EXPECT_EQ(Ch().FILTER[0], 625.0);
    EXPECT_EQ(Ch().EXCITATIONVOLTAGE[0], 3.0);
    EXPECT_EQ(Ch().EXCITATIONCURRENT[0], 10.0);
}

}  // namespace
}  // namespace dbtest
