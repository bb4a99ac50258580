// Opening a source by its location: a file path or an LDAP URL.
#include "outside/directory/source.h"

#include "outside/directory/sources.h"
#include "platform/text/casefold.h"

namespace outside::directory {

bool isLdapLocation(std::string_view location) {
    const auto startsWith = [&](std::string_view scheme) {
        if (location.size() < scheme.size()) return false;
        for (std::size_t i = 0; i < scheme.size(); ++i) {
            char c = location[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != scheme[i]) return false;
        }
        return true;
    };
    return startsWith("ldap://") || startsWith("ldaps://");
}

std::optional<std::string> Source::findTree(std::string_view name) {
    const std::string wanted = platform::text::foldCase(name);
    for (std::string& tree : trees())
        if (platform::text::foldCase(tree) == wanted) return std::move(tree);
    return std::nullopt;
}

std::shared_ptr<Source> openSource(const std::string& location, const SourceOptions& options) {
    if (isLdapLocation(location)) return openLdapSource(location, options);
    return openLdifSource(location, options.limits);
}

}  // namespace outside::directory
