// tvn as a process on directories read through a mapping: slapd with only
// Debian's standard schemas and Samba's Active Directory. An unattended run
// builds the workstation database from the server; a window run types the
// login name, lists the workstation the user is at and starts its console
// with Enter, as an administrator would.
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
