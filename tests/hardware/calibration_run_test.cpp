// Calibration runs and procedures against the simulated front end: channels
// whose cards have a known reference error and zero error must come out of
// the run with the slope and offset those errors imply, on 12- and 16-bit
// converters; worn and overdriven cards show in "Show Bad Cals"; failures
// leave the DDS stopped and the channel as it was; a procedure drives the
// calibration fixture step by step and its results are kept or thrown away
// as the operator chooses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/app_state.h"
#include "calibration/cal_fit.h"
#include "calibration/cal_input_mode.h"
#include "calibration/cal_procedure.h"
#include "calibration/cal_run.h"
#include "card_fixture.h"
#include "scanlist/scan_table.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text;
    for (char c : s.str())
        if (c != '\r') text += c;
    return text;
}

void Collect(void* context, const char* text) { static_cast<std::vector<std::string>*>(context)->push_back(text); }

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

// The states of the runs below (codes): zero, voltage reference x1.0,
// x0.1, x0.01 and x0.001.
constexpr int32_t kZero = 1, kVolt1 = 2, kVolt01 = 3, kVolt001 = 4, kVolt0001 = 5;

class CalibrationRun : public SimTest {
  protected:
    CardControls cards;
    std::string dir;
    std::vector<std::string> progress;
    CalProgress sink;

    void SetUp() override {
        SimTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(cards.Bind(sim.lib));
        FreeTestModel();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        dir = ::testing::TempDir();
        snprintf(szTestFile, sizeof szTestFile, "%scalrun.mdb", dir.c_str());
        bTestSaved = true;
        sink.line = Collect;
        sink.context = &progress;
    }
    void TearDown() override {
        for (int c = 0; c < 8; ++c) remove(LogPath(c).c_str());
        FreeTestModel();
        SimTest::TearDown();
    }
    std::string LogPath(int32_t channel) const { return dir + "calrun." + std::to_string(channel); }

    // The chassis, then channels 0-3 in one block of the scan table.
    void Load(const std::string& chassis) {
        ASSERT_NO_FATAL_FAILURE(sim.Configure(chassis));
        ASSERT_TRUE(LoadControlLibrary());
        lpProgScanList->EntryCount = 4;
        lpProgScanList->BlockCount = 1;
        for (uint32_t c = 0; c < 4; ++c) lpProgScanList->Entry[c] = {c, 0, 0, 0};
        FakeClearMessages();
    }
    // The channel's card model and gain in the test, downloaded to its card,
    // with the states and their engineering values.
    void Channel(int32_t c, const char* model, double gain, std::vector<int32_t> states, std::vector<double> eus) {
        ChannelParams& p = *lpsChannelParams;
        snprintf(p.CardModel[c], sizeof p.CardModel[c], "%s", model);
        p.GAIN[c] = gain;
        p.AUTOZEROENABLE[c] = 0;  // the zero error stays on every state
        ASSERT_EQ(Q90SetupChannels(lpsChannelParams, c), 1) << c;
        p.Cal.ACTIVESTATES[c] = static_cast<int32_t>(states.size());
        for (size_t s = 0; s < states.size(); ++s) {
            p.Cal.STATE[s][c] = states[s];
            p.Cal.EU[c][s] = eus[s];
        }
    }
    bool DdsScanning() {
        EXPECT_EQ(SendCommand(kDdsAddress, "M0?"), 1);
        char reply[4] = {};
        Receive(kGpibBoard, kDdsAddress, reply, 4, kSTOPend);
        EXPECT_EQ(CheckDDSResponse(), 1);
        return reply[1] == '1';
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> m;
        for (const FakeMessage& f : FakeMessages()) m.push_back(f.text + " [" + f.caption + "]");
        return m;
    }
};

// One mV-level case: a card, its gain, its reference (the "gain error": the
// operator's engineering values assume 5000 mV) and its zero error.
struct TruthCase {
    const char* name;
    const char* model;
    int32_t bits;
    double gain;
    double reference, zeroError;
    std::vector<int32_t> states;
    std::vector<double> nominal;  // mV the operator believes each state gives
};

