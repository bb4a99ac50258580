// The login publisher's directory calls through libldap; see publisher.h.
#include "outside/agent/logon/publisher.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <ldap.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace outside::agent::logon {

namespace {

using outside::directory::PipeGuard;

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
using MessagePtr = std::unique_ptr<LDAPMessage, MessageFree>;

std::string dotted(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

}  // namespace

Publisher::Publisher(const Config& config, Deadline deadline)
    : config_(config), deadline_(deadline) {
    outside::directory::ConnectionSettings settings{
        .server = config.url,
        .startTls = config.startTls,
        .caCertificateFile = config.caFile,
        .certificateFile = config.bind == BindMethod::External ? config.certificateFile : "",
        .keyFile = config.bind == BindMethod::External ? config.keyFile : "",
        .timeout = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now())};
    if (settings.timeout.count() < 1) throw PublishError(describe("no time left to connect"));
    try {
        ld_ = outside::directory::openConnection(settings);
    } catch (const outside::directory::ConnectionError& e) {
        throw PublishError(describe(e.what()));
    }
    limitWait();
    PipeGuard quiet;
    int rc = LDAP_SUCCESS;
    switch (config.bind) {
        case BindMethod::Simple: {
            const std::string secret = readSecret(config.secretFile);
            rc = outside::directory::simpleBind(ld_.get(), config.bindDn, secret);
            if (rc == LDAP_INVALID_CREDENTIALS)
                throw PublishError(describe("the server refused the bind as " + config.bindDn +
                                            " with the secret in " + config.secretFile));
            break;
        }
        case BindMethod::External:
            rc = outside::directory::saslBind(ld_.get(), BindMethod::External);
            break;
        case BindMethod::Gssapi: {
            // The workstation's own key: Kerberos takes it from the keytab
            // named here (the host's default otherwise) into a cache of this
            // process alone, never the ticket of the user logging in.
            const std::string keytab = config.keytab.empty() ? "/etc/krb5.keytab" : config.keytab;
            ::setenv("KRB5_CLIENT_KTNAME", keytab.c_str(), 1);
            ::setenv("KRB5CCNAME", "MEMORY:tolvane-logon", 1);
            rc = outside::directory::saslBind(ld_.get(), BindMethod::Gssapi);
            if (outside::directory::lacksKerberosTicket(ld_.get(), rc)) {
                std::string why = "no Kerberos key for this workstation in ";
                why += keytab;
                why += ": ";
                why += outside::directory::serverError(ld_.get(), rc);
                throw PublishError(describe(why));
            }
            break;
        }
    }
    if (rc == LDAP_TIMEOUT || rc == LDAP_SERVER_DOWN)
        throw PublishError(describe("the server did not answer the bind in time"));
    if (rc != LDAP_SUCCESS)
        throw PublishError(
            describe("cannot bind: " + outside::directory::serverError(ld_.get(), rc)));
}

std::string Publisher::describe(const std::string& what) const {
    return config_.url + ": " + what;
}

void Publisher::limitWait() {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) throw PublishError(describe("no time left for the server"));
    timeval timeout{static_cast<time_t>(left.count() / 1000000),
                    static_cast<suseconds_t>(left.count() % 1000000)};
    ldap_set_option(ld_.get(), LDAP_OPT_TIMEOUT, &timeout);
    ldap_set_option(ld_.get(), LDAP_OPT_NETWORK_TIMEOUT, &timeout);
}

std::string Publisher::address() const {
    if (!config_.interface.empty()) {
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) != 0) throw PublishError("cannot list the network interfaces");
        std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> hold(list, freeifaddrs);
        for (ifaddrs* a = list; a; a = a->ifa_next)
            if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET &&
                config_.interface == a->ifa_name)
                return dotted(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr);
        throw PublishError("the interface " + config_.interface + " has no IPv4 address");
    }
    int fd = -1;
    if (ldap_get_option(ld_.get(), LDAP_OPT_DESC, &fd) != LDAP_OPT_SUCCESS || fd < 0)
        throw PublishError(describe("the connection has no socket to take the address from"));
    sockaddr_storage local{};
    socklen_t size = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0)
        throw PublishError(describe("cannot learn this workstation's address"));
    if (local.ss_family == AF_INET)
        return dotted(reinterpret_cast<const sockaddr_in*>(&local)->sin_addr);
    if (local.ss_family == AF_INET6) {
        const auto& six = reinterpret_cast<const sockaddr_in6*>(&local)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&six)) {
            in_addr four{};
            std::memcpy(&four, six.s6_addr + 12, 4);
            return dotted(four);
        }
    }
    throw PublishError(
        describe("this workstation reaches the server over IPv6; name an "
                 "interface with an IPv4 address in [workstation] interface"));
}

