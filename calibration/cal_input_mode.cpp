// Portable: the channel input mode.
#include "calibration/cal_input_mode.h"

#include "base/app_state.h"
#include "calibration/cal_states.h"
#include "hardware/q90_library.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"

int32_t InputModeChannel() {
    if (nSelectedChannel >= 0 && nSelectedChannel < kChannels) return nSelectedChannel;
    return FirstScanChannel();
}

int32_t SetChannelInputMode(int32_t code) {
    if (bSimulator) return 1;
    const CalStateInfo& state = CalState(code);
    const int32_t channel = InputModeChannel();
    if (!state.Known || channel < 0 || channel >= kChannels) return 0;
    if (!Q90SelectChannel(channel)) return 0;
    if (!Q90SetCalAttenuator(state.Attenuation)) return 0;
    if (code == 0) return Q90ResetCal() ? 1 : 0;
    if (state.Source == kZeroCalSource) return Q90SelectOpModes(ZeroCalModeBits(channel), 1) ? 1 : 0;
    return Q90SelectCal(state.Source) ? 1 : 0;
}

// The engine applies a mode chosen while sampling after the next transfer.
void ApplyInputModeChange() {
    if (nInputMode >= 0) SetChannelInputMode(nInputMode);
}
