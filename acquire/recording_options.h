// The rules behind the panel's option dialogs: recording options, replay
// speed and the COM2 line settings.
#pragma once

#include <cstdint>

// Seconds typed in the recording options: a decimal number truncated toward
// zero, kept within 0 .. INT32_MAX; text that is no number gives 0.
int32_t ParseRecordSeconds(const char* text);

// OK of the recording options: a mode left at -1 becomes 0 with its message;
// the modes, seconds, append and COM2 flags are stored and the scan map is
// rebuilt.  Returns the panel caption to show.
const char* ConfirmRecordingOptions(int32_t triggerMode, int32_t stopMode, int32_t seconds,
                                    bool append, bool com2RunAndPoint);

// Replay delay typed in the replay speed dialog, kept within 0-1000 ms.
uint32_t ParseReplayDelay(const char* text);

// The COM2 dialog's choices.
constexpr int32_t kCom2BaudRates[] = {1200, 2400, 4800, 9600, 19200};
// Index of the configured baud rate in kCom2BaudRates (9600 when not listed).
int32_t Com2BaudIndex(int32_t baud);
// Stores the dialog's selections (data bits as index + 4).
void StoreCom2Settings(int32_t baudIndex, int32_t dataBitsIndex, int32_t parity,
                       int32_t stopBits, int32_t flowControl);
