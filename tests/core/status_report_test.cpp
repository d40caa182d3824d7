#include <gtest/gtest.h>

#include <string>

#include "platform/fake/fake_platform.h"
#include "base/status_report.h"

namespace {

class StatusReport : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReset();
        hErrorPipe = FakePipeCreate();
    }
    void TearDown() override { hErrorPipe = 0; }
};

TEST_F(StatusReport, WritesTheLineOfEachFormWithoutTerminator) {
    struct Case {
        int32_t channel, code;
        const char* line;
    } cases[] = {
        {-1, 13, "FATAL::Scan Table Is Corrupt In Test Database"},
        {5, 24, "WARNING::Autobalance Failure::Channel 5"},
        {3, 70, "Unknown Error::Channel 3"},
        {-1, 70, "Unknown Error::"},
        {-1, 0, "FATAL::DDS Failed To Initialize"},
        {-1, 58, "FATAL::DAC MASTER FAILED SETUP"},
        {-1, 59, "Unknown Error::"},   // one past the table
        {-1, -1, "Unknown Error::"},   // negative codes reach no other string
        {255, 40, "FATAL::DAC FAILED TO SET RANGE ::Channel 255"},
    };
    for (const Case& c : cases) {
        PlatformPipe pipe = FakePipeCreate();
        hErrorPipe = pipe;
        EXPECT_EQ(ReportStatus(c.channel, c.code), 1);
        EXPECT_EQ(FakePipeBytes(pipe), c.line) << c.channel << "," << c.code;
    }
}

TEST_F(StatusReport, ClosedPipeIsSilent) {
    hErrorPipe = FakePipeCreateBroken();
    EXPECT_EQ(ReportStatus(-1, 26), 1);
    hErrorPipe = 0;
    EXPECT_EQ(ReportStatus(2, 14), 1);
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(StatusReport, SplittingAtSeparatorsGivesSeverityMessageAndChannel) {
    // Every status text starts with a severity word a supervisor can split off.
    for (int32_t code = 0; code <= 58; ++code) {
        char line[160];
        FormatStatusLine(7, code, line, sizeof line);
        std::string s = line;
        size_t first = s.find("::");
        ASSERT_NE(first, std::string::npos) << code;
        std::string severity = s.substr(0, first);
        EXPECT_TRUE(severity == "FATAL" || severity == "WARNING" || severity == "SUCCESS")
            << code << ": " << s;
        EXPECT_EQ(s.substr(s.size() - 11), "::Channel 7") << code;
    }
}

TEST_F(StatusReport, ProblemBoxBeepsAndAppendsTheName) {
    ShowProblem(2105, "c:\\zd418\\screens\\a.dsw");
    ASSERT_EQ(FakeMessages().size(), 1u);
    const FakeMessage& m = FakeMessages()[0];
    EXPECT_EQ(m.text, "Creation error in file c:\\zd418\\screens\\a.dsw");
    EXPECT_EQ(m.caption, "There Is A Problem With The Last Action");
    EXPECT_EQ(m.style, MB_OK_ | MB_ICONEXCLAMATION_);
    EXPECT_TRUE(m.ownerless);
    EXPECT_EQ(FakeBeepCount(), 1);
}

TEST_F(StatusReport, ProblemBoxWithoutStringOrWithHugeNameStaysInItsBuffer) {
    ShowProblem(1002, nullptr);  // no such string: an empty text
    EXPECT_EQ(FakeMessages().back().text, "");
    std::string huge(2000, 'x');
    ShowProblem(2103, huge.c_str());
    const std::string& text = FakeMessages().back().text;
    EXPECT_EQ(text.size(), 511u);
    EXPECT_EQ(text.rfind("Error loading screen file x", 0), 0u);
}

}  // namespace
