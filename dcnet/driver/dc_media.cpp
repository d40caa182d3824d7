/* Media: the 21040's AUI/TP choice, the SROM media description of the 21140
 * and 21143, programming and testing a medium, and re-selection. */
#include "if_dc.h"

#include <cstdio>

#define SROM_LEAF_OFFSET 27
#define SROM_SIA_EXT_LEN 6 /* CSR13, CSR14 and CSR15 words */

#define MII_BMCR 0
#define MII_BMSR 1
#define MII_PHYID1 2
#define MII_ANAR 4
#define MII_ANLPAR 5
#define MII_BMSR_LINK 0x0004
#define MII_FD_ABILITIES 0x0140
#define MII_FORCE_100 0x2000
#define MII_FORCE_100FD 0x2100

void dc21040AuiTpInit(uint32_t devAdrs)
{
    dcCsrWrite(devAdrs, CSR13, 0);
    dcCsrWrite(devAdrs, CSR14, 0);
    dcCsrWrite(devAdrs, CSR15, 0);
    dcCsrWrite(devAdrs, CSR13, 4); /* twisted pair */
    dcSecondsWait(2);
    if (dcCsrRead(devAdrs, CSR12) & 0x6) { /* link fail or network connection error */
        dcCsrWrite(devAdrs, CSR13, 0);
        dcCsrWrite(devAdrs, CSR14, 0);
        dcCsrWrite(devAdrs, CSR15, 0);
        dcCsrWrite(devAdrs, CSR13, 12); /* AUI */
    }
}

void dcDoCompactInfo(DRV_CTRL *pDrvCtrl, const uint8_t *block, uint32_t *pCsr6, int index)
{
    DC_MEDIA *md = &pDrvCtrl->media[index];
    uint16_t cmd = dcGetLe16(block + 2);

    md->senseFlag = 1;
    md->senseBit = (cmd >> 1) & 0x7;
    md->sensePol = (cmd >> 7) & 0x1;
    md->gpSeq[0] = block[1];
    if (cmd & 0x01)
        *pCsr6 |= 0x00040000;
    if (cmd & 0x10)
        *pCsr6 |= 0x00400000;
    if (cmd & 0x20)
        *pCsr6 |= 0x00800000;
    if (cmd & 0x40)
        *pCsr6 |= 0x01000000;

    md->fullDuplex = 0;
    md->mediaCode = 0;
    int code = block[0] & 0x3F;
    if (code <= 8) {
        md->mediaCode = code + 1;
        if (code == 4 || code == 5 || code == 8)
            md->fullDuplex = 1;
    }
}

void dcSetDefaultMediaTypes(DRV_CTRL *pDrvCtrl)
{
    memset(pDrvCtrl->media, 0, sizeof pDrvCtrl->media);
    pDrvCtrl->mediaCount = 3;
    pDrvCtrl->gpControl = 0x60;
    pDrvCtrl->media[0].csr6Mode = 0x02000000;
    pDrvCtrl->media[0].gpLen = 0;
    pDrvCtrl->media[1].csr6Mode = 0x02040000;
    pDrvCtrl->media[1].gpLen = 1;
    pDrvCtrl->media[1].gpSeq[0] = 0;
    pDrvCtrl->media[2].csr6Mode = 0x02040000;
    pDrvCtrl->media[2].gpLen = 1;
    pDrvCtrl->media[2].gpSeq[0] = 0x40;
}

static void dcBlockTruncated(int index)
{
    printf("SROM media block %d truncated\n", index);
}

/* One extended block of blen bytes (blen >= 2).  Every field is checked
 * against the block before it is read. */
