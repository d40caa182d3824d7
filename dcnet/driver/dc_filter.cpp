/* The address filter setup frame and the ioctl entry. */
#include "if_dc.h"

#define DC_IOCTL_PROMISC 256

STATUS dcRestartQueue(DRV_CTRL *pDrvCtrl);

STATUS dcFltrFrmSetup(DRV_CTRL *pDrvCtrl, const uint8_t *pAddrs, int count)
{
    if (count < 0 || count > DC_SETUP_ENTRIES || (count > 0 && pAddrs == nullptr))
        return ERROR;

    /* unused entries stay all ones: the broadcast address */
    memset(pDrvCtrl->setupBuf, 0xFF, DC_SETUP_FRAME_SIZE);
    for (int i = 0; i < count; i++) {
        uint8_t *entry = pDrvCtrl->setupBuf + 12 * i;
        for (int j = 0; j < 3; j++) {
            entry[4 * j] = pAddrs[6 * i + 2 * j];
            entry[4 * j + 1] = pAddrs[6 * i + 2 * j + 1];
            entry[4 * j + 2] = 0;
            entry[4 * j + 3] = 0;
        }
    }
    return OK;
}

/* How long the chip may take to process the setup frame before it is given
 * up on: one second. */
static BOOL dcSetupWait(DRV_CTRL *pDrvCtrl, DC_DESC *tmd)
{
    uint32_t start = tickGet();
    uint32_t limit = (uint32_t)sysClkRateGet();
    for (int polls = 0;; polls++) {
        dcCacheInvalidate(pDrvCtrl, tmd, DC_DESC_SIZE);
        if ((tmd->desc0 & DC_HTOLE32(TDESC0_OWN)) == 0)
            return TRUE;
        if (tickGet() - start > limit)
            return FALSE;
        if (polls < 100)
            dcIdle(100);
        else
            taskDelay(1);
    }
}

STATUS dcFltrFrmXmit(DRV_CTRL *pDrvCtrl, const uint8_t *pAddrs, int count)
{
    semTake(pDrvCtrl->txSem, WAIT_FOREVER);

    if (dcFltrFrmSetup(pDrvCtrl, pAddrs, count) != OK) {
        semGive(pDrvCtrl->txSem);
        return ERROR;
    }

    DC_DESC *tmd = &pDrvCtrl->txRing[pDrvCtrl->txIndex];
    dcCacheInvalidate(pDrvCtrl, tmd, DC_DESC_SIZE);
    if ((tmd->desc0 & DC_HTOLE32(TDESC0_OWN)) != 0 ||
        (pDrvCtrl->txIndex + 1) % pDrvCtrl->nTDs == pDrvCtrl->txDiIndex) {
        semGive(pDrvCtrl->txSem);
        return ERROR;
    }

    char *buf = dcBusToVirt(pDrvCtrl, DC_LE32TOH(tmd->desc2));
    bcopyLongs((const char *)pDrvCtrl->setupBuf, buf, DC_SETUP_FRAME_SIZE / 4);
    dcCacheFlush(pDrvCtrl, buf, DC_SETUP_FRAME_SIZE);

    DC_DESC_STORE(tmd->desc0, 0);
    DC_DESC_STORE(tmd->desc1, (tmd->desc1 & ~DC_HTOLE32(TDESC1_SIZE_MASK)) |
                                  DC_HTOLE32(TDESC1_SET | DC_SETUP_FRAME_SIZE));
    DC_DESC_STORE(tmd->desc0, DC_HTOLE32(TDESC0_OWN));
    dcCacheFlush(pDrvCtrl, tmd, DC_DESC_SIZE);
    CACHE_PIPE_FLUSH();
    pDrvCtrl->txIndex = (pDrvCtrl->txIndex + 1) % pDrvCtrl->nTDs;
    pDrvCtrl->txDiIndex = (pDrvCtrl->txDiIndex + 1) % pDrvCtrl->nTDs;

    uint32_t csr7 = DC_CSR_READ(pDrvCtrl, CSR7);
    DC_CSR_WRITE(pDrvCtrl, CSR7, 0);
    if (dcKickStartTx)
        DC_CSR_WRITE(pDrvCtrl, CSR1, 1);

    BOOL released = dcSetupWait(pDrvCtrl, tmd);
    if (!released) {
        logMsg("dc%d: setup frame not released by the chip\n", pDrvCtrl->arpcom.ac_if.if_unit, 0,
               0, 0, 0, 0);
        /* the chip is stuck on this descriptor: once the descriptor is taken
         * back, only a restart puts the chip and the ring in step again */
        if (pDrvCtrl->attached)
            dcRestartQueue(pDrvCtrl);
    }

    /* either way the descriptor goes back to plain data use */
    DC_DESC_STORE(tmd->desc0, 0);
    DC_DESC_STORE(tmd->desc1, tmd->desc1 & ~DC_HTOLE32(TDESC1_SET));
    dcCacheFlush(pDrvCtrl, tmd, DC_DESC_SIZE);
    CACHE_PIPE_FLUSH();

    DC_CSR_WRITE(pDrvCtrl, CSR7, csr7);
    semGive(pDrvCtrl->txSem);
    return released ? OK : ERROR;
}

int dcIoctl(struct ifnet *ifp, int cmd, char *data)
{
    DRV_CTRL *pDrvCtrl = &dcDrvCtrl[ifp->if_unit];

    switch ((uint32_t)cmd) {
    case SIOCSIFADDR: {
        if (data == nullptr)
            return NET_EINVAL;
        const struct ifaddr *ifa = (const struct ifaddr *)data;
        /* sockaddr_in: family, port, then the address */
        memcpy(&pDrvCtrl->arpcom.ac_ipaddr, ifa->ifa_addr.sa_data + 2, sizeof(struct in_addr));
        return 0;
    }
    case SIOCSIFFLAGS:
        return 0;
    case DC_IOCTL_PROMISC:
        DC_CSR_WRITE(pDrvCtrl, CSR6, DC_CSR_READ(pDrvCtrl, CSR6) | CSR6_PR);
        return 0;
    default:
        return NET_EINVAL;
    }
}
