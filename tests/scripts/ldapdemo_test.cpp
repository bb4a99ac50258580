// scripts/ldap-demo, which the LDAP tests, the demo and the benchmarks make
// their servers with: a server made in two steps (its entries loaded with
// slapadd -q, how long that took recorded), the index setting it refuses,
// a server that ends with the process it belongs to, the shared server with
// Debian's standard schemas alone, and a private server that keeps its
// settings when it is started again.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProgramRun;
using testsupport::ScopedEnv;

ProgramRun ldapDemo(const fs::path& folder, const char* command) {
    ScopedEnv dir("LDAP_DEMO_DIR", folder.string());
    return testsupport::runProgram(testsupport::sourceDir() / "scripts" / "ldap-demo", {command});
}

bool runs(const fs::path& folder) {
    return ldapDemo(folder, "status").status == 0;
}

class LdapDemo : public ::testing::Test {
protected:
    void TearDown() override {
        if (fs::exists(folder_)) ldapDemo(folder_, "stop");
    }
    const fs::path folder_ = testsupport::freshDir("ldap-demo") / "server";
    ScopedEnv ldif_{"LDAP_DEMO_LDIF",
                    (testsupport::sourceDir() / "demo" / "directory.ldif").string()};
    ScopedEnv owner_{"LDAP_DEMO_OWNER", std::to_string(::getpid())};
};

TEST_F(LdapDemo, PreparedEntriesLoadOnceTimedAndStartServesThemWithoutMakingThemAgain) {
    ScopedEnv index("LDAP_DEMO_INDEX", "cn");
    const ProgramRun prepared = ldapDemo(folder_, "prepare");
    ASSERT_EQ(prepared.status, 0) << prepared.err;
    const std::string config = testsupport::readFile(folder_ / "config.ldif");
    EXPECT_NE(config.find("olcDbIndex: cn eq,sub\n"), std::string::npos);
    EXPECT_NE(config.find("olcDbIndex: objectClass eq\n"), std::string::npos);
    EXPECT_EQ(config.find("uid eq,sub"), std::string::npos);

    // The demo's aliases get a class added; slapadd -q takes them only when
    // an entry's classes stand together.
    const ProgramRun loaded = ldapDemo(folder_, "load");
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_GT(std::stod(testsupport::readFile(folder_ / "slapadd-ms")), 0.0);
    const ProgramRun again = ldapDemo(folder_, "load");
    EXPECT_NE(again.status, 0);
    EXPECT_NE(again.err.find("no prepared entries"), std::string::npos) << again.err;

    const auto timed = fs::last_write_time(folder_ / "slapadd-ms");
    const ProgramRun started = ldapDemo(folder_, "start");
    ASSERT_EQ(started.status, 0) << started.err;
    EXPECT_NE(started.out.find("ldap://127.0.0.1:"), std::string::npos) << started.out;
    EXPECT_EQ(fs::last_write_time(folder_ / "slapadd-ms"), timed);

    const ProgramRun remade = ldapDemo(folder_, "prepare");
    EXPECT_NE(remade.status, 0) << "the folder of a running server is not made anew";
    EXPECT_TRUE(runs(folder_));
}

TEST_F(LdapDemo, AnIndexOrSchemaSettingThatIsNotKnownIsRefusedBeforeAnythingIsMade) {
    for (const char* index : {"cn eq,sub\nolcAccess: to * by * write", "cn;uid", "cn,"}) {
        ScopedEnv setting("LDAP_DEMO_INDEX", index);
        const ProgramRun run = ldapDemo(folder_, "prepare");
        EXPECT_NE(run.status, 0) << index;
        EXPECT_NE(run.err.find("LDAP_DEMO_INDEX"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(folder_)) << index;
    }
    ScopedEnv schema("LDAP_DEMO_SCHEMA", "inetorgperson");
    const ProgramRun run = ldapDemo(folder_, "start");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("LDAP_DEMO_SCHEMA must be ktr or standard"), std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(folder_));
}

