// ASCII and DaDisp export: every sample converted and timed right, names that
// cannot become files outside the test's folder, failures reported while the
// other channels go on.
#include <gtest/gtest.h>

#include "base/channel_gain.h"
#include "export/channel_export.h"
#include "export/recording_layout.h"
#include "export/safe_file_name.h"
#include "export_fixture.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace exporttest;

namespace {

class ChannelExport : public ExportTest {
  protected:
    // Four blocks at 1000 blocks/s.  Channels 0 (16-bit) and 1 (12-bit) in
    // every block, 7 in every second block, 9 (a 5B card) in block 3 only.
    void MixedTable() {
        Table({{0, 0}, {1, 0}, {7, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}, {7, 2}, {0, 3}, {1, 3}, {9, 3}}, 4, 1000.0);
        Channel(0, "Pressure", "M11-A", 10.0, 2.5, -3.0);
        Channel(1, "Strain", "M13-B", 0.0, 1.0, 0.5);  // gain 0 divides by 1
        Channel(7, "Temp", "M18-B", 100.0, 0.001, 0.0);
        lpsChannelParams->VARIABLEGAINENABLE[7] = 1;
        lpsChannelParams->VARIABLEGAIN[7] = 4.0;
        Channel(9, "Module", "M12", 1.0, 1.0, 0.0);
        lpsChannelParams->CARDTYPE[9] = 2;
        snprintf(lpsChannelParams->UNITS[0], 8, "psi");
        snprintf(lpsChannelParams->DESCRIPTION[0], 30, "inlet");
        snprintf(lpsChannelParams->LOCATION[0], 30, "bay 4");
        lpsChannelParams->FILTER[0] = 0.05;
    }
    static int Bits(uint32_t p) { return lpProgScanList->Entry[p].CHANNEL == 1 ? 12 : 16; }
    // Full scale in the first two scans, then a spread of values.
    static int16_t Sample(uint64_t s, uint32_t p) {
        const int32_t range = Bits(p) == 12 ? 4096 : 65536;
        if (s == 0) return static_cast<int16_t>(range / 2 - 1);
        if (s == 1) return static_cast<int16_t>(-range / 2);
        return static_cast<int16_t>(static_cast<int64_t>((s * 7919 + p * 104729) % range) - range / 2);
    }
    struct Point {
        double Time;
        double Value;
    };
    // What channel c must export from `scans` whole scans and a last scan cut
    // after `partialBytes`.
    static std::vector<Point> ExpectedPoints(int32_t c, uint64_t scans, uint32_t partialBytes) {
        const ChannelParams& cp = *lpsChannelParams;
        const double gain = cp.VARIABLEGAINENABLE[c] ? cp.VARIABLEGAIN[c] : (cp.GAIN[c] > 0 ? cp.GAIN[c] : 1.0);
        std::vector<Point> points;
        for (uint64_t s = 0; s <= scans; ++s)
            for (uint32_t p = 0; p < Positions(); ++p) {
                if (lpProgScanList->Entry[p].CHANNEL != static_cast<uint32_t>(c)) continue;
                if (s == scans && 16 + 2 * p + 2 > partialBytes) continue;
                const double t = (static_cast<double>(s) * 4 + lpProgScanList->Entry[p].BLOCK) / 1000.0;
                points.push_back({t, Expected(Sample(s, p), Bits(p), gain, cp.SENSITIVITY[c], cp.OFFSET[c])});
            }
        return points;
    }
};

TEST_F(ChannelExport, ConversionCoversBothConvertersAndTheLimits) {
    struct Case {
        int16_t sample;
        int32_t bits;
        int16_t mv;
    } cases[] = {
        {2047, 12, 9995},   {-2048, 12, -10000}, {32767, 16, 9999}, {-32768, 16, -10000}, {-1, 16, 0},
        {-7, 12, -34},      {1, 16, 0},          {4, 16, 1},        // truncated toward zero
        {7000, 12, 32767},  {-7000, 12, -32768},  // no 12-bit converter gives these: saturate, never wrap
    };
    for (const Case& c : cases) EXPECT_EQ(SampleMillivolts(c.sample, c.bits), c.mv) << c.sample << "/" << c.bits;
    ChannelScale zeroGain{16, DivisorGain(0.0), 2.0, 1.0};
    EXPECT_DOUBLE_EQ(EngineeringValue(zeroGain, 32767), 2.0 * 9999 + 1.0);
    ChannelScale nanGain{16, DivisorGain(std::nan("")), 1.0, 0.0};
    EXPECT_DOUBLE_EQ(EngineeringValue(nanGain, -32768), -10000.0);
}

TEST_F(ChannelExport, BulkConversionMatchesOneByOneForEveryCount) {
    // Every 16-bit word on both converters (12-bit words beyond the converter
    // saturate), for scales that divide by 1 for a bad gain, flip the sign
    // or do not divide evenly: the bulk conversion the exports use must give
    // each value bit for bit, whatever the count's place in the array.
    std::vector<int16_t> counts(65536 + 5);
    for (size_t i = 0; i < counts.size(); ++i) counts[i] = static_cast<int16_t>(static_cast<uint16_t>(i * 40503u));
    const ChannelScale scales[] = {
        {16, 1.0, 1.0, 0.0},  {12, 1.0, 1.0, 0.0},  {16, DivisorGain(0.0), 2.5, -3.0},
        {12, 3.0, -0.7, 1e6}, {16, 7.3, 1e-3, 0.1}, {12, DivisorGain(std::nan("")), 1.0, 0.5},
    };
    for (const ChannelScale& scale : scales) {
        std::vector<double> bulk(counts.size());
        EngineeringValues(scale, counts.data(), counts.size(), bulk.data());
        for (size_t i = 0; i < counts.size(); ++i) {
            const double one = EngineeringValue(scale, counts[i]);
            ASSERT_EQ(memcmp(&bulk[i], &one, sizeof one), 0)
                << counts[i] << " on " << scale.AdcBits << " bits, gain " << scale.Gain << ": " << bulk[i];
        }
    }
}

TEST_F(ChannelExport, AsciiAndDaDispHoldEverySampleWithItsTime) {
    MixedTable();
    // A short recording, and ones that span several reads of the raw file
    // (scans split between reads would lose or shift samples), each ending
    // in a scan cut after its third sample or in a whole scan.
    const struct {
        uint64_t scans;
        uint32_t partial;  // bytes of the last, cut scan (0: none)
    } cases[] = {{57, 16 + 2 * 3}, {70001, 16 + 2 * 3}, {70001, 0}};
    const int32_t channels[] = {0, 1, 7, 9};
    const char* names[] = {"Pressure", "Strain", "Temp", "Module"};
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.scans) + " scans, " + std::to_string(k.partial) + " bytes after");
        const uint64_t scans = k.scans;
        const uint32_t partial = k.partial;
        std::string raw = MakeRaw(scans + 1, Sample);
        raw.resize(scans * ScanBytes() + partial);
        WriteRaw(raw);

        ChannelExportResult ascii = ExportChannelFiles(ChannelFormat::Ascii, test.c_str(), channels, 4, nullptr);
        EXPECT_EQ(ascii.Written, 4);
        EXPECT_EQ(ascii.Failed, 0);
        ChannelExportResult dadisp = ExportChannelFiles(ChannelFormat::DaDisp, test.c_str(), channels, 4, nullptr);
        EXPECT_EQ(dadisp.Written, 4);
        EXPECT_TRUE(FakeMessages().empty());

        for (int i = 0; i < 4; ++i) {
            const int32_t c = channels[i];
            const std::vector<Point> want = ExpectedPoints(c, scans, partial);
            const std::vector<std::string> lines = SplitLines(ReadText(dir + names[i] + ".asc"));
            ASSERT_EQ(lines.size(), 9 + want.size()) << names[i];
            EXPECT_EQ(lines[0], "Datafile for Channel " + std::to_string(c) + " Test:: " + test);
            EXPECT_EQ(lines[1], "");
            EXPECT_EQ(lines[2], std::string("Name: ") + names[i]);
            EXPECT_EQ(lines[8], "::::TIME::::::::::::::::::::DATA:::::::::::::::::::::::::::::::::");
            const std::string dat = ReadBytes(dir + names[i] + ".dat");
            ASSERT_EQ(dat.size(), want.size() * 8) << names[i];
            for (size_t j = 0; j < want.size(); ++j) {
                char line[128];
                snprintf(line, sizeof line, " %f\t\t%f", want[j].Time, want[j].Value);
                ASSERT_EQ(lines[9 + j], line) << names[i] << " sample " << j;
                double v;
                memcpy(&v, dat.data() + 8 * j, 8);
                ASSERT_EQ(v, want[j].Value) << names[i] << " sample " << j;
            }
        }
    }
    // The header lines of channel 0, and the values the limits give.
    const std::vector<std::string> h = SplitLines(ReadText(dir + "Pressure.asc"));
    EXPECT_EQ(h[3], "Units: psi");
    EXPECT_EQ(h[4], "Description: inlet");
    EXPECT_EQ(h[5], "Location: bay 4");
    EXPECT_EQ(h[6], "Gain:  10.0000");
    EXPECT_EQ(h[7], "Filter Cutoff (Hz):  0.0500");
    EXPECT_EQ(h[9], " 0.000000\t\t2496.750000");  // 32767: 9999 mV / 10 x 2.5 - 3
    EXPECT_EQ(SplitLines(ReadText(dir + "Strain.asc"))[9], " 0.000000\t\t9995.500000");  // 2047 on 12 bits
    // Channel 7 is sampled every second block: its times step by 2 ms.
    const std::vector<std::string> t = SplitLines(ReadText(dir + "Temp.asc"));
    EXPECT_EQ(t[10].substr(0, 10), " 0.002000\t");
    EXPECT_EQ(t[11].substr(0, 10), " 0.004000\t");
}

