/* Ethernet interface registration, output through the send queue, and the
 * protocol input that tests observe. */
#include "host.h"

#include <deque>

BOOL (*etherInputHookRtn)(struct ifnet *ifp, char *buf, int len);

static struct ifnet *ifList;

struct host_rx {
    uint16_t type;
    mbuf *m;
    int len;
};
static std::deque<host_rx> rxQueue;
static HOST_RX_SINK rxSink;
static void *rxSinkCtx;

void hostEtherReset(void)
{
    ifList = nullptr;
    rxQueue.clear(); /* the mbufs themselves go with the pool reset */
    rxSink = nullptr;
    rxSinkCtx = nullptr;
    etherInputHookRtn = nullptr;
}

void ether_attach(struct ifnet *ifp, int unit, const char *name, IF_INIT_FUNC initRtn,
                  IF_IOCTL_FUNC ioctlRtn, IF_OUTPUT_FUNC outputRtn, IF_RESET_FUNC resetRtn)
{
    ifp->if_name = name;
    ifp->if_unit = unit;
    ifp->if_mtu = 1500;
    ifp->if_flags = IFF_BROADCAST;
    ifp->if_init = initRtn;
    ifp->if_ioctl = ioctlRtn;
    ifp->if_output = outputRtn;
    ifp->if_reset = resetRtn;
    ifp->if_snd.ifq_maxlen = IFQ_MAXLEN;
    for (ifnet *i = ifList; i; i = i->if_next)
        if (i == ifp)
            return; /* registered by an earlier attach attempt */
    ifp->if_next = ifList;
    ifList = ifp;
}

struct ifnet *hostIfFind(const char *name, int unit)
{
    for (ifnet *ifp = ifList; ifp; ifp = ifp->if_next)
        if (ifp->if_unit == unit && strcmp(ifp->if_name, name) == 0)
            return ifp;
    return nullptr;
}

/* Only link-level destinations are resolved here: AF_UNSPEC carries the
 * Ethernet header (destination and type) in sa_data, as raw output does. */
int ether_output(struct ifnet *ifp, struct mbuf *m, struct sockaddr *dst, IF_START_FUNC startRtn,
                 struct arpcom *ac)
{
    if ((ifp->if_flags & (IFF_UP | IFF_RUNNING)) != (IFF_UP | IFF_RUNNING)) {
        m_freem(m);
        return NET_ENETDOWN;
    }
    if (dst == nullptr || dst->sa_family != AF_UNSPEC) {
        m_freem(m);
        return NET_EINVAL;
    }
    mbuf *h = m_get(M_DONTWAIT, MT_DATA);
    if (h == nullptr) {
        m_freem(m);
        return NET_ENOBUFS;
    }
    uint8_t *eh = mtod(h, uint8_t *);
    memcpy(eh, dst->sa_data, 6);          /* destination */
    memcpy(eh + 6, ac->ac_enaddr, 6);     /* source */
    memcpy(eh + 12, dst->sa_data + 12, 2); /* type, network order */
    h->m_len = ETHER_HDR_LEN;
    h->m_next = m;

    if (IF_QFULL(&ifp->if_snd)) {
        IF_DROP(&ifp->if_snd);
        m_freem(h);
        return NET_ENOBUFS;
    }
    IF_ENQUEUE(&ifp->if_snd, h);
    ifp->if_opackets++;
    startRtn(ifp->if_unit);
    return 0;
}

void do_protocol_with_type(uint16_t type, struct mbuf *m, struct arpcom *ac, int len)
{
    (void)ac;
    if (rxSink) {
        rxSink(rxSinkCtx, type, m, len);
        return;
    }
    rxQueue.push_back(host_rx{type, m, len});
}

void hostRxSinkSet(HOST_RX_SINK sink, void *ctx)
{
    rxSink = sink;
    rxSinkCtx = ctx;
}

int hostRxCount(void) { return (int)rxQueue.size(); }

struct mbuf *hostRxTake(uint16_t *type, int *len)
{
    if (rxQueue.empty())
        return nullptr;
    host_rx r = rxQueue.front();
    rxQueue.pop_front();
    if (type)
        *type = r.type;
    if (len)
        *len = r.len;
    return r.m;
}
