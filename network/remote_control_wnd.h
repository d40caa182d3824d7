// Win32: the frame's remote-control and network commands (Setup, Test,
// Open & Connect, Close, ReConnect, Connect To Server, Disconnect From Server,
// Server Information), the start-up of the network services, and the dialogs
// PIPESETUP and SERVERINFO.
#pragma once

#include <windows.h>

// Carries out command `id` when it is one of these; false for any other.
bool RemoteControlCommand(HWND frame, int id);

// Start-up: network names to their defaults; a serving station opens its
// server mailslots, a client station creates its client mailslots.
void StartNetworkServices();

INT_PTR CALLBACK NamedPipeDlg(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK SetupServerInfoDlg(HWND, UINT, WPARAM, LPARAM);
