// Portable: run listing and atomic run removal.
#include "export/data_runs.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "export/recording_walk.h"
#include "platform/platform.h"

namespace {

// Copies `bytes` from `in` at `offset` to `out`; false on a short read or write.
bool CopyRange(FILE* in, uint64_t offset, uint64_t bytes, FILE* out, std::vector<char>* buffer) {
    if (!SeekFile(in, offset)) return false;
    while (bytes > 0) {
        const size_t n = bytes < buffer->size() ? static_cast<size_t>(bytes) : buffer->size();
        if (fread(buffer->data(), 1, n, in) != n) return false;
        if (fwrite(buffer->data(), 1, n, out) != n) return false;
        bytes -= n;
    }
    return true;
}

}  // namespace

int32_t ListRuns(const char* rawPath, uint64_t transferBytes, RunTable* runs) {
    runs->Count = 0;
    runs->Capped = false;
    runs->FileBytes = 0;
    if (transferBytes < 16 || rawPath == nullptr) return 0;
    FILE* f = fopen(rawPath, "rb");
    if (f == nullptr) return 0;
    const uint64_t length = FileLength(f);
    runs->FileBytes = length;
    // Only the 12 text bytes of each transfer are read, so a long recording
    // lists in a moment.
    for (uint64_t offset = 0; offset + 16 <= length; offset += transferBytes) {
        char text[12];
        if (!SeekFile(f, offset + 4) || fread(text, 1, sizeof text, f) != sizeof text) break;
        DataRun* current = runs->Count > 0 ? &runs->Run[runs->Count - 1] : nullptr;
        if (current != nullptr && memcmp(current->Text, text, sizeof text) == 0) {
            ++current->Transfers;
            continue;
        }
        if (runs->Count == kMaxRuns) {
            runs->Capped = true;
            break;
        }
        DataRun& run = runs->Run[runs->Count++];
        memcpy(run.Text, text, sizeof text);
        run.Text[12] = '\0';
        run.Offset = offset;
        run.Transfers = 1;
    }
    fclose(f);
    for (int32_t i = 0; i < runs->Count; ++i) {
        const uint64_t end = i + 1 < runs->Count ? runs->Run[i + 1].Offset : length;
        runs->Run[i].Bytes = end - runs->Run[i].Offset;
        if (i + 1 == runs->Count) runs->Run[i].Transfers = (runs->Run[i].Bytes + transferBytes - 1) / transferBytes;
    }
    return 1;
}

std::string RemovalTemporary(const char* rawPath) { return std::string(rawPath) + ".tmp"; }

RemoveResult RemoveRuns(const char* rawPath, const RunTable& runs, const bool* selected, std::string* problem) {
    bool any = false, all = runs.Count > 0;
    for (int32_t i = 0; i < runs.Count; ++i) {
        any = any || selected[i];
        all = all && selected[i];
    }
    if (!any) return RemoveResult::NothingSelected;
    FILE* in = fopen(rawPath, "rb");
    if (in == nullptr) {
        *problem = std::string("Could Not Open ") + rawPath;
        return RemoveResult::Failed;
    }
    if (FileLength(in) != runs.FileBytes) {
        fclose(in);
        *problem = std::string("The Data File Changed Since Its Runs Were Listed: ") + rawPath;
        return RemoveResult::Failed;
    }
    if (all) {
        fclose(in);
        if (!PlatformDeleteFile(rawPath)) {
            *problem = std::string("Could Not Delete ") + rawPath;
            return RemoveResult::Failed;
        }
        return RemoveResult::Deleted;
    }
    const std::string temporary = RemovalTemporary(rawPath);
    // "wb": a temporary file left by an interrupted edit is emptied, never
    // carried into the new recording.
    FILE* out = fopen(temporary.c_str(), "wb");
    if (out == nullptr) {
        fclose(in);
        *problem = "Could Not Create " + temporary;
        return RemoveResult::Failed;
    }
    std::vector<char> buffer(4u << 20);
    bool ok = true;
    for (int32_t i = 0; i < runs.Count && ok; ++i)
        if (!selected[i]) ok = CopyRange(in, runs.Run[i].Offset, runs.Run[i].Bytes, out, &buffer);
    const bool readFailed = !ok && ferror(in);
    fclose(in);
    // Whole on the disk before it replaces the recording, so a crash after
    // the replacement cannot leave a short file in its place.
    if (ok && !FlushToDisk(out)) ok = false;
    if (fclose(out) != 0) ok = false;
    if (!ok) {
        PlatformDeleteFile(temporary.c_str());
        *problem = readFailed ? std::string("Could Not Read ") + rawPath
                              : "Could Not Write " + temporary + " (is the disk full?)";
        return RemoveResult::Failed;
    }
    if (!PlatformReplaceFile(temporary.c_str(), rawPath)) {
        PlatformDeleteFile(temporary.c_str());
        *problem = std::string("Could Not Replace ") + rawPath;
        return RemoveResult::Failed;
    }
    return RemoveResult::Rewritten;
}