static void dcDoExtendedInfo(DRV_CTRL *pDrvCtrl, const uint8_t *b, int blen, uint32_t *pCsr6,
                             int index)
{
    DC_MEDIA *md = &pDrvCtrl->media[index];
    int type = b[1] & 0x7F;

    switch (type) {
    case 0: /* 21140 extended compact */
        if (blen < 6) {
            dcBlockTruncated(index);
            return;
        }
        *pCsr6 |= 0x02400000;
        md->gpLen = 1;
        dcDoCompactInfo(pDrvCtrl, b + 2, pCsr6, index);
        md->csr6Mode = *pCsr6;
        break;

    case 1:   /* 21140 MII PHY: bytes */
    case 3: { /* 21143 MII PHY: 16-bit words */
        int unit = type == 1 ? 1 : 2;
        if (blen < 5) {
            dcBlockTruncated(index);
            return;
        }
        int gpLen = b[3];
        int resetPos = 4 + gpLen * unit;
        if (gpLen > DC_MEDIA_SEQ_MAX || resetPos >= blen) {
            dcBlockTruncated(index);
            return;
        }
        int resetLen = b[resetPos];
        if (resetLen > DC_MEDIA_SEQ_MAX || resetPos + 1 + resetLen * unit > blen) {
            dcBlockTruncated(index);
            return;
        }
        md->mediaCode = DC_MEDIA_MII;
        *pCsr6 |= 0x02040000;
        md->gpLen = gpLen;
        for (int i = 0; i < gpLen; i++)
            md->gpSeq[i] = unit == 1 ? b[4 + i] : dcGetLe16(b + 4 + 2 * i);
        md->resetLen = resetLen;
        for (int i = 0; i < resetLen; i++)
            md->resetSeq[i] = unit == 1 ? b[resetPos + 1 + i]
                                        : dcGetLe16(b + resetPos + 1 + 2 * i);
        md->csr6Mode = *pCsr6;
        break;
    }

    case 2: { /* 21143 SIA */
        if (blen < 3) {
            dcBlockTruncated(index);
            return;
        }
        int pos = 3;
        if (b[2] & 0x40) {
            printf("Unsupported SIA data found\n");
            pos += SROM_SIA_EXT_LEN;
        }
        switch (b[2] & 0x0F) {
        case 0:
            md->mediaCode = DC_MEDIA_10T;
            break;
        case 1:
            md->mediaCode = DC_MEDIA_BNC;
            break;
        case 2:
            md->mediaCode = DC_MEDIA_AUI;
            break;
        case 4:
            md->mediaCode = DC_MEDIA_10T_FD;
            md->fullDuplex = 1;
            break;
        default:
            printf("Invalid extended fmt 2 media code %d\n", b[2] & 0x0F);
            break;
        }
        if (pos + 4 > blen) {
            dcBlockTruncated(index);
            return;
        }
        pDrvCtrl->gpControl = dcGetLe16(b + pos);
        md->gpLen = 1;
        md->gpSeq[0] = dcGetLe16(b + pos + 2);
        md->csr6Mode = *pCsr6;
        break;
    }

    case 4: { /* 21143 symbol port */
        if (blen < 9) {
            dcBlockTruncated(index);
            return;
        }
        int code = b[2] & 0x7F;
        switch (code) {
        case 3:
        case 6:
        case 7:
            md->mediaCode = DC_MEDIA_SYM;
            break;
        case 5:
        case 8:
            md->mediaCode = DC_MEDIA_SYM;
            md->fullDuplex = 1;
            break;
        default:
            printf("Invalid extended fmt 4 media code %d\n", code);
            break;
        }
        pDrvCtrl->gpControl = dcGetLe16(b + 3);
        md->gpLen = 1;
        md->gpSeq[0] = dcGetLe16(b + 5);
        uint32_t cmd = dcGetLe16(b + 7);
        md->csr6Mode = *pCsr6 | (cmd << 18);
        md->senseFlag = 1;
        md->senseBit = (b[7] & 0x0E) >> 1;
        md->sensePol = (b[7] >> 7) & 1;
        break;
    }

    default:
        printf("Invalid Block Type %d\n", type);
        break;
    }
}

/* Decode the info leaf of a version 3 image.  Returns the number of media
 * decoded; blocks are taken only while they lie wholly within the image. */
