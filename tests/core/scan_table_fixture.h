// Shared set-up of the scan table tests: an allocated model with its defaults
// (every channel an M17-B analog card), a clean fake port, hardware mode, and
// a checker of the table's invariant.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "base/app_state.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

class ScanTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        bSimulator = bRemoteControlled = bClientMode = false;
        dwRemoteStatus = 0;
        ASSERT_EQ(AllocateTestModel(), 1);
        ClearScanTable();
        FakeClearMessages();
    }
    void TearDown() override { FreeTestModel(); }

    static void SetCard(int32_t channel, const char* model, uint32_t type) {
        strncpy(lpsChannelParams->CardModel[channel], model, 11);
        lpsChannelParams->CARDTYPE[channel] = type;
    }
    static void MakeFiveB(int32_t channel) { SetCard(channel, "M11-A", 1); }

    static bool Add(std::initializer_list<int32_t> channels, int32_t k) {
        bool flags[kChannels] = {};
        for (int32_t c : channels) flags[c] = true;
        return AddChannelsToScanTable(flags, k) == 1;
    }
    static const ProgScanEntry& E(uint32_t p) { return lpProgScanList->Entry[p]; }

    static std::vector<uint32_t> BlocksOf(int32_t channel) {
        std::vector<uint32_t> blocks;
        for (uint32_t p = 0; p < lpProgScanList->EntryCount; ++p)
            if (E(p).CHANNEL == static_cast<uint32_t>(channel)) blocks.push_back(E(p).BLOCK);
        return blocks;
    }
    static std::string LastCaption() {
        return FakeMessages().empty() ? "" : FakeMessages().back().caption;
    }
};

// The invariant every operation must leave behind; returns "" or what is wrong.
inline std::string CheckScanInvariant() {
    const ProgScanList& t = *lpProgScanList;
    const MultiRateTable& m = *MultiRate;
    if (t.EntryCount > static_cast<uint32_t>(kScanPositions)) return "entry count above 4096";
    int32_t entries[kChannels] = {};
    int32_t first[kChannels];
    for (int32_t& f : first) f = -1;
    for (uint32_t p = 0; p < t.EntryCount; ++p) {
        const ProgScanEntry& e = t.Entry[p];
        if (e.CHANNEL >= static_cast<uint32_t>(kChannels)) return "unused entry inside the count at " + std::to_string(p);
        if (e.BLOCK >= t.BlockCount) return "block past the block count at " + std::to_string(p);
        if (p > 0) {
            const ProgScanEntry& prev = t.Entry[p - 1];
            if (prev.BLOCK > e.BLOCK) return "not sorted by block at " + std::to_string(p);
            if (prev.BLOCK == e.BLOCK && prev.CHANNEL >= e.CHANNEL)
                return "not sorted by channel, or a channel twice in a block, at " + std::to_string(p);
        }
        bool fiveB = IsFiveBChannel(static_cast<int32_t>(e.CHANNEL));
        if (e.FiveBFlag != (fiveB ? 1u : 0u)) return "5B flag wrong at " + std::to_string(p);
        if (e.DataType != static_cast<uint32_t>(CardDataType(lpsChannelParams->CardModel[e.CHANNEL])))
            return "data type wrong at " + std::to_string(p);
        if (entries[e.CHANNEL]++ == 0) first[e.CHANNEL] = static_cast<int32_t>(p);
    }
    if (m.PositionsFree != kScanPositions - t.EntryCount) return "free positions wrong";
    for (int32_t c = 0; c < kChannels; ++c) {
        std::string ch = " of channel " + std::to_string(c);
        if (m.FirstPosition[c] != first[c]) return "first position" + ch;
        if (entries[c] == 0) {
            if (m.Divisor[c] != 0 || m.PositionCount[c] != 0) return "divisor or count left" + ch;
            continue;
        }
        if (m.Divisor[c] < 1) return "no divisor" + ch;
        int32_t expected = IsFiveBChannel(c) ? 16 * m.Divisor[c] : entries[c];
        if (m.PositionCount[c] != expected) return "position count" + ch;
    }
    return "";
}
