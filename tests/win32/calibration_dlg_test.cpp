// The calibration dialogs run for real (templates, the Win32 port), driven
// from a thread timer inside their modal loops.  Typed values are checked:
// bad input gets a clear message and changes nothing.  A channel is
// calibrated through the dialog against the simulated front end's DLLs and
// its slope applied; a procedure runs with the operator's acknowledgement,
// and Keep None followed by Exit restores what the dialog found.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "calibration/cal_procedure.h"
#include "calibration/calibration_dlg.h"
#include "calibration/calibration_ids.h"
#include "hardware/control_library.h"
#include "hardware/gpib_access.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

#include "tests/win32/dialog_driver.h"
#include "tests/win32/front_end_dlls.h"

// Steps run on the dialog titled by the script; every other dialog or message
// box that appears is answered (Yes or OK), its texts kept apart by "|".
const DialogRules kDialogRules = {DialogIs::Tracked, AnswerYesElseOk, "|"};

namespace {

std::string g_gpib, g_q90ui;

// Text put into a field that is read when the dialog's OK is pressed.
void Fill(HWND dlg, int id, const char* text) { SetDlgItemTextA(dlg, id, text); }

std::vector<std::string> ListLines(HWND dlg, int id) {
    std::vector<std::string> lines;
    const LRESULT n = SendDlgItemMessageA(dlg, id, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char line[512] = "";
        SendDlgItemMessageA(dlg, id, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
        lines.push_back(line);
    }
    return lines;
}
bool Visible(HWND dlg, int id) { return IsWindowVisible(GetDlgItem(dlg, id)) != FALSE; }

// Simulator mode: nothing reaches a bus.
class CalibrationDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        bNoHardware = bRemoteControlled = false;
        ASSERT_EQ(AllocateTestModel(), 1);
        bSimulator = true;
        for (int c = 0; c < kChannels; ++c) lpsChannelParams->Cal.CALTYPE[c] = -1;
        bTestSaved = true;
    }
};

TEST_F(CalibrationDialogs, StatesDialogRefusesAValueThatIsNotANumberAndKeepsTheStoredOne) {
    CalRecord& cal = lpsChannelParams->Cal;
    cal.EU[3][0] = 25;
    lpsCalTypes->STATES[4] = 2;
    lpsCalTypes->STATE[0][4] = 1;
    lpsCalTypes->STATE[1][4] = 3;
    snprintf(lpsCalTypes->NAME[4], 50, "Bridge Two Point");
    Script s;
    s.title = "Calibration States";
    std::string shownAfterRefusal, typeName;
    s.steps = {
        [](HWND d) { Type(d, IDC_CS_EU1, "12,5 mV"); },
        [&](HWND d) {
            shownAfterRefusal = Item(d, IDC_CS_EU1);
            Type(d, IDC_CS_EU1 + 1, " -40.5 ");
            Choose(d, IDC_CS_TYPE, 5);  // "NONE" is first: type 4
        },
        [&](HWND d) {
            typeName = Item(d, IDC_CS_TYPE);
            Press(d, IDOK);
        },
    };
    RunDialog(&s, [] { OpenCalibrationStates(nullptr, 3); });
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].caption, "Calibration States");
    EXPECT_NE(s.boxes[0].text.find("The EU Value Of State 1 Must Be A Number (\"12,5 mV\" Is Not)"), std::string::npos)
        << s.boxes[0].text;
    EXPECT_EQ(cal.EU[3][0], 25) << "a refused value changes nothing";
    EXPECT_EQ(shownAfterRefusal, "25");
    EXPECT_EQ(cal.EU[3][1], -40.5);
    EXPECT_EQ(typeName, "Bridge Two Point");
    EXPECT_EQ(cal.CALTYPE[3], 4);
    EXPECT_EQ(cal.ACTIVESTATES[3], 2);
    EXPECT_EQ(cal.STATE[1][3], 3);
    EXPECT_FALSE(bTestSaved);
}

