/* Serial ROM access, SROM media decoding (every block type and malformed
 * images), the default table, media programming and selection, MII. */
#include "dc_fixture.h"

static const uint32_t kSecond = 60; /* host clock rate */

TEST_F(DcTest, SromWordsAreReadBitByBit)
{
    DcModel *m = addChip(DCM_21140);
    uint8_t img[128];
    for (int i = 0; i < 64; i++) {
        img[2 * i] = (uint8_t)(0x34 + i);
        img[2 * i + 1] = (uint8_t)(0x12 ^ i);
    }
    dcModelSromSet(m, img, sizeof img, 6);
    for (int i = 0; i < 64; i++)
        ASSERT_EQ((uint16_t)(img[2 * i] | img[2 * i + 1] << 8), dcReadRom(TEST_CSR_BASE, i)) << i;
    EXPECT_EQ((uint16_t)(img[10] | img[11] << 8), dcReadRom(TEST_CSR_BASE, 256 + 5));
    EXPECT_STREQ("", hostLogText());
    EXPECT_EQ(0xFFFF, dcReadRom(TEST_CSR_BASE, 200));
    EXPECT_EQ(0xFFFF, dcReadRom(TEST_CSR_BASE, -1));
    EXPECT_STREQ("dcReadRom FAILED, bad lineCnt\ndcReadRom FAILED, bad lineCnt\n", hostLogText());

    uint8_t all[129];
    memset(all, 0xEE, sizeof all);
    dcReadAllRom(TEST_CSR_BASE, all, 128);
    EXPECT_EQ(0, memcmp(img, all, 128));
    EXPECT_EQ(0xEE, all[128]);

    /* a 256-word part takes 8 address bits above word 63 */
    uint8_t big[512];
    for (int i = 0; i < 512; i++)
        big[i] = (uint8_t)(i * 7);
    dcModelSromSet(m, big, sizeof big, 8);
    EXPECT_EQ((uint16_t)(big[200] | big[201] << 8), dcReadRom(TEST_CSR_BASE, 100));
    EXPECT_EQ((uint16_t)(big[256] | big[257] << 8), dcReadRom(TEST_CSR_BASE, 128));
}

TEST_F(DcTest, SromFormatVersion)
{
    DcModel *m = addChip(DCM_21140);
    struct {
        int present;
        uint8_t byte18;
        int expect;
    } cases[] = {{0, 0, 0}, {1, 1, 1}, {1, 3, 3}, {1, 2, 0}, {1, 4, 0}};
    for (auto &c : cases) {
        uint8_t img[128] = {};
        img[18] = c.byte18;
        img[19] = 0x77; /* high byte of word 9 is not part of the version */
        dcModelSromSet(m, c.present ? img : nullptr, sizeof img, 6);
        EXPECT_EQ(c.expect, dc21140SROMVersionGet(TEST_CSR_BASE)) << (int)c.byte18;
    }
}

struct BlockCase {
    const char *name;
    uint16_t dev;
    std::vector<uint8_t> block;
    const char *printed;
    int code;
    int fullDuplex;
    uint32_t csr6;
    std::vector<uint32_t> gp;
    std::vector<uint32_t> reset;
    int sense;  /* -1: no media sense */
    int polarity;
    int gpControl;
};

