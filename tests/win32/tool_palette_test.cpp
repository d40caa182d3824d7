// The tool palette and the status windows in-process, from their real window
// procedures and resources: which action each button runs (also when the press
// and the release fall on different buttons), the download cursors, the
// bitmaps, the wait window's progress text and the acknowledge wait.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "resources/resource_ids.h"
#include "shell/ack_wnd.h"
#include "shell/command_ids.h"
#include "shell/frame_globals.h"

// The frame's handles and command dispatch, which the palette calls: here a
// recorder of the commands and of the cursor shown while each ran.
HINSTANCE hInst = nullptr;
HWND hwndFrame = nullptr;
extern int nDownloadChannel;

namespace {

struct Ran {
    int command;
    HCURSOR cursor;
};
std::vector<Ran> g_ran;
std::vector<std::string> g_boxes;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}
BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM param) {
    char cls[32] = "", text[256] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, text, sizeof text);
    if (lstrcmpiA(cls, "Static") == 0 && text[0]) *reinterpret_cast<std::string*>(param) += text;
    return TRUE;
}
void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr) return;
    char caption[128] = "";
    GetWindowTextA(box, caption, sizeof caption);
    std::string text;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
    g_boxes.push_back(std::string(caption) + ": " + text);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

HWND MakeWindow(const char* cls, WNDPROC proc, const char* title, int w, int h) {
    WNDCLASSA wc = {};
    if (!GetClassInfoA(hInst, cls, &wc)) {
        wc.lpfnWndProc = proc;
        wc.hInstance = hInst;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = cls;
        RegisterClassA(&wc);
    }
    return CreateWindowA(cls, title, WS_POPUP | WS_CAPTION, 10, 10, w, h, hwndFrame, nullptr, hInst, nullptr);
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

void Click(HWND palette, int downX, int upX, int y = 10) {
    SendMessageA(palette, WM_LBUTTONDOWN, MK_LBUTTON, At(downX, y));
    SendMessageA(palette, WM_LBUTTONUP, 0, At(upX, y));
}

class ToolPaletteTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        hInst = GetModuleHandleA(nullptr);
        hwndFrame = CreateWindowA("STATIC", "frame", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, hInst, nullptr);
    }
    void SetUp() override {
        g_ran.clear();
        g_boxes.clear();
        bRemoteControlled = false;
        palette = MakeWindow("TOOLBARCLASS", DownWndProc, "Tools", 403, 50);
        ASSERT_NE(palette, nullptr);
    }
    void TearDown() override { DestroyWindow(palette); }
    HWND palette = nullptr;
};

TEST_F(ToolPaletteTest, EachButtonRunsItsCommandAndTheReleaseDecides) {
    struct Case {
        int x;
        int command;
    };
    // One point inside each button that runs a frame command, near both ends
    // of the hit boxes; the tenth button is two pixels wider.
    const Case cases[] = {
        {32, IDM_CHANNELSETTINGS}, {83, IDM_DEFINESCANLIST}, {88, IDM_DOWNLOADCHANNELS},
        {139, IDM_DOWNLOADSCANLIST}, {144, IDM_AUTOBALANCE}, {195, IDM_REVIEWCHANNELS},
        {200, IDM_CALIBRATE},      {256, IDM_DRIVEDACS},    {281, IDM_DRIVEDACS},
        {286, IDM_DATAWIZARD},     {337, IDM_BATCHPRINT},   {342, IDM_ANALYSIS},
    };
    for (const Case& k : cases) {
        g_ran.clear();
        Click(palette, k.x, k.x);
        ASSERT_EQ(g_ran.size(), 1u) << "x " << k.x;
        EXPECT_EQ(g_ran[0].command, k.command) << "x " << k.x;
    }
    // Pressed on one button, released on another: the second acts.
    g_ran.clear();
    Click(palette, 40, 70);
    ASSERT_EQ(g_ran.size(), 1u);
    EXPECT_EQ(g_ran[0].command, IDM_DEFINESCANLIST);
    // Frames, gaps and the rows outside the hit boxes do nothing.
    g_ran.clear();
    for (int x : {3, 28, 29, 30, 31, 56, 282, 394, 400}) Click(palette, x, x);
    for (int y : {2, 24, 30}) Click(palette, 40, 40, y);
    EXPECT_TRUE(g_ran.empty()) << g_ran.size();
}

