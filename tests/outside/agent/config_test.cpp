// logon.conf as the login publisher reads it: the file the package ships,
// what each mapping makes of a user, and errors that name their line.
#include "outside/agent/logon/config.h"

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

namespace {

using namespace outside::agent::logon;

Config load(const std::string& text) {
    const auto path = testsupport::freshDir("conf") / "logon.conf";
    testsupport::writeFile(path, text);
    return loadConfig(path.string());
}

constexpr const char* kMinimal =
    "[directory]\nurl = ldap://127.0.0.1:1\nmapping = %m\n"
    "[bind]\ndn = cn=ws1,dc=example\n";

Config withMapping(const std::string& mapping) {
    // Put together by appending: GCC 12 -O3 misreads a replace in place
    // (-Wrestrict) and fails the Release build.
    const std::string minimal = kMinimal;
    const auto at = minimal.find("%m");
    std::string text = minimal.substr(0, at);
    text += mapping;
    text += minimal.substr(at + 2);
    return load(text);
}

TEST(LogonConfig, TheShippedFileIsRead) {
    const Config c = loadConfig((testsupport::sourceDir() / "packaging/logon/logon.conf").string());
    EXPECT_EQ(c.model, Model::Owner);
    EXPECT_EQ(c.workstationDn, c.bindDn);
    EXPECT_EQ(c.timeout.count(), 2000);
    EXPECT_EQ(c.skipServices, (std::vector<std::string>{"cron", "su", "sudo", "systemd-user"}));
    EXPECT_EQ(c.runDir, "/var/lib/tolvane/logon");
}

TEST(LogonConfig, EachMappingSaysWhereAndWhom) {
    const Config standard = withMapping("standard");
    EXPECT_EQ(standard.model, Model::Owner);
    EXPECT_EQ(userFilter(standard, "anna"),
              "(&(|(objectClass=inetOrgPerson)(objectClass=organizationalPerson)(objectClass="
              "person))(!(objectClass=device))(!(objectClass=ipHost))(uid=anna))");
    const Config ktr = withMapping("ktr");
    EXPECT_EQ(ktr.model, Model::UserAttribute);
    EXPECT_EQ(ktr.addressAttribute, "networkAddress");
    EXPECT_EQ(userFilter(ktr, "anna"), "(uid=anna)");
    // A computer is a user there too, and never the one who logs in.
    const Config ad = withMapping("activedirectory");
    EXPECT_EQ(ad.model, Model::UserAttribute);
    EXPECT_EQ(ad.addressAttribute, "networkAddress");
    EXPECT_EQ(userFilter(ad, "anna"),
              "(&(|(objectClass=user)(objectClass=inetOrgPerson))(!(objectClass=computer))"
              "(sAMAccountName=anna))");
}

TEST(LogonConfig, ALoginNameCannotWidenTheFilter) {
    const Config c = withMapping("ktr");
    EXPECT_EQ(userFilter(c, "*)(uid=*"), "(uid=\\2a\\29\\28uid=\\2a)");
    EXPECT_EQ(userFilter(c, "a\\b"), "(uid=a\\5cb)");
}

TEST(LogonConfig, ErrorsNameTheFileAndLine) {
    auto error = [](const std::string& text) {
        try {
            load(text);
        } catch (const ConfigError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_NE(error("[directory]\nurl = ldap://x\n\n[bind]\nd = cn=x\n")
                  .find("logon.conf:5: "
                        "unknown setting 'd'"),
              std::string::npos);
    EXPECT_NE(error("[logon]\ntimeout = 0\n").find("logon.conf:2: timeout must be"),
              std::string::npos);
    EXPECT_NE(error("[directory]\nurl = ldap://x\nmapping = auto\n[bind]\ndn = cn=x\n")
                  .find("auto needs a server"),
              std::string::npos);
    EXPECT_NE(error("[bind]\ndn = cn=x\n").find("url is missing"), std::string::npos);
    EXPECT_NE(error("[directory]\nurl = ldap://x\n").find("[bind] dn is missing"),
              std::string::npos);
    EXPECT_NE(error("[directory]\nurl = ldap://x\nmapping = /nonexistent/map.ini\n[bind]\ndn = x\n")
                  .find("/nonexistent/map.ini"),
              std::string::npos);
    // The first error is the one reported, and the log file is known even so.
    try {
        load("[logon]\nlog_file = /tmp/x.log\nbogus = 1\nalso = 2\n");
        FAIL();
    } catch (const ConfigError& e) {
        EXPECT_NE(std::string(e.what()).find(":3: unknown setting 'bogus'"), std::string::npos)
            << e.what();
        EXPECT_EQ(e.logFile, "/tmp/x.log");
    }
}

}  // namespace
