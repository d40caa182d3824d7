/* Receive and transmit: copy and loan, error accounting, untrusted
 * descriptor lengths, flush and reclaim, restarts and the setup frame. */
#include "dc_fixture.h"

#include <stdexcept>

static std::vector<uint8_t> flatten(struct mbuf *m)
{
    std::vector<uint8_t> out(4096);
    out.resize((size_t)hostMbufChainCopy(m, out.data(), (int)out.size()));
    return out;
}

TEST_F(DcTest, ReceivedFrameIsCopiedUpWithItsType)
{
    attachDefault();
    std::vector<uint8_t> f = frameTo(kMac, 100, 0x0806, 7);
    EXPECT_EQ(DCM_RX_OK, rxDeliver(f));
    uint16_t type = 0;
    int len = 0;
    struct mbuf *m = hostRxTake(&type, &len);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0x0806, type);
    EXPECT_EQ(100, len);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 14, f.end()), flatten(m));
    EXPECT_EQ(0, m->m_flags & M_EXT ? (m->m_extType == 2) : 0); /* not a loan */
    m_freem(m);
    EXPECT_EQ(1, ifp()->if_ipackets);
    EXPECT_EQ(16, drv()->nLoanRx);
    EXPECT_EQ(1, drv()->rxIndex);
    EXPECT_FALSE(drv()->rxJobPending);
    EXPECT_NE(0u, dcModelCsrPeek(chip, 7) & 0x40); /* receive interrupt enabled again */
}

TEST_F(DcTest, FramesOf512DataBytesAreLentAndSmallerOnesCopied)
{
    attachDefault();
    rxDeliver(frameTo(kMac, 511));
    EXPECT_EQ(16, drv()->nLoanRx);
    uint32_t before = drv()->rxRing[1].desc2;
    std::vector<uint8_t> f = frameTo(kMac, 512, 0x0800, 3);
    rxDeliver(f);
    EXPECT_EQ(15, drv()->nLoanRx);
    EXPECT_NE(before, drv()->rxRing[1].desc2); /* a pool buffer took the lent one's place */
    EXPECT_EQ(hostVirtToPhys(drv()->lPool[15]), DC_LE32TOH(drv()->rxRing[1].desc2));

    struct mbuf *copied = hostRxTake(nullptr, nullptr);
    int len = 0;
    struct mbuf *lent = hostRxTake(nullptr, &len);
    ASSERT_NE(nullptr, lent);
    EXPECT_EQ(512, len);
    EXPECT_EQ((char *)hostPhysToVirt(DC_LE32TOH(before)) + 14, lent->m_data);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 14, f.end()), flatten(lent));
    m_freem(copied);
    m_freem(lent);
    EXPECT_EQ(16, drv()->nLoanRx);
    EXPECT_EQ((char *)hostPhysToVirt(DC_LE32TOH(before)), drv()->lPool[15]);
    EXPECT_EQ(0, *drv()->pRefCnt[15]);
}

TEST_F(DcTest, AnEmptyLoanPoolFallsBackToCopyingUntilBuffersReturn)
{
    attachDefault();
    std::vector<struct mbuf *> held;
    for (int i = 0; i < 17; i++) {
        rxDeliver(frameTo(kMac, 1000, 0x0800, (uint8_t)i));
        held.push_back(hostRxTake(nullptr, nullptr));
    }
    EXPECT_EQ(0, drv()->nLoanRx);
    EXPECT_EQ(0, held[16]->m_extType == 2); /* the 17th was copied */
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(2, held[(size_t)i]->m_extType);
    /* the data of every lent buffer is intact although the ring moved on */
    for (int i = 0; i < 17; i++)
        EXPECT_EQ(frameTo(kMac, 1000, 0x0800, (uint8_t)i)[14 + 999], flatten(held[(size_t)i])[999]);
    for (struct mbuf *m : held)
        m_freem(m);
    EXPECT_EQ(16, drv()->nLoanRx);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(0, drv()->refCnt[i]);
    rxDeliver(frameTo(kMac, 600));
    EXPECT_EQ(15, drv()->nLoanRx);
}

