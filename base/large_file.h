// Files past 2 GB on both hosts: their length, a seek from the start, and a
// flush through to the disk.  Recordings grow to many gigabytes, and the C
// library's long offsets are 32 bits on Windows.
#pragma once

#include <cstdint>
#include <cstdio>

// Length of an open file in bytes (its position is kept); 0 when unknown.
uint64_t FileLength(std::FILE* f);
// Moves an open file to `offset` from its start.
bool SeekFile(std::FILE* f, uint64_t offset);
// Writes an open file's buffers through to the disk; false when that fails.
bool FlushToDisk(std::FILE* f);
