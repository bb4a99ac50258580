// tvn as a process on the demo directory served by slapd: an unattended
// database build reads the server, one whose bind the server refuses ends
// with the reason on standard error, which never holds the credentials, and
// one that a size limit cut short says so and ends with status 3.
#include "testsupport/slapd.h"
#include "tvnprocess.h"

namespace {

using e2e::onDriveZ;
namespace fs = std::filesystem;

// tvn pointed at a server and bound with its account.
class TvnOnAServer : public e2e::TvnProcess {
protected:
    explicit TvnOnAServer(const testsupport::Slapd& server) : server(server) {}
    void SetUp() override {
        TvnProcess::SetUp();
        environmentOverrides["KDDIR_SOURCE"] = QString::fromStdString(server.url());
        testsupport::storeCredentials(server);
    }
    void TearDown() override { testsupport::forgetCredentials(); }

    const testsupport::Slapd& server;
};

class TvnOnLdap : public TvnOnAServer {
protected:
    TvnOnLdap() : TvnOnAServer(testsupport::Slapd::shared()) {}

    e2e::Ended build(const fs::path& folder) {
        return runTvn({"/tree=KTR:\\\\LabTree", "/dbbuild=KTR:\\\\LabTree", "/autoclose",
                       "/dbpath=" + onDriveZ(folder)});
    }
};

}  // namespace

TEST_F(TvnOnLdap, AnUnattendedBuildReadsTheServer) {
    const fs::path folder = testsupport::freshDir("database");
    const e2e::Ended ended = build(folder);
    EXPECT_EQ(ended.exitCode, 0) << ended.standardError.toStdString();
    const std::string database = testsupport::readFile(folder / "LabTree.lst");
    EXPECT_NE(database.find("\"KTR:\\\\LabTree\\"), std::string::npos) << database;
}

TEST_F(TvnOnLdap, ARefusedBindEndsWithTheReasonButNotTheCredentials) {
    platform::registry::Store().setValue("Software\\KDDirLib\\KDDirCtrl", "BindPassword",
                                         server.password() + "x");
    const fs::path folder = testsupport::freshDir("database");
    const e2e::Ended ended = build(folder);
    EXPECT_NE(ended.exitCode, 0);
    EXPECT_FALSE(ended.crashed);
    const std::string said = ended.standardError.toStdString();
    EXPECT_NE(said.find("BindPassword"), std::string::npos) << said;
    EXPECT_EQ(said.find(server.password()), std::string::npos) << said;
    EXPECT_EQ(said.find(server.bindDn()), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(folder / "LabTree.lst"));
}

namespace {

// A private server that hands out four entries per search; the demo's
// LabTree holds six workstations.
class TvnOnALimitedServer : public TvnOnAServer {
protected:
    // The base keeps the reference and reads the server only in SetUp, when
    // the member is made.
    TvnOnALimitedServer() : TvnOnAServer(limited) {}
    testsupport::Slapd limited{{.ldif = {}, .sizeLimit = 4}};
};

}  // namespace

TEST_F(TvnOnALimitedServer, AnUnattendedBuildCutShortSaysSoAndEndsWithStatus3) {
    const fs::path folder = testsupport::freshDir("database");
    const e2e::Ended ended = runTvn({"/tree=KTR:\\\\LabTree", "/dbbuild=KTR:\\\\LabTree",
                                     "/autoclose", "/dbpath=" + onDriveZ(folder)});
    EXPECT_EQ(ended.exitCode, 3) << ended.standardError.toStdString();
    EXPECT_TRUE(ended.standardError.contains(
        "tvn: Found: 4 Workstation(s). The directory server returned only 4 of the entries\n"))
        << ended.standardError.toStdString();
    const std::string database = testsupport::readFile(folder / "LabTree.lst");
    EXPECT_EQ(std::count(database.begin(), database.end(), '\n'), 4) << "what came is kept";
}
