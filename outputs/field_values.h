// Whole numbers typed into the output dialogs.
#pragma once

#include <cstdint>
#include <string>

// Reads `text` as a decimal whole number (optional sign, surrounding blanks
// allowed, nothing else) within [low, high] into *value.  On anything else
// returns false, leaves *value alone and, when `message` is given, puts there
// "<what> Must Be A Whole Number From <low> To <high><unit>".
bool ParseWholeNumber(const char* text, int32_t low, int32_t high, const char* what, const char* unit,
                      int32_t* value, std::string* message);
