// Logins against the network's accounts, the shared session file under
// concurrent processes, and the path resolver built from the session.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "kdclient.h"
#include "outside/client/errors.h"
#include "outside/client/resolver.h"
#include "outside/client/session.h"
#include "testnetwork.h"

namespace {

using outside::client::Client;
using outside::client::ClientError;
using outside::client::SessionState;
using outside::client::SessionStore;
using testnetwork::TestNetwork;

int32_t codeOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const ClientError& e) {
        return e.code();
    }
    return KD_SUCCESS;
}

class Logins : public ::testing::Test {
protected:
    TestNetwork net;
    Client client = Client::current();
};

TEST_F(Logins, TreeLoginFindsTheUserByDottedNameContextOrUniqueName) {
    EXPECT_EQ(client.loginTree("corptree", "admin", "secret", "ACME").user, "admin.Acme");
    EXPECT_EQ(client.loginTree("CorpTree", ".Admin.Acme", "secret", "").user, "admin.Acme");
    EXPECT_EQ(client.loginTree("CorpTree", "admin", "secret", "").user, "admin.Acme");
    EXPECT_EQ(client.loginTree("CorpTree", "jsmith", "it", "IT.Acme").user, "jsmith.IT.Acme");

    const auto outcome = client.loginTree("LabTree", "tester", "lab", "");
    EXPECT_EQ(outcome.tree, "LabTree");
    EXPECT_EQ(outcome.server, "LAB1");
    const SessionState s = client.state();
    ASSERT_EQ(s.connections.size(), 2u);  // one per tree, reused by the second login
    EXPECT_EQ(s.connections[0].user, "jsmith.IT.Acme");
    EXPECT_EQ(s.connections[0].authState, 2u);
    // The first tree login chose the preferred tree and its default context.
    EXPECT_EQ(s.preferredTree, "CorpTree");
    EXPECT_EQ(s.defaultContext("CorpTree"), "Acme");
    EXPECT_EQ(s.defaultContext("LabTree"), "Lab");
}

TEST_F(Logins, AnAmbiguousNameNeedsItsContext) {
    EXPECT_EQ(codeOf([&] { client.loginTree("CorpTree", "jsmith", "sales", ""); }),
              KD_ERR_NO_SUCH_ENTRY);
    client.setDefaultContext("CorpTree", "Sales.Acme");
    EXPECT_EQ(client.loginTree("CorpTree", "jsmith", "sales", "").user, "jsmith.Sales.Acme");
}

TEST_F(Logins, FailedLoginsChangeNothing) {
    EXPECT_EQ(codeOf([&] { client.loginTree("CorpTree", "admin", "wrong", "Acme"); }),
              KD_ERR_BAD_PASSWORD);
    EXPECT_EQ(codeOf([&] { client.loginTree("NoTree", "admin", "secret", "Acme"); }),
              KD_ERR_NO_SUCH_TREE);
    EXPECT_EQ(codeOf([&] { client.loginTree("EmptyTree", "admin", "secret", ""); }),
              KD_ERR_NO_CONNECTION);
    EXPECT_EQ(codeOf([&] { client.loginTree("LabTree", "admin", "secret", "Acme"); }),
              KD_ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(codeOf([&] { client.loginServer("NOSUCH", "admin", "secret", "", false); }),
              KD_ERR_NO_SUCH_OBJECT);
    EXPECT_EQ(codeOf([&] { client.loginServer("OLD1", "SUPERVISOR", "new", "", false); }),
              KD_ERR_BAD_PASSWORD);
    EXPECT_EQ(codeOf([&] { client.loginServer("OLD1", "admin.Acme", "secret", "", false); }),
              KD_ERR_NO_SUCH_ENTRY);
    EXPECT_TRUE(client.state().connections.empty());
    EXPECT_FALSE(std::filesystem::exists(net.stateFile));
}

TEST_F(Logins, ServerLoginsThroughTheDirectoryOrTheBindery) {
    auto outcome = client.loginServer("FS2", "admin", "secret", "Acme", false);
    EXPECT_EQ(outcome.server, "FS2");
    EXPECT_EQ(outcome.tree, "");
    EXPECT_EQ(client.connection(outcome.connection).authState, 2u);
    // A server without a tree only knows bindery users, whatever is asked.
    outcome = client.loginServer("old1", "supervisor", "old", "", false);
    EXPECT_EQ(outcome.user, "SUPERVISOR");
    EXPECT_EQ(client.connection(outcome.connection).authState, 1u);
    outcome = client.loginServer("FS1", "guest", "", "", true);
    EXPECT_EQ(client.connection(outcome.connection).authState, 1u);
    EXPECT_EQ(codeOf([&] { client.loginServer("FS1", "admin", "secret", "Acme", true); }),
              KD_ERR_NO_SUCH_ENTRY);
}

TEST(SessionFile, ADamagedFileIsReportedAndKeptUntilReset) {
    const auto file = testsupport::freshDir("state") / "session.json";
    testsupport::writeFile(file, "not json");
    const SessionStore store(file);
    EXPECT_EQ(codeOf([&] { store.read(); }), KD_ERR_CLIENT_UNAVAILABLE);
    EXPECT_EQ(codeOf([&] { store.update([](SessionState& s) { s.preferredTree = "X"; }); }),
              KD_ERR_CLIENT_UNAVAILABLE);
    EXPECT_EQ(testsupport::readFile(file), "not json");
    store.reset();
    EXPECT_TRUE(store.read().connections.empty());
}

TEST(SessionFile, NumbersThatAreNoCountOrIdentifierAreDamage) {
    const auto file = testsupport::freshDir("state") / "session.json";
    const SessionStore store(file);
    store.update([](SessionState& s) { s.nextConnection = 4294967295u; });
    EXPECT_EQ(store.read().nextConnection, 4294967295u);
    const std::string good = testsupport::readFile(file);
    // Found by fuzzing: 2e99 for a 32-bit field was converted with undefined
    // behaviour; a sign or a fraction was taken silently.
    for (const char* bad : {"4294967296", "2e99", "-1", "1.5", "1e0"}) {
        std::string text = good;
        text.replace(text.find("4294967295"), 10, bad);
        testsupport::writeFile(file, text);
        EXPECT_EQ(codeOf([&] { store.read(); }), KD_ERR_CLIENT_UNAVAILABLE) << bad;
    }
}

TEST(SessionFile, AChangeThatThrowsStoresNothing) {
    const SessionStore store(testsupport::freshDir("state") / "session.json");
    store.update([](SessionState& s) { s.preferredTree = "Kept"; });
    EXPECT_THROW(store.update([](SessionState& s) {
        s.preferredTree = "Lost";
        throw ClientError(KD_ERR_INVALID_PARAMETER, "refused");
    }),
                 ClientError);
    EXPECT_EQ(store.read().preferredTree, "Kept");
}

// Several processes change the one session file at once; none of their
// changes may be lost.
TEST(SessionFile, ConcurrentProcessesLoseNoChange) {
    const SessionStore store(testsupport::freshDir("state") / "session.json");
    constexpr int kProcesses = 6, kChanges = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                for (int k = 0; k < kChanges; ++k)
                    store.update([&](SessionState& s) {
                        s.setDefaultContext("T" + std::to_string(p) + "_" + std::to_string(k), "C");
                        s.nextConnection++;
                    });
            } catch (...) {
                status = 1;
            }
            _exit(status);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const SessionState s = store.read();
    EXPECT_EQ(s.defaultContexts.size(), std::size_t{kProcesses * kChanges});
    EXPECT_EQ(s.nextConnection, uint32_t{1 + kProcesses * kChanges});
}

