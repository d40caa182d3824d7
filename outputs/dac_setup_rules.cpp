// Portable: the DAC setup dialog's edits.
#include "outputs/dac_setup_rules.h"

#include <cstdio>

#include "base/app_state.h"
#include "outputs/dac_waves.h"
#include "outputs/field_values.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

bool RecordOk(int32_t record) { return record >= 0 && record < kDacChannels; }
bool OutputOk(int32_t output) { return output == 0 || output == 1; }
bool RegionOk(int32_t region) { return region >= 0 && region < kDacWaves; }

bool Edited() {
    bTestSaved = false;
    return true;
}

}  // namespace

int32_t DacRecordsInUse(int32_t* records) {
    int32_t n = 0;
    for (int32_t r = 0; r < kDacChannels; ++r)
        if (DacRecordInUse(sDacChannel[r])) records[n++] = r;
    return n;
}

std::string DacFrequencyText(int32_t points) {
    char text[64];
    snprintf(text, sizeof text, "%f", points > 0 ? dSampleRate / points : 0.0);
    return text;
}

bool DacSetOutputType(int32_t record, int32_t output, int32_t dynamic) {
    if (!RecordOk(record) || !OutputOk(output) || (dynamic != 0 && dynamic != 1)) return false;
    sDacChannel[record].OUTTYPE[output] = dynamic;
    return Edited();
}

bool DacSetStartType(int32_t record, int32_t recordStart) {
    if (!RecordOk(record) || (recordStart != 0 && recordStart != 1)) return false;
    sDacChannel[record].STARTTYPE[0] = sDacChannel[record].STARTTYPE[1] = recordStart;
    return Edited();
}

bool DacSetRegions(int32_t record, int32_t regions) {
    if (!RecordOk(record) || regions < 0 || regions > kDacWaves) return false;
    sDacChannel[record].REGIONS[0] = sDacChannel[record].REGIONS[1] = regions;
    return Edited();
}

bool DacSetWave(int32_t record, int32_t output, int32_t region, int32_t wave) {
    if (!RecordOk(record) || !OutputOk(output) || !RegionOk(region) || wave < 0 || wave >= kDacWaveTypes)
        return false;
    sDacChannel[record].WAVE[region][output] = wave;
    return Edited();
}

bool DacSetPointsChoice(int32_t record, int32_t region, int32_t choice) {
    const int32_t points = choice + kDacMinPoints;
    if (!RecordOk(record) || !RegionOk(region) || choice < 0 || points > kDacMaxPoints) return false;
    sDacChannel[record].FREQ[region][0] = sDacChannel[record].FREQ[region][1] = points;
    return Edited();
}

bool DacSetLevel(int32_t record, int32_t output, const char* text, std::string* message) {
    int32_t v = 0;
    if (!RecordOk(record) || !OutputOk(output)) return false;
    if (!ParseWholeNumber(text, -kDacLevelLimitMv, kDacLevelLimitMv, "The Level", " mV", &v, message))
        return false;
    sDacChannel[record].STATICOUT[output] = v;
    return Edited();
}

bool DacSetLoop(int32_t record, int32_t region, const char* text, std::string* message) {
    int32_t v = 0;
    if (!RecordOk(record) || !RegionOk(region)) return false;
    if (!ParseWholeNumber(text, 0, INT32_MAX, "The Loop Count", "", &v, message)) return false;
    sDacChannel[record].LOOP[region][0] = sDacChannel[record].LOOP[region][1] = v;
    return Edited();
}

bool DacSetMasterLoop(int32_t record, const char* text, std::string* message) {
    int32_t v = 0;
    if (!RecordOk(record)) return false;
    if (!ParseWholeNumber(text, 0, INT32_MAX, "The Master Loop", "", &v, message)) return false;
    sDacChannel[record].MASTERLOOP = v;
    return Edited();
}

bool DacParseImmediateLevel(const char* text, int32_t* millivolts, std::string* message) {
    return ParseWholeNumber(text, -kDacLevelLimitMv, kDacLevelLimitMv, "The Voltage", " mV", millivolts, message);
}
