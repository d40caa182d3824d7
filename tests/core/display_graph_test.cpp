// The graph display's computation: the walk through a transfer with
// decimation and occurrence stepping, the spectrum against a known sine and a
// plain DFT, the compressed scale, the trace on its edges, the simulator's
// burst inside its table, and replay over a recorded file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#ifdef __linux__
#include <dirent.h>
#endif

#include "displays/graph_rules.h"
#include "display_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class GraphTest : public DisplayTest {
  protected:
    GraphState s;
    void Make(int32_t channel) {
        GraphDefaults(&s);
        s.Channel = channel;
        GraphConfigure(&s, true);
        s.Width = 600;
        s.Height = 400;
    }
};

// A transfer whose sample at position p of scan k is the count 100k + p.
std::vector<uint8_t> Transfer(int32_t scans, int32_t positions) {
    const int32_t scanBytes = 16 + 2 * positions;
    std::vector<uint8_t> t(static_cast<size_t>(scans * scanBytes));
    for (int32_t k = 0; k < scans; ++k)
        for (int32_t p = 0; p < positions; ++p) {
            uint16_t w = static_cast<uint16_t>(100 * k + p);
            t[k * scanBytes + 16 + 2 * p] = w & 0xFF;
            t[k * scanBytes + 17 + 2 * p] = w >> 8;
        }
    return t;
}

TEST_F(GraphTest, DecimationTakesEveryStepthOccurrenceAndMovesToTheNextScan) {
    // Channel 5 at positions 1, 3, 4 and 6 of a 7-position scan.
    SetScan({2, 5, 2, 5, 5, 9, 5});
    Make(5);
    EXPECT_EQ(s.OccurrenceCount, 4);
    EXPECT_EQ(s.Offsets[0], 16 + 2);
    EXPECT_EQ(s.Offsets[1], 4);
    EXPECT_EQ(s.Offsets[2], 2);
    EXPECT_EQ(s.Offsets[3], 4);
    s.Step = 2;  // decimation 1
    const int32_t scans = 300;
    auto t = Transfer(scans, 7);
    // Counts x 0.30517578125 truncated: decode back to check which sample came.
    int32_t complete = GraphGatherTransfer(&s, t.data(), static_cast<uint32_t>(t.size()), 30, 1);
    EXPECT_EQ(complete, 1);  // 300 scans x 2 samples passes 512 once
    // The frame holds scans 0..255, each giving positions 1 then 4.
    for (int32_t i = 0; i < kGraphPoints; ++i) {
        int32_t k = i / 2, p = i % 2 == 0 ? 1 : 4;
        ASSERT_EQ(s.PointY[i], static_cast<int32_t>((100 * k + p) * 0.30517578125)) << i;
    }
    // The rest of the transfer is gathered towards the next frame.
    EXPECT_EQ(s.FillCount, 2 * scans - kGraphPoints);
}

TEST_F(GraphTest, ATransferIsReadOnlyWithinItsBytesAndANewOneRestarts) {
    SetScan({0, 1});
    Make(1);
    auto t = Transfer(10, 2);
    // Told the transfer is shorter than the buffer: nothing beyond is read.
    t.resize(t.size() + 64, 0xFF);
    GraphGatherTransfer(&s, t.data(), 10 * 20, 20, 1);
    EXPECT_EQ(s.FillCount, 10);
    GraphGatherTransfer(&s, t.data(), 10 * 20, 20, 1);  // same transfer: nothing new
    EXPECT_EQ(s.FillCount, 10);
    GraphGatherTransfer(&s, t.data(), 10 * 20, 20, 2);
    EXPECT_EQ(s.FillCount, 20);
    for (int32_t i = 0; i < 20; ++i)
        ASSERT_EQ(s.Samples[i], static_cast<int32_t>((100 * (i % 10) + 1) * 0.30517578125)) << i;
}

TEST_F(GraphTest, AChannelNotScannedGivesAnEmptyTrace) {
    SetScan({0, 1});
    Make(7);
    EXPECT_EQ(s.OccurrenceCount, 0);
    auto t = Transfer(600, 2);
    EXPECT_EQ(GraphGatherTransfer(&s, t.data(), static_cast<uint32_t>(t.size()), 20, 1), 0);
    for (int32_t y : s.PointY) ASSERT_EQ(y, 0);
}

