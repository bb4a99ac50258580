// The C interface of the client libraries on the test network: every call,
// its results and its error codes, as the session control calls them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kdclient.h"
#include "outside/client/session.h"
#include "platform/registry/store.h"
#include "testnetwork.h"
#include "testsupport/samba_ad.h"
#include "testsupport/slapd.h"

namespace {

using testnetwork::TestNetwork;

class ClientApi : public ::testing::Test {
protected:
    KDCONNHANDLE open(const char* server) {
        KDCONNHANDLE conn = 0;
        EXPECT_EQ(kdconn_open_by_name(server, &conn), KD_SUCCESS) << kdclient_error_text();
        return conn;
    }
    KDCONTEXT context(const char* tree) {
        KDCONTEXT ctx = 0;
        EXPECT_EQ(kddirs_create_context(&ctx), KD_SUCCESS);
        EXPECT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_TREE_NAME, tree), KD_SUCCESS);
        return ctx;
    }
    std::string baseClass(KDCONTEXT ctx, const char* name) {
        char cls[KD_MAX_CLASS_NAME] = "?";
        const KDRESULT rc = kddirs_read_base_class(ctx, name, cls);
        return rc == KD_SUCCESS ? cls : "error " + std::to_string(rc);
    }
    outside::client::Client client() { return outside::client::Client::current(); }

    TestNetwork net;
};

// The directory calls on the network's LDIF file, on the same directory
// served by slapd, and on both in the standard classes (an export without a
// schema, and slapd with only Debian's standard schemas).
class ClientDirectory : public ClientApi,
                        public ::testing::WithParamInterface<testsupport::SourceKind> {
protected:
    using Kind = testsupport::SourceKind;
    using Data = testsupport::Slapd::Data;

    void SetUp() override {
        switch (GetParam()) {
            case Kind::Ldif:
                return;
            case Kind::StandardLdif:
                source_ = std::make_unique<testsupport::ScopedEnv>(
                    "KDDIR_SOURCE",
                    (testsupport::dataDir() / "client" / "directory-standard.ldif").string());
                return;
            case Kind::Ldap:
            case Kind::StandardLdap: {
                const auto& server = testsupport::Slapd::shared(
                    GetParam() == Kind::Ldap ? Data::Client : Data::ClientStandard);
                source_ = std::make_unique<testsupport::ScopedEnv>("KDDIR_SOURCE", server.url());
                return testsupport::storeCredentials(server);
            }
            case Kind::ActiveDirectory:
                GTEST_SKIP() << "the shared domain controller holds the demo directory, and "
                                "the client's test directory (two trees, one login name in "
                                "two units) has no Active Directory form";
        }
    }
    void TearDown() override { testsupport::forgetCredentials(); }

    // A user's relative name on this source: "jsmith" or its full name.
    std::string user(const std::string& login) const {
        return testsupport::demoUser(GetParam(), login, Data::Client);
    }

    std::unique_ptr<testsupport::ScopedEnv> source_;
};

INSTANTIATE_TEST_SUITE_P(Sources, ClientDirectory, testsupport::sourceKinds(),
                         testsupport::sourceKindName);

TEST_F(ClientApi, InitialisesAndSetsUpTheLocaleTablesOnce) {
    testsupport::ScopedEnv lang("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(kdserv_init(), KD_SUCCESS) << kdclient_error_text();
    KDLocaleInfo info{};
    ASSERT_EQ(kdtext_locale_info(&info), KD_SUCCESS);
    EXPECT_EQ(info.country, 49u);
    EXPECT_STREQ(info.language, "de");
    EXPECT_STREQ(info.codeSetName, "UTF-8");
    uint32_t codePage = 0;
    ASSERT_EQ(kdtext_code_page(&info, &codePage), KD_SUCCESS);
    EXPECT_EQ(codePage, 65001u);
    EXPECT_EQ(kdtext_load_tables(info.country, 1252), KD_ERR_INVALID_PARAMETER);
    EXPECT_EQ(kdtext_load_tables(info.country, codePage), KD_SUCCESS);
    EXPECT_EQ(kdtext_load_tables(info.country, codePage), KD_ERR_TABLES_LOADED);
    EXPECT_EQ(kdtext_free_tables(), KD_SUCCESS);
    EXPECT_EQ(kdtext_load_tables(info.country, codePage), KD_SUCCESS);
    EXPECT_EQ(kdtext_free_tables(), KD_SUCCESS);
}

TEST_F(ClientApi, InitReportsAnUnusableNetworkOrSessionInWords) {
    const auto initFailsWith = [](const std::string& network, const std::string& words) {
        testsupport::ScopedEnv env("KDCLIENT_NETWORK", network);
        EXPECT_EQ(kdserv_init(), KD_ERR_CLIENT_UNAVAILABLE) << network;
        EXPECT_NE(std::string(kdclient_error_text()).find(words), std::string::npos)
            << kdclient_error_text();
    };
    initFailsWith(testnetwork::fixture("broken/truncated.json").string(), "not valid JSON");
    initFailsWith(testnetwork::fixture("broken/old-directory-server.json").string(),
                  "servers[0]: a directory server (with a tree) needs version 4000");
    initFailsWith(testnetwork::fixture("broken/unknown-field.json").string(),
                  "servers[0].volumes[0]: unknown field \"size\"");
    initFailsWith((net.root / "missing.json").string(), "cannot be read");

    // A damaged session is reported and left as it is for a look.
    testsupport::writeFile(net.stateFile, "{\"version\": 1, \"connections\": [");
    EXPECT_EQ(kdserv_init(), KD_ERR_CLIENT_UNAVAILABLE);
    EXPECT_NE(std::string(kdclient_error_text()).find("damaged"), std::string::npos);
    KDCONNHANDLE conn = 0;
    EXPECT_EQ(kdconn_open_by_name("FS1", &conn), KD_ERR_CLIENT_UNAVAILABLE);
    EXPECT_EQ(testsupport::readFile(net.stateFile), "{\"version\": 1, \"connections\": [");
}

TEST_F(ClientApi, WithoutANetworkDescriptionTheNetworkIsEmpty) {
    testsupport::ScopedEnv none("KDCLIENT_NETWORK", nullptr);
    EXPECT_EQ(kdserv_init(), KD_SUCCESS);
    KDCONNHANDLE conn = 0;
    EXPECT_EQ(kdserv_default_connection(&conn), KD_ERR_NO_CONNECTION);
    EXPECT_EQ(kdconn_open_by_name("FS1", &conn), KD_ERR_NO_SUCH_OBJECT);
}

TEST_F(ClientApi, DefaultConnectionAttachesToThePrimaryServerOnlyWhenNamed) {
    KDCONNHANDLE conn = 0;
    EXPECT_EQ(kdserv_default_connection(&conn), KD_ERR_NO_CONNECTION);

    const auto network = testsupport::freshDir("net") / "network.json";
    testsupport::writeFile(network, R"({"primaryServer": "fs2", "servers": [
        {"name": "FS1", "version": 5000}, {"name": "FS2", "version": 4110}]})");
    testsupport::ScopedEnv env("KDCLIENT_NETWORK", network.string());
    ASSERT_EQ(kdserv_default_connection(&conn), KD_SUCCESS) << kdclient_error_text();
    KDCONNHANDLE again = 0;
    ASSERT_EQ(kdserv_default_connection(&again), KD_SUCCESS);
    EXPECT_EQ(again, conn);
    char server[KD_MAX_SERVER_NAME];
    ASSERT_EQ(kdconn_item(conn, KD_CONN_ITEM_SERVER_NAME, sizeof server, server), KD_SUCCESS);
    EXPECT_STREQ(server, "FS2");
    EXPECT_EQ(kdserv_tree_scan_connection(&again), KD_SUCCESS);
    EXPECT_EQ(again, conn);

    // When the primary connection closes, the next one takes over.
    const KDCONNHANDLE fs1 = open("FS1");
    ASSERT_EQ(kdconn_close(conn), KD_SUCCESS);
    ASSERT_EQ(kdserv_default_connection(&again), KD_SUCCESS);
    EXPECT_EQ(again, fs1);
}

