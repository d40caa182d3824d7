// Connections to the test data source and the driver's error texts.
#include <cstring>

#include "platform/platform.h"
#include "testmodel/db_odbc.h"

std::string DbErrorText(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
    SQLCHAR state[6] = "";
    SQLINTEGER native = 0;
    SQLCHAR text[SQL_MAX_MESSAGE_LENGTH] = "";
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLError(env, dbc, stmt, state, &native, text, sizeof text, &length);
    if (!DbOk(rc)) return "";
    return reinterpret_cast<const char*>(text);
}

SQLRETURN DbExec(SQLHSTMT stmt, const char* sql) {
    return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
}

void DbMessage(const char* text, const char* caption) {
    PlatformMessageBox(text, caption, MB_OK_ | MB_ICONEXCLAMATION_);
}

bool DbOpen(const char* connect, DbEnv* envOut, DbConn* dbcOut, std::string* error) {
    *envOut = nullptr;
    *dbcOut = nullptr;
    SQLHENV env = SQL_NULL_HENV;
    if (!DbOk(SQLAllocEnv(&env))) {
        if (error) *error = "Could Not Allocate An ODBC Environment";
        return false;
    }
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!DbOk(SQLAllocConnect(env, &dbc))) {
        if (error) *error = DbErrorText(env, SQL_NULL_HDBC, SQL_NULL_HSTMT);
        SQLFreeEnv(env);
        return false;
    }
    SQLRETURN rc;
    if (strchr(connect, '=') != nullptr) {
        SQLCHAR out[1024];
        SQLSMALLINT outLength = 0;
        rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connect)),
                              SQL_NTS, out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT);
    } else {
        rc = SQLConnect(dbc, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connect)), SQL_NTS,
                        reinterpret_cast<SQLCHAR*>(const_cast<char*>(kTestDataSourceUser)), SQL_NTS,
                        reinterpret_cast<SQLCHAR*>(const_cast<char*>("")), SQL_NTS);
    }
    if (!DbOk(rc)) {
        if (error) *error = DbErrorText(env, dbc, SQL_NULL_HSTMT);
        SQLFreeConnect(dbc);
        SQLFreeEnv(env);
        return false;
    }
    *envOut = env;
    *dbcOut = dbc;
    return true;
}

void DbClose(DbEnv env, DbConn dbc) {
    if (dbc != nullptr) {
        SQLDisconnect(Dbc(dbc));
        SQLFreeConnect(Dbc(dbc));
    }
    if (env != nullptr) SQLFreeEnv(Env(env));
}

bool DbExecute(DbEnv env, DbConn dbc, const char* sql, std::string* error) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!DbOk(SQLAllocStmt(Dbc(dbc), &stmt))) {
        if (error) *error = DbErrorText(Env(env), Dbc(dbc), SQL_NULL_HSTMT);
        return false;
    }
    SQLRETURN rc = DbExec(stmt, sql);
    bool ok = DbOk(rc) || rc == SQL_NO_DATA;
    if (!ok && error) *error = DbErrorText(Env(env), Dbc(dbc), stmt);
    SQLFreeStmt(stmt, SQL_DROP);
    return ok;
}

std::string DbState(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
    SQLCHAR state[6] = "";
    SQLINTEGER native = 0;
    SQLCHAR text[SQL_MAX_MESSAGE_LENGTH] = "";
    SQLSMALLINT length = 0;
    if (!DbOk(SQLError(env, dbc, stmt, state, &native, text, sizeof text, &length))) return "";
    return reinterpret_cast<const char*>(state);
}
