// Portable: the analysis program's file set.
#include "export/analysis_files.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/data_file_name.h"
#include "export/data_runs.h"
#include "export/safe_file_name.h"
#include "platform/platform.h"
#include "testmodel/system_settings.h"

namespace {

constexpr const char* kCreationFailure = "File Creation Failure";

struct SetContext {
    std::string Base;   // B0: the test path cut by the data-file rule
    std::string Short;  // N0: B0 without its folder
    RecordingLayout Layout;
    std::vector<int32_t> Channels;
};

std::string Text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Text(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}
// The same, ended by a line end.
std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(text) + "\n";
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) (s += l) += "\n";
    return s;
}

// Writes `text` to `path` ("w"); false when it cannot be created or written.
bool WriteText(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "w");
    if (f == nullptr) return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}

// Scan-table word index of a channel: 8 + its first position; -1 when the
// channel is not in the table.
int32_t WordIndex(int32_t channel) {
    const ChannelPositions p = PositionsOfChannel(channel);
    return p.Position.empty() ? -1 : 8 + static_cast<int32_t>(p.Position[0]);
}

std::string Subcommutation(const RecordingLayout& l) {
    const uint32_t depth = l.Positions / l.Blocks;
    return depth == l.Positions ? std::string("0;;") : Text("1;%u;", depth);
}

std::string ChannelName(int32_t c) { return FieldText(lpsChannelParams->NAME[c], sizeof lpsChannelParams->NAME[c]); }
std::string ChannelUnits(int32_t c) {
    return FieldText(lpsChannelParams->UNITS[c], sizeof lpsChannelParams->UNITS[c]);
}

const char* const kFormatHead[] = {"03", "0", "0", "0", "0", "0", "16", "0", "1"};
const char* const kPlaybackHead[] = {"03", "3", "0", "0", "0", "0", "16", "0", "1"};
const char* const kFormatMiddle[] = {"2"};
const char* const kFormatTail[] = {"1111111001101011", "0010100001000000", "1110101100001000", "9", "4", "0", "4",
                                   "1", "4", "4", "4", "4", "1", "1", "1", "0", "0", "1", "00"};
const char* const kFormatEnd[] = {"0", "11927", "11927", "0", "0", "1", "0", "0", "0", "0", "0", "0", "1", "0", "#"};

std::string FramingLines(const char* const* head, const SetContext& s) {
    std::string t;
    for (int i = 0; i < 9; ++i) (t += head[i]) += "\n";
    t += Line("%u", s.Layout.Positions + 8);
    t += Line("%s", kFormatMiddle[0]);
    t += AnalysisBitRate(s.Layout.Positions, s.Layout.Blocks, s.Layout.Rate) + "\n";
    for (const char* l : kFormatTail) (t += l) += "\n";
    return t;
}

std::string ProjectText(const SetContext& s) {
    return "[Series2 0]\nProject=DES_1\nSignal=" + s.Short + ".sig\nData=" + s.Base + ".dat\nFormat=" + s.Short +
           ".for\nSimulator=" + s.Short + ".das\n\n[Global]\nScreen=" + s.Short + ".dsw\nProcess=\n";
}

std::string FormatText(const SetContext& s) {
    std::string t = FramingLines(kFormatHead, s);
    for (const char* l : kFormatEnd) (t += l) += "\n";
    return t;
}

void MissingLocation(const char* caption) {
    PlatformMessageBox("Could Not Find Scan List Location", caption, MB_OK_ | MB_ICONEXCLAMATION_);
}

std::string SignalText(const SetContext& s) {
    const std::string sub = Subcommutation(s.Layout);
    std::string t = "$\n";
    const int32_t words = static_cast<int32_t>(s.Channels.size()) + 8;
    for (int32_t w = 0; w < words; ++w) {
        t += Text("%3d*", w + 1);
        if (w < 8) {
            t += "Header" + std::to_string(w) + ";;" + std::to_string(w) + ";0;;HEAD";
        } else {
            const int32_t c = s.Channels[w - 8];
            t += ChannelName(c) + ";;";
            const int32_t index = WordIndex(c);
            if (index < 0) MissingLocation("SIG File Setup Failure");
            else t += std::to_string(index) + ";";
            t += sub + ChannelUnits(c);
        }
        t += ";0;1.000;0.000;0.000;65536.000;0;0100000;1.000;65535.000;16;;;\n";
    }
    t += Lines({"#", "&", "3", "3", "2", "1", "0", "1", "1", "1", "0", "0", "227", "0", "0", "4", "1", "0", "10",
                "10", "0", "#"});
    return t;
}

