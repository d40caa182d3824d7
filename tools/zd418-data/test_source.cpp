// Native: the data tool's private copy of a test database.
#include "tools/zd418-data/test_source.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

std::string g_folder;

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    return static_cast<bool>(f);
}

}  // namespace

void CloseTestSource() {
    if (g_folder.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
    g_folder.clear();
}

namespace {

// The folder of the ODBC set-up and the copy, made once per run.
bool MakePrivateFolder(std::string* error) {
    if (!g_folder.empty()) return true;
    char folder[] = "/tmp/zd418-data-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        *error = "cannot create a temporary folder";
        return false;
    }
    g_folder = folder;
    atexit(CloseTestSource);
    return true;
}

}  // namespace

int32_t BindTestDataSource(const std::string& database, std::string* error) {
    if (!MakePrivateFolder(error)) return 0;
    const char* driver = getenv("ZD418_SQLITE_ODBC");
    if (!WriteFile(g_folder + "/odbcinst.ini",
                   std::string("[SQLite3]\nDriver=") +
                       (driver && *driver ? driver : "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so") +
                       "\nDontDLClose=1\n") ||
        !WriteFile(g_folder + "/odbc.ini", "[Q90]\nDriver=SQLite3\nDatabase=" + database + "\nTimeout=5000\n")) {
        *error = "cannot write the ODBC set-up in " + g_folder;
        return 0;
    }
    setenv("ODBCSYSINI", g_folder.c_str(), 1);
    setenv("ODBCINI", (g_folder + "/odbc.ini").c_str(), 1);
    return 1;
}

int32_t OpenTestForReading(const char* testPath, std::string* error) {
    if (strlen(testPath) >= sizeof szTestFile) {
        *error = std::string("test path too long: ") + testPath;
        return 0;
    }
    if (!std::filesystem::is_regular_file(testPath)) {
        *error = std::string("no test database ") + testPath;
        return 0;
    }
    // The loader reads the copy; the test itself is never opened for writing.
    if (!MakePrivateFolder(error)) return 0;
    const std::string copy = g_folder + "/test.mdb";
    std::error_code ec;
    std::filesystem::copy_file(testPath, copy, ec);
    if (ec || !BindTestDataSource(copy, error)) {
        *error = "cannot copy the test database to " + g_folder;
        return 0;
    }
    if (!AllocateTestModel()) {
        *error = "the test model could not be allocated";
        return 0;
    }
    LoadSystemIni();
    // Loading a test rewrites the map of the current test file; with none
    // named the data tool writes nothing (the settings' last test is not this
    // one, and this test's own map is what the check reads).
    szTestFile[0] = '\0';
    if (!LoadTestDatabase()) {
        *error = std::string("cannot read the test database ") + testPath +
                 " (is it a test, and is the SQLite ODBC driver installed?)";
        return 0;
    }
    snprintf(szTestFile, sizeof szTestFile, "%s", testPath);
    return 1;
}
