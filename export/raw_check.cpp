// Portable: the raw-file check.
#include "export/raw_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "acquire/scan_map.h"
#include "testmodel/system_settings.h"

namespace {

// Findings of one kind beyond this many are only counted.
constexpr uint64_t kShownPerKind = 5;

inline uint16_t WordAt(const uint8_t* b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); }

void Note(RawCheckReport* r, uint64_t count, const std::string& text) {
    if (count <= kShownPerKind) r->Findings.push_back(text);
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    const size_t b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// The map's "key = value" lines.
bool ReadMap(const char* mapPath, std::map<std::string, std::string>* keys) {
    FILE* f = fopen(mapPath, "r");
    if (f == nullptr) return false;
    char line[512];
    while (fgets(line, sizeof line, f) != nullptr) {
        const char* eq = strchr(line, '=');
        if (eq == nullptr) continue;
        (*keys)[Trim(std::string(line, static_cast<size_t>(eq - line)))] = Trim(eq + 1);
    }
    fclose(f);
    return true;
}

void CheckMap(const char* mapPath, const RecordingLayout& layout, RawCheckReport* r) {
    std::map<std::string, std::string> keys;
    if (!ReadMap(mapPath, &keys)) {
        r->Findings.push_back(std::string("map file missing or unreadable: ") + mapPath);
        return;
    }
    r->MapChecked = true;
    auto number = [&](const char* key, double* value) {
        auto it = keys.find(key);
        if (it == keys.end()) {
            r->Findings.push_back(std::string("map: no ") + key);
            return false;
        }
        char* end = nullptr;
        *value = strtod(it->second.c_str(), &end);
        if (end == it->second.c_str()) {
            r->Findings.push_back(std::string("map: ") + key + " is not a number");
            return false;
        }
        return true;
    };
    char text[256];
    double v = 0;
    if (number("Scans In Minor Frame", &v) && v != layout.Blocks) {
        snprintf(text, sizeof text, "map: %g blocks, the test has %u", v, layout.Blocks);
        r->Findings.push_back(text);
    }
    if (number("ScanRate", &v) && std::fabs(v - layout.Rate) > 1e-4 * std::max(1.0, layout.Rate)) {
        snprintf(text, sizeof text, "map: rate %.4f, the test has %.4f", v, layout.Rate);
        r->Findings.push_back(text);
    }
    const int32_t spt = MapSamplesPerTransfer(layout.Positions, layout.Blocks, layout.Rate);
    if (number("SamplesPerTransfer", &v) && v != spt) {
        snprintf(text, sizeof text, "map: %g samples per transfer, the test's table gives %d", v, spt);
        r->Findings.push_back(text);
    }
    // The map lists the scanned channels with a card, in ascending order.
    std::vector<int32_t> listed;
    for (int32_t c = 0; c < kChannels; ++c)
        if (!PositionsOfChannel(c).Position.empty() && lpsChannelParams->CARDTYPE[c] != 0) listed.push_back(c);
    if (number("Channels Per Scan", &v) && v != static_cast<double>(listed.size())) {
        snprintf(text, sizeof text, "map: %g channels, the test scans %zu", v, listed.size());
        r->Findings.push_back(text);
    }
    for (size_t i = 0; i < listed.size(); ++i) {
        auto it = keys.find("Channel" + std::to_string(i));
        if (it == keys.end() || atoi(it->second.c_str()) != listed[i]) {
            snprintf(text, sizeof text, "map: Channel%zu is not channel %d", i, listed[i]);
            r->Findings.push_back(text);
            break;
        }
    }
}

}  // namespace

