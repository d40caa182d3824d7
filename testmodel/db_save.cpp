// Writing the test model back into the scratch database.  The save never
// inserts or deletes: it walks each table through a keyset cursor in key
// order, one rowset at a time, and overwrites each row it is on in place.
// Every failing call is reported and the save goes on.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <vector>

#include "platform/platform.h"
#include "testmodel/db_odbc.h"
#include "testmodel/ini_values.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

namespace {

struct WriterTexts {
    const char* caption;
    const char* alloc;
    const char* rowsetSize;
    const char* cursor;
    const char* select;
    const char* fetch;
    const char* update;
    const char* free;
    const char* commit;
};

const char kAlloc[] = "Could Not Allocate SQL Statement.  Check Q90.MDB and ODBC Registry";
const char kCursor[] = "Could Not Allocate SQL Cursor.  Check Q90.MDB and ODBC Registry";
const char kFetch[] = "Could Not Perform SQL Extended Fetch.  Check Q90.MDB";
const char kFree[] = "Could Not Free The SQL Statement.  Check ODBC Driver";
const char kCommit[] = "Could Not Commit Data To Q90 Database.  Check Q90.MDB";

const WriterTexts kChannelTexts = {
    "Channel Parameters Save To Database Error",
    "Could Not Allocate SQL Statement.  Check Q90.MDB and ODBC Registry",
    "Could Not Set The SQL Row Set Size.  Check Q90.MDB Channel Table For Proper Number of Entries",
    "Could Not Allocate an SQL Cursor.  Check ODBC Registry and Make Sure It Uses Access 2.0 Driver "
    "for Q90",
    "Could Not Select From Q90.  Check Q90.MDB For Coruption",
    "Could Not Perform SQL Extended Fetch.  Check Q90.MDB",
    "Could Not Update Channel Parameters Table.  Check Q90.MDB",
    "Could Not Free The SQL Statement.  Check Q90.MDB",
    "Could Not Commit The Changes To Q90 Database.  Check Q90.MDB"};
const WriterTexts kSystemTexts = {
    "Channel Parameters Save To Database Error", kChannelTexts.alloc, kChannelTexts.rowsetSize,
    kChannelTexts.cursor, "Could Not Select From Q90.  Check Q90.MDB For Coruption",
    "Could Not Perform SQL Extended Fetch.  Check Q90.MDB",
    "Could Not Update System Table.  Check Q90.MDB", "Could Not Free The SQL Statement.  Check Q90.MDB",
    "Could Not Commit The Changes To Q90 Database.  Check Q90.MDB"};
const WriterTexts kCalibrationTexts = {
    "Calibration Table Save To Database Error", kAlloc, kCursor, kCursor,
    "Could Not Select Data From Calibration Table.  Check Q90.MDB and ODBC Registry", kFetch,
    "Could Not Update The Calibration Table.  Check Q90.MDB", kFree, kCommit};
const WriterTexts kCalTypeTexts = {
    "Calibration Types Save To Database Error", kAlloc, kCursor, kCursor,
    "Could Not Select Data From Calibration Types Table.  Check Q90.MDB and ODBC Registry", kFetch,
    "Could Not Update The Cal Types  Table.  Check Q90.MDB", kFree, kCommit};
const WriterTexts kDigitalTexts = {
    "Digital Outs Save To Database Error", kAlloc, kCursor, kCursor,
    "Could Not Select Data From Digital Outs Table.  Check Q90.MDB and ODBC Registry", kFetch,
    "Could Not Update The Digital Outs Table.  Check Q90.MDB", kFree, kCommit};
const WriterTexts kDacTexts = {
    "Save DAC Table To Database Error", kAlloc,
    "Could Not Set The DAC Table Row Set Size.  Check Q90.MDB Scan List Table", kCursor,
    "Could Not Select Data From DAC Table.  Check Q90.MDB and ODBC Registry", kFetch,
    "Could Not Update The DAC Outs Table.  Check Q90.MDB", kFree, kCommit};
const WriterTexts kScanTexts = {
    "Scan List Save To Database Error", kAlloc,
    "Could Not Set The Scan List Table Row Set Size.  Check Q90.MDB Scan List Table", kCursor,
    "Could Not Select Data From Scan List Table.  Check Q90.MDB and ODBC Registry", kFetch,
    "Could Not Update The Scan List Table.  Check Q90.MDB", kFree, kCommit};

// Each row is written through the row's own identity in its table, whatever
// its key holds: a stored test may carry keys that are shifted, out of
// storage order or not unique.  SQLite gives every row a ROWID.  The Access
// driver has no such column; a station using it needs a counter (AutoNumber)
// column in every table and its name here instead.
constexpr const char kRowIdentity[] = "ROWID";

// What the save does with a table's key (column 1).
enum class KeyUse {
    None,       // no key: a table of one row (SYSTEM)
    Kept,       // left as stored
    Rewritten,  // becomes the row index, as the fill step writes it
};

// Column bindings of one table: each column has row arrays the fill step
// writes, and the rowset's row identities.
class Columns {
  public:
    explicit Columns(int rowset)
        : rowset_(rowset), keys_(static_cast<size_t>(rowset), 0), ids_(static_cast<size_t>(rowset), 0),
          idInd_(static_cast<size_t>(rowset), 0) {}
    int32_t* Int(int column, const char* bindText = nullptr) {
        ints_.emplace_back(rowset_, 0);
        Add(column, SQL_C_SLONG, SQL_INTEGER, ints_.back().data(), sizeof(int32_t), bindText);
        return ints_.back().data();
    }
    double* Real(int column, const char* bindText = nullptr) {
        reals_.emplace_back(rowset_, 0.0);
        Add(column, SQL_C_DOUBLE, SQL_DOUBLE, reals_.back().data(), sizeof(double), bindText);
        return reals_.back().data();
    }
    // Text of `size` bytes per row; the fill step stores NUL-terminated text.
    char* Text(int column, int size, const char* bindText = nullptr) {
        texts_.emplace_back(static_cast<size_t>(rowset_) * size, '\0');
        Add(column, SQL_C_CHAR, SQL_VARCHAR, texts_.back().data(), size, bindText);
        return texts_.back().data();
    }

