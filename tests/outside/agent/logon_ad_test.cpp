// tolvane-logon against the Active Directory domain controller of the tests
// (Samba, StartTLS with the domain's CA): a login lands in the user's
// networkAddress, where the directory control reads "Network Address".
#include <gtest/gtest.h>

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

std::vector<std::string> addresses(SambaAd& ad) {
    ScopedEnv ca("LDAPTLS_CACERT", ad.caFile().string());
    const ProgramRun found = runProgram(
        "/usr/bin/ldapsearch", {"-LLL", "-ZZ", "-o", "ldif-wrap=no", "-x", "-H", ad.url(), "-D",
                                ad.bindDn(), "-y", (ad.dir() / "bind-password").string(), "-b",
                                kUserDn, "-s", "base", "(objectClass=*)", "networkAddress"});
    EXPECT_EQ(found.status, 0) << found.err;
    std::vector<std::string> out;
    for (const auto& line : lines(found.out))
        if (line.starts_with("networkAddress: ")) out.push_back(line.substr(16));
    std::sort(out.begin(), out.end());
    return out;
}

TEST(LogonActiveDirectory, OpenPublishesIntoTheUsersNetworkAddress) {
    SambaAd& ad = SambaAd::shared();
    const fs::path dir = freshDir("site");
    fs::copy_file(ad.dir() / "bind-password", dir / "secret");
    fs::permissions(dir / "secret", fs::perms::owner_read | fs::perms::owner_write);
    writeFile(
        dir / "logon.conf",
        "[directory]\nurl = " + ad.url() + "\nstart_tls = yes\nca_file = " + ad.caFile().string() +
            "\nmapping = activedirectory\n[bind]\ndn = " + ad.bindDn() +
            "\nsecret_file = " + (dir / "secret").string() + "\n[logon]\ntimeout = 5\nlog_file = " +
            (dir / "log").string() + "\nrun_dir = " + (dir / "run").string() + "\n");
    fs::create_directories(dir / "pam.d");
    writeFile(dir / "pam.d" / "login", "session required pam_exec.so quiet " +
                                           (binDir() / "tolvane-logon").string() + " --config " +
                                           (dir / "logon.conf").string() + "\n");
    const auto before = addresses(ad);
    ASSERT_FALSE(std::count(before.begin(), before.end(), "TCP 127.0.0.1"));

    Driver pam(dir / "pam.d");
    EXPECT_EQ(pam.open("1", "KaiserU").status, 0);
    auto expected = before;
    expected.push_back("TCP 127.0.0.1");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(addresses(ad), expected) << readFile(dir / "log");
    EXPECT_EQ(pam.close("1").status, 0);
    EXPECT_EQ(addresses(ad), before) << readFile(dir / "log");
}

}  // namespace
