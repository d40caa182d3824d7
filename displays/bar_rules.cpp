// Portable: the bar display's computation.
#include "displays/bar_rules.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "displays/display_fields.h"
#include "testmodel/model.h"

namespace {

uint32_t NormalColour(int32_t channel) {
    return lpCVT != nullptr && channel >= 0 && channel < kChannels ? lpCVT->NormalColor[channel] : 0;
}

bool UsableScale(float minimum, float maximum) {
    return std::isfinite(minimum) && std::isfinite(maximum) && minimum != maximum;
}

// Fractions of the height of the top and bottom of each row, by row count.
const float kRowTop[6][6] = {
    {0.2f}, {0.1f, 0.6f}, {0.1f, 0.4f, 0.7f}, {0.1f, 0.35f, 0.6f, 0.8f},
    {0.05f, 0.25f, 0.45f, 0.65f, 0.85f}, {0.05f, 0.21f, 0.37f, 0.53f, 0.69f, 0.85f},
};
const float kRowBottom[6][6] = {
    {0.8f}, {0.4f, 0.9f}, {0.3f, 0.6f, 0.9f}, {0.25f, 0.5f, 0.75f, 0.95f},
    {0.15f, 0.35f, 0.55f, 0.75f, 0.95f}, {0.13f, 0.29f, 0.45f, 0.61f, 0.77f, 0.93f},
};

}  // namespace

void BarFullRange(int32_t channel, float* minimum, float* maximum) {
    double g = DisplayGain(channel);
    *minimum = static_cast<float>(-10000.0 / g);
    *maximum = static_cast<float>(10000.0 / g);
}

void BarDefaults(BarState* s) {
    memset(s, 0, sizeof *s);
    s->Priority = s->Countdown = 1;
    s->Count = 1;
    s->Channels[0] = 0;
    BarFullRange(0, &s->Minimum[0], &s->Maximum[0]);
    s->Colour[0] = NormalColour(0);
    s->Layout1 = 4;
    s->Layout2 = 1;
    s->AutoTextSize = 1;
    DefaultDisplayFont(&s->Font);
    s->Replay.Restart = 1;
}

void BarReadCreation(BarState* s, const char* text) {
    size_t pos = 0;
    s->Priority = ReadIntField(text, &pos);
    s->Countdown = s->Priority;
    int32_t count = ReadIntField(text, &pos);
    s->Count = count < 0 ? 0 : count > kBarMax ? kBarMax : count;
    s->Layout1 = ReadIntField(text, &pos);
    s->Layout2 = ReadIntField(text, &pos);
    for (int32_t i = 0; i < s->Count; ++i) {
        s->Channels[i] = ValidChannel(ReadIntField(text, &pos), 0);
        s->Minimum[i] = static_cast<float>(ReadDoubleField(text, &pos));
        s->Maximum[i] = static_cast<float>(ReadDoubleField(text, &pos));
        s->Colour[i] = ReadUIntField(text, &pos) & 0x00FFFFFFu;
        if (!UsableScale(s->Minimum[i], s->Maximum[i]))
            BarFullRange(s->Channels[i], &s->Minimum[i], &s->Maximum[i]);
    }
    ReadFontFields(text, &pos, &s->Font);
    s->AutoTextSize = ReadIntField(text, &pos) != 0;
}

int32_t BarFormatRecord(const BarState& s, char* out, size_t size) {
    size_t n = 0;
    auto put = [&](const char* fmt, auto... args) {
        if (n >= size) return;
        int w = snprintf(out + n, size - n, fmt, args...);
        if (w > 0) n += static_cast<size_t>(w);
        if (n >= size) n = size - 1;
    };
    put(",%d,%d,%d,%d,", s.Priority, s.Count, s.Layout1, s.Layout2);
    for (int32_t i = 0; i < s.Count && i < kBarMax; ++i)
        put("%d,%.3e,%.3e,%u,", s.Channels[i], static_cast<double>(s.Minimum[i]),
            static_cast<double>(s.Maximum[i]), static_cast<unsigned>(s.Colour[i]));
    char font[96];
    FormatFontFields(s.Font, font, sizeof font);
    put("%s,%d", font, s.AutoTextSize);
    return static_cast<int32_t>(n);
}

