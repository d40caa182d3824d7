// ODBC plumbing shared by the database reader, writer and template builder.
// Only the plain ANSI entry points are used: some driver managers (Wine's)
// implement no ...A variants.
#pragma once

#ifdef _WIN32
// The Windows ODBC headers are written against the Windows base types.
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>

#include "testmodel/db_database.h"

inline SQLHENV Env(DbEnv env) { return static_cast<SQLHENV>(env); }
inline SQLHDBC Dbc(DbConn dbc) { return static_cast<SQLHDBC>(dbc); }

inline bool DbOk(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The driver's message of the last failed call on the statement (or, with no
// statement, on the connection or environment); "" when it gives none.
std::string DbErrorText(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt);

// The SQLSTATE of the last failed call on the statement, "" when none.
std::string DbState(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt);

// SQLExecDirect of a NUL-terminated statement.
SQLRETURN DbExec(SQLHSTMT stmt, const char* sql);

// Message box with the exclamation icon.
void DbMessage(const char* text, const char* caption);

// Whether a fetched row may be stored.
inline bool DbRowGood(SQLUSMALLINT status) {
    return status != SQL_ROW_DELETED && status != SQL_ROW_ERROR && status != SQL_ROW_NOROW;
}
