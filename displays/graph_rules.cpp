// Portable: the graph display's computation.
#include "displays/graph_rules.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "acquire/panel_rules.h"
#include "base/app_state.h"
#include "base/data_file_name.h"
#include "base/large_file.h"
#include "displays/display_fields.h"
#include "scanlist/scan_table.h"
#include "testmodel/system_settings.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

int32_t ClampToInt(double v) {
    if (!(v == v)) return 0;
    if (v > 2.0e9) return 2000000000;
    if (v < -2.0e9) return -2000000000;
    return static_cast<int32_t>(v);
}

// The full scale drawn at 0.4 H, in millivolts at the converter.
double FullScale(const GraphState& s) {
    double fs = s.Span * DisplayGain(s.DisplayChannel);
    return fs > 0.0 && std::isfinite(fs) ? fs : 10000.0;
}

}  // namespace

void GraphDefaults(GraphState* s) {
    memset(s, 0, sizeof *s);
    s->Priority = 1;
    s->Channel = s->DisplayChannel = 0;
    s->ScaleFontToWindow = 1;
    s->YScale = 1.0;
    s->Precision = 4;
    s->Step = 1;
    s->ReplayRestart = 1;
    DefaultDisplayFont(&s->Font);
}

void GraphReadCreation(GraphState* s, const char* text) {
    size_t pos = 0;
    s->Priority = ReadIntField(text, &pos);
    s->Channel = s->DisplayChannel = ValidChannel(ReadIntField(text, &pos), 0);
    ReadFontFields(text, &pos, &s->Font);
    s->ScaleFontToWindow = ReadIntField(text, &pos) != 0 ? 1 : 0;
    s->TextColour = ReadUIntField(text, &pos) & 0x00FFFFFFu;
}

int32_t GraphFormatRecord(const GraphState& s, char* out, size_t size) {
    char font[96];
    FormatFontFields(s.Font, font, sizeof font);
    int n = snprintf(out, size, ",%d,%d,%s,%d,%u", static_cast<int>(s.Priority),
                     static_cast<int>(s.Channel), font, static_cast<int>(s.ScaleFontToWindow),
                     static_cast<unsigned>(s.TextColour));
    return n < 0 ? 0 : n;
}

int32_t BuildOffsetTable(int32_t channel, int32_t* offsets, int32_t capacity) {
    if (lpProgScanList == nullptr || capacity <= 0) return 0;
    const uint32_t used = UsedScanEntries();
    int32_t count = 0;
    int32_t previous = -1;
    for (uint32_t p = 0; p < used && count < capacity; ++p) {
        if (lpProgScanList->Entry[p].CHANNEL != static_cast<uint32_t>(channel)) continue;
        offsets[count++] = previous < 0 ? 16 + 2 * static_cast<int32_t>(p)
                                        : 2 * (static_cast<int32_t>(p) - previous);
        previous = static_cast<int32_t>(p);
    }
    return count;
}

void GraphConfigure(GraphState* s, bool created) {
    s->ReplayRestart = 1;
    s->ReplayStart = 0;
    s->ReadPosition = static_cast<uint32_t>(s->Offsets[0]);
    s->FillCount = 0;
    s->ScanBase = 0;
    s->Occurrence = 0;
    s->OccurrenceCount = 0;
    if (created) s->Step = 1;
    if (s->Step < 1) s->Step = 1;
    s->DisplayChannel = ValidChannel(s->Channel, 0);
    s->OccurrenceCount = BuildOffsetTable(s->DisplayChannel, s->Offsets, kScanPositions);
    if (s->OccurrenceCount == 0) s->Offsets[0] = 0;
    s->ReadPosition = static_cast<uint32_t>(s->Offsets[0]);
    if (!(s->YScale > 0.0) || !std::isfinite(s->YScale)) s->YScale = 1.0;
    s->Span = 10000.0 / DisplayGain(s->DisplayChannel) * s->YScale;
    for (int32_t i = 0; i < kGraphPoints; ++i) s->Samples[i] = s->PointY[i] = 0;
    if (created && s->Title[0] == '\0')
        snprintf(s->Title, sizeof s->Title, "Oscilloscope %s", ChannelName(s->DisplayChannel));
}

