// Portable: large-file helpers.
#include "base/large_file.h"

#ifdef _WIN32
#include <io.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

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

bool SeekFile(FILE* f, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<int64_t>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool FlushToDisk(FILE* f) {
    if (fflush(f) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}
