// Screen files and the shared field readers: bounded reading of every field,
// the number formatter at its switch-over and beyond, records split however
// their lines end, and records of each display kind read back as written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "displays/bar_rules.h"
#include "displays/display_fields.h"
#include "displays/graph_rules.h"
#include "displays/screen_file.h"
#include "displays/tab_rules.h"
#include "display_fixture.h"

namespace {

struct Collected {
    std::vector<ScreenRecord> records;
};
void Collect(const ScreenRecord& r, void* context) {
    static_cast<Collected*>(context)->records.push_back(r);
}
std::vector<ScreenRecord> Parse(const std::string& text) {
    Collected c;
    ParseScreenText(reinterpret_cast<const uint8_t*>(text.data()), text.size(), Collect, &c);
    return c.records;
}

TEST(DisplayFields, IntegerFieldsAreBoundedAndSaturate) {
    struct Case {
        const char* text;
        int32_t first;
        int32_t second;
    } cases[] = {
        {"12,34", 12, 34},
        {",7", 0, 7},                 // empty gives 0
        {"5*6", 5, 6},                // "*" ends an integer
        {"abc;9", 0, 9},              // not a number
        {"99999999999,1", INT32_MAX, 1},
        {"-99999999999,1", INT32_MIN, 1},
        // A digit run beyond the field width is cut, not read past.
        {"1234567890123456789012345,3", INT32_MAX, 3},
        {"42\r\n17", 42, 0},          // a line end stops the record
    };
    for (const Case& c : cases) {
        size_t pos = 0;
        EXPECT_EQ(ReadIntField(c.text, &pos), c.first) << c.text;
        EXPECT_EQ(ReadIntField(c.text, &pos), c.second) << c.text;
    }
}

TEST(DisplayFields, StringFieldsAreCutToTheirBuffer) {
    std::string longTitle(500, 'T');
    std::string text = longTitle + ",next|third";
    size_t pos = 0;
    char title[kDisplayTitleSize];
    char guard[8] = "GUARD";
    ReadStringField(text.c_str(), &pos, title, sizeof title);
    EXPECT_EQ(std::string(title), std::string(63, 'T'));
    EXPECT_STREQ(guard, "GUARD");
    char next[16];
    ReadStringField(text.c_str(), &pos, next, sizeof next);
    EXPECT_STREQ(next, "next");  // "|" ends a text field
    ReadStringField(text.c_str(), &pos, next, sizeof next);
    EXPECT_STREQ(next, "third");

    char safe[16];
    CopyFieldText("a,b;c|d\re", safe, sizeof safe);
    EXPECT_STREQ(safe, "a b c d e");

    double d;
    size_t p2 = 0;
    d = ReadDoubleField("nan,inf,-1.5e3", &p2);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(ReadDoubleField("nan,inf,-1.5e3", &p2), 0.0);
    EXPECT_EQ(ReadDoubleField("nan,inf,-1.5e3", &p2), -1500.0);
}

TEST(DisplayFields, NumberFormatterSwitchesAtOneHundredThousandWithoutOverflow) {
    struct Case {
        double value;
        int32_t precision;
        const char* expected;
    } cases[] = {
        {100000.0, 2, "100000.00"},
        {-100000.0, 2, "-100000.00"},
        {100000.5, 2, "1.00e+05"},
        {1.5, 4, "1.5000"},
        // Beyond what an int32 holds after scaling by 100.
        {2.5e7, 3, "2.500e+07"},
        {-3.0e9, 1, "-3.0e+09"},
        {1e300, 2, "1.00e+300"},
        {0.0, 0, "0"},
        {1.25, 99, "1.250000000000000"},  // precision held to 15
    };
    for (const Case& c : cases) {
        char out[64];
        FormatDisplayNumber(c.value, c.precision, out, sizeof out);
        EXPECT_STREQ(out, c.expected) << c.value;
    }
    char small[8];
    FormatDisplayNumber(-1.0e300, 6, small, sizeof small);
    EXPECT_EQ(strlen(small), 7u);
    char inf[32];
    FormatDisplayNumber(INFINITY, 2, inf, sizeof inf);
    EXPECT_STREQ(inf, "inf");
}

TEST(ScreenFile, RecordsAreSplitAtAnyLineEndAndUnknownTypesSkipped) {
    std::string text =
        "OSCOPE,1,2,300,200,Scope A,1,5,Arial,-20,400,0,0,0,1,255\r\n"
        "GARBAGE,1,2,3,4,x\r\n"
        "DIAL,5,6,7,8,Dial one,rest\n"           // known keyword, unregistered class
        "TABULAR,10,20,30,40,Tab;1,20,0\r"       // bare CR; ";" ends the title
        "BAR,0,0,0,0,Bar,1,1,4,1";               // no final line end
    auto r = Parse(text);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_STREQ(r[0].Type->ClassName, "OscopeChild");
    EXPECT_EQ(r[0].X, 1);
    EXPECT_EQ(r[0].Height, 200);
    EXPECT_STREQ(r[0].Title, "Scope A");
    EXPECT_STREQ(r[0].Creation, "1,5,Arial,-20,400,0,0,0,1,255");
    EXPECT_STREQ(r[1].Type->ClassName, "DialChild");
    EXPECT_FALSE(r[1].Type->Created);
    EXPECT_STREQ(r[2].Title, "Tab");
    EXPECT_STREQ(r[2].Creation, "1,20,0");
    EXPECT_STREQ(r[3].Type->ClassName, "BarChild");
    EXPECT_STREQ(r[3].Creation, "1,1,4,1");
}

TEST(ScreenFile, AnOverlongRecordIsCutAndItsRestNeverReadAsARecord) {
    // The tail of the long line, just past the cut, spells a valid record;
    // it must not become one.
    std::string prefix = "TABULAR,1,1,1,1,T,";
    std::string text = prefix + std::string(kScreenRecordMax - prefix.size(), '9') +
                       "BAR,1,1,1,1,hidden\r\nBAR,2,2,2,2,Shown\r\n";
    auto r = Parse(text);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_STREQ(r[0].Type->Keyword, "TABULAR");
    EXPECT_LT(strlen(r[0].Creation), kScreenRecordMax);
    EXPECT_STREQ(r[1].Title, "Shown");  // the line after the cut one is read normally
    // A NUL inside a record ends its text; the next record is still found.
    std::string withNul("BAR,1,1,1,1,Tit\0le,junk\r\nOSCOPE,3,3,3,3,Next\r\n", 45);
    auto n = Parse(withNul);
    ASSERT_EQ(n.size(), 2u);
    EXPECT_STREQ(n[0].Title, "Tit");
    EXPECT_STREQ(n[1].Title, "Next");
}

TEST(ScreenFile, LoadReportsMissingAndEmptyFilesAndAppendNeedsTheFile) {
    const std::string dir = DisplayTempDir();
    const std::string missing = dir + "/zd418_no_such_screen.dsw";
    remove(missing.c_str());
    Collected c;
    EXPECT_EQ(LoadScreenFile(missing.c_str(), Collect, &c), ScreenLoad::OpenFailed);
    EXPECT_EQ(AppendScreenRecord(missing.c_str(), "BAR,1,1,1,1,x"), ScreenAppend::OpenFailed);

    const std::string path = dir + "/zd418_screen_test.dsw";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_EQ(LoadScreenFile(path.c_str(), Collect, &c), ScreenLoad::ReadError);
    EXPECT_EQ(AppendScreenRecord(path.c_str(), "BAR,1,2,3,4,One,1,0,4,1,Arial,-20,400,0,0,0,1"),
              ScreenAppend::Written);
    EXPECT_EQ(AppendScreenRecord(path.c_str(), "MAP,1,2,3,4,Map"), ScreenAppend::Written);
    EXPECT_EQ(AppendScreenRecord(path.c_str(), "OSCOPE,5,6,7,8,Two"), ScreenAppend::Written);
    EXPECT_EQ(LoadScreenFile(path.c_str(), Collect, &c), ScreenLoad::Loaded);
    ASSERT_EQ(c.records.size(), 3u);
    EXPECT_STREQ(c.records[0].Title, "One");
    EXPECT_STREQ(c.records[2].Title, "Two");
    f = fopen(path.c_str(), "rb");
    char bytes[64] = {};
    fread(bytes, 1, sizeof bytes - 1, f);
    fclose(f);
    EXPECT_NE(std::string(bytes).find("1,Arial,-20,400,0,0,0,1\r\nMAP"), std::string::npos);
    remove(path.c_str());
}

class ScreenRoundTrip : public DisplayTest {};

// Every display writes its record through the prefix and its own formatter;
// the file read back gives the same fields, even for the largest records.
TEST_F(ScreenRoundTrip, EachDisplayKindReadsBackWhatItWrote) {
    const std::string path = DisplayTempDir() + "/zd418_screen_roundtrip.dsw";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);

