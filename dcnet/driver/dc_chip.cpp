/* Register access, chip reset and restart, ring hand-back, the loan pool's
 * return routine and the small helpers the other driver files share. */
#include "if_dc.h"

int dcKickStartTx = 1;
uint32_t dcCSR0Bmr = 0;
VOIDFUNCPTR _func_dcNoCarrierHook = nullptr;
int dcNumRds = 32;
int dcNumTds = 32;
int dcLPool = 16;

DRV_CTRL dcDrvCtrl[DC_MAX_UNITS];

void dcCsrWrite(uint32_t devAdrs, int reg, uint32_t value)
{
    sysOutLong(devAdrs + 8u * (uint32_t)reg, DC_HTOLE32(value));
}

uint32_t dcCsrRead(uint32_t devAdrs, int reg)
{
    return DC_LE32TOH(sysInLong(devAdrs + 8u * (uint32_t)reg));
}

static volatile int dcIdleSink;

void dcIdle(int iterations)
{
    for (int i = 0; i < iterations; i++)
        dcIdleSink = i;
}

void dcSecondsWait(int seconds) { taskDelay(seconds * sysClkRateGet()); }

uint32_t dcVirtToBus(DRV_CTRL *pDrvCtrl, void *adrs)
{
    uint32_t phys = pDrvCtrl->cacheFuncs.virtToPhysRtn
                        ? pDrvCtrl->cacheFuncs.virtToPhysRtn(adrs)
                        : (uint32_t)(uintptr_t)adrs;
    return phys + pDrvCtrl->pciMemBase;
}

char *dcBusToVirt(DRV_CTRL *pDrvCtrl, uint32_t busAdrs)
{
    uint32_t phys = busAdrs - pDrvCtrl->pciMemBase;
    return pDrvCtrl->cacheFuncs.physToVirtRtn ? (char *)pDrvCtrl->cacheFuncs.physToVirtRtn(phys)
                                              : (char *)(uintptr_t)phys;
}

void dcCacheInvalidate(DRV_CTRL *pDrvCtrl, void *adrs, size_t bytes)
{
    if (pDrvCtrl->cacheFuncs.invalidateRtn)
        pDrvCtrl->cacheFuncs.invalidateRtn(adrs, bytes);
}

void dcCacheFlush(DRV_CTRL *pDrvCtrl, void *adrs, size_t bytes)
{
    if (pDrvCtrl->cacheFuncs.flushRtn)
        pDrvCtrl->cacheFuncs.flushRtn(adrs, bytes);
}

/* The chip's first transmission after power-up is sent in internal loopback
 * from a throw-away list, then the chip is reset.  The list is DMA like any
 * other: the chip is given bus addresses, PCI memory base included. */
void dcInit(uint32_t devAdrs, uint32_t pciMemBase)
{
    alignas(16) DC_DESC primeDesc[1];
    alignas(4) uint8_t primeFrame[DC_MIN_FRAME];

    memset(primeFrame, 0, sizeof primeFrame);
    uint32_t frameBus = (cacheDmaFuncs.virtToPhysRtn ? cacheDmaFuncs.virtToPhysRtn(primeFrame)
                                                     : (uint32_t)(uintptr_t)primeFrame) +
                        pciMemBase;
    uint32_t descBus = (cacheDmaFuncs.virtToPhysRtn ? cacheDmaFuncs.virtToPhysRtn(primeDesc)
                                                    : (uint32_t)(uintptr_t)primeDesc) +
                       pciMemBase;
    DC_DESC_STORE(primeDesc[0].desc1,
                  DC_HTOLE32(TDESC1_IC | TDESC1_LS | TDESC1_FS | TDESC1_TER | DC_MIN_FRAME));
    DC_DESC_STORE(primeDesc[0].desc2, DC_HTOLE32(frameBus));
    DC_DESC_STORE(primeDesc[0].desc3, 0);
    DC_DESC_STORE(primeDesc[0].desc0, DC_HTOLE32(TDESC0_OWN));
    CACHE_PIPE_FLUSH();

    dcCsrWrite(devAdrs, CSR4, descBus);
    dcCsrWrite(devAdrs, CSR7, 0);
    dcCsrWrite(devAdrs, CSR6, CSR6_PRIME);
    dcCsrWrite(devAdrs, CSR1, 1);
    dcIdle(32768);
    dcCsrWrite(devAdrs, CSR0, dcCsrRead(devAdrs, CSR0) | CSR0_SWR);
}

void dcChipReset(DRV_CTRL *pDrvCtrl)
{
    DC_CSR_WRITE(pDrvCtrl, CSR6, 0);
    DC_CSR_WRITE(pDrvCtrl, CSR7, 0);
    DC_CSR_WRITE(pDrvCtrl, CSR0, CSR0_SWR);
    dcIdle(4096);
    DC_CSR_WRITE(pDrvCtrl, CSR0, CSR0_BUS_MODE);
    dcIdle(4096);
}

