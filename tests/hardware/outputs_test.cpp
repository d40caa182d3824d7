// Digital and DAC outputs of the simulated cards: what the program sends is
// kept and readable through the test controls, a line on a card that has
// none is refused, DAC regions laid out wrongly are refused, and the test
// waves of the operation record come from its wave file.
#include <cstdio>

#include "card_fixture.h"
#include "testmodel/settings_ini.h"

namespace {

const char* kChassis =
    "timebase virtual\n"
    "card 5 M15-C\n"
    "card 12 M18-A\n"
    "card 13 M18-B missing\n"
    "card 14 M18-C refuse 8\n"
    "card 20 M21\n"
    "card 21 M21\n"
    "signal 12 const 0\n";

class Outputs : public CardTest {
  protected:
    void SetUp() override {
        CardTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(Load(kChassis));
    }
    // A card-level command straight to the DDS: 1 when accepted.
    int32_t Raw(const char* command) {
        if (SendCommand(kDdsAddress, command) != 1) return 0;
        int16_t flag = 0, status = 0;
        WaitSRQ(0, &flag);
        ReadStatusByte(0, kDdsAddress, &status);
        return (status & 0xBF) == 0 ? 1 : 0;
    }
};

TEST_F(Outputs, DigitalLinesKeepTheStateWordAndBothSwitches) {
    ASSERT_EQ(Q90SetDigitalOut(12, 0x8001, 1, 0), 1) << ErrorText();
    auto held = cards.Card(12);
    EXPECT_EQ(held["digital"], "32769");
    EXPECT_EQ(held["glitchCatcher"], "1");
    EXPECT_EQ(held["outsToIns"], "0");
    EXPECT_EQ(Q90GetDigitalOut(12), 0x8001);
    EXPECT_EQ(sim.digitalOut(12), 0x8001);
    ASSERT_EQ(Q90SetDigitalOut(12, 0xFFFF, 0, 1), 1);
    held = cards.Card(12);
    EXPECT_EQ(held["digital"], "65535");
    EXPECT_EQ(held["glitchCatcher"], "0");
    EXPECT_EQ(held["outsToIns"], "1");
    EXPECT_EQ(held["digitalWrites"], "2");
}

TEST_F(Outputs, ALineOnACardWithoutLinesOrABadWordIsRefused) {
    const struct {
        int32_t channel, state, glitch, outs;
        const char* error;
    } table[] = {
        {5, 1, 0, 0, "Bad Instruction.  Command O 5,1,0,0, Error Bits 2"},   // an amplifier card
        {20, 1, 0, 0, "Bad Instruction.  Command O 20,1,0,0, Error Bits 2"}, // a DAC card
        {13, 1, 0, 0, "Make Sure Channel Is Installed.  Command O 13,1,0,0, Error Bits 64"},
        {14, 1, 0, 0, "ADC Value Error.  Command O 14,1,0,0, Error Bits 8"},
        {12, 0x10000, 0, 0, "Bad Parameter.  Command O 12,65536,0,0, Error Bits 4"},
        {12, -1, 0, 0, "Bad Parameter.  Command O 12,-1,0,0, Error Bits 4"},
        {12, 1, 2, 0, "Bad Parameter.  Command O 12,1,2,0, Error Bits 4"},
        {12, 1, 0, -1, "Bad Parameter.  Command O 12,1,0,-1, Error Bits 4"},
        {256, 1, 0, 0, "Bad Parameter.  Command O 256,1,0,0, Error Bits 4"},
    };
    ASSERT_EQ(Q90SetDigitalOut(12, 0x0F0F, 0, 0), 1);
    for (const auto& k : table) {
        SCOPED_TRACE(k.error);
        EXPECT_EQ(Q90SetDigitalOut(k.channel, k.state, k.glitch, k.outs), 0);
        EXPECT_EQ(ErrorText(), std::string("Card Command Refused: ") + k.error);
    }
    EXPECT_EQ(cards.Card(12)["digital"], "3855");
    EXPECT_EQ(Q90GetDigitalOut(5), -1);
    EXPECT_EQ(Q90GetDigitalOut(12), 0x0F0F);
}

// With outputs-to-inputs on, the card's scanned input reads its own lines.
TEST_F(Outputs, OutputsToInputsLoopsTheLinesBackIntoTheScan) {
    ASSERT_EQ(Q90SetDigitalOut(12, 0xA5C3, 0, 1), 1);
    Reading r;
    ASSERT_NO_FATAL_FAILURE(Measure(12, 1, 32768, r));
    for (int16_t v : r.samples) ASSERT_EQ(static_cast<uint16_t>(v), 0xA5C3);
    ASSERT_EQ(Q90SetDigitalOut(12, 0xA5C3, 0, 0), 1);
    ASSERT_NO_FATAL_FAILURE(Measure(12, 1, 32768, r));
    for (int16_t v : r.samples) ASSERT_EQ(v, 0);  // its input, held at 0
}

TEST_F(Outputs, DacRegionsAreKeptInOrderAndReadableWithTheirSamples) {
    std::vector<int16_t> wave(160);
    for (int i = 0; i < 160; ++i) wave[i] = static_cast<int16_t>(i * 211 - 16000);
    ASSERT_EQ(Q90OldSetupDAC(20, 0, 0, 0, 100, 2, 7, wave.data()), 1) << ErrorText();
    ASSERT_EQ(Q90OldSetupDAC(20, 0, 1, 100, 50, 3, 7, wave.data() + 100), 1) << ErrorText();
    ASSERT_EQ(Q90OldSetupDAC(20, 0, 2, 150, 10, 1, 7, wave.data() + 150), 1) << ErrorText();
    auto held = cards.Card(20);
    EXPECT_EQ(held["dacA.regions"], "0:100:2:100;100:50:3:50;150:10:1:10");
    EXPECT_EQ(held["dacA.masterLoop"], "7");
    EXPECT_EQ(held["dacA.run"], "idle");
    EXPECT_EQ(cards.Dac(20, 0, 0, 200), wave);
    EXPECT_EQ(held["dacB.regions"], "");
    // Regions laid out wrongly: overlapping the last, out of order, beyond
    // ten, or pointing past the memory.
    const struct {
        int32_t region, start, points;
    } wrong[] = {{3, 155, 10}, {4, 200, 10}, {10, 200, 10}, {3, 131070, 10}, {-1, 0, 10}};
    for (const auto& w : wrong) {
        SCOPED_TRACE(w.region);
        EXPECT_EQ(Q90OldSetupDAC(20, 0, w.region, w.start, w.points, 1, 7, wave.data()), 0);
    }
    EXPECT_EQ(Q90OldSetupDAC(20, 0, 3, 160, 0, 1, 7, wave.data()), 0);   // no points
    EXPECT_EQ(Q90OldSetupDAC(20, 0, 3, 160, 10, 1, 7, nullptr), 0);      // no samples
    EXPECT_EQ(Q90OldSetupDAC(5, 0, 0, 0, 10, 1, 1, wave.data()), 0);     // not a DAC card
    EXPECT_EQ(Q90OldSetupDAC(20, 2, 0, 0, 10, 1, 1, wave.data()), 0);    // no output C
    EXPECT_EQ(cards.Card(20)["dacA.regions"], "0:100:2:100;100:50:3:50;150:10:1:10");
    // Region 0 starts a new set.
    ASSERT_EQ(Q90OldSetupDAC(20, 0, 0, 0, 20, 5, 1, wave.data() + 20), 1);
    EXPECT_EQ(cards.Card(20)["dacA.regions"], "0:20:5:20");
    EXPECT_EQ(cards.Dac(20, 0, 0, 20), std::vector<int16_t>(wave.begin() + 20, wave.begin() + 40));
    // Samples must come in order into the region just declared.
    ASSERT_EQ(Raw("QW 21,1,0,0,4,1,1"), 1);
    EXPECT_EQ(Raw("QD 21,1,2,5,6"), 0);
    ASSERT_EQ(Raw("QD 21,1,0,1,2"), 1);
    EXPECT_EQ(Raw("QD 21,1,2,3,4,5"), 0);  // one more than the region holds
    EXPECT_EQ(cards.Card(21)["dacB.regions"], "0:4:1:2");
    // A start with a region still waiting for samples is refused.
    EXPECT_EQ(Q90StartDAC(-1, 0), 0);
    ASSERT_EQ(Raw("QD 21,1,2,3,4"), 1);
    EXPECT_EQ(Q90StartDAC(-1, 0), 1) << ErrorText();
}

TEST_F(Outputs, StartAndStopSetTheRunStateStaticLevelsAndFilters) {
    ASSERT_EQ(Q90SetupDACImmediate(20, 1, 2500), 1);
    ASSERT_EQ(Q90SetupDACImmediate(21, 0, -10000), 1);
    EXPECT_EQ(Q90SetupDACImmediate(20, 1, 10001), 0);
    EXPECT_EQ(Q90SetupDACImmediate(5, 0, 100), 0);
    ASSERT_EQ(Q90SetupDACFilters(20, 1, 2), 1);
    EXPECT_EQ(Q90SetupDACFilters(20, 0, 5), 0);  // the card has 5 filters: indexes 0-4
    EXPECT_EQ(Q90SetupDACFilters(5, 0, 1), 0);
    auto held = cards.Card(20);
    EXPECT_EQ(held["dacB.level"], "2500");
    EXPECT_EQ(held["dacB.filterIndex"], "2");
    EXPECT_EQ(held["dacA.filterIndex"], "0");

    // The start's second argument is the start mode; only "at once" exists.
    EXPECT_EQ(Q90StartDAC(-1, 1), 0);
    EXPECT_EQ(Q90StartDAC(5, 0), 0);  // not a DAC card
    EXPECT_EQ(cards.Card(20)["dacA.run"], "idle");
    ASSERT_EQ(Q90StartDAC(20, 0), 1);
    EXPECT_EQ(cards.Card(20)["dacA.run"], "running");
    EXPECT_EQ(cards.Card(20)["dacB.run"], "running");
    EXPECT_EQ(cards.Card(21)["dacA.run"], "idle");
    ASSERT_EQ(Q90StartDAC(-1, 0), 1);
    EXPECT_EQ(cards.Card(21)["dacA.run"], "running");
    ASSERT_EQ(Q90StopDACHold(21), 1);
    held = cards.Card(21);
    EXPECT_EQ(held["dacA.run"], "hold");
    EXPECT_EQ(held["dacA.level"], "-10000");
    EXPECT_EQ(cards.Card(20)["dacA.run"], "running");
    ASSERT_EQ(Q90StopDACZero(-1), 1);
    EXPECT_EQ(cards.Card(20)["dacB.run"], "zero");
    EXPECT_EQ(cards.Card(20)["dacB.level"], "0");
    EXPECT_EQ(cards.Card(21)["dacA.level"], "0");
    EXPECT_EQ(Q90StopDACZero(-2), 0);
}

class TestWaves : public Outputs {
  protected:
    const char* path = "simb_test_waves.bin";
    std::unique_ptr<OperationRecord> op = std::make_unique<OperationRecord>();