    GraphState g;
    GraphDefaults(&g);
    g.Priority = 3;
    g.Channel = 17;
    g.TextColour = 0x00123456;
    g.ScaleFontToWindow = 0;
    snprintf(g.Font.Face, sizeof g.Font.Face, "Courier, New");  // a comma must not split the face
    g.Font.Height = -31;
    g.Font.Weight = 700;
    g.Font.Italic = 1;

    TabState t;
    TabDefaults(&t);
    t.Count = kTabMaxParameters;
    for (int32_t i = 0; i < t.Count; ++i) t.Parameters[i] = 255 - i;
    t.Radix = kRadixBinary;
    t.FitWidth = 0;
    t.HideEu = 1;
    t.TextColour = 0x0000FF00;

    BarState b;
    BarDefaults(&b);
    b.Count = kBarMax;  // about 4 KB of record
    for (int32_t i = 0; i < b.Count; ++i) {
        b.Channels[i] = (i * 7) % 256;
        b.Minimum[i] = -1234.5f - i;
        b.Maximum[i] = 98765.4f + i;
        b.Colour[i] = 0x00010203u * static_cast<uint32_t>(i);
    }
    b.AutoTextSize = 0;

    char rest[kScreenRecordMax], record[kScreenRecordMax + 128];
    GraphFormatRecord(g, rest, sizeof rest);
    FormatScreenPrefix("OSCOPE", 10, 20, 300, 200, "Scope, one", record, sizeof record);
    ASSERT_EQ(AppendScreenRecord(path.c_str(), (std::string(record) + rest).c_str()), ScreenAppend::Written);
    TabFormatRecord(t, rest, sizeof rest);
    FormatScreenPrefix("TABULAR", 30, 40, 500, 400, "Table", record, sizeof record);
    ASSERT_EQ(AppendScreenRecord(path.c_str(), (std::string(record) + rest).c_str()), ScreenAppend::Written);
    BarFormatRecord(b, rest, sizeof rest);
    EXPECT_GT(strlen(rest), 1024u);
    FormatScreenPrefix("BAR", 50, 60, 700, 600, "Bars", record, sizeof record);
    ASSERT_EQ(AppendScreenRecord(path.c_str(), (std::string(record) + rest).c_str()), ScreenAppend::Written);

