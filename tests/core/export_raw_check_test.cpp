// The raw-file check: a sound recording passes, and each kind of damage is
// found and counted.
#include <gtest/gtest.h>

#include "acquire/scan_map.h"
#include "export/raw_check.h"
#include "export_fixture.h"

using namespace exporttest;

namespace {

class RawCheck : public ExportTest {
  protected:
    void SetUp() override {
        ExportTest::SetUp();
        SingleRate({0, 1, 2}, 1, 10.0);  // K = 10
        ASSERT_EQ(BuildScanMapTo(MapName().c_str()), 1);
    }
    std::string MapName() const { return dir + "t1.map"; }
    std::string Sound(uint64_t scans = 60) {
        return MakeRaw(scans, [](uint64_t s, uint32_t p) { return static_cast<int16_t>(s + p); });
    }
    int32_t Check(RawCheckReport* r) { return CheckRawFile(RawName().c_str(), MapName().c_str(), r, nullptr); }
};

TEST_F(RawCheck, ASoundRecordingPasses) {
    WriteRaw(Sound());
    RawCheckReport r;
    EXPECT_EQ(Check(&r), 1) << RawCheckText(r, false);
    EXPECT_EQ(r.Scans, 60u);
    EXPECT_EQ(r.Transfers, 6u);
    EXPECT_TRUE(r.MapChecked);
    EXPECT_NE(RawCheckText(r, true).find("sound: 1320 bytes, 60 scans, 6 transfers"), std::string::npos);
}

TEST_F(RawCheck, EachKindOfDamageIsFound) {
    const std::string good = Sound();
    const uint32_t S = ScanBytes(), T = S * ScansPerTransfer();
    struct Case {
        const char* what;
        std::function<std::string(std::string)> damage;
        std::function<void(const RawCheckReport&)> expect;
    } cases[] = {
        {"lost sync", [&](std::string b) { b[S * 13] = 0; return b; },
         [](const RawCheckReport& r) { EXPECT_EQ(r.BadSyncScans, 1u); }},
        {"partial scan", [&](std::string b) { return b + good.substr(0, 7); },
         [](const RawCheckReport& r) { EXPECT_EQ(r.PartialScanBytes, 7u); }},
        {"partial transfer", [&](std::string b) { return b.substr(0, b.size() - S); },
         [](const RawCheckReport& r) { EXPECT_EQ(r.Transfers, 6u); }},
        {"missing transfers", [&](std::string b) { return b.erase(T, 2 * T); },
         [](const RawCheckReport& r) { EXPECT_EQ(r.MissingTransfers, 2u); }},
        {"duplicated transfer", [&](std::string b) { return b.insert(2 * T, b.substr(T, T)); },
         [](const RawCheckReport& r) { EXPECT_EQ(r.RepeatedTransfers, 1u); }},
        {"a scan short", [&](std::string b) { return b.erase(3 * S, S); },
         [](const RawCheckReport& r) { EXPECT_GE(r.MixedScans, 1u); }},
        {"empty", [&](std::string) { return std::string(); },
         [](const RawCheckReport& r) { EXPECT_EQ(r.Scans, 0u); }},
    };
    for (const Case& c : cases) {
        WriteRaw(c.damage(good));
        RawCheckReport r;
        EXPECT_EQ(Check(&r), 0) << c.what;
        EXPECT_FALSE(r.Findings.empty()) << c.what;
        c.expect(r);
        EXPECT_NE(RawCheckText(r, false).find("NOT SOUND"), std::string::npos) << c.what;
    }
}

TEST_F(RawCheck, AMapOfAnotherTableIsReported) {
    WriteRaw(Sound());
    SingleRate({0, 1, 3}, 2, 10.0);  // the test changed after the recording's map was written
    WriteRaw(MakeRaw(60, [](uint64_t, uint32_t) { return int16_t{0}; }));
    RawCheckReport r;
    EXPECT_EQ(Check(&r), 0);
    bool blocks = false, channels = false;
    for (const std::string& f : r.Findings) {
        blocks = blocks || f.find("map: 1 blocks, the test has 2") != std::string::npos;
        channels = channels || f.find("map: Channel2 is not channel 3") != std::string::npos;
    }
    EXPECT_TRUE(blocks);
    EXPECT_TRUE(channels);
    std::filesystem::remove(MapName());
    EXPECT_EQ(Check(&r), 0);
    EXPECT_FALSE(r.MapChecked);
}

}  // namespace
