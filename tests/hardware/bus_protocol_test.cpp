// The simulated bus is strict: a caller that breaks the protocol of the
// board or the DDS fails here, as it would on the real front end.  Also the
// one clock of program and simulator, faults armed while running and the
// record of what was delivered.
#include <cstring>
#include <functional>
#include <vector>

#include "sim_fixture.h"

namespace {

// One position, 10 scans of 9 words per transfer, 100 scans a second:
// a transfer every 100 ms.
constexpr int32_t kWords = 90;
constexpr int32_t kBytes = kWords * 2;
constexpr uint32_t kPeriodMs = 100;

class BusProtocol : public SimTest {
  protected:
    uint16_t buffer[kWords + 8] = {};

    void Program(const std::string& extra = "") {
        ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\nsignal 0 const 100\n" + extra));
        OpenDDS();
        ASSERT_GE(nDDSDevice, 0);
        for (const char* cmd : {"K0 1,1,0,90,100", "K1 0,0.0", "K2", "M7 90"}) {
            ASSERT_EQ(SendCommand(kDdsAddress, cmd), 1) << cmd;
            ASSERT_EQ(CheckDDSResponse(), 1) << cmd;
        }
    }
    void Start() {
        ASSERT_EQ(SendCommand(kDdsAddress, "M0 1,1"), 1);
        ASSERT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    }
    // ibrda and ibwait as the engine issues them; the wait's ibsta.
    int32_t ReadTransfer() {
        memset(buffer, 0xAA, sizeof buffer);
        ibrda(nDDSDevice, buffer, sizeof buffer);
        EXPECT_EQ(ibsta & ERR_, 0) << "ibrda iberr " << iberr;
        return ibwait(nDDSDevice, TIMO_ | CMPL_);
    }
    // One collected transfer and its completion poll, then the next "U".
    void Collect() {
        ASSERT_EQ(ReadTransfer() & (CMPL_ | TIMO_), CMPL_);
        ASSERT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    }
};

// ---- one clock ------------------------------------------------------------------------

TEST_F(BusProtocol, ABusWaitMovesTheProgramsClockAndTheProgramsSleepMovesTheSimulator) {
    ASSERT_NO_FATAL_FAILURE(Program());
    EXPECT_EQ(PlatformTimeMs(), 0u);
    ASSERT_NO_FATAL_FAILURE(Start());
    for (uint32_t k = 1; k <= 10; ++k) {
        ASSERT_NO_FATAL_FAILURE(Collect());
        // The wait ended when the transfer's last scan was taken.
        EXPECT_EQ(PlatformTimeMs(), k * kPeriodMs);
    }
    // The program sleeps (or a test advances its clock): so does the front end.
    PlatformSleep(250);
    EXPECT_NEAR(sim.now(), 1.25, 1e-9);
    FakeAdvanceTime(50);
    EXPECT_NEAR(sim.now(), 1.3, 1e-9);
    EXPECT_EQ(PlatformTimeMs(), 1300u);
    // Transfers 11-13 were taken meanwhile; the 11th is there at once.
    ASSERT_EQ(ReadTransfer() & (CMPL_ | TIMO_), CMPL_);
    EXPECT_EQ(PlatformTimeMs(), 1300u);
    EXPECT_EQ(buffer[1], 11);
    // Setting the program's clock shifts its reading only.
    FakeSetTime(0xFFFFFF00u);
    EXPECT_NEAR(sim.now(), 1.3, 1e-9);
    PlatformSleep(0x200);
    EXPECT_EQ(PlatformTimeMs(), 0x100u);  // wrapped, as timeGetTime does
    EXPECT_NEAR(sim.now(), 1.3 + 0.512, 1e-9);
}

TEST_F(BusProtocol, LatenessOnTheProgramsClockOverflowsTheFifo) {
    ASSERT_NO_FATAL_FAILURE(Program("fifo 3\n"));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Collect());
    // Late by three periods: transfer 2 (complete at 200 ms) is still held,
    // until transfer 5 is complete at 500 ms.
    PlatformSleep(3 * kPeriodMs);
    ASSERT_NO_FATAL_FAILURE(Collect());
    EXPECT_EQ(buffer[2] & 1, 0);
    // Transfer 3 (300 ms) collected at 550 ms: in time.
    PlatformSleep(150);
    ASSERT_NO_FATAL_FAILURE(Collect());
    // Transfer 4 (400 ms) collected at 701 ms: transfer 7 has overwritten it.
    PlatformSleep(151);
    ASSERT_EQ(ReadTransfer() & CMPL_, CMPL_);
    EXPECT_EQ(buffer[1], 4);
    EXPECT_EQ(buffer[2] & 1, 1);
    EXPECT_EQ(CheckDDSResponse(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "return code is 4");
}

// ---- one transfer per "U" ----------------------------------------------------------------

TEST_F(BusProtocol, EachUReleasesOneTransferAndTheRestWaitInTheFifo) {
    ASSERT_NO_FATAL_FAILURE(Program());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(ReadTransfer() & (CMPL_ | TIMO_), CMPL_);
    ASSERT_EQ(CheckDDSResponse(), 1);
    // A caller that does not send "U" again gets nothing: its wait times out
    // after the descriptor's 10 s although transfers were taken all along.
    int32_t sta = ReadTransfer();
    EXPECT_EQ(sta & (TIMO_ | CMPL_), TIMO_);
    EXPECT_EQ(PlatformTimeMs(), kPeriodMs + 10000);
    EXPECT_EQ(buffer[0], 0xAAAA);
    ASSERT_EQ(ibstop(nDDSDevice) & ERR_, ERR_);  // aborted
    EXPECT_EQ(iberr, 6);
    // "U" now: transfer 2 comes out of the FIFO at once, complete.
    ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    ASSERT_EQ(ReadTransfer() & (CMPL_ | TIMO_ | END_), CMPL_ | END_);
    EXPECT_EQ(buffer[1], 2);
    EXPECT_EQ(PlatformTimeMs(), kPeriodMs + 10000);
}

TEST_F(BusProtocol, ASecondUBeforeTheTransferWentOutReleasesNothingMore) {
    ASSERT_NO_FATAL_FAILURE(Program());
    ASSERT_NO_FATAL_FAILURE(Start());
    char reply[4];
    ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    ASSERT_EQ(SendCommand(kDdsAddress, "M0?"), 1);
    Receive(kGpibBoard, kDdsAddress, reply, 4, kSTOPend);
    EXPECT_EQ(std::string(reply, 3), "S11");  // scanning, one upload waiting
    ASSERT_EQ(CheckDDSResponse(), 1);
    ASSERT_EQ(ReadTransfer() & (CMPL_ | TIMO_), CMPL_);
    ASSERT_EQ(CheckDDSResponse(), 1);
    ASSERT_EQ(SendCommand(kDdsAddress, "M0?"), 1);
    Receive(kGpibBoard, kDdsAddress, reply, 4, kSTOPend);
    EXPECT_EQ(std::string(reply, 3), "S10");
    ASSERT_EQ(CheckDDSResponse(), 1);
    EXPECT_EQ(ReadTransfer() & (TIMO_ | CMPL_), TIMO_);
    ibstop(nDDSDevice);
}

TEST_F(BusProtocol, ATransferReadInPiecesNeedsOneU) {
    ASSERT_NO_FATAL_FAILURE(Program());
    ASSERT_NO_FATAL_FAILURE(Start());
    uint8_t* bytes = reinterpret_cast<uint8_t*>(buffer);
    ibrd(nDDSDevice, bytes, 100);
    EXPECT_EQ(ibsta & (ERR_ | END_ | CMPL_), CMPL_);
    ibrd(nDDSDevice, bytes + 100, 100);
    EXPECT_EQ(ibsta & (ERR_ | END_ | CMPL_), CMPL_ | END_);
    EXPECT_EQ(ibcntl, kBytes - 100);
    EXPECT_EQ(CheckDDSResponse(), 1);
    ibrd(nDDSDevice, bytes, 100);  // no "U" for the next one: the synchronous read times out
    EXPECT_EQ(ibsta & (ERR_ | TIMO_), ERR_ | TIMO_);
}

// ---- a read in progress owns the board ----------------------------------------------------

struct BoardCall {
    const char* name;
    std::function<void(int32_t ud)> call;
};

std::vector<BoardCall> CallsRefusedDuringARead() {
    static char reply[8];
    static uint16_t second[16];
    return {
        {"ReadStatusByte", [](int32_t) { int16_t s = 77; ReadStatusByte(0, kDdsAddress, &s); EXPECT_EQ(s, 77); }},
        {"WaitSRQ", [](int32_t) { int16_t f = 77; WaitSRQ(0, &f); EXPECT_EQ(f, 77); }},
        {"TestSRQ", [](int32_t) { int16_t f = 77; TestSRQ(0, &f); EXPECT_EQ(f, 77); }},
        {"Send", [](int32_t) { Send(0, kDdsAddress, "M0?", 3, kNLend); }},
        {"Send to the fixture", [](int32_t) { Send(0, kFixtureAddress, "OUT", 3, kNLend); }},
        {"Receive", [](int32_t) { Receive(0, kDdsAddress, reply, 4, kSTOPend); }},
        {"second ibrda", [](int32_t ud) { ibrda(ud, second, sizeof second); }},
        {"ibrd", [](int32_t ud) { ibrd(ud, second, sizeof second); }},
        {"ibclr", [](int32_t ud) { ibclr(ud); }},
        {"SendIFC", [](int32_t) { SendIFC(0); }},
    };
}

TEST_F(BusProtocol, WhileAReadIsInProgressEveryOtherCallIsRefusedWithEoip) {
    ASSERT_NO_FATAL_FAILURE(Program());
    ASSERT_NO_FATAL_FAILURE(Start());
    for (bool dataArrived : {false, true}) {
        SCOPED_TRACE(dataArrived ? "data already arrived" : "data not yet there");
        ibrda(nDDSDevice, buffer, sizeof buffer);
        ASSERT_EQ(ibsta & ERR_, 0);
        // The board finishes in the background, yet the read stays in
        // progress until ibwait has reported it.
        if (dataArrived) FakeAdvanceTime(kPeriodMs);
        for (const BoardCall& c : CallsRefusedDuringARead()) {
            uint32_t refused = sim.eoipRefusals();
            uint32_t before = PlatformTimeMs();
            c.call(nDDSDevice);
            EXPECT_EQ(ibsta & ERR_, ERR_) << c.name;
            EXPECT_EQ(iberr, 10) << c.name;  // EOIP
            EXPECT_EQ(sim.eoipRefusals(), refused + 1) << c.name;
            EXPECT_EQ(PlatformTimeMs(), before) << c.name;  // refused at once
        }
        EXPECT_EQ(sim.Log().find("OUT"), std::string::npos);
        ASSERT_EQ(ibwait(nDDSDevice, TIMO_ | CMPL_) & (CMPL_ | TIMO_), CMPL_);
        EXPECT_EQ(buffer[0], 0xFE6B);
        // Waited for: the board takes calls again.
        EXPECT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    }
    EXPECT_EQ(sim.peakReads(), 2);  // the refused second ibrda is counted
}

TEST_F(BusProtocol, AWellBehavedCallerNeverHasTwoReadsOutstanding) {
    ASSERT_NO_FATAL_FAILURE(Program());
    ASSERT_NO_FATAL_FAILURE(Start());
    for (int k = 0; k < 5; ++k) ASSERT_NO_FATAL_FAILURE(Collect());
    EXPECT_EQ(sim.peakReads(), 1);
    EXPECT_EQ(sim.eoipRefusals(), 0u);
}

TEST_F(BusProtocol, ReconfiguringKeepsTheBoardsDescriptorsAndItsReadInProgress) {
    ASSERT_NO_FATAL_FAILURE(Program());
    ASSERT_NO_FATAL_FAILURE(Start());
    ibrda(nDDSDevice, buffer, sizeof buffer);
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\n"));
    // The front end restarted; the computer's board did not.
    SendCommand(kDdsAddress, "M0?");
    EXPECT_EQ(iberr, 10);
    EXPECT_EQ(ibwait(nDDSDevice, TIMO_ | CMPL_) & (TIMO_ | CMPL_), TIMO_);  // nothing streams
    EXPECT_EQ(ibstop(nDDSDevice) & ERR_, ERR_);
    EXPECT_EQ(ibclr(nDDSDevice) & ERR_, 0) << "descriptor closed by the re-configuration";
    EXPECT_EQ(SendCommand(kDdsAddress, "M0 2"), 1);
    EXPECT_EQ(CheckDDSResponse(), 1);
}

// ---- the status byte is a register ------------------------------------------------------------

TEST_F(BusProtocol, TheStatusByteIsTheLastEventsAndAMissedPollShiftsNothing) {
    ASSERT_NO_FATAL_FAILURE(Program());
    // A refused command whose request nobody polls, then an accepted one:
    // the poll tells the fate of the last one only.
    ASSERT_EQ(SendCommand(kDdsAddress, "M7 91"), 1);
    ASSERT_EQ(SendCommand(kDdsAddress, "M7 90"), 1);
    int16_t status = 0, flag = 0;
    ReadStatusByte(0, kDdsAddress, &status);
    EXPECT_EQ(status, 0x40);
    // Polled: the request is gone and no older one is behind it.
    TestSRQ(0, &flag);
    EXPECT_EQ(flag, 0);
    ReadStatusByte(0, kDdsAddress, &status);
    EXPECT_EQ(status, 0x00);
    EXPECT_EQ(CheckDDSResponse(), 0);  // no request comes: GPIB Error after T10s
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "GPIB Error");
    FakeClearMessages();
    // The same with a refusal last: it is not hidden behind the older success.
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(ReadTransfer() & CMPL_, CMPL_);  // 0x42 never polled
    ASSERT_EQ(SendCommand(kDdsAddress, "M7 90"), 1);  // refused while scanning
    EXPECT_EQ(CheckDDSResponse(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "return code is 1");
}

TEST_F(BusProtocol, TheTransferLengthIsPlainDecimalWholeScans) {
    ASSERT_NO_FATAL_FAILURE(Program());
    const struct {
        const char* command;
        int32_t accepted;
    } table[] = {{"M7 90", 1}, {"M7 090", 0}, {"M7 0090", 0}, {"M7 00", 0}, {"M7 91", 0},
                 {"M7 -90", 0}, {"M7 90 ", 0}, {"M7  90", 0}, {"M7", 0}, {"M7 +90", 0},
                 {"M7 64477", 0}, {"M7 64485", 0}, {"M7 64476", 1}};
    for (const auto& row : table) {
        ASSERT_EQ(SendCommand(kDdsAddress, row.command), 1);
        EXPECT_EQ(CheckDDSResponse(), row.accepted) << row.command;
        FakeClearMessages();
    }
}

// ---- faults armed at any moment ------------------------------------------------------------

TEST_F(BusProtocol, ArmedRefusalsHitTheNextCommandWithThatPrefix) {
    ASSERT_NO_FATAL_FAILURE(Program());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Collect());
    ASSERT_NO_FATAL_FAILURE(Collect());
    // "U" refused: the bus took it, the DDS did not; no transfer comes.
    ASSERT_NO_FATAL_FAILURE(sim.Arm("refuse \"U\""));
    ASSERT_EQ(ReadTransfer() & CMPL_, CMPL_);  // the one released before the arming
    ASSERT_EQ(CheckDDSResponse(), 1);
    ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    EXPECT_EQ(ReadTransfer() & (TIMO_ | CMPL_), TIMO_);
    ibstop(nDDSDevice);
    EXPECT_EQ(CheckDDSResponse(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "return code is 1");
    FakeClearMessages();
    // A restart refused after a good start, twice; the third goes through.
    ASSERT_EQ(StopDDS(), 1);
    ASSERT_NO_FATAL_FAILURE(sim.Arm("refuse \"M0 1,1\" 2"));
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(SendCommand(kDdsAddress, "M0 1,1"), 1);
        EXPECT_EQ(CheckDDSResponse(), 0);
    }
    EXPECT_EQ(sim.scanStart(), -1.0);
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_GE(sim.scanStart(), 0.0);
}

