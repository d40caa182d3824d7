/* dcnet: driver for the DEC 21040, 21140 and 21143 PCI Ethernet controllers. */
#pragma once

#include "../host/kernel.h"
#include "../host/netstack.h"
#include "dc_endian.h"

#define DC_MAX_UNITS 4

#define DC_VENDOR_ID 0x1011
#define DC_DEVICE_21040 0x0002
#define DC_DEVICE_21140 0x0009
#define DC_DEVICE_21143 0x0019

#define DC_BUFSIZ 1520        /* receive and transmit buffer */
#define DC_MIN_FRAME 60       /* shortest frame on the wire without CRC */
#define DC_CRC_LEN 4
#define DC_LOAN_MIN 512       /* received data lengths from here on are lent */
#define DC_LPOOL_MAX 16
#define DC_SETUP_FRAME_SIZE 192
#define DC_SETUP_ENTRIES 16
#define DC_DESC_SIZE 16
#define DC_MIN_RING 5
#define DC_MEM_SLACK 224      /* setup frame and one spare descriptor per ring */
#define DC_RX_BUDGET 2144
#define DC_RX_BUDGET_CONT 16080
#define DC_SROM_SIZE 128      /* words 0-63 */
#define DC_NVRAM_ENET_OFFSET 7724
#define DC_MAX_MEDIA 16
#define DC_MEDIA_SEQ_MAX 10
#define DC_ROM_POLLS 10

/* user flags (dcattach) */
#define DC_USR_PROMISCUOUS 0x1
#define DC_USR_MULTICAST 0x2
#define DC_USR_PHY_FORCE 0x4
#define DC_USR_FULL_DUPLEX 0x10
#define DC_USR_LOOPBACK_INT 0x100
#define DC_USR_LOOPBACK_EXT 0x200

/* control and status registers */
#define CSR0 0
#define CSR1 1
#define CSR2 2
#define CSR3 3
#define CSR4 4
#define CSR5 5
#define CSR6 6
#define CSR7 7
#define CSR8 8
#define CSR9 9
#define CSR10 10
#define CSR11 11
#define CSR12 12
#define CSR13 13
#define CSR14 14
#define CSR15 15

#define CSR0_SWR 0x00000001
#define CSR0_BUS_MODE 0x0020E002 /* read multiple, 32-longword cache alignment and burst, round robin */
#define CSR0_21143_EXTRA 0x00880000

#define CSR5_TI 0x00000001
#define CSR5_TU 0x00000004
#define CSR5_UNF 0x00000020
#define CSR5_RI 0x00000040
#define CSR5_RU 0x00000080
#define CSR5_FBE 0x00002000
#define CSR5_AIS 0x00008000
#define CSR5_NIS 0x00010000
#define CSR5_STATUS_MASK 0x0001FFFF
#define CSR5_RUNNING 0x00660000 /* receive or transmit process active */

#define CSR6_SR 0x00000002      /* start receive */
#define CSR6_PR 0x00000040      /* promiscuous */
#define CSR6_PM 0x00000080      /* pass all multicast */
#define CSR6_FD 0x00000200
#define CSR6_OM_INT 0x00000400  /* internal loopback */
#define CSR6_OM_EXT 0x00000800  /* external loopback */
#define CSR6_ST 0x00002000      /* start transmit */
#define CSR6_PS 0x00040000      /* port select */
#define CSR6_SCR 0x00800000
#define CSR6_MBO 0x02000000     /* must be one */
#define CSR6_PRIME 0x02642400
#define CSR6_MEDIA_SET 0x8202C000

#define CSR7_RI CSR5_RI
#define CSR7_ENABLE 0x0001A0C4

#define CSR8_MISSED 0x0001FFFF

/* serial ROM through CSR9 */
#define CSR9_SR_BASE 0x2800
#define CSR9_SR_CS 0x1
#define CSR9_SR_CLK 0x2
#define CSR9_SR_DI 0x4
#define CSR9_SR_DO 0x8
#define CSR9_ROM_BUSY 0x80000000 /* 21040 address ROM: byte not ready */

/* MII management through CSR9 */
#define CSR9_MII_BASE_WR 0x2000
#define CSR9_MII_BASE_RD 0x4000
#define CSR9_MDC 0x00010000
#define CSR9_MDO 0x00020000
#define CSR9_MII_RD 0x00040000
#define CSR9_MDI 0x00080000

