/* The serial ROM of the 21140/21143 and the address ROM of the 21040, both
 * reached through CSR9. */
#include "if_dc.h"

#define DC_SROM_EDGE_WAIT 250
#define DC_SROM_ADDR_WAIT 1000

static void dcSromOut(uint32_t devAdrs, uint32_t value, int wait)
{
    dcCsrWrite(devAdrs, CSR9, value);
    dcIdle(wait);
}

/* one bit towards the ROM: data set up with the clock low, then a clock pulse */
static void dcSromBit(uint32_t devAdrs, int bit, int highWait)
{
    uint32_t v = CSR9_SR_BASE | CSR9_SR_CS | (bit ? CSR9_SR_DI : 0);
    dcSromOut(devAdrs, v, DC_SROM_EDGE_WAIT);
    dcSromOut(devAdrs, v | CSR9_SR_CLK, highWait);
    dcSromOut(devAdrs, v, DC_SROM_EDGE_WAIT);
}

uint16_t dcReadRom(uint32_t devAdrs, int lineCnt)
{
    lineCnt = ((lineCnt % 256) + 256) % 256;
    if (lineCnt > 128) {
        logMsg("dcReadRom FAILED, bad lineCnt\n", 0, 0, 0, 0, 0, 0);
        return 0xFFFF;
    }

    dcSromOut(devAdrs, CSR9_SR_BASE, DC_SROM_EDGE_WAIT);
    dcSromOut(devAdrs, CSR9_SR_BASE | CSR9_SR_CS, DC_SROM_EDGE_WAIT);

    /* leading 0, start bit, read opcode 10 */
    static const int cmd[4] = {0, 1, 1, 0};
    for (int b : cmd)
        dcSromBit(devAdrs, b, DC_SROM_EDGE_WAIT);

    int addrBits = lineCnt < 64 ? 6 : 8;
    for (int i = addrBits - 1; i >= 0; i--)
        dcSromBit(devAdrs, (lineCnt >> i) & 1, DC_SROM_ADDR_WAIT);

    uint16_t word = 0;
    for (int i = 0; i < 16; i++) {
        dcSromOut(devAdrs, CSR9_SR_BASE | CSR9_SR_CS | CSR9_SR_CLK, DC_SROM_EDGE_WAIT);
        uint32_t in = dcCsrRead(devAdrs, CSR9);
        word = (uint16_t)(word << 1 | ((in & CSR9_SR_DO) ? 1 : 0));
        dcSromOut(devAdrs, CSR9_SR_BASE | CSR9_SR_CS, DC_SROM_EDGE_WAIT);
    }

    dcSromOut(devAdrs, CSR9_SR_BASE, DC_SROM_EDGE_WAIT);
    return word;
}

void dcReadAllRom(uint32_t devAdrs, uint8_t *buffer, int length)
{
    for (int i = 0; i < length / 2; i++) {
        uint16_t w = dcReadRom(devAdrs, i);
        buffer[2 * i] = (uint8_t)w;
        buffer[2 * i + 1] = (uint8_t)(w >> 8);
    }
}

int dc21140SROMVersionGet(uint32_t devAdrs)
{
    if (dcReadRom(devAdrs, 0) == 0xFFFF)
        return 0;
    int version = dcReadRom(devAdrs, 9) & 0xFF;
    return (version == 1 || version == 3) ? version : 0;
}

static STATUS dc21040EnetAddrGet(DRV_CTRL *pDrvCtrl, uint8_t *enaddr)
{
    DC_CSR_WRITE(pDrvCtrl, CSR9, 0); /* back to the first byte */
    for (int i = 0; i < 6; i++) {
        int polls = 0;
        uint32_t v;
        while (((v = DC_CSR_READ(pDrvCtrl, CSR9)) & CSR9_ROM_BUSY) != 0) {
            if (++polls >= DC_ROM_POLLS)
                return ERROR;
            dcIdle(500);
        }
        enaddr[i] = (uint8_t)v;
    }
    return OK;
}

static STATUS dc21140EnetAddrGet(DRV_CTRL *pDrvCtrl, uint8_t *enaddr)
{
    if (dcReadRom(pDrvCtrl->devAdrs, 0) == 0xFFFF)
        return sysNvRamGet((char *)enaddr, 6, DC_NVRAM_ENET_OFFSET) == OK ? OK : ERROR;

    int first = dcReadRom(pDrvCtrl->devAdrs, 13) == 0xAA55 ? 0 : 10;
    for (int i = 0; i < 3; i++) {
        uint16_t w = dcReadRom(pDrvCtrl->devAdrs, first + i);
        enaddr[2 * i] = (uint8_t)w;
        enaddr[2 * i + 1] = (uint8_t)(w >> 8);
    }
    return OK;
}

STATUS dcEnetAddrGet(DRV_CTRL *pDrvCtrl, uint8_t *enaddr)
{
    if (pDrvCtrl->deviceId == DC_DEVICE_21040)
        return dc21040EnetAddrGet(pDrvCtrl, enaddr);
    return dc21140EnetAddrGet(pDrvCtrl, enaddr);
}
