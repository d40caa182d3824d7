// Win32: the channel dialogs.  Each frame command opens its dialog modally
// over `owner`; the rules they call live in channel_rules.h, five_b_rules.h
// and hardware/channel_download.h.
#pragma once

#include <windows.h>

#include <cstdint>

INT_PTR CALLBACK ChannelParametersDlg(HWND, UINT, WPARAM, LPARAM);  // CHANNELPARAMS
INT_PTR CALLBACK UICloneChannelsDlg(HWND, UINT, WPARAM, LPARAM);    // CLONE_CHANNELS
INT_PTR CALLBACK FiveBDlg(HWND, UINT, WPARAM, LPARAM);              // 5BSETUP
INT_PTR CALLBACK GetChannelSettingsDlg(HWND, UINT, WPARAM, LPARAM);  // UPLOADCHANNEL
INT_PTR CALLBACK VerifySettingsDlg(HWND, UINT, WPARAM, LPARAM);      // VERIFYHARDWARE

void OpenChannelParameters(HWND owner);
void OpenChannelReadback(HWND owner);
void OpenVerifyHardware(HWND owner);
// Menu "Download Channel Settings": the scanned channels; a success counts
// as the parameters downloaded.
void DownloadChannelsCommand();
// Menu "Set DAC Filters": the DAC outputs' settings from mtstest.ini, then
// the filter of every enabled output.
void DacFiltersCommand();
// The module window (class "FiveBChild"): the 16 module values of the first
// 5B channel, stepping to the next on a left click or the timing message.
// Opens it, or brings the open one to the front; null without the frame.
LRESULT CALLBACK ScaleText5BWndProc(HWND, UINT, WPARAM, LPARAM);
HWND OpenFiveBWindow();
// The download progress of the wait window (SetChannelDownloadProgress):
// shows the window with "Downloading Channel %d" and lets the program's
// windows repaint; -1 hides it.
void ShowChannelDownloadProgress(int32_t channel);
