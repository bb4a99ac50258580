// A private slapd for benchmarks (scripts/ldap-demo), with the directory
// control pointed at it and its account in the benchmark's registry. The
// benchmark defines TVN_SOURCE_DIR.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/registry/store.h"

struct LdapServer {
    std::string url;
    std::string bindDn;
    std::string passwordFile;

    std::string password() const {
        std::ifstream secret(passwordFile);
        return {std::istreambuf_iterator<char>(secret), std::istreambuf_iterator<char>()};
    }
};

// Runs "scripts/ldap-demo command" for the server in folder; what else the
// script reads (LDAP_DEMO_LDIF, LDAP_DEMO_INDEX, ...) comes from the
// environment. The last line it printed goes to *last. The script says on
// standard error why it failed.
inline bool ldapDemo(const std::filesystem::path& folder, const char* command,
                     std::string* last = nullptr) {
    setenv("LDAP_DEMO_DIR", folder.c_str(), 1);
    const std::string line = std::string(TVN_SOURCE_DIR) + "/scripts/ldap-demo " + command;
    FILE* out = popen(line.c_str(), "r");
    if (!out) return false;
    std::string lastLine;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, out)) lastLine = buffer;
    const bool ok = pclose(out) == 0;
    while (!lastLine.empty() && lastLine.back() == '\n') lastLine.pop_back();
    if (last) *last = lastLine;
    return ok;
}

// Starts the server in folder (making it first when it is not made from ldif
// yet) and reads its account.
inline std::optional<LdapServer> startSlapd(const std::filesystem::path& folder,
                                            const std::filesystem::path& ldif,
                                            const char* program) {
    setenv("LDAP_DEMO_LDIF", ldif.c_str(), 1);
    std::string last;
    if (!ldapDemo(folder, "start", &last) || last.rfind("ldap://", 0) != 0) {
        std::fprintf(stderr, "%s: scripts/ldap-demo could not start slapd\n", program);
        return std::nullopt;
    }
    LdapServer server{last, {}, (folder / "bind-password").string()};
    std::getline(std::ifstream(folder / "bind-dn"), server.bindDn);
    return server;
}

// The same, with tvn's directory control pointed at the server.
inline std::optional<LdapServer> startLdapServer(const std::filesystem::path& folder,
                                                 const std::filesystem::path& ldif,
                                                 const char* program) {
    auto server = startSlapd(folder, ldif, program);
    if (!server) return std::nullopt;
    platform::registry::Store store;
    store.setValue("Software\\KDDirLib\\KDDirCtrl", "BindDN", server->bindDn);
    store.setValue("Software\\KDDirLib\\KDDirCtrl", "BindPassword", server->password());
    setenv("KDDIR_SOURCE", server->url.c_str(), 1);
    return server;
}

inline void stopLdapServer(const std::filesystem::path& folder) {
    if (!ldapDemo(folder, "stop")) std::fprintf(stderr, "slapd did not stop\n");
}
