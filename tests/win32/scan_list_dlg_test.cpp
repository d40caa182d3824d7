// The two scan list dialogs, run for real (templates, common controls, the
// Win32 port) and driven from a thread timer inside their modal loops: the
// test works the controls as an operator would, answers the message boxes,
// and checks the table each step leaves behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "hardware/control_library.h"
#include "scanlist/scan_list_dlg.h"
#include "scanlist/scan_list_ids.h"
#include "scanlist/scan_table.h"
#include "base/app_state.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

#include "tests/win32/dialog_driver.h"

// Yes/No boxes are answered as the script says, the others with OK.
const DialogRules kDialogRules = {DialogIs::Titled, AnswerYesOrNo, ""};

namespace {

std::string g_fakeLibrary;

void LeaveField(HWND dlg, int id) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

// Types `text` into a field and presses Enter there, as an operator does:
// the key goes through the dialog's own message loop.
void TypeAndEnter(HWND dlg, int id, const char* text) {
    HWND field = GetDlgItem(dlg, id);
    SetFocus(field);
    SetWindowTextA(field, text);
    PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(field, WM_KEYUP, VK_RETURN, 0xC0000001);
}

std::string ItemText(HWND tree, HTREEITEM item, LPARAM* param = nullptr, int* image = nullptr) {
    char buf[128] = "";
    TVITEMA it = {};
    it.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_STATE;
    it.stateMask = TVIS_STATEIMAGEMASK;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    if (param) *param = it.lParam;
    if (image) {
        *image = it.iImage;
        // The state image must match the image.
        if (static_cast<int>((it.state & TVIS_STATEIMAGEMASK) >> 12) != it.iImage) *image = -100;
    }
    return buf;
}

std::vector<HTREEITEM> Children(HWND tree, HTREEITEM parent) {
    std::vector<HTREEITEM> items;
    for (HTREEITEM i = TreeView_GetChild(tree, parent); i != nullptr; i = TreeView_GetNextSibling(tree, i))
        items.push_back(i);
    return items;
}

// The item of `channel` under "System 0".
HTREEITEM SystemItem(HWND dlg, int32_t channel) {
    HWND tree = GetDlgItem(dlg, IDC_SSL_SYSTREE);
    HTREEITEM system0 = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    return Children(tree, system0).at(static_cast<size_t>(channel));
}

int ImageOf(HWND tree, HTREEITEM item) {
    int image = 0;
    ItemText(tree, item, nullptr, &image);
    return image;
}

void Check(HWND dlg, int32_t channel) {
    HWND tree = GetDlgItem(dlg, IDC_SSL_SYSTREE);
    TreeView_SelectItem(tree, SystemItem(dlg, channel));
    SendMessageA(tree, WM_KEYDOWN, VK_SPACE, 0);
}

std::vector<uint32_t> BlocksOf(int32_t channel) {
    std::vector<uint32_t> blocks;
    for (uint32_t p = 0; p < lpProgScanList->EntryCount; ++p)
        if (lpProgScanList->Entry[p].CHANNEL == static_cast<uint32_t>(channel))
            blocks.push_back(lpProgScanList->Entry[p].BLOCK);
    return blocks;
}

template <typename Fn>
Fn Proc(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(hQ90Library), name)));
}

class ScanListDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(AllocateTestModel(), 1);
        ClearScanTable();
        bSimulator = false;
        bRemoteControlled = false;
        hQ90Library = LoadLibraryA(g_fakeLibrary.c_str());
        ASSERT_NE(hQ90Library, nullptr) << g_fakeLibrary;
        Proc<void (*)(int32_t)>("FakeQ90SetResult")(1);
    }
    void TearDown() override {
        FreeLibrary(static_cast<HMODULE>(hQ90Library));
        hQ90Library = nullptr;
        FreeTestModel();
    }
};