TEST_F(ChannelExport, NoCompleteSampleGivesHeaderOnlyAndEmptyFile) {
    SingleRate({0, 1}, 1, 100.0);
    WriteRaw(MakeRaw(1, [](uint64_t, uint32_t) { return int16_t{5}; }).substr(0, 17));
    const int32_t channels[] = {0};
    EXPECT_EQ(ExportChannelFiles(ChannelFormat::Ascii, test.c_str(), channels, 1, nullptr).Written, 1);
    EXPECT_EQ(ExportChannelFiles(ChannelFormat::DaDisp, test.c_str(), channels, 1, nullptr).Written, 1);
    EXPECT_EQ(SplitLines(ReadText(dir + "CH0.asc")).size(), 9u);
    EXPECT_TRUE(Exists(dir + "CH0.dat"));
    EXPECT_EQ(ReadBytes(dir + "CH0.dat").size(), 0u);
}

TEST_F(ChannelExport, NamesThatAreNotFileNamesAreMadeSafe) {
    struct Case {
        const char* name;
        const char* file;
    } cases[] = {
        {"Plain", "Plain"},        {"a\\b", "a_b"},     {"../../etc/x", ".._.._etc_x"}, {"..", "__"},
        {"CON", "_CON"},           {"nul.txt", "_nul.txt"}, {"Com1", "_Com1"},      {"LPT9 ", "LPT9_"},
        {"c:x", "c_x"},            {"a*?\"<>|b", "a______b"}, {"", "Channel5"},      {"trail.", "trail_"},
        {"CONSOLE", "CONSOLE"},    {"COM10", "COM10"},
    };
    for (const Case& c : cases) EXPECT_EQ(SafeFileName(c.name, 5), c.file) << c.name;
    EXPECT_EQ(TestFolder("c:\\data\\t1.mdb"), "c:\\data\\");
    EXPECT_EQ(TestFolder("t1.mdb"), "");

    // Exported, such names stay in the test's folder.
    SingleRate({0, 1, 2}, 1, 100.0);
    Channel(0, "..\\..\\escape", "M11-A", 1, 1, 0);
    Channel(1, "CON", "M11-A", 1, 1, 0);
    Channel(2, "../up", "M11-A", 1, 1, 0);
    WriteRaw(MakeRaw(3, [](uint64_t s, uint32_t) { return static_cast<int16_t>(s); }));
    const int32_t channels[] = {0, 1, 2};
    ChannelExportResult r = ExportChannelFiles(ChannelFormat::DaDisp, test.c_str(), channels, 3, nullptr);
    EXPECT_EQ(r.Written, 3);
    for (const std::string& f : r.Files) EXPECT_EQ(f.rfind(dir, 0), 0u) << f;
    EXPECT_TRUE(Exists(dir + ".._.._escape.dat"));
    EXPECT_TRUE(Exists(dir + "_CON.dat"));
    EXPECT_TRUE(Exists(dir + ".._up.dat"));
    EXPECT_FALSE(Exists("export_out/up.dat"));
}

