// Where the directory control finds its data, how it binds and what a source
// may cost. Each setting is looked up, in this order, in the environment
// (KDDIR_SOURCE, KDDIR_MAPPING), the user's registry store, the machine's
// store (set by an administrator for every user; never a password), and for
// the source alone libldap's configuration (URI and BASE of ldap.conf,
// ~/.ldaprc, LDAPURI, LDAPBASE). Shared by the control and by kddir-check,
// which loads a source as the control would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "outside/directory/source.h"

namespace outside::kddir {

// The control's registry key; its values name the source when KDDIR_SOURCE
// is not set, and the largest source it reads.
inline constexpr const char* kSourceKey = "Software\\KDDirLib\\KDDirCtrl";
inline constexpr const char* kSourceValue = "Source";
inline constexpr const char* kMaxSourceBytesValue = "MaxSourceBytes";
// For LDAP sources: how to bind (simple, gssapi or external), the
// simple-bind credentials (the password only ever from the user's own
// store), StartTLS ("1", "true" or "yes") and the timeout of each request.
inline constexpr const char* kBindMethodValue = "BindMethod";
inline constexpr const char* kBindDnValue = "BindDN";
inline constexpr const char* kBindPasswordValue = "BindPassword";
inline constexpr const char* kStartTlsValue = "StartTLS";
inline constexpr const char* kTimeoutValue = "TimeoutSeconds";
inline constexpr const char* kCaCertificateValue = "CACertificateFile";
// The TLS client certificate and key of a bind with method external; when
// absent, TLS_CERT and TLS_KEY of libldap's configuration apply.
inline constexpr const char* kCertificateValue = "CertificateFile";
inline constexpr const char* kKeyValue = "KeyFile";
// How the site's schema is read: auto (the default), ktr, standard,
// activedirectory or a mapping file's path; KDDIR_MAPPING comes first.
inline constexpr const char* kMappingValue = "Mapping";
// The name of a server's one tree, when its DN's first value is not it.
inline constexpr const char* kTreeNameValue = "TreeName";

// The configured mapping, and where it came from ("KDDIR_MAPPING", the
// registry value, or "default").
struct ConfiguredMapping {
    std::string value;
    std::string origin;
};
ConfiguredMapping configuredMapping();

// A registry value of the control's key: the user's own, else the machine's
// (except the password, which is only ever the user's). nullopt when neither
// store holds it or no store can be read.
struct StoredValue {
    std::string data;
    bool machine = false;  // from the machine's store
};
std::optional<StoredValue> storedValue(const char* name);

// The configured source and where it came from, in words for a person
// ("KDDIR_SOURCE", "the registry value ...\Source of your store ...", "URI
// and BASE of libldap's configuration"); both empty when nothing names one.
struct ConfiguredSource {
    std::string value;
    std::string origin;
};
ConfiguredSource configuredSourceAndOrigin();
std::string configuredSource();

// Why there is no source, naming every place one may be set.
std::string noSourceReason();

// The configured bind method: the registry's BindMethod, else SASL_MECH of
// libldap's configuration (GSSAPI or EXTERNAL), else simple. A stored value
// that names no method is reported in ignoredValue and the simple bind applies.
struct ConfiguredBind {
    outside::directory::BindMethod method = outside::directory::BindMethod::Simple;
    std::string ignoredValue;
};
ConfiguredBind configuredBind();

// The limits a source is loaded under. MaxSourceBytes holds a whole number
// of bytes; when it is absent, 0 or no number, the default applies and
// ignoredValue tells why (for kddir-check to show).
struct SourceLimits {
    outside::directory::LoadLimits limits;
    std::string ignoredValue;  // the stored text that was not used, if any
};
SourceLimits configuredLimits();

// Everything a source is opened with: the limits above and, for a server,
// credentials, StartTLS, a CA certificate file and timeout (10 s when TimeoutSeconds is not a
// positive whole number).
outside::directory::SourceOptions configuredOptions();

}  // namespace outside::kddir
