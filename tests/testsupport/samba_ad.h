// The Active Directory domain controller of the tests: Samba's AD DC started
// by scripts/ad-demo, with the demo directory in Active Directory's classes
// (demo/directory-ad.ldif) below the domain CORPTREE.TEST. Its ports are
// fixed, so the tests share one server: ctest starts it beforehand (fixture
// samba_ad, lock samba_ad_ports) and stops it afterwards; a test run by hand
// starts it, and it stops when that test process ends. Needs Debian's samba,
// samba-ad-dc and ldb-tools (scripts/setup) and root.
#pragma once

#include <filesystem>
#include <string>

#include "testsupport/testsupport.h"

namespace testsupport {

class SambaAd {
public:
    static SambaAd& shared();

    const std::string& url() const { return url_; }  // ldap://127.0.0.1 (port 389)
    static std::string baseDn() { return "DC=corptree,DC=test"; }
    std::string bindDn() const;
    std::string password() const;
    // The CA that signed the server's certificate; simple binds need
    // StartTLS or ldaps://127.0.0.1 (port 636).
    std::filesystem::path caFile() const { return dir_ / "tls" / "ca.pem"; }
    const std::filesystem::path& dir() const { return dir_; }

    // Stops the server, keeping its folder; start() brings it back. A server
    // that ran before this process first asked for it (ctest's fixture
    // started it) runs on after this process ends; one this process started
    // first ends with it.
    void stop();
    void start();

    SambaAd(const SambaAd&) = delete;
    SambaAd& operator=(const SambaAd&) = delete;

private:
    explicit SambaAd(std::filesystem::path dir) : dir_(std::move(dir)) {}
    ProgramRun run(const char* command);

    std::filesystem::path dir_;
    std::string url_;
    bool owned_ = false;
};

// Writes the account of the domain controller and its TLS settings into the
// control's registry key: BindDN, BindPassword, StartTLS ("1") and
// CACertificateFile. forgetCredentials (slapd.h) removes them again.
void storeCredentials(const SambaAd& server);

}  // namespace testsupport
