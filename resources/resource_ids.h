// Ids of resources that are not menu commands.
#pragma once

#define IDC_WAIT_PLEASE 10
#define IDC_WAIT_STATUS 11
#define IDC_ACK_PROCEED 9
#define IDC_TOOLCURSOR_AMPS 133
#define IDC_TOOLCURSOR_DDS 134
