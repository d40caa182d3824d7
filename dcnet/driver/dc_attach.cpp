/* dcattach: memory, rings, loan pool, interrupt connection and chip set-up. */
#include "if_dc.h"

#include <cstdio>

#define DC_PCI_MAX_BUS 255
#define DC_PCI_MAX_DEV 31
#define DC_PCI_CFG_BAR0 0x10
#define DC_PCI_CFG_DEVICE 0x02
#define DC_PCI_CFG_CFDD 0x40

static void dcIntEntry(void *param) { dcInt((DRV_CTRL *)param); }

/* Find our controller among the DEC functions on the PCI buses by its I/O
 * base, and wake a 21143 from sleep and snooze mode. */
static void dcPciIdentify(DRV_CTRL *pDrvCtrl)
{
    for (int bus = 0; bus < DC_PCI_MAX_BUS; bus++) {
        for (int dev = 0; dev < DC_PCI_MAX_DEV; dev++) {
            uint16_t vendor = 0xFFFF;
            if (pciConfigInWord(bus, dev, 0, 0, &vendor) != OK || vendor != DC_VENDOR_ID)
                continue;
            uint32_t bar = 0;
            pciConfigInLong(bus, dev, 0, DC_PCI_CFG_BAR0, &bar);
            if ((bar & 0x000FFFFE) != (pDrvCtrl->devAdrs & 0x000FFFFF))
                continue;
            uint16_t id = 0;
            pciConfigInWord(bus, dev, 0, DC_PCI_CFG_DEVICE, &id);
            pDrvCtrl->deviceId = id;
            if (id == DC_DEVICE_21143)
                pciConfigOutLong(bus, dev, 0, DC_PCI_CFG_CFDD, 0);
            break;
        }
    }
}

/* Carve the shared block: receive ring, receive buffers, loan buffers,
 * transmit ring, transmit buffers, setup frame.  The chip needs descriptors
 * and buffers on word boundaries, so everything is laid out from the block's
 * first word boundary on; every region is a whole number of words, and the
 * at most 3 bytes skipped come out of the setup frame's reservation at the
 * end (the frame itself is built in the driver structure), so the layout
 * still ends within the size asked for. */
static_assert(DC_DESC_SIZE % 4 == 0 && DC_BUFSIZ % 4 == 0,
              "regions of the shared block must keep word alignment");

static void dcMemLayout(DRV_CTRL *pDrvCtrl, char *mem, int nLoan)
{
    pDrvCtrl->memBase = mem;

    char *p = (char *)(((uintptr_t)mem + 3) & ~(uintptr_t)3);
    pDrvCtrl->rxRing = (DC_DESC *)p;
    p += (size_t)(pDrvCtrl->nRDs + 1) * DC_DESC_SIZE;
    for (int i = 0; i < pDrvCtrl->nRDs; i++) {
        DC_DESC *rmd = &pDrvCtrl->rxRing[i];
        uint32_t ctl = DC_BUFSIZ | (i == pDrvCtrl->nRDs - 1 ? RDESC1_RER : 0);
        DC_DESC_STORE(rmd->desc1, DC_HTOLE32(ctl));
        DC_DESC_STORE(rmd->desc2, DC_HTOLE32(dcVirtToBus(pDrvCtrl, p)));
        DC_DESC_STORE(rmd->desc3, 0);
        DC_DESC_STORE(rmd->desc0, DC_HTOLE32(RDESC0_OWN));
        p += DC_BUFSIZ;
    }

    pDrvCtrl->nLoanRx = nLoan;
    for (int i = 0; i < nLoan; i++) {
        pDrvCtrl->lPool[i] = p;
        pDrvCtrl->refCnt[i] = 0;
        pDrvCtrl->pRefCnt[i] = &pDrvCtrl->refCnt[i];
        p += DC_BUFSIZ;
    }

    pDrvCtrl->txRing = (DC_DESC *)p;
    p += (size_t)(pDrvCtrl->nTDs + 1) * DC_DESC_SIZE;
    for (int i = 0; i < pDrvCtrl->nTDs; i++) {
        DC_DESC *tmd = &pDrvCtrl->txRing[i];
        uint32_t ctl =
            TDESC1_IC | TDESC1_LS | TDESC1_FS | (i == pDrvCtrl->nTDs - 1 ? TDESC1_TER : 0);
        DC_DESC_STORE(tmd->desc0, 0);
        DC_DESC_STORE(tmd->desc1, DC_HTOLE32(ctl));
        DC_DESC_STORE(tmd->desc2, DC_HTOLE32(dcVirtToBus(pDrvCtrl, p)));
        DC_DESC_STORE(tmd->desc3, 0);
        p += DC_BUFSIZ;
    }
    /* what is left of the block's last DC_SETUP_FRAME_SIZE bytes stays unused */

    pDrvCtrl->rxIndex = 0;
    pDrvCtrl->txIndex = 0;
    pDrvCtrl->txDiIndex = 0;
    pDrvCtrl->txOutstanding = 0;
}

