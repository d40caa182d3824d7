// The GPIB binding and the DDS command routines, loading the simulated
// driver through the platform loader as the program does.
#include <cstring>
#include <functional>

#include "sim_fixture.h"

namespace {

struct RoutineCase {
    const char* name;
    std::function<int32_t()> call;  // the routine's return value (ibsta for void ones)
    int32_t failedReturn;
};

std::vector<RoutineCase> AllRoutines() {
    static char buffer[64];
    static int16_t word;
    return {
        {"SendIFC", [] { SendIFC(0); return ibsta; }, ERR_},
        {"ibdev", [] { return ibdev(0, 29, 0, 13, 1, 1); }, -1},
        {"ibclr", [] { return ibclr(1); }, ERR_},
        {"Send", [] { Send(0, 29, "M0?", 3, kNLend); return ibsta; }, ERR_},
        {"Receive", [] { Receive(0, 29, buffer, 4, kSTOPend); return ibsta; }, ERR_},
        {"WaitSRQ", [] { WaitSRQ(0, &word); return ibsta; }, ERR_},
        {"ReadStatusByte", [] { ReadStatusByte(0, 29, &word); return ibsta; }, ERR_},
        {"TestSRQ", [] { TestSRQ(0, &word); return ibsta; }, ERR_},
        {"ibrd", [] { return ibrd(1, buffer, 16); }, ERR_},
        {"ibrda", [] { return ibrda(1, buffer, 16); }, ERR_},
        {"ibwait", [] { return ibwait(1, TIMO_ | CMPL_); }, ERR_},
        {"ibstop", [] { return ibstop(1); }, ERR_},
    };
}

class GpibBinding : public SimTest {};

TEST_F(GpibBinding, WithoutTheDriverEveryRoutineReportsErrWithTheSystemError) {
    FakeClearLibraryMap();
    ReleaseGpibLibrary();
    for (const RoutineCase& r : AllRoutines()) {
        ibsta = 0x1234;
        iberr = 77;
        ibcntl = 5;
        EXPECT_EQ(r.call(), r.failedReturn) << r.name;
        EXPECT_EQ(ibsta, 0x8000) << r.name;
        EXPECT_EQ(iberr, 0) << r.name;
        EXPECT_EQ(ibcntl, 126) << r.name;  // module not found
    }
    EXPECT_EQ(StopDDS(), 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_EQ(CheckDDSResponse(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "GPIB Error");
    EXPECT_EQ(FakeMessages()[0].caption, "GPIB Error");
}

TEST_F(GpibBinding, ADriverWithoutAnEntryFailsOnlyThatRoutine) {
    FakeMapLibrary("GPIB-32.DLL", GpibPartialPath());
    ReleaseGpibLibrary();
    OpenDDS();
    EXPECT_EQ(ibsta & ERR_, 0);
    EXPECT_GE(nDDSDevice, 0);
    int16_t flag = 9;
    WaitSRQ(0, &flag);
    EXPECT_EQ(ibsta, 0x8000);
    EXPECT_EQ(iberr, 0);
    EXPECT_EQ(ibcntl, 127);  // procedure not found
    EXPECT_EQ(flag, 9);      // nothing was called
    // The rest of the driver still answers.
    EXPECT_EQ(SendCommand(kDdsAddress, "M0 2"), 1);
    EXPECT_EQ(CheckDDSResponse(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "GPIB Error");
}

TEST_F(GpibBinding, EveryRoutineReachesTheDriver) {
    ReleaseGpibLibrary();
    for (const RoutineCase& r : AllRoutines()) {
        uint32_t calls = sim.callCount();
        r.call();
        EXPECT_EQ(sim.callCount() - calls, 1u) << r.name;
        EXPECT_NE(ibcntl, 126) << r.name;
        EXPECT_NE(ibcntl, 127) << r.name;
    }
}

#ifdef _WIN32
TEST_F(GpibBinding, TheDriverExportsTheRoutinesUnderTheirOrdinals) {
    PlatformLibrary lib = PlatformLoadLibrary("GPIB-32.DLL");
    ASSERT_NE(lib, nullptr);
    const struct {
        const char* name;
        uint16_t ordinal;
    } table[] = {{"SendIFC", 119}, {"ibdev", 18},  {"ibclr", 14},   {"Send", 116},
                 {"Receive", 113}, {"WaitSRQ", 128}, {"ReadStatusByte", 112}, {"TestSRQ", 124},
                 {"ibrd", 37},     {"ibrda", 38},  {"ibwait", 52},  {"ibstop", 49}};
    for (const auto& e : table) {
        PlatformProc byName = PlatformGetProc(lib, e.name);
        ASSERT_NE(byName, nullptr) << e.name;
        EXPECT_EQ(PlatformGetProcOrdinal(lib, e.ordinal), byName) << e.name;
    }
    PlatformFreeLibrary(lib);
}
#endif

TEST_F(GpibBinding, OpenDdsOpensTheDescriptorAndSetsNoTransferOutstanding) {
    nNoTransferOutstanding = 0;
    OpenDDS();
    EXPECT_GE(nDDSDevice, 0);
    EXPECT_EQ(nNoTransferOutstanding, 1);
    EXPECT_EQ(ibsta & ERR_, 0);
}

// The DDS's status byte after a command decides CheckDDSResponse.
TEST_F(GpibBinding, StatusBytesDecideTheResponseCheck) {
    OpenDDS();
    // 0x40: a command done.
    ASSERT_EQ(SendCommand(kDdsAddress, "M0 2"), 1);
    EXPECT_EQ(CheckDDSResponse(), 1);
    // 0x41: a refused command (no scan table yet for a transfer length).
    ASSERT_EQ(SendCommand(kDdsAddress, "M7 100"), 1);
    EXPECT_EQ(CheckDDSResponse(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "return code is 1");
    EXPECT_EQ(FakeMessages()[0].caption, "Response Error");
    FakeClearMessages();
    // 0x42: a completed transfer.
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\nsignal 0 const 100\n"));
    OpenDDS();
    ASSERT_EQ(SendCommand(kDdsAddress, "K0 1,1,0,9,1000"), 1);
    ASSERT_EQ(CheckDDSResponse(), 1);
    ASSERT_EQ(SendCommand(kDdsAddress, "K1 0,0.0"), 1);
    ASSERT_EQ(CheckDDSResponse(), 1);
    ASSERT_EQ(SendCommand(kDdsAddress, "K2"), 1);
    ASSERT_EQ(CheckDDSResponse(), 1);
    ASSERT_EQ(SendCommand(kDdsAddress, "M0 1,1"), 1);
    ASSERT_EQ(CheckDDSResponse(), 1);
    ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    uint16_t scan[9];
    ibrda(nDDSDevice, scan, sizeof scan);
    ibwait(nDDSDevice, TIMO_ | CMPL_);
    ASSERT_EQ(ibsta & (CMPL_ | TIMO_), CMPL_);
    int16_t status = 0;
    TestSRQ(0, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(CheckDDSResponse(), 1);
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(GpibBinding, StopDdsClearsRunningAndConfirmsTheStop) {
    OpenDDS();
    nDDSRunning = 1;
    nNoTransferOutstanding = 0;
    EXPECT_EQ(StopDDS(), 1);
    EXPECT_EQ(nDDSRunning, 0);
    EXPECT_EQ(nNoTransferOutstanding, 1);
    EXPECT_NE(sim.Log().find("29:M0 2\n"), std::string::npos);
}

TEST_F(GpibBinding, StopDdsWhoseSendFailsReturns0WithoutAMessage) {
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\ndds absent\n"));
    OpenDDS();
    nDDSRunning = 1;
    EXPECT_EQ(StopDDS(), 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_EQ(nDDSRunning, 1);
}

TEST_F(GpibBinding, AWaitSrqErrorShowsGpibError) {
    OpenDDS();
    double before = sim.now();
    nDDSRunning = 1;
    EXPECT_EQ(CheckDDSResponse(), 0);  // nothing pending: the request never comes
    EXPECT_GE(sim.now() - before, 10.0);  // after the board's time-out
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "GPIB Error");
    EXPECT_EQ(FakeMessages()[0].caption, "GPIB Error");
    EXPECT_EQ(nDDSRunning, 1);
}

TEST_F(GpibBinding, SimulatorModeTouchesNothing) {
    OpenDDS();
    bSimulator = true;
    nDDSRunning = 1;
    nNoTransferOutstanding = 0;
    uint32_t calls = sim.callCount();
    std::string log = sim.Log();
    EXPECT_EQ(StopDDS(), 1);
    EXPECT_EQ(CheckDDSResponse(), 1);
    EXPECT_EQ(sim.callCount(), calls);
    EXPECT_EQ(sim.Log(), log);
    EXPECT_EQ(nDDSRunning, 1);
    EXPECT_EQ(nNoTransferOutstanding, 0);
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(GpibBinding, ClearGpibWithoutADescriptorOnlyLetsTheDriverReportAnError) {
    nDDSDevice = -1;
    ClearGPIB();
    EXPECT_NE(ibsta & ERR_, 0);
    EXPECT_TRUE(FakeMessages().empty());
    EXPECT_EQ(nNoTransferOutstanding, 1);
}

TEST_F(GpibBinding, ClearGpibClearsTheDds) {
    OpenDDS();
    ClearGPIB();
    EXPECT_EQ(ibsta & ERR_, 0);
    EXPECT_TRUE(FakeMessages().empty());
}

TEST_F(GpibBinding, TheCalibrationFixtureRecordsCommandsAndRaisesItsRequest) {
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\nfixture srq\n"));
    int16_t flag = 0, status = 0;
    TestSRQ(0, &flag);
    EXPECT_EQ(flag, 0);
    ASSERT_EQ(SendCommand(kFixtureAddress, "OUT 1.000 V"), 1);
    EXPECT_NE(sim.Log().find("28:OUT 1.000 V\n"), std::string::npos);
    TestSRQ(0, &flag);
    EXPECT_EQ(flag, 1);
    ReadStatusByte(0, kFixtureAddress, &status);
    EXPECT_EQ(status, 0x40);
    TestSRQ(0, &flag);
    EXPECT_EQ(flag, 0);
    // No instrument at another address.
    Send(0, 27, "X", 1, kNLend);
    EXPECT_NE(ibsta & ERR_, 0);
}

}  // namespace
