// Two stations in one Wine prefix: a client started in client mode from
// Q90.ini without a front end, then a server started in serving mode from
// Q90.ini, previewing from the simulated front end.  The client's current
// value table must follow the server's and, once the server stops, equal it
// byte for byte over everything the slices carry.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/win32/e2e_support.h"
#include "testmodel/model.h"

namespace {

std::string g_exe, g_gpib, g_q90ui;

using namespace e2e;

struct Station : Process {
    std::string exe;
};

constexpr int kPlayX = 196, kStopX = 244, kButtonY = 20;

// The panel exists once start-up is through the Open Test dialog.
void FindPanel(Station* s) {
    ASSERT_TRUE(WaitFor([&] { return (s->panel = FindWindowOf(s->pi.dwProcessId, "CONTROLCLASS")) != nullptr; },
                        10000));
}

// The part of a station's CVT that the slices carry, read from the running
// process: the exported zd418CurrentValueTable gives the address of its
// lpCVT.
bool ReadSharedCvt(const Station& s, std::vector<uint8_t>* out) {
    HMODULE image = LoadLibraryExA(s.exe.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (image == nullptr) return false;
    const auto* local = reinterpret_cast<const uint8_t*>(GetProcAddress(image, "zd418CurrentValueTable"));
    const uintptr_t rva = local ? static_cast<uintptr_t>(local - reinterpret_cast<const uint8_t*>(image)) : 0;
    FreeLibrary(image);
    if (rva == 0) return false;
    HMODULE modules[1] = {};
    DWORD needed = 0;
    if (!EnumProcessModules(s.pi.hProcess, modules, sizeof modules, &needed) || modules[0] == nullptr) return false;
    const uint8_t* remoteBase = reinterpret_cast<const uint8_t*>(modules[0]);
    CVT** cvtPointerAddress = nullptr;
    CVT* cvt = nullptr;
    SIZE_T got = 0;
    if (!ReadProcessMemory(s.pi.hProcess, remoteBase + rva, &cvtPointerAddress, sizeof cvtPointerAddress, &got) ||
        !ReadProcessMemory(s.pi.hProcess, cvtPointerAddress, &cvt, sizeof cvt, &got) || cvt == nullptr)
        return false;
    out->assign(sizeof(CVT) - offsetof(CVT, Value), 0);
    return ReadProcessMemory(s.pi.hProcess, reinterpret_cast<const uint8_t*>(cvt) + offsetof(CVT, Value),
                             out->data(), out->size(), &got) &&
           got == out->size();
}

double ValueOf(const std::vector<uint8_t>& shared, int channel) {
    double v = 0;
    memcpy(&v, shared.data() + channel * sizeof(double), sizeof v);
    return v;
}

std::string MakeStationDir(const char* name, bool withFrontEnd) {
    const std::string dir = StationDir(name);
    if (withFrontEnd) {
        // Slow sines: the values change between two looks, yet little
        // within one poll of the client.
        EXPECT_TRUE(PlaceStation(dir, g_exe, g_gpib, g_q90ui,
                                 "timebase real\nsignal 0-127 sine 3000 0.7 500\n"
                                 "signal 128-255 sine 2000 1.3 -800 90\n"));
    } else {
        EXPECT_TRUE(CopyFileA(WindowsPath(g_exe).c_str(), (dir + "\\Zd418.exe").c_str(), FALSE));
        DeleteFileA((dir + "\\gpib-32.dll").c_str());
        DeleteFileA((dir + "\\Q90ui.dll").c_str());
    }
    return dir;
}

void WriteStationIni(const std::string& dir, bool serve, bool client) {
    const std::string ini = SystemIni();
    DeleteFileA(ini.c_str());
    WritePrivateProfileStringA("Application", "WorkDirectory", dir.c_str(), ini.c_str());
    WritePrivateProfileStringA("System", "TriggerState", "0", ini.c_str());
    WritePrivateProfileStringA("SYSTEM", "SIMULATOR", "NO", ini.c_str());
    WritePrivateProfileStringA("SYSTEM", "COM2RUNANDPOINT", "NO", ini.c_str());
    WritePrivateProfileStringA("NETWORK", "PIPESERVER", serve ? "Y" : "N", ini.c_str());
    WritePrivateProfileStringA("NETWORK", "CLIENT", client ? "Y" : "N", ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
}

bool Contains(const std::vector<std::string>& seen, const std::string& text) {
    for (const std::string& s : seen)
        if (s == text) return true;
    return false;
}

TEST(CvtShareE2E, TheClientsCvtFollowsTheServersAndEqualsItWhenItStops) {
    const std::string ini = SystemIni();
    const SavedFile savedIni = SaveFile(ini);

    // The client first: its mailslots must exist when the server starts,
    // since a server opens them only at start-up.
    Station client;
    const std::string clientDir = MakeStationDir("zd418_cvt_client", false);
    client.exe = clientDir + "\\Zd418.exe";
    WriteStationIni(clientDir, false, true);
    ASSERT_TRUE(StartZd418(client, client.exe, clientDir));
    // Open Test cancelled: the demonstration test.
    std::vector<std::string> clientBoxes = AnswerBoxes(client.pi.dwProcessId, 3000);
    FindPanel(&client);
    if (HasFatalFailure()) return;

    Station server;
    const std::string serverDir = MakeStationDir("zd418_cvt_server", true);
    server.exe = serverDir + "\\Zd418.exe";
    WriteStationIni(serverDir, true, false);
    ASSERT_TRUE(StartZd418(server, server.exe, serverDir));
    std::vector<std::string> serverBoxes = AnswerBoxes(server.pi.dwProcessId, 3000);
    FindPanel(&server);
    if (HasFatalFailure()) return;
    EXPECT_FALSE(Contains(serverBoxes, "Failed To Start Morva Network Services"))
        << "the server did not find the client's mailslots";
    EXPECT_EQ(Text(server.panel).find("SIMULATOR"), std::string::npos) << "the server has no front end";

    Click(server.panel, kPlayX, kButtonY);  // Preview, downloading when asked
    serverBoxes = AnswerBoxes(server.pi.dwProcessId, 3000);
    Click(client.panel, kPlayX, kButtonY);
    clientBoxes = AnswerBoxes(client.pi.dwProcessId, 1000);
    for (const std::string& b : clientBoxes) ADD_FAILURE() << "client asked: " << b;

    // While both run: the client's values are the server's sine values of
    // a moment ago, changing from one look to the next.
    std::vector<uint8_t> first, later, serverNow;
    ASSERT_TRUE(ReadSharedCvt(client, &first));
    Sleep(700);
    ASSERT_TRUE(ReadSharedCvt(client, &later));
    ASSERT_TRUE(ReadSharedCvt(server, &serverNow));
    int changed = 0, inRange = 0;
    for (int c = 0; c < 256; ++c) {
        if (ValueOf(first, c) != ValueOf(later, c)) ++changed;
        const double v = ValueOf(later, c);
        if (std::isfinite(v) && v != 0.0) ++inRange;
    }
    EXPECT_GT(changed, 0) << "the client's CVT does not follow the server";
    EXPECT_GT(inRange, 0) << "the client holds no served values";

    // The server stops: its last served table is the one it keeps, and the
    // client, polling on, ends up with exactly that table.
    Click(server.panel, kStopX, kButtonY);
    AnswerBoxes(server.pi.dwProcessId, 1500);
    std::vector<uint8_t> serverFinal, clientFinal;
    ASSERT_TRUE(ReadSharedCvt(server, &serverFinal));
    ASSERT_TRUE(WaitFor(
        [&] { return ReadSharedCvt(client, &clientFinal) && clientFinal == serverFinal; }, 3000))
        << "client and server tables differ after the server stopped";
    int differing = 0;
    for (size_t i = 0; i < serverFinal.size(); ++i) differing += clientFinal[i] != serverFinal[i];
    EXPECT_EQ(differing, 0);
    double server0 = ValueOf(serverFinal, 0), client0 = ValueOf(clientFinal, 0);
    EXPECT_EQ(server0, client0);

    RestoreFile(savedIni);
}

}  // namespace

int main(int argc, char** argv) {
    return e2e::RunE2eTests(argc, argv, "cvt_share_e2e_test Zd418.exe gpib-32.dll Q90ui.dll",
                            {&g_exe, &g_gpib, &g_q90ui});
}
