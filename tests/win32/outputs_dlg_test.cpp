// The output dialogs run for real from their templates, driven from a thread
// timer inside their modal loops as an operator would: typed values out of
// range are refused with a message and change nothing, good ones land in the
// test's records, "Line 16" is bit 15, the group acting on every digital
// record only ever sets, the immediate dialog shows the stored initial state
// in simulator mode, and the start and trigger bits give their masks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <functional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "hardware/control_library.h"
#include "hardware/q90_library.h"
#include "outputs/outputs_dlg.h"
#include "outputs/outputs_ids.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

#include "tests/win32/dialog_driver.h"
#include "tests/win32/front_end_dlls.h"

// Every message box is answered with OK; a box may share the dialog's caption.
const DialogRules kDialogRules = {DialogIs::FirstSeen, AnswerOk, ""};

namespace {

bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
int Selected(HWND dlg, int id) { return static_cast<int>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0)); }
std::string ComboText(HWND dlg, int id, int index) {
    char buf[64] = "";
    SendDlgItemMessageA(dlg, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf));
    return buf;
}

class OutputDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        bSimulator = true;  // no library: nothing may reach a card
        bTestSaved = true;
        dSampleRate = 1000.0;
        for (DacChannel& d : sDacChannel) {
            d = DacChannel{};
            d.HARDCHAN = -1;
            for (int w = 0; w < kDacWaves; ++w) d.FREQ[w][0] = d.FREQ[w][1] = 10;
        }
        for (DigitalOut& d : sDigitalOut) {
            d = DigitalOut{};
            d.HARDWARECHANNEL = -1;
        }
    }
};

