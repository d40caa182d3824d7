/* The board as the driver sees it: device register windows on the PCI bus,
 * DMA-able memory with its address translations, the cache function set,
 * PCI configuration space and NVRAM. */
#include "host.h"

#include <cstdlib>

/* ---- register windows ---- */

struct host_window {
    uint32_t base;
    uint32_t size;
    HOST_BUS_READ readFn;
    HOST_BUS_WRITE writeFn;
    void *ctx;
};

#define HOST_NWINDOWS 8
static host_window windows[HOST_NWINDOWS];

void hostBusWindowAdd(uint32_t base, uint32_t size, HOST_BUS_READ readFn, HOST_BUS_WRITE writeFn,
                      void *ctx)
{
    for (auto &w : windows) {
        if (w.ctx == nullptr) {
            w = host_window{base, size, readFn, writeFn, ctx};
            return;
        }
    }
    panic("hostBusWindowAdd: no free window");
}

void hostBusWindowRemove(void *ctx)
{
    for (auto &w : windows)
        if (w.ctx == ctx)
            w = host_window{};
}

static host_window *windowFind(uint32_t adrs)
{
    for (auto &w : windows)
        if (w.ctx && adrs - w.base < w.size)
            return &w;
    return nullptr;
}

/* The bus carries bytes; a little-endian device reads the bytes of a store in
 * address order as its least significant first.  The host store's bytes are
 * those of the value's in-memory image, whatever the host byte order. */