TEST_F(ClientApi, OpensConnectionsOnceAndScansThemInOrder) {
    KDCONNHANDLE conn = 0;
    EXPECT_EQ(kdserv_open_connection("FS1", &conn), KD_ERR_NO_CONNECTION);
    EXPECT_EQ(kdconn_open_by_name("NOSUCH", &conn), KD_ERR_NO_SUCH_OBJECT);
    EXPECT_EQ(kdconn_open_by_name(nullptr, &conn), KD_ERR_INVALID_PARAMETER);
    const KDCONNHANDLE fs1 = open("FS1");
    const KDCONNHANDLE old1 = open("old1");
    EXPECT_EQ(open("fs1"), fs1);
    ASSERT_EQ(kdserv_open_connection("Fs1", &conn), KD_SUCCESS);
    EXPECT_EQ(conn, fs1);

    uint32_t iterator = 0;
    KDCONNREF ref = 0;
    std::vector<KDCONNREF> seen;
    while (kdconn_scan(&iterator, &ref) == KD_SUCCESS) seen.push_back(ref);
    EXPECT_EQ(seen, (std::vector<KDCONNREF>{fs1, old1}));
    EXPECT_EQ(kdconn_scan(&iterator, &ref), KD_ERR_NO_MORE_ENTRIES);

    KDCONNHANDLE handle = 0;
    ASSERT_EQ(kdconn_get_handle(old1, &handle), KD_SUCCESS);
    EXPECT_EQ(kdconn_release_handle(handle), KD_SUCCESS);
    EXPECT_EQ(kdconn_get_handle(77, &handle), KD_ERR_INVALID_CONNECTION);
}