/* receive descriptor */
#define RDESC0_OWN 0x80000000
#define RDESC0_FF 0x40000000
#define RDESC0_FL_SHIFT 16
#define RDESC0_FL_MASK 0x7FFF /* bits 30:16 */
#define RDESC0_ES 0x00008000
#define RDESC0_DE 0x00004000
#define RDESC0_RF 0x00000800
#define RDESC0_TL 0x00000080
#define RDESC0_CS 0x00000040
#define RDESC0_MII 0x00000008
#define RDESC0_DB 0x00000004
#define RDESC0_CE 0x00000002
#define RDESC1_RER 0x02000000
#define RDESC1_SIZE_MASK 0x7FF

/* transmit descriptor */
#define TDESC0_OWN 0x80000000
#define TDESC0_ES 0x00008000
#define TDESC0_TO 0x00004000
#define TDESC0_LO 0x00000800
#define TDESC0_NC 0x00000400
#define TDESC0_LC 0x00000200
#define TDESC0_EC 0x00000100
#define TDESC0_LF 0x00000004
#define TDESC0_UF 0x00000002
#define TDESC0_DE 0x00000001
#define TDESC1_IC 0x80000000
#define TDESC1_LS 0x40000000
#define TDESC1_FS 0x20000000
#define TDESC1_SET 0x08000000
#define TDESC1_TER 0x02000000
#define TDESC1_SIZE_MASK 0x7FF

/* media codes */
#define DC_MEDIA_SYM 0
#define DC_MEDIA_10T 1
#define DC_MEDIA_BNC 2
#define DC_MEDIA_AUI 3
#define DC_MEDIA_100TX 4
#define DC_MEDIA_10T_FD 5
#define DC_MEDIA_100TX_FD 6
#define DC_MEDIA_100T4 7
#define DC_MEDIA_100FX 8
#define DC_MEDIA_100FX_FD 9
#define DC_MEDIA_MII 10

/* a descriptor as the chip sees it; every word is in the chip's byte order */
typedef struct dc_desc {
    volatile uint32_t desc0; /* status, ownership */
    volatile uint32_t desc1; /* control, buffer-1 size */
    volatile uint32_t desc2; /* buffer-1 bus address */
    volatile uint32_t desc3; /* buffer-2 bus address, unused */
} DC_DESC;

typedef struct dc_media {
    uint32_t csr6Mode;
    int32_t gpLen;
    uint32_t gpSeq[DC_MEDIA_SEQ_MAX];
    int32_t resetLen;
    uint32_t resetSeq[DC_MEDIA_SEQ_MAX];
    int32_t fullDuplex;
    int32_t senseFlag;
    int32_t senseBit;
    int32_t sensePol;
    int32_t mediaCode;
} DC_MEDIA;

typedef struct dc_stats {
    uint32_t txJbr, txLostCarr, txNoCarr, txLateColl, txXsColl, txLnkF, txUflo, txDefr;
    uint32_t txRetries, txDrops, txFl, txFlNeed, txFlDone, txQMax, txQCur;
    uint32_t rxFltErr, rxDescErr, rxRunt, rxTooLng, rxColl, rxDribl, rxCrc, rxOvflo;
    uint32_t rxMiiErr, rxMiss, rxLatn;
    uint32_t spare[2];
} DC_STATS;

typedef struct drv_ctrl {
    struct arpcom arpcom;

    int nRDs;
    int rxIndex;
    DC_DESC *rxRing;
    int nTDs;
    int txIndex;
    int txDiIndex;
    DC_DESC *txRing;

    BOOL attached;
    BOOL txFlushScheduled;
    BOOL rxJobPending;
    int txOutstanding;

    DC_DESC *rxDesc;
    int rxBytes;
    int rxBudget;

    SEM_ID txSem;
    int usrFlags;

    int ivec;
    int ilevel;
    uint32_t devAdrs;
    uint32_t pciMemBase;
    int memWidth;

    CACHE_FUNCS cacheFuncs;

    int nLoanRx;
    char *lPool[DC_LPOOL_MAX];
    uint8_t *pRefCnt[DC_LPOOL_MAX];
    uint8_t refCnt[DC_LPOOL_MAX];

    alignas(4) uint8_t setupBuf[DC_SETUP_FRAME_SIZE];

    int mediaCurrent;
    int mediaCount;
    int gpControl;
    DC_MEDIA media[DC_MAX_MEDIA];

    uint16_t txGood;
    uint16_t deviceId;

    DC_STATS stats;

    char *memBase; /* start of the shared block */
} DRV_CTRL;

/* public variables */
extern int dcKickStartTx;
extern uint32_t dcCSR0Bmr;
extern VOIDFUNCPTR _func_dcNoCarrierHook;
extern int dcNumRds;
extern int dcNumTds;
extern int dcLPool;
extern DRV_CTRL dcDrvCtrl[DC_MAX_UNITS];