TEST_F(BusProtocol, AnArmedSendFailureFailsTheNextSendAtTheBus) {
    ASSERT_NO_FATAL_FAILURE(Program());
    const struct {
        const char* statement;
        int32_t iberr;
        int32_t timo;
    } table[] = {{"sendfail 1", 2, 0}, {"sendfail 1 ebus", 14, 0}, {"sendfail 1 eabo", 6, TIMO_},
                 {"sendfail 1 eadr", 3, 0}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.statement);
        ASSERT_NO_FATAL_FAILURE(sim.Arm(row.statement));
        std::string log = sim.Log();
        nDDSRunning = 1;
        EXPECT_EQ(StopDDS(), 0);  // its Send failed: no message, flags kept
        EXPECT_EQ(ibsta & (ERR_ | TIMO_), ERR_ | row.timo);
        EXPECT_EQ(iberr, row.iberr);
        EXPECT_EQ(sim.Log(), log);  // the DDS never heard it
        EXPECT_TRUE(FakeMessages().empty());
        EXPECT_EQ(nDDSRunning, 1);
        EXPECT_EQ(StopDDS(), 1);  // only the next one
    }
    // Counted from the arming: the third Send from now.
    ASSERT_NO_FATAL_FAILURE(sim.Arm("sendfail 3"));
    EXPECT_EQ(SendCommand(kDdsAddress, "M0 2"), 1);
    EXPECT_EQ(SendCommand(kDdsAddress, "M0 2"), 1);
    EXPECT_EQ(SendCommand(kDdsAddress, "M0 2"), 0);
    EXPECT_EQ(SendCommand(kDdsAddress, "M0 2"), 1);
}