std::string CalibrationText(const SetContext& s) {
    const std::string sub = Subcommutation(s.Layout);
    std::string t = ">\n";
    const int32_t words = static_cast<int32_t>(s.Channels.size()) + 8;
    for (int32_t w = 0; w < words; ++w) {
        const bool header = w < 8;
        const int32_t c = header ? -1 : s.Channels[w - 8];
        const std::string name = header ? "Header" + std::to_string(w) : ChannelName(c);
        t += Text("*%3d*", w + 1) + "Akima;2;" +
             (header ? std::string("0;;") : sub) + name + ";;-10000.000;10000.000;\n";
        if (header) {
            t += "3;-10000.000;0.000;0.000;32768.000;10000.000;65536.000;";
        } else {
            const ChannelScale k = CurrentChannelScale(c);
            char text[256];
            snprintf(text, sizeof text, "3;%.4f;0.000;%.4f;32768.000;%.4f;65536.000;",
                     k.Slope * (-10000.0 / k.Gain) + k.Offset, k.Offset, k.Slope * (10000.0 / k.Gain) + k.Offset);
            t += text;
        }
        t += "0;0;0;0;0;0;0;0;0;0;0;0;\n";
        t += "non-linear;\n";
        const int32_t index = header ? w : WordIndex(c);
        if (index < 0) {
            MissingLocation("CBN File Setup Failure");
            t += ";XXXXXXXXXXXXXXXX;\n";
        } else {
            t += ";" + std::to_string(index) + ";XXXXXXXXXXXXXXXX;\n";
        }
        t += "0\n";
    }
    t += "#\n";
    return t;
}

std::string RunTableText(const SetContext& s) {
    std::string t = "TOP_2\n" + s.Base + ".dat\nSTART\n";
    t += Line("F %d", static_cast<int32_t>(std::trunc(s.Layout.Blocks / s.Layout.Rate * 1000000.0)));
    RunTable runs;
    const uint64_t transferBytes = static_cast<uint64_t>(s.Layout.ScanBytes) * s.Layout.ScansPerTransfer;
    if (ListRuns((s.Base + ".raw").c_str(), transferBytes, &runs) && runs.Count > 1) {
        uint64_t first = 0;
        for (int32_t i = 0; i < runs.Count; ++i) {
            const uint64_t last = first + runs.Run[i].Transfers * s.Layout.ScansPerTransfer;
            t += Line("%d;%llu;%llu", i, static_cast<unsigned long long>(first), static_cast<unsigned long long>(last));
            first = last + 1;
        }
    }
    t += "#\n";
    return t;
}

std::string PlaybackText(const SetContext& s) {
    std::string t = "PLB_2\nPC real clock\n0/0/0\n0:0:0:0\n" + s.Base + ".for\n";
    t += FramingLines(kPlaybackHead, s);
    t += AnalysisWordMask(s.Layout.Positions);
    t += "&\nF 300.000N\n#\n";
    return t;
}

// 7: the data file.  0 written, else the report already shown.
bool WriteDataFile(const SetContext& s, const ExportProgress* progress) {
    FILE* raw = fopen((s.Base + ".raw").c_str(), "rb");
    if (raw == nullptr) {
        PlatformMessageBox("There Was No Raw Data To Save In Morva Compatible Form", "Record Data Prior To Using Morva",
                           MB_OK_ | MB_ICONINFORMATION_);
        return false;
    }
    FILE* dat = fopen((s.Base + ".dat").c_str(), "wb");
    if (dat == nullptr) {
        fclose(raw);
        PlatformMessageBox("Could Not Create Datafile", "File Missing", MB_OK_ | MB_ICONEXCLAMATION_);
        return false;
    }
    // A 12-bit count moves to the word's top (times 16, modulo 2^16), then
    // the sign bit flips.  Rows padded to whole blocks of kBlock positions
    // keep the loop's length fixed, so it vectorises.
    constexpr uint32_t kBlock = 16;
    const uint32_t P = s.Layout.Positions;
    const uint32_t padded = (P + kBlock - 1) / kBlock * kBlock;
    std::vector<uint16_t> factor(padded, 1), row(padded, 0);
    for (uint32_t p = 0; p < P; ++p)
        if (ChannelAdcBits(static_cast<int32_t>(lpProgScanList->Entry[p].CHANNEL)) == 12) factor[p] = 16;
    const size_t scanBytes = s.Layout.ScanBytes;
    const size_t scansPerChunk = std::max<size_t>(1, (8u << 20) / scanBytes);
    std::vector<uint8_t> in(scansPerChunk * scanBytes);
    std::vector<uint8_t> out(scansPerChunk * (scanBytes + 8));
    const uint64_t total = progress != nullptr ? FileLength(raw) : 0;
    uint64_t done = 0;
    bool ok = true;
    for (;;) {
        const size_t got = fread(in.data(), 1, in.size(), raw);
        const size_t scans = got / scanBytes;  // complete scans only
        uint8_t* o = out.data();
        for (size_t i = 0; i < scans; ++i) {
            const uint8_t* scan = in.data() + i * scanBytes;
            memset(o, 0, 8);
            memcpy(o + 8, scan, 16);
            if constexpr (std::endian::native == std::endian::little) {
                memcpy(row.data(), scan + 16, 2 * static_cast<size_t>(P));
            } else {
                for (uint32_t p = 0; p < P; ++p)
                    row[p] = static_cast<uint16_t>(scan[16 + 2 * p] | (scan[17 + 2 * p] << 8));
            }
            for (uint32_t b = 0; b < padded; b += kBlock)
                for (uint32_t j = 0; j < kBlock; ++j)
                    row[b + j] = static_cast<uint16_t>(static_cast<uint16_t>(row[b + j] * factor[b + j]) ^ 0x8000u);
            if constexpr (std::endian::native == std::endian::little) {
                memcpy(o + 24, row.data(), 2 * static_cast<size_t>(P));
            } else {
                for (uint32_t p = 0; p < P; ++p) {
                    o[24 + 2 * p] = static_cast<uint8_t>(row[p] & 0xFF);
                    o[25 + 2 * p] = static_cast<uint8_t>(row[p] >> 8);
                }
            }
            o += scanBytes + 8;
        }
        const size_t n = static_cast<size_t>(o - out.data());
        if (n > 0 && fwrite(out.data(), 1, n, dat) != n) {
            ok = false;
            break;
        }
        done += got;
        if (progress != nullptr && progress->Step != nullptr) progress->Step(progress->Context, done, total);
        if (got < in.size()) break;
    }
    if (ferror(raw)) ok = false;
    fclose(raw);
    if (fclose(dat) != 0) ok = false;
    if (!ok)
        PlatformMessageBox("Failed To Create The DAT file for Morva", kCreationFailure, MB_OK_ | MB_ICONEXCLAMATION_);
    return ok;
}

}  // namespace

