// tolvane-logon against the Active Directory domain controller of the tests
// (Samba, StartTLS with the domain's CA), bound as a computer of the domain
// under the delegation a site grants: a login lands in the user's
// networkAddress, and the computer may write nothing else.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "pam_session.h"
#include "testsupport/samba_ad.h"
#include "testsupport/testsupport.h"

namespace {

using namespace testsupport;
using logontest::Driver;
using logontest::lines;
namespace fs = std::filesystem;

constexpr const char* kUserDn = "CN=Uwe Kaiser,OU=Hamburg,OU=Nordwerk,OU=DE,DC=corptree,DC=test";
constexpr const char* kOtherComputerDn =
    "CN=HH-WS004,OU=Hamburg,OU=Nordwerk,OU=DE,DC=corptree,DC=test";

std::vector<std::string> values(SambaAd& ad, const std::string& dn, const std::string& type) {
    ScopedEnv ca("LDAPTLS_CACERT", ad.caFile().string());
    const ProgramRun found = runProgram(
        "/usr/bin/ldapsearch",
        {"-LLL", "-ZZ", "-o", "ldif-wrap=no", "-x", "-H", ad.url(), "-D", ad.bindDn(), "-y",
         (ad.dir() / "bind-password").string(), "-b", dn, "-s", "base", "(objectClass=*)", type});
    EXPECT_EQ(found.status, 0) << found.err;
    std::vector<std::string> out;
    for (const auto& line : lines(found.out))
        if (line.starts_with(type + ": ")) out.push_back(line.substr(type.size() + 2));
    std::sort(out.begin(), out.end());
    return out;
}

// An LDIF change sent with ldapmodify (StartTLS) as an account; its exit status.
int modify(SambaAd& ad, const std::string& dn, const fs::path& password, const std::string& ldif,
           bool add = false) {
    ScopedEnv ca("LDAPTLS_CACERT", ad.caFile().string());
    const fs::path file = freshDir("ldif") / "change.ldif";
    writeFile(file, ldif);
    std::vector<std::string> args{
        "-ZZ", "-x", "-H", ad.url(), "-D", dn, "-y", password.string(), "-f", file.string()};
    if (add) args.insert(args.begin(), "-a");
    return runProgram("/usr/bin/ldapmodify", args).status;
}

std::string base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
        out += digits[n >> 18 & 63];
        out += digits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

// A computer account among the domain's computers, there for one test (the
// domain is shared: it goes again at the end), and the delegation a site
// grants them: write networkAddress on users (the schema GUIDs of the
// attribute and of the class user), inherited below the domain.
class ComputerAccount {
public:
    static constexpr const char* kDn = "CN=TVNLOGONTEST,CN=Computers,DC=corptree,DC=test";

    ComputerAccount(SambaAd& ad, const fs::path& secret) : ad_(ad) {
        const std::string password = "Ws1-" + std::to_string(::getpid()) + "-logon-Test";
        writeFile(secret, password);
        fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
        std::string utf16;
        for (char ch : "\"" + password + "\"") utf16 += ch, utf16 += '\0';
        created_ = modify(ad, ad.bindDn(), ad.dir() / "bind-password",
                          std::string("dn: ") + kDn +
                              "\nobjectClass: computer\nsAMAccountName: TVNLOGONTEST$\n"
                              "userAccountControl: 4096\nunicodePwd:: " +
                              base64(utf16) + "\n",
                          true) == 0;
        const fs::path samba = ad.dir() / "samba";
        granted_ =
            runProgram("/usr/bin/samba-tool",
                       {"dsacl", "set", "-s", (samba / "etc" / "smb.conf").string(), "-H",
                        (samba / "private" / "sam.ldb").string(), "--objectdn=" + SambaAd::baseDn(),
                        "--sddl=(OA;CIIO;WP;bf9679d9-0de6-11d0-a285-00aa003049e2;"
                        "bf967aba-0de6-11d0-a285-00aa003049e2;DC)"})
                .status == 0;
    }
    ~ComputerAccount() {
        ScopedEnv ca("LDAPTLS_CACERT", ad_.caFile().string());
        runProgram("/usr/bin/ldapdelete", {"-ZZ", "-x", "-H", ad_.url(), "-D", ad_.bindDn(), "-y",
                                           (ad_.dir() / "bind-password").string(), kDn});
    }
    ComputerAccount(const ComputerAccount&) = delete;
    ComputerAccount& operator=(const ComputerAccount&) = delete;

    bool ready() const { return created_ && granted_; }

private:
    SambaAd& ad_;
    bool created_ = false;
    bool granted_ = false;
};

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