TEST_F(CalibrationRun, KnownReferenceAndZeroErrorsComeOutAsSlopeAndOffset) {
    // EU = 0.5 per nominal mV, so the true line is slope 0.5 x 5000 / reference
    // and offset -zeroError x slope.
    const TruthCase cases[] = {
        {"16-bit, gain 1", "M15-C", 16, 1, 5100, 3, {kZero, kVolt1, kVolt01}, {0, 5000, 500}},
        {"12-bit, gain 1", "M16", 12, 1, 4900, -8, {kZero, kVolt1, kVolt01}, {0, 5000, 500}},
        {"16-bit, gain 100", "M17-C", 16, 100, 5050, 0.5, {kZero, kVolt001, kVolt0001}, {0, 50, 5}},
        {"12-bit, gain 10", "M13-B", 12, 10, 4980, 2, {kZero, kVolt01, kVolt001}, {0, 500, 50}},
    };
    for (const TruthCase& k : cases) {
        SCOPED_TRACE(k.name);
        char chassis[300];
        snprintf(chassis, sizeof chassis, "timebase virtual\ncard 0 %s\ncal 0 reference %g offset %g\n", k.model,
                 k.reference, k.zeroError);
        ASSERT_NO_FATAL_FAILURE(Load(chassis));
        std::vector<double> eus;
        for (double mv : k.nominal) eus.push_back(0.5 * mv);
        ASSERT_NO_FATAL_FAILURE(Channel(0, k.model, k.gain, k.states, eus));
        lpsChannelParams->SENSITIVITY[0] = 7;
        lpsChannelParams->OFFSET[0] = 7;
        BeginCalibrationSession();
        progress.clear();

        ASSERT_EQ(CalibrateChannel(0, sink), 1) << testing::PrintToString(Messages());
        EXPECT_TRUE(FakeMessages().empty()) << testing::PrintToString(Messages());
        EXPECT_TRUE(ChannelCalibrated(0));
        EXPECT_FALSE(DdsScanning());
        // Each state reads its true level within one converter step.
        const double step = 10000.0 / (k.bits == 12 ? 2048 : 32768) / k.gain;
        for (size_t s = 0; s < k.states.size(); ++s) {
            const double level = k.nominal[s] * k.reference / 5000.0 + k.zeroError;
            EXPECT_NEAR(lpsChannelParams->Cal.MEAN[0][s], level, step) << s;
            EXPECT_EQ(lpsChannelParams->Cal.DEVIATION[0][s], 0.0) << s;
        }
        // Until applied the channel keeps its values; the dialog previews.
        EXPECT_EQ(lpsChannelParams->SENSITIVITY[0], 7);
        const double slope = 0.5 * 5000.0 / k.reference, offset = -k.zeroError * slope;
        // Tolerance: the means are within a converter step, spread over the
        // largest nominal level.
        const double span = k.nominal[1] * k.reference / 5000.0;
        const double slopeTolerance = slope * 2 * step / span, offsetTolerance = 2 * step * slope;
        double shownSlope = 0, shownOffset = 0;
        ShownSlopeAndOffset(0, &shownSlope, &shownOffset);
        EXPECT_NEAR(shownSlope, slope, slopeTolerance);

        EXPECT_FALSE(bParametersDownloaded) << "the DDS scans the calibration frame";
        EXPECT_EQ(ApplyCalibratedSlopes(), 1);
        EXPECT_TRUE(bParametersDownloaded);
        EXPECT_NEAR(lpsChannelParams->SENSITIVITY[0], slope, slopeTolerance);
        EXPECT_NEAR(lpsChannelParams->OFFSET[0], offset, offsetTolerance);
        EXPECT_FALSE(bTestSaved);
        bTestSaved = true;
        // The scan table of the test is back in the DDS.
        const std::string log = sim.Log();
        EXPECT_NE(log.rfind("29:K0 4,1,"), std::string::npos) << log;
        EXPECT_GT(log.rfind("29:K0 4,1,"), log.rfind("29:K0 64,64,"));
        // The card is back on its input.
        auto card = cards.Card(0);
        EXPECT_EQ(card["calSource"], "10");
        EXPECT_EQ(card["attenuation"], "1000");
        EXPECT_EQ(card["opModes"], "0");
    }
}

