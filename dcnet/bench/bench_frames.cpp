/* Frames per second through the driver with the controller model: receive
 * by copy (minimum-size frames), receive by loan (the smallest frames that
 * are lent) and transmit (minimum-size frames). */
#include <benchmark/benchmark.h>

#include <vector>

#include "../driver/if_dc.h"
#include "../host/host.h"
#include "../model/dc_model.h"
#include "../model/srom_image.h"

static const uint8_t kMac[6] = {0x08, 0x00, 0x2B, 0x12, 0x34, 0x56};
static const uint32_t kCsrBase = 0x80001000u;

static unsigned long rxDelivered;
static unsigned long txOnWire;

static void rxSink(void *, uint16_t, struct mbuf *m, int) { m_freem(m), rxDelivered++; }
static void txSink(void *, const uint8_t *, int) { txOnWire++; }

static DcModel *machineUp(void)
{
    hostReset();
    memset((void *)dcDrvCtrl, 0, sizeof dcDrvCtrl);
    DcModel *m = dcModelCreate(DCM_21140, kCsrBase, 0x40, 5, 0, 3);
    uint8_t img[SROM_IMAGE_SIZE];
    sromImageBuild(img, kMac, false, 0x1F, {sromCompactBlock(3, 0, 0x0001)});
    dcModelSromSet(m, img, sizeof img, 6);
    if (dcattach(0, kCsrBase, 0x40, 5, (char *)NONE, 0, -1, 0, 0) != OK)
        return nullptr;
    hostRxSinkSet(rxSink, nullptr);
    dcModelTxSinkSet(m, txSink, nullptr);
    return m;
}

static std::vector<uint8_t> frameOf(int dataLen)
{
    std::vector<uint8_t> f(14 + (size_t)dataLen, 0x33);
    memcpy(f.data(), kMac, 6);
    f[12] = 0x08;
    f[13] = 0x00;
    return f;
}

static void rxRun(benchmark::State &state, int dataLen)
{
    DcModel *m = machineUp();
    if (m == nullptr) {
        state.SkipWithError("attach failed");
        return;
    }
    std::vector<uint8_t> f = frameOf(dataLen);
    const int batch = 16;
    rxDelivered = 0;
    for (auto _ : state) {
        for (int i = 0; i < batch; i++)
            dcModelWireRx(m, f.data(), (int)f.size());
        hostRunUntilIdle(1000);
    }
    if (rxDelivered != (unsigned long)state.iterations() * batch)
        state.SkipWithError("frames lost");
    state.SetItemsProcessed(state.iterations() * batch);
    state.counters["frame_bytes"] = (double)f.size();
    dcModelDestroy(m);
}

static void BM_ReceiveCopy(benchmark::State &state) { rxRun(state, 46); }
static void BM_ReceiveLoan(benchmark::State &state) { rxRun(state, DC_LOAN_MIN); }

static void BM_Transmit(benchmark::State &state)
{
    DcModel *m = machineUp();
    if (m == nullptr) {
        state.SkipWithError("attach failed");
        return;
    }
    struct sockaddr dst{};
    dst.sa_family = AF_UNSPEC;
    memset(dst.sa_data, 0xFF, 6);
    dst.sa_data[12] = 0x08;
    const int batch = 16;
    txOnWire = 0;
    for (auto _ : state) {
        for (int i = 0; i < batch; i++) {
            struct mbuf *mb = m_get(M_DONTWAIT, MT_DATA);
            memset(mb->m_data, 0x44, 46);
            mb->m_len = 46;
            dcOutput(&dcDrvCtrl[0].arpcom.ac_if, mb, &dst);
        }
        hostRunUntilIdle(1000);
    }
    if (txOnWire != (unsigned long)state.iterations() * batch)
        state.SkipWithError("frames lost");
    state.SetItemsProcessed(state.iterations() * batch);
    dcModelDestroy(m);
}

BENCHMARK(BM_ReceiveCopy);
BENCHMARK(BM_ReceiveLoan);
BENCHMARK(BM_Transmit);
BENCHMARK_MAIN();