TEST_F(CalibrationDialogs, ExternalCommandsAreTakenAllOrNothing) {
    snprintf(lpsCalCommands->Name[0], 25, "Old Zero");
    lpsCalCommands->Delay[2] = 100;
    Script s;
    s.title = "External Calibrator Commands";
    bool stayedOpen = false;
    s.steps = {
        [](HWND d) {
            Fill(d, IDC_EC_NAME1, "Reference Zero");
            Fill(d, IDC_EC_COMMAND1, "*RST;OUT 0 V");
            Fill(d, IDC_EC_DELAY1 + 2, "two seconds");
            Press(d, IDOK);
        },
        [&](HWND d) {
            stayedOpen = IsWindow(d) != FALSE;
            Fill(d, IDC_EC_DELAY1 + 2, "2000");
            Fill(d, IDC_EC_DELAY1 + 3, "-1");
            Press(d, IDOK);
        },
    };
    RunDialog(&s, [] { OpenExternalCommands(nullptr); });
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].caption, "External Calibrator Commands");
    EXPECT_NE(s.boxes[0].text.find("The Delay Of Command 3 Must Be -1 (Wait For The Operator) Or 0 To 3600000"),
              std::string::npos)
        << s.boxes[0].text;
    EXPECT_TRUE(stayedOpen);
    EXPECT_STREQ(lpsCalCommands->Name[0], "Reference Zero");
    EXPECT_STREQ(lpsCalCommands->Command[0], "*RST;OUT 0 V");
    EXPECT_EQ(lpsCalCommands->Delay[2], 2000u);
    EXPECT_EQ(CommandDelay(3), -1);

    // Refused and then cancelled: nothing of the dialog's rows is kept.
    Script t;
    t.title = "External Calibrator Commands";
    t.steps = {
        [](HWND d) {
            Fill(d, IDC_EC_NAME1, "Changed");
            Fill(d, IDC_EC_DELAY1 + 9, "");
            Press(d, IDOK);
        },
        [](HWND d) { Press(d, IDCANCEL); },
    };
    RunDialog(&t, [] { OpenExternalCommands(nullptr); });
    ASSERT_EQ(t.boxes.size(), 1u);
    EXPECT_STREQ(lpsCalCommands->Name[0], "Reference Zero");
}

TEST_F(CalibrationDialogs, ProcedureSetupStoresEveryChangeAtOnce) {
    snprintf(lpsCalCommands->Name[6], 25, "Full Scale");
    Script s;
    s.title = "Calibration Procedure Setup";
    std::string commandShown;
    s.steps = {
        [](HWND d) {
            Choose(d, IDC_CT_PROCEDURE, 9);
            Type(d, IDC_CT_NAME, "Strain Gauges");
            Choose(d, IDC_CT_STEPS, 2);  // 3 steps
            Choose(d, IDC_CT_STATE1 + 2, 6);
            Choose(d, IDC_CT_COMMAND1 + 2, 7);  // "None" first: command 6
        },
        [&](HWND d) {
            commandShown = Item(d, IDC_CT_COMMAND1 + 2);
            Press(d, IDOK);
        },
    };
    RunDialog(&s, [] { OpenCalibrationProcedures(nullptr); });
    EXPECT_TRUE(s.boxes.empty());
    EXPECT_STREQ(lpsCalTypes->NAME[9], "Strain Gauges");
    EXPECT_EQ(lpsCalTypes->STATES[9], 3u);
    EXPECT_EQ(lpsCalTypes->STATE[2][9], 6u);
    EXPECT_EQ(lpsCalTypes->STRING[2][9], 6u);
    EXPECT_EQ(commandShown, "Full Scale");
}

TEST_F(CalibrationDialogs, AProcedureRunWaitsForTheOperatorAndKeepNoneThenExitRestores) {
    snprintf(lpsCalCommands->Name[1], 25, "Ask");
    lpsCalCommands->Delay[1] = static_cast<uint32_t>(-1);
    snprintf(lpsCalTypes->NAME[0], 50, "Quick Check");
    lpsCalTypes->STATES[0] = 1;
    lpsCalTypes->STATE[0][0] = 2;
    lpsCalTypes->STRING[0][0] = 1;
    lpsChannelParams->Cal.CALTYPE[2] = 0;
    lpsChannelParams->SENSITIVITY[2] = 1.5;
    Script s;
    s.title = "Perform Calibration Procedure";
    std::string button;
    std::vector<std::string> progress, results;
    bool resultsShown = false, proceduresBack = false;
    s.steps = {
        [&](HWND d) {
            button = Item(d, IDC_PR_PROC1);
            Press(d, IDC_PR_PROC1);
        },
        [&](HWND d) {
            progress = ListLines(d, IDC_PR_PROGRESS);
            // What a fit would have stored meanwhile.
            lpsChannelParams->SENSITIVITY[2] = 99;
            Press(d, IDC_PR_RESULTS);
            resultsShown = Visible(d, IDC_PR_RESULTLIST) && !Visible(d, IDC_PR_PROC1);
            results = ListLines(d, IDC_PR_RESULTLIST);
            Press(d, IDC_PR_KEEPNONE);
            proceduresBack = Visible(d, IDC_PR_PROC1) && !Visible(d, IDC_PR_RESULTLIST);
        },
        [](HWND d) { Press(d, IDC_PR_EXIT); },
    };
    RunDialog(&s, [] { OpenPerformProcedure(nullptr); });
    EXPECT_EQ(button, "Quick Check");
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].caption, "Waiting For User Acknowledge");
    EXPECT_NE(s.boxes[0].text.find("Press OK To Continue Calibration"), std::string::npos);
    EXPECT_EQ(progress, (std::vector<std::string>{"Issuing Command Ask To External Calibrator",
                                                  "Waiting For User Acknowledge",
                                                  "Performing Voltage * 1.0 Cal on Channel 2"}));
    EXPECT_TRUE(resultsShown);
    ASSERT_GT(results.size(), 2u);
    EXPECT_EQ(results[2].substr(0, 20), "CHAN2    99.0000 mV ");
    EXPECT_TRUE(proceduresBack);
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[2], 1.5);
}

