// Portable: what the batch print of a recording puts on paper.  Every
// scanned channel becomes one strip chart, three strips per page, its trace
// decimated from the whole raw file (the quick-plot points) and scaled to
// engineering units.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t kStripsPerPage = 3;

struct StripBox {
    int32_t left, top, right, bottom;
};

// Strip `i` (0-2) on a page of printable width `w` and height `h` (device
// units): strips S = h / 4 high from 10 % to 90 % of the width, starting near
// 5 %, 35 % and 65 % of the height.
StripBox BatchStripBox(int32_t w, int32_t h, int32_t i);

// Pages for `channels` strips; 0 when there is nothing to print.
int32_t BatchPrintPages(int32_t channels);

// The full-scale value of channel `c` in engineering units:
// trunc(SENSITIVITY x trunc(10000 / g)), g its effective gain (one that is not
// positive or not finite counts as 1).  A full scale of 0 counts as 1, so the
// strip always has a height.
int32_t BatchFullScale(int32_t c);

// A raw sample `v` of channel `c` in engineering units as the strip draws it:
// millivolts at the converter (12- or 16-bit card), divided by g, times the
// sensitivity, plus the offset, each step truncated.
int32_t BatchPointValue(int32_t c, int32_t v);

// The labels above and below a strip.
std::string BatchTopLabel(int32_t c);
std::string BatchBottomLabel(int32_t c);