TEST_F(ChannelExport, AFileThatCannotBeCreatedIsReportedAndTheOthersAreWritten) {
    SingleRate({0, 1, 2}, 1, 100.0);
    WriteRaw(MakeRaw(10, [](uint64_t s, uint32_t p) { return static_cast<int16_t>(s * 10 + p); }));
    // A folder where channel 1's file would go: it cannot be opened as a file.
    std::filesystem::create_directories(dir + "CH1.asc");
    const int32_t channels[] = {0, 1, 2};
    ChannelExportResult r = ExportChannelFiles(ChannelFormat::Ascii, test.c_str(), channels, 3, nullptr);
    EXPECT_EQ(r.Written, 2);
    EXPECT_EQ(r.Failed, 1);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Could Not Create File " + dir + "CH1.asc");
    EXPECT_EQ(FakeMessages()[0].caption, std::string(kExportProblem));
    EXPECT_EQ(SplitLines(ReadText(dir + "CH2.asc")).size(), 19u);
}

#ifndef _WIN32
TEST_F(ChannelExport, AWriteThatFailsIsReportedForEachFile) {
    // The file-size limit makes writes past 100 bytes fail, as a full disk does.
    SingleRate({0, 1}, 1, 100.0);
    WriteRaw(MakeRaw(100, [](uint64_t s, uint32_t) { return static_cast<int16_t>(s); }));
    struct sigaction ignore {}, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t channels[] = {0, 1};
    ChannelExportResult r = ExportChannelFiles(ChannelFormat::DaDisp, test.c_str(), channels, 2, nullptr);
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(r.Written, 0);
    EXPECT_EQ(r.Failed, 2);
    EXPECT_TRUE(Shown("Could Not Write File " + dir + "CH0.dat"));
    EXPECT_TRUE(Shown("Could Not Write File " + dir + "CH1.dat"));
}
#endif

