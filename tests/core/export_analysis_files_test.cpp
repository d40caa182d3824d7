// The analysis program's file set: the seven files for known recordings, the
// .dat conversion value for value, the run table, and the failures.
#include <gtest/gtest.h>

#include "export/analysis_files.h"
#include "export_fixture.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace exporttest;

namespace {

class AnalysisFiles : public ExportTest {
  protected:
    std::string Base() const { return dir + "t1"; }
};

TEST_F(AnalysisFiles, SevenFilesDescribeAKnownRecording) {
    // Two blocks: channel 3 (16-bit) in both, channel 4 (12-bit) in block 1.
    Table({{3, 0}, {3, 1}, {4, 1}}, 2, 500.0);
    Channel(3, "Force", "M11-B", 100.0, 2.0, 1.5);
    Channel(4, "Temp", "M16", 0.0, 1.0, 0.0);  // gain 0 counts as 1
    snprintf(lpsChannelParams->UNITS[3], 8, "kN");
    snprintf(lpsChannelParams->UNITS[4], 8, "C");
    const int16_t values[] = {0, -1, 32767, -32768, 2047, -2048, 1234, -4321};
    const uint64_t scans = 40;
    auto sample = [&](uint64_t s, uint32_t p) { return values[(s * 3 + p) % 8]; };
    std::string raw = MakeRaw(scans, sample);
    WriteRaw(raw + std::string(ScanBytes() - 1, '\x55'));  // a partial scan at the end is not carried over
    ASSERT_EQ(WriteAnalysisFiles(test.c_str(), nullptr), 1);
    EXPECT_TRUE(FakeMessages().empty());

    EXPECT_EQ(ReadText(Base() + ".des"), "[Series2 0]\nProject=DES_1\nSignal=t1.sig\nData=" + Base() +
                                             ".dat\nFormat=t1.for\nSimulator=t1.das\n\n[Global]\nScreen=t1.dsw\nProcess=\n");
    const std::vector<std::string> format = SplitLines(ReadText(Base() + ".for"));
    ASSERT_EQ(format.size(), 46u);
    EXPECT_EQ(format[9], "11");
    EXPECT_EQ(format[11], "44.0000");  // 11 words x 16 bits x 500 / 2 blocks / 1000
    EXPECT_EQ(format[12], "1111111001101011");
    EXPECT_EQ(format[45], "#");

    const std::vector<std::string> sig = SplitLines(ReadText(Base() + ".sig"));
    ASSERT_EQ(sig.size(), 1u + 10 + 22);
    EXPECT_EQ(sig[0], "$");
    EXPECT_EQ(sig[1], "  1*Header0;;0;0;;HEAD;0;1.000;0.000;0.000;65536.000;0;0100000;1.000;65535.000;16;;;");
    // Two blocks: the channels are subcommutated with depth 3 / 2 = 1.
    EXPECT_EQ(sig[9], "  9*Force;;8;1;1;kN;0;1.000;0.000;0.000;65536.000;0;0100000;1.000;65535.000;16;;;");
    EXPECT_EQ(sig[10], " 10*Temp;;10;1;1;C;0;1.000;0.000;0.000;65536.000;0;0100000;1.000;65535.000;16;;;");
    EXPECT_EQ(sig[11], "#");
    EXPECT_EQ(sig[23], "227");

    const std::vector<std::string> cbn = SplitLines(ReadText(Base() + ".cbn"));
    ASSERT_EQ(cbn.size(), 1u + 5 * 10 + 1);
    EXPECT_EQ(cbn[1], "*  1*Akima;2;0;;Header0;;-10000.000;10000.000;");
    EXPECT_EQ(cbn[2], "3;-10000.000;0.000;0.000;32768.000;10000.000;65536.000;0;0;0;0;0;0;0;0;0;0;0;0;");
    EXPECT_EQ(cbn[3], "non-linear;");
    EXPECT_EQ(cbn[4], ";0;XXXXXXXXXXXXXXXX;");
    EXPECT_EQ(cbn[5], "0");
    EXPECT_EQ(cbn[41], "*  9*Akima;2;1;1;Force;;-10000.000;10000.000;");
    EXPECT_EQ(cbn[42], "3;-198.5000;0.000;1.5000;32768.000;201.5000;65536.000;0;0;0;0;0;0;0;0;0;0;0;0;");
    EXPECT_EQ(cbn[44], ";8;XXXXXXXXXXXXXXXX;");
    EXPECT_EQ(cbn[47], "3;-10000.0000;0.000;0.0000;32768.000;10000.0000;65536.000;0;0;0;0;0;0;0;0;0;0;0;0;");
    EXPECT_EQ(cbn.back(), "#");

    EXPECT_EQ(ReadText(Base() + ".top"), "TOP_2\n" + Base() + ".dat\nSTART\nF 4000\n#\n");
    const std::vector<std::string> plb = SplitLines(ReadText(Base() + ".plb"));
    ASSERT_EQ(plb.size(), 5u + 31 + 1 + 3);
    EXPECT_EQ(plb[4], Base() + ".for");
    EXPECT_EQ(plb[5], "03");
    EXPECT_EQ(plb[6], "3");
    EXPECT_EQ(plb[16], "44.0000");
    EXPECT_EQ(plb[36], "11111111111");
    EXPECT_EQ(plb[37], "&");
    EXPECT_EQ(plb[38], "F 300.000N");

    // The data: 8 zero bytes, the header as recorded, each sample in offset
    // binary (12-bit ones shifted up first).
    const std::string dat = ReadBytes(Base() + ".dat");
    ASSERT_EQ(dat.size(), scans * (ScanBytes() + 8));
    for (uint64_t s = 0; s < scans; ++s) {
        const char* d = dat.data() + s * (ScanBytes() + 8);
        ASSERT_EQ(std::string(d, 8), std::string(8, '\0'));
        ASSERT_EQ(std::string(d + 8, 16), raw.substr(s * ScanBytes(), 16));
        for (uint32_t p = 0; p < 3; ++p) {
            const uint16_t v = static_cast<uint16_t>(sample(s, p));
            const uint16_t want = static_cast<uint16_t>((p == 2 ? static_cast<uint16_t>(v << 4) : v) ^ 0x8000);
            const uint16_t got = static_cast<uint16_t>(static_cast<uint8_t>(d[24 + 2 * p]) |
                                                       (static_cast<uint8_t>(d[25 + 2 * p]) << 8));
            ASSERT_EQ(got, want) << "scan " << s << " position " << p;
        }
    }
}

TEST_F(AnalysisFiles, DataWordsMaskLinesAndBitRate) {
    EXPECT_EQ(AnalysisDataWord(0, 16), 0x8000);
    EXPECT_EQ(AnalysisDataWord(-1, 16), 0x7FFF);
    EXPECT_EQ(AnalysisDataWord(-1, 12), 0x7FF0);
    EXPECT_EQ(AnalysisDataWord(2047, 12), 0xFFF0);
    EXPECT_EQ(AnalysisDataWord(-32768, 16), 0x0000);
    EXPECT_EQ(AnalysisWordMask(56), std::string(64, '1') + "\n");
    EXPECT_EQ(AnalysisWordMask(57), std::string(64, '1') + "\n1\n");
    EXPECT_EQ(AnalysisWordMask(120), std::string(64, '1') + "\n" + std::string(64, '1') + "\n");
    EXPECT_EQ(AnalysisBitRate(56, 1, 1000.0), "1024.0000");
}

TEST_F(AnalysisFiles, OneBlockIsNotSubcommutatedAndRunsAreListed) {
    SingleRate({0, 1}, 1, 10.0);  // K = 10 scans per transfer at 10 blocks/s
    ASSERT_EQ(ScansPerTransfer(), 10u);
    // Three runs: A for two transfers, B for one, A again for one.
    const char* texts[] = {"R1 P1", "R1 P1", "R2 P1", "R1 P1"};
    WriteRaw(MakeRaw(40, [](uint64_t s, uint32_t) { return static_cast<int16_t>(s); },
                     [&](uint64_t t) { return std::string(texts[t]); }));
    ASSERT_EQ(WriteAnalysisFiles(test.c_str(), nullptr), 1);
    EXPECT_EQ(SplitLines(ReadText(Base() + ".sig"))[9].substr(0, 14), "  9*CH0;;8;0;;");
    EXPECT_EQ(ReadText(Base() + ".top"),
              "TOP_2\n" + Base() + ".dat\nSTART\nF 100000\n0;0;20\n1;21;31\n2;32;42\n#\n");
}

TEST_F(AnalysisFiles, FailuresAreReportedAndNothingDividesByZero) {
    SingleRate({0}, 1, 100.0);
    // No recording: six files, then the data file's report.
    EXPECT_EQ(WriteAnalysisFiles(test.c_str(), nullptr), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "There Was No Raw Data To Save In Morva Compatible Form");
    EXPECT_EQ(FakeMessages()[0].caption, "Record Data Prior To Using Morva");

    // Empty table, no blocks, rate 0: a report, no file.
    struct Case {
        uint32_t positions, blocks;
        double rate;
    } cases[] = {{0, 1, 100.0}, {1, 0, 100.0}, {1, 1, 0.0}};
    for (const Case& c : cases) {
        std::filesystem::remove(Base() + ".des");
        FakeClearMessages();
        lpProgScanList->EntryCount = c.positions;
        lpProgScanList->BlockCount = c.blocks;
        dSampleRate = c.rate;
        EXPECT_EQ(WriteAnalysisFiles(test.c_str(), nullptr), 0);
        ASSERT_EQ(FakeMessages().size(), 1u);
        EXPECT_EQ(FakeMessages()[0].caption, "File Creation Failure");
        EXPECT_FALSE(Exists(Base() + ".des"));
    }

    // A file that cannot be created stops the set with its writer's report.
    SingleRate({0}, 1, 100.0);
    WriteRaw(MakeRaw(2, [](uint64_t, uint32_t) { return int16_t{0}; }));
    std::filesystem::remove(Base() + ".sig");
    std::filesystem::remove(Base() + ".cbn");
    std::filesystem::create_directories(Base() + ".sig");
    FakeClearMessages();
    EXPECT_EQ(WriteAnalysisFiles(test.c_str(), nullptr), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Failed To Create The SIG file for Morva");
    EXPECT_FALSE(Exists(Base() + ".cbn"));
}

TEST_F(AnalysisFiles, DotsInFolderNamesDoNotCutTheBase) {
    std::filesystem::create_directories(dir + "v1.2");
    test = dir + "v1.2/t1.mdb";
    SingleRate({0}, 1, 100.0);
    WriteBytes(dir + "v1.2/t1.raw", MakeRaw(3, [](uint64_t, uint32_t) { return int16_t{1}; }));
    ASSERT_EQ(WriteAnalysisFiles(test.c_str(), nullptr), 1);
    EXPECT_TRUE(Exists(dir + "v1.2/t1.dat"));
    EXPECT_EQ(SplitLines(ReadText(dir + "v1.2/t1.des"))[2], "Signal=t1.sig");
}

}  // namespace

namespace {

TEST_F(AnalysisFiles, SaveWritesTheSetOnlyForATestWithARecording) {
    SingleRate({0}, 1, 100.0);
    EXPECT_EQ(ExportAnalysisFilesOfRecording(), 1);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_FALSE(Exists(Base() + ".des"));
    WriteRaw(MakeRaw(4, [](uint64_t, uint32_t) { return int16_t{3}; }));
    EXPECT_EQ(ExportAnalysisFilesOfRecording(), 1);
    EXPECT_TRUE(Exists(Base() + ".dat"));
    EXPECT_EQ(ReadBytes(Base() + ".dat").size(), 4u * (ScanBytes() + 8));
}

}  // namespace

#ifndef _WIN32
namespace {

TEST_F(AnalysisFiles, ADataFileThatCannotBeWrittenWholeIsReported) {
    // Writes past 4096 bytes fail, as on a full disk: the six small files fit,
    // the data file (500 scans of 26 bytes) does not.
    SingleRate({0}, 1, 100.0);
    WriteRaw(MakeRaw(500, [](uint64_t s, uint32_t) { return static_cast<int16_t>(s); }));
    struct sigaction ignore {}, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t written = WriteAnalysisFiles(test.c_str(), nullptr);
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(written, 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Failed To Create The DAT file for Morva");
    EXPECT_EQ(FakeMessages()[0].caption, "File Creation Failure");
}

}  // namespace
#endif