std::string AnalysisBitRate(uint32_t positions, uint32_t blocks, double rate) {
    char text[64];
    snprintf(text, sizeof text, "%.4f", (positions + 8.0) * 16.0 * rate / blocks / 1000.0);
    return text;
}

std::string AnalysisWordMask(uint32_t positions) {
    std::string t;
    for (uint32_t left = positions + 8; left > 0;) {
        const uint32_t n = left < 64 ? left : 64;
        t += std::string(n, '1') + "\n";
        left -= n;
    }
    return t;
}

uint16_t AnalysisDataWord(int16_t sample, int32_t adcBits) {
    uint16_t w = static_cast<uint16_t>(sample);
    if (adcBits == 12) w = static_cast<uint16_t>(w << 4);
    return static_cast<uint16_t>(w ^ 0x8000u);
}

int32_t WriteAnalysisFiles(const char* testPath, const ExportProgress* progress) {
    SetContext s;
    char base[300];
    std::string problem;
    if (lpsChannelParams == nullptr || !DataFileName(testPath, "", base, sizeof base)) {
        PlatformMessageBox("Failed To Create The DES file for Morva", kCreationFailure, MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    // An empty scan list or a rate of 0 would divide by zero in the bit rate,
    // the subcommutation and the scan period.
    if (!CurrentRecordingLayout(&s.Layout, &problem)) {
        PlatformMessageBox(("Cannot Describe The Recording For Morva: " + problem).c_str(), kCreationFailure,
                           MB_OK_ | MB_ICONEXCLAMATION_);
        return 0;
    }
    s.Base = base;
    s.Short = TestFolder(base).size() < s.Base.size() ? s.Base.substr(TestFolder(base).size()) : s.Base;
    s.Channels = s.Layout.Channels;

    struct Writer {
        const char* Extension;
        const char* Failure;
        std::string (*Text)(const SetContext&);
    };
    const Writer writers[] = {
        {".des", "Failed To Create The DES file for Morva", ProjectText},
        {".for", "Failed To Create The FOR file for Morva", FormatText},
        {".sig", "Failed To Create The SIG file for Morva", SignalText},
        {".cbn", "Failed To Create The CBN file for Morva", CalibrationText},
        {".top", "Failed To Create The TOP file for Morva", RunTableText},
        {".plb", "Failed To Create The PLB file for Morva", PlaybackText},
    };
    for (const Writer& w : writers) {
        if (!WriteText(s.Base + w.Extension, w.Text(s))) {
            PlatformMessageBox(w.Failure, kCreationFailure, MB_OK_ | MB_ICONEXCLAMATION_);
            return 0;
        }
    }
    return WriteDataFile(s, progress) ? 1 : 0;
}

int32_t ExportAnalysisFilesOfRecording() {
    char raw[300];
    if (!DataFileName(szTestFile, ".raw", raw, sizeof raw)) return 1;
    FILE* f = fopen(raw, "rb");
    if (f == nullptr) return 1;
    fclose(f);
    return ExportAnalysisFiles();
}

int32_t ExportAnalysisFiles() {
    PlatformBeginWaitCursor();
    const int32_t written = WriteAnalysisFiles(szTestFile, nullptr);
    PlatformEndWaitCursor();
    return written;
}
