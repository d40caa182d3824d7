// Calibration sources of the simulated cards, read the way a calibration
// run reads them: every source gives the level its model says, the
// attenuator scales the sources and not the input, the zero state follows
// its mode bits, a fit over the states gives a slope and offset known in
// advance, a worn card fails the bad-calibration checks, and a source the
// card does not have is refused.
#include <cmath>

#include "card_fixture.h"

namespace {

constexpr double kFull = 32768.0;  // M15-C: 16-bit converter
constexpr double kBridge = 350.0;

const char* kChassis =
    "timebase virtual\n"
    "card 0-3 M15-C\n"
    "card 1 M15-C imbalance 40\n"
    "card 4 M18-A\n"
    "signal 0-4 const 250\n"
    "cal 0 external 12\n"
    "cal 1 offset 3 lacks 31,32\n"
    "cal 2 offset 2\n"
    "cal 3 noise 2000\n";

class Calibration : public CardTest {
  protected:
    // Downloads channel c with `gain`, selects it and reads one state.
    void Setup(int32_t c, double gain) {
        params->GAIN[c] = gain;
        ASSERT_EQ(Q90SetupChannels(params.get(), c), 1) << ErrorText();
        ASSERT_EQ(Q90SelectChannel(c), 1);
    }
    void State(int32_t c, int32_t source, int32_t attenuation, double gain, Reading& r) {
        ASSERT_EQ(Q90SetCalAttenuator(attenuation), 1) << ErrorText();
        ASSERT_EQ(Q90SelectCal(source), 1) << ErrorText();
        ASSERT_NO_FATAL_FAILURE(Measure(c, gain, kFull, r));
        ASSERT_EQ(Q90SelectChannel(c), 1);
        ASSERT_EQ(Q90ResetCal(), 1);
    }
};

// A gain that keeps the level well inside the converter and resolved.
double GainFor(double mv) {
    double a = std::fabs(mv);
    return a < 20 ? 100 : (a < 500 ? 10 : 1);
}

struct SourceCase {
    int32_t source, attenuation;
    double expected;  // mV at the input
};

TEST_F(Calibration, EverySourceGivesTheLevelOfItsModel) {
    ASSERT_NO_FATAL_FAILURE(Load(kChassis));
    const double v = 10000.0;  // the 10 V supply in mV
    const SourceCase voltageExcited[] = {
        {20, 1000, 5000.0},
        {20, 100, 500.0},
        {20, 10, 50.0},
        {20, 1, 5.0},
        {31, 1000, v * kBridge / (2 * kBridge + 4 * 100000.0)},
        {32, 1000, v * kBridge / (2 * kBridge + 4 * 50000.0)},
        {31, 100, v * kBridge / (2 * kBridge + 4 * 100000.0) / 10},
        {41, 1000, v * (360.0 - kBridge) / (2 * (360.0 + kBridge))},
        {42, 1000, v * (340.0 - kBridge) / (2 * (340.0 + kBridge))},
        {50, 1000, v / 10},
        {51, 1000, v / kBridge * 100},
        {52, 1000, 1200.0},  // 12 V external supply
        {10, 1, 250.0},      // the input does not pass the attenuator
    };
    for (const SourceCase& k : voltageExcited) {
        SCOPED_TRACE("source " + std::to_string(k.source) + " attenuation " + std::to_string(k.attenuation));
        double gain = GainFor(k.expected);
        ASSERT_NO_FATAL_FAILURE(Setup(0, gain));
        Reading r;
        ASSERT_NO_FATAL_FAILURE(State(0, k.source, k.attenuation, gain, r));
        EXPECT_NEAR(r.mean, Quantised(k.expected, gain, kFull), 1e-9);
        EXPECT_EQ(r.deviation, 0.0);
    }
    // Current excitation: 20 mA through the bridge.
    params->EXCITATIONSOURCE[0] = 0;
    const double vi = 20.0 * kBridge;
    const SourceCase currentExcited[] = {
        {50, 1000, vi / 10},
        {51, 1000, 2000.0},
        {31, 1000, vi * kBridge / (2 * kBridge + 4 * 100000.0)},
    };
    for (const SourceCase& k : currentExcited) {
        SCOPED_TRACE("current, source " + std::to_string(k.source));
        double gain = GainFor(k.expected);
        ASSERT_NO_FATAL_FAILURE(Setup(0, gain));
        Reading r;
        ASSERT_NO_FATAL_FAILURE(State(0, k.source, k.attenuation, gain, r));
        EXPECT_NEAR(r.mean, Quantised(k.expected, gain, kFull), 1e-9);
    }
    // Without excitation the bridge and its monitors are silent.
    params->EXCITATIONENABLE[0] = 0;
    for (int32_t source : {31, 41, 50, 51}) {
        ASSERT_NO_FATAL_FAILURE(Setup(0, 100));
        Reading r;
        ASSERT_NO_FATAL_FAILURE(State(0, source, 1000, 100, r));
        EXPECT_EQ(r.mean, 0.0) << source;
    }
    // After ResetCal the card is back on its input with the attenuator open.
    auto held = cards.Card(0);
    EXPECT_EQ(held["calSource"], "10");
    EXPECT_EQ(held["attenuation"], "1000");
    EXPECT_EQ(held["opModes"], "0");
}

TEST_F(Calibration, TheZeroStateFollowsItsModeBits) {
    ASSERT_NO_FATAL_FAILURE(Load(kChassis));
    ASSERT_NO_FATAL_FAILURE(Setup(1, 10));
    ASSERT_EQ(Q90Autobalance(), 1);  // balance -40 mV against the imbalance
    // 1 autozero (the 3 mV zero error nulled), 2 autobalance (the balance
    // applied), 4 zero, 8 excitation (the bridge's imbalance present).
    const struct {
        int32_t bits;
        double expected;
    } table[] = {{4, 3}, {5, 0}, {6, -37}, {12, 43}, {14, 3}, {15, 0}};
    for (const auto& k : table) {
        SCOPED_TRACE(k.bits);
        ASSERT_EQ(Q90SelectOpModes(k.bits, 1), 1) << ErrorText();
        Reading r;
        ASSERT_NO_FATAL_FAILURE(Measure(1, 10, kFull, r));
        EXPECT_NEAR(r.mean, Quantised(k.expected, 10, kFull), 1e-9);
        ASSERT_EQ(Q90SelectChannel(1), 1);
        ASSERT_EQ(Q90ResetCal(), 1);
    }
    // Out of the zero state: the input, balanced, and the zero error only
    // while autozero is off.
    Reading r;
    ASSERT_NO_FATAL_FAILURE(Measure(1, 10, kFull, r));
    EXPECT_NEAR(r.mean, Quantised(250, 10, kFull), 1e-9);
    params->AUTOZEROENABLE[1] = 0;
    ASSERT_NO_FATAL_FAILURE(Setup(1, 10));
    ASSERT_NO_FATAL_FAILURE(Measure(1, 10, kFull, r));
    EXPECT_NEAR(r.mean, Quantised(253, 10, kFull), 1e-9);
}

// Least squares over (mean, EU), as the calibration run fits.
void Fit(const std::vector<double>& x, const std::vector<double>& y, double& slope, double& offset) {
    double n = static_cast<double>(x.size()), sx = 0, sy = 0, sxy = 0, sxx = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxy += x[i] * y[i];
        sxx += x[i] * x[i];
    }
    slope = (n * sxy - sy * sx) / (n * sxx - sx * sx);
    offset = (sy - slope * sx) / n;
}

