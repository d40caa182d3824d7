// Portable: reading and writing screen files.
#include "displays/screen_file.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "displays/display_fields.h"

namespace {

const DisplayType kDisplayTypes[] = {
    {"TABULAR", "TabChild", true},       {"OSCOPE", "OscopeChild", true},
    {"BAR", "BarChild", true},           {"MAP", "MapChild", false},
    {"DIAL", "DialChild", false},        {"LINE", "LineChild", false},
    {"FLIGHT", "FlightChild", false},    {"HEADING", "HeadingChild", false},
    {"HORIZON", "HorizonChild", false},  {"ALTITUDE", "AltitudeChild", false},
    {"QUALITY", "QualityChild", false},  {"ALARM", "AlarmChild", false},
    {"STRIP", "StripChild", false},      {"CALIBRATE", "CalChild", false},
    {"CUSTOM", "CustomChild", false},    {"FREQUENCY", "FreqChild", false},
    {"FILTER", "FilterChild", false},    {"TEXT", "TextChild", false},
    {"SNAPSHOT", "SnapChild", false},    {"HISTORY", "HistChild", false},
    {"LOGGER", "LoggerChild", false},    {"XY", "XYChild", false},
};

}  // namespace

const DisplayType* FindDisplayType(const char* keyword) {
    for (const DisplayType& t : kDisplayTypes)
        if (strcmp(t.Keyword, keyword) == 0) return &t;
    return nullptr;
}

int32_t ParseScreenRecord(const char* line, ScreenRecord* record) {
    size_t pos = 0;
    char keyword[16];
    ReadStringField(line, &pos, keyword, sizeof keyword);
    const DisplayType* type = FindDisplayType(keyword);
    if (type == nullptr) return 0;
    record->Type = type;
    record->X = ReadIntField(line, &pos);
    record->Y = ReadIntField(line, &pos);
    record->Width = ReadIntField(line, &pos);
    record->Height = ReadIntField(line, &pos);
    ReadStringField(line, &pos, record->Title, sizeof record->Title);
    ReadRestField(line, &pos, '\r', record->Creation, sizeof record->Creation);
    return 1;
}

int32_t ParseScreenText(const uint8_t* data, size_t size, ScreenRecordSink each, void* context) {
    static ScreenRecord record;  // 8 KB: kept off the stack of the window procedure
    char line[kScreenRecordMax + 1];
    int32_t count = 0;
    size_t at = 0;
    while (at < size) {
        // The line: up to CR or LF, at most the record limit.
        size_t n = 0;
        bool cut = false;
        while (at + n < size && data[at + n] != '\r' && data[at + n] != '\n') {
            if (n == kScreenRecordMax) {
                cut = true;
                break;
            }
            ++n;
        }
        memcpy(line, data + at, n);
        line[n] = '\0';  // an embedded NUL ends the line's text earlier
        at += n;
        if (cut)
            while (at < size && data[at] != '\r' && data[at] != '\n') ++at;
        if (at < size && data[at] == '\r') ++at;
        if (at < size && data[at] == '\n') ++at;
        if (ParseScreenRecord(line, &record)) {
            each(record, context);
            ++count;
        }
    }
    return count;
}

ScreenLoad LoadScreenFile(const char* path, ScreenRecordSink each, void* context) {
    FILE* f = fopen(path, "rb");
    if (f == nullptr) return ScreenLoad::OpenFailed;
    std::vector<uint8_t> data;
    uint8_t chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + got);
    bool failed = ferror(f) != 0;
    fclose(f);
    if (failed || data.empty()) return ScreenLoad::ReadError;
    ParseScreenText(data.data(), data.size(), each, context);
    return ScreenLoad::Loaded;
}

int32_t FormatScreenPrefix(const char* keyword, int32_t x, int32_t y, int32_t width,
                           int32_t height, const char* title, char* out, size_t size) {
    char safeTitle[kDisplayTitleSize];
    CopyFieldText(title, safeTitle, sizeof safeTitle);
    int n = snprintf(out, size, "%s,%d,%d,%d,%d,%s", keyword, static_cast<int>(x),
                     static_cast<int>(y), static_cast<int>(width), static_cast<int>(height), safeTitle);
    if (n < 0) return 0;
    return static_cast<size_t>(n) < size ? n : static_cast<int32_t>(size ? size - 1 : 0);
}

ScreenAppend AppendScreenRecord(const char* path, const char* record) {
    FILE* f = fopen(path, "r+b");
    if (f == nullptr) return ScreenAppend::OpenFailed;
    if (fseek(f, 0, SEEK_END) != 0) {
        fclose(f);
        return ScreenAppend::SeekFailed;
    }
    size_t n = strlen(record);
    bool ok = fwrite(record, 1, n, f) == n && fwrite("\r\n", 1, 2, f) == 2;
    if (fclose(f) != 0) ok = false;
    return ok ? ScreenAppend::Written : ScreenAppend::WriteFailed;
}
