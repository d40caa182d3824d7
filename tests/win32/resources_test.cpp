// The resources as the program loads them: every menu command with its text,
// the window menu, the accelerator, the string table and the pictures.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct MenuText {
    int id;
    const char* text;
};

const MenuText kCommands[] = {
    {100, "&About"},
    {101, "&Open Test..."},
    {103, "&New Test"},
    {104, "&Save Test"},
    {105, "Save Test &As..."},
    {107, "&Define Calibration States"},
    {108, "&Calibrate Channels"},
    {109, "Channel Settings"},
    {110, "&Define Scan List"},
    {111, "D&ownload Scan List To DDS"},
    {113, "Download Channel Settings"},
    {114, "Review Channel Settings"},
    {115, "&Lm905 Data Analysis"},
    {116, "&Matlab"},
    {117, "&DaDisp"},
    {118, "Generate &Ascii File"},
    {119, "&Go To Microsoft Access"},
    {121, "&Search For Help"},
    {123, "Immediate Settings"},
    {124, "&Setup Start && Trigger Channel"},
    {126, "E&xit"},
    {128, "File &Locations"},
    {131, "Tool &Bar"},
    {132, "Tape &Control"},
    {133, "&Setup"},
    {134, "&Test"},
    {135, "Clear GPIB"},
    {136, "&Open && Connect"},
    {137, "&Close"},
    {138, "&ReConnect"},
    {139, "Define &External Commands"},
    {140, "Define Calibration &Procedure"},
    {141, "Perform Calibration Procedure"},
    {142, "Setup DAC Waveforms"},
    {143, "Generate DaDisp Files"},
    {144, "Transducer"},
    {156, "Times 1"},
    {157, "Times 0.1"},
    {158, "Times 0.01"},
    {159, "Times 0.001"},
    {160, "Resistor 1"},
    {161, "Resistor 2"},
    {162, "Resistance 1"},
    {163, "Resistance 2"},
    {164, "Internal Voltage"},
    {165, "Internal Current"},
    {167, "Zero Cal"},
    {168, "Drive DACS"},
    {170, "Recording &Options"},
    {172, "Verify Channel Hardware"},
    {173, "&Batch Print"},
    {175, "Setup User Code Entry"},
    {176, "Runtime Settings"},
    {177, "Set DAC Static Level"},
    {179, "Stop DACS && Zero"},
    {180, "Stop DACS At Level"},
    {181, "Test Waves"},
    {182, "Set DAC Filters"},
    {184, "&Tile"},
    {186, "Bar Chart"},
    {187, "Strip Chart"},
    {188, "XY Chart"},
    {189, "Profile Chart"},
    {190, "Test Object View"},
    {191, "Connect To Server"},
    {192, "Disconnect From Server"},
    {193, "Server Information"},
    {194, "Secondary Scan List"},
    {195, "Quick Plot"},
    {196, "Remove All Quick Plots"},
    {197, "Prepare Quick Plots"},
    {198, "Save Scr&een..."},
    {199, "Open S&creen..."},
    {200, "Serve Data To Network"},
    {201, "Tabular "},
    {202, "Oscilloscope"},
    {206, "Close &All"},
    {207, "Arrange &Icons"},
    {208, "&Cascade"},
    {209, "Save Screen &As..."},
    {210, "Replay Speed"},
    {211, "Data Wizard"},
    {212, "Autobalance"},
    {213, "Simulator"},
    {214, "Setup COM&2"},
    {216, "Edit Data File"},
    {217, "Play Wavefile"},
};

HMENU Menu() {
    static HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), "Zd418Menu");
    return menu;
}

TEST(Resources, EveryCommandHasItsMenuText) {
    ASSERT_NE(Menu(), nullptr);
    for (const MenuText& c : kCommands) {
        char text[128] = "";
        int n = GetMenuStringA(Menu(), c.id, text, sizeof text, MF_BYCOMMAND);
        EXPECT_GT(n, 0) << c.id;
        EXPECT_STREQ(text, c.text) << c.id;
    }
}

TEST(Resources, SixthPopupIsTheWindowMenu) {
    char text[64] = "";
    GetMenuStringA(Menu(), 5, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "Display S&tyles");
    HMENU windowMenu = GetSubMenu(Menu(), 5);
    ASSERT_NE(windowMenu, nullptr);
    // The display commands sit in it, so the MDI children's list joins them.
    char tile[32] = "";
    EXPECT_GT(GetMenuStringA(windowMenu, 184, tile, sizeof tile, MF_BYCOMMAND), 0);
}