TEST_F(OutputDialogs, M21SetupStoresGoodValuesAndRefusesBadOnes) {
    sDacChannel[1].HARDCHAN = 20;
    sDacChannel[1].STATICOUT[1] = 700;
    sDacChannel[1].LOOP[2][0] = sDacChannel[1].LOOP[2][1] = 4;
    sDacChannel[4].HARDCHAN = 21;
    sDacChannel[4].STARTTYPE[0] = sDacChannel[4].STARTTYPE[1] = 1;
    Script s;
    s.title = "Setup M21 Waveform Generator";
    s.steps = {
        [](HWND d) {
            EXPECT_EQ(ComboText(d, IDC_M21_CHANNEL, 0), "20");
            EXPECT_EQ(ComboText(d, IDC_M21_CHANNEL, 1), "21");
            EXPECT_EQ(Selected(d, IDC_M21_CHANNEL), 0);
            EXPECT_TRUE(Checked(d, IDC_M21_OUTA));
            EXPECT_EQ(ComboText(d, IDC_M21_WAVE0 + 9, 4), "Noise");
            EXPECT_EQ(ComboText(d, IDC_M21_FREQ0, 0), "100.000000");    // 1000 / 10
            EXPECT_EQ(ComboText(d, IDC_M21_FREQ0, 200), "4.761905");    // 1000 / 210
            Press(d, IDC_M21_OUTB);
            EXPECT_EQ(Item(d, IDC_M21_LEVEL), "700");
            Type(d, IDC_M21_LEVEL, "12000");  // beyond the card's 10 V
        },
        [](HWND d) {
            EXPECT_EQ(sDacChannel[1].STATICOUT[1], 700);
            EXPECT_EQ(Item(d, IDC_M21_LEVEL), "700") << "the field shows the stored level again";
            EXPECT_TRUE(bTestSaved);
            Type(d, IDC_M21_LEVEL, "-2500");
            Press(d, IDC_M21_DYNAMIC);
            Choose(d, IDC_M21_REGIONS, 3);
            Choose(d, IDC_M21_WAVE0 + 2, 4);
            Choose(d, IDC_M21_FREQ0 + 2, 90);
            Type(d, IDC_M21_LOOP0 + 2, "two");
        },
        [](HWND d) {
            EXPECT_EQ(sDacChannel[1].LOOP[2][1], 4);
            EXPECT_EQ(Item(d, IDC_M21_LOOP0 + 2), "4");
            Type(d, IDC_M21_LOOP0 + 2, "25");
            Type(d, IDC_M21_MASTER, "3");
            Press(d, IDC_M21_RECORD);
            Choose(d, IDC_M21_CHANNEL, 1);
            EXPECT_TRUE(Checked(d, IDC_M21_RECORD));
            Press(d, IDC_M21_PREVIEW);
            Press(d, IDC_M21_EXIT);
        },
    };
    RunDialog(&s, OpenSetupM21);
    ASSERT_EQ(s.boxes.size(), 2u);
    EXPECT_EQ(s.boxes[0].caption, "Setup M21 Waveform Generator");
    EXPECT_EQ(s.boxes[0].text, "The Level Must Be A Whole Number From -10000 To 10000 mV");
    EXPECT_EQ(s.boxes[1].text, "The Loop Count Must Be A Whole Number From 0 To 2147483647");
    const DacChannel& d = sDacChannel[1];
    EXPECT_EQ(d.STATICOUT[1], -2500);
    EXPECT_EQ(d.STATICOUT[0], 0);
    EXPECT_EQ(d.OUTTYPE[1], 1);
    EXPECT_EQ(d.OUTTYPE[0], 0);
    EXPECT_EQ(d.REGIONS[0], 3);
    EXPECT_EQ(d.REGIONS[1], 3);
    EXPECT_EQ(d.WAVE[2][1], 4);
    EXPECT_EQ(d.WAVE[2][0], 0);
    EXPECT_EQ(d.FREQ[2][0], 100);
    EXPECT_EQ(d.FREQ[2][1], 100);
    EXPECT_EQ(d.LOOP[2][0], 25);
    EXPECT_EQ(d.MASTERLOOP, 3);
    EXPECT_EQ(d.STARTTYPE[0], 1);
    EXPECT_EQ(sDacChannel[4].STARTTYPE[0], 0);
    EXPECT_FALSE(bTestSaved);
    // Exit rebuilt the start lists: 21 now starts with a preview, 20 with a recording.
    ASSERT_EQ(sDacStartList[0].Count, 1);
    EXPECT_EQ(sDacStartList[0].HardChan[0], 21);
    ASSERT_EQ(sDacStartList[1].Count, 1);
    EXPECT_EQ(sDacStartList[1].HardChan[0], 20);
}

TEST_F(OutputDialogs, WithoutDacCardsTheDialogsSaySoAndClose) {
    sDacChannel[0].HARDCHAN = 300;  // no channel of the table
    for (void (*open)(HWND) : {OpenSetupM21, OpenDacStaticLevel}) {
        Script s;
        s.title = "never shown";
        RunDialog(&s, open);
        ASSERT_EQ(s.boxes.size(), 1u);
        EXPECT_EQ(s.boxes[0].text, "You Do Not Have Any DAC Cards");
        EXPECT_EQ(s.boxes[0].caption, "Use Analog I/O Setup Analog Channel Parameters To Add A DAC Channel");
    }
    Script s;
    s.title = "never shown";
    RunDialog(&s, OpenDigitalOutputSetup);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].text, "You Do Not Have Any Digital Output Channels");
    EXPECT_EQ(s.boxes[0].caption, "No Digital Outs Defined");
}

