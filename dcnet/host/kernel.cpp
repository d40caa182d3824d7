/* Semaphores, interrupt connection, the network job queue, logging and the
 * simulated clock.  Everything runs on the one test thread: "tasks" are the
 * caller and the job queue, interrupts are delivered when asked for. */
#include "host.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

struct host_semaphore {
    int options;
    int depth;
};

int hostSemCreateFail;
int hostIntConnectFail;
void (*hostPanicHook)(const char *msg);

static std::string logText;
static uint32_t ticks;

/* ---- semaphores ---- */

/* Semaphores live for the life of the system, as the driver's do; the pool
 * is emptied only when the host is reset between tests. */
#define HOST_NSEMS 64
static host_semaphore sems[HOST_NSEMS];
static int semsUsed;

SEM_ID semMCreate(int options)
{
    if (hostSemCreateFail || semsUsed == HOST_NSEMS)
        return nullptr;
    SEM_ID s = &sems[semsUsed++];
    s->options = options;
    s->depth = 0;
    return s;
}

STATUS semTake(SEM_ID s, int timeout)
{
    (void)timeout;
    if (s == nullptr)
        return ERROR;
    s->depth++; /* mutual exclusion semaphores are recursive for their owner */
    return OK;
}

STATUS semGive(SEM_ID s)
{
    if (s == nullptr || s->depth == 0)
        return ERROR;
    s->depth--;
    return OK;
}

/* ---- interrupts ---- */

#define HOST_NVEC 256

struct host_vector {
    ISRFUNC routine;
    void *param;
    int level;
    BOOL asserted;
};

static host_vector vectors[HOST_NVEC];
static uint32_t levelEnabled; /* one bit per level 0-31 */

STATUS intConnect(int vector, ISRFUNC routine, void *param)
{
    if (hostIntConnectFail || vector < 0 || vector >= HOST_NVEC)
        return ERROR;
    vectors[vector].routine = routine;
    vectors[vector].param = param;
    return OK;
}

STATUS intDisconnect(int vector, ISRFUNC routine, void *param)
{
    if (vector < 0 || vector >= HOST_NVEC || vectors[vector].routine != routine ||
        vectors[vector].param != param)
        return ERROR;
    vectors[vector].routine = nullptr;
    vectors[vector].param = nullptr;
    return OK;
}

STATUS sysLanIntEnable(int level)
{
    if (level < 0 || level > 31)
        return ERROR;
    levelEnabled |= 1u << level;
    return OK;
}

BOOL hostIntConnected(int vector)
{
    return vector >= 0 && vector < HOST_NVEC && vectors[vector].routine != nullptr;
}

BOOL hostIntLevelEnabled(int level)
{
    return level >= 0 && level <= 31 && (levelEnabled & (1u << level)) != 0;
}

void hostIntLineSet(int vector, int level, BOOL asserted)
{
    if (vector < 0 || vector >= HOST_NVEC)
        return;
    vectors[vector].level = level;
    vectors[vector].asserted = asserted;
}

int hostIntDeliver(void)
{
    int delivered = 0;
    for (int v = 0; v < HOST_NVEC; v++) {
        host_vector *hv = &vectors[v];
        /* level triggered: call again while the line stays asserted, bounded so
         * that a device that never drops its line cannot hang the test */
        for (int n = 0; n < 16 && hv->asserted && hv->routine && hostIntLevelEnabled(hv->level);
             n++) {
            hv->routine(hv->param);
            delivered++;
        }
    }
    return delivered;
}

/* ---- network job queue ---- */

struct host_job {
    NETJOBFUNC routine;
    intptr_t p[5];
};

#define HOST_JOBQ_SIZE 256
static host_job jobs[HOST_JOBQ_SIZE];
static int jobHead, jobCount;

STATUS netJobAdd(NETJOBFUNC routine, intptr_t p1, intptr_t p2, intptr_t p3, intptr_t p4,
                 intptr_t p5)
{
    if (jobCount == HOST_JOBQ_SIZE) {
        logMsg("netJobAdd: ring buffer full\n", 0, 0, 0, 0, 0, 0);
        return ERROR;
    }
    host_job *j = &jobs[(jobHead + jobCount) % HOST_JOBQ_SIZE];
    j->routine = routine;
    j->p[0] = p1;
    j->p[1] = p2;
    j->p[2] = p3;
    j->p[3] = p4;
    j->p[4] = p5;
    jobCount++;
    return OK;
}

int netJobPending(void) { return jobCount; }

int netJobRunOne(void)
{
    if (jobCount == 0)
        return 0;
    host_job j = jobs[jobHead];
    jobHead = (jobHead + 1) % HOST_JOBQ_SIZE;
    jobCount--;
    j.routine(j.p[0], j.p[1], j.p[2], j.p[3], j.p[4]);
    return 1;
}

int hostRunUntilIdle(int maxSteps)
{
    int steps = 0;
    while (steps < maxSteps) {
        int did = hostIntDeliver();
        did += netJobRunOne();
        if (did == 0)
            break;
        steps++;
    }
    return steps;
}

/* ---- logging ---- */

int logMsg(const char *fmt, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4, intptr_t a5,
           intptr_t a6)
{
    /* Callers pass integers only (as the kernel's logMsg expects). The format
     * conversions used by the driver are %d and %x, which take an int. */
    char buf[512];
    int n = snprintf(buf, sizeof buf, fmt, (int)a1, (int)a2, (int)a3, (int)a4, (int)a5, (int)a6);
    if (n > 0)
        logText.append(buf, (size_t)n < sizeof buf ? (size_t)n : sizeof buf - 1);
    return n;
}

const char *hostLogText(void) { return logText.c_str(); }
void hostLogClear(void) { logText.clear(); }

/* ---- clock ---- */

#define HOST_CLK_RATE 60

int sysClkRateGet(void) { return HOST_CLK_RATE; }
uint32_t tickGet(void) { return ticks; }
void hostClockAdvance(int n)
{
    if (n > 0)
        ticks += (uint32_t)n;
}

STATUS taskDelay(int n)
{
    hostClockAdvance(n < 1 ? 1 : n);
    return OK;
}

/* ---- copies and panic ---- */

void bcopyBytes(const char *src, char *dst, int nbytes)
{
    for (int i = 0; i < nbytes; i++)
        dst[i] = src[i];
}

void bcopyWords(const char *src, char *dst, int nwords)
{
    for (int i = 0; i < nwords; i++) {
        uint16_t w;
        memcpy(&w, src + 2 * i, 2);
        memcpy(dst + 2 * i, &w, 2);
    }
}

void bcopyLongs(const char *src, char *dst, int nlongs)
{
    for (int i = 0; i < nlongs; i++) {
        uint32_t w;
        memcpy(&w, src + 4 * i, 4);
        memcpy(dst + 4 * i, &w, 4);
    }
}

void panic(const char *msg)
{
    if (hostPanicHook)
        hostPanicHook(msg); /* a test hook throws */
    fprintf(stderr, "panic: %s\n", msg);
    abort();
}

void hostKernelReset(void);
void hostKernelReset(void)
{
    for (auto &v : vectors)
        v = host_vector{};
    levelEnabled = 0;
    jobHead = jobCount = 0;
    semsUsed = 0;
    logText.clear();
    ticks = 0;
    hostSemCreateFail = 0;
    hostIntConnectFail = 0;
    hostPanicHook = nullptr;
}
