// The regvalue tool, as the demo script uses it: it writes a value, leaves a
// value that exists alone when asked to, reads it back, and tells whether a
// key exists.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/registry/store.h"
#include "testsupport/testsupport.h"

namespace {

struct ToolRun {
    int status;
    std::string output;
};

ToolRun regvalue(const std::string& arguments) {
    const std::string command =
        (testsupport::binDir() / "regvalue").string() + " " + arguments + " 2>&1";
    ToolRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

const std::string kKey = "'Software\\Application Settings\\Tolvane\\Settings\\CorpTree'";

}  // namespace

TEST(RegValue, WritesOnlyAnAbsentValueWhenAskedToAndReadsItBack) {
    platform::registry::Store().deleteKey("Software\\Application Settings\\Tolvane");
    EXPECT_EQ(regvalue(kKey + " 'HB Server'").status, 1) << "no value yet";
    EXPECT_EQ(regvalue("--if-absent " + kKey + " 'HB Server' FS1").status, 0);
    EXPECT_EQ(regvalue("--if-absent " + kKey + " 'HB Server' FS2").status, 0);
    const ToolRun got = regvalue(kKey + " 'hb server'");
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.output, "FS1\n") << "the value that existed stays";

    EXPECT_EQ(regvalue(kKey + " 'HB Server' FS2").status, 0);
    EXPECT_EQ(platform::registry::Store().value(
                  "Software\\Application Settings\\Tolvane\\Settings\\CorpTree", "HB Server"),
              "FS2");
    EXPECT_EQ(regvalue("--if-absent " + kKey + " 'HB Server'").status, 2) << "no data to write";
}

TEST(RegValue, TellsWhetherAKeyExists) {
    platform::registry::Store().deleteKey("Software\\Application Settings\\Tolvane");
    const std::string user = "'Software\\Application Settings\\Tolvane\\KTR User\\CorpTree'";
    EXPECT_EQ(regvalue("--has-key " + user).status, 1);
    EXPECT_EQ(regvalue(user + " 'Full Name' 1").status, 0);
    EXPECT_EQ(regvalue("--has-key " + user).status, 0);
    EXPECT_EQ(regvalue("--has-key 'software\\application settings\\tolvane'").status, 0);
    EXPECT_EQ(regvalue("--has-key " + user + " 'Full Name'").status, 2);
    EXPECT_EQ(regvalue("--has-key --if-absent " + user).status, 2);
}

TEST(RegValue, TakesASecretFromStandardInput) {
    const std::string key = "'Software\\KDDirLib\\KDDirCtrl'";
    const std::string tool = (testsupport::binDir() / "regvalue").string();
    ASSERT_EQ(
        std::system(("printf 'pa ss\\n' | " + tool + " --stdin " + key + " BindPassword").c_str()),
        0);
    EXPECT_EQ(platform::registry::Store().value("Software\\KDDirLib\\KDDirCtrl", "BindPassword"),
              "pa ss");
    EXPECT_EQ(regvalue("--stdin " + key + " BindPassword extra </dev/null").status, 2);
    EXPECT_EQ(regvalue("--stdin --has-key " + key + " </dev/null").status, 2);
}