TEST_F(OutputDialogs, StaticLevelIsCheckedBeforeItIsSent) {
    sDacChannel[2].HARDCHAN = 33;
    Script s;
    s.title = "Set DAC Immediate";
    s.steps = {
        [](HWND d) {
            EXPECT_EQ(ComboText(d, IDC_DN_CHANNEL, 0), "33");
            EXPECT_TRUE(Checked(d, IDC_DN_A));
            EXPECT_EQ(Item(d, IDC_DN_VOLTAGE), "0");
            SetDlgItemTextA(d, IDC_DN_VOLTAGE, "5 V");
            Press(d, IDC_DN_SETNOW);
        },
        [](HWND d) {
            SetDlgItemTextA(d, IDC_DN_VOLTAGE, "-10000");
            Press(d, IDC_DN_B);
            Press(d, IDC_DN_SETNOW);  // simulator mode: accepted, nothing sent
        },
        [](HWND d) {
            EXPECT_TRUE(Checked(d, IDC_DN_B));
            Press(d, IDC_DN_EXIT);
        },
    };
    RunDialog(&s, OpenDacStaticLevel);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].text, "The Voltage Must Be A Whole Number From -10000 To 10000 mV");
    EXPECT_EQ(s.boxes[0].caption, "Set DAC Immediate");
}

TEST_F(OutputDialogs, DigitalSetupLinesTimesAndTheAllChannelsGroup) {
    sDigitalOut[0].HARDWARECHANNEL = 12;
    sDigitalOut[6].HARDWARECHANNEL = 13;
    sDigitalOut[6].STATE1TIME = 9;
    Script s;
    s.title = "Digital I/O Setup";
    s.steps = {
        [](HWND d) {
            EXPECT_EQ(ComboText(d, IDC_DS_CHANNEL, 1), "13");
            Choose(d, IDC_DS_CHANNEL, 1);
            EXPECT_EQ(Item(d, IDC_DS_TIME1), "9");
            // "Line 16" and "Line 1" of State 2.
            Press(d, IDC_DS_LINE0 + 16 * 2 + 15);
            EXPECT_TRUE(Checked(d, IDC_DS_LINE0 + 16 * 2 + 15));
            Press(d, IDC_DS_LINE0 + 16 * 2 + 0);
            Press(d, IDC_DS_SETALL0 + 3);
            Press(d, IDC_DS_USE0 + 1);
            Press(d, IDC_DS_GLITCH);
            Type(d, IDC_DS_TIME1 + 1, "-4");
        },
        [](HWND d) {
            EXPECT_EQ(Item(d, IDC_DS_TIME1 + 1), "0");
            Type(d, IDC_DS_TIME1 + 1, "45");
            // Checked and unchecked again: the flag stays set everywhere.
            Press(d, IDC_DS_ALLUSE0 + 1);
            Press(d, IDC_DS_ALLUSE0 + 1);
            EXPECT_FALSE(Checked(d, IDC_DS_ALLUSE0 + 1));
            Press(d, IDC_DS_ALLOUTSTOINS);
            Press(d, IDC_DS_EXIT);
        },
    };
    RunDialog(&s, OpenDigitalOutputSetup);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].text, "The Time Must Be A Whole Number From 0 To 2147483647 Seconds");
    const DigitalOut& d = sDigitalOut[6];
    EXPECT_EQ(d.STATE2, 0x8001);
    EXPECT_EQ(d.STATE3, 0xFFFF);
    EXPECT_EQ(d.STATE2TIME, 45);
    EXPECT_EQ(d.STATE1TIME, 9);
    EXPECT_EQ(d.GLITCHCATCHER, 1);
    EXPECT_EQ(sDigitalOut[0].STATE2, 0) << "only the shown record changes";
    for (int r = 0; r < kDigitalOuts; ++r) {
        EXPECT_EQ(sDigitalOut[r].USE1, 1) << r;
        EXPECT_EQ(sDigitalOut[r].OUTSTOINS, 1) << r;
    }
    EXPECT_FALSE(bTestSaved);
}