TEST_F(DcTest, MbufShortageDropsTheFrameAndKeepsTheRingGoing)
{
    attachDefault();
    hostMbufLimitSet(0);
    rxDeliver(frameTo(kMac, 100));
    rxDeliver(frameTo(kMac, 700)); /* a loan needs an mbuf too; copying fails as well */
    EXPECT_EQ(0, hostRxCount());
    EXPECT_EQ(2, ifp()->if_ierrors);
    EXPECT_EQ(16, drv()->nLoanRx);
    hostMbufLimitSet(-1);
    rxDeliver(frameTo(kMac, 100));
    EXPECT_EQ(1, hostRxCount());
    EXPECT_EQ(3, drv()->rxIndex);
}

TEST_F(DcTest, ReceiveStatusBitsCountAndErrorsAreNotPassedUp)
{
    struct {
        uint32_t bits;
        uint32_t DC_STATS::*counter;
        bool passedUp;
    } cases[] = {
        {0x40008000, &DC_STATS::rxFltErr, false}, {0x00004000 | 0x8000, &DC_STATS::rxDescErr, false},
        {0x00008800, &DC_STATS::rxRunt, false},    {0x00008080, &DC_STATS::rxTooLng, false},
        {0x00008040, &DC_STATS::rxColl, false},    {0x00008008, &DC_STATS::rxMiiErr, false},
        {0x00000004, &DC_STATS::rxDribl, true},    {0x00008002, &DC_STATS::rxCrc, false},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.bits);
        TearDown();
        SetUp();
        attachDefault();
        std::vector<uint8_t> f = frameTo(kMac, 100);
        dcModelWireRxStatus(chip, f.data(), (int)f.size(), c.bits, -1);
        runAll();
        EXPECT_EQ(1u, drv()->stats.*c.counter);
        EXPECT_EQ(c.passedUp ? 1 : 0, hostRxCount());
        EXPECT_EQ(c.passedUp ? 0 : 1, ifp()->if_ierrors);
        EXPECT_EQ(c.passedUp ? 1 : 0, ifp()->if_ipackets);
        EXPECT_EQ(1, drv()->rxIndex); /* recycled either way */
        EXPECT_NE(0u, drv()->rxRing[0].desc0 & DC_HTOLE32(RDESC0_OWN));
    }
}

TEST_F(DcTest, ForgedReceiveLengthsNeverReachOutsideTheBuffer)
{
    attachDefault();
    std::vector<uint8_t> f = frameTo(kMac, 46);
    /* lengths below a header plus CRC, beyond the 1520-byte buffer, and the
     * all-ones field; the filtering-fail bit widens the length field too */
    const int lengths[] = {0, 1, 3, 4, 17, 1521, 2047, 0x3FFF};
    int n = 0;
    for (int len : lengths) {
        dcModelWireRxStatus(chip, f.data(), (int)f.size(), 0, len);
        runAll();
        n++;
        EXPECT_EQ(n, ifp()->if_ierrors) << "length " << len;
    }
    dcModelWireRxStatus(chip, f.data(), (int)f.size(), RDESC0_FF, 64);
    runAll();
    EXPECT_EQ(n + 1, ifp()->if_ierrors);
    EXPECT_EQ(0, hostRxCount());
    EXPECT_EQ(0, ifp()->if_ipackets);

    /* the smallest acceptable: header and CRC, no data */
    dcModelWireRxStatus(chip, f.data(), (int)f.size(), 0, 18);
    runAll();
    int len = -1;
    struct mbuf *m = hostRxTake(nullptr, &len);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0, len);
    m_freem(m);
    EXPECT_EQ(DCM_RX_OK, rxDeliver(frameTo(kMac, 1500)));
    EXPECT_EQ(1, hostRxCount());
}

