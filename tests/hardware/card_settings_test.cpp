// Cards that behave like cards: a setting outside the card's definition
// table is refused with the bad-parameter bit at its setup stage and the card
// keeps what it held; readback reports what the card holds; the definition
// table and model code follow the model; a card can be made to refuse one
// setup stage.
#include <cmath>
#include <functional>
#include <limits>

#include "card_fixture.h"

namespace {

class CardSettings : public CardTest {};

struct BadSetting {
    const char* what;
    std::function<void(ChannelParams&, int)> set;
    int32_t stage;
    int32_t bits;
};

TEST_F(CardSettings, ASettingTheCardDoesNotOfferIsRefusedAtItsStageAndTheCardKeepsItsOwn) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 3 M16\n"));
    const int c = 3;
    params->GAIN[c] = 10;
    params->FILTER[c] = 625;
    params->EXCITATIONVOLTAGE[c] = 5;
    params->EXCITATIONCURRENT[c] = 25;
    ASSERT_EQ(Q90SetupChannels(params.get(), c), 1) << ErrorText();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const BadSetting table[] = {
        {"gain not offered", [](ChannelParams& p, int c) { p.GAIN[c] = 7; }, 6, 4},
        {"gain 0", [](ChannelParams& p, int c) { p.GAIN[c] = 0; }, 6, 4},
        {"gain beyond the list", [](ChannelParams& p, int c) { p.GAIN[c] = 2000; }, 6, 4},
        {"gain not a number", [nan](ChannelParams& p, int c) { p.GAIN[c] = nan; }, 6, 4},
        {"filter not offered", [](ChannelParams& p, int c) { p.FILTER[c] = 100; }, 2, 4},
        {"negative filter", [](ChannelParams& p, int c) { p.FILTER[c] = -625; }, 2, 4},
        {"voltage not offered", [](ChannelParams& p, int c) { p.EXCITATIONVOLTAGE[c] = 12; }, 5, 4},
        {"current not offered", [](ChannelParams& p, int c) { p.EXCITATIONCURRENT[c] = 2; }, 4, 4},
        {"excitation source 3", [](ChannelParams& p, int c) { p.EXCITATIONSOURCE[c] = 3; }, 5, 32},
        {"variable gain on a card without it", [](ChannelParams& p, int c) { p.VARIABLEGAINENABLE[c] = 1; }, 6, 4},
        {"input mode 2", [](ChannelParams& p, int c) { p.EXTERNALAUTOZERO[c] = 2; }, 1, 4},
        {"autobalance flag 2", [](ChannelParams& p, int c) { p.AUTOBALANCEENABLE[c] = 2; }, -1, 4},
    };
    auto scan = std::make_unique<ProgScanList>();
    memset(scan.get(), 0, sizeof *scan);
    scan->EntryCount = 1;
    scan->Entry[0].CHANNEL = c;
    for (const BadSetting& bad : table) {
        SCOPED_TRACE(bad.what);
        auto wrong = std::make_unique<ChannelParams>(*params);
        bad.set(*wrong, c);
        ChannelSetupReport report;
        ClearReport(report);
        EXPECT_EQ(Q90NewSetupChannels(wrong.get(), scan.get(), &report), 0);
        EXPECT_EQ(report.Failed[c], 1);
        EXPECT_EQ(report.Stage[c], bad.stage);
        EXPECT_EQ(report.ErrorBit[c], bad.bits);
        // The card still holds the settings of the good download.
        auto held = cards.Card(c);
        EXPECT_EQ(held["gain"], "10");
        EXPECT_EQ(held["filter"], "625");
        EXPECT_EQ(held["voltage"], "5");
        EXPECT_EQ(held["current"], "25");
        EXPECT_EQ(held["excitationSource"], "1");
        EXPECT_EQ(held["variableGainEnabled"], "0");
        EXPECT_EQ(held["inputMode"], "0");
        EXPECT_EQ(held["autobalance"], "1");
    }
    // Readback through the library says the same.
    ASSERT_EQ(Q90SelectChannel(c), 1);
    double gain = 0, vgain = 0, filter = -1;
    int32_t vgen = -1;
    ASSERT_EQ(Q90GetGain(&gain, &vgain, &vgen), 1);
    EXPECT_EQ(gain, 10);
    ASSERT_EQ(Q90GetFilter(&filter), 1);
    EXPECT_EQ(filter, 625);
}

