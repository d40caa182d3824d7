// The template test database: every table of the schema with the full row
// complement the save needs, holding the current test model.  New tests start
// as copies of such a database.
#include <cstdio>
#include <string>

#include "testmodel/db_odbc.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

namespace {

// Key columns are the tables' primary keys; text columns keep the widths the
// program binds (buffer size minus the terminator).
const char* const kCreate[] = {
    "CREATE TABLE CHANNELPARAMETERS (CHANNEL INTEGER PRIMARY KEY, NAME VARCHAR(31), UNITS VARCHAR(7), "
    "DESCRIPTION VARCHAR(29), LOCATION VARCHAR(29), GAIN INTEGER, FILTER INTEGER, SENSITIVITY DOUBLE, "
    "OFFSET DOUBLE, VARIABLEGAIN DOUBLE, EXCITATIONSOURCE INTEGER, EXCITATIONVOLTAGE INTEGER, "
    "EXCITATIONCURRENT INTEGER, AUTOBALANCEENABLE INTEGER, AUTOZEROENABLE INTEGER, "
    "VARIABLEGAINENABLE INTEGER, EXCITATIONENABLE INTEGER, CALPROCEDURE INTEGER, CALTYPE INTEGER, "
    "CARDTYPE INTEGER, EXTERNALAUTOZERO INTEGER)",
    "CREATE TABLE DIGITALOUTS (CHANNEL INTEGER PRIMARY KEY, HARDWARECHANNEL INTEGER, STATICSTATE INTEGER, "
    "STATE1 INTEGER, STATE1TIME INTEGER, STATE2 INTEGER, STATE2TIME INTEGER, STATE3 INTEGER, "
    "STATE3TIME INTEGER, USEINIT INTEGER, USE1 INTEGER, USE2 INTEGER, USE3 INTEGER, "
    "GLITCHCATCHER INTEGER, OUTSTOINS INTEGER)",
    "CREATE TABLE DACTABLE (CHANNEL INTEGER PRIMARY KEY, HARDCHAN INTEGER, SUBCHAN INTEGER, "
    "STATICOUT INTEGER, OUTTYPE INTEGER, REGIONS INTEGER, STARTTYPE INTEGER, "
    "WAVE1 INTEGER, WAVE2 INTEGER, WAVE3 INTEGER, WAVE4 INTEGER, WAVE5 INTEGER, WAVE6 INTEGER, "
    "WAVE7 INTEGER, WAVE8 INTEGER, WAVE9 INTEGER, WAVE10 INTEGER, "
    "FREQ1 INTEGER, FREQ2 INTEGER, FREQ3 INTEGER, FREQ4 INTEGER, FREQ5 INTEGER, FREQ6 INTEGER, "
    "FREQ7 INTEGER, FREQ8 INTEGER, FREQ9 INTEGER, FREQ10 INTEGER, "
    "LOOP1 INTEGER, LOOP2 INTEGER, LOOP3 INTEGER, LOOP4 INTEGER, LOOP5 INTEGER, LOOP6 INTEGER, "
    "LOOP7 INTEGER, LOOP8 INTEGER, LOOP9 INTEGER, LOOP10 INTEGER, MASTERLOOP INTEGER)",
    "CREATE TABLE CALIBRATION (CHANNEL INTEGER PRIMARY KEY, ACTIVESTATES INTEGER, "
    "STATE1 INTEGER, EU1 DOUBLE, MEAN1 DOUBLE, DEVIATION1 DOUBLE, "
    "STATE2 INTEGER, EU2 DOUBLE, MEAN2 DOUBLE, DEVIATION2 DOUBLE, "
    "STATE3 INTEGER, EU3 DOUBLE, MEAN3 DOUBLE, DEVIATION3 DOUBLE, "
    "STATE4 INTEGER, EU4 DOUBLE, MEAN4 DOUBLE, DEVIATION4 DOUBLE, "
    "STATE5 INTEGER, EU5 DOUBLE, MEAN5 DOUBLE, DEVIATION5 DOUBLE, "
    "STATE6 INTEGER, EU6 DOUBLE, MEAN6 DOUBLE, DEVIATION6 DOUBLE, "
    "STATE7 INTEGER, EU7 DOUBLE, MEAN7 DOUBLE, DEVIATION7 DOUBLE, "
    "STATE8 INTEGER, EU8 DOUBLE, MEAN8 DOUBLE, DEVIATION8 DOUBLE)",
    "CREATE TABLE CALIBRATIONTYPES (TYPE INTEGER PRIMARY KEY, NAME VARCHAR(49), STATES INTEGER, "
    "STATE1 INTEGER, STATE2 INTEGER, STATE3 INTEGER, STATE4 INTEGER, STATE5 INTEGER, "
    "STATE6 INTEGER, STATE7 INTEGER, STATE8 INTEGER, STRING1 INTEGER, STRING2 INTEGER, "
    "STRING3 INTEGER, STRING4 INTEGER, STRING5 INTEGER, STRING6 INTEGER, STRING7 INTEGER, "
    "STRING8 INTEGER)",
    "CREATE TABLE PROGRAMMABLESCANTABLE (POSITION INTEGER PRIMARY KEY, CHANNEL INTEGER, BLOCK INTEGER)",
    "CREATE TABLE SYSTEM (SAMPLERATE DOUBLE, SCANLISTENTRIES INTEGER)",
    "CREATE TABLE FIVEBTABLE (CHANNEL INTEGER, NAME VARCHAR(31), SENSITIVITY DOUBLE, OFFSET DOUBLE, "
    "UNITS VARCHAR(7))",
};
const char* const kTables[] = {"CHANNELPARAMETERS", "DIGITALOUTS",           "DACTABLE", "CALIBRATION",
                               "CALIBRATIONTYPES",  "PROGRAMMABLESCANTABLE", "SYSTEM",   "FIVEBTABLE"};

std::string Quoted(const char* text) {
    std::string q = "'";
    for (const char* p = text; *p; ++p) {
        if (*p == '\'') q += '\'';
        q += *p;
    }
    return q + "'";
}

std::string Real(double v) {
    char buf[40];
    snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string Int(int64_t v) { return std::to_string(v); }

class Builder {
  public:
    Builder(SQLHENV env, SQLHDBC dbc, std::string* error) : env_(env), dbc_(dbc), error_(error) {
        ok_ = DbOk(SQLAllocStmt(dbc, &stmt_));
        if (!ok_ && error_) *error_ = DbErrorText(env, dbc, SQL_NULL_HSTMT);
    }
    ~Builder() {
        if (stmt_ != SQL_NULL_HSTMT) SQLFreeStmt(stmt_, SQL_DROP);
    }
    void Exec(const std::string& sql, bool mayFail = false) {
        if (!ok_) return;
        SQLRETURN rc = DbExec(stmt_, sql.c_str());
        SQLFreeStmt(stmt_, SQL_CLOSE);
        if (DbOk(rc) || rc == SQL_NO_DATA || mayFail) return;
        ok_ = false;
        if (error_) *error_ = DbErrorText(env_, dbc_, stmt_) + " [" + sql.substr(0, 60) + "]";
    }
    bool Ok() const { return ok_; }

  private:
    SQLHENV env_;
    SQLHDBC dbc_;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    std::string* error_;
    bool ok_;
};

}  // namespace

bool CreateTemplateTables(DbEnv envHandle, DbConn dbcHandle, std::string* error) {
    SQLHENV env = Env(envHandle);
    SQLHDBC dbc = Dbc(dbcHandle);
    if (lpsChannelParams == nullptr || lpProgScanList == nullptr || lpsCalTypes == nullptr) {
        if (error) *error = "The test model is not allocated";
        return false;
    }
    SQLSetConnectOption(dbc, SQL_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF);
    Builder b(env, dbc, error);
    for (const char* table : kTables) b.Exec(std::string("DROP TABLE ") + table, true);
    for (const char* create : kCreate) b.Exec(create);

    const ChannelParams& cp = *lpsChannelParams;
    for (int ch = 0; ch < kChannels; ++ch) {
        b.Exec("INSERT INTO CHANNELPARAMETERS VALUES (" + Int(ch) + ", " + Quoted(cp.NAME[ch]) + ", " +
               Quoted(cp.UNITS[ch]) + ", " + Quoted(cp.DESCRIPTION[ch]) + ", " + Quoted(cp.LOCATION[ch]) +
               ", " + Int(static_cast<int64_t>(cp.GAIN[ch])) + ", " +
               Int(static_cast<int64_t>(cp.FILTER[ch])) + ", " + Real(cp.SENSITIVITY[ch]) + ", " +
               Real(cp.OFFSET[ch]) + ", " + Real(cp.VARIABLEGAIN[ch]) + ", " +
               Int(cp.EXCITATIONSOURCE[ch]) + ", " + Int(static_cast<int64_t>(cp.EXCITATIONVOLTAGE[ch])) +
               ", " + Int(static_cast<int64_t>(cp.EXCITATIONCURRENT[ch])) + ", " +
               Int(cp.AUTOBALANCEENABLE[ch]) + ", " + Int(cp.AUTOZEROENABLE[ch]) + ", " +
               Int(cp.VARIABLEGAINENABLE[ch]) + ", " + Int(cp.EXCITATIONENABLE[ch]) + ", " +
               Int(cp.Cal.CALPROCEDURE[ch]) + ", " + Int(cp.Cal.CALTYPE[ch]) + ", " +
               Int(cp.CARDTYPE[ch]) + ", " + Int(cp.EXTERNALAUTOZERO[ch]) + ")");
    }
    for (int r = 0; r < kDigitalOuts; ++r) {
        const DigitalOut& d = sDigitalOut[r];
        b.Exec("INSERT INTO DIGITALOUTS VALUES (" + Int(r) + ", " + Int(d.HARDWARECHANNEL) + ", " +
               Int(d.STATICSTATE) + ", " + Int(d.STATE1) + ", " + Int(d.STATE1TIME) + ", " +
               Int(d.STATE2) + ", " + Int(d.STATE2TIME) + ", " + Int(d.STATE3) + ", " +
               Int(d.STATE3TIME) + ", " + Int(d.USEINIT) + ", " + Int(d.USE1) + ", " + Int(d.USE2) +
               ", " + Int(d.USE3) + ", " + Int(d.GLITCHCATCHER) + ", " + Int(d.OUTSTOINS) + ")");
    }
    for (int r = 0; r < 2 * kDacChannels; ++r) {
        int s = r < kDacChannels ? 0 : 1;
        const DacChannel& d = sDacChannel[r % kDacChannels];
        std::string sql = "INSERT INTO DACTABLE VALUES (" + Int(r) + ", " + Int(d.HARDCHAN) + ", " +
                          Int(d.SUBCHAN[s]) + ", " + Int(d.STATICOUT[s]) + ", " + Int(d.OUTTYPE[s]) +
                          ", " + Int(d.REGIONS[s]) + ", " + Int(d.STARTTYPE[s]);
        for (int w = 0; w < kDacWaves; ++w) sql += ", " + Int(d.WAVE[w][s]);
        for (int w = 0; w < kDacWaves; ++w) sql += ", " + Int(d.FREQ[w][s]);
        for (int w = 0; w < kDacWaves; ++w) sql += ", " + Int(d.LOOP[w][s]);
        b.Exec(sql + ", " + Int(d.MASTERLOOP) + ")");
    }
    const CalRecord& cal = cp.Cal;
    for (int r = 0; r < 128; ++r) {
        std::string sql = "INSERT INTO CALIBRATION VALUES (" + Int(r) + ", " + Int(cal.ACTIVESTATES[r]);
        for (int n = 0; n < kCalStates; ++n)
            sql += ", " + Int(cal.STATE[n][r]) + ", " + Real(cal.EU[r][n]) + ", " + Real(cal.MEAN[r][n]) +
                   ", " + Real(cal.DEVIATION[r][n]);
        b.Exec(sql + ")");
    }
    const CalType& t = *lpsCalTypes;
    for (int r = 0; r < kCalTypes; ++r) {
        // TYPE is the key: the slot number keeps the rows in slot order.
        std::string sql = "INSERT INTO CALIBRATIONTYPES VALUES (" + Int(r) + ", " + Quoted(t.NAME[r]) +
                          ", " + Int(t.STATES[r]);
        for (int n = 0; n < kCalStates; ++n) sql += ", " + Int(t.STATE[n][r]);
        for (int n = 0; n < kCalStates; ++n) sql += ", " + Int(t.STRING[n][r]);
        b.Exec(sql + ")");
    }
    const ProgScanList& scan = *lpProgScanList;
    for (int p = 0; p < kScanPositions; ++p)
        b.Exec("INSERT INTO PROGRAMMABLESCANTABLE VALUES (" + Int(p) + ", " +
               Int(static_cast<int32_t>(scan.Entry[p].CHANNEL)) + ", " +
               Int(static_cast<int32_t>(scan.Entry[p].BLOCK)) + ")");
    b.Exec("INSERT INTO SYSTEM VALUES (" + Real(dSampleRate) + ", " + Int(scan.EntryCount) + ")");

    bool ok = b.Ok();
    SQLRETURN rc = SQLTransact(env, dbc, ok ? SQL_COMMIT : SQL_ROLLBACK);
    if (ok && !DbOk(rc)) {
        ok = false;
        if (error) *error = DbErrorText(env, dbc, SQL_NULL_HSTMT);
    }
    SQLSetConnectOption(dbc, SQL_AUTOCOMMIT, SQL_AUTOCOMMIT_ON);
    return ok;
}
