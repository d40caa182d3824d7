// The control-library binding and the simulated Q90ui entries, which reach
// the cards only over the GPIB driver.
#include <cstring>
#include <memory>

#include "hardware/q90_library.h"
#include "sim_fixture.h"
#include "base/status_report.h"

namespace {

class ControlLibrary : public SimTest {
  protected:
    std::unique_ptr<ChannelParams> params = std::make_unique<ChannelParams>();

    void SetUp() override {
        SimTest::SetUp();
        memset(params.get(), 0, sizeof *params);
        for (int c = 0; c < kChannels; ++c) {
            params->GAIN[c] = 1;
            params->VARIABLEGAIN[c] = 1;
            params->EXCITATIONVOLTAGE[c] = 10;
            params->AUTOBALANCEENABLE[c] = 1;
        }
    }
    void Load() {
        ASSERT_TRUE(LoadControlLibrary());
        ASSERT_TRUE(FakeMessages().empty()) << FakeMessages()[0].text;
    }
};

TEST_F(ControlLibrary, WithoutTheLibraryLoadingFailsAndNothingIsOpened) {
    FakeMapLibrary("Q90ui.dll", "");
    uint32_t calls = sim.callCount();
    EXPECT_FALSE(LoadControlLibrary());
    EXPECT_EQ(hQ90Library, nullptr);
    EXPECT_EQ(nDDSDevice, -1);
    EXPECT_EQ(sim.callCount(), calls);
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(ControlLibrary, LoadingOpensTheDdsAndInitialisesTheLibraryOverGpib) {
    ASSERT_NO_FATAL_FAILURE(Load());
    EXPECT_GE(nDDSDevice, 0);
    EXPECT_EQ(nNoTransferOutstanding, 1);
    EXPECT_NE(sim.Log().find("29:M0?\n"), std::string::npos);
}

TEST_F(ControlLibrary, AFrontEndThatDoesNotAnswerShowsTheErrorRecord) {
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\ndds absent\n"));
    EXPECT_TRUE(LoadControlLibrary());
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].caption, "Please Check Your National Instruments Setup");
    EXPECT_EQ(FakeMessages()[0].style, MB_OK_ | MB_ICONEXCLAMATION_);
    EXPECT_EQ(FakeMessages()[0].text, "GPIB Send Failed (iberr 2).  Command M0?");
}

TEST_F(ControlLibrary, ErrorTextTakesTheSecondMessageWhenFlaggedAndStaysInsideTheFields) {
    Q90ErrorRecord r = {};
    r.FirstFlag = 1;
    strcpy(r.First, "First");
    strcpy(r.Suffix, "Tail");
    char text[400];
    Q90ErrorText(r, text, sizeof text);
    EXPECT_STREQ(text, "First.  Tail");
    r.SecondFlag = 1;
    strcpy(r.Second, "Second");
    Q90ErrorText(r, text, sizeof text);
    EXPECT_STREQ(text, "Second.  Tail");
    // A library that fills a field to the brim gets no run-on into the next.
    memset(r.Second, 'x', sizeof r.Second);
    memset(r.Suffix, 'y', sizeof r.Suffix);
    Q90ErrorText(r, text, sizeof text);
    EXPECT_EQ(strlen(text), 128u + 3u + 128u);
    Q90ErrorRecord empty = {};
    EXPECT_FALSE(Q90ErrorHasMessage(empty));
}

