// CVT sharing over the fake port's mailslots: names, the bound of the slices
// to the CVT, a server feeding a client, and the start-up and menu rules.
#include <cstring>
#include <vector>

#include "base/app_state.h"
#include "acquire/engine.h"
#include "hardware/gpib_access.h"
#include "network/cvt_slices.h"
#include "platform/fake/fake_platform.h"
#include "testmodel/model.h"

#include <gtest/gtest.h>

namespace {

class CvtSharing : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ASSERT_EQ(AllocateTestModel(), 1);
        CloseServerMailslots();
        DisconnectFromServer();
        SetNetworkDefaults();
        bClientMode = bServeData = false;
    }
    void TearDown() override {
        CloseServerMailslots();
        DisconnectFromServer();
        FreeTestModel();
    }
};

TEST(CvtSlices, NamesAndTheSlicesInsideTheCvt) {
    char name[160];
    ASSERT_TRUE(CvtMailslotName("\\\\.\\mailslot\\cvt", 0, name, sizeof name));
    EXPECT_STREQ(name, "\\\\.\\mailslot\\cvt49");
    ASSERT_TRUE(CvtMailslotName("\\\\.\\mailslot\\cvt", 79, name, sizeof name));
    EXPECT_STREQ(name, "\\\\.\\mailslot\\cvt3999");
    for (int32_t k = 0; k < kCvtSlices; ++k) {
        ASSERT_TRUE(CvtMailslotName("b", k, name, sizeof name));
        EXPECT_EQ(atoi(name + 1), 50 * k + 49);
    }
    char small[5];
    EXPECT_FALSE(CvtMailslotName("base", 10, small, sizeof small));

    EXPECT_EQ(kCvtSharedBytes, 14336u);
    EXPECT_EQ(kCvtSlicesUsed, 36);
    uint32_t total = 0;
    for (int32_t k = -1; k <= kCvtSlices; ++k) total += CvtSliceBytes(k);
    EXPECT_EQ(total, kCvtSharedBytes);
    EXPECT_EQ(CvtSliceBytes(34), 400u);
    EXPECT_EQ(CvtSliceBytes(35), 336u);
    EXPECT_EQ(CvtSliceBytes(36), 0u);
}

TEST(CvtSlices, NoMessageWritesOutsideTheCvt) {
    // A CVT with guard bytes after it; every slice number and length.
    std::vector<uint8_t> block(sizeof(CVT) + 4096, 0xA5);
    CVT* cvt = reinterpret_cast<CVT*>(block.data());
    std::vector<uint8_t> message(4000, 0x11);
    for (int32_t k = -3; k < kCvtSlices + 3; ++k)
        for (uint32_t len : {0u, 1u, 336u, 399u, 400u, 401u, 2048u, 4000u})
            ApplyCvtSlice(cvt, k, message.data(), len);
    for (size_t i = sizeof(CVT); i < block.size(); ++i) ASSERT_EQ(block[i], 0xA5) << i;
    // The header before Value is never touched, the whole shared part is.
    for (size_t i = 0; i < offsetof(CVT, Value); ++i) ASSERT_EQ(block[i], 0xA5) << i;
    for (size_t i = offsetof(CVT, Value); i < sizeof(CVT); ++i) ASSERT_EQ(block[i], 0x11) << i;
}

