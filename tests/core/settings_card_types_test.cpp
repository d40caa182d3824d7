#include <cstring>
#include <string>

#include "settings_fixture.h"

namespace {

using CardTypes = ModelTest;

// A Q90CARD.ini with the given sections after [GENERAL INFO].
void SetCards(int types, const std::string& sections) {
    FakeSetProfileFile("Q90CARD.ini",
                       "[GENERAL INFO]\nNUMBEROFTYPES=" + std::to_string(types) + "\n" + sections);
}

TEST_F(CardTypes, ListsCountsAndSelectedValuesFollowTheChannelsType) {
    Allocate();
    SetCards(2,
             "[TYPE 1 INFO]\nCardType=M13-B\n"
             "[TYPE 2 INFO]\nCardType=M17-C\nAUTOBALANCE=YES\nAUTOZERO=no\nVARIABLEGAIN=y\n"
             "Gain1=10\nGain2=0\nGain3=100.9\nGain4=1e12\n"
             "Filter1=0\nFilter2=2500\nVoltage1=5\nVoltage2=10\nCurrent1=20\n");
    struct Case {
        int channel;
        uint32_t type;
        double gain, filter, volts, amps;  // stored selections before the load
        double gainAfter, filterAfter, voltsAfter, ampsAfter;
    } cases[] = {
        {0, 2, 10.0, 2500.0, 10.0, 20.0, 10.0, 2500.0, 10.0, 20.0},  // all in the lists
        {1, 2, 7.0, 5.0, 12.0, 30.0, 10.0, 0.0, 0.0, 0.0},           // none in the lists
        {2, 2, 100.0, 1.0, 5.0, 1.0, 100.0, 0.0, 5.0, 1.0},          // 100.9 is offered as 100
        {3, 1, 1.0, 625.0, 1.0, 1.0, 1.0, 0.0, 1.0, 1.0},            // a type without keys
    };
    for (const Case& c : cases) {
        Ch().CARDTYPE[c.channel] = c.type;
        Ch().GAIN[c.channel] = c.gain;
        Ch().FILTER[c.channel] = c.filter;
        Ch().EXCITATIONVOLTAGE[c.channel] = c.volts;
        Ch().EXCITATIONCURRENT[c.channel] = c.amps;
    }
    for (int i = 4; i < kChannels; ++i) Ch().CARDTYPE[i] = 1;
    EXPECT_EQ(LoadCardTypes(), 1);
    EXPECT_TRUE(FakeMessages().empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel);
        EXPECT_EQ(Ch().GAIN[c.channel], c.gainAfter);
        EXPECT_EQ(Ch().FILTER[c.channel], c.filterAfter);
        EXPECT_EQ(Ch().EXCITATIONVOLTAGE[c.channel], c.voltsAfter);
        EXPECT_EQ(Ch().EXCITATIONCURRENT[c.channel], c.ampsAfter);
    }
    // Type 2: a zero gain becomes 1 and is not counted; huge reals saturate.
    EXPECT_STREQ(Ch().CardModel[0], "M17-C");
    const int32_t gains[5] = {10, 1, 100, INT32_MAX, 1};
    EXPECT_EQ(0, memcmp(Ch().GainList[0], gains, sizeof gains));
    EXPECT_EQ(Ch().GainCount[0], 15u);
    // Filters: the wide band (0) is an option and counts; places without a
    // key hold -1 and do not.
    const int32_t filters[8] = {0, 2500, -1, -1, -1, -1, -1, -1};
    EXPECT_EQ(0, memcmp(Ch().FilterList[0], filters, sizeof filters));
    EXPECT_EQ(Ch().FilterCount[0], 2u);
    EXPECT_EQ(Ch().VoltageList[0][1], 10);
    // Type 1 (no keys): 16 gains of 1, all counted; no filter at all.
    EXPECT_STREQ(Ch().CardModel[3], "M13-B");
    EXPECT_EQ(Ch().GainList[3][15], 1);
    EXPECT_EQ(Ch().GainCount[3], 16u);
    EXPECT_EQ(Ch().FilterCount[3], 0u);
    EXPECT_EQ(Ch().FilterList[3][0], -1);
    EXPECT_EQ(Ch().CurrentList[3][9], 1);
}

TEST_F(CardTypes, MissingCapabilitiesSwitchTheEnablesOff) {
    Allocate();
    SetCards(2,
             "[TYPE 1 INFO]\nAUTOBALANCE=1\nAUTOZERO=1\nVARIABLEGAIN=1\n"
             "[TYPE 2 INFO]\nAUTOBALANCE=Y\nAUTOZERO=Y\nVARIABLEGAIN=Y\n");
    for (int i = 0; i < kChannels; ++i) {
        Ch().CARDTYPE[i] = i == 0 ? 1 : 2;
        Ch().AUTOBALANCEENABLE[i] = Ch().AUTOZEROENABLE[i] = Ch().VARIABLEGAINENABLE[i] = 1;
    }
    LoadCardTypes();
    EXPECT_EQ(Ch().AutobalanceCapable[0], 0u);
    EXPECT_EQ(Ch().AUTOBALANCEENABLE[0], 0u);
    EXPECT_EQ(Ch().AUTOZEROENABLE[0], 0u);
    EXPECT_EQ(Ch().VARIABLEGAINENABLE[0], 0u);
    EXPECT_EQ(Ch().AutobalanceCapable[1], 1u);
    EXPECT_EQ(Ch().AutozeroCapable[1], 1u);
    EXPECT_EQ(Ch().VariableGainCapable[1], 1u);
    EXPECT_EQ(Ch().AUTOBALANCEENABLE[1], 1u);
    EXPECT_EQ(Ch().AUTOZEROENABLE[1], 1u);
    EXPECT_EQ(Ch().VARIABLEGAINENABLE[1], 1u);
}