// What a card without a stage holds is what it has, whatever it was asked.
TEST_F(CardSettings, ReadbackReportsWhatTheCardHoldsNotTheRequest) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 4 M18-A\ncard 5 M16\n"));
    // A digital card: no excitation supply, no variable gain stage.
    params->EXCITATIONVOLTAGE[4] = 0;
    params->EXCITATIONCURRENT[4] = 0;
    params->AUTOBALANCEENABLE[4] = 0;
    params->AUTOZEROENABLE[4] = 0;
    params->VARIABLEGAIN[4] = 2.5;
    ASSERT_EQ(Q90SetupChannels(params.get(), 4), 1) << ErrorText();
    ASSERT_EQ(Q90SelectChannel(4), 1);
    int32_t type = -1, enabled = -1, ab = -1, az = -1;
    ASSERT_EQ(Q90GetModes(&type, &enabled, &ab, &az), 1);
    EXPECT_EQ(type, 2);  // none, though voltage excitation was asked for
    EXPECT_EQ(enabled, 0);
    double gain = 0, vgain = 0;
    int32_t vgen = -1;
    ASSERT_EQ(Q90GetGain(&gain, &vgain, &vgen), 1);
    EXPECT_EQ(vgain, 1.0);  // no variable gain stage to hold 2.5
    EXPECT_EQ(vgen, 0);
    // An amplifier card asked for "none" holds its supply off.
    params->EXCITATIONSOURCE[5] = 2;
    ASSERT_EQ(Q90SetupChannels(params.get(), 5), 1) << ErrorText();
    ASSERT_EQ(Q90SelectChannel(5), 1);
    ASSERT_EQ(Q90GetModes(&type, &enabled, &ab, &az), 1);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(enabled, 0);
    EXPECT_EQ(ab, 1);
    EXPECT_EQ(az, 1);
    // Autobalance asked of a card that cannot is refused, and nothing changes.
    params->AUTOBALANCEENABLE[4] = 1;
    EXPECT_EQ(Q90SetupChannels(params.get(), 4), 0);
    EXPECT_EQ(ErrorText(), "Card Command Refused: Autobalance Or Autozero Error.  Command AB 1, Error Bits 16");
    EXPECT_EQ(cards.Card(4)["autobalance"], "0");
}

// The definition table per model, and model codes in blocks of 100 per
// model in the order of the card list.
TEST_F(CardSettings, TheDefinitionTableAndModelCodeFollowTheModel) {
    static const char* const kModels[] = {"M11-A", "M11-B", "M12",   "M13-B", "M14-B",
                                          "M15-C", "M16",   "M17-B", "M17-C", "M18-A",
                                          "M18-B", "M18-C", "M19-B", "M20-B", "M21"};
    std::string chassis = "timebase virtual\n";
    for (int i = 0; i < 15; ++i) chassis += "card " + std::to_string(i) + " " + kModels[i] + "\n";
    chassis += "card 15 M16 code 777 serial 99\n";
    ASSERT_NO_FATAL_FAILURE(Load(chassis));
    for (int i = 0; i < 15; ++i) {
        SCOPED_TRACE(kModels[i]);
        DefinitionTable table;
        memset(&table, 0x55, sizeof table);
        ASSERT_EQ(Q90SelectChannel(i), 1);
        ASSERT_EQ(Q90QueryDefinitionTable(9, &table), 1);
        EXPECT_EQ(table.ModuleCode, 100 * (i + 1));
        EXPECT_EQ(table.SerialNumber, 10000 + i);
        std::string model = kModels[i];
        bool analog = (i >= 3 && i <= 8) || model == "M19-B" || model == "M20-B";
        int gains = 0;
        for (double g : table.Gains) gains += g != 0;
        EXPECT_EQ(gains, analog ? 13 : 1);
        EXPECT_EQ(table.Gains[0], 1);
        EXPECT_EQ(table.Gains[12], analog ? 1000 : 0);
        EXPECT_EQ(table.Filters[0], 0);
        EXPECT_EQ(table.Filters[1], analog ? 625 : (model == "M21" ? 100 : 0));
        EXPECT_EQ(table.Voltages[9], analog ? 10 : 0);
        EXPECT_EQ(table.Currents[3], analog ? 20 : 0);
        for (uint8_t byte : table.Reserved1) EXPECT_EQ(byte, 0);
    }
    DefinitionTable table;
    ASSERT_EQ(Q90SelectChannel(15), 1);
    ASSERT_EQ(Q90QueryDefinitionTable(9, &table), 1);
    EXPECT_EQ(table.ModuleCode, 777);
    EXPECT_EQ(table.SerialNumber, 99);
    // The constant 9 is the only query the library knows.
    EXPECT_EQ(Q90QueryDefinitionTable(8, &table), 0);
}

