// Opening, creating and saving tests with real files and the real data source:
// the name and path rules, the safe copy, the flags, the title, the demo test.
#include <cstring>
#include <string>

#include "shell/shell_rules.h"
#include "base/status_report.h"
#include "tests/core/db_fixture.h"

namespace dbtest {
namespace {

TEST(TestNameRules, LengthAndCharacters) {
    struct Case {
        const char* name;
        bool valid;
    } cases[] = {{"test1", true},     {"ABCDEFGH", true},  {"ABCDEFGHI", false}, {"", false},
                 {"a.b", false},      {"a:b", false},      {"a\\b", false},      {"a/b", false},
                 {"x!", false},       {"50%", false},      {"x{y}", false},      {"a b", true},
                 {"it's", false},     {"q=1", false},      {"t-1_2", true}};
    for (const Case& c : cases) EXPECT_EQ(IsValidTestName(c.name), c.valid) << c.name;
}

TEST(SafeCopyRules, TemporaryNameSitsBesideTheTargetWithTheSameLength) {
    EXPECT_EQ(TemporaryBeside("c:\\zd418\\test1\\test1.mdb"), "c:\\zd418\\test1\\test1.md~");
    EXPECT_EQ(TemporaryBeside("x.md~"), "x.md#");
    // The backup of a file being replaced never meets either name.
    for (const char* target : {"c:\\zd418\\q90.mda", "x.md~", "x.md#", "x.md$", "x.md!"}) {
        EXPECT_NE(BackupBeside(target), target);
        EXPECT_NE(BackupBeside(target), TemporaryBeside(target));
        EXPECT_EQ(BackupBeside(target).size(), strlen(target));
    }
}

class LifecycleTest : public DatabaseTest {
  protected:
    // A test file under the work directory holding the template with one mark.
    // The scratch database is left as it was.
    std::string MakeTest(const std::string& name, const char* channelName) {
        std::string scratch = ReadFile(Where().scratch);
        EXPECT_TRUE(PlatformCopyFile(Where().template_.c_str(), Where().scratch.c_str()));
        Sql(std::string("UPDATE CHANNELPARAMETERS SET NAME = '") + channelName + "' WHERE CHANNEL = 0");
        std::string path = Where().work + "\\" + name;
        EXPECT_TRUE(PlatformCopyFile(Where().scratch.c_str(), path.c_str()));
        EXPECT_TRUE(WriteFile(Where().scratch, scratch));
        return path;
    }
};

TEST_F(LifecycleTest, OpeningAChosenTestLoadsItAndSetsFlagsTitleAndLimits) {
    std::string path = MakeTest("alpha.mdb", "alpha");
    Sql("UPDATE CHANNELPARAMETERS SET NAME = 'scratch'");
    bool shown = false;
    gLifecycleUi.showCompanions = [] { FakeAdvanceTime(1); };
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    shown = PlatformTimeMs() == 1;
    EXPECT_TRUE(shown);
    EXPECT_STREQ(Ch().NAME[0], "alpha");
    EXPECT_TRUE(bTestOpen);
    EXPECT_TRUE(bTestSaved);
    EXPECT_EQ(std::string(szMainTitle), "Vornel Morva " + path);
    EXPECT_EQ(std::string(szTestFile), path);
    EXPECT_EQ(lpCVT->AlarmAbove[0], 8000.0);
    EXPECT_EQ(lpCVT->WarningBelow[0], -6000.0);
    EXPECT_EQ(lpCVT->AlarmColor[0], 0x0000FFu);
    EXPECT_EQ(FakeWaitCursorDepth(), 0);
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());
}

TEST_F(LifecycleTest, RefusedChoicesChangeNothing) {
    std::string before = szTestFile;
    struct Case {
        std::string path;
        const char* text;
    } cases[] = {
        {Where().work + "\\notes.txt", "The File Is Not An Access Database"},
        {Where().scratch, "The File Is Not An Access Database"},  // the scratch file is an .mda
        {std::string(300, 'a') + ".mdb", "Problem With Test Database Or Scratch Database"},
        {Where().work + "\\absent.mdb", "Problem With Test Database Or Scratch Database"},
    };
    for (const Case& c : cases) {
        FakeClearMessages();
        EXPECT_EQ(OpenChosenTest(c.path.c_str()), 0) << c.path;
        ASSERT_EQ(FakeMessages().size(), 1u) << c.path;
        EXPECT_EQ(FakeMessages()[0].text, c.text);
        EXPECT_EQ(std::string(szTestFile), before);
        EXPECT_FALSE(bTestOpen);
    }
    // The scratch and hardware databases, named in any letter case.
    snprintf(szTestScratch, sizeof szTestScratch, "%s", (Where().work + "\\SCRATCH.mdb").c_str());
    snprintf(szHardwareFile, sizeof szHardwareFile, "%s", (Where().work + "\\Hardware.MDB").c_str());
    EXPECT_EQ(CheckChosenPath((Where().work + "\\scratch.mdb").c_str()), ChosenPath::ScratchDatabase);
    EXPECT_EQ(CheckChosenPath((Where().work + "\\hardware.mdb").c_str()), ChosenPath::HardwareDatabase);
}

TEST_F(LifecycleTest, AFileThatIsNoDatabaseGivesTheCorruptMessageAndTheDemoTest) {
    std::string path = Where().work + "\\garbage.mdb";
    ASSERT_TRUE(WriteFile(path, std::string(5000, 'x')));
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    ASSERT_FALSE(FakeMessages().empty());
    EXPECT_EQ(FakeMessages()[0].text, "The Test Database Is Corrupt");
    EXPECT_EQ(FakeMessages()[0].caption, "Bad Test Database");
    EXPECT_EQ(lpProgScanList->EntryCount, 192u);
    EXPECT_EQ(dSampleRate, 20000.0);
    EXPECT_STREQ(Ch().NAME[2], "Accel");
    // The operator's file is no longer the current test, so no save can overwrite it.
    EXPECT_EQ(std::string(szTestFile), Where().work + "\\demo\\demo.mdb");
    EXPECT_EQ(ReadFile(path), std::string(5000, 'x'));

    // In simulator mode the message says the demo version goes on.
    FakeClearMessages();
    bSimulator = true;
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    EXPECT_EQ(FakeMessages()[0].text, "ODBC Not Installed. Continuing With DEMO Defaults");
}

// The scratch database is the template of every new test: a damaged file
// that fails to open must not take its place.
TEST_F(LifecycleTest, AFailedOpenLeavesTheScratchDatabaseAsItWas) {
    std::string good = MakeTest("good.mdb", "good");
    ASSERT_EQ(OpenChosenTest(good.c_str()), 1);
    EXPECT_FALSE(Exists(BackupBeside(Where().scratch.c_str())));
    const std::string scratch = ReadFile(Where().scratch);
    std::string damaged = Where().work + "\\damaged.mdb";
    ASSERT_TRUE(WriteFile(damaged, std::string(5000, 'x')));

    FakeClearMessages();
    ASSERT_EQ(OpenChosenTest(damaged.c_str()), 1);
    EXPECT_EQ(FakeMessages().at(0).text, "The Test Database Is Corrupt");
    EXPECT_TRUE(ReadFile(Where().scratch) == scratch);  // bytes: not printed
    // No file behind the demonstration test: the title names none.
    EXPECT_EQ(std::string(szMainTitle), "Vornel Morva Default Settings");
    EXPECT_FALSE(Exists(TemporaryBeside(Where().scratch.c_str())));
    EXPECT_FALSE(Exists(BackupBeside(Where().scratch.c_str())));

    // The start-up open of a named file: the same.
    FakeClearMessages();
    EXPECT_EQ(OpenNamedTest(damaged.c_str()), 0);
    EXPECT_EQ(FakeMessages().at(0).text, "The Test Database Is Corrupt");
    EXPECT_TRUE(ReadFile(Where().scratch) == scratch);  // bytes: not printed

    // New Test then starts from the last good test, without complaint.
    FakeClearMessages();
    ASSERT_EQ(CreateTestNamed("after"), 1);
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());
    EXPECT_STREQ(Ch().NAME[0], "good");
    EXPECT_TRUE(ReadFile(Where().work + "\\after\\after.mdb") == scratch);
    EXPECT_EQ(SaveTest(), 1) << ::testing::PrintToString(Shown());
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());
}