static int dcSromDecode(DRV_CTRL *pDrvCtrl, const uint8_t *img, uint32_t csr6)
{
    BOOL is21143 = pDrvCtrl->deviceId == DC_DEVICE_21143;
    int leaf = img[SROM_LEAF_OFFSET];
    int countOff = is21143 ? 2 : 3;
    int blockOff = is21143 ? 3 : 4;

    if (leaf + blockOff > DC_SROM_SIZE)
        return 0;
    pDrvCtrl->gpControl = is21143 ? 0 : img[leaf + 2];
    int count = img[leaf + countOff];
    if (count > DC_MAX_MEDIA)
        count = DC_MAX_MEDIA;

    int off = leaf + blockOff;
    int k;
    for (k = 0; k < count; k++) {
        DC_MEDIA *md = &pDrvCtrl->media[k];
        uint32_t work = csr6;
        md->senseFlag = 0;
        if (off >= DC_SROM_SIZE)
            break;
        const uint8_t *b = img + off;
        if ((b[0] & 0x80) == 0) {
            if (off + 4 > DC_SROM_SIZE)
                break;
            md->gpLen = 1;
            dcDoCompactInfo(pDrvCtrl, b, &work, k);
            md->csr6Mode = work;
            off += 4;
        } else {
            int blen = (b[0] & 0x7F) + 1;
            if (blen < 2 || off + blen > DC_SROM_SIZE)
                break;
            dcDoExtendedInfo(pDrvCtrl, b, blen, &work, k);
            off += blen;
        }
    }
    return k;
}

void dc21140AuiMiiInit(DRV_CTRL *pDrvCtrl, uint32_t devAdrs, uint32_t csr6)
{
    csr6 |= CSR6_MBO;

    int count = 0;
    if (dc21140SROMVersionGet(devAdrs) == 3) {
        uint8_t img[DC_SROM_SIZE];
        dcReadAllRom(devAdrs, img, DC_SROM_SIZE);
        count = dcSromDecode(pDrvCtrl, img, csr6);
        if (count == 0)
            logMsg("dc%d: no usable media in the SROM, using defaults\n",
                   pDrvCtrl->arpcom.ac_if.if_unit, 0, 0, 0, 0, 0);
    }
    if (count > 0) {
        pDrvCtrl->mediaCount = count;
        pDrvCtrl->mediaCurrent = count - 1;
    } else {
        dcSetDefaultMediaTypes(pDrvCtrl);
        pDrvCtrl->mediaCurrent = 1;
    }
    dcSelectMedia(pDrvCtrl);
}

static BOOL dcSenseUsable(DRV_CTRL *pDrvCtrl, const DC_MEDIA *md)
{
    if (pDrvCtrl->deviceId == DC_DEVICE_21143) {
        int bit = (DC_CSR_READ(pDrvCtrl, CSR15) >> (16 + md->senseBit)) & 1;
        BOOL scrambler = (DC_CSR_READ(pDrvCtrl, CSR6) & CSR6_SCR) != 0;
        if (bit != md->sensePol)
            return !(scrambler && (DC_CSR_READ(pDrvCtrl, CSR12) & 0x2));
        return !scrambler;
    }
    return (int)((DC_CSR_READ(pDrvCtrl, CSR12) >> md->senseBit) & 1) != md->sensePol;
}

static int dcMiiMediaTest(DRV_CTRL *pDrvCtrl)
{
    int phy;
    for (phy = 0; phy < 32; phy++) {
        uint16_t id = dcMiiPhyRead(pDrvCtrl, phy, MII_PHYID1);
        if (id != 0 && id != 0xFFFF)
            break;
    }
    if (phy == 32) {
        dcSecondsWait(2);
        return 1;
    }

    BOOL force = (pDrvCtrl->usrFlags & DC_USR_PHY_FORCE) != 0;
    uint16_t bmcr = (pDrvCtrl->usrFlags & DC_USR_FULL_DUPLEX) ? MII_FORCE_100FD : MII_FORCE_100;
    if (force)
        dcMiiPhyWrite(pDrvCtrl, phy, MII_BMCR, bmcr);

    BOOL link = FALSE;
    for (int i = 0; i < 7 && !link; i++) {
        link = (dcMiiPhyRead(pDrvCtrl, phy, MII_BMSR) & MII_BMSR_LINK) != 0;
        if (!link)
            dcSecondsWait(1);
    }
    if (!link) {
        if (force)
            dcMiiPhyWrite(pDrvCtrl, phy, MII_BMCR, bmcr);
        dcSecondsWait(1);
        for (int i = 0; i < 6 && !link; i++)
            link = (dcMiiPhyRead(pDrvCtrl, phy, MII_BMSR) & MII_BMSR_LINK) != 0;
    }

    if (link) {
        if ((dcMiiPhyRead(pDrvCtrl, phy, MII_ANAR) & MII_FD_ABILITIES) &&
            (dcMiiPhyRead(pDrvCtrl, phy, MII_ANLPAR) & MII_FD_ABILITIES))
            DC_CSR_WRITE(pDrvCtrl, CSR6, DC_CSR_READ(pDrvCtrl, CSR6) | CSR6_FD);
        return 1;
    }
    if (pDrvCtrl->mediaCurrent < pDrvCtrl->mediaCount && pDrvCtrl->mediaCurrent != 0)
        return 0;
    pDrvCtrl->mediaCurrent = pDrvCtrl->mediaCount - 1;
    return 1;
}