TEST_F(Calibration, AFitOverTheStatesGivesTheSlopeAndOffsetKnownInAdvance) {
    ASSERT_NO_FATAL_FAILURE(Load(kChassis));
    // Channel 2 has a zero error of 2 mV; with autozero off it sits on every
    // state, so the fit's offset is -2 mV x slope.
    params->AUTOZEROENABLE[2] = 0;
    ASSERT_NO_FATAL_FAILURE(Setup(2, 1));
    struct Step {
        int32_t source, attenuation, zeroBits;
        double level, eu;
    } steps[] = {{0, 1000, 4 | 2 | 8, 0, 0}, {20, 1000, 0, 5000, 2500}, {20, 100, 0, 500, 250}};
    std::vector<double> means, predicted, eus;
    for (const Step& s : steps) {
        Reading r;
        ASSERT_EQ(Q90SetCalAttenuator(s.attenuation), 1);
        if (s.source == 0) ASSERT_EQ(Q90SelectOpModes(s.zeroBits, 1), 1);
        else ASSERT_EQ(Q90SelectCal(s.source), 1);
        ASSERT_NO_FATAL_FAILURE(Measure(2, 1, kFull, r));
        ASSERT_EQ(Q90SelectChannel(2), 1);
        ASSERT_EQ(Q90ResetCal(), 1);
        means.push_back(r.mean);
        predicted.push_back(Quantised(s.level + 2.0, 1, kFull));
        eus.push_back(s.eu);
    }
    double slope, offset, knownSlope, knownOffset;
    Fit(means, eus, slope, offset);
    Fit(predicted, eus, knownSlope, knownOffset);
    EXPECT_NEAR(slope, knownSlope, 1e-12);
    EXPECT_NEAR(offset, knownOffset, 1e-9);
    // And that is the ideal line within the converter's resolution.
    EXPECT_NEAR(slope, 0.5, 1e-4);
    EXPECT_NEAR(offset, -1.0, 0.1);
}

