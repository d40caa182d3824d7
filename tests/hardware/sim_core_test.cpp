// The simulator's chassis reader: every malformed line gets a clear error,
// and a good file sets what it says.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/chassis.h"
#include "sim/front_end.h"

namespace {

TEST(ChassisFile, RejectsMalformedLinesWithTheLineAndTheReason) {
    const struct {
        const char* text;
        const char* error;
    } table[] = {
        {"card 3 M99\n", "line 1: unknown card model \"M99\""},
        {"\n# fine\ncard 256 M16\n", "line 3: bad slot \"256\" (0-255 or a-b)"},
        {"card 9-2 M16\n", "line 1: bad slot \"9-2\" (0-255 or a-b)"},
        {"card 1 M16 refuse\ncard 2 M16 serial\n", "line 2: unknown or incomplete card option \"serial\""},
        {"signal 1 sine 100\n", "line 1: sine takes amplitude, frequency [offset] [phase]"},
        {"signal 1 const 1e400\n", "line 1: bad number \"1e400\""},
        {"signal 1 square 0 1 0\n", "line 1: square period must be above 0"},
        {"signal 1 wobble 1\n", "line 1: unknown signal kind \"wobble\""},
        {"signal 1 noise 5 -1\n", "line 1: noise seed must be a whole number 0-4294967295"},
        {"bits 5 1=3 0.5=1\n", "line 1: bit change times must ascend from 0"},
        {"bits 5 1=0x10000\n", "line 1: bad bit change \"1=0x10000\" (time=word, word 0-0xFFFF)"},
        {"extstart 2-1\n", "line 1: bad external-start interval \"2-1\" (from-to seconds)"},
        {"fault 0 nosync\n", "line 1: fault takes a transfer number (1 or more) and a kind"},
        {"fault 3 melt\n", "line 1: unknown fault \"melt\" (nosync, overflow, timeout, refuse)"},
        {"refuse M0\n", "line 1: refuse takes a quoted command prefix"},
        {"sendfail\n", "line 1: sendfail takes a Send number (1 or more) and an optional error"},
        {"sendfail 2 enol 3\n", "line 1: sendfail takes a Send number (1 or more) and an optional error"},
        {"sendfail 2 EBUS\n", "line 1: unknown bus error \"EBUS\" (enol, eadr, eabo, ebus)"},
        {"timebase fast\n", "line 1: timebase takes \"real\" or \"virtual\""},
        {"fifo 0\n", "line 1: fifo takes a transfer count of 1 or more"},
        {"chassis 1\n", "line 1: unknown keyword \"chassis\""},
        {"card 1 M16\0x\n", "line 1: unexpected NUL character"},
    };
    for (const auto& row : table) {
        sim::Chassis chassis;
        std::string error;
        size_t length = strlen(row.text);
        if (std::string(row.error).find("NUL") != std::string::npos) length = 13;
        EXPECT_FALSE(sim::ParseChassis(row.text, length, chassis, error)) << row.text;
        EXPECT_EQ(error, row.error);
        // Nothing half-applied.
        EXPECT_EQ(chassis.card[1].model, "M15-C");
        EXPECT_TRUE(chassis.faults.empty());
        EXPECT_TRUE(chassis.sendFailures.empty());
    }
}

TEST(ChassisFile, AGoodFileSetsCardsSignalsSchedulesAndFaults) {
    const char* text =
        "# chassis\n"
        "card 0-7 M17-B serial 12 imbalance 3.5\n"
        "card 8 M21 missing\n"
        "card 9 M16 refuse 32\n"
        "signal 0-3 sine 250 50 10 90\n"
        "signal 4 noise 20 7   # seeded\n"
        "bits 200 0=0 1.5=0x0003\n"
        "extstart 2-3 5.5-6\n"
        "fault 4 timeout\n"
        "fault 9 nosync\n"
        "refuse \"M0 1,1\" 2\n"
        "sendfail 5 ebus\n"
        "sendfail 6\n"
        "timebase virtual\n"
        "fifo 3\n"
        "fixture srq\n";
    sim::Chassis c;
    std::string error;
    ASSERT_TRUE(sim::ParseChassis(text, strlen(text), c, error)) << error;
    EXPECT_EQ(c.card[7].model, "M17-B");
    EXPECT_EQ(c.card[7].serial, 12);
    EXPECT_EQ(c.card[7].modelCode, 800);
    EXPECT_EQ(c.card[7].imbalance, 3.5);
    EXPECT_EQ(c.card[8].state, sim::CardState::Missing);
    EXPECT_EQ(c.card[9].state, sim::CardState::Refusing);
    EXPECT_EQ(c.card[9].refuseBits, 32);
    EXPECT_EQ(c.card[10].model, "M15-C");
    EXPECT_EQ(c.signal[3].kind, sim::SignalKind::Sine);
    EXPECT_EQ(c.signal[3].b, 50);
    EXPECT_EQ(c.signal[4].seed, 7u);
    EXPECT_EQ(c.bitsChannel, 200);
    ASSERT_EQ(c.bits.size(), 2u);
    EXPECT_EQ(c.bits[1].word, 3);
    ASSERT_EQ(c.extStart.size(), 2u);
    EXPECT_EQ(c.extStart[1].from, 5.5);
    ASSERT_EQ(c.faults.size(), 2u);
    EXPECT_EQ(c.faults[0].kind, sim::FaultKind::Timeout);
    ASSERT_EQ(c.refuse.size(), 1u);
    EXPECT_EQ(c.refuse[0].prefix, "M0 1,1");
    EXPECT_EQ(c.refuse[0].times, 2);
    ASSERT_EQ(c.sendFailures.size(), 2u);
    EXPECT_EQ(c.sendFailures[0].send, 5u);
    EXPECT_EQ(c.sendFailures[0].iberr, 14);
    EXPECT_EQ(c.sendFailures[1].iberr, 2);
    EXPECT_TRUE(c.virtualTime);
    EXPECT_EQ(c.fifoTransfers, 3u);
    EXPECT_TRUE(c.fixtureSrq);
}

TEST(ChassisFile, SignalModels) {
    sim::Signal s;
    s.kind = sim::SignalKind::Sine;
    s.a = 2;
    s.b = 1;
    s.c = 1;
    EXPECT_NEAR(sim::SignalValue(s, 0, 0.25), 3.0, 1e-12);
    s.kind = sim::SignalKind::Step;
    s.a = -1;
    s.b = 4;
    s.c = 0.5;
    EXPECT_EQ(sim::SignalValue(s, 0, 0.49), -1);
    EXPECT_EQ(sim::SignalValue(s, 0, 0.5), 4);
    for (int i = 0; i < 1000; ++i) {
        double n = sim::NoiseUnit(3, 9, i * 0.001);
        ASSERT_GE(n, -1.0);
        ASSERT_LE(n, 1.0);
    }
    EXPECT_EQ(sim::NoiseUnit(3, 9, 0.5), sim::NoiseUnit(3, 9, 0.5));
    EXPECT_NE(sim::NoiseUnit(3, 9, 0.5), sim::NoiseUnit(3, 10, 0.5));
}

// Real time: a transfer is not there before its scans have been taken.
TEST(FrontEnd, InRealTimeATransferArrivesWhenItsDurationHasPassed) {
    std::string error;
    const char* text = "timebase real\nsignal 0 const 0\n";
    ASSERT_TRUE(sim::ConfigureText(text, strlen(text), error)) << error;
    int32_t ud = sim::Dev(0, 29, 0, 13, 1, 1);
    ASSERT_GE(ud, 0);
    int16_t flag, status;
    for (const char* cmd : {"K0 1,1,0,900,2000", "K1 0,0.0", "K2", "M0 1,1", "U"}) {
        sim::Send(0, 29, cmd, static_cast<int32_t>(strlen(cmd)), 1);
        ASSERT_EQ(sim::g_bus.ibsta & sim::kERR, 0) << cmd;
        if (strcmp(cmd, "U") == 0) break;
        sim::WaitSRQ(0, &flag);
        sim::ReadStatusByte(0, 29, &status);
        ASSERT_EQ(status, 0x40) << cmd;
    }
    double started = sim::ScanStartTime();
    uint16_t buf[900];
    sim::Rda(ud, buf, sizeof buf);
    sim::Wait(ud, 0);  // a status look that does not wait
    ASSERT_EQ(sim::Deliveries().size(), 1u);
    EXPECT_EQ(sim::Deliveries()[0].bytes, 0u);  // 100 scans at 2000 per second take 50 ms
    sim::Wait(ud, sim::kTIMO | sim::kCMPL);
    EXPECT_EQ(sim::g_bus.ibsta & sim::kCMPL, sim::kCMPL);
    EXPECT_GE(sim::Now() - started, 0.05);
    EXPECT_EQ(buf[0], 0xFE6B);
}

}  // namespace
