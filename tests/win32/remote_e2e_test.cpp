// Zd418 driven through q90ctl, the supervisor tool, under Wine: the commands
// of the protocol in allowed and refused states, a timed recording from the
// simulated front end, recording switched off and on, and the end of the
// session.  The raw file must hold whole transfers only, in the order the
// front end numbered them, none twice.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/win32/e2e_support.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"

namespace {

std::string g_exe, g_gpib, g_q90ui, g_q90ctl;

using namespace e2e;

// Lines of q90ctl's output starting with `prefix`.
std::vector<std::string> Lines(const std::string& out, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) {
        while (!l.empty() && l.back() == '\r') l.pop_back();
        if (l.rfind(prefix, 0) == 0) lines.push_back(l);
    }
    return lines;
}

// One session: Zd418 (demonstration test, scan list downloaded) connected to
// q90ctl running `scriptText`, with `operations` as mtstest.ini's
// [Operations] and, for systemExtra "serve", Q90.ini's PIPESERVER on.
// Returns q90ctl's output; its exit code in *code.
struct Session {
    std::string dir, raw, samples, outName;
    std::string chassis;  // statements added to the simulated chassis
    const char* names[4] = {"\\\\.\\PIPE\\ZRLISTEN", "\\\\.\\PIPE\\ZRTALK", "\\\\.\\PIPE\\ZRERROR",
                            "\\\\.\\PIPE\\ZRDATA"};
    std::string Run(const std::string& scriptText, const std::string& operations, DWORD* code,
                     const std::string& systemExtra = "") {
        dir = StationDir("zd418_remote");
        const std::string exe = dir + "\\Zd418.exe";
        if (!PlaceStation(dir, g_exe, g_gpib, g_q90ui, "timebase real\nsignal 0-255 const 1000\n" + chassis)) {
            ADD_FAILURE() << "cannot place the station in " << dir;
            return "";
        }

        // The run: pipe names of this test, the operation file naming its raw file.
        const std::string ini = SystemIni();
        const SavedFile savedIni = SaveFile(ini);
        const char* keys[] = {"LISTENPIPE", "TALKPIPE", "ERRORPIPE", "DATA1PIPE"};
        for (int i = 0; i < 4; ++i) WritePrivateProfileStringA("SYSTEM", keys[i], names[i], ini.c_str());
        WritePrivateProfileStringA("NETWORK", "PIPESERVER", systemExtra == "serve" ? "Y" : "N", ini.c_str());
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        const std::string mtstest = std::string(windows) + "\\mtstest.ini";
        const SavedFile savedOps = SaveFile(mtstest);
        raw = dir + "\\remote.raw";
        DeleteFileA(raw.c_str());
        {
            std::ofstream ops(mtstest, std::ios::binary | std::ios::trunc);
            ops << "[Operations]\r\nTestFile=" << dir << "\\remote.mdb\r\n" << operations;
        }
        const std::string script = dir + "\\run.q90";
        {
            std::ofstream s(script, std::ios::binary | std::ios::trunc);
            s << scriptText;
        }
        samples = dir + "\\samples.bin";
        DeleteFileA(samples.c_str());
        outName = dir + "\\q90ctl.out";

        // The supervisor first, as at a station: it creates the pipes and waits.
        Process ctl;
        {
            SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
            HANDLE out = CreateFileA(outName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
            if (out == INVALID_HANDLE_VALUE) return "";
            std::string cmd = "\"" + WindowsPath(g_q90ctl) + "\" --listen " + names[0] + " --talk " + names[1] +
                              " --error " + names[2] + " --data " + names[3] + " --samples \"" + samples +
                              "\" --quiet --connect-wait 60 --reply-wait 30 --script \"" + script + "\"";
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = si.hStdError = out;
            EXPECT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, dir.c_str(), &si,
                                       &ctl.pi));
            CloseHandle(out);
        }
        Sleep(500);

