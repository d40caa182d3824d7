// Calibration procedures and the calibration dialogs' edits on the fake port
// (simulator mode: nothing reaches a bus): the steps' commands, delays and
// acknowledgements, command indexes checked before use, the procedure's
// states given to its channels, the result and detail texts, and typed
// values checked with a clear message and no change on bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "calibration/cal_procedure.h"
#include "calibration/cal_setup.h"
#include "platform/fake/fake_platform.h"
#include "platform/platform.h"
#include "testmodel/settings_ini.h"
#include "testmodel/model.h"

namespace {

void Collect(void* context, const char* text) { static_cast<std::vector<std::string>*>(context)->push_back(text); }
void CountPump(void* context) { ++*static_cast<int*>(context); }

class CalibrationProcedureRules : public ::testing::Test {
  protected:
    std::vector<std::string> progress;
    CalProgress sink;

    void SetUp() override {
        FakeReset();
        ASSERT_EQ(AllocateTestModel(), 1);
        bSimulator = true;  // after the settings, which set it from Q90.ini
        FakeClearMessages();
        sink.line = Collect;
        sink.context = &progress;
        for (int c = 0; c < kChannels; ++c) lpsChannelParams->Cal.CALTYPE[c] = -1;
        bTestSaved = true;
    }
    void TearDown() override { bSimulator = false; }
    void Command(int32_t k, const char* name, int32_t delay) {
        snprintf(lpsCalCommands->Name[k], sizeof lpsCalCommands->Name[k], "%s", name);
        snprintf(lpsCalCommands->Command[k], sizeof lpsCalCommands->Command[k], "OUT %d V", k);
        lpsCalCommands->Delay[k] = static_cast<uint32_t>(delay);
    }
    void Step(int32_t type, int32_t i, uint32_t code, uint32_t command) {
        lpsCalTypes->STATE[i][type] = code;
        lpsCalTypes->STRING[i][type] = command;
    }
};

TEST_F(CalibrationProcedureRules, EachStepIssuesItsCommandWaitsAndMeasuresTheProceduresChannels) {
    Command(0, "Ack", -1);
    Command(1, "Zero Wait", 0);
    Command(2, "Quarter Second", 250);
    lpsCalTypes->STATES[4] = 4;
    Step(4, 0, 2, 0);
    Step(4, 1, 3, 2);
    Step(4, 2, 1, 0xFFFFFFFFu);  // none
    Step(4, 3, 0, 1);
    lpsChannelParams->Cal.CALTYPE[7] = 4;
    lpsChannelParams->Cal.CALTYPE[9] = 4;
    lpsChannelParams->Cal.CALTYPE[8] = 3;
    lpsChannelParams->Cal.ACTIVESTATES[7] = 1;
    lpsChannelParams->SENSITIVITY[7] = 2.5;

    std::vector<std::string> status;
    int pumps = 0;
    CalProcedureUi ui;
    ui.context = &status;
    ui.status = Collect;
    // No acknowledge function: the operator's box is shown.
    const uint32_t start = PlatformTimeMs();
    EXPECT_EQ(RunCalProcedure(5, sink, ui), 0) << "nothing is fitted in simulator mode";
    // 4 steps of 2 channels at 500 ms each, and the 250 ms wait.
    EXPECT_EQ(PlatformTimeMs() - start, 8 * 500u + 250u);
    const std::vector<std::string> expected = {
        "Issuing Command Ack To External Calibrator",
        "Waiting For User Acknowledge",
        "Performing Voltage * 1.0 Cal on Channel 7",
        "Performing Voltage * 1.0 Cal on Channel 9",
        "Issuing Command Quarter Second To External Calibrator",
        "Waiting 250 MilliSeconds",
        "Performing Voltage * 0.1 Cal on Channel 7",
        "Performing Voltage * 0.1 Cal on Channel 9",
        "Performing Zero Cal on Channel 7",
        "Performing Zero Cal on Channel 9",
        "Issuing Command Zero Wait To External Calibrator",
        "Waiting 0 MilliSeconds",
        "Performing Transducer Cal on Channel 7",
        "Performing Transducer Cal on Channel 9",
    };
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(status, (std::vector<std::string>{"Automatic Action In Progress", "Finished Last Calibration"}));
    // Delays -1 and 0 both wait for the operator's OK.
    ASSERT_EQ(FakeMessages().size(), 2u);
    for (const FakeMessage& m : FakeMessages()) {
        EXPECT_EQ(m.text, "Press OK To Continue Calibration");
        EXPECT_EQ(m.caption, "Waiting For User Acknowledge");
        EXPECT_EQ(m.style, MB_OK_ | MB_ICONINFORMATION_);
    }
    // The channels took the procedure's states; their slopes stay.
    const CalRecord& cal = lpsChannelParams->Cal;
    EXPECT_EQ(cal.ACTIVESTATES[7], 4);
    EXPECT_EQ(cal.STATE[1][7], 3);
    EXPECT_EQ(cal.MEAN[9][3], 10.0);
    EXPECT_EQ(cal.MEAN[8][0], 0.0) << "another procedure's channel is not measured";
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[7], 2.5);
    EXPECT_FALSE(bTestSaved);

