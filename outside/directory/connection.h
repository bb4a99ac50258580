// Opening a connection to a directory server, the one way every client of
// ours does it: LDAPv3, no referrals chased, aliases never dereferenced, a
// bound wait for the network and for every answer, the site's CA and
// StartTLS; and the bind, simple or SASL (Kerberos, a client certificate).
// The directory control's reads, kddir-check and the login publisher's
// writes share it. What libldap's own configuration (ldap.conf, .ldaprc,
// LDAP* variables) sets for TLS and SASL stays in force unless a setting
// here names it.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "outside/directory/bindmethod.h"

typedef struct ldap LDAP;

namespace outside::directory {

class ConnectionWatch;

struct ConnectionSettings {
    std::string server;  // scheme://host:port
    bool startTls = false;
    // A CA certificate (PEM) that the server's certificate may chain to, in
    // addition to the system's trusted ones.
    std::string caCertificateFile;
    // A client certificate and its key (PEM), shown to the server in TLS.
    std::string certificateFile;
    std::string keyFile;
    // The longest wait for the connection and for each answer.
    std::chrono::milliseconds timeout{10000};
    // When set, watches every wait on the connection's socket (ldapwatch.h);
    // it must outlive the connection.
    ConnectionWatch* watch = nullptr;
};

struct ConnectionClose {
    void operator()(LDAP* ld) const;
};
using Connection = std::unique_ptr<LDAP, ConnectionClose>;

// A server that cannot be used: what went wrong, in words, without the
// server's address (callers say which server they meant).
class ConnectionError : public std::runtime_error {
public:
    explicit ConnectionError(const std::string& what, int startTlsCode = 0)
        : std::runtime_error(what), startTlsCode(startTlsCode) {}
    // libldap's code when StartTLS failed, else 0.
    int startTlsCode;
};

// A connection set up (and StartTLS done when asked for), not yet bound.
// Throws ConnectionError.
Connection openConnection(const ConnectionSettings& settings);

// A simple bind (an empty DN and password: anonymous); libldap's result code.
int simpleBind(LDAP* ld, const std::string& dn, const std::string& password);

// A SASL bind with GSSAPI or EXTERNAL, asking nothing of anyone (the
// identity to act as is the one authenticated); libldap's result code.
int saslBind(LDAP* ld, BindMethod method);

// Binds by the method; dn and password are used by the simple bind only.
int bind(LDAP* ld, BindMethod method, const std::string& dn, const std::string& password);

// For a GSSAPI bind that failed: true when the reason is that the process
// holds no usable Kerberos ticket (none, or an expired one), which kinit
// mends; false for every other reason (a server the KDC does not know, a
// clock too far off, the server's refusal).
bool lacksKerberosTicket(LDAP* ld, int code);

// The identity the server sees on a bound connection, as the server writes
// it (WhoAmI, RFC 4532): "dn:cn=reader,o=example", "u:CORP\\admin", or ""
// for an anonymous bind. nullopt when the server does not answer it.
std::optional<std::string> whoAmI(LDAP* ld);

// Who a bound connection is, for a person: the server's answer to WhoAmI
// when it gives one; else (Active Directory does not answer it) the identity
// the client authenticated as, the Kerberos principal or the DN, marked as
// the client's. dn is the simple bind's.
std::string boundIdentity(LDAP* ld, BindMethod method, const std::string& dn);

// libldap's text for a result code, with the server's diagnostic message
// when it sent one (not libldap's own "(unknown error code)").
std::string serverError(LDAP* ld, int code);

// libldap's TLS layer may write to a connection that the server has closed;
// the SIGPIPE that follows must not end the program that loaded us. While a
// guard lives, SIGPIPE is blocked on this thread, and one that arrived is
// taken away before the guard unblocks it again.
class PipeGuard {
public:
    PipeGuard() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~PipeGuard() {
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    PipeGuard(const PipeGuard&) = delete;
    PipeGuard& operator=(const PipeGuard&) = delete;

private:
    sigset_t pipe_;
    sigset_t old_;
    bool wasPending_ = false;
};

}  // namespace outside::directory
