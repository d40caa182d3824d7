// Control ids of the Prepare Quick Plots dialog (read by windres too).
#pragma once

#define IDC_QP_TEXT 3101
#define IDC_QP_PROGRESS 3102