// A card refusing at a chosen stage, from the chassis file and from a test
// control, shows in the setup report with that stage and its bits.
TEST_F(CardSettings, ACardRefusingAtAChosenStageFailsThereAndOnlyThere) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 5 M15-C refuse 8 at gain\ncard 9 M16 refuse 1 at 0\n"));
    ASSERT_EQ(cards.cardRefuse(6, 2, 32), 1);       // filter stage
    ASSERT_EQ(cards.cardRefuse(7, 4, 2), 1);        // excitation current stage
    EXPECT_EQ(cards.cardRefuse(8, 7, 4), 0);        // no stage 7
    EXPECT_EQ(cards.cardRefuse(256, -1, 4), 0);     // no slot 256
    auto scan = std::make_unique<ProgScanList>();
    memset(scan.get(), 0, sizeof *scan);
    const uint32_t channels[] = {5, 6, 7, 8, 9};
    scan->EntryCount = 5;
    for (uint32_t i = 0; i < 5; ++i) scan->Entry[i].CHANNEL = channels[i];
    ChannelSetupReport report;
    ClearReport(report);
    EXPECT_EQ(Q90NewSetupChannels(params.get(), scan.get(), &report), 0);
    struct Expect {
        int c, failed, stage, bits;
    } table[] = {{5, 1, 6, 8}, {6, 1, 2, 32}, {7, 1, 4, 2}, {8, 0, -1, 0}, {9, 1, 0, 1}};
    for (const Expect& e : table) {
        EXPECT_EQ(report.Failed[e.c], e.failed) << e.c;
        EXPECT_EQ(report.Stage[e.c], e.stage) << e.c;
        EXPECT_EQ(report.ErrorBit[e.c], e.bits) << e.c;
    }
    // The stages before the refused one went through.
    EXPECT_EQ(cards.Card(5)["voltage"], "10");
    EXPECT_EQ(Q90SelectChannel(5), 1);  // selection is not the refused stage
    EXPECT_EQ(Q90SelectChannel(9), 0);
    // Ended from the test, the card takes its settings again.
    ASSERT_EQ(cards.cardRefuse(6, 2, 0), 1);
    params->FILTER[6] = 2500;
    EXPECT_EQ(Q90SetupChannels(params.get(), 6), 1) << ErrorText();
    EXPECT_EQ(cards.Card(6)["filter"], "2500");
    // Refusing every command from now on.
    ASSERT_EQ(cards.cardRefuse(8, -1, 16), 1);
    EXPECT_EQ(Q90SelectChannel(8), 0);
    EXPECT_EQ(ErrorText(), "Card Command Refused: Autobalance Or Autozero Error.  Command C 8, Error Bits 16");
}

}  // namespace
