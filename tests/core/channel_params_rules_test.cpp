// The channel parameter dialog's rules on the fake port: what each card shows,
// typed values checked before they are stored, limits that keep their
// percentage, cloning, and the flags every edit leaves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/app_state.h"
#include "channels/channel_rules.h"
#include "platform/fake/fake_platform.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

const char* kCardIni =
    "[GENERAL INFO]\nNUMBEROFTYPES=15\n"
    "[TYPE 3 INFO]\nCardType=M12\nAUTOBALANCE=NO\nAUTOZERO=NO\nVARIABLEGAIN=NO\nGain1=1.0\n"
    "[TYPE 6 INFO]\nCardType=M15-C\nAUTOBALANCE=YES\nAUTOZERO=YES\nVARIABLEGAIN=YES\n"
    "Gain1=1\nGain2=10\nGain3=100\nGain4=0\nFilter1=0\nFilter2=625\nFilter3=0\n"
    "Voltage1=5\nVoltage2=10\nCurrent1=-1\nCurrent2=-1\nCurrent3=-1\nCurrent4=-1\nCurrent5=-1\n"
    "Current6=-1\nCurrent7=-1\nCurrent8=-1\nCurrent9=-1\nCurrent10=-1\n"
    "[TYPE 10 INFO]\nCardType=M18-A\nAUTOBALANCE=NO\nAUTOZERO=NO\nVARIABLEGAIN=NO\n";

class ChannelRules : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReset();
        FakeSetProfileFile(kCardIniFile, kCardIni);
        bSimulator = bRemoteControlled = false;
        ASSERT_EQ(AllocateTestModel(), 1);
        for (int c = 0; c < kChannels; ++c) {
            lpsChannelParams->CARDTYPE[c] = 6;
            snprintf(lpsChannelParams->NAME[c], 32, "Channel%d", c);
        }
        ASSERT_EQ(LoadCardTypes(), 1);
        FakeClearMessages();
        bTestSaved = true;
        bParametersDownloaded = true;
    }
    void TearDown() override { FreeTestModel(); }
    ChannelParams& P() { return *lpsChannelParams; }
};

TEST_F(ChannelRules, EachCardClassShowsItsControls) {
    ChannelControls v = ChannelControlsOf(P(), 0);
    EXPECT_TRUE(v.Analog && v.NameFields && v.VariableGain && v.Autobalance && v.Autozero && v.ZeroBalanceGroup);
    EXPECT_TRUE(v.FilterList);
    EXPECT_TRUE(v.Voltage);
    EXPECT_FALSE(v.Current) << "every current option is -1";
    EXPECT_FALSE(v.ExcitationGroup);
    EXPECT_FALSE(v.DigitalButton || v.DacButton);

    ASSERT_EQ(SelectCardType(1, 3), 1);  // M12: 5B
    v = ChannelControlsOf(P(), 1);
    EXPECT_FALSE(v.NameFields);
    EXPECT_FALSE(v.VariableGain || v.Autobalance || v.ZeroBalanceGroup);
    EXPECT_TRUE(v.Analog) << "the Gain list stays";
    EXPECT_STREQ(P().CardModel[1], "M12");
    EXPECT_STREQ(CardPictureOfType(3), "5BBOX");

    ASSERT_EQ(SelectCardType(2, 10), 1);  // M18-A: digital
    v = ChannelControlsOf(P(), 2);
    EXPECT_FALSE(v.Analog || v.CalibrationButton);
    EXPECT_TRUE(v.DigitalButton);
    EXPECT_STREQ(CardPictureOfType(10), "DIGITALCARD");

    // A card without filter options hides the list.
    P().FilterCount[0] = 0;
    EXPECT_FALSE(ChannelControlsOf(P(), 0).FilterList);

    struct Picture {
        uint32_t type;
        const char* name;
    };
    for (Picture p : {Picture{1, "5BBOX"}, {4, "ANALOGCARD"}, {9, "ANALOGCARD"}, {12, "DIGITALCARD"},
                      {13, "ANALOGCARD"}, {14, "ANALOGCARD"}, {15, "DACCARD"}})
        EXPECT_STREQ(CardPictureOfType(p.type), p.name) << p.type;
    EXPECT_TRUE(ChannelControlsOf(P(), 0).CalibrationButton);
}

TEST_F(ChannelRules, ATypeMissingFromTheCardFileChangesNothing) {
    // Q90CARD.ini here defines only types 3, 6 and 10 by name; type 16 is
    // outside the list altogether.
    EXPECT_EQ(SelectCardType(0, 16), 0);
    EXPECT_EQ(SelectCardType(0, 0), 0);
    EXPECT_EQ(P().CARDTYPE[0], 6u);
    EXPECT_TRUE(bTestSaved);
}

