/* DMA ordering and cache maintenance: memory the chip sees only as the
 * driver flushes it, whose chip writes the driver sees only after
 * invalidating, and a chip that looks at its lists between any two of the
 * driver's descriptor stores. */
#include "dc_fixture.h"

class DcDmaTest : public DcTest {
  protected:
    /* A controller attached with caller memory that is not cache coherent,
     * rings of 32.  A 21140 gets two media, so that a carrier loss selects
     * again; a 21040 has no media selection (which syncs the rings anew). */
    void attachNonCoherent(uint16_t deviceId = DCM_21140);
    void trafficBothWays(int frames, int round);
};

void DcDmaTest::attachNonCoherent(uint16_t deviceId)
{
    DcModel *m = addChip(deviceId);
    if (deviceId == DCM_21040)
        dcModelAddrRomSet(m, kMac, 6);
    else
        loadSrom(m, {sromCompactBlock(0, 0x00, 0x0082), sromCompactBlock(3, 0x01, 0x0085)},
                 0x01);
    cacheDmaFuncs.flushRtn = hostCacheFlush;
    cacheDmaFuncs.invalidateRtn = hostCacheInvalidate;
    const uint32_t size = 224 + 16 * 1520 + 32 * 3072;
    char *mem = (char *)hostDmaAlloc(size, 4);
    ASSERT_NE(nullptr, mem);
    memset(mem, 0xA5, size); /* nothing passes by luck of zeroed memory */
    hostNonCoherentSet(TRUE);
    ASSERT_EQ(OK, attach(0, 0, mem, size));
    ASSERT_EQ(32, drv()->nRDs);
}

/* Frames both ways, more than a ring's worth, each with its own bytes:
 * received frames alternate between copied and lent, transmitted ones
 * over as few mbufs as they fit in or up to two more. */
void DcDmaTest::trafficBothWays(int frames, int round)
{
    for (int i = 0; i < frames; i++) {
        std::vector<uint8_t> f = frameTo(kMac, i % 2 ? 60 + i : 600 + i, 0x0800,
                                         (uint8_t)(round * 64 + i));
        ASSERT_EQ(DCM_RX_OK, rxDeliver(f)) << "frame " << i;
        int len = 0;
        struct mbuf *m = hostRxTake(nullptr, &len);
        ASSERT_NE(nullptr, m) << "frame " << i;
        std::vector<uint8_t> got((size_t)len);
        hostMbufChainCopy(m, got.data(), len);
        EXPECT_EQ(std::vector<uint8_t>(f.begin() + 14, f.end()), got) << "received " << i;
        m_freem(m);
    }
    for (int i = 0; i < frames; i++) {
        int len = 20 + 9 * i;
        uint8_t fill = (uint8_t)(round * 64 + i);
        ASSERT_EQ(0, sendPacket(len, fill, 0, (len + MLEN - 1) / MLEN + i % 3)) << "frame " << i;
        std::vector<uint8_t> w;
        ASSERT_TRUE(dcModelWireTxTake(chip, &w)) << "frame " << i << " not sent";
        ASSERT_EQ((size_t)(14 + len < 60 ? 60 : 14 + len), w.size()) << "frame " << i;
        EXPECT_EQ(0, memcmp(w.data(), kPeer, 6));
        for (int k = 0; k < len; k++)
            ASSERT_EQ((uint8_t)(fill + k), w[14 + (size_t)k]) << "frame " << i << " byte " << k;
    }
    dcTxRingClean(drv());
    EXPECT_EQ(0, drv()->txOutstanding);
}

TEST_F(DcDmaTest, TheChipSeesOnlyFlushedMemoryAndTheDriverOnlyInvalidatedMemory)
{
    uint8_t *cpu = (uint8_t *)hostDmaAlloc(64, 4);
    memset(cpu, 0x11, 64);
    hostNonCoherentSet(TRUE);
    uint32_t bus = hostVirtToPhys(cpu);
    uint8_t *seen = (uint8_t *)hostBusToVirt(bus, 64);

    memset(cpu, 0x22, 64);
    EXPECT_EQ(0x11, seen[0]);
    hostCacheFlush(cpu + 8, 8);
    EXPECT_EQ(0x11, seen[7]);
    EXPECT_EQ(0x22, seen[8]);
    EXPECT_EQ(0x22, seen[15]);
    EXPECT_EQ(0x11, seen[16]);

    memset(seen, 0x33, 64); /* the chip writes */
    EXPECT_EQ(0x22, cpu[0]);
    hostCacheInvalidate(cpu + 32, 4);
    EXPECT_EQ(0x22, cpu[31]);
    EXPECT_EQ(0x33, cpu[32]);
    EXPECT_EQ(0x33, cpu[35]);
    EXPECT_EQ(0x22, cpu[36]);
}

TEST_F(DcDmaTest, TrafficFlowsThroughNonCoherentMemory)
{
    for (uint16_t dev : {DCM_21040, DCM_21140}) {
        SCOPED_TRACE(dev == DCM_21040 ? "21040" : "21140");
        TearDown();
        SetUp();
        attachNonCoherent(dev);
        /* the setup frame reached the chip */
        EXPECT_EQ(0, memcmp(kMac, chip->filter[0], 6));
        trafficBothWays(40, 0);
        EXPECT_EQ(40, ifp()->if_ipackets);
        EXPECT_EQ(40, ifp()->if_opackets);
        EXPECT_EQ(0, ifp()->if_ierrors + ifp()->if_oerrors);
        EXPECT_EQ(0u, drv()->stats.rxMiss);
    }
}

