// Scheduled serial input: what a device on a serial line sends and when.
// One line per delivery, "<seconds> <text>": the time on the clock of whoever
// plays the script, one blank, then the text up to the end of the line with
// the escapes \r \n \t \\ and \xHH (two hex digits).  Blank lines and lines
// that start with '#' are skipped; times must not go back.  Example:
//     2.5 R12 P3\r
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct SerialDelivery {
    double at;          // seconds
    std::string bytes;  // after the escapes
};

// Parses a script.  On an error returns false with "line <n>: <reason>" in
// `error` and `out` empty.
bool ParseSerialScript(const char* text, size_t length, std::vector<SerialDelivery>& out,
                       std::string& error);