    Collected c;
    ASSERT_EQ(LoadScreenFile(path.c_str(), Collect, &c), ScreenLoad::Loaded);
    ASSERT_EQ(c.records.size(), 3u);
    EXPECT_STREQ(c.records[0].Title, "Scope  one");
    EXPECT_EQ(c.records[0].X, 10);
    EXPECT_EQ(c.records[2].Height, 600);

    GraphState g2;
    GraphDefaults(&g2);
    GraphReadCreation(&g2, c.records[0].Creation);
    EXPECT_EQ(g2.Priority, 3);
    EXPECT_EQ(g2.Channel, 17);
    EXPECT_EQ(g2.TextColour, 0x00123456u);
    EXPECT_EQ(g2.ScaleFontToWindow, 0);
    EXPECT_STREQ(g2.Font.Face, "Courier  New");
    EXPECT_EQ(g2.Font.Height, -31);
    EXPECT_EQ(g2.Font.Weight, 700);
    EXPECT_EQ(g2.Font.Italic, 1);

    TabState t2;
    TabDefaults(&t2);
    TabReadCreation(&t2, c.records[1].Creation);
    EXPECT_EQ(t2.Count, t.Count);
    for (int32_t i = 0; i < t.Count; ++i) ASSERT_EQ(t2.Parameters[i], t.Parameters[i]) << i;
    EXPECT_EQ(t2.Radix, kRadixBinary);
    EXPECT_EQ(t2.FitWidth, 0);
    EXPECT_EQ(t2.FitHeight, 1);
    EXPECT_EQ(t2.HideRaw, 0);
    EXPECT_EQ(t2.HideEu, 1);
    EXPECT_EQ(t2.TextColour, 0x0000FF00u);

