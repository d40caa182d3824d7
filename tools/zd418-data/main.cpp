// zd418-data: the data tools of the program on an analysis machine, over the
// same portable code as the program's own commands.
//
//   zd418-data COMMAND TEST.mdb [options]
//
// Progress goes to standard error on long work; the exit status is 0 on
// success, 1 on a failure (with its message) and 2 on a usage error.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/data_file_name.h"
#include "export/analysis_files.h"
#include "export/channel_export.h"
#include "export/data_runs.h"
#include "export/data_wizard.h"
#include "export/raw_check.h"
#include "testmodel/system_settings.h"
#include "tools/zd418-data/sample_recording.h"
#include "tools/zd418-data/test_source.h"
#ifdef ZD418_HDF5
#include "export/hdf5_export.h"
#endif

namespace {

const char* const kUsage =
    "usage: zd418-data COMMAND TEST.mdb [options]   (sample: zd418-data sample FOLDER)\n"
    "commands:\n"
    "  ascii    [-c CHANNEL]...          ASCII files (.asc) beside the test, one per channel\n"
    "  dadisp   [-c CHANNEL]...          DaDisp files (.dat) beside the test\n"
    "  hdf5     [-c CHANNEL]... [-o FILE] one HDF5 file (default: the test's data name + .h5)\n"
    "  analysis                          the analysis program's file set (.des .for .sig .cbn .top .plb .dat)\n"
    "  wizard   [--flat] [--rail] [--noisy] [-o REPORT]\n"
    "                                    screen the channels (all three checks when none is named)\n"
    "  runs                              list the runs of the raw file\n"
    "  remove-runs N[,N]...              remove runs by their listed number (1 = first)\n"
    "  check                             check the raw file against its map and the test\n"
    "  sample   FOLDER                   make a small sample test with its recording (FOLDER/t1.mdb)\n"
    "options: -c CHANNEL picks a channel (default: every scan-list channel);\n"
    "         --progress shows progress even when standard error is not a terminal\n"
    "settings: Q90.ini and Q90CARD.ini are read from $ZD418_PROFILE_DIR (default: .)\n";

struct Progress {
    const char* What;
    int32_t Shown;
};

void ShowProgress(void* context, uint64_t done, uint64_t total) {
    Progress* p = static_cast<Progress*>(context);
    const int32_t percent = total > 0 ? static_cast<int32_t>(done * 100 / total) : -1;
    if (percent == p->Shown) return;
    p->Shown = percent;
    if (percent >= 0) fprintf(stderr, "\r%s: %3d%%", p->What, percent);
    else fprintf(stderr, "\r%s: %llu MB", p->What, static_cast<unsigned long long>(done >> 20));
    fflush(stderr);
}

struct Options {
    std::string Command;
    std::string Test;
    std::vector<int32_t> Channels;
    std::string Output;
    bool Flat = false, Rail = false, Noisy = false;
    bool ForceProgress = false;
    std::string RunList;
};

int Usage(const char* problem) {
    if (problem != nullptr) fprintf(stderr, "zd418-data: %s\n", problem);
    fputs(kUsage, stderr);
    return 2;
}

bool ParseChannel(const char* text, int32_t* channel) {
    char* end = nullptr;
    const long v = strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v >= kChannels) return false;
    *channel = static_cast<int32_t>(v);
    return true;
}

// "1,3,4" into 0-based indexes.
bool ParseRuns(const std::string& text, int32_t count, std::vector<bool>* selected) {
    selected->assign(static_cast<size_t>(count), false);
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        const long n = strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || n < 1 || n > count) return false;
        (*selected)[static_cast<size_t>(n - 1)] = true;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