TEST_F(DcTest, FramesWithoutADescriptorAreMissedAndCounted)
{
    attachDefault();
    std::vector<uint8_t> f = frameTo(kMac, 60);
    int missed = 0;
    for (int i = 0; i < 40; i++)
        if (dcModelWireRx(chip, f.data(), (int)f.size()) == DCM_RX_MISSED)
            missed++;
    EXPECT_EQ(8, missed);
    runAll();
    EXPECT_EQ(32, hostRxCount());
    EXPECT_EQ(8u, drv()->stats.rxMiss);
    /* reception resumes once descriptors are back */
    freeDelivered();
    EXPECT_EQ(DCM_RX_OK, rxDeliver(f));
    EXPECT_EQ(1, hostRxCount());
}

TEST_F(DcTest, OneReceiveJobIsBoundedByItsByteBudget)
{
    attachDefault();
    std::vector<uint8_t> f = frameTo(kMac, 100);
    for (int i = 0; i < 30; i++)
        dcModelWireRx(chip, f.data(), (int)f.size());
    hostIntDeliver();
    EXPECT_TRUE(drv()->rxJobPending);
    EXPECT_EQ(0u, dcModelCsrPeek(chip, 7) & 0x40);
    ASSERT_EQ(1, netJobPending());
    netJobRunOne();
    /* 2144 bytes of 100-byte frames: the job stops after 22 and queues its continuation */
    EXPECT_EQ(22, hostRxCount());
    EXPECT_TRUE(drv()->rxJobPending);
    EXPECT_EQ(16080, drv()->rxBudget);
    EXPECT_EQ(1, netJobPending());
    netJobRunOne();
    EXPECT_EQ(30, hostRxCount());
    EXPECT_FALSE(drv()->rxJobPending);
    EXPECT_EQ(2144, drv()->rxBudget);
    EXPECT_NE(0u, dcModelCsrPeek(chip, 7) & 0x40);
}

/* Frames that are never passed up still cost the job its time: a storm of
 * them must not hold the network task.  Every descriptor counts at least as
 * a minimum-size frame (60 bytes), so a job takes at most 36 of them. */
TEST_F(DcTest, EveryDescriptorCountsAgainstTheReceiveBudget)
{
    enum Kind { CRC_ERRORS, FORGED_LENGTHS, HEADER_ONLY, HOOK_TAKES_ALL, NO_MBUFS };
    const struct {
        const char *name;
        Kind kind;
    } cases[] = {
        {"CRC errors", CRC_ERRORS},
        {"forged lengths", FORGED_LENGTHS},
        {"frames without data", HEADER_ONLY},
        {"input hook takes every frame", HOOK_TAKES_ALL},
        {"no mbufs", NO_MBUFS},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        dcNumRds = 64; /* more descriptors than one job may take */
        attachDefault();
        if (c.kind == HOOK_TAKES_ALL)
            etherInputHookRtn = [](struct ifnet *, char *, int) -> BOOL { return TRUE; };
        if (c.kind == NO_MBUFS)
            hostMbufLimitSet(0);
        std::vector<uint8_t> f = frameTo(kMac, 46);
        for (int i = 0; i < 64; i++) {
            int r = DCM_RX_OK;
            switch (c.kind) {
            case CRC_ERRORS:
                r = dcModelWireRxStatus(chip, f.data(), (int)f.size(), 0x8002, -1);
                break;
            case FORGED_LENGTHS:
                r = dcModelWireRxStatus(chip, f.data(), (int)f.size(), 0, 0);
                break;
            case HEADER_ONLY:
                r = dcModelWireRxStatus(chip, f.data(), (int)f.size(), 0, 18);
                break;
            default:
                r = dcModelWireRx(chip, f.data(), (int)f.size());
                break;
            }
            ASSERT_EQ(DCM_RX_OK, r) << i;
        }
        hostIntDeliver();
        ASSERT_EQ(1, netJobPending());
        netJobRunOne();
        EXPECT_EQ(36, drv()->rxIndex);
        EXPECT_TRUE(drv()->rxJobPending);
        EXPECT_EQ(16080, drv()->rxBudget);
        ASSERT_EQ(1, netJobPending());
        netJobRunOne();
        EXPECT_EQ(0, drv()->rxIndex); /* all 64 taken, the ring wrapped */
        EXPECT_FALSE(drv()->rxJobPending);
        EXPECT_EQ(0, netJobPending());
        EXPECT_EQ(2144, drv()->rxBudget);
        EXPECT_EQ(c.kind == HEADER_ONLY ? 64 : 0, hostRxCount());
        freeDelivered();
        hostMbufLimitSet(-1);
    }
}

