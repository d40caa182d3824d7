// Reading the test definition from the scratch database into the test model.
// Every table is read through a block cursor ordered by its key; a row's
// position in the result decides the model slot, the key itself is not bound.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "scanlist/scan_table.h"
#include "base/status_report.h"
#include "testmodel/db_odbc.h"
#include "testmodel/ini_values.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

int32_t nStartTriggerOffset = -1;
DacStartList sDacStartList[2] = {};

namespace {

const char kChannelStatement[] =
    "SELECT CHANNEL, NAME, UNITS, DESCRIPTION, LOCATION, GAIN, FILTER, SENSITIVITY, OFFSET, "
    "VARIABLEGAIN, EXCITATIONSOURCE, EXCITATIONVOLTAGE,EXCITATIONCURRENT, AUTOBALANCEENABLE, "
    "AUTOZEROENABLE, VARIABLEGAINENABLE, EXCITATIONENABLE, CALPROCEDURE, CALTYPE, CARDTYPE, "
    "EXTERNALAUTOZERO FROM CHANNELPARAMETERS ORDER BY 1";
const char kDigitalStatement[] =
    "SELECT CHANNEL, HARDWARECHANNEL, STATICSTATE,STATE1, STATE1TIME, STATE2, STATE2TIME, STATE3, "
    "STATE3TIME, USEINIT, USE1, USE2, USE3, GLITCHCATCHER, OUTSTOINS FROM DIGITALOUTS ORDER BY 1";
const char kDacStatement[] =
    "SELECT CHANNEL, HARDCHAN, SUBCHAN, STATICOUT, OUTTYPE, REGIONS, STARTTYPE, WAVE1, WAVE2, "
    "WAVE3, WAVE4, WAVE5, WAVE6, WAVE7, WAVE8, WAVE9, WAVE10,"
    "FREQ1, FREQ2, FREQ3, FREQ4, FREQ5, FREQ6, FREQ7, FREQ8, FREQ9, FREQ10, LOOP1, LOOP2, LOOP3, "
    "LOOP4, LOOP5, LOOP6, LOOP7, LOOP8, LOOP9, LOOP10"
    ", MASTERLOOP FROM DACTABLE ORDER BY 1";
const char kCalibrationStatement[] =
    "SELECT CHANNEL, ACTIVESTATES, STATE1, EU1, MEAN1, DEVIATION1, STATE2, EU2, MEAN2, DEVIATION2, "
    "STATE3, EU3, MEAN3, DEVIATION3,"
    "STATE4, EU4, MEAN4, DEVIATION4, STATE5, EU5, MEAN5, DEVIATION5, STATE6, EU6, MEAN6, "
    "DEVIATION6, STATE7, EU7, MEAN7, DEVIATION7,"
    "STATE8, EU8, MEAN8, DEVIATION8 FROM CALIBRATION ORDER BY 1";
const char kCalTypeStatement[] =
    "SELECT TYPE, NAME, STATES, STATE1, STATE2, STATE3, STATE4, STATE5, STATE6, STATE7, STATE8, "
    "STRING1, STRING2, STRING3, STRING4, STRING5, STRING6, STRING7,STRING8 FROM CALIBRATIONTYPES "
    "ORDER BY 1";
const char kScanStatement[] = "SELECT POSITION, CHANNEL, BLOCK FROM PROGRAMMABLESCANTABLE ORDER BY 1";
const char kSystemStatement[] = "SELECT SAMPLERATE, SCANLISTENTRIES FROM SYSTEM";

const char kChannelTableCaption[] = "Problem With Channel Parameters Table";
const char kDacReadCaption[] = "Read DAC Table From Database Error";

// A load problem: a message box, or while remote-controlled a status line
// (a box would stop a program nobody watches).
void LoadProblem(const char* text, const char* caption, int32_t statusCode) {
    if (bRemoteControlled) ReportStatus(-1, statusCode);
    else DbMessage(text, caption);
}

// A statement with the read cursor: read-only, keyset-driven, `rowset` rows.
// With `report` a refused option shows the driver's text; the driver may
// answer with a weaker cursor, which reads the same.
SQLHSTMT ReadStatement(SQLHENV env, SQLHDBC dbc, SQLULEN rowset, bool report) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!DbOk(SQLAllocStmt(dbc, &stmt))) return SQL_NULL_HSTMT;
    struct Option {
        SQLUSMALLINT option;
        SQLULEN value;
        const char* caption;
    } options[] = {{SQL_CONCURRENCY, SQL_CONCUR_READ_ONLY, "Error Establishing Concurrency"},
                   {SQL_CURSOR_TYPE, SQL_CURSOR_KEYSET_DRIVEN, "Error Setting Keyset Driven Cursor"},
                   {SQL_ROWSET_SIZE, rowset, "Error Setting Rowset Size"}};
    for (const Option& o : options) {
        if (DbOk(SQLSetStmtOption(stmt, o.option, o.value))) continue;
        std::string text = DbErrorText(env, dbc, stmt);
        if (report && !bRemoteControlled) DbMessage(text.c_str(), o.caption);
    }
    return stmt;
}

