/* The statically linked PowerPC test programs have no use for name
 * resolution; GoogleTest refers to it only for streaming results to a socket,
 * which these runs never ask for.  Defining the entry points here keeps the
 * C library's resolver (which cannot work in a static binary) out of them. */
#include <netdb.h>

extern "C" int getaddrinfo(const char *, const char *, const struct addrinfo *,
                           struct addrinfo **res)
{
    *res = nullptr;
    return EAI_FAIL;
}

extern "C" void freeaddrinfo(struct addrinfo *) {}

extern "C" const char *gai_strerror(int) { return "name resolution not available"; }
