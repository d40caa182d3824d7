// The scan list dialogs.  Each reads its controls, calls the scan table
// builder and shows the result; the rules live in scan_table.cpp.
#include "scanlist/scan_list_dlg.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "scanlist/scan_list_ids.h"
#include "scanlist/scan_table.h"
#include "base/app_state.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

namespace {

// Image list order.
enum TreeImage {
    kImgScanList,
    kImgBlock,
    kImgAnalog,
    kImgDigital,
    kImg5BCard,
    kImgDac,
    kImgSubsystem,
    kImgSystem,
    kImg5BSelected,
    kImg5BBox,
    kImgAnalogSelected,
};
const char* const kImageNames[] = {"SCANLIST",  "BLOCK",  "ANALOGCARD", "DIGITALCARD",
                                   "5BCARD",    "DACCARD", "SUBSYSTEM", "SYSTEM",
                                   "5BSELECTED", "5BBOX", "ANALOGCARDSELECTED"};

// How many systems the channel tree lists; only the first can be scanned.
constexpr int32_t kMaxSystems = 4;

// Tree item parameter: the channel of a channel item, else -1.  Items of the
// systems after the first carry 256 x system + channel.
constexpr LPARAM kNoChannel = -1;

HIMAGELIST MakeImageList() {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    HIMAGELIST list = ImageList_Create(28, 15, ILC_COLOR24, 11, 0);
    for (const char* name : kImageNames) {
        HBITMAP bmp = static_cast<HBITMAP>(LoadImageA(inst, name, IMAGE_BITMAP, 0, 0, 0));
        ImageList_Add(list, bmp, nullptr);
        DeleteObject(bmp);
    }
    return list;
}

void AttachImages(HWND tree, HIMAGELIST images) {
    TreeView_SetImageList(tree, images, TVSIL_NORMAL);
    TreeView_SetImageList(tree, images, TVSIL_STATE);
}

HTREEITEM AddItem(HWND tree, HTREEITEM parent, const char* text, int image, LPARAM param) {
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_PARAM;
    ins.item.pszText = const_cast<char*>(text);
    ins.item.iImage = image;
    ins.item.iSelectedImage = image;
    ins.item.state = INDEXTOSTATEIMAGEMASK(image);
    ins.item.stateMask = TVIS_STATEIMAGEMASK;
    ins.item.lParam = param;
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

void SetItemImage(HWND tree, HTREEITEM item, int image) {
    TVITEMA it = {};
    it.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
    it.hItem = item;
    it.iImage = image;
    it.iSelectedImage = image;
    it.state = INDEXTOSTATEIMAGEMASK(image);
    it.stateMask = TVIS_STATEIMAGEMASK;
    SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

bool GetItem(HWND tree, HTREEITEM item, int* image, LPARAM* param) {
    TVITEMA it = {};
    it.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_PARAM;
    it.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return false;
    if (image) *image = it.iImage;
    if (param) *param = it.lParam;
    return true;
}

const char* ChannelName(int32_t channel, char* buf, size_t size) {
    snprintf(buf, size, "%.31s", lpsChannelParams->NAME[channel]);
    return buf;
}

int PositionImage(const ProgScanEntry& e) {
    switch (e.DataType) {
    case 1: return kImgDigital;
    case 2: return kImg5BBox;
    case 3: return kImgDac;
    default: return kImgAnalog;
    }
}

// The current scan list: root, one item per block, the positions below.
void FillScanTree(HWND tree) {
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(tree);
    HTREEITEM root = AddItem(tree, TVI_ROOT, "Scan List", kImgScanList, kNoChannel);
    if (lpProgScanList != nullptr && lpsChannelParams != nullptr) {
        uint32_t used = UsedScanEntries();
        uint32_t blocks = lpProgScanList->BlockCount;
        uint32_t p = 0;
        char text[80];
        for (uint32_t b = 0; b < blocks; ++b) {
            bool hasEntries = p < used && lpProgScanList->Entry[p].BLOCK == b;
            // Frames longer than the table itself (slow 5B channels) would
            // drown the tree in empty blocks; past 4096 only used ones show.
            if (!hasEntries && b >= static_cast<uint32_t>(kScanPositions)) continue;
            snprintf(text, sizeof text, "Time %u", b);
            HTREEITEM block = AddItem(tree, root, text, kImgBlock, kNoChannel);
            for (; p < used && lpProgScanList->Entry[p].BLOCK == b; ++p) {
                const ProgScanEntry& e = lpProgScanList->Entry[p];
                if (e.CHANNEL >= static_cast<uint32_t>(kChannels)) continue;
                int32_t ch = static_cast<int32_t>(e.CHANNEL);
                char name[40];
                ChannelName(ch, name, sizeof name);
                if (e.DataType == 2)
                    snprintf(text, sizeof text, "%s::%.31s", name,
                             lpsChannelParams->FiveB.NAME[ch][FiveBModuleOfBlock(e.BLOCK)]);
                else
                    snprintf(text, sizeof text, "%s", name);
                AddItem(tree, block, text, PositionImage(e), ch);
            }
        }
    }
    TreeView_Expand(tree, root, TVE_EXPAND);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
}

int CardImage(int32_t channel) {
    uint32_t type = lpsChannelParams->CARDTYPE[channel];
    if (type < 4) return kImg5BBox;
    if (type <= 9) return kImgAnalog;
    if (type <= 12) return kImgDigital;
    if (type <= 14) return kImgAnalog;
    return kImgDac;
}

int32_t SystemCount() {
    int32_t n = nSubSystems;
    if (n < 1) n = 1;
    return n > kMaxSystems ? kMaxSystems : n;
}

// The system channels, with the channels checked for adding.
void FillSystemTree(HWND tree, const bool* checked) {
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(tree);
    HTREEITEM root = AddItem(tree, TVI_ROOT, "System Channels", kImgSystem, kNoChannel);
    char text[40];
    for (int32_t s = 0; s < SystemCount(); ++s) {
        snprintf(text, sizeof text, "System %d", s);
        HTREEITEM system = AddItem(tree, root, text, kImgSubsystem, kNoChannel);
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            int image = CardImage(ch);
            if (s == 0 && MultiRate != nullptr && MultiRate->FirstPosition[ch] >= 0) image = kImgBlock;
            else if (s == 0 && checked[ch]) image = kImgAnalogSelected;
            AddItem(tree, system, ChannelName(ch, text, sizeof text), image, s * kChannels + ch);
        }
        if (s == 0) TreeView_Expand(tree, system, TVE_EXPAND);
    }
    TreeView_Expand(tree, root, TVE_EXPAND);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
}

double ReadDouble(HWND dlg, int id) {
    char text[64] = "";
    GetDlgItemTextA(dlg, id, text, sizeof text);
    char* end = nullptr;
    double value = strtod(text, &end);
    if (end == text) return 0.0;  // not a number: taken as no rate at all
    return value;
}

void ShowRate(HWND dlg, int id, double rate) {
    char text[64];
    snprintf(text, sizeof text, "%.4f", rate);
    SetDlgItemTextA(dlg, id, text);
}

void DownloadWithWaitCursor() {
    PlatformBeginWaitCursor();
    DownloadScanTable();
    PlatformEndWaitCursor();
}

void MarkTestModified() {
    bTestSaved = false;
    bTestChanged = true;
}

void CloseDialog(HWND dlg, INT_PTR result) {
    Win32SetMessageOwner(GetWindow(dlg, GW_OWNER));
    EndDialog(dlg, result);
}

// Enter in a dialog arrives as IDOK; in a rate field it applies the rate, as
// leaving the field does, and the dialog stays open.
bool FocusIn(HWND dlg, int id) { return GetFocus() == GetDlgItem(dlg, id); }

// ---- single rate ------------------------------------------------------------------------

HIMAGELIST g_singleImages = nullptr;

void ApplyRateField(HWND dlg) {
    double shown = ApplyScanRateField(ReadDouble(dlg, IDC_PSL_RATE));
    if (!bSimulator) {
        ShowRate(dlg, IDC_PSL_RATE, shown);
        ShowRate(dlg, IDC_PSL_ACTUAL, shown);
    }
}

void MakeSingleRateTable(HWND dlg) {
    HWND list = GetDlgItem(dlg, IDC_PSL_CHANNELS);
    int32_t selected[kChannels];
    int count = static_cast<int>(SendMessageA(list, LB_GETSELITEMS, kChannels, reinterpret_cast<LPARAM>(selected)));
    if (count < 0) count = 0;
    // List index is channel number.
    if (BuildSingleRateTable(selected, count, ReadDouble(dlg, IDC_PSL_RATE)) == 1) {
        ShowRate(dlg, IDC_PSL_RATE, dSampleRate);
        ShowRate(dlg, IDC_PSL_ACTUAL, dSampleRate);
    }
    FillScanTree(GetDlgItem(dlg, IDC_PSL_TREE));
}

// ---- multi rate ---------------------------------------------------------------------------

HIMAGELIST g_multiImages = nullptr;
bool g_checked[kChannels];

void FillRateChoices(HWND dlg) {
    HWND combo = GetDlgItem(dlg, IDC_SSL_RATES);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    char text[64];
    for (int32_t k = 0; k < kRateChoices; ++k) {
        snprintf(text, sizeof text, "%.4f", RateChoice(k));
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

void ApplyMaximumRateField(HWND dlg) {
    double rate = ApplyMaximumRate(ReadDouble(dlg, IDC_SSL_MAXRATE));
    ShowRate(dlg, IDC_SSL_MAXRATE, rate);
    FillRateChoices(dlg);
}

void RefreshTrees(HWND dlg) {
    FillScanTree(GetDlgItem(dlg, IDC_SSL_SCANTREE));
    FillSystemTree(GetDlgItem(dlg, IDC_SSL_SYSTREE), g_checked);
}

// Checks or unchecks a channel of the first system; scanned channels and the
// other systems' channels do not toggle.
void ToggleSystemItem(HWND tree, HTREEITEM item) {
    int image = 0;
    LPARAM param = kNoChannel;
    if (item == nullptr || !GetItem(tree, item, &image, &param)) return;
    if (param < 0 || param >= kChannels || image == kImgBlock) return;
    int32_t ch = static_cast<int32_t>(param);
    g_checked[ch] = !g_checked[ch];
    SetItemImage(tree, item, g_checked[ch] ? kImgAnalogSelected : CardImage(ch));
}

int32_t SelectedScanChannel(HWND dlg) {
    HWND tree = GetDlgItem(dlg, IDC_SSL_SCANTREE);
    HTREEITEM item = TreeView_GetSelection(tree);
    LPARAM param = kNoChannel;
    if (item == nullptr || !GetItem(tree, item, nullptr, &param)) return -1;
    return param >= 0 && param < kChannels ? static_cast<int32_t>(param) : -1;
}

void AddCheckedChannels(HWND dlg) {
    int k = static_cast<int>(SendDlgItemMessageA(dlg, IDC_SSL_RATES, CB_GETCURSEL, 0, 0));
    if (k < 0) k = 0;
    if (AddChannelsToScanTable(g_checked, k) == 1) {
        for (bool& c : g_checked) c = false;
        RefreshTrees(dlg);
    }
}

void RemoveSelectedChannel(HWND dlg) {
    int32_t ch = SelectedScanChannel(dlg);
    if (RemoveScanChannel(ch) == 1) RefreshTrees(dlg);
}

void ClearAll(HWND dlg) {
    // No is the default: Enter on the question must not wipe the table.
    if (PlatformMessageBox("Do You Really Want To Clear All Entries?",
                           "This Will Permanantly Delete All Scan Table Entries",
                           MB_YESNO_ | MB_ICONQUESTION_ | MB_DEFBUTTON2_) != IDYES_)
        return;
    ClearScanTable();
    RefreshTrees(dlg);
}

}  // namespace

INT_PTR CALLBACK ProgrammableScanListDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        Win32SetMessageOwner(dlg);
        HWND list = GetDlgItem(dlg, IDC_PSL_CHANNELS);
        char name[40];
        for (int32_t ch = 0; ch < kChannels && lpsChannelParams != nullptr; ++ch)
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ChannelName(ch, name, sizeof name)));
        g_singleImages = MakeImageList();
        AttachImages(GetDlgItem(dlg, IDC_PSL_TREE), g_singleImages);
        FillScanTree(GetDlgItem(dlg, IDC_PSL_TREE));
        ShowRate(dlg, IDC_PSL_RATE, dSampleRate);
        ShowRate(dlg, IDC_PSL_ACTUAL, dSampleRate);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PSL_MAKE:
            MakeSingleRateTable(dlg);
            return TRUE;
        case IDC_PSL_RATE:
            if (HIWORD(wParam) == EN_KILLFOCUS) ApplyRateField(dlg);
            return TRUE;
        case IDOK:
            if (FocusIn(dlg, IDC_PSL_RATE)) ApplyRateField(dlg);
            return TRUE;
        case IDC_PSL_DOWNLOAD:
            ConfirmScanTable();
            DownloadWithWaitCursor();
            MarkTestModified();
            CloseDialog(dlg, IDOK);
            return TRUE;
        case IDC_PSL_EXIT:
        case IDCANCEL:
            ConfirmScanTable();
            MarkTestModified();
            CloseDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        TreeView_DeleteAllItems(GetDlgItem(dlg, IDC_PSL_TREE));
        if (g_singleImages) ImageList_Destroy(g_singleImages);
        g_singleImages = nullptr;
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK SecondaryScanDlg(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        Win32SetMessageOwner(dlg);
        for (bool& c : g_checked) c = false;
        RebuildScanTable();
        FillRateChoices(dlg);
        ShowRate(dlg, IDC_SSL_MAXRATE, dSampleRate);
        g_multiImages = MakeImageList();
        AttachImages(GetDlgItem(dlg, IDC_SSL_SCANTREE), g_multiImages);
        AttachImages(GetDlgItem(dlg, IDC_SSL_SYSTREE), g_multiImages);
        RefreshTrees(dlg);
        return TRUE;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->idFrom != IDC_SSL_SYSTREE) break;
        if (hdr->code == NM_CLICK) {
            TVHITTESTINFO hit = {};
            DWORD pos = GetMessagePos();
            hit.pt.x = static_cast<short>(LOWORD(pos));
            hit.pt.y = static_cast<short>(HIWORD(pos));
            ScreenToClient(hdr->hwndFrom, &hit.pt);
            TreeView_HitTest(hdr->hwndFrom, &hit);
            if (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON))
                ToggleSystemItem(hdr->hwndFrom, hit.hItem);
            return TRUE;
        }
        if (hdr->code == TVN_KEYDOWN && reinterpret_cast<NMTVKEYDOWN*>(lParam)->wVKey == VK_SPACE) {
            // The keyboard way to check the selected channel.
            ToggleSystemItem(hdr->hwndFrom, TreeView_GetSelection(hdr->hwndFrom));
            return TRUE;
        }
        break;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SSL_MAXRATE:
            if (HIWORD(wParam) == EN_KILLFOCUS) ApplyMaximumRateField(dlg);
            return TRUE;
        case IDOK:
            if (FocusIn(dlg, IDC_SSL_MAXRATE)) ApplyMaximumRateField(dlg);
            return TRUE;
        case IDC_SSL_ADD:
            AddCheckedChannels(dlg);
            return TRUE;
        case IDC_SSL_REMOVE:
            RemoveSelectedChannel(dlg);
            return TRUE;
        case IDC_SSL_CLEAR:
            ClearAll(dlg);
            return TRUE;
        case IDC_SSL_SAVEEXIT:
        case IDCANCEL:
            ConfirmScanTable();
            MarkTestModified();
            CloseDialog(dlg, IDOK);
            return TRUE;
        case IDC_SSL_DOWNLOAD:
            ConfirmScanTable();
            MarkTestModified();
            DownloadWithWaitCursor();
            CloseDialog(dlg, IDOK);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        TreeView_DeleteAllItems(GetDlgItem(dlg, IDC_SSL_SCANTREE));
        TreeView_DeleteAllItems(GetDlgItem(dlg, IDC_SSL_SYSTREE));
        if (g_multiImages) ImageList_Destroy(g_multiImages);
        g_multiImages = nullptr;
        break;
    }
    return FALSE;
}

void OpenProgrammableScanList(HWND owner) {
    DialogBoxParamA(GetModuleHandleA(nullptr), "NEWSCANTABLE", owner, ProgrammableScanListDlg, 0);
}

void OpenSecondaryScanList(HWND owner) {
    DialogBoxParamA(GetModuleHandleA(nullptr), "SECONDARYSCANLIST", owner, SecondaryScanDlg, 0);
}
