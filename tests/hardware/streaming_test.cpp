// Transfers streamed by the simulated DDS through the program's driver
// binding: what arrives follows from the scan table, the transfer length and
// the channel settings, sample for sample, and the injected faults show up
// where the chassis file puts them.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "hardware/q90_library.h"
#include "sim_fixture.h"

namespace {

constexpr double kRate = 1000.0;  // blocks per second
constexpr int kBlocks = 2;
constexpr int kScans = 10;
const int32_t kChannel[] = {0, 1, 2, 6, 3, 4, 1};
const int32_t kBlock[] = {0, 0, 0, 0, 1, 1, 1};
constexpr int kEntries = 7;
constexpr int kWords = (kEntries + 8) * kScans;

const char* kChassis =
    "timebase virtual\n"
    "card 4 M16           # 12-bit converter\n"
    "signal 0 const 1234.5\n"
    "signal 1 sine 3000 7 100 30\n"
    "signal 2 noise 500 42\n"
    "signal 3 square -2000 2000 0.01\n"
    "signal 4 step -100 900 0.05\n"
    "bits 6 0=0 0.02=0x0003 0.04=0x0001\n"
    "extstart 0.03-0.05\n";

class Streaming : public SimTest {
  protected:
    std::unique_ptr<ChannelParams> params = std::make_unique<ChannelParams>();
    std::vector<uint16_t> buffer = std::vector<uint16_t>(kWords + 16, 0xAAAA);

    void Program(const std::string& chassis) {
        ASSERT_NO_FATAL_FAILURE(sim.Configure(chassis));
        ASSERT_TRUE(LoadControlLibrary());
        memset(params.get(), 0, sizeof *params);
        for (int c = 0; c < kChannels; ++c) params->GAIN[c] = params->VARIABLEGAIN[c] = 1;
        params->GAIN[1] = 2;
        params->GAIN[4] = 5;
        for (int c : {0, 1, 2, 3, 4}) ASSERT_EQ(Q90SetupChannels(params.get(), c), 1) << c;
        auto mux = std::make_unique<MuxSetupRecord>();
        memset(mux.get(), 0, sizeof *mux);
        mux->One1 = mux->One2 = 1;
        mux->EntryCount = kEntries;
        mux->BlockCount = kBlocks;
        for (int p = 0; p < kEntries; ++p) {
            mux->Channel[p] = kChannel[p];
            mux->Block[p] = kBlock[p];
        }
        ASSERT_EQ(Q90InitMux(mux.get(), kWords, 1, kRate), 1);
        ASSERT_TRUE(FakeMessages().empty());
    }

    // The start sequence the DDS control runs.
    void Start() {
        char reply[4];
        ASSERT_EQ(SendCommand(kDdsAddress, "M0?"), 1);
        Receive(0, kDdsAddress, reply, 4, kSTOPend);
        ASSERT_EQ(ibsta & ERR_, 0);
        ASSERT_EQ(ibcntl, 4);
        ASSERT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(SendCommand(kDdsAddress, ("M7 " + std::to_string(kWords)).c_str()), 1);
        ASSERT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(SendCommand(kDdsAddress, "M0 1,1"), 1);
        ASSERT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    }

