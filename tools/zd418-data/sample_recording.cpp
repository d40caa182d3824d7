// Native: the data tool's sample recording.
#include "tools/zd418-data/sample_recording.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "acquire/scan_map.h"
#include "scanlist/scan_table.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"
#include "tools/zd418-data/test_source.h"

namespace {

constexpr uint32_t kTransfers = 6;

struct SampleChannel {
    int32_t Channel;
    const char* Name;
    const char* Units;
    uint32_t CardType;
    double Gain, Slope, Offset;
};

const SampleChannel kSampleChannels[] = {
    {0, "Pressure", "kPa", 1, 1.0, 25.0, 100.0},
    {1, "Strain", "ue", 4, 1.0, 0.5, 0.0},
    {2, "Temp", "degC", 1, 1.0, 0.01, 20.0},
    {3, "Flow", "l/min", 1, 1.0, 2.0, 0.0},
};

// The sample of `channel` in scan s: a sine, a ramp over the 12-bit range,
// a constant, and a square wave of large steps (noisy to the wizard).
int16_t SampleOf(int32_t channel, uint64_t s) {
    switch (channel) {
        case 0: return static_cast<int16_t>(std::lround(20000.0 * std::sin(static_cast<double>(s) / 50.0)));
        case 1: return static_cast<int16_t>(static_cast<int64_t>(s % 4096) - 2048);
        case 2: return 1500;
        default: return static_cast<int16_t>(s % 2 ? 3000 : -3000);
    }
}

void FillModel() {
    ClearScanTable();
    // Pressure and Strain in both blocks, Temp in the first, Flow in the second.
    const uint32_t slots[][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {3, 1}};
    uint32_t p = 0;
    for (const auto& slot : slots) {
        lpProgScanList->Entry[p].CHANNEL = slot[0];
        lpProgScanList->Entry[p].BLOCK = slot[1];
        ++p;
    }
    lpProgScanList->EntryCount = p;
    lpProgScanList->BlockCount = 2;
    dSampleRate = 100.0;
    ChannelParams& cp = *lpsChannelParams;
    for (const SampleChannel& c : kSampleChannels) {
        snprintf(cp.NAME[c.Channel], sizeof cp.NAME[c.Channel], "%s", c.Name);
        snprintf(cp.UNITS[c.Channel], sizeof cp.UNITS[c.Channel], "%s", c.Units);
        cp.CARDTYPE[c.Channel] = c.CardType;
        cp.GAIN[c.Channel] = c.Gain;
        cp.SENSITIVITY[c.Channel] = c.Slope;
        cp.OFFSET[c.Channel] = c.Offset;
    }
}

// Whole transfers of scans: the sync word, the transfer's sequence number,
// the scan's place in its transfer, then the samples (little-endian).
std::vector<uint8_t> SampleRaw() {
    const uint32_t P = lpProgScanList->EntryCount;
    const uint64_t K = static_cast<uint64_t>(ComputeScansPerTransfer(P, lpProgScanList->BlockCount, dSampleRate));
    std::vector<uint8_t> raw;
    auto word = [&raw](uint16_t w) {
        raw.push_back(static_cast<uint8_t>(w & 0xFF));
        raw.push_back(static_cast<uint8_t>(w >> 8));
    };
    for (uint64_t s = 0; s < kTransfers * K; ++s) {
        const uint16_t header[8] = {0xFE6B, static_cast<uint16_t>(s / K), 0, static_cast<uint16_t>(s % K), 0, 0, 0, 0};
        for (uint16_t w : header) word(w);
        for (uint32_t p = 0; p < P; ++p)
            word(static_cast<uint16_t>(SampleOf(static_cast<int32_t>(lpProgScanList->Entry[p].CHANNEL), s)));
    }
    return raw;
}

}  // namespace

int32_t WriteSampleRecording(const char* folder, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string base = (fs::absolute(folder, ec) / "t1").string();
    if (fs::exists(base + ".mdb") || fs::exists(base + ".raw")) {
        *error = std::string("a test is already there (t1.mdb or t1.raw): nothing written in ") + folder;
        return 0;
    }
    if (base.size() + 5 >= sizeof szTestFile) {
        *error = std::string("folder name too long: ") + folder;
        return 0;
    }
    if (!BindTestDataSource(base + ".mdb", error)) return 0;
    if (!AllocateTestModel()) {
        *error = "the test model could not be allocated";
        return 0;
    }
    LoadSystemIni();
    // Loading rewrites the current test's map: this one, not the settings' last test.
    snprintf(szTestFile, sizeof szTestFile, "%s.mdb", base.c_str());
    DbEnv env = nullptr;
    DbConn dbc = nullptr;
    if (!DbOpen(kTestDataSource, &env, &dbc, error)) {
        *error = "cannot create " + base + ".mdb (is the SQLite ODBC driver installed?): " + *error;
        return 0;
    }
    const bool made = CreateTemplateTables(env, dbc, error);
    DbClose(env, dbc);
    if (!made) return 0;
    FillModel();
    if (!SaveTestDatabase()) {
        *error = "cannot save the test in " + base + ".mdb";
        return 0;
    }
    // Read back as any tool reads it, so the map describes the saved test
    // (card models come from the card types as the settings file has them).
    if (!LoadTestDatabase()) {
        *error = "cannot read back " + base + ".mdb";
        return 0;
    }
    const std::vector<uint8_t> raw = SampleRaw();
    FILE* f = fopen((base + ".raw").c_str(), "wb");
    bool written = f != nullptr && fwrite(raw.data(), 1, raw.size(), f) == raw.size();
    if (f != nullptr && fclose(f) != 0) written = false;
    if (!written) {
        *error = "cannot write " + base + ".raw";
        return 0;
    }
    if (!BuildScanMapTo((base + ".map").c_str())) {
        *error = "cannot write " + base + ".map";
        return 0;
    }
    return 1;
}