int Fail(const std::string& problem) {
    fprintf(stderr, "zd418-data: %s\n", problem.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::vector<std::string> plain;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            fputs(kUsage, stdout);
            return 0;
        } else if (a == "-c" && i + 1 < argc) {
            int32_t c;
            if (!ParseChannel(argv[++i], &c)) return Usage("a channel is a number from 0 to 255");
            o.Channels.push_back(c);
        } else if (a == "-o" && i + 1 < argc) {
            o.Output = argv[++i];
        } else if (a == "--flat") {
            o.Flat = true;
        } else if (a == "--rail") {
            o.Rail = true;
        } else if (a == "--noisy") {
            o.Noisy = true;
        } else if (a == "--progress") {
            o.ForceProgress = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage(("unknown option " + a).c_str());
        } else {
            plain.push_back(a);
        }
    }
    if (plain.size() < 2) return Usage(nullptr);
    o.Command = plain[0];
    o.Test = plain[1];
    if (o.Command == "remove-runs") {
        if (plain.size() != 3) return Usage("remove-runs needs the run numbers, as in 2,5");
        o.RunList = plain[2];
    } else if (plain.size() != 2) {
        return Usage("too many arguments");
    }
    static const char* const kCommands[] = {"ascii", "dadisp", "hdf5",  "analysis", "wizard",
                                            "runs",  "remove-runs", "check", "sample"};
    bool known = false;
    for (const char* c : kCommands) known = known || o.Command == c;
    if (!known) return Usage(("unknown command " + o.Command).c_str());

    std::string problem;
    if (o.Command == "sample") {
        if (!WriteSampleRecording(o.Test.c_str(), &problem)) return Fail(problem);
        printf("%s\n", szTestFile);
        return 0;
    }
    if (!OpenTestForReading(o.Test.c_str(), &problem)) return Fail(problem);
    const char* test = o.Test.c_str();

    RecordingLayout layout;
    if (!CurrentRecordingLayout(&layout, &problem)) return Fail(o.Test + ": " + problem);
    if (o.Channels.empty()) o.Channels = layout.Channels;
    char raw[300], map[300];
    if (!DataFileName(test, ".raw", raw, sizeof raw) || !DataFileName(test, ".map", map, sizeof map))
        return Fail("the test path names no file");

    Progress shown{o.Command.c_str(), -2};
    ExportProgress progressHook{ShowProgress, &shown};
    const ExportProgress* progress = (o.ForceProgress || isatty(2)) ? &progressHook : nullptr;
    auto endProgress = [&] {
        if (progress != nullptr && shown.Shown != -2) fputc('\n', stderr);
    };

    if (o.Command == "ascii" || o.Command == "dadisp") {
        const ChannelFormat f = o.Command == "ascii" ? ChannelFormat::Ascii : ChannelFormat::DaDisp;
        const ChannelExportResult r =
            ExportChannelFiles(f, test, o.Channels.data(), static_cast<int32_t>(o.Channels.size()), progress);
        endProgress();
        for (const std::string& file : r.Files) printf("%s\n", file.c_str());
        return r.NoRawFile || r.Failed > 0 ? 1 : 0;
    }
    if (o.Command == "hdf5") {
#ifdef ZD418_HDF5
        char h5[300];
        if (o.Output.empty() && DataFileName(test, ".h5", h5, sizeof h5)) o.Output = h5;
        const int32_t ok = ExportHdf5(test, o.Output.c_str(), o.Channels.data(),
                                      static_cast<int32_t>(o.Channels.size()), progress, &problem);
        endProgress();
        if (!ok) return Fail(problem);
        printf("%s\n", o.Output.c_str());
        return 0;
#else
        return Fail("this build has no HDF5 library");
#endif
    }
    if (o.Command == "analysis") {
        const int32_t ok = WriteAnalysisFiles(test, progress);
        endProgress();
        return ok ? 0 : 1;
    }
    if (o.Command == "wizard") {
        WizardChecks checks{o.Flat, o.Rail, o.Noisy};
        if (!o.Flat && !o.Rail && !o.Noisy) checks = {true, true, true};
        const std::string report = o.Output.empty() ? std::string(raw) + ".wizard.txt" : o.Output;
        const int32_t ok = RunDataWizard(checks, test, report.c_str(), &problem, progress);
        endProgress();
        if (FILE* f = fopen(report.c_str(), "r")) {
            char line[256];
            while (fgets(line, sizeof line, f) != nullptr) fputs(line, stdout);
            fclose(f);
        }
        if (o.Output.empty()) remove(report.c_str());
        return ok ? 0 : Fail(problem);
    }
    const uint64_t transferBytes = static_cast<uint64_t>(layout.ScanBytes) * layout.ScansPerTransfer;
    if (o.Command == "runs" || o.Command == "remove-runs") {
        static RunTable runs;
        if (!ListRuns(raw, transferBytes, &runs)) return Fail(std::string("There Is No Data File For This Test: ") + raw);
        if (o.Command == "runs") {
            for (int32_t i = 0; i < runs.Count; ++i)
                printf("%3d  %-12s  byte %llu, %llu transfers\n", i + 1, runs.Run[i].Text,
                       static_cast<unsigned long long>(runs.Run[i].Offset),
                       static_cast<unsigned long long>(runs.Run[i].Transfers));
            if (runs.Capped) printf("(more runs follow; the last listed reaches to the end of the file)\n");
            return 0;
        }
        std::vector<bool> selected;
        if (!ParseRuns(o.RunList, runs.Count, &selected))
            return Usage(("run numbers must lie between 1 and " + std::to_string(runs.Count)).c_str());
        bool chosen[kMaxRuns] = {};
        for (int32_t i = 0; i < runs.Count; ++i) chosen[i] = selected[static_cast<size_t>(i)];
        switch (RemoveRuns(raw, runs, chosen, &problem)) {
            case RemoveResult::Rewritten: printf("runs removed: %s rewritten\n", raw); return 0;
            case RemoveResult::Deleted: printf("every run removed: %s deleted\n", raw); return 0;
            case RemoveResult::NothingSelected: return 0;
            case RemoveResult::Failed: return Fail(problem + "; the data file is unchanged");
        }
        return 1;
    }
    // check
    RawCheckReport report;
    const int32_t sound = CheckRawFile(raw, map, &report, progress);
    endProgress();
    fputs(RawCheckText(report, sound == 1).c_str(), stdout);
    return sound ? 0 : 1;
}
