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
};

inline std::optional<LdapServer> startLdapServer(const std::filesystem::path& folder,
                                                 const std::filesystem::path& ldif,
                                                 const char* program) {
    setenv("LDAP_DEMO_DIR", folder.c_str(), 1);
    setenv("LDAP_DEMO_LDIF", ldif.c_str(), 1);
    const std::string command = std::string(TVN_SOURCE_DIR) + "/scripts/ldap-demo start";
    FILE* out = popen(command.c_str(), "r");
    std::string last;
    char line[512];
    while (out && std::fgets(line, sizeof line, out)) last = line;
    if (!out || pclose(out) != 0 || last.rfind("ldap://", 0) != 0) {
        std::fprintf(stderr, "%s: scripts/ldap-demo could not start slapd\n", program);
        return std::nullopt;
    }
    while (!last.empty() && last.back() == '\n') last.pop_back();
    LdapServer server{last, {}, (folder / "bind-password").string()};
    std::getline(std::ifstream(folder / "bind-dn"), server.bindDn);
    std::ifstream secret(server.passwordFile);
    const std::string password((std::istreambuf_iterator<char>(secret)),
                               std::istreambuf_iterator<char>());
    platform::registry::Store store;
    store.setValue("Software\\KDDirLib\\KDDirCtrl", "BindDN", server.bindDn);
    store.setValue("Software\\KDDirLib\\KDDirCtrl", "BindPassword", password);
    setenv("KDDIR_SOURCE", server.url.c_str(), 1);
    return server;
}

inline void stopLdapServer(const std::filesystem::path& folder) {
    setenv("LDAP_DEMO_DIR", folder.c_str(), 1);
    const std::string command = std::string(TVN_SOURCE_DIR) + "/scripts/ldap-demo stop";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "slapd did not stop\n");
}
