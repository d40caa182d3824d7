// The tool palette's Retrieve and Save of channel information against a real
// test database: edits thrown away or kept, and neither the test file nor the
// scratch database ever left damaged by a failure.
#include "tests/core/db_fixture.h"

#include "shell/channel_info.h"

namespace {

using dbtest::Exists;
using dbtest::ReadFile;
using dbtest::WriteFile;

class ChannelInfoTest : public dbtest::DatabaseTest {
  protected:
    // Opens a test made from the template with channel 0 named `mark`.
    std::string OpenMarkedTest(const std::string& name, const char* mark) {
        std::string scratch = ReadFile(Where().scratch);
        Sql(std::string("UPDATE CHANNELPARAMETERS SET NAME = '") + mark + "' WHERE CHANNEL = 0");
        std::string path = Where().work + "\\" + name;
        EXPECT_TRUE(PlatformCopyFile(Where().scratch.c_str(), path.c_str()));
        EXPECT_TRUE(WriteFile(Where().scratch, scratch));
        EXPECT_EQ(OpenChosenTest(path.c_str()), 1);
        FakeClearMessages();
        return path;
    }
    static std::vector<std::string> Texts() {
        std::vector<std::string> t;
        for (const FakeMessage& m : FakeMessages()) t.push_back(m.caption + ": " + m.text);
        return t;
    }
};

TEST_F(ChannelInfoTest, SaveWritesTheEditsAndCopiesTheWorkingCopyBack) {
    std::string path = OpenMarkedTest("save1.mdb", "saved");
    snprintf(Ch().NAME[12], sizeof Ch().NAME[12], "%s", "edited");
    bTestSaved = false;
    ASSERT_EQ(SaveChannelInformation(), 1) << ::testing::PrintToString(Texts());
    EXPECT_TRUE(bTestSaved);
    EXPECT_EQ(ReadFile(path), ReadFile(Where().scratch));
    EXPECT_EQ(Texts(), std::vector<std::string>{"Success: Channel Information Saved"});
    EXPECT_EQ(FakeWaitCursorDepth(), 0);
    // Reopened, the edit is in the file.
    ASSERT_EQ(OpenChosenTest(path.c_str()), 1);
    EXPECT_STREQ(Ch().NAME[12], "edited");
}

TEST_F(ChannelInfoTest, AFailedSaveNeverTouchesTheTestFile) {
    std::string path = OpenMarkedTest("save2.mdb", "kept");
    const std::string original = ReadFile(path);
    snprintf(Ch().NAME[1], sizeof Ch().NAME[1], "%s", "unsaved");
    bTestSaved = false;

    // The copy back stops half-way (full disk): the old file stays whole.
    FakeFailNextCopy(2048);
    EXPECT_EQ(SaveChannelInformation(), 0);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_FALSE(Exists(TemporaryBeside(path.c_str())));
    EXPECT_FALSE(bTestSaved);
    EXPECT_EQ(Texts(), std::vector<std::string>{"No Test Is Opened: Please Open A Test First"});

    // The save into the working copy fails (it is no database any more):
    // nothing is copied back over the test.
    FakeClearMessages();
    ASSERT_TRUE(WriteFile(Where().scratch, "this is not a database, it is damaged beyond use"));
    EXPECT_EQ(SaveChannelInformation(), 0);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_FALSE(bTestSaved);
    // The database layer names what failed first; the last word is ours,
    // and no success is claimed.
    ASSERT_FALSE(FakeMessages().empty());
    EXPECT_EQ(FakeMessages().back().caption, "Problem With Test Database Save");
    for (const FakeMessage& m : FakeMessages()) EXPECT_NE(m.caption, "Success");
    EXPECT_EQ(FakeWaitCursorDepth(), 0);
}

TEST_F(ChannelInfoTest, SaveOrRetrieveWithoutATestAsksForOne) {
    const std::string scratch = ReadFile(Where().scratch);
    for (bool simulator : {false, true}) {
        bSimulator = simulator;
        FakeClearMessages();
        EXPECT_EQ(SaveChannelInformation(), 0);
        EXPECT_EQ(RetrieveChannelInformation(), 0);
        const std::string expected = simulator
            ? "Demo Version Running Without Test Open: If You Have ODBC Then Open A Test First"
            : "No Test Is Opened: Please Open A Test First";
        EXPECT_EQ(Texts(), (std::vector<std::string>{expected, expected}));
        EXPECT_EQ(ReadFile(Where().scratch), scratch);
    }
    EXPECT_EQ(FakeWaitCursorDepth(), 0);
}

TEST_F(ChannelInfoTest, RetrieveThrowsAwayTheEditsAndReloads) {
    std::string path = OpenMarkedTest("get1.mdb", "ondisk");
    snprintf(Ch().NAME[0], sizeof Ch().NAME[0], "%s", "unsaved edit");
    Ch().GAIN[0] = 100;
    bTestSaved = false;
    lpQuickPlots->Prepared = 1;
    ASSERT_EQ(RetrieveChannelInformation(), 1) << ::testing::PrintToString(Texts());
    EXPECT_EQ(lpQuickPlots->Prepared, 0u) << "quick plots of the old scan table";
    EXPECT_STREQ(Ch().NAME[0], "ondisk");
    EXPECT_EQ(Ch().GAIN[0], 1.0);
    EXPECT_EQ(lpCVT->AlarmAbove[0], 8000.0);
    EXPECT_TRUE(bTestSaved);
    EXPECT_EQ(ReadFile(Where().scratch), ReadFile(path));
    EXPECT_EQ(Texts(), std::vector<std::string>{"Success: Channel Information Retrieved"});
    EXPECT_FALSE(Exists(BackupBeside(Where().scratch.c_str())));
}

TEST_F(ChannelInfoTest, AFailedRetrieveLeavesTheScratchDatabaseAsItWas) {
    std::string path = OpenMarkedTest("get2.mdb", "first");
    const std::string scratch = ReadFile(Where().scratch);

    // The test file has gone.
    PlatformDeleteFile(path.c_str());
    EXPECT_EQ(RetrieveChannelInformation(), 0);
    EXPECT_EQ(ReadFile(Where().scratch), scratch);
    EXPECT_EQ(Texts(), std::vector<std::string>{"No Test Is Opened: Please Open A Test First"});

    // The test file is damaged: it is not loaded, the scratch database is
    // put back and the operator gets the demonstration test, as on opening.
    FakeClearMessages();
    ASSERT_TRUE(WriteFile(path, "garbage where a database should be"));
    EXPECT_EQ(RetrieveChannelInformation(), 0);
    EXPECT_EQ(ReadFile(Where().scratch), scratch);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Bad Test Database: The Test Database Is Corrupt"});
    EXPECT_FALSE(Exists(BackupBeside(Where().scratch.c_str())));

    // The copy over the scratch database fails half-way.
    FakeClearMessages();
    std::string again = OpenMarkedTest("get3.mdb", "third");
    const std::string before = ReadFile(Where().scratch);
    snprintf(Ch().NAME[0], sizeof Ch().NAME[0], "%s", "kept edit");
    FakeFailNextCopy(100);
    EXPECT_EQ(RetrieveChannelInformation(), 0);
    EXPECT_EQ(ReadFile(Where().scratch), before);
    EXPECT_STREQ(Ch().NAME[0], "kept edit");
    EXPECT_EQ(FakeWaitCursorDepth(), 0);
}

}  // namespace