TEST_F(CalibrationRun, TheRunLogsEveryStateAndShowsItsProgress) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 0-3 M15-C\ncal 2 reference 5000 offset 1\n"));
    ASSERT_NO_FATAL_FAILURE(Channel(2, "M15-C", 1, {kZero, kVolt1}, {0, 100}));
    BeginCalibrationSession();
    ASSERT_EQ(CalibrateChannel(2, sink), 1);
    EXPECT_EQ(progress, (std::vector<std::string>{"Performing Zero Cal on Channel 2",
                                                  "Performing Voltage * 1.0 Cal on Channel 2"}));
    char expected[300];
    snprintf(expected, sizeof expected,
             "CALIBRATION INFO FOR CHANNEL 2\nZero Input\nMean = %f\nDeviation = %f\nVoltage Cal * 1.0\n"
             "Mean = %f\nDeviation = %f\n",
             lpsChannelParams->Cal.MEAN[2][0], 0.0, lpsChannelParams->Cal.MEAN[2][1], 0.0);
    EXPECT_EQ(ReadText(LogPath(2)), expected);
    EXPECT_NEAR(lpsChannelParams->Cal.MEAN[2][1], Quantised(5001, 1, 32768), 1e-9);

    // A dot in a directory name stays: the log is cut at the file name's dot.
    std::string dotted = dir + "cal.v2";
    PlatformCreateDirectory(dotted.c_str());
    snprintf(szTestFile, sizeof szTestFile, "%s/t1.mdb", dotted.c_str());
    ASSERT_EQ(CalibrateChannel(2, sink), 1);
    EXPECT_EQ(ReadText(dotted + "/t1.2").substr(0, 31), "CALIBRATION INFO FOR CHANNEL 2\n");
    remove((dotted + "/t1.2").c_str());

    // A log that cannot be written is said in the progress; the run goes on.
    snprintf(szTestFile, sizeof szTestFile, "%sno-such-dir/t1.mdb", dir.c_str());
    progress.clear();
    ASSERT_EQ(CalibrateChannel(2, sink), 1);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress[0].substr(0, 35), "Could Not Write The Calibration Log");
    EXPECT_EQ(progress.size(), 3u);
}

TEST_F(CalibrationRun, AScanListRunCoversEveryScannedChannelAndAsksAfterAFailure) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 0-3 M15-C\ncal 1 lacks 31\ncal 3 lacks 31\n"));
    for (int c = 0; c < 4; ++c) ASSERT_NO_FATAL_FAILURE(Channel(c, "M15-C", 1, {kZero, kVolt1}, {0, 1}));
    lpsChannelParams->Cal.STATE[1][1] = 6;  // R Shunt Cal 1: channel 1's card lacks it
    BeginCalibrationSession();
    FakePushAnswer(IDYES_);
    EXPECT_EQ(CalibrateScanListChannels(sink), 3);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Channel 1 Failed Cal.\nContinue With Next Channel?");
    EXPECT_EQ(FakeMessages()[0].caption, "Continue Calibration Of Scan List Channels?");
    EXPECT_TRUE(Contains(progress, "Channel 1 Does Not Support This Calibration State"));
    EXPECT_TRUE(ChannelCalibrated(0));
    EXPECT_FALSE(ChannelCalibrated(1));
    EXPECT_TRUE(ChannelCalibrated(3));
    EXPECT_EQ(cards.Card(1)["calSource"], "10") << "the failed card is back on its input";
    EXPECT_FALSE(DdsScanning());

    // No stops the run.
    BeginCalibrationSession();
    FakeClearMessages();
    FakePushAnswer(IDNO_);
    EXPECT_EQ(CalibrateScanListChannels(sink), 1);
    EXPECT_FALSE(ChannelCalibrated(2));

    // After the last scanned channel there is nothing to go on with: no
    // question.
    lpsChannelParams->Cal.STATE[1][1] = kVolt1;
    lpsChannelParams->Cal.STATE[1][3] = 6;
    BeginCalibrationSession();
    FakeClearMessages();
    EXPECT_EQ(CalibrateScanListChannels(sink), 3);
    EXPECT_FALSE(ChannelCalibrated(3));
    EXPECT_TRUE(FakeMessages().empty()) << testing::PrintToString(Messages());
}

