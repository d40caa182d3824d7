// Native: a small recording to try the data tool on, made without the
// program or its hardware: a test database, its raw file and its map.
#pragma once

#include <cstdint>
#include <string>

// Writes `folder`/t1.mdb, t1.raw and t1.map: four channels in two blocks at
// 100 blocks/s, six transfers of known samples (a 16-bit sine, a 12-bit
// ramp, a flat channel and a noisy one).  The card types come from
// Q90CARD.ini in $ZD418_PROFILE_DIR (type 1 taken as a 16-bit card, type 4
// as a 12-bit one, as the program's first-run settings have them).  Refuses
// to touch a folder that already holds t1.mdb or t1.raw.  1 on success; 0
// with the reason in *error.
int32_t WriteSampleRecording(const char* folder, std::string* error);
