// Control ids of the control panel's option dialogs.
#pragma once

// RECORDINGOPTIONS: trigger modes 0-6 and stop modes 0-5 are consecutive ids.
#define IDC_RO_TRIGGER0 3400
#define IDC_RO_STOP0 3410
#define IDC_RO_SECONDS 3420
#define IDC_RO_APPEND 3421
#define IDC_RO_COM2 3422

// REPLAYDELAY
#define IDC_RD_DELAY 3430

// COM2DLG
#define IDC_COM2_BAUD 3440
#define IDC_COM2_DATABITS 3441
#define IDC_COM2_PARITY 3442
#define IDC_COM2_STOPBITS 3443
#define IDC_COM2_FLOW 3444