TEST_F(ToolPaletteTest, DownloadsShowTheirOwnCursors) {
    Click(palette, 100, 100);
    Click(palette, 120, 120);
    Click(palette, 150, 150);
    ASSERT_EQ(g_ran.size(), 3u);
    HCURSOR amps = LoadCursorA(hInst, MAKEINTRESOURCEA(IDC_TOOLCURSOR_AMPS));
    HCURSOR dds = LoadCursorA(hInst, MAKEINTRESOURCEA(IDC_TOOLCURSOR_DDS));
    ASSERT_NE(amps, nullptr);
    ASSERT_NE(dds, nullptr);
    EXPECT_EQ(g_ran[0].cursor, amps);
    EXPECT_EQ(g_ran[1].cursor, dds);
    EXPECT_NE(g_ran[2].cursor, amps);
    EXPECT_NE(g_ran[2].cursor, dds);
}

TEST_F(ToolPaletteTest, RetrieveAndSaveWithoutATestAskForOne) {
    bTestOpen = false;
    bSimulator = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBoxes);
    Click(palette, 10, 10);   // retrieve
    Click(palette, 240, 240);  // save
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_ran.empty());
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"No Test Is Opened: Please Open A Test First",
                                                  "No Test Is Opened: Please Open A Test First"}));
}

TEST_F(ToolPaletteTest, FourteenDistinctPicturesAndTheirGreyVariants) {
    const char* names[14] = {"NEWUPLOADACCESS", "NEWCHANPARAMS", "NEWSCANLIST",  "NEWDOWNLOADAMPS",
                             "NEWDOWNLOADDDS",  "NEWAUTOBALANCE", "NEWUPLOADAMPS", "CALCHANNELS",
                             "NEWSAVETOACCESS", "NEWDRIVEDAC",   "WIZARD",       "BATCHPLOT",
                             "NEWMORVA",        "NEW_NOTEPAD"};
    std::vector<std::vector<uint8_t>> pictures;
    HDC screen = GetDC(nullptr);
    for (const char* name : names) {
        for (const char* suffix : {"", "GRAY"}) {
            std::string id = std::string(name) + suffix;
            HBITMAP bmp = LoadBitmapA(hInst, id.c_str());
            ASSERT_NE(bmp, nullptr) << id;
            BITMAP bm;
            GetObjectA(bmp, sizeof bm, &bm);
            EXPECT_EQ(bm.bmHeight, 20) << id;
            EXPECT_EQ(bm.bmWidth, strcmp(name, "NEWDRIVEDAC") == 0 ? 26 : 24) << id;
            BITMAPINFO bi = {};
            bi.bmiHeader.biSize = sizeof bi.bmiHeader;
            bi.bmiHeader.biWidth = bm.bmWidth;
            bi.bmiHeader.biHeight = -bm.bmHeight;
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            std::vector<uint8_t> bits(static_cast<size_t>(bm.bmWidth) * bm.bmHeight * 4);
            ASSERT_EQ(GetDIBits(screen, bmp, 0, bm.bmHeight, bits.data(), &bi, DIB_RGB_COLORS), bm.bmHeight);
            DeleteObject(bmp);
            // A picture, not a plain field: several colours.
            int colours = 0;
            std::vector<uint32_t> seen;
            for (size_t i = 0; i < bits.size(); i += 4) {
                uint32_t c = bits[i] | bits[i + 1] << 8 | bits[i + 2] << 16;
                bool known = false;
                for (uint32_t s : seen) known = known || s == c;
                if (!known) seen.push_back(c), ++colours;
            }
            EXPECT_GE(colours, 3) << id;
            if (*suffix == '\0') pictures.push_back(bits);
        }
    }
    ReleaseDC(nullptr, screen);
    // No two buttons look alike: they differ in a good part of their pixels.
    for (size_t a = 0; a < pictures.size(); ++a)
        for (size_t b = a + 1; b < pictures.size(); ++b) {
            if (pictures[a].size() != pictures[b].size()) continue;
            int differ = 0;
            for (size_t i = 0; i < pictures[a].size(); i += 4)
                differ += memcmp(&pictures[a][i], &pictures[b][i], 3) != 0;
            EXPECT_GT(differ, 30) << names[a] << " and " << names[b];
        }
}