    // Binds every column of the executed SELECT and the row identity, which
    // is its last column; a refused bind is reported.  False when any was
    // refused.
    bool Bind(SQLHSTMT stmt, const char* caption) {
        bool ok = true;
        for (Column& c : columns_) {
            char name[128] = "";
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN precision = 0;
            if (DbOk(SQLDescribeCol(stmt, static_cast<SQLUSMALLINT>(c.column), reinterpret_cast<SQLCHAR*>(name),
                                    sizeof name, &nameLength, &type, &precision, &digits, &nullable)))
                c.name = name;
            if (!c.name.empty() &&
                DbOk(SQLBindCol(stmt, static_cast<SQLUSMALLINT>(c.column), c.ctype, c.data, c.size, c.ind.data())))
                continue;
            ok = false;
            c.name.clear();
            char text[120];
            if (c.bindText) snprintf(text, sizeof text, "%s", c.bindText);
            else snprintf(text, sizeof text, "Could Not Bind Column %d.  Check Q90.MDB", c.column);
            DbMessage(text, caption);
        }
        char key[128] = "";
        SQLSMALLINT keyLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN precision = 0;
        if (DbOk(SQLDescribeCol(stmt, 1, reinterpret_cast<SQLCHAR*>(key), sizeof key, &keyLength, &type,
                                &precision, &digits, &nullable)))
            keyName_ = key;
        SQLSMALLINT count = 0;
        identityBound_ = DbOk(SQLNumResultCols(stmt, &count)) && count > 1 &&
                         DbOk(SQLBindCol(stmt, static_cast<SQLUSMALLINT>(count), SQL_C_SBIGINT, ids_.data(),
                                         sizeof(int64_t), idInd_.data()));
        return ok;
    }
    // After a fetch: the stored keys of the rowset's rows, before the fill
    // step overwrites the bound key column.
    void TakeKeys(int rows) {
        if (const Column* key = Find(1)) {
            const int32_t* stored = static_cast<const int32_t*>(key->data);
            for (int r = 0; r < rows; ++r) keys_[r] = stored[r];
        }
    }
    // The UPDATE that overwrites one row in place, selected by its identity.
    // A rewritten key is not part of it (see RewriteKeys).
    std::string UpdateStatement(const char* table, KeyUse key) const {
        std::string sql = std::string("UPDATE ") + table + " SET ";
        bool first = true;
        for (const Column& c : columns_) {
            if (c.name.empty() || (key == KeyUse::Rewritten && c.column == 1)) continue;
            sql += (first ? "" : ", ") + c.name + " = ?";
            first = false;
        }
        sql += std::string(" WHERE ") + kRowIdentity + " = ?";
        return first || !identityBound_ ? std::string() : sql;
    }
    // Binds the parameters of UpdateStatement to row r of the arrays.
    bool BindRow(SQLHSTMT update, int r, KeyUse key) {
        SQLUSMALLINT p = 0;
        for (Column& c : columns_) {
            if (c.name.empty() || (key == KeyUse::Rewritten && c.column == 1)) continue;
            char* at = static_cast<char*>(c.data) + static_cast<size_t>(r) * c.size;
            c.ind[r] = c.ctype == SQL_C_CHAR ? SQL_NTS : 0;
            SQLULEN width = c.ctype == SQL_C_CHAR ? static_cast<SQLULEN>(c.size - 1) : 0;
            if (!DbOk(SQLBindParameter(update, ++p, SQL_PARAM_INPUT, c.ctype, c.sqltype, width, 0, at, c.size,
                                       &c.ind[r])))
                return false;
        }
        idParamInd_ = 0;
        return DbOk(SQLBindParameter(update, ++p, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &ids_[r],
                                     sizeof(int64_t), &idParamInd_));
    }
    // Row r's identity, stored key and the key the fill step gave it.
    int64_t Identity(int r) const { return ids_[r]; }
    int32_t StoredKey(int r) const { return keys_[r]; }
    int32_t NewKey(int r) const {
        const Column* key = Find(1);
        return key ? static_cast<const int32_t*>(key->data)[r] : keys_[r];
    }
    const std::string& KeyName() const { return keyName_; }

