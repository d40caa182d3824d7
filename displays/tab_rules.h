// Portable: the tabular display's state and computation: its screen record,
// the colour of a value against the channel's alarm and warning limits, the
// raw word in each radix, the rows that fit, and the parameter list edits of
// its properties dialog.
#pragma once

#include <cstddef>
#include <cstdint>

#include "displays/display_state.h"
#include "displays/screen_file.h"

constexpr int32_t kTabMaxParameters = 255;
constexpr int32_t kTabListSlots = 512;

enum TabRadix : int32_t { kRadixDecimal = 0, kRadixHex = 1, kRadixOctal = 2, kRadixBinary = 3 };

struct TabState {
    int32_t Count;
    int32_t Width, Height;
    int32_t Parameters[kTabListSlots];
    int32_t Priority;
    int32_t Countdown;
    int32_t FirstRow, GreatestFirstRow, RowsShown;
    int32_t Measured;
    int32_t NameWidth, UnitsWidth, RawWidth, EuWidth;
    int32_t Radix;
    int32_t FitWidth, FitHeight;
    char Title[kDisplayTitleSize];
    int32_t ScaleFont;
    uint32_t TextColour;
    DisplayFont Font;
    int32_t HideRaw, HideEu;
    ScanReplay Replay;
};

// Defaults of a menu-created table: priority 1, channels 0-19, both fits on.
void TabDefaults(TabState* s);
// Reads a record's own fields; the count is held to 0-255 and channels
// outside 0-255 are dropped.
void TabReadCreation(TabState* s, const char* text);
int32_t TabFormatRecord(const TabState& s, char* out, size_t size);

// Colour of value v of channel c (CVT limits; a pair of equal limits is off).
uint32_t TabValueColour(int32_t channel, float value, uint32_t textColour);

// The raw word in the table's radix: "%d" of the word, or its 16 bits as
// "%X", "%o" or 16 binary digits.
void FormatRawWord(int32_t raw, int32_t radix, char* out, size_t size);

// Recomputes first row, greatest first row and rows shown for a line height
// (at least 1 pixel counts).
void TabComputeRows(TabState* s, int32_t lineHeight);
// Rows actually drawn: one fewer when the first row is the greatest.
int32_t TabRowsDrawn(const TabState& s);

// Adding parameters in the properties dialog.
enum class AddResult { Added, NoSelection, Full, Declined };
// Appends the selected channels (in selection order) to list/count, at most
// `limit` in all.  `askTakeSome` is asked when not all fit; answering no adds
// nothing.  `fullAbove`: a count above it is already full.
AddResult AddSelectedChannels(int32_t* list, int32_t* count, int32_t limit, int32_t fullAbove,
                              const int32_t* selected, int32_t selectedCount,
                              bool (*askTakeSome)(void* context), void* context);
// Removes the entries at the selected indexes, keeping the order of the rest.
// Returns the index to select afterwards (same position, or the one before),
// -1 when nothing was selected.
int32_t RemoveSelectedEntries(int32_t* list, int32_t* count, const int32_t* selectedIndexes,
                              int32_t selectedCount);

// A typed priority or number field: 1 valid (value set), 0 empty, -1 with
// characters other than digits, "+" and "-".
int32_t ParsePriorityText(const char* text, int32_t* value);