TEST_F(LdapDemo, AServerEndsWithTheProcessItBelongsTo) {
    const pid_t owner = ::fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {
        ::pause();
        ::_exit(0);
    }
    ScopedEnv belongs("LDAP_DEMO_OWNER", std::to_string(owner));
    const ProgramRun started = ldapDemo(folder_, "start");
    ::kill(owner, SIGKILL);
    ::waitpid(owner, nullptr, 0);
    ASSERT_EQ(started.status, 0) << started.err;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (runs(folder_) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(runs(folder_));
}

// ldapsearch as the server's reader, values unwrapped; the DNs and the values
// of the attribute types asked for.
ProgramRun search(const testsupport::Slapd& server, const std::string& base,
                  const std::string& filter, std::vector<std::string> types,
                  std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-LLL", "-x",
                                     "-o",   "ldif-wrap=no",
                                     "-H",   server.url(),
                                     "-D",   server.bindDn(),
                                     "-y",   (server.dir() / "bind-password").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"-b", base, filter});
    args.insert(args.end(), types.begin(), types.end());
    return testsupport::runProgram("ldapsearch", args);
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The entries' values of one attribute type, in the order ldapsearch gave them.
std::vector<std::string> values(const std::string& ldif, const std::string& type) {
    std::vector<std::string> found;
    std::istringstream lines(ldif);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(type + ": ", 0) == 0) found.push_back(line.substr(type.size() + 2));
    return found;
}

TEST(LdapDemoStandard, UsersAreInetOrgPersonsNamedByFullNameWithTheirLoginNameInUid) {
    const auto& server = testsupport::Slapd::shared(testsupport::Slapd::Data::Standard);
    const ProgramRun users = search(server, "dc=CorpTree", "(objectClass=inetOrgPerson)", {"uid"});
    ASSERT_EQ(users.status, 0) << users.err;
    // Every user of the demo, the ones with letters beyond ASCII in their
    // names (base64 DNs in the LDIF) below their containers too.
    EXPECT_EQ(count(users.out, "\nuid: "), 153u);
    const ProgramRun lab = search(server, "dc=LabTree", "(objectClass=inetOrgPerson)", {"uid"});
    EXPECT_EQ(count(lab.out, "\nuid: "), 4u);

    const ProgramRun tilman = search(server, "dc=CorpTree", "(uid=VossbeckT)", {"*"});
    EXPECT_NE(tilman.out.find("dn: cn=Tilman Vossbeck,ou=Sales,o=Acme,dc=CorpTree\n"),
              std::string::npos)
        << tilman.out;
    for (const char* line :
         {"objectClass: inetOrgPerson\n", "sn: Vossbeck\n", "givenName: Tilman\n",
          "displayName: Tilman Vossbeck\n", "mail: tilman.vossbeck@acme.example\n"})
        EXPECT_NE(tilman.out.find(line), std::string::npos) << line << tilman.out;
    EXPECT_EQ(tilman.out.find("networkAddress"), std::string::npos) << tilman.out;

    const ProgramRun koenig = search(server, "o=Acme,dc=CorpTree", "(uid=KoenigS)", {"uid"});
    EXPECT_EQ(values(koenig.out, "uid"), std::vector<std::string>{"KoenigS"}) << koenig.out;
}