TEST_F(CalibrationRun, WornAndOverdrivenCardsShowInShowBadCals) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 0-2 M15-C\ncard 3 M16\n"
                                 "cal 0 reference 12000\ncal 1 noise 300\n"));
    ASSERT_NO_FATAL_FAILURE(Channel(0, "M15-C", 1, {kVolt1, kVolt01}, {0, 1}));
    ASSERT_NO_FATAL_FAILURE(Channel(1, "M15-C", 1, {kVolt1, kVolt01}, {0, 1}));
    ASSERT_NO_FATAL_FAILURE(Channel(2, "M15-C", 1, {kVolt1, kVolt01}, {0, 1}));
    ASSERT_NO_FATAL_FAILURE(Channel(3, "M16", 1, {kVolt1, kVolt01}, {0, 1}));
    BeginCalibrationSession();
    for (int c = 0; c < 4; ++c) ASSERT_EQ(CalibrateChannel(c, sink), 1) << c;
    // Channel 0: 12 V reference beyond full scale at x1.0 only.  Channel 1:
    // +-300 mV of noise (deviation about 173 mV) is more than a tenth of
    // 500 mV (x0.1) but not of 5000 mV.  The 12-bit good
    // card and the good 16-bit card pass.
    EXPECT_EQ(BadCalibrationLines(), (std::vector<std::string>{"Overloaded Channel 0 State 1",
                                                               "Deviation > Than 10% Of Mean Channel 1 State 2"}));
    // A 12-bit channel reading 2048 counts at gain 1 reads 10000 mV: overloaded.
    EXPECT_TRUE(CalMeanOverloaded(3, 2048 * 10000.0 / 2048));
    EXPECT_FALSE(CalMeanOverloaded(3, 9994.9));
    EXPECT_TRUE(CalMeanOverloaded(3, -9995.0));
    lpsChannelParams->GAIN[3] = 10;
    EXPECT_TRUE(CalMeanOverloaded(3, 999.5));
    lpsChannelParams->GAIN[3] = 0;  // counts as 1
    EXPECT_FALSE(CalMeanOverloaded(3, 999.5));
}

TEST_F(CalibrationRun, ExitWithoutApplyLeavesEveryChannelAsItWas) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 0-3 M15-C\ncal 0-3 reference 5200\n"));
    for (int c = 0; c < 4; ++c) {
        ASSERT_NO_FATAL_FAILURE(Channel(c, "M15-C", 1, {kZero, kVolt1}, {0, 1}));
        lpsChannelParams->SENSITIVITY[c] = 1.5 + c;
        lpsChannelParams->OFFSET[c] = -c;
    }
    BeginCalibrationSession();
    ASSERT_EQ(CalibrateScanListChannels(sink), 4);
    // A table the front end refuses leaves the test not downloaded, so the
    // calibration frame is never taken for the test's scans.
    ASSERT_NO_FATAL_FAILURE(sim.Arm("refuse \"K0\""));
    FakeClearMessages();
    EXPECT_EQ(EndCalibrationSession(), 0);
    EXPECT_FALSE(bParametersDownloaded);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].caption, "Failed To Setup DDS With Scanlist");
    EXPECT_EQ(EndCalibrationSession(), 1);
    EXPECT_TRUE(bParametersDownloaded);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(lpsChannelParams->SENSITIVITY[c], 1.5 + c);
        EXPECT_EQ(lpsChannelParams->OFFSET[c], -c);
    }
    EXPECT_TRUE(bTestSaved);
}

// The read of a state that never arrives: its mean must not be the samples
// of the state before, and the DDS must not be left scanning.
TEST_F(CalibrationRun, AStateWhoseDataNeverCameKeepsNoMeanAndTheDdsStops) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 0-3 M15-C\n"));
    ASSERT_NO_FATAL_FAILURE(Channel(0, "M15-C", 1, {kVolt1, kVolt01, kVolt1}, {0, 1, 2}));
    BeginCalibrationSession();
    // Transfers since configuration: the second state's is the second.
    ASSERT_NO_FATAL_FAILURE(sim.Arm("fault 2 timeout"));
    ASSERT_EQ(CalibrateChannel(0, sink), 1);
    ASSERT_EQ(FakeMessages().size(), 1u) << testing::PrintToString(Messages());
    EXPECT_EQ(FakeMessages()[0].text, "The Data From State 2 Is Invalid");
    EXPECT_EQ(FakeMessages()[0].caption, "Error Receiving Data");
    const CalRecord& cal = lpsChannelParams->Cal;
    EXPECT_NEAR(cal.MEAN[0][0], 5000, 0.001);
    EXPECT_EQ(cal.MEAN[0][1], 0.0);
    EXPECT_NEAR(cal.MEAN[0][2], 5000, 0.001) << "the DDS was stopped and started again for state 3";
    EXPECT_FALSE(DdsScanning());

    // An upload the DDS refused sends nothing: the same for state 1.
    ASSERT_NO_FATAL_FAILURE(sim.Arm("refuse \"U\""));
    FakeClearMessages();
    ASSERT_EQ(CalibrateChannel(0, sink), 1);
    ASSERT_FALSE(FakeMessages().empty());
    EXPECT_EQ(FakeMessages()[0].text, "The Data From State 1 Is Invalid");
    EXPECT_EQ(cal.MEAN[0][0], 0.0);
    EXPECT_NEAR(cal.MEAN[0][1], Quantised(500, 1, 32768), 1e-9);
    EXPECT_FALSE(DdsScanning());
}

