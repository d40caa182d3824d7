#include "dc_fixture.h"

#include <cstdio>
#include <unistd.h>

const uint8_t kMac[6] = {0x08, 0x00, 0x2B, 0x12, 0x34, 0x56};
const uint8_t kPeer[6] = {0x00, 0xA0, 0xC9, 0x01, 0x02, 0x03};

void StdoutCapture::start()
{
    fflush(stdout);
    tmp_ = tmpfile();
    saved_ = dup(1);
    dup2(fileno(tmp_), 1);
}

std::string StdoutCapture::stop()
{
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    std::string out;
    rewind(tmp_);
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, tmp_)) > 0)
        out.append(buf, n);
    fclose(tmp_);
    return out;
}

void DcTest::SetUp()
{
    hostReset();
    memset((void *)dcDrvCtrl, 0, sizeof dcDrvCtrl);
    dcKickStartTx = 1;
    dcCSR0Bmr = 0;
    _func_dcNoCarrierHook = nullptr;
    dcNumRds = 32;
    dcNumTds = 32;
    dcLPool = 16;
}

void DcTest::TearDown()
{
    for (DcModel *m : chips) {
        EXPECT_EQ(0u, m->dmaFaults) << "the chip met a bad descriptor or buffer address";
        dcModelDestroy(m);
    }
    chips.clear();
    chip = nullptr;
}

DcModel *DcTest::addChip(uint16_t deviceId, int unit)
{
    DcModel *m = dcModelCreate(deviceId, TEST_CSR_BASE + 0x100u * (uint32_t)unit, TEST_IVEC + unit,
                               TEST_ILEVEL, 0, 3 + unit);
    dcModelPollOnStoresSet(m, true);
    chips.push_back(m);
    if (chip == nullptr)
        chip = m;
    return m;
}

void DcTest::loadSrom(DcModel *m, const std::vector<std::vector<uint8_t>> &blocks, int gpControl)
{
    uint8_t img[SROM_IMAGE_SIZE];
    ASSERT_TRUE(sromImageBuild(img, kMac, m->deviceId == DCM_21143, gpControl, blocks));
    dcModelSromSet(m, img, sizeof img, 6);
}

STATUS DcTest::attach(int unit, int flags, char *memAdrs, uint32_t memSize, int memWidth,
                      uint32_t pciMemBase)
{
    hostPciMemBaseSet(pciMemBase);
    return dcattach(unit, TEST_CSR_BASE + 0x100u * (uint32_t)unit, TEST_IVEC + unit, TEST_ILEVEL,
                    memAdrs, memSize, memWidth, pciMemBase, flags);
}

void DcTest::attachDefault(int flags, int memWidth)
{
    DcModel *m = addChip(DCM_21140);
    /* SROM code 3 = 100BASE-TX; command: port select, sense bit 0 active low */
    loadSrom(m, {sromCompactBlock(3, 0x00, 0x0081)}, 0x1F);
    ASSERT_EQ(OK, attach(0, flags, (char *)NONE, 0, memWidth));
}

std::vector<uint8_t> DcTest::frameTo(const uint8_t *dst, int payloadLen, uint16_t type,
                                     uint8_t fill)
{
    std::vector<uint8_t> f(14 + (size_t)payloadLen);
    memcpy(f.data(), dst, 6);
    memcpy(f.data() + 6, kPeer, 6);
    f[12] = (uint8_t)(type >> 8);
    f[13] = (uint8_t)type;
    for (int i = 0; i < payloadLen; i++)
        f[14 + (size_t)i] = (uint8_t)(fill + i);
    return f;
}

int DcTest::sendPacket(int payloadLen, uint8_t fill, int unit, int nMbufs)
{
    struct mbuf *top = nullptr, **mp = &top;
    int left = payloadLen, pos = 0;
    for (int i = 0; i < nMbufs; i++) {
        struct mbuf *m = m_get(M_DONTWAIT, MT_DATA);
        if (m == nullptr)
            return -1;
        int n = i == nMbufs - 1 ? left : left / (nMbufs - i);
        if (n > MLEN) {
            m_freem(m);
            m_freem(top);
            return -1;
        }
        for (int k = 0; k < n; k++)
            m->m_data[k] = (char)(uint8_t)(fill + pos + k);
        m->m_len = n;
        pos += n;
        left -= n;
        *mp = m;
        mp = &m->m_next;
    }
    struct sockaddr dst{};
    dst.sa_family = AF_UNSPEC;
    memcpy(dst.sa_data, kPeer, 6);
    dst.sa_data[12] = 0x08;
    dst.sa_data[13] = 0x00;
    return dcOutput(ifp(unit), top, &dst);
}

int DcTest::rxDeliver(const std::vector<uint8_t> &frame, DcModel *m)
{
    int r = dcModelWireRx(m ? m : chip, frame.data(), (int)frame.size());
    runAll();
    return r;
}

void DcTest::freeDelivered()
{
    struct mbuf *m;
    while ((m = hostRxTake(nullptr, nullptr)) != nullptr)
        m_freem(m);
}