        Process zd;
        EXPECT_TRUE(StartZd418(zd, exe, dir));
        const HWND frame = zd.frame;
        DismissBoxes(zd.pi.dwProcessId, 3000);  // Open Test cancelled: the demonstration test
        PostMessageA(frame, WM_COMMAND, 111, 0);  // download the scan list to the front end
        DismissBoxes(zd.pi.dwProcessId, 1500);
        PostMessageA(frame, WM_COMMAND, 136, 0);  // Open & Connect
        const DWORD done = WaitForSingleObject(ctl.pi.hProcess, 90000);
        EXPECT_EQ(done, WAIT_OBJECT_0);
        GetExitCodeProcess(ctl.pi.hProcess, code);
        // The program is usable again after the session: the frame takes commands.
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(frame) != FALSE; }, 5000));
        // Q90.ini and mtstest.ini as they were: other tests of the prefix read them.
        RestoreFile(savedOps);
        RestoreFile(savedIni);
        return ReadFileText(outName);
    }
};

// The raw file's transfers: whole, each with its sync word; their sequence numbers.
// The transfer size is the map's SamplesPerTransfer words.
std::vector<uint32_t> RawSequences(const std::string& raw, size_t minTransfers) {
    std::vector<uint8_t> bytes = ReadFileBytes(raw);
    const std::string map = raw.substr(0, raw.size() - 4) + ".map";
    const size_t transferBytes =
        2 * static_cast<size_t>(GetPrivateProfileIntA("DATAFILE", "SamplesPerTransfer", 0, map.c_str()));
    EXPECT_GT(transferBytes, 0u) << map;
    if (transferBytes == 0) return {};
    EXPECT_GE(bytes.size(), minTransfers * transferBytes) << raw;
    EXPECT_EQ(bytes.size() % transferBytes, 0u) << "a partial transfer in the file";
    std::vector<uint32_t> sequences;
    for (size_t t = 0; t + transferBytes <= bytes.size(); t += transferBytes) {
        EXPECT_EQ(bytes[t], 0x6B);
        EXPECT_EQ(bytes[t + 1], 0xFE);
        sequences.push_back(bytes[t + 2] | (bytes[t + 3] << 8));
    }
    return sequences;
}

TEST(RemoteE2E, SupervisorRunsATestThroughQ90ctl) {
    Session session;
    DWORD code = 0;
    const std::string out = session.Run(
        "GS\nSS\nXX\nBS\nRI9999999\nBS\nUW\nBS\nIT\nRI1\nRT3\nSS\nwait 6\nGS\n"
        "SS\nwait 1\nRI1\nDR\nwait 1\nRD\nwait 1.5\nST\nST\nRL\n",
        "RecordToDisk=YES\r\nMonitorData=YES\r\nNumberToMonitor=1\r\nFirstDisplayChannel=1\r\n", &code);
    const std::string raw = session.raw;
    const std::string samples = session.samples;
    SCOPED_TRACE(out);
    EXPECT_EQ(code, 1u) << "the refused commands must make q90ctl fail";
    std::vector<std::string> replies = Lines(out, "REPLY ");
    const std::vector<std::string> expected = {
        "REPLY GS 0",
        "REPLY SS -2147418112  (error 1)",
        "REPLY XX -2147287040  (error 3)",  // errors accumulate: 1 | 2
        "REPLY BS 0",
        "REPLY RI9999999 -2146631680  (error 13)",
        "REPLY BS 0",
        "REPLY UW -2147418112  (error 1)",
        "REPLY BS 0",
        "REPLY IT 11",
        "REPLY RI1 11 0",
        "REPLY RT3 11",
        "REPLY SS 15",
        "REPLY GS 11",  // the timed recording ended by itself
        "REPLY SS 15",
    };
    ASSERT_EQ(replies.size(), expected.size() + 6);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(replies[i], expected[i]) << i;
    EXPECT_EQ(replies[14].rfind("REPLY RI1 15 ", 0), 0u) << replies[14];
    EXPECT_NE(replies[14], "REPLY RI1 15 0") << "a sampled channel answers its word";
    EXPECT_EQ(replies[15], "REPLY DR 14");
    EXPECT_EQ(replies[16], "REPLY RD 15");
    EXPECT_EQ(replies[17], "REPLY ST 11");
    EXPECT_EQ(replies[18], "REPLY ST -2147418101  (error 1)");
    EXPECT_EQ(replies[19], "REPLY RL 0");
    for (const std::string& l : Lines(out, "STATUS ")) ADD_FAILURE() << l;

    // The raw file: both runs, whole transfers, numbered upward.
    std::vector<uint32_t> sequences = RawSequences(raw, 5);
    ASSERT_GE(sequences.size(), 5u);
    EXPECT_EQ(sequences[0], 1u);
    for (size_t i = 1; i < sequences.size(); ++i) EXPECT_GT(sequences[i], sequences[i - 1]) << i;
    // The timed run kept the transfers of its three seconds in a row.
    for (size_t i = 1; i < 5; ++i) EXPECT_EQ(sequences[i], sequences[i - 1] + 1) << i;

    // Forwarded samples of channel 1 arrived, whole 16-bit words.
    std::vector<uint8_t> forwarded = ReadFileBytes(samples);
    EXPECT_GT(forwarded.size(), 0u);
    EXPECT_EQ(forwarded.size() % 2, 0u);
}

