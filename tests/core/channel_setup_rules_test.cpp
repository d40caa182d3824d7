// The portable rules behind channel download and verification: log texts,
// model codes, adoption of hardware lists.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "base/app_state.h"
#include "hardware/channel_download.h"
#include "platform/fake/fake_platform.h"
#include "testmodel/system_settings.h"

namespace {

TEST(ChannelSetupRules, LogTextsByStageAndErrorCode) {
    struct Case {
        int32_t stage, error;
        const char* line;
    };
    const Case cases[] = {
        {0, 1, "Channel Selection ::Bus Error\n"},
        {1, 2, "Input Mode Selection ::Bad Instruction\n"},
        {2, 4, "Filter Selection ::Bad Parameter\n"},
        {3, 8, "DAC Filter Selection ::ADC Value Error\n"},
        {4, 16, "Excitation Current Selection ::Autobalance Or Autozero Error\n"},
        {5, 32, "Excitation Voltage Selection ::Excitation Mode Error\n"},
        {6, 64, "Gain Selection ::Make Sure Channel Is Installed\n"},
        {7, 3, "::Make Sure Channel Is Installed\n"},
        {-1, 0, "::Make Sure Channel Is Installed\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(SetupStageText(c.stage)) + SetupErrorText(c.error), c.line) << c.stage;
}

TEST(ChannelSetupRules, LogListsOnlyFailedChannelsInOrderWithBoundedNames) {
    auto p = std::make_unique<ChannelParams>();
    ChannelSetupReport r = {};
    for (int c = 0; c < kChannels; ++c) r.Stage[c] = -1;
    snprintf(p->NAME[9], sizeof p->NAME[9], "LOAD");
    snprintf(p->NAME[200], sizeof p->NAME[200], "STRAIN");
    memset(p->NAME[255], 'X', sizeof p->NAME[255]);  // no terminator: must not run on
    r.Failed[200] = 1, r.Stage[200] = 5, r.ErrorBit[200] = 32;
    r.Failed[9] = 1, r.Stage[9] = 0, r.ErrorBit[9] = 64;
    r.Failed[255] = 1, r.Stage[255] = 6, r.ErrorBit[255] = 4;
    r.Failed[17] = 2;  // only a flag of 1 counts
    EXPECT_EQ(SetupLogText(r, *p),
              "Channel 9 Named LOAD Failed During Channel Selection ::Make Sure Channel Is Installed\n"
              "Channel 200 Named STRAIN Failed During Excitation Voltage Selection ::Excitation Mode Error\n"
              "Channel 255 Named " + std::string(31, 'X') + " Failed During Gain Selection ::Bad Parameter\n");
}

TEST(ChannelSetupRules, LogLivesBesideTheTestCutAtTheFileNamesFirstDot) {
    snprintf(szTestFile, sizeof szTestFile, "c:\\data.v2\\t1\\t1.b.mdb");
    char path[300];
    ASSERT_TRUE(ChannelSetupLogPath(path, sizeof path));
    EXPECT_STREQ(path, "c:\\data.v2\\t1\\t1.log");
    szTestFile[0] = '\0';
    EXPECT_FALSE(ChannelSetupLogPath(path, sizeof path));
}

TEST(ChannelSetupRules, ModelCodesMapToTheVerifiedModels) {
    struct Case {
        int32_t code;
        bool sixteen;
        int32_t type;
    };
    const Case cases[] = {
        {400, false, 4},   {499, false, 4},   {600, false, 6},  {700, false, 7},   {800, false, 8},
        {850, true, 9},    {999, false, 8},   {900, true, 9},   {1000, false, 10}, {1150, false, 10},
        {1299, true, 10},  {1300, false, 13}, {1400, false, 14}, {1500, false, 15},
        // Codes of models the verification does not adopt: 5B cards, M14-B,
        // nothing at all (a cleared record), and beyond the list.
        {0, false, 0},     {150, false, 0},   {399, false, 0},  {550, false, 0},   {1600, false, 0},
        {-5, false, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CardTypeOfModelCode(c.code, c.sixteen), c.type) << c.code;
    EXPECT_STREQ(CardModelName(9), "M17-C");
    EXPECT_STREQ(CardModelName(16), "");
}

TEST(ChannelSetupRules, HardwareValuesBecomeOptionsWithSaturation) {
    EXPECT_EQ(OptionFromHardware(1000.9), 1000);
    EXPECT_EQ(OptionFromHardware(0.5), 0);
    EXPECT_EQ(OptionFromHardware(-3), 0);
    EXPECT_EQ(OptionFromHardware(std::nan("")), 0);
    EXPECT_EQ(OptionFromHardware(1e30), 2147483647);
    EXPECT_EQ(OptionFromHardware(std::numeric_limits<double>::infinity()), 2147483647);
}

TEST(ChannelSetupRules, AdoptedCountsNeverExceedTheirLists) {
    // Eight real filters and sixteen gains: the count rule would give 9
    // filters, and the comparison would then read past the list.
    auto p = std::make_unique<ChannelParams>();
    DefinitionTable t = {};
    for (int k = 0; k < 16; ++k) t.Gains[k] = k + 1;
    for (int k = 0; k < 8; ++k) t.Filters[k] = 100 * (k + 1);
    for (int k = 0; k < 10; ++k) t.Voltages[k] = k + 1, t.Currents[k] = 5 * (k + 1);
    p->FilterList[4][0] = 77;  // the next channel's first filter
    AdoptDefinitionLists(p.get(), 3, t);
    EXPECT_EQ(p->GainCount[3], 16u);
    EXPECT_EQ(p->FilterCount[3], 8u);
    EXPECT_EQ(p->FILTER[3], 100);
    EXPECT_EQ(p->GAIN[3], 1);
    EXPECT_EQ(p->EXCITATIONCURRENT[3], 5);
    EXPECT_FALSE(CompareDefinition(*p, 3, t).Any());
    // A stored count past the list is bounded where it bounds the comparison.
    p->FilterCount[3] = 200;
    p->GainCount[3] = 200;
    EXPECT_FALSE(CompareDefinition(*p, 3, t).Any());
    t.Filters[7] = 1;
    EXPECT_TRUE(CompareDefinition(*p, 3, t).Filters);

    // A wide band first and four filters: 4 non-zero plus the wide band.
    DefinitionTable w = {};
    w.Filters[1] = 625, w.Filters[2] = 1250, w.Filters[3] = 2500, w.Filters[4] = 5000;
    w.Gains[0] = 0.5;  // a gain below 1 truncates to 0 and is not counted
    w.Gains[1] = 2;
    AdoptDefinitionLists(p.get(), 3, w);
    EXPECT_EQ(p->FilterCount[3], 5u);
    EXPECT_EQ(p->GainCount[3], 1u);
    EXPECT_EQ(p->GAIN[3], 0) << "kept as the hardware gave it; every division counts it as 1";
}

TEST(ChannelSetupRules, ReadbackTextsFollowTheCardsModes) {
    ChannelReadback r;
    r.Gain = 99.6;
    r.Filter = 0;
    r.ExcitationType = 1;
    r.Voltage = 4.6;
    r.ExcitationEnabled = 0;
    r.AutozeroEnabled = 0;
    ReadbackText t = FormatReadback(r);
    EXPECT_EQ(t.Gain, "100") << "rounded, not truncated";
    EXPECT_EQ(t.Filter, "WideBand");
    EXPECT_EQ(t.Excitation, "5 Volts");
    EXPECT_EQ(t.ExcitationType, "DISABLED");
    EXPECT_EQ(t.AutozeroStatus, "DISABLED");
    EXPECT_EQ(t.AutobalanceStatus, "ENABLED");
    r.ExcitationType = 0;
    r.ExcitationEnabled = 1;
    r.Current = 20;
    r.VariableGainEnabled = 1;
    r.VariableGain = 12.34567;
    r.Filter = 2500;
    t = FormatReadback(r);
    EXPECT_EQ(t.Excitation, "20");
    EXPECT_EQ(t.ExcitationType, "CURRENT");
    EXPECT_EQ(t.Gain, "VARIABLE");
    EXPECT_EQ(t.VariableGain, "12.3457");
    EXPECT_EQ(t.Filter, "2500");
}

}  // namespace
