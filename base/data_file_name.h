// The one rule that names a test's data files: the raw data and scan map,
// the logs, the text file and every export.  Writers and readers must find the
// same file, so no code cuts the test path by itself.
#pragma once

#include <cstdint>

// Writes into `out` (capacity `size` bytes) the test path cut at the first "."
// of its file name, followed by `extension` (".raw", ".map", ".log" ...; may
// be empty).  Dots in directory names stay: "c:\data.v2\t1\t1.mdb" gives
// "c:\data.v2\t1\t1" + extension.  Returns 1; 0 when the path names no file
// (empty, or ending in a separator) or the result does not fit, and then
// `out` holds "" (when it has room for that).
int32_t DataFileName(const char* testPath, const char* extension, char* out, uint32_t size);
