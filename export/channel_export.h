// Per-channel exports of a recording: ASCII text (header, then time and value
// columns) and DaDisp (the engineering values as 8-byte doubles).  The files
// go into the test's folder, named after the channels (made safe as file
// names), and are written in one pass over the raw file whatever the number
// of channels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/recording_walk.h"

enum class ChannelFormat : int32_t { Ascii, DaDisp };

struct ChannelExportResult {
    int32_t Written;  // files complete
    int32_t Failed;   // files that could not be created or written (each reported)
    bool NoRawFile;   // nothing read: the raw file is missing (reported)
    std::vector<std::string> Files;  // the files written, in channel order
};

// The file a channel goes to: the test's folder, the channel's safe name and
// ".asc" or ".dat".
std::string ChannelFileName(ChannelFormat format, const char* testPath, int32_t channel);

// The text that heads a channel's ASCII file, its column line included.
std::string AsciiHeader(const char* testPath, int32_t channel);

// Exports `channels` of the current test's recording (test path `testPath`:
// its raw file by the data-file rule).  A file that cannot be created or
// written is reported ("Could Not Create File ...", "Could Not Write File
// ...") and the others go on; a missing raw file or a layout nothing can be
// read with is reported once.  Existing files of those names are replaced.
ChannelExportResult ExportChannelFiles(ChannelFormat format, const char* testPath,
                                       const int32_t* channels, int32_t count,
                                       const ExportProgress* progress);

// The reports' caption.
constexpr const char* kExportProblem = "Export Problem";
