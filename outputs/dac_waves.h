// One cycle of a DAC region's waveform, generated sample by sample.
#pragma once

#include <cstdint>

#include "testmodel/model.h"

enum DacWaveType : int32_t {
    kWaveSine = 0,
    kWaveTriangle = 1,
    kWaveSawtooth = 2,
    kWaveSquare = 3,
    kWaveNoise = 4,
};
constexpr int32_t kDacWaveTypes = 5;

// Points per cycle a region may hold.
constexpr int32_t kDacMinPoints = 10;
constexpr int32_t kDacMaxPoints = 210;

// The wave names in the order of their numbers.
extern const char* const kDacWaveNames[kDacWaveTypes];

// Writes the `points` samples of one cycle of `wave` into `out` (room for
// `capacity` samples).  Noise comes from `noiseSeed`, so one seed always gives
// the same samples.  Returns the number written; 0 for an unknown wave, a
// point count outside kDacMinPoints-kDacMaxPoints or too little room.
int32_t GenerateDacWave(int32_t wave, int32_t points, uint32_t noiseSeed, int16_t* out, int32_t capacity);

// The noise seed of region `region` (0-based) of output `output` of the DAC
// card in channel `hardChan`.  It depends only on what the test stores, so a
// Noise region downloads the same samples after the test is saved and opened
// again.
uint32_t DacNoiseSeed(int32_t hardChan, int32_t output, int32_t region);

// True when the record drives a DAC card: HARDCHAN names a channel 0-255.
bool DacRecordInUse(const DacChannel& d);

// Regions of output `output` the record downloads (REGIONS bounded to 0-10).
int32_t DacRegionCount(const DacChannel& d, int32_t output);

// Start point in card memory of region `region` (0-based) of an output: the
// points of the regions before it.
int32_t DacRegionStart(const DacChannel& d, int32_t output, int32_t region);
