// Save then load through the real data source gives back every stored field.
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "tests/core/db_fixture.h"
#include "testmodel/db_odbc.h"
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

// What a save stored, to compare the next load with.
struct Saved {
    ChannelParams channels;
    CalType types;
    ProgScanList scan;
    DigitalOut digital[kDigitalOuts];
    DacChannel dac[kDacChannels];
    double rate;
};

std::unique_ptr<Saved> TakeSaved() {
    auto s = std::make_unique<Saved>();
    memcpy(&s->channels, lpsChannelParams, sizeof s->channels);
    memcpy(&s->types, lpsCalTypes, sizeof s->types);
    memcpy(&s->scan, lpProgScanList, sizeof s->scan);
    memcpy(s->digital, sDigitalOut, sizeof s->digital);
    memcpy(s->dac, sDacChannel, sizeof s->dac);
    s->rate = dSampleRate;
    return s;
}

// Forgets the model, loads the scratch database and expects what was saved.
void ExpectLoadGivesBack(const Saved& s) {
    LoadDefaults();
    for (auto& d : sDacChannel) d = DacChannel{};
    for (auto& d : sDigitalOut) d = DigitalOut{};
    memset(lpsCalTypes, 0, sizeof *lpsCalTypes);
    dSampleRate = 0.0;
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(DatabaseTest::Shown());

    // Differences are collected, so a wrong row is one line, not a page.
    std::vector<std::string> wrong;
    auto same = [&](bool equal, const char* what, int slot) {
        if (!equal) wrong.push_back(std::string(what) + " " + std::to_string(slot));
    };
    auto sameReal = [](double actual, double expected) {
        return std::fabs(actual - expected) <= 1e-14 * std::fabs(expected);
    };
    const ChannelParams& cp = *lpsChannelParams;
    const ChannelParams& saved = s.channels;
    const CalType& savedTypes = s.types;
    for (int ch = 0; ch < kChannels; ++ch) {
        same(strcmp(cp.NAME[ch], saved.NAME[ch]) == 0, "NAME", ch);
        same(strcmp(cp.UNITS[ch], saved.UNITS[ch]) == 0, "UNITS", ch);
        same(strcmp(cp.DESCRIPTION[ch], saved.DESCRIPTION[ch]) == 0, "DESCRIPTION", ch);
        same(strcmp(cp.LOCATION[ch], saved.LOCATION[ch]) == 0, "LOCATION", ch);
        same(cp.GAIN[ch] == saved.GAIN[ch], "GAIN", ch);
        same(cp.FILTER[ch] == saved.FILTER[ch], "FILTER", ch);
        same(sameReal(cp.SENSITIVITY[ch], saved.SENSITIVITY[ch]), "SENSITIVITY", ch);
        same(sameReal(cp.OFFSET[ch], saved.OFFSET[ch]), "OFFSET", ch);
        same(sameReal(cp.VARIABLEGAIN[ch], saved.VARIABLEGAIN[ch]), "VARIABLEGAIN", ch);
        same(cp.EXCITATIONSOURCE[ch] == saved.EXCITATIONSOURCE[ch], "EXCITATIONSOURCE", ch);
        same(cp.EXCITATIONVOLTAGE[ch] == saved.EXCITATIONVOLTAGE[ch], "EXCITATIONVOLTAGE", ch);
        same(cp.EXCITATIONCURRENT[ch] == saved.EXCITATIONCURRENT[ch], "EXCITATIONCURRENT", ch);
        same(cp.AUTOBALANCEENABLE[ch] == saved.AUTOBALANCEENABLE[ch], "AUTOBALANCEENABLE", ch);
        same(cp.AUTOZEROENABLE[ch] == saved.AUTOZEROENABLE[ch], "AUTOZEROENABLE", ch);
        same(cp.VARIABLEGAINENABLE[ch] == saved.VARIABLEGAINENABLE[ch], "VARIABLEGAINENABLE", ch);
        same(cp.EXCITATIONENABLE[ch] == saved.EXCITATIONENABLE[ch], "EXCITATIONENABLE", ch);
        same(cp.EXTERNALAUTOZERO[ch] == saved.EXTERNALAUTOZERO[ch], "EXTERNALAUTOZERO", ch);
        same(cp.Cal.CALPROCEDURE[ch] == saved.Cal.CALPROCEDURE[ch], "CALPROCEDURE", ch);
        same(cp.Cal.CALTYPE[ch] == saved.Cal.CALTYPE[ch], "CALTYPE", ch);
        same(cp.CARDTYPE[ch] == saved.CARDTYPE[ch], "CARDTYPE", ch);
        // The state sequence comes from the channel's calibration type.
        int t = saved.Cal.CALTYPE[ch];
        same(cp.Cal.ACTIVESTATES[ch] == static_cast<int32_t>(savedTypes.STATES[t]), "ACTIVESTATES", ch);
        for (int n = 0; n < kCalStates; ++n) {
            same(cp.Cal.STATE[n][ch] == static_cast<int32_t>(savedTypes.STATE[n][t]), "STATEn", ch);
            // Calibration results are stored for the first 128 channels only.
            double eu = ch < kCalibrationRows ? saved.Cal.EU[ch][n] : 0.0;
            same(sameReal(cp.Cal.EU[ch][n], eu), "EUn", ch);
            if (ch < kCalibrationRows) {
                same(sameReal(cp.Cal.MEAN[ch][n], saved.Cal.MEAN[ch][n]), "MEANn", ch);
                same(sameReal(cp.Cal.DEVIATION[ch][n], saved.Cal.DEVIATION[ch][n]), "DEVIATIONn", ch);
            }
        }
    }
    for (int t = 0; t < kCalTypes; ++t) {
        same(strcmp(lpsCalTypes->NAME[t], savedTypes.NAME[t]) == 0, "calibration type NAME", t);
        same(lpsCalTypes->STATES[t] == savedTypes.STATES[t], "calibration type STATES", t);
        for (int n = 0; n < kCalStates; ++n) {
            same(lpsCalTypes->STATE[n][t] == savedTypes.STATE[n][t], "calibration type STATEn", t);
            same(lpsCalTypes->STRING[n][t] == savedTypes.STRING[n][t], "calibration type STRINGn", t);
        }
    }
    for (int r = 0; r < kDigitalOuts; ++r)
        same(memcmp(&sDigitalOut[r], &s.digital[r], sizeof s.digital[r]) == 0, "digital out", r);
    for (int r = 0; r < kDacChannels; ++r)
        same(memcmp(&sDacChannel[r], &s.dac[r], sizeof s.dac[r]) == 0, "DAC channel", r);
    for (int p = 0; p < kScanPositions; ++p)
        same(lpProgScanList->Entry[p].CHANNEL == s.scan.Entry[p].CHANNEL &&
                 lpProgScanList->Entry[p].BLOCK == s.scan.Entry[p].BLOCK,
             "scan position", p);
    if (wrong.size() > 12) {
        size_t more = wrong.size() - 12;
        wrong.resize(12);
        wrong.push_back("and " + std::to_string(more) + " more");
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
    EXPECT_EQ(lpProgScanList->EntryCount, s.scan.EntryCount);
    ExpectSameReal(dSampleRate, s.rate);
}

TEST_F(DatabaseTest, SaveThenLoadGivesBackEveryStoredField) {
    FillDistinctModel();
    auto saved = TakeSaved();
    ASSERT_EQ(SaveTestDatabase(), 1) << ::testing::PrintToString(Shown());
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());
    ExpectLoadGivesBack(*saved);
    for (int s = 0; s < kCalTypes; ++s)
        EXPECT_EQ(lpsCalTypes->TYPE[s], static_cast<uint32_t>(s));  // TYPE is left as stored
    EXPECT_EQ(lpProgScanList->EntryCount, 4000u);
    EXPECT_EQ(lpProgScanList->BlockCount, 4095u / 3 + 1);
    ExpectSameReal(dSampleRate, 12345.678);
}

