// The calibration line fit and the calibration-state table on the fake
// port: fits that define a line give it, fits that do not leave the channel
// as it was and never store NaN or infinity, the zero-slope question, the
// states' sources and attenuators, and the frame and mean arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "base/app_state.h"
#include "calibration/cal_fit.h"
#include "calibration/cal_run.h"
#include "calibration/cal_states.h"
#include "platform/fake/fake_platform.h"
#include "testmodel/model.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct FitCase {
    const char* name;
    std::vector<double> x, y;
    LineFit result;
    double slope, offset;  // expected (the start values 7, 7 when unchanged)
};

TEST(CalibrationFit, LinesAreFittedAndDegenerateMeansLeaveTheValues) {
    const FitCase cases[] = {
        {"one state: 1 and 0 whatever was measured", {123.0}, {45.0}, LineFit::OneState, 1.0, 0.0},
        {"two states 0, 10 mV to 0, 100 EU", {0, 10}, {0, 100}, LineFit::Fitted, 10.0, 0.0},
        // The means sum to zero, yet they spread: the true slope is 10.
        {"symmetric means -5, +5 mV", {-5, 5}, {-50, 50}, LineFit::Fitted, 10.0, 0.0},
        {"three states with an offset", {1, 2, 3}, {12, 14, 16}, LineFit::Fitted, 2.0, 10.0},
        {"least squares through scatter", {0, 1, 2, 3}, {0, 1, 1, 3}, LineFit::Fitted, 0.9, -0.1},
        {"equal EU: slope 0", {1, 2}, {5, 5}, LineFit::Fitted, 0.0, 5.0},
        // Simulator mode: every state reads 10 mV.
        {"all means equal", {10, 10, 10}, {0, 50, 100}, LineFit::Degenerate, 7, 7},
        {"all means zero", {0, 0}, {0, 100}, LineFit::Degenerate, 7, 7},
        {"equal large means with rounding residue", {1e6 + 0.1, 1e6 + 0.1, 1e6 + 0.1}, {1, 2, 3},
         LineFit::Degenerate, 7, 7},
        {"a NaN mean", {0, kNaN}, {0, 1}, LineFit::Degenerate, 7, 7},
        {"an infinite EU", {0, 1}, {0, kInf}, LineFit::Degenerate, 7, 7},
        {"means so large the sums overflow", {1e200, -1e200}, {0, 1}, LineFit::Degenerate, 7, 7},
    };
    for (const FitCase& k : cases) {
        SCOPED_TRACE(k.name);
        double slope = 7, offset = 7;
        EXPECT_EQ(FitCalibrationLine(k.x.data(), k.y.data(), static_cast<int32_t>(k.x.size()), &slope, &offset),
                  k.result);
        EXPECT_NEAR(slope, k.slope, 1e-12);
        EXPECT_NEAR(offset, k.offset, 1e-12);
        EXPECT_TRUE(std::isfinite(slope) && std::isfinite(offset));
    }
}

class CalibrationApply : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReset();
        bSimulator = false;
        ASSERT_EQ(AllocateTestModel(), 1);
        FakeClearMessages();
        bTestSaved = true;
    }
    void States(int32_t c, std::vector<double> means, std::vector<double> eus) {
        CalRecord& cal = lpsChannelParams->Cal;
        cal.ACTIVESTATES[c] = static_cast<int32_t>(means.size());
        for (size_t s = 0; s < means.size(); ++s) {
            cal.MEAN[c][s] = means[s];
            cal.EU[c][s] = eus[s];
        }
        lpsChannelParams->SENSITIVITY[c] = 3;
        lpsChannelParams->OFFSET[c] = 4;
    }
};