TEST_F(CvtSharing, ServerSlicesReachTheClientsCvt) {
    ConnectToServer();  // this station's own client mailslots
    ASSERT_TRUE(bClientMode);
    EXPECT_EQ(FakeMailslotCount(), static_cast<size_t>(kCvtSlicesUsed));
    EXPECT_TRUE(FakeMailslotExists("\\\\.\\mailslot\\cvt49"));
    EXPECT_TRUE(FakeMailslotExists("\\\\.\\mailslot\\cvt1799"));
    EXPECT_FALSE(FakeMailslotExists("\\\\.\\mailslot\\cvt1849"));
    ASSERT_EQ(FakeMessages().size(), 1u);
    EXPECT_EQ(FakeMessages()[0].text, "Connected To Server");
    EXPECT_EQ(FakeMessages()[0].caption, "Client Mode Activated");
    EXPECT_EQ(FakeMessages()[0].style, MB_ICONINFORMATION_);
    EXPECT_EQ(OpenServerMailslots(), kCvtSlicesUsed);

    // The server's values, then newer ones before the client reads: the
    // client ends up with the newest.
    CVT server = *lpCVT;
    for (int c = 0; c < kChannels; ++c) {
        server.Value[c] = c * 1.5;
        server.Format[c] = -c;
        server.WarningColor[c] = 0x123456;
    }
    CVT older = server;
    older.Value[7] = -1.0;
    CVT* own = lpCVT;
    lpCVT = &older;
    ServeCvtSlices();
    lpCVT = &server;
    ServeCvtSlices();
    lpCVT = own;
    EXPECT_EQ(ReadClientCvtSlices(), 1);
    EXPECT_EQ(memcmp(lpCVT->Value, server.Value, kCvtSharedBytes), 0);
    EXPECT_EQ(ReadClientCvtSlices(), 0) << "nothing left waiting";

    // An oversized message is cut to its slice; the guard of the next one holds.
    const double before = lpCVT->Value[50];
    std::string big(2000, '\x22');
    ASSERT_TRUE(FakeMailslotDeliver("\\\\.\\mailslot\\cvt49", big));
    EXPECT_EQ(ReadClientCvtSlices(), 1);
    EXPECT_EQ(lpCVT->Value[50], before);

    // A second connect keeps the mailslots and their messages.
    ASSERT_TRUE(FakeMailslotDeliver("\\\\.\\mailslot\\cvt99", std::string(400, '\0')));
    ConnectToServer();
    EXPECT_EQ(FakeMailslotTake("\\\\.\\mailslot\\cvt99").size(), 1u);

    DisconnectFromServer();
    EXPECT_FALSE(bClientMode);
    EXPECT_EQ(FakeMailslotCount(), 0u);
}

TEST_F(CvtSharing, MissingMailslotsAndUnsupportedPlatformAreReported) {
    // Serving with no client: one box per missing slot, the others go on.
    EXPECT_EQ(OpenServerMailslots(), 0);
    ASSERT_EQ(FakeMessages().size(), static_cast<size_t>(kCvtSlicesUsed));
    EXPECT_EQ(FakeMessages()[0].text, "Server Could Not Create Mailslot 0 ");
    EXPECT_EQ(FakeMessages()[35].text, "Server Could Not Create Mailslot 1750 ");
    EXPECT_EQ(FakeMessages()[0].caption, "Failed To Start Morva Network Services");
    ServeCvtSlices();  // no open handles: nothing sent, nothing breaks

    FakeClearMessages();
    FakeMailslotFailCreates(120);
    ConnectToServer();
    ASSERT_EQ(FakeMessages().size(), static_cast<size_t>(kCvtSlicesUsed) + 1);
    EXPECT_EQ(FakeMessages()[1].text, "Problem Connecting To Server Mailslot 50");
    EXPECT_EQ(FakeMessages()[1].caption, "Server May Not Be Up");
    EXPECT_EQ(FakeMessages().back().text, "Connected To Server");
    EXPECT_TRUE(bClientMode);

    FakeClearMessages();
    FakeMailslotFailCreates(5);  // other failures are silent
    DisconnectFromServer();
    ConnectToServer();
    EXPECT_EQ(FakeMessages().size(), 1u);
}

TEST_F(CvtSharing, ServerInformationSetsBothBaseNames) {
    EXPECT_STREQ(szCvtPipeName, "\\\\.\\PIPE\\Rq817CVT");
    EXPECT_STREQ(szClientBaseName, "\\\\.\\mailslot\\cvt");
    SetServerBaseName("\\\\STATION2\\mailslot\\cvt");
    EXPECT_STREQ(szServerBaseName, "\\\\STATION2\\mailslot\\cvt");
    EXPECT_STREQ(szClientBaseName, "\\\\STATION2\\mailslot\\cvt");
    SetServerBaseName(std::string(300, 'n').c_str());
    EXPECT_EQ(strlen(szServerBaseName), 127u);
    EXPECT_EQ(strlen(szClientBaseName), 127u);
}

}  // namespace

// A client has no transfer to wait for and mailslots cannot wake the message
// loop: it polls at a steady pace, neither spinning a core nor sleeping
// through the server's slices, also when it runs without a front end.
TEST_F(CvtSharing, ClientPollsItsMailslotsAtASteadyPace) {
    nDDSRunning = 1;
    bPreviewing = true;
    for (bool simulator : {false, true}) {
        bSimulator = simulator;
        bClientMode = true;
        EXPECT_EQ(AcquisitionBudgetMs(1000), kClientPollMs) << "simulator " << simulator;
        bClientMode = false;
        if (simulator) {
            EXPECT_EQ(AcquisitionBudgetMs(1000), 0xFFFFFFFFu);
        }
    }
    bPreviewing = false;
    bClientMode = true;
    EXPECT_EQ(AcquisitionBudgetMs(1000), 0xFFFFFFFFu) << "not sampling: nothing to poll";
    nDDSRunning = 0;
    bSimulator = bClientMode = false;
}