// Against the simulated front end: a card whose reference is 2 % high is
// calibrated from the dialog and its slope applied on Exit && Apply.
class CalibrationHardwareDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        bSimulator = bNoHardware = bRemoteControlled = false;
        ASSERT_EQ(AllocateTestModel(), 1);
        bSimulator = false;
        ASSERT_TRUE(LoadControlLibrary());
        ASSERT_EQ(ConfigureChassis("timebase real\ncard 0-3 M15-C\ncal 1 reference 5100\n"), "");
        snprintf(szTestFile, sizeof szTestFile, "%s\\calib_dlg.mdb", ExeDir().c_str());
        lpProgScanList->EntryCount = 4;
        lpProgScanList->BlockCount = 1;
        for (uint32_t c = 0; c < 4; ++c) lpProgScanList->Entry[c] = {c, 0, 0, 0};
        for (int c = 0; c < 4; ++c) snprintf(lpsChannelParams->CardModel[c], 12, "M15-C");
        CalRecord& cal = lpsChannelParams->Cal;
        cal.ACTIVESTATES[1] = 2;
        cal.STATE[0][1] = 3;  // x0.1: 500 mV nominal
        cal.STATE[1][1] = 2;  // x1.0: 5000 mV nominal
        cal.EU[1][0] = 50;
        cal.EU[1][1] = 500;
    }
    void TearDown() override {
        DeleteFileA((ExeDir() + "\\calib_dlg.1").c_str());
        ReleaseControlLibrary();
        ReleaseGpibLibrary();
    }
};

TEST_F(CalibrationHardwareDialog, CalibrateChannelShowsDetailsAndExitAndApplyStoresTheSlope) {
    Script s;
    s.title = "Calibrate Channels";
    std::vector<std::string> progress, bad;
    std::string slopeShown;
    s.steps = {
        [](HWND d) { Choose(d, IDC_CC_CHANNEL, 1); },
        [](HWND d) { Press(d, IDC_CC_CALIBRATE); },
        [&](HWND d) {
            progress = ListLines(d, IDC_CC_RESULTS);
            slopeShown = Item(d, IDC_CC_SLOPE);
            Press(d, IDC_CC_BADCALS);
            bad = ListLines(d, IDC_CC_RESULTS);
            Press(d, IDC_CC_APPLY);
        },
    };
    RunDialog(&s, [] { OpenCalibrateChannels(nullptr); });
    EXPECT_EQ(progress, (std::vector<std::string>{"Performing Voltage * 0.1 Cal on Channel 1",
                                                  "Performing Voltage * 1.0 Cal on Channel 1"}));
    // The details dialog came up after the run, with the means in mV (the
    // converter's steps: 1671 and 16712 counts).
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].caption, "Calibration Details");
    EXPECT_NE(s.boxes[0].text.find("Voltage Cal * 0.1|509.94"), std::string::npos) << s.boxes[0].text;
    EXPECT_NE(s.boxes[0].text.find("Voltage Cal * 1.0|5100.09"), std::string::npos) << s.boxes[0].text;
    EXPECT_EQ(bad, (std::vector<std::string>{"No Bad Calibrations"}));
    // 0.1 EU per nominal mV, the reference 2 % high.
    const double slope = 0.1 * 5000 / 5100;
    EXPECT_EQ(slopeShown, std::to_string(slope).substr(0, 6));
    EXPECT_NEAR(lpsChannelParams->SENSITIVITY[1], slope, 1e-4);
    EXPECT_NEAR(lpsChannelParams->OFFSET[1], 0, 0.01);
    EXPECT_EQ(lpsChannelParams->SENSITIVITY[0], 1.0) << "a channel not calibrated is not touched";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: calibration_dlg_test <gpib-32.dll> <Q90ui.dll>\n");
        return 2;
    }
    g_gpib = WindowsPath(argv[1]);
    g_q90ui = WindowsPath(argv[2]);
    // The front end's DLLs where the program looks for them.
    if (!PlaceFrontEndDlls(g_gpib, g_q90ui)) {
        fprintf(stderr, "calibration_dlg_test: cannot place the DLLs\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
