// The simulated cards and calibration fixture as tests see them: their test
// controls in gpib-32, a channel block holding the program's defaults, and
// the calibration measurement of one channel done the way a calibration run
// does it (calibration frame, start, upload, one read, stop).
#pragma once

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hardware/q90_library.h"
#include "sim_fixture.h"

// "key=value" lines into a map.
inline std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> m;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        size_t eq = line.find('=');
        if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return m;
}

struct CardControls {
    int32_t (*cardState)(int32_t, char*, int32_t) = nullptr;
    int32_t (*dacMemory)(int32_t, int32_t, int32_t, int32_t, int16_t*) = nullptr;
    int32_t (*cardRefuse)(int32_t, int32_t, int32_t) = nullptr;
    int32_t (*fixtureState)(char*, int32_t) = nullptr;

    void Bind(PlatformLibrary lib) {
        cardState = reinterpret_cast<decltype(cardState)>(PlatformGetProc(lib, "Q90SimCardState"));
        dacMemory = reinterpret_cast<decltype(dacMemory)>(PlatformGetProc(lib, "Q90SimDacMemory"));
        cardRefuse = reinterpret_cast<decltype(cardRefuse)>(PlatformGetProc(lib, "Q90SimCardRefuse"));
        fixtureState = reinterpret_cast<decltype(fixtureState)>(PlatformGetProc(lib, "Q90SimFixtureState"));
        ASSERT_TRUE(cardState && dacMemory && cardRefuse && fixtureState);
    }
    static std::string Text(int32_t (*get)(char*, int32_t)) {
        std::string s(static_cast<size_t>(get(nullptr, 0)) + 1, '\0');
        get(s.data(), static_cast<int32_t>(s.size()));
        s.resize(s.size() - 1);
        return s;
    }
    // What the card in `slot` holds.
    std::map<std::string, std::string> Card(int32_t slot) {
        std::string s(static_cast<size_t>(cardState(slot, nullptr, 0)) + 1, '\0');
        cardState(slot, s.data(), static_cast<int32_t>(s.size()));
        s.resize(s.size() - 1);
        return KeyValues(s);
    }
    std::map<std::string, std::string> Fixture() { return KeyValues(Text(fixtureState)); }
    std::vector<int16_t> Dac(int32_t slot, int32_t output, int32_t start, int32_t count) {
        std::vector<int16_t> v(static_cast<size_t>(count));
        int32_t n = dacMemory(slot, output, start, count, v.data());
        v.resize(n < 0 ? 0 : static_cast<size_t>(n));
        return v;
    }
};

// The defaults a fresh test gives every channel: gain 1, wide band,
// 10 V / 20 mA, voltage excitation on, autobalance and autozero on.
inline void ProgramDefaults(ChannelParams& p) {
    memset(&p, 0, sizeof p);
    for (int c = 0; c < kChannels; ++c) {
        p.GAIN[c] = 1;
        p.VARIABLEGAIN[c] = 1;
        p.EXCITATIONSOURCE[c] = 1;
        p.EXCITATIONVOLTAGE[c] = 10;
        p.EXCITATIONCURRENT[c] = 20;
        p.AUTOBALANCEENABLE[c] = 1;
        p.AUTOZEROENABLE[c] = 1;
        p.EXCITATIONENABLE[c] = 1;
    }
}

// A cleared report, as the download clears it before the call.
inline void ClearReport(ChannelSetupReport& r) {
    for (int c = 0; c < kChannels; ++c) {
        r.Failed[c] = 0;
        r.Stage[c] = -1;
        r.ErrorBit[c] = 0;
    }
}

// The mean and deviation of one calibration read, in mV at the input.
struct Reading {
    double mean = 0;
    double deviation = 0;
    std::vector<int16_t> samples;
};

class CardTest : public SimTest {
  protected:
    CardControls cards;
    std::unique_ptr<ChannelParams> params = std::make_unique<ChannelParams>();

    void SetUp() override {
        SimTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(cards.Bind(sim.lib));
        ProgramDefaults(*params);
    }
    void Load(const std::string& chassis) {
        ASSERT_NO_FATAL_FAILURE(sim.Configure(chassis));
        ASSERT_TRUE(LoadControlLibrary());
        ASSERT_TRUE(FakeMessages().empty()) << FakeMessages()[0].text;
    }
    std::string ErrorText() {
        Q90ErrorRecord record = {};
        EXPECT_EQ(Q90GetErrorStatus(&record), 1);
        char text[400];
        Q90ErrorText(record, text, sizeof text);
        return text;
    }

    // One calibration read of channel c as the calibration run takes it:
    // 64 positions of the channel in blocks 0-63, 288 words per transfer,
    // start, upload, one read of 576 bytes, stop.  `gain` and `full` turn the
    // counts into mV at the input.
    void Measure(int32_t c, double gain, double full, Reading& r) {
        auto mux = std::make_unique<MuxSetupRecord>();
        memset(mux.get(), 0, sizeof *mux);
        mux->One1 = mux->One2 = 1;
        mux->EntryCount = 64;
        mux->BlockCount = 64;
        mux->MuxFormat = 130;
        for (int p = 0; p < 64; ++p) {
            mux->Channel[p] = c;
            mux->Block[p] = p;
        }
        ASSERT_EQ(Q90InitMux(mux.get(), 288, 1, 1000.0), 1) << ErrorText();
        ibwait(nDDSDevice, TIMO_ | CMPL_);
        ASSERT_EQ(SendCommand(kDdsAddress, "M0 1,1"), 1);
        ASSERT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
        uint8_t buf[576];
        ASSERT_EQ(ibrd(nDDSDevice, buf, sizeof buf) & ERR_, 0);
        ASSERT_EQ(ibcntl, 576);
        ASSERT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(StopDDS(), 1);
        r.samples.clear();
        double sum = 0;
        for (int k = 0; k < 256; ++k) {
            int at = 16 + 2 * k + 16 * ((k >= 64) + (k >= 128) + (k >= 192));
            int16_t v = static_cast<int16_t>(buf[at] | (buf[at + 1] << 8));
            r.samples.push_back(v);
            sum += v * 10000.0 / full;
        }
        r.mean = sum / 256 / gain;
        double sq = 0;
        for (int16_t v : r.samples) sq += std::pow(v * 10000.0 / full / gain - r.mean, 2);
        r.deviation = std::sqrt(sq / 256);
    }
};

// The level in mV at the input that a converter of `full` counts reports at
// `gain`, after rounding to its counts.
inline double Quantised(double mv, double gain, double full) {
    double counts = std::lround(std::min(std::max(mv * gain * full / 10000.0, -full), full - 1));
    return counts * 10000.0 / full / gain;
}