TEST_F(ClientApi, ConnectionInfoLiesAtItsOffsets) {
    const KDCONNHANDLE fs1 = open("FS1");
    const KDCONNHANDLE old1 = open("OLD1");
    unsigned char raw[sizeof(KDConnectionInfo)];
    ASSERT_EQ(kdconn_info(fs1, 1, reinterpret_cast<KDConnectionInfo*>(raw), sizeof raw),
              KD_SUCCESS);
    uint32_t word;
    std::memcpy(&word, raw + 0, 4);
    EXPECT_EQ(word, 0u);  // not authenticated
    std::memcpy(&word, raw + 8, 4);
    EXPECT_EQ(word, fs1);
    EXPECT_STREQ(reinterpret_cast<const char*>(raw + 12), "CorpTree________________________");
    EXPECT_STREQ(reinterpret_cast<const char*>(raw + 56), "FS1");
    std::memcpy(&word, raw + 108, 4);
    EXPECT_EQ(word, 1u);

    KDConnectionInfo info{};
    ASSERT_EQ(kdconn_info(old1, 1, &info, sizeof info), KD_SUCCESS);
    EXPECT_STREQ(info.treeName, "");
    EXPECT_STREQ(info.serverName, "OLD1");
    EXPECT_EQ(info.flags, 0u);

    client().loginServer("OLD1", "supervisor", "old", "", false);
    client().loginTree("CorpTree", "admin", "secret", "Acme");
    ASSERT_EQ(kdconn_info(old1, 1, &info, sizeof info), KD_SUCCESS);
    EXPECT_EQ(info.authState, 1u);
    ASSERT_EQ(kdconn_info(fs1, 1, &info, sizeof info), KD_SUCCESS);
    EXPECT_EQ(info.authState, 2u);

    EXPECT_EQ(kdconn_info(fs1, 2, &info, sizeof info), KD_ERR_INVALID_PARAMETER);
    EXPECT_EQ(kdconn_info(fs1, 1, &info, sizeof info - 1), KD_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(kdconn_info(99, 1, &info, sizeof info), KD_ERR_INVALID_CONNECTION);
}

TEST_F(ClientApi, ConnectionItemsCheckKindAndBufferSize) {
    const KDCONNHANDLE fs2 = open("FS2");
    char tree[KD_MAX_TREE_NAME];
    ASSERT_EQ(kdconn_item(fs2, KD_CONN_ITEM_TREE_NAME, sizeof tree, tree), KD_SUCCESS);
    EXPECT_STREQ(tree, "CorpTree________________________");
    char server[KD_MAX_SERVER_NAME];
    ASSERT_EQ(kdconn_item(fs2, KD_CONN_ITEM_SERVER_NAME, sizeof server, server), KD_SUCCESS);
    EXPECT_STREQ(server, "FS2");
    uint32_t value = 7;
    ASSERT_EQ(kdconn_item(fs2, KD_CONN_ITEM_DIRECTORY, 4, &value), KD_SUCCESS);
    EXPECT_EQ(value, 1u);
    ASSERT_EQ(kdconn_item(fs2, KD_CONN_ITEM_USER_ID, 4, &value), KD_SUCCESS);
    EXPECT_EQ(value, 0u);

    EXPECT_EQ(kdconn_item(fs2, KD_CONN_ITEM_TREE_NAME, 32, tree), KD_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(kdconn_item(fs2, KD_CONN_ITEM_DIRECTORY, 2, &value), KD_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(kdconn_item(fs2, 42, 4, &value), KD_ERR_INVALID_PARAMETER);
    EXPECT_EQ(kdconn_item(fs2, KD_CONN_ITEM_SERVER_NAME, sizeof server, nullptr),
              KD_ERR_INVALID_PARAMETER);
    EXPECT_EQ(kdconn_item(55, KD_CONN_ITEM_SERVER_NAME, sizeof server, server),
              KD_ERR_INVALID_CONNECTION);
}

TEST_F(ClientApi, ClosingAConnectionEndsItsDrivesAndCaptures) {
    const KDCONNHANDLE fs1 = open("FS1");
    const KDCONNHANDLE fs2 = open("FS2");
    ASSERT_EQ(kdserv_map_drive(6, fs1, "SYS:"), KD_SUCCESS) << kdclient_error_text();
    ASSERT_EQ(kdserv_map_drive(7, fs2, "SYS:"), KD_SUCCESS) << kdclient_error_text();
    ASSERT_EQ(kdserv_start_capture(fs1, 1, 16777217, "Q1"), KD_SUCCESS) << kdclient_error_text();

    ASSERT_EQ(kdconn_close(fs1), KD_SUCCESS);
    uint16_t status = 1;
    ASSERT_EQ(kdserv_drive_status(6, KD_DRIVE_PATH_NONE, &status, nullptr, nullptr), KD_SUCCESS);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(kdserv_drive_status(7, KD_DRIVE_PATH_NONE, &status, nullptr, nullptr), KD_SUCCESS);
    EXPECT_EQ(status, KD_DRIVE_NETWORK);
    KDCaptureStatus capture{};
    EXPECT_EQ(kdserv_capture_status(1, &capture), KD_ERR_PORT_NOT_CAPTURED);
    EXPECT_EQ(kdconn_close(fs1), KD_ERR_INVALID_CONNECTION);
    uint16_t version = 0;
    EXPECT_EQ(kdserv_server_version(fs1, &version), KD_ERR_INVALID_CONNECTION);
}

TEST_F(ClientApi, ServerVersionsAndBinderyScans) {
    const KDCONNHANDLE fs1 = open("FS1");
    uint16_t version = 0;
    ASSERT_EQ(kdserv_server_version(fs1, &version), KD_SUCCESS);
    EXPECT_EQ(version, 5000);
    ASSERT_EQ(kdserv_server_version(open("OLD1"), &version), KD_SUCCESS);
    EXPECT_EQ(version, 3120);

    const auto scan = [&](const char* pattern, uint16_t type) {
        std::vector<std::string> names;
        KDOBJECTID id = KD_OBJECTID_START;
        char name[KD_MAX_OBJECT_NAME];
        KDRESULT rc;
        while ((rc = kdserv_scan_objects(fs1, pattern, type, &id, name, nullptr)) == KD_SUCCESS)
            names.push_back(name);
        EXPECT_EQ(rc, KD_ERR_NO_MORE_ENTRIES);
        return names;
    };
    EXPECT_EQ(scan("*", KD_OBJECT_TYPE_SERVER),
              (std::vector<std::string>{"FS1", "FS2", "OLD1", "LAB1"}));
    EXPECT_EQ(scan("f?*", KD_OBJECT_TYPE_SERVER), (std::vector<std::string>{"FS1", "FS2"}));
    EXPECT_EQ(scan("*", KD_OBJECT_TYPE_QUEUE), (std::vector<std::string>{"Q1", "Q2"}));
    EXPECT_EQ(scan("*Q*", KD_OBJECT_TYPE_ANY), (std::vector<std::string>{"Q1", "Q2", "NOTAQUEUE"}));

    KDOBJECTID id = KD_OBJECTID_START;
    char name[KD_MAX_OBJECT_NAME];
    uint16_t type = 0;
    ASSERT_EQ(kdserv_scan_objects(fs1, "q2", KD_OBJECT_TYPE_ANY, &id, name, &type), KD_SUCCESS);
    EXPECT_EQ(id, 16777218u);
    EXPECT_EQ(type, KD_OBJECT_TYPE_QUEUE);
    id = 12345;  // a cursor that was never handed out
    EXPECT_EQ(kdserv_scan_objects(fs1, "*", KD_OBJECT_TYPE_ANY, &id, name, nullptr),
              KD_ERR_NO_SUCH_OBJECT);

    ASSERT_EQ(kdserv_object_id(fs1, "q1", KD_OBJECT_TYPE_QUEUE, &id), KD_SUCCESS);
    EXPECT_EQ(id, 16777217u);
    EXPECT_EQ(kdserv_object_id(fs1, "Q1", KD_OBJECT_TYPE_SERVER, &id), KD_ERR_NO_SUCH_OBJECT);
    EXPECT_EQ(kdserv_object_id(fs1, "Q9", KD_OBJECT_TYPE_QUEUE, &id), KD_ERR_NO_SUCH_OBJECT);
}

TEST_F(ClientApi, BinderyLoginNameFollowsTheAuthentication) {
    const KDCONNHANDLE old1 = open("OLD1");
    char name[KD_MAX_OBJECT_NAME];
    EXPECT_EQ(kdserv_bindery_login_name(old1, name), KD_ERR_NOT_AUTHENTICATED);
    client().loginServer("old1", "Supervisor", "old", "", true);
    ASSERT_EQ(kdserv_bindery_login_name(old1, name), KD_SUCCESS);
    EXPECT_STREQ(name, "SUPERVISOR");
    const auto login = client().loginTree("CorpTree", "admin.Acme", "secret", "");
    ASSERT_EQ(kdserv_bindery_login_name(login.connection, name), KD_SUCCESS);
    EXPECT_STREQ(name, "admin");
}

TEST_F(ClientApi, VolumeNamesByNumber) {
    const KDCONNHANDLE fs2 = open("FS2");
    std::vector<std::string> names;
    for (uint16_t n = 0; n < 64; ++n) {
        char name[KD_MAX_VOLUME_NAME] = "x";
        ASSERT_EQ(kdserv_volume_name(fs2, n, name), KD_SUCCESS);
        if (*name) names.push_back(std::to_string(n) + " " + name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"0 SYS", "5 APPS"}));
    char name[KD_MAX_VOLUME_NAME];
    EXPECT_EQ(kdserv_volume_name(fs2, 64, name), KD_ERR_INVALID_VOLUME);
}

TEST_F(ClientApi, DriveMappingsAndTheirPathForms) {
    const KDCONNHANDLE fs1 = open("FS1");
    uint16_t status = 1;
    KDCONNHANDLE conn = 9;
    char path[KD_MAX_PATH] = "x";
    ASSERT_EQ(kdserv_drive_status(6, KD_DRIVE_PATH_FULL, &status, &conn, path), KD_SUCCESS);
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(path, "");

    ASSERT_EQ(kdserv_map_drive(6, fs1, "sys:public\\win32"), KD_SUCCESS) << kdclient_error_text();
    ASSERT_EQ(kdserv_drive_status(6, KD_DRIVE_PATH_FULL, &status, &conn, path), KD_SUCCESS);
    EXPECT_EQ(status, KD_DRIVE_NETWORK);
    EXPECT_EQ(conn, fs1);
    EXPECT_STREQ(path, "\\\\FS1\\SYS\\public\\win32");
    ASSERT_EQ(kdserv_drive_status(6, KD_DRIVE_PATH_VOLUME, &status, &conn, path), KD_SUCCESS);
    EXPECT_STREQ(path, "SYS:public\\win32");
    ASSERT_EQ(kdserv_drive_status(6, KD_DRIVE_PATH_SERVER, &status, &conn, path), KD_SUCCESS);
    EXPECT_STREQ(path, "FS1/SYS:public\\win32");

    // The root of a volume has one backslash fewer than a folder on it.
    const KDCONNHANDLE fs2 = open("FS2");
    ASSERT_EQ(kdserv_map_drive(8, fs2, "APPS:"), KD_SUCCESS) << kdclient_error_text();
    ASSERT_EQ(kdserv_drive_status(8, KD_DRIVE_PATH_FULL, &status, &conn, path), KD_SUCCESS);
    EXPECT_STREQ(path, "\\\\FS2\\APPS");
    ASSERT_EQ(kdserv_map_drive(6, fs1, "DATA:/Projects/"), KD_SUCCESS);  // replaces F:
    ASSERT_EQ(kdserv_drive_status(6, KD_DRIVE_PATH_FULL, &status, &conn, path), KD_SUCCESS);
    EXPECT_STREQ(path, "\\\\FS1\\DATA\\Projects");

    EXPECT_EQ(kdserv_map_drive(0, fs1, "SYS:"), KD_ERR_INVALID_DRIVE);
    EXPECT_EQ(kdserv_map_drive(27, fs1, "SYS:"), KD_ERR_INVALID_DRIVE);
    EXPECT_EQ(kdserv_map_drive(7, fs1, "NOVOL:"), KD_ERR_INVALID_VOLUME);
    EXPECT_EQ(kdserv_map_drive(7, fs1, "SYS:NOWHERE"), KD_ERR_INVALID_PATH);
    EXPECT_EQ(kdserv_map_drive(7, fs1, "SYS:PUBLIC\\..\\.."), KD_ERR_INVALID_PATH);
    EXPECT_EQ(kdserv_map_drive(7, fs1, "SYS"), KD_ERR_INVALID_PATH);
    EXPECT_EQ(kdserv_map_drive(7, 99, "SYS:"), KD_ERR_INVALID_CONNECTION);
    EXPECT_EQ(kdserv_drive_status(27, 3, &status, &conn, path), KD_ERR_INVALID_DRIVE);
    EXPECT_EQ(kdserv_drive_status(6, 4, &status, &conn, path), KD_ERR_INVALID_PARAMETER);

    EXPECT_EQ(kdserv_delete_drive(6), KD_SUCCESS);
    ASSERT_EQ(kdserv_drive_status(6, KD_DRIVE_PATH_FULL, &status, &conn, path), KD_SUCCESS);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(kdserv_delete_drive(6), KD_ERR_DRIVE_NOT_MAPPED);
    EXPECT_EQ(kdserv_delete_drive(0), KD_ERR_INVALID_DRIVE);
}

// A drive's status gives its path in at most KD_MAX_PATH bytes; a mapping
// whose path would not fit is refused rather than made and never reported.
TEST_F(ClientApi, DriveMappingsOnlyToPathsTheStatusCanReport) {
    const KDCONNHANDLE fs1 = open("FS1");
    // \\FS1\DATA\Projects and three folders: 255 characters.
    std::string volumePath = "DATA:Projects";
    std::filesystem::path local = net.root / "FS1" / "DATA" / "Projects";
    for (std::size_t size : {80, 80, 73}) {
        volumePath += '\\';  // appended apart: GCC 12 -O3 misreads the sum (-Wrestrict)
        volumePath.append(size, 'x');
        local /= std::string(size, 'x');
    }
    std::filesystem::create_directories(local / "y");
    ASSERT_EQ(kdserv_map_drive(7, fs1, volumePath.c_str()), KD_SUCCESS) << kdclient_error_text();
    uint16_t status = 0;
    char path[KD_MAX_PATH] = {};
    ASSERT_EQ(kdserv_drive_status(7, KD_DRIVE_PATH_FULL, &status, nullptr, path), KD_SUCCESS);
    EXPECT_EQ(std::strlen(path), 255u);

    EXPECT_EQ(kdserv_map_drive(7, fs1, (volumePath + "\\y").c_str()), KD_ERR_INVALID_PATH);
    EXPECT_NE(std::string(kdclient_error_text()).find("at most 255"), std::string::npos)
        << kdclient_error_text();
    EXPECT_EQ(kdserv_map_drive(8, fs1, (volumePath + "\\y").c_str()), KD_ERR_INVALID_PATH);
    ASSERT_EQ(kdserv_drive_status(8, KD_DRIVE_PATH_FULL, &status, nullptr, path), KD_SUCCESS);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(kdserv_drive_status(7, KD_DRIVE_PATH_FULL, &status, nullptr, path), KD_SUCCESS);
    EXPECT_EQ(std::strlen(path), 255u);  // G: keeps its mapping
}

TEST_F(ClientApi, CapturedPorts) {
    const KDCONNHANDLE fs1 = open("FS1");
    KDCaptureStatus status{};
    EXPECT_EQ(kdserv_capture_status(3, &status), KD_ERR_PORT_NOT_CAPTURED);
    ASSERT_EQ(kdserv_start_capture(fs1, 3, 16777217, "q1"), KD_SUCCESS) << kdclient_error_text();
    ASSERT_EQ(kdserv_capture_status(3, &status), KD_SUCCESS);
    EXPECT_EQ(status.connection, fs1);
    EXPECT_EQ(status.queueId, 16777217u);
    EXPECT_STREQ(status.queueName, "Q1");

    EXPECT_EQ(kdserv_start_capture(fs1, 0, 16777217, "Q1"), KD_ERR_INVALID_PORT);
    EXPECT_EQ(kdserv_start_capture(fs1, 10, 16777217, "Q1"), KD_ERR_INVALID_PORT);
    EXPECT_EQ(kdserv_start_capture(fs1, 1, 99, "NOTAQUEUE"), KD_ERR_NO_QUEUE);
    EXPECT_EQ(kdserv_start_capture(fs1, 1, 4242, "Q4"), KD_ERR_NO_SUCH_OBJECT);
    EXPECT_EQ(kdserv_start_capture(fs1, 1, 16777217, "Q2"), KD_ERR_INVALID_PARAMETER);
    EXPECT_EQ(kdserv_capture_status(10, &status), KD_ERR_INVALID_PORT);

    EXPECT_EQ(kdserv_end_capture(3), KD_SUCCESS);
    EXPECT_EQ(kdserv_capture_status(3, &status), KD_ERR_PORT_NOT_CAPTURED);
    EXPECT_EQ(kdserv_end_capture(3), KD_ERR_PORT_NOT_CAPTURED);
}

TEST_F(ClientApi, ContextsKeepTheirKeys) {
    KDCONTEXT ctx = 0;
    ASSERT_EQ(kddirs_create_context(&ctx), KD_SUCCESS);
    uint32_t flags = 0;
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_FLAGS, &flags), KD_SUCCESS);
    EXPECT_EQ(flags, uint32_t{KD_CTX_FLAG_CANONICALIZE | KD_CTX_FLAG_LOCAL_CACHE});
    char text[KD_MAX_DN];
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_NAME_CONTEXT, text), KD_SUCCESS);
    EXPECT_STREQ(text, "[Root]");

    flags = (flags & ~uint32_t{KD_CTX_FLAG_LOCAL_CACHE}) | KD_CTX_FLAG_CANONICALIZE |
            KD_CTX_FLAG_TYPELESS;
    ASSERT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_FLAGS, &flags), KD_SUCCESS);
    const uint32_t mode = 2;
    ASSERT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_MODE, &mode), KD_SUCCESS);
    ASSERT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_NAME_CONTEXT, " .Sales.Acme "), KD_SUCCESS);
    ASSERT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_TREE_NAME, "CorpTree"), KD_SUCCESS);
    uint32_t read = 0;
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_FLAGS, &read), KD_SUCCESS);
    EXPECT_EQ(read, 0x5u);
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_MODE, &read), KD_SUCCESS);
    EXPECT_EQ(read, 2u);
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_NAME_CONTEXT, text), KD_SUCCESS);
    EXPECT_STREQ(text, "Sales.Acme");
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_TREE_NAME, text), KD_SUCCESS);
    EXPECT_STREQ(text, "CorpTree");

    EXPECT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_TREE_NAME, "Corp.Tree"), KD_ERR_INVALID_NAME);
    EXPECT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_NAME_CONTEXT, "Sales..Acme"), KD_ERR_INVALID_NAME);
    EXPECT_EQ(kddirs_set_context(ctx, 5, &mode), KD_ERR_INVALID_PARAMETER);
    EXPECT_EQ(kddirs_get_context(ctx, 5, &read), KD_ERR_INVALID_PARAMETER);
    ASSERT_EQ(kddirs_free_context(ctx), KD_SUCCESS);
    EXPECT_EQ(kddirs_free_context(ctx), KD_ERR_BAD_CONTEXT);
    EXPECT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_FLAGS, &read), KD_ERR_BAD_CONTEXT);
}

