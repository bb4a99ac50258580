// The shared connection set-up; see connection.h.
#include "outside/directory/connection.h"

#include <ldap.h>

#include <cstring>
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

namespace {

// Cyrus SASL's sasl_interact_t, whose layout is part of the library's ABI;
// its development header is not needed for this one structure.
struct SaslInteract {
    unsigned long id;  // SASL_CB_LIST_END (0) ends the list
    const char* challenge;
    const char* prompt;
    const char* defresult;
    const void* result;
    unsigned len;
};

// Nobody is asked anything: every question (the identity to act as, the
// realm) takes its default, which for GSSAPI and EXTERNAL is the one
// authenticated; that is what ldapsearch -Q does too.
int takeDefaults(LDAP*, unsigned, void*, void* questions) {
    for (auto* q = static_cast<SaslInteract*>(questions); q && q->id != 0; ++q) {
        const char* answer = q->defresult ? q->defresult : "";
        q->result = answer;
        q->len = static_cast<unsigned>(std::strlen(answer));
    }
    return LDAP_SUCCESS;
}

}  // namespace

int saslBind(LDAP* ld, BindMethod method) {
    PipeGuard quiet;
    const char* mechanism = method == BindMethod::Gssapi ? "GSSAPI" : "EXTERNAL";
    return ldap_sasl_interactive_bind_s(ld, nullptr, mechanism, nullptr, nullptr, LDAP_SASL_QUIET,
                                        takeDefaults, nullptr);
}

int bind(LDAP* ld, BindMethod method, const std::string& dn, const std::string& password) {
    if (method == BindMethod::Simple) return simpleBind(ld, dn, password);
    return saslBind(ld, method);
}

bool lacksKerberosTicket(LDAP* ld, int code) {
    if (code == LDAP_SUCCESS || code == LDAP_SERVER_DOWN || code == LDAP_TIMEOUT ||
        code == LDAP_CONNECT_ERROR)
        return false;
    char* diagnostic = nullptr;
    if (!ld || ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) != LDAP_OPT_SUCCESS ||
        !diagnostic)
        return false;
    const std::string said = diagnostic;
    ldap_memfree(diagnostic);
    // MIT Kerberos's words, which GSSAPI passes on as its minor status.
    for (const char* words :
         {"No Kerberos credentials available", "No credentials cache found", "Ticket expired",
          "credentials have expired", "No credentials were supplied", "Credentials cache file"})
        if (said.find(words) != std::string::npos) return true;
    return false;
}

std::optional<std::string> whoAmI(LDAP* ld) {
    PipeGuard quiet;
    berval* authzid = nullptr;
    const int rc = ldap_whoami_s(ld, &authzid, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        if (authzid) ber_bvfree(authzid);
        return std::nullopt;
    }
    std::string out;
    if (authzid) {
        if (authzid->bv_val) out.assign(authzid->bv_val, authzid->bv_len);
        ber_bvfree(authzid);
    }
    return out;
}

std::string boundIdentity(LDAP* ld, BindMethod method, const std::string& dn) {
    if (auto seen = whoAmI(ld)) return seen->empty() ? "anonymous" : *seen;
    std::string mine;
    if (method == BindMethod::Simple) {
        mine = "anonymous";
        if (!dn.empty()) {
            mine = "dn:";
            mine += dn;
        }
    } else {
        char* user = nullptr;
        if (ldap_get_option(ld, LDAP_OPT_X_SASL_USERNAME, &user) == LDAP_OPT_SUCCESS && user) {
            mine = user;
            ldap_memfree(user);
        }
        if (mine.empty()) mine = "the identity of the TLS client certificate";
    }
    mine += " (as this client authenticated; the server does not answer WhoAmI)";
    return mine;
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