// ---- stored tests whose keys are not 0 .. n-1 in storage order ----------------------------------
struct KeyedTable {
    const char* table;
    const char* key;
    int rows;
    bool keyRewritten;  // the save writes the row index into the key
};
const KeyedTable kKeyedTables[] = {
    {"CHANNELPARAMETERS", "CHANNEL", kChannelRows, true},
    {"CALIBRATION", "CHANNEL", kCalibrationRows, true},
    {"PROGRAMMABLESCANTABLE", "POSITION", kScanRows, true},
    {"CALIBRATIONTYPES", "TYPE", kCalTypeRows, false},
    {"DIGITALOUTS", "CHANNEL", kDigitalOutRows, false},
    {"DACTABLE", "CHANNEL", kDacRows, false},
};

enum class Layout { Shuffled, ShiftedUp, ShiftedBelowZero, Duplicated };

// Gives every keyed table (and SYSTEM) of the scratch database the layout.
// Shuffled and duplicated keys need a table without a primary key; their
// rows are also stored in reverse, so storage order is not key order.
void ApplyLayout(Layout layout) {
    for (const KeyedTable& t : kKeyedTables) {
        std::string T = t.table, k = t.key, n = std::to_string(t.rows);
        switch (layout) {
        case Layout::Shuffled:
        case Layout::Duplicated: {
            std::string keyExpr = layout == Layout::Shuffled ? "(" + k + " * 5 + 3) % " + n : k + " / 2";
            DatabaseTest::Sql({("CREATE TABLE RESTORED AS SELECT * FROM " + T + " ORDER BY " + k + " DESC").c_str(),
                               ("DROP TABLE " + T).c_str(), ("ALTER TABLE RESTORED RENAME TO " + T).c_str(),
                               ("UPDATE " + T + " SET " + k + " = " + keyExpr).c_str()});
            break;
        }
        case Layout::ShiftedUp:  // past every key, so no two rows meet on the way
            DatabaseTest::Sql("UPDATE " + T + " SET " + k + " = " + k + " + 100000");
            break;
        case Layout::ShiftedBelowZero:
            DatabaseTest::Sql("UPDATE " + T + " SET " + k + " = " + k + " - 7");
            break;
        }
    }
    // A second SYSTEM row: the first one is the test's.
    if (layout == Layout::Duplicated) DatabaseTest::Sql("INSERT INTO SYSTEM VALUES (99.5, 3)");
}