TEST_F(OutputDialogs, ImmediateDialogShowsTheStoredInitialStateInSimulatorMode) {
    sDigitalOut[2].HARDWARECHANNEL = 12;
    sDigitalOut[2].STATICSTATE = 0x8002;
    sDigitalOut[2].STATE1 = 0x0F00;
    sDigitalOut[9].HARDWARECHANNEL = 40;
    sDigitalOut[9].STATICSTATE = 0x0001;
    Script s;
    s.title = "Set Digital Outputs Immediately";
    s.steps = {
        [](HWND d) {
            for (int line = 1; line <= 16; ++line)
                EXPECT_EQ(Checked(d, IDC_DN2_LINE1 + line - 1), line == 16 || line == 2) << line;
            Choose(d, IDC_DN2_CHANNEL, 1);
            for (int line = 1; line <= 16; ++line) EXPECT_EQ(Checked(d, IDC_DN2_LINE1 + line - 1), line == 1) << line;
            Choose(d, IDC_DN2_CHANNEL, 0);
            Press(d, IDC_DN2_SETSTATE0 + 1);
            for (int line = 1; line <= 16; ++line)
                EXPECT_EQ(Checked(d, IDC_DN2_LINE1 + line - 1), line >= 9 && line <= 12) << line;
            Press(d, IDC_DN2_LINE1 + 15);
            EXPECT_TRUE(Checked(d, IDC_DN2_LINE1 + 15));
            Press(d, IDC_DN2_CLEARALL);
            EXPECT_FALSE(Checked(d, IDC_DN2_LINE1 + 15));
            Press(d, IDC_DN2_EXIT);
        },
    };
    RunDialog(&s, OpenDigitalOutputsNow);
    EXPECT_TRUE(s.boxes.empty());
    EXPECT_EQ(sDigitalOut[2].STATICSTATE, 0x8002) << "sending changes no stored state";
}

TEST_F(OutputDialogs, StartAndTriggerSelectionsSetTheMasksAtOnce) {
    nStartAndTriggerChannel = 3;
    nStartBit = 1;
    nTriggerBit = 2;
    UpdateStartTriggerMasks();
    Script s;
    s.title = "Start & Trigger Channel Definition";
    s.steps = {
        [](HWND d) {
            EXPECT_EQ(Selected(d, IDC_ST_CHANNEL), 3);
            EXPECT_EQ(Selected(d, IDC_ST_STARTBIT), 1);
            EXPECT_EQ(Selected(d, IDC_ST_TRIGGERBIT), 2);
            Choose(d, IDC_ST_STARTBIT, 15);
            EXPECT_EQ(dwStartMask, 0x8000u);
            Choose(d, IDC_ST_TRIGGERBIT, 0);
            Choose(d, IDC_ST_CHANNEL, 255);
            Press(d, IDOK);
        },
    };
    RunDialog(&s, OpenStartAndTrigger);
    EXPECT_EQ(nStartAndTriggerChannel, 255);
    EXPECT_EQ(nStartBit, 15);
    EXPECT_EQ(nTriggerBit, 0);
    EXPECT_EQ(dwTriggerMask, 0x1u);
}

// ---- the same dialogs with the simulated front end's DLLs ----------------------------------
std::string g_gpib, g_q90ui;

class OutputDialogsOnCards : public OutputDialogs {
  protected:
    void SetUp() override {
        OutputDialogs::SetUp();
        if (g_gpib.empty()) GTEST_SKIP() << "no simulated front end given";
        bSimulator = bNoHardware = bRemoteControlled = false;
        ASSERT_TRUE(LoadControlLibrary());
        ASSERT_EQ(ConfigureChassis("timebase virtual\ncard 12 M18-A\ncard 14 M18-C missing\ncard 20 M21\n"), "");
    }
    void TearDown() override {
        ReleaseControlLibrary();
        bSimulator = true;
    }
};

