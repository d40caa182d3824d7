/* Descriptor processing: the transmit and receive processes reading and
 * writing descriptors and buffers in host memory, in little-endian order. */
#include "model_internal.h"

#include <cstring>

#define DCM_RING_GUARD 4096 /* descriptors walked per poll, at most */

static uint32_t ringStep(const DcModel *m) { return 16u + ((m->csr[0] >> 2) & 0x1F) * 4u; }

static void loadFilter(DcModel *m, const uint8_t *setup)
{
    for (int e = 0; e < 16; e++) {
        for (int j = 0; j < 3; j++) {
            uint32_t w = dcmGet32(setup + 12 * e + 4 * j);
            m->filter[e][2 * j] = (uint8_t)w;
            m->filter[e][2 * j + 1] = (uint8_t)(w >> 8);
        }
    }
    m->filterLoaded = 1;
    m->setupFrames++;
}

static bool filterPass(const DcModel *m, const uint8_t *dst)
{
    if (m->csr[6] & C6_PR)
        return true;
    if ((dst[0] & 1) && (m->csr[6] & C6_PM))
        return true;
    if (!m->filterLoaded)
        return false;
    for (int e = 0; e < 16; e++)
        if (memcmp(m->filter[e], dst, 6) == 0)
            return true;
    return false;
}

static void wireOut(DcModel *m, const uint8_t *frame, int len)
{
    if (m->txSink)
        m->txSink(m->txSinkCtx, frame, len);
    else
        m->wire.emplace_back(frame, frame + len);
}

void dcmTxRun(DcModel *m)
{
    if (dcmSleeping(m) || m->txHold)
        return;
    for (int guard = 0; guard < DCM_RING_GUARD && m->txState == DCM_RUNNING; guard++) {
        uint8_t *d = (uint8_t *)hostBusToVirt(m->txCur, 16);
        if (d == nullptr || (m->txCur & 3) != 0) {
            dcmDmaFault(m);
            return;
        }
        uint32_t d0 = dcmGet32(d);
        if (!(d0 & D0_OWN)) {
            m->txState = DCM_SUSPENDED;
            m->status |= S_TU;
            break;
        }
        uint32_t d1 = dcmGet32(d + 4);
        uint32_t bufAdrs = dcmGet32(d + 8);
        int size = (int)(d1 & D1_SIZE);
        uint32_t st = 0;

        /* Descriptors and receive buffers must lie on longword boundaries;
         * the model asks the same of transmit buffers, which the driver
         * places alike, so that a misplaced buffer of either kind shows. */
        if ((bufAdrs & 3) != 0) {
            dcmDmaFault(m);
            return;
        }
        if (d1 & D1_SET) {
            const uint8_t *setup = (const uint8_t *)hostBusToVirt(bufAdrs, 192);
            if (setup == nullptr) {
                dcmDmaFault(m);
                return;
            }
            if (size < 192) {
                dcmFatal(m);
                return;
            }
            loadFilter(m, setup);
        } else {
            const uint8_t *frame = (const uint8_t *)hostBusToVirt(bufAdrs, (size_t)size);
            if (frame == nullptr) {
                dcmDmaFault(m);
                return;
            }
            if (m->txErrCount > 0) {
                st = m->txErrBits;
                m->txErrCount--;
            }
            if (!(st & 0x8000u) && size > 0) {
                uint32_t om = m->csr[6] & C6_OM_MASK;
                if (om != C6_OM_INT)
                    wireOut(m, frame, size);
                if (om == C6_OM_INT || om == C6_OM_EXT)
                    dcmRxFrame(m, frame, size, 0, -1);
                m->txFrames++;
            }
        }

        dcmPut32(d, st); /* ownership back to the host */
        if (d1 & D1_IC)
            m->status |= S_TI;
        m->txCur = (d1 & D1_TER) ? m->txBase : m->txCur + ringStep(m);
        if (st & 0x2u) { /* underflow: the process suspends */
            m->status |= S_UNF;
            m->txState = DCM_SUSPENDED;
            break;
        }
    }
    dcmIrqUpdate(m);
}

