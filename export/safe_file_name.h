// Channel names become export file names.  A name comes from the test
// database and may hold anything; the file it names must stay in the test's
// folder and must be an ordinary file.
#pragma once

#include <cstdint>
#include <string>

// `name` made safe as a file name (without extension) on Windows and Linux:
// separators, drive colons, wildcards, quotes, pipes and control characters
// become "_", as do trailing dots and blanks (so ".." becomes "__"); a
// reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, in any case and
// with any extension) gets a leading "_".  An empty name becomes
// "Channel<channel>".
std::string SafeFileName(const std::string& name, int32_t channel);

// The folder part of `testPath` up to and including its last separator ("\",
// "/" or a drive's ":"); "" when it has none.
std::string TestFolder(const char* testPath);
