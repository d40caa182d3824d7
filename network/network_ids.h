// Control ids of the network dialogs (read by windres too).
#pragma once

#define IDC_PS_TALK 4700
#define IDC_PS_LISTEN 4701
#define IDC_PS_ERROR 4702
#define IDC_PS_DATA 4703
#define IDC_SI_SERVER 4710
