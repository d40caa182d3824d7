// The export dialogs, the data wizard and the data file editor run for real
// from their templates, driven by a thread timer inside their modal loops:
// what the dialogs write is what the portable exports write.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "export/channel_export.h"
#include "export/export_dlg.h"
#include "export/export_ids.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The steps run from the timer, one per tick, against the open dialog.
std::function<bool(HWND)> g_step;  // returns true when the dialog was told to close
const char* g_caption = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dlg = FindWindowA("#32770", g_caption);
    if (dlg == nullptr || !g_step) return;
    std::function<bool(HWND)> step = g_step;
    if (step(dlg)) g_step = nullptr;
}

INT_PTR RunDialog(const char* templateName, DLGPROC proc, const char* caption, std::function<bool(HWND)> step) {
    g_caption = caption;
    g_step = std::move(step);
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
    const INT_PTR result = DialogBoxA(GetModuleHandleA(nullptr), templateName, nullptr, proc);
    KillTimer(nullptr, timer);
    return result;
}

void Click(HWND dlg, int id) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

class ExportDialogs : public ::testing::Test {
  protected:
    std::string dir;
    void SetUp() override {
        ASSERT_EQ(AllocateTestModel(), 1);
        dir = fs::absolute("export_dlg_out").string();
        fs::remove_all(dir);
        fs::create_directories(dir);
        snprintf(szTestFile, sizeof szTestFile, "%s\\t1.mdb", dir.c_str());
        ClearScanTable();
        const int32_t channels[] = {4, 2, 9};
        for (uint32_t p = 0; p < 3; ++p) {
            lpProgScanList->Entry[p].CHANNEL = channels[p];
            lpProgScanList->Entry[p].BLOCK = 0;
            snprintf(lpsChannelParams->NAME[channels[p]], 32, "Name%d", channels[p]);
            snprintf(lpsChannelParams->CardModel[channels[p]], 12, "M11-A");
            lpsChannelParams->GAIN[channels[p]] = 1.0;
            lpsChannelParams->SENSITIVITY[channels[p]] = 1.0;
            lpsChannelParams->OFFSET[channels[p]] = 0.0;
        }
        lpProgScanList->EntryCount = 3;
        lpProgScanList->BlockCount = 1;
        dSampleRate = 10.0;  // 10 scans per transfer
    }
    void TearDown() override { FreeTestModel(); }

    // `transfers` transfers of 10 scans; transfer t labelled texts[t].
    std::string WriteRaw(const std::vector<std::string>& texts) {
        std::string raw;
        for (size_t t = 0; t < texts.size(); ++t)
            for (uint32_t s = 0; s < 10; ++s) {
                uint16_t scan[11] = {0xFE6B, static_cast<uint16_t>(t), 0, static_cast<uint16_t>(s), 0, 0, 0, 0,
                                     static_cast<uint16_t>(t * 100 + s), static_cast<uint16_t>(-20 * static_cast<int>(s)), 7};
                std::string bytes(reinterpret_cast<const char*>(scan), sizeof scan);
                if (s == 0) {
                    std::string text = texts[t];
                    text.resize(12, '\0');
                    bytes.replace(4, 12, text);
                }
                raw += bytes;
            }
        std::ofstream(dir + "\\t1.raw", std::ios::binary | std::ios::trunc) << raw;
        return raw;
    }
};