// Show Bad Cals: overload when mean x gain reaches 9995 mV, deviation above
// a tenth of the mean.  A worn card (noisy sources) and an overdriven
// reference are caught; a good card is not.
TEST_F(Calibration, AWornCardFailsTheBadCalibrationChecks) {
    ASSERT_NO_FATAL_FAILURE(Load(std::string(kChassis) + "cal 0 reference 12000\n"));
    struct Verdict {
        bool overload, deviation;
    };
    auto check = [&](int32_t c, int32_t attenuation) {
        Reading r;
        EXPECT_NO_FATAL_FAILURE(Setup(c, 1));
        EXPECT_NO_FATAL_FAILURE(State(c, 20, attenuation, 1, r));
        return Verdict{std::fabs(r.mean * 1) >= 9995, r.deviation > 0.1 * std::fabs(r.mean)};
    };
    Verdict overdriven = check(0, 1000), worn = check(3, 100), good = check(2, 100);
    EXPECT_TRUE(overdriven.overload);
    EXPECT_FALSE(overdriven.deviation);
    EXPECT_FALSE(worn.overload);
    EXPECT_TRUE(worn.deviation);
    EXPECT_FALSE(good.overload);
    EXPECT_FALSE(good.deviation);
}

TEST_F(Calibration, ASourceTheCardDoesNotHaveIsRefused) {
    ASSERT_NO_FATAL_FAILURE(Load(kChassis));
    // Nothing selected yet.
    EXPECT_EQ(Q90SelectCal(20), 0);
    EXPECT_EQ(ErrorText(), "Card Command Refused: Bad Instruction.  Command L 20, Error Bits 2");
    ASSERT_NO_FATAL_FAILURE(Setup(0, 1));
    for (int32_t source : {0, 1, 2, 13, 30, 33, 53, -1}) {
        EXPECT_EQ(Q90SelectCal(source), 0) << source;
        EXPECT_EQ(ErrorText(), "Card Command Refused: Bad Parameter.  Command L " + std::to_string(source) +
                                   ", Error Bits 4");
    }
    EXPECT_EQ(cards.Card(0)["calSource"], "10");
    for (int32_t attenuation : {0, 2, 50, 10000}) EXPECT_EQ(Q90SetCalAttenuator(attenuation), 0) << attenuation;
    EXPECT_EQ(cards.Card(0)["attenuation"], "1000");
    EXPECT_EQ(Q90SelectOpModes(16, 1), 0);
    EXPECT_EQ(Q90SelectOpModes(-1, 1), 0);
    EXPECT_EQ(Q90SelectOpModes(4, 0), 0);
    EXPECT_EQ(cards.Card(0)["opModes"], "0");
    // A digital card has its input only; a card that lacks its shunts says so.
    ASSERT_EQ(Q90SelectChannel(4), 1);
    EXPECT_EQ(Q90SelectCal(20), 0);
    EXPECT_EQ(Q90SelectCal(10), 1);
    ASSERT_EQ(Q90SelectChannel(1), 1);
    EXPECT_EQ(Q90SelectCal(31), 0);
    EXPECT_EQ(Q90SelectCal(32), 0);
    EXPECT_EQ(Q90SelectCal(41), 1);
}

}  // namespace