TEST_F(GraphTest, ASineShowsItsAmplitudeInItsBinInBothSpectrumStyles) {
    Make(0);
    for (int32_t bin : {1, 8, 37, 200}) {
        for (int32_t style : {kStyleSpectrum, kStyleWindowedSpectrum}) {
            s.Style = style;
            for (int32_t i = 0; i < kGraphPoints; ++i)
                s.Samples[i] = static_cast<int32_t>(lround(4000.0 * sin(2 * kPi * bin * i / kGraphPoints)));
            GraphFinishFrame(&s);
            EXPECT_EQ(s.PointY[2 * bin], s.PointY[2 * bin + 1]);
            if (style == kStyleSpectrum) {
                int32_t best = 0;
                for (int32_t k = 1; k < kGraphPoints / 2; ++k)
                    if (s.PointY[2 * k] > s.PointY[2 * best]) best = k;
                EXPECT_EQ(best, bin);
                EXPECT_NEAR(s.PointY[2 * bin], 4000, 2);
                EXPECT_LE(s.PointY[2 * (bin + 3)], 2);
            } else {
                // Hann halves a centred sine and gives each neighbour a
                // quarter; magnitudes of 1000 and more are drawn as they are.
                EXPECT_NEAR(s.PointY[2 * bin], 2000, 2);
                EXPECT_LT(s.PointY[2 * (bin + 3)], 200);  // far bins: only rounding noise, below 0.1
            }
        }
    }
}

TEST(FourierTransform, MatchesAPlainDftOnArbitraryData) {
    const int32_t n = 512;
    std::vector<double> re(n), im(n), r0(n), i0(n);
    srand(7);
    for (int32_t i = 0; i < n; ++i) {
        r0[i] = re[i] = rand() % 2001 - 1000;
        i0[i] = im[i] = rand() % 2001 - 1000;
    }
    FourierTransform(re.data(), im.data(), n);
    for (int32_t k = 0; k < n; k += 17) {
        double sr = 0, si = 0;
        for (int32_t t = 0; t < n; ++t) {
            double a = -2 * kPi * k * t / n;
            sr += r0[t] * cos(a) - i0[t] * sin(a);
            si += r0[t] * sin(a) + i0[t] * cos(a);
        }
        ASSERT_NEAR(re[k], sr, 1e-6 * n * 1000) << k;
        ASSERT_NEAR(im[k], si, 1e-6 * n * 1000) << k;
    }
}

TEST(GraphSpectrum, CompressedScaleSteps) {
    struct Case {
        double m;
        int32_t y;
    } cases[] = {{0.5, 1000}, {5, 1000}, {50, 3000}, {500, 4000}, {5000, 5000}, {1e30, 2000000000}};
    for (const Case& c : cases) EXPECT_EQ(CompressedHeight(c.m), c.y) << c.m;
}

TEST_F(GraphTest, TraceHoldsOutOfRangeValuesOnTheEdgeAndSurvivesAZeroGain) {
    Make(0);
    s.PointY[0] = 0;
    s.PointY[1] = 10000;    // full scale: 0.4 H above the centre
    s.PointY[2] = 99999;    // beyond: on the edge
    s.PointY[3] = -99999;
    int32_t xs[kGraphPoints], ys[kGraphPoints];
    GraphTracePixels(s, xs, ys);
    EXPECT_EQ(xs[0], 60);
    EXPECT_EQ(xs[511], 60 + 511);
    EXPECT_EQ(ys[0], 200);
    EXPECT_EQ(ys[1], 200 - 160);
    EXPECT_EQ(ys[2], 200 - 160);
    EXPECT_EQ(ys[3], 200 + 160);

    // A gain of 0 counts as 1: span, labels and trace stay finite.
    lpsChannelParams->GAIN[0] = 0.0;
    lpsChannelParams->VARIABLEGAINENABLE[0] = 0;
    GraphConfigure(&s, false);
    EXPECT_DOUBLE_EQ(s.Span, 10000.0);
    GraphLabels l;
    GraphMakeLabels(s, &l);
    EXPECT_STREQ(l.Top, "10000.0000");
    EXPECT_STREQ(l.PerDivision, "2000.0000");
    EXPECT_STREQ(l.Bottom, "-10000.0000");
    dSampleRate = 1000.0;
    GraphMakeLabels(s, &l);
    EXPECT_STREQ(l.TimeBase, "512.0000 mS");
    s.Style = kStyleSpectrum;
    GraphMakeLabels(s, &l);
    EXPECT_STREQ(l.TimeBase, "500.0000 Hz");
    lpsChannelParams->GAIN[0] = 100.0;
    s.Style = kStyleOscilloscope;
    GraphConfigure(&s, false);
    EXPECT_DOUBLE_EQ(s.Span, 100.0);
    s.PointY[0] = 10000;  // still full scale at the converter
    GraphTracePixels(s, xs, ys);
    EXPECT_EQ(ys[0], 40);
}

int32_t MaxRandom() { return 0x7FFFFFFF; }
int32_t ZeroRandom() { return 0; }

