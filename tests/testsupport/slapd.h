// A throwaway LDAP server for tests: slapd started by scripts/ldap-demo from
// a folder of its own, with the demo directory (or another LDIF) and an
// account to bind with. Needs Debian's slapd and ldap-utils (scripts/setup).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class Slapd {
public:
    struct Options {
        std::filesystem::path ldif;  // default: demo/directory.ldif
        int sizeLimit = 0;           // entries per search in all; 0: no limit
        bool tls = false;            // a throwaway CA, StartTLS and ldaps://
        // "ktr": the LDIF's own schema entry on top of
        // Debian's core schemas; "standard": Debian's standard schemas alone
        // (default LDIF then demo/directory-standard.ldif)
        std::string schema = "ktr";
        // The most entries the server puts in one page of a paged search
        // (whatever the client asks for); 0: no limit.
        int pageSize = 0;
        // The login publisher's write rights and account (LDAP_DEMO_LOGON).
        bool logon = false;
        // TLS that demands a client certificate of the server's CA; the
        // reader's (and the publisher's) certificates bind with SASL
        // EXTERNAL (LDAP_DEMO_CLIENTCERT; see clientCertificate).
        bool clientCertificates = false;
    };

    // A private server in a fresh folder below the private home, started
    // now; stopped with the object.
    explicit Slapd(const Options& options);
    ~Slapd();
    Slapd(const Slapd&) = delete;
    Slapd& operator=(const Slapd&) = delete;

    // The servers that the tests of one build share (ctest starts them
    // beforehand and stops them afterwards; a test run by hand starts them):
    // the demo directory, the client's test directory
    // (tests/data/client/directory.ldif), or the demo directory or the
    // client's in Debian's standard classes on a server with only the
    // standard schemas (demo/directory-standard.ldif,
    // tests/data/client/directory-standard.ldif).
    enum class Data { Demo, Client, Standard, ClientStandard };
    static Slapd& shared(Data data = Data::Demo);

    const std::string& url() const { return url_; }  // ldap://127.0.0.1:PORT
    std::string tlsUrl() const;                      // ldaps://127.0.0.1:PORT
    std::string bindDn() const;
    std::string password() const;
    // The login publisher's account (Options::logon).
    std::string logonDn() const;
    std::string logonPassword() const;
    std::filesystem::path caFile() const { return dir_ / "tls" / "ca.pem"; }
    const std::filesystem::path& dir() const { return dir_; }
    // With Options::clientCertificates: the certificate (name.pem) and key
    // (name.key) of "reader" (the reader's account), "logon" (the publisher's)
    // or "stranger" (the reader's name from another CA).
    std::filesystem::path clientCertificate(const std::string& name) const {
        return dir_ / "tls" / (name + ".pem");
    }
    std::filesystem::path clientKey(const std::string& name) const {
        return dir_ / "tls" / (name + ".key");
    }

    // Stops the server, keeping its data; start() brings it back on the same port.
    void stop();
    void start();

private:
    // Environment settings of scripts/ldap-demo, name and value.
    using Settings = std::vector<std::pair<std::string, std::string>>;
    Slapd(std::filesystem::path dir, bool owned, Settings settings = {});
    std::string run(const char* command);

    std::filesystem::path dir_;
    bool owned_;
    Settings settings_;
    std::string url_;
};

// The sources that shared tests run on, with the same assertions: the demo
// directory (or the client's) as an LDIF file and on slapd, the same in the
// standard classes as an export without a schema and on a slapd with only
// Debian's standard schemas, and in Active Directory's classes on Samba's
// domain controller. Test names end in the source's name.
enum class SourceKind { Ldif, Ldap, StandardLdif, StandardLdap, ActiveDirectory };
inline auto sourceKinds() {
    return ::testing::Values(SourceKind::Ldif, SourceKind::Ldap, SourceKind::StandardLdif,
                             SourceKind::StandardLdap, SourceKind::ActiveDirectory);
}
std::string sourceKindName(const ::testing::TestParamInfo<SourceKind>& info);
// The standard classes and Active Directory's: users named by full name.
inline bool isMapped(SourceKind kind) {
    return kind != SourceKind::Ldif && kind != SourceKind::Ldap;
}

// The relative name of the user with this login name on a source: the login
// name itself in the ktr directory ("VossbeckT"), the full name where users
// are named by it ("Tilman Vossbeck"), as the source's LDIF file has it
// (demo/directory-standard.ldif, demo/directory-ad.ldif; with Data::Client
// tests/data/client/directory-standard.ldif). Throws when the file names no
// such login.
std::string demoUser(SourceKind kind, const std::string& login,
                     Slapd::Data data = Slapd::Data::Demo);

// Writes the account of a server into the control's registry key (BindDN,
// BindPassword), or removes the key's values again.
void storeCredentials(const Slapd& server);
void forgetCredentials();

}  // namespace testsupport
