// The data file editor: runs listed from the transfers' run-and-point texts,
// removal that keeps every byte not chosen, and a raw file that is replaced
// only by a complete new one.
#include <gtest/gtest.h>

#include "export/data_runs.h"
#include "export_fixture.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace exporttest;

namespace {

class DataRuns : public ExportTest {
  protected:
    void SetUp() override {
        ExportTest::SetUp();
        SingleRate({0, 1}, 1, 10.0);  // K = 10 scans of 20 bytes: 200-byte transfers
    }
    uint64_t TransferBytes() const { return static_cast<uint64_t>(ScanBytes()) * ScansPerTransfer(); }
    // One transfer per text; sample = transfer number, so every transfer's bytes differ.
    std::string Recording(const std::vector<std::string>& texts) {
        return MakeRaw(texts.size() * ScansPerTransfer(),
                       [](uint64_t s, uint32_t p) { return static_cast<int16_t>(s * 2 + p); },
                       [&](uint64_t t) { return texts[t]; });
    }
    RunTable List() {
        RunTable runs;
        EXPECT_EQ(ListRuns(RawName().c_str(), TransferBytes(), &runs), 1);
        return runs;
    }
};

TEST_F(DataRuns, AlternatingTextsAreSeparateRunsAndRemovalKeepsTheOthersExactly) {
    const std::string raw = Recording({"A", "A", "B", "B", "B", "A"});
    WriteRaw(raw);
    RunTable runs = List();
    ASSERT_EQ(runs.Count, 3);
    EXPECT_STREQ(runs.Run[0].Text, "A");
    EXPECT_STREQ(runs.Run[1].Text, "B");
    EXPECT_STREQ(runs.Run[2].Text, "A");
    EXPECT_EQ(runs.Run[0].Transfers, 2u);
    EXPECT_EQ(runs.Run[1].Offset, 2 * TransferBytes());
    EXPECT_EQ(runs.Run[1].Transfers, 3u);
    EXPECT_FALSE(runs.Capped);

    // Nothing chosen: the file is untouched.
    bool none[3] = {false, false, false};
    std::string problem;
    EXPECT_EQ(RemoveRuns(RawName().c_str(), runs, none, &problem), RemoveResult::NothingSelected);
    EXPECT_EQ(ReadBytes(RawName()), raw);

    // A stale temporary file of an interrupted edit is not carried over.
    WriteBytes(RemovalTemporary(RawName().c_str()), std::string(999, 'X'));
    bool middle[3] = {false, true, false};
    EXPECT_EQ(RemoveRuns(RawName().c_str(), runs, middle, &problem), RemoveResult::Rewritten);
    const uint64_t t = TransferBytes();
    EXPECT_EQ(ReadBytes(RawName()), raw.substr(0, 2 * t) + raw.substr(5 * t));
    EXPECT_FALSE(Exists(RemovalTemporary(RawName().c_str())));

    // All chosen: the raw file is gone.
    runs = List();
    ASSERT_EQ(runs.Count, 1);  // the two A runs now touch
    bool all[1] = {true};
    EXPECT_EQ(RemoveRuns(RawName().c_str(), runs, all, &problem), RemoveResult::Deleted);
    EXPECT_FALSE(Exists(RawName()));
    RunTable gone;
    EXPECT_EQ(ListRuns(RawName().c_str(), t, &gone), 0);
}

TEST_F(DataRuns, MoreThanAHundredRunsKeepEveryByteBeyondTheListedOnes) {
    std::vector<std::string> texts;
    for (int i = 0; i < 150; ++i) texts.push_back("T" + std::to_string(i));
    std::string raw = Recording(texts) + "partial";  // and a partial transfer at the end
    WriteRaw(raw);
    RunTable runs = List();
    ASSERT_EQ(runs.Count, kMaxRuns);
    EXPECT_TRUE(runs.Capped);
    EXPECT_EQ(runs.Run[99].Offset + runs.Run[99].Bytes, raw.size());
    bool selected[kMaxRuns] = {};
    selected[0] = true;
    std::string problem;
    EXPECT_EQ(RemoveRuns(RawName().c_str(), runs, selected, &problem), RemoveResult::Rewritten);
    EXPECT_EQ(ReadBytes(RawName()), raw.substr(TransferBytes()));
}

TEST_F(DataRuns, RateBelowTheBlockCountListsInBoundedSteps) {
    // 100 positions in 32 blocks at 20 blocks/s: the unbounded formula gives 0
    // scans per transfer; the recording was made with 1.
    std::vector<Slot> slots;
    for (uint32_t p = 0; p < 100; ++p) slots.push_back({static_cast<int32_t>(p % 50), p % 32});
    Table(slots, 32, 20.0);
    ASSERT_EQ(ScansPerTransfer(), 1u);
    WriteRaw(Recording({"A", "B", "B"}));
    RunTable runs = List();
    ASSERT_EQ(runs.Count, 2);
    EXPECT_EQ(runs.Run[1].Transfers, 2u);
    RunTable bad;
    EXPECT_EQ(ListRuns(RawName().c_str(), 0, &bad), 0);
}

TEST_F(DataRuns, AFileChangedSinceListingIsNotTouched) {
    const std::string raw = Recording({"A", "B"});
    WriteRaw(raw);
    RunTable runs = List();
    WriteRaw(raw + raw.substr(0, TransferBytes()));  // the recording grew
    bool first[2] = {true, false};
    std::string problem;
    EXPECT_EQ(RemoveRuns(RawName().c_str(), runs, first, &problem), RemoveResult::Failed);
    EXPECT_NE(problem.find("Changed"), std::string::npos);
    EXPECT_EQ(ReadBytes(RawName()).size(), raw.size() + TransferBytes());
}

#ifndef _WIN32
TEST_F(DataRuns, AWriteThatFailsHalfWayLeavesTheRecordingAsItWas) {
    // The file-size limit makes every write past it fail, as a full disk does.
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) texts.push_back(i % 2 ? "odd" : "even" + std::to_string(i));
    const std::string raw = Recording(texts);
    WriteRaw(raw);
    RunTable runs = List();
    ASSERT_EQ(runs.Count, kMaxRuns);
    bool selected[kMaxRuns] = {};
    selected[1] = true;
    struct sigaction ignore {}, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = raw.size() / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string problem;
    const RemoveResult result = RemoveRuns(RawName().c_str(), runs, selected, &problem);
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(result, RemoveResult::Failed);
    EXPECT_NE(problem.find("Could Not Write"), std::string::npos) << problem;
    EXPECT_EQ(ReadBytes(RawName()), raw);
    EXPECT_FALSE(Exists(RemovalTemporary(RawName().c_str())));
}
#endif

}  // namespace
