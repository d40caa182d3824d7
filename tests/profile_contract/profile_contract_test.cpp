// The private-profile contract the core relies on.  The same cases run against
// every port: the fake and posix ports must read and write exactly as the
// Win32 service does (run under Wine).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

#if defined(PROFILE_PORT_FAKE)
#include "platform/fake/fake_platform.h"
#elif defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string ScratchPath(const char* name) {
#if defined(PROFILE_PORT_FAKE)
    return std::string("C:\\scratch\\") + name;
#elif defined(_WIN32)
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "zd418_contract_" + name;
#else
    static std::string dir;
    if (dir.empty()) {
        char tmpl[] = "/tmp/zd418_contractXXXXXX";
        dir = mkdtemp(tmpl);
    }
    return dir + "/" + name;
#endif
}

void PutFile(const std::string& path, const std::string& text) {
#if defined(PROFILE_PORT_FAKE)
    FakeSetProfileFile(path, text);
#else
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
#endif
}

void RemoveFile(const std::string& path) {
#if defined(PROFILE_PORT_FAKE)
    FakeSetProfileFile(path, "");
#else
    remove(path.c_str());
#endif
}

std::string Get(const char* section, const char* key, const char* def, const std::string& file,
                uint32_t size = 256, uint32_t* count = nullptr) {
    char buf[512];
    uint32_t n = PlatformGetProfileString(section, key, def, buf, size, file.c_str());
    if (count) *count = n;
    return std::string(buf, n);
}

const char* kSample =
    "[System]\r\n"
    "SubSystems=3\r\n"
    "  Spaced Key  =   spaced value   \r\n"
    "Quoted=\"a quoted value\"\r\n"
    "Single='single'\r\n"
    "Mismatch=\"open only\r\n"
    "Empty=\r\n"
    "Twice=first\r\n"
    "Twice=second\r\n"
    "Long=abcdefghijklmnopqrstuvwxyz\r\n"
    "\r\n"
    "[Hardware Settings]\r\n"
    "Gain1=7\r\n";

struct ReadCase {
    const char* section;
    const char* key;
    const char* def;
    const char* expected;
};

TEST(ProfileContract, ReadsLikeTheWin32Service) {
    std::string file = ScratchPath("read.ini");
    PutFile(file, kSample);
    const ReadCase cases[] = {
        {"System", "SubSystems", "x", "3"},
        {"SYSTEM", "subsystems", "x", "3"},            // letter case of names ignored
        {"system", "SPACED KEY", "x", "spaced value"},  // blanks around names and values
        {"System", "Quoted", "x", "a quoted value"},   // one pair of quotes removed
        {"System", "Single", "x", "single"},
        {"System", "Mismatch", "x", "\"open only"},    // unmatched quote kept
        {"System", "Empty", "x", ""},                  // present but empty: not the default
        {"System", "Twice", "x", "first"},             // the first of two wins
        {"System", "Missing", "dflt", "dflt"},
        {"System", "Missing", nullptr, ""},
        {"Nowhere", "SubSystems", "dflt", "dflt"},
        {"HARDWARE SETTINGS", "GAIN1", "0", "7"},
        {"System", "Gain1", "none", "none"},           // keys belong to their own section
    };
    for (const ReadCase& c : cases)
        EXPECT_EQ(Get(c.section, c.key, c.def, file), c.expected)
            << "[" << c.section << "] " << c.key;
    RemoveFile(file);
}

TEST(ProfileContract, TruncatesToTheBufferAndCountsWhatItStored) {
    std::string file = ScratchPath("trunc.ini");
    PutFile(file, kSample);
    uint32_t n = 0;
    EXPECT_EQ(Get("System", "Long", "", file, 5, &n), "abcd");
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(Get("System", "Missing", "defaultvalue", file, 4, &n), "def");
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(Get("System", "Long", "", file, 27, &n), "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(n, 26u);
    RemoveFile(file);
}

TEST(ProfileContract, MissingFileGivesDefaults) {
    std::string file = ScratchPath("never_written.ini");
    RemoveFile(file);
    EXPECT_EQ(Get("System", "SubSystems", "0", file), "0");
    EXPECT_EQ(Get("System", "SubSystems", "with trailing   ", file), "with trailing");
}

TEST(ProfileContract, WritesAddReplaceAndRemove) {
    std::string file = ScratchPath("write.ini");
    RemoveFile(file);
    ASSERT_TRUE(PlatformWriteProfileString("System", "SubSystems", "2", file.c_str()));
    ASSERT_TRUE(PlatformWriteProfileString("SYSTEM", "MATLAB", "c:\\matlab\\matlab.exe",
                                           file.c_str()));
    ASSERT_TRUE(PlatformWriteProfileString("Test", "Testfile", "c:\\zd418\\t.mdb", file.c_str()));
    ASSERT_TRUE(PlatformWriteProfileString("system", "subsystems", "5", file.c_str()));
    EXPECT_EQ(Get("System", "SubSystems", "x", file), "5");
    EXPECT_EQ(Get("System", "Matlab", "x", file), "c:\\matlab\\matlab.exe");
    EXPECT_EQ(Get("TEST", "TESTFILE", "x", file), "c:\\zd418\\t.mdb");

    ASSERT_TRUE(PlatformWriteProfileString("System", "MATLAB", nullptr, file.c_str()));
    EXPECT_EQ(Get("System", "MATLAB", "gone", file), "gone");
    EXPECT_EQ(Get("System", "SubSystems", "x", file), "5");

    ASSERT_TRUE(PlatformWriteProfileString("Test", nullptr, nullptr, file.c_str()));
    EXPECT_EQ(Get("Test", "Testfile", "gone", file), "gone");
    EXPECT_EQ(Get("System", "SubSystems", "x", file), "5");
    RemoveFile(file);
}

TEST(ProfileContract, BareNamesLiveInTheProfileDirectory) {
    const char* bare = "zd418_contract_bare.ini";
    ASSERT_TRUE(PlatformWriteProfileString("Application", "NamedArea1", "Program 1", bare));
    EXPECT_EQ(Get("application", "namedarea1", "x", bare), "Program 1");
    char dir[512];
    ASSERT_GT(PlatformWindowsDirectory(dir, sizeof dir), 0u);
    ASSERT_TRUE(PlatformWriteProfileString("Application", nullptr, nullptr, bare));
}

}  // namespace
