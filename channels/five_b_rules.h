// The 16 5B modules behind a 5B channel (CARDTYPE below 4): their definitions
// as the module dialog stores them, where their samples lie in a scan, their
// engineering values, and the order in which the module window steps through
// the 5B channels.
#pragma once

#include <cstdint>
#include <string>

#include "testmodel/model.h"

// One row of the module dialog as typed.
struct FiveBRowText {
    std::string Name;
    std::string Slope;
    std::string Offset;
    std::string Units;
};

// OK of the module dialog: every row stored (name cut to 31, units to 7
// characters, slope and offset as numbers).  A slope or offset that is not a
// number is refused with a message naming its module and nothing is stored.
// Returns 1 when stored.
int32_t StoreFiveBModules(int32_t channel, const FiveBRowText rows[kFiveBModules]);
// The rows as the dialog shows them (slope and offset with 4 decimals).
void FiveBModuleRows(int32_t channel, FiveBRowText rows[kFiveBModules]);

// The 5B channels in channel order; returns their count.
int32_t FiveBChannelList(int32_t* channels);
// The channel the module window shows after `current`: the next 5B channel,
// back to the first after the last; channel 0 when there is none.
int32_t NextFiveBChannel(int32_t current);

// Scan byte offsets (16 + 2 x position) of the channel's modules, module m
// being the channel's m-th position in table order; -1 for a module without
// a position.  Never more than 16.
void FiveBModuleOffsets(int32_t channel, int32_t offsets[kFiveBModules]);

// A module's engineering value from its sample: millivolts at the converter
// (12-bit or 16-bit as the channel's card) / effective gain x slope + offset.
double FiveBModuleValue(int32_t channel, int32_t module, int16_t sample);

// "Primary Channel %d's Five B Modules".
std::string FiveBWindowTitle(int32_t channel);

// ---- the module window's channel and its values ------------------------------------------
// The 5B channel the module window shows (-1: none) and its modules' scan
// offsets, computed when the window opens or steps.
extern int32_t nFiveBPrimaryChannel;
extern int32_t nFiveBOffsets[kFiveBModules];
// The latest engineering value of each module of the primary channel, kept
// by the acquisition engine (RefreshFiveBValues).
extern double dFiveBValues[kFiveBModules];
// The 16 module values of the chosen 5B channel from scan `scanOffset` of the
// newest transfer (`transferBytes` long).
void RefreshFiveBValues(const uint8_t* transfer, uint32_t scanOffset, uint32_t transferBytes);
// Makes `channel` the primary channel: its offsets computed, values cleared.
void SelectFiveBPrimary(int32_t channel);

// ---- the module window ------------------------------------------------------------------------
// The channel the module window starts with: the first 5B channel, channel 0
// when the test has none.
int32_t FirstFiveBChannel();
// One row of the module window for module m of the primary channel: its
// name, its latest value with 4 decimals (empty for a module without a
// position in the scan table, which has no value) and its units.
struct FiveBWindowRow {
    std::string Name;
    std::string Value;
    std::string Units;
};
void FiveBWindowRows(FiveBWindowRow rows[kFiveBModules]);