    int32_t ReadTransfer() {
        ibrda(nDDSDevice, buffer.data(), static_cast<int32_t>(buffer.size() * 2));
        EXPECT_EQ(ibsta & ERR_, 0);
        return ibwait(nDDSDevice, TIMO_ | CMPL_);
    }
};

double Expected(int channel, double t) {
    switch (channel) {
        case 0: return 1234.5;
        case 1: return 100 + 3000 * std::sin(2 * 3.14159265358979323846 * 7 * t + 30 * 3.14159265358979323846 / 180);
        case 3: return std::fmod(t, 0.01) < 0.005 ? -2000 : 2000;
        case 4: return t < 0.05 ? -100 : 900;
    }
    return 0;
}

int32_t Counts(double mv, double gain, double full) {
    double x = mv * gain * full / 10000.0;
    x = std::min(std::max(x, -full), full - 1);
    return static_cast<int32_t>(std::lround(x));
}

TEST_F(Streaming, ATransferFollowsTheScanTableAndTheSignalModels) {
    ASSERT_NO_FATAL_FAILURE(Program(kChassis));
    ASSERT_NO_FATAL_FAILURE(Start());
    double start = sim.scanStart();
    ASSERT_GE(start, 0.0);
    std::vector<int16_t> firstNoise;
    for (int k = 0; k < 3; ++k) {
        int32_t sta = ReadTransfer();
        ASSERT_EQ(sta & (CMPL_ | TIMO_ | END_), CMPL_ | END_) << k;
        ASSERT_EQ(ibcntl, kWords * 2);  // ended at EOI, not at the larger count
        EXPECT_EQ(buffer[kWords], 0xAAAA);
        // Delivered when its last scan was taken, not earlier.
        EXPECT_NEAR(sim.now(), start + (k + 1) * kScans * kBlocks / kRate, 1e-9);
        ASSERT_EQ(CheckDDSResponse(), 1);
        for (int i = 0; i < kScans; ++i) {
            const uint16_t* scan = buffer.data() + i * (kEntries + 8);
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(scan);
            uint64_t frame = static_cast<uint64_t>(k) * kScans + i;
            double frameTime = start + (frame * static_cast<double>(kBlocks)) / kRate;
            EXPECT_EQ(bytes[0], 0x6B);
            EXPECT_EQ(bytes[1], 0xFE);
            EXPECT_EQ(scan[1], k + 1) << "transfer sequence number";
            EXPECT_EQ(bytes[5] != 0, frameTime >= 0.03 && frameTime < 0.05) << frameTime;
            for (int p = 0; p < kEntries; ++p) {
                double t = start + (frame * static_cast<double>(kBlocks) + kBlock[p]) / kRate;
                int16_t got = static_cast<int16_t>(scan[8 + p]);
                int c = kChannel[p];
                SCOPED_TRACE("transfer " + std::to_string(k) + " scan " + std::to_string(i) +
                             " channel " + std::to_string(c));
                if (c == 6) {
                    EXPECT_EQ(static_cast<uint16_t>(got), t < 0.02 ? 0 : (t < 0.04 ? 3 : 1));
                } else if (c == 2) {
                    EXPECT_LE(std::abs(got), Counts(500, 1, 32768) + 1);
                    if (k == 0) firstNoise.push_back(got);
                } else if (c == 1) {
                    EXPECT_NEAR(got, Counts(Expected(c, t), 2, 32768), 1);
                } else {
                    EXPECT_EQ(got, Counts(Expected(c, t), c == 4 ? 5 : 1, c == 4 ? 2048 : 32768));
                }
            }
        }
        ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
    }
    // Noise is noise, yet reproducible from the chassis file.
    ASSERT_EQ(firstNoise.size(), static_cast<size_t>(kScans));
    EXPECT_NE(firstNoise[0], firstNoise[1]);
    ASSERT_EQ(StopDDS(), 1);
    ReleaseControlLibrary();
    ASSERT_NO_FATAL_FAILURE(Program(kChassis));
    ASSERT_NO_FATAL_FAILURE(Start());
    ReadTransfer();
    for (int i = 0; i < kScans; ++i)
        EXPECT_EQ(static_cast<int16_t>(buffer[i * (kEntries + 8) + 8 + 2]), firstNoise[i]);
}

TEST_F(Streaming, ReadsEndAtTheCountAndTheTransferGoesOnInTheNextRead) {
    ASSERT_NO_FATAL_FAILURE(Program(kChassis));
    ASSERT_NO_FATAL_FAILURE(Start());
    std::vector<uint16_t> whole(kWords);
    ibrd(nDDSDevice, whole.data(), 100);
    EXPECT_EQ(ibsta & (ERR_ | END_ | CMPL_), CMPL_);
    EXPECT_EQ(ibcntl, 100);
    int16_t flag = 1;
    TestSRQ(0, &flag);
    EXPECT_EQ(flag, 0);  // the transfer is not complete yet
    ibrd(nDDSDevice, reinterpret_cast<uint8_t*>(whole.data()) + 100, kWords * 2);
    EXPECT_EQ(ibsta & (ERR_ | END_ | CMPL_), CMPL_ | END_);
    EXPECT_EQ(ibcntl, kWords * 2 - 100);
    EXPECT_EQ(whole[0], 0xFE6B);
    EXPECT_EQ(CheckDDSResponse(), 1);
}

TEST_F(Streaming, CommandsWhileAReadIsOutstandingAreRefusedByTheBoard) {
    ASSERT_NO_FATAL_FAILURE(Program(kChassis));
    ASSERT_NO_FATAL_FAILURE(Start());
    ibrda(nDDSDevice, buffer.data(), kWords * 2);
    EXPECT_EQ(SendCommand(kDdsAddress, "M0?"), 0);
    EXPECT_EQ(iberr, 10);  // EOIP
    ibstop(nDDSDevice);
    EXPECT_EQ(StopDDS(), 1);
}

struct FaultCase {
    const char* kind;
    const char* message;  // shown by the response check after transfer 2, "" none
};

TEST_F(Streaming, InjectedFaultsHitTheChosenTransfer) {
    const FaultCase cases[] = {{"nosync", ""}, {"overflow", "return code is 4"}, {"timeout", ""},
                               {"refuse", ""}};
    for (const FaultCase& f : cases) {
        SCOPED_TRACE(f.kind);
        ReleaseControlLibrary();
        FakeClearMessages();
        ASSERT_NO_FATAL_FAILURE(Program(std::string(kChassis) + "fault 2 " + f.kind + "\n"));
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_EQ(ReadTransfer() & CMPL_, CMPL_);
        ASSERT_EQ(CheckDDSResponse(), 1);
        ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
        double before = sim.now();
        int32_t sta = ReadTransfer();
        if (std::string(f.kind) == "timeout") {
            EXPECT_EQ(sta & (TIMO_ | CMPL_), TIMO_);
            EXPECT_NEAR(sim.now() - before, 10.0, 1e-6);  // the descriptor's T10s
            ibstop(nDDSDevice);
            ASSERT_EQ(StopDDS(), 1);
            // Restarted, the DDS streams again.
            ASSERT_EQ(SendCommand(kDdsAddress, "M0 1,1"), 1);
            ASSERT_EQ(CheckDDSResponse(), 1);
            ASSERT_EQ(SendCommand(kDdsAddress, "U"), 1);
            ASSERT_EQ(ReadTransfer() & (CMPL_ | TIMO_), CMPL_);
            EXPECT_EQ(buffer[1], 3);  // the third transfer generated
            EXPECT_EQ(CheckDDSResponse(), 1);
            continue;
        }
        ASSERT_EQ(sta & CMPL_, CMPL_);
        EXPECT_EQ(buffer[0] == 0xFE6B, std::string(f.kind) != "nosync");
        EXPECT_EQ(buffer[1], 2);
        EXPECT_EQ(CheckDDSResponse(), f.message[0] ? 0 : 1);
        if (f.message[0]) {
            ASSERT_EQ(FakeMessages().size(), 1u);
            EXPECT_EQ(FakeMessages()[0].text, f.message);
        }
        FakeClearMessages();
        // A refused command is the first one after the transfer.
        EXPECT_EQ(StopDDS(), std::string(f.kind) == "refuse" ? 0 : 1);
    }
}

TEST_F(Streaming, ATransferCollectedTooLateHasOverflowedTheFifo) {
    ASSERT_NO_FATAL_FAILURE(Program(std::string(kChassis) + "fifo 2\n"));
    ASSERT_NO_FATAL_FAILURE(Start());
    sim.advance(0.5);  // 25 transfers' worth of scans
    ASSERT_EQ(ReadTransfer() & CMPL_, CMPL_);
    EXPECT_EQ(CheckDDSResponse(), 0);
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "return code is 4");
    EXPECT_EQ(buffer[2] & 1, 1);  // header byte 4 carries the overflow too
}

TEST_F(Streaming, TheTransferLengthMustBeWholeScans) {
    ASSERT_NO_FATAL_FAILURE(Program(kChassis));
    const struct {
        const char* command;
        int32_t accepted;
    } table[] = {{"M7 150", 1}, {"M7 149", 0}, {"M7 0", 0}, {"M7 64485", 0},
                 {"M7 +150", 0}, {"M7 1.5e2", 0}, {"M7 64470", 1}};
    for (const auto& row : table) {
        ASSERT_EQ(SendCommand(kDdsAddress, row.command), 1);
        EXPECT_EQ(CheckDDSResponse(), row.accepted) << row.command;
    }
}

}  // namespace