    // The wait lets the windows run.
    ui.context = &pumps;
    ui.status = nullptr;
    ui.pump = CountPump;
    lpsCalTypes->STATES[4] = 1;
    Step(4, 0, 0, 2);
    EXPECT_EQ(RunCalProcedure(5, sink, ui), 0);
    EXPECT_GE(pumps, 10);
}

TEST_F(CalibrationProcedureRules, CommandIndexesOutsideTheTableNameNoCommand) {
    Command(9, "Last", 5);
    const struct {
        uint32_t stored;
        int32_t command;
    } table[] = {{0, 0}, {9, 9}, {10, -1}, {0xFFFFFFFFu, -1}, {0x80000000u, -1}, {12345, -1}};
    for (const auto& k : table) {
        lpsCalTypes->STRING[3][1] = k.stored;
        EXPECT_EQ(StepCommand(1, 3), k.command) << k.stored;
    }
    EXPECT_EQ(StepCommand(16, 0), -1);
    EXPECT_EQ(StepCommand(1, 8), -1);
    // Procedure numbers are 1-16.
    EXPECT_EQ(RunCalProcedure(0, sink, CalProcedureUi{}), -1);
    EXPECT_EQ(RunCalProcedure(17, sink, CalProcedureUi{}), -1);
    // A delay beyond an hour (as Q90.ini gives a stored -1 back: 4294967295,
    // or cut to 2147483647) is an acknowledgement, not weeks of waiting.
    const struct {
        uint32_t stored;
        int32_t delay;
    } delays[] = {{5, 5}, {0, 0}, {3600000, 3600000}, {3600001, -1}, {2147483647u, -1}, {0xFFFFFFFFu, -1}};
    for (const auto& k : delays) {
        lpsCalCommands->Delay[9] = k.stored;
        EXPECT_EQ(CommandDelay(9), k.delay) << k.stored;
    }

    // A step count the database holds out of range is bounded.
    lpsCalTypes->STATES[1] = 40;
    for (int i = 0; i < kCalStates; ++i) Step(1, i, 2, 0xFFFFFFFFu);
    lpsChannelParams->Cal.CALTYPE[0] = 1;
    EXPECT_EQ(RunCalProcedure(2, sink, CalProcedureUi{}), 0);
    EXPECT_EQ(progress.size(), 8u);
    EXPECT_EQ(lpsChannelParams->Cal.ACTIVESTATES[0], 8);
}

TEST_F(CalibrationProcedureRules, ResultAndDetailTextsNameTheValuesAndSteps) {
    snprintf(lpsChannelParams->NAME[3], 32, "Strain3");
    snprintf(lpsChannelParams->UNITS[3], 8, "ue");
    lpsChannelParams->SENSITIVITY[3] = 12.345678;
    lpsChannelParams->OFFSET[3] = -0.5;
    EXPECT_EQ(CalResultLine(3), "Strain3    12.3457 ue per mV   -0.5000  ue Offset");
    // A name that fills its field is cut at the field, not read beyond it.
    memset(lpsChannelParams->NAME[4], 'N', 32);
    EXPECT_EQ(CalResultLine(4).substr(0, 36), std::string(32, 'N') + "    ");

    Command(2, "Ref Up", 300);
    Command(3, "Ack", -1);
    lpsCalTypes->STATES[6] = 3;
    Step(6, 0, 1, 0xFFFFFFFFu);
    Step(6, 1, 2, 2);
    Step(6, 2, 40, 3);
    lpsChannelParams->Cal.CALTYPE[1] = 6;
    lpsChannelParams->Cal.CALTYPE[200] = 6;
    EXPECT_EQ(CalProcedureDetailLines(6), (std::vector<std::string>{
                                              "Step 1: Zero Calibration, No External Command",
                                              "Step 2: Voltage Cal * 1.0, Ref Up, Wait 300 mS",
                                              "Step 3: Incorrect Cal Mode, Ack, Wait For User Acknowledge",
                                              "Channels: 1 200",
                                          }));
    EXPECT_EQ(CalProcedureDetailLines(7).back(), "Channels: None");
}

