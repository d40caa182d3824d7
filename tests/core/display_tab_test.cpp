// The tabular display's computation: the colour of a value at, just below
// and just above each limit with the limits on and off, the raw word in each
// radix, the rows that fit, the parameter list edits, the update pacing, the
// CVT simulator and the scan replay.
#include <gtest/gtest.h>

#include <cmath>

#include "displays/display_state.h"
#include "displays/tab_rules.h"
#include "display_fixture.h"

namespace {

constexpr uint32_t kNormal = 0x000000AA, kWarning = 0x0000BB00, kAlarm = 0x00CC0000, kText = 0x00111111;

class TabTest : public DisplayTest {
  protected:
    void Limits(int32_t c, double ab, double aa, double wb, double wa) {
        lpCVT->AlarmBelow[c] = ab;
        lpCVT->AlarmAbove[c] = aa;
        lpCVT->WarningBelow[c] = wb;
        lpCVT->WarningAbove[c] = wa;
        lpCVT->NormalColor[c] = kNormal;
        lpCVT->WarningColor[c] = kWarning;
        lpCVT->AlarmColor[c] = kAlarm;
    }
};

TEST_F(TabTest, ColourAtJustBelowAndJustAboveEachLimit) {
    const float e = 0.001f;
    struct Case {
        const char* what;
        double ab, aa, wb, wa;
        float v;
        uint32_t colour;
    } cases[] = {
        // Alarm -100..100 and warning -50..50 both on.
        {"inside", -100, 100, -50, 50, 0.0f, kNormal},
        {"at warning above", -100, 100, -50, 50, 50.0f, kNormal},
        {"just above warning", -100, 100, -50, 50, 50.0f + e, kWarning},
        {"at warning below", -100, 100, -50, 50, -50.0f, kNormal},
        {"just below warning", -100, 100, -50, 50, -50.0f - e, kWarning},
        {"at alarm above", -100, 100, -50, 50, 100.0f, kWarning},
        {"just above alarm", -100, 100, -50, 50, 100.0f + e, kAlarm},
        {"just below alarm below", -100, 100, -50, 50, -100.0f - e, kAlarm},
        {"at alarm below", -100, 100, -50, 50, -100.0f, kWarning},
        // Alarm on, warning off (equal limits): inside takes the display's text colour.
        {"alarm only inside", -100, 100, 7, 7, 99.0f, kText},
        {"alarm only above", -100, 100, 7, 7, 100.0f + e, kAlarm},
        // Alarm off, warning on.
        {"warning only above", 3, 3, -50, 50, 50.0f + e, kWarning},
        {"warning only inside", 3, 3, -50, 50, 50.0f, kNormal},
        {"warning only below", 3, 3, -50, 50, -50.0f - e, kWarning},
        // Both off: always normal, whatever the value.
        {"both off", 0, 0, 0, 0, 1e6f, kNormal},
    };
    for (const Case& c : cases) {
        Limits(9, c.ab, c.aa, c.wb, c.wa);
        EXPECT_EQ(TabValueColour(9, c.v, kText), c.colour) << c.what;
    }
}

TEST(TabRaw, EachRadix) {
    struct Case {
        int32_t raw;
        int32_t radix;
        const char* text;
    } cases[] = {
        {255, kRadixDecimal, "255"},        {-5, kRadixDecimal, "-5"},
        {255, kRadixHex, "FF"},             {255, kRadixOctal, "377"},
        {-12376, kRadixHex, "CFA8"},        {-1, kRadixOctal, "177777"},  // the word's 16 bits
        {255, kRadixBinary, "0000000011111111"},
        {-1, kRadixBinary, "1111111111111111"},  // low 16 bits only
        {-32768, kRadixBinary, "1000000000000000"},
    };
    for (const Case& c : cases) {
        char out[40];
        FormatRawWord(c.raw, c.radix, out, sizeof out);
        EXPECT_STREQ(out, c.text) << c.raw << " radix " << c.radix;
    }
}

TEST(TabRows, FitShowsEveryParameterAndAFullWindowDropsTheLastRowAtTheEnd) {
    TabState s;
    TabDefaults(&s);  // 20 parameters, fit height
    s.Height = 100;
    TabComputeRows(&s, 20);
    EXPECT_EQ(s.RowsShown, 20);
    EXPECT_EQ(TabRowsDrawn(s), 20);  // the last parameter is drawn too

    s.FitHeight = 0;  // 100 / 20 + 1 = 6 rows for 20 parameters
    s.FirstRow = 30;
    TabComputeRows(&s, 20);
    EXPECT_EQ(s.GreatestFirstRow, 15);
    EXPECT_EQ(s.FirstRow, 15);
    EXPECT_EQ(TabRowsDrawn(s), 5);
    s.FirstRow = 0;
    TabComputeRows(&s, 20);
    EXPECT_EQ(TabRowsDrawn(s), 6);

    TabComputeRows(&s, 0);  // a font with no height
    EXPECT_EQ(s.RowsShown, 20);  // 101 rows would fit: all 20 parameters
}

bool Yes(void*) { return true; }
bool No(void*) { return false; }

TEST(TabList, AddAndRemoveKeepTheLimitAndTheOrder) {
    int32_t list[kTabListSlots];
    int32_t count = 253;
    for (int32_t i = 0; i < count; ++i) list[i] = i;
    const int32_t sel[] = {100, 101, 102, 103};
    EXPECT_EQ(AddSelectedChannels(list, &count, 255, 254, sel, 0, Yes, nullptr), AddResult::NoSelection);
    EXPECT_EQ(AddSelectedChannels(list, &count, 255, 254, sel, 4, No, nullptr), AddResult::Declined);
    EXPECT_EQ(count, 253);
    EXPECT_EQ(AddSelectedChannels(list, &count, 255, 254, sel, 4, Yes, nullptr), AddResult::Added);
    EXPECT_EQ(count, 255);
    EXPECT_EQ(list[253], 100);
    EXPECT_EQ(list[254], 101);
    EXPECT_EQ(AddSelectedChannels(list, &count, 255, 254, sel, 1, Yes, nullptr), AddResult::Full);

    int32_t small[kTabListSlots] = {10, 11, 12, 13, 14};
    int32_t n = 5;
    const int32_t drop[] = {3, 1};
    EXPECT_EQ(RemoveSelectedEntries(small, &n, drop, 2), 1);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(small[0], 10);
    EXPECT_EQ(small[1], 12);
    EXPECT_EQ(small[2], 14);
    const int32_t last[] = {2};
    EXPECT_EQ(RemoveSelectedEntries(small, &n, last, 1), 1);  // the one before
    EXPECT_EQ(RemoveSelectedEntries(small, &n, last, 0), -1);
}

TEST(TabPriority, FieldTextAndPacing) {
    int32_t v = -99;
    EXPECT_EQ(ParsePriorityText("", &v), 0);
    EXPECT_EQ(ParsePriorityText("4x", &v), -1);
    EXPECT_EQ(ParsePriorityText("1.5", &v), -1);
    EXPECT_EQ(ParsePriorityText("+7", &v), 1);
    EXPECT_EQ(v, 7);
    for (int32_t p : {0, 1, 10}) {
        int32_t countdown = p;
        int32_t draws = 0, first = -1;
        for (int32_t u = 1; u <= 11 * (p + 1); ++u)
            if (PriorityCountdown(&countdown, p)) {
                ++draws;
                if (first < 0) first = u;
            }
        EXPECT_EQ(draws, 11) << p;
        EXPECT_EQ(first, p + 1) << p;
    }
}

TEST_F(TabTest, SimulatorStepsAndWrapsEachConverterWidth) {
    nChannelAdcBits[1] = 12;
    lpsChannelParams->SENSITIVITY[0] = 2.0;
    lpsChannelParams->OFFSET[0] = 1.0;
    lpCVT->Format[0] = 32700;
    lpCVT->Format[1] = 2000;
    SimulateCvtStep();
    EXPECT_EQ(lpCVT->Format[0], -32767);
    EXPECT_EQ(lpCVT->Format[1], -2047);
    EXPECT_DOUBLE_EQ(lpCVT->Value[0], -32767 * 10000.0 / 32768 * 2.0 + 1.0);
    SimulateCvtStep();
    EXPECT_EQ(lpCVT->Format[0], -32667);
    EXPECT_EQ(lpCVT->Format[2], 200);
}

TEST_F(TabTest, ScanReplayTakesEveryScannedChannelOneScanAtATime) {
    SetScan({4, 9, 4, 200});
    lpsChannelParams->GAIN[9] = 0.0;  // counts as 1
    WriteRecording("zd418_tab_replay", 3, [](int32_t k, int32_t p) { return 1000 * (k + 1) + p; });
    ScanReplay r{};
    RearmScanReplay(&r);
    bPlaying = true;
    lpCVT->Format[5] = 77;
    ASSERT_EQ(ScanReplayStep(&r, 0), 1);
    EXPECT_EQ(lpCVT->Format[4], 1000);  // first position of the channel
    EXPECT_EQ(lpCVT->Format[9], 1001);
    EXPECT_EQ(lpCVT->Format[200], 1003);
    EXPECT_EQ(lpCVT->Format[5], 77);    // not scanned: untouched
    EXPECT_DOUBLE_EQ(lpCVT->Value[9], 1001 * 10000.0 / 32768);
    ASSERT_EQ(ScanReplayStep(&r, 1), 1);
    ASSERT_EQ(ScanReplayStep(&r, 0), 1);
    EXPECT_EQ(lpCVT->Format[4], 3000);
    EXPECT_EQ(ScanReplayStep(&r, 0), 0);
    EXPECT_FALSE(bPlaying);
    bPlaying = true;
    ASSERT_EQ(ScanReplayStep(&r, 2), 1);  // backward starts at the last scan
    EXPECT_EQ(lpCVT->Format[4], 3000);
    ASSERT_EQ(ScanReplayStep(&r, 3), 1);
    EXPECT_EQ(lpCVT->Format[4], 2000);
}

}  // namespace