TEST_F(DcTest, EveryMediaBlockTypeDecodes)
{
    const BlockCase cases[] = {
        {"compact 10BASE-T FD", DCM_21140, sromCompactBlock(4, 0x09, 0x00F5), "", 5, 1,
         0x03C40000, {0x09}, {}, 2, 1, 0x1F},
        {"type 0", DCM_21140, sromExtBlock(0, {0x03, 0x0A, 0x01, 0x00}), "", 4, 0, 0x02440000,
         {0x0A}, {}, 0, 0, 0x1F},
        {"type 1 MII", DCM_21140,
         sromExtBlock(1, {0x00, 0x02, 0x11, 0x22, 0x01, 0x33, 0x00, 0x78, 0x00, 0xE0}), "", 10, 0,
         0x02040000, {0x11, 0x22}, {0x33}, -1, 0, 0x1F},
        {"type 2 10BASE-T FD", DCM_21143, sromExtBlock(2, {0x04, 0x0F, 0x08, 0x01, 0x00}), "", 5,
         1, 0x02000000, {0x0001}, {}, -1, 0, 0x080F},
        {"type 2 with SIA words", DCM_21143,
         sromExtBlock(2, {0x41, 1, 0, 2, 0, 3, 0, 0x0F, 0x08, 0x02, 0x00}),
         "Unsupported SIA data found\n", 2, 0, 0x02000000, {0x0002}, {}, -1, 0, 0x080F},
        {"type 2 bad code", DCM_21143, sromExtBlock(2, {0x03, 0x0F, 0x08, 0x01, 0x00}),
         "Invalid extended fmt 2 media code 3\n", 0, 0, 0x02000000, {0x0001}, {}, -1, 0, 0x080F},
        {"type 3 MII", DCM_21143,
         sromExtBlock(3, {0x00, 0x02, 0x01, 0x08, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x78, 0xE0,
                          0x01, 0x00, 0x50, 0x00, 0x18}),
         "", 10, 0, 0x02040000, {0x0801, 0x0000}, {0x0008}, -1, 0, 0},
        {"type 4 100BASE-TX", DCM_21143, sromExtBlock(4, {0x03, 0x0F, 0x08, 0x00, 0x00, 0x6D, 0x00}),
         "", 0, 0, 0x03B40000, {0x0000}, {}, 6, 0, 0x080F},
        {"type 4 full duplex", DCM_21143, sromExtBlock(4, {0x05, 0x0F, 0x08, 0x00, 0x00, 0x8D, 0x00}),
         "", 0, 1, 0x02000000 | (0x8Du << 18), {0x0000}, {}, 6, 1, 0x080F},
        {"type 4 bad code", DCM_21143, sromExtBlock(4, {0x09, 0x0F, 0x08, 0x00, 0x00, 0x6D, 0x00}),
         "Invalid extended fmt 4 media code 9\n", 0, 0, 0x03B40000, {0x0000}, {}, 6, 0, 0x080F},
        {"type 5", DCM_21143, sromExtBlock(5, {0x00, 0x00}), "Invalid Block Type 5\n", 0, 0,
         0, {}, {}, -1, 0, 0},
    };
    for (const BlockCase &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        DcModel *m = addChip(c.dev);
        loadSrom(m, {c.block}, 0x1F);
        StdoutCapture cap;
        cap.start();
        STATUS s = attach();
        std::string out = cap.stop();
        ASSERT_EQ(OK, s);
        EXPECT_EQ(c.printed, out);
        ASSERT_EQ(1, drv()->mediaCount);
        const DC_MEDIA *md = &drv()->media[0];
        EXPECT_EQ(c.code, md->mediaCode);
        EXPECT_EQ(c.fullDuplex, md->fullDuplex);
        EXPECT_EQ(c.csr6, md->csr6Mode);
        ASSERT_EQ((int)c.gp.size(), md->gpLen);
        for (size_t i = 0; i < c.gp.size(); i++)
            EXPECT_EQ(c.gp[i], md->gpSeq[i]);
        ASSERT_EQ((int)c.reset.size(), md->resetLen);
        for (size_t i = 0; i < c.reset.size(); i++)
            EXPECT_EQ(c.reset[i], md->resetSeq[i]);
        EXPECT_EQ(c.sense >= 0 ? 1 : 0, md->senseFlag);
        if (c.sense >= 0) {
            EXPECT_EQ(c.sense, md->senseBit);
            EXPECT_EQ(c.polarity, md->sensePol);
        }
        EXPECT_EQ(c.gpControl, drv()->gpControl);
    }
}

static void expectDefaultTable(DRV_CTRL *p)
{
    ASSERT_EQ(3, p->mediaCount);
    EXPECT_EQ(0x60, p->gpControl);
    EXPECT_EQ(0x02000000u, p->media[0].csr6Mode);
    EXPECT_EQ(0, p->media[0].gpLen);
    EXPECT_EQ(0x02040000u, p->media[1].csr6Mode);
    EXPECT_EQ(1, p->media[1].gpLen);
    EXPECT_EQ(0u, p->media[1].gpSeq[0]);
    EXPECT_EQ(0x02040000u, p->media[2].csr6Mode);
    EXPECT_EQ(1, p->media[2].gpLen);
    EXPECT_EQ(0x40u, p->media[2].gpSeq[0]);
}