bool Bind(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT type, void* data, SQLLEN size,
          SQLLEN* indicator) {
    return DbOk(SQLBindCol(stmt, column, type, data, size, indicator));
}
bool BindInt(SQLHSTMT stmt, SQLUSMALLINT column, int32_t* data, SQLLEN* indicator) {
    return Bind(stmt, column, SQL_C_SLONG, data, sizeof(int32_t), indicator);
}
bool BindReal(SQLHSTMT stmt, SQLUSMALLINT column, double* data, SQLLEN* indicator) {
    return Bind(stmt, column, SQL_C_DOUBLE, data, sizeof(double), indicator);
}

// Fetches the next rowset; false at the end of the data or on failure.
bool FetchNext(SQLHSTMT stmt, SQLULEN* fetched, SQLUSMALLINT* status) {
    *fetched = 0;
    return DbOk(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 0, fetched, status));
}

int32_t Within(int32_t value, int32_t low, int32_t high, int32_t replacement) {
    return value < low || value > high ? replacement : value;
}
uint32_t OneOrZero(int32_t value) { return value == 1 ? 1u : 0u; }

// Copies a fetched text column, cut to the model's field.
void StoreText(char* dst, uint32_t size, const char* src, uint32_t srcSize) {
    char tmp[64];
    uint32_t n = srcSize < sizeof tmp ? srcSize : sizeof tmp;
    memcpy(tmp, src, n);
    tmp[n - 1] = '\0';
    CopyText(dst, size, tmp);
}

// A table that cannot be read is skipped and the load goes on to succeed.
// The operator is told; a supervisor is not sent "Test Database Corrupt",
// which says the test was not loaded, and no status code names this case.
void ReaderProblem(const char* text, const char* caption) {
    if (!bRemoteControlled) DbMessage(text, caption);
}

// Execute a reader's statement; a failure is reported and ends the reader.
bool ExecuteReader(SQLHSTMT stmt, const char* sql, const char* text, const char* caption) {
    if (DbOk(DbExec(stmt, sql))) return true;
    ReaderProblem(text, caption);
    return false;
}

// ---- CHANNELPARAMETERS ------------------------------------------------------------------------
constexpr int kChannelRowset = 16;

struct ChannelRows {
    char name[kChannelRowset][32];
    char units[kChannelRowset][8];
    char description[kChannelRowset][30];
    char location[kChannelRowset][30];
    int32_t gain[kChannelRowset];
    int32_t filter[kChannelRowset];
    double sensitivity[kChannelRowset];
    double offset[kChannelRowset];
    double variableGain[kChannelRowset];
    int32_t excitationSource[kChannelRowset];
    int32_t excitationVoltage[kChannelRowset];
    int32_t excitationCurrent[kChannelRowset];
    int32_t autobalance[kChannelRowset];
    int32_t autozero[kChannelRowset];
    int32_t variableGainEnable[kChannelRowset];
    int32_t excitationEnable[kChannelRowset];
    int32_t calProcedure[kChannelRowset];
    int32_t calType[kChannelRowset];
    int32_t cardType[kChannelRowset];
    int32_t externalAutozero[kChannelRowset];
    SQLLEN ind[21][kChannelRowset];
};

