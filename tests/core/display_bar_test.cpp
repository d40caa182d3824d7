// The bar display's computation: layout in rows of 16, where bars start and
// end on their scales, the fill colour at its limits, the hit test, and the
// decade factors and scale fixes on degenerate scales.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "displays/bar_rules.h"
#include "display_fixture.h"

namespace {

class BarTest : public DisplayTest {
  protected:
    BarState s;
    void Make(int32_t count) {
        BarDefaults(&s);
        s.Count = count;
        for (int32_t i = 0; i < count; ++i) {
            s.Channels[i] = i;
            s.Minimum[i] = -100.0f;
            s.Maximum[i] = 100.0f;
        }
        BarLayout(&s, 1600, 1000);
    }
};

TEST_F(BarTest, SeventeenBarsLieInTwoRowsOnWidthOverSixteen) {
    Make(17);
    EXPECT_EQ(s.Rect[0].Left, 50);          // slot 100, half a slot in
    EXPECT_EQ(s.Rect[0].Right, 50 + 53);    // plus the margin W / 30
    EXPECT_EQ(s.Rect[15].Left, 1550);
    EXPECT_EQ(s.Rect[0].Top, 100);
    EXPECT_EQ(s.Rect[0].Bottom, 400);
    EXPECT_EQ(s.Rect[16].Left, 50);         // second row, first column
    EXPECT_EQ(s.Rect[16].Top, 600);
    EXPECT_EQ(s.Rect[16].Bottom, 900);
    Make(2);
    EXPECT_EQ(s.Rect[1].Left, 1200);        // slot W / 2
    EXPECT_EQ(s.Rect[1].Top, 200);
    Make(96);
    EXPECT_EQ(s.Rect[95].Top, 850);
    EXPECT_EQ(s.Rect[95].Bottom, 930);
    int32_t h, w;
    BarAutoFontSize(s, &h, &w);
    EXPECT_EQ(h, 1000 / 15);
    EXPECT_EQ(w, 0);
    Make(0);  // no bars: no layout, no division by the count
    BarAutoFontSize(s, &h, &w);
    EXPECT_EQ(w, 0);
}

TEST_F(BarTest, BarsStartFromZeroOrFromTheEdgeNearestIt) {
    Make(3);
    const BarRect& b = s.Rect[0];  // 200 .. 800
    s.Minimum[0] = 0.0f;
    s.Maximum[0] = 100.0f;
    int32_t base, end;
    BarFillSpan(s, 0, 50.0f, &base, &end);
    EXPECT_EQ(base, b.Bottom);
    EXPECT_EQ(end, 500);
    s.Minimum[0] = -50.0f;
    s.Maximum[0] = -10.0f;
    BarFillSpan(s, 0, -30.0f, &base, &end);
    EXPECT_EQ(base, b.Top);
    EXPECT_EQ(end, 500);
    s.Minimum[0] = -100.0f;
    s.Maximum[0] = 300.0f;
    BarFillSpan(s, 0, 1e9f, &base, &end);
    EXPECT_EQ(base, 800 - 150);  // zero at a quarter of the height
    EXPECT_EQ(end, b.Top);       // above the maximum: the whole bar
    BarFillSpan(s, 0, -1e9f, &base, &end);
    EXPECT_EQ(end, b.Bottom);
    s.Minimum[0] = s.Maximum[0] = 5.0f;  // equal: drawn on the full range
    BarFillSpan(s, 0, 0.0f, &base, &end);
    EXPECT_EQ(base, 500);
    EXPECT_EQ(end, 500);
    BarFillSpan(s, 0, std::numeric_limits<float>::quiet_NaN(), &base, &end);
    EXPECT_GE(end, b.Top);
    EXPECT_LE(end, b.Bottom);
}

TEST_F(BarTest, FillColourAtItsLimitsAndClicksOnlyOnBars) {
    Make(1);
    lpCVT->AlarmBelow[0] = -90;
    lpCVT->AlarmAbove[0] = 90;
    lpCVT->WarningBelow[0] = -60;
    lpCVT->WarningAbove[0] = 60;
    lpCVT->AlarmColor[0] = 1;
    lpCVT->WarningColor[0] = 2;
    s.Colour[0] = 3;
    EXPECT_EQ(BarFillColour(s, 0, 60.0f), 3u);
    EXPECT_EQ(BarFillColour(s, 0, 60.01f), 2u);
    EXPECT_EQ(BarFillColour(s, 0, -60.01f), 2u);
    EXPECT_EQ(BarFillColour(s, 0, 90.0f), 2u);
    EXPECT_EQ(BarFillColour(s, 0, 90.01f), 1u);
    EXPECT_EQ(BarFillColour(s, 0, -90.01f), 1u);
    // Equal limits are not "off" here: any value away from them is outside.
    lpCVT->AlarmBelow[0] = lpCVT->AlarmAbove[0] = 0;
    EXPECT_EQ(BarFillColour(s, 0, 1.0f), 1u);

    const BarRect& b = s.Rect[0];
    EXPECT_EQ(BarHit(s, b.Left + 1, b.Top + 1), 0);
    EXPECT_EQ(BarHit(s, b.Left, b.Top + 1), -1);  // strictly inside only
    EXPECT_EQ(BarHit(s, b.Right + 5, b.Top + 5), -1);
}

TEST(BarScale, DecadeFactorsEndOnEveryScale) {
    struct Case {
        float lo, hi, factor;
    } cases[] = {
        {-10000, 10000, 0.1f}, {0, 5, 1000.0f}, {0, 5000, 1.0f}, {100, -100, 10.0f},
        {3, 3, 1.0f}, {-3e38f, 3e38f, 1e-35f}, {0, 1e-30f, 1.0f},
    };
    for (const Case& c : cases) EXPECT_FLOAT_EQ(BarDecadeFactor(c.lo, c.hi), c.factor) << c.lo << " " << c.hi;
    EXPECT_EQ(BarDecadeFactor(0, std::numeric_limits<float>::infinity()), 1.0f);
    EXPECT_EQ(BarDecadeFactor(std::numeric_limits<float>::quiet_NaN(), 1), 1.0f);
}

TEST_F(BarTest, OkSwapsReversedScalesAndGivesEqualOnesTheFullRange) {
    lpsChannelParams->GAIN[1] = 4.0;
    Make(3);
    s.Minimum[0] = 50.0f;
    s.Maximum[0] = -50.0f;
    s.Minimum[1] = s.Maximum[1] = 7.0f;
    BarFixScales(&s);
    EXPECT_EQ(s.Minimum[0], -50.0f);
    EXPECT_EQ(s.Maximum[0], 50.0f);
    EXPECT_EQ(s.Minimum[1], -2500.0f);
    EXPECT_EQ(s.Maximum[1], 2500.0f);
    lpsChannelParams->GAIN[2] = -1.0;  // not positive: counts as 1
    lpCVT->NormalColor[2] = 0x00ABCDEF;
    BarResetScales(&s);
    EXPECT_EQ(s.Minimum[2], -10000.0f);
    EXPECT_EQ(s.Colour[2], 0x00ABCDEFu);
}

}  // namespace