TEST_F(DcTest, WithoutAVersion3SromTheDefaultTableIsUsed)
{
    for (int variant = 0; variant < 2; variant++) {
        SCOPED_TRACE(variant);
        TearDown();
        SetUp();
        DcModel *m = addChip(DCM_21140);
        uint8_t img[128] = {};
        memcpy(img + 20, kMac, 6);
        img[18] = 1;
        dcModelSromSet(m, variant == 0 ? img : nullptr, sizeof img, 6);
        ASSERT_EQ(OK, attach());
        expectDefaultTable(drv());
        /* selection starts at medium 1, which a 21140 takes without a link test;
         * the next re-selection will start below it */
        EXPECT_EQ(0, drv()->mediaCurrent);
        EXPECT_EQ(0x60u, m->gpCtl);
        EXPECT_EQ(0u, m->gpOut);
        EXPECT_NE(0u, dcModelCsrPeek(m, 6) & 0x40000);
    }
}

TEST_F(DcTest, MalformedSromsStayInsideTheImage)
{
    struct {
        const char *name;
        bool defaults;
        int media;
        const char *printed;
    } cases[] = {
        {"leaf beyond the image", true, 3, ""},
        {"block count 255", false, 16, ""},
        /* a bad block keeps its place in the table with nothing decoded */
        {"MII sequence longer than its block", false, 1, "SROM media block 0 truncated\n"},
        {"block running past the end", false, 1, ""},
        {"no blocks", true, 3, ""},
        {"AA55 marker read as a leaf offset", true, 3, ""},
    };
    for (int i = 0; i < (int)(sizeof cases / sizeof cases[0]); i++) {
        SCOPED_TRACE(cases[i].name);
        TearDown();
        SetUp();
        DcModel *m = addChip(DCM_21140);
        uint8_t img[128];
        switch (i) {
        case 0:
            sromImageBuild(img, kMac, false, 0x1F, {}, 200);
            break;
        case 1:
            sromImageBuild(img, kMac, false, 0x1F, {sromCompactBlock(0, 0, 0x81)});
            img[SROM_DEFAULT_LEAF + 3] = 255;
            break;
        case 2:
            sromImageBuild(img, kMac, false, 0x1F,
                           {sromExtBlock(1, {0x00, 200, 0x11, 0x22, 0x01, 0x33})});
            break;
        case 3:
            sromImageBuild(img, kMac, false, 0x1F, {sromCompactBlock(3, 0, 0x81)}, 116);
            img[116 + 3] = 2;
            img[116 + 8] = 0x80 | 20; /* 21 bytes from offset 124 */
            img[116 + 9] = 1;
            break;
        case 4:
            sromImageBuild(img, kMac, false, 0x1F, {});
            break;
        case 5:
            sromImageBuild(img, kMac, false, 0x1F, {sromCompactBlock(3, 0, 0x81)});
            memcpy(img, kMac, 6);
            img[26] = 0x55;
            img[27] = 0xAA;
            break;
        }
        dcModelSromSet(m, img, sizeof img, 6);
        StdoutCapture cap;
        cap.start();
        STATUS s = attach();
        std::string out = cap.stop();
        EXPECT_EQ(OK, s);
        EXPECT_EQ(cases[i].printed, out);
        EXPECT_EQ(cases[i].media, drv()->mediaCount);
        if (cases[i].defaults) {
            expectDefaultTable(drv());
            EXPECT_NE(std::string::npos, std::string(hostLogText()).find("no usable media"));
        }
        EXPECT_GE(drv()->mediaCurrent, 0);
        EXPECT_LT(drv()->mediaCurrent, drv()->mediaCount);
        EXPECT_EQ(DCM_RX_OK, rxDeliver(frameTo(kMac, 60)));
    }
}

