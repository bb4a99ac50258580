// scripts/ad-demo, the Active Directory domain controller of the tests and
// the demo: the demo's users and computers loaded with their login names,
// host names and addresses, simple binds over TLS only, nothing for
// anonymous clients, and a clear refusal when its ports are taken.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "testsupport/samba_ad.h"
#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProgramRun;
using testsupport::SambaAd;
using testsupport::ScopedEnv;

const std::string kBase = SambaAd::baseDn();

// ldapsearch with StartTLS required (-ZZ), trusting the server's CA, as the
// administrator when bound, else anonymously; values unwrapped.
ProgramRun search(const std::string& base, const std::string& filter,
                  std::vector<std::string> types, bool bound = true, const std::string& url = "",
                  const char* tls = "-ZZ", const std::string& scope = "sub") {
    const SambaAd& server = SambaAd::shared();
    ScopedEnv ca("LDAPTLS_CACERT", server.caFile().string());
    std::vector<std::string> args = {"-LLL",         "-x", "-o",
                                     "ldif-wrap=no", "-H", url.empty() ? server.url() : url};
    if (tls) args.push_back(tls);
    if (bound)
        args.insert(args.end(),
                    {"-D", server.bindDn(), "-y", (server.dir() / "bind-password").string()});
    args.insert(args.end(), {"-s", scope, "-b", base, filter});
    args.insert(args.end(), types.begin(), types.end());
    return testsupport::runProgram("ldapsearch", args);
}

std::vector<std::string> values(const std::string& ldif, const std::string& type) {
    std::vector<std::string> found;
    std::istringstream lines(ldif);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(type + ": ", 0) == 0) found.push_back(line.substr(type.size() + 2));
    return found;
}

std::size_t entries(const std::string& ldif) {
    return values(ldif, "dn").size();
}

TEST(AdDemo, UsersCarryTheirLoginNamesAndTheAddressesTheyAreLoggedInAt) {
    const ProgramRun tilman = search(kBase, "(sAMAccountName=VossbeckT)", {"*"});
    ASSERT_EQ(tilman.status, 0) << tilman.err;
    EXPECT_EQ(values(tilman.out, "dn"),
              std::vector<std::string>{"CN=Tilman Vossbeck,OU=Sales,OU=Acme," + kBase});
    EXPECT_EQ(values(tilman.out, "networkAddress"),
              std::vector<std::string>{"IPX 0000AC10:00C04F6C8C59:4003"});
    EXPECT_EQ(values(tilman.out, "displayName"), std::vector<std::string>{"Tilman Vossbeck"});
    EXPECT_EQ(values(tilman.out, "department"), std::vector<std::string>{"Sales"});

    // Both kinds of address, as the ktr demo has them.
    const ProgramRun okafor = search(kBase, "(sAMAccountName=OkaforN)", {"networkAddress"});
    const auto addresses = values(okafor.out, "networkAddress");
    ASSERT_EQ(addresses.size(), 2u) << okafor.out;
    EXPECT_EQ(addresses[0].rfind("TCP 10.101.140.", 0), 0u) << addresses[0];
    EXPECT_EQ(addresses[1].rfind("IPX 0000AC20:", 0), 0u) << addresses[1];

    // Every user of the demo (the built-in accounts have no mail), LabTree's
    // below its organizational unit; the same name in two containers got
    // two login names, as a domain wants them unique.
    const ProgramRun users =
        search(kBase, "(&(objectClass=user)(!(objectClass=computer))(mail=*))", {"sAMAccountName"});
    EXPECT_EQ(values(users.out, "sAMAccountName").size(), 157u);
    const ProgramRun lab =
        search("OU=LabTree," + kBase, "(&(objectClass=user)(!(objectClass=computer)))", {"1.1"});
    EXPECT_EQ(entries(lab.out), 4u);
    const ProgramRun novak = search(kBase, "(sn=Novak)", {"sAMAccountName"});
    auto logins = values(novak.out, "sAMAccountName");
    std::sort(logins.begin(), logins.end());
    EXPECT_EQ(logins, (std::vector<std::string>{"NovakM", "NovakMa"}));
}

TEST(AdDemo, ComputersCarryTheirHostNamesAndAddresses) {
    const ProgramRun ws = search(kBase, "(sAMAccountName=WS042$)", {"*"});
    ASSERT_EQ(ws.status, 0) << ws.err;
    EXPECT_EQ(values(ws.out, "dn"), std::vector<std::string>{"CN=WS042,OU=Sales,OU=Acme," + kBase});
    EXPECT_EQ(values(ws.out, "dNSHostName"), std::vector<std::string>{"ws042.corptree.test"});
    EXPECT_EQ(values(ws.out, "networkAddress"),
              (std::vector<std::string>{"IPX 0000AC10:00C04F6C8C59:4003", "TCP 10.101.110.140"}));
    EXPECT_NE(ws.out.find("objectClass: computer\n"), std::string::npos) << ws.out;

    // The demo's workstations and the domain controller itself.
    const ProgramRun computers = search(kBase, "(objectClass=computer)", {"dNSHostName"});
    EXPECT_EQ(entries(computers.out), 207u);
    EXPECT_EQ(values(computers.out, "dNSHostName").size(), 207u);
    const ProgramRun addressed =
        search(kBase, "(&(objectClass=computer)(networkAddress=*))", {"1.1"});
    EXPECT_EQ(entries(addressed.out), 206u);

    // Containers arrive as organizational units; aliases not at all.
    const ProgramRun units = search(kBase, "(objectClass=organizationalUnit)", {"1.1"});
    for (const char* dn : {"OU=DE,", "OU=Nordwerk,OU=DE,", "OU=Acme,", "OU=Archive,OU=Acme,",
                           "OU=LabTree,", "OU=Test,OU=Lab,OU=LabTree,"})
        EXPECT_NE(units.out.find("dn: " + std::string(dn) + kBase + "\n"), std::string::npos) << dn;
    EXPECT_EQ(entries(search(kBase, "(objectClass=alias)", {"1.1"}).out), 0u);
}