  private:
    struct Column {
        int column;
        SQLSMALLINT ctype;
        SQLSMALLINT sqltype;
        void* data;
        SQLLEN size;
        const char* bindText;
        std::vector<SQLLEN> ind;
        std::string name;  // as the driver describes it; empty when unbound
    };
    void Add(int column, SQLSMALLINT ctype, SQLSMALLINT sqltype, void* data, SQLLEN size, const char* bindText) {
        columns_.push_back({column, ctype, sqltype, data, size, bindText, std::vector<SQLLEN>(rowset_, 0), ""});
    }
    const Column* Find(int column) const {
        for (const Column& c : columns_)
            if (c.column == column && !c.name.empty()) return &c;
        return nullptr;
    }
    int rowset_;
    std::vector<Column> columns_;
    // Deques: the bound arrays must stay where they are while more are added.
    std::deque<std::vector<int32_t>> ints_;
    std::deque<std::vector<double>> reals_;
    std::deque<std::string> texts_;
    std::vector<int32_t> keys_;
    std::vector<int64_t> ids_;
    std::vector<SQLLEN> idInd_;
    bool identityBound_ = false;
    SQLLEN idParamInd_ = 0;
    std::string keyName_;
};

void PutText(char* column, int size, int row, const char* text) {
    CopyText(column + static_cast<size_t>(row) * size, static_cast<uint32_t>(size), text);
}

// Overwrites rows 0 .. rows-1 of the fetched rowset in place, each through
// its identity with a prepared UPDATE rather than by SQLSetPos: the SQLite
// driver's positioned update overruns its own buffer building the statement
// for tables with many columns.  False when a row was not updated exactly once.
bool UpdateRows(SQLHSTMT update, Columns& columns, int rows, KeyUse key) {
    bool ok = true;
    for (int r = 0; r < rows; ++r) {
        if (!columns.BindRow(update, r, key) || !DbOk(SQLExecute(update))) {
            ok = false;
            continue;
        }
        SQLLEN changed = 0;
        if (!DbOk(SQLRowCount(update, &changed)) || changed != 1) ok = false;
    }
    return ok;
}

// One written row's identity, its stored key and the key it is to hold.
struct RowKey {
    int64_t identity;
    int32_t stored;
    int32_t wanted;
};

// Runs `sql` with integer parameters; true when it changed exactly one row.
bool ChangeOneRow(SQLHDBC dbc, const std::string& sql, int64_t a, int64_t b) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!DbOk(SQLAllocStmt(dbc, &stmt))) return false;
    SQLLEN ind[2] = {0, 0};
    SQLLEN changed = 0;
    bool ok = DbOk(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &a, 0, &ind[0])) &&
              DbOk(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &b, 0, &ind[1])) &&
              DbOk(DbExec(stmt, sql.c_str())) && DbOk(SQLRowCount(stmt, &changed)) && changed == 1;
    SQLFreeStmt(stmt, SQL_DROP);
    return ok;
}