TEST_F(CalibrationRun, HardwareFailuresEndTheRunWithTheirMessages) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 0-2 M15-C\ncard 3 M15-C missing\n"));
    ASSERT_NO_FATAL_FAILURE(Channel(0, "M15-C", 1, {kZero, kVolt1}, {0, 1}));
    const struct {
        const char* arm;  // armed before the run ("" = none)
        int32_t channel;
        const char* message;
        const char* caption;
    } table[] = {
        {"sendfail 1", 0, "Could Not Check DDS Status", ""},
        {"", 3, "Error Selecting Channel For Calibration", "Channel Select Error"},
        {"refuse \"M0?\"", 0, "DDS Status Check Did Not Complete", ""},
        {"refuse \"K0\"", 0, "The DDS Could Not Be Initialized", "Error Setting Up Scan List"},
        {"refuse \"M0 1,1\"", 0, "DDS Start Serial Poll Did Not Complete", ""},
    };
    for (const auto& k : table) {
        SCOPED_TRACE(k.message);
        if (k.arm[0]) {
            ASSERT_NO_FATAL_FAILURE(sim.Arm(k.arm));
        }
        BeginCalibrationSession();
        FakeClearMessages();
        EXPECT_EQ(CalibrateChannel(k.channel, sink), 0);
        EXPECT_FALSE(ChannelCalibrated(k.channel));
        bool found = false;
        for (const FakeMessage& m : FakeMessages())
            found = found || (m.text == k.message && m.caption == k.caption);
        EXPECT_TRUE(found) << testing::PrintToString(Messages());
        EXPECT_FALSE(DdsScanning());
    }
}

// In simulator mode every state reads 10 mV: the means do not spread, so no
// line exists.  Applying must not store NaN: the channel keeps its values.
TEST_F(CalibrationRun, SimulatorModeReadsTenMillivoltsAndApplyStoresNoNaN) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\n"));
    ASSERT_NO_FATAL_FAILURE(Channel(0, "M15-C", 1, {kZero, kVolt1, kVolt01}, {0, 100, 10}));
    ASSERT_NO_FATAL_FAILURE(Channel(1, "M15-C", 1, {kZero}, {0}));
    lpsChannelParams->SENSITIVITY[0] = 2.5;
    lpsChannelParams->OFFSET[0] = 1.25;
    bSimulator = true;
    const uint32_t calls = sim.callCount();
    const uint32_t start = PlatformTimeMs();
    BeginCalibrationSession();
    ASSERT_EQ(CalibrateChannel(0, sink), 1);
    ASSERT_EQ(CalibrateChannel(1, sink), 1);
    EXPECT_EQ(sim.callCount(), calls) << "nothing reaches the bus";
    EXPECT_GE(PlatformTimeMs() - start, 4 * 500u);
    for (int s = 0; s < 3; ++s) {
        EXPECT_EQ(lpsChannelParams->Cal.MEAN[0][s], 10.0);
        EXPECT_EQ(lpsChannelParams->Cal.DEVIATION[0][s], 0.0);
    }
    FakeClearMessages();
    EXPECT_EQ(ApplyCalibratedSlopes(), 1) << "only the one-state channel is stored";
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].caption, "Calibration Fit Failed");
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[0], 2.5);
    EXPECT_EQ(lpsChannelParams->OFFSET[0], 1.25);
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[1], 1.0);  // one state: 1.0 and 0
    EXPECT_EQ(lpsChannelParams->OFFSET[1], 0.0);
    for (int c = 0; c < kChannels; ++c) {
        ASSERT_TRUE(std::isfinite(lpsChannelParams->SENSITIVITY[c])) << c;
        ASSERT_TRUE(std::isfinite(lpsChannelParams->OFFSET[c])) << c;
    }
}

