// Portable: the data wizard.
#include "export/data_wizard.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <system_error>
#include <thread>

#include "base/data_file_name.h"

namespace {

// Per channel: the first sample, the extremes of the samples and of the rail
// words (12-bit counts times 16 taken as 16-bit words), the count and the
// sums.  Extremes decide the two early checks exactly as a sample-by-sample
// test would, and let one pass over the file serve all three checks.
struct Accumulator {
    int32_t Scale;  // 16 for a 12-bit channel, else 1
    bool HaveFirst;
    int32_t First;
    int32_t Min, Max;          // samples as stored
    int32_t RailMin, RailMax;  // rail words
    uint64_t Count;
    int64_t Sum;               // of scaled samples
    unsigned __int128 SumOfSquares;
};

inline int16_t SampleAt(const uint8_t* b) {
    return static_cast<int16_t>(static_cast<uint16_t>(b[0] | (b[1] << 8)));
}

// A scan's samples into a row of int16 (the file is little-endian).
inline void ReadRow(const uint8_t* scan, uint32_t positions, int16_t* row) {
    if constexpr (std::endian::native == std::endian::little) memcpy(row, scan, 2 * static_cast<size_t>(positions));
    else
        for (uint32_t p = 0; p < positions; ++p) row[p] = SampleAt(scan + 2 * p);
}

}  // namespace

bool ListedNotChanging(const ChannelScreening& s) { return s.Samples > 0 && !s.Changing; }
bool ListedAtRail(const ChannelScreening& s) { return s.Railed; }
bool ListedNoisy(const ChannelScreening& s, int32_t adcBits) {
    return s.Samples > 0 && s.Deviation > (adcBits == 12 ? 400.0 : 50.0);
}