TEST_F(ChannelExport, MissingRecordingOrUnreadableLayoutIsReportedOnce) {
    SingleRate({0, 1}, 1, 100.0);
    const int32_t channels[] = {0, 1};
    ChannelExportResult r = ExportChannelFiles(ChannelFormat::Ascii, test.c_str(), channels, 2, nullptr);
    EXPECT_TRUE(r.NoRawFile);
    EXPECT_EQ(r.Written, 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "There Is No Datafile To Process");
    EXPECT_FALSE(Exists(dir + "CH0.asc"));

    struct Bad {
        uint32_t blocks;
        double rate;
        uint32_t positions;
    } bad[] = {{0, 100.0, 2}, {1, 0.0, 2}, {1, -5.0, 2}, {1, std::nan(""), 2}, {1, 100.0, 0}};
    WriteRaw(std::string(100, '\0'));
    for (const Bad& b : bad) {
        FakeClearMessages();
        SingleRate({0, 1}, 1, b.rate);
        lpProgScanList->BlockCount = b.blocks;
        lpProgScanList->EntryCount = b.positions;
        r = ExportChannelFiles(ChannelFormat::DaDisp, test.c_str(), channels, 2, nullptr);
        EXPECT_EQ(r.Written, 0);
        EXPECT_EQ(FakeMessages().size(), 1u) << b.blocks << " " << b.rate;
    }
}

}  // namespace
