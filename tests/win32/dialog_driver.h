// Drives a modal dialog from inside its own loop: a thread timer answers the
// message boxes that come up and runs the test's steps one per tick, so a box
// a step raises is answered by a later tick from inside that box's loop.  A
// guard ends a dialog that never closes, so it cannot hang the suite.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

struct Box {
    std::string caption;
    std::string text;       // the box's static texts, joined
    int defaultButton = 0;  // the button Enter presses
};

// How the dialog under test is told from the boxes it raises.
enum class DialogIs {
    Titled,     // any window of the title (none of the boxes shares it)
    FirstSeen,  // the window of the title found before any step ran
    Tracked,    // the window of the title, found again once it has closed
};

struct Script;

// The button a box is answered with.
using BoxAnswer = int (*)(HWND box, const Script& s);

inline int AnswerOk(HWND, const Script&) { return IDOK; }
// Yes unless the script says No; boxes without Yes get OK.
inline int AnswerYesOrNo(HWND box, const Script& s);
inline int AnswerYesElseOk(HWND box, const Script&) { return GetDlgItem(box, IDYES) ? IDYES : IDOK; }
// A dialog without Yes or OK (a set-up) is cancelled.
inline int AnswerYesElseOkElseCancel(HWND box, const Script&) {
    return GetDlgItem(box, IDYES) ? IDYES : GetDlgItem(box, IDOK) ? IDOK : IDCANCEL;
}

// How a test's dialogs are driven: each test defines these once.
struct DialogRules {
    DialogIs dialogIs;
    BoxAnswer pick;
    const char* textSeparator;  // put after each static text of a box
};
extern const DialogRules kDialogRules;

struct Script {
    const char* title = nullptr;
    std::vector<std::function<void(HWND)>> steps;
    size_t next = 0;
    bool busy = false;
    std::vector<Box> boxes;
    DialogIs dialogIs = kDialogRules.dialogIs;
    HWND dialog = nullptr;  // FirstSeen, Tracked: the dialog once found
    BoxAnswer pick = kDialogRules.pick;
    const char* textSeparator = kDialogRules.textSeparator;
    int answer = IDOK;         // for a box's pick to read (the next Yes/No box)
    bool pressEnter = false;   // answer boxes with the Enter key instead
    HWND lastBox = nullptr;    // the box already answered by Enter
    std::string failure;       // the guard's finding
};
inline Script* g_script = nullptr;

inline int AnswerYesOrNo(HWND box, const Script& s) {
    if (GetDlgItem(box, IDYES) == nullptr) return IDOK;
    return s.answer == IDNO ? IDNO : IDYES;
}

inline std::string Text(HWND hwnd) {
    char buf[512] = "";
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

inline bool IsOwnDialog(HWND hwnd, const Script& s) {
    switch (s.dialogIs) {
        case DialogIs::Titled: return Text(hwnd) == s.title;
        case DialogIs::FirstSeen: return hwnd == s.dialog;
        case DialogIs::Tracked: return hwnd == s.dialog || (s.dialog == nullptr && Text(hwnd) == s.title);
    }
    return false;
}

inline BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    if (IsOwnDialog(hwnd, *g_script)) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

inline BOOL CALLBACK FindStatic(HWND hwnd, LPARAM param) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    std::string t = Text(hwnd);
    if (strcmp(cls, "Static") == 0 && !t.empty())
        *reinterpret_cast<std::string*>(param) += t + g_script->textSeparator;
    return TRUE;
}

inline void AnswerBox(Script& s, HWND box) {
    if (box == s.lastBox) return;  // its Enter is on the way
    Box b{Text(box), "", 0};
    EnumChildWindows(box, FindStatic, reinterpret_cast<LPARAM>(&b.text));
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button && IsWindowVisible(button) && (GetWindowLongA(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
            b.defaultButton = id;
    }
    s.boxes.push_back(b);
    if (s.pressEnter) {
        s.lastBox = box;
        // As the operator's Enter arrives: at the focused control, through the box's loop.
        HWND focus = GetFocus();
        PostMessageA(focus ? focus : box, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(focus ? focus : box, WM_KEYUP, VK_RETURN, 0xC0000001);
        return;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(s.pick(box, s), BN_CLICKED), 0);
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script& s = *g_script;
    // A box may share the dialog's caption; the dialog is the window of that
    // caption seen before any step ran, so before any box of ours.
    if (s.dialogIs == DialogIs::FirstSeen && s.dialog == nullptr) s.dialog = FindWindowA("#32770", s.title);
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (box != nullptr) {
        AnswerBox(s, box);
        return;
    }
    if (s.busy) return;
    if (s.dialogIs == DialogIs::Tracked && (s.dialog == nullptr || !IsWindow(s.dialog)))
        s.dialog = FindWindowA("#32770", s.title);
    HWND dlg = s.dialogIs == DialogIs::Titled ? FindWindowA("#32770", s.title) : s.dialog;
    if (dlg == nullptr || s.next >= s.steps.size()) return;
    s.busy = true;
    s.steps[s.next++](dlg);
    s.busy = false;
}

inline void RunDialog(Script* script, const std::function<void()>& open) {
    g_script = script;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
    UINT_PTR guard = SetTimer(nullptr, 0, 60000, [](HWND, UINT, UINT_PTR, DWORD) {
        g_script->failure = "dialog still open after 60 s";
        ADD_FAILURE() << g_script->failure;
        HWND d = g_script->dialogIs == DialogIs::FirstSeen ? g_script->dialog
                                                            : FindWindowA("#32770", g_script->title);
        if (d != nullptr) EndDialog(d, IDCANCEL);
    });
    open();
    KillTimer(nullptr, timer);
    KillTimer(nullptr, guard);
    g_script = nullptr;
}

inline void RunDialog(Script* script, void (*open)(HWND)) {
    RunDialog(script, std::function<void()>([open] { open(nullptr); }));
}

inline void Press(HWND dlg, int id) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}
inline void Choose(HWND dlg, int id, int index) {
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}
// Text typed into an edit field, which then loses the focus.
inline void Type(HWND dlg, int id, const char* text) {
    SetDlgItemTextA(dlg, id, text);
    SendDlgItemMessageA(dlg, id, EM_SETMODIFY, TRUE, 0);  // as typing leaves it
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}
inline std::string Item(HWND dlg, int id) { return Text(GetDlgItem(dlg, id)); }
