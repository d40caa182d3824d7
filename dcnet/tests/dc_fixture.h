/* A machine with one or more modelled controllers, and the helpers the
 * suites share. */
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../driver/if_dc.h"
#include "../host/host.h"
#include "../model/dc_model.h"
#include "../model/srom_image.h"

#define TEST_CSR_BASE 0x80001000u
#define TEST_IVEC 0x40
#define TEST_ILEVEL 5

extern const uint8_t kMac[6];
extern const uint8_t kPeer[6];

/* captures what the driver prints on standard output */
class StdoutCapture {
  public:
    void start();
    std::string stop();

  private:
    int saved_ = -1;
    FILE *tmp_ = nullptr;
};

class DcTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    /* A controller at TEST_CSR_BASE + 0x100 * unit, PCI bus 0 device 3 + unit.
     * It polls its lists at every descriptor store of the driver, and a bus
     * error of its own (an unaligned or unmapped address) fails the test. */
    DcModel *addChip(uint16_t deviceId, int unit = 0);
    /* a 21140/21143 SROM with the address at words 10-12 and the given blocks */
    void loadSrom(DcModel *m, const std::vector<std::vector<uint8_t>> &blocks, int gpControl = 0);
    STATUS attach(int unit = 0, int flags = 0, char *memAdrs = (char *)NONE, uint32_t memSize = 0,
                  int memWidth = -1, uint32_t pciMemBase = 0);
    /* a 21140 with one compact 100BASE-TX block, attached */
    void attachDefault(int flags = 0, int memWidth = -1);

    DRV_CTRL *drv(int unit = 0) { return &dcDrvCtrl[unit]; }
    struct ifnet *ifp(int unit = 0) { return &dcDrvCtrl[unit].arpcom.ac_if; }

    /* data path helpers */
    std::vector<uint8_t> frameTo(const uint8_t *dst, int payloadLen, uint16_t type = 0x0800,
                                 uint8_t fill = 0);
    int sendPacket(int payloadLen, uint8_t fill = 0x5A, int unit = 0, int nMbufs = 1);
    void runAll() { hostRunUntilIdle(100000); }
    int rxDeliver(const std::vector<uint8_t> &frame, DcModel *m = nullptr);
    void freeDelivered();

    DcModel *chip = nullptr;
    std::vector<DcModel *> chips;
};
