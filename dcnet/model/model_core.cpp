/* CSR decoding, reset, interrupts and the PCI function of the model. */
#include "model_internal.h"

#include <cstring>

static uint32_t le32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint32_t dcmGet32(const void *p) { return le32((const uint8_t *)p); }

void dcmPut32(void *p, uint32_t v)
{
    uint8_t *b = (uint8_t *)p;
    b[0] = (uint8_t)v;
    b[1] = (uint8_t)(v >> 8);
    b[2] = (uint8_t)(v >> 16);
    b[3] = (uint8_t)(v >> 24);
}

int dcmSleeping(const DcModel *m)
{
    return m->deviceId == DCM_21143 && (le32(m->pciConfig + 0x40) & 0xC0000000u) != 0;
}

static uint32_t summary(const DcModel *m)
{
    uint32_t en = m->csr[7];
    uint32_t s = m->status;
    uint32_t v = s;
    if (s & en & (S_TI | S_TU | S_RI | S_ERI))
        v |= S_NIS;
    if (s & en & (S_TPS | S_TJT | S_UNF | S_RU | S_RPS | S_RWT | S_GTE | S_LNF | S_FBE))
        v |= S_AIS;
    return v;
}

static uint32_t procBits(const DcModel *m)
{
    uint32_t v = 0;
    if (m->rxState == DCM_RUNNING)
        v |= 3u << 17; /* waiting for a frame */
    else if (m->rxState == DCM_SUSPENDED)
        v |= 4u << 17;
    if (m->txState == DCM_RUNNING)
        v |= 3u << 20;
    else if (m->txState == DCM_SUSPENDED)
        v |= 6u << 20;
    return v;
}

void dcmIrqUpdate(DcModel *m)
{
    uint32_t s = summary(m);
    bool asserted = ((s & S_NIS) && (m->csr[7] & S_NIS)) || ((s & S_AIS) && (m->csr[7] & S_AIS));
    hostIntLineSet(m->ivec, m->ilevel, asserted ? TRUE : FALSE);
}

static void softReset(DcModel *m)
{
    /* list base addresses and the address filter survive a reset */
    for (int i = 0; i < 16; i++)
        if (i != 3 && i != 4)
            m->csr[i] = 0;
    m->status = 0;
    m->rxState = m->txState = DCM_STOPPED;
    m->rxCur = m->rxBase;
    m->txCur = m->txBase;
    m->missed = 0;
    m->missedOverflow = 0;
    m->sr = DcSromState{};
    m->mii = DcMiiState{};
    m->mii.mdi = 1;
    m->gpCtl = 0;
    m->gpOut = 0;
    m->addrRomPtr = 0;
    m->softResets++;
    dcmIrqUpdate(m);
}

void dcmFatal(DcModel *m)
{
    m->status |= S_FBE;
    m->rxState = m->txState = DCM_STOPPED;
    dcmIrqUpdate(m);
}

void dcmDmaFault(DcModel *m)
{
    m->dmaFaults++;
    dcmFatal(m);
}

static uint32_t sia21040Status(const DcModel *m)
{
    uint32_t v = 0;
    if (m->csr[13] == 4 && !m->link[DCM_PORT_TP])
        v |= 0x2; /* link fail */
    if (m->csr[13] == 12 && !m->link[DCM_PORT_AUI])
        v |= 0x4; /* network connection error */
    return v;
}

static int port10(const DcModel *m)
{
    if (m->csr[13] == 9)
        return (m->csr[15] & 0x8) ? DCM_PORT_AUI : DCM_PORT_BNC;
    return DCM_PORT_TP;
}

static uint32_t sia21143Status(const DcModel *m)
{
    uint32_t v = 0;
    int l10 = m->link[port10(m)];
    int l100 = m->link[DCM_PORT_SYM];
    if (l100)
        v |= 0x1;
    else
        v |= 0x2;
    if (!l10)
        v |= 0x4;
    if (l10)
        v |= 0x100;
    return v;
}

static uint32_t gpPins(const DcModel *m)
{
    return ((m->gpOut & m->gpCtl) | (m->gpIn & ~m->gpCtl)) & 0xFF;
}

static uint32_t csrValue(DcModel *m, int n, bool sideEffects)
{
    switch (n) {
    case 5:
        return summary(m) | procBits(m);
    case 8: {
        uint32_t v = (m->missed & 0xFFFF) | (m->missedOverflow ? 0x10000u : 0);
        if (sideEffects) {
            m->missed = 0;
            m->missedOverflow = 0;
        }
        return v;
    }
    case 9:
        if (m->deviceId == DCM_21040) {
            if (m->addrRomStuck)
                return 0x80000000u | 0xFF;
            uint32_t b = m->addrRom[m->addrRomPtr % 32];
            if (sideEffects)
                m->addrRomPtr++;
            return b;
        }
        return (m->csr[9] & ~(0x8u | 0x80000u)) | (m->sr.dataOut ? 0x8u : 0) |
               (m->mii.mdi ? 0x80000u : 0);
    case 12:
        if (m->deviceId == DCM_21040)
            return sia21040Status(m);
        if (m->deviceId == DCM_21143)
            return sia21143Status(m);
        return gpPins(m);
    case 15:
        if (m->deviceId == DCM_21143)
            return (m->csr[15] & 0xFFFF) | gpPins(m) << 16;
        return m->csr[15];
    default:
        return m->csr[n];
    }
}

