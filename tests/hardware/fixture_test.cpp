// The calibration fixture at address 28: its command set, its service
// request, the reference it puts on the channels wired to it, and a
// calibration procedure run against it (command to the fixture, clear its
// request, measure every channel of the procedure, fit) with results known
// in advance.
#include <cmath>

#include "card_fixture.h"

namespace {

class Fixture : public CardTest {
  protected:
    // Sends a command text to the fixture; the status byte of its request
    // (0 when it asks for nothing).
    int16_t Command(const char* text) {
        EXPECT_EQ(SendCommand(kFixtureAddress, text), 1);
        int16_t flag = 0, status = 0;
        TestSRQ(0, &flag);
        if (flag) ReadStatusByte(0, kFixtureAddress, &status);
        return status;
    }
};

TEST_F(Fixture, TheCommandSetSetsTheReferenceAndRefusesTheRest) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\nfixture srq\n"));
    const struct {
        const char* command;
        int16_t status;
        const char* level;
        const char* output;
        const char* error;
    } table[] = {
        {"OUT 1.000 V", 0x40, "1000", "1", ""},
        {"OUT -250 MV", 0x40, "-250", "1", ""},
        {"out 2.5 v", 0x40, "2500", "1", ""},
        {"OFF", 0x40, "2500", "0", ""},
        {"OUT 7", 0x40, "7000", "1", ""},
        {"*RST", 0x40, "0", "0", ""},
        {"OUT 1 V;OFF", 0x40, "1000", "0", ""},
        {"VOLT 3", 0x41, "1000", "0", "unknown command \"VOLT 3\""},
        {"OUT 11 V", 0x41, "1000", "0", "level beyond 10 V"},
        {"OUT x V", 0x41, "1000", "0", "bad level \"X V\""},
        {"OUT 1 A", 0x41, "1000", "0", "unknown unit \"A\" (V or MV)"},
        {"OUT 2 V;BOGUS;OUT 3 V", 0x41, "2000", "1", "unknown command \"BOGUS\""},
        {"OUT nan V", 0x41, "2000", "1", "bad level \"NAN V\""},
    };
    for (const auto& k : table) {
        SCOPED_TRACE(k.command);
        EXPECT_EQ(Command(k.command), k.status);
        auto f = cards.Fixture();
        EXPECT_EQ(f["level"], k.level);
        EXPECT_EQ(f["output"], k.output);
        EXPECT_EQ(f["error"], k.error);
        EXPECT_EQ(f["requesting"], "0");  // the poll ended the request
    }
    EXPECT_EQ(cards.Fixture()["commands"], "13");
}

TEST_F(Fixture, WithoutSrqConfiguredTheFixtureAsksForNothing) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\n"));
    EXPECT_EQ(Command("OUT 1 V"), 0);
    EXPECT_EQ(Command("BOGUS"), 0);
    int16_t status = -1;
    ReadStatusByte(0, kFixtureAddress, &status);
    EXPECT_EQ(status, 0x01);  // the refusal shows, no request
}

TEST_F(Fixture, TheReferenceReachesOnlyTheWiredInputs) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\nsignal 0-2 const 100\nwire 0-1\n"));
    for (int c = 0; c < 3; ++c) ASSERT_EQ(Q90SetupChannels(params.get(), c), 1) << c;
    EXPECT_EQ(cards.Fixture()["wired"], "0,1");
    Command("OUT 2 V");
    Reading r;
    for (int c = 0; c < 3; ++c) {
        ASSERT_NO_FATAL_FAILURE(Measure(c, 1, 32768, r));
        EXPECT_NEAR(r.mean, Quantised(c < 2 ? 2000 : 100, 1, 32768), 1e-9) << c;
    }
    // A calibration source replaces the input, fixture or not.
    ASSERT_EQ(Q90SelectChannel(0), 1);
    ASSERT_EQ(Q90SelectCal(20), 1);
    ASSERT_NO_FATAL_FAILURE(Measure(0, 1, 32768, r));
    EXPECT_NEAR(r.mean, Quantised(5000, 1, 32768), 1e-9);
    ASSERT_EQ(Q90SelectChannel(0), 1);
    ASSERT_EQ(Q90ResetCal(), 1);
    Command("OFF");
    ASSERT_NO_FATAL_FAILURE(Measure(0, 1, 32768, r));
    EXPECT_NEAR(r.mean, Quantised(100, 1, 32768), 1e-9);
}

// A procedure of three steps, each an external command then the transducer
// input (source 10, attenuation 1000) of every channel of the procedure.
TEST_F(Fixture, AProcedureRunAgainstTheFixtureGivesKnownSlopesAndOffsets) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\nfixture srq\nwire 0-2\n"
                                 "card 1 M15-C imbalance 12.5\ncard 2 M16\n"));
    const double gains[] = {1, 2, 5};
    const double full[] = {32768, 32768, 2048};  // channel 2: 12-bit
    params->AUTOBALANCEENABLE[1] = 0;            // channel 1 keeps its 12.5 mV imbalance
    for (int c = 0; c < 3; ++c) {
        params->GAIN[c] = gains[c];
        ASSERT_EQ(Q90SetupChannels(params.get(), c), 1) << c;
    }
    const struct {
        const char* command;
        double level, eu;
    } steps[] = {{"*RST;OUT 0 V", 0, 0}, {"OUT 1 V", 1000, 100}, {"OUT 1.5 V", 1500, 150}};
    std::vector<double> means[3], predicted[3], eus;
    for (const auto& step : steps) {
        ASSERT_EQ(SendCommand(kFixtureAddress, step.command), 1);
        int16_t flag = 0, status = 0;
        TestSRQ(0, &flag);
        ASSERT_EQ(flag, 1);
        ReadStatusByte(0, kFixtureAddress, &status);  // clears it; not examined
        TestSRQ(0, &flag);
        ASSERT_EQ(flag, 0);
        eus.push_back(step.eu);
        for (int c = 0; c < 3; ++c) {
            ASSERT_EQ(Q90SelectChannel(c), 1);
            ASSERT_EQ(Q90SetCalAttenuator(1000), 1);
            ASSERT_EQ(Q90SelectCal(10), 1);
            Reading r;
            ASSERT_NO_FATAL_FAILURE(Measure(c, gains[c], full[c], r));
            ASSERT_EQ(Q90SelectChannel(c), 1);
            ASSERT_EQ(Q90ResetCal(), 1);
            EXPECT_EQ(r.deviation, 0.0);
            means[c].push_back(r.mean);
            predicted[c].push_back(Quantised(step.level + (c == 1 ? 12.5 : 0), gains[c], full[c]));
        }
    }
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        double n = 3, sx = 0, sy = 0, sxy = 0, sxx = 0;
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(means[c][i], predicted[c][i], 1e-9);
            sx += means[c][i];
            sy += eus[i];
            sxy += means[c][i] * eus[i];
            sxx += means[c][i] * means[c][i];
        }
        double slope = (n * sxy - sy * sx) / (n * sxx - sx * sx);
        double offset = (sy - slope * sx) / n;
        // 0.1 EU per mV; the imbalance of channel 1 shifts its offset.
        EXPECT_NEAR(slope, 0.1, c == 2 ? 2e-3 : 1e-4);
        EXPECT_NEAR(offset, c == 1 ? -1.25 : 0.0, c == 2 ? 0.5 : 0.02);
    }
    // Every step reached the fixture, in order.
    std::string log = sim.Log();
    size_t a = log.find("28:*RST;OUT 0 V\n"), b = log.find("28:OUT 1 V\n"), c = log.find("28:OUT 1.5 V\n");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

}  // namespace
