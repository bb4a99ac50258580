// The directory control and kddir-check bound with a Kerberos ticket (SASL
// GSSAPI) on the domain controller of the tests, whose KDC hands it out: a
// private KRB5_CONFIG and ticket cache, kinit as the domain's administrator,
// and no password in any store. The server is reached as ldap://127.0.0.1,
// so libldap is told to take that name as written (SASL_NOCANON): the
// domain knows the service as ldap/127.0.0.1, not as this machine's name.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/automation/automation.h"
#include "platform/registry/store.h"
#include "testsupport/samba_ad.h"
#include "testsupport/testsupport.h"

using namespace platform::automation;

namespace {

namespace fs = std::filesystem;
using platform::registry::Store;
using testsupport::ProgramRun;
using testsupport::runProgram;
using testsupport::ScopedEnv;

const std::string kKey = "Software\\KDDirLib\\KDDirCtrl";
const std::string kSales = "KTR:\\\\CorpTree\\Acme\\Sales";

std::string messageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AutomationError& e) {
        return std::to_string(e.code()) + " " + e.description();
    }
    return "";
}

class Kerberos : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(loadServer(KDDIR_LIBRARY).registerServer(), status::Ok);
    }
    void SetUp() override {
        cache_ = testsupport::freshDir("krb5") / "cc";
        env_.push_back(
            std::make_unique<ScopedEnv>("KRB5_CONFIG", (ad.dir() / "krb5.conf").string()));
        env_.push_back(std::make_unique<ScopedEnv>("KRB5CCNAME", "FILE:" + cache_.string()));
        env_.push_back(std::make_unique<ScopedEnv>("LDAPSASL_NOCANON", "on"));
        env_.push_back(std::make_unique<ScopedEnv>("KDDIR_SOURCE", nullptr));
        Store store;
        store.setValue(kKey, "Source", ad.url());
        store.setValue(kKey, "BindMethod", "gssapi");
        store.setValue(kKey, "TreeName", "CorpTree");
    }
    void TearDown() override {
        runProgram("/usr/bin/kdestroy", {});
        Store store;
        for (const char* name : {"Source", "BindMethod", "TreeName", "TimeoutSeconds"})
            store.deleteValue(kKey, name);
        env_.clear();
    }

    // kinit as the domain's administrator, the password on standard input.
    ProgramRun kinit(const std::string& lifetime = "") {
        return runProgram("/bin/sh", {"-c", "/usr/bin/kinit " + lifetime + " Administrator < '" +
                                                (ad.dir() / "bind-password").string() + "'"});
    }
    static ProgramRun check() {
        return runProgram("/usr/bin/timeout",
                          {"60", (testsupport::binDir() / "kddir-check").string()});
    }

    testsupport::SambaAd& ad = testsupport::SambaAd::shared();
    fs::path cache_;
    std::vector<std::unique_ptr<ScopedEnv>> env_;
};

}  // namespace

TEST_F(Kerberos, ATicketFromKinitBindsTheControlAndKddirCheckWithNoStoredPassword) {
    const ProgramRun got = kinit();
    ASSERT_EQ(got.status, 0) << got.err;
    {
        auto ctrl = createObject("KDDirLib.KDDirCtrl.1");
        EXPECT_EQ(ctrl->call("OpenEntry", {kSales + "\\WS042"}).toObject()->get("EntryName"),
                  Variant("WS042"));
        EXPECT_TRUE(ctrl->get("BoundAs").toString().starts_with("Administrator@CORPTREE.TEST"))
            << ctrl->get("BoundAs").toString();
    }
    const ProgramRun run = check();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Source: ldap://127.0.0.1 (from the registry value " + kKey +
                           "\\Source of your store"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Bound: gssapi, as Administrator@CORPTREE.TEST"), std::string::npos)
        << run.out;
    // Nothing in any store could have bound instead.
    for (const auto& [name, value] : Store().values(kKey)) {
        EXPECT_NE(name, "BindPassword");
        EXPECT_NE(name, "BindDN");
    }
    EXPECT_FALSE(fs::exists(Store::machinePath()));

    const std::string password = testsupport::readFile(ad.dir() / "bind-password");
    for (const std::string& said : {got.out, got.err, run.out, run.err})
        EXPECT_EQ(said.find(password), std::string::npos);
}

TEST_F(Kerberos, WithoutATicketTheReasonSaysRunKinitWithinTheTimeout) {
    runProgram("/usr/bin/kdestroy", {});
    Store().setValue(kKey, "TimeoutSeconds", "4");
    const auto started = std::chrono::steady_clock::now();
    const ProgramRun run = check();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ldap://127.0.0.1:389: No Kerberos ticket for the directory server: "
                           "run kinit ("),
              std::string::npos)
        << run.err;
    // libldap's and Kerberos's own words follow.
    EXPECT_NE(run.err.find("No Kerberos credentials available"), std::string::npos) << run.err;
    EXPECT_LT(took, std::chrono::seconds(4) + std::chrono::milliseconds(500));

    const std::string text = messageOf([] { createObject("KDDirLib.KDDirCtrl.1"); });
    EXPECT_TRUE(text.starts_with("600 ")) << text;
    EXPECT_NE(text.find("No Kerberos ticket for the directory server: run kinit"),
              std::string::npos)
        << text;
}

TEST_F(Kerberos, AnExpiredTicketIsNoTicket) {
    const ProgramRun got = kinit("-l 2s");
    ASSERT_EQ(got.status, 0) << got.err;
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    Store().setValue(kKey, "TimeoutSeconds", "5");
    const ProgramRun run = check();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("No Kerberos ticket for the directory server: run kinit"),
              std::string::npos)
        << run.err;
}