TEST_F(CalibrationApply, AFittedLineIsStoredAndADegenerateOneIsReportedAndNotStored) {
    States(5, {0, 10}, {0, 100});
    EXPECT_EQ(ApplyCalibrationFit(5), FitApplied::Stored);
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[5], 10);
    EXPECT_EQ(lpsChannelParams->OFFSET[5], 0);
    EXPECT_FALSE(bTestSaved);
    EXPECT_TRUE(FakeMessages().empty());

    bTestSaved = true;
    States(6, {10, 10}, {0, 100});
    EXPECT_EQ(ApplyCalibrationFit(6), FitApplied::Unchanged);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text,
              "The Calibration Means Of Channel 6 Do Not Define A Line.  Its Slope And Offset Are Left As They Were.");
    EXPECT_EQ(FakeMessages()[0].caption, "Calibration Fit Failed");
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[6], 3);
    EXPECT_EQ(lpsChannelParams->OFFSET[6], 4);
    EXPECT_TRUE(bTestSaved);

    // The preview shows what Apply would leave, without asking or storing.
    double slope = 0, offset = 0;
    States(7, {1, 2}, {5, 5});
    PreviewCalibrationFit(7, &slope, &offset);
    EXPECT_EQ(slope, 0);
    EXPECT_EQ(offset, 5);
    PreviewCalibrationFit(6, &slope, &offset);
    EXPECT_EQ(slope, 3);
    EXPECT_EQ(offset, 4);
    EXPECT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[7], 3);
}

TEST_F(CalibrationApply, AZeroSlopeAsksWhetherToMakeItOne) {
    const struct {
        int32_t answer;
        FitApplied result;
        double sensitivity, offset;
    } table[] = {
        {IDYES_, FitApplied::Stored, 1.0, 5.0},
        {IDNO_, FitApplied::Stored, 0.0, 5.0},
        {IDCANCEL_, FitApplied::Cancelled, 3.0, 4.0},
    };
    for (const auto& k : table) {
        SCOPED_TRACE(k.answer);
        States(9, {1, 2}, {5, 5});
        FakeClearMessages();
        FakePushAnswer(k.answer);
        EXPECT_EQ(ApplyCalibrationFit(9), k.result);
        ASSERT_EQ(FakeMessages().size(), 1u);
        EXPECT_EQ(FakeMessages()[0].text, "The Sensitivity Is 0.0 For Channel 9.  Make It 1.0?");
        EXPECT_EQ(FakeMessages()[0].caption, "Sensitivity Is Zero");
        EXPECT_EQ(FakeMessages()[0].style & 0xF, MB_YESNOCANCEL_);
        EXPECT_EQ(lpsChannelParams->SENSITIVITY[9], k.sensitivity);
        EXPECT_EQ(lpsChannelParams->OFFSET[9], k.offset);
    }
}

TEST_F(CalibrationApply, ACountOutsideOneToEightIsBoundedNotFollowed) {
    States(2, {0, 10}, {0, 100});
    lpsChannelParams->Cal.ACTIVESTATES[2] = 1000;  // as a database may hold it
    for (int s = 2; s < kCalStates; ++s) {
        lpsChannelParams->Cal.MEAN[2][s] = 10.0 * s;
        lpsChannelParams->Cal.EU[2][s] = 100.0 * s;
    }
    EXPECT_EQ(ApplyCalibrationFit(2), FitApplied::Stored);
    EXPECT_NEAR(lpsChannelParams->SENSITIVITY[2], 10, 1e-12);
    lpsChannelParams->Cal.ACTIVESTATES[2] = -3;
    EXPECT_EQ(ApplyCalibrationFit(2), FitApplied::Stored);
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[2], 1.0);
}

