// The records the program builds are read by the control library field by
// field as the program meant them: the library declares the documented
// layouts itself, so a field the program moved, or a library reading the
// wrong place, shows here as a wrong value on the card.  A record that
// cannot be one (misplaced, garbage) is refused before it reaches the bus.
#include <algorithm>
#include <cstdio>

#include "card_fixture.h"
#include "testmodel/settings_ini.h"

namespace {

class RecordLayout : public CardTest {
  protected:
    size_t LogLines() {
        std::string log = sim.Log();
        return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
    }
};

// Distinct, valid values in every field the library reads, for the channel
// and its neighbours, so that a field or element read one place off gives a
// value that belongs to something else.
struct ChannelValues {
    double gain, vgain, filter, volts, amps;
    uint32_t source, xenable, ab, az, external, vgenable;
};

void Put(ChannelParams& p, int c, const ChannelValues& v) {
    p.GAIN[c] = v.gain;
    p.VARIABLEGAIN[c] = v.vgain;
    p.FILTER[c] = v.filter;
    p.EXCITATIONVOLTAGE[c] = v.volts;
    p.EXCITATIONCURRENT[c] = v.amps;
    p.EXCITATIONSOURCE[c] = v.source;
    p.EXCITATIONENABLE[c] = v.xenable;
    p.AUTOBALANCEENABLE[c] = v.ab;
    p.AUTOZEROENABLE[c] = v.az;
    p.EXTERNALAUTOZERO[c] = v.external;
    p.VARIABLEGAINENABLE[c] = v.vgenable;
}

std::string Real(double v) {
    char buf[40];
    snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

TEST_F(RecordLayout, AChannelBlockBuiltByTheProgramIsReadFieldByField) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\n"));  // M15-C everywhere: every stage present
    const ChannelValues mine = {200, 3.5, 1250, 7, 35, 0, 1, 0, 0, 1, 1};
    Put(*params, 36, {5, 2.25, 2500, 3, 45, 1, 0, 1, 1, 0, 0});
    Put(*params, 37, mine);
    Put(*params, 38, {500, 8.75, 5000, 9, 5, 2, 1, 1, 0, 0, 1});
    // Text fields the library never reads, filled to the brim.
    memset(params->NAME, 'N', sizeof params->NAME);
    memset(params->CardModel, 'M', sizeof params->CardModel);
    for (int c = 0; c < kChannels; ++c) params->GainCount[c] = 0xDEADBEEF;
    ASSERT_EQ(Q90SetupChannels(params.get(), 37), 1) << ErrorText();
    auto held = cards.Card(37);
    EXPECT_EQ(held["gain"], Real(mine.gain));
    EXPECT_EQ(held["variableGain"], Real(mine.vgain));
    EXPECT_EQ(held["variableGainEnabled"], "1");
    EXPECT_EQ(held["filter"], Real(mine.filter));
    EXPECT_EQ(held["voltage"], Real(mine.volts));
    EXPECT_EQ(held["current"], Real(mine.amps));
    EXPECT_EQ(held["excitationSource"], "0");
    EXPECT_EQ(held["excitationEnabled"], "1");
    EXPECT_EQ(held["autobalance"], "0");
    EXPECT_EQ(held["autozero"], "0");
    EXPECT_EQ(held["inputMode"], "1");
    // And the library's readback of the same card.
    ASSERT_EQ(Q90SelectChannel(37), 1);
    double gain = 0, vgain = 0, filter = 0, volts = 0, amps = 0;
    int32_t vgen = 0, type = -1, xen = -1, ab = -1, az = -1;
    ASSERT_EQ(Q90GetGain(&gain, &vgain, &vgen), 1);
    ASSERT_EQ(Q90GetFilter(&filter), 1);
    ASSERT_EQ(Q90GetVoltage(&volts), 1);
    ASSERT_EQ(Q90GetCurrent(&amps), 1);
    ASSERT_EQ(Q90GetModes(&type, &xen, &ab, &az), 1);
    EXPECT_EQ(gain, mine.gain);
    EXPECT_EQ(vgain, mine.vgain);
    EXPECT_EQ(vgen, 1);
    EXPECT_EQ(filter, mine.filter);
    EXPECT_EQ(volts, mine.volts);
    EXPECT_EQ(amps, mine.amps);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(xen, 1);
    EXPECT_EQ(ab, 0);
    EXPECT_EQ(az, 0);
    // The neighbours were not touched.
    EXPECT_EQ(cards.Card(36)["gain"], "1");
    EXPECT_EQ(cards.Card(38)["gain"], "1");
}

TEST_F(RecordLayout, TheScanListAndTheSetupReportAreReadAndWrittenWhereTheProgramHasThem) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 77 M15-C missing\n"));
    auto scan = std::make_unique<ProgScanList>();
    memset(scan.get(), 0xEE, sizeof *scan);  // everything the program did not set is garbage
    scan->EntryCount = 4;
    scan->BlockCount = 2;
    const uint32_t channels[] = {200, 3, kScanEmpty, 77};
    for (int i = 0; i < 4; ++i) scan->Entry[i].CHANNEL = channels[i];
    scan->Entry[4].CHANNEL = 9;  // beyond the entry count
    params->GAIN[200] = 20;
    params->GAIN[3] = 30;
    params->GAIN[9] = 100;
    ChannelSetupReport report;
    ClearReport(report);
    EXPECT_EQ(Q90NewSetupChannels(params.get(), scan.get(), &report), 0);
    EXPECT_EQ(cards.Card(200)["gain"], "20");
    EXPECT_EQ(cards.Card(3)["gain"], "30");
    EXPECT_EQ(cards.Card(9)["gain"], "1");
    for (int c = 0; c < kChannels; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(report.Failed[c], c == 77 ? 1 : 0);
        EXPECT_EQ(report.Stage[c], c == 77 ? 0 : -1);
        EXPECT_EQ(report.ErrorBit[c], c == 77 ? 64 : 0);
    }
}

