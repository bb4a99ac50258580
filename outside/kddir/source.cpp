// The control's configuration in the environment, the registry stores and
// libldap's configuration.
#include "outside/kddir/source.h"

#include <ldap.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/registry/numbers.h"
#include "platform/registry/store.h"
#include "platform/text/casefold.h"

namespace outside::kddir {

namespace {

namespace registry = platform::registry;

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::string> userValue(const char* name) {
    try {
        registry::Store store;
        return store.value(kSourceKey, name);
    } catch (const registry::RegistryError&) {
        return std::nullopt;
    }
}

// The machine's store is read, never created: a user's process opens it
// read-only, and a missing one holds nothing. When the user's store is the
// machine's file (root pointing REGISTRY_DB at it), it was read already.
std::optional<std::string> machineValue(const char* name) {
    const std::filesystem::path machine = registry::Store::machinePath();
    std::error_code ec;
    if (!std::filesystem::exists(machine, ec)) return std::nullopt;
    if (std::filesystem::equivalent(machine, registry::Store::defaultPath(), ec))
        return std::nullopt;
    try {
        registry::Store store(machine, std::chrono::seconds(2), registry::Store::Access::ReadOnly);
        return store.value(kSourceKey, name);
    } catch (const registry::RegistryError&) {
        return std::nullopt;
    }
}

// A value of the user's own, else the machine's, blank ones passed over.
std::optional<StoredValue> layered(const char* name) {
    if (auto own = userValue(name); own && !trimBlanks(*own).empty())
        return StoredValue{std::move(*own), false};
    if (auto machine = machineValue(name); machine && !trimBlanks(*machine).empty())
        return StoredValue{std::move(*machine), true};
    return std::nullopt;
}

std::string registryValue(const char* name) {
    auto stored = storedValue(name);
    return stored ? std::string(trimBlanks(stored->data)) : std::string();
}

std::string describeValue(const char* name, bool machine) {
    std::string text = "the registry value ";
    text += kSourceKey;
    text += '\\';
    text += name;
    text += machine ? " of the machine's store " : " of your store ";
    text += (machine ? registry::Store::machinePath() : registry::Store::defaultPath()).string();
    return text;
}

// A DN as the path of an LDAP URL: the characters that would end the path
// or be read as an escape are percent-encoded.
std::string urlPath(std::string_view dn) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : dn) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || c == '%' || c == '?' || c == '#' || c == '/') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// URI and BASE as libldap has them from its configuration, as ldapsearch
// would use them. libldap answers "ldap://localhost:389/??base" when nothing
// names a URI (a form no configuration writes), which is no choice of the site's.
ConfiguredSource ldapConfSource() {
    char* uris = nullptr;
    if (ldap_get_option(nullptr, LDAP_OPT_URI, &uris) != LDAP_OPT_SUCCESS || !uris) return {};
    std::string list = uris;
    ldap_memfree(uris);
    if (list == "ldap://localhost:389/??base") return {};
    // A list of servers for libldap to try in turn: the first is taken.
    std::string uri = list.substr(0, list.find_first_of(" ,\t"));
    if (uri.empty()) return {};
    while (uri.ends_with('/')) uri.pop_back();
    char* base = nullptr;
    std::string baseDn;
    if (ldap_get_option(nullptr, LDAP_OPT_DEFBASE, &base) == LDAP_OPT_SUCCESS && base) {
        baseDn = base;
        ldap_memfree(base);
    }
    if (!baseDn.empty()) {
        uri += '/';
        uri += urlPath(baseDn);
    }
    const char* file = std::getenv("LDAPCONF");
    std::string origin = "URI";
    if (!baseDn.empty()) origin += " and BASE";
    origin += " of libldap's configuration (";
    origin += file && *file ? file : "/etc/ldap/ldap.conf, ~/.ldaprc, LDAPURI, LDAPBASE";
    origin += ')';
    return {uri, origin};
}

}  // namespace

std::optional<StoredValue> storedValue(const char* name) {
    // Every user could read a password in the machine's store; one that an
    // older version or a hand-made store put there is not used.
    if (std::string_view(name) == kBindPasswordValue) {
        auto own = userValue(name);
        if (!own) return std::nullopt;
        return StoredValue{std::move(*own), false};
    }
    return layered(name);
}