TEST_F(CalibrationProcedureRules, KeptValuesAreRestoredOnExit) {
    for (int c = 0; c < 3; ++c) {
        lpsChannelParams->SENSITIVITY[c] = 1 + c;
        lpsChannelParams->OFFSET[c] = c;
    }
    TakeKeptCalibration();
    for (int c = 0; c < 3; ++c) {
        lpsChannelParams->SENSITIVITY[c] = 10 + c;
        lpsChannelParams->OFFSET[c] = 10;
    }
    bool selected[kChannels] = {};
    selected[2] = true;
    KeepCalibration(KeepChoice::Selected, selected);
    EXPECT_EQ(KeptSensitivity(2), 12);
    EXPECT_EQ(KeptSensitivity(1), 2);
    EXPECT_EQ(ExitCalProcedures(), 1);  // simulator mode: the download succeeds
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[0], 1);
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[1], 2);
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[2], 12);
    EXPECT_EQ(lpsChannelParams->OFFSET[2], 10);
    EXPECT_EQ(lpsChannelParams->OFFSET[1], 1);

    // Keep All: every channel's current values survive Exit.
    TakeKeptCalibration();
    for (int c = 0; c < 3; ++c) lpsChannelParams->SENSITIVITY[c] = 20 + c;
    KeepCalibration(KeepChoice::All, nullptr);
    lpsChannelParams->SENSITIVITY[1] = 77;  // changed after keeping: not kept
    EXPECT_EQ(ExitCalProcedures(), 1);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(lpsChannelParams->SENSITIVITY[c], 20 + c) << c;
}

// ---- typed values -------------------------------------------------------------------------

TEST_F(CalibrationProcedureRules, TypedNumbersAreCheckedBeforeTheyAreStored) {
    const struct {
        const char* text;
        bool ok;
        double value;
    } numbers[] = {{"12.5", true, 12.5}, {" -3e2 ", true, -300}, {"0", true, 0},  {"", false, 0},
                   {"abc", false, 0},    {"1.5x", false, 0},     {"nan", false, 0}, {"inf", false, 0},
                   {"1e999", false, 0},  {"  ", false, 0}};
    for (const auto& k : numbers) {
        SCOPED_TRACE(k.text);
        lpsChannelParams->Cal.EU[4][2] = 77;
        FakeClearMessages();
        EXPECT_EQ(SetChannelEU(4, 2, k.text), k.ok ? 1 : 0);
        EXPECT_EQ(lpsChannelParams->Cal.EU[4][2], k.ok ? k.value : 77);
        EXPECT_EQ(FakeMessages().size(), k.ok ? 0u : 1u);
        if (!k.ok) {
            EXPECT_EQ(FakeMessages()[0].text.substr(0, 39), "The EU Value Of State 3 Must Be A Numbe");
        }
    }

    // External commands: all three fields or nothing.
    bTestSaved = true;
    static const std::string fifty(50, 'C');
    const char* kFiftyCharacters = fifty.c_str();
    snprintf(lpsCalCommands->Name[1], 25, "Old");
    lpsCalCommands->Delay[1] = 5;
    const struct {
        const char* name;
        const char* command;
        const char* delay;
        const char* message;  // null: taken
    } rows[] = {
        {"Zero", "OUT 0 V", "-1", nullptr},
        {"Up", "OUT 1 V", "3600000", nullptr},
        {"Up", "OUT 1 V", "-2", "The Delay Of Command 2 Must Be -1 (Wait For The Operator) Or 0 To 3600000 Milliseconds"},
        {"Up", "OUT 1 V", "3600001", "The Delay Of Command 2 Must Be -1 (Wait For The Operator) Or 0 To 3600000 Milliseconds"},
        {"Up", "OUT 1 V", "1.5", "The Delay Of Command 2 Must Be -1 (Wait For The Operator) Or 0 To 3600000 Milliseconds"},
        {"Up", "OUT 1 V", "", "The Delay Of Command 2 Must Be -1 (Wait For The Operator) Or 0 To 3600000 Milliseconds"},
        {"A name of twenty-five chr", "OUT 1 V", "0", "The Name Of Command 2 Is Longer Than 24 Characters"},
        {"Up", kFiftyCharacters, "0", "The Text Of Command 2 Is Longer Than 49 Characters"},
    };
    for (const auto& k : rows) {
        SCOPED_TRACE(std::string(k.name) + " / " + k.delay);
        snprintf(lpsCalCommands->Name[1], 25, "Old");
        lpsCalCommands->Delay[1] = 5;
        FakeClearMessages();
        EXPECT_EQ(SetCalCommand(1, k.name, k.command, k.delay), k.message ? 0 : 1);
        if (k.message) {
            ASSERT_EQ(FakeMessages().size(), 1u);
            EXPECT_EQ(FakeMessages()[0].text, k.message);
            EXPECT_STREQ(lpsCalCommands->Name[1], "Old");
            EXPECT_EQ(lpsCalCommands->Delay[1], 5u);
        } else {
            EXPECT_STREQ(lpsCalCommands->Name[1], k.name);
            EXPECT_STREQ(lpsCalCommands->Command[1], k.command);
        }
    }
    EXPECT_TRUE(bTestSaved) << "the commands belong to Q90.ini, not to the test";

    // Procedures and channel states: ranges, messages, nothing changed.
    FakeClearMessages();
    lpsCalTypes->STATES[2] = 3;
    EXPECT_EQ(SetCalTypeSteps(2, 0), 0);
    EXPECT_EQ(SetCalTypeSteps(2, 9), 0);
    EXPECT_EQ(lpsCalTypes->STATES[2], 3u);
    EXPECT_EQ(SetCalTypeStep(2, 0, 13, 0), 0);
    EXPECT_EQ(SetCalTypeStep(2, 0, 2, 10), 0);
    EXPECT_EQ(SetCalTypeName(2, std::string(50, 'P').c_str()), 0);
    EXPECT_EQ(FakeMessages().size(), 5u);
    EXPECT_TRUE(bTestSaved);
    EXPECT_EQ(SetCalTypeStep(2, 7, 12, -1), 1);
    EXPECT_EQ(lpsCalTypes->STRING[7][2], 0xFFFFFFFFu);
    EXPECT_FALSE(bTestSaved);

    FakeClearMessages();
    lpsChannelParams->Cal.CALTYPE[5] = 2;
    lpsChannelParams->Cal.ACTIVESTATES[5] = 4;
    EXPECT_EQ(SetChannelActiveStates(5, 9), 0);
    EXPECT_EQ(SetChannelState(5, 0, 13), 0);
    EXPECT_EQ(FakeMessages().size(), 2u);
    EXPECT_EQ(lpsChannelParams->Cal.CALTYPE[5], 2);
    EXPECT_EQ(lpsChannelParams->Cal.ACTIVESTATES[5], 4);
    EXPECT_EQ(SetChannelState(5, 0, 12), 1);
    EXPECT_EQ(lpsChannelParams->Cal.CALTYPE[5], -1) << "a hand-set state leaves the procedure";
}

