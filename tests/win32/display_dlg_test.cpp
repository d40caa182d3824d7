// The table's and the bars' properties dialogs and the font chooser driven
// through their real dialogs under Wine, on real display windows: a bad
// value gets its message and changes nothing, a good one changes the
// display (read back from the record the display stores for a screen file);
// the chooser changes the font on OK and nothing on Cancel.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "displays/display_ids.h"
#include "displays/display_wnd.h"
#include "platform/win32/win32_platform.h"
#include "scanlist/scan_table.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"
#include "tests/win32/display_frame.h"

// The frame's handles the display code refers to; the test is the frame.
HINSTANCE hInst = nullptr;
HWND hwndFrame = nullptr;
HWND hwndMDIClient = nullptr;

namespace {

using namespace display_frame;

// ---- the dialogs, driven from a thread timer inside their modal loops ------------------------
// The script runs once when its dialog is up; message boxes that come up
// meanwhile are answered with OK and their texts kept.
struct Driver {
    std::string dialogTitle;
    std::function<void(HWND)> script;
    bool ran = false, running = false;
    std::vector<std::string> boxes;  // "caption: text"
};
Driver* g_driver = nullptr;

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM param) {
    if (ClassOf(hwnd) == "Static") *reinterpret_cast<std::string*>(param) += TitleOf(hwnd);
    return TRUE;
}
BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM param) {
    if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_driver == nullptr) return;
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialogs, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND dlg : dialogs) {
        if (TitleOf(dlg) == g_driver->dialogTitle) {
            if (g_driver->ran || g_driver->running) continue;
            g_driver->running = true;
            g_driver->script(dlg);
            g_driver->running = false;
            g_driver->ran = true;
            return;
        }
        std::string text;
        EnumChildWindows(dlg, CollectStatic, reinterpret_cast<LPARAM>(&text));
        g_driver->boxes.push_back(TitleOf(dlg) + ": " + text);
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return;
    }
}

// Inside the script, a message box comes and goes while the step runs.
void Send(HWND dlg, int id, int code) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}
void Type(HWND dlg, int id, const char* text) { SetDlgItemTextA(dlg, id, text); }

class DisplayDialogs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(AllocateTestModel(), 1);
        ASSERT_TRUE(OpenFrame(1000, 800));
    }
    void SetUp() override {
        EnumChildWindows(hwndMDIClient, CloseEnumProc, 0);
        ClearScanTable();
        for (uint32_t p = 0; p < 4; ++p) lpProgScanList->Entry[p] = {p, 0, 0, 0};
        lpProgScanList->EntryCount = 4;
        lpProgScanList->BlockCount = 1;
        BuildScanMapTo(nullptr);
        timer = SetTimer(nullptr, 0, 50, Tick);
    }
    void TearDown() override {
        KillTimer(nullptr, timer);
        g_driver = nullptr;
        EnumChildWindows(hwndMDIClient, CloseEnumProc, 0);
        remove(kScreen);
    }

    static HWND Create(const char* cls, const char* creation) {
        return CreateDisplay(cls, "Display", 10, 10, 400, 300, creation);
    }
    // What the display writes into a screen file: its whole description.
    static std::string Record(HWND display) {
        snprintf(lpCVT->ScreenFile, sizeof lpCVT->ScreenFile, "%s", kScreen);
        FILE* f = fopen(kScreen, "wb");
        if (f) fclose(f);
        SendMessageA(display, WM_DISPLAY_STORE, reinterpret_cast<WPARAM>(display), 0);
        std::ifstream in(kScreen, std::ios::binary);
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }
    // Runs a display command whose dialog `title` the script drives.
    void Drive(HWND display, int command, const char* title, std::function<void(HWND)> script) {
        driver = Driver{};
        driver.dialogTitle = title;
        driver.script = std::move(script);
        g_driver = &driver;
        SendMessageA(display, WM_COMMAND, command, 0);
        g_driver = nullptr;
        EXPECT_TRUE(driver.ran) << title << " did not come up";
    }

    static constexpr const char* kScreen = "zd418_display_dlg.dsw";
    Driver driver;
    UINT_PTR timer = 0;
};