TEST(StatusWindows, WaitWindowShowsTheChannelBeingDownloaded) {
    hInst = GetModuleHandleA(nullptr);
    HWND wait = MakeWindow("WAITCLASS", WaitWndProc, "Status", 210, 110);
    ASSERT_NE(wait, nullptr);
    HWND please = CreateWindowA("STATIC", "Please Wait ...", WS_CHILD | WS_VISIBLE, 50, 10, 100, 20, wait,
                                reinterpret_cast<HMENU>(IDC_WAIT_PLEASE), hInst, nullptr);
    HWND status = CreateWindowA("STATIC", "Downloading", WS_CHILD | WS_VISIBLE, 30, 50, 150, 50, wait,
                                reinterpret_cast<HMENU>(IDC_WAIT_STATUS), hInst, nullptr);
    auto text = [](HWND w) {
        char t[64] = "";
        GetWindowTextA(w, t, sizeof t);
        return std::string(t);
    };
    ShowWindow(wait, SW_SHOWNOACTIVATE);
    UpdateWindow(wait);
    EXPECT_EQ(text(please), "Please Wait");
    EXPECT_EQ(text(status), "Downloading");
    for (int channel : {0, 7, 255}) {
        nDownloadChannel = channel;
        SendMessageA(wait, 0x301, 0, 0);
        EXPECT_EQ(text(status), "Downloading Channel " + std::to_string(channel));
        // Repainted in the middle of the download, it keeps the channel.
        InvalidateRect(wait, nullptr, TRUE);
        UpdateWindow(wait);
        EXPECT_EQ(text(status), "Downloading Channel " + std::to_string(channel));
    }
    // The next download starts from "Downloading".
    ShowWindow(wait, SW_HIDE);
    ShowWindow(wait, SW_SHOWNOACTIVATE);
    InvalidateRect(wait, nullptr, TRUE);
    UpdateWindow(wait);
    EXPECT_EQ(text(status), "Downloading");
    DestroyWindow(wait);
}

void CALLBACK PressProceed(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND ack = FindWindowA("ACKCLASS", nullptr);
    PostMessageA(GetDlgItem(ack, IDC_ACK_PROCEED), BM_CLICK, 0, 0);
}

TEST(StatusWindows, AcknowledgeWaitsForProceedOrAClick) {
    hInst = GetModuleHandleA(nullptr);
    HWND ack = MakeWindow("ACKCLASS", AckWndProc, "Acknowledge Before Proceeding", 120, 70);
    ASSERT_NE(ack, nullptr);
    EXPECT_EQ(nAcknowledged, 0);
    HWND proceed = GetDlgItem(ack, IDC_ACK_PROCEED);
    ASSERT_NE(proceed, nullptr);
    char caption[32] = "";
    GetWindowTextA(proceed, caption, sizeof caption);
    EXPECT_STREQ(caption, "Proceed");
    SetTimer(nullptr, 0, 200, PressProceed);
    const DWORD start = GetTickCount();
    EXPECT_TRUE(WaitForAcknowledge(ack));
    EXPECT_GE(GetTickCount() - start, 150u) << "it waited for the operator";
    EXPECT_FALSE(IsWindowVisible(ack));
    ClearAcknowledged();
    EXPECT_EQ(nAcknowledged, 0);
    SendMessageA(ack, WM_LBUTTONDOWN, MK_LBUTTON, At(60, 50));
    EXPECT_EQ(nAcknowledged, 1);
    DestroyWindow(ack);
}

}  // namespace

void FrameCommand(HWND, int id) {
    g_ran.push_back({id, GetCursor()});
}
