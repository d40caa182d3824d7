// Private-profile (INI) semantics over the text of one file, shared by the
// ports that keep such files themselves (posix on disk, fake in memory) so that
// both read and write exactly as the Win32 service does.
#pragma once

#include <cstdint>
#include <string>

// Looks `key` up in `section` of the file text; returns false when either is
// missing.  The value comes back with blanks around it and one pair of
// matching quotes removed.
bool ProfileTextFind(const std::string& text, const char* section, const char* key,
                     std::string* value);

// The GetPrivateProfileString contract over already-loaded text (`text` null =
// no such file).
uint32_t ProfileTextGet(const std::string* text, const char* section, const char* key,
                        const char* def, char* buf, uint32_t size);

// Applies one WritePrivateProfileString to the file text.
void ProfileTextWrite(std::string* text, const char* section, const char* key,
                      const char* value);