TEST_P(ClientDirectory, BaseClassesComeFromTheDirectoryAndTheNetwork) {
    const KDCONTEXT ctx = context("CorpTree");
    EXPECT_EQ(baseClass(ctx, "[Root]"), "Top");
    EXPECT_EQ(baseClass(ctx, "Acme"), "Organization");
    EXPECT_EQ(baseClass(ctx, "it.ACME"), "Organizational Unit");
    EXPECT_EQ(baseClass(ctx, (user("admin") + ".Acme").c_str()), "User");
    EXPECT_EQ(baseClass(ctx, "FS1.Servers.IT.Acme"), "KXP Server");
    EXPECT_EQ(baseClass(ctx, "FS2.Sales.Acme"), "KXP Server");
    EXPECT_EQ(baseClass(ctx, "Q1.IT.Acme"), "Queue");
    EXPECT_EQ(baseClass(ctx, "Nobody.Acme"), "error -601");
    EXPECT_EQ(baseClass(ctx, "a..b"), "error -342");
    ASSERT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_NAME_CONTEXT, "Sales.Acme"), KD_SUCCESS);
    EXPECT_EQ(baseClass(ctx, ""), "Organizational Unit");
    EXPECT_EQ(baseClass(ctx, nullptr), "Organizational Unit");

    const KDCONTEXT lab = context("LabTree");
    EXPECT_EQ(baseClass(lab, "LAB1"), "KXP Server");  // a server without a context sits at the root
    EXPECT_EQ(baseClass(lab, "Acme"), "error -601");
    EXPECT_EQ(baseClass(context("NoTree"), "Acme"), "error -605");
    KDCONTEXT none = 0;
    ASSERT_EQ(kddirs_create_context(&none), KD_SUCCESS);
    EXPECT_EQ(baseClass(none, "Acme"), "error -605");  // no preferred tree yet
}