TEST_F(LifecycleTest, NewTestFromADamagedScratchDatabaseCreatesNothing) {
    std::string open = MakeTest("kept.mdb", "kept");
    ASSERT_EQ(OpenChosenTest(open.c_str()), 1);
    ASSERT_TRUE(WriteFile(Where().scratch, std::string(4000, 'y')));
    const std::string title = szMainTitle;
    FakeClearMessages();
    EXPECT_EQ(CreateTestNamed("fromjunk"), 0);
    ASSERT_EQ(FakeMessages().size(), 1u) << ::testing::PrintToString(Shown());
    EXPECT_EQ(FakeMessages()[0].text, "The Scratch Database Is Corrupt");
    EXPECT_EQ(FakeMessages()[0].caption, "Bad Test Database");
    EXPECT_FALSE(Exists(Where().work + "\\fromjunk\\fromjunk.mdb"));
    EXPECT_EQ(std::string(szTestFile), open);
    EXPECT_EQ(std::string(szMainTitle), title);
    EXPECT_STREQ(Ch().NAME[0], "kept");
    EXPECT_TRUE(bTestSaved);
}

TEST_F(LifecycleTest, CancellingTheFirstOpenLeavesTheDemonstrationTest) {
    EXPECT_EQ(OpenTestCancelled(), 1);
    EXPECT_EQ(std::string(szMainTitle), "Vornel Morva Default Settings");
    EXPECT_EQ(lpProgScanList->EntryCount, 192u);
    EXPECT_EQ(lpProgScanList->BlockCount, 32u);
    EXPECT_EQ(lpProgScanList->Entry[191].CHANNEL, 6u);
    EXPECT_EQ(lpProgScanList->Entry[191].BLOCK, 31u);
    EXPECT_EQ(dSampleRate, 20000.0);
    EXPECT_STREQ(Ch().NAME[3], "Bridge");
    EXPECT_STREQ(Ch().UNITS[2], "g's");
    EXPECT_EQ(Ch().GAIN[3], 200.0);
    EXPECT_EQ(lpsCalTypes->STATES[7], 8u);
    EXPECT_STREQ(lpsCalTypes->NAME[15], "Cal Procedure 15");
    EXPECT_EQ(lpCVT->AlarmAbove[2], 40.0);
    EXPECT_FALSE(bTestOpen);

    // With a test open, cancelling keeps it.
    std::string path = MakeTest("beta.mdb", "beta");
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    EXPECT_EQ(OpenTestCancelled(), 1);
    EXPECT_STREQ(Ch().NAME[0], "beta");
}

