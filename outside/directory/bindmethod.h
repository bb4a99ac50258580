// How a client proves who it is to a directory server: a DN and password
// (empty for anonymous), the Kerberos ticket of the process (SASL GSSAPI:
// the user's from kinit, or a keytab's named by KRB5_CLIENT_KTNAME), or what
// the connection itself shows (SASL EXTERNAL: the TLS client certificate, or
// the peer's account over ldapi://).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace outside::directory {

enum class BindMethod { Simple, Gssapi, External };

// "simple", "gssapi", "external" (any case, blanks around them ignored);
// nullopt for anything else.
inline std::optional<BindMethod> parseBindMethod(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower == "simple") return BindMethod::Simple;
    if (lower == "gssapi") return BindMethod::Gssapi;
    if (lower == "external") return BindMethod::External;
    return std::nullopt;
}

inline const char* bindMethodName(BindMethod method) {
    switch (method) {
        case BindMethod::Gssapi:
            return "gssapi";
        case BindMethod::External:
            return "external";
        case BindMethod::Simple:
            break;
    }
    return "simple";
}

}  // namespace outside::directory