    void SetUp() override {
        Outputs::SetUp();
        FILE* f = fopen(path, "wb");
        ASSERT_NE(f, nullptr);
        for (int i = 0; i < 200; ++i) {
            uint8_t b[2] = {static_cast<uint8_t>(Sample(i) & 0xFF), static_cast<uint8_t>((Sample(i) >> 8) & 0xFF)};
            fwrite(b, 1, 2, f);
        }
        fclose(f);
        memset(op.get(), 0, sizeof *op);
        OperationDac& a = op->Dac[0];
        a.WaveSections = 2;
        a.DACFILTER = 500;
        a.WaveSectionLength[0] = 100;
        a.WaveSectionLength[1] = 60;
        a.PerformCount[0] = 2;
        a.PerformCount[1] = 5;
        snprintf(a.WaveFile, sizeof a.WaveFile, "%s", path);
        OperationDac& b = op->Dac[1];
        b.WaveSections = 1;
        b.DACFILTER = 0;
        b.WaveSectionLength[0] = 30;
        b.WaveSectionLength[1] = 99;  // beyond the section count: not loaded
        b.PerformCount[0] = 1;
        snprintf(b.WaveFile, sizeof b.WaveFile, "%s", path);
    }
    void TearDown() override {
        remove(path);
        Outputs::TearDown();
    }
    static int16_t Sample(int i) { return static_cast<int16_t>(30000 - i * 301); }
};

TEST_F(TestWaves, TheOperationRecordsSectionsComeFromItsWaveFile) {
    const int32_t pairs[] = {20, 20};
    ASSERT_EQ(Q90NewBinarySetupDAC(pairs, 2, op.get()), 1) << ErrorText();
    auto held = cards.Card(20);
    EXPECT_EQ(held["testWaveChannels"], "20,20");
    EXPECT_EQ(held["dacA.testWave"], "500:2:100/60/0:2/5/0");
    EXPECT_EQ(held["dacA.filterIndex"], "3");
    EXPECT_EQ(held["dacA.regions"], "0:100:2:100;100:60:5:60");
    EXPECT_EQ(held["dacB.regions"], "0:30:1:30");
    std::vector<int16_t> a = cards.Dac(20, 0, 0, 1000), b = cards.Dac(20, 1, 0, 1000);
    ASSERT_EQ(a.size(), 160u);
    ASSERT_EQ(b.size(), 30u);
    for (int i = 0; i < 160; ++i) EXPECT_EQ(a[i], Sample(i)) << i;
    for (int i = 0; i < 30; ++i) EXPECT_EQ(b[i], Sample(i)) << i;
    ASSERT_EQ(Q90StartDAC(-1, 0), 1);
    EXPECT_EQ(cards.Card(20)["dacA.run"], "running");
}

TEST_F(TestWaves, AWrongListFilterOrWaveFileIsRefused) {
    const int32_t notAPair[] = {20, 21};
    EXPECT_EQ(Q90NewBinarySetupDAC(notAPair, 2, op.get()), 0);
    const int32_t notADac[] = {5, 5};
    EXPECT_EQ(Q90NewBinarySetupDAC(notADac, 2, op.get()), 0);
    const int32_t pairs[] = {20, 20};
    op->Dac[0].DACFILTER = 300;  // not one of the card's output filters
    EXPECT_EQ(Q90NewBinarySetupDAC(pairs, 2, op.get()), 0);
    EXPECT_EQ(ErrorText(), "Card Command Refused: Bad Parameter.  Command QT 20,0,300,2,100,60,0,2,5,0, Error Bits 4");
    op->Dac[0].DACFILTER = 500;
    op->Dac[0].WaveSectionLength[1] = 150;  // 250 samples from a file of 200
    EXPECT_EQ(Q90NewBinarySetupDAC(pairs, 2, op.get()), 0);
    EXPECT_EQ(ErrorText(), std::string("Wave File Too Short.  Wave File Too Short: ") + path +
                               " holds 200 of 250 samples");
    op->Dac[0].WaveSectionLength[1] = 60;
    snprintf(op->Dac[0].WaveFile, sizeof op->Dac[0].WaveFile, "no_such_wave_file.bin");
    EXPECT_EQ(Q90NewBinarySetupDAC(pairs, 2, op.get()), 0);
    EXPECT_EQ(ErrorText(), "Wave File Not Found.  Wave File Not Found: no_such_wave_file.bin");
    // Nothing was loaded into the output by the refused set-ups.
    EXPECT_EQ(cards.Card(20)["dacA.regions"], "");
}

}  // namespace
