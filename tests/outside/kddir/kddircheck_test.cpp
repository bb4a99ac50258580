// kddir-check as administrators run it: a summary and status 0 for a usable
// source, the error with file and line on stderr and status 1 for one the
// control would refuse, the registry's size limit, and wrong usage.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/registry/store.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

using Outcome = testsupport::ProgramRun;

Outcome check(const std::vector<std::string>& arguments) {
    return testsupport::runProgram(testsupport::binDir() / "kddir-check", arguments);
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const fs::path kDemo = testsupport::sourceDir() / "demo" / "directory.ldif";

}  // namespace

TEST(KDDirCheck, SummarisesAUsableSource) {
    // Every record but the schema is an entry.
    const std::string demo = testsupport::readFile(kDemo);
    std::size_t entries = 0;
    for (std::size_t at = demo.find("\ndn: "); at != std::string::npos;
         at = demo.find("\ndn: ", at + 1))
        ++entries;
    --entries;
    const Outcome run = check({kDemo.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const char* part :
         {"demo/directory.ldif: a usable directory\n", "Trees: 2\n", "KTR:\\\\CorpTree",
          "KTR:\\\\LabTree", "Layouts: ",
          "Workstation (6 fields): CN, Description, Location, Operator, RJ:Network Address, "
          "RK:Harbex File Transfer\n",
          "Field types: ", "Loaded in ", "the directory holds ", "Size limit: 2.0 GiB\n"})
        EXPECT_TRUE(has(run.out, part)) << part << "\n" << run.out;
    EXPECT_TRUE(has(run.out, "Entries: " + std::to_string(entries) + "\n")) << run.out;
    // Entries per class, the most frequent first.
    EXPECT_LT(run.out.find("  Workstation "), run.out.find("  User "));
    EXPECT_TRUE(has(run.out, "  Alias                                 6\n")) << run.out;
}

TEST(KDDirCheck, NamesFileAndLineOfWhatTheControlWouldRefuse) {
    const fs::path bad = testsupport::dataDir() / "directory" / "malformed.ldif";
    const Outcome run = check({bad.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    // Only our own line: libldap's complaint about the record is kept out.
    EXPECT_EQ(run.err, "kddir-check: " + fs::canonical(bad).string() +
                           ":15: malformed line \"this line has no colon\"\n");

    const fs::path fifo = testsupport::freshDir("fifo") / "directory.ldif";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(check({fifo.string()}).err,
              "kddir-check: " + fifo.string() + ": not a regular file\n");
    EXPECT_EQ(check({"/no/such.ldif"}).status, 1);
}

TEST(KDDirCheck, FailuresOfTheProcessWhileLoadingReachStderr) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit below";
#endif
    // A load that runs out of memory ends the program; what the C++ runtime
    // says about it must not vanish with libldap's chatter.
    const fs::path big = testsupport::freshDir("big") / "big.ldif";
    {
        std::ofstream out(big, std::ios::binary);
        out << "version: 1\ndn: cn=Subschema\nobjectClass: subschema\n"
               "attributeTypes: ( 2.5.4.13 NAME 'description' X-KTR-NAME 'Description' )\n"
               "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT )\n"
               "objectClasses: ( 2.5.6.4 NAME 'organization' SUP top MAY description )\n\n"
               "dn: dc=T\nobjectClass: top\n\n";
        const std::string description(200, 'x');
        for (int i = 0; i < 150000; ++i)
            out << "dn: o=O" << i
                << ",dc=T\nobjectClass: organization\ndescription: " << description << "\n\n";
    }
    const auto limited = [](const fs::path& source) {
        const std::string command = "ulimit -v 40000; KDDIR_SNAPSHOT=0 exec '" +
                                    (testsupport::binDir() / "kddir-check").string() + "' '" +
                                    source.string() + "'";
        return testsupport::runProgram("/bin/sh", {"-c", command});
    };
    if (limited(kDemo).status != 0) GTEST_SKIP() << "kddir-check does not start within the limit";
    const Outcome run = limited(big);
    EXPECT_NE(run.status, 0);
    // (not only the shell's word for the signal)
    EXPECT_TRUE(has(run.err, "std::bad_alloc")) << "status " << run.status << ": " << run.err;
}

TEST(KDDirCheck, AServerGivesTheSameTreesAndEntriesAsItsFile) {
    const testsupport::Slapd& server = testsupport::Slapd::shared();
    testsupport::storeCredentials(server);
    const Outcome file = check({kDemo.string()});
    const Outcome ldap = check({server.url()});
    EXPECT_EQ(ldap.status, 0) << ldap.err;
    // From "Trees:" to "Layouts:": the server's schema holds more layouts.
    const auto counts = [](const std::string& out) {
        const auto from = out.find("Trees:");
        return out.substr(from, out.find("Layouts:") - from);
    };
    EXPECT_EQ(counts(ldap.out), counts(file.out));
    EXPECT_TRUE(has(ldap.out, server.url() + ": a usable directory\n")) << ldap.out;
    EXPECT_FALSE(has(ldap.out, "Size limit")) << "a file's limit says nothing about a server";

    // A wrong password: the reason, without the credentials.
    platform::registry::Store().setValue("Software\\KDDirLib\\KDDirCtrl", "BindPassword",
                                         "not-" + server.password());
    const Outcome refused = check({server.url()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(has(refused.err, "BindPassword")) << refused.err;
    EXPECT_FALSE(has(refused.err + refused.out, server.password())) << refused.err;
    EXPECT_FALSE(has(refused.err + refused.out, server.bindDn())) << refused.err;
    testsupport::forgetCredentials();

    // A server whose limit cuts the read short is no usable source.
    testsupport::Slapd limited({.ldif = {}, .sizeLimit = 50, .tls = false});
    testsupport::storeCredentials(limited);
    const Outcome cut = check({limited.url()});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(has(cut.err, "The directory server returned only ")) << cut.err;
    testsupport::forgetCredentials();
}

TEST(KDDirCheck, AppliesTheControlsSizeLimit) {
    platform::registry::Store store;
    store.setValue("Software\\KDDirLib\\KDDirCtrl", "MaxSourceBytes", "4096");
    const Outcome small = check({kDemo.string()});
    EXPECT_EQ(small.status, 1);
    EXPECT_TRUE(has(small.err, "larger than the limit of 4096 bytes")) << small.err;
    EXPECT_TRUE(has(small.err, "the registry value Software\\KDDirLib\\KDDirCtrl\\MaxSourceBytes"));

    store.setValue("Software\\KDDirLib\\KDDirCtrl", "MaxSourceBytes", "a lot");
    const Outcome damaged = check({kDemo.string()});
    EXPECT_EQ(damaged.status, 0);
    EXPECT_TRUE(has(damaged.out,
                    "Size limit: 2.0 GiB (default; the registry value "
                    "Software\\KDDirLib\\KDDirCtrl\\MaxSourceBytes holds \"a lot\""))
        << damaged.out;
    store.deleteKey("Software\\KDDirLib");
}

TEST(KDDirCheck, WrongUsageShowsHowToCallIt) {
    // Without a source it checks the configured one; here there is none.
    testsupport::ScopedEnv noSource("KDDIR_SOURCE", nullptr);
    testsupport::ScopedEnv noLdapConf("LDAPCONF", "/dev/null");
    const Outcome none = check({});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(has(none.err, "kddir-check: No directory client is configured")) << none.err;
    const Outcome empty = check({""});
    EXPECT_EQ(empty.status, 2);
    EXPECT_TRUE(has(empty.err, "usage: kddir-check [SOURCE]"));
    EXPECT_EQ(check({"a", "b"}).status, 2);
    const Outcome help = check({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(has(help.out, "usage: kddir-check [SOURCE]"));
}

TEST(KDDirCheck, NamesAServerThatCannotBeReachedOnce) {
    const Outcome run = check({"ldap://127.0.0.1:1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.err, "kddir-check: ldap://127.0.0.1:1: cannot connect to the server"))
        << run.err;
    EXPECT_EQ(run.err.find("127.0.0.1:1"), run.err.rfind("127.0.0.1:1")) << run.err;
}
