// tolvane-logon against the Active Directory domain controller of the tests
// (Samba, StartTLS with the domain's CA), bound as a computer of the domain
// under the delegation a site grants: a login lands in the user's
// networkAddress, and the computer may write nothing else.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "ad_computer.h"
#include "pam_session.h"
#include "testsupport/samba_ad.h"
#include "testsupport/testsupport.h"

namespace {

using namespace testsupport;
using logontest::ComputerAccount;
using logontest::Driver;
using logontest::lines;
using logontest::modify;
using logontest::values;
namespace fs = std::filesystem;

constexpr const char* kUserDn = "CN=Uwe Kaiser,OU=Hamburg,OU=Nordwerk,OU=DE,DC=corptree,DC=test";
constexpr const char* kOtherComputerDn =
    "CN=HH-WS004,OU=Hamburg,OU=Nordwerk,OU=DE,DC=corptree,DC=test";

TEST(LogonActiveDirectory, AComputerPublishesIntoTheUsersNetworkAddressAndNothingElse) {
    SambaAd& ad = SambaAd::shared();
    const fs::path dir = freshDir("site");
    ComputerAccount computer(ad, dir / "secret");
    ASSERT_TRUE(computer.ready());
    writeFile(
        dir / "logon.conf",
        "[directory]\nurl = " + ad.url() + "\nstart_tls = yes\nca_file = " + ad.caFile().string() +
            "\nmapping = activedirectory\n[bind]\ndn = " + ComputerAccount::kDn +
            "\nsecret_file = " + (dir / "secret").string() + "\n[logon]\ntimeout = 5\nlog_file = " +
            (dir / "log").string() + "\nrun_dir = " + (dir / "run").string() + "\n");
    fs::create_directories(dir / "pam.d");
    writeFile(dir / "pam.d" / "login", "session required pam_exec.so quiet " +
                                           (binDir() / "tolvane-logon").string() + " --config " +
                                           (dir / "logon.conf").string() + "\n");
    const auto before = values(ad, kUserDn, "networkAddress");
    ASSERT_FALSE(std::count(before.begin(), before.end(), "TCP 127.0.0.1"));

    Driver pam(dir / "pam.d");
    EXPECT_EQ(pam.open("1", "KaiserU").status, 0);
    auto expected = before;
    expected.push_back("TCP 127.0.0.1");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(values(ad, kUserDn, "networkAddress"), expected) << readFile(dir / "log");
    EXPECT_EQ(pam.close("1").status, 0);
    EXPECT_EQ(values(ad, kUserDn, "networkAddress"), before) << readFile(dir / "log");

    // The same account may change neither a user's title nor another
    // computer's addresses.
    const auto title = values(ad, kUserDn, "title");
    EXPECT_NE(modify(ad, ComputerAccount::kDn, dir / "secret",
                     std::string("dn: ") + kUserDn +
                         "\nchangetype: modify\nreplace: title\ntitle: Boss\n"),
              0);
    EXPECT_EQ(values(ad, kUserDn, "title"), title);
    const auto other = values(ad, kOtherComputerDn, "networkAddress");
    EXPECT_NE(modify(ad, ComputerAccount::kDn, dir / "secret",
                     std::string("dn: ") + kOtherComputerDn +
                         "\nchangetype: modify\nadd: networkAddress\nnetworkAddress: TCP "
                         "10.1.2.3\n"),
              0);
    EXPECT_EQ(values(ad, kOtherComputerDn, "networkAddress"), other);
}

}  // namespace

// The same computer bound with its Kerberos key from a keytab (SASL GSSAPI),
// as a domain member is: no secret file, and no ticket of the user.
TEST(LogonActiveDirectory, AComputerBindsWithItsKeytab) {
    SambaAd& ad = SambaAd::shared();
    const fs::path dir = freshDir("kerberos");
    ComputerAccount computer(ad, dir / "secret");
    ASSERT_TRUE(computer.ready());
    const fs::path keytab = dir / "krb5.keytab";
    const ProgramRun exported =
        runProgram("/usr/bin/samba-tool",
                   {"domain", "exportkeytab", keytab.string(), "--principal=TVNLOGONTEST$", "-s",
                    (ad.dir() / "samba" / "etc" / "smb.conf").string()});
    ASSERT_EQ(exported.status, 0) << exported.err;
    fs::remove(dir / "secret");
    writeFile(dir / "logon.conf", "[directory]\nurl = " + ad.url() +
                                      "\nmapping = activedirectory\n[bind]\n"
                                      "method = gssapi\nkeytab = " +
                                      keytab.string() +
                                      "\n[logon]\ntimeout = 5\n"
                                      "log_file = " +
                                      (dir / "log").string() +
                                      "\nrun_dir = " + (dir / "run").string() + "\n");
    // pam_exec passes on PAM's environment only: the private Kerberos
    // configuration is given on the command line. The domain knows the
    // server as ldap/127.0.0.1, the name as written (SASL_NOCANON).
    fs::create_directories(dir / "pam.d");
    writeFile(dir / "pam.d" / "login",
              "session required pam_exec.so quiet /usr/bin/env KRB5_CONFIG=" +
                  (ad.dir() / "krb5.conf").string() + " LDAPSASL_NOCANON=on " +
                  (binDir() / "tolvane-logon").string() + " --config " +
                  (dir / "logon.conf").string() + "\n");
    const auto before = values(ad, kUserDn, "networkAddress");
    Driver pam(dir / "pam.d");
    EXPECT_EQ(pam.open("1", "KaiserU").status, 0);
    auto expected = before;
    expected.push_back("TCP 127.0.0.1");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(values(ad, kUserDn, "networkAddress"), expected)
        << (fs::exists(dir / "log") ? readFile(dir / "log") : "");
    EXPECT_EQ(pam.close("1").status, 0);
    EXPECT_EQ(values(ad, kUserDn, "networkAddress"), before);

    // A keytab that is not there: one line in the log that names it, and
    // the login goes on.
    fs::remove(keytab);
    EXPECT_EQ(pam.open("2", "KaiserU").status, 0);
    EXPECT_EQ(values(ad, kUserDn, "networkAddress"), before);
    const auto logged = lines(readFile(dir / "log"));
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged.back().find(keytab.string()), std::string::npos) << logged.back();
}
