// Q90ui's output entries: the digital output lines of the digital cards and
// the two outputs of each DAC card (static levels, wave regions, the test
// waves of the operation record, start and stop).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/q90ui_bus.h"

using namespace q90lib;

// ---- digital outputs ------------------------------------------------------------------------
Q90_EXPORT int32_t SetDigitalOut(int32_t channel, int32_t state, int32_t glitchCatcher, int32_t outsToIns) {
    return Exchange("O " + Int(channel) + "," + Int(state) + "," + Int(glitchCatcher) + "," + Int(outsToIns));
}

// The state word of the card's 16 lines; -1 when it cannot be read.
Q90_EXPORT int32_t GetDigitalOut(int32_t channel) {
    std::string reply;
    if (!Exchange("O? " + Int(channel), &reply)) return -1;
    std::vector<double> v = Numbers(reply);
    if (v.size() != 3) {
        SetError(1, "Card Reply Malformed", "O? answered \"" + reply.substr(0, 60) + "\"");
        return -1;
    }
    return static_cast<int32_t>(v[0]);
}

// ---- DAC outputs ----------------------------------------------------------------------------
namespace {

constexpr int32_t kChunk = 64;  // samples per data command

int32_t SendRegion(int32_t channel, int32_t output, int32_t region, int32_t start, int32_t points,
                   int32_t loop, int32_t masterLoop, const int16_t* samples) {
    std::string head = Int(channel) + "," + Int(output);
    if (!Exchange("QW " + head + "," + Int(region) + "," + Int(start) + "," + Int(points) + "," + Int(loop) +
                  "," + Int(masterLoop)))
        return 0;
    for (int32_t at = 0; at < points; at += kChunk) {
        std::string cmd = "QD " + head + "," + Int(start + at);
        for (int32_t i = at; i < at + kChunk && i < points; ++i) cmd += "," + Int(samples[i]);
        if (!Exchange(cmd)) return 0;
    }
    return 1;
}

// Why the operation block of one DAC output cannot be a real one, or "".
std::string BadOperationDac(const OperationDac& d) {
    if (memchr(d.WaveFile, '\0', sizeof d.WaveFile) == nullptr) return "wave file name not terminated";
    if (d.WaveSections < 0 || d.WaveSections > 3) return "wave sections " + Int(d.WaveSections);
    if (d.DACFILTER < 0) return "DACFILTER " + Int(d.DACFILTER);
    long long total = 0;
    for (int k = 0; k < 3; ++k) {
        if (d.WaveSectionLength[k] < 0) return "section length " + Int(d.WaveSectionLength[k]);
        if (d.PerformCount[k] < 0) return "perform count " + Int(d.PerformCount[k]);
        if (k < d.WaveSections) total += d.WaveSectionLength[k];
    }
    if (total > 131072) return "sections of " + std::to_string(total) + " points";
    return "";
}

// The samples of the first `points` of a wave file: 16-bit little-endian,
// no header.
bool ReadWave(const char* path, int32_t points, std::vector<int16_t>& out, std::string& why) {
    FILE* f = fopen(path, "rb");
    if (f == nullptr) {
        why = std::string("Wave File Not Found: ") + path;
        return false;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(points) * 2);
    size_t got = bytes.empty() ? 0 : fread(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    if (got < bytes.size()) {
        why = "Wave File Too Short: " + std::string(path) + " holds " + std::to_string(got / 2) +
              " of " + Int(points) + " samples";
        return false;
    }
    out.resize(static_cast<size_t>(points));
    for (int32_t i = 0; i < points; ++i)
        out[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    return true;
}

}  // namespace

Q90_EXPORT int32_t SetupDACFilters(int32_t cardChannel, int32_t output, int32_t filterIndex) {
    return Exchange("DF " + Int(cardChannel) + "," + Int(output) + "," + Int(filterIndex));
}

Q90_EXPORT int32_t SetupDACImmediate(int32_t hardChannel, int32_t output, int32_t millivolts) {
    return Exchange("QI " + Int(hardChannel) + "," + Int(output) + "," + Int(millivolts));
}

Q90_EXPORT int32_t OldSetupDAC(int32_t hardChannel, int32_t output, int32_t region, int32_t start,
                               int32_t points, int32_t loop, int32_t masterLoop, const int16_t* samples) {
    if (points < 1 || samples == nullptr || !Aligned(samples))
        return BadCall("OldSetupDAC points " + Int(points) + (samples ? "" : " without samples"));
    return SendRegion(hardChannel, output, region, start, points, loop, masterLoop, samples);
}

Q90_EXPORT int32_t StartDAC(int32_t selection, int32_t mode) {
    return Exchange("QS " + Int(selection) + "," + Int(mode));
}
Q90_EXPORT int32_t StopDACZero(int32_t selection) { return Exchange("QZ " + Int(selection)); }
Q90_EXPORT int32_t StopDACHold(int32_t selection) { return Exchange("QH " + Int(selection)); }

// The test waves: `entries` channel numbers, two per DAC record (its outputs
// A and B); entry i is output DAC(i+1) of the operation record, whose wave
// sections are loaded from its wave file, one region per section, one after
// the other from the file's start.  Entries beyond the sixth have no block
// in the record and only take part in the start.
Q90_EXPORT int32_t NewBinarySetupDAC(const int32_t* pairs, int32_t entries, const OperationRecord* operation) {
    if (entries < 0 || entries > 12 || entries % 2 != 0)
        return BadCall("NewBinarySetupDAC entries " + Int(entries));
    if ((entries > 0 && (pairs == nullptr || !Aligned(pairs))) || operation == nullptr || !Aligned(operation))
        return BadCall("NewBinarySetupDAC records not usable");
    const OperationRecord& op = *operation;
    if (op.NumberToMonitor < 0 || op.NumberToMonitor > 2 || op.TestType < 0 || op.TestType > 3)
        return BadCall("NewBinarySetupDAC operation record begins " + Int(op.NumberToMonitor) + "," +
                       Int(op.FirstDisplayChannel) + "," + Int(op.SecondDisplayChannel) + "," + Int(op.TestType));
    int32_t described = entries < 6 ? entries : 6;
    for (int32_t i = 0; i < described; ++i) {
        std::string why = BadOperationDac(op.Dac[i]);
        if (!why.empty()) return BadCall("NewBinarySetupDAC DAC" + Int(i + 1) + " " + why);
    }
    std::string list = "QP " + Int(entries);
    for (int32_t i = 0; i < entries; ++i) list += "," + Int(pairs[i]);
    if (!Exchange(list)) return 0;
    for (int32_t i = 0; i < described; ++i) {
        const OperationDac& d = op.Dac[i];
        int32_t channel = pairs[i], output = i % 2;
        std::string cmd = "QT " + Int(channel) + "," + Int(output) + "," + Int(d.DACFILTER) + "," + Int(d.WaveSections);
        for (int k = 0; k < 3; ++k) cmd += "," + Int(d.WaveSectionLength[k]);
        for (int k = 0; k < 3; ++k) cmd += "," + Int(d.PerformCount[k]);
        if (!Exchange(cmd)) return 0;
        int32_t total = 0;
        for (int k = 0; k < d.WaveSections; ++k) total += d.WaveSectionLength[k];
        if (total == 0) continue;
        std::vector<int16_t> wave;
        std::string why;
        if (!ReadWave(d.WaveFile, total, wave, why)) {
            SetError(1, why.substr(0, why.find(':')), why);
            return 0;
        }
        int32_t at = 0, region = 0;
        for (int k = 0; k < d.WaveSections; ++k) {
            int32_t n = d.WaveSectionLength[k];
            if (n == 0) continue;
            if (!SendRegion(channel, output, region++, at, n, d.PerformCount[k], 1, wave.data() + at)) return 0;
            at += n;
        }
    }
    return 1;
}