int dcDoSROM(DRV_CTRL *pDrvCtrl)
{
    if (pDrvCtrl->mediaCurrent < 0 || pDrvCtrl->mediaCurrent >= pDrvCtrl->mediaCount)
        return 0;
    const DC_MEDIA *md = &pDrvCtrl->media[pDrvCtrl->mediaCurrent];
    BOOL is21143 = pDrvCtrl->deviceId == DC_DEVICE_21143;
    uint32_t gpc = (uint32_t)pDrvCtrl->gpControl;

    uint32_t csr6 = md->csr6Mode | CSR6_MEDIA_SET;
    DC_CSR_WRITE(pDrvCtrl, CSR6, csr6);
    DC_CSR_WRITE(pDrvCtrl, CSR0, DC_CSR_READ(pDrvCtrl, CSR0) | CSR0_SWR);
    dcSecondsWait(1);
    DC_CSR_WRITE(pDrvCtrl, CSR6, csr6);

    if (!is21143) {
        if (md->gpLen > 0) {
            for (int i = 0; i < md->resetLen; i++) {
                DC_CSR_WRITE(pDrvCtrl, CSR12, gpc | 0x100);
                dcSecondsWait(1);
                DC_CSR_WRITE(pDrvCtrl, CSR12, md->resetSeq[i]);
                dcSecondsWait(1);
            }
        }
    } else {
        DC_CSR_WRITE(pDrvCtrl, CSR13, 0);
        switch (md->mediaCode) {
        case DC_MEDIA_BNC:
            DC_CSR_WRITE(pDrvCtrl, CSR14, 0x0705);
            DC_CSR_WRITE(pDrvCtrl, CSR15, DC_CSR_READ(pDrvCtrl, CSR15) & ~0x8u);
            DC_CSR_WRITE(pDrvCtrl, CSR13, 9);
            break;
        case DC_MEDIA_10T:
            DC_CSR_WRITE(pDrvCtrl, CSR14, 0x7F3F);
            DC_CSR_WRITE(pDrvCtrl, CSR13, 1);
            break;
        case DC_MEDIA_AUI:
            DC_CSR_WRITE(pDrvCtrl, CSR14, 0x0705);
            DC_CSR_WRITE(pDrvCtrl, CSR15, DC_CSR_READ(pDrvCtrl, CSR15) | 0x8u);
            DC_CSR_WRITE(pDrvCtrl, CSR13, 9);
            break;
        case DC_MEDIA_10T_FD:
            DC_CSR_WRITE(pDrvCtrl, CSR14, 0x7F3D);
            DC_CSR_WRITE(pDrvCtrl, CSR13, 1);
            break;
        default:
            DC_CSR_WRITE(pDrvCtrl, CSR14, 0);
            DC_CSR_WRITE(pDrvCtrl, CSR13, 1);
            break;
        }
        dcSecondsWait(1);
    }

    for (int i = 0; i < md->gpLen; i++) {
        if (is21143) {
            DC_CSR_WRITE(pDrvCtrl, CSR15, (gpc | 0x800) << 16);
            dcSecondsWait(1);
            DC_CSR_WRITE(pDrvCtrl, CSR15, md->gpSeq[i] << 16);
        } else {
            DC_CSR_WRITE(pDrvCtrl, CSR12, gpc | 0x100);
            dcSecondsWait(1);
            DC_CSR_WRITE(pDrvCtrl, CSR12, md->gpSeq[i]);
        }
    }
    dcSecondsWait(1);

    if (md->gpLen > 0 && md->senseFlag) {
        for (int i = 0; i < 2; i++) {
            if (i > 0)
                dcSecondsWait(1);
            if (dcSenseUsable(pDrvCtrl, md))
                return 1;
        }
        return 0;
    }

    if (md->mediaCode != DC_MEDIA_MII) {
        if (!is21143)
            return 1;
        dcSecondsWait(1);
        if ((DC_CSR_READ(pDrvCtrl, CSR6) & (CSR6_PS | CSR6_SCR)) == 0) {
            for (int i = 0; i < 5; i++) {
                if (i > 0)
                    dcSecondsWait(1);
                if (DC_CSR_READ(pDrvCtrl, CSR12) & 0x100) {
                    pDrvCtrl->txGood = 1;
                    return 1;
                }
            }
            return (DC_CSR_READ(pDrvCtrl, CSR12) & 0x4) == 0;
        }
        for (int i = 0; i < 2; i++) {
            if (i > 0)
                dcSecondsWait(1);
            if (DC_CSR_READ(pDrvCtrl, CSR12) & 0x1) {
                pDrvCtrl->txGood = 1;
                return 1;
            }
        }
        return (DC_CSR_READ(pDrvCtrl, CSR12) & 0x2) == 0;
    }

    return dcMiiMediaTest(pDrvCtrl);
}