// The input mode chosen from the menu while sampling puts the selected
// channel's card on the state's source and attenuator; Transducer takes it
// back to its input.
TEST_F(CalibrationRun, TheInputModeSwitchesTheSelectedChannelsCard) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\ncard 0-3 M15-C\ncal 2 lacks 31\n"));
    nSelectedChannel = 2;
    lpsChannelParams->AUTOZEROENABLE[2] = 0;
    const struct {
        int32_t code, result;
        const char *source, *attenuation, *opModes;
    } table[] = {
        {3, 1, "20", "100", "0"},  {5, 1, "20", "1", "0"},   {1, 1, "10", "1000", "14"},
        {11, 1, "51", "1000", "0"}, {0, 1, "10", "1000", "0"}, {6, 0, "10", "1000", "0"},
        {13, 0, "10", "1000", "0"},
    };
    for (const auto& k : table) {
        SCOPED_TRACE(k.code);
        ASSERT_EQ(Q90SelectChannel(2), 1);
        ASSERT_EQ(Q90ResetCal(), 1);
        EXPECT_EQ(SetChannelInputMode(k.code), k.result);
        auto card = cards.Card(2);
        EXPECT_EQ(card["calSource"], k.source);
        EXPECT_EQ(card["attenuation"], k.attenuation);
        EXPECT_EQ(card["opModes"], k.opModes);
    }
    EXPECT_EQ(cards.Card(0)["calSource"], "10") << "only the selected channel";

    // The engine's pending change applies the current mode.
    nInputMode = 2;
    ApplyInputModeChange();
    EXPECT_EQ(cards.Card(2)["calSource"], "20");
    EXPECT_EQ(cards.Card(2)["attenuation"], "1000");

    // Without a selected channel the scan table's first channel; with an
    // empty table there is none.
    nSelectedChannel = -1;
    lpProgScanList->Entry[0].CHANNEL = 3;
    EXPECT_EQ(SetChannelInputMode(2), 1);
    EXPECT_EQ(cards.Card(3)["calSource"], "20");
    lpProgScanList->EntryCount = 0;
    EXPECT_EQ(InputModeChannel(), -1);
    EXPECT_EQ(SetChannelInputMode(2), 0);
    // Simulator mode sends nothing and succeeds.
    bSimulator = true;
    const uint32_t calls = sim.callCount();
    EXPECT_EQ(SetChannelInputMode(3), 1);
    EXPECT_EQ(sim.callCount(), calls);
    nSelectedChannel = 0;
    nInputMode = -1;
}

// ---- procedures with the calibration fixture ---------------------------------------------

void NoteAcknowledge(void* context, const char* text, const char* caption) {
    static_cast<std::vector<std::string>*>(context)->push_back(std::string(text) + " [" + caption + "]");
}
void NoteStatus(void* context, const char* text) {
    static_cast<std::vector<std::string>*>(context)->push_back(std::string("status: ") + text);
}

class CalibrationProcedure : public CalibrationRun {
  protected:
    std::vector<std::string> events;
    CalProcedureUi ui;

    void SetUp() override {
        CalibrationRun::SetUp();
        ui.context = &events;
        ui.acknowledge = NoteAcknowledge;
        ui.status = NoteStatus;
    }
    void Command(int32_t k, const char* name, const char* text, int32_t delay) {
        snprintf(lpsCalCommands->Name[k], sizeof lpsCalCommands->Name[k], "%s", name);
        snprintf(lpsCalCommands->Command[k], sizeof lpsCalCommands->Command[k], "%s", text);
        lpsCalCommands->Delay[k] = static_cast<uint32_t>(delay);
    }
    // Procedure 3 (type 2): three transducer-input steps with the fixture at
    // 0 V (acknowledged), 1 V (250 ms) and 1.5 V (acknowledged).
    void ThreeStepProcedure() {
        Command(4, "Zero", "*RST;OUT 0 V", 0);
        Command(5, "One Volt", "OUT 1 V", 250);
        Command(6, "One And A Half", "OUT 1.5 V", -1);
        lpsCalTypes->STATES[2] = 3;
        const uint32_t commands[3] = {4, 5, 6};
        for (int i = 0; i < 3; ++i) {
            lpsCalTypes->STATE[i][2] = 0;  // transducer input
            lpsCalTypes->STRING[i][2] = commands[i];
        }
        for (int c = 0; c < kChannels; ++c) lpsChannelParams->Cal.CALTYPE[c] = -1;
    }
};