TEST_F(DisplayDialogs, TablePriorityRefusesBadValuesAndTakesAGoodOne) {
    HWND t = Create("TabChild", "1,3,0,0,1,2,1,1,Arial,-20,400,0,0,0,0,0,0,0");
    ASSERT_NE(t, nullptr);
    const std::string before = Record(t);
    ASSERT_NE(before.find(",1,3,0,0,1,2,"), std::string::npos) << before;

    // Not a number, then out of range: each its message, the dialog stays;
    // Cancel leaves the table as it was.
    Drive(t, IDM_DISPLAY_PROPERTIES, "Tabular Graph Properties", [](HWND dlg) {
        Type(dlg, IDC_DISP_PRIORITY, "abc");
        Send(dlg, IDOK, BN_CLICKED);
        Type(dlg, IDC_DISP_PRIORITY, "11");
        Send(dlg, IDOK, BN_CLICKED);
        EXPECT_TRUE(IsWindow(dlg));
        Send(dlg, IDCANCEL, BN_CLICKED);
    });
    ASSERT_EQ(driver.boxes.size(), 2u) << ::testing::PrintToString(driver.boxes);
    EXPECT_NE(driver.boxes[0].find("entry"), std::string::npos) << driver.boxes[0];
    EXPECT_EQ(driver.boxes[1], "Priority: Priority is out of Range.  Should be between 0 and 10");
    EXPECT_EQ(Record(t), before);

    // A good priority, hexadecimal and the raw column hidden: all kept.
    Drive(t, IDM_DISPLAY_PROPERTIES, "Tabular Graph Properties", [](HWND dlg) {
        Type(dlg, IDC_DISP_PRIORITY, "4");
        CheckRadioButton(dlg, IDC_TAB_DECIMAL, IDC_TAB_BINARY, IDC_TAB_HEX);
        Send(dlg, IDC_TAB_HEX, BN_CLICKED);
        CheckDlgButton(dlg, IDC_TAB_HIDERAW, BST_CHECKED);
        Send(dlg, IDOK, BN_CLICKED);
    });
    EXPECT_TRUE(driver.boxes.empty()) << driver.boxes.front();
    const std::string after = Record(t);
    EXPECT_NE(after.find(",4,3,1,0,1,2,"), std::string::npos) << after;
    EXPECT_NE(after, before);
}

