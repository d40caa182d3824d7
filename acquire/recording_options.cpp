#include "acquire/recording_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "platform/platform.h"
#include "shell/shell_rules.h"
#include "testmodel/system_settings.h"

namespace {

double ParseNumber(const char* text) {
    char field[128];
    strncpy(field, text ? text : "", sizeof field - 1);
    field[sizeof field - 1] = '\0';
    char* end = nullptr;
    const double v = strtod(field, &end);
    if (end == field || !std::isfinite(v)) return 0.0;
    return v;
}

}  // namespace

int32_t ParseRecordSeconds(const char* text) {
    const double v = std::trunc(ParseNumber(text));
    if (v <= 0.0) return 0;
    if (v >= 2147483647.0) return 2147483647;
    return static_cast<int32_t>(v);
}

const char* ConfirmRecordingOptions(int32_t triggerMode, int32_t stopMode, int32_t seconds,
                                    bool append, bool com2RunAndPoint) {
    if (stopMode < 0 || stopMode > 5) {
        PlatformMessageBox("You Did Not Specify A Recording Style",
                           "Setting Recording Style To: Record Until Control Panel Stop", MB_OK_);
        stopMode = 0;
    }
    if (triggerMode < 0 || triggerMode > 6) {
        PlatformMessageBox("You Did Not Specify A Trigger Option",
                           "Setting Trigger Option To: Trigger Via Control Panel", MB_OK_);
        triggerMode = 0;
    }
    nTriggerState = triggerMode;
    nRecordingType = stopMode;
    nRecordingTime = seconds < 0 ? 0 : seconds;
    bAppendMode = append;
    bCom2RunAndPoint = com2RunAndPoint;
    BuildScanMap();
    return PanelCaption();
}

uint32_t ParseReplayDelay(const char* text) {
    const double v = std::trunc(ParseNumber(text));
    if (v <= 0.0) return 0;
    if (v >= 1000.0) return 1000;
    return static_cast<uint32_t>(v);
}

int32_t Com2BaudIndex(int32_t baud) {
    for (int32_t i = 0; i < 5; ++i)
        if (kCom2BaudRates[i] == baud) return i;
    return 3;
}

void StoreCom2Settings(int32_t baudIndex, int32_t dataBitsIndex, int32_t parity,
                       int32_t stopBits, int32_t flowControl) {
    if (baudIndex >= 0 && baudIndex < 5) nCom2BaudRate = kCom2BaudRates[baudIndex];
    if (dataBitsIndex >= 0 && dataBitsIndex <= 4) nCom2DataBits = dataBitsIndex + 4;
    if (parity >= 0 && parity <= 4) nCom2Parity = parity;
    if (stopBits >= 0 && stopBits <= 2) nCom2StopBits = stopBits;
    if (flowControl >= 0 && flowControl <= 2) nCom2FlowControl = flowControl;
}
