// Loading odd and damaged test databases: values out of range, short and
// missing tables, missing columns, names too long, NULLs, and the save of a
// table with too few rows.
#include <cstring>
#include <string>

#include "base/status_report.h"
#include "testmodel/db_odbc.h"
#include "tests/core/db_fixture.h"

namespace dbtest {
namespace {

// Rows of a table, or -1 when it cannot be read.
int CountRows(const char* table) {
    DbEnv env;
    DbConn dbc;
    std::string error;
    if (!DbOpen(kTestDataSource, &env, &dbc, &error)) return -1;
    SQLHSTMT stmt;
    SQLAllocStmt(Dbc(dbc), &stmt);
    std::string sql = std::string("SELECT COUNT(*) FROM ") + table;
    int32_t n = -1;
    SQLLEN ind = 0;
    if (DbOk(DbExec(stmt, sql.c_str()))) {
        SQLBindCol(stmt, 1, SQL_C_SLONG, &n, sizeof n, &ind);
        if (!DbOk(SQLFetch(stmt))) n = -1;
    }
    SQLFreeStmt(stmt, SQL_DROP);
    DbClose(env, dbc);
    return n;
}

TEST_F(DatabaseTest, TemplateHoldsTheFullRowComplementAndLoadsAsTheDefaults) {
    struct Count {
        const char* table;
        int rows;
    } counts[] = {{"CHANNELPARAMETERS", 256}, {"CALIBRATION", 128}, {"CALIBRATIONTYPES", 16},
                  {"DIGITALOUTS", 16},        {"DACTABLE", 32},     {"PROGRAMMABLESCANTABLE", 4096},
                  {"SYSTEM", 1},              {"FIVEBTABLE", 0}};
    for (const Count& c : counts) EXPECT_EQ(CountRows(c.table), c.rows) << c.table;
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_STREQ(Ch().NAME[255], "CHAN255");
    EXPECT_EQ(lpProgScanList->EntryCount, 256u);
    EXPECT_EQ(lpProgScanList->Entry[255].CHANNEL, 255u);
    EXPECT_EQ(dSampleRate, 1000.0);
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());
}

TEST_F(DatabaseTest, OutOfRangeValuesAreReplacedInEveryCheckedColumn) {
    std::string forty(40, 'N');
    std::string sixty(60, 'T');
    const std::string statements[] = {
        "UPDATE CHANNELPARAMETERS SET NAME = '" + forty + "', UNITS = 'unitsunits', DESCRIPTION = '" + sixty +
            "', LOCATION = '" + sixty +
            "', CALTYPE = 17, VARIABLEGAIN = -5, EXCITATIONSOURCE = -1, AUTOBALANCEENABLE = 2, "
            "AUTOZEROENABLE = -1, VARIABLEGAINENABLE = 7, EXCITATIONENABLE = 99, EXTERNALAUTOZERO = 3, "
            "CALPROCEDURE = 10 WHERE CHANNEL = 4",
        "UPDATE CHANNELPARAMETERS SET VARIABLEGAIN = 10000.5, CALTYPE = -2, CALPROCEDURE = -2, "
        "EXCITATIONSOURCE = 2 WHERE CHANNEL = 5",
        "UPDATE CHANNELPARAMETERS SET NAME = NULL, SENSITIVITY = NULL, GAIN = NULL WHERE CHANNEL = 6",
        "UPDATE CALIBRATION SET ACTIVESTATES = 9, STATE1 = 14, STATE8 = -1 WHERE CHANNEL = 4",
        "UPDATE CALIBRATIONTYPES SET STATES = 0, STATE1 = 14, STATE2 = -3, STATE3 = 13, NAME = '" + sixty +
            "' WHERE TYPE = 1",
        "UPDATE CALIBRATIONTYPES SET STATES = 9 WHERE TYPE = 2",
        "UPDATE DIGITALOUTS SET USEINIT = 2, USE1 = 1, USE2 = -1, USE3 = 5, GLITCHCATCHER = 1, "
        "HARDWARECHANNEL = 77 WHERE CHANNEL = 0",
        "UPDATE DACTABLE SET HARDCHAN = -7, SUBCHAN = 3, OUTTYPE = -1, REGIONS = 11, STARTTYPE = 2, "
        "WAVE1 = 4, WAVE10 = -1, FREQ1 = 5, FREQ2 = 500, FREQ3 = 210, FREQ4 = 10 WHERE CHANNEL = 0",
        "UPDATE PROGRAMMABLESCANTABLE SET CHANNEL = 300 WHERE POSITION = 1",
        "UPDATE PROGRAMMABLESCANTABLE SET CHANNEL = -5 WHERE POSITION = 2",
        "UPDATE PROGRAMMABLESCANTABLE SET BLOCK = 100000 WHERE POSITION = 3",
        "UPDATE SYSTEM SET SCANLISTENTRIES = 99999"};
    for (const std::string& s : statements) Sql(s);

    ASSERT_EQ(LoadTestDatabase(), 1);
    ChannelParams& cp = Ch();
    EXPECT_EQ(std::string(cp.NAME[4]), forty.substr(0, 31));
    EXPECT_STREQ(cp.UNITS[4], "unitsun");
    EXPECT_EQ(std::string(cp.DESCRIPTION[4]), sixty.substr(0, 29));
    EXPECT_EQ(std::string(cp.LOCATION[4]), sixty.substr(0, 29));
    EXPECT_EQ(cp.Cal.CALTYPE[4], 1);
    EXPECT_EQ(cp.VARIABLEGAIN[4], 1.0);
    EXPECT_EQ(cp.EXCITATIONSOURCE[4], 0u);
    EXPECT_EQ(cp.AUTOBALANCEENABLE[4], 0u);
    EXPECT_EQ(cp.AUTOZEROENABLE[4], 0u);
    EXPECT_EQ(cp.VARIABLEGAINENABLE[4], 0u);
    EXPECT_EQ(cp.EXCITATIONENABLE[4], 0u);
    EXPECT_EQ(cp.EXTERNALAUTOZERO[4], 0u);
    EXPECT_EQ(cp.Cal.CALPROCEDURE[4], -1);
    EXPECT_EQ(cp.VARIABLEGAIN[5], 1.0);
    EXPECT_EQ(cp.Cal.CALTYPE[5], 1);
    EXPECT_EQ(cp.Cal.CALPROCEDURE[5], -1);
    EXPECT_EQ(cp.EXCITATIONSOURCE[5], 0u);
    // NULL reads as empty / zero; a gain of 0 is not on the card's list.
    EXPECT_STREQ(cp.NAME[6], "");
    EXPECT_EQ(cp.SENSITIVITY[6], 0.0);
    EXPECT_EQ(cp.GAIN[6], 1.0);

    // Calibration type 1 after its rules, and channel 4 takes its states from it.
    EXPECT_EQ(lpsCalTypes->STATES[1], 1u);
    EXPECT_EQ(lpsCalTypes->STATES[2], 1u);
    EXPECT_EQ(lpsCalTypes->STATE[0][1], 0u);
    EXPECT_EQ(lpsCalTypes->STATE[1][1], 0u);
    EXPECT_EQ(lpsCalTypes->STATE[2][1], 13u);
    EXPECT_EQ(std::string(lpsCalTypes->NAME[1]), sixty.substr(0, 49));
    EXPECT_EQ(cp.Cal.ACTIVESTATES[4], 1);
    EXPECT_EQ(cp.Cal.STATE[2][4], 13);

    const DigitalOut& d = sDigitalOut[0];
    EXPECT_EQ(d.USEINIT, 0);
    EXPECT_EQ(d.USE1, 1);
    EXPECT_EQ(d.USE2, 0);
    EXPECT_EQ(d.USE3, 0);
    EXPECT_EQ(d.GLITCHCATCHER, 1);
    EXPECT_EQ(d.HARDWARECHANNEL, 77);

    const DacChannel& dac = sDacChannel[0];
    EXPECT_EQ(dac.HARDCHAN, -1);
    EXPECT_EQ(dac.SUBCHAN[0], 0);
    EXPECT_EQ(dac.OUTTYPE[0], 0);
    EXPECT_EQ(dac.REGIONS[0], 0);
    EXPECT_EQ(dac.REGIONS[1], 0);
    EXPECT_EQ(dac.STARTTYPE[0], 0);
    EXPECT_EQ(dac.WAVE[0][0], 4);  // Noise is a wave like the others
    EXPECT_EQ(dac.WAVE[9][0], 0);
    EXPECT_EQ(dac.FREQ[0][0], 10);
    EXPECT_EQ(dac.FREQ[1][0], 10);
    EXPECT_EQ(dac.FREQ[1][1], 10);
    EXPECT_EQ(dac.FREQ[2][0], 210);
    EXPECT_EQ(dac.FREQ[3][1], 10);

    // Positions naming no channel, or a block no table has, are empty.
    EXPECT_EQ(lpProgScanList->Entry[1].CHANNEL, kScanEmpty);
    EXPECT_EQ(lpProgScanList->Entry[2].CHANNEL, kScanEmpty);
    EXPECT_EQ(lpProgScanList->Entry[3].CHANNEL, kScanEmpty);
    // An entry count beyond the table keeps the count found: 256 minus those three.
    EXPECT_EQ(lpProgScanList->EntryCount, 253u);
}

TEST_F(DatabaseTest, ShortTablesFillTheirRowsAndLeaveTheRest) {
    Sql({"DELETE FROM CHANNELPARAMETERS WHERE CHANNEL >= 20",
         "UPDATE CHANNELPARAMETERS SET NAME = 'loaded'",
         "DELETE FROM DACTABLE WHERE CHANNEL >= 6",
         "UPDATE DACTABLE SET HARDCHAN = 40 + CHANNEL, STATICOUT = 100 + CHANNEL, FREQ1 = 20 + CHANNEL",
         "DELETE FROM PROGRAMMABLESCANTABLE WHERE POSITION >= 10",
         "UPDATE PROGRAMMABLESCANTABLE SET CHANNEL = 9, BLOCK = 0",
         "UPDATE PROGRAMMABLESCANTABLE SET BLOCK = 3 WHERE POSITION = 4",
         "UPDATE PROGRAMMABLESCANTABLE SET BLOCK = 7 WHERE POSITION = 8",
         "UPDATE SYSTEM SET SCANLISTENTRIES = 6"});
    for (auto& d : sDacChannel) d.HARDCHAN = -1;
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_STREQ(Ch().NAME[19], "loaded");
    EXPECT_STREQ(Ch().NAME[20], "CHAN20");
    // Six DAC rows: 0-2 are sub-channel 0 of records 0-2, 3-5 sub-channel 1.
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(sDacChannel[r].HARDCHAN, 40 + r);
        EXPECT_EQ(sDacChannel[r].STATICOUT[0], 100 + r);
        EXPECT_EQ(sDacChannel[r].STATICOUT[1], 103 + r);
        EXPECT_EQ(sDacChannel[r].FREQ[0][1], 20 + r);
    }
    EXPECT_EQ(sDacChannel[3].STATICOUT[0], 0);
    // Blocks 0, 3 and 7 make 8 blocks; SYSTEM sets the entry count.
    EXPECT_EQ(lpProgScanList->BlockCount, 8u);
    EXPECT_EQ(lpProgScanList->EntryCount, 6u);
    // The DAC start lists: records 0-2 have hardware channels, STARTTYPE 0.
    EXPECT_EQ(sDacStartList[0].Count, 3);
    EXPECT_EQ(sDacStartList[0].HardChan[2], 42);