TEST_F(DcTest, AnInputHookCanConsumeFrames)
{
    attachDefault();
    static int seen;
    static int seenLen;
    seen = 0;
    etherInputHookRtn = [](struct ifnet *, char *buf, int len) -> BOOL {
        seen++;
        seenLen = len;
        return buf[14] == 0x11; /* consume frames whose data starts with 0x11 */
    };
    rxDeliver(frameTo(kMac, 64, 0x0800, 0x11));
    rxDeliver(frameTo(kMac, 64, 0x0800, 0x22));
    EXPECT_EQ(2, seen);
    EXPECT_EQ(78, seenLen);
    EXPECT_EQ(1, hostRxCount());
}

TEST_F(DcTest, ShortPacketsGoOutAs60BytesPaddedWithZeros)
{
    attachDefault();
    /* dirty every transmit buffer first */
    for (int i = 0; i < 40; i++)
        sendPacket(1000, 0xAA);
    dcTxRingClean(drv());
    std::vector<uint8_t> w;
    while (dcModelWireTxTake(chip, &w))
        ;
    ASSERT_EQ(0, sendPacket(10, 0x30));
    ASSERT_TRUE(dcModelWireTxTake(chip, &w));
    ASSERT_EQ(60u, w.size());
    EXPECT_EQ(0, memcmp(w.data(), kPeer, 6));
    EXPECT_EQ(0, memcmp(w.data() + 6, kMac, 6));
    EXPECT_EQ(0x08, w[12]);
    EXPECT_EQ(0x00, w[13]);
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(0x30 + i, w[14 + (size_t)i]);
    for (size_t i = 24; i < 60; i++)
        EXPECT_EQ(0, w[i]) << "pad byte " << i;
    EXPECT_EQ(60u, DC_LE32TOH(drv()->txRing[(drv()->txIndex + 31) % 32].desc1) & 0x7FF);
}

TEST_F(DcTest, PacketsSpreadOverMbufsAreCopiedWithEveryAccessWidth)
{
    for (int width : {-1, 1, 2, 4}) {
        SCOPED_TRACE(width);
        TearDown();
        SetUp();
        attachDefault(0, width);
        /* 3 mbufs of odd lengths after the 14-byte header mbuf */
        for (int len : {103, 104, 105, 106, 301}) {
            ASSERT_EQ(0, sendPacket(len, (uint8_t)len, 0, 3));
            std::vector<uint8_t> w;
            ASSERT_TRUE(dcModelWireTxTake(chip, &w));
            ASSERT_EQ((size_t)(14 + len), w.size());
            for (int i = 0; i < len; i++)
                ASSERT_EQ((uint8_t)(len + i), w[14 + (size_t)i]) << "byte " << i;
        }
    }
}

TEST_F(DcTest, AnUnsupportedAccessWidthPanics)
{
    attachDefault(0, 3);
    hostPanicHook = [](const char *msg) { throw std::runtime_error(msg); };
    try {
        sendPacket(100);
        FAIL() << "no panic";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ("bcopy_from_mbufs", e.what());
    }
}

TEST_F(DcTest, APacketLongerThanTheBufferIsDroppedNotCopied)
{
    attachDefault();
    /* 13 full mbufs: 1664 data bytes */
    ASSERT_EQ(0, sendPacket(13 * MLEN, 1, 0, 13));
    EXPECT_EQ(0, dcModelWireTxCount(chip));
    EXPECT_EQ(1, ifp()->if_oerrors);
    EXPECT_EQ(0, ifp()->if_opackets);
    EXPECT_EQ(0, sendPacket(1500, 1, 0, 12));
    EXPECT_EQ(1, dcModelWireTxCount(chip));
}