STATUS dcattach(int unit, uint32_t devAdrs, int ivec, int ilevel, char *memAdrs, uint32_t memSize,
                int memWidth, uint32_t pciMemBase, int usrFlags)
{
    if (unit < 0 || unit >= DC_MAX_UNITS)
        return ERROR;
    DRV_CTRL *pDrvCtrl = &dcDrvCtrl[unit];
    if (pDrvCtrl->attached)
        return OK;

    pDrvCtrl->ivec = ivec;
    pDrvCtrl->ilevel = ilevel;
    pDrvCtrl->devAdrs = devAdrs;
    pDrvCtrl->pciMemBase = pciMemBase;
    pDrvCtrl->memWidth = memWidth;
    pDrvCtrl->usrFlags = usrFlags == -1 ? 0 : usrFlags;

    struct ifnet *ifp = &pDrvCtrl->arpcom.ac_if;
    ether_attach(ifp, unit, "dc", nullptr, dcIoctl, dcOutput, dcReset);
    memset(&pDrvCtrl->stats, 0, sizeof pDrvCtrl->stats);

    dcInit(devAdrs, pciMemBase);

    pDrvCtrl->txSem = semMCreate(SEM_Q_PRIORITY | SEM_DELETE_SAFE | SEM_INVERSION_SAFE);
    if (pDrvCtrl->txSem == nullptr) {
        printf("dc: error creating transmitter semaphore\n");
        return ERROR;
    }

    /* the pool's bookkeeping has room for DC_LPOOL_MAX buffers */
    int nLoan = dcLPool < 0 ? 0 : (dcLPool > DC_LPOOL_MAX ? DC_LPOOL_MAX : dcLPool);

    if (memAdrs != (char *)NONE) {
        long avail = ((long)memSize - DC_MEM_SLACK - (long)DC_BUFSIZ * nLoan) /
                     (2 * DC_BUFSIZ + 2 * DC_DESC_SIZE);
        int n = avail > DC_MIN_RING ? (int)avail : DC_MIN_RING;
        pDrvCtrl->nRDs = pDrvCtrl->nTDs = n;
    } else {
        /* rings of fewer than two descriptors can never hold a frame */
        pDrvCtrl->nRDs = dcNumRds < 2 ? 2 : dcNumRds;
        pDrvCtrl->nTDs = dcNumTds < 2 ? 2 : dcNumTds;
    }
    uint32_t required = (uint32_t)((pDrvCtrl->nRDs + 1) * DC_DESC_SIZE + pDrvCtrl->nRDs * DC_BUFSIZ +
                                   (pDrvCtrl->nTDs + 1) * DC_DESC_SIZE + pDrvCtrl->nTDs * DC_BUFSIZ +
                                   nLoan * DC_BUFSIZ + DC_SETUP_FRAME_SIZE);

    char *mem;
    if (memAdrs == (char *)NONE) {
        if (cacheDmaFuncs.flushRtn != nullptr) {
            printf("dc: device requires cache coherent memory\n");
            return ERROR;
        }
        mem = (char *)cacheDmaMalloc(required);
        if (mem == nullptr) {
            printf("dc: system memory unavailable\n");
            return ERROR;
        }
    } else {
        if (memSize < required) {
            printf("dc: not enough memory provided, have: %x want: %x\n", memSize, required);
            return ERROR;
        }
        mem = memAdrs;
    }
    pDrvCtrl->cacheFuncs = cacheDmaFuncs;

    if (intConnect(ivec, dcIntEntry, pDrvCtrl) == ERROR)
        return ERROR;

    memset(mem, 0, required);
    dcMemLayout(pDrvCtrl, mem, nLoan);
    dcCacheFlush(pDrvCtrl, mem, required);
    CACHE_PIPE_FLUSH();

    dcChipReset(pDrvCtrl);
    DC_CSR_WRITE(pDrvCtrl, CSR3, dcVirtToBus(pDrvCtrl, pDrvCtrl->rxRing));
    DC_CSR_WRITE(pDrvCtrl, CSR4, dcVirtToBus(pDrvCtrl, pDrvCtrl->txRing));

    pDrvCtrl->deviceId = 0;
    dcPciIdentify(pDrvCtrl);

    switch (pDrvCtrl->deviceId) {
    case DC_DEVICE_21040:
        if (dcEnetAddrGet(pDrvCtrl, pDrvCtrl->arpcom.ac_enaddr) != OK)
            logMsg("dc: error reading ethernet rom\n", 0, 0, 0, 0, 0, 0);
        break;
    case DC_DEVICE_21140:
    case DC_DEVICE_21143:
        if (dcEnetAddrGet(pDrvCtrl, pDrvCtrl->arpcom.ac_enaddr) != OK)
            logMsg("dc21140: error reading ethernet rom\n", 0, 0, 0, 0, 0, 0);
        break;
    default:
        logMsg("dc: Unsupported device %x\n", pDrvCtrl->deviceId, 0, 0, 0, 0, 0);
        break;
    }

    sysLanIntEnable(ilevel);

    switch (pDrvCtrl->deviceId) {
    case DC_DEVICE_21040:
        dc21040AuiTpInit(devAdrs);
        DC_CSR_WRITE(pDrvCtrl, CSR6, 0);
        pDrvCtrl->txGood = 1;
        break;
    case DC_DEVICE_21140:
    case DC_DEVICE_21143:
        DC_CSR_WRITE(pDrvCtrl, CSR6, 0);
        dc21140AuiMiiInit(pDrvCtrl, devAdrs, 0);
        break;
    default:
        logMsg("dc: Unsupported device %x\n", pDrvCtrl->deviceId, 0, 0, 0, 0, 0);
        break;
    }

    if (pDrvCtrl->usrFlags & DC_USR_FULL_DUPLEX)
        DC_CSR_WRITE(pDrvCtrl, CSR6, DC_CSR_READ(pDrvCtrl, CSR6) | CSR6_FD);
    DC_CSR_WRITE(pDrvCtrl, CSR5, 0xFFFFFFFF);
    DC_CSR_WRITE(pDrvCtrl, CSR6, DC_CSR_READ(pDrvCtrl, CSR6) | CSR6_MBO | CSR6_ST);
    if (pDrvCtrl->usrFlags & DC_USR_LOOPBACK_INT)
        DC_CSR_WRITE(pDrvCtrl, CSR6, DC_CSR_READ(pDrvCtrl, CSR6) | CSR6_OM_INT);
    else if (pDrvCtrl->usrFlags & DC_USR_LOOPBACK_EXT)
        DC_CSR_WRITE(pDrvCtrl, CSR6, DC_CSR_READ(pDrvCtrl, CSR6) | CSR6_OM_EXT);

    /* Without its setup frame the chip filters out every unicast frame; a
     * chip that never takes it is not working, and attach says so. */
    if (dcFltrFrmXmit(pDrvCtrl, pDrvCtrl->arpcom.ac_enaddr, 1) != OK) {
        logMsg("dc%d: address filter set-up failed\n", unit, 0, 0, 0, 0, 0);
        /* media selection left the chip running with its interrupts enabled;
         * a unit that failed to attach must neither DMA nor interrupt */
        dcChipReset(pDrvCtrl);
        intDisconnect(ivec, dcIntEntry, pDrvCtrl);
        return ERROR;
    }

    uint32_t csr6 = DC_CSR_READ(pDrvCtrl, CSR6) | CSR6_SR;
    if (pDrvCtrl->usrFlags & DC_USR_MULTICAST)
        csr6 |= CSR6_PM;
    if (pDrvCtrl->usrFlags & DC_USR_PROMISCUOUS)
        csr6 |= CSR6_PR;
    DC_CSR_WRITE(pDrvCtrl, CSR6, csr6);

    DC_CSR_WRITE(pDrvCtrl, CSR7, CSR7_ENABLE);

    ifp->if_flags |= IFF_UP | IFF_RUNNING | IFF_NOTRAILERS;
    pDrvCtrl->attached = TRUE;
    pDrvCtrl->txFlushScheduled = FALSE;
    pDrvCtrl->rxJobPending = FALSE;
    pDrvCtrl->rxBytes = 0;
    pDrvCtrl->rxBudget = DC_RX_BUDGET;
    return OK;
}
