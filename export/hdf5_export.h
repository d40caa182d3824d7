// HDF5 export for analysis machines (native builds with libhdf5): one file,
// one dataset per channel of engineering values (64-bit floats), each with
// its time base and scaling as attributes, readable by h5py and MATLAB as is:
//   channel (int), units (text), sensitivity, offset, gain, adc_bits, rate
//   (samples per second of this channel), time_offset (s, first sample),
//   time_step (s), time_uniform (1 when every sample is time_step after the
//   previous one).  A channel whose positions are not evenly spaced in the
//   scan also gets "<name>.time", the time of every sample.
#pragma once

#include <cstdint>
#include <string>

#include "export/recording_walk.h"

// Exports `channels` of the current test's recording (raw file by the
// data-file rule of `testPath`) to `outPath`, built under a temporary name and
// put in place only when complete.  1 on success; 0 with *problem.
int32_t ExportHdf5(const char* testPath, const char* outPath, const int32_t* channels, int32_t count,
                   const ExportProgress* progress, std::string* problem);