TEST(SessionFile, ConcurrentProcessesMapDrivesThroughTheCInterface) {
    TestNetwork net;
    KDCONNHANDLE fs1 = 0;
    ASSERT_EQ(kdconn_open_by_name("FS1", &fs1), KD_SUCCESS);
    std::vector<pid_t> children;
    for (uint16_t first = 1; first <= 25; first += 5) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int round = 0; round < 4; ++round)
                for (uint16_t drive = first; drive < first + 5 && drive <= 26; ++drive) {
                    failures += kdserv_map_drive(drive, fs1, round % 2 ? "DATA:" : "SYS:") != 0;
                    if (round < 3) failures += kdserv_delete_drive(drive) != 0;
                }
            _exit(failures ? 1 : 0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const SessionState s = Client::current().state();
    ASSERT_EQ(s.drives.size(), 25u);
    for (const auto& d : s.drives) EXPECT_EQ(d.volume, "DATA");
}

TEST(PathResolver, VolumesAndDrivesOfTheSession) {
    TestNetwork net;
    const auto resolver = outside::client::makePathResolver();
    EXPECT_EQ(resolver->volumeRoot("fs2", "APPS"), net.root / "fs2" / "Apps");
    EXPECT_EQ(resolver->volumeRoot("FS1", "sys"), net.root / "FS1" / "SYS");
    EXPECT_EQ(resolver->volumeRoot("FS1", "APPS"), std::nullopt);
    EXPECT_EQ(resolver->volumeRoot("NOSUCH", "SYS"), std::nullopt);
    EXPECT_EQ(resolver->driveRoot('F'), std::nullopt);
    EXPECT_EQ(resolver->driveRoot('Z'), std::filesystem::path("/"));

    const Client client = Client::current();
    client.mapDrive(6, client.open("FS1"), "SYS:PUBLIC");
    client.mapDrive(26, client.open("FS2"), "APPS:");
    EXPECT_EQ(resolver->driveRoot('F'), net.root / "FS1" / "SYS" / "PUBLIC");
    EXPECT_EQ(resolver->driveRoot('Z'), net.root / "fs2" / "Apps");
    EXPECT_EQ(platform::process::toLocalPath("F:\\win32\\new.txt", *resolver),
              net.root / "FS1" / "SYS" / "PUBLIC" / "WIN32" / "new.txt");
    EXPECT_EQ(platform::process::toLocalPath("\\\\fs1\\data\\projects", *resolver),
              net.root / "FS1" / "DATA" / "Projects");

    testsupport::ScopedEnv broken("KDCLIENT_NETWORK", (net.root / "missing.json").string());
    EXPECT_THROW(resolver->driveRoot('F'), platform::process::PathError);
}

}  // namespace
