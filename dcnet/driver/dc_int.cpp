/* dcInt: acknowledge the chip and hand the work to the network job task. */
#include "if_dc.h"

#define DC_INT_LOOPS 16 /* a chip that keeps raising status cannot hold the CPU */

STATUS dcRestartQueue(DRV_CTRL *pDrvCtrl);

static void dcTxFlushJob(intptr_t p, intptr_t, intptr_t, intptr_t, intptr_t)
{
    dcTxFlush((DRV_CTRL *)p);
}

static void dcRecvJob(intptr_t p, intptr_t, intptr_t, intptr_t, intptr_t)
{
    dcHandleRecvInt((DRV_CTRL *)p);
}

STATUS dcRecvJobQueue(DRV_CTRL *pDrvCtrl);
STATUS dcRecvJobQueue(DRV_CTRL *pDrvCtrl)
{
    return netJobAdd(dcRecvJob, (intptr_t)pDrvCtrl, 0, 0, 0, 0);
}

void dcInt(DRV_CTRL *pDrvCtrl)
{
    struct ifnet *ifp = &pDrvCtrl->arpcom.ac_if;

    for (int loop = 0; loop < DC_INT_LOOPS; loop++) {
        uint32_t stat = DC_CSR_READ(pDrvCtrl, CSR5);
        DC_CSR_WRITE(pDrvCtrl, CSR5, stat);

        if ((stat & (CSR5_NIS | CSR5_AIS)) == 0)
            return;

        if (stat & CSR5_FBE) {
            ifp->if_ierrors++;
            ifp->if_flags &= (short)~(IFF_UP | IFF_RUNNING);
            dcRestartQueue(pDrvCtrl);
            return;
        }

        if ((stat & CSR5_TU) && ifp->if_snd.ifq_len > 0 && !pDrvCtrl->txFlushScheduled) {
            pDrvCtrl->txFlushScheduled = TRUE;
            if (netJobAdd(dcTxFlushJob, (intptr_t)pDrvCtrl, 0, 0, 0, 0) != OK)
                pDrvCtrl->txFlushScheduled = FALSE; /* try again on the next interrupt */
        }

        if (!pDrvCtrl->rxJobPending && dcGetFullRMD(pDrvCtrl) != nullptr) {
            pDrvCtrl->rxJobPending = TRUE;
            DC_CSR_WRITE(pDrvCtrl, CSR7, DC_CSR_READ(pDrvCtrl, CSR7) & ~CSR7_RI);
            if (dcRecvJobQueue(pDrvCtrl) != OK) {
                pDrvCtrl->rxJobPending = FALSE;
                DC_CSR_WRITE(pDrvCtrl, CSR7, DC_CSR_READ(pDrvCtrl, CSR7) | CSR7_RI);
            }
        }

        if ((stat & CSR5_STATUS_MASK) == 0)
            return;
    }
}