TEST_F(ClientApi, DirectoryThatCannotBeReadMakesTheClientUnavailable) {
    const KDCONTEXT ctx = context("CorpTree");
    testsupport::ScopedEnv source("KDDIR_SOURCE", (net.root / "missing.ldif").string());
    EXPECT_EQ(baseClass(ctx, "Acme"), "error " + std::to_string(KD_ERR_CLIENT_UNAVAILABLE));
    EXPECT_NE(std::string(kdclient_error_text()).find("missing.ldif"), std::string::npos);
}

TEST_P(ClientDirectory, DefaultNameContextsAndThePreferredTree) {
    KDCONTEXT ctx = context("CorpTree");
    char text[KD_MAX_DN];
    ASSERT_EQ(kddirs_get_default_name_context(ctx, sizeof text, text), KD_SUCCESS);
    EXPECT_STREQ(text, "[Root]");
    ASSERT_EQ(kddirs_set_default_name_context(ctx, "sales.acme"), KD_SUCCESS)
        << kdclient_error_text();
    ASSERT_EQ(kddirs_get_default_name_context(ctx, sizeof text, text), KD_SUCCESS);
    EXPECT_STREQ(text, "sales.acme");
    EXPECT_EQ(kddirs_get_default_name_context(ctx, 5, text), KD_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(kddirs_set_default_name_context(ctx, "Nowhere.Acme"), KD_ERR_NO_SUCH_ENTRY);

    EXPECT_EQ(kddirs_set_preferred_tree("NoTree"), KD_ERR_NO_SUCH_TREE);
    ASSERT_EQ(kddirs_set_preferred_tree("corptree"), KD_SUCCESS);
    ASSERT_EQ(kddirs_create_context(&ctx), KD_SUCCESS);
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_TREE_NAME, text), KD_SUCCESS);
    EXPECT_STREQ(text, "CorpTree");
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_NAME_CONTEXT, text), KD_SUCCESS);
    EXPECT_STREQ(text, "sales.acme");

    // An empty name forgets the preferred tree again.
    ASSERT_EQ(kddirs_set_preferred_tree(""), KD_SUCCESS);
    ASSERT_EQ(kddirs_create_context(&ctx), KD_SUCCESS);
    ASSERT_EQ(kddirs_get_context(ctx, KD_CTX_KEY_TREE_NAME, text), KD_SUCCESS);
    EXPECT_STREQ(text, "");
}

