// Portable: ASCII and DaDisp export.
#include "export/channel_export.h"

#include <cstdio>
#include <cstring>

#include "base/data_file_name.h"
#include "export/safe_file_name.h"
#include "platform/platform.h"

namespace {

// Output of one channel, collected in memory and handed over in large writes.
struct ChannelOutput {
    FILE* File = nullptr;
    std::string Path;
    std::string Pending;
    bool Failed = false;
};

struct ExportPass {
    ChannelFormat Format;
    std::vector<ChannelOutput>* Outputs;
};

void Report(const char* what, const std::string& path) {
    const std::string text = std::string(what) + path;
    PlatformMessageBox(text.c_str(), kExportProblem, MB_OK_ | MB_ICONEXCLAMATION_);
}

bool Flush(ChannelOutput* out) {
    if (out->Failed || out->Pending.empty()) return !out->Failed;
    if (fwrite(out->Pending.data(), 1, out->Pending.size(), out->File) != out->Pending.size())
        out->Failed = true;
    out->Pending.clear();
    return !out->Failed;
}

bool ConsumeChunk(void* context, std::vector<ChannelSeries>* series) {
    ExportPass* pass = static_cast<ExportPass*>(context);
    for (size_t i = 0; i < series->size(); ++i) {
        ChannelOutput& out = (*pass->Outputs)[i];
        const ChannelSeries& s = (*series)[i];
        if (out.File == nullptr || out.Failed) continue;
        if (pass->Format == ChannelFormat::DaDisp) {
            // The doubles go out as they are, straight from the series (an
            // empty one has no buffer to hand fwrite).
            if (!s.Value.empty() && fwrite(s.Value.data(), sizeof(double), s.Value.size(), out.File) != s.Value.size())
                out.Failed = true;
            continue;
        } else {
            char line[128];
            for (size_t j = 0; j < s.Value.size(); ++j) {
                const int n = snprintf(line, sizeof line, " %f\t\t%f\n", s.Time[j], s.Value[j]);
                if (n > 0) out.Pending.append(line, static_cast<size_t>(n) < sizeof line ? n : sizeof line - 1);
            }
        }
        Flush(&out);
    }
    return true;
}

}  // namespace

std::string ChannelFileName(ChannelFormat format, const char* testPath, int32_t channel) {
    std::string name;
    if (lpsChannelParams != nullptr && channel >= 0 && channel < kChannels)
        name = FieldText(lpsChannelParams->NAME[channel], sizeof lpsChannelParams->NAME[channel]);
    return TestFolder(testPath) + SafeFileName(name, channel) +
           (format == ChannelFormat::Ascii ? ".asc" : ".dat");
}

std::string AsciiHeader(const char* testPath, int32_t channel) {
    const ChannelParams& cp = *lpsChannelParams;
    char text[512];
    std::string h;
    snprintf(text, sizeof text, "Datafile for Channel %d Test:: %s\n\n", channel, testPath);
    h += text;
    h += "Name: " + FieldText(cp.NAME[channel], sizeof cp.NAME[channel]) + "\n";
    h += "Units: " + FieldText(cp.UNITS[channel], sizeof cp.UNITS[channel]) + "\n";
    h += "Description: " + FieldText(cp.DESCRIPTION[channel], sizeof cp.DESCRIPTION[channel]) + "\n";
    h += "Location: " + FieldText(cp.LOCATION[channel], sizeof cp.LOCATION[channel]) + "\n";
    snprintf(text, sizeof text, "Gain:  %.4f\n", CurrentChannelScale(channel).Gain);
    h += text;
    snprintf(text, sizeof text, "Filter Cutoff (Hz):  %.4f\n", cp.FILTER[channel]);
    h += text;
    h += "::::TIME::::::::::::::::::::DATA:::::::::::::::::::::::::::::::::\n";
    return h;
}

ChannelExportResult ExportChannelFiles(ChannelFormat format, const char* testPath,
                                       const int32_t* channels, int32_t count,
                                       const ExportProgress* progress) {
    ChannelExportResult result{0, 0, false, {}};
    if (count <= 0 || lpsChannelParams == nullptr) return result;
    RecordingLayout layout;
    std::string problem;
    if (!CurrentRecordingLayout(&layout, &problem)) {
        PlatformMessageBox(problem.c_str(), kExportProblem, MB_OK_ | MB_ICONEXCLAMATION_);
        result.Failed = count;
        return result;
    }
    char rawName[300];
    FILE* raw = nullptr;
    if (DataFileName(testPath, ".raw", rawName, sizeof rawName)) raw = fopen(rawName, "rb");
    if (raw == nullptr) {
        PlatformMessageBox("There Is No Datafile To Process", "Please Record Some Data First",
                           MB_OK_ | MB_ICONEXCLAMATION_);
        result.NoRawFile = true;
        return result;
    }

    std::vector<ChannelSeries> series;
    std::vector<ChannelOutput> outputs;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t c = channels[i];
        if (c < 0 || c >= kChannels) continue;
        ChannelOutput out;
        out.Path = ChannelFileName(format, testPath, c);
        out.File = fopen(out.Path.c_str(), format == ChannelFormat::Ascii ? "w" : "wb");
        if (out.File == nullptr) {
            Report("Could Not Create File ", out.Path);
            ++result.Failed;
            continue;
        }
        if (format == ChannelFormat::Ascii) out.Pending = AsciiHeader(testPath, c);
        series.push_back(SeriesOfChannel(c, format == ChannelFormat::Ascii));
        outputs.push_back(std::move(out));
    }
    ExportPass pass{format, &outputs};
    const bool read = WalkRecording(raw, layout, &series, ConsumeChunk, &pass, progress) == 1;
    fclose(raw);
    if (!read) PlatformMessageBox("Could Not Read The Raw Data File", kExportProblem, MB_OK_ | MB_ICONEXCLAMATION_);
    for (ChannelOutput& out : outputs) {
        Flush(&out);
        if (fclose(out.File) != 0) out.Failed = true;
        if (out.Failed || !read) {
            // A read failure was reported once above; a write failure names its file.
            if (read) Report("Could Not Write File ", out.Path);
            ++result.Failed;
            continue;
        }
        ++result.Written;
        result.Files.push_back(out.Path);
    }
    return result;
}