// Gives the written rows their new keys.  A key may be unique, so a row
// cannot take its new key while another row still holds it: every row that
// changes first moves to a key above all keys in the table, then to its own.
bool RewriteKeys(SQLHDBC dbc, const char* table, const std::string& key, const std::vector<RowKey>& rows) {
    bool any = false;
    int64_t top = 0;
    for (const RowKey& r : rows) {
        any = any || r.stored != r.wanted;
        top = std::max<int64_t>(top, r.wanted);
    }
    if (!any) return true;
    // Rows the save does not write count too: the table's largest key.
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!DbOk(SQLAllocStmt(dbc, &stmt))) return false;
    std::string sql = "SELECT MAX(" + key + ") FROM " + table;
    int64_t largest = 0;
    SQLLEN ind = 0;
    bool ok = DbOk(DbExec(stmt, sql.c_str())) &&
              DbOk(SQLBindCol(stmt, 1, SQL_C_SBIGINT, &largest, sizeof largest, &ind)) && DbOk(SQLFetch(stmt));
    SQLFreeStmt(stmt, SQL_DROP);
    if (!ok) return false;
    int64_t aside = std::max(top, ind == SQL_NULL_DATA ? int64_t{0} : largest) + 1;
    std::string toAside = std::string("UPDATE ") + table + " SET " + key + " = ? WHERE " + kRowIdentity + " = ?";
    std::string toWanted = std::string("UPDATE ") + table + " SET " + key + " = ? WHERE " + key + " = ?";
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].stored != rows[i].wanted)
            ok = ChangeOneRow(dbc, toAside, aside + static_cast<int64_t>(i), rows[i].identity) && ok;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].stored != rows[i].wanted)
            ok = ChangeOneRow(dbc, toWanted, rows[i].wanted, aside + static_cast<int64_t>(i)) && ok;
    return ok;
}