void GraphMakeLabels(const GraphState& s, GraphLabels* labels) {
    FormatDisplayNumber(s.Span / 5.0, s.Precision, labels->PerDivision, sizeof labels->PerDivision);
    FormatDisplayNumber(s.Span, s.Precision, labels->Top, sizeof labels->Top);
    FormatDisplayNumber(-s.Span, s.Precision, labels->Bottom, sizeof labels->Bottom);
    char number[40];
    double rate = dSampleRate > 0.0 && std::isfinite(dSampleRate) ? dSampleRate : 1.0;
    if (s.Style == kStyleOscilloscope) {
        FormatDisplayNumber(kGraphPoints * s.Step / rate * 1000.0, s.Precision, number, sizeof number);
        snprintf(labels->TimeBase, sizeof labels->TimeBase, "%s mS", number);
    } else {
        FormatDisplayNumber(rate / 2.0, s.Precision, number, sizeof number);
        snprintf(labels->TimeBase, sizeof labels->TimeBase, "%s Hz", number);
    }
}

int32_t GraphGatherTransfer(GraphState* s, const uint8_t* buffer, uint32_t bufferBytes,
                            uint32_t scanBytes, uint32_t counter) {
    if (buffer == nullptr || s->OccurrenceCount == 0 || scanBytes == 0) return 0;
    if (counter != s->LastBufferCounter) {
        s->ReadPosition = static_cast<uint32_t>(s->Offsets[0]);
        s->ScanBase = scanBytes;
        s->Occurrence = 0;
        s->LastBufferCounter = counter;
    }
    const int32_t bits = DisplayAdcBits(s->DisplayChannel);
    int32_t complete = 0;
    while (s->ReadPosition + 2 <= bufferBytes) {
        int16_t word = static_cast<int16_t>(buffer[s->ReadPosition] | (buffer[s->ReadPosition + 1] << 8));
        int32_t mv = CountToMillivolts(word, bits);
        s->Samples[s->FillCount++] = mv;
        int32_t previous = s->Occurrence;
        s->Occurrence += s->Step;
        if (s->Occurrence < s->OccurrenceCount) {
            for (int32_t k = previous + 1; k <= s->Occurrence; ++k)
                s->ReadPosition += static_cast<uint32_t>(s->Offsets[k]);
        } else {
            s->Occurrence = 0;
            s->ReadPosition = static_cast<uint32_t>(s->Offsets[0]) + s->ScanBase;
            s->ScanBase += scanBytes;
        }
        if (s->FillCount >= kGraphPoints) {
            GraphFinishFrame(s);
            s->FillCount = 0;
            complete = 1;
        }
    }
    return complete;
}

void GraphSimulatedFrame(GraphState* s, int32_t (*random)()) {
    const int32_t bits = DisplayAdcBits(s->DisplayChannel);
    if (!s->SimSeeded) {
        s->SimSeeded = 1;
        s->FillCount = 0;
        s->SimPosition = 0;
    }
    if (s->DisplayChannel % 2 == 0) {
        const double amplitude = bits == 12 ? 2047.0 : 32767.0;
        for (int32_t i = 0; i < kGraphSimTable; ++i)
            s->SimTable[i] = static_cast<int32_t>(sin(2.0 * kPi * i / kGraphSimTable) * amplitude);
    } else {
        // A burst of 8 periods whose amplitude ramps up across it, inside the
        // table whatever the generator gives.
        const double amplitude = bits == 12 ? 2000.0 : 32000.0;
        for (int32_t& v : s->SimTable) v = 0;
        int32_t start = (random() & 0x7FFF) * 630 / 32768;
        int32_t length = (random() & 0x7FFF) * kGraphSimTable / 32768;
        if (start + length > 630) length = 630 - start;
        for (int32_t i = 0; i < length; ++i) {
            double ramp = static_cast<double>(i) / length;
            s->SimTable[start + i] =
                static_cast<int32_t>(ramp * amplitude * sin(2.0 * kPi * 8.0 * i / length));
        }
    }
    for (int32_t i = 0; i < kGraphPoints; ++i) {
        s->Samples[i] = CountToMillivolts(s->SimTable[s->SimPosition], bits);
        s->SimPosition = (s->SimPosition + 1) % kGraphSimTable;
    }
    GraphFinishFrame(s);
}

