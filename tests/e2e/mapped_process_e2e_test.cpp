// tvn as a process on directories read through a mapping: slapd with only
// Debian's standard schemas and Samba's Active Directory. An unattended run
// builds the workstation database from the server; a window run types the
// login name, lists the workstation the user is at and starts its console
// with Enter, as an administrator would; and a login published through PAM
// is found the same way.
#include "ad_computer.h"
#include "pam_session.h"
#include "testsupport/samba_ad.h"
#include "testsupport/slapd.h"
#include "tvnprocess.h"

namespace {

using e2e::onDriveZ;
namespace fs = std::filesystem;

enum class Server { Standard, ActiveDirectory };

class TvnOnAMappedServer : public e2e::TvnProcess, public ::testing::WithParamInterface<Server> {
protected:
    void SetUp() override {
        TvnProcess::SetUp();
        if (GetParam() == Server::Standard) {
            const auto& server = testsupport::Slapd::shared(testsupport::Slapd::Data::Standard);
            environmentOverrides["KDDIR_SOURCE"] = QString::fromStdString(server.url());
            testsupport::storeCredentials(server);
        } else {
            const auto& server = testsupport::SambaAd::shared();
            environmentOverrides["KDDIR_SOURCE"] = QString::fromStdString(server.url());
            testsupport::storeCredentials(server);
            platform::registry::Store().setValue(kKey, "TreeName", "CorpTree");
        }
    }
    void TearDown() override {
        testsupport::forgetCredentials();
        platform::registry::Store().deleteValue(kKey, "TreeName");
    }
    static constexpr const char* kKey = "Software\\KDDirLib\\KDDirCtrl";
};

INSTANTIATE_TEST_SUITE_P(Servers, TvnOnAMappedServer,
                         ::testing::Values(Server::Standard, Server::ActiveDirectory),
                         [](const auto& info) {
                             return info.param == Server::Standard ? "Standard" : "ActiveDirectory";
                         });

}  // namespace

TEST_P(TvnOnAMappedServer, ALoginNameLeadsToTheConsoleOfTheWorkstationTheUserIsAt) {
    save("Settings\\CorpTree", "HB Server", "FS1");
    const fs::path folder = testsupport::freshDir("database");
    const e2e::Ended built = runTvn({"/tree=KTR:\\\\CorpTree", "/dbbuild=KTR:\\\\CorpTree",
                                     "/autoclose", "/dbpath=" + onDriveZ(folder)});
    ASSERT_EQ(built.exitCode, 0) << built.standardError.toStdString();
    const std::string database = testsupport::readFile(folder / "CorpTree.lst");
    EXPECT_NE(database.find("\"KTR:\\\\CorpTree\\Acme\\Sales\\WS042\","), std::string::npos);

    const fs::path window = folder / "window.txt";
    runToEnd(TVN_DRIVER, {"/tree=KTR:\\\\CorpTree", "/dbpath=" + onDriveZ(folder)},
             "search=VossbeckT;window=" + QString::fromStdString(window.string()) +
                 ";tabto=lstMultiple;key=Return");
    const std::string shown = testsupport::readFile(window);
    EXPECT_NE(shown.find("results=Workstation(s) currently in use ... | 1"), std::string::npos)
        << shown;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !consoles().isEmpty(); }, 10000))
        << "no console was started";
    EXPECT_EQ(consoles().front(), "vorplin.exe\t-wWS042.Sales.Acme\t-nCorpTree\t-cRemote Control");
}