float BarDecadeFactor(float minimum, float maximum) {
    double span = static_cast<double>(maximum) - minimum;
    if (!std::isfinite(span)) return 1.0f;
    double r = std::trunc(std::fabs(span));
    double factor = 1.0;
    if (r == 0.0) return 1.0f;
    // Bounded: a span of any float size is brought into range in well under
    // 40 rounds each way.
    for (int32_t i = 0; i < 40 && r > 10000.0; ++i) {
        factor /= 10.0;
        r /= 10.0;
    }
    for (int32_t i = 0; i < 40 && r < 1000.0; ++i) {
        factor *= 10.0;
        r *= 10.0;
    }
    return static_cast<float>(factor);
}

void BarComputeDecades(BarState* s) {
    for (int32_t i = 0; i < s->Count; ++i) s->Decade[i] = BarDecadeFactor(s->Minimum[i], s->Maximum[i]);
}

void BarLayout(BarState* s, int32_t width, int32_t height) {
    s->Width = width;
    s->Height = height;
    if (s->Count <= 0) return;
    const int32_t margin = width / 30;
    const int32_t slot = s->Count < 17 ? width / s->Count : width / 16;
    const int32_t rows = (s->Count + 15) / 16;
    for (int32_t i = 0; i < s->Count; ++i) {
        int32_t c = i % 16, r = i / 16;
        BarRect& b = s->Rect[i];
        b.Left = static_cast<int32_t>(c * slot + slot / 2.0);
        b.Right = c * slot + slot / 2 + margin;
        b.Top = static_cast<int32_t>(kRowTop[rows - 1][r] * height);
        b.Bottom = static_cast<int32_t>(kRowBottom[rows - 1][r] * height);
    }
}

void BarAutoFontSize(const BarState& s, int32_t* height, int32_t* width) {
    *height = s.Height / 15;
    *width = s.Count > 0 ? s.Width / 20 / s.Count : 0;
}

int32_t BarValueY(const BarState& s, int32_t i, float v) {
    const BarRect& b = s.Rect[i];
    float lo = s.Minimum[i], hi = s.Maximum[i];
    if (!UsableScale(lo, hi)) BarFullRange(s.Channels[i], &lo, &hi);
    double f = (static_cast<double>(v) - lo) / (static_cast<double>(hi) - lo);
    if (!(f == f)) f = 0.0;
    if (f < 0.0) f = 0.0;
    if (f > 1.0) f = 1.0;
    return b.Bottom - static_cast<int32_t>(lround(f * (b.Bottom - b.Top)));
}

void BarFillSpan(const BarState& s, int32_t i, float v, int32_t* base, int32_t* end) {
    const BarRect& b = s.Rect[i];
    float lo = s.Minimum[i], hi = s.Maximum[i];
    if (!UsableScale(lo, hi)) BarFullRange(s.Channels[i], &lo, &hi);
    if (lo > hi) {
        float t = lo;
        lo = hi;
        hi = t;
    }
    if (lo <= 0.0f && hi >= 0.0f)
        *base = BarValueY(s, i, 0.0f);
    else
        *base = lo > 0.0f ? b.Bottom : b.Top;
    *end = BarValueY(s, i, v);
}

uint32_t BarFillColour(const BarState& s, int32_t i, float v) {
    int32_t c = s.Channels[i];
    if (lpCVT == nullptr || c < 0 || c >= kChannels) return s.Colour[i];
    const CVT& t = *lpCVT;
    if (v > t.AlarmAbove[c] || v < t.AlarmBelow[c]) return t.AlarmColor[c];
    if (v > t.WarningAbove[c] || v < t.WarningBelow[c]) return t.WarningColor[c];
    return s.Colour[i];
}

int32_t BarHit(const BarState& s, int32_t x, int32_t y) {
    for (int32_t i = 0; i < s.Count; ++i) {
        const BarRect& b = s.Rect[i];
        if (x > b.Left && x < b.Right && y > b.Top && y < b.Bottom) return i;
    }
    return -1;
}

void BarFixScales(BarState* s) {
    for (int32_t i = 0; i < s->Count; ++i) {
        if (!UsableScale(s->Minimum[i], s->Maximum[i])) {
            BarFullRange(s->Channels[i], &s->Minimum[i], &s->Maximum[i]);
        } else if (s->Minimum[i] > s->Maximum[i]) {
            float t = s->Minimum[i];
            s->Minimum[i] = s->Maximum[i];
            s->Maximum[i] = t;
        }
    }
}

void BarResetScales(BarState* s) {
    for (int32_t i = 0; i < s->Count; ++i) {
        BarFullRange(s->Channels[i], &s->Minimum[i], &s->Maximum[i]);
        s->Colour[i] = NormalColour(s->Channels[i]);
    }
}
