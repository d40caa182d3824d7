// Long random sequences of the operations an operator can reach, with the
// table's invariant checked after every step.  Fixed seeds, so a failure
// replays.
#include <random>

#include "scan_table_fixture.h"

namespace {

class ScanTableProperty : public ScanTableTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(ScanTableProperty, InvariantHoldsAfterEveryOperation) {
    std::mt19937 rng(GetParam());
    auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    // A mix of cards, about one channel in eight a 5B card.
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        switch (pick(0, 15)) {
        case 0: case 1: SetCard(ch, "M11-B", 2); break;
        case 2: SetCard(ch, "M18-A", 10); break;
        case 3: SetCard(ch, "M21", 15); break;
        case 4: SetCard(ch, "M15-C", 6); break;
        default: break;
        }
    }
    int32_t refused = 0;
    int32_t added = 0;
    for (int step = 0; step < 1500; ++step) {
        ProgScanList before = *lpProgScanList;
        MultiRateTable rates = *MultiRate;
        int op = pick(0, 9);
        std::string what;
        if (op <= 4) {
            bool flags[kChannels] = {};
            int32_t count = pick(1, op == 0 ? 40 : 4);
            for (int32_t i = 0; i < count; ++i) flags[pick(0, kChannels - 1)] = true;
            int32_t k = pick(0, 12);
            what = "add at k=" + std::to_string(k);
            if (AddChannelsToScanTable(flags, k) == 1) {
                ++added;
                uint32_t d = 1u << k;
                for (int32_t ch = 0; ch < kChannels; ++ch) {
                    if (!flags[ch]) continue;
                    // A new channel gets exactly its rate.
                    ASSERT_EQ(MultiRate->Divisor[ch], static_cast<int32_t>(IsFiveBChannel(ch) ? 4 * d : d))
                        << what << " channel " << ch;
                    ASSERT_GE(MultiRate->FirstPosition[ch], 0) << what;
                }
                // Channels that were scanned still are.
                for (int32_t ch = 0; ch < kChannels; ++ch)
                    if (rates.FirstPosition[ch] >= 0) {
                        ASSERT_GE(MultiRate->FirstPosition[ch], 0) << what;
                    }
            } else {
                ++refused;
                ASSERT_EQ(memcmp(&before, lpProgScanList, sizeof before), 0) << "refused " << what;
                ASSERT_EQ(memcmp(&rates, MultiRate, sizeof rates), 0) << "refused " << what;
            }
        } else if (op <= 6) {
            int32_t ch = -1;
            if (lpProgScanList->EntryCount > 0)
                ch = static_cast<int32_t>(E(pick(0, lpProgScanList->EntryCount - 1)).CHANNEL);
            what = "remove " + std::to_string(ch);
            RemoveScanChannel(ch);
            if (ch >= 0) {
                ASSERT_EQ(MultiRate->FirstPosition[ch], -1) << what;
            }
        } else if (op == 7) {
            what = "rebuild";
            dSampleRate = pick(0, 1) ? 1000.0 : pick(5, 200000);
            RebuildScanTable();
            for (int32_t ch = 0; ch < kChannels; ++ch)
                ASSERT_EQ(MultiRate->FirstPosition[ch] >= 0, rates.FirstPosition[ch] >= 0) << what;
        } else if (op == 8) {
            int32_t channels[kChannels];
            int32_t n = pick(0, 256);
            for (int32_t i = 0; i < n; ++i) channels[i] = pick(0, kChannels - 1);
            what = "single rate of " + std::to_string(n);
            BuildSingleRateTable(channels, n, pick(0, 300000));
        } else {
            what = "clear";
            if (pick(0, 3) == 0) ClearScanTable();
        }
        std::string broken = CheckScanInvariant();
        ASSERT_EQ(broken, "") << "step " << step << ": " << what;
        FakeClearMessages();
    }
    // The sequences must have exercised both outcomes of an add.
    EXPECT_GT(added, 50);
    EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ScanTableProperty, ::testing::Values(1u, 2u, 3u, 1234u, 987654u));

}  // namespace
