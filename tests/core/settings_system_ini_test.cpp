#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings_fixture.h"

namespace {

using SystemIni = ModelTest;

TEST_F(SystemIni, MissingFileGivesEveryDefault) {
    Allocate();
    EXPECT_STREQ(szNamedArea1, "Program 1");
    EXPECT_STREQ(szNamedArea2, "Program 2");
    EXPECT_STREQ(szWorkDirectory, "c:\\zd418");
    EXPECT_STREQ(szHardwareFile, "c:\\zd418\\hardware.mda");
    EXPECT_STREQ(szTestScratch, "c:\\zd418\\Q90.mda");
    EXPECT_STREQ(szTestFile, "c:\\zd418\\test1\\test1.mdb");
    EXPECT_STREQ(szRegisteredTest, "Q90");
    EXPECT_STREQ(szRegisteredHardware, "Q90");
    EXPECT_STREQ(szMatlabPath, "c:\\matlab\\matlab.exe");
    EXPECT_STREQ(szDadispPath, "c:\\dadisp\\dadisp.exe");
    EXPECT_STREQ(szMorvaPath, "c:\\zd418\\morva.exe");
    EXPECT_STREQ(szAccessPath, "c:\\msoffice\\msaccess.exe");
    EXPECT_STREQ(szTalkPipe, "\\\\.\\PIPE\\TEST");
    EXPECT_STREQ(szData1Pipe, "\\\\.\\PIPE\\TEST");
    EXPECT_EQ(nRecordingTime, 5);
    EXPECT_EQ(nTriggerBit, 1);
    EXPECT_EQ(nMuxFormat, 130);
    EXPECT_TRUE(bProgrammableMux);
    EXPECT_EQ(nCom2BaudRate, 9600);
    EXPECT_EQ(nCom2StopBits, 1);
    EXPECT_EQ(nCom2DataBits, 8);
    EXPECT_EQ(nScanListBlocks, 16);
    EXPECT_EQ(nWordsPerBlock, 8);
    EXPECT_EQ(dAggregateRate, 50000.0);
    EXPECT_EQ(fClockCrystal, 2000000.0f);
    EXPECT_EQ(nSystemChannels, 16);
    EXPECT_EQ(dADCMaxMv, 10000.0);
    EXPECT_EQ(dADCMaxCounts, 2048.0);
    EXPECT_TRUE(bAllTheSame);
    EXPECT_FALSE(bSimulator || bAppendMode || bServeData || bClientMode || bCom2RunAndPoint);
}

TEST_F(SystemIni, OutOfRangeValuesAreReplaced) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        int32_t* global;
        int32_t expected;
    } cases[] = {
        {"System", "TriggerState", "6", &nTriggerState, 6},
        {"System", "TriggerState", "7", &nTriggerState, 0},
        {"System", "TriggerState", "-1", &nTriggerState, 0},
        {"System", "RecordingType", "5", &nRecordingType, 5},
        {"System", "RecordingType", "6", &nRecordingType, 0},
        {"System", "RecordingTime", "-3", &nRecordingTime, 0},
        {"System", "RecordingTime", "junk", &nRecordingTime, 0},
        {"SCREEN LOCATIONS", "ControlTop", "480", &nControlTop, 480},
        {"SCREEN LOCATIONS", "ControlTop", "481", &nControlTop, 38},
        {"SCREEN LOCATIONS", "ControlLeft", "641", &nControlLeft, 402},
        {"SCREEN LOCATIONS", "ToolsTop", "481", &nToolsTop, 38},
        {"SCREEN LOCATIONS", "ToolsLeft", "641", &nToolsLeft, 0},
        {"SCREEN LOCATIONS", "ToolsLeft", "640", &nToolsLeft, 640},
        {"SYSTEM", "STARTBIT", " 3", &nStartBit, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << "=" << c.value);
        FakeSetProfileFile("Q90.ini", std::string("[") + c.section + "]\n" + c.key + "=" + c.value + "\n");
        LoadSystemIni();
        EXPECT_EQ(*c.global, c.expected);
    }
}