TEST_F(RecordLayout, TheDefinitionRecordLandsAtTheDocumentedOffsets) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 12 M17-C serial 31337\n"));
    DefinitionTable table;
    memset(&table, 0x55, sizeof table);
    ASSERT_EQ(Q90SelectChannel(12), 1);
    ASSERT_EQ(Q90QueryDefinitionTable(9, &table), 1);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&table);
    int32_t code = 0, serial = 0;
    double filter1 = 0, volts0 = 0, amps9 = 0;
    memcpy(&code, bytes + 392, 4);
    memcpy(&serial, bytes + 396, 4);
    memcpy(&filter1, bytes + 128 + 8, 8);
    memcpy(&volts0, bytes + 192, 8);
    memcpy(&amps9, bytes + 272 + 72, 8);
    EXPECT_EQ(code, 900);
    EXPECT_EQ(serial, 31337);
    EXPECT_EQ(filter1, 625);
    EXPECT_EQ(volts0, 1);
    EXPECT_EQ(amps9, 50);
    EXPECT_EQ(table.ModuleCode, code);
    EXPECT_EQ(table.SerialNumber, serial);
}

TEST_F(RecordLayout, TheOperationRecordIsReadBlockByBlock) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 20 M21\ncard 22 M21\n"));
    const char* path = "simb_layout_wave.bin";
    FILE* f = fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 300; ++i) {
        int16_t v = static_cast<int16_t>(i * 97 - 14000);
        fwrite(&v, 2, 1, f);  // little-endian on every host this runs on
    }
    fclose(f);
    auto op = std::make_unique<OperationRecord>();
    memset(op.get(), 0, sizeof *op);
    op->NumberToMonitor = 2;
    op->TestType = 3;
    const int32_t filters[] = {100, 200, 500, 1000};
    for (int d = 0; d < 4; ++d) {
        OperationDac& dac = op->Dac[d];
        dac.WaveSections = 1 + d % 3;
        dac.DACFILTER = filters[d];
        for (int k = 0; k < 3; ++k) {
            dac.WaveSectionLength[k] = 10 * (d + 1) + k;
            dac.PerformCount[k] = 100 * d + k + 1;
        }
        snprintf(dac.WaveFile, sizeof dac.WaveFile, "%s", path);
    }
    const int32_t pairs[] = {20, 20, 22, 22};
    ASSERT_EQ(Q90NewBinarySetupDAC(pairs, 4, op.get()), 1) << ErrorText();
    auto a = cards.Card(20), c = cards.Card(22);
    EXPECT_EQ(a["testWaveChannels"], "20,20,22,22");
    EXPECT_EQ(a["dacA.testWave"], "100:1:10/11/12:1/2/3");
    EXPECT_EQ(a["dacB.testWave"], "200:2:20/21/22:101/102/103");
    EXPECT_EQ(c["dacA.testWave"], "500:3:30/31/32:201/202/203");
    EXPECT_EQ(c["dacB.testWave"], "1000:1:40/41/42:301/302/303");
    EXPECT_EQ(a["dacB.filterIndex"], "2");
    EXPECT_EQ(c["dacB.filterIndex"], "4");
    EXPECT_EQ(a["dacB.regions"], "0:20:101:20;20:21:102:21");
    EXPECT_EQ(c["dacA.regions"], "0:30:201:30;30:31:202:31;61:32:203:32");
    // The sections are the file's samples one after the other.
    std::vector<int16_t> memory = cards.Dac(22, 0, 0, 93);
    ASSERT_EQ(memory.size(), 93u);
    for (int i = 0; i < 93; ++i) EXPECT_EQ(memory[i], static_cast<int16_t>(i * 97 - 14000)) << i;
    remove(path);
}

