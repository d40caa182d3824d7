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

int32_t OpenTestForReading(const char* testPath, std::string* error) {
    if (strlen(testPath) >= sizeof szTestFile) {
        *error = std::string("test path too long: ") + testPath;
        return 0;
    }
    if (!std::filesystem::is_regular_file(testPath)) {
        *error = std::string("no test database ") + testPath;
        return 0;
    }
    char folder[] = "/tmp/zd418-data-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        *error = "cannot create a temporary folder";
        return 0;
    }
    g_folder = folder;
    atexit(CloseTestSource);
    const char* driver = getenv("ZD418_SQLITE_ODBC");
    const std::string copy = g_folder + "/test.mdb";
    std::error_code ec;
    std::filesystem::copy_file(testPath, copy, ec);
    if (ec || !WriteFile(g_folder + "/odbcinst.ini",
                         std::string("[SQLite3]\nDriver=") +
                             (driver && *driver ? driver : "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so") +
                             "\nDontDLClose=1\n") ||
        !WriteFile(g_folder + "/odbc.ini", "[Q90]\nDriver=SQLite3\nDatabase=" + copy + "\nTimeout=5000\n")) {
        *error = "cannot copy the test database to " + g_folder;
        return 0;
    }
    setenv("ODBCSYSINI", g_folder.c_str(), 1);
    setenv("ODBCINI", (g_folder + "/odbc.ini").c_str(), 1);
    if (!AllocateTestModel()) {
        *error = "the test model could not be allocated";
        return 0;
    }
    LoadSystemIni();
    if (!LoadTestDatabase()) {
        *error = std::string("cannot read the test database ") + testPath +
                 " (is it a test, and is the SQLite ODBC driver installed?)";
        return 0;
    }
    snprintf(szTestFile, sizeof szTestFile, "%s", testPath);
    return 1;
}
