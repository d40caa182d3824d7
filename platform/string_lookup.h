// The application's string table for ports without resources.
#pragma once
#include <cstdint>

// Text of string `id`, or nullptr when the table has none.
const char* StringTableText(uint32_t id);
