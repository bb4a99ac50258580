// kddir-check as administrators run it: a summary and status 0 for a usable
// source, the error with file and line on stderr and status 1 for one the
// control would refuse, the registry's size limit, and wrong usage.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "platform/registry/store.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome check(const std::vector<std::string>& arguments) {
    const fs::path dir = testsupport::freshDir("check");
    // Every word in single quotes (no test argument holds one); built by
    // appending, which g++ 12 at -O3 does not take for an overlapping copy.
    const auto quoted = [](const std::string& word) {
        std::string text = "'";
        text.append(word).append("'");
        return text;
    };
    std::string command = quoted((testsupport::binDir() / "kddir-check").string());
    for (const std::string& argument : arguments) command.append(" ").append(quoted(argument));
    command.append(" >").append(quoted((dir / "out").string()));
    command.append(" 2>").append(quoted((dir / "err").string()));
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = testsupport::readFile(dir / "out");
    run.err = testsupport::readFile(dir / "err");
    return run;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const fs::path kDemo = testsupport::sourceDir() / "demo" / "directory.ldif";

}  // namespace

TEST(KDDirCheck, SummarisesAUsableSource) {
    const Outcome run = check({kDemo.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const char* part :
         {"demo/directory.ldif: a usable directory\n", "Trees: 2\n", "KTR:\\\\CorpTree",
          "KTR:\\\\LabTree", "Entries: 389\n", "Layouts: ",
          "Workstation (6 fields): CN, Description, Location, Operator, RJ:Network Address, "
          "RK:Harbex File Transfer\n",
          "Field types: ", "Loaded in ", "the directory holds ", "Size limit: 2.0 GiB\n"})
        EXPECT_TRUE(has(run.out, part)) << part << "\n" << run.out;
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
    EXPECT_TRUE(has(check({"ldap://server/o=x"}).err, "LDAP directory sources are not supported"));
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
    const Outcome none = check({});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(has(none.err, "usage: kddir-check SOURCE"));
    EXPECT_EQ(check({"a", "b"}).status, 2);
    const Outcome help = check({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(has(help.out, "usage: kddir-check SOURCE"));
}
