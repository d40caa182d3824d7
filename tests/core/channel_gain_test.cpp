// The gain rule every conversion divides by: a channel's effective gain, and
// a gain that is not positive or not finite counting as 1.
#include <cmath>
#include <limits>

#include "base/channel_gain.h"
#include "settings_fixture.h"
#include "testmodel/lifecycle.h"

namespace {

using ChannelGain = ModelTest;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST_F(ChannelGain, CvtLimitsCountAGainThatIsNotPositiveOrNotFiniteAsOne) {
    Allocate();
    struct Case {
        double gain;
        double fullScale;  // mV
    } cases[] = {
        {1.0, 10000.0}, {100.0, 100.0}, {0.5, 20000.0}, {0.0, 10000.0},
        {-5.0, 10000.0}, {-1.0, 10000.0}, {kNaN, 10000.0}, {kInf, 10000.0}, {-kInf, 10000.0},
    };
    for (int32_t ch = 0; ch < 9; ++ch) Ch().GAIN[ch] = cases[ch].gain;
    SetCvtLimitsFromGain();
    for (int32_t ch = 0; ch < 9; ++ch) {
        SCOPED_TRACE(testing::Message() << "gain " << cases[ch].gain);
        const double f = cases[ch].fullScale;
        EXPECT_DOUBLE_EQ(lpCVT->AlarmAbove[ch], 0.8 * f);
        EXPECT_DOUBLE_EQ(lpCVT->AlarmBelow[ch], -0.8 * f);
        EXPECT_DOUBLE_EQ(lpCVT->WarningAbove[ch], 0.6 * f);
        EXPECT_DOUBLE_EQ(lpCVT->WarningBelow[ch], -0.6 * f);
    }
}

}  // namespace

namespace {

TEST_F(ChannelGain, DivisorGainCountsWhatIsNotPositiveOrNotFiniteAsOne) {
    struct Case {
        double gain, divisor;
    } cases[] = {
        {1.0, 1.0},   {200.0, 200.0}, {0.25, 0.25}, {1e-300, 1e-300}, {0.0, 1.0}, {-0.0, 1.0},
        {-1.0, 1.0},  {-200.0, 1.0},  {kNaN, 1.0},  {kInf, 1.0},      {-kInf, 1.0},
    };
    for (const Case& c : cases) EXPECT_EQ(DivisorGain(c.gain), c.divisor) << c.gain;
}

TEST_F(ChannelGain, EffectiveGainIsTheFineGainWhileItIsEnabled) {
    Allocate();
    Ch().GAIN[7] = 100.0;
    Ch().VARIABLEGAIN[7] = 2.5;
    Ch().VARIABLEGAINENABLE[7] = 0;
    EXPECT_EQ(EffectiveGain(7), 100.0);
    EXPECT_EQ(GainField(7), &Ch().GAIN[7]);
    Ch().VARIABLEGAINENABLE[7] = 1;
    EXPECT_EQ(EffectiveGain(7), 2.5);
    EXPECT_EQ(GainField(7), &Ch().VARIABLEGAIN[7]);
    // Channels outside the table have no gain field and divide by 1.
    EXPECT_EQ(GainField(-1), nullptr);
    EXPECT_EQ(GainField(256), nullptr);
    EXPECT_EQ(EffectiveGain(256), 1.0);
    Ch().VARIABLEGAIN[7] = 0.0;
    EXPECT_EQ(DivisorGain(EffectiveGain(7)), 1.0);
}

}  // namespace