namespace {

// One stretch of the file screened through its own stream: from its first
// whole scan for `Scans` scans (UINT64_MAX: to the end), into its own
// accumulators.  The first stretch also notes each channel's first sample.
struct Share {
    FILE* Raw = nullptr;
    uint64_t Scans = UINT64_MAX;
    bool TakeFirst = false;
    std::vector<Accumulator> Acc;
    std::atomic<uint64_t> Done{0};  // bytes screened
    bool ReadFailed = false;
};

void ScreenShare(const RecordingLayout& layout, const std::vector<int32_t>& owner, Share* share,
                 const std::function<void()>& afterChunk) {
    std::vector<Accumulator>& acc = share->Acc;
    const size_t n = acc.size();
    const size_t scanBytes = layout.ScanBytes;
    // About 1 MB of whole scans per read, so a chunk is screened while it is
    // still in the cache.  A scan is at least 18 bytes, so a chunk holds
    // fewer than 2^16 scans and a position's sum over one chunk fits 32 bits.
    const size_t scansPerChunk = std::max<size_t>(1, (1u << 20) / scanBytes);
    std::vector<uint8_t> buffer(scansPerChunk * scanBytes);
    // Per position, for one chunk, padded to whole blocks of kBlock so the
    // loops over a scan have a fixed length and vectorise; a padding
    // position (and one no channel owns) is never read back.  Sums are of
    // the samples as stored: the scale is applied once per chunk.
    constexpr uint32_t kBlock = 16;
    const uint32_t P = layout.Positions;
    const uint32_t padded = (P + kBlock - 1) / kBlock * kBlock;
    std::vector<int16_t> scale(padded, 1);
    std::vector<int16_t> mn(padded), mx(padded), row0(padded, 0), row1(padded, 0);
    std::vector<int32_t> sum(padded);
    std::vector<uint64_t> sq(padded);
    for (uint32_t p = 0; p < P; ++p)
        if (owner[p] >= 0) scale[p] = static_cast<int16_t>(acc[owner[p]].Scale);
    uint64_t left = share->Scans;
    while (left > 0) {
        const size_t want = left < scansPerChunk ? static_cast<size_t>(left) * scanBytes : buffer.size();
        const size_t got = fread(buffer.data(), 1, want, share->Raw);
        const size_t scans = got / scanBytes;
        if (left != UINT64_MAX) left -= scans;
        if (scans > 0 && share->TakeFirst)
            for (size_t i = 0; i < n; ++i)
                if (!acc[i].HaveFirst) {
                    const std::vector<uint32_t> where = PositionsOfChannel(layout.Channels[i]).Position;
                    if (!where.empty()) {
                        acc[i].First = SampleAt(buffer.data() + 16 + 2 * where[0]);
                        acc[i].HaveFirst = true;
                    }
                }
        std::fill(mn.begin(), mn.end(), INT16_MAX);
        std::fill(mx.begin(), mx.end(), INT16_MIN);
        std::fill(sum.begin(), sum.end(), 0);
        std::fill(sq.begin(), sq.end(), 0);
        // Two scans at a time: their squares' sum (at most 2^31) still
        // fits 32 bits, so each position takes one 64-bit add per pair.
        // A last single scan is screened as a pair with itself, its sums
        // taken once.
        for (size_t s = 0; s < scans; s += 2) {
            const bool pair = s + 1 < scans;
            ReadRow(buffer.data() + s * scanBytes + 16, P, row0.data());
            ReadRow(buffer.data() + (pair ? s + 1 : s) * scanBytes + 16, P, row1.data());
            for (uint32_t b = 0; b < padded; b += kBlock) {
                const int16_t* v0 = row0.data() + b;
                const int16_t* v1 = row1.data() + b;
                // Extremes as stored (the rail words follow from them per
                // chunk), then the sums.
                for (uint32_t j = 0; j < kBlock; ++j) {
                    const int16_t a = v0[j], c = v1[j];
                    const int16_t lo = a < c ? a : c, hi = a < c ? c : a;
                    mn[b + j] = std::min(mn[b + j], lo);
                    mx[b + j] = std::max(mx[b + j], hi);
                }
                if (pair)
                    for (uint32_t j = 0; j < kBlock; ++j) {
                        sum[b + j] += v0[j] + v1[j];
                        sq[b + j] += static_cast<uint32_t>(v0[j] * v0[j]) + static_cast<uint32_t>(v1[j] * v1[j]);
                    }
                else
                    for (uint32_t j = 0; j < kBlock; ++j) {
                        sum[b + j] += v0[j];
                        sq[b + j] += static_cast<uint32_t>(v0[j] * v0[j]);
                    }
            }
        }
        for (uint32_t p = 0; p < P && scans > 0; ++p) {
            if (owner[p] < 0) continue;
            Accumulator& a = acc[owner[p]];
            a.Min = std::min<int32_t>(a.Min, mn[p]);
            a.Max = std::max<int32_t>(a.Max, mx[p]);
            // The rail words follow from the extremes while a 12-bit count
            // times 16 stays a 16-bit word; counts beyond the converter's
            // range wrap, and only then is the chunk read again for them.
            int32_t railLo = mn[p], railHi = mx[p];
            if (scale[p] != 1) {
                if (mn[p] >= -2048 && mx[p] <= 2047) {
                    railLo = mn[p] * scale[p];
                    railHi = mx[p] * scale[p];
                } else {
                    railLo = INT32_MAX;
                    railHi = INT32_MIN;
                    for (size_t s = 0; s < scans; ++s) {
                        const int16_t v = SampleAt(buffer.data() + s * scanBytes + 16 + 2 * static_cast<size_t>(p));
                        const int16_t rail = static_cast<int16_t>(static_cast<uint16_t>(v * scale[p]));
                        railLo = std::min<int32_t>(railLo, rail);
                        railHi = std::max<int32_t>(railHi, rail);
                    }
                }
            }
            a.RailMin = std::min(a.RailMin, railLo);
            a.RailMax = std::max(a.RailMax, railHi);
            a.Sum += static_cast<int64_t>(sum[p]) * a.Scale;
            a.SumOfSquares += static_cast<unsigned __int128>(sq[p]) * static_cast<uint64_t>(a.Scale * a.Scale);
            a.Count += scans;
        }
        share->Done += got;
        if (afterChunk) afterChunk();
        if (got < want) break;
    }
    share->ReadFailed = ferror(share->Raw) != 0;
}

void Merge(Accumulator* into, const Accumulator& a) {
    into->Min = std::min(into->Min, a.Min);
    into->Max = std::max(into->Max, a.Max);
    into->RailMin = std::min(into->RailMin, a.RailMin);
    into->RailMax = std::max(into->RailMax, a.RailMax);
    into->Count += a.Count;
    into->Sum += a.Sum;
    into->SumOfSquares += a.SumOfSquares;
}

}  // namespace