// The keys of a table in key order.
std::vector<int32_t> Keys(const KeyedTable& t) {
    std::vector<int32_t> keys;
    DbEnv env;
    DbConn dbc;
    std::string error;
    if (!DbOpen(kTestDataSource, &env, &dbc, &error)) return keys;
    SQLHSTMT stmt;
    SQLAllocStmt(Dbc(dbc), &stmt);
    std::string sql = std::string("SELECT ") + t.key + " FROM " + t.table + " ORDER BY 1";
    int32_t key = 0;
    SQLLEN ind = 0;
    if (DbOk(DbExec(stmt, sql.c_str()))) {
        SQLBindCol(stmt, 1, SQL_C_SLONG, &key, sizeof key, &ind);
        while (DbOk(SQLFetch(stmt))) keys.push_back(key);
    }
    SQLFreeStmt(stmt, SQL_DROP);
    DbClose(env, dbc);
    return keys;
}

TEST_F(DatabaseTest, SaveWritesEveryRowWhateverItsKeyHolds) {
    const struct {
        Layout layout;
        const char* name;
    } layouts[] = {{Layout::Shuffled, "shuffled keys, rows stored in reverse"},
                   {Layout::ShiftedUp, "keys shifted up by 100000"},
                   {Layout::ShiftedBelowZero, "keys shifted down by 7, below zero"},
                   {Layout::Duplicated, "every key twice, rows stored in reverse, two SYSTEM rows"}};
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.name);
        ASSERT_TRUE(PlatformCopyFile(Where().template_.c_str(), Where().scratch.c_str()));
        ASSERT_NO_FATAL_FAILURE(ApplyLayout(l.layout));
        std::vector<std::vector<int32_t>> before;
        for (const KeyedTable& t : kKeyedTables) before.push_back(Keys(t));
        FakeClearMessages();
        FillDistinctModel();
        auto saved = TakeSaved();
        EXPECT_EQ(SaveTestDatabase(), 1);
        EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());
        FakeClearMessages();
        ASSERT_NO_FATAL_FAILURE(ExpectLoadGivesBack(*saved));
        // Three tables take the row index as key, the others keep theirs.
        for (size_t i = 0; i < std::size(kKeyedTables); ++i) {
            const KeyedTable& t = kKeyedTables[i];
            std::vector<int32_t> expected = before[i];
            if (t.keyRewritten)
                for (int r = 0; r < t.rows; ++r) expected[static_cast<size_t>(r)] = r;
            EXPECT_EQ(Keys(t), expected) << t.table;
        }
    }
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