TEST_F(ControlLibrary, AnInvalidHandleOrAMissingEntryIsReported) {
    hQ90Library = nullptr;
    EXPECT_EQ(Q90SelectChannel(3), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Problem loading Q90 library");
    FakeClearMessages();

    // A library without the control entries (the driver itself).
    hQ90Library = PlatformLoadLibrary("GPIB-32.DLL");
    ASSERT_NE(hQ90Library, nullptr);
    EXPECT_EQ(Q90Autobalance(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Problem loading Q90 library function");
    FakeClearMessages();

    // Remote-controlled: status code 15 instead of a box.
    bRemoteControlled = true;
    hErrorPipe = FakePipeCreate();
    EXPECT_EQ(Q90ResetCal(), 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_EQ(FakePipeBytes(hErrorPipe), "FATAL::Could Not Load Q90 DLL");
    hErrorPipe = 0;
}

TEST_F(ControlLibrary, ChannelSettingsGoToTheCardAndComeBack) {
    ASSERT_NO_FATAL_FAILURE(Load());
    params->GAIN[5] = 200;
    params->VARIABLEGAIN[5] = 3.25;
    params->VARIABLEGAINENABLE[5] = 1;
    params->FILTER[5] = 1250;
    params->EXCITATIONVOLTAGE[5] = 5;
    params->EXCITATIONCURRENT[5] = 15;
    params->EXCITATIONSOURCE[5] = 1;
    params->EXCITATIONENABLE[5] = 1;
    params->AUTOZEROENABLE[5] = 1;
    ASSERT_EQ(Q90SetupChannels(params.get(), 5), 1);
    ASSERT_EQ(Q90SelectChannel(5), 1);
    double gain = 0, vgain = 0, filter = -1, volts = 0, amps = 0;
    int32_t vgen = 0, xtype = -1, xen = -1, aben = -1, azen = -1;
    ASSERT_EQ(Q90GetGain(&gain, &vgain, &vgen), 1);
    EXPECT_EQ(gain, 200);
    EXPECT_EQ(vgain, 3.25);
    EXPECT_EQ(vgen, 1);
    ASSERT_EQ(Q90GetFilter(&filter), 1);
    EXPECT_EQ(filter, 1250);
    ASSERT_EQ(Q90GetVoltage(&volts), 1);
    EXPECT_EQ(volts, 5);
    ASSERT_EQ(Q90GetCurrent(&amps), 1);
    EXPECT_EQ(amps, 15);
    ASSERT_EQ(Q90GetModes(&xtype, &xen, &aben, &azen), 1);
    EXPECT_EQ(xtype, 1);
    EXPECT_EQ(xen, 1);
    EXPECT_EQ(aben, 1);
    EXPECT_EQ(azen, 1);
    // Channel 6 kept its own settings.
    ASSERT_EQ(Q90SelectChannel(6), 1);
    ASSERT_EQ(Q90GetGain(&gain, &vgain, &vgen), 1);
    EXPECT_EQ(gain, 1);
    EXPECT_EQ(vgen, 0);
    // All of it crossed the bus as card commands.
    std::string log = sim.Log();
    EXPECT_NE(log.find("29:C 5\n"), std::string::npos);
    EXPECT_NE(log.find("29:G 200\n"), std::string::npos);
    EXPECT_NE(log.find("29:S?\n"), std::string::npos);
}

TEST_F(ControlLibrary, DefinitionTableReportsTheCardModelAndOptions) {
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\ncard 7 M17-B serial 4711\n"));
    ASSERT_NO_FATAL_FAILURE(Load());
    DefinitionTable table;
    memset(&table, 0x55, sizeof table);
    ASSERT_EQ(Q90SelectChannel(7), 1);
    ASSERT_EQ(Q90QueryDefinitionTable(9, &table), 1);
    EXPECT_EQ(table.ModuleCode, 800);
    EXPECT_EQ(table.SerialNumber, 4711);
    EXPECT_EQ(table.Gains[0], 1);
    EXPECT_EQ(table.Gains[12], 1000);
    EXPECT_EQ(table.Gains[15], 0);
    EXPECT_EQ(table.Voltages[9], 10);
    EXPECT_EQ(table.Reserved1[0], 0);
}

// Missing and refusing cards fail the download of exactly their channels,
// with the stage and error bits the setup log reports.
TEST_F(ControlLibrary, NewSetupChannelsReportsMissingAndRefusingCards) {
    ASSERT_NO_FATAL_FAILURE(
        sim.Configure("timebase virtual\ncard 2 M15-C missing\ncard 9 M16 refuse 32\n"));
    ASSERT_NO_FATAL_FAILURE(Load());
    auto scan = std::make_unique<ProgScanList>();
    memset(scan.get(), 0, sizeof *scan);
    const uint32_t channels[] = {1, 2, 9, 2, 4};
    scan->EntryCount = 5;
    for (uint32_t i = 0; i < 5; ++i) scan->Entry[i].CHANNEL = channels[i];
    scan->Entry[5].CHANNEL = 3;  // beyond the entry count: not set up
    ChannelSetupReport report;
    for (int c = 0; c < kChannels; ++c) {
        report.Failed[c] = 0;
        report.Stage[c] = -1;
        report.ErrorBit[c] = 0;
    }
    EXPECT_EQ(Q90NewSetupChannels(params.get(), scan.get(), &report), 0);
    struct Expect {
        int c, failed, stage, bits;
    } table[] = {{1, 0, -1, 0}, {2, 1, 0, 64}, {3, 0, -1, 0}, {4, 0, -1, 0}, {9, 1, 0, 32}};
    for (const Expect& e : table) {
        EXPECT_EQ(report.Failed[e.c], e.failed) << e.c;
        EXPECT_EQ(report.Stage[e.c], e.stage) << e.c;
        EXPECT_EQ(report.ErrorBit[e.c], e.bits) << e.c;
    }
    EXPECT_EQ(sim.Log().find("29:C 3\n"), std::string::npos);
    // A bad value is refused at its stage.
    params->GAIN[4] = -1;
    EXPECT_EQ(Q90SetupChannels(params.get(), 4), 0);
    Q90ErrorRecord record = {};
    ASSERT_EQ(Q90GetErrorStatus(&record), 1);
    char text[400];
    Q90ErrorText(record, text, sizeof text);
    EXPECT_STREQ(text, "Card Command Refused: Bad Parameter.  Command G -1, Error Bits 4");
}

TEST_F(ControlLibrary, AutobalanceNullsTheImbalanceOfEnabledCardsOnly) {
    ASSERT_NO_FATAL_FAILURE(Load());
    ASSERT_EQ(Q90SelectChannel(1), 1);
    EXPECT_EQ(Q90Autobalance(), 1);
    params->AUTOBALANCEENABLE[1] = 0;
    ASSERT_EQ(Q90SetupChannels(params.get(), 1), 1);
    EXPECT_EQ(Q90Autobalance(), 0);
    EXPECT_EQ(Q90SelectChannel(300), 0);
}

TEST_F(ControlLibrary, CalibrationDigitalAndDacEntriesAnswer) {
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\ncard 20 M21\ncard 12 M18-A\n"));
    ASSERT_NO_FATAL_FAILURE(Load());
    ASSERT_EQ(Q90SelectChannel(0), 1);
    EXPECT_EQ(Q90SelectCal(20), 1);
    EXPECT_EQ(Q90SelectCal(13), 0);  // a state the card does not offer
    EXPECT_EQ(Q90SetCalAttenuator(100), 1);
    EXPECT_EQ(Q90SetCalAttenuator(50), 0);
    EXPECT_EQ(Q90SelectOpModes(5, 1), 1);
    EXPECT_EQ(Q90ResetCal(), 1);

    EXPECT_EQ(Q90SetDigitalOut(12, 1, 0, 0), 1);
    EXPECT_EQ(Q90GetDigitalOut(12), 1);
    EXPECT_EQ(sim.digitalOut(12), 1);
    EXPECT_EQ(Q90SetDigitalOut(12, 0, 0, 0), 1);
    EXPECT_EQ(Q90GetDigitalOut(12), 0);

    EXPECT_EQ(Q90SetupDACFilters(20, 1, 3), 1);
    EXPECT_EQ(Q90SetupDACFilters(21, 0, 3), 0);  // not a DAC card
    auto setup = reinterpret_cast<int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                              int32_t, const int16_t*)>(
        PlatformGetProc(hQ90Library, "OldSetupDAC"));
    auto start = reinterpret_cast<int32_t (*)(int32_t, int32_t)>(PlatformGetProc(hQ90Library, "StartDAC"));
    auto level = reinterpret_cast<int32_t (*)(int32_t, int32_t, int32_t)>(
        PlatformGetProc(hQ90Library, "SetupDACImmediate"));
    ASSERT_TRUE(setup && start && level);
    int16_t wave[100];
    for (int i = 0; i < 100; ++i) wave[i] = static_cast<int16_t>(i * 300 - 15000);
    EXPECT_NE(setup(20, 0, 0, 0, 100, 1, 1, wave), 0);
    EXPECT_NE(start(-1, 0), 0);
    EXPECT_NE(level(20, 1, 2500), 0);
    EXPECT_EQ(level(5, 1, 2500), 0);  // no DAC card there
}

}  // namespace