TEST_F(ChannelRules, OptionTexts) {
    EXPECT_EQ(GainOptionText(100), "100");
    EXPECT_EQ(GainOptionText(-7), "-1");
    EXPECT_EQ(FilterOptionText(0), "WideBand");
    EXPECT_EQ(FilterOptionText(625), "625");
    const int32_t list[4] = {1, 10, 100, 1};
    EXPECT_EQ(OptionIndex(list, 4, 100.0), 2);
    EXPECT_EQ(OptionIndex(list, 4, 5.0), -1);
}

TEST_F(ChannelRules, ADuplicateNameIsRefusedWithTheOtherChannelsNumber) {
    EXPECT_EQ(StoreChannelName(5, "Channel2"), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "This Channel Name Is The Same As The Name For Channel 2");
    EXPECT_EQ(FakeMessages()[0].caption, "Error: Channel Name Not Unique");
    EXPECT_STREQ(P().NAME[5], "Channel5");
    EXPECT_TRUE(bTestSaved);

    // The lowest clashing channel is named; a name is cut to 31 characters
    // before it is compared and stored.
    strcpy(P().NAME[9], "Dup");
    strcpy(P().NAME[4], "Dup");
    FakeClearMessages();
    EXPECT_EQ(StoreChannelName(7, "Dup"), 0);
    EXPECT_EQ(FakeMessages()[0].text, "This Channel Name Is The Same As The Name For Channel 4");
    std::string longName(40, 'N');
    EXPECT_EQ(StoreChannelName(7, longName.c_str()), 1);
    EXPECT_EQ(std::string(P().NAME[7]), std::string(31, 'N'));
    EXPECT_FALSE(bTestSaved);
    EXPECT_TRUE(bParametersDownloaded) << "a name is not a hardware setting";
    EXPECT_EQ(StoreChannelName(8, (std::string(31, 'N') + "X").c_str()), 0);
    // Keeping one's own name is no clash.
    EXPECT_EQ(StoreChannelName(7, longName.c_str()), 1);
}

TEST_F(ChannelRules, TypedNumbersAreCheckedBeforeTheyAreStored) {
    struct Case {
        NumberField field;
        const char* text;
        int32_t stored;
    };
    P().VARIABLEGAIN[3] = 2;
    P().SENSITIVITY[3] = 1.5;
    const Case cases[] = {
        {NumberField::VariableGain, "0", 0},        {NumberField::VariableGain, "-3", 0},
        {NumberField::VariableGain, "10000.5", 0},  {NumberField::VariableGain, "nan", 0},
        {NumberField::VariableGain, "abc", 0},      {NumberField::VariableGain, "", 0},
        {NumberField::Sensitivity, "12x", 0},       {NumberField::Sensitivity, "inf", 0},
        {NumberField::VariableGain, " 2.5 ", 1},    {NumberField::Sensitivity, "-0.25", 1},
    };
    for (const Case& c : cases) {
        FakeClearMessages();
        EXPECT_EQ(StoreChannelNumber(3, c.field, c.text), c.stored) << c.text;
        EXPECT_EQ(FakeMessages().size(), c.stored ? 0u : 1u) << c.text;
    }
    EXPECT_EQ(P().VARIABLEGAIN[3], 2.5);
    EXPECT_EQ(P().SENSITIVITY[3], -0.25);
    EXPECT_FALSE(bParametersDownloaded);
}

TEST_F(ChannelRules, OptionsOutsideTheirListsChangeNothing) {
    EXPECT_EQ(SelectChannelOption(0, OptionList::Gain, 16), 0);
    EXPECT_EQ(SelectChannelOption(0, OptionList::Filter, 8), 0);
    EXPECT_EQ(SelectChannelOption(0, OptionList::Voltage, -1), 0);
    EXPECT_EQ(SelectChannelOption(300, OptionList::Current, 0), 0);
    // A place where the card type names no filter is not an option.
    P().FilterList[0][6] = -1;
    EXPECT_EQ(SelectChannelOption(0, OptionList::Filter, 6), 0);
    EXPECT_TRUE(bParametersDownloaded);
    EXPECT_EQ(SelectChannelOption(0, OptionList::Filter, 1), 1);
    EXPECT_EQ(P().FILTER[0], 625);
    EXPECT_EQ(SelectChannelOption(0, OptionList::Voltage, 1), 1);
    EXPECT_EQ(P().EXCITATIONVOLTAGE[0], 10);
    EXPECT_FALSE(bParametersDownloaded);
    EXPECT_FALSE(bTestSaved);
}

