// Control ids of the display properties dialogs and the display commands the
// frame forwards to the active display.  Plain macros so windres reads them.
#pragma once

#define IDM_DISPLAY_PROPERTIES 203
#define IDM_DISPLAY_FONTS 204
#define IDM_GRAPH_INVALIDATE 14

// SCOPEDLG
#define IDC_SCOPE_CHANNEL 3001
#define IDC_SCOPE_TITLE 3002
#define IDC_SCOPE_YSCALE 3003
#define IDC_SCOPE_DECIMATION 3004
#define IDC_SCOPE_OSCILLOSCOPE 3005
#define IDC_SCOPE_SPECTRUM 3006
#define IDC_SCOPE_WINDOWED 3007

// TABDLG and BARDLG share the list controls
#define IDC_DISP_AVAILABLE 3101
#define IDC_DISP_SELECTED 3102
#define IDC_DISP_ADD 3103
#define IDC_DISP_REMOVE 3104
#define IDC_DISP_TITLE 3105
#define IDC_DISP_PRIORITY 3106
#define IDC_DISP_PRIORITY_SPIN 3107
#define IDC_TAB_DECIMAL 3110
#define IDC_TAB_HEX 3111
#define IDC_TAB_OCTAL 3112
#define IDC_TAB_BINARY 3113
#define IDC_TAB_FITWIDTH 3114
#define IDC_TAB_FITHEIGHT 3115
#define IDC_TAB_HIDERAW 3116
#define IDC_TAB_HIDEEU 3117
#define IDC_BAR_FROM 3120
#define IDC_BAR_TO 3121
#define IDC_BAR_COLOR 3122
#define IDC_BAR_AUTOMATIC 3123