int32_t ScreenRecording(const char* rawPath, const RecordingLayout& layout, std::vector<ChannelScreening>* result,
                        const ExportProgress* progress) {
    result->clear();
    const size_t n = layout.Channels.size();
    const size_t scanBytes = layout.ScanBytes;
    if (scanBytes == 0) return 0;
    std::vector<Accumulator> acc(n);
    // Which accumulator each scan position feeds (-1: none).
    std::vector<int32_t> owner(layout.Positions, -1);
    for (size_t i = 0; i < n; ++i) {
        Accumulator& a = acc[i];
        a = Accumulator{};
        a.Scale = ChannelAdcBits(layout.Channels[i]) == 12 ? 16 : 1;
        a.Min = a.RailMin = INT32_MAX;
        a.Max = a.RailMax = INT32_MIN;
        for (uint32_t p : PositionsOfChannel(layout.Channels[i]).Position) owner[p] = static_cast<int32_t>(i);
    }
    // Two halves screened at once, each through its own stream: screening
    // keeps a core busy, so a second core nearly doubles the pace.  The
    // second half runs to the end of the file.
    Share shares[2];
    shares[0].Raw = fopen(rawPath, "rb");
    if (shares[0].Raw == nullptr) return 0;
    const uint64_t total = FileLength(shares[0].Raw);
    const uint64_t wholeScans = total / scanBytes;
    const bool split = wholeScans >= 2;
    if (split) {
        shares[1].Raw = fopen(rawPath, "rb");
        if (shares[1].Raw == nullptr || !SeekFile(shares[1].Raw, wholeScans / 2 * scanBytes)) {
            fclose(shares[0].Raw);
            if (shares[1].Raw != nullptr) fclose(shares[1].Raw);
            return 0;
        }
        shares[0].Scans = wholeScans / 2;
    }
    shares[0].TakeFirst = true;
    for (Share& share : shares) share.Acc = acc;
    std::function<void()> report;
    if (progress != nullptr && progress->Step != nullptr)
        report = [&] { progress->Step(progress->Context, shares[0].Done + shares[1].Done, total); };
    std::thread second;
    bool secondHere = false;  // no thread to be had: the second half after the first
    if (split) {
        try {
            second = std::thread([&] { ScreenShare(layout, owner, &shares[1], nullptr); });
        } catch (const std::system_error&) {
            secondHere = true;
        }
    }
    ScreenShare(layout, owner, &shares[0], report);
    if (second.joinable()) second.join();
    if (secondHere) ScreenShare(layout, owner, &shares[1], nullptr);
    if (split && report) report();
    bool readFailed = false;
    for (Share& share : shares) {
        if (share.Raw == nullptr) continue;
        readFailed = readFailed || share.ReadFailed;
        fclose(share.Raw);
    }
    acc = shares[0].Acc;
    if (split)
        for (size_t i = 0; i < n; ++i) Merge(&acc[i], shares[1].Acc[i]);
    for (size_t i = 0; i < n; ++i) {
        const Accumulator& a = acc[i];
        ChannelScreening s{layout.Channels[i], a.Count, false, false, 0.0};
        if (a.Count > 0) {
            // A sample more than 50 counts from the first one; a rail word beyond 32765.
            s.Changing = a.Max - a.First > 50 || a.First - a.Min > 50;
            s.Railed = a.RailMax > 32765 || a.RailMin < -32765;
            // n^2 variance = n sum(x^2) - (sum x)^2, exact in 128 bits.
            const __int128 count = static_cast<__int128>(a.Count);
            const __int128 spread = count * static_cast<__int128>(a.SumOfSquares) -
                                    static_cast<__int128>(a.Sum) * static_cast<__int128>(a.Sum);
            const double c = static_cast<double>(a.Count);
            s.Deviation = std::sqrt(static_cast<double>(spread) / c / c);
        }
        result->push_back(s);
    }
    return readFailed ? 0 : 1;
}

std::string WizardReport(const WizardChecks& checks, const std::vector<ChannelScreening>& screened) {
    struct Section {
        bool Asked;
        const char* Banner;
        int Kind;
    };
    const Section sections[] = {
        {checks.NotChanging,
         "*****************CHANNELS THAT CHANGED LESS THAN 50 COUNTS***************************\n", 0},
        {checks.AtRail,
         "*****************CHANNELS THAT OVERLOADED********************************************\n", 1},
        {checks.Noisy, "*****************CHANNELS THAT APPEAR NOISY********************************\n", 2},
    };
    std::string report;
    for (const Section& sec : sections) {
        if (!sec.Asked) continue;
        report += sec.Banner;
        for (const ChannelScreening& s : screened) {
            const bool listed = sec.Kind == 0   ? ListedNotChanging(s)
                                : sec.Kind == 1 ? ListedAtRail(s)
                                                : ListedNoisy(s, ChannelAdcBits(s.Channel));
            if (!listed) continue;
            char line[128];
            snprintf(line, sizeof line, "Channel %d Named %s \n", s.Channel,
                     FieldText(lpsChannelParams->NAME[s.Channel], sizeof lpsChannelParams->NAME[s.Channel]).c_str());
            report += line;
        }
    }
    return report;
}

int32_t RunDataWizard(const WizardChecks& checks, const char* testPath, const char* reportPath,
                      std::string* problem, const ExportProgress* progress) {
    std::vector<ChannelScreening> screened;
    RecordingLayout layout;
    bool ok = true;
    const bool asked = checks.NotChanging || checks.AtRail || checks.Noisy;
    if (asked) {
        char raw[300];
        if (!CurrentRecordingLayout(&layout, problem)) {
            ok = false;
        } else if (!DataFileName(testPath, ".raw", raw, sizeof raw) ||
                   !ScreenRecording(raw, layout, &screened, progress)) {
            *problem = std::string("There Is No Data File For This Test: ") + raw;
            screened.clear();
            ok = false;
        }
    }
    const std::string report = WizardReport(checks, screened);
    FILE* f = fopen(reportPath, "w");
    if (f == nullptr) {
        *problem = std::string("Could Not Create ") + reportPath;
        return 0;
    }
    bool written = fwrite(report.data(), 1, report.size(), f) == report.size();
    if (fclose(f) != 0) written = false;
    if (!written) {
        *problem = std::string("Could Not Write ") + reportPath;
        return 0;
    }
    return ok ? 1 : 0;
}
