// The private servers of the benchmarks: a slapd (scripts/ldap-demo), with
// the directory control pointed at it and its account in the benchmark's
// registry, and Samba's domain controller (scripts/ad-demo); and the shell
// helpers that run them. The benchmark defines TVN_SOURCE_DIR.
#pragma once

#include <chrono>
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

// A text as one word of a shell command line.
inline std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command and gives its standard output; nullopt when it fails.
inline std::optional<std::string> output(const std::string& command) {
    FILE* out = popen(command.c_str(), "r");
    if (!out) return std::nullopt;
    std::string text;
    char buffer[1 << 16];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, out)) > 0) text.append(buffer, got);
    if (pclose(out) != 0) return std::nullopt;
    return text;
}

inline std::string firstLine(const std::filesystem::path& file) {
    std::string line;
    std::getline(std::ifstream(file), line);
    return line;
}

// Runs "scripts/ad-demo command" for the domain controller in folder, with
// the entries of ldif; the last line it printed goes to *last.
inline bool adDemo(const std::filesystem::path& folder, const std::filesystem::path& ldif,
                   const char* command, std::string* last = nullptr) {
    const std::string line = "AD_DEMO_DIR=" + shellQuoted(folder.string()) +
                             " AD_DEMO_LDIF=" + shellQuoted(ldif.string()) + " " +
                             std::string(TVN_SOURCE_DIR) + "/scripts/ad-demo " + command;
    const auto out = output(line);
    if (!out) return false;
    if (last) {
        std::string text = *out;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        *last = text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    }
    return true;
}

// Samba's domain controller started from ldif (made in folder when it is
// not yet), with its account and CA; it stops when this goes. A server that
// cannot start ends the benchmark, which scripts/ad-demo has said why.
class SambaServer {
public:
    SambaServer(std::filesystem::path folder, std::filesystem::path ldif, const char* program)
        : folder_(std::move(folder)), ldif_(std::move(ldif)) {
        const auto start = std::chrono::steady_clock::now();
        if (!adDemo(folder_, ldif_, "start", &url) || url.rfind("ldap://", 0) != 0) {
            std::fprintf(stderr, "%s: scripts/ad-demo could not start Samba (it said why above)\n",
                         program);
            std::exit(1);
        }
        std::printf(
            "samba ready in %.0f ms (the entries loaded by ldbadd in %s ms when made)\n",
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count(),
            firstLine(folder_ / "load-ms").c_str());
        bindDn = firstLine(folder_ / "bind-dn");
        passwordFile = (folder_ / "bind-password").string();
        password = firstLine(passwordFile);
        caFile = (folder_ / "tls" / "ca.pem").string();
    }
    ~SambaServer() {
        if (!adDemo(folder_, ldif_, "stop")) std::fprintf(stderr, "samba did not stop\n");
    }
    SambaServer(const SambaServer&) = delete;
    SambaServer& operator=(const SambaServer&) = delete;

    std::string url, bindDn, password, passwordFile, caFile;

private:
    std::filesystem::path folder_, ldif_;
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