TEST_F(ExportDialogs, AsciiDialogExportsTheChosenChannelAsTheCoreDoes) {
    WriteRaw({"A", "A"});
    int count = -1;
    bool oneChecked = false;
    const INT_PTR result = RunDialog("GENERATEASCII", GenerateAsciiDlg, "Generate Ascii File(s)", [&](HWND dlg) {
        count = static_cast<int>(SendDlgItemMessageA(dlg, IDC_EXP_CHANNEL, CB_GETCOUNT, 0, 0));
        oneChecked = IsDlgButtonChecked(dlg, IDC_EXP_ONE) == BST_CHECKED;
        SendDlgItemMessageA(dlg, IDC_EXP_CHANNEL, CB_SETCURSEL, 1, 0);
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_EXP_CHANNEL, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_EXP_CHANNEL)));
        Click(dlg, IDOK);
        return true;
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(oneChecked);
    // Channel 2, the second of the scan list, and only it.
    const std::string written = ReadBytes(dir + "\\Name2.asc");
    EXPECT_FALSE(fs::exists(dir + "\\Name4.asc"));
    ASSERT_FALSE(written.empty());
    fs::rename(dir + "\\Name2.asc", dir + "\\dialog.asc");
    const int32_t two[] = {2};
    ASSERT_EQ(ExportChannelFiles(ChannelFormat::Ascii, szTestFile, two, 1, nullptr).Written, 1);
    EXPECT_EQ(ReadBytes(dir + "\\Name2.asc"), written);
    EXPECT_NE(written.find("\r\n"), std::string::npos);  // a text file on Windows

    // Cancel writes nothing.
    fs::remove(dir + "\\Name2.asc");
    EXPECT_EQ(RunDialog("GENERATEASCII", GenerateAsciiDlg, "Generate Ascii File(s)", [&](HWND dlg) {
                  Click(dlg, IDCANCEL);
                  return true;
              }),
              0);
    EXPECT_FALSE(fs::exists(dir + "\\Name2.asc"));
}

TEST_F(ExportDialogs, DaDispDialogWritesEveryChannelWithAllChosen) {
    WriteRaw({"A"});
    EXPECT_EQ(RunDialog("GENERATEDADISP", GenerateDaDispDlg, "Generate DaDisp Files", [&](HWND dlg) {
                  SendDlgItemMessageA(dlg, IDC_EXP_ALL, BM_CLICK, 0, 0);
                  Click(dlg, IDOK);
                  return true;
              }),
              1);
    for (int c : {4, 2, 9}) EXPECT_EQ(ReadBytes(dir + "\\Name" + std::to_string(c) + ".dat").size(), 80u) << c;
}

TEST_F(ExportDialogs, EditorRemovesTheSelectedRun) {
    const std::string raw = WriteRaw({"A", "B", "B", "C"});
    int listed = -1;
    char second[32] = "";
    EXPECT_EQ(RunDialog("EDITDATAFILE", EditDataDlg, "Delete Data File Runs", [&](HWND dlg) {
                  listed = static_cast<int>(SendDlgItemMessageA(dlg, IDC_EDIT_RUNS, LB_GETCOUNT, 0, 0));
                  SendDlgItemMessageA(dlg, IDC_EDIT_RUNS, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(second));
                  SendDlgItemMessageA(dlg, IDC_EDIT_RUNS, LB_SETSEL, TRUE, 1);
                  Click(dlg, IDOK);
                  return true;
              }),
              1);
    EXPECT_EQ(listed, 3);
    EXPECT_STREQ(second, "B");
    const size_t transfer = raw.size() / 4;
    EXPECT_EQ(ReadBytes(dir + "\\t1.raw"), raw.substr(0, transfer) + raw.substr(3 * transfer));
    EXPECT_FALSE(fs::exists(dir + "\\t1.raw.tmp"));
}

TEST_F(ExportDialogs, WizardStartsClearedAndWritesItsReport) {
    WriteRaw({"A", "A"});
    bool cleared = false;
    EXPECT_EQ(RunDialog("WIZARDDIALOG", WizardDlg, "Rq817 Data Wizard", [&](HWND dlg) {
                  cleared = IsDlgButtonChecked(dlg, IDC_WIZ_FLAT) == BST_UNCHECKED &&
                            IsDlgButtonChecked(dlg, IDC_WIZ_RAIL) == BST_UNCHECKED &&
                            IsDlgButtonChecked(dlg, IDC_WIZ_NOISY) == BST_UNCHECKED;
                  CheckDlgButton(dlg, IDC_WIZ_FLAT, BST_CHECKED);
                  Click(dlg, IDC_WIZ_START);
                  Click(dlg, IDC_WIZ_EXIT);
                  return true;
              }),
              0);
    EXPECT_TRUE(cleared);
    char program[MAX_PATH];
    PlatformProgramDirectory(program, sizeof program);
    // Channel 9 holds 7 throughout: it changed less than 50 counts.
    EXPECT_EQ(ReadBytes(std::string(program) + "\\wizard.txt"),
              "*****************CHANNELS THAT CHANGED LESS THAN 50 COUNTS***************************\r\n"
              "Channel 9 Named Name9 \r\n");
}

}  // namespace