    // Saving into the short tables: the missing rowsets are reported, the
    // rows that exist are written, and the save says it failed.
    FakeClearMessages();
    snprintf(Ch().NAME[0], sizeof Ch().NAME[0], "%s", "written");
    EXPECT_EQ(SaveTestDatabase(), 0);
    EXPECT_TRUE(WasShown("Could Not Perform SQL Extended Fetch.  Check Q90.MDB"));
    EXPECT_TRUE(WasShown("Could Not Update Channel Parameters Table.  Check Q90.MDB"));
    EXPECT_TRUE(WasShown("Could Not Update The Scan List Table.  Check Q90.MDB"));
    snprintf(Ch().NAME[0], sizeof Ch().NAME[0], "%s", "forgotten");
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_STREQ(Ch().NAME[0], "written");
}

TEST_F(DatabaseTest, MissingTablesAndColumnsAreReportedAndLoadingGoesOn) {
    Sql({"DROP TABLE DACTABLE", "DROP TABLE CALIBRATIONTYPES",
         "CREATE TABLE CALIBRATIONTYPES (TYPE INTEGER PRIMARY KEY, NAME VARCHAR(49))",
         "UPDATE CHANNELPARAMETERS SET NAME = 'still read'"});
    sDacChannel[0].HARDCHAN = 12;
    lpsCalTypes->STATES[3] = 5;
    ASSERT_EQ(LoadTestDatabase(), 1);
    EXPECT_TRUE(WasShown("Could Not Perform Execute Direct.")) << ::testing::PrintToString(Shown());
    EXPECT_TRUE(WasShown("Could Not Select Data From Calibration Types Table.  Check Q90.MDB"));
    EXPECT_STREQ(Ch().NAME[7], "still read");
    EXPECT_EQ(sDacChannel[0].HARDCHAN, 12);  // nothing read, nothing changed
    EXPECT_EQ(lpsCalTypes->STATES[3], 5u);

    // The save of such a database fails with its messages and no crash.
    FakeClearMessages();
    EXPECT_EQ(SaveTestDatabase(), 0);
    EXPECT_TRUE(WasShown("Could Not Select Data From DAC Table.  Check Q90.MDB and ODBC Registry"));
}