/* attach, reset, registers (dc_attach.cpp, dc_chip.cpp) */
STATUS dcattach(int unit, uint32_t devAdrs, int ivec, int ilevel, char *memAdrs, uint32_t memSize,
                int memWidth, uint32_t pciMemBase, int usrFlags);
void dcReset(int unit);
void dcRestart(int unit);
void dcInit(uint32_t devAdrs, uint32_t pciMemBase);
void dcChipReset(DRV_CTRL *pDrvCtrl);
void dcCsrWrite(uint32_t devAdrs, int reg, uint32_t value);
uint32_t dcCsrRead(uint32_t devAdrs, int reg);
void dcLoanFree(DRV_CTRL *pDrvCtrl, char *pRxBuf, uint8_t *pRefCnt);
void dcRingsSync(DRV_CTRL *pDrvCtrl);

/* show routines (dc_show.cpp) */
int dcCsrShow(int unit);
int dcShow(int unit);

/* serial ROM and address ROM (dc_rom.cpp) */
uint16_t dcReadRom(uint32_t devAdrs, int lineCnt);
void dcReadAllRom(uint32_t devAdrs, uint8_t *buffer, int length);
int dc21140SROMVersionGet(uint32_t devAdrs);
STATUS dcEnetAddrGet(DRV_CTRL *pDrvCtrl, uint8_t *enaddr);

/* interrupt and data path (dc_int.cpp, dc_recv.cpp, dc_xmit.cpp, dc_filter.cpp) */
void dcInt(DRV_CTRL *pDrvCtrl);
void dcHandleRecvInt(DRV_CTRL *pDrvCtrl);
STATUS dcRecv(DRV_CTRL *pDrvCtrl);
void dcCleanRXD(DRV_CTRL *pDrvCtrl);
DC_DESC *dcGetFullRMD(DRV_CTRL *pDrvCtrl);
int dcOutput(struct ifnet *ifp, struct mbuf *m, struct sockaddr *dst);
void dcStartOutput(int unit);
void dcTxFlush(DRV_CTRL *pDrvCtrl);
void dcTxRingClean(DRV_CTRL *pDrvCtrl);
int dcIoctl(struct ifnet *ifp, int cmd, char *data);
STATUS dcFltrFrmXmit(DRV_CTRL *pDrvCtrl, const uint8_t *pAddrs, int count);
STATUS dcFltrFrmSetup(DRV_CTRL *pDrvCtrl, const uint8_t *pAddrs, int count);

/* media (dc_media.cpp, dc_mii.cpp) */
void dc21040AuiTpInit(uint32_t devAdrs);
void dc21140AuiMiiInit(DRV_CTRL *pDrvCtrl, uint32_t devAdrs, uint32_t csr6);
void dcDoCompactInfo(DRV_CTRL *pDrvCtrl, const uint8_t *block, uint32_t *pCsr6, int index);
void dcSetDefaultMediaTypes(DRV_CTRL *pDrvCtrl);
int dcDoSROM(DRV_CTRL *pDrvCtrl);
void dcSelectMedia(DRV_CTRL *pDrvCtrl);
uint16_t dcMiiPhyRead(DRV_CTRL *pDrvCtrl, int phyAddr, int reg);
void dcMiiPhyWrite(DRV_CTRL *pDrvCtrl, int phyAddr, int reg, uint16_t value);
int dcMiiSetReg(int phyAddr, int reg, int value);
int dcMiiGetReg(int phyAddr, int reg);

/* small helpers shared by the driver files (dc_chip.cpp) */
void dcIdle(int iterations);
void dcSecondsWait(int seconds);
uint32_t dcVirtToBus(DRV_CTRL *pDrvCtrl, void *adrs);
char *dcBusToVirt(DRV_CTRL *pDrvCtrl, uint32_t busAdrs);
void dcCacheInvalidate(DRV_CTRL *pDrvCtrl, void *adrs, size_t bytes);
void dcCacheFlush(DRV_CTRL *pDrvCtrl, void *adrs, size_t bytes);

/* Every descriptor word is stored through here: the chip may look at a
 * descriptor between any two stores, so the ownership bit goes last. */
#define DC_DESC_STORE(word, value) dmaStore32(&(word), (value))

#define DC_CSR_READ(p, n) dcCsrRead((p)->devAdrs, (n))
#define DC_CSR_WRITE(p, n, v) dcCsrWrite((p)->devAdrs, (n), (v))