TEST_F(CalibrationProcedure, AProcedureDrivesTheFixtureAndFitsEveryChannelOfItsType) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\nfixture srq\nwire 0-3\ncard 0 M15-C\n"
                                 "card 1 M15-C imbalance 12.5\ncard 2 M16\ncard 3 M15-C\n"));
    ThreeStepProcedure();
    const double gains[] = {1, 2, 5};
    for (int c = 0; c < 3; ++c) {
        ASSERT_NO_FATAL_FAILURE(Channel(c, c == 2 ? "M16" : "M15-C", gains[c], {9}, {0}));
        lpsChannelParams->Cal.CALTYPE[c] = 2;
        for (int s = 0; s < 3; ++s) lpsChannelParams->Cal.EU[c][s] = s == 0 ? 0 : (s == 1 ? 100 : 150);
    }
    lpsChannelParams->AUTOBALANCEENABLE[1] = 0;  // channel 1 keeps its 12.5 mV imbalance
    ASSERT_EQ(Q90SetupChannels(lpsChannelParams, 1), 1);
    ASSERT_NO_FATAL_FAILURE(Channel(3, "M15-C", 1, {kZero}, {0}));
    lpsChannelParams->SENSITIVITY[3] = 4;
    lpsChannelParams->Cal.CALTYPE[3] = 5;  // another procedure: not touched
    TakeKeptCalibration();
    const uint32_t start = PlatformTimeMs();

    EXPECT_EQ(RunCalProcedure(3, sink, ui), 3) << testing::PrintToString(Messages());
    EXPECT_GE(PlatformTimeMs() - start, 250u);
    EXPECT_TRUE(FakeMessages().empty()) << testing::PrintToString(Messages());
    // Delays 0 and -1 both wait for the operator; 250 ms waits by the clock.
    EXPECT_EQ(events, (std::vector<std::string>{
                          "Press OK To Continue Calibration [Waiting For User Acknowledge]",
                          "status: Automatic Action In Progress",
                          "Press OK To Continue Calibration [Waiting For User Acknowledge]",
                          "status: Finished Last Calibration"}));
    EXPECT_EQ(progress[0], "Issuing Command Zero To External Calibrator");
    EXPECT_EQ(progress[1], "Waiting 0 MilliSeconds");
    EXPECT_EQ(progress[2], "Performing Transducer Cal on Channel 0");
    EXPECT_TRUE(Contains(progress, "Waiting 250 MilliSeconds"));
    EXPECT_TRUE(Contains(progress, "Waiting For User Acknowledge"));
    EXPECT_FALSE(Contains(progress, "Performing Transducer Cal on Channel 3"));

    // 0.1 EU per mV; channel 1's imbalance shifts its offset by -1.25 EU.
    // Tolerance: two converter steps over the 1500 mV span.
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const double step = 10000.0 / (c == 2 ? 2048 : 32768) / gains[c];
        EXPECT_EQ(lpsChannelParams->Cal.ACTIVESTATES[c], 3) << "the procedure's states became the channel's";
        EXPECT_NEAR(lpsChannelParams->SENSITIVITY[c], 0.1, 0.1 * 2 * step / 1500);
        EXPECT_NEAR(lpsChannelParams->OFFSET[c], c == 1 ? -1.25 : 0.0, 0.1 * 2 * step);
    }
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[3], 4);
    // Every step's command reached the fixture in order, its request cleared.
    const std::string log = sim.Log();
    size_t a = log.find("28:*RST;OUT 0 V\n"), b = log.find("28:OUT 1 V\n"), c = log.find("28:OUT 1.5 V\n");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(cards.Fixture()["requesting"], "0");
    EXPECT_FALSE(DdsScanning());
}

TEST_F(CalibrationProcedure, KeepChoicesDecideWhatExitLeaves) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\nfixture srq\nwire 0-3\ncard 0-3 M15-C\n"));
    ThreeStepProcedure();
    for (int c = 0; c < 4; ++c) {
        ASSERT_NO_FATAL_FAILURE(Channel(c, "M15-C", 1, {9}, {0}));
        lpsChannelParams->Cal.CALTYPE[c] = 2;
        lpsChannelParams->SENSITIVITY[c] = 3.0 + c;
        lpsChannelParams->OFFSET[c] = 0.5 * c;
        for (int s = 0; s < 3; ++s) lpsChannelParams->Cal.EU[c][s] = s == 0 ? 0 : (s == 1 ? 100 : 150);
    }
    auto original = [](int c) { return std::make_pair(3.0 + c, 0.5 * c); };
    auto now = [](int c) { return std::make_pair(lpsChannelParams->SENSITIVITY[c], lpsChannelParams->OFFSET[c]); };

    // Keep None, then Exit: every channel as when the dialog opened.
    TakeKeptCalibration();
    ASSERT_EQ(RunCalProcedure(3, sink, ui), 4);
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(lpsChannelParams->SENSITIVITY[c], 0.1, 1e-3) << c;
    EXPECT_EQ(CalResultLine(0).substr(0, 22), "CHAN0    0.1000 mV per");
    KeepCalibration(KeepChoice::None, nullptr);
    EXPECT_EQ(ExitCalProcedures(), 1);
    for (int c = 0; c < kChannels; ++c) {
        const auto expect = c < 4 ? original(c) : std::make_pair(1.0, 0.0);
        ASSERT_EQ(now(c), expect) << c;
    }

    // Keep Selected (channels 1 and 3): only those keep the procedure's values.
    TakeKeptCalibration();
    ASSERT_EQ(RunCalProcedure(3, sink, ui), 4);
    const auto fitted = [&] {
        std::vector<std::pair<double, double>> v;
        for (int c = 0; c < 4; ++c) v.push_back(now(c));
        return v;
    }();
    bool selected[kChannels] = {};
    selected[1] = selected[3] = true;
    KeepCalibration(KeepChoice::Selected, selected);
    EXPECT_EQ(ExitCalProcedures(), 1);
    EXPECT_EQ(now(0), original(0));
    EXPECT_EQ(now(1), fitted[1]);
    EXPECT_EQ(now(2), original(2));
    EXPECT_EQ(now(3), fitted[3]);

    // Keep UnSelected (channel 1 selected): the other three keep theirs.
    for (int c = 0; c < 4; ++c) {
        lpsChannelParams->SENSITIVITY[c] = original(c).first;
        lpsChannelParams->OFFSET[c] = original(c).second;
    }
    TakeKeptCalibration();
    ASSERT_EQ(RunCalProcedure(3, sink, ui), 4);
    bool one[kChannels] = {};
    one[1] = true;
    KeepCalibration(KeepChoice::UnSelected, one);
    EXPECT_EQ(ExitCalProcedures(), 1);
    EXPECT_EQ(now(1), original(1));
    for (int c : {0, 2, 3}) EXPECT_NE(now(c), original(c)) << c;
}