TEST_F(ClientApi, WhoAmIAndNamesOfObjectIds) {
    const KDCONTEXT ctx = context("CorpTree");
    char name[KD_MAX_DN];
    EXPECT_EQ(kddirs_whoami(ctx, name), KD_ERR_NOT_AUTHENTICATED);
    const auto login = client().loginTree("CorpTree", "ADMIN", "secret", "acme");
    ASSERT_EQ(kddirs_whoami(ctx, name), KD_SUCCESS);
    EXPECT_STREQ(name, "admin.Acme");

    uint32_t userId = 0;
    ASSERT_EQ(kdconn_item(login.connection, KD_CONN_ITEM_USER_ID, 4, &userId), KD_SUCCESS);
    ASSERT_EQ(kddirs_id_to_name(ctx, login.connection, userId, name), KD_SUCCESS);
    EXPECT_STREQ(name, "admin.Acme");
    ASSERT_EQ(kddirs_id_to_name(ctx, login.connection, 16777217, name), KD_SUCCESS);
    EXPECT_STREQ(name, "Q1.IT.Acme");
    EXPECT_EQ(kddirs_id_to_name(ctx, login.connection, 16777218, name), KD_ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(kddirs_id_to_name(ctx, login.connection, 5, name), KD_ERR_NO_SUCH_ENTRY);

    ASSERT_EQ(kddirs_server_name(ctx, login.connection, name), KD_SUCCESS);
    EXPECT_STREQ(name, "FS1.Servers.IT.Acme");
    EXPECT_EQ(kddirs_server_name(ctx, open("OLD1"), name), KD_ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(kddirs_server_name(ctx, 99, name), KD_ERR_INVALID_CONNECTION);
}

TEST_F(ClientApi, ConnectedTreesEachOnce) {
    const KDCONTEXT ctx = context("CorpTree");
    char trees[4][KD_MAX_TREE_NAME];
    uint32_t count = 9;
    ASSERT_EQ(kddirs_connected_trees(ctx, 4, &count, trees), KD_SUCCESS);
    EXPECT_EQ(count, 0u);
    for (const char* server : {"LAB1", "OLD1", "FS1", "FS2"}) open(server);
    ASSERT_EQ(kddirs_connected_trees(ctx, 4, &count, trees), KD_SUCCESS);
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(trees[0], "LabTree");
    EXPECT_STREQ(trees[1], "CorpTree");
    ASSERT_EQ(kddirs_connected_trees(ctx, 1, &count, trees), KD_SUCCESS);
    EXPECT_EQ(count, 1u);
}

TEST_F(ClientApi, TreeScanAnnouncesOneTreePerDirectoryServer) {
    const KDCONNHANDLE conn = open("OLD1");
    const auto scan = [&](const char* pattern) {
        std::vector<std::string> trees;
        int32_t cursor = -1;
        char tree[KD_MAX_TREE_NAME];
        while (kddirs_scan_trees(conn, pattern, &cursor, tree) == KD_SUCCESS) trees.push_back(tree);
        return trees;
    };
    EXPECT_EQ(scan("*"),
              (std::vector<std::string>{"CorpTree", "CorpTree", "LabTree", "EmptyTree"}));
    EXPECT_EQ(scan("l*"), (std::vector<std::string>{"LabTree"}));
    int32_t cursor = -1;
    char tree[KD_MAX_TREE_NAME];
    EXPECT_EQ(kddirs_scan_trees(99, "*", &cursor, tree), KD_ERR_INVALID_CONNECTION);
}

TEST_F(ClientApi, QueuesResolveByDirectoryName) {
    const KDCONTEXT ctx = context("CorpTree");
    KDCONNHANDLE conn = 0;
    KDOBJECTID id = 0;
    ASSERT_EQ(kddirs_resolve_queue(ctx, "salesq.sales.acme", &conn, &id), KD_SUCCESS)
        << kdclient_error_text();
    EXPECT_EQ(id, 33554433u);
    char server[KD_MAX_SERVER_NAME];
    ASSERT_EQ(kdconn_item(conn, KD_CONN_ITEM_SERVER_NAME, sizeof server, server), KD_SUCCESS);
    EXPECT_STREQ(server, "FS2");
    EXPECT_EQ(kddirs_resolve_queue(ctx, "IT.Acme", &conn, &id), KD_ERR_NO_QUEUE);
    EXPECT_EQ(kddirs_resolve_queue(ctx, "Q9.IT.Acme", &conn, &id), KD_ERR_NO_SUCH_ENTRY);
}

TEST_P(ClientDirectory, SubordinatesOfAContainerInDirectoryOrder) {
    const KDCONTEXT ctx = context("CorpTree");
    const auto list = [&](const char* container) {
        std::vector<std::string> found;
        int32_t cursor = -1;
        char name[KD_MAX_DN], cls[KD_MAX_CLASS_NAME];
        KDRESULT rc;
        while ((rc = kddirs_list_subordinates(ctx, container, &cursor, name, cls)) == KD_SUCCESS)
            found.push_back(std::string(name) + " " + cls);
        if (rc != KD_ERR_NO_MORE_ENTRIES) found.push_back("error " + std::to_string(rc));
        return found;
    };
    EXPECT_EQ(list("IT.Acme"), (std::vector<std::string>{"Servers Organizational Unit",
                                                         user("jsmith") + " User", "Q1 Queue"}));
    EXPECT_EQ(list("Servers.IT.Acme"), (std::vector<std::string>{"FS1 KXP Server"}));
    EXPECT_EQ(list("[Root]"), (std::vector<std::string>{"Acme Organization"}));
    EXPECT_EQ(list((user("admin") + ".Acme").c_str()), (std::vector<std::string>{}));
    EXPECT_EQ(list("Nowhere"), (std::vector<std::string>{"error -601"}));
}

TEST_F(ClientApi, LoggingOutOfATreeClosesItsAuthenticatedConnections) {
    const KDCONTEXT ctx = context("CorpTree");
    EXPECT_EQ(kddirs_logout_tree(ctx), KD_ERR_NOT_AUTHENTICATED);
    const auto login = client().loginTree("CorpTree", "admin.Acme", "secret", "");
    const KDCONNHANDLE fs2 = open("FS2");
    ASSERT_EQ(kdserv_map_drive(6, login.connection, "SYS:"), KD_SUCCESS);
    ASSERT_EQ(kddirs_logout_tree(ctx), KD_SUCCESS);
    uint16_t status = 1;
    ASSERT_EQ(kdserv_drive_status(6, 0, &status, nullptr, nullptr), KD_SUCCESS);
    EXPECT_EQ(status, 0);
    uint32_t iterator = 0;
    KDCONNREF ref = 0;
    ASSERT_EQ(kdconn_scan(&iterator, &ref), KD_SUCCESS);
    EXPECT_EQ(ref, fs2);  // never authenticated, so still open
    EXPECT_EQ(kdconn_scan(&iterator, &ref), KD_ERR_NO_MORE_ENTRIES);
}

}  // namespace

namespace {

// The demo's network and directory belong together; this keeps them so.
TEST(DemoNetwork, LoadsWithItsDirectoryAndListsItsServers) {
    testsupport::ScopedEnv network("KDCLIENT_NETWORK",
                                   (testsupport::sourceDir() / "demo" / "network.json").string());
    testsupport::ScopedEnv state("KDCLIENT_STATE",
                                 (testsupport::freshDir("demo") / "session.json").string());
    testsupport::ScopedEnv unc("UNC_ROOT", nullptr);
    testsupport::ScopedEnv source("KDDIR_SOURCE", nullptr);
    ASSERT_EQ(kdserv_init(), KD_SUCCESS) << kdclient_error_text();

    KDCONNHANDLE conn = 0;
    ASSERT_EQ(kdserv_default_connection(&conn), KD_SUCCESS) << kdclient_error_text();
    std::vector<std::string> servers;
    KDOBJECTID id = KD_OBJECTID_START;
    char name[KD_MAX_OBJECT_NAME];
    while (kdserv_scan_objects(conn, "*", KD_OBJECT_TYPE_SERVER, &id, name, nullptr) == KD_SUCCESS)
        servers.push_back(name);
    EXPECT_EQ(servers, (std::vector<std::string>{"FS1", "FS2", "OLD1", "LAB1"}));

    KDCONTEXT ctx = 0;
    ASSERT_EQ(kddirs_create_context(&ctx), KD_SUCCESS);
    ASSERT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_TREE_NAME, "CorpTree"), KD_SUCCESS);
    char cls[KD_MAX_CLASS_NAME];
    ASSERT_EQ(kddirs_read_base_class(ctx, "FS1.Servers.IT.Acme", cls), KD_SUCCESS);
    EXPECT_STREQ(cls, "KXP Server");
    ASSERT_EQ(kddirs_read_base_class(ctx, "WS042.Sales.Acme", cls), KD_SUCCESS)
        << kdclient_error_text();
    EXPECT_STREQ(cls, "Workstation");
    for (const auto& [tree, object] :
         {std::pair{"CorpTree", "LASER1.IT.Acme"}, std::pair{"CorpTree", "COLOR1.Sales.Acme"},
          std::pair{"LabTree", "LAB1.Lab"}, std::pair{"LabTree", "LABQ.Bench.Lab"}}) {
        ASSERT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_TREE_NAME, tree), KD_SUCCESS);
        EXPECT_EQ(kddirs_read_base_class(ctx, object, cls), KD_SUCCESS) << object;
    }
    // Every account is a user the directory knows.
    const auto client = outside::client::Client::current();
    for (const auto& account : client.network().accounts()) {
        if (account.tree.empty()) continue;
        auto path = account.context;
        path.push_back(account.user);
        EXPECT_EQ(client.className(account.tree, path), "User") << account.user;
    }
}

}  // namespace

