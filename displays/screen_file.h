// Portable: screen files (".dsw"), the saved arrangement of displays.  One
// text record per display: keyword, the window rectangle in MDI-client
// coordinates, the title, then the display's own fields.  Reading is bounded
// everywhere: a damaged or hostile file yields skipped records or clamped
// values, never an overrun.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest record read, line end included.  Larger than any record a display
// writes (a bar display of 96 bars needs about 4 KB), so every saved record
// comes back whole; anything longer is cut here and the rest of its line is
// skipped.
constexpr size_t kScreenRecordMax = 8192;
constexpr size_t kDisplayTitleSize = 64;  // 63 characters and the terminator

struct DisplayType {
    const char* Keyword;
    const char* ClassName;
    bool Created;  // a registered class: the only ones that give a window
};
// The keyword's entry, or null for a keyword the table does not hold.
const DisplayType* FindDisplayType(const char* keyword);

struct ScreenRecord {
    const DisplayType* Type;
    int32_t X, Y, Width, Height;
    char Title[kDisplayTitleSize];
    char Creation[kScreenRecordMax];  // the display's own fields, unparsed
};

// Parses one record (the line without its line end).  Returns 1 for a known
// keyword, 0 for a line to skip.
int32_t ParseScreenRecord(const char* line, ScreenRecord* record);

// Calls `each` for every record of a keyword the table knows, in file
// order.  Lines end at CR LF, CR or LF; a line longer than the record limit is
// cut and the rest of it skipped; a NUL ends the usable part of a line.
// Returns the number of records passed on.
using ScreenRecordSink = void (*)(const ScreenRecord& record, void* context);
int32_t ParseScreenText(const uint8_t* data, size_t size, ScreenRecordSink each, void* context);

enum class ScreenLoad { Loaded, OpenFailed, ReadError };
// Reads a screen file and hands every known record to `each`.  OpenFailed
// when it cannot be opened, ReadError when it is empty or cannot be read.
ScreenLoad LoadScreenFile(const char* path, ScreenRecordSink each, void* context);

// The common start of a record: "KEYWORD,x,y,w,h,title" (the title with its
// separators blanked).  Returns the length written; the text is cut to
// `size` if need be.
int32_t FormatScreenPrefix(const char* keyword, int32_t x, int32_t y, int32_t width,
                           int32_t height, const char* title, char* out, size_t size);

enum class ScreenAppend { Written, OpenFailed, SeekFailed, WriteFailed };
// Appends one record (given without its line end) and CR LF to the screen
// file, which must exist (the frame creates it before the store broadcast).
ScreenAppend AppendScreenRecord(const char* path, const char* record);
