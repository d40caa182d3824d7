/* The serial interfaces behind CSR9: the serial ROM (93C46/93C66 microwire
 * protocol) and the MII management interface with one PHY. */
#include "model_internal.h"

#include <cstring>

enum { SR_IDLE = 0, SR_OPCODE, SR_ADDR, SR_DATA, SR_DONE };
enum { MII_PREAMBLE = 0, MII_ST, MII_HDR, MII_RD_TA, MII_RD_DATA, MII_WR };

#define CSR9_SR 0x800u

static uint16_t sromWord(const DcModel *m, int addr)
{
    if (m->sromWords == 0)
        return 0xFFFF;
    addr %= m->sromWords;
    return (uint16_t)(m->srom[2 * addr] | m->srom[2 * addr + 1] << 8);
}

void dcmSromClock(DcModel *m, uint32_t v)
{
    DcSromState *s = &m->sr;
    int cs = v & 1, clk = (v >> 1) & 1, di = (v >> 2) & 1;

    if (!(v & CSR9_SR) || !cs) {
        s->state = SR_IDLE;
        s->prevClk = clk;
        s->dataOut = m->sromWords ? 0 : 1;
        return;
    }
    bool rising = clk && !s->prevClk;
    s->prevClk = clk;
    if (!rising)
        return;
    if (m->sromWords == 0) {
        s->dataOut = 1; /* nothing drives the line */
        return;
    }

    switch (s->state) {
    case SR_IDLE:
        if (di) { /* start bit; leading zeros are ignored */
            s->state = SR_OPCODE;
            s->bits = 0;
            s->shift = 0;
        }
        break;
    case SR_OPCODE:
        s->shift = s->shift << 1 | (uint32_t)di;
        if (++s->bits == 2) {
            s->op = (int)s->shift;
            s->state = SR_ADDR;
            s->bits = 0;
            s->shift = 0;
        }
        break;
    case SR_ADDR:
        s->shift = s->shift << 1 | (uint32_t)di;
        if (++s->bits == m->sromAddrBits) {
            if (s->op == 2) {
                s->word = sromWord(m, (int)s->shift);
                s->outBits = 0;
                s->dataOut = 0; /* dummy zero before the data */
                s->state = SR_DATA;
            } else {
                s->state = SR_DONE;
            }
        }
        break;
    case SR_DATA:
        s->dataOut = (s->word >> (15 - s->outBits)) & 1;
        if (++s->outBits == 16)
            s->state = SR_DONE;
        break;
    default:
        s->dataOut = 0;
        break;
    }
}

static bool linkUp(const DcPhy *p)
{
    return p->linkUpTick >= 0 && (int64_t)tickGet() >= p->linkUpTick;
}

static uint16_t phyRead(DcModel *m, int addr, int reg)
{
    DcPhy *p = &m->phy;
    if (p->addr < 0 || addr != p->addr)
        return 0xFFFF; /* nobody answers: the line stays high */
    uint16_t v = p->regs[reg & 31];
    if ((reg & 31) == 1)
        v = (uint16_t)((v & ~0x4u) | (linkUp(p) ? 0x4u : 0));
    return v;
}

static void phyWrite(DcModel *m, int addr, int reg, uint16_t value)
{
    DcPhy *p = &m->phy;
    if (p->addr < 0 || addr != p->addr)
        return;
    p->writes++;
    p->regs[reg & 31] = value;
}

void dcmMiiClock(DcModel *m, uint32_t v)
{
    DcMiiState *s = &m->mii;
    int mdc = (v >> 16) & 1, mdo = (v >> 17) & 1, rd = (v >> 18) & 1;
    bool rising = mdc && !s->prevMdc;
    s->prevMdc = mdc;
    if (!rising)
        return;

    int before = s->state;
    switch (s->state) {
    case MII_PREAMBLE:
        if (mdo && !rd)
            s->ones++;
        else if (!mdo && !rd && s->ones >= 32)
            s->state = MII_ST;
        else
            s->ones = 0;
        break;
    case MII_ST:
        if (mdo) {
            s->state = MII_HDR;
            s->bits = 0;
            s->shift = 0;
        } else {
            s->state = MII_PREAMBLE;
            s->ones = 0;
        }
        break;
    case MII_HDR:
        s->shift = s->shift << 1 | (uint32_t)mdo;
        if (++s->bits == 12) {
            int op = (int)(s->shift >> 10);
            s->phyAd = (int)(s->shift >> 5) & 31;
            s->reg = (int)s->shift & 31;
            s->bits = 0;
            s->shift = 0;
            if (op == 2) {
                s->state = MII_RD_TA;
            } else if (op == 1) {
                s->state = MII_WR;
            } else {
                s->state = MII_PREAMBLE;
                s->ones = 0;
            }
        }
        break;
    case MII_RD_TA:
        s->value = phyRead(m, s->phyAd, s->reg);
        s->mdi = (m->phy.addr == s->phyAd) ? 0 : 1;
        s->state = MII_RD_DATA;
        s->bits = 0;
        break;
    case MII_RD_DATA:
        s->mdi = (s->value >> (15 - s->bits)) & 1;
        if (++s->bits == 16) {
            s->state = MII_PREAMBLE;
            s->ones = 0;
        }
        break;
    case MII_WR:
        s->shift = s->shift << 1 | (uint32_t)mdo;
        if (++s->bits == 18) { /* turnaround and 16 data bits */
            phyWrite(m, s->phyAd, s->reg, (uint16_t)s->shift);
            s->state = MII_PREAMBLE;
            s->ones = 0;
        }
        break;
    default:
        s->state = MII_PREAMBLE;
        break;
    }
    if (s->state == MII_PREAMBLE && before != MII_RD_DATA)
        s->mdi = 1; /* released after the last data bit has been sampled */
}

void dcModelSromSet(DcModel *m, const uint8_t *img, int len, int addrBits)
{
    memset(m->srom, 0xFF, sizeof m->srom);
    if (img == nullptr || len <= 0) {
        m->sromWords = 0;
        return;
    }
    m->sromAddrBits = addrBits == 8 ? 8 : 6;
    int maxBytes = m->sromAddrBits == 8 ? 512 : 128;
    memcpy(m->srom, img, (size_t)(len < maxBytes ? len : maxBytes));
    m->sromWords = maxBytes / 2;
}

void dcModelAddrRomSet(DcModel *m, const uint8_t *rom, int len)
{
    memset(m->addrRom, 0xFF, sizeof m->addrRom);
    if (rom)
        memcpy(m->addrRom, rom, (size_t)(len < 32 ? len : 32));
}
