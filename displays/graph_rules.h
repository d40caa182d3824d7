// Portable: the graph (oscilloscope) display's state and computation: its
// screen record, the sample walk through the transfer buffers, the simulated
// signals, the spectrum, the labels, the trace in window pixels and the
// replay of a recorded file.  The window (graph_wnd.cpp) only draws what
// these give.
#pragma once

#include <cstddef>
#include <cstdint>

#include "displays/display_state.h"
#include "displays/screen_file.h"
#include "testmodel/model.h"

constexpr int32_t kGraphPoints = 512;
constexpr int32_t kGraphSimTable = 640;

enum GraphStyle : int32_t { kStyleOscilloscope = 0, kStyleSpectrum = 1, kStyleWindowedSpectrum = 2 };

struct GraphState {
    int32_t Channel;         // as chosen
    int32_t DisplayChannel;  // the one drawn
    int32_t Priority;
    int32_t Width, Height;   // client size
    uint32_t TextColour;
    int32_t ScaleFontToWindow;
    char Title[kDisplayTitleSize];
    DisplayFont Font;
    double Span;             // mV referred to the input at the top edge
    double YScale;
    int32_t Precision;
    int32_t SimTable[kGraphSimTable];
    int32_t SimPosition;
    int32_t SimSeeded;
    int32_t Samples[kGraphPoints];  // the frame's samples, millivolts at the converter
    int32_t PointY[kGraphPoints];   // what is drawn: the samples or the spectrum heights
    double Re[kGraphPoints], Im[kGraphPoints];
    int32_t FillCount;
    uint32_t ReadPosition;
    int32_t Occurrence;
    int32_t OccurrenceCount;
    uint32_t ScanBase;
    int32_t Step;            // decimation step, >= 1
    int32_t Style;
    int32_t Offsets[kScanPositions];  // [0] byte offset of the first sample, then distances
    uint32_t LastBufferCounter;
    // Replay: the frame's first sample in the channel's sample sequence.
    int32_t ReplayMode;
    int32_t ReplayRestart;
    int32_t ReplayStart;
    uint32_t ReplayDelayMs;
};

// Defaults of a menu-created graph (priority 1, channel 0).
void GraphDefaults(GraphState* s);
// Reads a record's own fields: priority, channel, font, scale-font flag,
// colour.  Out-of-range values are replaced (channel outside 0-255: 0).
void GraphReadCreation(GraphState* s, const char* text);
// The record's own fields after the common prefix (",%i,%i,face,...").
int32_t GraphFormatRecord(const GraphState& s, char* out, size_t size);

// Rebuilds the channel's offset table from the scan table; returns the
// number of occurrences (0: the channel is not scanned).
int32_t BuildOffsetTable(int32_t channel, int32_t* offsets, int32_t capacity);
// Run on create and on every change: restart gathering and replay, rebuild
// the offsets and the span.  `created` also sets the title and the step.
void GraphConfigure(GraphState* s, bool created);

// The scale labels with the state's precision: per division, top, bottom;
// the time base ("... mS") or the highest frequency ("... Hz").
struct GraphLabels {
    char PerDivision[40];
    char Top[40];
    char Bottom[40];
    char TimeBase[48];
};
void GraphMakeLabels(const GraphState& s, GraphLabels* labels);

// Takes samples from a transfer buffer of `bufferBytes` bytes (the engine's
// transfer, never more than the buffer) completed as transfer `counter`.
// Returns 1 when a frame of 512 points was completed (and, for a spectrum
// style, transformed): the data part must be redrawn.
int32_t GraphGatherTransfer(GraphState* s, const uint8_t* buffer, uint32_t bufferBytes,
                            uint32_t scanBytes, uint32_t counter);

// Fills the simulator table for the display channel (sine on an even
// channel, a rising burst on an odd one), then one frame from it.  `random`
// gives 15-bit values.
void GraphSimulatedFrame(GraphState* s, int32_t (*random)());

// A complete frame of Samples becomes PointY: the samples themselves, or
// for the spectrum styles the magnitudes of bins 0-255 (a bin-centred sine
// of amplitude A gives A in its bin), each bin drawn as two points.
void GraphFinishFrame(GraphState* s);
// The transform alone: radix-2 over n = 2^k complex values, in place, output
// in natural order.
void FourierTransform(double* re, double* im, int32_t n);
// Compressed scale of the windowed spectrum.
int32_t CompressedHeight(double magnitude);

// The trace in client pixels: point i at x = W/10 + i * W/600, y from the
// centre line with +-(full scale) at +-0.4 H; values beyond are held on the
// edge.
void GraphTracePixels(const GraphState& s, int32_t* xs, int32_t* ys);

// One replay step in `mode` (0 play, 1 fast, 2 back, 3 fast back) from the
// recorded data file, read-only and closed again.  Returns 1 when a new frame
// is to be drawn; at either end the playing flag is cleared and replay
// re-armed.
int32_t GraphReplayStep(GraphState* s, int32_t mode);
// Re-arms replay (stop broadcast).
void GraphRearmReplay(GraphState* s);

// Properties dialog rules.  Y scale percentage shown for the state.
int32_t GraphYScalePercent(const GraphState& s);
// Applies a typed Y scale (percent, >= 1).
void GraphApplyYScale(GraphState* s, int32_t percent);
// A typed decimation against the channel's occurrences per scan.  A channel
// that is not scanned has nothing to decimate, so any value from 0 is taken.
enum class DecimationCheck { Ok, Negative, TooHigh };
DecimationCheck CheckDecimation(int32_t decimation, int32_t occurrences);