// The whole journey on a real network: a login on the demo's own workstation
// LOCALHOST goes through PAM (pam_exec running tolvane-logon, bound as the
// workstation), tvn then finds the user there by the login name, and after
// the logout the user is not logged in anywhere.
TEST_P(TvnOnAMappedServer, ALoginThroughPamIsFoundByTvnUntilTheLogout) {
    const fs::path site = testsupport::freshDir("site");
    std::string directory;
    std::unique_ptr<testsupport::Slapd> slapd;
    std::unique_ptr<logontest::ComputerAccount> computer;
    if (GetParam() == Server::Standard) {
        // A server of its own: this one grants the workstations their rights.
        testsupport::Slapd::Options o;
        o.schema = "standard";
        o.logon = true;
        slapd = std::make_unique<testsupport::Slapd>(o);
        environmentOverrides["KDDIR_SOURCE"] = QString::fromStdString(slapd->url());
        testsupport::storeCredentials(*slapd);
        testsupport::writeFile(site / "secret", slapd->logonPassword());
        fs::permissions(site / "secret", fs::perms::owner_read | fs::perms::owner_write);
        directory = "url = " + slapd->url() +
                    "\nmapping = standard\n[bind]\ndn = " + slapd->logonDn() + "\n";
    } else {
        auto& ad = testsupport::SambaAd::shared();
        computer = std::make_unique<logontest::ComputerAccount>(ad, site / "secret");
        ASSERT_TRUE(computer->ready());
        directory = "url = " + ad.url() + "\nstart_tls = yes\nca_file = " + ad.caFile().string() +
                    "\nmapping = activedirectory\n[bind]\ndn = " + logontest::ComputerAccount::kDn +
                    "\n";
    }
    testsupport::writeFile(site / "logon.conf",
                           "[directory]\n" + directory +
                               "secret_file = " + (site / "secret").string() +
                               "\n[logon]\ntimeout = 5\nlog_file = " + (site / "log").string() +
                               "\nrun_dir = " + (site / "run").string() + "\n");
    fs::create_directories(site / "pam.d");
    testsupport::writeFile(site / "pam.d" / "login", "session required pam_exec.so quiet " +
                                                         std::string(LOGON_PROGRAM) + " --config " +
                                                         (site / "logon.conf").string() + "\n");

    save("Settings\\CorpTree", "HB Server", "FS1");
    const fs::path folder = testsupport::freshDir("database");
    const e2e::Ended built = runTvn({"/tree=KTR:\\\\CorpTree", "/dbbuild=KTR:\\\\CorpTree",
                                     "/autoclose", "/dbpath=" + onDriveZ(folder)});
    ASSERT_EQ(built.exitCode, 0) << built.standardError.toStdString();
    const auto search = [&](const char* step) {
        const fs::path window = folder / (std::string(step) + ".txt");
        runToEnd(TVN_DRIVER, {"/tree=KTR:\\\\CorpTree", "/dbpath=" + onDriveZ(folder)},
                 "search=KaiserU;window=" + QString::fromStdString(window.string()));
        return testsupport::readFile(window);
    };

    // On Active Directory the demo's Uwe Kaiser is logged in at HH-WS001
    // too; that stays as it is.
    const std::string others =
        GetParam() == Server::Standard ? "" : "result=HH-WS001.Hamburg.Nordwerk.DE\n";
    const std::string count = GetParam() == Server::Standard ? "1" : "2";
    logontest::Driver pam(site / "pam.d");
    ASSERT_EQ(pam.open("1", "KaiserU").status, 0);
    const std::string during = search("during");
    EXPECT_NE(during.find("results=Workstation(s) currently in use ... | " + count + "\n" + others +
                          "result=LOCALHOST.IT.Acme\n"),
              std::string::npos)
        << during << testsupport::readFile(site / "log");

    ASSERT_EQ(pam.close("1").status, 0);
    const std::string after = search("after");
    EXPECT_EQ(after.find("LOCALHOST"), std::string::npos) << after;
    EXPECT_NE(after.find(others.empty() ? "result=User not logged in!\n" : others),
              std::string::npos)
        << after << testsupport::readFile(site / "log");
}

