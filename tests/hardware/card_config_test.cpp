// The chassis file's card statements: cal, wire and the stage a card
// refuses.  A malformed one is named with its line and reason and nothing of
// the file is applied; a good one sets what it says.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/cards.h"
#include "sim/chassis.h"

namespace {

TEST(CardStatements, MalformedOnesAreRejectedWithTheLineAndTheReason) {
    const struct {
        const char* text;
        const char* error;
    } table[] = {
        {"cal 1\n", "line 1: cal takes a slot (or range) and key value pairs"},
        {"cal 1 noise\n", "line 1: cal takes a slot (or range) and key value pairs"},
        {"cal 300 noise 1\n", "line 1: bad slot \"300\" (0-255 or a-b)"},
        {"cal 1 wobble 3\n", "line 1: unknown cal setting \"wobble\""},
        {"cal 1 reference 1e999\n", "line 1: bad number \"1e999\""},
        {"cal 1 reference 5000x\n", "line 1: bad number \"5000x\""},
        {"cal 1 bridge 0\n", "line 1: cal bridge must be above 0 ohms"},
        {"cal 1 shunt2 -5\n", "line 1: cal shunt2 must be above 0 ohms"},
        {"cal 1 noise -1\n", "line 1: cal noise must not be negative"},
        {"cal 1 offset 1e12\n", "line 1: cal offset out of range"},
        {"cal 1 lacks 10\n",
         "line 1: cal lacks takes calibration source codes (20, 31, 32, 41, 42, 50, 51, 52), not \"10\""},
        {"cal 1 lacks 31,33\n",
         "line 1: cal lacks takes calibration source codes (20, 31, 32, 41, 42, 50, 51, 52), not \"33\""},
        {"cal 1 lacks 31,\n",
         "line 1: cal lacks takes calibration source codes (20, 31, 32, 41, 42, 50, 51, 52), not \"\""},
        {"wire\n", "line 1: wire takes the slots (or ranges) the fixture drives"},
        {"wire 0-3 9-2\n", "line 1: bad slot \"9-2\" (0-255 or a-b)"},
        {"\ncard 1 M16 refuse 4 at nowhere\n",
         "line 2: refuse at takes a setup stage (select, input, filter, dacfilter, current, voltage, gain or 0-6)"},
        {"card 1 M16 refuse at\n",
         "line 1: refuse at takes a setup stage (select, input, filter, dacfilter, current, voltage, gain or 0-6)"},
        {"card 1 M16 refuse at 7\n",
         "line 1: refuse at takes a setup stage (select, input, filter, dacfilter, current, voltage, gain or 0-6)"},
    };
    for (const auto& row : table) {
        sim::Chassis chassis;
        std::string error;
        EXPECT_FALSE(sim::ParseChassis(row.text, strlen(row.text), chassis, error)) << row.text;
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(chassis.card[1].cal.reference, 5000.0);
        EXPECT_FALSE(chassis.wired[0]);
    }
    // Card statements describe the chassis; they cannot be armed.
    sim::Chassis armed;
    std::string error;
    EXPECT_FALSE(sim::ParseArm("cal 1 noise 3\n", 14, armed, error));
    EXPECT_EQ(error, "line 1: \"cal\" cannot be armed (only fault, refuse and sendfail)");
    EXPECT_FALSE(sim::ParseArm("wire 3\n", 7, armed, error));
    EXPECT_EQ(error, "line 1: \"wire\" cannot be armed (only fault, refuse and sendfail)");
}

TEST(CardStatements, AGoodFileSetsCalibrationModelsWiringAndRefusals) {
    const char* text =
        "card 0-7 M17-B\n"
        "card 3 M16 refuse 8 at gain\n"
        "card 4 M16 refuse at dacfilter\n"
        "card 5 M16 refuse 2 at 0\n"
        "cal 0-3 reference 2500 bridge 120\n"
        "cal 2 noise 40 lacks 31,52 external 24   # a worn card\n"
        "cal 6 shunt1 59880 shunt2 29940 subst1 121 subst2 119 offset -1.5\n"
        "wire 0-1 6\n"
        "wire 9\n";
    sim::Chassis c;
    std::string error;
    ASSERT_TRUE(sim::ParseChassis(text, strlen(text), c, error)) << error;
    EXPECT_EQ(c.card[3].state, sim::CardState::Refusing);
    EXPECT_EQ(c.card[3].refuseBits, 8);
    EXPECT_EQ(c.card[3].refuseStage, 6);
    EXPECT_EQ(c.card[4].refuseBits, 1);
    EXPECT_EQ(c.card[4].refuseStage, 3);
    EXPECT_EQ(c.card[5].refuseStage, 0);
    EXPECT_EQ(c.card[7].refuseStage, -1);
    // cal changes what it names and keeps the rest, card by card.
    EXPECT_EQ(c.card[1].cal.reference, 2500.0);
    EXPECT_EQ(c.card[1].cal.bridge, 120.0);
    EXPECT_EQ(c.card[1].cal.noise, 0.0);
    EXPECT_EQ(c.card[2].cal.reference, 2500.0);
    EXPECT_EQ(c.card[2].cal.noise, 40.0);
    EXPECT_EQ(c.card[2].cal.external, 24.0);
    EXPECT_EQ(c.card[2].cal.lacks, (1ull << 31) | (1ull << 52));
    EXPECT_EQ(c.card[4].cal.reference, 5000.0);
    EXPECT_EQ(c.card[6].cal.shunt[0], 59880.0);
    EXPECT_EQ(c.card[6].cal.shunt[1], 29940.0);
    EXPECT_EQ(c.card[6].cal.substitute[0], 121.0);
    EXPECT_EQ(c.card[6].cal.substitute[1], 119.0);
    EXPECT_EQ(c.card[6].cal.offset, -1.5);
    for (int s = 0; s < sim::kSlots; ++s) EXPECT_EQ(c.wired[s], s == 0 || s == 1 || s == 6 || s == 9) << s;
    // Model codes: 100 per model in the order of the card list.
    EXPECT_EQ(c.card[0].modelCode, 800);
    EXPECT_EQ(sim::ModelCode("M11-A"), 100);
    EXPECT_EQ(sim::ModelCode("M21"), 1500);
    EXPECT_EQ(sim::ModelCode("M99"), 0);
}

}  // namespace
