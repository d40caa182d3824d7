// The run-and-point text on COM2: a line such as "R12 P3" ended by a carriage
// return that labels the next recording.  Reading never waits: only bytes
// already queued are taken, and a line that is still arriving is kept until
// its carriage return comes.
#pragma once

#include <cstdint>

// Opens COM2 at the configured baud rate (8 data bits, no parity, one stop
// bit).  1 on success; 0 with "Could Not Open COM2" shown when `report`.
int32_t OpenCom2(bool report);
bool Com2IsOpen();
void CloseCom2();

// Takes the queued bytes; when they complete a line of 1-127 characters it
// becomes szRunAndPoint and the result is 1.  0 when no complete line is
// there yet (nothing changes), or when the queue or the line overflowed (the
// input is then dropped, so the next line starts clean).
int32_t ReadRunAndPoint();
