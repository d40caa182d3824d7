/* Transmit: the output routine, the start routine that fills the ring from
 * the send queue, flushing and reclamation with error accounting. */
#include "if_dc.h"

STATUS dcRestartQueue(DRV_CTRL *pDrvCtrl);

static int dcChainLen(const struct mbuf *m)
{
    int len = 0;
    for (; m; m = m->m_next)
        len += m->m_len;
    return len;
}

/* Copy a packet into a transmit buffer with the access width the shared
 * memory needs.  Partial units at the end of an mbuf are completed with the
 * first bytes of the next one, so each store is a whole unit. */
static int dcCopyFromMbufs(const struct mbuf *m, char *buf, int width)
{
    int off = 0;

    if (width == -1 || width == 1) {
        for (; m; m = m->m_next) {
            if (width == 1)
                bcopyBytes(m->m_data, buf + off, m->m_len);
            else
                memcpy(buf + off, m->m_data, (size_t)m->m_len);
            off += m->m_len;
        }
        return off;
    }
    if (width != 2 && width != 4)
        panic("bcopy_from_mbufs");

    char unit[4];
    int have = 0;
    for (; m; m = m->m_next) {
        const char *s = m->m_data;
        int n = m->m_len;
        while (n > 0) {
            if (have == 0 && n >= width) {
                int whole = n / width;
                if (width == 2)
                    bcopyWords(s, buf + off, whole);
                else
                    bcopyLongs(s, buf + off, whole);
                off += whole * width;
                s += whole * width;
                n -= whole * width;
                continue;
            }
            unit[have++] = *s++;
            n--;
            if (have == width) {
                if (width == 2)
                    bcopyWords(unit, buf + off, 1);
                else
                    bcopyLongs(unit, buf + off, 1);
                off += width;
                have = 0;
            }
        }
    }
    if (have > 0) {
        memset(unit + have, 0, (size_t)(width - have));
        if (width == 2)
            bcopyWords(unit, buf + off, 1);
        else
            bcopyLongs(unit, buf + off, 1);
    }
    return off + have;
}

int dcOutput(struct ifnet *ifp, struct mbuf *m, struct sockaddr *dst)
{
    DRV_CTRL *pDrvCtrl = &dcDrvCtrl[ifp->if_unit];
    int result = ether_output(ifp, m, dst, dcStartOutput, &pDrvCtrl->arpcom);
    if (result == NET_ENOBUFS && !pDrvCtrl->txFlushScheduled) {
        pDrvCtrl->stats.txDrops++;
        dcTxFlush(pDrvCtrl);
    }
    return result;
}

void dcStartOutput(int unit)
{
    DRV_CTRL *pDrvCtrl = &dcDrvCtrl[unit];
    struct ifnet *ifp = &pDrvCtrl->arpcom.ac_if;
    int tries = 2;

    pDrvCtrl->stats.txQCur = (uint32_t)ifp->if_snd.ifq_len;

    while (ifp->if_snd.ifq_head != nullptr && tries > 0) {
        DC_DESC *tmd = &pDrvCtrl->txRing[pDrvCtrl->txIndex];
        dcCacheInvalidate(pDrvCtrl, tmd, DC_DESC_SIZE);

        if ((tmd->desc0 & DC_HTOLE32(TDESC0_OWN)) != 0 ||
            (pDrvCtrl->txIndex + 1) % pDrvCtrl->nTDs == pDrvCtrl->txDiIndex) {
            dcTxRingClean(pDrvCtrl);
            pDrvCtrl->stats.txRetries++;
            tries--;
            continue;
        }
        tries = 2;

        struct mbuf *m;
        IF_DEQUEUE(&ifp->if_snd, m);
        char *buf = dcBusToVirt(pDrvCtrl, DC_LE32TOH(tmd->desc2));

        /* a packet longer than the buffer would overrun it: drop it */
        if (dcChainLen(m) > DC_BUFSIZ) {
            m_freem(m);
            ifp->if_oerrors++;
            ifp->if_opackets--;
            continue;
        }
        int len = dcCopyFromMbufs(m, buf, pDrvCtrl->memWidth);
        m_freem(m);
        if (len < DC_MIN_FRAME) {
            /* pad with zeros, not with what an earlier frame left in the buffer */
            memset(buf + len, 0, (size_t)(DC_MIN_FRAME - len));
            len = DC_MIN_FRAME;
        }
        dcCacheFlush(pDrvCtrl, buf, (size_t)len);

        DC_DESC_STORE(tmd->desc0, 0);
        DC_DESC_STORE(tmd->desc1,
                      (tmd->desc1 & ~DC_HTOLE32(TDESC1_SIZE_MASK)) | DC_HTOLE32((uint32_t)len));
        DC_DESC_STORE(tmd->desc0, DC_HTOLE32(TDESC0_OWN));
        dcCacheFlush(pDrvCtrl, tmd, DC_DESC_SIZE);
        CACHE_PIPE_FLUSH();

        if (dcKickStartTx)
            DC_CSR_WRITE(pDrvCtrl, CSR1, 1);

        pDrvCtrl->txIndex = (pDrvCtrl->txIndex + 1) % pDrvCtrl->nTDs;
        pDrvCtrl->txOutstanding++;
    }

    if (pDrvCtrl->stats.txQCur > pDrvCtrl->stats.txQMax)
        pDrvCtrl->stats.txQMax = pDrvCtrl->stats.txQCur;
}

