// Portable: the data wizard.
#include "export/data_wizard.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstdint>

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

}  // namespace

bool ListedNotChanging(const ChannelScreening& s) { return s.Samples > 0 && !s.Changing; }
bool ListedAtRail(const ChannelScreening& s) { return s.Railed; }
bool ListedNoisy(const ChannelScreening& s, int32_t adcBits) {
    return s.Samples > 0 && s.Deviation > (adcBits == 12 ? 400.0 : 50.0);
}

int32_t ScreenRecording(const char* rawPath, const RecordingLayout& layout, std::vector<ChannelScreening>* result,
                        const ExportProgress* progress) {
    result->clear();
    FILE* raw = fopen(rawPath, "rb");
    if (raw == nullptr) return 0;
    const size_t n = layout.Channels.size();
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
    const size_t scanBytes = layout.ScanBytes;
    const size_t scansPerChunk = std::max<size_t>(1, (8u << 20) / scanBytes);
    std::vector<uint8_t> buffer(scansPerChunk * scanBytes);
    // Per position, for one chunk: laid out so the inner loop runs straight
    // along a scan.  The squares fit 64 bits: at most 2^22 samples of 2^38.
    const uint32_t P = layout.Positions;
    std::vector<int32_t> scale(P, 1);
    std::vector<int16_t> mn(P), mx(P), rmn(P), rmx(P);
    std::vector<int64_t> sum(P);
    std::vector<uint64_t> sq(P);
    std::vector<int16_t> row(P);
    for (uint32_t p = 0; p < P; ++p)
        if (owner[p] >= 0) scale[p] = acc[owner[p]].Scale;
    const uint64_t total = progress != nullptr ? FileLength(raw) : 0;
    uint64_t done = 0;
    for (;;) {
        const size_t got = fread(buffer.data(), 1, buffer.size(), raw);
        const size_t scans = got / scanBytes;
        if (scans > 0)
            for (size_t i = 0; i < n; ++i)
                if (!acc[i].HaveFirst) {
                    const std::vector<uint32_t> where = PositionsOfChannel(layout.Channels[i]).Position;
                    if (!where.empty()) {
                        acc[i].First = SampleAt(buffer.data() + 16 + 2 * where[0]);
                        acc[i].HaveFirst = true;
                    }
                }
        std::fill(mn.begin(), mn.end(), INT16_MAX);
        std::fill(rmn.begin(), rmn.end(), INT16_MAX);
        std::fill(mx.begin(), mx.end(), INT16_MIN);
        std::fill(rmx.begin(), rmx.end(), INT16_MIN);
        std::fill(sum.begin(), sum.end(), 0);
        std::fill(sq.begin(), sq.end(), 0);
        for (size_t s = 0; s < scans; ++s) {
            const uint8_t* scan = buffer.data() + s * scanBytes + 16;
            if constexpr (std::endian::native == std::endian::little) memcpy(row.data(), scan, 2 * P);
            else
                for (uint32_t p = 0; p < P; ++p) row[p] = SampleAt(scan + 2 * p);
            // Extremes in 16 bits (the rail test takes a 12-bit count
            // times 16 as a 16-bit word), then the sums.
            for (uint32_t p = 0; p < P; ++p) {
                const int16_t v = row[p];
                const int16_t rail = static_cast<int16_t>(static_cast<uint16_t>(v * scale[p]));
                mn[p] = std::min(mn[p], v);
                mx[p] = std::max(mx[p], v);
                rmn[p] = std::min(rmn[p], rail);
                rmx[p] = std::max(rmx[p], rail);
            }
            for (uint32_t p = 0; p < P; ++p) {
                const int64_t x = static_cast<int64_t>(row[p]) * scale[p];
                sum[p] += x;
                sq[p] += static_cast<uint64_t>(x * x);
            }
        }
        for (uint32_t p = 0; p < P && scans > 0; ++p) {
            if (owner[p] < 0) continue;
            Accumulator& a = acc[owner[p]];
            a.Min = std::min<int32_t>(a.Min, mn[p]);
            a.Max = std::max<int32_t>(a.Max, mx[p]);
            a.RailMin = std::min<int32_t>(a.RailMin, rmn[p]);
            a.RailMax = std::max<int32_t>(a.RailMax, rmx[p]);
            a.Sum += sum[p];
            a.SumOfSquares += sq[p];
            a.Count += scans;
        }
        done += got;
        if (progress != nullptr && progress->Step != nullptr) progress->Step(progress->Context, done, total);
        if (got < buffer.size()) break;
    }
    const bool readFailed = ferror(raw) != 0;
    fclose(raw);
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
