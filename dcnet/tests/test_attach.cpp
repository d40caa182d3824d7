/* Attach and its failures, ring and memory layout, device identification,
 * station address sources, reset, ioctl and the show routines. */
#include "dc_fixture.h"

#include <cstdio>

static uint32_t le32At(const volatile uint32_t *w)
{
    const volatile uint8_t *b = (const volatile uint8_t *)w;
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

TEST_F(DcTest, UnitAboveThreeIsRefusedEverywhere)
{
    addChip(DCM_21140);
    EXPECT_EQ(ERROR, attach(4));
    EXPECT_EQ(-1, dcShow(4));
    EXPECT_EQ(-1, dcCsrShow(4));
    EXPECT_EQ(-2, dcShow(1)); /* valid unit, never attached */
}

TEST_F(DcTest, SecondAttachReturnsOkWithoutTouchingTheChip)
{
    attachDefault();
    unsigned long resets = chip->softResets;
    hostLogClear();
    EXPECT_EQ(OK, attach(0));
    EXPECT_EQ(resets, chip->softResets);
    EXPECT_STREQ("", hostLogText());
}

struct AttachFailure {
    const char *name;
    void (*arrange)(void);
    bool giveMemory;
    uint32_t memSize;
    const char *printed;
};

static void failSem() { hostSemCreateFail = 1; }
static void failCoherent() { cacheDmaFuncs.flushRtn = hostCacheFlush; }
static void failDmaAlloc() { hostDmaMallocFail = 1; }
static void failIntConnect() { hostIntConnectFail = 1; }
static void nothing() {}

TEST_F(DcTest, EveryFailedAttachStepReportsAndLeavesTheInterfaceDown)
{
    /* 5 descriptor pairs, 16 loan buffers, setup frame and spare descriptors */
    const uint32_t exact = 224 + 16 * 1520 + 5 * 3072;
    const AttachFailure cases[] = {
        {"semaphore", failSem, false, 0, "dc: error creating transmitter semaphore\n"},
        {"coherent", failCoherent, false, 0, "dc: device requires cache coherent memory\n"},
        {"alloc", failDmaAlloc, false, 0, "dc: system memory unavailable\n"},
        {"intConnect", failIntConnect, false, 0, ""},
        {"short", nothing, true, exact - 1, "dc: not enough memory provided, have: 9bdf want: 9be0\n"},
    };
    for (const AttachFailure &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        addChip(DCM_21140);
        loadSrom(chip, {sromCompactBlock(3, 0, 0x0081)}, 0x1F);
        c.arrange();
        char *mem = c.giveMemory ? (char *)hostDmaAlloc(c.memSize, 4) : (char *)NONE;
        StdoutCapture cap;
        cap.start();
        STATUS s = attach(0, 0, mem, c.memSize);
        std::string out = cap.stop();
        EXPECT_EQ(ERROR, s);
        EXPECT_EQ(c.printed, out);
        EXPECT_FALSE(drv()->attached);
        EXPECT_EQ(0, ifp()->if_flags & IFF_UP);
    }
}

/* the buffer a descriptor points at, checked to lie word aligned in [lo, hi) */
static void expectBufferWithin(const DC_DESC *d, const char *lo, const char *hi, const char *what,
                               int i)
{
    const char *buf = (const char *)hostPhysToVirt(DC_LE32TOH(d->desc2));
    EXPECT_EQ(0u, (uintptr_t)buf & 3) << what << " buffer " << i << " not word aligned";
    EXPECT_TRUE(buf >= lo && buf + DC_BUFSIZ <= hi) << what << " buffer " << i << " outside";
}

TEST_F(DcTest, GivenMemorySizesTheRings)
{
    const uint32_t exact = 224 + 16 * 1520 + 5 * 3072;
    struct {
        uint32_t size;
        int rings;
    } cases[] = {{exact, 5}, {exact + 3 * 3072, 8}, {exact + 3071, 5}};
    for (auto &c : cases) {
        /* the caller's block may start anywhere within a word */
        for (int misalign = 0; misalign < 4; misalign++) {
            SCOPED_TRACE(testing::Message() << "size " << c.size << " misalign " << misalign);
            TearDown();
            SetUp();
            addChip(DCM_21140);
            loadSrom(chip, {sromCompactBlock(3, 0, 0x0081)}, 0x1F);
            /* guard bytes around the block show that nothing is written outside it */
            uint8_t *area = (uint8_t *)hostDmaAlloc(c.size + 64, 4);
            memset(area, 0xE7, c.size + 64);
            const uint32_t lead = 32 + (uint32_t)misalign;
            char *mem = (char *)area + lead;
            ASSERT_EQ(OK, attach(0, 0, mem, c.size));
            DRV_CTRL *p = drv();
            EXPECT_EQ(c.rings, p->nRDs);
            EXPECT_EQ(c.rings, p->nTDs);
            EXPECT_EQ(0u, (uintptr_t)p->rxRing & 3);
            EXPECT_EQ(0u, (uintptr_t)p->txRing & 3);
            for (int i = 0; i < p->nRDs; i++)
                expectBufferWithin(&p->rxRing[i], mem, mem + c.size, "receive", i);
            for (int i = 0; i < p->nTDs; i++)
                expectBufferWithin(&p->txRing[i], mem, mem + c.size, "transmit", i);
            for (int i = 0; i < p->nLoanRx; i++) {
                EXPECT_EQ(0u, (uintptr_t)p->lPool[i] & 3) << "loan buffer " << i;
                EXPECT_TRUE(p->lPool[i] >= mem && p->lPool[i] + DC_BUFSIZ <= mem + c.size);
            }

            for (int i = 0; i < 40; i++)
                sendPacket(100);
            dcTxRingClean(drv());
            EXPECT_EQ(40, dcModelWireTxCount(chip));
            /* small frames are copied, large ones lent from the pool's buffers */
            for (int i = 0; i < 40; i++) {
                std::vector<uint8_t> f = frameTo(kMac, i % 2 ? 100 : 700, 0x0800, (uint8_t)i);
                ASSERT_EQ(DCM_RX_OK, rxDeliver(f)) << "frame " << i;
                uint16_t type;
                int len = 0;
                struct mbuf *m = hostRxTake(&type, &len);
                ASSERT_NE(nullptr, m);
                std::vector<uint8_t> got((size_t)len);
                hostMbufChainCopy(m, got.data(), len);
                EXPECT_EQ(std::vector<uint8_t>(f.begin() + 14, f.end()), got) << "frame " << i;
                m_freem(m);
            }
            for (uint32_t i = 0; i < lead; i++)
                EXPECT_EQ(0xE7, area[i]) << "byte " << i << " before the block";
            for (uint32_t i = lead + c.size; i < c.size + 64; i++)
                EXPECT_EQ(0xE7, area[i]) << "byte " << i - lead - c.size << " past the block";
        }
    }
}

TEST_F(DcTest, RingsArePreformattedInTheChipsByteOrder)
{
    addChip(DCM_21140);
    loadSrom(chip, {sromCompactBlock(3, 0, 0x0081)}, 0x1F);
    const uint32_t pciMemBase = 0x20000000;
    ASSERT_EQ(OK, attach(0, 0, (char *)NONE, 0, -1, pciMemBase));
    DRV_CTRL *p = drv();
    ASSERT_EQ(32, p->nRDs);
    ASSERT_EQ(32, p->nTDs);

    for (int i = 0; i < p->nRDs; i++) {
        SCOPED_TRACE(i);
        const DC_DESC *d = &p->rxRing[i];
        EXPECT_EQ(0x80000000u, le32At(&d->desc0));
        EXPECT_EQ(1520u | (i == p->nRDs - 1 ? 0x02000000u : 0), le32At(&d->desc1));
        char *buf = (char *)hostPhysToVirt(le32At(&d->desc2) - pciMemBase);
        EXPECT_EQ((char *)p->rxRing + (p->nRDs + 1) * 16 + i * 1520, buf);
        EXPECT_EQ(0u, le32At(&d->desc3));
    }
    /* the first transmit descriptor carried the setup frame; all are host owned */
    for (int i = 0; i < p->nTDs; i++) {
        SCOPED_TRACE(i);
        const DC_DESC *d = &p->txRing[i];
        EXPECT_EQ(0u, le32At(&d->desc0));
        EXPECT_EQ(0xE0000000u | (i == p->nTDs - 1 ? 0x02000000u : 0),
                  le32At(&d->desc1) & ~0x7FFu);
    }
    /* the chip was given bus addresses: physical plus the PCI memory base */
    EXPECT_EQ(hostVirtToPhys(p->rxRing) + pciMemBase, dcModelCsrPeek(chip, 3));
    EXPECT_EQ(hostVirtToPhys(p->txRing) + pciMemBase, dcModelCsrPeek(chip, 4));
    EXPECT_EQ(0x0001A0C4u, dcModelCsrPeek(chip, 7));
    EXPECT_TRUE(hostIntConnected(TEST_IVEC));
    EXPECT_TRUE(hostIntLevelEnabled(TEST_ILEVEL));
    EXPECT_EQ(IFF_UP | IFF_RUNNING | IFF_NOTRAILERS,
              ifp()->if_flags & (IFF_UP | IFF_RUNNING | IFF_NOTRAILERS));
    EXPECT_EQ(16, p->nLoanRx);
    EXPECT_EQ(2144, p->rxBudget);

    /* frames still pass with a PCI memory base */
    std::vector<uint8_t> f = frameTo(kMac, 200);
    EXPECT_EQ(DCM_RX_OK, rxDeliver(f));
    EXPECT_EQ(1, hostRxCount());
    EXPECT_EQ(0, sendPacket(50));
    EXPECT_EQ(1, dcModelWireTxCount(chip));
}

TEST_F(DcTest, PrimingSendsOneLoopedBackFrameBeforeTheReset)
{
    /* with and without a PCI memory base: the priming list is DMA too */
    for (uint32_t pciMemBase : {0u, 0x20000000u}) {
        SCOPED_TRACE(pciMemBase);
        TearDown();
        SetUp();
        addChip(DCM_21140);
        loadSrom(chip, {sromCompactBlock(3, 0, 0x0081)}, 0x1F);
        ASSERT_EQ(OK, attach(0, 0, (char *)NONE, 0, -1, pciMemBase));
        EXPECT_EQ(1u, chip->txFrames);          /* the priming frame, nothing else */
        EXPECT_EQ(0, dcModelWireTxCount(chip)); /* internal loopback: not on the wire */
        EXPECT_EQ(1, chip->setupFrames);
        EXPECT_EQ(0u, chip->dmaFaults);
    }
}

TEST_F(DcTest, UserFlagsSetTheOperatingMode)
{
    struct {
        int flags;
        uint32_t set;
        uint32_t clear;
    } cases[] = {
        {0, 0x02002002, 0x6C0 | 0x200},
        {-1, 0x02002002, 0x6C0 | 0x200},
        {DC_USR_PROMISCUOUS, 0x40, 0x80},
        {DC_USR_MULTICAST, 0x80, 0x40},
        {DC_USR_FULL_DUPLEX, 0x200, 0},
        {DC_USR_LOOPBACK_INT, 0x400, 0x800},
        {DC_USR_LOOPBACK_EXT, 0x800, 0x400},
        {DC_USR_LOOPBACK_INT | DC_USR_LOOPBACK_EXT, 0x400, 0x800},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.flags);
        TearDown();
        SetUp();
        attachDefault(c.flags);
        uint32_t csr6 = dcModelCsrPeek(chip, 6);
        EXPECT_EQ(c.set, csr6 & c.set);
        EXPECT_EQ(0u, csr6 & c.clear);
    }
}