TEST_F(GraphTest, SimulatedSineAndBurstStayWithinTheirTable) {
    Make(0);
    GraphSimulatedFrame(&s, ZeroRandom);
    EXPECT_EQ(s.PointY[0], 0);
    EXPECT_EQ(s.PointY[160], static_cast<int32_t>(32767 * 0.30517578125));  // a quarter period
    EXPECT_EQ(s.SimPosition, 512);
    GraphSimulatedFrame(&s, ZeroRandom);
    EXPECT_EQ(s.SimPosition, (1024) % 640);
    EXPECT_EQ(s.PointY[0], static_cast<int32_t>(static_cast<int32_t>(sin(2 * kPi * 512 / 640) * 32767) *
                                               0.30517578125));
    // An odd channel's burst, with a generator at its largest: the start is
    // held inside the table (the sanitizer watches the writes).
    Make(1);
    for (int32_t k = 0; k < 3; ++k) GraphSimulatedFrame(&s, MaxRandom);
    int32_t nonzero = 0;
    for (int32_t v : s.SimTable) nonzero += v != 0;
    EXPECT_LE(nonzero, 10);
    for (int32_t i = 630; i < kGraphSimTable; ++i) EXPECT_EQ(s.SimTable[i], 0);
}

#ifdef __linux__
int32_t OpenDescriptors() {
    int32_t n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    while (readdir(d) != nullptr) ++n;
    closedir(d);
    return n;
}
#endif

TEST_F(GraphTest, ReplayWalksTheRecordingBothWaysAndEndsAtEachEnd) {
    // Channel 3 twice per scan; sample value encodes its place in the sequence.
    SetScan({3, 1, 3});
    WriteRecording("zd418_graph_replay", 1000, [](int32_t k, int32_t p) { return p == 1 ? 7 : 2 * k + p / 2; });
    Make(3);
    bPlaying = true;
    auto mv = [](int32_t j) { return static_cast<int32_t>(j * 0.30517578125); };
#ifdef __linux__
    const int32_t before = OpenDescriptors();
#endif
    ASSERT_EQ(GraphReplayStep(&s, 0), 1);
    for (int32_t i = 0; i < kGraphPoints; ++i) ASSERT_EQ(s.PointY[i], mv(i)) << i;
    ASSERT_EQ(GraphReplayStep(&s, 0), 1);  // 50 newer samples
    for (int32_t i = 0; i < kGraphPoints; ++i) ASSERT_EQ(s.PointY[i], mv(50 + i)) << i;
    ASSERT_EQ(GraphReplayStep(&s, 1), 1);  // fast: 250 further
    EXPECT_EQ(s.PointY[0], mv(300));
    EXPECT_EQ(s.PointY[511], mv(811));
    // 2000 samples in all: the next fast steps run into the end.
    int32_t steps = 0;
    while (GraphReplayStep(&s, 1) == 1) ++steps;
    EXPECT_EQ(steps, 4);
    EXPECT_FALSE(bPlaying);
    EXPECT_EQ(s.ReplayRestart, 1);

    // Backward from the end of the recording, then 50 older samples.
    bPlaying = true;
    ASSERT_EQ(GraphReplayStep(&s, 2), 1);
    EXPECT_EQ(s.PointY[511], mv(1999));
    ASSERT_EQ(GraphReplayStep(&s, 2), 1);
    EXPECT_EQ(s.PointY[511], mv(1949));
    EXPECT_EQ(s.PointY[0], mv(1949 - 511));
    // Decimation: every second occurrence, the first of each scan.
    s.Step = 2;
    GraphRearmReplay(&s);
    ASSERT_EQ(GraphReplayStep(&s, 0), 1);
    EXPECT_EQ(s.PointY[1], mv(2));
    EXPECT_EQ(s.PointY[10], mv(20));
    for (int32_t k = 0; k < 1000; ++k) GraphReplayStep(&s, k % 4);
#ifdef __linux__
    EXPECT_EQ(OpenDescriptors(), before);  // every step closes what it opens
#endif
    // A missing file leaves the display as it was.
    int32_t keep = s.PointY[100];
    snprintf(szTestFile, sizeof szTestFile, "%s/zd418_no_recording.mdb", DisplayTempDir().c_str());
    EXPECT_EQ(GraphReplayStep(&s, 0), 0);
    EXPECT_EQ(s.PointY[100], keep);
}

TEST_F(GraphTest, YScaleAndChannelAreCheckedOnConfigure) {
    lpsChannelParams->GAIN[4] = 10.0;
    Make(4);
    EXPECT_EQ(GraphYScalePercent(s), 100);
    GraphApplyYScale(&s, 50);
    EXPECT_DOUBLE_EQ(s.Span, 500.0);
    EXPECT_EQ(GraphYScalePercent(s), 50);
    s.Channel = 999;
    GraphConfigure(&s, false);
    EXPECT_EQ(s.DisplayChannel, 0);
    // Decimation against 4 occurrences per scan; a channel that is not
    // scanned (0 occurrences) refuses only negative values.
    EXPECT_EQ(CheckDecimation(-1, 4), DecimationCheck::Negative);
    EXPECT_EQ(CheckDecimation(4, 4), DecimationCheck::TooHigh);
    EXPECT_EQ(CheckDecimation(3, 4), DecimationCheck::Ok);
    EXPECT_EQ(CheckDecimation(0, 0), DecimationCheck::Ok);
    EXPECT_EQ(CheckDecimation(-1, 0), DecimationCheck::Negative);
}

}  // namespace