TEST_F(DcTest, A21140MediumIsChosenByItsSenseBit)
{
    for (int pin2 = 0; pin2 < 2; pin2++) {
        SCOPED_TRACE(pin2);
        TearDown();
        SetUp();
        DcModel *m = addChip(DCM_21140);
        /* medium 0: 10BASE-T, sense pin 1 active high; medium 1: 100BASE-TX on
         * the port select, sense pin 2 active high.  Pin 0 is an output. */
        loadSrom(m, {sromCompactBlock(0, 0x00, 0x0082), sromCompactBlock(3, 0x01, 0x0085)}, 0x01);
        m->gpIn = (uint16_t)(pin2 ? 0x04 : 0x00);
        ASSERT_EQ(OK, attach());
        uint32_t csr6 = dcModelCsrPeek(m, 6);
        if (pin2) { /* 100BASE-TX reports no signal: 10BASE-T it is */
            EXPECT_EQ(0u, csr6 & 0x40000);
            EXPECT_EQ(0u, m->gpOut & 1);
            EXPECT_EQ(1, drv()->mediaCurrent);
        } else {
            EXPECT_NE(0u, csr6 & 0x40000);
            EXPECT_EQ(1u, m->gpOut & 1);
            EXPECT_EQ(0, drv()->mediaCurrent);
        }
        EXPECT_EQ(0x01u, m->gpCtl);
        EXPECT_EQ(0x2002u, csr6 & 0x2002); /* running */
        EXPECT_EQ(DCM_RX_OK, rxDeliver(frameTo(kMac, 60)));
    }
}

TEST_F(DcTest, A21143SiaPortIsTestedForLink)
{
    /* medium 0 BNC, medium 1 10BASE-T; the twisted pair has no link */
    DcModel *m = addChip(DCM_21143);
    loadSrom(m, {sromExtBlock(2, {0x01, 0x0F, 0x08, 0x00, 0x00}),
                 sromExtBlock(2, {0x00, 0x0F, 0x08, 0x00, 0x00})});
    m->link[DCM_PORT_TP] = 0;
    ASSERT_EQ(OK, attach());
    EXPECT_EQ(9u, dcModelCsrPeek(m, 13));
    EXPECT_EQ(0x0705u, dcModelCsrPeek(m, 14));
    EXPECT_EQ(1, drv()->txGood);
    EXPECT_EQ(1, drv()->mediaCurrent); /* found at 0: the next search starts at the last */

    TearDown();
    SetUp();
    m = addChip(DCM_21143);
    loadSrom(m, {sromExtBlock(2, {0x01, 0x0F, 0x08, 0x00, 0x00}),
                 sromExtBlock(2, {0x00, 0x0F, 0x08, 0x00, 0x00})});
    ASSERT_EQ(OK, attach());
    EXPECT_EQ(1u, dcModelCsrPeek(m, 13));
    EXPECT_EQ(0x7F3Fu, dcModelCsrPeek(m, 14));
    EXPECT_EQ(0, drv()->mediaCurrent);
}

TEST_F(DcTest, A21143WithoutSromUsesTheSymbolPortWhenItHasLink)
{
    DcModel *m = addChip(DCM_21143);
    dcModelSromSet(m, nullptr, 0, 6);
    m->link[DCM_PORT_SYM] = 1;
    ASSERT_EQ(OK, attach());
    expectDefaultTable(drv());
    EXPECT_EQ(1, drv()->txGood);
    EXPECT_NE(0u, dcModelCsrPeek(m, 6) & 0x40000);
    EXPECT_EQ(0x00A8E002u, dcModelCsrPeek(m, 0));
}

static std::vector<uint8_t> miiBlock()
{
    /* 21143 MII PHY block, no general-purpose or reset words */
    return sromExtBlock(3, {0x00, 0x00, 0x00, 0x00, 0x78, 0xE0, 0x01, 0x00, 0x50, 0x00, 0x18});
}

