// The test database: load and save of the whole test model through the ODBC
// data source "Q90", which designates the scratch database.  Opening a test
// copies its file over the scratch database first and saving copies it back
// (lifecycle.h), so everything here works on the scratch database only.
#pragma once

#include <cstdint>
#include <string>

// Data source, user and password of every connection.
constexpr const char* kTestDataSource = "Q90";
constexpr const char* kTestDataSourceUser = "Admin";

// Rows a test database must carry for the save, which never inserts rows.
constexpr int kChannelRows = 256;
constexpr int kCalibrationRows = 128;
constexpr int kCalTypeRows = 16;
constexpr int kDigitalOutRows = 16;
constexpr int kDacRows = 32;
constexpr int kScanRows = 4096;

// Bit of the remote-control status word set while a channel column could not
// be bound; cleared at the end of the load.
constexpr uint32_t kRemoteStatusDatabaseError = 0x10000000u;

// Status code reported while remote-controlled for failures the code table has
// no own text for: "Test Database Corrupt".
constexpr int32_t kStatusTestDatabaseCorrupt = 23;

// Derived on every load: byte offset within a scan of the first word of
// STARTANDTRIGGERCHANNEL (16 + 2p), or -1 when that channel is not scanned.
extern int32_t nStartTriggerOffset;

// The DAC outputs started with sampling (sub-channel 0 STARTTYPE 0) and those
// started otherwise, as hardware channel numbers; rebuilt after every load.
struct DacStartList {
    int32_t HardChan[16];
    int32_t Count;
};
extern DacStartList sDacStartList[2];
void RebuildDacStartLists();

// Reads the whole test definition from the scratch database.  Returns 1 on
// success, 0 when the connection fails, when the database holds no readable
// SYSTEM row (not a test database), or in normal mode when the SYSTEM columns
// cannot be bound.  Problems with single tables are reported and loading goes
// on; values out of range are replaced, never rejected.
int32_t LoadTestDatabase();

// Writes the test model into the scratch database over the rows that are
// there, row r of each table in key order taking model row r, whatever the
// keys hold.  Every failing call is reported and the save goes
// on; returns 1 only when no step failed.
int32_t SaveTestDatabase();

// ---- per-table readers and writers over an open connection ---------------------------------
// The handles are the ODBC environment and connection (SQLHENV, SQLHDBC).
using DbEnv = void*;
using DbConn = void*;
int32_t LoadDigitalOuts(DbEnv env, DbConn dbc);
int32_t LoadDacTable(DbEnv env, DbConn dbc);
int32_t LoadCalibration(DbEnv env, DbConn dbc);
int32_t LoadCalTypes(DbEnv env, DbConn dbc);
int32_t LoadScanTable(DbEnv env, DbConn dbc);
int32_t SaveCalibration(DbEnv env, DbConn dbc);
int32_t SaveCalTypes(DbEnv env, DbConn dbc);
int32_t SaveDigitalOuts(DbEnv env, DbConn dbc);
int32_t SaveDacTable(DbEnv env, DbConn dbc);
int32_t SaveScanTable(DbEnv env, DbConn dbc);

// ---- template database ---------------------------------------------------------------------
// Creates every table of the schema (FIVEBTABLE included) on the open
// connection and fills it with the full row complement, holding the current
// test model (callers load the defaults first).  Existing tables are dropped.
// Returns true on success; on failure *error holds the driver's message.
bool CreateTemplateTables(DbEnv env, DbConn dbc, std::string* error);

// Connects to the data source named by `connect`: a plain data source name
// ("Q90") or an ODBC connection string ("DSN=Q90;Database=/x/y.mdb").  On
// success *env and *dbc hold the handles; on failure *error the driver's text.
bool DbOpen(const char* connect, DbEnv* env, DbConn* dbc, std::string* error);
void DbClose(DbEnv env, DbConn dbc);
// Runs one statement that returns no rows (autocommit as the connection has
// it).  False with the driver's text in *error when it fails.
bool DbExecute(DbEnv env, DbConn dbc, const char* sql, std::string* error);