uint32_t dcModelCsrPeek(DcModel *m, int n) { return csrValue(m, n & 15, false); }

static uint32_t busRead(void *ctx, uint32_t off)
{
    DcModel *m = (DcModel *)ctx;
    if (off & 7)
        return 0xFFFFFFFF;
    return csrValue(m, (int)(off >> 3) & 15, true);
}

static void csr6Write(DcModel *m, uint32_t v)
{
    uint32_t old = m->csr[6];
    m->csr[6] = v;
    m->lastCsr6Written = v;
    if (!(v & C6_ST))
        m->txState = DCM_STOPPED;
    else if (!(old & C6_ST) || m->txState == DCM_STOPPED) {
        m->txState = DCM_RUNNING;
        dcmTxRun(m);
    }
    if (!(v & C6_SR))
        m->rxState = DCM_STOPPED;
    else if (!(old & C6_SR) || m->rxState == DCM_STOPPED)
        m->rxState = DCM_RUNNING;
}

static void busWrite(void *ctx, uint32_t off, uint32_t v)
{
    DcModel *m = (DcModel *)ctx;
    if (off & 7)
        return;
    int n = (int)(off >> 3) & 15;
    switch (n) {
    case 0:
        if (v & 1) {
            softReset(m);
            return;
        }
        m->csr[0] = v;
        break;
    case 1:
        m->pollDemands++;
        if (m->txState != DCM_STOPPED) {
            m->txState = DCM_RUNNING;
            dcmTxRun(m);
        }
        break;
    case 2:
        if (m->rxState == DCM_SUSPENDED)
            m->rxState = DCM_RUNNING;
        break;
    case 3:
        m->csr[3] = v;
        m->rxBase = m->rxCur = v;
        break;
    case 4:
        m->csr[4] = v;
        m->txBase = m->txCur = v;
        break;
    case 5:
        m->status &= ~(v & 0x1FFFF);
        break;
    case 6:
        csr6Write(m, v);
        break;
    case 7:
        m->csr[7] = v;
        break;
    case 9:
        m->csr[9] = v;
        if (m->deviceId == DCM_21040)
            m->addrRomPtr = 0;
        else {
            dcmSromClock(m, v);
            dcmMiiClock(m, v);
        }
        break;
    case 12:
        if (m->deviceId == DCM_21140) {
            if (v & 0x100) {
                m->gpCtl = v & 0xFF;
                m->gpCtlWrites++;
            } else {
                m->gpOut = v & 0xFF;
            }
        }
        m->csr[12] = v;
        break;
    case 15:
        m->csr[15] = v;
        if (m->deviceId == DCM_21143) {
            if (v & 0x08000000u) {
                m->gpCtl = (v >> 16) & 0xFF;
                m->gpCtlWrites++;
            } else {
                m->gpOut = (v >> 16) & 0xFF;
            }
        }
        break;
    default:
        m->csr[n] = v;
        break;
    }
    dcmIrqUpdate(m);
}

DcModel *dcModelCreate(uint16_t deviceId, uint32_t csrBase, int ivec, int ilevel, int pciBus,
                       int pciDev)
{
    DcModel *m = new DcModel{};
    m->deviceId = deviceId;
    m->csrBase = csrBase;
    m->ivec = ivec;
    m->ilevel = ilevel;
    /* vendor, device, I/O base address register */
    dcmPut32(m->pciConfig, 0x1011u | (uint32_t)deviceId << 16);
    dcmPut32(m->pciConfig + 0x10, (csrBase & 0xFFFFFF80u) | 1u);
    m->sromWords = 0;
    m->sromAddrBits = 6;
    m->phy.addr = -1;
    m->phy.linkUpTick = -1;
    m->mii.mdi = 1;
    for (int i = 0; i < DCM_NPORTS; i++)
        m->link[i] = 1;
    hostBusWindowAdd(csrBase, DCM_CSR_WINDOW, busRead, busWrite, m);
    hostPciDeviceAdd(pciBus, pciDev, m->pciConfig);
    return m;
}

void dcModelDestroy(DcModel *m)
{
    if (m == nullptr)
        return;
    hostBusWindowRemove(m);
    hostDmaWatchRemove(m);
    hostPciDeviceRemove(m->pciConfig);
    hostIntLineSet(m->ivec, m->ilevel, FALSE);
    delete m;
}

void dcModelTxErrorInject(DcModel *m, uint32_t statusBits, int count)
{
    m->txErrBits = statusBits;
    m->txErrCount = count;
}

void dcModelFatalBusError(DcModel *m) { dcmFatal(m); }