void dcSelectMedia(DRV_CTRL *pDrvCtrl)
{
    if (pDrvCtrl->txGood != 0 || pDrvCtrl->mediaCount <= 0)
        return;

    uint32_t csr7 = DC_CSR_READ(pDrvCtrl, CSR7);
    uint32_t csr6 = DC_CSR_READ(pDrvCtrl, CSR6);
    DC_CSR_WRITE(pDrvCtrl, CSR6, csr6 & ~(CSR6_ST | CSR6_SR));
    dcSecondsWait(1);
    DC_CSR_WRITE(pDrvCtrl, CSR6, CSR6_MBO);

    while (pDrvCtrl->mediaCurrent >= 0) {
        if (dcDoSROM(pDrvCtrl))
            break;
        pDrvCtrl->mediaCurrent--;
    }

    uint32_t bmr = CSR0_BUS_MODE;
    if (pDrvCtrl->deviceId == DC_DEVICE_21143)
        bmr |= CSR0_21143_EXTRA;
    DC_CSR_WRITE(pDrvCtrl, CSR0, bmr);

    /* The software reset above sent the chip back to the start of its rings;
     * the driver's indices must follow. */
    dcRingsSync(pDrvCtrl);

    DC_CSR_WRITE(pDrvCtrl, CSR7, csr7);
    /* keep the modes the interface was given (promiscuous, all-multicast,
     * loopback, and full duplex when the user asked for it) across the new
     * medium's operating mode; a duplex the old medium negotiated is not
     * the new one's to keep */
    uint32_t keep = csr6 & (CSR6_PR | CSR6_PM | CSR6_OM_INT | CSR6_OM_EXT);
    if (pDrvCtrl->usrFlags & DC_USR_FULL_DUPLEX)
        keep |= CSR6_FD;
    DC_CSR_WRITE(pDrvCtrl, CSR6, DC_CSR_READ(pDrvCtrl, CSR6) | keep | CSR6_ST | CSR6_SR);

    for (int i = 0; i < 10; i++) {
        if (DC_CSR_READ(pDrvCtrl, CSR5) & CSR5_RUNNING)
            break;
        dcSecondsWait(1);
    }
    DC_CSR_WRITE(pDrvCtrl, CSR7, CSR7_ENABLE);

    /* the next re-selection starts below the medium chosen now; a search
     * that found nothing leaves the last medium selected */
    if (pDrvCtrl->mediaCurrent > 0 && pDrvCtrl->mediaCurrent < pDrvCtrl->mediaCount)
        pDrvCtrl->mediaCurrent--;
    else
        pDrvCtrl->mediaCurrent = pDrvCtrl->mediaCount - 1;
}
