// The New Test dialog (CREATEANEWTEST) run for real from its template and
// driven from a thread timer inside its modal loop, as an operator types.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "testmodel/lifecycle.h"
#include "testmodel/lifecycle_ids.h"

// The frame's handles the dialog code refers to; there is no frame here.
HINSTANCE hInst = nullptr;
HWND hwndFrame = nullptr;
HWND hwndTools = nullptr;
HWND hwndControl = nullptr;
HMENU hMainMenu = nullptr;

namespace {

struct Seen {
    std::vector<std::string> boxes;  // "caption: text"
    bool stayed = false;
    std::string kept;
    bool focused = false;
    DWORD selStart = 99, selEnd = 99;
    LRESULT limit = 0;
    std::string typed;
    int step = 0;
};
Seen* g_seen = nullptr;

std::string TextOf(HWND hwnd) {
    char buf[256] = "";
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

BOOL CALLBACK FindStatic(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && !TextOf(hwnd).empty()) *reinterpret_cast<std::string*>(param) += TextOf(hwnd);
    return TRUE;
}

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd) || TextOf(hwnd) == "Create A New Test") return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

void Type(HWND field, const char* text) {
    for (const char* p = text; *p; ++p) SendMessageA(field, WM_CHAR, static_cast<unsigned char>(*p), 0);
}

// One step per tick; a message box is answered from inside its own loop.
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Seen& s = *g_seen;
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (box != nullptr) {
        std::string text;
        EnumChildWindows(box, FindStatic, reinterpret_cast<LPARAM>(&text));
        s.boxes.push_back(TextOf(box) + ": " + text);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return;
    }
    HWND dlg = FindWindowA("#32770", "Create A New Test");
    if (dlg == nullptr) return;
    HWND field = GetDlgItem(dlg, IDC_NEWTEST_NAME);
    switch (s.step++) {
    case 0:
        s.limit = SendMessageA(field, EM_GETLIMITTEXT, 0, 0);
        Type(field, "a.b");
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
        break;
    case 1:
        s.stayed = true;
        s.kept = TextOf(field);
        s.focused = GetFocus() == field;
        SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&s.selStart), reinterpret_cast<LPARAM>(&s.selEnd));
        // Typing over the selection: the field takes no more than a valid name.
        Type(field, "abcdefghijkl");
        s.typed = TextOf(field);
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
    default:
        break;
    }
}

TEST(NewTestDialog, ARefusedNameStaysInTheFieldForCorrection) {
    Seen seen;
    g_seen = &seen;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
    UINT_PTR guard = SetTimer(nullptr, 0, 30000, [](HWND, UINT, UINT_PTR, DWORD) {
        if (HWND d = FindWindowA("#32770", "Create A New Test")) EndDialog(d, -2);
    });
    int32_t result = CreateTest();
    KillTimer(nullptr, timer);
    KillTimer(nullptr, guard);
    g_seen = nullptr;

    EXPECT_EQ(result, 0);  // cancelled, not timed out
    EXPECT_EQ(seen.limit, kTestNameMaxLength);
    EXPECT_EQ(seen.boxes, std::vector<std::string>({"Problem With Test Name: The Test Name Entered Was Invalid"}));
    EXPECT_TRUE(seen.stayed);
    EXPECT_EQ(seen.kept, "a.b");
    EXPECT_TRUE(seen.focused);
    EXPECT_EQ(seen.selStart, 0u);
    EXPECT_EQ(seen.selEnd, 3u);
    EXPECT_EQ(seen.typed, "abcdefgh");
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    hInst = GetModuleHandleA(nullptr);
    return RUN_ALL_TESTS();
}