TEST_F(DcTest, A21143IsWokenFromSleepBeforeUse)
{
    DcModel *m = addChip(DCM_21143);
    /* another DEC function elsewhere must be left alone */
    uint8_t other[256] = {};
    other[0] = 0x11;
    other[1] = 0x10;
    other[0x10] = 0x01;
    other[0x11] = 0x20; /* a different I/O base */
    other[0x40] = 0x00;
    other[0x43] = 0x80;
    hostPciDeviceAdd(0, 7, other);
    m->pciConfig[0x43] = 0x80; /* sleep */
    loadSrom(m, {sromExtBlock(2, {0x00, 0x00, 0x08, 0x00, 0x00})});
    ASSERT_EQ(OK, attach());
    EXPECT_EQ(0, m->pciConfig[0x40] | m->pciConfig[0x41] | m->pciConfig[0x42] | m->pciConfig[0x43]);
    EXPECT_EQ(0x80, other[0x43]);
    EXPECT_EQ(DC_DEVICE_21143, drv()->deviceId);
    EXPECT_EQ(DCM_RX_OK, rxDeliver(frameTo(kMac, 100)));
    EXPECT_EQ(1, hostRxCount());
    hostPciDeviceRemove(other);
}

TEST_F(DcTest, AnUnknownDeviceIsLoggedAndAttachGoesOn)
{
    DcModel *m = addChip(DCM_21140);
    m->pciConfig[2] = 0x14; /* a DEC function the driver does not know */
    EXPECT_EQ(OK, attach());
    EXPECT_STREQ("dc: Unsupported device 14\ndc: Unsupported device 14\n", hostLogText());
}

