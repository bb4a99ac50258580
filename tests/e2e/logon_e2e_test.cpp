// The journey on a real network: a workstation publishes a login with
// tolvane-logon (standard slapd, the demo's LOCALHOST binding as itself),
// and tvn, typing the user's login name, lists that workstation; after the
// logout the user is not logged in anywhere.
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "app/shell/ShellProgramStart.h"
#include "app/shell/frmMain.h"
#include "consolenetwork.h"
#include "fakeservices.h"
#include "platform/automation/create.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"
#include "windowsearch.h"

namespace fs = std::filesystem;
using testsupport::ScopedEnv;

namespace {

class PublishedLogin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(platform::automation::loadServer(KDDIR_LIBRARY).registerServer(), 0);
    }
    static testsupport::Slapd::Options options() {
        testsupport::Slapd::Options o;
        o.schema = "standard";
        o.logon = true;
        return o;
    }
    void SetUp() override {
        services = rec.services();
        services.programs = std::make_shared<tvn::ShellProgramStart>();
        testsupport::storeCredentials(server);
        testsupport::writeFile(dir / "secret", server.logonPassword());
        fs::permissions(dir / "secret", fs::perms::owner_read | fs::perms::owner_write);
        testsupport::writeFile(dir / "logon.conf",
                               "[directory]\nurl = " + server.url() +
                                   "\nmapping = standard\n[bind]\ndn = " + server.logonDn() +
                                   "\nsecret_file = " + (dir / "secret").string() +
                                   "\n[logon]\nlog_file = " + (dir / "log").string() +
                                   "\nrun_dir = " + (dir / "run").string() + "\n");
    }
    void TearDown() override {
        form.reset();
        testsupport::forgetCredentials();
    }

    // tolvane-logon as pam_exec runs it; this test process is the leader.
    void publish(const char* type) {
        ScopedEnv pamType("PAM_TYPE", type);
        ScopedEnv user("PAM_USER", "KaiserU");
        ScopedEnv service("PAM_SERVICE", "login");
        ScopedEnv tty("PAM_TTY", "pts/7");
        const auto run = testsupport::runProgram(testsupport::binDir() / "tolvane-logon",
                                                 {"--config", (dir / "logon.conf").string()});
        ASSERT_EQ(run.status, 0);
        ASSERT_EQ(testsupport::readFile(dir / "log").find("nothing changed"), std::string::npos)
            << testsupport::readFile(dir / "log");
    }
    QStringList listed(const QString& typed) { return searchAndList(*form, typed); }

    testsupport::Slapd server{options()};
    const fs::path dir = testsupport::freshDir("workstation");
    ScopedEnv source{"KDDIR_SOURCE", server.url()};
    ScopedEnv network{"UNC_ROOT", makeConsoleNetwork(CONSOLE_PROGRAM).string()};
    fakes::Recorders rec;
    platform::forms::Services services;
    std::unique_ptr<tvn::frmMain> form;
};

}  // namespace

TEST_F(PublishedLogin, TheUserIsListedAtThePublishingWorkstationUntilTheLogout) {
    publish("open_session");
    const fs::path db = testsupport::freshDir("database");
    form = std::make_unique<tvn::frmMain>(services);
    form->commandLine = "/dbbuild=KTR:\\\\CorpTree /dbpath=" +
                        QString::fromStdString(db.string()).replace('/', '\\');
    ASSERT_EQ(form->Form_Load(), tvn::frmMain::LoadResult::Show)
        << form->statusText().toStdString();
    form->currentContext = "KTR:\\\\CorpTree";
    form->cmbServerlist->setCurrentText("FS1");
    EXPECT_EQ(listed("KaiserU"), QStringList{"LOCALHOST.IT.Acme"});

    publish("close_session");
    EXPECT_EQ(listed("KaiserU"), QStringList{"User not logged in!"});
}
