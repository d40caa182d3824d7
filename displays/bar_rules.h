// Portable: the bar display's state and computation: its screen record, the
// decade factors, the layout of up to 96 bars in rows of 16, a value's
// height on its bar, the fill colour against the limits, and the scale fixes
// of its properties dialog.
#pragma once

#include <cstddef>
#include <cstdint>

#include "displays/display_state.h"
#include "displays/screen_file.h"

constexpr int32_t kBarMax = 96;
constexpr int32_t kBarSlots = 97;

struct BarRect {
    int32_t Left, Top, Right, Bottom;
};

struct BarState {
    int32_t Count;
    int32_t Channels[kBarSlots];
    float Minimum[kBarSlots];
    float Maximum[kBarSlots];
    uint32_t Colour[kBarSlots];
    int32_t Width, Height;
    float LastValue[kBarSlots];
    int32_t Priority, Countdown;
    float Decade[kBarSlots];
    int32_t Layout1, Layout2;
    char Title[kDisplayTitleSize];
    int32_t AutoTextSize;
    DisplayFont Font;
    BarRect Rect[kBarSlots];
    ScanReplay Replay;
};

// The channel's full-range scale: -10000 / G .. +10000 / G.
void BarFullRange(int32_t channel, float* minimum, float* maximum);
// Defaults of a menu-created bar display: one bar on channel 0.
void BarDefaults(BarState* s);
// Reads a record's own fields; the count is held to 0-96, channels outside
// 0-255 become 0 and scales that are not usable get the full range.
void BarReadCreation(BarState* s, const char* text);
int32_t BarFormatRecord(const BarState& s, char* out, size_t size);

// Decade factor of a scale (a power of ten that brings the span to
// 1000-10000); 1 for an empty or unusable span.
float BarDecadeFactor(float minimum, float maximum);
void BarComputeDecades(BarState* s);

// Lays the bars out in a client area of W x H (fills Rect).
void BarLayout(BarState* s, int32_t width, int32_t height);
// Font size with automatic text size: height H / 15, width W / 20 / count.
void BarAutoFontSize(const BarState& s, int32_t* height, int32_t* width);

// The y pixel of value v on bar i (minimum at the bottom edge, maximum at
// the top), clamped to the bar.
int32_t BarValueY(const BarState& s, int32_t i, float v);
// The base line and the end of the filled part of bar i for value v.
void BarFillSpan(const BarState& s, int32_t i, float v, int32_t* base, int32_t* end);
// Fill colour of bar i for value v (equal limits are not switched off here).
uint32_t BarFillColour(const BarState& s, int32_t i, float v);
// The bar whose rectangle strictly contains (x, y), or -1.
int32_t BarHit(const BarState& s, int32_t x, int32_t y);

// OK of the properties dialog: a minimum above its maximum is swapped, equal
// (or unusable) ones get the channel's full range.
void BarFixScales(BarState* s);
// Resets every bar to its channel's full range and normal colour (change).
void BarResetScales(BarState* s);
