// Shared set-up of the test database tests: a real ODBC data source "Q90"
// bound to a real scratch file, a template database with the full row
// complement, and the fake port for everything else.
//
// Natively the fixture writes its own odbc.ini for this process.  Under Wine
// the driver manager is the host's unixODBC, which sees only the host
// environment: scripts/odbc_env.sh must have bound "Q90" and exported
// ZD418_SCRATCH before the run, else the tests are skipped with a notice.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/fake/fake_platform.h"
#include "base/app_state.h"
#include "testmodel/db_database.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"

namespace dbtest {

// Paths in the program's form: Windows paths under Wine, Unix paths natively
// (the fake port maps backslashes to slashes there).
struct Place {
    std::string scratch;   // the file "Q90" designates
    std::string work;      // the work directory of the tests
    std::string template_;  // template database
    std::string skip;      // why the database tests cannot run here ("" = they can)
};

inline std::string ReadFile(const std::string& path) {
    std::string p = path;
#ifndef _WIN32
    for (char& c : p)
        if (c == '\\') c = '/';
#endif
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
inline bool WriteFile(const std::string& path, const std::string& bytes) {
    std::string p = path;
#ifndef _WIN32
    for (char& c : p)
        if (c == '\\') c = '/';
#endif
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}
inline bool Exists(const std::string& path) {
    std::string p = path;
#ifndef _WIN32
    for (char& c : p)
        if (c == '\\') c = '/';
#endif
    FILE* f = fopen(p.c_str(), "rb");
    if (f) fclose(f);
    return f != nullptr;
}

inline const Place& ThePlace() {
    static Place place = [] {
        Place p;
#ifdef _WIN32
        const char* scratch = getenv("ZD418_SCRATCH");
        if (scratch == nullptr || *scratch == '\0') {
            p.skip = "data source Q90 not bound: source scripts/odbc_env.sh before running under Wine";
            return p;
        }
        std::string s = scratch;
        if (!s.empty() && s[0] == '/') s = "Z:" + s;
        // Lower case: an opened test path is lower-cased, and Wine finds the
        // file whatever the case.
        for (char& c : s) c = c == '/' ? '\\' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
        p.scratch = s;
        p.work = s.substr(0, s.find_last_of('\\')) + "\\work";
#else
        // Lower case only: an opened test path is lower-cased, as on Windows.
        std::string d = "/tmp/zd418_db_" + std::to_string(getpid());
        if (!PlatformCreateDirectory(d.c_str())) {
            p.skip = "no temporary directory";
            return p;
        }
        WriteFile(d + "/odbcinst.ini",
                  "[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\nDontDLClose=1\n");
        WriteFile(d + "/odbc.ini", "[Q90]\nDriver=SQLite3\nDatabase=" + d +
                                       "/q90.mda\nTimeout=5000\nSyncPragma=NORMAL\n");
        setenv("ODBCSYSINI", d.c_str(), 1);
        setenv("ODBCINI", (d + "/odbc.ini").c_str(), 1);
        p.scratch = d + "/q90.mda";
        p.work = d + "/work";
#endif
        PlatformCreateDirectory(p.work.c_str());
        p.template_ = p.work + "\\template.mdb";
        return p;
    }();
    return place;
}

// The settings files every database test starts from: the work directory and
// scratch database of this run, and a card file whose 15 types all offer the
// same lists and capabilities.
inline void InstallSettings() {
    const Place& p = ThePlace();
    FakeSetProfileFile("Q90.ini", "[Application]\nWorkDirectory=" + p.work + "\n[System]\nTestScratch=" +
                                      p.scratch + "\nHardwareFile=" + p.work + "\\hardware.mdb\n");
    std::string cards = "[GENERAL INFO]\nNUMBEROFTYPES=15\n";
    for (int n = 1; n <= 15; ++n) {
        cards += "[TYPE " + std::to_string(n) + " INFO]\nCardType=" + (n == 8 ? "M17-B" : "T" + std::to_string(n)) +
                 "\nAUTOBALANCE=Y\nAUTOZERO=Y\nVARIABLEGAIN=Y\n";
        const int gains[] = {1, 2, 3, 5, 10, 20, 30, 50, 100, 200, 300, 500, 1000};
        for (int k = 0; k < 13; ++k) cards += "Gain" + std::to_string(k + 1) + "=" + std::to_string(gains[k]) + "\n";
        const int filters[] = {10, 625, 1250, 2500, 5000};
        for (int k = 0; k < 5; ++k) cards += "Filter" + std::to_string(k + 1) + "=" + std::to_string(filters[k]) + "\n";
        for (int k = 0; k < 10; ++k) {
            cards += "Voltage" + std::to_string(k + 1) + "=" + std::to_string(k + 1) + "\n";
            cards += "Current" + std::to_string(k + 1) + "=" + std::to_string(5 * (k + 1)) + "\n";
        }
    }
    FakeSetProfileFile("Q90CARD.ini", cards);
}

class DatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const Place& p = ThePlace();
        if (!p.skip.empty()) GTEST_SKIP() << p.skip;
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        bSimulator = bAppendMode = bServeData = bClientMode = bRemoteControlled = false;
        bTestOpen = bTestSaved = false;
        dwRemoteStatus = 0;
        gLifecycleUi = {nullptr, nullptr, nullptr};
        InstallSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        for (auto& d : sDacChannel) d = DacChannel{};
        for (auto& d : sDigitalOut) d = DigitalOut{};
        static bool templateMade = false;
        if (!templateMade) {
            // A scratch database left by an earlier run already holds the
            // tables; the template is made in an empty one.
            PlatformDeleteFile(p.scratch.c_str());
            std::string error;
            DbEnv env;
            DbConn dbc;
            ASSERT_TRUE(DbOpen(kTestDataSource, &env, &dbc, &error)) << error;
            bool made = CreateTemplateTables(env, dbc, &error);
            DbClose(env, dbc);
            ASSERT_TRUE(made) << error;
            ASSERT_TRUE(PlatformCopyFile(p.scratch.c_str(), p.template_.c_str()));
            templateMade = true;
        }
        // Every test starts from a fresh template in the scratch database.
        ASSERT_TRUE(PlatformCopyFile(p.template_.c_str(), p.scratch.c_str()));
        FakeClearMessages();
    }
    void TearDown() override { FreeTestModel(); }

  public:
    // Helpers for the tests and their own helper functions.
    static const Place& Where() { return ThePlace(); }
    static ChannelParams& Ch() { return *lpsChannelParams; }

    // Runs statements on the scratch database; fails the test when one fails.
    static void Sql(std::initializer_list<const char*> statements) {
        std::string error;
        DbEnv env;
        DbConn dbc;
        ASSERT_TRUE(DbOpen(kTestDataSource, &env, &dbc, &error)) << error;
        for (const char* s : statements) ASSERT_TRUE(DbExecute(env, dbc, s, &error)) << s << ": " << error;
        DbClose(env, dbc);
    }
    static void Sql(const std::string& statement) { Sql({statement.c_str()}); }

    // Texts of the messages shown so far, "caption: text" each.
    static std::vector<std::string> Shown() {
        std::vector<std::string> all;
        for (const FakeMessage& m : FakeMessages()) all.push_back(m.caption + ": " + m.text);
        return all;
    }
    static bool WasShown(const std::string& text) {
        for (const FakeMessage& m : FakeMessages())
            if (m.text == text) return true;
        return false;
    }
};

}  // namespace dbtest