TEST(LdapDemoStandard, WorkstationsAreDevicesWithTheirAddressesAndTheUsersAtThemAsOwners) {
    const auto& server = testsupport::Slapd::shared(testsupport::Slapd::Data::Standard);
    const ProgramRun devices = search(server, "dc=CorpTree", "(objectClass=device)", {"cn"});
    ASSERT_EQ(devices.status, 0) << devices.err;
    EXPECT_EQ(count(devices.out, "\ncn: "), 200u);
    const ProgramRun lab = search(server, "dc=LabTree", "(objectClass=device)", {"cn"});
    EXPECT_EQ(count(lab.out, "\ncn: "), 6u);

    // The mapping's own search for where a user is.
    const ProgramRun at =
        search(server, "dc=CorpTree",
               "(&(objectClass=device)(owner=cn=Tilman Vossbeck,ou=Sales,o=Acme,dc=CorpTree))",
               {"ipHostNumber", "objectClass"});
    EXPECT_NE(at.out.find("dn: cn=WS042,ou=Sales,o=Acme,dc=CorpTree\n"), std::string::npos)
        << at.out;
    EXPECT_EQ(values(at.out, "ipHostNumber"), std::vector<std::string>{"10.101.110.140"});
    EXPECT_NE(at.out.find("objectClass: ipHost\n"), std::string::npos) << at.out;

    // Two logins, at two workstations; a whole address matched, never a prefix
    // (WS118 at 10.101.140.50 is not where the user at 10.101.140.5 is).
    const ProgramRun okafor =
        search(server, "dc=CorpTree", "(owner=cn=Nkem Okafor,ou=IT,o=Acme,dc=CorpTree)", {"cn"});
    EXPECT_EQ(values(okafor.out, "cn").size(), 2u) << okafor.out;
    const ProgramRun proksch = search(
        server, "dc=CorpTree", "(owner=cn=Wolfram Proksch,ou=IT,o=Acme,dc=CorpTree)", {"cn"});
    EXPECT_EQ(values(proksch.out, "cn"), std::vector<std::string>{"WS119"}) << proksch.out;

    // A workstation without a TCP address is a device alone.
    const ProgramRun ipxOnly =
        search(server, "dc=CorpTree", "(&(objectClass=device)(!(objectClass=ipHost)))", {"1.1"});
    EXPECT_GT(count(ipxOnly.out, "dn: "), 0u);
    const ProgramRun noNumber =
        search(server, "dc=CorpTree", "(&(objectClass=ipHost)(!(ipHostNumber=*)))", {"1.1"});
    EXPECT_EQ(count(noNumber.out, "dn: "), 0u) << noNumber.out;
}

TEST(LdapDemoStandard, TheServerKnowsNoKtrClassAndNoEntryUsesOne) {
    const auto& server = testsupport::Slapd::shared(testsupport::Slapd::Data::Standard);
    const ProgramRun schema = search(server, "cn=Subschema", "(objectClass=*)",
                                     {"objectClasses", "attributeTypes"}, {"-s", "base"});
    ASSERT_EQ(schema.status, 0) << schema.err;
    EXPECT_NE(schema.out.find("NAME 'inetOrgPerson'"), std::string::npos);
    EXPECT_NE(schema.out.find("NAME 'ipHost'"), std::string::npos);
    EXPECT_EQ(schema.out.find("NAME 'ktr"), std::string::npos);
    EXPECT_EQ(schema.out.find("X-KTR-NAME"), std::string::npos);

    for (const char* tree : {"dc=CorpTree", "dc=LabTree"}) {
        const ProgramRun all = search(server, tree, "(objectClass=*)", {"objectClass"});
        ASSERT_EQ(all.status, 0) << all.err;
        for (const std::string& value : values(all.out, "objectClass"))
            EXPECT_NE(value.rfind("ktr", 0), 0u) << value;
        // The aliases keep their targets, with the new names of users.
        const ProgramRun aliases =
            search(server, tree, "(objectClass=alias)", {"aliasedObjectName"}, {"-a", "never"});
        for (const std::string& target : values(aliases.out, "aliasedObjectName"))
            EXPECT_EQ(search(server, target, "(objectClass=*)", {"1.1"}, {"-s", "base"}).status, 0)
                << target;
    }
}

TEST(LdapDemoPrivate, AServerStartedAgainKeepsItsSettingsAndItsPort) {
    testsupport::Slapd server({.ldif = {}, .sizeLimit = 3, .tls = false, .schema = "standard"});
    const std::string url = server.url();
    server.stop();
    server.start();
    EXPECT_EQ(server.url(), url);
    // Still the size limit and the standard schema it was made with.
    const ProgramRun limited =
        search(server, "dc=CorpTree", "(objectClass=inetOrgPerson)", {"1.1"});
    EXPECT_EQ(limited.status, 4) << limited.out;  // sizeLimitExceeded
    EXPECT_EQ(count(limited.out, "dn: "), 3u);
}

}  // namespace