TEST_F(ScanListDialogs, SingleRateDialogMakesATableAndDownloadsIt) {
    Script s;
    s.title = "Programmable Scan Table Definition";
    int32_t listCount = 0;
    std::string rootText;
    size_t blockItems = 0;
    std::vector<std::string> firstBlock;
    std::string actual;
    s.steps = {
        [&](HWND dlg) {
            listCount = static_cast<int32_t>(SendDlgItemMessageA(dlg, IDC_PSL_CHANNELS, LB_GETCOUNT, 0, 0));
            Press(dlg, IDC_PSL_MAKE);  // nothing selected: refused with a message
        },
        [&](HWND dlg) {
            for (int ch : {3, 5, 7}) SendDlgItemMessageA(dlg, IDC_PSL_CHANNELS, LB_SETSEL, TRUE, ch);
            SetDlgItemTextA(dlg, IDC_PSL_RATE, "3000");
            Press(dlg, IDC_PSL_MAKE);
            HWND tree = GetDlgItem(dlg, IDC_PSL_TREE);
            HTREEITEM root = TreeView_GetRoot(tree);
            rootText = ItemText(tree, root);
            std::vector<HTREEITEM> blocks = Children(tree, root);
            blockItems = blocks.size();
            for (HTREEITEM i : Children(tree, blocks.at(0))) firstBlock.push_back(ItemText(tree, i));
            char text[64] = "";
            GetDlgItemTextA(dlg, IDC_PSL_ACTUAL, text, sizeof text);
            actual = text;
        },
        [&](HWND dlg) { Press(dlg, IDC_PSL_DOWNLOAD); },
    };
    RunDialog(&s, OpenProgrammableScanList);
    EXPECT_EQ(s.failure, "");
    EXPECT_EQ(listCount, 256);
    ASSERT_GE(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].caption, "Please Select Channels First");
    EXPECT_EQ(s.boxes[0].text, "Can Not Create A Scan List With No Channels");
    EXPECT_EQ(rootText, "Scan List");
    EXPECT_EQ(blockItems, 32u);
    EXPECT_EQ(firstBlock, std::vector<std::string>({"CHAN3", "CHAN5", "CHAN7"}));
    EXPECT_EQ(actual, "3003.0030");

    EXPECT_EQ(lpProgScanList->EntryCount, 96u);
    EXPECT_EQ(lpProgScanList->BlockCount, 32u);
    EXPECT_EQ(BlocksOf(5).size(), 32u);
    EXPECT_NEAR(dSampleRate, 2000000.0 / 666, 1e-9);
    EXPECT_EQ(nFirstScannedChannel, 3);
    EXPECT_TRUE(bParametersDownloaded);
    EXPECT_EQ(Proc<int32_t (*)()>("FakeQ90Calls")(), 1);
    EXPECT_EQ(Proc<const int32_t* (*)()>("FakeQ90Record")()[2], 96);
}

