// Native: reads a test database for the data tool on an analysis machine,
// through the program's own loader.  The test file is copied into a private
// folder and bound there to the data source the loader reads ("Q90"), so the
// original is never opened for writing and no system ODBC set-up is needed.
#pragma once

#include <cstdint>
#include <string>

// Loads `testPath` into the test model (allocated here).  The settings files
// Q90.ini and Q90CARD.ini are read from $ZD418_PROFILE_DIR (default: the
// current folder), as the program reads them from its Windows folder.  The
// SQLite ODBC driver is $ZD418_SQLITE_ODBC or Debian's libsqlite3odbc.so.
// 1 on success; 0 with the reason in *error.
int32_t OpenTestForReading(const char* testPath, std::string* error);

// Binds the data source the loader and saver use ("Q90") to the SQLite file
// `database`, through an ODBC set-up in the private folder (made on first
// use).  1 on success; 0 with the reason in *error.
int32_t BindTestDataSource(const std::string& database, std::string* error);

// Removes the private copy (also done at exit).
void CloseTestSource();