TEST_F(LifecycleTest, SaveWritesTheModelAndCopiesItBackToTheTestFile) {
    std::string path = MakeTest("gamma.mdb", "gamma");
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    snprintf(Ch().NAME[9], sizeof Ch().NAME[9], "%s", "edited");
    Ch().CARDTYPE[30] = 15;  // a DAC card
    Ch().CARDTYPE[40] = 11;  // a digital card
    bTestSaved = false;
    ASSERT_EQ(SaveTest(), 1) << ::testing::PrintToString(Shown());
    EXPECT_TRUE(bTestSaved);
    EXPECT_EQ(sDacChannel[0].HARDCHAN, 30);
    EXPECT_EQ(sDigitalOut[0].HARDWARECHANNEL, 40);
    EXPECT_EQ(ReadFile(path), ReadFile(Where().scratch));

    // Open something else, then the saved test again: the edit is there.
    std::string other = MakeTest("delta.mdb", "delta");
    ASSERT_EQ(OpenChosenTest(other.c_str()), 1);
    EXPECT_STREQ(Ch().NAME[9], "CHAN9");
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    EXPECT_STREQ(Ch().NAME[9], "edited");
    EXPECT_EQ(sDacChannel[0].HARDCHAN, 30);
}

TEST_F(LifecycleTest, AFailedCopyNeverLeavesAHalfWrittenTestFile) {
    std::string path = MakeTest("safe.mdb", "safe");
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    std::string original = ReadFile(path);
    snprintf(Ch().NAME[1], sizeof Ch().NAME[1], "%s", "unsaved");
    bTestSaved = false;
    FakeClearMessages();
    FakeFailNextCopy(4096);  // the disk fills after 4 KiB of the copy back
    EXPECT_EQ(SaveTest(), 0);
    EXPECT_FALSE(bTestSaved);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_FALSE(Exists(TemporaryBeside(path.c_str())));
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].caption, "Problem With Test Database Save");
    // The next attempt goes through.
    EXPECT_EQ(SaveTest(), 1);
    EXPECT_NE(ReadFile(path), original);

    // Opening: a copy that fails over the scratch database keeps the open test.
    std::string other = MakeTest("other.mdb", "other");
    std::string scratchBefore = ReadFile(Where().scratch);
    FakeClearMessages();
    FakeFailNextCopy(100);
    EXPECT_EQ(OpenChosenTest(other.c_str()), 0);
    EXPECT_EQ(FakeMessages()[0].text, "Problem With Test Database Or Scratch Database");
    EXPECT_EQ(std::string(szTestFile), path);
    EXPECT_EQ(ReadFile(Where().scratch), scratchBefore);
    EXPECT_STREQ(Ch().NAME[1], "unsaved");
}

TEST_F(LifecycleTest, NewTestCopiesTheLastSavedStateAndReusesItsDirectory) {
    std::string path = MakeTest("epsilon.mdb", "epsilon");
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    snprintf(Ch().NAME[0], sizeof Ch().NAME[0], "%s", "not saved");
    ASSERT_EQ(CreateTestNamed("newtest"), 1);
    std::string created = Where().work + "\\newtest\\newtest.mdb";
    EXPECT_EQ(std::string(szTestFile), created);
    EXPECT_EQ(std::string(szMainTitle), "Vornel Morva " + created);
    EXPECT_STREQ(Ch().NAME[0], "epsilon");  // a copy of the test as last saved
    EXPECT_TRUE(Exists(created));
    // Again with the same name: the directory is reused, the file replaced.
    EXPECT_EQ(CreateTestNamed("newtest"), 1);
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());

    EXPECT_EQ(CreateTestNamed("toolongname"), 0);
    EXPECT_EQ(FakeMessages().back().text, "The Test Name Entered Was Invalid");
}

