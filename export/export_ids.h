// Control ids of the export and data-tool dialogs, shared by the resource
// script and the dialog procedures.  Plain macros so that windres can read them.
#pragma once

// GENERATEASCII and GENERATEDADISP (GenerateAsciiDlg, GenerateDaDispDlg)
#define IDC_EXP_CHANNEL 8401
#define IDC_EXP_ONE 8402
#define IDC_EXP_ALL 8403

// WIZARDDIALOG (WizardDlg)
#define IDC_WIZ_FLAT 8411
#define IDC_WIZ_RAIL 8412
#define IDC_WIZ_NOISY 8413
#define IDC_WIZ_START 8414
#define IDC_WIZ_VIEW 8415
#define IDC_WIZ_EXIT 8416

// EDITDATAFILE (EditDataDlg)
#define IDC_EDIT_RUNS 8421
