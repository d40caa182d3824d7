// Portable: the text window's pages (16 channels each) and the values it
// precomputes for every channel.
#pragma once

#include <cstdint>

constexpr int32_t kTextPages = 16;
constexpr int32_t kTextChannelsPerPage = 16;

// The page after `page`: 1 follows 16; a page outside 1-16 starts again at 1.
int32_t NextTextPage(int32_t page);

// First channel shown on `page` (1-16).
int32_t FirstChannelOfTextPage(int32_t page);

// The engineering values of 9900 / G and 8000 / G millivolts of channel `c`
// (x SENSITIVITY + OFFSET, G its GAIN; a gain that is not positive or not
// finite counts as 1).  False for a channel outside 0-255 or without a model.
bool TextWindowValues(int32_t c, double* at9900, double* at8000);
