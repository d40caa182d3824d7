/* mbufs and clusters from fixed pools, with a settable limit so tests can
 * run the stack out of buffers. */
#include "host.h"

#define HOST_NMBUFS 4096
#define HOST_NCLUSTERS 1024
#define HOST_CLUSTER_TYPE 1 /* m_extType of a host cluster */

static mbuf *mbufPool;
static char (*clusterPool)[MCLBYTES];
static mbuf *mbufFree;
static int clusterFree[HOST_NCLUSTERS];
static int clusterFreeCount;
static int mbufsInUse;
static int mbufLimit = -1;

static void poolInit(void)
{
    if (mbufPool != nullptr)
        return;
    mbufPool = new mbuf[HOST_NMBUFS];
    clusterPool = new char[HOST_NCLUSTERS][MCLBYTES];
    mbufFree = nullptr;
    for (int i = HOST_NMBUFS - 1; i >= 0; i--) {
        mbufPool[i].m_next = mbufFree;
        mbufFree = &mbufPool[i];
    }
    clusterFreeCount = 0;
    for (int i = HOST_NCLUSTERS - 1; i >= 0; i--)
        clusterFree[clusterFreeCount++] = i;
    mbufsInUse = 0;
}

void hostMbufReset(void)
{
    /* buffers a previous test left behind are reclaimed wholesale */
    delete[] mbufPool;
    delete[] clusterPool;
    mbufPool = nullptr;
    clusterPool = nullptr;
    mbufLimit = -1;
    poolInit();
}

void hostMbufLimitSet(int maxMbufs) { mbufLimit = maxMbufs; }
int hostMbufInUse(void) { return mbufsInUse; }
int hostClusterInUse(void) { return HOST_NCLUSTERS - clusterFreeCount; }

struct mbuf *m_get(int how, int type)
{
    (void)how;
    poolInit();
    if (mbufFree == nullptr || (mbufLimit >= 0 && mbufsInUse >= mbufLimit))
        return nullptr;
    mbuf *m = mbufFree;
    mbufFree = m->m_next;
    mbufsInUse++;
    m->m_next = nullptr;
    m->m_nextpkt = nullptr;
    m->m_data = m->m_dat;
    m->m_len = 0;
    m->m_type = type;
    m->m_flags = 0;
    m->m_extBuf = nullptr;
    m->m_extSize = 0;
    m->m_extType = 0;
    m->m_extRefCnt = nullptr;
    m->m_extFree = nullptr;
    m->m_extArg1 = m->m_extArg2 = m->m_extArg3 = nullptr;
    return m;
}

static BOOL clusterAttach(mbuf *m)
{
    if (clusterFreeCount == 0)
        return FALSE;
    int c = clusterFree[--clusterFreeCount];
    m->m_flags |= M_EXT;
    m->m_extBuf = clusterPool[c];
    m->m_extSize = MCLBYTES;
    m->m_extType = HOST_CLUSTER_TYPE;
    m->m_data = m->m_extBuf;
    return TRUE;
}

struct mbuf *m_free(struct mbuf *m)
{
    if (m == nullptr)
        return nullptr;
    mbuf *next = m->m_next;
    if (m->m_flags & M_EXT) {
        if (m->m_extType == HOST_CLUSTER_TYPE) {
            clusterFree[clusterFreeCount++] = (int)((m->m_extBuf - clusterPool[0]) / MCLBYTES);
        } else {
            /* a loaned buffer goes back to its owner when the last reference is dropped */
            if (m->m_extRefCnt == nullptr || *m->m_extRefCnt <= 1) {
                if (m->m_extRefCnt)
                    *m->m_extRefCnt = 0;
                if (m->m_extFree)
                    m->m_extFree(m->m_extArg1, m->m_extArg2, m->m_extArg3);
            } else {
                (*m->m_extRefCnt)--;
            }
        }
    }
    m->m_next = mbufFree;
    mbufFree = m;
    mbufsInUse--;
    return next;
}

void m_freem(struct mbuf *m)
{
    while (m)
        m = m_free(m);
}

struct mbuf *build_cluster(char *buf, int len, struct ifnet *ifp, int ctype, uint8_t *pRefCnt,
                           MBUF_FREE_FUNC freeRtn, void *arg1, void *arg2, void *arg3)
{
    (void)ifp;
    if (buf == nullptr || len < 0 || pRefCnt == nullptr)
        return nullptr;
    mbuf *m = m_get(M_DONTWAIT, MT_DATA);
    if (m == nullptr)
        return nullptr;
    m->m_flags |= M_EXT;
    m->m_extBuf = buf;
    m->m_extSize = len;
    m->m_extType = ctype == HOST_CLUSTER_TYPE ? HOST_CLUSTER_TYPE + 1 : ctype;
    m->m_extRefCnt = pRefCnt;
    m->m_extFree = freeRtn;
    m->m_extArg1 = arg1;
    m->m_extArg2 = arg2;
    m->m_extArg3 = arg3;
    m->m_data = buf;
    m->m_len = len;
    (*pRefCnt)++;
    return m;
}

static void widthCopy(const char *src, char *dst, int n, int width)
{
    switch (width) {
    case 2:
        bcopyWords(src, dst, n / 2);
        bcopyBytes(src + (n & ~1), dst + (n & ~1), n & 1);
        break;
    case 4:
        bcopyLongs(src, dst, n / 4);
        bcopyBytes(src + (n & ~3), dst + (n & ~3), n & 3);
        break;
    case 1:
        bcopyBytes(src, dst, n);
        break;
    default:
        memcpy(dst, src, (size_t)n);
        break;
    }
}

struct mbuf *bcopy_to_mbufs(char *buf, int totlen, int off0, struct ifnet *ifp, int width)
{
    (void)ifp;
    if (buf == nullptr || totlen < 0 || off0 != 0)
        return nullptr;
    mbuf *top = nullptr, **mp = &top;
    int done = 0;
    do {
        mbuf *m = m_get(M_DONTWAIT, MT_DATA);
        if (m == nullptr) {
            m_freem(top);
            return nullptr;
        }
        int room = MLEN;
        if (totlen - done > MLEN && clusterAttach(m))
            room = MCLBYTES;
        int n = totlen - done < room ? totlen - done : room;
        widthCopy(buf + done, m->m_data, n, width);
        m->m_len = n;
        done += n;
        *mp = m;
        mp = &m->m_next;
    } while (done < totlen);
    return top;
}

int hostMbufChainCopy(const struct mbuf *m, uint8_t *out, int max)
{
    int n = 0;
    for (; m; m = m->m_next) {
        int c = m->m_len < max - n ? m->m_len : max - n;
        memcpy(out + n, m->m_data, (size_t)c);
        n += c;
    }
    return n;
}
