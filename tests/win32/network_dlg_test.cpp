// The dialogs PIPESETUP and SERVERINFO run for real from their templates and
// driven from a thread timer inside their modal loops, as an operator types.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "network/cvt_slices.h"
#include "network/network_ids.h"
#include "network/remote_control_wnd.h"
#include "testmodel/system_settings.h"

namespace {

struct Script {
    const char* caption;
    int fields[4];
    int count;
    std::string seen[4];
    std::string typed[4];
    int button;
    bool done;
};
Script* g_script = nullptr;

std::string FieldText(HWND dlg, int id) {
    char buf[512] = "";
    GetDlgItemTextA(dlg, id, buf, sizeof buf);
    return buf;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script& s = *g_script;
    HWND dlg = FindWindowA("#32770", s.caption);
    if (dlg == nullptr || s.done) return;
    for (int i = 0; i < s.count; ++i) {
        s.seen[i] = FieldText(dlg, s.fields[i]);
        SetDlgItemTextA(dlg, s.fields[i], s.typed[i].c_str());
    }
    s.done = true;
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(s.button, BN_CLICKED), 0);
}

INT_PTR RunDialog(Script& s, const char* templ, DLGPROC proc) {
    g_script = &s;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
    const INT_PTR r = DialogBoxA(GetModuleHandleA(nullptr), templ, nullptr, proc);
    KillTimer(nullptr, timer);
    return r;
}

void Names(const char* talk, const char* listen, const char* error, const char* data) {
    snprintf(szTalkPipe, sizeof szTalkPipe, "%s", talk);
    snprintf(szListenPipe, sizeof szListenPipe, "%s", listen);
    snprintf(szErrorPipe, sizeof szErrorPipe, "%s", error);
    snprintf(szData1Pipe, sizeof szData1Pipe, "%s", data);
}

TEST(NetworkDialogs, PipeSetupShowsAndStoresTheFourNames) {
    Names("T", "L", "E", "D");
    const std::string longName(150, 'x');
    Script s = {"Named Pipe Setup", {IDC_PS_TALK, IDC_PS_LISTEN, IDC_PS_ERROR, IDC_PS_DATA}, 4, {},
                {"\\\\.\\PIPE\\T2", "\\\\.\\PIPE\\L2", longName, "\\\\.\\PIPE\\D2"}, IDOK, false};
    ASSERT_EQ(RunDialog(s, "PIPESETUP", NamedPipeDlg), IDOK);
    // Filled in the order talk, listen, error (its label says "Listen Pipe"), data.
    EXPECT_EQ(s.seen[0], "T");
    EXPECT_EQ(s.seen[1], "L");
    EXPECT_EQ(s.seen[2], "E");
    EXPECT_EQ(s.seen[3], "D");
    EXPECT_STREQ(szTalkPipe, "\\\\.\\PIPE\\T2");
    EXPECT_STREQ(szListenPipe, "\\\\.\\PIPE\\L2");
    EXPECT_EQ(std::string(szErrorPipe), std::string(99, 'x'));
    EXPECT_STREQ(szData1Pipe, "\\\\.\\PIPE\\D2");

    Script cancel = {"Named Pipe Setup", {IDC_PS_TALK, IDC_PS_LISTEN, IDC_PS_ERROR, IDC_PS_DATA}, 4, {},
                     {"a", "b", "c", "d"}, IDCANCEL, false};
    ASSERT_EQ(RunDialog(cancel, "PIPESETUP", NamedPipeDlg), IDCANCEL);
    EXPECT_STREQ(szTalkPipe, "\\\\.\\PIPE\\T2");
    EXPECT_STREQ(szListenPipe, "\\\\.\\PIPE\\L2");
}

TEST(NetworkDialogs, ServerInformationSetsBothBaseNames) {
    SetNetworkDefaults();
    Script s = {"Rq817 Server Information", {IDC_SI_SERVER}, 1, {}, {"\\\\STATION2\\mailslot\\cvt"}, IDOK, false};
    ASSERT_EQ(RunDialog(s, "SERVERINFO", SetupServerInfoDlg), IDOK);
    EXPECT_EQ(s.seen[0], "\\\\.\\mailslot\\cvt");
    EXPECT_STREQ(szServerBaseName, "\\\\STATION2\\mailslot\\cvt");
    EXPECT_STREQ(szClientBaseName, "\\\\STATION2\\mailslot\\cvt");
}

}  // namespace