TEST(Resources, CommandsWithoutImplementationAreGreyed) {
    for (int id : {175, 187, 188, 189, 190})
        EXPECT_TRUE(GetMenuState(Menu(), id, MF_BYCOMMAND) & MF_GRAYED) << id;
    for (int id : {100, 126, 184, 213})
        EXPECT_FALSE(GetMenuState(Menu(), id, MF_BYCOMMAND) & MF_GRAYED) << id;
}

TEST(Resources, ShiftF4Tiles) {
    HACCEL accel = LoadAcceleratorsA(GetModuleHandleA(nullptr), "MdiAccel");
    ASSERT_NE(accel, nullptr);
    ACCEL entries[4];
    ASSERT_EQ(CopyAcceleratorTableA(accel, entries, 4), 1);
    EXPECT_EQ(entries[0].key, VK_F4);
    EXPECT_EQ(entries[0].cmd, 184);
    EXPECT_EQ(entries[0].fVirt & (FVIRTKEY | FSHIFT | FCONTROL | FALT), FVIRTKEY | FSHIFT);
}

struct StringText {
    unsigned id;
    const char* text;
};
#define STRING_ENTRY(id, text) {id, text},
const StringText kStrings[] = {
#include "resources/string_table.inc"
};
#undef STRING_ENTRY

TEST(Resources, StringTableLoadsExactly) {
    for (const StringText& s : kStrings) {
        char text[512] = "";
        int n = LoadStringA(GetModuleHandleA(nullptr), s.id, text, sizeof text);
        EXPECT_EQ(n, static_cast<int>(strlen(s.text))) << s.id;
        EXPECT_STREQ(text, s.text) << s.id;
    }
    char text[64];
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 2043 + 70, text, sizeof text), 0);
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 1002, text, sizeof text), 0);
    // The status reporter reads into 100 characters: every status text fits.
    for (unsigned id = 2043; id <= 2101; ++id)
        EXPECT_LT(LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text), 100) << id;
}

TEST(Resources, IconsAndBitmapsLoad) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    for (const char* icon : {"VORICON", "SCOPEICON", "BARICON", "TABICON", "BLUESQUARE"})
        EXPECT_NE(LoadIconA(self, icon), nullptr) << icon;
    for (const char* bmp : {"BACKDROP", "CANCELNET", "NEWUPLOADACCESS", "NEWDRIVEDAC", "NEWDRIVEDACGRAY",
                            "NEW_NOTEPAD", "NEW_NOTEPADGRAY", "WIZARD", "BATCHPLOT"}) {
        HBITMAP h = LoadBitmapA(self, bmp);
        EXPECT_NE(h, nullptr) << bmp;
        if (h) DeleteObject(h);
    }
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

TEST(Resources, AboutBoxIconAndTextsDoNotOverlap) {
    HWND about = CreateDialogParamA(GetModuleHandleA(nullptr), "AboutBox", nullptr, QuietDialog, 0);
    ASSERT_NE(about, nullptr);
    std::vector<HWND> children;
    EnumChildWindows(about, CollectChild, reinterpret_cast<LPARAM>(&children));
    RECT client;
    GetClientRect(about, &client);
    HWND icon = nullptr;
    std::vector<HWND> others;
    for (HWND c : children) {
        char cls[32] = "";
        GetClassNameA(c, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = c;
        else others.push_back(c);
    }
    ASSERT_NE(icon, nullptr);
    ASSERT_GE(others.size(), 4u);  // three lines of text and OK
    auto rectOf = [&](HWND c) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    RECT iconRect = rectOf(icon);
    // The icon control takes the size of the icon it shows.
    EXPECT_GE(iconRect.right - iconRect.left, GetSystemMetrics(SM_CXICON));
    for (HWND c : children) {
        char text[128] = "";
        GetWindowTextA(c, text, sizeof text);
        RECT r = rectOf(c), overlap;
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << "\"" << text << "\" is not inside the box";
        if (c == icon) continue;
        EXPECT_FALSE(IntersectRect(&overlap, &r, &iconRect)) << "\"" << text << "\" overlaps the icon";
    }
    DestroyWindow(about);
}

}  // namespace