TEST_F(ScanListDialogs, MultiRateDialogAddsRemovesClearsAndDownloads) {
    const int32_t three[] = {3, 5, 7};
    ASSERT_EQ(BuildSingleRateTable(three, 3, 1000.0), 1);
    Script s;
    s.title = "Scan List Setup";
    int32_t rateCount = 0;
    std::string firstRate, firstRateAfter;
    int checkedImage = -1, scannedImage = -1, uncheckedImage = -1;
    std::vector<uint32_t> after1, after2, ten;
    size_t afterNo = 0;
    std::string removedChannelStillThere;
    s.steps = {
        [&](HWND dlg) {
            rateCount = static_cast<int32_t>(SendDlgItemMessageA(dlg, IDC_SSL_RATES, CB_GETCOUNT, 0, 0));
            char text[64] = "";
            SendDlgItemMessageA(dlg, IDC_SSL_RATES, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
            firstRate = text;
            HWND tree = GetDlgItem(dlg, IDC_SSL_SYSTREE);
            Check(dlg, 10);
            checkedImage = ImageOf(tree, SystemItem(dlg, 10));
            Check(dlg, 3);  // already scanned: does not toggle
            scannedImage = ImageOf(tree, SystemItem(dlg, 3));
            Check(dlg, 11);
            Check(dlg, 11);  // toggled back
            uncheckedImage = ImageOf(tree, SystemItem(dlg, 11));
            SendDlgItemMessageA(dlg, IDC_SSL_RATES, CB_SETCURSEL, 2, 0);
            Press(dlg, IDC_SSL_ADD);
            after1 = BlocksOf(10);
        },
        [&](HWND dlg) {
            Check(dlg, 20);
            SendDlgItemMessageA(dlg, IDC_SSL_RATES, CB_SETCURSEL, 3, 0);
            Press(dlg, IDC_SSL_ADD);
            after2 = BlocksOf(20);
            ten = BlocksOf(10);
        },
        [&](HWND dlg) {
            // Remove channel 5 through its item in the scan list tree.
            HWND tree = GetDlgItem(dlg, IDC_SSL_SCANTREE);
            HTREEITEM block0 = TreeView_GetChild(tree, TreeView_GetRoot(tree));
            for (HTREEITEM i : Children(tree, block0)) {
                LPARAM ch = -1;
                ItemText(tree, i, &ch);
                if (ch == 5) TreeView_SelectItem(tree, i);
            }
            Press(dlg, IDC_SSL_REMOVE);
            block0 = TreeView_GetChild(tree, TreeView_GetRoot(tree));
            for (HTREEITEM i : Children(tree, block0))
                if (ItemText(tree, i) == "CHAN5") removedChannelStillThere = "CHAN5";
        },
        [&](HWND dlg) {
            SetDlgItemTextA(dlg, IDC_SSL_MAXRATE, "100000");
            LeaveField(dlg, IDC_SSL_MAXRATE);
        },
        [&](HWND dlg) {
            char text[64] = "";
            SendDlgItemMessageA(dlg, IDC_SSL_RATES, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
            firstRateAfter = text;
            g_script->answer = IDNO;
            Press(dlg, IDC_SSL_CLEAR);
            afterNo = lpProgScanList->EntryCount;
        },
        [&](HWND dlg) {
            g_script->answer = IDYES;
            Press(dlg, IDC_SSL_CLEAR);
        },
        [&](HWND dlg) {
            Check(dlg, 30);
            SendDlgItemMessageA(dlg, IDC_SSL_RATES, CB_SETCURSEL, 1, 0);
            Press(dlg, IDC_SSL_ADD);
        },
        [&](HWND dlg) { Press(dlg, IDC_SSL_DOWNLOAD); },
    };
    RunDialog(&s, OpenSecondaryScanList);
    EXPECT_EQ(s.failure, "");
    EXPECT_EQ(rateCount, 13);
    EXPECT_EQ(firstRate, "1000.0000");
    EXPECT_EQ(checkedImage, 10);   // ANALOGCARDSELECTED
    EXPECT_EQ(scannedImage, 1);    // BLOCK
    EXPECT_EQ(uncheckedImage, 2);  // ANALOGCARD
    EXPECT_EQ(after1, std::vector<uint32_t>({0}));     // every 4th block of 4
    EXPECT_EQ(after2, std::vector<uint32_t>({0}));     // every 8th block of 8
    EXPECT_EQ(ten, std::vector<uint32_t>({0, 4}));
    EXPECT_EQ(removedChannelStillThere, "");
    EXPECT_EQ(firstRateAfter, "60000.0000");
    EXPECT_GT(afterNo, 0u);

    std::vector<std::string> captions;
    for (const Box& b : s.boxes) captions.push_back(b.caption);
    EXPECT_EQ(captions, std::vector<std::string>({"Rate Selected Is Too High",
                                                  "This Will Permanantly Delete All Scan Table Entries",
                                                  "This Will Permanantly Delete All Scan Table Entries"}));
    // Cleared, then channel 30 alone at half the rate.
    EXPECT_EQ(lpProgScanList->EntryCount, 1u);
    EXPECT_EQ(lpProgScanList->BlockCount, 2u);
    EXPECT_EQ(BlocksOf(30), std::vector<uint32_t>({0}));
    EXPECT_EQ(dSampleRate, 60000.0);
    EXPECT_EQ(nFirstScannedChannel, 30);
    EXPECT_TRUE(bParametersDownloaded);
    const int32_t* rec = Proc<const int32_t* (*)()>("FakeQ90Record")();
    EXPECT_EQ(rec[2], 1);
    EXPECT_EQ(rec[4], 2);
    EXPECT_EQ(rec[5], 30);
}

TEST_F(ScanListDialogs, EnterInARateFieldAppliesItAsLeavingItDoes) {
    const int32_t three[] = {3, 5, 7};
    ASSERT_EQ(BuildSingleRateTable(three, 3, 1000.0), 1);
    double singleRate = 0.0, multiRate = 0.0;
    std::string firstChoice;
    bool stillOpen = false;
    {
        Script s;
        s.title = "Programmable Scan Table Definition";
        s.steps = {
            [&](HWND dlg) { TypeAndEnter(dlg, IDC_PSL_RATE, "3000"); },
            [&](HWND dlg) {
                singleRate = dSampleRate;
                stillOpen = IsWindowVisible(dlg) != FALSE;
                Press(dlg, IDC_PSL_EXIT);
            },
        };
        RunDialog(&s, OpenProgrammableScanList);
        EXPECT_EQ(s.failure, "");
    }
    EXPECT_NEAR(singleRate, 2000000.0 / 666, 1e-9);
    EXPECT_TRUE(stillOpen) << "Enter must not close the dialog";
    {
        Script s;
        s.title = "Scan List Setup";
        s.steps = {
            [&](HWND dlg) { TypeAndEnter(dlg, IDC_SSL_MAXRATE, "4000"); },
            [&](HWND dlg) {
                multiRate = dSampleRate;
                char text[64] = "";
                SendDlgItemMessageA(dlg, IDC_SSL_RATES, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
                firstChoice = text;
                Press(dlg, IDC_SSL_SAVEEXIT);
            },
        };
        RunDialog(&s, OpenSecondaryScanList);
        EXPECT_EQ(s.failure, "");
    }
    EXPECT_EQ(multiRate, 4000.0);
    EXPECT_EQ(firstChoice, "4000.0000");
}

TEST_F(ScanListDialogs, ClearAsksWithNoAsTheDefaultAnswer) {
    const int32_t three[] = {3, 5, 7};
    ASSERT_EQ(BuildSingleRateTable(three, 3, 1000.0), 1);
    Script s;
    s.title = "Scan List Setup";
    s.pressEnter = true;
    s.steps = {
        [&](HWND dlg) { Press(dlg, IDC_SSL_CLEAR); },
        [&](HWND dlg) { Press(dlg, IDC_SSL_SAVEEXIT); },
    };
    RunDialog(&s, OpenSecondaryScanList);
    ASSERT_EQ(s.boxes.size(), 1u);
    EXPECT_EQ(s.boxes[0].caption, "This Will Permanantly Delete All Scan Table Entries");
    // Enter on the question must keep the table.
    EXPECT_EQ(s.boxes[0].defaultButton, IDNO);
    EXPECT_GT(lpProgScanList->EntryCount, 0u);
}

// Pixels in which two same-sized bitmap resources differ, and their count.
int DifferingPixels(const char* a, const char* b, int* total) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    HBITMAP ha = static_cast<HBITMAP>(LoadImageA(self, a, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HBITMAP hb = static_cast<HBITMAP>(LoadImageA(self, b, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    DIBSECTION da = {}, db = {};
    int differing = -1;
    *total = 0;
    if (ha && hb && GetObjectA(ha, sizeof da, &da) && GetObjectA(hb, sizeof db, &db) &&
        da.dsBm.bmWidth == db.dsBm.bmWidth && da.dsBm.bmHeight == db.dsBm.bmHeight &&
        da.dsBm.bmBitsPixel == 24 && db.dsBm.bmBitsPixel == 24) {
        differing = 0;
        const auto* pa = static_cast<const unsigned char*>(da.dsBm.bmBits);
        const auto* pb = static_cast<const unsigned char*>(db.dsBm.bmBits);
        for (int y = 0; y < da.dsBm.bmHeight; ++y)
            for (int x = 0; x < da.dsBm.bmWidth; ++x) {
                size_t at = static_cast<size_t>(y) * da.dsBm.bmWidthBytes + 3 * x;
                int d = abs(pa[at] - pb[at]) + abs(pa[at + 1] - pb[at + 1]) + abs(pa[at + 2] - pb[at + 2]);
                if (d > 96) ++differing;
                ++*total;
            }
    }
    if (ha) DeleteObject(ha);
    if (hb) DeleteObject(hb);
    return differing;
}

TEST_F(ScanListDialogs, AChosenChannelLooksPlainlyDifferentFromTheOthers) {
    // The operator must see at a glance which channels are chosen: the
    // chosen picture differs from every card picture in most of its pixels,
    // not in a corner.
    for (const char* card : {"ANALOGCARD", "DIGITALCARD", "DACCARD", "5BBOX", "BLOCK"}) {
        for (const char* chosen : {"ANALOGCARDSELECTED", "5BSELECTED"}) {
            int total = 0;
            int differing = DifferingPixels(card, chosen, &total);
            ASSERT_GE(differing, 0) << card << " / " << chosen << ": not two 28 x 15 pictures";
            EXPECT_GE(differing * 2, total) << card << " / " << chosen << ": " << differing << " of "
                                           << total << " pixels differ";
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: scan_list_dlg_test <fake Q90ui.dll>\n");
        return 2;
    }
    g_fakeLibrary = argv[1];
    if (g_fakeLibrary[0] == '/') g_fakeLibrary = "Z:" + g_fakeLibrary;  // a Unix path from CTest
    return RUN_ALL_TESTS();
}