TEST_F(DcDmaTest, MediaSelectionAndRestartKeepTheRingsInStepWithoutCoherence)
{
    attachNonCoherent();
    /* a carrier loss before any frame went out well selects the medium again */
    unsigned long resets = chip->softResets;
    dcModelTxErrorInject(chip, 0x8000 | 0x0400, 1);
    ASSERT_EQ(0, sendPacket(100));
    dcTxRingClean(drv());
    ASSERT_GT(chip->softResets, resets);
    trafficBothWays(40, 0);

    /* the restart finds frames in both rings: received ones not yet taken
     * up and queued ones not yet sent; it gives all of them up */
    for (int i = 0; i < 5; i++)
        ASSERT_EQ(DCM_RX_OK, dcModelWireRx(chip, frameTo(kMac, 80).data(), 94));
    chip->txHold = 1;
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(0, sendPacket(100, 0xEE));
    dcModelFatalBusError(chip);
    chip->txHold = 0;
    runAll();
    ASSERT_NE(std::string::npos, std::string(hostLogText()).find("dc0 -- Restarted\n"));
    EXPECT_EQ(0, hostRxCount());
    EXPECT_EQ(0, dcModelWireTxCount(chip));
    trafficBothWays(40, 1);
    EXPECT_EQ(0u, drv()->stats.rxMiss);
    EXPECT_EQ(0, dcModelWireTxCount(chip));
}

TEST_F(DcDmaTest, ASecondSetupFrameReachesTheChip)
{
    attachNonCoherent();
    uint8_t addrs[2][6];
    memcpy(addrs[0], kMac, 6);
    memcpy(addrs[1], kPeer, 6);
    ASSERT_EQ(OK, dcFltrFrmXmit(drv(), &addrs[0][0], 2));
    EXPECT_EQ(0, memcmp(kPeer, chip->filter[1], 6));
    EXPECT_EQ(DCM_RX_OK, rxDeliver(frameTo(kPeer, 60)));
    EXPECT_EQ(1, hostRxCount());
}

/* Frames keep arriving while the receive job hands descriptors back.  A
 * descriptor given back before its lent buffer is replaced would take a
 * frame into the lent buffer and then lose it when handed back again. */
struct HeldFrame {
    struct mbuf *m;
    std::vector<uint8_t> atDelivery;
};

static void holdFrame(void *ctx, uint16_t, struct mbuf *m, int len)
{
    std::vector<uint8_t> data((size_t)len);
    hostMbufChainCopy(m, data.data(), len);
    ((std::vector<HeldFrame> *)ctx)->push_back(HeldFrame{m, data});
}

TEST_F(DcTest, FramesArrivingDuringTheReceiveJobAreNeitherLostNorOverwritten)
{
    attachDefault();
    std::vector<HeldFrame> held;
    hostRxSinkSet(holdFrame, &held);
    const int total = 60;
    std::vector<std::vector<uint8_t>> sent;
    for (int i = 0; i < total; i++) {
        std::vector<uint8_t> f = frameTo(kMac, 600, 0x0800, (uint8_t)(i * 3));
        f[14] = (uint8_t)i; /* sequence number */
        sent.push_back(f);
    }
    for (int i = 1; i < total; i++)
        dcModelWireRxAtStore(chip, sent[(size_t)i].data(), (int)sent[(size_t)i].size());
    ASSERT_EQ(DCM_RX_OK, dcModelWireRx(chip, sent[0].data(), (int)sent[0].size()));
    runAll();
    /* should the driver go idle with frames still to come, they come anyway */
    while (!chip->arrivals.empty()) {
        std::vector<uint8_t> f = chip->arrivals.front();
        chip->arrivals.pop_front();
        dcModelWireRx(chip, f.data(), (int)f.size());
        runAll();
    }

    /* every frame the chip stored was passed up, once; every frame was held
     * until all had come in, and none changed since */
    ASSERT_GE(held.size(), 17u); /* the loan pool ran dry while lent buffers were held */
    EXPECT_EQ(chip->rxFrames, held.size()) << "frames the chip stored were lost";
    EXPECT_EQ((unsigned long)total, chip->rxFrames + drv()->stats.rxMiss);
    int last = -1;
    int lent = 0;
    for (const HeldFrame &h : held) {
        ASSERT_EQ(600u, h.atDelivery.size());
        int seq = h.atDelivery[0];
        ASSERT_LT(seq, total);
        EXPECT_GT(seq, last) << "frames out of order";
        last = seq;
        EXPECT_EQ(std::vector<uint8_t>(sent[(size_t)seq].begin() + 14, sent[(size_t)seq].end()),
                  h.atDelivery)
            << "frame " << seq;
        std::vector<uint8_t> now(600);
        hostMbufChainCopy(h.m, now.data(), 600);
        EXPECT_TRUE(now == h.atDelivery) << "frame " << seq << " overwritten after it was passed up";
        if ((h.m->m_flags & M_EXT) && h.m->m_extType == 2)
            lent++;
    }
    EXPECT_EQ(16, lent);
    for (const HeldFrame &h : held)
        m_freem(h.m);
}