TEST_F(CardTypes, AChannelWithoutItsTypeIsReportedAndKeepsItsLists) {
    Allocate();
    // The default type 8 is missing from a file that names one type.
    SetCards(1, "[TYPE 1 INFO]\nCardType=M21\nGain1=50\n");
    for (int i = 1; i < kChannels; ++i) Ch().CARDTYPE[i] = 1;
    Ch().CARDTYPE[0] = 0xFFFFFFFFu;
    Ch().CARDTYPE[7] = 8;
    LoadCardTypes();
    const auto& m = FakeMessages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, "Card Type Information Not Found For Type -1 Channel 0");
    EXPECT_EQ(m[1].text, "Card Type Information Not Found For Type 8 Channel 7");
    EXPECT_EQ(m[1].caption, "PROBLEM WITH Q90CARD.INI CONTACT Vornel");
    EXPECT_EQ(m[1].style, MB_OK_ | MB_ICONINFORMATION_);
    EXPECT_STREQ(Ch().CardModel[7], "M17-B");
    EXPECT_EQ(Ch().GainList[7][0], 1);  // the Q90.ini list it had
    EXPECT_EQ(Ch().GainList[8][0], 50);
    EXPECT_STREQ(Ch().CardModel[8], "M21");

    // Without the file every default channel (type 8) gets its box.
    FakeSetProfileFile("Q90CARD.ini", "");
    LoadDefaults();
    FakeClearMessages();
    LoadCardTypes();
    EXPECT_EQ(FakeMessages().size(), 256u);
}

TEST_F(CardTypes, TypeCountIsCappedAndLongNamesAreCut) {
    Allocate();
    std::string sections;
    for (int n = 1; n <= 16; ++n)
        sections += "[TYPE " + std::to_string(n) + " INFO]\nCardType=MODEL-" + std::to_string(n) +
                    "-ABCDEFGHIJKLMNOPQRSTUVWXYZ\n";
    struct Case {
        int declared;
        uint32_t type;
        bool found;
    } cases[] = {{20, 15, true}, {20, 16, false}, {15, 15, true}, {-3, 1, false}, {0, 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.declared << " types, channel type " << c.type);
        SetCards(c.declared, sections);
        for (int i = 0; i < kChannels; ++i) Ch().CARDTYPE[i] = c.type;
        strcpy(Ch().CardModel[0], "OLD");
        FakeClearMessages();
        LoadCardTypes();
        EXPECT_EQ(FakeMessages().size(), c.found ? 0u : 256u);
        std::string expected = c.found ? ("MODEL-" + std::to_string(c.type) + "-ABCD").substr(0, 11)
                                       : "OLD";
        EXPECT_EQ(std::string(Ch().CardModel[0]), expected);
    }
}

// Filter1-8 one by one: what each entry becomes, whether it counts, and the
// filter a channel keeps or falls back to.
TEST_F(CardTypes, WideBandIsAFilterOptionAndMissingOrNegativeEntriesAreNot) {
    Allocate();
    struct Case {
        const char* keys;  // Filter lines of the type
        int32_t list[8];
        uint32_t count;
        double stored, after;  // FILTER before and after the load
    } cases[] = {
        {"Filter1=0\nFilter2=625\nFilter3=1250\nFilter4=2500\nFilter5=5000\n",
         {0, 625, 1250, 2500, 5000, -1, -1, -1}, 5, 0.0, 0.0},
        {"Filter1=0\nFilter2=625\n", {0, 625, -1, -1, -1, -1, -1, -1}, 2, 1.0, 0.0},
        {"Filter1=-5\nFilter2=625\nFilter4=0\n", {-5, 625, -1, 0, -1, -1, -1, -1}, 2, -5.0, 625.0},
        {"Filter1=  \nFilter2=100.7\n", {-1, 100, -1, -1, -1, -1, -1, -1}, 1, 7.0, 100.0},
        {"Filter1=-0.5\nFilter2=0\n", {-1, 0, -1, -1, -1, -1, -1, -1}, 1, 0.0, 0.0},
        {"Filter8=0\n", {-1, -1, -1, -1, -1, -1, -1, 0}, 1, 0.0, 0.0},
        {"", {-1, -1, -1, -1, -1, -1, -1, -1}, 0, -1.0, 0.0},
        {"Filter1=1\nFilter2=2\nFilter3=3\nFilter4=4\nFilter5=5\nFilter6=6\nFilter7=7\nFilter8=0\n",
         {1, 2, 3, 4, 5, 6, 7, 0}, 8, 7.0, 7.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        SetCards(1, std::string("[TYPE 1 INFO]\nCardType=M13-B\n") + c.keys);
        for (int i = 0; i < kChannels; ++i) {
            Ch().CARDTYPE[i] = 1;
            Ch().FILTER[i] = c.stored;
        }
        FakeClearMessages();
        EXPECT_EQ(LoadCardTypes(), 1);
        EXPECT_TRUE(FakeMessages().empty());
        EXPECT_EQ(0, memcmp(Ch().FilterList[9], c.list, sizeof c.list));
        EXPECT_EQ(Ch().FilterCount[9], c.count);
        EXPECT_EQ(Ch().FILTER[9], c.after);
        // The channel dialog's way to the same lists.
        Ch().FILTER[10] = c.stored;
        EXPECT_EQ(ApplyCardTypeToChannel(10), 1);
        EXPECT_EQ(0, memcmp(Ch().FilterList[10], c.list, sizeof c.list));
        EXPECT_EQ(Ch().FILTER[10], c.after);
    }
}

}  // namespace
