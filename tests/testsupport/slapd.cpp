// The test server: scripts/ldap-demo with its folder and settings in the
// environment of the call.
#include "testsupport/slapd.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
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
                 {"LDAP_DEMO_LOGON", options.logon ? "1" : "0"}};
    start();
}

Slapd::Slapd(fs::path dir, bool owned, Settings settings)
    : dir_(std::move(dir)), owned_(owned), settings_(std::move(settings)) {}

Slapd::~Slapd() {
    if (owned_) {
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
    Slapd& server = data == Data::Demo ? demo : data == Data::Client ? client : standard;
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
    for (const char* name :
         {"BindDN", "BindPassword", "StartTLS", "CACertificateFile", "TimeoutSeconds"})
        store.deleteValue(kControlKey, name);
}

}  // namespace testsupport