// "Wait for the operator" typed into the dialog survives Q90.ini: written on
// exit and read at the next start it still asks, it never waits for weeks.
TEST_F(CalibrationProcedureRules, AnAcknowledgedCommandStaysAcknowledgedThroughQ90Ini) {
    ASSERT_EQ(SetCalCommand(4, "Ask", "OUT 2 V", "-1"), 1);
    ASSERT_EQ(SetCalCommand(5, "Wait", "OUT 3 V", "1500"), 1);
    ASSERT_EQ(SaveSystemIni(), 1);
    memset(lpsCalCommands, 0, sizeof *lpsCalCommands);
    ASSERT_EQ(LoadSystemIni(), 1);
    EXPECT_STREQ(lpsCalCommands->Command[4], "OUT 2 V");
    EXPECT_EQ(CommandDelay(4), -1);
    EXPECT_EQ(CommandDelay(5), 1500);
    // Written as the operator reads it, and another negative entry is no wait.
    char text[32] = "";
    PlatformGetProfileString("EXTERNALCALCOMMANDS", "Delay5", "", text, sizeof text, kSystemIniFile);
    EXPECT_STREQ(text, "-1");
    ASSERT_TRUE(PlatformWriteProfileString("EXTERNALCALCOMMANDS", "Delay6", "-7", kSystemIniFile));
    ASSERT_EQ(LoadSystemIni(), 1);
    EXPECT_EQ(CommandDelay(5), 0);
    EXPECT_EQ(CommandDelay(4), -1);
}

TEST_F(CalibrationProcedureRules, ChoosingATypeCopiesItsStatesAndNoneKeepsThem) {
    lpsCalTypes->STATES[3] = 2;
    Step(3, 0, 5, 0);
    Step(3, 1, 6, 0);
    lpsChannelParams->Cal.ACTIVESTATES[10] = 6;
    EXPECT_EQ(ChooseChannelCalType(10, 3), 1);
    EXPECT_EQ(lpsChannelParams->Cal.CALTYPE[10], 3);
    EXPECT_EQ(lpsChannelParams->Cal.ACTIVESTATES[10], 2);
    EXPECT_EQ(lpsChannelParams->Cal.STATE[0][10], 5);
    EXPECT_EQ(lpsChannelParams->Cal.STATE[1][10], 6);
    EXPECT_EQ(ChooseChannelCalType(10, -1), 1);
    EXPECT_EQ(lpsChannelParams->Cal.CALTYPE[10], -1);
    EXPECT_EQ(lpsChannelParams->Cal.ACTIVESTATES[10], 2);
    EXPECT_EQ(lpsChannelParams->Cal.STATE[1][10], 6);
    EXPECT_EQ(ChooseChannelCalType(10, 16), 0);
}

}  // namespace
