// Win32: the wait window while the scanned channels are downloaded.  It shows
// "Downloading Channel %d" for each channel, and the program's windows are
// repainted between channels, so a long download does not leave them blank.
#include <windows.h>

#include "channels/channel_dlg.h"
#include "shell/frame_globals.h"

extern int nDownloadChannel;  // what the wait window shows (wait_wnd.cpp)

namespace {

// The wait window's private message: show the progress channel number.
constexpr UINT kWaitProgress = 0x301;
// Windows that never validate their update region would keep a paint
// message pending for ever; the pass over them is bounded.
constexpr int kPaintsPerChannel = 256;

}  // namespace

void ShowChannelDownloadProgress(int32_t channel) {
    if (hwndWait == nullptr) return;
    if (channel < 0) {
        ShowWindow(hwndWait, SW_HIDE);
        return;
    }
    // Not activated: a dialog that started the download keeps the focus.
    if (!IsWindowVisible(hwndWait)) ShowWindow(hwndWait, SW_SHOWNOACTIVATE);
    nDownloadChannel = channel;
    SendMessageA(hwndWait, kWaitProgress, 0, 0);
    // Only paint messages: input or commands taken now would start other
    // work in the middle of the download.
    MSG msg;
    for (int i = 0; i < kPaintsPerChannel && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        DispatchMessageA(&msg);
}