void LoadChannelParameters(SQLHENV env, SQLHDBC dbc) {
    SQLHSTMT stmt = ReadStatement(env, dbc, kChannelRowset, true);
    if (stmt == SQL_NULL_HSTMT) return;
    static ChannelRows rows;
    memset(&rows, 0, sizeof rows);
    if (!ExecuteReader(stmt, kChannelStatement,
                       "Could Not Select Data From Channel Parameters Table.  Check Q90.MDB",
                       kChannelTableCaption)) {
        SQLFreeStmt(stmt, SQL_DROP);
        LoadCardTypes();
        return;
    }
    // Columns 2-9 bind silently; the later ones each have their own report.
    Bind(stmt, 2, SQL_C_CHAR, rows.name, 32, rows.ind[1]);
    Bind(stmt, 3, SQL_C_CHAR, rows.units, 8, rows.ind[2]);
    Bind(stmt, 4, SQL_C_CHAR, rows.description, 30, rows.ind[3]);
    Bind(stmt, 5, SQL_C_CHAR, rows.location, 30, rows.ind[4]);
    BindInt(stmt, 6, rows.gain, rows.ind[5]);
    BindInt(stmt, 7, rows.filter, rows.ind[6]);
    BindReal(stmt, 8, rows.sensitivity, rows.ind[7]);
    BindReal(stmt, 9, rows.offset, rows.ind[8]);
    struct Checked {
        SQLUSMALLINT column;
        bool real;
        void* data;
        const char* text;
        int32_t code;
    } checked[] = {
        {10, true, rows.variableGain, "Could Not Bind Variable Gain", 1},
        {11, false, rows.excitationSource, "Could Not Bind Excitation Source", 2},
        {12, false, rows.excitationVoltage, "Could Not Bind Excitation Voltage", 3},
        {13, false, rows.excitationCurrent, "Could Not Bind Excitation Current", 4},
        {14, false, rows.autobalance, "Could Not Bind Autobalanceenable", 5},
        {15, false, rows.autozero, "Could Not Bind Autozero Enable", 6},
        {16, false, rows.variableGainEnable, "Could Not Bind Variable Gain Enable", 7},
        {17, false, rows.excitationEnable, "Could Not Bind Excitation Enable", 8},
        {18, false, rows.calProcedure, "Could Not Bind CalProcedure", kStatusTestDatabaseCorrupt},
        {19, false, rows.calType, "Could Not Bind CalType", kStatusTestDatabaseCorrupt},
        {20, false, rows.cardType, "Could Not Bind icard", kStatusTestDatabaseCorrupt},
        {21, false, rows.externalAutozero, "Could Not Bind External Auto Zero",
         kStatusTestDatabaseCorrupt},
    };
    for (const Checked& c : checked) {
        SQLLEN* ind = rows.ind[c.column - 1];
        bool ok = c.real ? BindReal(stmt, c.column, static_cast<double*>(c.data), ind)
                         : BindInt(stmt, c.column, static_cast<int32_t*>(c.data), ind);
        if (ok) continue;
        if (bRemoteControlled) {
            ReportStatus(-1, c.code);
            dwRemoteStatus |= kRemoteStatusDatabaseError;
        } else {
            DbMessage(c.text, kChannelTableCaption);
        }
    }

    ChannelParams& cp = *lpsChannelParams;
    CalRecord& cal = cp.Cal;
    SQLUSMALLINT status[kChannelRowset];
    for (int n = 0; n < kChannels; n += kChannelRowset) {
        // A NULL column leaves its buffer alone: clear them so it reads as 0 / "".
        memset(&rows, 0, offsetof(ChannelRows, ind));
        SQLULEN fetched = 0;
        if (!FetchNext(stmt, &fetched, status)) continue;
        for (int i = 0; i < kChannelRowset && i < static_cast<int>(fetched); ++i) {
            if (!DbRowGood(status[i])) continue;
            int ch = n + i;
            StoreText(cp.NAME[ch], sizeof cp.NAME[ch], rows.name[i], 32);
            StoreText(cp.UNITS[ch], sizeof cp.UNITS[ch], rows.units[i], 8);
            StoreText(cp.DESCRIPTION[ch], sizeof cp.DESCRIPTION[ch], rows.description[i], 30);
            StoreText(cp.LOCATION[ch], sizeof cp.LOCATION[ch], rows.location[i], 30);
            cp.CARDTYPE[ch] = static_cast<uint32_t>(rows.cardType[i]);
            cp.GAIN[ch] = rows.gain[i];
            cp.FILTER[ch] = rows.filter[i];
            cal.CALTYPE[ch] = Within(rows.calType[i], 0, kCalTypes - 1, 1);
            cp.SENSITIVITY[ch] = rows.sensitivity[i];
            cp.OFFSET[ch] = rows.offset[i];
            double vg = rows.variableGain[i];
            cp.VARIABLEGAIN[ch] = vg > 0.0 && vg <= 10000.0 ? vg : 1.0;
            uint32_t source = static_cast<uint32_t>(rows.excitationSource[i]);
            cp.EXCITATIONSOURCE[ch] = source > 1 ? 0u : source;
            cp.EXCITATIONVOLTAGE[ch] = rows.excitationVoltage[i];
            cp.EXCITATIONCURRENT[ch] = rows.excitationCurrent[i];
            cp.AUTOBALANCEENABLE[ch] = OneOrZero(rows.autobalance[i]);
            cp.AUTOZEROENABLE[ch] = OneOrZero(rows.autozero[i]);
            cp.EXTERNALAUTOZERO[ch] = OneOrZero(rows.externalAutozero[i]);
            cp.VARIABLEGAINENABLE[ch] = OneOrZero(rows.variableGainEnable[i]);
            cp.EXCITATIONENABLE[ch] = OneOrZero(rows.excitationEnable[i]);
            cal.CALPROCEDURE[ch] = Within(rows.calProcedure[i], -1, kCalProcedures - 1, -1);
        }
    }
    // The card types also check gain, filter and excitation against the card's lists.
    LoadCardTypes();
    SQLFreeStmt(stmt, SQL_DROP);
}

