// A bound on every wait of a libldap connection on its socket. libldap
// bounds the TCP connect and each request it waits for, but not the TLS
// handshake of an ldaps:// connection (on a server that accepts and then
// says nothing it retries a read for ever), nor a read cut off in the
// middle of a message. The watch adds a layer below libldap's TLS layer on
// every connection a handle opens: a read or write that would wait longer
// than the limit fails, and the watch remembers that it did, so that the
// caller can say that the server did not answer rather than what libldap
// makes of the failed read.
#pragma once

#include <ldap.h>

#include <atomic>
#include <chrono>

namespace outside::directory {

class ConnectionWatch {
public:
    explicit ConnectionWatch(std::chrono::milliseconds limit);
    ConnectionWatch(const ConnectionWatch&) = delete;
    ConnectionWatch& operator=(const ConnectionWatch&) = delete;

    // Watches the connections that ld opens from now on; the watch must
    // outlive ld. False when libldap refused the callback.
    bool install(LDAP* ld);

    // Since the last reset: whether a wait ran out, the first byte the
    // server sent (-1: none yet), and whether it closed the connection. A
    // failed ldaps:// handshake is told apart by them: a server that speaks
    // TLS opens with a handshake record (byte 0x16).
    bool timedOut() const { return timedOut_.load(); }
    int firstByte() const { return firstByte_.load(); }
    bool closedByServer() const { return closed_.load(); }
    void reset() {
        timedOut_.store(false);
        firstByte_.store(-1);
        closed_.store(false);
    }

    int limitMs() const { return limitMs_; }
    void noteTimeout() { timedOut_.store(true); }
    void noteRead(const void* buffer, long n) {
        if (n == 0) closed_.store(true);
        int none = -1;
        if (n > 0)
            firstByte_.compare_exchange_strong(none, *static_cast<const unsigned char*>(buffer));
    }

private:
    ldap_conncb callbacks_{};
    int limitMs_;
    std::atomic<bool> timedOut_{false};
    std::atomic<int> firstByte_{-1};
    std::atomic<bool> closed_{false};
};

}  // namespace outside::directory