static uint32_t imageToBus(uint32_t v)
{
    uint8_t b[4];
    memcpy(b, &v, 4);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

static uint32_t busToImage(uint32_t x)
{
    uint8_t b[4] = {(uint8_t)x, (uint8_t)(x >> 8), (uint8_t)(x >> 16), (uint8_t)(x >> 24)};
    uint32_t v;
    memcpy(&v, b, 4);
    return v;
}

uint32_t sysInLong(uint32_t adrs)
{
    host_window *w = windowFind(adrs);
    if (w == nullptr)
        return 0xFFFFFFFF; /* master abort reads all ones */
    return busToImage(w->readFn(w->ctx, adrs - w->base));
}

void sysOutLong(uint32_t adrs, uint32_t value)
{
    host_window *w = windowFind(adrs);
    if (w != nullptr)
        w->writeFn(w->ctx, adrs - w->base, imageToBus(value));
}

/* ---- DMA memory ----
 * Bus masters see 32-bit physical addresses.  DMA-safe memory comes from an
 * arena with a fixed physical base; any other host memory (a stack, say) is
 * given a physical window on first translation, as an I/O MMU would. */

#define HOST_ARENA_SIZE (6u * 1024 * 1024)
#define HOST_ARENA_PHYS 0x00100000u
#define HOST_MAP_PHYS 0x40000000u
#define HOST_MAP_SPAN 8192u
#define HOST_NMAPS 64

alignas(64) static uint8_t arena[HOST_ARENA_SIZE];
static size_t arenaUsed;
static uint32_t pciMemBase;

/* the arena as bus masters see it while memory is not coherent */
alignas(64) static uint8_t busView[HOST_ARENA_SIZE];
static BOOL nonCoherent;

struct host_map {
    uintptr_t virtBase;
    BOOL used;
};
static host_map maps[HOST_NMAPS];

int hostDmaMallocFail;
unsigned long hostCacheFlushes;
unsigned long hostCacheInvalidates;
unsigned long hostPipeFlushes;

void *hostDmaAlloc(size_t bytes, size_t align)
{
    size_t start = (arenaUsed + align - 1) & ~(align - 1);
    if (start > HOST_ARENA_SIZE || bytes > HOST_ARENA_SIZE - start)
        return nullptr;
    arenaUsed = start + bytes;
    return arena + start;
}

size_t hostDmaArenaFree(void) { return HOST_ARENA_SIZE - arenaUsed; }

void *cacheDmaMalloc(size_t bytes)
{
    if (hostDmaMallocFail)
        return nullptr;
    return hostDmaAlloc(bytes, 32);
}

uint32_t hostVirtToPhys(void *adrs)
{
    uintptr_t a = (uintptr_t)adrs;
    if (a >= (uintptr_t)arena && a < (uintptr_t)arena + HOST_ARENA_SIZE)
        return HOST_ARENA_PHYS + (uint32_t)(a - (uintptr_t)arena);
    int freeSlot = -1;
    for (int i = 0; i < HOST_NMAPS; i++) {
        if (maps[i].used && a - maps[i].virtBase < HOST_MAP_SPAN)
            return HOST_MAP_PHYS + (uint32_t)i * HOST_MAP_SPAN + (uint32_t)(a - maps[i].virtBase);
        if (!maps[i].used && freeSlot < 0)
            freeSlot = i;
    }
    if (freeSlot < 0)
        panic("hostVirtToPhys: out of I/O map entries");
    /* map from the address down to its page so a span of one page past it is covered */
    maps[freeSlot].virtBase = a & ~(uintptr_t)4095;
    maps[freeSlot].used = TRUE;
    return HOST_MAP_PHYS + (uint32_t)freeSlot * HOST_MAP_SPAN + (uint32_t)(a & 4095);
}

void *hostPhysToVirt(uint32_t phys)
{
    if (phys - HOST_ARENA_PHYS < HOST_ARENA_SIZE)
        return arena + (phys - HOST_ARENA_PHYS);
    uint32_t i = (phys - HOST_MAP_PHYS) / HOST_MAP_SPAN;
    if (phys >= HOST_MAP_PHYS && i < HOST_NMAPS && maps[i].used)
        return (void *)(maps[i].virtBase + (phys - HOST_MAP_PHYS) % HOST_MAP_SPAN);
    return nullptr;
}

void hostPciMemBaseSet(uint32_t base) { pciMemBase = base; }

void *hostBusToVirt(uint32_t busAdrs, size_t len)
{
    uint32_t phys = busAdrs - pciMemBase;
    if (phys - HOST_ARENA_PHYS < HOST_ARENA_SIZE) {
        if (len > HOST_ARENA_SIZE - (phys - HOST_ARENA_PHYS))
            return nullptr;
        return (nonCoherent ? busView : arena) + (phys - HOST_ARENA_PHYS);
    }
    uint32_t off = (phys - HOST_MAP_PHYS) % HOST_MAP_SPAN;
    if (phys < HOST_MAP_PHYS || len > HOST_MAP_SPAN - off)
        return nullptr;
    return hostPhysToVirt(phys);
}

/* ---- bus masters watching memory ---- */

struct host_watch {
    HOST_DMA_WATCH fn;
    void *ctx;
};

#define HOST_NWATCH 8
static host_watch watches[HOST_NWATCH];
static BOOL watchRunning;

void (*dmaStoreHook)(void);

static void watchRun(void)
{
    if (watchRunning)
        return; /* a bus master's own accesses do not call the others back */
    watchRunning = TRUE;
    for (auto &w : watches)
        if (w.fn)
            w.fn(w.ctx);
    watchRunning = FALSE;
}

static void watchHookUpdate(void)
{
    dmaStoreHook = nullptr;
    for (auto &w : watches)
        if (w.fn)
            dmaStoreHook = watchRun;
}

void hostDmaWatchAdd(HOST_DMA_WATCH fn, void *ctx)
{
    hostDmaWatchRemove(ctx);
    for (auto &w : watches) {
        if (w.fn == nullptr) {
            w = host_watch{fn, ctx};
            watchHookUpdate();
            return;
        }
    }
    panic("hostDmaWatchAdd: too many watchers");
}

void hostDmaWatchRemove(void *ctx)
{
    for (auto &w : watches)
        if (w.fn && w.ctx == ctx)
            w = host_watch{};
    watchHookUpdate();
}

/* ---- caches ---- */

/* the part of [adrs, adrs + bytes) inside the arena, as an offset and length */
static bool arenaSpan(const void *adrs, size_t bytes, size_t *off, size_t *len)
{
    uintptr_t a = (uintptr_t)adrs;
    uintptr_t lo = (uintptr_t)arena;
    uintptr_t hi = lo + HOST_ARENA_SIZE;
    if (a >= hi)
        return false;
    uintptr_t end = bytes > hi - a ? hi : a + bytes;
    if (end <= lo)
        return false;
    if (a < lo)
        a = lo;
    *off = a - lo;
    *len = end - a;
    return true;
}

void hostNonCoherentSet(BOOL on)
{
    nonCoherent = on;
    if (on)
        memcpy(busView, arena, sizeof busView);
}

void hostCacheFlush(void *adrs, size_t bytes)
{
    hostCacheFlushes++;
    size_t off, len;
    if (nonCoherent && arenaSpan(adrs, bytes, &off, &len))
        memcpy(busView + off, arena + off, len);
    if (dmaStoreHook)
        dmaStoreHook();
}

void hostCacheInvalidate(void *adrs, size_t bytes)
{
    hostCacheInvalidates++;
    size_t off, len;
    if (nonCoherent && arenaSpan(adrs, bytes, &off, &len))
        memcpy(arena + off, busView + off, len);
}

/* Coherent by default: no flush or invalidate routine, translations present
 * (physical addresses are not host pointers on a 64-bit host). */
CACHE_FUNCS cacheDmaFuncs = {nullptr, nullptr, hostVirtToPhys, hostPhysToVirt};

void cachePipeFlush(void) { hostPipeFlushes++; }

/* ---- PCI configuration space ---- */

struct host_pci {
    int bus;
    int dev;
    uint8_t *config;
};

#define HOST_NPCI 8
static host_pci pciDevs[HOST_NPCI];

void hostPciDeviceAdd(int bus, int dev, uint8_t *config)
{
    for (auto &p : pciDevs) {
        if (p.config == nullptr) {
            p = host_pci{bus, dev, config};
            return;
        }
    }
    panic("hostPciDeviceAdd: too many devices");
}

void hostPciDeviceRemove(uint8_t *config)
{
    for (auto &p : pciDevs)
        if (p.config == config)
            p = host_pci{};
}

static uint8_t *pciFind(int bus, int dev, int func)
{
    if (func != 0)
        return nullptr;
    for (auto &p : pciDevs)
        if (p.config && p.bus == bus && p.dev == dev)
            return p.config;
    return nullptr;
}

STATUS pciConfigInWord(int bus, int dev, int func, int offset, uint16_t *data)
{
    uint8_t *c = pciFind(bus, dev, func);
    if (offset < 0 || offset > 254 || (offset & 1))
        return ERROR;
    *data = c ? (uint16_t)(c[offset] | c[offset + 1] << 8) : 0xFFFF;
    return OK;
}

STATUS pciConfigInLong(int bus, int dev, int func, int offset, uint32_t *data)
{
    uint8_t *c = pciFind(bus, dev, func);
    if (offset < 0 || offset > 252 || (offset & 3))
        return ERROR;
    *data = c ? (uint32_t)c[offset] | (uint32_t)c[offset + 1] << 8 |
                    (uint32_t)c[offset + 2] << 16 | (uint32_t)c[offset + 3] << 24
              : 0xFFFFFFFF;
    return OK;
}

STATUS pciConfigOutLong(int bus, int dev, int func, int offset, uint32_t data)
{
    uint8_t *c = pciFind(bus, dev, func);
    if (offset < 0 || offset > 252 || (offset & 3))
        return ERROR;
    if (c) {
        for (int i = 0; i < 4; i++)
            c[offset + i] = (uint8_t)(data >> (8 * i));
    }
    return OK;
}

/* ---- NVRAM ---- */

uint8_t hostNvRam[HOST_NVRAM_SIZE];

STATUS sysNvRamGet(char *buf, int len, int offset)
{
    if (buf == nullptr || len < 0 || offset < 0 || offset > HOST_NVRAM_SIZE ||
        len > HOST_NVRAM_SIZE - offset)
        return ERROR;
    memcpy(buf, hostNvRam + offset, (size_t)len);
    return OK;
}

/* ---- reset ---- */

void hostKernelReset(void);
void hostMbufReset(void);
void hostEtherReset(void);

void hostReset(void)
{
    hostKernelReset();
    hostMbufReset();
    hostEtherReset();
    for (auto &w : windows)
        w = host_window{};
    for (auto &p : pciDevs)
        p = host_pci{};
    for (auto &m : maps)
        m = host_map{};
    arenaUsed = 0;
    pciMemBase = 0;
    nonCoherent = FALSE;
    for (auto &w : watches)
        w = host_watch{};
    watchHookUpdate();
    hostDmaMallocFail = 0;
    hostCacheFlushes = hostCacheInvalidates = hostPipeFlushes = 0;
    cacheDmaFuncs = CACHE_FUNCS{nullptr, nullptr, hostVirtToPhys, hostPhysToVirt};
    memset(hostNvRam, 0xFF, sizeof hostNvRam);
}
