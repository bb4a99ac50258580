// The test server: scripts/ldap-demo with its folder and settings in the
// environment of the call.
#include "testsupport/slapd.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/registry/store.h"
#include "testsupport/testsupport.h"

namespace testsupport {

namespace fs = std::filesystem;

namespace {

constexpr const char* kControlKey = "Software\\KDDirLib\\KDDirCtrl";

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string decodeBase64(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        const auto at = alphabet.find(c);
        if (at == std::string::npos) continue;  // padding, blanks
        bits = (bits << 6) | static_cast<unsigned>(at);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

// The value of a DN's first RDN: "cn=Tilman Vossbeck,ou=Sales,..." gives
// "Tilman Vossbeck" (escaped commas kept as the plain character).
std::string firstRdnValue(const std::string& dn) {
    std::string value;
    bool inValue = false;
    for (std::size_t i = 0; i < dn.size(); ++i) {
        const char c = dn[i];
        if (!inValue) {
            inValue = c == '=';
            continue;
        }
        if (c == '\\' && i + 1 < dn.size()) {
            value.push_back(dn[++i]);
            continue;
        }
        if (c == ',' || c == '+') break;
        value.push_back(c);
    }
    return value;
}

// Login name to relative name, from the records of an LDIF file: each
// record's value of `loginType` and its DN's first RDN value.
std::map<std::string, std::string> loginsOf(const fs::path& file, const std::string& loginType) {
    std::map<std::string, std::string> out;
    std::istringstream in(readFile(file));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == ' ' && !lines.empty())
            lines.back() += line.substr(1);  // a folded line
        else
            lines.push_back(line);
    }
    lines.emplace_back();
    std::string dn, login;
    for (const std::string& line : lines) {
        if (line.empty()) {
            if (!dn.empty() && !login.empty()) out.emplace(login, firstRdnValue(dn));
            dn.clear();
            login.clear();
            continue;
        }
        if (line.front() == '#') continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string type = line.substr(0, colon);
        const bool encoded = colon + 1 < line.size() && line[colon + 1] == ':';
        std::string value = line.substr(colon + (encoded ? 2 : 1));
        value.erase(0, value.find_first_not_of(' '));
        if (encoded) value = decodeBase64(value);
        if (type == "dn") dn = value;
        if (type == loginType && login.empty()) login = value;
    }
    return out;
}

}  // namespace

std::string sourceKindName(const ::testing::TestParamInfo<SourceKind>& info) {
    switch (info.param) {
        case SourceKind::Ldif:
            return "Ldif";
        case SourceKind::Ldap:
            return "Ldap";
        case SourceKind::StandardLdif:
            return "StandardLdif";
        case SourceKind::StandardLdap:
            return "StandardLdap";
        case SourceKind::ActiveDirectory:
            return "ActiveDirectory";
    }
    return "Unknown";
}

std::string demoUser(SourceKind kind, const std::string& login, Slapd::Data data) {
    if (!isMapped(kind)) return login;
    const bool isAd = kind == SourceKind::ActiveDirectory;
    const bool client = data == Slapd::Data::Client || data == Slapd::Data::ClientStandard;
    if (isAd && client)
        throw std::invalid_argument("the client's test directory has no Active Directory form");
    static std::mutex lock;
    static std::map<std::string, std::string> standard, ad, clientStandard;
    const std::lock_guard<std::mutex> held(lock);
    auto& logins = isAd ? ad : client ? clientStandard : standard;
    if (logins.empty())
        logins = isAd     ? loginsOf(sourceDir() / "demo" / "directory-ad.ldif", "sAMAccountName")
                 : client ? loginsOf(dataDir() / "client" / "directory-standard.ldif", "uid")
                          : loginsOf(sourceDir() / "demo" / "directory-standard.ldif", "uid");
    const auto found = logins.find(login);
    if (found == logins.end())
        throw std::invalid_argument("the demo directory names no user with the login " + login);
    return found->second;
}

namespace {

// The servers tests own that are still running: one kept in a static outlives
// the private home its files are in, so they stop before the home goes.
struct OwnedServers {
    OwnedServers() {
        beforeHomeGoes([this] {
            while (!running.empty()) {
                Slapd* server = *running.begin();
                running.erase(running.begin());
                server->stop();
            }
        });
    }
    std::set<Slapd*> running;
};

std::set<Slapd*>& ownedServers() {
    static OwnedServers servers;
    return servers.running;
}

}  // namespace

