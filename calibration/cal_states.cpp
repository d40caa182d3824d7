// Portable: the table of calibration states.
#include "calibration/cal_states.h"

#include "testmodel/model.h"

namespace {

const CalStateInfo kStates[kCalStateCodes] = {
    {10, 1000, 2029, "Transducer Input", "Performing Transducer Cal on Channel %d", "Transducer Input\n", true},
    {kZeroCalSource, 1000, 2042, "Zero Calibration", "Performing Zero Cal on Channel %d", "Zero Input\n", true},
    {20, 1000, 2030, "Voltage Cal * 1.0", "Performing Voltage * 1.0 Cal on Channel %d", "Voltage Cal * 1.0\n", true},
    {20, 100, 2039, "Voltage Cal * 0.1", "Performing Voltage * 0.1 Cal on Channel %d", "Voltage Cal * 0.1\n", true},
    {20, 10, 2040, "Voltage Cal * 0.01", "Performing Voltage * 0.01 Cal on Channel %d", "Voltage Cal * 0.01\n",
     true},
    {20, 1, 2041, "Voltage Cal * 0.001", "Performing Voltage * 0.001 Cal on Channel %d", "Voltage Cal * 0.001\n",
     true},
    {31, 1000, 2031, "R Shunt Cal 1", "Performing R Shunt Cal 1 on Channel %d", "R Shunt Cal 1\n", true},
    {32, 1000, 2032, "R Shunt Cal 2", "Performing R Shunt Cal 2 on Channel %d", "R Shunt Cal 2\n", true},
    {41, 1000, 2033, "R Substitution Cal 1", "Performing R Subst Cal 1 on Channel %d", "R Substitution Cal 1\n",
     true},
    {42, 1000, 2034, "R Substitution Cal 2", "Performing R Subst Cal 2 on Channel %d", "R Substitution Cal 2\n",
     true},
    {50, 1000, 2035, "Internal Excit V Monitor", "Performing Internal Excit Volt Cal on Channel %d",
     "Internal Voltage Monitor\n", true},
    {51, 1000, 2036, "Internal Excit I Monitor", "Performing Internal Excit Current Cal on Channel %d",
     "Internal Current Monitor\n", true},
    {52, 1000, 2037, "External Excit V Monitor", "Performing External Excit Volt Cal on Channel %d",
     "External Voltage Monitor\n", true},
};

const CalStateInfo kUnknownState = {kTransducerSource, 1000, 0, "", "", "Incorrect Cal Mode\n", false};

}  // namespace

const CalStateInfo& CalState(int32_t code) {
    if (code < 0 || code >= kCalStateCodes) return kUnknownState;
    return kStates[code];
}

const char* CalStateName(int32_t code) { return CalState(code).Name; }

int32_t ZeroCalModeBits(int32_t channel) {
    int32_t bits = 4;
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return bits;
    const ChannelParams& p = *lpsChannelParams;
    if (p.AUTOZEROENABLE[channel] == 1) bits += 1;
    if (p.AUTOBALANCEENABLE[channel] == 1) bits += 2;
    if (p.EXCITATIONENABLE[channel] == 1) bits += 8;
    return bits;
}

int32_t BoundedStateCount(int64_t count) {
    if (count < 0) return 0;
    return count > kCalStates ? kCalStates : static_cast<int32_t>(count);
}