TEST_F(DcTest, TransmitStatusBitsCountOnReclaim)
{
    static int hookCalls;
    struct {
        uint32_t bits;
        uint32_t DC_STATS::*counter;
        int oerrors;
        int collisions;
        int hook;
    } cases[] = {
        {0x8000 | 0x4000, &DC_STATS::txJbr, 1, 0, 0},
        {0x8000 | 0x0800, &DC_STATS::txLostCarr, 1, 0, 0},
        {0x8000 | 0x0400, &DC_STATS::txNoCarr, 1, 0, 1},
        {0x8000 | 0x0200, &DC_STATS::txLateColl, 1, 1, 0},
        {0x8000 | 0x0100, &DC_STATS::txXsColl, 1, 16, 0}, /* counted in collisions only */
        {0x8000 | 0x0004, &DC_STATS::txLnkF, 1, 0, 0},
        {0x0001, &DC_STATS::txDefr, 0, 0, 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.bits);
        TearDown();
        SetUp();
        attachDefault();
        hookCalls = 0;
        _func_dcNoCarrierHook = [] { hookCalls++; };
        dcModelTxErrorInject(chip, c.bits, 1);
        ASSERT_EQ(0, sendPacket(100));
        EXPECT_EQ(1, ifp()->if_opackets);
        dcTxRingClean(drv());
        if (c.counter != &DC_STATS::txXsColl) {
            EXPECT_EQ(1u, drv()->stats.*c.counter);
        }
        EXPECT_EQ(0u, drv()->stats.txXsColl);
        EXPECT_EQ(c.oerrors, ifp()->if_oerrors);
        EXPECT_EQ(1 - c.oerrors, ifp()->if_opackets);
        EXPECT_EQ(c.collisions, ifp()->if_collisions);
        EXPECT_EQ(c.hook, hookCalls);
        EXPECT_EQ(c.oerrors ? 0 : 1, drv()->txGood);
        EXPECT_EQ(drv()->txIndex, drv()->txDiIndex);
        EXPECT_EQ(0, drv()->txOutstanding);
    }
}

TEST_F(DcTest, AFullRingIsReclaimedAndTheQueueFlushed)
{
    attachDefault();
    chip->txHold = 1; /* the chip stops taking frames */
    int r = 0, sent = 0;
    while ((r = sendPacket(100)) == 0)
        sent++;
    EXPECT_EQ(NET_ENOBUFS, r);
    /* a full ring holds one frame less than its 32 descriptors, then the queue fills */
    EXPECT_EQ(31 + 50, sent);
    EXPECT_EQ(50, ifp()->if_snd.ifq_len);
    EXPECT_EQ(1u, drv()->stats.txDrops);
    EXPECT_EQ(1u, drv()->stats.txFl);
    EXPECT_EQ(1u, drv()->stats.txFlNeed);
    EXPECT_EQ(0u, drv()->stats.txFlDone);
    EXPECT_GT(drv()->stats.txRetries, 0u);
    EXPECT_EQ(50u, drv()->stats.txQMax);

    /* the chip comes back: the next poll sends the ring, the transmit buffer
     * unavailable interrupt schedules the flush, the flush drains the queue */
    chip->txHold = 0;
    sysOutLong(TEST_CSR_BASE + 8, 1);
    runAll();
    EXPECT_EQ(0, ifp()->if_snd.ifq_len);
    EXPECT_EQ(2u, drv()->stats.txFl);
    EXPECT_GE(drv()->stats.txFlDone, 1u);
    EXPECT_FALSE(drv()->txFlushScheduled);
    runAll();
    dcTxRingClean(drv());
    EXPECT_EQ(81, dcModelWireTxCount(chip));
    EXPECT_EQ(0, drv()->txOutstanding);
}

