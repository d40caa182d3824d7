// The file set of the Morva PCM-telemetry analysis program: project (.des),
// format (.for), signal list (.sig), calibration (.cbn), run table (.top),
// playback (.plb) and the data itself (.dat), written next to the test.
#pragma once

#include <cstdint>
#include <string>

#include "export/recording_walk.h"

// Writes the seven files for the test at `testPath` from the current test
// model, in the order above, stopping at the first that fails with its
// report.  Returns 1 when all seven were written.
int32_t WriteAnalysisFiles(const char* testPath, const ExportProgress* progress);

// The same for the current test (szTestFile), with the wait cursor: what the
// analysis command calls.
int32_t ExportAnalysisFiles();

// What Save Test calls: the set of the current test when it has a recording;
// a test saved before anything was recorded has nothing to describe, and
// saving it says nothing about the analysis program.  Returns 1 when written
// or nothing was recorded.
int32_t ExportAnalysisFilesOfRecording();

// The pieces, for the tests and the tool.  Each returns the file's text.
std::string AnalysisBitRate(uint32_t positions, uint32_t blocks, double rate);
std::string AnalysisWordMask(uint32_t positions);

// The .dat form of a raw sample: 12-bit positions shifted up by 4, then
// two's complement turned into offset binary.
uint16_t AnalysisDataWord(int16_t sample, int32_t adcBits);
