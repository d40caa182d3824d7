// Recordings with known samples for the data-tool tests: a test model built in
// memory (channels, card models, scan table, rate) and a raw file written
// scan by scan from a sample function, so every output can be checked value
// for value against values the test works out by itself.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace exporttest {

inline std::string ReadBytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Text without the CR of text-mode line ends on Windows.
inline std::string ReadText(const std::string& name) {
    std::string text;
    for (char c : ReadBytes(name))
        if (c != '\r') text += c;
    return text;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

inline void WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f << bytes;
}

inline bool Exists(const std::string& name) { return std::filesystem::exists(name); }

// One slot of the scan table: channel and block.
struct Slot {
    int32_t Channel;
    uint32_t Block;
};

class ExportTest : public ::testing::Test {
  protected:
    std::string dir;   // this test's folder, with a trailing separator
    std::string test;  // the test file: dir + "t1.mdb"

    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        ClearScanTable();
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // Relative, so that the same folder works natively and under Wine.
        dir = std::string("export_out/") + info->test_suite_name() + "." + info->name() + "/";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        test = dir + "t1.mdb";
        snprintf(szTestFile, sizeof szTestFile, "%s", test.c_str());
        for (int c = 0; c < kChannels; ++c) {
            snprintf(lpsChannelParams->NAME[c], 32, "CH%d", c);
            snprintf(lpsChannelParams->UNITS[c], 8, "V");
            lpsChannelParams->GAIN[c] = 1.0;
            lpsChannelParams->SENSITIVITY[c] = 1.0;
            lpsChannelParams->OFFSET[c] = 0.0;
            lpsChannelParams->CARDTYPE[c] = 5;
            snprintf(lpsChannelParams->CardModel[c], 12, "M11-A");
        }
        FakeClearMessages();
    }
    void TearDown() override {
        FreeTestModel();
        if (!HasFailure()) std::filesystem::remove_all(dir);
    }

    static void Table(const std::vector<Slot>& slots, uint32_t blocks, double rate) {
        ClearScanTable();
        for (size_t p = 0; p < slots.size(); ++p) {
            lpProgScanList->Entry[p].CHANNEL = static_cast<uint32_t>(slots[p].Channel);
            lpProgScanList->Entry[p].BLOCK = slots[p].Block;
        }
        lpProgScanList->EntryCount = static_cast<uint32_t>(slots.size());
        lpProgScanList->BlockCount = blocks;
        dSampleRate = rate;
    }
    // `channels` in every one of `blocks` blocks.
    static void SingleRate(const std::vector<int32_t>& channels, uint32_t blocks, double rate) {
        std::vector<Slot> slots;
        for (uint32_t b = 0; b < blocks; ++b)
            for (int32_t c : channels) slots.push_back({c, b});
        Table(slots, blocks, rate);
    }
    static void Channel(int32_t c, const char* name, const char* model, double gain, double slope, double offset) {
        snprintf(lpsChannelParams->NAME[c], 32, "%s", name);
        snprintf(lpsChannelParams->CardModel[c], 12, "%s", model);
        lpsChannelParams->GAIN[c] = gain;
        lpsChannelParams->SENSITIVITY[c] = slope;
        lpsChannelParams->OFFSET[c] = offset;
    }

    static uint32_t Positions() { return lpProgScanList->EntryCount; }
    static uint32_t ScanBytes() { return 2 * Positions() + 16; }
    static uint32_t ScansPerTransfer() {
        return static_cast<uint32_t>(ComputeScansPerTransfer(Positions(), lpProgScanList->BlockCount, dSampleRate));
    }

    // `scans` scans: sync word, transfer sequence, scan index; sample(scan,
    // position) in every position.  `runText(transfer)` (may be empty)
    // overwrites bytes 4-15 of each transfer's first scan.
    static std::string MakeRaw(uint64_t scans, const std::function<int16_t(uint64_t, uint32_t)>& sample,
                               const std::function<std::string(uint64_t)>& runText = nullptr) {
        const uint32_t P = Positions(), K = ScansPerTransfer();
        std::string raw;
        raw.reserve(scans * ScanBytes());
        for (uint64_t s = 0; s < scans; ++s) {
            uint16_t words[8] = {0xFE6B, static_cast<uint16_t>(s / K), 0, static_cast<uint16_t>(s % K),
                                 static_cast<uint16_t>(s & 0xFFFF), 0, 0, 0};
            std::string header(reinterpret_cast<const char*>(words), 16);
            if (runText && s % K == 0) {
                std::string t = runText(s / K);
                t.resize(12, '\0');
                header.replace(4, 12, t);
            }
            raw += header;
            for (uint32_t p = 0; p < P; ++p) {
                const uint16_t v = static_cast<uint16_t>(sample(s, p));
                raw += static_cast<char>(v & 0xFF);
                raw += static_cast<char>(v >> 8);
            }
        }
        return raw;
    }
    std::string RawName() const { return dir + "t1.raw"; }
    void WriteRaw(const std::string& bytes) const { WriteBytes(RawName(), bytes); }

    static bool Shown(const std::string& text) {
        for (const FakeMessage& m : FakeMessages())
            if (m.text == text) return true;
        return false;
    }
};

// The engineering value the tests expect, worked out without the program's
// conversion: counts to millivolts (truncated), divided by the gain, times
// the slope, plus the offset.
inline double Expected(int16_t sample, int bits, double gain, double slope, double offset) {
    const double mv = std::trunc(sample * 10000.0 / (bits == 12 ? 2048.0 : 32768.0));
    return slope * (mv / gain) + offset;
}

}  // namespace exporttest