namespace {

// tvn bound with the user's Kerberos ticket on the domain controller, as a
// site without stored passwords runs it: a private KRB5_CONFIG and ticket
// cache, kinit, and no password anywhere. The server is reached as
// 127.0.0.1, taken as written (SASL_NOCANON): the domain knows the service
// as ldap/127.0.0.1, not by this machine's host name.
class TvnWithAKerberosTicket : public e2e::TvnProcess,
                               public ::testing::WithParamInterface<Server> {
protected:
    void SetUp() override {
        TvnProcess::SetUp();
        const auto& server = testsupport::SambaAd::shared();
        const fs::path dir = testsupport::freshDir("kerberos");
        const std::string config = (server.dir() / "krb5.conf").string();
        const std::string cache = "FILE:" + (dir / "cc").string();
        environmentOverrides["KRB5_CONFIG"] = QString::fromStdString(config);
        environmentOverrides["KRB5CCNAME"] = QString::fromStdString(cache);
        environmentOverrides["KDDIR_SOURCE"] = "";
        environmentOverrides["LDAPCONF"] = QString::fromStdString((dir / "ldap.conf").string());
        // All the configuration there is: libldap's, as ldapsearch reads it.
        testsupport::writeFile(dir / "ldap.conf", "URI " + server.url() + "\nBASE " +
                                                      server.baseDn() +
                                                      "\nSASL_MECH GSSAPI\nSASL_NOCANON on\n");
        kinit_ = "KRB5_CONFIG='" + config + "' KRB5CCNAME='" + cache + "' ";
        password_ = testsupport::readFile(server.dir() / "bind-password");
        const auto got = testsupport::runProgram(
            "/bin/sh", {"-c", kinit_ + "/usr/bin/kinit Administrator < '" +
                                  (server.dir() / "bind-password").string() + "'"});
        ASSERT_EQ(got.status, 0) << got.err;
    }
    void TearDown() override {
        testsupport::runProgram("/bin/sh", {"-c", kinit_ + "/usr/bin/kdestroy"});
    }
    std::string kinit_;
    std::string password_;
};

INSTANTIATE_TEST_SUITE_P(Kerberos, TvnWithAKerberosTicket,
                         ::testing::Values(Server::ActiveDirectory),
                         [](const auto&) { return "ActiveDirectory"; });

}  // namespace

TEST_P(TvnWithAKerberosTicket, LdapConfAndATicketAreAllItTakes) {
    for (const auto& [name, value] :
         platform::registry::Store().values("Software\\KDDirLib\\KDDirCtrl"))
        ADD_FAILURE() << "the user's store holds " << name;
    save("Settings\\corptree", "HB Server", "FS1");
    const fs::path folder = testsupport::freshDir("database");
    const e2e::Ended built = runTvn({"/tree=KTR:\\\\corptree", "/dbbuild=KTR:\\\\corptree",
                                     "/autoclose", "/dbpath=" + onDriveZ(folder)});
    ASSERT_EQ(built.exitCode, 0) << built.standardError.toStdString();
    const std::string database = testsupport::readFile(folder / "corptree.lst");
    EXPECT_NE(database.find("\\Acme\\Sales\\WS042\","), std::string::npos)
        << database.substr(0, 400);

    const fs::path window = folder / "window.txt";
    runToEnd(TVN_DRIVER, {"/tree=KTR:\\\\corptree", "/dbpath=" + onDriveZ(folder)},
             "search=VossbeckT;window=" + QString::fromStdString(window.string()));
    const std::string shown = testsupport::readFile(window);
    EXPECT_NE(shown.find("results=Workstation(s) currently in use ... | 1"), std::string::npos)
        << shown;
    EXPECT_EQ(shown.find(password_), std::string::npos);
}

TEST_P(TvnWithAKerberosTicket, WithoutATicketTheUnattendedRunSaysRunKinit) {
    testsupport::runProgram("/bin/sh", {"-c", kinit_ + "/usr/bin/kdestroy"});
    const fs::path folder = testsupport::freshDir("database");
    const e2e::Ended built = runTvn({"/tree=KTR:\\\\corptree", "/dbbuild=KTR:\\\\corptree",
                                     "/autoclose", "/dbpath=" + onDriveZ(folder)});
    EXPECT_NE(built.exitCode, 0);
    EXPECT_TRUE(
        built.standardError.contains("No Kerberos ticket for the directory server: run kinit"))
        << built.standardError.toStdString();
    EXPECT_LT(built.milliseconds, 15000);
}

TEST_P(TvnWithAKerberosTicket, NoSecretIsInTheArgumentsOfARunningTvn) {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(TVN_PROGRAM, {"/tree=KTR:\\\\corptree"});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return e2e::catchesTerm(process.processId()); }, 10000));
    const std::string pid = std::to_string(process.processId());
    const std::string arguments = testsupport::readFile("/proc/" + pid + "/cmdline");
    const std::string environment = testsupport::readFile("/proc/" + pid + "/environ");
    EXPECT_FALSE(arguments.empty());
    EXPECT_EQ(arguments.find(password_), std::string::npos);
    EXPECT_EQ(environment.find(password_), std::string::npos);
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGTERM), 0);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.readAllStandardError().toStdString().find(password_), std::string::npos);
}