namespace {

// The client's directory calls on the demo directory, which every source has:
// the ktr file and slapd, the standard export and slapd, and Samba's domain
// controller, with the demo's network placing its servers.
class DemoDirectory : public ::testing::TestWithParam<testsupport::SourceKind> {
protected:
    using Kind = testsupport::SourceKind;
    static constexpr const char* kControlKey = "Software\\KDDirLib\\KDDirCtrl";

    void SetUp() override {
        const auto demo = testsupport::sourceDir() / "demo";
        switch (GetParam()) {
            case Kind::Ldif:
                useSource((demo / "directory.ldif").string());
                break;
            case Kind::StandardLdif:
                useSource((demo / "directory-standard.ldif").string());
                break;
            case Kind::Ldap:
            case Kind::StandardLdap: {
                const auto& server = testsupport::Slapd::shared(
                    GetParam() == Kind::Ldap ? testsupport::Slapd::Data::Demo
                                             : testsupport::Slapd::Data::Standard);
                useSource(server.url());
                testsupport::storeCredentials(server);
                break;
            }
            case Kind::ActiveDirectory: {
                const auto& server = testsupport::SambaAd::shared();
                useSource(server.url());
                testsupport::storeCredentials(server);
                platform::registry::Store().setValue(kControlKey, "TreeName", "CorpTree");
                break;
            }
        }
        ASSERT_EQ(kdserv_init(), KD_SUCCESS) << kdclient_error_text();
    }
    void TearDown() override {
        testsupport::forgetCredentials();
        platform::registry::Store().deleteValue(kControlKey, "TreeName");
    }
    void useSource(const std::string& source) {
        source_ = std::make_unique<testsupport::ScopedEnv>("KDDIR_SOURCE", source);
    }