TEST_F(BusProtocol, ArmedTransferFaultsHitTheNextTransfer) {
    const struct {
        const char* kind;
        uint16_t sync;
        int32_t status;  // polled after the transfer; 0 = it never came
    } table[] = {{"nosync", 0x0000, 0x42}, {"overflow", 0xFE6B, 0x44}, {"timeout", 0xAAAA, 0},
                 {"refuse", 0xFE6B, 0x42}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.kind);
        ASSERT_NO_FATAL_FAILURE(Program());
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_NO_FATAL_FAILURE(Collect());
        ASSERT_NO_FATAL_FAILURE(Collect());
        ASSERT_NO_FATAL_FAILURE(sim.Arm(std::string("fault 1 ") + row.kind));
        int32_t sta = ReadTransfer();
        EXPECT_EQ(buffer[0], row.sync);
        if (row.status == 0) {
            EXPECT_EQ(sta & (TIMO_ | CMPL_), TIMO_);
            ibstop(nDDSDevice);
            EXPECT_EQ(StopDDS(), 1);
            continue;
        }
        ASSERT_EQ(sta & CMPL_, CMPL_);
        EXPECT_EQ(buffer[1], 3);
        int16_t status = 0;
        ReadStatusByte(0, kDdsAddress, &status);
        EXPECT_EQ(status, row.status);
        // Only that transfer: the next is whole again ("refuse" hits the
        // command after the transfer instead).
        bool refuse = std::string(row.kind) == "refuse";
        ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
        if (refuse) {
            EXPECT_EQ(ReadTransfer() & (TIMO_ | CMPL_), TIMO_);
            ibstop(nDDSDevice);
            EXPECT_EQ(CheckDDSResponse(), 0);
            FakeClearMessages();
            continue;
        }
        ASSERT_EQ(ReadTransfer() & CMPL_, CMPL_);
        EXPECT_EQ(buffer[0], 0xFE6B);
        EXPECT_EQ(CheckDDSResponse(), 1);
    }
}