TEST_F(DcTest, StationAddressComesFromTheRightSource)
{
    const uint8_t nvMac[6] = {0x00, 0x80, 0xF9, 0xAA, 0xBB, 0xCC};
    const uint8_t romMac[6] = {0x08, 0x00, 0x2B, 0x77, 0x88, 0x99};
    enum Src { ADDR_ROM, ADDR_ROM_DEAD, SROM_V3, SROM_AA55, NO_SROM };
    struct {
        const char *name;
        uint16_t dev;
        Src src;
        const uint8_t *expect;
        const char *log;
    } cases[] = {
        {"21040 address ROM", DCM_21040, ADDR_ROM, romMac, ""},
        {"21040 ROM never ready", DCM_21040, ADDR_ROM_DEAD, nullptr,
         "dc: error reading ethernet rom\n"},
        {"21140 words 10-12", DCM_21140, SROM_V3, kMac, ""},
        {"21143 words 0-2", DCM_21143, SROM_AA55, romMac, ""},
        {"21140 without SROM", DCM_21140, NO_SROM, nvMac, ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        DcModel *m = addChip(c.dev);
        memcpy(hostNvRam + DC_NVRAM_ENET_OFFSET, nvMac, 6);
        uint8_t img[128];
        switch (c.src) {
        case ADDR_ROM:
            dcModelAddrRomSet(m, romMac, 6);
            break;
        case ADDR_ROM_DEAD:
            m->addrRomStuck = 1;
            break;
        case SROM_V3:
            loadSrom(m, {sromCompactBlock(3, 0, 0x0081)}, 0x1F);
            break;
        case SROM_AA55:
            memset(img, 0, sizeof img);
            memcpy(img, romMac, 6);
            img[26] = 0x55;
            img[27] = 0xAA;
            dcModelSromSet(m, img, sizeof img, 6);
            break;
        case NO_SROM:
            dcModelSromSet(m, nullptr, 0, 6);
            break;
        }
        EXPECT_EQ(OK, attach());
        if (c.expect) {
            EXPECT_EQ(0, memcmp(c.expect, drv()->arpcom.ac_enaddr, 6));
            /* and it is the address the filter passes */
            EXPECT_EQ(0, memcmp(c.expect, m->filter[0], 6));
        }
        std::string log = hostLogText();
        EXPECT_EQ(std::string(c.log), log.substr(0, strlen(c.log)));
    }
}

TEST_F(DcTest, ResetTakesTheInterfaceDownAndStopsTheChip)
{
    attachDefault();
    dcReset(0);
    EXPECT_EQ(0, ifp()->if_flags);
    EXPECT_EQ(0u, dcModelCsrPeek(chip, 6));
    EXPECT_EQ(0u, dcModelCsrPeek(chip, 7));
    EXPECT_EQ(DCM_RX_STOPPED, dcModelWireRx(chip, frameTo(kMac, 60).data(), 74));
    EXPECT_EQ(NET_ENETDOWN, sendPacket(60));
}

TEST_F(DcTest, IoctlCommands)
{
    attachDefault();
    struct ifaddr ifa{};
    struct sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = 0x0A000001;
    memcpy(&ifa.ifa_addr, &sin, sizeof sin);
    EXPECT_EQ(0, dcIoctl(ifp(), (int)SIOCSIFADDR, (char *)&ifa));
    EXPECT_EQ(0x0A000001u, drv()->arpcom.ac_ipaddr.s_addr);
    EXPECT_EQ(0, dcIoctl(ifp(), (int)SIOCSIFFLAGS, nullptr));
    EXPECT_EQ(22, dcIoctl(ifp(), 0x1234, nullptr));

    /* promiscuous: a frame for another station is received only after it */
    std::vector<uint8_t> f = frameTo(kPeer, 80);
    EXPECT_EQ(DCM_RX_FILTERED, rxDeliver(f));
    EXPECT_EQ(0, dcIoctl(ifp(), 256, nullptr));
    EXPECT_NE(0u, dcModelCsrPeek(chip, 6) & 0x40);
    EXPECT_EQ(DCM_RX_OK, rxDeliver(f));
    EXPECT_EQ(1, hostRxCount());
}

TEST_F(DcTest, CsrShowPrintsTheSixteenRegisters)
{
    attachDefault();
    uint32_t c[16];
    for (int i = 0; i < 16; i++)
        c[i] = dcModelCsrPeek(chip, i);
    c[8] = 0; /* read clears the missed-frame counter; it is zero here */
    char expect[512];
    snprintf(expect, sizeof expect,
             "dc0 Configuration Registers: \n"
             " 0=0x%x, 1=0x%x, 2=0x%x, 3=0x%x\n"
             " 4=0x%x, 5=0x%x, 6=0x%x, 7=0x%x\n"
             " 8=0x%x, 9=0x%x, 10=0x%x, 11=0x%x\n"
             " 12=0x%x, 13=0x%x, 14=0x%x, 15=0x%x\n",
             c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], c[11], c[12],
             c[13], c[14], c[15]);
    StdoutCapture cap;
    cap.start();
    int r = dcCsrShow(0);
    std::string out = cap.stop();
    EXPECT_EQ(0, r);
    EXPECT_EQ(expect, out);
}