TEST_F(DcTest, MiiLinkNegotiationSetsDuplexFromBothSides)
{
    struct {
        int flags;
        uint16_t partner;
        bool fd;
        int bmcr; /* expected register 0; -1: never written */
    } cases[] = {
        {0, 0x45E1, true, -1},
        {0, 0x0021, false, -1},
        {DC_USR_PHY_FORCE, 0x45E1, true, 0x2000},
        {DC_USR_PHY_FORCE | DC_USR_FULL_DUPLEX, 0x45E1, true, 0x2100},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.flags);
        TearDown();
        SetUp();
        DcModel *m = addChip(DCM_21143);
        loadSrom(m, {miiBlock()});
        m->phy.addr = 5;
        m->phy.regs[0] = 0x1000;
        m->phy.regs[1] = 0x7809;
        m->phy.regs[2] = 0x0022;
        m->phy.regs[4] = 0x01E1;
        m->phy.regs[5] = c.partner;
        m->phy.linkUpTick = 3 * kSecond; /* autonegotiation takes a few seconds */
        ASSERT_EQ(OK, attach(0, c.flags));
        EXPECT_EQ(c.fd, (dcModelCsrPeek(m, 6) & 0x200) != 0);
        if (c.bmcr < 0)
            EXPECT_EQ(0, m->phy.writes);
        else
            EXPECT_EQ(c.bmcr, m->phy.regs[0]);
        EXPECT_NE(0u, dcModelCsrPeek(m, 6) & 0x40000);
    }
}

TEST_F(DcTest, AnAbsentPhyCostsTwoSecondsAndCountsAsUsable)
{
    DcModel *m = addChip(DCM_21143);
    loadSrom(m, {miiBlock()});
    ASSERT_EQ(OK, attach()); /* nothing answers at any address */
    drv()->mediaCurrent = 0;
    uint32_t t0 = tickGet();
    EXPECT_EQ(1, dcDoSROM(drv()));
    uint32_t absent = tickGet() - t0;

    m->phy.addr = 31;
    m->phy.regs[2] = 0x0022;
    m->phy.linkUpTick = 0;
    t0 = tickGet();
    EXPECT_EQ(1, dcDoSROM(drv()));
    EXPECT_EQ(absent - 2 * kSecond, tickGet() - t0);
}

TEST_F(DcTest, APhyWithoutLinkGivesWayToTheNextMedium)
{
    DcModel *m = addChip(DCM_21143);
    loadSrom(m, {sromExtBlock(2, {0x00, 0x0F, 0x08, 0x00, 0x00}), miiBlock()});
    m->phy.addr = 1;
    m->phy.regs[2] = 0x0022;
    m->phy.linkUpTick = -1;
    ASSERT_EQ(OK, attach());
    EXPECT_EQ(1u, dcModelCsrPeek(m, 13)); /* 10BASE-T programmed last */
    EXPECT_EQ(0u, dcModelCsrPeek(m, 6) & 0x40000);
    EXPECT_EQ(1, drv()->mediaCurrent);
}

TEST_F(DcTest, PhyRegistersThroughTheExportedRoutines)
{
    DcModel *m = addChip(DCM_21140);
    loadSrom(m, {sromCompactBlock(3, 0, 0x0081)}, 0x1F);
    m->phy.addr = 7;
    m->phy.regs[2] = 0x0022;
    m->phy.regs[3] = 0x5410;
    ASSERT_EQ(OK, attach());
    EXPECT_EQ(0, dcMiiSetReg(7, 4, 0x05E1));
    EXPECT_EQ(0x05E1, m->phy.regs[4]);
    EXPECT_EQ(0x05E1, dcMiiGetReg(7, 4));
    EXPECT_EQ(0x5410, dcMiiGetReg(7, 3));
    EXPECT_EQ(0xFFFF, dcMiiGetReg(8, 3)); /* nobody there */
    EXPECT_EQ(0x0022, dcMiiPhyRead(drv(), 7, 2));
}

