// Zd418 started with a test database path on its command line, as a
// supervisor starts it: the test is copied over the scratch database the data
// source "Q90" designates, loaded, and named in the frame title; Save Test
// writes it back.  Needs the data source bound (scripts/odbc_env.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/win32/e2e_support.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

#include "testmodel/db_database.h"
#include "testmodel/model.h"

namespace {

std::string g_exe;
std::string g_cardFile;  // the first-run Q90CARD.ini

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class CommandLineTest : public ::testing::Test {
  protected:
    PROCESS_INFORMATION pi = {};
    std::string scratch, dir;

    void SetUp() override {
        const char* bound = getenv("ZD418_SCRATCH");
        if (bound == nullptr || *bound == '\0')
            GTEST_SKIP() << "data source Q90 not bound: source scripts/odbc_env.sh first";
        scratch = WindowsPath(bound);
        for (char& c : scratch) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        dir = scratch.substr(0, scratch.find_last_of('\\')) + "\\e2e";
        CreateDirectoryA(dir.c_str(), nullptr);
        // The program finds its scratch database where the data source points.
        DeleteFileA(SystemIni().c_str());
        WritePrivateProfileStringA("System", "TestScratch", scratch.c_str(), SystemIni().c_str());
        WritePrivateProfileStringA("Application", "WorkDirectory", dir.c_str(), SystemIni().c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, SystemIni().c_str());
        // The card types of the first run, so loading asks nothing about them.
        std::string windows = SystemIni().substr(0, SystemIni().find_last_of('\\'));
        CopyFileA(WindowsPath(g_cardFile).c_str(), (windows + "\\Q90CARD.ini").c_str(), FALSE);
    }

    void TearDown() override {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }

    // A template test database with one channel renamed, at `path`; the
    // scratch database is left holding the plain template.
    void MakeTest(const std::string& path, const char* channelName) {
        ASSERT_EQ(AllocateTestModel(), 1);
        DeleteFileA(scratch.c_str());  // whatever an earlier run left there; the driver makes a new one
        DbEnv env;
        DbConn dbc;
        std::string error;
        ASSERT_TRUE(DbOpen(kTestDataSource, &env, &dbc, &error)) << error;
        ASSERT_TRUE(CreateTemplateTables(env, dbc, &error)) << error;
        std::string plain = Bytes(scratch);
        std::string rename = std::string("UPDATE CHANNELPARAMETERS SET NAME = '") + channelName + "' WHERE CHANNEL = 0";
        ASSERT_TRUE(DbExecute(env, dbc, rename.c_str(), &error)) << error;
        DbClose(env, dbc);
        FreeTestModel();
        ASSERT_TRUE(CopyFileA(scratch.c_str(), path.c_str(), FALSE));
        std::ofstream(scratch, std::ios::binary | std::ios::trunc) << plain;
    }

    // Starts Zd418 (by default the built one) with `argument` as its command line.
    HWND Start(const std::string& argument, const std::string& exe = WindowsPath(g_exe)) {
        std::string cmd = "\"" + exe + "\" " + argument;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return nullptr;
        HWND frame = nullptr;
        WaitFor([&] { return (frame = FindWindowOf(pi.dwProcessId, "GenericWClass")) != nullptr; }, 60000);
        DWORD_PTR r;
        if (frame) SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_BLOCK, 20000, &r);
        return frame;
    }
};

TEST_F(CommandLineTest, OpensTheNamedTestWithItsTitleAndSavesItBack) {
    std::string path = dir + "\\cmdline.mdb";
    ASSERT_NO_FATAL_FAILURE(MakeTest(path, "from the command line"));
    ASSERT_FALSE(Bytes(path) == Bytes(scratch));  // bytes: compared, not printed

    HWND frame = Start(path);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(WaitFor([&] { return Text(frame) == "Vornel Morva " + path; }, 20000)) << Text(frame);
    // Loaded without complaint from the copy the data source designates.
    EXPECT_EQ(FindWindowOf(pi.dwProcessId, "#32770", "Bad Test Database"), nullptr);
    EXPECT_TRUE(Bytes(scratch) == Bytes(path));

    // Save Test writes the model into the scratch database and copies it back.
    std::string before = Bytes(path);
    DWORD_PTR r;
    SendMessageTimeoutA(frame, WM_COMMAND, 104, 0, SMTO_BLOCK, 30000, &r);
    EXPECT_EQ(FindWindowOf(pi.dwProcessId, "#32770", "Problem With Test Database Save"), nullptr);
    EXPECT_TRUE(Bytes(path) == Bytes(scratch));
    EXPECT_EQ(Bytes(path).substr(0, 16), std::string("SQLite format 3\0", 16));
}

TEST_F(CommandLineTest, AFileThatIsNoDatabaseSaysSoAndKeepsRunning) {
    std::string path = dir + "\\broken.mdb";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(3000, 'z');
    HWND frame = Start(path);
    ASSERT_NE(frame, nullptr);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindWindowOf(pi.dwProcessId, "#32770", "Bad Test Database")) != nullptr; },
                        20000));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    EXPECT_TRUE(WaitFor([&] { return Text(frame) == "Vornel Morva " + path; }, 20000)) << Text(frame);
    EXPECT_EQ(Bytes(path), std::string(3000, 'z'));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// Start-up with a test on its command line reads the settings again for the
// test; a station without the front-end library must still run simulated.
TEST_F(CommandLineTest, WithoutTheFrontEndLibraryANamedTestRunsInSimulatorMode) {
    std::string path = dir + "\\nolib.mdb";
    ASSERT_NO_FATAL_FAILURE(MakeTest(path, "no library"));
    WritePrivateProfileStringA("SYSTEM", "SIMULATOR", "NO", SystemIni().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, SystemIni().c_str());
    // The program alone in a directory of its own: no Q90ui.dll beside it.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string alone = std::string(temp) + "zd418_db_nolib";
    CreateDirectoryA(alone.c_str(), nullptr);
    DeleteFileA((alone + "\\Q90ui.dll").c_str());
    std::string exe = alone + "\\Zd418.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(g_exe).c_str(), exe.c_str(), FALSE));

    HWND frame = Start(path, exe);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(WaitFor([&] { return Text(frame) == "Vornel Morva " + path; }, 20000)) << Text(frame);
    HWND panel = FindWindowOf(pi.dwProcessId, "CONTROLCLASS");
    ASSERT_NE(panel, nullptr);
    const std::string simulated = "Morva Record & Playback Control. SIMULATOR MODE";
    EXPECT_TRUE(WaitFor([&] { return Text(panel) == simulated; }, 10000)) << Text(panel);
    // Exit writes the flag the program ran with, which also sets the check
    // mark of item 213 (another process cannot read that mark under Wine).
    PostMessageA(frame, WM_COMMAND, 126, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindWindowOf(pi.dwProcessId, "#32770", "Exit Morva?")) != nullptr; },
                        20000));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    char simulator[16] = "";
    GetPrivateProfileStringA("SYSTEM", "SIMULATOR", "", simulator, sizeof simulator, SystemIni().c_str());
    EXPECT_STREQ(simulator, "YES");
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: db_lifecycle_e2e_test path\\to\\Zd418.exe path\\to\\Q90CARD.ini\n");
        return 2;
    }
    g_exe = argv[1];
    g_cardFile = argv[2];
    return RUN_ALL_TESTS();
}