TEST_F(LifecycleTest, SaveAsKeepsTheEditsTheOperatorSees) {
    std::string path = MakeTest("zeta.mdb", "zeta");
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    snprintf(Ch().NAME[0], sizeof Ch().NAME[0], "%s", "edited zeta");
    bTestSaved = false;
    ASSERT_EQ(SaveTestAsNamed("zeta2"), 1) << ::testing::PrintToString(Shown());
    EXPECT_STREQ(Ch().NAME[0], "edited zeta");
    std::string created = Where().work + "\\zeta2\\zeta2.mdb";
    ASSERT_EQ(OpenChosenTest(created.c_str()), 1);
    EXPECT_STREQ(Ch().NAME[0], "edited zeta");
}

TEST_F(LifecycleTest, ALongTestPathOpensAndSaves) {
    // A directory name that brings the whole path to 255 characters.
    std::string dir = Where().work + "\\";
    std::string tail = "\\long.mdb";
    dir += std::string(255 - dir.size() - tail.size(), 'd');
    ASSERT_LE(dir.size(), 255u);
    ASSERT_TRUE(PlatformCreateDirectory(dir.c_str()));
    std::string path = dir + tail;
    ASSERT_EQ(path.size(), 255u);
    ASSERT_TRUE(PlatformCopyFile(Where().scratch.c_str(), path.c_str()));
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1) << ::testing::PrintToString(Shown());
    EXPECT_EQ(std::string(szTestFile), path);
    bTestSaved = false;
    EXPECT_EQ(SaveTest(), 1) << ::testing::PrintToString(Shown());
    EXPECT_TRUE(FakeMessages().empty()) << ::testing::PrintToString(Shown());
}

TEST_F(LifecycleTest, CommandLineTestOpensWithItsTitleOrReportsStatus23) {
    std::string path = MakeTest("named.mdb", "named");
    lpQuickPlots->Prepared = 1;  // prepared for the test open before
    EXPECT_EQ(OpenNamedTest(path.c_str()), 1);
    EXPECT_EQ(lpQuickPlots->Prepared, 0u);
    EXPECT_STREQ(Ch().NAME[0], "named");
    EXPECT_EQ(std::string(szMainTitle), "Vornel Morva " + path);
    EXPECT_TRUE(bTestOpen && bTestSaved);

    std::string bad = Where().work + "\\bad.mdb";
    WriteFile(bad, "not a database at all");
    bRemoteControlled = true;
    hErrorPipe = FakePipeCreate();
    FakeClearMessages();
    EXPECT_EQ(OpenNamedTest(bad.c_str()), 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_EQ(FakePipeBytes(hErrorPipe), "FATAL::Test Database Corrupt");
    hErrorPipe = 0;
    bRemoteControlled = false;
    EXPECT_EQ(OpenNamedTest(bad.c_str()), 0);
    EXPECT_EQ(FakeMessages().back().text, "The Test Database Is Corrupt");
}

TEST_F(LifecycleTest, ExitWithAnUnsavedTestSavesItOnYes) {
    std::string path = MakeTest("exit.mdb", "exit");
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    snprintf(Ch().NAME[5], sizeof Ch().NAME[5], "%s", "saved on exit");
    bTestSaved = false;
    FakePushAnswer(IDYES_);
    EXPECT_TRUE(RunExitSequence());
    EXPECT_EQ(FakeMessages()[0].caption, "Save Unsaved Test First?");
    EXPECT_EQ(ReadFile(path), ReadFile(Where().scratch));
    ASSERT_EQ(AllocateTestModel(), 1);
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    EXPECT_STREQ(Ch().NAME[5], "saved on exit");
}

TEST_F(LifecycleTest, FileLocationsAreCutToTheirFields) {
    std::string longPath(200, 'p');
    StoreFileLocations("c:\\office\\access.exe", longPath.c_str(), "m", "d",
                       "A caption that is too long", "Short");
    EXPECT_STREQ(szAccessPath, "c:\\office\\access.exe");
    EXPECT_EQ(std::string(szMorvaPath), std::string(127, 'p'));
    EXPECT_STREQ(szNamedArea1, "A caption that is t");
    EXPECT_STREQ(szNamedArea2, "Short");
}

}  // namespace
}  // namespace dbtest