TEST_F(BusProtocol, OnlyFaultStatementsCanBeArmedAndABadOneArmsNothing) {
    ASSERT_NO_FATAL_FAILURE(Program());
    const struct {
        const char* text;
        const char* error;
    } table[] = {
        {"card 1 M16", "line 1: \"card\" cannot be armed (only fault, refuse and sendfail)"},
        {"timebase real", "line 1: \"timebase\" cannot be armed (only fault, refuse and sendfail)"},
        {"melt", "line 1: unknown keyword \"melt\""},
        {"sendfail 1\nfault 0 nosync", "line 2: fault takes a transfer number (1 or more) and a kind"},
        {"sendfail 0", "line 1: sendfail takes a Send number (1 or more) and an optional error"},
        {"sendfail 1 fire", "line 1: unknown bus error \"fire\" (enol, eadr, eabo, ebus)"},
        {"refuse U", "line 1: refuse takes a quoted command prefix"},
    };
    for (const auto& row : table) {
        char error[256] = "";
        EXPECT_EQ(sim.arm(row.text, error, sizeof error), 0) << row.text;
        EXPECT_STREQ(error, row.error);
    }
    EXPECT_EQ(sim.arm(nullptr, nullptr, 0), 0);
    // The half-good text armed nothing: the first Send still goes through.
    EXPECT_EQ(SendCommand(kDdsAddress, "M0 2"), 1);
}

