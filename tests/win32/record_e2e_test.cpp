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

using namespace e2e;

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

TEST(RecordE2E, TheRawFileHoldsTheStreamedTransfersInOrder) {
    const std::string dir = StationDir("zd418_record");
    const std::string exe = dir + "\\Zd418.exe";
    // Real time, and the fourth transfer of the run without its sync word.
    ASSERT_TRUE(
        PlaceStation(dir, g_exe, g_gpib, g_q90ui, "timebase real\nsignal 0-255 const 1000\nfault 4 nosync\n"));
    // A station set up for this run: its work directory here, recording by
    // the panel's button in overwrite mode, the front end not simulated.
    WriteRecordingStationIni(dir);

    Process p;
    ASSERT_TRUE(StartZd418(p, exe, dir));
    AnswerBoxes(p.pi.dwProcessId, 3000);  // the Open Test dialog: cancelled, the demonstration test
    p.panel = FindWindowOf(p.pi.dwProcessId, "CONTROLCLASS");
    ASSERT_NE(p.panel, nullptr);
    // Cancelling Open gives the demonstration test, named in the work
    // directory; its data files go beside it.
    const std::string base = dir + "\\demo\\demo";
    CreateDirectoryA((dir + "\\demo").c_str(), nullptr);
    DeleteFileA((base + ".raw").c_str());

    Click(p.panel, 365, 20);  // Record
    std::vector<std::string> seen = AnswerBoxes(p.pi.dwProcessId, 5000);
    EXPECT_EQ(Text(p.panel).find("SIMULATOR"), std::string::npos);
    bool asked = false;
    for (const std::string& s : seen) asked = asked || s == "Scanlist Or Channel Parameters Not Downloaded";
    EXPECT_TRUE(asked) << "Record did not offer the download";
    std::vector<std::string> during = AnswerBoxes(p.pi.dwProcessId, 3000);  // the lost sync word is reported
    if (const char* shot = getenv("ZD418_PANEL_PICTURE")) SaveWindowPicture(p.panel, shot);
    Click(p.panel, 245, 20);  // Stop
    AnswerBoxes(p.pi.dwProcessId, 1500);
    EndProcess(p);

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
    return e2e::RunE2eTests(argc, argv, "record_e2e_test Zd418.exe gpib-32.dll Q90ui.dll",
                            {&g_exe, &g_gpib, &g_q90ui});
}
