/* A software model of the DEC 21040, 21140 and 21143 as their driver sees
 * them: the sixteen CSRs on the PCI bus, descriptor and buffer DMA over host
 * memory in little-endian order, the serial ROM and the 21040 address ROM
 * through CSR9, an MII PHY through management frames, the SIA and
 * general-purpose port registers, link states, and a wire to the test. */
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#define DCM_21040 0x0002
#define DCM_21140 0x0009
#define DCM_21143 0x0019

#define DCM_CSR_WINDOW 0x80

enum dcm_proc { DCM_STOPPED = 0, DCM_RUNNING, DCM_SUSPENDED };

/* ports whose link the test controls */
enum dcm_port { DCM_PORT_TP = 0, DCM_PORT_BNC, DCM_PORT_AUI, DCM_PORT_SYM, DCM_NPORTS };

/* results of offering a frame from the wire */
enum dcm_rx_result { DCM_RX_OK = 0, DCM_RX_STOPPED, DCM_RX_FILTERED, DCM_RX_MISSED, DCM_RX_FAULT };

typedef void (*DCM_TX_SINK)(void *ctx, const uint8_t *frame, int len);

struct DcSromState {
    int state;
    int bits;
    uint32_t shift;
    int op;
    uint16_t word;
    int outBits;
    int dataOut;
    int prevClk;
};

struct DcMiiState {
    int state;
    int ones;
    int bits;
    uint32_t shift;
    int phyAd;
    int reg;
    uint16_t value;
    int mdi;
    int prevMdc;
};

struct DcPhy {
    int addr;              /* -1: no PHY on the management interface */
    uint16_t regs[32];
    int64_t linkUpTick;    /* link comes up at this tick of the host clock; -1 never */
    int writes;            /* management writes seen */
};

struct DcModel {
    uint16_t deviceId;
    uint32_t csrBase;
    int ivec;
    int ilevel;
    uint8_t pciConfig[256];

    uint32_t csr[16];      /* registers as last written */
    uint32_t status;       /* CSR5 bits 16:0 */
    uint32_t rxBase, txBase, rxCur, txCur;
    int rxState, txState;
    uint32_t missed;
    int missedOverflow;

    uint8_t filter[16][6];
    int filterLoaded;
    int setupFrames;

    /* serial ROM (21140, 21143) */
    uint8_t srom[512];
    int sromWords;         /* 0: no ROM fitted (reads all ones) */
    int sromAddrBits;
    DcSromState sr;

    /* 21040 address ROM */
    uint8_t addrRom[32];
    int addrRomPtr;
    int addrRomStuck;      /* the ROM never reports a byte ready */

    DcMiiState mii;
    DcPhy phy;

    int link[DCM_NPORTS];
    uint16_t gpIn;         /* general-purpose input pins */
    uint32_t gpCtl;
    uint32_t gpOut;
    int gpCtlWrites;

    /* transmit side */
    DCM_TX_SINK txSink;
    void *txSinkCtx;
    std::deque<std::vector<uint8_t>> wire; /* frames sent, when no sink is set */
    uint32_t txErrBits;
    int txErrCount;
    int txHold;            /* the chip never takes a descriptor back */

    unsigned long txFrames, rxFrames, pollDemands, softResets;
    uint32_t lastCsr6Written;

    /* bus errors the chip ran into itself: a descriptor or buffer address
     * off longword alignment, or no memory at an address (master abort) */
    unsigned long dmaFaults;
    /* frames that arrive one at each of the driver's descriptor stores */
    std::deque<std::vector<uint8_t>> arrivals;
};

DcModel *dcModelCreate(uint16_t deviceId, uint32_t csrBase, int ivec, int ilevel, int pciBus,
                       int pciDev);
void dcModelDestroy(DcModel *m);

/* ROMs: an SROM image of len bytes (words little-endian); nullptr removes it */
void dcModelSromSet(DcModel *m, const uint8_t *img, int len, int addrBits);
void dcModelAddrRomSet(DcModel *m, const uint8_t *rom, int len);

/* Polling on its own: the chip looks at its lists after every descriptor
 * store of the driver and every cache flush, not only when a register is
 * written, so a descriptor handed over before it is complete is caught
 * half-written.  Off by default. */
void dcModelPollOnStoresSet(DcModel *m, bool on);

/* the wire */
int dcModelWireRx(DcModel *m, const uint8_t *frame, int len);
/* queue a frame that arrives at one of the driver's next descriptor stores
 * (with polling on stores), i.e. in the middle of the driver's work */
void dcModelWireRxAtStore(DcModel *m, const uint8_t *frame, int len);
/* as above with extra status bits and, when lengthField >= 0, a forged length */
int dcModelWireRxStatus(DcModel *m, const uint8_t *frame, int len, uint32_t statusBits,
                        int lengthField);
void dcModelTxSinkSet(DcModel *m, DCM_TX_SINK sink, void *ctx);
int dcModelWireTxCount(DcModel *m);
bool dcModelWireTxTake(DcModel *m, std::vector<uint8_t> *frame);

/* faults */
void dcModelTxErrorInject(DcModel *m, uint32_t statusBits, int count);
void dcModelFatalBusError(DcModel *m);

/* register contents without the side effects of a bus read */
uint32_t dcModelCsrPeek(DcModel *m, int n);
