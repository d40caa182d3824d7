// Zd418 records from the simulated front end in real time, driven through its
// control panel from a second process: Record (answering the download
// question), a few seconds of streaming across an injected lost sync word,
// Stop.  The raw file must then hold whole transfers only, each with its
// sync word, in the order the front end numbered them, none twice, and none
// missing except the one the fault spoiled.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/win32/e2e_support.h"

namespace {

std::string g_exe, g_gpib, g_q90ui;

struct Program {
    PROCESS_INFORMATION pi = {};
    HWND frame = nullptr;
    HWND panel = nullptr;
};

// Answers the boxes that are up: the download question with Yes, every other
// question with No, plain messages with OK.  Returns the captions seen.
std::vector<std::string> AnswerBoxes(const Program& p, DWORD ms) {
    std::vector<std::string> seen;
    for (DWORD waited = 0; waited < ms; waited += 50) {
        HWND box = FindWindowOf(p.pi.dwProcessId, "#32770");
        if (box != nullptr) {
            const std::string title = Text(box);
            seen.push_back(title);
            const WPARAM answer = title == "Scanlist Or Channel Parameters Not Downloaded" ? IDYES : IDNO;
            PostMessageA(box, WM_COMMAND, answer, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        }
        Sleep(50);
    }
    return seen;
}

void Click(HWND panel, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(panel, WM_LBUTTONUP, 0, at);
}

// Saves what the screen shows of `hwnd` as a 24-bit BMP (for the README's
// picture of the panel while it records).
void SaveWindowPicture(HWND hwnd, const std::string& file) {
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
    Sleep(500);
    RECT r;
    if (!GetWindowRect(hwnd, &r)) return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi = {};
    bi.biSize = sizeof bi;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    const DWORD stride = ((w * 3 + 3) / 4) * 4;
    std::vector<uint8_t> pixels(stride * h);
    GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
    if (FILE* f = fopen(file.c_str(), "wb")) {
        fwrite(&fh, sizeof fh, 1, f);
        fwrite(&bi, sizeof bi, 1, f);
        fwrite(pixels.data(), 1, pixels.size(), f);
        fclose(f);
    }
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

std::vector<uint8_t> ReadFileBytes(const std::string& name) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(name.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

TEST(RecordE2E, TheRawFileHoldsTheStreamedTransfersInOrder) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "zd418_record";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string exe = dir + "\\Zd418.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(g_exe).c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPath(g_gpib).c_str(), (dir + "\\gpib-32.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(WindowsPath(g_q90ui).c_str(), (dir + "\\Q90ui.dll").c_str(), FALSE));
    // Real time, and the fourth transfer of the run without its sync word.
    FILE* cfg = fopen((dir + "\\q90sim.cfg").c_str(), "w");
    ASSERT_NE(cfg, nullptr);
    fputs("timebase real\nsignal 0-255 const 1000\nfault 4 nosync\n", cfg);
    fclose(cfg);

    // A station set up for this run: its work directory here, recording by
    // the panel's button in overwrite mode, the front end not simulated.
    DeleteFileA(SystemIni().c_str());
    const std::string iniPath = SystemIni();
    const char* ini = iniPath.c_str();
    WritePrivateProfileStringA("Application", "WorkDirectory", dir.c_str(), ini);
    WritePrivateProfileStringA("System", "TriggerState", "0", ini);
    WritePrivateProfileStringA("System", "RecordingType", "0", ini);
    WritePrivateProfileStringA("SYSTEM", "SIMULATOR", "NO", ini);
    WritePrivateProfileStringA("SYSTEM", "APPEND", "NO", ini);
    WritePrivateProfileStringA("SYSTEM", "COM2RUNANDPOINT", "NO", ini);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini);

    Program p;
    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &p.pi));
    ASSERT_TRUE(WaitFor([&] { return (p.frame = FindWindowOf(p.pi.dwProcessId, "GenericWClass")) != nullptr; },
                        60000));
    AnswerBoxes(p, 3000);  // the Open Test dialog: cancelled, the demonstration test
    p.panel = FindWindowOf(p.pi.dwProcessId, "CONTROLCLASS");
    ASSERT_NE(p.panel, nullptr);
    // Cancelling Open gives the demonstration test, named in the work
    // directory; its data files go beside it.
    const std::string base = dir + "\\demo\\demo";
    CreateDirectoryA((dir + "\\demo").c_str(), nullptr);
    DeleteFileA((base + ".raw").c_str());

    Click(p.panel, 365, 20);  // Record
    std::vector<std::string> seen = AnswerBoxes(p, 5000);
    EXPECT_EQ(Text(p.panel).find("SIMULATOR"), std::string::npos);
    bool asked = false;
    for (const std::string& s : seen) asked = asked || s == "Scanlist Or Channel Parameters Not Downloaded";
    EXPECT_TRUE(asked) << "Record did not offer the download";
    std::vector<std::string> during = AnswerBoxes(p, 3000);  // the lost sync word is reported
    if (const char* shot = getenv("ZD418_PANEL_PICTURE")) SaveWindowPicture(p.panel, shot);
    Click(p.panel, 245, 20);  // Stop
    AnswerBoxes(p, 1500);
    TerminateProcess(p.pi.hProcess, 0);
    WaitForSingleObject(p.pi.hProcess, 10000);
    CloseHandle(p.pi.hProcess);
    CloseHandle(p.pi.hThread);

    bool syncReported = false;
    during.insert(during.end(), seen.begin(), seen.end());
    for (const std::string& s : during) syncReported = syncReported || s == "I/O Error";
    EXPECT_TRUE(syncReported) << "the lost sync word was not reported";

    // The demonstration table: 192 positions in 32 blocks at 20000 blocks/s,
    // 322 scans of 200 words a transfer.
    const size_t transferBytes = 2 * 200 * 322;
    std::vector<uint8_t> bytes = ReadFileBytes(base + ".raw");
    ASSERT_GE(bytes.size(), 4 * transferBytes) << base << ".raw";
    ASSERT_EQ(bytes.size() % transferBytes, 0u) << "a partial transfer in the file";
    std::vector<uint32_t> sequences;
    for (size_t t = 0; t < bytes.size(); t += transferBytes) {
        EXPECT_EQ(bytes[t], 0x6B);
        EXPECT_EQ(bytes[t + 1], 0xFE);
        sequences.push_back(bytes[t + 2] | (bytes[t + 3] << 8));
    }
    // Numbered from 1 since the chassis was configured.  The only gap is the
    // restart after the fourth: what the stopped DDS still held is dropped.
    EXPECT_EQ(sequences[0], 1u);
    int gaps = 0;
    for (size_t i = 1; i < sequences.size(); ++i) {
        EXPECT_GT(sequences[i], sequences[i - 1]) << "transfer " << i << " repeats or goes back";
        if (sequences[i] == sequences[i - 1] + 1) continue;
        ++gaps;
        EXPECT_EQ(sequences[i - 1], 3u) << "transfers lost before " << sequences[i];
    }
    EXPECT_EQ(gaps, 1);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        fprintf(stderr, "usage: record_e2e_test Zd418.exe gpib-32.dll Q90ui.dll\n");
        return 2;
    }
    g_exe = argv[1];
    g_gpib = argv[2];
    g_q90ui = argv[3];
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (const char* ini : {"Q90CARD.ini", "mtstest.ini"})
        CopyFileA(WindowsPath(std::string(ZD418_CONFIG_DIR) + "/" + ini).c_str(),
                  (std::string(windows) + "\\" + ini).c_str(), TRUE);
    return RUN_ALL_TESTS();
}