std::string Publisher::findUser(const std::string& login) {
    PipeGuard quiet;
    std::vector<std::string> bases;
    if (!config_.userBase.empty()) {
        bases.push_back(config_.userBase);
    } else {
        limitWait();
        const char* attributes[] = {"namingContexts", "defaultNamingContext", nullptr};
        LDAPMessage* raw = nullptr;
        const int rc = ldap_search_ext_s(ld_.get(), "", LDAP_SCOPE_BASE, "(objectClass=*)",
                                         const_cast<char**>(attributes), 0, nullptr, nullptr,
                                         nullptr, 0, &raw);
        MessagePtr result(raw);
        if (rc != LDAP_SUCCESS)
            throw PublishError(describe("cannot read the server's naming contexts: " +
                                        outside::directory::serverError(ld_.get(), rc)));
        if (LDAPMessage* e = ldap_first_entry(ld_.get(), result.get())) {
            for (const char* type : {"defaultNamingContext", "namingContexts"}) {
                berval** values = ldap_get_values_len(ld_.get(), e, type);
                for (int i = 0; values && values[i]; ++i)
                    bases.emplace_back(values[i]->bv_val, values[i]->bv_len);
                ldap_value_free_len(values);
                if (!bases.empty()) break;
            }
        }
        if (bases.empty())
            throw PublishError(
                describe("the server names no tree to look for users in; give "
                         "[users] base"));
    }
    const std::string filter = userFilter(config_, login);
    std::vector<std::string> found;
    for (const auto& base : bases) {
        limitWait();
        const char* attributes[] = {LDAP_NO_ATTRS, nullptr};
        LDAPMessage* raw = nullptr;
        const int rc = ldap_search_ext_s(ld_.get(), base.c_str(), LDAP_SCOPE_SUBTREE,
                                         filter.c_str(), const_cast<char**>(attributes), 0, nullptr,
                                         nullptr, nullptr, 2, &raw);
        MessagePtr result(raw);
        if (rc == LDAP_TIMEOUT || rc == LDAP_SERVER_DOWN)
            throw PublishError(describe("the server did not answer the search for " + login));
        if (rc != LDAP_SUCCESS && rc != LDAP_SIZELIMIT_EXCEEDED && rc != LDAP_NO_SUCH_OBJECT)
            throw PublishError(describe("cannot search for " + login + ": " +
                                        outside::directory::serverError(ld_.get(), rc)));
        for (LDAPMessage* e = ldap_first_entry(ld_.get(), result.get()); e;
             e = ldap_next_entry(ld_.get(), e)) {
            char* dn = ldap_get_dn(ld_.get(), e);
            if (dn) found.emplace_back(dn);
            ldap_memfree(dn);
        }
        if (rc == LDAP_SIZELIMIT_EXCEEDED) break;
    }
    if (found.empty()) throw PublishError(describe("no user " + login + " (" + filter + ")"));
    if (found.size() > 1)
        throw PublishError(describe("more than one entry is the user " + login + " (" + filter +
                                    "): " + found[0] + ", " + found[1]));
    return found.front();
}

void Publisher::modify(int op, const std::string& dn, const std::string& attribute,
                       const std::string& value) {
    PipeGuard quiet;
    limitWait();
    berval one{static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())};
    berval* values[] = {&one, nullptr};
    LDAPMod mod{};
    mod.mod_op = op | LDAP_MOD_BVALUES;
    mod.mod_type = const_cast<char*>(attribute.c_str());
    mod.mod_bvalues = values;
    LDAPMod* mods[] = {&mod, nullptr};
    const int rc = ldap_modify_ext_s(ld_.get(), dn.c_str(), mods, nullptr, nullptr);
    if (rc == LDAP_SUCCESS) return;
    if (op == LDAP_MOD_ADD && (rc == LDAP_TYPE_OR_VALUE_EXISTS)) return;
    if (op == LDAP_MOD_DELETE && rc == LDAP_NO_SUCH_ATTRIBUTE) return;
    const char* verb = op == LDAP_MOD_ADD ? "add" : op == LDAP_MOD_DELETE ? "remove" : "set";
    if (rc == LDAP_TIMEOUT || rc == LDAP_SERVER_DOWN)
        throw PublishError(describe(std::string("the server did not answer in time to ") + verb +
                                    " " + attribute + " of " + dn));
    throw PublishError(describe(std::string("cannot ") + verb + " " + attribute + " \"" + value +
                                "\" of " + dn + ": " +
                                outside::directory::serverError(ld_.get(), rc)));
}

void Publisher::add(const std::string& dn, const std::string& attribute, const std::string& value) {
    modify(LDAP_MOD_ADD, dn, attribute, value);
}

void Publisher::remove(const std::string& dn, const std::string& attribute,
                       const std::string& value) {
    modify(LDAP_MOD_DELETE, dn, attribute, value);
}

void Publisher::replace(const std::string& dn, const std::string& attribute,
                        const std::string& value) {
    modify(LDAP_MOD_REPLACE, dn, attribute, value);
}

}  // namespace outside::agent::logon
