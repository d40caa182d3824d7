// Portable: the shared pass over a raw file.
#include "export/recording_walk.h"

#include <algorithm>

namespace {

// About 8 MB of whole scans per read.
constexpr uint64_t kChunkBytes = 8u << 20;

inline int16_t SampleAt(const uint8_t* bytes) {
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

uint64_t FileLength(FILE* f) {
#ifdef _WIN32
    const int64_t here = _ftelli64(f);
    if (here < 0 || _fseeki64(f, 0, SEEK_END) != 0) return 0;
    const int64_t end = _ftelli64(f);
    _fseeki64(f, here, SEEK_SET);
#else
    const off_t here = ftello(f);
    if (here < 0 || fseeko(f, 0, SEEK_END) != 0) return 0;
    const off_t end = ftello(f);
    fseeko(f, here, SEEK_SET);
#endif
    return end > 0 ? static_cast<uint64_t>(end) : 0;
}

int32_t WalkRecording(FILE* raw, const RecordingLayout& layout, std::vector<ChannelSeries>* series,
                      bool (*consume)(void*, std::vector<ChannelSeries>*), void* context,
                      const ExportProgress* progress) {
    const uint64_t scanBytes = layout.ScanBytes;
    if (scanBytes == 0 || layout.Rate <= 0.0) return 0;
    const uint64_t scansPerChunk = std::max<uint64_t>(1, kChunkBytes / scanBytes);
    std::vector<uint8_t> buffer(scansPerChunk * scanBytes);
    const uint64_t total = progress != nullptr ? FileLength(raw) : 0;
    uint64_t done = 0;
    uint64_t firstScan = 0;
    const double blocks = layout.Blocks;
    for (;;) {
        const size_t got = fread(buffer.data(), 1, buffer.size(), raw);
        if (got == 0) break;
        const uint64_t scans = (got + scanBytes - 1) / scanBytes;  // the last may be partial
        for (ChannelSeries& s : *series) {
            s.Time.clear();
            s.Value.clear();
            const size_t k = s.Where.Position.size();
            if (k == 0) continue;
            s.Value.reserve(scans * k);
            if (s.WantTime) s.Time.reserve(scans * k);
            // The samples' offsets within a scan, and how many of the last
            // (perhaps partial) scan are whole.
            const uint8_t* data = buffer.data();
            const uint32_t* where = s.Where.Position.data();
            const uint64_t whole = got / scanBytes;
            for (uint64_t i = 0; i < whole; ++i) {
                const uint8_t* scan = data + i * scanBytes + 16;
                for (size_t j = 0; j < k; ++j) s.Value.push_back(EngineeringValue(s.Scale, SampleAt(scan + 2 * where[j])));
            }
            if (whole < scans)
                for (size_t j = 0; j < k; ++j) {
                    const uint64_t at = whole * scanBytes + 16 + 2 * static_cast<uint64_t>(where[j]);
                    if (at + 2 <= got) s.Value.push_back(EngineeringValue(s.Scale, SampleAt(data + at)));
                }
            if (s.WantTime)
                for (size_t v = 0; v < s.Value.size(); ++v) {
                    const uint64_t scan = firstScan + v / k;
                    s.Time.push_back((static_cast<double>(scan) * blocks + s.Where.Block[v % k]) / layout.Rate);
                }
            s.Count += s.Value.size();
        }
        firstScan += scans;
        done += got;
        if (!consume(context, series)) return 0;
        if (progress != nullptr && progress->Step != nullptr) progress->Step(progress->Context, done, total);
        if (got < buffer.size()) break;
    }
    return ferror(raw) ? 0 : 1;
}
