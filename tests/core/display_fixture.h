// Shared set-up of the display tests: an allocated model on the fake port,
// helpers to lay out a scan table and to write a recorded data file.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

inline std::string DisplayTempDir() {
#ifdef _WIN32
    return ".";
#else
    const char* t = getenv("TMPDIR");
    return t && *t ? t : "/tmp";
#endif
}

class DisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        bSimulator = bRemoteControlled = bClientMode = bPlaying = false;
        ASSERT_EQ(AllocateTestModel(), 1);
        ClearScanTable();
        for (int32_t c = 0; c < kChannels; ++c) nChannelAdcBits[c] = 16;
        FakeClearMessages();
        dwReplayDelay = 0;
    }
    void TearDown() override { FreeTestModel(); }

    // Scan table of the given channels in order, one block, with the scan
    // map (ScanPosition) rebuilt.
    static void SetScan(const std::vector<int32_t>& channels) {
        lpProgScanList->EntryCount = static_cast<uint32_t>(channels.size());
        lpProgScanList->BlockCount = 1;
        for (size_t p = 0; p < channels.size(); ++p) {
            lpProgScanList->Entry[p].CHANNEL = static_cast<uint32_t>(channels[p]);
            lpProgScanList->Entry[p].BLOCK = 0;
        }
        BuildScanMapTo(nullptr);
        // The tests count in 16-bit converter steps unless they say otherwise.
        for (int32_t c = 0; c < kChannels; ++c) nChannelAdcBits[c] = 16;
    }

    // A recorded data file for the current test: `scans` scans of the
    // current table where the sample at position p of scan k is word(k, p).
    template <typename Word>
    std::string WriteRecording(const char* name, int32_t scans, Word word) {
        std::string base = DisplayTempDir() + "/" + name;
        snprintf(szTestFile, sizeof szTestFile, "%s.mdb", base.c_str());
        std::string raw = base + ".raw";
        FILE* f = fopen(raw.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f == nullptr) return raw;
        const uint32_t n = lpProgScanList->EntryCount;
        std::vector<uint8_t> scan(16 + 2 * n);
        for (int32_t k = 0; k < scans; ++k) {
            std::fill(scan.begin(), scan.end(), 0);
            scan[0] = 0x6B;
            scan[1] = 0xFE;
            for (uint32_t p = 0; p < n; ++p) {
                uint16_t w = static_cast<uint16_t>(word(k, static_cast<int32_t>(p)));
                scan[16 + 2 * p] = static_cast<uint8_t>(w & 0xFF);
                scan[17 + 2 * p] = static_cast<uint8_t>(w >> 8);
            }
            fwrite(scan.data(), 1, scan.size(), f);
        }
        fclose(f);
        return raw;
    }
};