// What the dialog shows is what the card holds, and what it sends the card
// takes: "Line 16" toggles bit 15 of the card's word.
TEST_F(OutputDialogsOnCards, ImmediateDigitalSettingReachesTheCardAndReadsItBack) {
    sDigitalOut[0].HARDWARECHANNEL = 12;
    sDigitalOut[0].GLITCHCATCHER = 1;
    sDigitalOut[0].STATE2 = 0x00F0;
    sDigitalOut[1].HARDWARECHANNEL = 14;  // no card there
    ASSERT_EQ(Q90SetDigitalOut(12, 0x0003, 0, 0), 1);
    Script s;
    s.title = "Set Digital Outputs Immediately";
    s.steps = {
        [](HWND d) {
            for (int line = 1; line <= 16; ++line) EXPECT_EQ(Checked(d, IDC_DN2_LINE1 + line - 1), line <= 2) << line;
            Press(d, IDC_DN2_LINE1 + 15);
            EXPECT_EQ(Q90GetDigitalOut(12), 0x8003);
            EXPECT_TRUE(Checked(d, IDC_DN2_LINE1 + 15));
            Press(d, IDC_DN2_SETSTATE0 + 2);
            EXPECT_EQ(Q90GetDigitalOut(12), 0x00F0);
            Choose(d, IDC_DN2_CHANNEL, 1);  // unreadable: says so
        },
        [](HWND d) {
            Press(d, IDC_DN2_SETALL);  // refused by the missing card: says so, shows nothing new
        },
        [](HWND d) {
            EXPECT_FALSE(Checked(d, IDC_DN2_LINE1));
            Choose(d, IDC_DN2_CHANNEL, 0);
            EXPECT_TRUE(Checked(d, IDC_DN2_LINE1 + 4));
            Press(d, IDC_DN2_EXIT);
        },
    };
    RunDialog(&s, OpenDigitalOutputsNow);
    ASSERT_EQ(s.boxes.size(), 2u);
    EXPECT_EQ(s.boxes[0].text, "Could Not Read The Digital Output Lines.  Check The Digital Channel");
    EXPECT_EQ(s.boxes[1].text, "Error Setting Digital Out");
    EXPECT_EQ(s.boxes[1].caption, "Digital Output Error");
    EXPECT_EQ(Card(12)["glitchCatcher"], "1");
}

TEST_F(OutputDialogsOnCards, DacLevelAndDownloadAndStartReachTheCard) {
    sDacChannel[0].HARDCHAN = 20;
    sDacChannel[0].REGIONS[0] = sDacChannel[0].REGIONS[1] = 2;
    sDacChannel[0].WAVE[1][0] = 3;  // Square
    sDacChannel[0].FREQ[1][0] = sDacChannel[0].FREQ[1][1] = 20;
    Script level;
    level.title = "Set DAC Immediate";
    level.steps = {
        [](HWND d) {
            SetDlgItemTextA(d, IDC_DN_VOLTAGE, "-2500");
            Press(d, IDC_DN_B);
            Press(d, IDC_DN_SETNOW);
            Press(d, IDC_DN_EXIT);
        },
    };
    RunDialog(&level, OpenDacStaticLevel);
    EXPECT_TRUE(level.boxes.empty());
    EXPECT_EQ(Card(20)["dacB.level"], "-2500");
    EXPECT_EQ(Card(20)["dacA.level"], "0");

    Script setup;
    setup.title = "Setup M21 Waveform Generator";
    setup.steps = {
        [](HWND d) { Press(d, IDC_M21_DOWNLOADSTART); },
        [](HWND d) { Press(d, IDC_M21_EXIT); },
    };
    RunDialog(&setup, OpenSetupM21);
    EXPECT_TRUE(setup.boxes.empty());
    auto held = Card(20);
    EXPECT_EQ(held["dacA.regions"], "0:10:0:10;10:20:0:20");
    EXPECT_EQ(held["dacA.run"], "running");
    EXPECT_EQ(held["dacB.run"], "running");
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // With the simulated front end's DLLs the dialogs also run against its
    // cards; without them those tests are skipped.
    if (argc >= 3) {
        g_gpib = WindowsPath(argv[1]);
        g_q90ui = WindowsPath(argv[2]);
        if (!PlaceFrontEndDlls(g_gpib, g_q90ui)) {
            fprintf(stderr, "outputs_dlg_test: cannot place the DLLs\n");
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