TEST_F(DisplayDialogs, BarScaleRefusesTextThatIsNotANumberAndTakesANumber) {
    HWND b = Create("BarChild",
                    "1,2,4,1,0,0.000e+00,1.000e+02,255,1,-5.000e+01,-1.000e+01,65280,Arial,-20,400,0,0,0,1");
    ASSERT_NE(b, nullptr);
    const std::string before = Record(b);
    ASSERT_NE(before.find(",0,0.000e+00,1.000e+02,255,1,-5.000e+01,"), std::string::npos) << before;

    // A scale typed as text: its message, the field shows the old scale
    // again; with no bar selected: "No Parameter Selected"; Cancel.
    std::string shown;
    Drive(b, IDM_DISPLAY_PROPERTIES, "Bar Graph Properties", [&](HWND dlg) {
        Type(dlg, IDC_BAR_FROM, "-20");
        Send(dlg, IDC_BAR_FROM, EN_KILLFOCUS);
        SendDlgItemMessageA(dlg, IDC_DISP_SELECTED, LB_SETSEL, TRUE, 0);
        Send(dlg, IDC_DISP_SELECTED, LBN_SELCHANGE);
        Type(dlg, IDC_BAR_FROM, "ten");
        Send(dlg, IDC_BAR_FROM, EN_KILLFOCUS);
        char text[40] = "";
        GetDlgItemTextA(dlg, IDC_BAR_FROM, text, sizeof text);
        shown = text;
        Type(dlg, IDC_BAR_TO, "");
        Send(dlg, IDC_BAR_TO, EN_KILLFOCUS);
        Send(dlg, IDCANCEL, BN_CLICKED);
    });
    EXPECT_EQ(driver.boxes, (std::vector<std::string>{"Bar Graph: No Parameter Selected",
                                                       "Bar Graph: The Scale Must Be A Number",
                                                       "Bar Graph: The Scale Must Be A Number"}));
    EXPECT_EQ(shown, "0.000");
    EXPECT_EQ(Record(b), before);

    // Numbers for the first bar's scale, then OK: the bar keeps them.
    Drive(b, IDM_DISPLAY_PROPERTIES, "Bar Graph Properties", [](HWND dlg) {
        SendDlgItemMessageA(dlg, IDC_DISP_SELECTED, LB_SETSEL, TRUE, 0);
        Send(dlg, IDC_DISP_SELECTED, LBN_SELCHANGE);
        Type(dlg, IDC_BAR_FROM, "-20");
        Send(dlg, IDC_BAR_FROM, EN_KILLFOCUS);
        Type(dlg, IDC_BAR_TO, "250.5");
        Send(dlg, IDC_BAR_TO, EN_KILLFOCUS);
        Send(dlg, IDOK, BN_CLICKED);
    });
    EXPECT_TRUE(driver.boxes.empty()) << driver.boxes.front();
    const std::string after = Record(b);
    EXPECT_NE(after.find(",0,-2.000e+01,2.505e+02,255,1,-5.000e+01,"), std::string::npos) << after;
}

// The font chooser's controls: the face and size combo boxes.
constexpr int kFontFace = 0x470, kFontSize = 0x472;

// The face name stored in a graph's record: the eighth field.
std::string FaceOf(const std::string& record) {
    std::stringstream in(record);
    std::string field;
    for (int i = 0; i < 9 && std::getline(in, field, ','); ++i) {
    }
    return field;
}

TEST_F(DisplayDialogs, FontChooserChangesTheFontOnOkAndNothingOnCancel) {
    HWND g = Create("OscopeChild", "1,0,Arial,-20,400,0,0,0,1,0");
    ASSERT_NE(g, nullptr);
    const std::string before = Record(g);
    ASSERT_EQ(FaceOf(before), "Arial") << before;

    // Cancel after changing the size: the display keeps its font.
    Drive(g, IDM_DISPLAY_FONTS, "Font", [](HWND dlg) {
        SetDlgItemTextA(dlg, kFontSize, "36");
        Send(dlg, IDCANCEL, BN_CLICKED);
    });
    EXPECT_TRUE(driver.boxes.empty()) << driver.boxes.front();
    EXPECT_EQ(Record(g), before);

    // Another face: the display takes it.
    std::string chosen;
    Drive(g, IDM_DISPLAY_FONTS, "Font", [&](HWND dlg) {
        HWND faces = GetDlgItem(dlg, kFontFace);
        const LRESULT n = SendMessageA(faces, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n && chosen.empty(); ++i) {
            char face[LF_FACESIZE] = "";
            SendMessageA(faces, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(face));
            if (strcmp(face, "Arial") != 0 && face[0] != '@') {
                chosen = face;
                SendMessageA(faces, CB_SETCURSEL, i, 0);
                Send(dlg, kFontFace, CBN_SELCHANGE);
            }
        }
        SetDlgItemTextA(dlg, kFontSize, "24");
        Send(dlg, IDOK, BN_CLICKED);
    });
    EXPECT_TRUE(driver.boxes.empty()) << driver.boxes.front();
    ASSERT_FALSE(chosen.empty()) << "no face to choose";
    EXPECT_EQ(FaceOf(Record(g)), chosen);
}

}  // namespace