// The commands the first session leaves out, each where the table allows it
// and, while sampling, where it refuses it; "RZ" ends with a reconnection.
TEST(RemoteE2E, TheOtherCommandsInTheirAllowedAndRefusedStates) {
    Session session;
    DWORD code = 0;
    const std::string out = session.Run(
        "MD\nDM\nAA\nAO\nAD12\nSC9999999\nBS\nSC1\nHO\nRO\nDF\nAB\n"
        "IT\nSS\nwait 2\nAB\nAO\nAA\nDF\nUW\nIT\nDT\nMD\nRO\nSC1\nWI3\nHO\nRZ\nGS\nRL\n",
        "RecordToDisk=YES\r\nMonitorData=YES\r\nNumberToMonitor=1\r\nFirstDisplayChannel=1\r\n", &code);
    SCOPED_TRACE(out);
    EXPECT_EQ(code, 1u) << "the refused commands must make q90ctl fail";
    const std::string refused = " -2147418097  (error 1)";  // sampling, initialised, recording, forwarding
    const std::vector<std::string> expected = {
        "REPLY MD 8", "REPLY DM 0", "REPLY AA 16", "REPLY AO 0", "REPLY AD12 0",
        "REPLY SC9999999 -2146631680  (error 13)", "REPLY BS 0", "REPLY SC1 0", "REPLY HO 0", "REPLY RO 0",
        "REPLY DF 0", "REPLY AB 0", "REPLY IT 11", "REPLY SS 15",
        "REPLY AB" + refused, "REPLY AO" + refused, "REPLY AA" + refused, "REPLY DF" + refused,
        "REPLY UW" + refused, "REPLY IT" + refused, "REPLY DT" + refused,
        "REPLY MD 15",  // carried out: the error bits cleared
        "REPLY RO 15", "REPLY SC1 15", "REPLY WI3 15", "REPLY HO 15",
        "REPLY RZ 0", "REPLY GS 0", "REPLY RL 0"};
    EXPECT_EQ(Lines(out, "REPLY "), expected);
    const std::vector<std::string> status = {"STATUS SUCCESS::Channels Autobalanced Successfully"};
    EXPECT_EQ(Lines(out, "STATUS "), status);
    EXPECT_EQ(Lines(out, "CONNECTED").size(), 2u) << "no reconnection after RZ";
    // "RZ" stopped the recording: what it holds is whole and in a row.
    const std::vector<uint32_t> sequences = RawSequences(session.raw, 1);
    ASSERT_GE(sequences.size(), 1u);
    EXPECT_EQ(sequences[0], 1u);
    for (size_t i = 1; i < sequences.size(); ++i) EXPECT_EQ(sequences[i], sequences[i - 1] + 1) << i;
}

