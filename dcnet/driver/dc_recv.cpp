/* The receive job: frames are lent to the stack in place when they are large
 * and a spare buffer is at hand, copied into mbufs otherwise. */
#include "if_dc.h"

#define DC_CLUSTER_TYPE 2

STATUS dcRecvJobQueue(DRV_CTRL *pDrvCtrl);

static void dcLoanFreeEntry(void *drvCtrl, void *rxBuf, void *refCnt)
{
    dcLoanFree((DRV_CTRL *)drvCtrl, (char *)rxBuf, (uint8_t *)refCnt);
}

DC_DESC *dcGetFullRMD(DRV_CTRL *pDrvCtrl)
{
    if ((pDrvCtrl->arpcom.ac_if.if_flags & (IFF_UP | IFF_RUNNING)) != (IFF_UP | IFF_RUNNING))
        return nullptr;
    DC_DESC *rmd = &pDrvCtrl->rxRing[pDrvCtrl->rxIndex];
    dcCacheInvalidate(pDrvCtrl, rmd, DC_DESC_SIZE);
    if (rmd->desc0 & DC_HTOLE32(RDESC0_OWN))
        return nullptr;
    return rmd;
}

void dcHandleRecvInt(DRV_CTRL *pDrvCtrl)
{
    DC_DESC *rmd;

    pDrvCtrl->rxBytes = 0;
    while ((rmd = dcGetFullRMD(pDrvCtrl)) != nullptr && pDrvCtrl->rxBytes < pDrvCtrl->rxBudget) {
        pDrvCtrl->rxDesc = rmd;
        int before = pDrvCtrl->rxBytes;
        dcRecv(pDrvCtrl);
        dcCleanRXD(pDrvCtrl);
        /* Every descriptor costs the job at least a minimum-size frame, so
         * that frames which are not passed up (errors, drops, those an input
         * hook takes) or carry no data cannot keep the job going for ever. */
        if (pDrvCtrl->rxBytes - before < DC_MIN_FRAME)
            pDrvCtrl->rxBytes = before + DC_MIN_FRAME;
    }

    BOOL again = FALSE;
    if (dcGetFullRMD(pDrvCtrl) != nullptr) {
        pDrvCtrl->rxBudget = DC_RX_BUDGET_CONT;
        again = dcRecvJobQueue(pDrvCtrl) == OK; /* the pending mark stays */
    }
    if (!again) {
        pDrvCtrl->rxBudget = DC_RX_BUDGET;
        pDrvCtrl->rxJobPending = FALSE;
        DC_CSR_WRITE(pDrvCtrl, CSR7, DC_CSR_READ(pDrvCtrl, CSR7) | CSR7_RI);
    }

    pDrvCtrl->stats.rxMiss += DC_CSR_READ(pDrvCtrl, CSR8) & CSR8_MISSED;
}

STATUS dcRecv(DRV_CTRL *pDrvCtrl)
{
    struct ifnet *ifp = &pDrvCtrl->arpcom.ac_if;
    DC_DESC *rmd = pDrvCtrl->rxDesc;
    uint32_t status = DC_LE32TOH(rmd->desc0);
    DC_STATS *st = &pDrvCtrl->stats;

    if (status & RDESC0_FF)
        st->rxFltErr++;
    if (status & RDESC0_DE)
        st->rxDescErr++;
    if (status & RDESC0_RF)
        st->rxRunt++;
    if (status & RDESC0_TL)
        st->rxTooLng++;
    if (status & RDESC0_CS)
        st->rxColl++;
    if (status & RDESC0_MII)
        st->rxMiiErr++;
    if (status & RDESC0_DB)
        st->rxDribl++;
    if (status & RDESC0_CE)
        st->rxCrc++;

    if (status & RDESC0_ES) {
        ifp->if_ierrors++;
        return ERROR;
    }

    /* The length comes from the chip's descriptor and is not trusted: a frame
     * must hold at least a header and its CRC and lie within the buffer. */
    int frameLen = (int)((status >> RDESC0_FL_SHIFT) & RDESC0_FL_MASK);
    if (frameLen < ETHER_HDR_LEN + DC_CRC_LEN || frameLen > DC_BUFSIZ) {
        ifp->if_ierrors++;
        return ERROR;
    }

    ifp->if_ipackets++;
    int len = frameLen - DC_CRC_LEN;
    char *buf = dcBusToVirt(pDrvCtrl, DC_LE32TOH(rmd->desc2));
    dcCacheInvalidate(pDrvCtrl, buf, (size_t)len);

    if (etherInputHookRtn != nullptr && etherInputHookRtn(ifp, buf, len))
        return OK;

    len -= ETHER_HDR_LEN;
    uint16_t type = dcGetBe16((const uint8_t *)buf + 12);
    char *data = buf + ETHER_HDR_LEN;
    struct mbuf *m = nullptr;

    if (pDrvCtrl->nLoanRx > 0 && len >= DC_LOAN_MIN) {
        int top = pDrvCtrl->nLoanRx - 1;
        m = build_cluster(data, len, ifp, DC_CLUSTER_TYPE, pDrvCtrl->pRefCnt[top], dcLoanFreeEntry,
                          pDrvCtrl, buf, pDrvCtrl->pRefCnt[top]);
        if (m != nullptr) {
            pDrvCtrl->nLoanRx--;
            DC_DESC_STORE(rmd->desc2,
                          DC_HTOLE32(dcVirtToBus(pDrvCtrl, pDrvCtrl->lPool[top])));
        }
    }

    if (m == nullptr) {
        m = bcopy_to_mbufs(data, len, 0, ifp, pDrvCtrl->memWidth);
        if (m == nullptr) {
            ifp->if_ierrors++;
            return ERROR;
        }
    }

    do_protocol_with_type(type, m, &pDrvCtrl->arpcom, len);
    pDrvCtrl->rxBytes += len;
    return OK;
}

void dcCleanRXD(DRV_CTRL *pDrvCtrl)
{
    DC_DESC *rmd = &pDrvCtrl->rxRing[pDrvCtrl->rxIndex];
    DC_DESC_STORE(rmd->desc0, DC_HTOLE32(RDESC0_OWN));
    dcCacheFlush(pDrvCtrl, rmd, DC_DESC_SIZE);
    CACHE_PIPE_FLUSH();
    pDrvCtrl->rxIndex = (pDrvCtrl->rxIndex + 1) % pDrvCtrl->nRDs;
}