TEST(AdDemo, SimpleBindsNeedTlsAndAnonymousClientsReadNothing) {
    const SambaAd& server = SambaAd::shared();
    // ldaps:// on 636 with the same certificate, which names 127.0.0.1.
    const ProgramRun ldaps =
        search(kBase, "(sAMAccountName=VossbeckT)", {"1.1"}, true, "ldaps://127.0.0.1", nullptr);
    EXPECT_EQ(ldaps.status, 0) << ldaps.err;
    EXPECT_EQ(entries(ldaps.out), 1u);

    const ProgramRun plain =
        search(kBase, "(sAMAccountName=VossbeckT)", {"1.1"}, true, server.url(), nullptr);
    EXPECT_NE(plain.status, 0);
    EXPECT_NE(plain.err.find("Transport encryption required"), std::string::npos) << plain.err;

    for (const std::string& base : {kBase, "OU=Acme," + kBase, "CN=Users," + kBase}) {
        const ProgramRun anonymous = search(base, "(objectClass=*)", {"1.1"}, false);
        EXPECT_NE(anonymous.status, 0) << base;
        EXPECT_EQ(entries(anonymous.out), 0u) << base << anonymous.out;
    }
    // The root DSE stays readable, as clients find the naming context there.
    const ProgramRun root =
        search("", "(objectClass=*)", {"defaultNamingContext"}, false, "", "-ZZ", "base");
    EXPECT_EQ(values(root.out, "defaultNamingContext"), std::vector<std::string>{kBase});
}

TEST(AdDemo, AStartWhoseFixedPortsAreTakenFailsAtOnceNamingThePortAndItsHolder) {
    const SambaAd& server = SambaAd::shared();
    const fs::path script = testsupport::sourceDir() / "scripts" / "ad-demo";
    {
        ScopedEnv dir("AD_DEMO_DIR", server.dir().string());
        ASSERT_EQ(testsupport::runProgram(script, {"status"}).status, 0);
    }
    const fs::path other = testsupport::freshDir("ad-demo") / "server";
    ScopedEnv dir("AD_DEMO_DIR", other.string());
    // Should it start after all, it ends with this test.
    ScopedEnv owner("AD_DEMO_OWNER", std::to_string(::getpid()));
    const ProgramRun run = testsupport::runProgram(script, {"start"});
    EXPECT_NE(run.status, 0);
    // The first of its ports, Kerberos's, is the first found taken.
    EXPECT_NE(run.err.find("port 88 is taken by"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("kdc"), std::string::npos) << run.err;  // the holder's name
    EXPECT_FALSE(fs::exists(other)) << "nothing is made for a server that cannot start";
    if (testsupport::runProgram(script, {"status"}).status == 0) {
        ADD_FAILURE() << "a second server started";
        testsupport::runProgram(script, {"stop"});
    }
}

TEST(AdDemo, EntriesSambaRefusesFailTheStartAndTheNextStartLoadsTheDemoAgain) {
    SambaAd& server = SambaAd::shared();
    server.stop();
    const auto provisioned = fs::last_write_time(server.dir() / "provisioned");

    // ldbadd reports an entry whose parent is missing, adds the rest and
    // exits with 0; the start must not pass that off as a loaded directory.
    const fs::path broken = testsupport::freshDir("ad-ldif") / "broken.ldif";
    testsupport::writeFile(
        broken, testsupport::readFile(testsupport::sourceDir() / "demo" / "directory-ad.ldif") +
                    "\ndn: CN=Lost Person,OU=Nowhere,@DOMAIN@\nobjectClass: user\n"
                    "cn: Lost Person\nsAMAccountName: LostP\n");
    {
        ScopedEnv dir("AD_DEMO_DIR", server.dir().string());
        ScopedEnv ldif("AD_DEMO_LDIF", broken.string());
        const fs::path script = testsupport::sourceDir() / "scripts" / "ad-demo";
        const ProgramRun run = testsupport::runProgram(script, {"start"});
        EXPECT_NE(run.status, 0) << run.out;
        EXPECT_NE(run.err.find("(386 of 387 added)"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("CN=Lost Person,OU=Nowhere," + kBase), std::string::npos) << run.err;
        EXPECT_NE(testsupport::runProgram(script, {"status"}).status, 0);
    }

    // The demo again: loaded into the provisioned domain that was kept.
    server.start();
    EXPECT_EQ(fs::last_write_time(server.dir() / "provisioned"), provisioned);
    EXPECT_EQ(entries(search(kBase, "(sAMAccountName=LostP)", {"1.1"}).out), 0u);
    EXPECT_EQ(entries(search(kBase, "(sAMAccountName=VossbeckT)", {"1.1"}).out), 1u);
}

}  // namespace