TEST(RemoteE2E, SupervisorGoneMidRunLosesNoRecordedTransfer) {
    Session session;
    DWORD code = 0;
    // "reconnect" closes q90ctl's ends mid-recording and waits for Zd418 again.
    const std::string out = session.Run("IT\nSS\nwait 2.5\nreconnect\nGS\nIT\nRL\n",
                                        "RecordToDisk=YES\r\nMonitorData=NO\r\n", &code);
    SCOPED_TRACE(out);
    EXPECT_EQ(code, 0u);
    std::vector<std::string> replies = Lines(out, "REPLY ");
    const std::vector<std::string> expected = {"REPLY IT 3", "REPLY SS 7", "REPLY GS 0", "REPLY IT 3",
                                               "REPLY RL 0"};
    EXPECT_EQ(replies, expected);
    EXPECT_EQ(Lines(out, "CONNECTED").size(), 2u);
    // What was recorded before the pipes broke is in the file, whole and in a row.
    std::vector<uint32_t> sequences = RawSequences(session.raw, 3);
    ASSERT_GE(sequences.size(), 3u);
    EXPECT_EQ(sequences[0], 1u);
    for (size_t i = 1; i < sequences.size(); ++i) EXPECT_EQ(sequences[i], sequences[i - 1] + 1) << i;
}

// A serving station writes its CVT slices to the client mailslots: this test
// process is the client station.
TEST(RemoteE2E, ServingStationSendsCvtSlicesWithinTheCvt) {
    std::vector<HANDLE> slots;
    for (int k = 0; k < 80; ++k) {
        const std::string name = "\\\\.\\mailslot\\cvt" + std::to_string(50 * k + 49);
        HANDLE h = k < 36 ? CreateMailslotA(name.c_str(), 0, 0, nullptr) : INVALID_HANDLE_VALUE;
        if (k < 36) {
            ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
        }
        slots.push_back(h);
    }
    Session session;
    DWORD code = 0;
    const std::string out = session.Run("IT\nSS\nwait 2\nST\nRL\n", "RecordToDisk=NO\r\nMonitorData=NO\r\n",
                                        &code, "serve");
    SCOPED_TRACE(out);
    EXPECT_EQ(code, 0u);
    std::vector<double> values(256 * 7, 0.0);
    for (int k = 0; k < 36; ++k) {
        DWORD next = 0, count = 0;
        ASSERT_TRUE(GetMailslotInfo(slots[k], nullptr, &next, &count, nullptr));
        ASSERT_GT(count, 0u) << "slice " << k << " never arrived";
        std::vector<char> message;
        while (GetMailslotInfo(slots[k], nullptr, &next, &count, nullptr) && next != MAILSLOT_NO_MESSAGE) {
            message.assign(next, 0);
            DWORD got = 0;
            ASSERT_TRUE(ReadFile(slots[k], message.data(), next, &got, nullptr));
            ASSERT_EQ(got, k < 35 ? 400u : 336u) << "slice " << k;
        }
        memcpy(reinterpret_cast<char*>(values.data()) + 400 * k, message.data(), message.size());
    }
    for (HANDLE h : slots)
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    // The slices hold the CVT in its layout: Value, then the raw samples
    // (Format).  Channel 1 of the demonstration test (gain 1, a 12-bit card
    // model) saw the simulator's 1000 mV as 3277 counts.
    int32_t format1 = 0;
    memcpy(&format1, reinterpret_cast<const char*>(values.data()) + 2048 + 4 * 1, 4);
    EXPECT_EQ(format1, 3277);
    EXPECT_DOUBLE_EQ(values[1], format1 * 10000.0 / 2048.0);
}