ConfiguredSource configuredSourceAndOrigin() {
    if (const char* env = std::getenv("KDDIR_SOURCE"); env && *env) return {env, "KDDIR_SOURCE"};
    if (auto stored = storedValue(kSourceValue))
        return {std::string(trimBlanks(stored->data)),
                describeValue(kSourceValue, stored->machine)};
    return ldapConfSource();
}

std::string configuredSource() {
    return configuredSourceAndOrigin().value;
}

std::string noSourceReason() {
    std::string text = "No directory client is configured: set KDDIR_SOURCE, the registry value ";
    text += kSourceKey;
    text += '\\';
    text += kSourceValue;
    text +=
        " in your store (regvalue) or in the machine's store (regvalue --machine), or URI in "
        "ldap.conf";
    return text;
}

ConfiguredBind configuredBind() {
    ConfiguredBind out;
    const std::string stored = registryValue(kBindMethodValue);
    if (stored.empty()) {
        // SASL_MECH of libldap's configuration, as ldapsearch without -x
        // would use it; mechanisms we do not bind with leave the simple bind.
        // libldap answers SASL options for a handle only; one that is never
        // connected is enough.
        LDAP* ld = nullptr;
        if (ldap_initialize(&ld, nullptr) == LDAP_SUCCESS && ld) {
            char* mechanism = nullptr;
            if (ldap_get_option(ld, LDAP_OPT_X_SASL_MECH, &mechanism) == LDAP_OPT_SUCCESS &&
                mechanism) {
                const auto method = outside::directory::parseBindMethod(mechanism);
                ldap_memfree(mechanism);
                if (method && *method != outside::directory::BindMethod::Simple)
                    out.method = *method;
            }
            ldap_unbind_ext_s(ld, nullptr, nullptr);
        }
        return out;
    }
    if (auto method = outside::directory::parseBindMethod(stored))
        out.method = *method;
    else
        out.ignoredValue = stored;
    return out;
}

ConfiguredMapping configuredMapping() {
    if (const char* env = std::getenv("KDDIR_MAPPING"); env && !trimBlanks(env).empty())
        return {std::string(trimBlanks(env)), "KDDIR_MAPPING"};
    if (auto stored = storedValue(kMappingValue))
        return {std::string(trimBlanks(stored->data)),
                "the registry value " + std::string(kSourceKey) + "\\" + kMappingValue +
                    (stored->machine ? " (machine)" : "")};
    return {"auto", "default"};
}

SourceLimits configuredLimits() {
    SourceLimits out;
    out.limits.mapping.value = configuredMapping().value;
    out.limits.limitName =
        "set by the registry value " + std::string(kSourceKey) + "\\" + kMaxSourceBytesValue;
    const auto stored = storedValue(kMaxSourceBytesValue);
    if (!stored) return out;
    const auto bytes = registry::wholeNumber<std::uint64_t>(trimBlanks(stored->data));
    if (bytes && *bytes > 0) {
        out.limits.maxSourceBytes = *bytes;
    } else {
        out.ignoredValue = stored->data;
    }
    return out;
}

outside::directory::SourceOptions configuredOptions() {
    outside::directory::SourceOptions options;
    options.limits = configuredLimits().limits;
    options.credentials.method = configuredBind().method;
    // The SASL binds take the identity from the ticket or the certificate; a
    // DN and password stored beside them are not sent.
    if (options.credentials.method == outside::directory::BindMethod::Simple) {
        options.credentials.bindDn = registryValue(kBindDnValue);
        if (auto password = storedValue(kBindPasswordValue))
            options.credentials.password = password->data;
    }
    const std::string startTls = platform::text::foldCase(registryValue(kStartTlsValue));
    options.startTls = startTls == "1" || startTls == "true" || startTls == "yes";
    options.caCertificateFile = registryValue(kCaCertificateValue);
    options.certificateFile = registryValue(kCertificateValue);
    options.keyFile = registryValue(kKeyValue);
    const auto seconds = registry::wholeNumber<std::uint32_t>(registryValue(kTimeoutValue));
    if (seconds && *seconds > 0) options.timeout = std::chrono::seconds(*seconds);
    options.treeName = registryValue(kTreeNameValue);
    return options;
}

}  // namespace outside::kddir
