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