// The common pattern of every table.  `fill(first, rows)` writes model rows
// first .. first+rows-1 into the bound arrays.  Rows are walked in key order,
// the order the load reads them in, so row r of the walk holds model row r.
// Returns false when any step failed.
bool WriteTable(SQLHENV env, SQLHDBC dbc, const char* table, int rowset, int rowsets,
                const WriterTexts& t, Columns& columns, const std::function<void(int, int)>& fill,
                KeyUse key) {
    bool ok = true;
    auto fail = [&](const char* text) {
        DbMessage(text, t.caption);
        ok = false;
    };
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!DbOk(SQLAllocStmt(dbc, &stmt))) {
        fail(t.alloc);
        return false;
    }
    auto option = [&](SQLRETURN rc, const char* text) {
        if (!DbOk(rc)) fail(text);
    };
    option(SQLSetStmtOption(stmt, SQL_CONCURRENCY, SQL_CONCUR_VALUES), t.cursor);
    option(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_KEYSET_DRIVEN), t.cursor);
    option(SQLSetStmtOption(stmt, SQL_ROWSET_SIZE, static_cast<SQLULEN>(rowset)), t.rowsetSize);
    // Nothing here updates through the cursor name, so a driver without
    // named cursors (SQLSTATE IM001) serves as well.
    SQLRETURN named = SQLSetCursorName(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>("C1")), SQL_NTS);
    if (!DbOk(named) && DbState(env, dbc, stmt) != "IM001") fail(t.cursor);
    SQLHSTMT update = SQL_NULL_HSTMT;
    if (!DbOk(SQLAllocStmt(dbc, &update))) fail(t.alloc);
    std::string sql = std::string("SELECT *, ") + kRowIdentity + " FROM " + table;
    if (key != KeyUse::None) sql += std::string(" ORDER BY 1, ") + kRowIdentity;
    std::vector<RowKey> written;
    if (!DbOk(DbExec(stmt, sql.c_str()))) {
        fail(t.select);
    } else {
        if (!columns.Bind(stmt, t.caption)) ok = false;
        std::string updateSql = columns.UpdateStatement(table, key);
        bool prepared = update != SQL_NULL_HSTMT && !updateSql.empty() &&
                        (key != KeyUse::Rewritten || !columns.KeyName().empty()) &&
                        DbOk(SQLPrepare(update, reinterpret_cast<SQLCHAR*>(updateSql.data()), SQL_NTS));
        std::vector<SQLUSMALLINT> status(static_cast<size_t>(rowset));
        for (int n = 0; n < rowsets; ++n) {
            SQLULEN fetched = 0;
            bool fetchedOk = DbOk(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 0, &fetched, status.data()));
            int rows = !fetchedOk ? 0 : fetched < static_cast<SQLULEN>(rowset) ? static_cast<int>(fetched) : rowset;
            if (!fetchedOk) fail(t.fetch);
            columns.TakeKeys(rows);
            fill(n * rowset, rows);
            if (!prepared || !UpdateRows(update, columns, rows, key) || rows == 0) fail(t.update);
            if (key == KeyUse::Rewritten)
                for (int r = 0; r < rows; ++r)
                    written.push_back({columns.Identity(r), columns.StoredKey(r), columns.NewKey(r)});
            // A short table: the rows that are there are written; the rest of
            // the model found no rows to go to, and that is said.
            if (fetchedOk && rows < rowset) fail(t.fetch);
        }
    }
    if (update != SQL_NULL_HSTMT) SQLFreeStmt(update, SQL_DROP);
    SQLFreeStmt(stmt, SQL_CLOSE);
    if (!DbOk(SQLFreeStmt(stmt, SQL_DROP))) fail(t.free);
    if (key == KeyUse::Rewritten && !written.empty() && !RewriteKeys(dbc, table, columns.KeyName(), written))
        fail(t.update);
    if (!DbOk(SQLTransact(env, dbc, SQL_COMMIT))) fail(t.commit);
    return ok;
}