TEST_F(DcTest, NoCarrierReselectsTheMediumAndTrafficGoesOn)
{
    static int hook;
    DcModel *m = addChip(DCM_21140);
    loadSrom(m, {sromCompactBlock(0, 0x00, 0x0082), sromCompactBlock(3, 0x01, 0x0085)}, 0x01);
    ASSERT_EQ(OK, attach(0, DC_USR_PROMISCUOUS));
    ASSERT_EQ(0, drv()->txGood);
    hook = 0;
    _func_dcNoCarrierHook = [] { hook++; };
    for (int i = 0; i < 5; i++)
        rxDeliver(frameTo(kMac, 60));
    freeDelivered();

    unsigned long resets = m->softResets;
    dcModelTxErrorInject(m, 0x8000 | 0x0400, 1);
    ASSERT_EQ(0, sendPacket(100));
    dcTxRingClean(drv());
    EXPECT_EQ(1, hook);
    EXPECT_GT(m->softResets, resets);
    EXPECT_EQ(0, ifp()->if_oerrors);
    EXPECT_NE(0u, dcModelCsrPeek(m, 6) & 0x40); /* still promiscuous */
    EXPECT_EQ(0, drv()->rxIndex);
    EXPECT_EQ(0, drv()->txIndex);

    /* more than a ring's worth each way */
    for (int i = 0; i < 40; i++)
        ASSERT_EQ(DCM_RX_OK, rxDeliver(frameTo(kMac, 60)));
    EXPECT_EQ(40, hostRxCount());
    int before = dcModelWireTxCount(m);
    for (int i = 0; i < 40; i++)
        ASSERT_EQ(0, sendPacket(60));
    runAll();
    EXPECT_EQ(before + 40, dcModelWireTxCount(m));

    /* once a frame went out well, a carrier error no longer re-selects */
    dcTxRingClean(drv());
    ASSERT_EQ(1, drv()->txGood);
    resets = m->softResets;
    dcModelTxErrorInject(m, 0x8000 | 0x0400, 1);
    ASSERT_EQ(0, sendPacket(100));
    dcTxRingClean(drv());
    EXPECT_EQ(resets, m->softResets);
    EXPECT_EQ(2u, drv()->stats.txNoCarr);
    EXPECT_EQ(2, hook);
}

TEST_F(DcTest, The21040FallsBackToAuiWithoutTwistedPairLink)
{
    for (int tp = 0; tp < 2; tp++) {
        SCOPED_TRACE(tp);
        TearDown();
        SetUp();
        DcModel *m = addChip(DCM_21040);
        dcModelAddrRomSet(m, kMac, 6);
        m->link[DCM_PORT_TP] = tp;
        ASSERT_EQ(OK, attach());
        EXPECT_EQ(tp ? 4u : 12u, dcModelCsrPeek(m, 13));
        EXPECT_EQ(1, drv()->txGood);
        EXPECT_EQ(0, drv()->mediaCount);
        EXPECT_EQ(DCM_RX_OK, rxDeliver(frameTo(kMac, 60)));
    }
}

TEST_F(DcTest, ReselectionKeepsTheModesTheUserAskedFor)
{
    /* every mode bit the user flags set at attach, and none they did not */
    const uint32_t userBits = 0x40 | 0x80 | 0x200 | 0x400 | 0x800;
    struct {
        int flags;
        uint32_t bits;
    } cases[] = {
        {0, 0},
        {DC_USR_PROMISCUOUS, 0x40},
        {DC_USR_MULTICAST, 0x80},
        {DC_USR_FULL_DUPLEX, 0x200},
        {DC_USR_LOOPBACK_INT, 0x400},
        {DC_USR_LOOPBACK_EXT, 0x800},
        {DC_USR_FULL_DUPLEX | DC_USR_PROMISCUOUS | DC_USR_MULTICAST, 0x2C0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.flags);
        TearDown();
        SetUp();
        DcModel *m = addChip(DCM_21140);
        loadSrom(m, {sromCompactBlock(0, 0x00, 0x0082), sromCompactBlock(3, 0x01, 0x0085)}, 0x01);
        ASSERT_EQ(OK, attach(0, c.flags));
        EXPECT_EQ(c.bits, dcModelCsrPeek(m, 6) & userBits);

        unsigned long resets = m->softResets;
        dcModelTxErrorInject(m, 0x8000 | 0x0400, 1);
        ASSERT_EQ(0, sendPacket(100));
        dcTxRingClean(drv());
        ASSERT_GT(m->softResets, resets); /* the medium was selected again */
        EXPECT_EQ(c.bits, dcModelCsrPeek(m, 6) & userBits);
        EXPECT_EQ(0x2002u, dcModelCsrPeek(m, 6) & 0x2002);
    }
}
