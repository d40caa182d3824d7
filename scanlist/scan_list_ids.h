// Control ids of the two scan list dialogs, shared by the resource script and
// the dialog procedures.  Plain macros so that windres can read them too.
#pragma once

// NEWSCANTABLE (ProgrammableScanListDlg)
#define IDC_PSL_CHANNELS 3001
#define IDC_PSL_TREE 3002
#define IDC_PSL_RATE 3003
#define IDC_PSL_ACTUAL 3004
#define IDC_PSL_MAKE 3005
#define IDC_PSL_DOWNLOAD 3006
#define IDC_PSL_EXIT 3007

// SECONDARYSCANLIST (SecondaryScanDlg)
#define IDC_SSL_SCANTREE 3101
#define IDC_SSL_SYSTREE 3102
#define IDC_SSL_RATES 3103
#define IDC_SSL_MAXRATE 3104
#define IDC_SSL_ADD 3105
#define IDC_SSL_REMOVE 3106
#define IDC_SSL_CLEAR 3107
#define IDC_SSL_SAVEEXIT 3108
#define IDC_SSL_DOWNLOAD 3109
