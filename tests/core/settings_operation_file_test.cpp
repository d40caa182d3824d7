#include <cstring>
#include <string>
#include <vector>

#include "settings_fixture.h"

namespace {

using OperationFile = ModelTest;

TEST_F(OperationFile, FlagWordAndClampedValues) {
    struct Case {
        const char* text;
        int32_t flags;
        int32_t monitor, first, second, testType;
    } cases[] = {
        {"[Operations]\nFirstDisplayChannel=9\n", 0x2, 0, 0, 0, 0},  // both switches default to "NO"
        {"[Operations]\nRecordToDisk=no\n", 0x2, 0, 0, 0, 0},
        {"[Operations]\nRecordToDisk=Nope\n", 0x3, 0, 0, 0, 0},
        {"[Operations]\nRecordToDisk=YES\nMonitorData=No\nNumberToMonitor=2\n", 0x3, 0, 0, 0, 0},
        {"[Operations]\nRecordToDisk=NO\nMonitorData=yes\nNumberToMonitor=2\n"
         "FirstDisplayChannel=7\nSecondDisplayChannel=255\n[Test Information]\nTestType=3\n",
         0xA, 2, 7, 255, 3},
        {"[Operations]\nRecordToDisk=NO\nMonitorData=1\nNumberToMonitor=5\n"
         "FirstDisplayChannel=256\nSecondDisplayChannel=-7\n[Test Information]\nTestType=9\n",
         0xA, 2, -1, -1, 3},
        {"[Operations]\nRecordToDisk=NO\nMonitorData=Y\nNumberToMonitor=-1\n"
         "FirstDisplayChannel=-1\n[Test Information]\nTestType=-2\n",
         0xA, 0, -1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FakeSetProfileFile("mtstest.ini", c.text);
        OperationRecord op;
        memset(&op, 0x5A, sizeof op);
        EXPECT_EQ(LoadOperationFile(&op, nullptr, 0), c.flags);
        EXPECT_EQ(op.NumberToMonitor, c.monitor);
        EXPECT_EQ(op.FirstDisplayChannel, c.first);
        EXPECT_EQ(op.SecondDisplayChannel, c.second);
        EXPECT_EQ(op.TestType, c.testType);
    }
}

TEST_F(OperationFile, TheFirstDisplayChannelReachesTheTestLoad) {
    // A remote-controlled load shows the operation file's first display
    // channel first; it names one only while monitoring is on.
    struct Case {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"[Operations]\nMonitorData=YES\nFirstDisplayChannel=7\n", 7},
        {"[Operations]\nMonitorData=YES\nFirstDisplayChannel=0\n", 0},
        {"[Operations]\nMonitorData=YES\nFirstDisplayChannel=300\n", -1},
        {"[Operations]\nMonitorData=NO\nFirstDisplayChannel=7\n", -1},
        {"", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FakeSetProfileFile("mtstest.ini", c.text);
        nOperationFirstDisplayChannel = 99;
        OperationRecord op{};
        LoadOperationFile(&op, nullptr, 0);
        EXPECT_EQ(nOperationFirstDisplayChannel, c.expected);
        // Asking only for the flags reads the same file, so it tells the same.
        nOperationFirstDisplayChannel = 99;
        LoadOperationFile(nullptr, nullptr, 0);
        EXPECT_EQ(nOperationFirstDisplayChannel, c.expected);
    }
}

TEST_F(OperationFile, MissingFileGivesTheDefaultsAndTheTestFileIsCut) {
    OperationRecord op;
    memset(&op, 0x5A, sizeof op);
    char testFile[256];
    // A missing file: RecordToDisk and MonitorData default to "NO".
    EXPECT_EQ(LoadOperationFile(&op, testFile, sizeof testFile), 0x2);
    EXPECT_STREQ(testFile, "c:\\32bit\\example\\example.mdb");
    for (const OperationDac& d : op.Dac) {
        EXPECT_EQ(d.WaveSections, 1);
        EXPECT_EQ(d.DACFILTER, 200);
        EXPECT_EQ(d.WaveSectionLength[2], 0);
        EXPECT_EQ(d.PerformCount[0], 1);
        EXPECT_STREQ(d.WaveFile, "c:\\winnt35\\wavefile.wav");
    }
    FakeSetProfileFile("mtstest.ini", "[Operations]\nTestFile=" + std::string(400, 't') +
                                          "\n[DAC6]\nWaveFile=" + std::string(400, 'w') +
                                          "\nWS3PerformCount=12\nWaveSection2Length=800\n");
    char small[10];
    LoadOperationFile(&op, small, sizeof small);
    EXPECT_STREQ(small, "ttttttttt");
    EXPECT_EQ(strlen(op.Dac[5].WaveFile), 255u);
    EXPECT_EQ(op.Dac[5].PerformCount[2], 12);
    EXPECT_EQ(op.Dac[5].WaveSectionLength[1], 800);
}

struct FilterCall {
    int32_t record, subChannel, filter;
};
std::vector<FilterCall> gCalls;
int32_t RecordFilter(int32_t record, int32_t subChannel, int32_t filter) {
    gCalls.push_back({record, subChannel, filter});
    return 1;
}

TEST_F(OperationFile, DacFiltersAreSetForOutputsWithAFirstWaveSection) {
    FakeSetProfileFile("mtstest.ini",
                       "[DAC1]\nWaveSection1Length=10\nDACFILTER=50\n"
                       "[DAC2]\nWaveSection1Length=0\nWaveSection2Length=9\nDACFILTER=60\n"
                       "[DAC4]\nWaveSection1Length=1\n"
                       "[DAC5]\nWaveSection1Length=-4\nDACFILTER=80\n"
                       "[DAC6]\nWaveSection1Length=3\nDACFILTER=90\n");
    OperationRecord op{};
    LoadOperationFile(&op, nullptr, 0);
    // The filters are read again: a changed file counts, the lengths do not.
    FakeSetProfileFile("mtstest.ini",
                       "[DAC1]\nDACFILTER=55\n[DAC2]\nWaveSection1Length=9\nDACFILTER=65\n"
                       "[DAC6]\nDACFILTER=95\n");
    gCalls.clear();
    EXPECT_EQ(ApplyDacFilters(&op, RecordFilter), 1);
    ASSERT_EQ(gCalls.size(), 3u);
    EXPECT_EQ(gCalls[0].record, 0);
    EXPECT_EQ(gCalls[0].subChannel, 0);
    EXPECT_EQ(gCalls[0].filter, 55);
    EXPECT_EQ(gCalls[1].record, 1);  // DAC4: record 1, sub-channel 1
    EXPECT_EQ(gCalls[1].subChannel, 1);
    EXPECT_EQ(gCalls[1].filter, 200);
    EXPECT_EQ(gCalls[2].record, 2);  // DAC6
    EXPECT_EQ(gCalls[2].subChannel, 1);
    EXPECT_EQ(gCalls[2].filter, 95);
    const int32_t filters[6] = {55, 65, 200, 200, 200, 95};
    for (int n = 0; n < 6; ++n) EXPECT_EQ(op.Dac[n].DACFILTER, filters[n]) << "DAC" << n + 1;
    // The DAC outputs' own setter is reachable.
    EXPECT_EQ(ApplyDacFilters(&op), 1);
}

}  // namespace