// The state sequence of every channel comes from its calibration type.
void CopyCalTypeStates() {
    ChannelParams& cp = *lpsChannelParams;
    const CalType& types = *lpsCalTypes;
    for (int ch = 0; ch < kChannels; ++ch) {
        int32_t t = cp.Cal.CALTYPE[ch];
        if (t < 0 || t >= kCalTypes) continue;
        cp.Cal.ACTIVESTATES[ch] = static_cast<int32_t>(types.STATES[t]);
        for (int s = 0; s < kCalStates; ++s)
            cp.Cal.STATE[s][ch] = static_cast<int32_t>(types.STATE[s][t]);
    }
}

// ---- SYSTEM -----------------------------------------------------------------------------------
// The last step: sample rate and entry count, then what is derived from the
// scan table.  Returns false when the row cannot be read.
bool LoadSystem(SQLHENV env, SQLHDBC dbc) {
    SQLHSTMT stmt = ReadStatement(env, dbc, 1, true);
    if (stmt == SQL_NULL_HSTMT) return false;
    double rate = 0.0;
    int32_t entries = 0;
    SQLLEN ind[2] = {0, 0};
    bool ok = DbOk(DbExec(stmt, kSystemStatement));
    if (ok && !(BindReal(stmt, 1, &rate, &ind[0]) && BindInt(stmt, 2, &entries, &ind[1]))) {
        LoadProblem("Could Not Bind Sample Rate", kChannelTableCaption, kStatusTestDatabaseCorrupt);
        SQLFreeStmt(stmt, SQL_DROP);
        return false;
    }
    SQLULEN fetched = 0;
    SQLUSMALLINT status[1];
    ok = ok && FetchNext(stmt, &fetched, status) && fetched >= 1 && DbRowGood(status[0]);
    SQLFreeStmt(stmt, SQL_DROP);
    if (!ok) return false;

    dSampleRate = rate;
    ProgScanList& scan = *lpProgScanList;
    // A count beyond the table would walk past it everywhere the count is used;
    // such a row keeps the count of the entries actually found.
    if (entries >= 0 && entries <= kScanPositions) scan.EntryCount = static_cast<uint32_t>(entries);
    RebuildScanDerivedData();
    nFirstScannedChannel = static_cast<int32_t>(scan.Entry[0].CHANNEL);
    if (bRemoteControlled && nOperationFirstDisplayChannel != -1)
        nFirstScannedChannel = nOperationFirstDisplayChannel;
    BuildScanMap();
    nStartTriggerOffset = -1;
    for (uint32_t p = 0; p < kScanPositions; ++p)
        if (static_cast<int32_t>(scan.Entry[p].CHANNEL) == nStartAndTriggerChannel) {
            nStartTriggerOffset = static_cast<int32_t>(16 + 2 * p);
            break;
        }
    UpdateStartTriggerMasks();
    return true;
}

}  // namespace