// ---- what was delivered ---------------------------------------------------------------------

TEST_F(BusProtocol, TheSimulatorRecordsEveryTransferItSent) {
    ASSERT_NO_FATAL_FAILURE(Program());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Collect());              // 1: whole, at 100 ms
    PlatformSleep(150);
    ASSERT_NO_FATAL_FAILURE(Collect());              // 2: whole, at 250 ms (late)
    ibrd(nDDSDevice, buffer, 40);                    // 3: 40 bytes, then stopped
    ASSERT_EQ(StopDDS(), 1);
    ASSERT_NO_FATAL_FAILURE(sim.Arm("fault 1 nosync"));
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Collect());              // 4: first of the new scan, no sync
    std::vector<sim::Delivery> d = sim.Delivered();
    ASSERT_EQ(d.size(), 4u);
    const struct {
        uint32_t sequence, index, bytes, flags;
        double time;
    } want[] = {{1, 0, kBytes, sim::kDeliveredComplete, 0.1},
                {2, 1, kBytes, sim::kDeliveredComplete, 0.25},
                {3, 2, 40, 0, 0.3},
                {4, 0, kBytes, sim::kDeliveredComplete | sim::kDeliveredNoSync, 0.4}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(d[i].sequence, want[i].sequence);
        EXPECT_EQ(d[i].index, want[i].index);
        EXPECT_EQ(d[i].bytes, want[i].bytes);
        EXPECT_EQ(d[i].flags, want[i].flags);
        EXPECT_NEAR(d[i].time, want[i].time, 1e-9);
    }
    // A new configuration starts a new record.
    ASSERT_NO_FATAL_FAILURE(sim.Configure("timebase virtual\n"));
    EXPECT_TRUE(sim.Delivered().empty());
}

}  // namespace
