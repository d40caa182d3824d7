// Zd418 itself, driven from a second process against the simulated chassis:
// the demonstration test (channels 1-6 scanned, all M17-B) downloaded from the
// menu to a chassis where card 2 refuses its filter, card 5 its gain and slot
// 6 holds no card; then "Autobalance" from the menu, and a recording start
// that downloads and balances without a summary.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/win32/e2e_support.h"

namespace {

std::string g_exe, g_gpib, g_q90ui;

constexpr WPARAM kDownloadChannelSettings = 113;
constexpr WPARAM kAutobalance = 212;

struct Box {
    std::string caption;
    std::string text;
};

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) *reinterpret_cast<std::string*>(param) += Text(hwnd);
    return TRUE;
}

using namespace e2e;

struct Program : Process {
    // Answers the boxes that come up within `ms`: the two questions of a
    // recording start with Yes, other questions with No, messages with OK.
    std::vector<Box> Answer(DWORD ms) const {
        std::vector<Box> seen;
        for (DWORD waited = 0; waited < ms; waited += 50) {
            HWND box = FindWindowOf(pi.dwProcessId, "#32770");
            if (box != nullptr) {
                Box b{Text(box), ""};
                EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&b.text));
                // A box being torn down after its answer reads empty.
                if (b.caption.empty() && b.text.empty()) {
                    Sleep(50);
                    continue;
                }
                if (seen.empty() || seen.back().caption != b.caption || seen.back().text != b.text)
                    seen.push_back(b);
                const bool yes = b.caption == "Scanlist Or Channel Parameters Not Downloaded" ||
                                 b.caption == "Autobalance Might Be Affected By New Parameters";
                PostMessageA(box, WM_COMMAND, yes ? IDYES : IDNO, 0);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            }
            Sleep(50);
        }
        return seen;
    }
};

bool Saw(const std::vector<Box>& boxes, const std::string& caption) {
    for (const Box& b : boxes)
        if (b.caption == caption) return true;
    return false;
}

std::string Describe(const std::vector<Box>& boxes) {
    std::string all;
    for (const Box& b : boxes) all += "[" + b.caption + "] " + b.text + "\n";
    return all;
}

TEST(ChannelE2E, DownloadAutobalanceAndTheRecordingStartAgainstTheChassis) {
    const std::string dir = StationDir("zd418_channels");
    CreateDirectoryA((dir + "\\demo").c_str(), nullptr);
    const std::string log = dir + "\\demo\\demo.log";
    DeleteFileA(log.c_str());
    const std::string exe = dir + "\\Zd418.exe";
    ASSERT_TRUE(PlaceStation(dir, g_exe, g_gpib, g_q90ui,
                             "timebase real\ncard 0-255 M17-B imbalance 10\ncard 2 M16 refuse 4 at filter\n"
                             "card 5 M15-C refuse 64 at gain\ncard 6 M17-B missing\n"));
    WriteRecordingStationIni(dir);

    Program p;
    ASSERT_TRUE(StartZd418(p, exe, dir));
    p.Answer(3000);  // the Open Test dialog: cancelled, the demonstration test
    p.panel = FindWindowOf(p.pi.dwProcessId, "CONTROLCLASS");
    HWND wait = FindWindowOf(p.pi.dwProcessId, "WAITCLASS");
    ASSERT_TRUE(p.panel && wait);

    // Download from the menu: the three failing channels in the log, in
    // channel order with their stage, one message, the wait window having
    // counted up to the last scanned channel.
    PostMessageA(p.frame, WM_COMMAND, kDownloadChannelSettings, 0);
    std::vector<Box> download = p.Answer(4000);
    ASSERT_EQ(download.size(), 1u) << Describe(download);
    EXPECT_EQ(download[0].caption, "Channel Setup Error");
    EXPECT_EQ(download[0].text, "Some Channels Failed Setup. View Log File For Details.");
    EXPECT_EQ(ReadLines(log),
              "Channel 2 Named Accel Failed During Filter Selection ::Bad Parameter\n"
              "Channel 5 Named Chan5 Failed During Gain Selection ::Make Sure Channel Is Installed\n"
              "Channel 6 Named Chan6 Failed During Channel Selection ::Make Sure Channel Is Installed\n");
    EXPECT_EQ(Text(GetDlgItem(wait, 11)), "Downloading Channel 6");
    EXPECT_FALSE(IsWindowVisible(wait));

    // Autobalance from the menu: the missing card cannot be selected; the
    // summary lists it.
    PostMessageA(p.frame, WM_COMMAND, kAutobalance, 0);
    std::vector<Box> balance = p.Answer(3000);
    ASSERT_EQ(balance.size(), 2u) << Describe(balance);
    EXPECT_EQ(balance[0].caption, "Channel Select Failure ");
    EXPECT_EQ(balance[0].text, "Channel 6");
    EXPECT_EQ(balance[1].caption, "These Channels Failed To Autobalance");
    EXPECT_EQ(balance[1].text, "CHANNELS NOT AUTOBALANCING:: 6");

    // Record: the download question (Yes), the download's failure, the
    // autobalance question (Yes), the select failure of the balance, and no
    // summary; the program goes on recording.
    Sleep(500);
    Click(p.panel, 365, 20);  // Record
    std::vector<Box> start = p.Answer(6000);
    EXPECT_TRUE(Saw(start, "Scanlist Or Channel Parameters Not Downloaded")) << Describe(start);
    EXPECT_TRUE(Saw(start, "Channel Setup Error")) << Describe(start);
    EXPECT_TRUE(Saw(start, "Autobalance Might Be Affected By New Parameters")) << Describe(start);
    EXPECT_TRUE(Saw(start, "Channel Select Failure ")) << Describe(start);
    EXPECT_FALSE(Saw(start, "These Channels Failed To Autobalance")) << Describe(start);
    EXPECT_FALSE(Saw(start, "Autobalance Success")) << Describe(start);
    EXPECT_TRUE(p.Running()) << "the program ended during the recording start";

    Click(p.panel, 245, 20);  // Stop
    p.Answer(1500);
    EXPECT_TRUE(p.Running());
}

}  // namespace

int main(int argc, char** argv) {
    return e2e::RunE2eTests(argc, argv, "channel_e2e_test Zd418.exe gpib-32.dll Q90ui.dll",
                            {&g_exe, &g_gpib, &g_q90ui});
}
