// Every data file of a test (.raw, .map, .log, .txt, exports) is named from the
// test path by one rule: cut at the first "." of the file name, add the extension.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/data_file_name.h"

namespace {

TEST(DataFileName, CutsAtTheFirstDotOfTheFileName) {
    struct Case {
        const char* test;
        const char* extension;
        const char* expected;
    } cases[] = {
        {"c:\\zd418\\test1\\test1.mdb", ".raw", "c:\\zd418\\test1\\test1.raw"},
        {"c:\\zd418\\test1\\test1.mdb", ".map", "c:\\zd418\\test1\\test1.map"},
        // Dots in directory names belong to the directories.
        {"c:\\data.v2\\t1\\t1.mdb", ".raw", "c:\\data.v2\\t1\\t1.raw"},
        {"c:\\a.v1\\t.mdb", ".raw", "c:\\a.v1\\t.raw"},
        {"c:/data.v2/t1/t1.mdb", ".log", "c:/data.v2/t1/t1.log"},
        // The first dot of the file name, not the last.
        {"c:\\tests\\run.old.mdb", ".txt", "c:\\tests\\run.txt"},
        {"c:\\tests\\noext", ".raw", "c:\\tests\\noext.raw"},
        {"test1.mdb", ".raw", "test1.raw"},
        {"c:test1.mdb", ".raw", "c:test1.raw"},  // drive-relative
        {"c:\\tests\\t.mdb", "", "c:\\tests\\t"},
        {"c:\\tests\\t.mdb", ".3", "c:\\tests\\t.3"},  // a calibration log per channel
    };
    for (const Case& c : cases) {
        char out[260];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(DataFileName(c.test, c.extension, out, sizeof out), 1) << c.test;
        EXPECT_STREQ(out, c.expected) << c.test << " " << c.extension;
    }
}

TEST(DataFileName, RefusesWhatNamesNoFileOrDoesNotFit) {
    struct Case {
        const char* test;
        const char* extension;
        uint32_t size;
    } cases[] = {
        {"", ".raw", 260},                        // no test
        {"c:\\tests\\", ".raw", 260},             // a directory
        {"c:\\tests\\t.mdb", ".raw", 14},          // "c:\tests\t.raw" needs 15 bytes
        {"c:\\tests\\t.mdb", ".raw", 0},
        {nullptr, ".raw", 260},
    };
    for (const Case& c : cases) {
        char out[260] = "stale";
        EXPECT_EQ(DataFileName(c.test, c.extension, out, c.size), 0) << (c.test ? c.test : "null");
        if (c.size > 0) {
            EXPECT_STREQ(out, "") << "a refused name must not leave a usable one behind";
        }
    }
    char exact[15];
    EXPECT_EQ(DataFileName("c:\\tests\\t.mdb", ".raw", exact, sizeof exact), 1);
    EXPECT_STREQ(exact, "c:\\tests\\t.raw");
    // A path longer than any buffer of the program still works when it fits.
    std::string longPath = "c:\\" + std::string(240, 'd') + ".v\\t.mdb";
    char out[260];
    EXPECT_EQ(DataFileName(longPath.c_str(), ".raw", out, sizeof out), 1);
    EXPECT_EQ(std::string(out), "c:\\" + std::string(240, 'd') + ".v\\t.raw");
}

}  // namespace