TEST_F(ChannelRules, LimitsKeepTheirPercentageAcrossAGainChange) {
    P().GAIN[0] = 1;
    lpCVT->AlarmAbove[0] = 5000;  // 50 %
    lpCVT->WarningBelow[0] = -2500;
    ASSERT_EQ(SelectChannelOption(0, OptionList::Gain, 1), 1);  // gain 10
    EXPECT_EQ(P().GAIN[0], 10);
    EXPECT_DOUBLE_EQ(lpCVT->AlarmAbove[0], 500);
    EXPECT_DOUBLE_EQ(lpCVT->WarningBelow[0], -250);
    EXPECT_DOUBLE_EQ(LimitPercent(0, LimitField::AlarmAbove), 50);

    // A gain option of 0 (here the padded fourth entry reads 1; force a 0)
    // never reaches a division: it counts as 1.
    P().GainList[0][3] = 0;
    ASSERT_EQ(SelectChannelOption(0, OptionList::Gain, 3), 1);
    EXPECT_DOUBLE_EQ(lpCVT->AlarmAbove[0], 5000);
    EXPECT_TRUE(std::isfinite(LimitPercent(0, LimitField::AlarmAbove)));
    EXPECT_DOUBLE_EQ(FullScaleMv(-1), 10000);
    EXPECT_DOUBLE_EQ(FullScaleMv(std::nan("")), 10000);
}

TEST_F(ChannelRules, LimitEntryClampsWithTheFieldsMessage) {
    struct Case {
        LimitField field;
        const char* text;
        double shown;
        const char* message;
        const char* caption;
    };
    const Case cases[] = {
        {LimitField::AlarmAbove, "150", 100, "Maximum Can Not Be Above 100 Percent", "Alarm High Limit Is Too High"},
        {LimitField::AlarmAbove, "-101", -100, "Maximum Can Not Be Below Negative 100 Percent",
         "Alarm High Limit Is Too Low"},
        {LimitField::AlarmBelow, "200", 100, "Minimum Can Not Be Above 100 Percent", "Alarm Low Limit Is Too High"},
        {LimitField::AlarmBelow, "-300", -100, "Minimum Can Not Be Below Negative 100 Percent",
         "Alarm Low Limit Is Too Low"},
        {LimitField::WarningAbove, "100.5", 100, "Maximum Can Not Be Above 100 Percent",
         "Warning High Limit Is Too High"},
        {LimitField::WarningAbove, "-1e9", -100, "Maximum Can Not Be Below Negative 100 Percent",
         "Warning High Limit Is Too Low"},
        {LimitField::WarningBelow, "101", 100, "Minimum Can Not Be Above 100 Percent",
         "Warning Low Limit Is Too High"},
        {LimitField::WarningBelow, "-100.01", -100, "Minimum Can Not Be Below Negative 100 Percent",
         "Warning Low Limit Is Too Low"},
        {LimitField::WarningBelow, "-40", -40, nullptr, nullptr},
    };
    P().GAIN[0] = 10;  // full scale 1000 mV
    for (const Case& c : cases) {
        FakeClearMessages();
        EXPECT_DOUBLE_EQ(StoreLimitPercent(0, c.field, c.text), c.shown) << c.text;
        EXPECT_DOUBLE_EQ(LimitPercent(0, c.field), c.shown) << c.text;
        if (c.message == nullptr) {
            EXPECT_TRUE(FakeMessages().empty());
            continue;
        }
        ASSERT_EQ(FakeMessages().size(), 1u) << c.text;
        EXPECT_EQ(FakeMessages()[0].text, c.message);
        EXPECT_EQ(FakeMessages()[0].caption, c.caption);
        EXPECT_EQ(FakeMessages()[0].style, MB_OK_ | MB_ICONINFORMATION_);
    }
    EXPECT_DOUBLE_EQ(lpCVT->WarningBelow[0], -400);
    // Not a number: the stored limit stays and the field shows it again.
    FakeClearMessages();
    EXPECT_DOUBLE_EQ(StoreLimitPercent(0, LimitField::WarningBelow, "lots"), -40);
    EXPECT_DOUBLE_EQ(lpCVT->WarningBelow[0], -400);
    EXPECT_EQ(FakeMessages().size(), 1u);
}