bool SaveChannelParameters(SQLHENV env, SQLHDBC dbc) {
    constexpr int kRowset = 16;
    Columns c(kRowset);
    int32_t* channel = c.Int(1, "Could Not Bind Channel Number Column.  Check Q90.MDB");
    char* name = c.Text(2, 32, "Could Not Bind Channel Name Column.  Check Q90.MDB");
    char* units = c.Text(3, 8, "Could Not Bind Units Column.  Check Q90.MDB");
    char* description = c.Text(4, 30, "Could Not Bind Channel Description Column.  Check Q90.MDB");
    char* location = c.Text(5, 30, "Could Not Bind Channel location Column.  Check Q90.MDB");
    int32_t* gain = c.Int(6, "Could Not Bind Channel Gain Column.  Check Q90.MDB");
    int32_t* filter = c.Int(7, "Could Not Bind Filter Column.  Check Q90.MDB");
    double* sensitivity = c.Real(8, "Could Not Bind Sensitivity Column.  Check Q90.MDB");
    double* offset = c.Real(9, "Could Not Bind Offset Column.  Check Q90.MDB");
    double* variableGain = c.Real(10, "Could Not Bind Variable Gain Column.  Check Q90.MDB");
    int32_t* source = c.Int(11, "Could Not Bind Excitation Source Column.  Check Q90.MDB");
    int32_t* voltage = c.Int(12, "Could Not Bind Excitation Voltage Column.  Check Q90.MDB");
    int32_t* current = c.Int(13, "Could Not Bind Excitation Current Column.  Check Q90.MDB");
    int32_t* autobalance = c.Int(14, "Could Not Bind Autobalance Enable Column.  Check Q90.MDB");
    int32_t* autozero = c.Int(15, "Could Not Bind Autozero Enable Column.  Check Q90.MDB");
    int32_t* vgEnable = c.Int(16, "Could Not Bind Variable Gain Enable Column.  Check Q90.MDB");
    int32_t* excEnable = c.Int(17, "Could Not Bind Excitation Enable Column.  Check Q90.MDB");
    int32_t* calProcedure = c.Int(18, "Could Not Bind Cal Procedure Column.  Check Q90.MDB");
    int32_t* calType = c.Int(19, "Could Not Bind Cal Type Column.  Check Q90.MDB");
    int32_t* cardType = c.Int(20, "Could Not Bind card type Column.  Check Q90.MDB");
    int32_t* externalAutozero = c.Int(21, "Could Not Bind External Autozero Column.  Check Q90.MDB");
    const ChannelParams& cp = *lpsChannelParams;
    return WriteTable(env, dbc, "CHANNELPARAMETERS", kRowset, kChannels / kRowset, kChannelTexts, c,
                      [&](int first, int rows) {
                          for (int r = 0; r < rows; ++r) {
                              int ch = first + r;
                              channel[r] = ch;
                              PutText(name, 32, r, cp.NAME[ch]);
                              PutText(units, 8, r, cp.UNITS[ch]);
                              PutText(description, 30, r, cp.DESCRIPTION[ch]);
                              PutText(location, 30, r, cp.LOCATION[ch]);
                              gain[r] = RealToInt32(cp.GAIN[ch]);
                              filter[r] = RealToInt32(cp.FILTER[ch]);
                              sensitivity[r] = cp.SENSITIVITY[ch];
                              offset[r] = cp.OFFSET[ch];
                              variableGain[r] = cp.VARIABLEGAIN[ch];
                              source[r] = static_cast<int32_t>(cp.EXCITATIONSOURCE[ch]);
                              voltage[r] = RealToInt32(cp.EXCITATIONVOLTAGE[ch]);
                              current[r] = RealToInt32(cp.EXCITATIONCURRENT[ch]);
                              autobalance[r] = static_cast<int32_t>(cp.AUTOBALANCEENABLE[ch]);
                              autozero[r] = static_cast<int32_t>(cp.AUTOZEROENABLE[ch]);
                              vgEnable[r] = static_cast<int32_t>(cp.VARIABLEGAINENABLE[ch]);
                              excEnable[r] = static_cast<int32_t>(cp.EXCITATIONENABLE[ch]);
                              calProcedure[r] = cp.Cal.CALPROCEDURE[ch];
                              calType[r] = cp.Cal.CALTYPE[ch];
                              cardType[r] = static_cast<int32_t>(cp.CARDTYPE[ch]);
                              externalAutozero[r] = static_cast<int32_t>(cp.EXTERNALAUTOZERO[ch]);
                          }
                      },
                      KeyUse::Rewritten);
}

