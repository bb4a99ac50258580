// The shared connection set-up; see connection.h.
#include "outside/directory/connection.h"

#include <ldap.h>

#include <string_view>

#include "outside/directory/ldapwatch.h"

namespace outside::directory {

void ConnectionClose::operator()(LDAP* ld) const {
    PipeGuard quiet;
    ldap_unbind_ext_s(ld, nullptr, nullptr);
}

Connection openConnection(const ConnectionSettings& settings) {
    LDAP* raw = nullptr;
    if (ldap_initialize(&raw, settings.server.c_str()) != LDAP_SUCCESS || !raw)
        throw ConnectionError("cannot use this server address");
    Connection ld(raw);
    if (settings.watch) {
        settings.watch->install(ld.get());
        settings.watch->reset();
    }
    const int version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const int never = LDAP_DEREF_NEVER;
    ldap_set_option(ld.get(), LDAP_OPT_DEREF, &never);
    const auto ms = settings.timeout.count();
    timeval timeout{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &timeout);
    if (!settings.caCertificateFile.empty())
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_CACERTFILE, settings.caCertificateFile.c_str());
    if (!settings.certificateFile.empty()) {
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_CERTFILE, settings.certificateFile.c_str());
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_KEYFILE, settings.keyFile.c_str());
    }
    if (!settings.caCertificateFile.empty() || !settings.certificateFile.empty()) {
        const int isServer = 0;
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_NEWCTX, &isServer);
    }
    if (settings.startTls) {
        PipeGuard quiet;
        const int rc = ldap_start_tls_s(ld.get(), nullptr, nullptr);
        if (rc != LDAP_SUCCESS)
            throw ConnectionError("StartTLS failed: " + serverError(ld.get(), rc), rc);
    }
    return ld;
}

int simpleBind(LDAP* ld, const std::string& dn, const std::string& password) {
    PipeGuard quiet;
    berval secret{static_cast<ber_len_t>(password.size()), const_cast<char*>(password.data())};
    return ldap_sasl_bind_s(ld, dn.c_str(), LDAP_SASL_SIMPLE, &secret, nullptr, nullptr, nullptr);
}

std::string serverError(LDAP* ld, int code) {
    std::string text = ldap_err2string(code);
    char* diagnostic = nullptr;
    if (ld && ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == LDAP_OPT_SUCCESS &&
        diagnostic) {
        // libldap leaves "(unknown error code)" where it has nothing to say.
        const std::string_view said = diagnostic;
        // Appended piece by piece: GCC 12's optimiser takes one expression of
        // temporaries for an overlapping copy and fails -Werror=restrict.
        if (!said.empty() && said != "(unknown error code)") {
            const bool parenthesised = said.front() == '(';
            text += parenthesised ? " " : " (";
            text += said;
            if (!parenthesised) text += ')';
        }
        ldap_memfree(diagnostic);
    }
    return text;
}

}  // namespace outside::directory