TEST_F(ChannelRules, CloneCopiesEverythingButTheNameAndTheMeasurements) {
    ChannelParams& p = P();
    strcpy(p.UNITS[0], "kN");
    strcpy(p.DESCRIPTION[0], "load cell");
    strcpy(p.LOCATION[0], "bay 3");
    p.SENSITIVITY[0] = 2.5;
    p.OFFSET[0] = -1;
    p.GAIN[0] = 100;
    p.VARIABLEGAIN[0] = 3.3;
    p.VARIABLEGAINENABLE[0] = 1;
    p.FILTER[0] = 625;
    p.EXCITATIONSOURCE[0] = 0;
    p.EXCITATIONVOLTAGE[0] = 5;
    p.AUTOBALANCEENABLE[0] = 0;
    p.Cal.CALTYPE[0] = 7;
    p.Cal.STATE[2][0] = 11;
    p.Cal.EU[0][1] = 42;
    p.Cal.MEAN[0][1] = 99;
    p.Cal.DEVIATION[0][1] = 0.5;
    lpCVT->AlarmAbove[0] = 80;
    lpCVT->AlarmColor[0] = 0x0000FF;
    ASSERT_EQ(SelectCardType(0, 3), 1);
    p.GAIN[0] = 1;
    bool dest[kChannels] = {};
    dest[0] = dest[1] = dest[2] = dest[3] = true;
    EXPECT_EQ(CloneChannel(0, dest), 3);
    for (int c = 1; c <= 3; ++c) {
        EXPECT_EQ(std::string(p.NAME[c]), "Channel" + std::to_string(c));
        EXPECT_STREQ(p.UNITS[c], "kN");
        EXPECT_STREQ(p.DESCRIPTION[c], "load cell");
        EXPECT_STREQ(p.LOCATION[c], "bay 3");
        EXPECT_EQ(p.SENSITIVITY[c], 2.5);
        EXPECT_EQ(p.OFFSET[c], -1);
        EXPECT_EQ(p.VARIABLEGAIN[c], 3.3);
        EXPECT_EQ(p.EXCITATIONSOURCE[c], 0u);
        EXPECT_EQ(p.AUTOBALANCEENABLE[c], 0u);
        EXPECT_EQ(p.CARDTYPE[c], 3u);
        EXPECT_STREQ(p.CardModel[c], "M12");
        EXPECT_EQ(p.GainCount[c], p.GainCount[0]);
        EXPECT_EQ(memcmp(p.FilterList[c], p.FilterList[0], sizeof p.FilterList[c]), 0);
        EXPECT_EQ(p.Cal.CALTYPE[c], 7);
        EXPECT_EQ(p.Cal.STATE[2][c], 11);
        EXPECT_EQ(p.Cal.EU[c][1], 42);
        EXPECT_EQ(p.Cal.MEAN[c][1], 0) << "measurements stay the destination's";
        EXPECT_EQ(p.Cal.DEVIATION[c][1], 0);
        EXPECT_EQ(lpCVT->AlarmAbove[c], 80);
        EXPECT_EQ(lpCVT->AlarmColor[c], 0x0000FFu);
    }
    EXPECT_NE(p.CARDTYPE[4], 3u);
    EXPECT_FALSE(bParametersDownloaded);
    bool none[kChannels] = {};
    bTestSaved = true;
    EXPECT_EQ(CloneChannel(0, none), 0);
    EXPECT_TRUE(bTestSaved);
}

TEST_F(ChannelRules, SwitchesAndRadioButtonsAreHardwareEdits) {
    SetChannelSwitch(4, ChannelSwitch::CurrentExcitation, true);
    EXPECT_EQ(P().EXCITATIONSOURCE[4], 0u);
    EXPECT_FALSE(bParametersDownloaded);
    SetChannelSwitch(4, ChannelSwitch::VoltageExcitation, true);
    EXPECT_EQ(P().EXCITATIONSOURCE[4], 1u);
    SetChannelSwitch(4, ChannelSwitch::ExternalAutozero, true);
    EXPECT_EQ(P().EXTERNALAUTOZERO[4], 1u);
    SetChannelSwitch(4, ChannelSwitch::Autozero, false);
    EXPECT_EQ(P().AUTOZEROENABLE[4], 0u);
}

TEST_F(ChannelRules, SaveAndRetrieveNeedAnOpenTestAndTheLogOpensBesideIt) {
    bTestOpen = false;
    EXPECT_EQ(RetrieveChannelTest(), 0);
    EXPECT_EQ(SaveChannelTest(), 0);
    ASSERT_EQ(FakeMessages().size(), 2u);
    EXPECT_EQ(FakeMessages()[0].text, "Please Open A Test First");

    FakeSetWindowsDirectory("c:\\windows");
    snprintf(szTestFile, sizeof szTestFile, "c:\\tests.v2\\t1\\t1.mdb");
    std::string command;
    ASSERT_TRUE(ChannelLogCommand(&command));
    EXPECT_EQ(command, "c:\\windows\\notepad.exe c:\\tests.v2\\t1\\t1.log");
    szTestFile[0] = '\0';
    EXPECT_FALSE(ChannelLogCommand(&command));
}

TEST_F(ChannelRules, ADownloadCountsOnlyWhenItSucceeded) {
    // No control library and no simulator: the download fails.
    bParametersDownloaded = false;
    EXPECT_EQ(DownloadScannedFromDialog(), 0);
    EXPECT_FALSE(bParametersDownloaded);
    bSimulator = true;
    EXPECT_EQ(DownloadScannedFromDialog(), 1);
    EXPECT_TRUE(bParametersDownloaded);
}

}  // namespace