    bool ad() const { return GetParam() == Kind::ActiveDirectory; }
    std::string user(const std::string& login) const {
        return testsupport::demoUser(GetParam(), login);
    }
    KDCONTEXT context(const char* tree) {
        KDCONTEXT ctx = 0;
        EXPECT_EQ(kddirs_create_context(&ctx), KD_SUCCESS);
        EXPECT_EQ(kddirs_set_context(ctx, KD_CTX_KEY_TREE_NAME, tree), KD_SUCCESS);
        return ctx;
    }
    std::string baseClass(KDCONTEXT ctx, const std::string& name) {
        char cls[KD_MAX_CLASS_NAME] = "?";
        const KDRESULT rc = kddirs_read_base_class(ctx, name.c_str(), cls);
        return rc == KD_SUCCESS ? cls : "error " + std::to_string(rc);
    }
    std::vector<std::string> list(KDCONTEXT ctx, const std::string& container) {
        std::vector<std::string> found;
        int32_t cursor = -1;
        char name[KD_MAX_DN], cls[KD_MAX_CLASS_NAME];
        KDRESULT rc;
        while ((rc = kddirs_list_subordinates(ctx, container.c_str(), &cursor, name, cls)) ==
               KD_SUCCESS)
            found.push_back(std::string(name) + " " + cls);
        if (rc != KD_ERR_NO_MORE_ENTRIES) found.push_back("error " + std::to_string(rc));
        return found;
    }

    testnetwork::TestNetwork net{testsupport::sourceDir() / "demo" / "network.json"};
    std::unique_ptr<testsupport::ScopedEnv> source_;
};

INSTANTIATE_TEST_SUITE_P(Sources, DemoDirectory, testsupport::sourceKinds(),
                         testsupport::sourceKindName);

TEST_P(DemoDirectory, BaseClassesAndSubordinatesOfTheDemo) {
    const KDCONTEXT ctx = context("CorpTree");
    EXPECT_EQ(baseClass(ctx, "[Root]"), "Top");
    // Active Directory has no countries and organizations: units stand for them.
    EXPECT_EQ(baseClass(ctx, "DE"), ad() ? "Organizational Unit" : "Country");
    EXPECT_EQ(baseClass(ctx, "Acme"), ad() ? "Organizational Unit" : "Organization");
    EXPECT_EQ(baseClass(ctx, "sales.ACME"), "Organizational Unit");
    // A computer is a user in Active Directory's schema, yet a workstation here.
    EXPECT_EQ(baseClass(ctx, "WS042.Sales.Acme"), "Workstation");
    EXPECT_EQ(baseClass(ctx, user("VossbeckT") + ".Sales.Acme"), "User");
    EXPECT_EQ(baseClass(ctx, "FS1.Servers.IT.Acme"), "KXP Server");  // placed by the network
    EXPECT_EQ(baseClass(ctx, "WS999.Sales.Acme"), "error -601");
    // The network's accounts are login names: on a directory whose users are
    // named by their full names the login name finds the same entry, in its
    // own container only.
    EXPECT_EQ(baseClass(ctx, "VossbeckT.Sales.Acme"), "User");
    EXPECT_EQ(baseClass(ctx, "VossbeckT.North.Sales.Acme"), "error -601");
    EXPECT_EQ(baseClass(ctx, "Vossbeck*.Sales.Acme"), "error -601");

    auto sales = list(ctx, "Sales.Acme");
    for (const std::string& expected :
         {std::string("North Organizational Unit"), std::string("WS042 Workstation"),
          user("VossbeckT") + " User"})
        EXPECT_EQ(std::count(sales.begin(), sales.end(), expected), 1) << expected;
    EXPECT_EQ(std::count_if(sales.begin(), sales.end(),
                            [](const std::string& s) { return s.starts_with("error"); }),
              0);
    EXPECT_EQ(list(ctx, "WS042.Sales.Acme"), std::vector<std::string>{});

    const KDCONTEXT lab = context("LabTree");
    if (ad()) {
        // The domain is the one tree; LabTree is a unit of it.
        EXPECT_EQ(baseClass(ctx, "Bench.Lab.LabTree"), "Organizational Unit");
        EXPECT_EQ(baseClass(lab, "Bench.Lab"), "error -601");
    } else {
        EXPECT_EQ(baseClass(lab, "Bench.Lab"), "Organizational Unit");
        EXPECT_EQ(baseClass(lab, "Acme"), "error -601");
    }
}

}  // namespace