void FourierTransform(double* re, double* im, int32_t n) {
    // Decimation in frequency: butterflies a + b and (a - b) x twiddle,
    // halving the span each stage; the output comes out bit-reversed.
    for (int32_t half = n / 2; half >= 1; half /= 2) {
        const double wr = cos(kPi / half), wi = -sin(kPi / half);
        double ur = 1.0, ui = 0.0;
        for (int32_t j = 0; j < half; ++j) {
            for (int32_t i = j; i < n; i += 2 * half) {
                int32_t k = i + half;
                double ar = re[i], ai = im[i], br = re[k], bi = im[k];
                re[i] = ar + br;
                im[i] = ai + bi;
                double dr = ar - br, di = ai - bi;
                re[k] = dr * ur - di * ui;
                im[k] = dr * ui + di * ur;
            }
            double t = ur * wr - ui * wi;
            ui = ur * wi + ui * wr;
            ur = t;
        }
    }
    for (int32_t i = 1, j = 0; i < n; ++i) {
        int32_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) {
            double t = re[i];
            re[i] = re[j];
            re[j] = t;
            t = im[i];
            im[i] = im[j];
            im[j] = t;
        }
    }
}

int32_t CompressedHeight(double m) {
    if (m < 1.0) return ClampToInt(m * 2000.0);
    if (m < 10.0) return ClampToInt(m * 200.0);
    if (m < 100.0) return ClampToInt(m * 60.0);
    if (m < 1000.0) return ClampToInt(m * 8.0);
    return ClampToInt(m);
}

void GraphFinishFrame(GraphState* s) {
    if (s->Style != kStyleSpectrum && s->Style != kStyleWindowedSpectrum) {
        memcpy(s->PointY, s->Samples, sizeof s->PointY);
        return;
    }
    for (int32_t i = 0; i < kGraphPoints; ++i) {
        double w = s->Style == kStyleWindowedSpectrum
                       ? 0.5 - 0.5 * cos(2.0 * kPi * i / kGraphPoints)
                       : 1.0;
        s->Re[i] = s->Samples[i] * w;
        s->Im[i] = 0.0;
    }
    FourierTransform(s->Re, s->Im, kGraphPoints);
    for (int32_t k = 0; k < kGraphPoints / 2; ++k) {
        // The modulus itself: dividing the real part by the cosine of the
        // phase loses a bin whose real part is exactly zero.
        double m = hypot(s->Re[k], s->Im[k]) / (kGraphPoints / 2);
        int32_t y = s->Style == kStyleSpectrum ? ClampToInt(m) : CompressedHeight(m);
        s->PointY[2 * k] = s->PointY[2 * k + 1] = y;
    }
}

void GraphTracePixels(const GraphState& s, int32_t* xs, int32_t* ys) {
    const double fs = FullScale(s);
    for (int32_t i = 0; i < kGraphPoints; ++i) {
        double y = s.PointY[i];
        if (y > fs) y = fs;
        if (y < -fs) y = -fs;
        xs[i] = s.Width / 10 + static_cast<int32_t>(static_cast<int64_t>(i) * s.Width / 600);
        ys[i] = s.Height / 2 - static_cast<int32_t>(lround(y / fs * 0.4 * s.Height));
    }
}

namespace {

uint32_t ReplayModeDelay(int32_t mode) { return (mode == 0 || mode == 2) ? dwReplayDelay : 0; }

// Byte offset inside a scan of each occurrence the replay takes, with the
// decimation step applied.
int32_t ReplayPositions(const GraphState& s, int32_t* positions) {
    int32_t count = 0;
    int32_t at = 0;
    for (int32_t k = 0; k < s.OccurrenceCount; ++k) {
        at += s.Offsets[k];
        if (k % s.Step == 0) positions[count++] = at;
    }
    return count;
}

}  // namespace