TEST(CalibrationStates, EveryCodeHasItsSourceAttenuatorAndTexts) {
    const struct {
        int32_t code, source, attenuation;
        const char* name;
        const char* log;
    } table[] = {
        {0, 10, 1000, "Transducer Input", "Transducer Input\n"},
        {1, 0, 1000, "Zero Calibration", "Zero Input\n"},
        {2, 20, 1000, "Voltage Cal * 1.0", "Voltage Cal * 1.0\n"},
        {3, 20, 100, "Voltage Cal * 0.1", "Voltage Cal * 0.1\n"},
        {4, 20, 10, "Voltage Cal * 0.01", "Voltage Cal * 0.01\n"},
        {5, 20, 1, "Voltage Cal * 0.001", "Voltage Cal * 0.001\n"},
        {6, 31, 1000, "R Shunt Cal 1", "R Shunt Cal 1\n"},
        {7, 32, 1000, "R Shunt Cal 2", "R Shunt Cal 2\n"},
        {8, 41, 1000, "R Substitution Cal 1", "R Substitution Cal 1\n"},
        {9, 42, 1000, "R Substitution Cal 2", "R Substitution Cal 2\n"},
        {10, 50, 1000, "Internal Excit V Monitor", "Internal Voltage Monitor\n"},
        {11, 51, 1000, "Internal Excit I Monitor", "Internal Current Monitor\n"},
        {12, 52, 1000, "External Excit V Monitor", "External Voltage Monitor\n"},
        {13, 10, 1000, "", "Incorrect Cal Mode\n"},
        {-1, 10, 1000, "", "Incorrect Cal Mode\n"},
    };
    for (const auto& k : table) {
        SCOPED_TRACE(k.code);
        const CalStateInfo& s = CalState(k.code);
        EXPECT_EQ(s.Source, k.source);
        EXPECT_EQ(s.Attenuation, k.attenuation);
        EXPECT_STREQ(s.Name, k.name);
        EXPECT_STREQ(s.LogLine, k.log);
        EXPECT_EQ(s.Known, k.code >= 0 && k.code <= 12);
        // The name is the string table's text of the state.
        if (s.Known) {
            char text[64] = "";
            EXPECT_GT(PlatformLoadString(s.NameId, text, sizeof text), 0);
            EXPECT_STREQ(text, k.name);
        }
    }
    EXPECT_STREQ(CalState(5).Progress, "Performing Voltage * 0.001 Cal on Channel %d");
    EXPECT_STREQ(CalState(11).Progress, "Performing Internal Excit Current Cal on Channel %d");
}

TEST_F(CalibrationApply, TheZeroStateTakesTheChannelsSwitchesAsModeBits) {
    ChannelParams& p = *lpsChannelParams;
    const struct {
        uint32_t autozero, autobalance, excitation;
        int32_t bits;
    } table[] = {{0, 0, 0, 4}, {1, 0, 0, 5}, {0, 1, 0, 6}, {0, 0, 1, 12}, {1, 1, 1, 15}, {2, 2, 2, 4}};
    for (const auto& k : table) {
        p.AUTOZEROENABLE[3] = k.autozero;
        p.AUTOBALANCEENABLE[3] = k.autobalance;
        p.EXCITATIONENABLE[3] = k.excitation;
        EXPECT_EQ(ZeroCalModeBits(3), k.bits);
    }
}

// Sample k of a read sits after the header of its frame; the mean and
// deviation are in mV at the input for the card's converter and gain.
TEST(CalibrationFrame, SamplesMeanAndDeviationComeFromTheFourFrames) {
    uint8_t read[kCalReadBytes];
    memset(read, 0xEE, sizeof read);  // headers: must not be read as samples
    for (int k = 0; k < kCalSamples; ++k) {
        const int at = 16 + 2 * k + 16 * (k / 64);
        const int16_t v = static_cast<int16_t>(k % 2 ? 2048 : -1024);
        read[at] = static_cast<uint8_t>(v & 0xFF);
        read[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
    EXPECT_EQ(CalSample(read, 0), -1024);
    EXPECT_EQ(CalSample(read, 63), 2048);
    EXPECT_EQ(CalSample(read, 64), -1024);
    EXPECT_EQ(CalSample(read, 255), 2048);
    double mean = 0, deviation = 0;
    // 16-bit: 2048 counts = 625 mV, -1024 = -312.5 mV; gain 2 halves both.
    CalMeanAndDeviation(read, 16, 2.0, &mean, &deviation);
    EXPECT_DOUBLE_EQ(mean, (625.0 - 312.5) / 2 / 2);
    EXPECT_DOUBLE_EQ(deviation, (625.0 + 312.5) / 2 / 2);
    // 12-bit: 2048 counts are full scale, 10000 mV.
    CalMeanAndDeviation(read, 12, 1.0, &mean, &deviation);
    EXPECT_DOUBLE_EQ(mean, (10000.0 - 5000.0) / 2);
    // A gain that is not positive or not finite counts as 1.
    for (double g : {0.0, -5.0, kNaN, kInf}) {
        CalMeanAndDeviation(read, 12, g, &mean, &deviation);
        EXPECT_DOUBLE_EQ(mean, 2500.0) << g;
        EXPECT_DOUBLE_EQ(deviation, 7500.0) << g;
    }
}

}  // namespace
