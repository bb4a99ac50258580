// The watch's socket layer: waits that run out fail with ETIMEDOUT.
#include "outside/directory/ldapwatch.h"

#include <fcntl.h>
#include <lber.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>

namespace outside::directory {
namespace {

int socketOf(Sockbuf_IO_Desc* sbiod) {
    ber_socket_t fd = -1;
    ber_sockbuf_ctrl(sbiod->sbiod_sb, LBER_SB_OPT_GET_FD, &fd);
    return fd;
}

// After the layer below found nothing to read or no room to write: on a
// non-blocking socket waits up to the limit for it; a blocking one has
// waited that long already (its SO_RCVTIMEO / SO_SNDTIMEO).
bool waitedInVain(Sockbuf_IO_Desc* sbiod, short event) {
    auto* watch = static_cast<ConnectionWatch*>(sbiod->sbiod_pvt);
    const int fd = socketOf(sbiod);
    const int flags = fd >= 0 ? ::fcntl(fd, F_GETFL) : -1;
    if (flags >= 0 && (flags & O_NONBLOCK) != 0) {
        pollfd p{fd, event, 0};
        int ready = 0;
        do {
            ready = ::poll(&p, 1, watch->limitMs());
        } while (ready < 0 && errno == EINTR);
        if (ready != 0) return false;  // ready (or an error the retry reports)
    }
    watch->noteTimeout();
    errno = ETIMEDOUT;
    return true;
}

bool wouldWait(ber_slen_t n) {
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

int setup(Sockbuf_IO_Desc* sbiod, void* arg) {
    sbiod->sbiod_pvt = arg;
    return 0;
}

int remove(Sockbuf_IO_Desc*) {
    return 0;
}

int control(Sockbuf_IO_Desc* sbiod, int option, void* arg) {
    return LBER_SBIOD_CTRL_NEXT(sbiod, option, arg);
}

ber_slen_t readSome(Sockbuf_IO_Desc* sbiod, void* buffer, ber_len_t length) {
    while (true) {
        const ber_slen_t n = LBER_SBIOD_READ_NEXT(sbiod, buffer, length);
        if (!wouldWait(n)) {
            static_cast<ConnectionWatch*>(sbiod->sbiod_pvt)->noteRead(buffer, n);
            return n;
        }
        if (waitedInVain(sbiod, POLLIN)) return -1;
    }
}

ber_slen_t writeSome(Sockbuf_IO_Desc* sbiod, void* buffer, ber_len_t length) {
    while (true) {
        const ber_slen_t n = LBER_SBIOD_WRITE_NEXT(sbiod, buffer, length);
        if (!wouldWait(n)) return n;
        if (waitedInVain(sbiod, POLLOUT)) return -1;
    }
}

int close(Sockbuf_IO_Desc*) {
    return 0;
}

Sockbuf_IO watchLayer = {setup, remove, control, readSome, writeSome, close};

int added(LDAP*, Sockbuf* sb, LDAPURLDesc*, sockaddr*, ldap_conncb* ctx) {
    auto* watch = static_cast<ConnectionWatch*>(ctx->lc_arg);
    ber_socket_t fd = -1;
    if (ber_sockbuf_ctrl(sb, LBER_SB_OPT_GET_FD, &fd) == 1 && fd >= 0) {
        const timeval limit{watch->limitMs() / 1000, (watch->limitMs() % 1000) * 1000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    // Called before libldap adds its socket layer (at the provider level):
    // one level above it, so that libldap's layer goes below this one and
    // the TLS layer above it.
    if (ber_sockbuf_add_io(sb, &watchLayer, LBER_SBIOD_LEVEL_PROVIDER + 1, watch) != 0) return -1;
    // libldap reads every message in two reads of its own, the header and
    // the rest: a level of 100,000 entries cost 200,000 system calls and as
    // many waits. Read ahead in large pieces above the watch, whose limit
    // then bounds each piece, and below TLS. Without it the connection
    // still works, only slower.
    static int readAhead = 64 * 1024;
    ber_sockbuf_add_io(sb, &ber_sockbuf_io_readahead, LBER_SBIOD_LEVEL_PROVIDER + 2, &readAhead);
    return 0;
}

void removed(LDAP*, Sockbuf*, ldap_conncb*) {}

}  // namespace

ConnectionWatch::ConnectionWatch(std::chrono::milliseconds limit)
    : limitMs_(
          static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(limit.count(), 1, 1 << 30))) {
    callbacks_.lc_add = added;
    callbacks_.lc_del = removed;
    callbacks_.lc_arg = this;
}

bool ConnectionWatch::install(LDAP* ld) {
    return ldap_set_option(ld, LDAP_OPT_CONNECT_CB, &callbacks_) == LDAP_OPT_SUCCESS;
}

}  // namespace outside::directory
