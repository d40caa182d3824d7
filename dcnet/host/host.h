/* Controls of the host layer that only tests, the bench and the controller
 * model use: the simulated clock, the network job queue, interrupt lines, bus
 * windows, the DMA arena, PCI devices, NVRAM, failure injection and captures. */
#pragma once

#include "kernel.h"
#include "netstack.h"

/* Back to a clean machine: clears jobs, logs, interrupt connections, bus
 * windows, PCI devices, the DMA arena, NVRAM, mbuf limits and injections. */
void hostReset(void);

/* log capture */
const char *hostLogText(void);
void hostLogClear(void);

/* network job task, run on demand */
int netJobPending(void);
int netJobRunOne(void);
/* Deliver pending interrupts and run jobs until neither is left (or maxSteps). */
int hostRunUntilIdle(int maxSteps);

/* interrupt controller */
void hostIntLineSet(int vector, int level, BOOL asserted);
int hostIntDeliver(void);
BOOL hostIntConnected(int vector);
BOOL hostIntLevelEnabled(int level);

/* simulated clock; taskDelay advances it */
void hostClockAdvance(int ticks);

/* bus windows (device registers) */
typedef uint32_t (*HOST_BUS_READ)(void *ctx, uint32_t offset);
typedef void (*HOST_BUS_WRITE)(void *ctx, uint32_t offset, uint32_t value);
void hostBusWindowAdd(uint32_t base, uint32_t size, HOST_BUS_READ readFn, HOST_BUS_WRITE writeFn,
                      void *ctx);
void hostBusWindowRemove(void *ctx);

/* DMA: host memory as seen from the PCI bus */
void hostPciMemBaseSet(uint32_t pciMemBase); /* what the host bridge subtracts from bus addresses */
void *hostBusToVirt(uint32_t busAdrs, size_t len); /* nullptr: no memory there (master abort) */
uint32_t hostVirtToPhys(void *adrs);
void *hostPhysToVirt(uint32_t phys);
void *hostDmaAlloc(size_t bytes, size_t align); /* arena memory without failure injection */
size_t hostDmaArenaFree(void);

/* PCI configuration space: a device is a 256-byte little-endian register image */
void hostPciDeviceAdd(int bus, int dev, uint8_t *config);
void hostPciDeviceRemove(uint8_t *config);

/* NVRAM */
#define HOST_NVRAM_SIZE 8192
extern uint8_t hostNvRam[HOST_NVRAM_SIZE];

/* failure injection */
extern int hostSemCreateFail;    /* semMCreate returns nullptr while set */
extern int hostIntConnectFail;   /* intConnect returns ERROR while set */
extern int hostDmaMallocFail;    /* cacheDmaMalloc returns nullptr while set */
void hostMbufLimitSet(int maxMbufs); /* -1: no limit below the pool size */
int hostMbufInUse(void);
int hostClusterInUse(void);

/* counters of cache operations done through cacheDmaFuncs / the pipe flush */
extern unsigned long hostCacheFlushes;
extern unsigned long hostCacheInvalidates;
extern unsigned long hostPipeFlushes;
/* cache routines a test can install in cacheDmaFuncs to make memory non-coherent */
void hostCacheFlush(void *adrs, size_t bytes);
void hostCacheInvalidate(void *adrs, size_t bytes);
/* Non-coherent DMA arena: bus masters see their own copy of the arena, which
 * hostCacheFlush updates from what the processor wrote, and the processor
 * sees what bus masters wrote only after hostCacheInvalidate.  Memory outside
 * the arena (a stack mapped for DMA) stays coherent.  Turning it on starts
 * both copies equal. */
void hostNonCoherentSet(BOOL on);

/* Bus masters that look at memory after every dmaStore32 and every
 * hostCacheFlush (the moments new data becomes visible to them). */
typedef void (*HOST_DMA_WATCH)(void *ctx);
void hostDmaWatchAdd(HOST_DMA_WATCH fn, void *ctx);
void hostDmaWatchRemove(void *ctx);

/* packets handed to the protocols */
typedef void (*HOST_RX_SINK)(void *ctx, uint16_t type, struct mbuf *m, int len);
void hostRxSinkSet(HOST_RX_SINK sink, void *ctx); /* nullptr: keep them in the capture queue */
int hostRxCount(void);
struct mbuf *hostRxTake(uint16_t *type, int *len); /* oldest captured packet or nullptr */
int hostMbufChainCopy(const struct mbuf *m, uint8_t *out, int max); /* flattens a chain */

/* attached interfaces */
struct ifnet *hostIfFind(const char *name, int unit);

/* panic: a test can install a hook that does not return (throws) */
extern void (*hostPanicHook)(const char *msg);