// A table that cannot be selected is skipped and the load succeeds, so a
// supervisor must not be told the test database is corrupt: that status
// says the test was not loaded.  An operator still sees the problem.
TEST_F(DatabaseTest, AFailedTableSelectWhileRemoteControlledSendsNoFatalStatus) {
    const char* const tables[] = {"CHANNELPARAMETERS", "DIGITALOUTS",      "DACTABLE",
                                  "CALIBRATION",       "CALIBRATIONTYPES", "PROGRAMMABLESCANTABLE"};
    for (const char* table : tables) {
        SCOPED_TRACE(table);
        ASSERT_TRUE(PlatformCopyFile(Where().template_.c_str(), Where().scratch.c_str()));
        Sql({(std::string("DROP TABLE ") + table).c_str(), "UPDATE SYSTEM SET SAMPLERATE = 777.0"});
        bRemoteControlled = true;
        hErrorPipe = FakePipeCreate();
        FakeClearMessages();
        EXPECT_EQ(LoadTestDatabase(), 1);
        EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());
        EXPECT_EQ(FakePipeBytes(hErrorPipe), "");
        EXPECT_EQ(dSampleRate, 777.0);
        EXPECT_EQ(dwRemoteStatus & kRemoteStatusDatabaseError, 0u);
        hErrorPipe = 0;

        bRemoteControlled = false;
        EXPECT_EQ(LoadTestDatabase(), 1);
        EXPECT_EQ(FakeMessages().size(), 1u) << ::testing::PrintToString(Shown());
    }
}

TEST_F(DatabaseTest, ADatabaseWithoutItsSystemRowIsNoTest) {
    Sql("DELETE FROM SYSTEM");
    EXPECT_EQ(LoadTestDatabase(), 0);
    // Nothing was read into the model.
    EXPECT_STREQ(Ch().NAME[0], "CHAN0");
}

}  // namespace
}  // namespace dbtest