int32_t CheckRawFile(const char* rawPath, const char* mapPath, RawCheckReport* r, const ExportProgress* progress) {
    *r = RawCheckReport{};
    RecordingLayout layout;
    std::string problem;
    if (!CurrentRecordingLayout(&layout, &problem)) {
        r->Findings.push_back(problem);
        return 0;
    }
    if (mapPath != nullptr) CheckMap(mapPath, layout, r);
    FILE* raw = fopen(rawPath, "rb");
    if (raw == nullptr) {
        r->Findings.push_back(std::string("raw file missing or unreadable: ") + rawPath);
        return 0;
    }
    r->FileBytes = FileLength(raw);
    const uint64_t scanBytes = layout.ScanBytes;
    const uint64_t k = layout.ScansPerTransfer;
    const size_t scansPerChunk = std::max<size_t>(1, (8u << 20) / scanBytes);
    std::vector<uint8_t> buffer(scansPerChunk * scanBytes);
    uint64_t scan = 0, done = 0;
    uint16_t sequence = 0;  // of the current transfer
    bool haveTransfer = false;
    char text[256];
    for (;;) {
        const size_t got = fread(buffer.data(), 1, buffer.size(), raw);
        const size_t scans = got / scanBytes;
        for (size_t i = 0; i < scans; ++i, ++scan) {
            const uint8_t* b = buffer.data() + i * scanBytes;
            if (WordAt(b) != kSyncWord) {
                snprintf(text, sizeof text, "scan %llu (byte %llu): sync word 0x%04X", static_cast<unsigned long long>(scan),
                         static_cast<unsigned long long>(scan * scanBytes), WordAt(b));
                Note(r, ++r->BadSyncScans, text);
            }
            const uint16_t seq = WordAt(b + 2);
            if (scan % k == 0) {
                const uint64_t transfer = scan / k;
                if (haveTransfer) {
                    const uint16_t step = static_cast<uint16_t>(seq - sequence);
                    if (step == 0 || step >= 0x8000) {
                        snprintf(text, sizeof text, "transfer %llu: sequence %u repeats or goes back (after %u)",
                                 static_cast<unsigned long long>(transfer), seq, sequence);
                        Note(r, ++r->RepeatedTransfers, text);
                    } else if (step > 1) {
                        r->MissingTransfers += step - 1u;
                        snprintf(text, sizeof text, "transfer %llu: sequence %u follows %u (%u missing)",
                                 static_cast<unsigned long long>(transfer), seq, sequence, step - 1u);
                        Note(r, r->MissingTransfers, text);
                    }
                }
                sequence = seq;
                haveTransfer = true;
            } else if (seq != sequence) {
                snprintf(text, sizeof text, "scan %llu: sequence %u inside transfer %u", static_cast<unsigned long long>(scan),
                         seq, sequence);
                Note(r, ++r->MixedScans, text);
            }
        }
        if (got % scanBytes != 0) r->PartialScanBytes = got % scanBytes;
        done += got;
        if (progress != nullptr && progress->Step != nullptr) progress->Step(progress->Context, done, r->FileBytes);
        if (got < buffer.size()) break;
    }
    const bool readFailed = ferror(raw) != 0;
    fclose(raw);
    if (readFailed) r->Findings.push_back(std::string("read error in ") + rawPath);
    r->Scans = scan;
    r->Transfers = (scan + k - 1) / k;
    if (r->PartialScanBytes > 0) {
        snprintf(text, sizeof text, "the file ends %llu bytes into a scan", static_cast<unsigned long long>(r->PartialScanBytes));
        r->Findings.push_back(text);
    }
    if (scan % k != 0) {
        snprintf(text, sizeof text, "the last transfer holds %llu of %llu scans", static_cast<unsigned long long>(scan % k),
                 static_cast<unsigned long long>(k));
        r->Findings.push_back(text);
    }
    if (r->FileBytes == 0) r->Findings.push_back("the raw file is empty");
    return r->Findings.empty() ? 1 : 0;
}

std::string RawCheckText(const RawCheckReport& r, bool sound) {
    std::string t;
    bool mapDiffers = false;
    for (const std::string& f : r.Findings) {
        t += f + "\n";
        if (f.rfind("map:", 0) == 0) mapDiffers = true;
    }
    char line[512];
    snprintf(line, sizeof line,
             "%s: %llu bytes, %llu scans, %llu transfers; %llu without sync, %llu out of their transfer, "
             "%llu transfers missing, %llu repeated; %s\n",
             sound ? "sound" : "NOT SOUND", static_cast<unsigned long long>(r.FileBytes),
             static_cast<unsigned long long>(r.Scans), static_cast<unsigned long long>(r.Transfers),
             static_cast<unsigned long long>(r.BadSyncScans), static_cast<unsigned long long>(r.MixedScans),
             static_cast<unsigned long long>(r.MissingTransfers), static_cast<unsigned long long>(r.RepeatedTransfers),
             !r.MapChecked ? "map not checked" : mapDiffers ? "map differs from the test" : "map agrees with the test");
    return t + line;
}