bool SaveSystem(SQLHENV env, SQLHDBC dbc) {
    Columns c(1);
    double* rate = c.Real(1, "Could Not Bind Sample Rate Column.  Check Q90.MDB");
    int32_t* entries = c.Int(2, "Could Not Bind ScanList Entries Column.  Check Q90.MDB");
    return WriteTable(
        env, dbc, "SYSTEM", 1, 1, kSystemTexts, c,
        [&](int, int) {
            rate[0] = dSampleRate;
            entries[0] = static_cast<int32_t>(lpProgScanList->EntryCount);
        },
        KeyUse::None);
}

}  // namespace

int32_t SaveCalibration(DbEnv env, DbConn dbc) {
    Columns c(kCalibrationRows);
    int32_t* channel = c.Int(1);
    int32_t* active = c.Int(2);
    int32_t* state[kCalStates];
    double *eu[kCalStates], *mean[kCalStates], *deviation[kCalStates];
    for (int n = 0; n < kCalStates; ++n) {
        state[n] = c.Int(3 + 4 * n);
        eu[n] = c.Real(4 + 4 * n);
        mean[n] = c.Real(5 + 4 * n);
        deviation[n] = c.Real(6 + 4 * n);
    }
    const CalRecord& cal = lpsChannelParams->Cal;
    return WriteTable(Env(env), Dbc(dbc), "CALIBRATION", kCalibrationRows, 1, kCalibrationTexts, c,
                      [&](int, int rows) {
                          for (int r = 0; r < rows; ++r) {
                              channel[r] = r;
                              active[r] = cal.ACTIVESTATES[r];
                              for (int n = 0; n < kCalStates; ++n) {
                                  state[n][r] = cal.STATE[n][r];
                                  eu[n][r] = cal.EU[r][n];
                                  mean[n][r] = cal.MEAN[r][n];
                                  deviation[n][r] = cal.DEVIATION[r][n];
                              }
                          }
                      },
                      KeyUse::Rewritten)
               ? 1
               : 0;
}

int32_t SaveCalTypes(DbEnv env, DbConn dbc) {
    Columns c(kCalTypeRows);
    char* name = c.Text(2, 50);
    int32_t* states = c.Int(3);
    int32_t *state[kCalStates], *string[kCalStates];
    for (int n = 0; n < kCalStates; ++n) state[n] = c.Int(4 + n);
    for (int n = 0; n < kCalStates; ++n) string[n] = c.Int(12 + n);
    const CalType& t = *lpsCalTypes;
    return WriteTable(Env(env), Dbc(dbc), "CALIBRATIONTYPES", kCalTypeRows, 1, kCalTypeTexts, c,
                      [&](int, int rows) {
                          for (int r = 0; r < rows; ++r) {
                              PutText(name, 50, r, t.NAME[r]);
                              states[r] = static_cast<int32_t>(t.STATES[r]);
                              for (int n = 0; n < kCalStates; ++n) {
                                  state[n][r] = static_cast<int32_t>(t.STATE[n][r]);
                                  string[n][r] = static_cast<int32_t>(t.STRING[n][r]);
                              }
                          }
                      },
                      KeyUse::Kept)
               ? 1
               : 0;
}

int32_t SaveDigitalOuts(DbEnv env, DbConn dbc) {
    Columns c(kDigitalOutRows);
    int32_t* col[14];
    for (int k = 0; k < 14; ++k) col[k] = c.Int(2 + k);
    return WriteTable(Env(env), Dbc(dbc), "DIGITALOUTS", kDigitalOutRows, 1, kDigitalTexts, c,
                      [&](int, int rows) {
                          for (int r = 0; r < rows; ++r) {
                              const DigitalOut& d = sDigitalOut[r];
                              const int32_t values[14] = {
                                  d.HARDWARECHANNEL, d.STATICSTATE, d.STATE1,  d.STATE1TIME, d.STATE2,
                                  d.STATE2TIME,      d.STATE3,      d.STATE3TIME, d.USEINIT, d.USE1,
                                  d.USE2,            d.USE3,        d.GLITCHCATCHER, d.OUTSTOINS};
                              for (int k = 0; k < 14; ++k) col[k][r] = values[k];
                          }
                      },
                      KeyUse::Kept)
               ? 1
               : 0;
}

