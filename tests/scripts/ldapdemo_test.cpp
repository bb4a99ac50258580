// scripts/ldap-demo, which the LDAP tests, the demo and the benchmarks make
// their servers with: a server made in two steps (its entries loaded with
// slapadd -q, how long that took recorded), the index setting it refuses,
// and a server that ends with the process it belongs to.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

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

TEST_F(LdapDemo, AnIndexSettingThatIsNotAListOfTypesIsRefusedBeforeAnythingIsMade) {
    for (const char* index : {"cn eq,sub\nolcAccess: to * by * write", "cn;uid", "cn,"}) {
        ScopedEnv setting("LDAP_DEMO_INDEX", index);
        const ProgramRun run = ldapDemo(folder_, "prepare");
        EXPECT_NE(run.status, 0) << index;
        EXPECT_NE(run.err.find("LDAP_DEMO_INDEX"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(folder_)) << index;
    }
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

}  // namespace