// ---- per-table readers ---------------------------------------------------------------------------
int32_t LoadDigitalOuts(DbEnv env, DbConn dbc) {
    SQLHSTMT stmt = ReadStatement(Env(env), Dbc(dbc), kDigitalOutRows, false);
    if (stmt == SQL_NULL_HSTMT) return 1;
    int32_t col[14][kDigitalOutRows];
    SQLLEN ind[14][kDigitalOutRows];
    memset(col, 0, sizeof col);
    if (ExecuteReader(stmt, kDigitalStatement,
                      "Could Not Select Data From Digital Outs Table.  Check Q90.MDB",
                      "Problem With Digital Outs Table")) {
        for (int c = 0; c < 14; ++c) BindInt(stmt, static_cast<SQLUSMALLINT>(c + 2), col[c], ind[c]);
        SQLULEN fetched = 0;
        SQLUSMALLINT status[kDigitalOutRows];
        if (FetchNext(stmt, &fetched, status)) {
            for (int r = 0; r < kDigitalOutRows && r < static_cast<int>(fetched); ++r) {
                if (!DbRowGood(status[r])) continue;
                DigitalOut& d = sDigitalOut[r];
                d.HARDWARECHANNEL = col[0][r];
                d.STATICSTATE = col[1][r];
                d.STATE1 = col[2][r];
                d.STATE1TIME = col[3][r];
                d.STATE2 = col[4][r];
                d.STATE2TIME = col[5][r];
                d.STATE3 = col[6][r];
                d.STATE3TIME = col[7][r];
                d.USEINIT = static_cast<int32_t>(OneOrZero(col[8][r]));
                d.USE1 = static_cast<int32_t>(OneOrZero(col[9][r]));
                d.USE2 = static_cast<int32_t>(OneOrZero(col[10][r]));
                d.USE3 = static_cast<int32_t>(OneOrZero(col[11][r]));
                d.GLITCHCATCHER = static_cast<int32_t>(OneOrZero(col[12][r]));
                d.OUTSTOINS = col[13][r];
            }
        }
    }
    SQLFreeStmt(stmt, SQL_DROP);
    return 1;
}

void RebuildDacStartLists() {
    sDacStartList[0].Count = sDacStartList[1].Count = 0;
    for (const DacChannel& d : sDacChannel) {
        if (d.HARDCHAN == -1) continue;
        DacStartList& list = sDacStartList[d.STARTTYPE[0] == 0 ? 0 : 1];
        list.HardChan[list.Count++] = d.HARDCHAN;
    }
}

