// Opening a source by its location: a file path or an LDAP URL.
#include "outside/directory/source.h"

#include <algorithm>
#include <cstdint>

#include "outside/directory/sources.h"

#include "platform/text/casefold.h"

namespace outside::directory {

namespace {

// Text a list can show: UTF-8 without control characters other than white space.
bool printableUtf8(std::string_view text) {
    return platform::text::isUtf8(text) && std::none_of(text.begin(), text.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7f;
           });
}

}  // namespace

std::string displayValue(std::string_view value) {
    if (printableUtf8(value)) return std::string(value);
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (value.size() <= 32) {
        std::string out = "0x";
        for (char c : value) {
            out.push_back(kHex[static_cast<unsigned char>(c) >> 4]);
            out.push_back(kHex[static_cast<unsigned char>(c) & 15]);
        }
        return out;
    }
    static constexpr char kBase64[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out = "base64:";
    std::size_t i = 0;
    for (; i + 2 < value.size(); i += 3) {
        const std::uint32_t n = (static_cast<unsigned char>(value[i]) << 16) |
                                (static_cast<unsigned char>(value[i + 1]) << 8) |
                                static_cast<unsigned char>(value[i + 2]);
        for (int s = 18; s >= 0; s -= 6) out.push_back(kBase64[(n >> s) & 63]);
    }
    if (i < value.size()) {
        std::uint32_t n = static_cast<unsigned char>(value[i]) << 16;
        if (i + 1 < value.size()) n |= static_cast<unsigned char>(value[i + 1]) << 8;
        out.push_back(kBase64[(n >> 18) & 63]);
        out.push_back(kBase64[(n >> 12) & 63]);
        out.push_back(i + 1 < value.size() ? kBase64[(n >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

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