int32_t SaveDacTable(DbEnv env, DbConn dbc) {
    Columns c(kDacRows);
    int32_t* col[37];
    for (int k = 0; k < 37; ++k) col[k] = c.Int(2 + k);
    return WriteTable(Env(env), Dbc(dbc), "DACTABLE", kDacRows, 1, kDacTexts, c,
                      [&](int, int rows) {
                          for (int r = 0; r < rows; ++r) {
                              int s = r < kDacChannels ? 0 : 1;
                              const DacChannel& d = sDacChannel[r % kDacChannels];
                              col[0][r] = d.HARDCHAN;
                              col[1][r] = d.SUBCHAN[s];
                              col[2][r] = d.STATICOUT[s];
                              col[3][r] = d.OUTTYPE[s];
                              col[4][r] = d.REGIONS[s];
                              col[5][r] = d.STARTTYPE[s];
                              for (int w = 0; w < kDacWaves; ++w) {
                                  col[6 + w][r] = d.WAVE[w][s];
                                  col[16 + w][r] = d.FREQ[w][s];
                                  col[26 + w][r] = d.LOOP[w][s];
                              }
                              col[36][r] = d.MASTERLOOP;
                          }
                      },
                      KeyUse::Kept)
               ? 1
               : 0;
}

int32_t SaveScanTable(DbEnv env, DbConn dbc) {
    constexpr int kRowset = 512;
    Columns c(kRowset);
    int32_t* position = c.Int(1, "Could Not Bind Position Column.  Check Q90.MDB Position Column");
    int32_t* channel = c.Int(2, "Could Not Bind Primary Channel Column.  Check Q90.MDB Primary Channel Column");
    int32_t* block = c.Int(3, "Could Not Bind Block Column.  Check Q90.MDB Block Column");
    const ProgScanList& scan = *lpProgScanList;
    return WriteTable(Env(env), Dbc(dbc), "PROGRAMMABLESCANTABLE", kRowset, kScanPositions / kRowset,
                      kScanTexts, c,
                      [&](int first, int rows) {
                          for (int r = 0; r < rows; ++r) {
                              position[r] = first + r;
                              channel[r] = static_cast<int32_t>(scan.Entry[first + r].CHANNEL);
                              block[r] = static_cast<int32_t>(scan.Entry[first + r].BLOCK);
                          }
                      },
                      KeyUse::Rewritten)
               ? 1
               : 0;
}

int32_t SaveTestDatabase() {
    if (lpsChannelParams == nullptr || lpProgScanList == nullptr || lpsCalTypes == nullptr) return 0;
    PlatformBeginWaitCursor();
    DbEnv env = nullptr;
    DbConn dbc = nullptr;
    std::string error;
    if (!DbOpen(kTestDataSource, &env, &dbc, &error)) {
        PlatformEndWaitCursor();
        return 0;
    }
    // One transaction per table, committed by each writer: without this every
    // positioned update would be a transaction of its own.
    SQLSetConnectOption(Dbc(dbc), SQL_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF);
    bool ok = SaveChannelParameters(Env(env), Dbc(dbc));
    ok = SaveCalibration(env, dbc) && ok;
    ok = SaveCalTypes(env, dbc) && ok;
    ok = SaveDigitalOuts(env, dbc) && ok;
    ok = SaveDacTable(env, dbc) && ok;
    ok = SaveScanTable(env, dbc) && ok;
    ok = SaveSystem(Env(env), Dbc(dbc)) && ok;
    DbClose(env, dbc);
    PlatformEndWaitCursor();
    return ok ? 1 : 0;
}
