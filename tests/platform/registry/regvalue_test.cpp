// The regvalue tool, as the demo script uses it: it writes a value, leaves a
// value that exists alone when asked to, reads it back, and tells whether a
// key exists.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
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

TEST(RegValue, KeepsASecretOutOfAStoreThatOthersCanRead) {
    const std::filesystem::path file = platform::registry::Store::defaultPath();
    platform::registry::Store().deleteKey("Software\\KDDirLib");
    const std::string key = "'Software\\KDDirLib\\KDDirCtrl'";
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read | std::filesystem::perms::others_read);
    for (const std::string& write :
         {"--stdin " + key + " Secret </dev/null", key + " BindPassword s3cret"}) {
        const ToolRun run = regvalue(write);
        EXPECT_EQ(run.status, 1) << write;
        EXPECT_NE(run.output.find("mode 0644"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("chmod 600 '" + file.string() + "'"), std::string::npos)
            << run.output;
    }
    EXPECT_FALSE(platform::registry::Store().keyExists("Software\\KDDirLib"));
    // Other values still go in; once private, so does the secret.
    EXPECT_EQ(regvalue(key + " BindDN cn=admin").status, 0);
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(regvalue(key + " BindPassword s3cret").status, 0);
    EXPECT_EQ(platform::registry::Store().value("Software\\KDDirLib\\KDDirCtrl", "BindPassword"),
              "s3cret");
}

TEST(RegValue, AnEmptyStoreFileBecomesAPrivateStore) {
    const std::filesystem::path file = testsupport::freshDir("empty-store") / "registry.db";
    testsupport::writeFile(file, "");
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read | std::filesystem::perms::others_read);
    testsupport::ScopedEnv store("REGISTRY_DB", file.string());
    const ToolRun run = regvalue("--stdin 'Software\\KDDirLib\\KDDirCtrl' BindPassword </dev/null");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::mask,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}