int32_t LoadDacTable(DbEnv env, DbConn dbc) {
    SQLHSTMT stmt = ReadStatement(Env(env), Dbc(dbc), kDacRows, false);
    if (stmt == SQL_NULL_HSTMT) {
        RebuildDacStartLists();
        return 1;
    }
    // Columns 2-38: HARDCHAN, SUBCHAN, STATICOUT, OUTTYPE, REGIONS, STARTTYPE,
    // WAVE1-10, FREQ1-10, LOOP1-10, MASTERLOOP.
    constexpr int kCols = 37;
    int32_t col[kCols][kDacRows];
    SQLLEN ind[kCols][kDacRows];
    memset(col, 0, sizeof col);
    if (!DbOk(DbExec(stmt, kDacStatement))) {
        ReaderProblem("Could Not Perform Execute Direct.", kDacReadCaption);
    } else {
        static const char* const kBindText[kCols] = {
            "Could Not Bind Hardware Channel Column.  Check Q90.MDB",
            "Could Not Bind subchannel Column.  Check Q90.MDB activestates Column",
            "Could Not Bind staticout Column.  Check Q90.MDB state1 Column",
            "Could Not Bind outtype Column.  Check Q90.MDB state2 Column",
            "Could Not Bind regions Column.  Check Q90.MDB state3 Column",
            "Could Not Bind starttype Column.  Check Q90.MDB state4 Column",
        };
        for (int c = 0; c < kCols; ++c) {
            if (BindInt(stmt, static_cast<SQLUSMALLINT>(c + 2), col[c], ind[c])) continue;
            char text[100];
            const char* caption = kDacReadCaption;
            if (c == 0) caption = "Channel Parameters Save To Database Error";
            else if (c <= 2) caption = "Scan List Save To Database Error";
            if (c < 6) CopyText(text, sizeof text, kBindText[c]);
            else if (c < 36)
                snprintf(text, sizeof text, "Could Not Bind %s%d Column.  Check Q90.MDB state5 Column",
                         c < 16 ? "wave" : c < 26 ? "freq" : "loop", (c - 6) % 10 + 1);
            else CopyText(text, sizeof text, "Could Not Bind masterloop Column.  Check Q90.MDB state5 Column");
            ReaderProblem(text, caption);
        }
        SQLULEN fetched = 0;
        SQLUSMALLINT status[kDacRows];
        if (FetchNext(stmt, &fetched, status)) {
            int rows = fetched > kDacRows ? kDacRows : static_cast<int>(fetched);
            int half = rows / 2;
            for (int r = 0; r < rows; ++r) {
                if (!DbRowGood(status[r])) continue;
                int32_t hardChan = col[0][r] < 0 || col[0][r] >= kChannels ? -1 : col[0][r];
                int32_t subChan = Within(col[1][r], 0, 1, 0);
                int32_t staticOut = col[2][r];
                int32_t outType = Within(col[3][r], 0, 1, 0);
                int32_t regions = Within(col[4][r], 0, 10, 0);
                int32_t startType = Within(col[5][r], 0, 1, 0);
                int s = r < half ? 0 : 1;
                DacChannel& d = sDacChannel[r < half ? r : r - half];
                d.STATICOUT[s] = staticOut;
                d.SUBCHAN[s] = subChan;
                d.OUTTYPE[s] = outType;
                d.STARTTYPE[s] = startType;
                for (int w = 0; w < kDacWaves; ++w) d.WAVE[w][s] = Within(col[6 + w][r], 0, 4, 0);
                if (s == 0) {
                    d.HARDCHAN = hardChan;
                    d.MASTERLOOP = col[36][r];
                    d.REGIONS[0] = d.REGIONS[1] = regions;
                    for (int w = 0; w < kDacWaves; ++w) {
                        d.FREQ[w][0] = d.FREQ[w][1] = Within(col[16 + w][r], 10, 210, 10);
                        d.LOOP[w][0] = d.LOOP[w][1] = col[26 + w][r];
                    }
                }
            }
        }
    }
    SQLFreeStmt(stmt, SQL_DROP);
    RebuildDacStartLists();
    return 1;
}