void dcTxFlush(DRV_CTRL *pDrvCtrl)
{
    struct ifnet *ifp = &pDrvCtrl->arpcom.ac_if;

    pDrvCtrl->stats.txFl++;
    if (ifp->if_snd.ifq_len > 0)
        pDrvCtrl->stats.txFlNeed++;

    for (int attempts = 5; attempts > 0 && ifp->if_snd.ifq_len > 0;) {
        int before = ifp->if_snd.ifq_len;
        dcTxRingClean(pDrvCtrl);
        if ((pDrvCtrl->txIndex + 1) % pDrvCtrl->nTDs == pDrvCtrl->txDiIndex) {
            dcIdle(1000);
            attempts--;
        } else {
            dcStartOutput(ifp->if_unit);
            if (ifp->if_snd.ifq_len >= before)
                attempts--; /* no progress: the chip is not taking frames */
        }
    }

    if (ifp->if_snd.ifq_len == 0)
        pDrvCtrl->stats.txFlDone++;
    pDrvCtrl->txFlushScheduled = FALSE;
}

void dcTxRingClean(DRV_CTRL *pDrvCtrl)
{
    struct ifnet *ifp = &pDrvCtrl->arpcom.ac_if;
    DC_STATS *st = &pDrvCtrl->stats;

    while (pDrvCtrl->txDiIndex != pDrvCtrl->txIndex) {
        DC_DESC *tmd = &pDrvCtrl->txRing[pDrvCtrl->txDiIndex];
        dcCacheInvalidate(pDrvCtrl, tmd, DC_DESC_SIZE);
        uint32_t status = DC_LE32TOH(tmd->desc0);
        if (status & TDESC0_OWN)
            break;

        pDrvCtrl->txDiIndex = (pDrvCtrl->txDiIndex + 1) % pDrvCtrl->nTDs;
        pDrvCtrl->txOutstanding--;

        if (status & TDESC0_TO)
            st->txJbr++;
        if (status & TDESC0_LO)
            st->txLostCarr++;
        if (status & TDESC0_NC)
            st->txNoCarr++;
        if (status & TDESC0_LC)
            st->txLateColl++;
        if (status & TDESC0_LF)
            st->txLnkF++;
        if (status & TDESC0_UF)
            st->txUflo++;
        if (status & TDESC0_DE)
            st->txDefr++;

        if (status & TDESC0_ES) {
            if ((status & TDESC0_NC) && _func_dcNoCarrierHook != nullptr)
                _func_dcNoCarrierHook();
            if ((status & (TDESC0_NC | TDESC0_LO | TDESC0_LF)) && pDrvCtrl->mediaCount > 1) {
                dcSelectMedia(pDrvCtrl);
                return;
            }
            ifp->if_oerrors++;
            ifp->if_opackets--;
            if (status & TDESC0_EC)
                ifp->if_collisions += 16;
            if (status & TDESC0_LC)
                ifp->if_collisions++;
            if (status & TDESC0_UF) {
                ifp->if_flags &= (short)~(IFF_UP | IFF_RUNNING);
                dcRestartQueue(pDrvCtrl);
                return;
            }
        } else {
            pDrvCtrl->txGood = 1;
        }
        DC_DESC_STORE(tmd->desc0, 0);
    }
    CACHE_PIPE_FLUSH();
}