// The test database "DT" opens (the operation file's remote.mdb): the
// template test made through the data source, changed by `updates`, copied
// to the station's folder; the scratch database is the bound one.  Returns
// the test's path, or "" after a failure.
std::string MakeNamedTest(const std::vector<std::string>& updates) {
    const std::string scratch = WindowsPath(getenv("ZD418_SCRATCH"));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "zd418_remote";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string test = dir + "\\remote.mdb";
    EXPECT_EQ(AllocateTestModel(), 1);
    DeleteFileA(scratch.c_str());
    bool made = false;
    {
        DbEnv env;
        DbConn dbc;
        std::string error;
        made = DbOpen(kTestDataSource, &env, &dbc, &error) && CreateTemplateTables(env, dbc, &error);
        for (size_t i = 0; made && i < updates.size(); ++i) made = DbExecute(env, dbc, updates[i].c_str(), &error);
        EXPECT_TRUE(made) << error;
        DbClose(env, dbc);
    }
    FreeTestModel();
    if (!made || !CopyFileA(scratch.c_str(), test.c_str(), FALSE)) return "";
    const std::string ini = SystemIni();
    WritePrivateProfileStringA("System", "TestScratch", scratch.c_str(), ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    return test;
}

bool DataSourceBound() {
    const char* bound = getenv("ZD418_SCRATCH");
    return bound != nullptr && *bound != '\0';
}

// "DT" with the test named in the operation file: a real test database is
// copied over the scratch database, loaded and downloaded, and the run goes
// on; a damaged one is refused with its status line and never reaches the
// front end.
TEST(RemoteE2E, DefineTestOpensTheNamedDatabase) {
    if (!DataSourceBound()) GTEST_SKIP() << "data source Q90 not bound: source scripts/odbc_env.sh";
    const std::string scratch = WindowsPath(getenv("ZD418_SCRATCH"));
    // The template test with channel 0 renamed.
    const std::string test = MakeNamedTest({"UPDATE CHANNELPARAMETERS SET NAME = 'defined remotely' WHERE CHANNEL = 0"});
    ASSERT_NE(test, "");
    const std::string ini = SystemIni();
    const std::string operations = "RecordToDisk=YES\r\nMonitorData=NO\r\n[Test Information]\r\nTestType=3\r\n";

    {
        Session session;
        session.chassis = "card 0-255 M17-B\n";  // the cards the template test names
        DWORD code = 0;
        const std::string out = session.Run("DT\nIT\nDT\nRT3\nSS\nwait 5\nGS\nRL\n", operations, &code);
        SCOPED_TRACE(out);
        const std::vector<std::string> expected = {"REPLY DT -2147418112  (error 1)", "REPLY IT 3", "REPLY DT 3",
                                                   "REPLY RT3 3", "REPLY SS 7", "REPLY GS 3", "REPLY RL 0"};
        EXPECT_EQ(Lines(out, "REPLY "), expected);
        for (const std::string& l : Lines(out, "STATUS ")) ADD_FAILURE() << l;
        // The scratch database holds the named test, and the timed run
        // recorded the downloaded table's transfers in a row.
        EXPECT_EQ(ReadFileText(scratch), ReadFileText(test));
        const std::vector<uint32_t> sequences = RawSequences(session.raw, 3);
        ASSERT_GE(sequences.size(), 3u);
        EXPECT_EQ(sequences[0], 1u);
        for (size_t i = 1; i < sequences.size(); ++i) EXPECT_EQ(sequences[i], sequences[i - 1] + 1) << i;
    }
    {
        std::ofstream(test, std::ios::binary | std::ios::trunc) << "not a database";
        Session session;
        DWORD code = 0;
        const std::string out = session.Run("IT\nDT\nRL\n", operations, &code);
        SCOPED_TRACE(out);
        std::vector<std::string> replies = Lines(out, "REPLY ");
        ASSERT_EQ(replies.size(), 3u);
        EXPECT_EQ(replies[1], "REPLY DT -2147418109  (error 1)");
        const std::vector<std::string> status = {"STATUS FATAL::Test Database Corrupt"};
        EXPECT_EQ(Lines(out, "STATUS "), status);
        EXPECT_EQ(code, 1u);
    }
    WritePrivateProfileStringA("System", "TestScratch", nullptr, ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
}

// Figures for bench/remote_roundtrip.sh (not run by ctest): the round trip
// of a plain command through the pipes, and the forwarded-sample stream
// beside a recording at the front end's highest aggregate rate: a test named
// by "DT" scanning 16 channels in 32 blocks at 31250 blocks/s (500000
// samples/s), two of them forwarded.
TEST(RemoteE2E, DISABLED_RoundTripBench) {
    if (!DataSourceBound()) GTEST_SKIP() << "data source Q90 not bound: source scripts/odbc_env.sh";
    const std::string test = MakeNamedTest(
        {"UPDATE PROGRAMMABLESCANTABLE SET CHANNEL = POSITION % 16, BLOCK = POSITION / 16 WHERE POSITION < 512",
         "UPDATE SYSTEM SET SAMPLERATE = 31250, SCANLISTENTRIES = 512"});
    ASSERT_NE(test, "");
    Session session;
    session.chassis = "card 0-255 M17-B\n";  // the cards the template test names
    DWORD code = 0;
    const std::string out = session.Run("IT\nDT\nbench 10000 GS\nSS\nwait 10\nST\nRL\n",
                                        "RecordToDisk=YES\r\nMonitorData=YES\r\nNumberToMonitor=2\r\n"
                                        "FirstDisplayChannel=1\r\nSecondDisplayChannel=2\r\n"
                                        "[Test Information]\r\nTestType=3\r\n",
                                        &code);
    const std::string ini = SystemIni();
    WritePrivateProfileStringA("System", "TestScratch", nullptr, ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    for (const std::string& l : Lines(out, "STATUS ")) ADD_FAILURE() << l;
    std::vector<std::string> bench = Lines(out, "BENCH ");
    ASSERT_EQ(bench.size(), 1u) << out;
    printf("%s\n", bench[0].c_str());
    EXPECT_NE(bench[0].find("replies 10000, lost 0"), std::string::npos);
    const std::vector<uint32_t> sequences = RawSequences(session.raw, 1);
    for (size_t i = 1; i < sequences.size(); ++i) EXPECT_EQ(sequences[i], sequences[i - 1] + 1) << i;
    std::vector<std::string> done = Lines(out, "DONE ");
    ASSERT_EQ(done.size(), 1u) << out;
    unsigned failed = 0;
    unsigned long long messages = 0, bytes = 0;
    sscanf(done[0].c_str(), "DONE commands failed %u, sample messages %llu (%llu bytes)", &failed, &messages,
           &bytes);
    printf("FORWARDED %llu messages (%llu bytes) for %u recorded transfers (%llu bytes of raw file) in 10 s "
           "at 500000 samples/s\n",
           messages, bytes, static_cast<unsigned>(sequences.size()),
           static_cast<unsigned long long>(ReadFileBytes(session.raw).size()));
    EXPECT_EQ(code, 0u);
    EXPECT_GE(messages, sequences.size()) << "the forwarded stream fell behind the recording";
}

}  // namespace

int main(int argc, char** argv) {
    return e2e::RunE2eTests(argc, argv, "remote_e2e_test Zd418.exe gpib-32.dll Q90ui.dll q90ctl.exe",
                            {&g_exe, &g_gpib, &g_q90ui, &g_q90ctl}, {"Q90CARD.ini"});
}