/* after a restart frames must still pass both ways */
static void expectTrafficFlows(DcTest *t, DcModel *m, int frames)
{
    for (int i = 0; i < frames; i++) {
        std::vector<uint8_t> f(74, 0x21);
        memcpy(f.data(), kMac, 6);
        f[12] = 0x08;
        ASSERT_EQ(DCM_RX_OK, dcModelWireRx(m, f.data(), (int)f.size()));
        hostRunUntilIdle(1000);
    }
    EXPECT_EQ(frames, hostRxCount());
    int before = dcModelWireTxCount(m);
    struct sockaddr dst{};
    dst.sa_family = AF_UNSPEC;
    memcpy(dst.sa_data, kPeer, 6);
    for (int i = 0; i < frames; i++) {
        struct mbuf *mb = m_get(M_DONTWAIT, MT_DATA);
        mb->m_len = 50;
        memset(mb->m_data, i, 50);
        ASSERT_EQ(0, dcOutput(&dcDrvCtrl[0].arpcom.ac_if, mb, &dst));
        hostRunUntilIdle(1000);
    }
    EXPECT_EQ(before + frames, dcModelWireTxCount(m));
    (void)t;
}

TEST_F(DcTest, AnUnderflowRestartsTheChipAtTaskLevel)
{
    attachDefault();
    for (int i = 0; i < 5; i++)
        sendPacket(100);
    dcModelTxErrorInject(chip, 0x8000 | 0x0002, 1);
    sendPacket(100); /* underflows; the chip suspends */
    chip->txHold = 1;
    sendPacket(100); /* still in the ring when the restart comes */
    chip->txHold = 0;
    dcTxRingClean(drv());
    EXPECT_EQ(1u, drv()->stats.txUflo);
    EXPECT_EQ(0, ifp()->if_flags & (IFF_UP | IFF_RUNNING));
    EXPECT_EQ(1, netJobPending());
    runAll();
    EXPECT_NE(std::string::npos, std::string(hostLogText()).find("dc0 -- Restarted\n"));
    EXPECT_EQ(IFF_UP | IFF_RUNNING, ifp()->if_flags & (IFF_UP | IFF_RUNNING));
    EXPECT_EQ(0, drv()->txIndex);
    EXPECT_EQ(0, drv()->rxIndex);
    /* more frames than the ring holds, so a lost position would show */
    expectTrafficFlows(this, chip, 40);
}

TEST_F(DcTest, AFatalBusErrorRestartsTheChipAtTaskLevel)
{
    attachDefault();
    expectTrafficFlows(this, chip, 7);
    freeDelivered();
    dcModelFatalBusError(chip);
    hostIntDeliver();
    EXPECT_EQ(1, ifp()->if_ierrors);
    EXPECT_EQ(0, ifp()->if_flags & (IFF_UP | IFF_RUNNING));
    /* while down no receive work is picked up */
    EXPECT_EQ(nullptr, dcGetFullRMD(drv()));
    runAll();
    EXPECT_NE(std::string::npos, std::string(hostLogText()).find("dc0 -- Restarted\n"));
    EXPECT_EQ(IFF_UP | IFF_RUNNING, ifp()->if_flags & (IFF_UP | IFF_RUNNING));
    expectTrafficFlows(this, chip, 40);
}