TEST_F(CalibrationProcedure, ACommandTheFixtureNeverGotStopsTheProcedureBeforeItMeasures) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\nfixture srq\nwire 0-3\ncard 0-3 M15-C\n"));
    ThreeStepProcedure();
    ASSERT_NO_FATAL_FAILURE(Channel(0, "M15-C", 1, {9}, {0}));
    lpsChannelParams->Cal.CALTYPE[0] = 2;
    lpsChannelParams->SENSITIVITY[0] = 2;
    ASSERT_NO_FATAL_FAILURE(sim.Arm("sendfail 1 enol"));
    EXPECT_EQ(RunCalProcedure(3, sink, ui), -1);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].caption, "External Calibrator Error");
    EXPECT_FALSE(Contains(progress, "Performing Transducer Cal on Channel 0"));
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[0], 2);
}

// A step whose command index the database holds outside 0-9 sends nothing
// and measures at once; a channel whose card lacks the step's state keeps
// its slope and offset and is named in the progress.
TEST_F(CalibrationProcedure, BadCommandIndexesSendNothingAndFailedChannelsKeepTheirValues) {
    ASSERT_NO_FATAL_FAILURE(Load("timebase virtual\nfixture srq\nwire 0-3\ncard 0-3 M15-C\ncal 1 lacks 31\n"));
    ThreeStepProcedure();
    lpsCalTypes->STATES[2] = 2;
    lpsCalTypes->STATE[0][2] = kZero;
    lpsCalTypes->STATE[1][2] = 6;  // R Shunt Cal 1
    lpsCalTypes->STRING[0][2] = 0xFFFFFFFFu;  // -1: none
    lpsCalTypes->STRING[1][2] = 10;           // out of range
    for (int c = 0; c < 2; ++c) {
        ASSERT_NO_FATAL_FAILURE(Channel(c, "M15-C", 10, {9}, {0}));
        lpsChannelParams->Cal.CALTYPE[c] = 2;
        lpsChannelParams->Cal.EU[c][0] = 0;
        lpsChannelParams->Cal.EU[c][1] = 1000;
        lpsChannelParams->SENSITIVITY[c] = 9;
    }
    const uint32_t start = PlatformTimeMs();
    EXPECT_EQ(RunCalProcedure(3, sink, ui), 1);
    EXPECT_EQ(sim.Log().find("28:"), std::string::npos) << "nothing went to the fixture";
    EXPECT_EQ(events, (std::vector<std::string>{"status: Finished Last Calibration"}));
    EXPECT_LT(PlatformTimeMs() - start, 5000u);
    EXPECT_TRUE(Contains(progress, "Channel 1 Does Not Support This Calibration State"));
    EXPECT_TRUE(Contains(progress, "Channel 1 Failed Cal, Its Slope And Offset Are Unchanged"));
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[1], 9);
    EXPECT_NE(lpsChannelParams->SENSITIVITY[0], 9);
    EXPECT_TRUE(std::isfinite(lpsChannelParams->SENSITIVITY[0]));
}

}  // namespace
