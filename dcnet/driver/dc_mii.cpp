/* MII management frames, bit by bit through CSR9. */
#include "if_dc.h"

#define MII_PREAMBLE_BITS 34

static void dcMiiBitOut(DRV_CTRL *pDrvCtrl, int bit)
{
    uint32_t v = CSR9_MII_BASE_WR | (bit ? CSR9_MDO : 0);
    DC_CSR_WRITE(pDrvCtrl, CSR9, v);
    DC_CSR_WRITE(pDrvCtrl, CSR9, v | CSR9_MDC);
}

static int dcMiiBitIn(DRV_CTRL *pDrvCtrl)
{
    uint32_t v = CSR9_MII_BASE_RD | CSR9_MII_RD;
    DC_CSR_WRITE(pDrvCtrl, CSR9, v);
    DC_CSR_WRITE(pDrvCtrl, CSR9, v | CSR9_MDC);
    return (DC_CSR_READ(pDrvCtrl, CSR9) & CSR9_MDI) ? 1 : 0;
}

static void dcMiiHeader(DRV_CTRL *pDrvCtrl, int op1, int op2, int phyAddr, int reg)
{
    for (int i = 0; i < MII_PREAMBLE_BITS; i++)
        dcMiiBitOut(pDrvCtrl, 1);
    dcMiiBitOut(pDrvCtrl, 0); /* start */
    dcMiiBitOut(pDrvCtrl, 1);
    dcMiiBitOut(pDrvCtrl, op1);
    dcMiiBitOut(pDrvCtrl, op2);
    for (int i = 4; i >= 0; i--)
        dcMiiBitOut(pDrvCtrl, (phyAddr >> i) & 1);
    for (int i = 4; i >= 0; i--)
        dcMiiBitOut(pDrvCtrl, (reg >> i) & 1);
}

uint16_t dcMiiPhyRead(DRV_CTRL *pDrvCtrl, int phyAddr, int reg)
{
    dcMiiHeader(pDrvCtrl, 1, 0, phyAddr, reg);
    (void)dcMiiBitIn(pDrvCtrl); /* turnaround */
    uint16_t value = 0;
    for (int i = 0; i < 16; i++)
        value = (uint16_t)(value << 1 | dcMiiBitIn(pDrvCtrl));
    DC_CSR_WRITE(pDrvCtrl, CSR9, CSR9_MII_BASE_RD | CSR9_MII_RD);
    return value;
}

void dcMiiPhyWrite(DRV_CTRL *pDrvCtrl, int phyAddr, int reg, uint16_t value)
{
    dcMiiHeader(pDrvCtrl, 0, 1, phyAddr, reg);
    dcMiiBitOut(pDrvCtrl, 1); /* turnaround */
    dcMiiBitOut(pDrvCtrl, 0);
    for (int i = 15; i >= 0; i--)
        dcMiiBitOut(pDrvCtrl, (value >> i) & 1);
    DC_CSR_WRITE(pDrvCtrl, CSR9, CSR9_MII_BASE_RD | CSR9_MII_RD);
}

int dcMiiSetReg(int phyAddr, int reg, int value)
{
    dcMiiPhyWrite(&dcDrvCtrl[0], phyAddr, reg, (uint16_t)value);
    return 0;
}

int dcMiiGetReg(int phyAddr, int reg)
{
    return dcMiiPhyRead(&dcDrvCtrl[0], phyAddr, reg) & 0xFFFF;
}