TEST_F(DcTest, ShowPrintsConfigurationCountersAndStatistics)
{
    attachDefault();
    ASSERT_EQ(0, sendPacket(100));
    rxDeliver(frameTo(kMac, 100));
    freeDelivered();
    drv()->stats.txRetries = 3;
    drv()->stats.rxCrc = 2;
    char head[64];
    snprintf(head, sizeof head, "dc0: pDrvCtrl=0x%lx\n", (unsigned long)(uintptr_t)drv());
    std::string expect = std::string(head) +
                         " ivec=64 ilevel=5 devAdrs=0x80001000 pciMemBase=0x0 memWidth=-1\n"
                         " nTDs=32 nRDs=32 rxIndex=1 txIndex=2 nLoanRx=16\n"
                         " ipackets=1, opackets=1 ierrors=0 oerrors=0 collisions=0\n"
                         " len=0 maxQlen=50 drops=0 txIndex=2 txDiIndex=1\n"
                         " txstats: jbr=0 lostCarr=0 noCarr=0 lateColl=0 XsColl=0\n"
                         "          lnkF=0 uflo=0 defr=0 retries=3\n"
                         "          drops=0 fl=0 fl_need=0 fl_done=0 QMax=1 QCur=1\n"
                         " rxstats: fltErr=0 DescErr=0 Runt=0 tooLng=0 Coll=0\n"
                         "          dribl=0 crc=2 ovflo=0 miiErr=0 miss=0 rxlatn=0\n";
    StdoutCapture cap;
    cap.start();
    int r = dcShow(0);
    std::string out = cap.stop();
    EXPECT_EQ(0, r);
    EXPECT_EQ(expect, out);
}
