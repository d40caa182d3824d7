/* Diagnostic display of the registers, the rings and the statistics. */
#include "if_dc.h"

#include <cstdio>

int dcCsrShow(int unit)
{
    if (unit < 0 || unit >= DC_MAX_UNITS)
        return -1;
    uint32_t a = dcDrvCtrl[unit].devAdrs;
    uint32_t c[16];
    for (int i = 0; i < 16; i++)
        c[i] = dcCsrRead(a, i);
    printf("dc%d Configuration Registers: \n", unit);
    printf(" 0=0x%x, 1=0x%x, 2=0x%x, 3=0x%x\n", c[0], c[1], c[2], c[3]);
    printf(" 4=0x%x, 5=0x%x, 6=0x%x, 7=0x%x\n", c[4], c[5], c[6], c[7]);
    printf(" 8=0x%x, 9=0x%x, 10=0x%x, 11=0x%x\n", c[8], c[9], c[10], c[11]);
    printf(" 12=0x%x, 13=0x%x, 14=0x%x, 15=0x%x\n", c[12], c[13], c[14], c[15]);
    return 0;
}

int dcShow(int unit)
{
    if (unit < 0 || unit >= DC_MAX_UNITS)
        return -1;
    DRV_CTRL *p = &dcDrvCtrl[unit];
    if (!p->attached)
        return -2;
    struct ifnet *ifp = &p->arpcom.ac_if;
    const DC_STATS *s = &p->stats;

    printf("dc%d: pDrvCtrl=0x%lx\n", unit, (unsigned long)(uintptr_t)p);
    printf(" ivec=%d ilevel=%d devAdrs=0x%x pciMemBase=0x%x memWidth=%d\n", p->ivec, p->ilevel,
           p->devAdrs, p->pciMemBase, p->memWidth);
    printf(" nTDs=%d nRDs=%d rxIndex=%d txIndex=%d nLoanRx=%d\n", p->nTDs, p->nRDs, p->rxIndex,
           p->txIndex, p->nLoanRx);
    printf(" ipackets=%d, opackets=%d ierrors=%d oerrors=%d collisions=%d\n", ifp->if_ipackets,
           ifp->if_opackets, ifp->if_ierrors, ifp->if_oerrors, ifp->if_collisions);
    printf(" len=%d maxQlen=%d drops=%d txIndex=%d txDiIndex=%d\n", ifp->if_snd.ifq_len,
           ifp->if_snd.ifq_maxlen, ifp->if_snd.ifq_drops, p->txIndex, p->txDiIndex);
    printf(" txstats: jbr=%d lostCarr=%d noCarr=%d lateColl=%d XsColl=%d\n", (int)s->txJbr,
           (int)s->txLostCarr, (int)s->txNoCarr, (int)s->txLateColl, (int)s->txXsColl);
    printf("          lnkF=%d uflo=%d defr=%d retries=%d\n", (int)s->txLnkF, (int)s->txUflo,
           (int)s->txDefr, (int)s->txRetries);
    printf("          drops=%d fl=%d fl_need=%d fl_done=%d QMax=%d QCur=%d\n", (int)s->txDrops,
           (int)s->txFl, (int)s->txFlNeed, (int)s->txFlDone, (int)s->txQMax, (int)s->txQCur);
    printf(" rxstats: fltErr=%d DescErr=%d Runt=%d tooLng=%d Coll=%d\n", (int)s->rxFltErr,
           (int)s->rxDescErr, (int)s->rxRunt, (int)s->rxTooLng, (int)s->rxColl);
    printf("          dribl=%d crc=%d ovflo=%d miiErr=%d miss=%d rxlatn=%d\n", (int)s->rxDribl,
           (int)s->rxCrc, (int)s->rxOvflo, (int)s->rxMiiErr, (int)s->rxMiss, (int)s->rxLatn);
    return 0;
}
