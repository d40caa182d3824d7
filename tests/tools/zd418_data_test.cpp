// zd418-data on a real test database: every export byte-identical to the
// program's own, the wizard, run listing and removal, the raw-file check,
// HDF5 read back through h5py, and failures that exit non-zero.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "acquire/scan_map.h"
#include "export/analysis_files.h"
#include "export/channel_export.h"
#include "export/data_wizard.h"
#ifdef ZD418_HDF5
#include "export/hdf5_export.h"
#endif
#include "scanlist/scan_table.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}
void WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f << bytes;
}

struct Ran {
    int Status;
    std::string Out;
};

// Runs the tool with `args`; standard error goes to `dir`/stderr.txt.
Ran Tool(const std::string& dir, const std::string& args) {
    const std::string command = std::string(ZD418_DATA_TOOL) + " " + args + " 2>" + dir + "/stderr.txt";
    FILE* p = popen(command.c_str(), "r");
    Ran r{-1, ""};
    if (p == nullptr) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
    const int status = pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Card types: 5 a 16-bit card, 6 a 12-bit one, 2 a 5B card; gains 1-1000.
std::string CardFile() {
    std::string cards = "[GENERAL INFO]\nNUMBEROFTYPES=15\n";
    for (int n = 1; n <= 15; ++n) {
        const char* model = n == 5 ? "M11-A" : n == 6 ? "M13-B" : n == 2 ? "M12" : "M18-A";
        cards += "[TYPE " + std::to_string(n) + " INFO]\nCardType=" + model + "\nVARIABLEGAIN=Y\n";
        const int gains[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
        for (int k = 0; k < 10; ++k) cards += "Gain" + std::to_string(k + 1) + "=" + std::to_string(gains[k]) + "\n";
        cards += "Filter1=10\nFilter2=1000\n";
    }
    return cards;
}

class DataTool : public ::testing::Test {
  protected:
    static std::string root;  // the run's folder
    std::string dir;          // this test's folder
    std::string test;         // dir/t1.mdb

    static void SetUpTestSuite() {
        root = (fs::temp_directory_path() / "zd418_data_out").string();
        fs::remove_all(root);
        fs::create_directories(root);
        WriteBytes(root + "/Q90CARD.ini", CardFile());
        WriteBytes(root + "/Q90.ini", "[System]\nAllTheSame=No\nTestScratch=" + root + "/scratch.mdb\n");
        WriteBytes(root + "/odbcinst.ini",
                   "[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\nDontDLClose=1\n");
        WriteBytes(root + "/odbc.ini", "[Q90]\nDriver=SQLite3\nDatabase=" + root + "/scratch.mdb\nTimeout=5000\n");
        setenv("ODBCSYSINI", root.c_str(), 1);
        setenv("ODBCINI", (root + "/odbc.ini").c_str(), 1);
        setenv("ZD418_PROFILE_DIR", root.c_str(), 1);
    }

    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = root + "/" + info->name();
        fs::create_directories(dir);
        test = dir + "/t1.mdb";
        FreeTestModel();
        ASSERT_EQ(AllocateTestModel(), 1);
        LoadSystemIni();
        fs::remove(root + "/scratch.mdb");
        DbEnv env;
        DbConn dbc;
        std::string error;
        ASSERT_TRUE(DbOpen(kTestDataSource, &env, &dbc, &error)) << error;
        const bool made = CreateTemplateTables(env, dbc, &error);
        DbClose(env, dbc);
        ASSERT_TRUE(made) << error;
    }
    void TearDown() override { FreeTestModel(); }

    // Saves the model as the test database dir/t1.mdb and loads it back, as
    // the program opens a test.
    void SaveAndReopen() {
        ASSERT_EQ(SaveTestDatabase(), 1);
        fs::copy_file(root + "/scratch.mdb", test, fs::copy_options::overwrite_existing);
        // Loading rewrites the current test's map: this test's, never one
        // named after the default test in the current folder.
        snprintf(szTestFile, sizeof szTestFile, "%s", test.c_str());
        ASSERT_EQ(LoadTestDatabase(), 1);
    }

    static void Channel(int32_t c, const char* name, uint32_t cardType, double gain, double slope, double offset) {
        ChannelParams& cp = *lpsChannelParams;
        snprintf(cp.NAME[c], sizeof cp.NAME[c], "%s", name);
        cp.CARDTYPE[c] = cardType;
        cp.GAIN[c] = gain;
        cp.SENSITIVITY[c] = slope;
        cp.OFFSET[c] = offset;
    }

    // Channels 0 (16-bit, every block), 1 (12-bit, every block), 2 (16-bit,
    // every second block) and 3 (a 5B card, blocks 1 and 2: unevenly spaced
    // in time) in 4 blocks at `rate`.
    static void MixedTable(double rate) {
        ClearScanTable();
        const uint32_t slots[][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {3, 1}, {0, 2},
                                     {1, 2}, {2, 2}, {3, 2}, {0, 3}, {1, 3}};
        uint32_t p = 0;
        for (const auto& s : slots) {
            lpProgScanList->Entry[p].CHANNEL = s[0];
            lpProgScanList->Entry[p].BLOCK = s[1];
            ++p;
        }
        lpProgScanList->EntryCount = p;
        lpProgScanList->BlockCount = 4;
        dSampleRate = rate;
        Channel(0, "Pressure", 5, 10.0, 2.5, -3.0);
        Channel(1, "Strain", 6, 100.0, 1.0, 0.25);
        Channel(2, "Temp", 5, 1.0, 0.01, 20.0);
        Channel(3, "Module", 2, 1.0, 1.0, 0.0);
    }

    // Scans with sync word and transfer sequence; `runText` labels transfers.
    static std::string MakeRaw(uint64_t scans, const std::function<int16_t(uint64_t, uint32_t)>& sample,
                               const std::function<std::string(uint64_t)>& runText = nullptr) {
        const uint32_t P = lpProgScanList->EntryCount;
        const uint32_t K = static_cast<uint32_t>(ComputeScansPerTransfer(P, lpProgScanList->BlockCount, dSampleRate));
        std::string raw;
        for (uint64_t s = 0; s < scans; ++s) {
            uint16_t words[8] = {0xFE6B, static_cast<uint16_t>(s / K), 0, static_cast<uint16_t>(s % K), 0, 0, 0, 0};
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
    static int16_t Sample(uint64_t s, uint32_t p) {
        const bool twelve = lpProgScanList->Entry[p].CHANNEL == 1;
        const int32_t range = twelve ? 4096 : 65536;
        return static_cast<int16_t>(static_cast<int64_t>((s * 7919 + p * 104729) % range) - range / 2);
    }
    std::string Raw() const { return dir + "/t1.raw"; }
};

std::string DataTool::root;

TEST_F(DataTool, ExportsAreByteIdenticalToTheProgramsOwn) {
    MixedTable(2000.0);
    SaveAndReopen();
    ASSERT_EQ(BuildScanMapTo((dir + "/t1.map").c_str()), 1);
    const int32_t k = ComputeScansPerTransfer(lpProgScanList->EntryCount, 4, 2000.0);
    WriteBytes(Raw(), MakeRaw(6 * k, Sample));  // six whole transfers
    EXPECT_STREQ(lpsChannelParams->CardModel[1], "M13-B");

    // The program's commands, in this process.
    const int32_t channels[] = {0, 1, 2, 3};
    ASSERT_EQ(ExportChannelFiles(ChannelFormat::Ascii, test.c_str(), channels, 4, nullptr).Written, 4);
    ASSERT_EQ(ExportChannelFiles(ChannelFormat::DaDisp, test.c_str(), channels, 4, nullptr).Written, 4);
    ASSERT_EQ(WriteAnalysisFiles(test.c_str(), nullptr), 1);
    const std::vector<std::string> files = {"Pressure.asc", "Strain.asc", "Temp.asc", "Module.asc", "Pressure.dat",
                                            "Strain.dat",   "Temp.dat",   "Module.dat", "t1.des",     "t1.for",
                                            "t1.sig",       "t1.cbn",     "t1.top",     "t1.plb",     "t1.dat"};
    std::vector<std::string> program;
    for (const std::string& f : files) {
        program.push_back(ReadBytes(dir + "/" + f));
        ASSERT_FALSE(program.back().empty()) << f;
        fs::remove(dir + "/" + f);
    }
    // The tool, as a separate process on the saved test.
    EXPECT_EQ(Tool(dir, "ascii " + test).Status, 0);
    EXPECT_EQ(Tool(dir, "dadisp " + test).Status, 0);
    EXPECT_EQ(Tool(dir, "analysis " + test).Status, 0);
    for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(ReadBytes(dir + "/" + files[i]), program[i]) << files[i];

    // One channel only.
    fs::remove(dir + "/Temp.asc");
    fs::remove(dir + "/Strain.asc");
    Ran one = Tool(dir, "ascii " + test + " -c 2");
    EXPECT_EQ(one.Status, 0);
    EXPECT_EQ(one.Out, dir + "/Temp.asc\n");
    EXPECT_FALSE(fs::exists(dir + "/Strain.asc"));

    // Progress on request, a sound recording by the check.
    Ran check = Tool(dir, "check " + test + " --progress");
    EXPECT_EQ(check.Status, 0) << check.Out;
    EXPECT_NE(check.Out.find("sound: "), std::string::npos);
    EXPECT_NE(check.Out.find("map agrees with the test"), std::string::npos);
    EXPECT_NE(ReadBytes(dir + "/stderr.txt").find("check: 100%"), std::string::npos);
}

TEST_F(DataTool, WizardRunsAndCheckWorkOnTheSavedTest) {
    MixedTable(4.0);  // one scan per transfer at 4 blocks/s in 4 blocks
    SaveAndReopen();
    ASSERT_EQ(BuildScanMapTo((dir + "/t1.map").c_str()), 1);
    const char* texts[] = {"R1 P1", "R1 P1", "R2 P1", "R2 P1", "R2 P1", "R1 P2"};
    ASSERT_EQ(ComputeScansPerTransfer(lpProgScanList->EntryCount, 4, 4.0), 1);
    // Pressure flat, Strain once at its negative rail, the others swinging.
    const std::string raw = MakeRaw(6, [](uint64_t s, uint32_t p) {
        const uint32_t c = lpProgScanList->Entry[p].CHANNEL;
        return static_cast<int16_t>(c == 0 ? 7 : c == 1 ? (s == 2 ? -2048 : 0) : (s % 2 ? 3000 : -3000));
    }, [&](uint64_t t) { return std::string(texts[t]); });
    WriteBytes(Raw(), raw);

    Ran wizard = Tool(dir, "wizard " + test + " -o " + dir + "/wizard.txt");
    EXPECT_EQ(wizard.Status, 0);
    std::string expected = "*****************CHANNELS THAT CHANGED LESS THAN 50 COUNTS***************************\n"
                           "Channel 0 Named Pressure \n"
                           "*****************CHANNELS THAT OVERLOADED********************************************\n"
                           "Channel 1 Named Strain \n"
                           "*****************CHANNELS THAT APPEAR NOISY********************************\n"
                           "Channel 1 Named Strain \nChannel 2 Named Temp \nChannel 3 Named Module \n";
    EXPECT_EQ(wizard.Out, expected);
    EXPECT_EQ(ReadBytes(dir + "/wizard.txt"), expected);
    std::string problem;
    ASSERT_EQ(RunDataWizard({true, true, true}, test.c_str(), (dir + "/program.txt").c_str(), &problem, nullptr), 1);
    EXPECT_EQ(ReadBytes(dir + "/program.txt"), expected);

    Ran runs = Tool(dir, "runs " + test);
    EXPECT_EQ(runs.Status, 0);
    EXPECT_EQ(runs.Out.substr(0, runs.Out.find('\n')), "  1  R1 P1         byte 0, 2 transfers");
    EXPECT_NE(runs.Out.find("  3  R1 P2 "), std::string::npos);

    Ran removed = Tool(dir, "remove-runs " + test + " 2");
    EXPECT_EQ(removed.Status, 0);
    const size_t T = raw.size() / 6;
    EXPECT_EQ(ReadBytes(Raw()), raw.substr(0, 2 * T) + raw.substr(5 * T));

    // The check sees the transfers the removal took out.
    Ran check = Tool(dir, "check " + test);
    EXPECT_EQ(check.Status, 1);
    EXPECT_NE(check.Out.find("transfer 2: sequence 5 follows 1 (3 missing)"), std::string::npos) << check.Out;
}

TEST_F(DataTool, FailuresExitNonZeroWithAMessage) {
    MixedTable(1000.0);
    SaveAndReopen();
    struct Case {
        std::string args;
        int status;
        const char* message;
    } cases[] = {
        {"", 2, "usage"},
        {"ascii", 2, "usage"},
        {"frobnicate " + test, 2, "unknown command"},
        {"ascii " + test + " -c 300", 2, "a channel is a number"},
        {"ascii " + dir + "/none.mdb", 1, "no test database"},
        {"ascii " + test, 1, "There Is No Datafile To Process"},
        {"runs " + test, 1, "There Is No Data File"},
        {"check " + test, 1, "raw file missing"},
        {"analysis " + test, 1, "There Was No Raw Data"},
    };
    for (const Case& c : cases) {
        Ran r = Tool(dir, c.args);
        EXPECT_EQ(r.Status, c.status) << c.args;
        EXPECT_NE((r.Out + ReadBytes(dir + "/stderr.txt")).find(c.message), std::string::npos) << c.args;
    }
    WriteBytes(Raw(), MakeRaw(5, Sample));
    Ran r = Tool(dir, "remove-runs " + test + " 7");
    EXPECT_EQ(r.Status, 2);
    // A truncated recording: the check says so and fails.
    WriteBytes(Raw(), MakeRaw(5, Sample).substr(0, 100));
    ASSERT_EQ(BuildScanMapTo((dir + "/t1.map").c_str()), 1);
    r = Tool(dir, "check " + test);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("the file ends"), std::string::npos);
}

TEST_F(DataTool, TablesThatCannotBeReadAndShortFilesGiveAClearMessageAndNoCrash) {
    // A saved test whose table cannot describe a recording: every command
    // that reads the recording refuses it with the reason, exit status 1.
    // (A block count of 0 cannot be saved: loading derives it from the
    // table; the core tests cover it.)
    const struct {
        const char* what;
        void (*spoil)();
        const char* message;
    } layouts[] = {
        {"empty table", [] { ClearScanTable(); }, "The Scan List Is Empty"},
        {"rate 0", [] { dSampleRate = 0.0; }, "The Sample Rate Is Not Positive"},
    };
    const char* const commands[] = {"ascii", "dadisp", "hdf5", "analysis", "wizard", "runs", "check"};
    for (const auto& l : layouts) {
        MixedTable(1000.0);
        WriteBytes(Raw(), MakeRaw(20, Sample));
        l.spoil();
        SaveAndReopen();
        for (const char* c : commands) {
            Ran r = Tool(dir, std::string(c) + " " + test);
            EXPECT_EQ(r.Status, 1) << l.what << ", " << c;
            EXPECT_NE(ReadBytes(dir + "/stderr.txt").find(l.message), std::string::npos) << l.what << ", " << c;
        }
    }
    // Raw files cut short (an empty one, one shorter than a scan, one that
    // ends inside a scan): the exports give what the file holds and succeed,
    // the check says where the file ends and fails.
    MixedTable(1000.0);
    SaveAndReopen();
    const std::string whole = MakeRaw(7, Sample);
    const size_t scanBytes = whole.size() / 7;
    for (const size_t length : {size_t{0}, scanBytes - 1, 3 * scanBytes + 5}) {
        SCOPED_TRACE(std::to_string(length) + " bytes");
        WriteBytes(Raw(), whole.substr(0, length));
        for (const char* c : {"ascii", "dadisp", "hdf5", "analysis", "wizard", "runs"}) {
#ifndef ZD418_HDF5
            if (std::string(c) == "hdf5") continue;
#endif
            Ran r = Tool(dir, std::string(c) + " " + test);
            EXPECT_EQ(r.Status, 0) << c << ": " << ReadBytes(dir + "/stderr.txt");
        }
        // Pressure sits at positions 0, 3, 6 and 10: a cut scan gives those
        // whose both bytes are there.
        size_t samples = length / scanBytes * 4;
        for (const size_t p : {0, 3, 6, 10}) samples += 16 + 2 * p + 2 <= length % scanBytes ? 1 : 0;
        EXPECT_EQ(ReadBytes(dir + "/Pressure.dat").size(), samples * 8);
        Ran r = Tool(dir, "check " + test);
        EXPECT_EQ(r.Status, 1);
        EXPECT_TRUE(r.Out.find("the file ends") != std::string::npos || r.Out.find("empty") != std::string::npos)
            << r.Out;
    }
}

TEST_F(DataTool, SampleRecordingIsSoundAndLoadingATestWritesNoOtherFile) {
    // The settings name another test as the last one opened: loading a test
    // rewrites the current test's map, which must not be that one's (nor a
    // file in the current folder).
    const std::string profile = dir + "/profile";
    fs::create_directories(profile);
    WriteBytes(profile + "/Q90CARD.ini", CardFile());
    WriteBytes(profile + "/Q90.ini", "[System]\nAllTheSame=No\n[Test]\nTestfile=" + dir + "/last.mdb\n");
    setenv("ZD418_PROFILE_DIR", profile.c_str(), 1);
    const std::string sample = dir + "/sample";
    Ran made = Tool(dir, "sample " + sample);
    EXPECT_EQ(made.Status, 0) << ReadBytes(dir + "/stderr.txt");
    EXPECT_EQ(made.Out, sample + "/t1.mdb\n");
    const std::string raw = ReadBytes(sample + "/t1.raw"), map = ReadBytes(sample + "/t1.map");
    EXPECT_FALSE(raw.empty());
    Ran check = Tool(dir, "check " + sample + "/t1.mdb");
    EXPECT_EQ(check.Status, 0) << check.Out;
    EXPECT_EQ(check.Out.find("sound: "), 0u) << check.Out;
    EXPECT_NE(check.Out.find("6 transfers"), std::string::npos) << check.Out;
    EXPECT_NE(check.Out.find("map agrees with the test"), std::string::npos) << check.Out;
    Ran wizard = Tool(dir, "wizard " + sample + "/t1.mdb --flat");
    EXPECT_EQ(wizard.Status, 0);
    EXPECT_NE(wizard.Out.find("Channel 2 Named Temp"), std::string::npos) << wizard.Out;
    EXPECT_EQ(Tool(dir, "dadisp " + sample + "/t1.mdb").Status, 0);
    // A second sample never overwrites a test.
    Ran again = Tool(dir, "sample " + sample);
    EXPECT_EQ(again.Status, 1);
    EXPECT_NE(ReadBytes(dir + "/stderr.txt").find("already there"), std::string::npos);
    EXPECT_EQ(ReadBytes(sample + "/t1.raw"), raw);
    EXPECT_EQ(ReadBytes(sample + "/t1.map"), map);
    EXPECT_FALSE(fs::exists(dir + "/last.map"));
    setenv("ZD418_PROFILE_DIR", root.c_str(), 1);
}

#ifdef ZD418_HDF5
// A recording that grows or shrinks while it is exported (a recording still
// running, an editor at work) gives a clear failure and no HDF5 file, never
// one whose datasets hold a mix of two files.
TEST_F(DataTool, Hdf5RefusesARawFileThatChangesDuringTheExport) {
    MixedTable(2000.0);
    SaveAndReopen();
    const std::string raw = MakeRaw(100000, Sample);  // several reads of 1 MB
    const std::string out = dir + "/t1.h5";
    const int32_t channels[] = {0, 1, 2, 3};
    for (const bool grow : {true, false}) {
        SCOPED_TRACE(grow ? "grown" : "shrunk");
        WriteBytes(Raw(), raw);
        struct Change {
            std::string path;
            bool grow, done;
        } change{Raw(), grow, false};
        ExportProgress progress{[](void* c, uint64_t, uint64_t) {
                                    Change* ch = static_cast<Change*>(c);
                                    if (ch->done) return;
                                    ch->done = true;
                                    if (ch->grow)
                                        std::ofstream(ch->path, std::ios::binary | std::ios::app) << std::string(4096, '\1');
                                    else
                                        fs::resize_file(ch->path, fs::file_size(ch->path) - 4096);
                                },
                                &change};
        std::string problem;
        EXPECT_EQ(ExportHdf5(test.c_str(), out.c_str(), channels, 4, &progress, &problem), 0);
        EXPECT_TRUE(change.done);
        EXPECT_EQ(problem, "The Raw Data File Changed During The Export: " + Raw());
        EXPECT_FALSE(fs::exists(out));
        EXPECT_FALSE(fs::exists(out + ".tmp"));
    }
    // Unchanged, the same file exports.
    WriteBytes(Raw(), raw);
    std::string problem;
    EXPECT_EQ(ExportHdf5(test.c_str(), out.c_str(), channels, 4, nullptr, &problem), 1) << problem;
    EXPECT_TRUE(fs::exists(out));
}
#endif

#ifdef ZD418_HDF5
TEST_F(DataTool, Hdf5HoldsEngineeringValuesWithTheirScaleAndTimeBase) {
    MixedTable(2000.0);
    SaveAndReopen();
    const uint64_t scans = 500;
    WriteBytes(Raw(), MakeRaw(scans, Sample));
    Ran r = Tool(dir, "hdf5 " + test);
    ASSERT_EQ(r.Status, 0) << ReadBytes(dir + "/stderr.txt");
    ASSERT_EQ(r.Out, dir + "/t1.h5\n");
    FILE* p = popen((std::string(PYTHON_WITH_H5PY) + " " + READ_HDF5_SCRIPT + " " + dir + "/t1.h5").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::vector<std::string> lines;
    char line[256];
    while (fgets(line, sizeof line, p) != nullptr) lines.push_back(std::string(line, strcspn(line, "\n")));
    ASSERT_EQ(pclose(p), 0);

    // Each dataset: its attributes, then every value, which the test works
    // out by itself from the samples.
    struct Want {
        const char* name;
        int32_t channel;
        int bits;
        double gain, slope, offset, rate, timeOffset;
        int uniform;
    } want[] = {
        {"Module", 3, 16, 1.0, 1.0, 0.0, 1000.0, 0.0005, 0},
        {"Pressure", 0, 16, 10.0, 2.5, -3.0, 2000.0, 0.0, 1},
        {"Strain", 1, 12, 100.0, 1.0, 0.25, 2000.0, 0.0, 1},
        {"Temp", 2, 16, 1.0, 0.01, 20.0, 1000.0, 0.0, 1},
    };
    size_t at = 0;
    for (const Want& w : want) {
        std::vector<double> values, times;
        for (uint64_t s = 0; s < scans; ++s)
            for (uint32_t pos = 0; pos < lpProgScanList->EntryCount; ++pos)
                if (lpProgScanList->Entry[pos].CHANNEL == static_cast<uint32_t>(w.channel)) {
                    const double mv = std::trunc(Sample(s, pos) * 10000.0 / (w.bits == 12 ? 2048.0 : 32768.0));
                    values.push_back(w.slope * (mv / w.gain) + w.offset);
                    times.push_back((s * 4.0 + lpProgScanList->Entry[pos].BLOCK) / 2000.0);
                }
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at++], "dataset " + std::string(w.name) + " " + std::to_string(values.size()) + " float64");
        std::vector<std::string> attrs;
        while (at < lines.size() && lines[at].rfind("attr ", 0) == 0) attrs.push_back(lines[at++]);
        char text[128];
        std::vector<std::string> expected = {"attr adc_bits " + std::to_string(w.bits),
                                             "attr channel " + std::to_string(w.channel)};
        for (const std::string& a : attrs) {
            // Python prints the shortest repr; compare as numbers.
            const std::string key = a.substr(5, a.find(' ', 5) - 5);
            const std::string value = a.substr(a.find(' ', 5) + 1);
            if (key == "gain") {
                EXPECT_DOUBLE_EQ(atof(value.c_str()), w.gain) << w.name;
            }
            if (key == "sensitivity") {
                EXPECT_DOUBLE_EQ(atof(value.c_str()), w.slope) << w.name;
            }
            if (key == "offset") {
                EXPECT_DOUBLE_EQ(atof(value.c_str()), w.offset) << w.name;
            }
            if (key == "rate") {
                EXPECT_DOUBLE_EQ(atof(value.c_str()), w.rate) << w.name;
            }
            if (key == "time_step") {
                EXPECT_DOUBLE_EQ(atof(value.c_str()), 1.0 / w.rate) << w.name;
            }
            if (key == "time_offset") {
                EXPECT_DOUBLE_EQ(atof(value.c_str()), w.timeOffset) << w.name;
            }
            if (key == "time_uniform") {
                EXPECT_EQ(atoi(value.c_str()), w.uniform) << w.name;
            }
            if (key == "units") {
                EXPECT_EQ(value, "mV") << w.name;
            }
        }
        EXPECT_EQ(attrs.size(), 11u) << w.name;
        EXPECT_EQ(attrs[0], expected[0]) << w.name;
        EXPECT_EQ(attrs[1], expected[1]) << w.name;
        for (double v : values) {
            ASSERT_LT(at, lines.size());
            snprintf(text, sizeof text, "%.17g", v);
            ASSERT_EQ(lines[at++], text) << w.name;
        }
        if (w.uniform) continue;
        // Unevenly spaced samples carry the time of each one.
        ASSERT_LT(at, lines.size());
        EXPECT_EQ(lines[at++], "dataset " + std::string(w.name) + ".time " + std::to_string(times.size()) + " float64");
        for (double t : times) {
            ASSERT_LT(at, lines.size());
            snprintf(text, sizeof text, "%.17g", t);
            ASSERT_EQ(lines[at++], text) << w.name << " time";
        }
    }
    EXPECT_EQ(at, lines.size());
}
#endif

}  // namespace