void GraphRearmReplay(GraphState* s) {
    s->ReplayRestart = 1;
    s->ReplayMode = 0;
    s->ReplayStart = 0;
    s->ReplayDelayMs = dwReplayDelay;
}

int32_t GraphReplayStep(GraphState* s, int32_t mode) {
    if (mode < 0 || mode > 3) mode = 0;
    if (mode != s->ReplayMode) {
        s->ReplayDelayMs = ReplayModeDelay(mode);
        s->ReplayMode = mode;
    }
    if (s->OccurrenceCount == 0) return 0;
    char path[300];
    if (!DataFileName(szTestFile, ".raw", path, sizeof path)) return 0;
    FILE* f = fopen(path, "rb");
    if (f == nullptr) return 0;
    static int32_t positions[kScanPositions];
    const int32_t perScan = ReplayPositions(*s, positions);
    const uint64_t scanBytes = UsedScanEntries() * 2ull + 16;
    const int64_t scans = static_cast<int64_t>(FileLength(f) / scanBytes);
    // The frame's start is kept as an int32 sample index.
    int64_t total = scans * perScan;
    if (total > INT32_MAX) total = INT32_MAX;
    const bool forward = mode == 0 || mode == 1;
    const int32_t advance = (mode == 1 || mode == 3) ? 250 : 50;
    int64_t start;
    int32_t first = 0, count = kGraphPoints;  // the samples to read into the frame
    if (s->ReplayRestart) {
        s->ReplayRestart = 0;
        s->ReplayDelayMs = ReplayModeDelay(mode);
        start = forward ? 0 : total - kGraphPoints;
    } else if (forward) {
        start = s->ReplayStart + advance;
        memmove(s->Samples, s->Samples + advance, sizeof(int32_t) * (kGraphPoints - advance));
        first = kGraphPoints - advance;
        count = advance;
    } else {
        start = s->ReplayStart - advance;
        memmove(s->Samples + advance, s->Samples, sizeof(int32_t) * (kGraphPoints - advance));
        count = advance;
    }
    if (start < 0 || start + kGraphPoints > total) {
        fclose(f);
        bPlaying = false;
        s->ReplayRestart = 1;
        return 0;
    }
    const int32_t bits = DisplayAdcBits(s->DisplayChannel);
    bool ok = true;
    for (int32_t i = first; i < first + count && ok; ++i) {
        int64_t j = start + i;
        uint64_t at = static_cast<uint64_t>(j / perScan) * scanBytes +
                      static_cast<uint64_t>(positions[j % perScan]);
        uint8_t word[2];
        ok = SeekFile(f, at) && fread(word, 1, 2, f) == 2;
        if (ok) s->Samples[i] = CountToMillivolts(static_cast<int16_t>(word[0] | (word[1] << 8)), bits);
    }
    fclose(f);
    if (!ok) {
        bPlaying = false;
        s->ReplayRestart = 1;
        return 0;
    }
    s->ReplayStart = static_cast<int32_t>(start);
    GraphFinishFrame(s);
    return 1;
}

int32_t GraphYScalePercent(const GraphState& s) {
    double base = 10000.0 / DisplayGain(s.DisplayChannel);
    return ClampToInt(s.Span / base * 100.0);
}

void GraphApplyYScale(GraphState* s, int32_t percent) {
    if (percent < 1) percent = 1;
    s->YScale = percent / 100.0;
    s->Span = 10000.0 / DisplayGain(s->DisplayChannel) * s->YScale;
}

DecimationCheck CheckDecimation(int32_t decimation, int32_t occurrences) {
    if (decimation < 0) return DecimationCheck::Negative;
    if (occurrences > 0 && decimation >= occurrences) return DecimationCheck::TooHigh;
    return DecimationCheck::Ok;
}
