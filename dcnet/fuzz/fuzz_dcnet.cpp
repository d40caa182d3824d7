/* libFuzzer target for the driver's untrusted inputs.
 *   first byte even: the rest is a serial ROM image (up to 128 bytes), read
 *                    and decoded by the media initialisation of a 21140 or
 *                    a 21143 (bit 1 of the first byte);
 *   first byte odd:  the rest is a list of received frames, each as
 *                    status (4 bytes), length field (2), frame length (2),
 *                    frame bytes, written into receive descriptors by the
 *                    model and taken up by the receive job. */
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../driver/if_dc.h"
#include "../host/host.h"
#include "../model/dc_model.h"
#include "../model/srom_image.h"

static const uint32_t kBase = 0x80001000u;
static const uint8_t kMac[6] = {0x08, 0x00, 0x2B, 0x12, 0x34, 0x56};

static DcModel *chips[2];

static void rxSink(void *, uint16_t, struct mbuf *m, int len)
{
    /* touch every byte handed up, so a bad length shows as a bad read */
    volatile uint8_t sum = 0;
    for (struct mbuf *n = m; n; n = n->m_next)
        for (int i = 0; i < n->m_len; i++)
            sum = (uint8_t)(sum + (uint8_t)n->m_data[i]);
    (void)len;
    m_freem(m);
}

static void txSink(void *, const uint8_t *, int) {}

static void machineUp(void)
{
    hostReset();
    memset((void *)dcDrvCtrl, 0, sizeof dcDrvCtrl);
    uint8_t img[SROM_IMAGE_SIZE];
    sromImageBuild(img, kMac, false, 0x1F, {sromCompactBlock(3, 0, 0x0081)});
    chips[0] = dcModelCreate(DCM_21140, kBase, 0x40, 5, 0, 3);
    chips[1] = dcModelCreate(DCM_21143, kBase + 0x100, 0x41, 5, 0, 4);
    dcModelSromSet(chips[0], img, sizeof img, 6);
    dcModelSromSet(chips[1], img, sizeof img, 6);
    chips[1]->phy.addr = 1;
    chips[1]->phy.regs[2] = 0x0022;
    chips[1]->phy.linkUpTick = 0;
    dcattach(0, kBase, 0x40, 5, (char *)NONE, 0, -1, 0, 0);
    dcattach(1, kBase + 0x100, 0x41, 5, (char *)NONE, 0, -1, 0, 0);
    hostRxSinkSet(rxSink, nullptr);
    dcModelTxSinkSet(chips[0], txSink, nullptr);
    dcModelTxSinkSet(chips[1], txSink, nullptr);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (chips[0] == nullptr)
        machineUp();
    if (size < 1)
        return 0;
    uint8_t mode = data[0];
    data++;
    size--;

    if ((mode & 1) == 0) {
        int unit = (mode >> 1) & 1;
        uint8_t img[SROM_IMAGE_SIZE];
        memset(img, 0xFF, sizeof img);
        memcpy(img, data, size < sizeof img ? size : sizeof img);
        dcModelSromSet(chips[unit], img, sizeof img, 6);
        DRV_CTRL *p = &dcDrvCtrl[unit];
        p->txGood = 0;
        dc21140AuiMiiInit(p, p->devAdrs, 0);
        /* whatever was decoded, the table must be usable */
        if (p->mediaCount < 0 || p->mediaCount > DC_MAX_MEDIA || p->mediaCurrent < 0 ||
            p->mediaCurrent >= p->mediaCount)
            __builtin_trap();
        for (int i = 0; i < p->mediaCount; i++)
            if (p->media[i].gpLen > DC_MEDIA_SEQ_MAX || p->media[i].resetLen > DC_MEDIA_SEQ_MAX)
                __builtin_trap();
        hostLogClear();
        return 0;
    }

    DcModel *m = chips[0];
    size_t pos = 0;
    while (pos + 8 <= size) {
        uint32_t status = (uint32_t)data[pos] | (uint32_t)data[pos + 1] << 8 |
                          (uint32_t)data[pos + 2] << 16 | (uint32_t)data[pos + 3] << 24;
        int lengthField = data[pos + 4] | data[pos + 5] << 8;
        size_t len = (size_t)(data[pos + 6] | data[pos + 7] << 8) % 1600;
        pos += 8;
        if (len > size - pos)
            len = size - pos;
        uint8_t frame[1600];
        memset(frame, 0, sizeof frame);
        memcpy(frame, data + pos, len);
        memcpy(frame, kMac, 6); /* past the address filter */
        pos += len;
        /* error and filtering bits come from the input; ownership and the
         * first/last-descriptor bits are the model's; bit 16 forges the length */
        dcModelWireRxStatus(m, frame, (int)(len < 14 ? 14 : len), status & 0x4000F8FFu,
                            (status & 0x10000u) ? lengthField : -1);
        hostRunUntilIdle(1000);
    }
    hostRunUntilIdle(1000);
    hostLogClear();
    return 0;
}
