// Portable: the shared pass over a raw file.
#include "export/recording_walk.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// About 1 MB of whole scans per read: a chunk stays in the cache while every
// channel's samples are picked out of it.
constexpr uint64_t kChunkBytes = 1u << 20;

// Raw files are little-endian whatever the machine reading them.
inline int16_t SampleAt(const uint8_t* bytes) {
    if constexpr (std::endian::native == std::endian::little) {
        int16_t sample;
        memcpy(&sample, bytes, sizeof sample);
        return sample;
    }
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)));
}

}  // namespace

ChannelSeries SeriesOfChannel(int32_t channel, bool wantTime) {
    ChannelSeries s;
    s.Channel = channel;
    s.WantTime = wantTime;
    s.Where = PositionsOfChannel(channel);
    s.Scale = CurrentChannelScale(channel);
    s.Count = 0;
    return s;
}

int32_t WalkRecording(FILE* raw, const RecordingLayout& layout, std::vector<ChannelSeries>* series,
                      bool (*consume)(void*, std::vector<ChannelSeries>*), void* context,
                      const ExportProgress* progress) {
    const uint64_t scanBytes = layout.ScanBytes;
    if (scanBytes == 0 || layout.Rate <= 0.0) return 0;
    const uint64_t scansPerChunk = std::max<uint64_t>(1, kChunkBytes / scanBytes);
    std::vector<uint8_t> buffer(scansPerChunk * scanBytes);
    std::vector<int16_t> counts;
    const uint64_t total = progress != nullptr ? FileLength(raw) : 0;
    uint64_t done = 0;
    uint64_t firstScan = 0;
    const double blocks = layout.Blocks;
    for (;;) {
        const size_t got = fread(buffer.data(), 1, buffer.size(), raw);
        if (got == 0) break;
        const uint64_t whole = got / scanBytes;
        const uint64_t tail = got - whole * scanBytes;  // bytes of a last, partial scan
        for (ChannelSeries& s : *series) {
            const size_t k = s.Where.Position.size();
            const uint32_t* where = s.Where.Position.data();
            // The channel's samples of this chunk, gathered out of the scans,
            // then converted in one sweep.  A sample of the partial scan
            // counts when both its bytes are there.
            size_t n = whole * k;
            for (size_t j = 0; j < k; ++j) n += 16 + 2 * static_cast<uint64_t>(where[j]) + 2 <= tail ? 1 : 0;
            counts.resize(std::max(counts.size(), n));
            size_t v = 0;
            const uint8_t* scan = buffer.data() + 16;
            for (uint64_t i = 0; i < whole; ++i, scan += scanBytes)
                for (size_t j = 0; j < k; ++j) counts[v++] = SampleAt(scan + 2 * where[j]);
            for (size_t j = 0; j < k && v < n; ++j)
                if (16 + 2 * static_cast<uint64_t>(where[j]) + 2 <= tail) counts[v++] = SampleAt(scan + 2 * where[j]);
            s.Value.resize(n);
            EngineeringValues(s.Scale, counts.data(), n, s.Value.data());
            if (s.WantTime) {
                s.Time.resize(n);
                double* time = s.Time.data();
                for (size_t at = 0, i = 0; at < n; ++i) {
                    const double start = static_cast<double>(firstScan + i) * blocks;
                    for (size_t j = 0; j < k && at < n; ++j) time[at++] = (start + s.Where.Block[j]) / layout.Rate;
                }
            } else {
                s.Time.clear();
            }
            s.Count += n;
        }
        firstScan += whole + (tail > 0 ? 1 : 0);
        done += got;
        if (!consume(context, series)) return 0;
        if (progress != nullptr && progress->Step != nullptr) progress->Step(progress->Context, done, total);
        if (got < buffer.size()) break;
    }
    return ferror(raw) ? 0 : 1;
}
