#include "acquire/run_and_point.h"

#include <cstring>

#include "acquire/engine.h"
#include "platform/platform.h"
#include "testmodel/system_settings.h"

namespace {

PlatformSerial g_com2 = 0;
char g_partial[128];
uint32_t g_partialLength = 0;

void DropInput() {
    uint8_t byte;
    while (PlatformSerialQueued(g_com2) > 0 && PlatformSerialReadByte(g_com2, &byte)) {
    }
    g_partialLength = 0;
}

}  // namespace

int32_t OpenCom2(bool report) {
    if (g_com2 != 0) return 1;
    g_com2 = PlatformSerialOpen("COM2", static_cast<uint32_t>(nCom2BaudRate));
    g_partialLength = 0;
    if (g_com2 != 0) return 1;
    if (report) PlatformMessageBox("Could Not Open COM2", "COM2 Open Failure", MB_OK_);
    return 0;
}

bool Com2IsOpen() { return g_com2 != 0; }

void CloseCom2() {
    if (g_com2 != 0) PlatformSerialClose(g_com2);
    g_com2 = 0;
    g_partialLength = 0;
}

int32_t ReadRunAndPoint() {
    if (g_com2 == 0) return 0;
    int32_t queued = PlatformSerialQueued(g_com2);
    if (queued <= 0) return 0;
    if (queued >= 128) {
        // More than a line's worth: the sender is not sending run numbers.
        DropInput();
        return 0;
    }
    while (queued-- > 0) {
        uint8_t byte;
        if (!PlatformSerialReadByte(g_com2, &byte)) return 0;
        if (byte == '\r') {
            const uint32_t length = g_partialLength;
            g_partialLength = 0;
            if (length == 0) continue;
            memcpy(szRunAndPoint, g_partial, length);
            szRunAndPoint[length] = '\0';
            return 1;
        }
        // A line feed after the carriage return belongs to the line before.
        if (byte == '\n' && g_partialLength == 0) continue;
        if (g_partialLength >= sizeof g_partial - 1) {
            DropInput();
            return 0;
        }
        g_partial[g_partialLength++] = static_cast<char>(byte);
    }
    return 0;
}
