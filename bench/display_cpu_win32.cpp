// CPU cost of live displays under Wine: four graphs, two tables and two bar
// displays (the frame's 50 Hz update broadcast) fed as at the front end's
// maximum aggregate rate, 60000 samples/s over 16 channels: a new transfer
// of about 0.7 s in the buffers each period and fresh CVT values every
// update.  Prints the process's CPU time over the run as a share of one core.
//   display_cpu_win32.exe [seconds]     (bench/display_cpu.sh runs it)
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "acquire/engine.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "displays/display_ids.h"
#include "platform/win32/win32_platform.h"
#include "scanlist/scan_table.h"
#include "shell/frame_globals.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"
#include "tests/win32/display_frame.h"

HINSTANCE hInst = nullptr;
HWND hwndFrame = nullptr;
HWND hwndMDIClient = nullptr;

namespace {

using namespace display_frame;

constexpr int32_t kChannelsScanned = 16;
constexpr double kAggregateRate = 60000.0;

HWND Create(const char* cls, const char* title, const char* creation, int x, int y, int w, int h) {
    return CreateDisplay(cls, title, x, y, w, h, creation);
}

// The graph's style is chosen in its properties dialog: a thread timer
// clicks the wanted style and OK inside the dialog's loop.
int g_style = 0;
void CALLBACK PickStyle(HWND, UINT, UINT_PTR, DWORD) {
    HWND dlg = FindWindowA("#32770", "Scope Parameter Selection");
    if (dlg == nullptr) return;
    SendDlgItemMessageA(dlg, IDC_SCOPE_OSCILLOSCOPE + g_style, BM_CLICK, 0, 0);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
}
void SetStyle(HWND graph, int style) {
    g_style = style;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, PickStyle);
    SendMessageA(graph, WM_COMMAND, IDM_DISPLAY_PROPERTIES, 0);
    KillTimer(nullptr, timer);
}

// One transfer of the 16-channel scan: channel c is a sine of c + 1 periods
// over 512 scans, its phase moving on with every transfer.
void FillTransfer(uint16_t* buffer, int32_t scans, int32_t first) {
    const int32_t words = kChannelsScanned + 8;
    for (int32_t k = 0; k < scans; ++k) {
        uint16_t* scan = buffer + k * words;
        scan[0] = 0xFE6B;
        for (int32_t c = 0; c < kChannelsScanned; ++c)
            scan[8 + c] = static_cast<uint16_t>(static_cast<int16_t>(
                20000.0 * sin(2 * 3.14159265358979 * (c + 1) * (first + k) / 512.0)));
    }
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& f) {
        return ((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? atof(argv[1]) : 20.0;
    AllocateTestModel();
    if (!OpenFrame(1280, 1024)) {
        fprintf(stderr, "display_cpu_win32: cannot open the frame\n");
        return 1;
    }

    lpProgScanList->EntryCount = kChannelsScanned;
    lpProgScanList->BlockCount = 1;
    for (int32_t c = 0; c < kChannelsScanned; ++c) lpProgScanList->Entry[c] = {static_cast<uint32_t>(c), 0, 0, 0};
    BuildScanMapTo(nullptr);
    for (int32_t c = 0; c < kChannels; ++c) nChannelAdcBits[c] = 16;  // 16-bit cards: full-range counts
    dSampleRate = kAggregateRate / kChannelsScanned;
    const int32_t scans = ComputeScansPerTransfer(kChannelsScanned, 1, dSampleRate);
    const double periodMs = scans / dSampleRate * 1000.0;
    sEngine.ScanBytes = kChannelsScanned * 2 + 16;
    sEngine.TransferBytes = static_cast<uint32_t>(scans) * sEngine.ScanBytes;

    // Four graphs across the top (two traces, a spectrum, a windowed
    // spectrum), the tables and bar displays below.
    for (int g = 0; g < 4; ++g) {
        char creation[64], title[32];
        snprintf(creation, sizeof creation, "1,%d,Arial,-20,400,0,0,0,1,0", g);
        snprintf(title, sizeof title, "Scope %d", g);
        HWND graph = Create("OscopeChild", title, creation, (g % 2) * 620, (g / 2) * 290, 620, 290);
        if (g >= 2) SetStyle(graph, g - 1);
    }
    Create("TabChild", "Table 1", nullptr, 0, 580, 300, 360);
    Create("TabChild", "Table 2", "1,8,1,20,21,22,23,24,25,26,27,1,1,Arial,-20,400,0,0,0,0,0,0,0", 300, 580, 300,
           360);
    const char* bars = "1,16,4,1,0,-1e4,1e4,32768,1,-1e4,1e4,32768,2,-1e4,1e4,32768,3,-1e4,1e4,32768,"
                       "4,-1e4,1e4,32768,5,-1e4,1e4,32768,6,-1e4,1e4,32768,7,-1e4,1e4,32768,8,-1e4,1e4,32768,"
                       "9,-1e4,1e4,32768,10,-1e4,1e4,32768,11,-1e4,1e4,32768,12,-1e4,1e4,32768,"
                       "13,-1e4,1e4,32768,14,-1e4,1e4,32768,15,-1e4,1e4,32768,Arial,-20,400,0,0,0,1";
    Create("BarChild", "Bars 1", bars, 600, 580, 340, 360);
    Create("BarChild", "Bars 2", "1,4,4,1,0,-1e4,1e4,32768,1,-1e4,1e4,32768,2,-5e3,5e3,16711680,3,0,1e4,8421376,"
           "Arial,-20,400,0,0,0,1", 940, 580, 300, 360);

    // Limits that the moving values cross, so every colour is drawn.
    for (int32_t c = 0; c < kChannels; ++c) {
        lpCVT->AlarmBelow[c] = -4500.0;
        lpCVT->AlarmAbove[c] = 4500.0;
        lpCVT->WarningBelow[c] = -3000.0;
        lpCVT->WarningAbove[c] = 3000.0;
        lpCVT->NormalColor[c] = RGB(0, 128, 0);
        lpCVT->WarningColor[c] = RGB(200, 160, 0);
        lpCVT->AlarmColor[c] = RGB(220, 0, 0);
    }
    bRecording = true;
    dwReplayDelay = 0;
    MSG msg;
    const DWORD start = GetTickCount();
    DWORD nextTransfer = start, nextUpdate = start;
    int32_t transfer = 0, updates = 0;
    const double cpu0 = CpuSeconds();
    while (GetTickCount() - start < seconds * 1000.0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD now = GetTickCount();
        if (static_cast<int32_t>(now - nextTransfer) >= 0) {
            ++transfer;
            FillTransfer((transfer & 1) ? lpucNewData0 : lpucNewData1, scans, transfer * scans);
            sEngine.BlockCounter = static_cast<uint32_t>(transfer);
            nextTransfer += static_cast<DWORD>(periodMs);
        }
        if (static_cast<int32_t>(now - nextUpdate) >= 0) {
            for (int32_t c = 0; c < kChannels; ++c) {
                lpCVT->Value[c] = 5000.0 * sin(now / 300.0 + c);
                lpCVT->Format[c] = static_cast<int32_t>(lpCVT->Value[c] * 3.2768);
            }
            Broadcast(UpdateEnumProc);
            ++updates;
            nextUpdate += 20;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 2, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    const double wall = (GetTickCount() - start) / 1000.0;
    const double cpu = CpuSeconds() - cpu0;
    printf("live displays (4 graphs, 2 tables, 2 bar displays), %d updates, %d transfers of %d scans "
           "over %.1f s: %.1f %% of one core\n",
           updates, transfer, scans, wall, 100.0 * cpu / wall);
    return 0;
}