void dcReset(int unit)
{
    if (unit < 0 || unit >= DC_MAX_UNITS)
        return;
    DRV_CTRL *pDrvCtrl = &dcDrvCtrl[unit];
    pDrvCtrl->arpcom.ac_if.if_flags = 0;
    dcChipReset(pDrvCtrl);
}

/* Hand every receive descriptor to the chip and every transmit descriptor to
 * the host, and start both rings over at their first descriptor with the
 * chip's list pointers set to match.  The chip's processes must be stopped:
 * after a stop or a reset the chip's position in the rings is not the
 * driver's, so the two are brought together here. */
void dcRingsSync(DRV_CTRL *pDrvCtrl)
{
    for (int i = 0; i < pDrvCtrl->nRDs; i++) {
        DC_DESC *rmd = &pDrvCtrl->rxRing[i];
        uint32_t ctl = DC_BUFSIZ | (i == pDrvCtrl->nRDs - 1 ? RDESC1_RER : 0);
        DC_DESC_STORE(rmd->desc1, DC_HTOLE32(ctl));
        DC_DESC_STORE(rmd->desc0, DC_HTOLE32(RDESC0_OWN));
    }
    for (int i = 0; i < pDrvCtrl->nTDs; i++) {
        DC_DESC *tmd = &pDrvCtrl->txRing[i];
        uint32_t ctl = TDESC1_IC | TDESC1_LS | TDESC1_FS | (i == pDrvCtrl->nTDs - 1 ? TDESC1_TER : 0);
        DC_DESC_STORE(tmd->desc0, 0);
        DC_DESC_STORE(tmd->desc1, DC_HTOLE32(ctl));
    }
    dcCacheFlush(pDrvCtrl, pDrvCtrl->rxRing, (size_t)pDrvCtrl->nRDs * DC_DESC_SIZE);
    dcCacheFlush(pDrvCtrl, pDrvCtrl->txRing, (size_t)pDrvCtrl->nTDs * DC_DESC_SIZE);
    CACHE_PIPE_FLUSH();
    pDrvCtrl->rxIndex = 0;
    pDrvCtrl->txIndex = 0;
    pDrvCtrl->txDiIndex = 0;
    pDrvCtrl->txOutstanding = 0;
    DC_CSR_WRITE(pDrvCtrl, CSR3, dcVirtToBus(pDrvCtrl, pDrvCtrl->rxRing));
    DC_CSR_WRITE(pDrvCtrl, CSR4, dcVirtToBus(pDrvCtrl, pDrvCtrl->txRing));
}

static void dcRestartJob(intptr_t unit, intptr_t, intptr_t, intptr_t, intptr_t)
{
    dcRestart((int)unit);
}

/* queued by the data path; see dcInt and dcTxRingClean */
STATUS dcRestartQueue(DRV_CTRL *pDrvCtrl);
STATUS dcRestartQueue(DRV_CTRL *pDrvCtrl)
{
    return netJobAdd(dcRestartJob, pDrvCtrl->arpcom.ac_if.if_unit, 0, 0, 0, 0);
}

void dcRestart(int unit)
{
    if (unit < 0 || unit >= DC_MAX_UNITS)
        return;
    DRV_CTRL *pDrvCtrl = &dcDrvCtrl[unit];
    struct ifnet *ifp = &pDrvCtrl->arpcom.ac_if;

    ifp->if_flags &= (short)~(IFF_UP | IFF_RUNNING);
    logMsg("dc%d -- Restarted\n", unit, 0, 0, 0, 0, 0);

    uint32_t csr6 = DC_CSR_READ(pDrvCtrl, CSR6);
    DC_CSR_WRITE(pDrvCtrl, CSR6, 0);
    dcRingsSync(pDrvCtrl);
    DC_CSR_WRITE(pDrvCtrl, CSR5, 0xFFFFFFFF);
    DC_CSR_WRITE(pDrvCtrl, CSR6, csr6);

    ifp->if_flags |= IFF_UP | IFF_RUNNING | IFF_NOTRAILERS;
}

void dcLoanFree(DRV_CTRL *pDrvCtrl, char *pRxBuf, uint8_t *pRefCnt)
{
    if (pDrvCtrl->nLoanRx >= DC_LPOOL_MAX)
        return; /* cannot happen: only buffers taken from the pool are lent */
    pDrvCtrl->lPool[pDrvCtrl->nLoanRx] = pRxBuf;
    pDrvCtrl->pRefCnt[pDrvCtrl->nLoanRx] = pRefCnt;
    pDrvCtrl->nLoanRx++;
    *pRefCnt = 0;
}
