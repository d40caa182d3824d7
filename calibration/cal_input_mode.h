// Portable: switching a channel's input to a calibration state while the
// DDS scans, so the displays show the state's level (the "Set Channel Input
// Mode" menu, applied by the acquisition engine between transfers).
#pragma once

#include <cstdint>

// The channel the mode applies to: the selected channel (whose scale factor
// the menu saves and restores), else the scan table's first channel; -1
// when there is none.
int32_t InputModeChannel();

// Selects that channel, sets the attenuator of state `code` (0-12), then
// resets the calibration switches (0, the transducer input), takes the zero
// state (1) or selects the state's source.  1 done; 0 when a step was
// refused or there is no channel or code.  Simulator mode: 1, nothing sent.
int32_t SetChannelInputMode(int32_t code);

// A mode chosen while sampling (nInputMode), applied by the engine after the
// next transfer.
void ApplyInputModeChange();
