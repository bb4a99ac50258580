// Active Directory as the login publisher's tests use it: reading and
// changing entries with ldap-utils over StartTLS, and a computer account of
// the domain with the delegation a site grants its workstations.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pam_session.h"
#include "testsupport/samba_ad.h"
#include "testsupport/testsupport.h"

namespace logontest {

using testsupport::freshDir;
using testsupport::ProgramRun;
using testsupport::runProgram;
using testsupport::SambaAd;
using testsupport::ScopedEnv;
using testsupport::writeFile;

inline std::vector<std::string> values(SambaAd& ad, const std::string& dn,
                                       const std::string& type) {
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
inline int modify(SambaAd& ad, const std::string& dn, const fs::path& password,
                  const std::string& ldif, bool add = false) {
    ScopedEnv ca("LDAPTLS_CACERT", ad.caFile().string());
    const fs::path file = freshDir("ldif") / "change.ldif";
    writeFile(file, ldif);
    std::vector<std::string> args{
        "-ZZ", "-x", "-H", ad.url(), "-D", dn, "-y", password.string(), "-f", file.string()};
    if (add) args.insert(args.begin(), "-a");
    return runProgram("/usr/bin/ldapmodify", args).status;
}

inline std::string base64(const std::string& bytes) {
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

}  // namespace logontest
