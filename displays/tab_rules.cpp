// Portable: the tabular display's computation.
#include "displays/tab_rules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "displays/display_fields.h"
#include "testmodel/model.h"

void TabDefaults(TabState* s) {
    memset(s, 0, sizeof *s);
    s->Priority = s->Countdown = 1;
    s->Count = 20;
    for (int32_t i = 0; i < s->Count; ++i) s->Parameters[i] = i;
    s->FitWidth = s->FitHeight = 1;
    DefaultDisplayFont(&s->Font);
    s->Replay.Restart = 1;
}

void TabReadCreation(TabState* s, const char* text) {
    size_t pos = 0;
    s->Priority = ReadIntField(text, &pos);
    s->Countdown = s->Priority;
    int32_t count = ReadIntField(text, &pos);
    if (count < 0) count = 0;
    if (count > kTabMaxParameters) count = kTabMaxParameters;
    s->Radix = ReadIntField(text, &pos);
    if (s->Radix < kRadixDecimal || s->Radix > kRadixBinary) s->Radix = kRadixDecimal;
    s->Count = 0;
    for (int32_t i = 0; i < count; ++i) {
        int32_t c = ReadIntField(text, &pos);
        if (c >= 0 && c < kChannels) s->Parameters[s->Count++] = c;
    }
    s->FitWidth = ReadIntField(text, &pos) != 0;
    s->FitHeight = ReadIntField(text, &pos) != 0;
    ReadFontFields(text, &pos, &s->Font);
    s->ScaleFont = ReadIntField(text, &pos) != 0;
    s->TextColour = ReadUIntField(text, &pos) & 0x00FFFFFFu;
    s->HideRaw = ReadIntField(text, &pos) != 0;
    s->HideEu = ReadIntField(text, &pos) != 0;
}

int32_t TabFormatRecord(const TabState& s, char* out, size_t size) {
    size_t n = 0;
    auto put = [&](const char* fmt, auto... args) {
        if (n >= size) return;
        int w = snprintf(out + n, size - n, fmt, args...);
        if (w > 0) n += static_cast<size_t>(w);
        if (n >= size) n = size - 1;
    };
    put(",%d,%d,%d", s.Priority, s.Count, s.Radix);
    for (int32_t i = 0; i < s.Count && i < kTabListSlots; ++i) put(",%d", s.Parameters[i]);
    char font[96];
    FormatFontFields(s.Font, font, sizeof font);
    put(",%d,%d,%s,%d,%u", s.FitWidth, s.FitHeight, font, s.ScaleFont,
        static_cast<unsigned>(s.TextColour));
    put(",%d,%d", s.HideRaw, s.HideEu);
    return static_cast<int32_t>(n);
}

uint32_t TabValueColour(int32_t c, float v, uint32_t textColour) {
    if (lpCVT == nullptr || c < 0 || c >= kChannels) return textColour;
    const CVT& t = *lpCVT;
    const bool alarmOn = t.AlarmBelow[c] != t.AlarmAbove[c];
    const bool warningOn = t.WarningBelow[c] != t.WarningAbove[c];
    const bool outsideWarning = v < static_cast<float>(t.WarningBelow[c]) ||
                                v > static_cast<float>(t.WarningAbove[c]);
    if (alarmOn) {
        if (v < static_cast<float>(t.AlarmBelow[c]) || v > static_cast<float>(t.AlarmAbove[c]))
            return t.AlarmColor[c];
        if (!warningOn) return textColour;
    } else if (!warningOn) {
        return t.NormalColor[c];
    }
    return outsideWarning ? t.WarningColor[c] : t.NormalColor[c];
}

void FormatRawWord(int32_t raw, int32_t radix, char* out, size_t size) {
    // The raw word is a 16-bit sample: hex, octal and binary show its 16
    // bits (a negative word as "CFA8", not as a 32-bit "FFFFCFA8" that would
    // not fit its column).
    const unsigned word = static_cast<unsigned>(raw) & 0xFFFFu;
    switch (radix) {
    case kRadixHex:
        snprintf(out, size, "%X", word);
        break;
    case kRadixOctal:
        snprintf(out, size, "%o", word);
        break;
    case kRadixBinary: {
        char bits[17];
        for (int32_t i = 0; i < 16; ++i) bits[i] = (raw >> (15 - i)) & 1 ? '1' : '0';
        bits[16] = '\0';
        snprintf(out, size, "%s", bits);
        break;
    }
    default:
        snprintf(out, size, "%d", static_cast<int>(raw));
        break;
    }
}

void TabComputeRows(TabState* s, int32_t lineHeight) {
    if (lineHeight < 1) lineHeight = 1;
    int32_t rows = s->FitHeight ? s->Count + 1 : s->Height / lineHeight + 1;
    if (rows <= s->Count) {
        if (s->Count - rows < s->FirstRow) s->FirstRow = s->Count - rows + 1;
        s->GreatestFirstRow = s->Count - rows + 1;
        s->RowsShown = rows;
    } else {
        s->FirstRow = 0;
        s->RowsShown = s->Count;
        s->GreatestFirstRow = 0;
    }
}

int32_t TabRowsDrawn(const TabState& s) {
    int32_t rows = s.RowsShown;
    if (s.FirstRow == s.GreatestFirstRow && s.GreatestFirstRow > 0) --rows;
    if (rows > s.Count - s.FirstRow) rows = s.Count - s.FirstRow;
    return rows < 0 ? 0 : rows;
}

AddResult AddSelectedChannels(int32_t* list, int32_t* count, int32_t limit, int32_t fullAbove,
                              const int32_t* selected, int32_t selectedCount,
                              bool (*askTakeSome)(void* context), void* context) {
    if (selectedCount <= 0) return AddResult::NoSelection;
    if (*count > fullAbove) return AddResult::Full;
    int32_t take = selectedCount;
    if (*count + selectedCount > limit) {
        if (!askTakeSome(context)) return AddResult::Declined;
        take = limit - *count;
    }
    for (int32_t i = 0; i < take && *count < limit; ++i) {
        int32_t c = selected[i];
        if (c >= 0 && c < kChannels) list[(*count)++] = c;
    }
    return AddResult::Added;
}

int32_t RemoveSelectedEntries(int32_t* list, int32_t* count, const int32_t* selectedIndexes,
                              int32_t selectedCount) {
    if (selectedCount <= 0) return -1;
    bool drop[kTabListSlots] = {};
    int32_t firstSelected = *count;
    for (int32_t i = 0; i < selectedCount; ++i) {
        int32_t k = selectedIndexes[i];
        if (k >= 0 && k < *count && k < kTabListSlots) {
            drop[k] = true;
            if (k < firstSelected) firstSelected = k;
        }
    }
    int32_t kept = 0;
    for (int32_t i = 0; i < *count; ++i)
        if (!drop[i]) list[kept++] = list[i];
    *count = kept;
    if (kept == 0) return -1;
    return firstSelected < kept ? firstSelected : kept - 1;
}

int32_t ParsePriorityText(const char* text, int32_t* value) {
    if (text == nullptr || text[0] == '\0') return 0;
    for (const char* p = text; *p; ++p)
        if (!((*p >= '0' && *p <= '9') || *p == '+' || *p == '-')) return -1;
    long v = strtol(text, nullptr, 10);
    if (v > 1000000) v = 1000000;
    if (v < -1000000) v = -1000000;
    *value = static_cast<int32_t>(v);
    return 1;
}
