/* Kernel, board and cache services the driver relies on.  On the target these
 * come from the real-time kernel and the board support package; here they are
 * provided by the host layer so the driver can run against the controller model. */
#pragma once

#include "vxWorks.h"

/* semaphores */
typedef struct host_semaphore *SEM_ID;
#define SEM_Q_FIFO 0x0
#define SEM_Q_PRIORITY 0x1
#define SEM_DELETE_SAFE 0x4
#define SEM_INVERSION_SAFE 0x8

SEM_ID semMCreate(int options);
STATUS semTake(SEM_ID semId, int timeout);
STATUS semGive(SEM_ID semId);

/* interrupts */
typedef void (*ISRFUNC)(void *param);
STATUS intConnect(int vector, ISRFUNC routine, void *param);
/* undoes intConnect when routine and param are the ones connected */
STATUS intDisconnect(int vector, ISRFUNC routine, void *param);
STATUS sysLanIntEnable(int level);

/* network job task */
typedef void (*NETJOBFUNC)(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t);
STATUS netJobAdd(NETJOBFUNC routine, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4,
                 intptr_t p5);

/* logging and time */
int logMsg(const char *fmt, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4, intptr_t a5,
           intptr_t a6);
STATUS taskDelay(int ticks);
int sysClkRateGet(void);
uint32_t tickGet(void);

/* DMA-safe memory and the cache function set */
typedef struct cache_funcs {
    void (*flushRtn)(void *adrs, size_t bytes);
    void (*invalidateRtn)(void *adrs, size_t bytes);
    uint32_t (*virtToPhysRtn)(void *adrs);
    void *(*physToVirtRtn)(uint32_t adrs);
} CACHE_FUNCS;

extern CACHE_FUNCS cacheDmaFuncs;
void *cacheDmaMalloc(size_t bytes);
void cachePipeFlush(void);
#define CACHE_PIPE_FLUSH() cachePipeFlush()

/* A 32-bit store to memory a bus master reads on its own (a descriptor word).
 * On the board it is a plain store.  Off the board the host layer may let
 * the bus masters look at memory right after it, as a chip that polls its
 * lists by itself can do between any two stores of the driver. */
extern void (*dmaStoreHook)(void);
inline void dmaStore32(volatile uint32_t *adrs, uint32_t value)
{
    *adrs = value;
    if (dmaStoreHook != nullptr)
        dmaStoreHook();
}

/* PCI configuration space */
STATUS pciConfigInWord(int bus, int dev, int func, int offset, uint16_t *data);
STATUS pciConfigInLong(int bus, int dev, int func, int offset, uint32_t *data);
STATUS pciConfigOutLong(int bus, int dev, int func, int offset, uint32_t data);

/* board NVRAM */
STATUS sysNvRamGet(char *buf, int len, int offset);

/* bus access: a 32-bit load or store on the PCI bus at a bus address */
uint32_t sysInLong(uint32_t adrs);
void sysOutLong(uint32_t adrs, uint32_t value);

/* copy routines with a fixed access width */
void bcopyBytes(const char *src, char *dst, int nbytes);
void bcopyWords(const char *src, char *dst, int nwords);
void bcopyLongs(const char *src, char *dst, int nlongs);

[[noreturn]] void panic(const char *msg);
