// Loads the simulated front end's libraries through the program's own
// binding, and reaches the simulator's test controls.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hardware/control_library.h"
#include "hardware/gpib_access.h"
#include "platform/fake/fake_platform.h"
#include "base/app_state.h"
#include "sim/front_end.h"

// Paths of the built libraries in the form the system loader takes.
inline std::string LoaderPath(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

inline std::string GpibPath() { return LoaderPath(SIM_GPIB_PATH); }
inline std::string GpibPartialPath() { return LoaderPath(SIM_GPIB_PARTIAL_PATH); }
inline std::string Q90uiPath() { return LoaderPath(SIM_Q90UI_PATH); }

// The simulator's controls, taken from the loaded gpib-32.
struct SimControls {
    PlatformLibrary lib = nullptr;
    int32_t (*configure)(const char*, char*, int32_t) = nullptr;
    double (*now)() = nullptr;
    void (*advance)(double) = nullptr;
    double (*scanStart)() = nullptr;
    uint32_t (*callCount)() = nullptr;
    int32_t (*commandLog)(char*, int32_t) = nullptr;
    void (*raiseFixtureSrq)() = nullptr;
    int32_t (*digitalOut)(int32_t) = nullptr;
    int32_t (*arm)(const char*, char*, int32_t) = nullptr;
    void (*resetBoard)() = nullptr;
    int32_t (*deliveries)(sim::Delivery*, int32_t) = nullptr;
    int32_t (*peakReads)() = nullptr;
    uint32_t (*eoipRefusals)() = nullptr;

    void Bind() {
        lib = PlatformLoadLibrary(GpibPath().c_str());
        ASSERT_NE(lib, nullptr);
        configure = reinterpret_cast<decltype(configure)>(PlatformGetProc(lib, "Q90SimConfigure"));
        now = reinterpret_cast<decltype(now)>(PlatformGetProc(lib, "Q90SimNow"));
        advance = reinterpret_cast<decltype(advance)>(PlatformGetProc(lib, "Q90SimAdvance"));
        scanStart = reinterpret_cast<decltype(scanStart)>(PlatformGetProc(lib, "Q90SimScanStart"));
        callCount = reinterpret_cast<decltype(callCount)>(PlatformGetProc(lib, "Q90SimCallCount"));
        commandLog = reinterpret_cast<decltype(commandLog)>(PlatformGetProc(lib, "Q90SimCommandLog"));
        raiseFixtureSrq =
            reinterpret_cast<decltype(raiseFixtureSrq)>(PlatformGetProc(lib, "Q90SimRaiseFixtureSRQ"));
        digitalOut = reinterpret_cast<decltype(digitalOut)>(PlatformGetProc(lib, "Q90SimDigitalOut"));
        arm = reinterpret_cast<decltype(arm)>(PlatformGetProc(lib, "Q90SimArm"));
        resetBoard = reinterpret_cast<decltype(resetBoard)>(PlatformGetProc(lib, "Q90SimResetBoard"));
        deliveries = reinterpret_cast<decltype(deliveries)>(PlatformGetProc(lib, "Q90SimDeliveries"));
        peakReads = reinterpret_cast<decltype(peakReads)>(PlatformGetProc(lib, "Q90SimPeakReads"));
        eoipRefusals =
            reinterpret_cast<decltype(eoipRefusals)>(PlatformGetProc(lib, "Q90SimEoipRefusals"));
        ASSERT_TRUE(configure && now && advance && scanStart && callCount && commandLog &&
                    raiseFixtureSrq && digitalOut && arm && resetBoard && deliveries && peakReads &&
                    eoipRefusals);
        // One clock: the program's time is the simulator's, both ways.
        FakeUseExternalClock(now, advance);
    }
    void Release() {
        FakeUseExternalClock(nullptr, nullptr);  // before the library can go
        if (lib) PlatformFreeLibrary(lib);
        lib = nullptr;
    }
    // Arms faults now ("fault 1 timeout", "refuse \"U\"", "sendfail 1 ebus").
    void Arm(const std::string& text) {
        char error[256] = "";
        ASSERT_EQ(arm(text.c_str(), error, sizeof error), 1) << error;
    }
    std::vector<sim::Delivery> Delivered() {
        std::vector<sim::Delivery> d(static_cast<size_t>(deliveries(nullptr, 0)));
        deliveries(d.data(), static_cast<int32_t>(d.size()));
        return d;
    }
    // Resets the front end to a chassis; every test starts from its own.
    void Configure(const std::string& text) {
        char error[256] = "";
        ASSERT_EQ(configure(text.c_str(), error, sizeof error), 1) << error;
    }
    std::string Log() {
        std::string s(static_cast<size_t>(commandLog(nullptr, 0)) + 1, '\0');
        commandLog(s.data(), static_cast<int32_t>(s.size()));
        s.resize(s.size() - 1);
        return s;
    }
};

// Program state and the fake port back to start-up values, with the real
// libraries mapped under the names the program loads.
class SimTest : public ::testing::Test {
  protected:
    SimControls sim;

    void SetUp() override {
        FakeReset();
        FakeClearLibraryMap();
        FakeMapLibrary("GPIB-32.DLL", GpibPath());
        FakeMapLibrary("Q90ui.dll", Q90uiPath());
        FakeMapLibrary(GpibPath(), GpibPath());
        bSimulator = false;
        bNoHardware = false;
        bRemoteControlled = false;
        nDDSDevice = -1;
        nDDSRunning = 0;
        nNoTransferOutstanding = 1;
        ASSERT_NO_FATAL_FAILURE(sim.Bind());
        sim.resetBoard();  // no descriptor or read left over from an earlier test
        ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\n"));
    }
    void TearDown() override {
        // A test may unload the driver completely: the clock goes first.
        FakeUseExternalClock(nullptr, nullptr);
        ReleaseControlLibrary();
        ReleaseGpibLibrary();
        sim.Release();
        FakeClearLibraryMap();
    }
};