// A record that cannot be the documented one is refused, and nothing of it
// reaches the cards.
TEST_F(RecordLayout, MisplacedAndGarbageRecordsAreRefusedBeforeTheBus) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 20 M21\n"));
    size_t before = LogLines();
    // Misplaced: a block that does not start where its doubles can sit.
    std::vector<uint8_t> raw(sizeof(ChannelParams) + 8);
    auto* shifted = reinterpret_cast<ChannelParams*>(raw.data() + 1);
    EXPECT_EQ(Q90SetupChannels(shifted, 3), 0);
    EXPECT_EQ(ErrorText(), "Bad Parameter.  SetupChannels settings block not usable");
    // A scan list with more positions than there are, or a channel that is none.
    auto scan = std::make_unique<ProgScanList>();
    memset(scan.get(), 0, sizeof *scan);
    ChannelSetupReport report;
    ClearReport(report);
    scan->EntryCount = 4097;
    EXPECT_EQ(Q90NewSetupChannels(params.get(), scan.get(), &report), 0);
    EXPECT_EQ(ErrorText(), "Bad Parameter.  NewSetupChannels entry count 4097");
    scan->EntryCount = 3;
    scan->Entry[1].CHANNEL = 256;
    EXPECT_EQ(Q90NewSetupChannels(params.get(), scan.get(), &report), 0);
    EXPECT_EQ(ErrorText(), "Bad Parameter.  NewSetupChannels position 1 channel 256");
    for (int c = 0; c < kChannels; ++c) ASSERT_EQ(report.Failed[c], 0);
    // A multiplexer record that does not begin with its two ones.
    auto mux = std::make_unique<MuxSetupRecord>();
    memset(mux.get(), 0, sizeof *mux);
    mux->EntryCount = 1;
    mux->BlockCount = 1;
    EXPECT_EQ(Q90InitMux(mux.get(), 9, 1, 1000.0), 0);
    mux->One1 = mux->One2 = 1;
    EXPECT_EQ(Q90InitMux(mux.get(), 9, 2, 1000.0), 0);
    // An operation record of garbage, an odd entry count.
    auto op = std::make_unique<OperationRecord>();
    memset(op.get(), 0xA5, sizeof *op);
    const int32_t pairs[] = {20, 20};
    EXPECT_EQ(Q90NewBinarySetupDAC(pairs, 2, op.get()), 0);
    EXPECT_NE(ErrorText().find("NewBinarySetupDAC operation record begins"), std::string::npos);
    memset(op.get(), 0, sizeof *op);
    EXPECT_EQ(Q90NewBinarySetupDAC(pairs, 1, op.get()), 0);
    op->Dac[1].WaveSections = 4;
    EXPECT_EQ(Q90NewBinarySetupDAC(pairs, 2, op.get()), 0);
    EXPECT_EQ(ErrorText(), "Bad Parameter.  NewBinarySetupDAC DAC2 wave sections 4");
    op->Dac[1].WaveSections = 1;
    memset(op->Dac[0].WaveFile, 'x', sizeof op->Dac[0].WaveFile);
    EXPECT_EQ(Q90NewBinarySetupDAC(pairs, 2, op.get()), 0);
    EXPECT_EQ(ErrorText(), "Bad Parameter.  NewBinarySetupDAC DAC1 wave file name not terminated");
    EXPECT_EQ(LogLines(), before);
}

}  // namespace
