// Opening a full test (copy over the scratch database, then load) and saving
// it (save, then copy back) through the real ODBC data source.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fake/fake_platform.h"
#include "testmodel/db_database.h"
#include "testmodel/system_settings.h"
#include "testmodel/lifecycle.h"
#include "testmodel/model.h"

namespace {

struct Setup {
    std::string dir, scratch, test;
    bool ok = false;
    Setup() {
        dir = "/tmp/zd418_db_bench_" + std::to_string(getpid());
        PlatformCreateDirectory(dir.c_str());
        FILE* f = fopen((dir + "/odbcinst.ini").c_str(), "w");
        fprintf(f, "[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
        fclose(f);
        scratch = dir + "/q90.mda";
        test = dir + "/test1.mdb";
        f = fopen((dir + "/odbc.ini").c_str(), "w");
        fprintf(f, "[Q90]\nDriver=SQLite3\nDatabase=%s\nTimeout=5000\nSyncPragma=NORMAL\n", scratch.c_str());
        fclose(f);
        setenv("ODBCSYSINI", dir.c_str(), 1);
        setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
        // One card type for every channel, so loading asks nothing.
        std::string cards = "[GENERAL INFO]\nNUMBEROFTYPES=8\n";
        for (int n = 1; n <= 8; ++n)
            cards += "[TYPE " + std::to_string(n) + " INFO]\nCardType=M17-B\nGain1=1\nFilter1=1\n";
        FakeSetProfileFile("Q90CARD.ini", cards);
        if (!AllocateTestModel()) return;
        CopyTextScratch();
        std::string error;
        DbEnv env;
        DbConn dbc;
        if (!DbOpen(kTestDataSource, &env, &dbc, &error)) return;
        ok = CreateTemplateTables(env, dbc, &error);
        DbClose(env, dbc);
        ok = ok && PlatformCopyFile(scratch.c_str(), test.c_str());
    }
    void CopyTextScratch() { snprintf(szTestScratch, sizeof szTestScratch, "%s", scratch.c_str()); }
};

Setup& S() {
    static Setup s;
    return s;
}

void BM_OpenTest(benchmark::State& state) {
    if (!S().ok) {
        state.SkipWithError("no test database");
        return;
    }
    for (auto _ : state) {
        bool ok = SafeCopyFile(S().test.c_str(), S().scratch.c_str()) && LoadTestDatabase() == 1;
        if (!ok) state.SkipWithError("open failed");
    }
}
BENCHMARK(BM_OpenTest)->Unit(benchmark::kMillisecond);

void BM_SaveTest(benchmark::State& state) {
    if (!S().ok) {
        state.SkipWithError("no test database");
        return;
    }
    for (auto _ : state) {
        bool ok = SaveTestDatabase() == 1 && SafeCopyFile(S().scratch.c_str(), S().test.c_str());
        if (!ok) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveTest)->Unit(benchmark::kMillisecond);

}  // namespace