Slapd::Slapd(const Options& options) : Slapd(freshDir("slapd") / "server", true) {
    const std::string schema = options.schema.empty() ? "ktr" : options.schema;
    const char* demo = schema == "standard" ? "directory-standard.ldif" : "directory.ldif";
    settings_ = {{"LDAP_DEMO_SCHEMA", schema},
                 {"LDAP_DEMO_LDIF",
                  (options.ldif.empty() ? sourceDir() / "demo" / demo : options.ldif).string()},
                 {"LDAP_DEMO_SIZELIMIT",
                  options.sizeLimit > 0 ? std::to_string(options.sizeLimit) : "unlimited"},
                 {"LDAP_DEMO_PAGESIZE",
                  options.pageSize > 0 ? std::to_string(options.pageSize) : "unlimited"},
                 {"LDAP_DEMO_TLS", options.tls ? "1" : "0"},
                 {"LDAP_DEMO_LOGON", options.logon ? "1" : "0"},
                 {"LDAP_DEMO_CLIENTCERT", options.clientCertificates ? "1" : "0"}};
    start();
    ownedServers().insert(this);
}

Slapd::Slapd(fs::path dir, bool owned, Settings settings)
    : dir_(std::move(dir)), owned_(owned), settings_(std::move(settings)) {}

Slapd::~Slapd() {
    if (owned_ && ownedServers().erase(this) > 0) {
        try {
            stop();
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

Slapd& Slapd::shared(Data data) {
    // The settings of the fixtures that start them in tests/CMakeLists.txt.
    static Slapd demo(TVN_TEST_LDAP_DIR, false,
                      {{"LDAP_DEMO_SCHEMA", "ktr"},
                       {"LDAP_DEMO_LDIF", (sourceDir() / "demo" / "directory.ldif").string()}});
    static Slapd client(TVN_TEST_LDAP_DIR "-client", false,
                        {{"LDAP_DEMO_SCHEMA", "ktr"},
                         {"LDAP_DEMO_LDIF", (dataDir() / "client" / "directory.ldif").string()}});
    static Slapd standard(
        TVN_TEST_LDAP_DIR "-standard", false,
        {{"LDAP_DEMO_SCHEMA", "standard"},
         {"LDAP_DEMO_LDIF", (sourceDir() / "demo" / "directory-standard.ldif").string()}});
    static Slapd clientStandard(
        TVN_TEST_LDAP_DIR "-client-standard", false,
        {{"LDAP_DEMO_SCHEMA", "standard"},
         {"LDAP_DEMO_LDIF", (dataDir() / "client" / "directory-standard.ldif").string()}});
    Slapd& server = data == Data::Demo             ? demo
                    : data == Data::Client         ? client
                    : data == Data::ClientStandard ? clientStandard
                                                   : standard;
    if (server.url_.empty()) server.start();
    return server;
}

std::string Slapd::run(const char* command) {
    ScopedEnv dir("LDAP_DEMO_DIR", dir_.string());
    // Every call with the settings the server was made with: a start with
    // others would make it anew, on another port.
    std::vector<std::unique_ptr<ScopedEnv>> settings;
    for (const auto& [name, value] : settings_)
        settings.push_back(std::make_unique<ScopedEnv>(name.c_str(), value));
    // Should this process die, the servers it started die with it; the one
    // ctest's fixture started stays for the other tests.
    ScopedEnv owner("LDAP_DEMO_OWNER", std::to_string(::getpid()));
    const ProgramRun done = runProgram(sourceDir() / "scripts" / "ldap-demo", {command});
    if (done.status != 0)
        throw std::runtime_error("scripts/ldap-demo " + std::string(command) +
                                 " failed: " + done.err);
    return done.out;
}

void Slapd::start() {
    std::string out = run("start");
    while (!out.empty() && out.back() == '\n') out.pop_back();
    url_ = out.substr(out.rfind('\n') + 1);
}

void Slapd::stop() {
    run("stop");
}

std::string Slapd::tlsUrl() const {
    return "ldaps://127.0.0.1:" + firstLine(readFile(dir_ / "tls-port"));
}

std::string Slapd::bindDn() const {
    return firstLine(readFile(dir_ / "bind-dn"));
}

std::string Slapd::password() const {
    return readFile(dir_ / "bind-password");
}

std::string Slapd::logonDn() const {
    return firstLine(readFile(dir_ / "logon-dn"));
}

std::string Slapd::logonPassword() const {
    return readFile(dir_ / "logon-password");
}

void storeCredentials(const Slapd& server) {
    platform::registry::Store store;
    store.setValue(kControlKey, "BindDN", server.bindDn());
    store.setValue(kControlKey, "BindPassword", server.password());
}

void forgetCredentials() {
    platform::registry::Store store;
    for (const char* name : {"BindDN", "BindPassword", "StartTLS", "CACertificateFile",
                             "TimeoutSeconds", "BindMethod", "CertificateFile", "KeyFile"})
        store.deleteValue(kControlKey, name);
}

}  // namespace testsupport
