#include "outside/directory/sources.h"

namespace outside::directory {

std::shared_ptr<Source> openLdapSource(const std::string& url, const SourceOptions&) {
    throw std::invalid_argument("LDAP directory sources are not supported by this control: " + url);
}

}  // namespace outside::directory
