// Where the directory control finds its data and what a source may cost: the
// source named by KDDIR_SOURCE or the registry, and the size limit from the
// registry. Shared by the control and by kddir-check, which loads a source
// as the control would.
#pragma once

#include <cstdint>
#include <string>

#include "outside/directory/source.h"

namespace outside::kddir {

// The control's registry key; its values name the source when KDDIR_SOURCE
// is not set, and the largest source it reads.
inline constexpr const char* kSourceKey = "Software\\KDDirLib\\KDDirCtrl";
inline constexpr const char* kSourceValue = "Source";
inline constexpr const char* kMaxSourceBytesValue = "MaxSourceBytes";
// For LDAP sources: the simple-bind credentials (only ever from the store),
// StartTLS ("1", "true" or "yes") and the timeout of each request.
inline constexpr const char* kBindDnValue = "BindDN";
inline constexpr const char* kBindPasswordValue = "BindPassword";
inline constexpr const char* kStartTlsValue = "StartTLS";
inline constexpr const char* kTimeoutValue = "TimeoutSeconds";
inline constexpr const char* kCaCertificateValue = "CACertificateFile";
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

// The configured source: KDDIR_SOURCE, else the registry value; empty when
// neither names one.
std::string configuredSource();

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
