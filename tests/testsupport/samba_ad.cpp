// The shared domain controller: scripts/ad-demo with its folder in the
// environment of the call.
#include "testsupport/samba_ad.h"

#include <unistd.h>

#include <stdexcept>

#include "platform/registry/store.h"
#include "testsupport/testsupport.h"

namespace testsupport {

namespace {

constexpr const char* kControlKey = "Software\\KDDirLib\\KDDirCtrl";

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

}  // namespace

SambaAd& SambaAd::shared() {
    static SambaAd server(TVN_TEST_AD_DIR);
    if (server.url_.empty()) {
        // Should this process stop and start it again, another test that
        // follows at once must still find it.
        server.owned_ = server.run("status").status != 0;
        server.start();
    }
    return server;
}

ProgramRun SambaAd::run(const char* command) {
    ScopedEnv dir("AD_DEMO_DIR", dir_.string());
    // The demo's entries, whatever the caller's environment says, as the
    // fixture in tests/CMakeLists.txt has them.
    ScopedEnv ldif("AD_DEMO_LDIF", (sourceDir() / "demo" / "directory-ad.ldif").string());
    ScopedEnv owner("AD_DEMO_OWNER", owned_ ? std::to_string(::getpid()) : "");
    return runProgram(sourceDir() / "scripts" / "ad-demo", {command});
}

void SambaAd::start() {
    const ProgramRun done = run("start");
    if (done.status != 0) throw std::runtime_error("scripts/ad-demo start failed: " + done.err);
    std::string out = done.out;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    url_ = out.substr(out.rfind('\n') + 1);
}

void SambaAd::stop() {
    const ProgramRun done = run("stop");
    if (done.status != 0) throw std::runtime_error("scripts/ad-demo stop failed: " + done.err);
}

std::string SambaAd::bindDn() const {
    return firstLine(readFile(dir_ / "bind-dn"));
}

std::string SambaAd::password() const {
    return readFile(dir_ / "bind-password");
}

void storeCredentials(const SambaAd& server) {
    platform::registry::Store store;
    store.setValue(kControlKey, "BindDN", server.bindDn());
    store.setValue(kControlKey, "BindPassword", server.password());
    store.setValue(kControlKey, "StartTLS", "1");
    store.setValue(kControlKey, "CACertificateFile", server.caFile().string());
}

}  // namespace testsupport