int dcmRxFrame(DcModel *m, const uint8_t *frame, int len, uint32_t statusBits, int lengthField)
{
    if (m->rxState == DCM_STOPPED || dcmSleeping(m) || len < 6)
        return DCM_RX_STOPPED;
    if (!filterPass(m, frame))
        return DCM_RX_FILTERED;

    uint8_t *d = (uint8_t *)hostBusToVirt(m->rxCur, 16);
    if (d == nullptr || (m->rxCur & 3) != 0) {
        dcmDmaFault(m);
        return DCM_RX_FAULT;
    }
    uint32_t d0 = dcmGet32(d);
    if (!(d0 & D0_OWN)) {
        /* no buffer: the frame is lost and counted */
        m->rxState = DCM_SUSPENDED;
        m->status |= S_RU;
        if (m->missed == 0xFFFF)
            m->missedOverflow = 1;
        else
            m->missed++;
        dcmIrqUpdate(m);
        return DCM_RX_MISSED;
    }
    m->rxState = DCM_RUNNING;

    uint32_t d1 = dcmGet32(d + 4);
    int size = (int)(d1 & D1_SIZE);
    uint32_t bufAdrs = dcmGet32(d + 8);
    uint8_t *buf = (uint8_t *)hostBusToVirt(bufAdrs, (size_t)size);
    if (buf == nullptr || (bufAdrs & 3) != 0) {
        dcmDmaFault(m);
        return DCM_RX_FAULT;
    }

    /* frame plus frame check sequence; the model does not compute the FCS */
    int total = len + 4;
    uint32_t st = 0x00000300u | statusBits; /* first and last descriptor */
    if (total > size) {
        st |= 0x8000u | 0x80u; /* a giant the driver's buffers cannot hold */
        memcpy(buf, frame, (size_t)(size < len ? size : len));
    } else {
        memcpy(buf, frame, (size_t)len);
        memset(buf + len, 0, 4);
    }
    if (frame[0] & 1)
        st |= 0x400u; /* multicast */
    uint32_t fl = lengthField >= 0 ? (uint32_t)lengthField : (uint32_t)total;
    st |= (fl & 0x7FFFu) << 16;
    dcmPut32(d, st);

    m->status |= S_RI;
    m->rxCur = (d1 & D1_RER) ? m->rxBase : m->rxCur + ringStep(m);
    m->rxFrames++;
    dcmIrqUpdate(m);
    return DCM_RX_OK;
}

int dcModelWireRx(DcModel *m, const uint8_t *frame, int len)
{
    return dcmRxFrame(m, frame, len, 0, -1);
}

int dcModelWireRxStatus(DcModel *m, const uint8_t *frame, int len, uint32_t statusBits,
                        int lengthField)
{
    return dcmRxFrame(m, frame, len, statusBits, lengthField);
}

void dcModelWireRxAtStore(DcModel *m, const uint8_t *frame, int len)
{
    m->arrivals.emplace_back(frame, frame + len);
}

/* A poll of the chip's own: a suspended transmit process looks at its
 * current descriptor again, and one frame waiting on the wire comes in. */
static void storeWatch(void *ctx)
{
    DcModel *m = (DcModel *)ctx;
    if (!m->arrivals.empty()) {
        std::vector<uint8_t> f = std::move(m->arrivals.front());
        m->arrivals.pop_front();
        dcmRxFrame(m, f.data(), (int)f.size(), 0, -1);
    }
    if (m->txState == DCM_STOPPED || m->txHold || dcmSleeping(m))
        return;
    if (m->txState == DCM_SUSPENDED) {
        const uint8_t *d = (const uint8_t *)hostBusToVirt(m->txCur, 16);
        if (d != nullptr && (m->txCur & 3) == 0 && !(dcmGet32(d) & D0_OWN))
            return; /* nothing new: no status for a poll that found nothing */
        m->txState = DCM_RUNNING;
    }
    dcmTxRun(m);
}

void dcModelPollOnStoresSet(DcModel *m, bool on)
{
    if (on)
        hostDmaWatchAdd(storeWatch, m);
    else
        hostDmaWatchRemove(m);
}

void dcModelTxSinkSet(DcModel *m, DCM_TX_SINK sink, void *ctx)
{
    m->txSink = sink;
    m->txSinkCtx = ctx;
}

int dcModelWireTxCount(DcModel *m) { return (int)m->wire.size(); }

bool dcModelWireTxTake(DcModel *m, std::vector<uint8_t> *frame)
{
    if (m->wire.empty())
        return false;
    *frame = std::move(m->wire.front());
    m->wire.pop_front();
    return true;
}
