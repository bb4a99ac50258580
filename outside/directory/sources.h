// The two kinds of source behind openSource (source.h).
#pragma once

#include "outside/directory/source.h"

namespace outside::directory {

// An LDIF file; throws SourceLost when it cannot be read now.
std::shared_ptr<Source> openLdifSource(const std::string& path, const LoadLimits& limits);

// An LDAP server (ldapsource.cpp).
std::shared_ptr<Source> openLdapSource(const std::string& url, const SourceOptions& options);

}  // namespace outside::directory