TEST_F(SystemIni, RecordingTypeIsZeroWhileRemoteControlled) {
    FakeSetProfileFile("Q90.ini", "[System]\nRecordingType=3\n");
    LoadSystemIni();
    EXPECT_EQ(nRecordingType, 3);
    bRemoteControlled = true;
    LoadSystemIni();
    EXPECT_EQ(nRecordingType, 0);
}

TEST_F(SystemIni, SwitchesAndTheServerClientRule) {
    struct Case {
        const char* text;
        bool append, simulator, serve, client;
    } cases[] = {
        {"[SYSTEM]\nAPPEND=yes\nSIMULATOR=Y\n", true, true, false, false},
        {"[system]\nappend=1\nsimulator=no\n", false, false, false, false},
        {"[NETWORK]\nCLIENT=YES\n", false, false, false, true},
        {"[NETWORK]\nPIPESERVER=YES\nCLIENT=YES\n", false, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bClientMode = true;  // a stale flag must not survive a server configuration
        FakeSetProfileFile("Q90.ini", c.text);
        LoadSystemIni();
        EXPECT_EQ(bAppendMode, c.append);
        EXPECT_EQ(bSimulator, c.simulator);
        EXPECT_EQ(bServeData, c.serve);
        EXPECT_EQ(bClientMode, c.client);
    }
}

TEST_F(SystemIni, PathDefaultsFollowTheWorkDirectoryAndLongTextsAreCut) {
    std::string longDir(300, 'd');
    std::string longName(500, 'n');
    FakeSetProfileFile("Q90.ini", "[Application]\nWorkDirectory=" + longDir +
                                      "\nNamedArea1=" + longName +
                                      "\n[System]\nRegisteredTest=" + longName +
                                      "\nTALKPIPE=" + longName +  // [System] is [SYSTEM]
                                      "\n[ExternalCalCommands]\nName2=" + longName +
                                      "\nCommand2=" + longName + "\nDelay2=-5\nDelay3=250\n");
    Allocate();
    EXPECT_EQ(strlen(szWorkDirectory), 255u);
    EXPECT_EQ(strlen(szHardwareFile), 255u);
    EXPECT_EQ(strlen(szNamedArea1), 199u);
    EXPECT_EQ(strlen(szRegisteredTest), 19u);
    EXPECT_EQ(strlen(szTalkPipe), 99u);
    EXPECT_EQ(strlen(lpsCalCommands->Name[1]), 24u);
    EXPECT_EQ(strlen(lpsCalCommands->Command[1]), 49u);
    EXPECT_EQ(lpsCalCommands->Delay[1], 0u);  // a negative wait is no wait
    EXPECT_EQ(lpsCalCommands->Delay[2], 250u);

    FakeSetProfileFile("Q90.ini", "[Application]\nWorkDirectory=e:\\q90\n[Test]\nTestfile=x.mdb\n");
    LoadSystemIni();
    EXPECT_STREQ(szTestScratch, "e:\\q90\\Q90.mda");
    EXPECT_STREQ(szHardwareFile, "e:\\q90\\hardware.mda");
    EXPECT_STREQ(szTestFile, "x.mdb");
}

TEST_F(SystemIni, HardwareListsApplyToAllChannelsOnlyWhileAllTheSameIsOn) {
    Allocate();
    FakeSetProfileFile("Q90.ini",
                       "[Hardware Settings]\nGain1=4\nGain13=-1\nGain14=2000\nFilter5=99\n"
                       "Voltage10=12\nCurrent1=7\nADCMaxCounts=32768.0\n"
                       "CardType=M17-C-VERY-LONG-NAME\n");
    LoadSystemIni();
    for (int i : {0, 255}) {
        EXPECT_EQ(Ch().GainList[i][0], 4);
        EXPECT_EQ(Ch().GainList[i][12], -1);  // still counted: the count is fixed
        EXPECT_EQ(Ch().GainList[i][13], 2000);
        EXPECT_EQ(Ch().GainCount[i], 13u);
        EXPECT_EQ(Ch().FilterList[i][4], 99);
        EXPECT_EQ(Ch().FilterCount[i], 5u);
        EXPECT_EQ(Ch().VoltageList[i][9], 12);
        EXPECT_EQ(Ch().CurrentList[i][0], 7);
        EXPECT_STREQ(Ch().CardModel[i], "M17-C-VERY-");  // 11 characters fit
    }
    EXPECT_EQ(sSystemOptions.Gains[13], 2000.0f);
    EXPECT_EQ(dADCMaxCounts, 32768.0);

    FakeSetProfileFile("Q90.ini", "[System]\nAllTheSame=No\n[Hardware Settings]\nGain1=9\nCardType=M21\n");
    LoadSystemIni();
    EXPECT_FALSE(bAllTheSame);
    EXPECT_EQ(Ch().GainList[5][0], 4);
    EXPECT_STREQ(Ch().CardModel[5], "M17-C-VERY-");
}

// Sets every saved global to a value other than its default.
void SetNonDefaults() {
    strcpy(szTestFile, "d:\\tests\\run7.mdb");
    nSubSystems = 3;
    nTriggerState = 4;
    nRecordingType = 2;
    nRecordingTime = 60;
    nSystemChannels = 32;
    fClockCrystal = 1234567.125f;
    bSimulator = true;
    bAppendMode = true;
    bCom2RunAndPoint = true;
    nCom2BaudRate = 19200;
    nCom2Parity = 2;
    nCom2StopBits = 2;
    nCom2DataBits = 7;
    nCom2FlowControl = 1;
    strcpy(szMatlabPath, "m.exe");
    strcpy(szDadispPath, "dd.exe");
    strcpy(szMorvaPath, "mo.exe");
    strcpy(szAccessPath, "ac.exe");
    strcpy(szNamedArea1, "Excel");
    strcpy(szNamedArea2, "Octave");
    strcpy(szTalkPipe, "\\\\.\\PIPE\\TALK");
    strcpy(szListenPipe, "\\\\.\\PIPE\\LISTEN");
    strcpy(szErrorPipe, "\\\\.\\PIPE\\ERR");
    strcpy(szData1Pipe, "\\\\.\\PIPE\\DATA");
    nStartAndTriggerChannel = 12;
    nStartBit = 5;
    nTriggerBit = 6;
    for (int n = 0; n < kCalCommands; ++n) {
        snprintf(lpsCalCommands->Name[n], 25, "Name %d", n * 3);
        snprintf(lpsCalCommands->Command[n], 50, "CMD%d;GO", n * 7);
        lpsCalCommands->Delay[n] = 100u * static_cast<uint32_t>(n);
    }
    nControlTop = 100;
    nControlLeft = 200;
    nControlStatus = 1;
    nToolsTop = 300;
    nToolsLeft = 400;
    nToolsStatus = 1;
}

TEST_F(SystemIni, SaveThenLoadGivesBackEveryWrittenValue) {
    Allocate();
    SetNonDefaults();
    SaveSystemIni();
    const std::string text = FakeProfileFile("Q90.ini");
    for (const char* line :
         {"Testfile=d:\\tests\\run7.mdb", "SubSystems=3", "TriggerState=4", "RecordingType=2",
          "RecordingTime=60", "SystemChannels=32", "ALLTHESAME=YES", "CARDTYPE=M17-B",
          "CLOCKCRYSTAL=1234567.1250", "SIMULATOR=YES", "APPEND=YES", "COM2RUNANDPOINT=YES",
          "COM2BAUDRATE=19200", "Name10=Name 27", "Command10=CMD63;GO", "Delay10=900",
          "ControlStatus=1", "ToolsStatus=1", "STARTBIT=5"})
        EXPECT_NE(text.find(std::string(line) + "\r\n"), std::string::npos) << line;
    // Keys that are never written.
    for (const char* key : {"WorkDirectory", "TestScratch", "MUXFORMAT", "PIPESERVER",
                            "AGGREGATERATE", "ADCMaxMv", "Gain1"})
        EXPECT_EQ(text.find(std::string(key) + "="), std::string::npos) << key;

    ResetSystemSettings();
    bSimulator = bAppendMode = false;
    memset(lpsCalCommands, 0, sizeof *lpsCalCommands);
    LoadSystemIni();
    EXPECT_STREQ(szTestFile, "d:\\tests\\run7.mdb");
    EXPECT_EQ(nSubSystems, 3);
    EXPECT_EQ(nTriggerState, 4);
    EXPECT_EQ(nRecordingType, 2);
    EXPECT_EQ(nRecordingTime, 60);
    EXPECT_EQ(nSystemChannels, 32);
    EXPECT_TRUE(bAllTheSame);
    EXPECT_STREQ(szSystemCardType, "M17-B");
    EXPECT_EQ(fClockCrystal, 1234567.125f);
    EXPECT_TRUE(bSimulator);
    EXPECT_TRUE(bAppendMode);
    EXPECT_TRUE(bCom2RunAndPoint);
    EXPECT_EQ(nCom2BaudRate, 19200);
    EXPECT_EQ(nCom2Parity, 2);
    EXPECT_EQ(nCom2StopBits, 2);
    EXPECT_EQ(nCom2DataBits, 7);
    EXPECT_EQ(nCom2FlowControl, 1);
    EXPECT_STREQ(szMatlabPath, "m.exe");
    EXPECT_STREQ(szDadispPath, "dd.exe");
    EXPECT_STREQ(szMorvaPath, "mo.exe");
    EXPECT_STREQ(szAccessPath, "ac.exe");
    EXPECT_STREQ(szNamedArea1, "Excel");
    EXPECT_STREQ(szNamedArea2, "Octave");
    EXPECT_STREQ(szTalkPipe, "\\\\.\\PIPE\\TALK");
    EXPECT_STREQ(szListenPipe, "\\\\.\\PIPE\\LISTEN");
    EXPECT_STREQ(szErrorPipe, "\\\\.\\PIPE\\ERR");
    EXPECT_STREQ(szData1Pipe, "\\\\.\\PIPE\\DATA");
    EXPECT_EQ(nStartAndTriggerChannel, 12);
    EXPECT_EQ(nStartBit, 5);
    EXPECT_EQ(nTriggerBit, 6);
    for (int n = 0; n < kCalCommands; ++n) {
        char name[25], command[50];
        snprintf(name, sizeof name, "Name %d", n * 3);
        snprintf(command, sizeof command, "CMD%d;GO", n * 7);
        EXPECT_STREQ(lpsCalCommands->Name[n], name);
        EXPECT_STREQ(lpsCalCommands->Command[n], command);
        EXPECT_EQ(lpsCalCommands->Delay[n], 100u * static_cast<uint32_t>(n));
    }
    EXPECT_EQ(nControlTop, 100);
    EXPECT_EQ(nControlLeft, 200);
    EXPECT_EQ(nControlStatus, 1);
    EXPECT_EQ(nToolsTop, 300);
    EXPECT_EQ(nToolsLeft, 400);
    EXPECT_EQ(nToolsStatus, 1);
}

TEST_F(SystemIni, DefaultClockAndWindowStateFormats) {
    Allocate();
    nControlTop = -20;
    nControlLeft = -1;
    nToolsTop = -5;
    nControlStatus = 0;
    nToolsStatus = 7;
    SaveSystemIni();
    const std::string text = FakeProfileFile("Q90.ini");
    for (const char* line : {"CLOCKCRYSTAL=2000000.0000", "ControlTop=0", "ControlLeft=0",
                             "ToolsTop=0", "ControlStatus=0", "ToolsStatus=1", "SIMULATOR=NO",
                             "Name1=Command1", "Command1=Undefined", "Delay1=0"})
        EXPECT_NE(text.find(std::string(line) + "\r\n"), std::string::npos) << line;
    // Written in the fixed order: the first keys of each section show it.
    size_t test = text.find("[Test]"), system = text.find("[System]"),
           hardware = text.find("[Hardware Settings]"), app = text.find("[Application]"),
           cal = text.find("[EXTERNALCALCOMMANDS]"), screen = text.find("[SCREEN LOCATIONS]");
    EXPECT_LT(test, system);
    EXPECT_LT(system, hardware);
    EXPECT_LT(hardware, app);
    EXPECT_LT(app, cal);
    EXPECT_LT(cal, screen);
    EXPECT_NE(screen, std::string::npos);
    EXPECT_LT(text.find("SubSystems"), text.find("ALLTHESAME"));
    EXPECT_LT(text.find("ALLTHESAME"), text.find("COM2BAUDRATE"));
    EXPECT_LT(text.find("SIMULATOR"), text.find("APPEND"));
}

TEST_F(SystemIni, CardCheckComparesOnlyTheSystemChannels) {
    Allocate();
    struct Case {
        int32_t systemChannels;
        int differentChannel;
        const char* allTheSame;
    } cases[] = {
        {16, 15, "NO"},      // channel 16 (index 15) is inside
        {16, 16, "YES"},     // index 16 is past the system's channels
        {1, 1, "YES"},
        {100000, 255, "NO"},  // a huge count is cut to the table, not read past it
        {-4, 1, "YES"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.systemChannels << " / " << c.differentChannel);
        FakeSetProfileFile("Q90.ini", "");
        LoadDefaults();
        strcpy(Ch().CardModel[c.differentChannel], "M21");
        nSystemChannels = c.systemChannels;
        SaveSystemIni();
        const std::string text = FakeProfileFile("Q90.ini");
        EXPECT_NE(text.find(std::string("ALLTHESAME=") + c.allTheSame + "\r\n"), std::string::npos);
        EXPECT_EQ(text.find("CARDTYPE=") != std::string::npos, std::string(c.allTheSame) == "YES");
    }
}

TEST_F(SystemIni, SystemChannelsGoBackToTheFileAsTheyCame) {
    // The count is only bounded where the card check uses it; the setting
    // itself is the operator's and must survive a load and an exit unchanged.
    for (const char* value : {"0", "1", "16", "256", "257", "-3"}) {
        SCOPED_TRACE(value);
        FakeReset();
        FakeSetProfileFile("Q90.ini", std::string("[HARDWARE SETTINGS]\nSYSTEMCHANNELS=") + value + "\n");
        Allocate();
        EXPECT_EQ(nSystemChannels, atoi(value));
        SaveSystemIni();
        std::string text = FakeProfileFile("Q90.ini");
        for (char& ch : text) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
        const std::string line = std::string("systemchannels=") + value;
        size_t at = text.find(line);
        ASSERT_NE(at, std::string::npos) << text;
        EXPECT_TRUE(text[at + line.size()] == '\r' || text[at + line.size()] == '\n') << text;
        FreeTestModel();
    }
}

TEST_F(SystemIni, MenuCaptionsMustShowAndFitTheMenu) {
    // The two named areas become the captions of menu items 116 and 117:
    // an empty one leaves a blank, clickable item, a long one is not shown whole.
    struct Case {
        const char* caption;
        bool usable;
    } cases[] = {
        {"Octave", true},
        {"O", true},
        {"1234567890123456789", true},  // 19 characters
        {"12345678901234567890", false},
        {"", false},
        {"   ", false},
        {"\t", false},
        {" Excel ", true},
    };
    for (const Case& c : cases) {
        const char* problem = MenuCaptionProblem(c.caption);
        EXPECT_EQ(problem == nullptr, c.usable) << "\"" << c.caption << "\"";
        if (problem != nullptr) {
            EXPECT_NE(std::string(problem), "");
        }
    }
    EXPECT_NE(MenuCaptionProblem(nullptr), nullptr);
    EXPECT_STRNE(MenuCaptionProblem(""), MenuCaptionProblem("12345678901234567890"));
}

TEST_F(SystemIni, StartAndTriggerMasksIgnoreImpossibleBits) {
    struct Case {
        int32_t bit;
        uint32_t mask;
    } cases[] = {{0, 1u}, {1, 2u}, {31, 0x80000000u}, {32, 0u}, {-1, 0u}, {INT32_MAX, 0u}};
    for (const Case& c : cases) EXPECT_EQ(BitMask(c.bit), c.mask) << c.bit;
    nStartBit = 3;
    nTriggerBit = 40;
    UpdateStartTriggerMasks();
    EXPECT_EQ(dwStartMask, 8u);
    EXPECT_EQ(dwTriggerMask, 0u);
}

}  // namespace
