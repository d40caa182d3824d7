/* The BSD 4.3-style network stack interface used by the driver: interface
 * records, mbufs and the Ethernet input and output services. */
#pragma once

#include "vxWorks.h"

#define MLEN 128
#define MCLBYTES 2048

#define MT_DATA 1
#define M_EXT 0x1
#define M_DONTWAIT 1

struct mbuf;
typedef void (*MBUF_FREE_FUNC)(void *arg1, void *arg2, void *arg3);

struct mbuf {
    struct mbuf *m_next;    /* next buffer of the same packet */
    struct mbuf *m_nextpkt; /* next packet in a queue */
    char *m_data;
    int m_len;
    int m_type;
    int m_flags;
    /* external storage (clusters and loaned driver buffers) */
    char *m_extBuf;
    int m_extSize;
    int m_extType;
    uint8_t *m_extRefCnt;
    MBUF_FREE_FUNC m_extFree;
    void *m_extArg1;
    void *m_extArg2;
    void *m_extArg3;
    char m_dat[MLEN];
};

#define mtod(m, t) ((t)((m)->m_data))

struct ifqueue {
    struct mbuf *ifq_head;
    struct mbuf *ifq_tail;
    int ifq_len;
    int ifq_maxlen;
    int ifq_drops;
};

#define IFQ_MAXLEN 50

#define IF_QFULL(ifq) ((ifq)->ifq_len >= (ifq)->ifq_maxlen)
#define IF_DROP(ifq) ((ifq)->ifq_drops++)
#define IF_ENQUEUE(ifq, m)                                                                        \
    do {                                                                                          \
        (m)->m_nextpkt = nullptr;                                                                 \
        if ((ifq)->ifq_tail == nullptr)                                                           \
            (ifq)->ifq_head = (m);                                                                \
        else                                                                                      \
            (ifq)->ifq_tail->m_nextpkt = (m);                                                     \
        (ifq)->ifq_tail = (m);                                                                    \
        (ifq)->ifq_len++;                                                                         \
    } while (0)
#define IF_DEQUEUE(ifq, m)                                                                        \
    do {                                                                                          \
        (m) = (ifq)->ifq_head;                                                                    \
        if (m) {                                                                                  \
            if (((ifq)->ifq_head = (m)->m_nextpkt) == nullptr)                                    \
                (ifq)->ifq_tail = nullptr;                                                        \
            (m)->m_nextpkt = nullptr;                                                             \
            (ifq)->ifq_len--;                                                                     \
        }                                                                                         \
    } while (0)

struct sockaddr {
    uint16_t sa_family;
    char sa_data[14];
};

struct in_addr {
    uint32_t s_addr;
};

struct sockaddr_in {
    uint16_t sin_family;
    uint16_t sin_port;
    struct in_addr sin_addr;
    char sin_zero[8];
};

struct ifaddr {
    struct sockaddr ifa_addr;
};

#define AF_UNSPEC 0
#define AF_INET 2

#define IFF_UP 0x1
#define IFF_BROADCAST 0x2
#define IFF_NOTRAILERS 0x20
#define IFF_RUNNING 0x40

#define SIOCSIFADDR 0x8020690C
#define SIOCSIFFLAGS 0x80206910

#define NET_ENETDOWN 50
#define NET_ENOBUFS 55
#define NET_EINVAL 22

struct ifnet;
typedef int (*IF_INIT_FUNC)(int unit);
typedef int (*IF_IOCTL_FUNC)(struct ifnet *ifp, int cmd, char *data);
typedef int (*IF_OUTPUT_FUNC)(struct ifnet *ifp, struct mbuf *m, struct sockaddr *dst);
typedef void (*IF_RESET_FUNC)(int unit);
typedef void (*IF_START_FUNC)(int unit);

struct ifnet {
    const char *if_name;
    int if_unit;
    int if_mtu;
    short if_flags;
    struct ifqueue if_snd;
    int if_ipackets;
    int if_ierrors;
    int if_opackets;
    int if_oerrors;
    int if_collisions;
    IF_INIT_FUNC if_init;
    IF_IOCTL_FUNC if_ioctl;
    IF_OUTPUT_FUNC if_output;
    IF_RESET_FUNC if_reset;
    struct ifnet *if_next;
};

struct arpcom {
    struct ifnet ac_if;
    uint8_t ac_enaddr[6];
    struct in_addr ac_ipaddr;
};

#define ETHER_HDR_LEN 14

/* stack services */
void ether_attach(struct ifnet *ifp, int unit, const char *name, IF_INIT_FUNC initRtn,
                  IF_IOCTL_FUNC ioctlRtn, IF_OUTPUT_FUNC outputRtn, IF_RESET_FUNC resetRtn);
int ether_output(struct ifnet *ifp, struct mbuf *m, struct sockaddr *dst, IF_START_FUNC startRtn,
                 struct arpcom *ac);
extern BOOL (*etherInputHookRtn)(struct ifnet *ifp, char *buf, int len);
struct mbuf *build_cluster(char *buf, int len, struct ifnet *ifp, int ctype, uint8_t *pRefCnt,
                           MBUF_FREE_FUNC freeRtn, void *arg1, void *arg2, void *arg3);
struct mbuf *bcopy_to_mbufs(char *buf, int totlen, int off0, struct ifnet *ifp, int width);
void do_protocol_with_type(uint16_t type, struct mbuf *m, struct arpcom *ac, int len);
struct mbuf *m_get(int how, int type);
struct mbuf *m_free(struct mbuf *m);
void m_freem(struct mbuf *m);