    BarState b2;
    BarDefaults(&b2);
    BarReadCreation(&b2, c.records[2].Creation);
    ASSERT_EQ(b2.Count, kBarMax);
    for (int32_t i = 0; i < b.Count; ++i) {
        ASSERT_EQ(b2.Channels[i], b.Channels[i]) << i;
        // "%.3e" keeps four significant digits.
        ASSERT_NEAR(b2.Minimum[i], b.Minimum[i], std::fabs(b.Minimum[i]) * 1e-3) << i;
        ASSERT_NEAR(b2.Maximum[i], b.Maximum[i], std::fabs(b.Maximum[i]) * 1e-3) << i;
        ASSERT_EQ(b2.Colour[i], b.Colour[i]) << i;
    }
    EXPECT_EQ(b2.AutoTextSize, 0);
    remove(path.c_str());
}

// Records damaged on purpose: counts and channels out of range, scales that
// cannot be drawn.  Each is read into something a display can use.
TEST_F(ScreenRoundTrip, HostileRecordsAreClamped) {
    TabState t;
    TabDefaults(&t);
    TabReadCreation(&t, "1,100000,7,0,300,-5,12");
    EXPECT_EQ(t.Radix, kRadixDecimal);
    EXPECT_LE(t.Count, kTabMaxParameters);
    for (int32_t i = 0; i < t.Count; ++i) {
        EXPECT_GE(t.Parameters[i], 0);
        EXPECT_LT(t.Parameters[i], kChannels);
    }
    EXPECT_EQ(t.Parameters[0], 0);
    EXPECT_EQ(t.Parameters[1], 12);  // 300 and -5 dropped

    BarState b;
    BarDefaults(&b);
    BarReadCreation(&b, "1,5000,4,1,999,3,3,1,7,nan,1,1");
    EXPECT_EQ(b.Count, kBarMax);
    EXPECT_EQ(b.Channels[0], 0);
    EXPECT_LT(b.Minimum[0], b.Maximum[0]);  // equal scale replaced by the full range
    EXPECT_EQ(b.Channels[1], 7);
    EXPECT_LT(b.Minimum[1], b.Maximum[1]);
    BarReadCreation(&b, "1,-3");
    EXPECT_EQ(b.Count, 0);

    GraphState g;
    GraphDefaults(&g);
    GraphReadCreation(&g, "1,-7,Face,999999,-5,0,0,0,1,-1");
    EXPECT_EQ(g.Channel, 0);
    EXPECT_EQ(g.Font.Height, 1000);
    EXPECT_EQ(g.Font.Weight, 0);
}

}  // namespace