int32_t LoadCalibration(DbEnv env, DbConn dbc) {
    SQLHSTMT stmt = ReadStatement(Env(env), Dbc(dbc), kCalibrationRows, false);
    if (stmt == SQL_NULL_HSTMT) return 1;
    struct Rows {
        int32_t active[kCalibrationRows];
        int32_t state[kCalStates][kCalibrationRows];
        double eu[kCalStates][kCalibrationRows];
        double mean[kCalStates][kCalibrationRows];
        double deviation[kCalStates][kCalibrationRows];
        SQLLEN ind[33][kCalibrationRows];
    };
    static Rows rows;
    memset(&rows, 0, sizeof rows);
    if (ExecuteReader(stmt, kCalibrationStatement,
                      "Could Not Select Data From Calibration Table.  Check Q90.MDB",
                      "Problem With Calibration Table")) {
        BindInt(stmt, 2, rows.active, rows.ind[0]);
        for (int n = 0; n < kCalStates; ++n) {
            SQLUSMALLINT base = static_cast<SQLUSMALLINT>(3 + 4 * n);
            BindInt(stmt, base, rows.state[n], rows.ind[1 + 4 * n]);
            BindReal(stmt, base + 1, rows.eu[n], rows.ind[2 + 4 * n]);
            BindReal(stmt, base + 2, rows.mean[n], rows.ind[3 + 4 * n]);
            BindReal(stmt, base + 3, rows.deviation[n], rows.ind[4 + 4 * n]);
        }
        SQLULEN fetched = 0;
        SQLUSMALLINT status[kCalibrationRows];
        if (FetchNext(stmt, &fetched, status)) {
            CalRecord& cal = lpsChannelParams->Cal;
            for (int r = 0; r < kCalibrationRows && r < static_cast<int>(fetched); ++r) {
                if (!DbRowGood(status[r])) continue;
                cal.ACTIVESTATES[r] = Within(rows.active[r], 1, kCalStates, 1);
                for (int n = 0; n < kCalStates; ++n) {
                    cal.STATE[n][r] = Within(rows.state[n][r], 0, 13, 0);
                    cal.EU[r][n] = rows.eu[n][r];
                    cal.MEAN[r][n] = rows.mean[n][r];
                    cal.DEVIATION[r][n] = rows.deviation[n][r];
                }
            }
        }
    }
    SQLFreeStmt(stmt, SQL_DROP);
    return 1;
}

int32_t LoadCalTypes(DbEnv env, DbConn dbc) {
    SQLHSTMT stmt = ReadStatement(Env(env), Dbc(dbc), kCalTypeRows, false);
    if (stmt == SQL_NULL_HSTMT) return 1;
    int32_t type[kCalTypeRows] = {}, states[kCalTypeRows] = {};
    int32_t state[kCalStates][kCalTypeRows] = {}, string[kCalStates][kCalTypeRows] = {};
    char name[kCalTypeRows][50] = {};
    SQLLEN ind[19][kCalTypeRows];
    if (ExecuteReader(stmt, kCalTypeStatement,
                      "Could Not Select Data From Calibration Types Table.  Check Q90.MDB",
                      "Problem With Calibration Types Table")) {
        BindInt(stmt, 1, type, ind[0]);
        Bind(stmt, 2, SQL_C_CHAR, name, 50, ind[1]);
        BindInt(stmt, 3, states, ind[2]);
        for (int n = 0; n < kCalStates; ++n) {
            BindInt(stmt, static_cast<SQLUSMALLINT>(4 + n), state[n], ind[3 + n]);
            BindInt(stmt, static_cast<SQLUSMALLINT>(12 + n), string[n], ind[11 + n]);
        }
        SQLULEN fetched = 0;
        SQLUSMALLINT status[kCalTypeRows];
        if (FetchNext(stmt, &fetched, status)) {
            CalType& t = *lpsCalTypes;
            for (int r = 0; r < kCalTypeRows && r < static_cast<int>(fetched); ++r) {
                if (!DbRowGood(status[r])) continue;
                t.TYPE[r] = static_cast<uint32_t>(type[r]);
                StoreText(t.NAME[r], sizeof t.NAME[r], name[r], 50);
                t.STATES[r] = static_cast<uint32_t>(Within(states[r], 1, kCalStates, 1));
                for (int n = 0; n < kCalStates; ++n) {
                    t.STATE[n][r] = static_cast<uint32_t>(Within(state[n][r], 0, 13, 0));
                    t.STRING[n][r] = static_cast<uint32_t>(string[n][r]);
                }
            }
        }
    }
    SQLFreeStmt(stmt, SQL_DROP);
    return 1;
}