TEST_F(DcTest, SetupFrameLoadsTheFilter)
{
    attachDefault();
    /* the attach-time frame: the station address, then 15 broadcast entries */
    EXPECT_EQ(0, memcmp(kMac, chip->filter[0], 6));
    static const uint8_t bcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int e = 1; e < 16; e++)
        EXPECT_EQ(0, memcmp(bcast, chip->filter[e], 6)) << e;
    EXPECT_EQ(0x00, drv()->setupBuf[2]);
    EXPECT_EQ(0x00, drv()->setupBuf[3]);

    uint8_t addrs[17][6];
    for (int i = 0; i < 17; i++) {
        memcpy(addrs[i], kPeer, 6);
        addrs[i][5] = (uint8_t)i;
    }
    EXPECT_EQ(ERROR, dcFltrFrmXmit(drv(), &addrs[0][0], 17));
    EXPECT_EQ(1, chip->setupFrames);
    EXPECT_EQ(OK, dcFltrFrmXmit(drv(), &addrs[0][0], 16));
    EXPECT_EQ(2, chip->setupFrames);
    for (int e = 0; e < 16; e++)
        EXPECT_EQ(0, memcmp(addrs[e], chip->filter[e], 6)) << e;
    /* the descriptor went back to plain data use */
    const DC_DESC *d = &drv()->txRing[(drv()->txIndex + 31) % 32];
    EXPECT_EQ(0u, d->desc0);
    EXPECT_EQ(0u, DC_LE32TOH(d->desc1) & TDESC1_SET);
    EXPECT_EQ(0x0001A0C4u, dcModelCsrPeek(chip, 7));
    EXPECT_EQ(DCM_RX_FILTERED, rxDeliver(frameTo(kMac, 60)));
    EXPECT_EQ(DCM_RX_OK, rxDeliver(frameTo(addrs[9], 60)));
    EXPECT_EQ(DCM_RX_FILTERED, rxDeliver(frameTo(addrs[16], 60)));
    /* data frames after a setup frame are not taken for setup frames */
    ASSERT_EQ(0, sendPacket(100));
    EXPECT_EQ(1, dcModelWireTxCount(chip));
    EXPECT_EQ(2, chip->setupFrames);
}

TEST_F(DcTest, ASetupFrameTheChipNeverReleasesFailsAfterABoundedWait)
{
    attachDefault();
    chip->txHold = 1;
    uint32_t start = tickGet();
    EXPECT_EQ(ERROR, dcFltrFrmXmit(drv(), kPeer, 1));
    uint32_t waited = tickGet() - start;
    EXPECT_GE(waited, (uint32_t)sysClkRateGet());
    EXPECT_LE(waited, 2u * (uint32_t)sysClkRateGet());
    EXPECT_NE(std::string::npos,
              std::string(hostLogText()).find("dc0: setup frame not released by the chip\n"));
    EXPECT_EQ(0x0001A0C4u, dcModelCsrPeek(chip, 7));
    const DC_DESC *d = &drv()->txRing[(drv()->txIndex + 31) % 32];
    EXPECT_EQ(0u, d->desc0);
    EXPECT_EQ(0u, DC_LE32TOH(d->desc1) & TDESC1_SET);
    /* the semaphore was given back, and the queued restart puts the chip
     * and the ring in step again: a later setup frame goes through */
    chip->txHold = 0;
    runAll();
    EXPECT_NE(std::string::npos, std::string(hostLogText()).find("dc0 -- Restarted\n"));
    EXPECT_EQ(OK, dcFltrFrmXmit(drv(), kPeer, 1));
    EXPECT_EQ(0, memcmp(kPeer, chip->filter[0], 6));
}

TEST_F(DcTest, AttachFailsWhenTheChipNeverTakesItsSetupFrame)
{
    addChip(DCM_21140);
    loadSrom(chip, {sromCompactBlock(3, 0, 0x0081)}, 0x1F);
    chip->txHold = 1;
    EXPECT_EQ(ERROR, attach());
    EXPECT_FALSE(drv()->attached);
    EXPECT_EQ(0, ifp()->if_flags & IFF_UP);

    /* nothing is left running: the chip is reset, its interrupt disconnected */
    EXPECT_FALSE(hostIntConnected(TEST_IVEC));
    EXPECT_EQ(0u, dcModelCsrPeek(chip, 6));
    EXPECT_EQ(0u, dcModelCsrPeek(chip, 7));
    EXPECT_EQ(DCM_STOPPED, chip->rxState);
    EXPECT_EQ(DCM_STOPPED, chip->txState);
    chip->txHold = 0;
    EXPECT_EQ(DCM_RX_STOPPED, dcModelWireRx(chip, frameTo(kMac, 60).data(), 74));
    int setups = chip->setupFrames;
    sysOutLong(TEST_CSR_BASE + 8, 1); /* a poll demand finds no process to run */
    EXPECT_EQ(setups, chip->setupFrames);
    EXPECT_EQ(0u, chip->txFrames);
    EXPECT_EQ(0, hostIntDeliver());
    EXPECT_EQ(0, netJobPending());
}