int32_t LoadScanTable(DbEnv env, DbConn dbc) {
    constexpr int kRowset = 128;
    SQLHSTMT stmt = ReadStatement(Env(env), Dbc(dbc), kRowset, false);
    if (stmt == SQL_NULL_HSTMT) return 1;
    int32_t channel[kRowset], block[kRowset];
    SQLLEN ind[2][kRowset];
    ProgScanList& scan = *lpProgScanList;
    uint32_t count = 0;
    int32_t largestBlock = -1;
    bool read = ExecuteReader(stmt, kScanStatement,
                              "Could Not Select Data From Scan List Table.  Check Q90.MDB",
                              "Problem With Scan List Table");
    if (read) {
        BindInt(stmt, 2, channel, ind[0]);
        BindInt(stmt, 3, block, ind[1]);
    }
    SQLUSMALLINT status[kRowset];
    for (int n = 0; read && n < kScanPositions; n += kRowset) {
        memset(channel, 0, sizeof channel);
        memset(block, 0, sizeof block);
        SQLULEN fetched = 0;
        if (!FetchNext(stmt, &fetched, status)) continue;
        for (int i = 0; i < kRowset && i < static_cast<int>(fetched); ++i) {
            if (!DbRowGood(status[i])) continue;
            ProgScanEntry& e = scan.Entry[n + i];
            int32_t ch = channel[i];
            // A position naming no real channel, or a block no table can
            // have, would index past the channel arrays downstream: it is empty.
            if (ch != -1 && (ch < 0 || ch >= kChannels || block[i] < 0 || block[i] >= kScanPositions))
                ch = -1;
            e.CHANNEL = static_cast<uint32_t>(ch);
            e.BLOCK = static_cast<uint32_t>(block[i]);
            if (ch == -1) continue;
            ++count;
            if (block[i] > largestBlock) largestBlock = block[i];
        }
    }
    if (read) {
        scan.BlockCount = largestBlock < 0 ? 1u : static_cast<uint32_t>(largestBlock) + 1;
        scan.EntryCount = count;
    }
    SQLFreeStmt(stmt, SQL_DROP);
    return 1;
}

// ---- the whole load ------------------------------------------------------------------------------
int32_t LoadTestDatabase() {
    if (lpsChannelParams == nullptr || lpProgScanList == nullptr || lpsCalTypes == nullptr) return 0;
    DbEnv env = nullptr;
    DbConn dbc = nullptr;
    std::string error;
    if (!DbOpen(kTestDataSource, &env, &dbc, &error)) return 0;

    // A file that is not a test database (or not a database at all) has no
    // readable SYSTEM row: refuse it before a single table touches the model,
    // so the caller's fallback starts from a consistent state.
    {
        SQLHSTMT probe = SQL_NULL_HSTMT;
        bool usable = DbOk(SQLAllocStmt(Dbc(dbc), &probe)) && DbOk(DbExec(probe, kSystemStatement)) &&
                      DbOk(SQLFetch(probe));
        if (probe != SQL_NULL_HSTMT) SQLFreeStmt(probe, SQL_DROP);
        if (!usable) {
            DbClose(env, dbc);
            return 0;
        }
    }

    LoadChannelParameters(Env(env), Dbc(dbc));
    LoadDigitalOuts(env, dbc);
    LoadDacTable(env, dbc);
    LoadCalibration(env, dbc);
    LoadCalTypes(env, dbc);
    CopyCalTypeStates();
    LoadScanTable(env, dbc);
    bool ok = LoadSystem(Env(env), Dbc(dbc));
    dwRemoteStatus &= ~kRemoteStatusDatabaseError;
    DbClose(env, dbc);
    return ok ? 1 : 0;
}
