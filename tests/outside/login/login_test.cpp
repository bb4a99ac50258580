// The login library's entry point without a QApplication in the host: the
// records read at their offsets, the account checks, the session it leaves,
// malformed records, the library's four names and the variant without entry.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "../client/testnetwork.h"
#include "kdtypes.h"
#include "outside/client/session.h"
#include "records.h"

namespace {

using outside::client::Client;
using records::Records;
using records::Request;

class LoginEntry : public ::testing::Test {
protected:
    testnetwork::TestNetwork net;
    Request treeLogin{.mode = 5,
                      .treeLogin = true,
                      .name = "corptree",
                      .loginName = "admin",
                      .password = "secret",
                      .context = "Acme"};
};

TEST(LoginLibrary, AllFourNamesExportTheEntryPoint) {
    for (const char* file : {"libvestant.so", "libvesta95.so", "libportant.so", "libporta95.so"})
        EXPECT_NE(records::entry(file), nullptr) << file;
}

TEST(LoginLibrary, TheVariantWithoutEntryPointLoadsButLacksIt) {
    for (const char* file : {"login-noentry/libvestant.so", "login-noentry/libvesta95.so"}) {
        void* handle = records::library(file);
        ASSERT_NE(handle, nullptr) << dlerror();
        EXPECT_EQ(dlsym(handle, "KDLoginUI"), nullptr) << file;
        EXPECT_NE(dlsym(handle, "KDLoginVariant"), nullptr) << file;
    }
    EXPECT_EQ(records::library("login-noentry/libportant.so"), nullptr);
}

TEST_F(LoginEntry, SilentTreeLoginWritesTheNamesBack) {
    Records rec = records::build(treeLogin);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    EXPECT_EQ(rec.tree(), "CorpTree");
    EXPECT_EQ(rec.server(), "");
    EXPECT_EQ(rec.loginName(), "admin.Acme");
    // The rest of the records is as the caller left it.
    EXPECT_EQ(rec.text(804), "secret");
    EXPECT_EQ(rec.text(547), "Acme");
    EXPECT_EQ(rec.options[19], 7);

    const auto state = Client::current().state();
    ASSERT_EQ(state.connections.size(), 1u);
    EXPECT_EQ(state.connections[0].server, "FS1");
    EXPECT_EQ(state.connections[0].authState, 2u);
    EXPECT_EQ(state.connections[0].user, "admin.Acme");
}

TEST_F(LoginEntry, DialogModeWithoutWidgetsLogsInSilently) {
    treeLogin.mode = 2;
    treeLogin.results = true;
    Records rec = records::build(treeLogin);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    EXPECT_EQ(rec.loginName(), "admin.Acme");
}

TEST_F(LoginEntry, FailedLoginsAnswerTheirCodeAndLeaveEverything) {
    const auto fails = [&](Request r, int32_t code) {
        Records rec = records::build(r);
        const Records before = rec;
        EXPECT_EQ(records::call(rec), code) << r.name << " " << r.loginName;
        EXPECT_EQ(rec.data, before.data);
    };
    Request r = treeLogin;
    r.password = "Secret";
    fails(r, KD_ERR_BAD_PASSWORD);
    r = treeLogin;
    r.name = "NoSuchTree";
    fails(r, KD_ERR_NO_SUCH_TREE);
    r = treeLogin;
    r.loginName = "nobody";
    fails(r, KD_ERR_NO_SUCH_ENTRY);
    r = treeLogin;
    r.treeLogin = false;
    r.name = "NOSUCH";
    fails(r, KD_ERR_NO_SUCH_OBJECT);
    EXPECT_TRUE(Client::current().state().connections.empty());
}

TEST_F(LoginEntry, ServerLoginsBinderyAndDirectory) {
    Request r{.mode = 5,
              .treeLogin = false,
              .name = "old1",
              .loginName = "supervisor",
              .password = "old",
              .context = "",
              .bindery = true};
    Records rec = records::build(r);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    EXPECT_EQ(rec.server(), "OLD1");
    EXPECT_EQ(rec.tree(), "");
    EXPECT_EQ(rec.loginName(), "SUPERVISOR");

    // A directory login to a server, its context from the record.
    r = {.mode = 5,
         .treeLogin = false,
         .name = "FS2",
         .loginName = "jsmith",
         .password = "it",
         .context = "IT.Acme"};
    rec = records::build(r);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    EXPECT_EQ(rec.server(), "FS2");
    EXPECT_EQ(rec.tree(), "");
    EXPECT_EQ(rec.loginName(), "jsmith.IT.Acme");

    const auto state = Client::current().state();
    ASSERT_EQ(state.connections.size(), 2u);
    EXPECT_EQ(state.connections[0].authState, 1u);
    EXPECT_EQ(state.connections[1].authState, 2u);
}

TEST_F(LoginEntry, ResultsModeReportsWhetherTheLoginHolds) {
    Request results = treeLogin;
    results.mode = 1;
    results.results = true;
    Records rec = records::build(results);
    EXPECT_EQ(records::call(rec), KD_ERR_NOT_AUTHENTICATED);
    Records login = records::build(treeLogin);
    ASSERT_EQ(records::call(login), KD_SUCCESS);
    rec = records::build(results);
    EXPECT_EQ(records::call(rec), KD_SUCCESS);
}

TEST_F(LoginEntry, MalformedRecordsAreRefusedUntouched) {
    const auto refused = [&](const std::function<void(Records&)>& spoil) {
        Records rec = records::build(treeLogin);
        spoil(rec);
        const Records before = rec;
        EXPECT_EQ(records::call(rec), KD_ERR_INVALID_PARAMETER);
        EXPECT_EQ(rec.data, before.data);
    };
    refused([](Records& r) { r.data[3] = 6; });  // not version 7
    refused([](Records& r) { r.options[19] = 0; });
    refused([](Records& r) { r.options[0] = 3; });   // no such mode
    refused([](Records& r) { r.options[3] = 0; });   // neither tree nor server
    refused([](Records& r) { r.put32(28, 100); });   // tree buffer over the fields
    refused([](Records& r) { r.put32(20, 1300); });  // server buffer past the end
    refused([](Records& r) { r.put32(36, 200); });   // name overlaps the tree buffer
    refused([](Records& r) { r.put32(24, 20); });    // tree buffer too small
    refused([](Records& r) { r.put32(48, 3); });     // password without its NUL
    refused([](Records& r) { r.put32(48, 9); });     // length beyond the text
    refused([](Records& r) { r.put32(72, 5); });     // unknown context kind
    refused([](Records& r) { std::memset(&r.data[257], 'x', 33); });  // tree without NUL
    refused([](Records& r) {                                          // bindery tree login
        r.options[12] = 1;
        r.put32(104, 1);
    });
    EXPECT_EQ(records::entry()(nullptr, nullptr, nullptr), KD_ERR_INVALID_PARAMETER);
    EXPECT_TRUE(Client::current().state().connections.empty());
}

TEST_F(LoginEntry, TraceRecordsWhatEachCallAskedFor) {
    const auto trace = testsupport::freshDir("trace") / "calls.jsonl";
    testsupport::ScopedEnv env("KDLOGIN_TRACE", trace.string());
    treeLogin.runScript = true;
    treeLogin.tabs = 0x0B;
    Records rec = records::build(treeLogin);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);
    Request results = treeLogin;
    results.mode = 1;
    results.results = true;
    results.runScript = false;
    rec = records::build(results);
    ASSERT_EQ(records::call(rec), KD_SUCCESS);

    std::ifstream in(trace);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    auto first = nlohmann::json::parse(line);
    EXPECT_EQ(first["mode"], 5);
    EXPECT_EQ(first["treeLogin"], true);
    EXPECT_EQ(first["runScript"], true);
    EXPECT_EQ(first["showResults"], false);
    EXPECT_EQ(first["tabs"], 0x0B);
    EXPECT_EQ(first["tree"], "corptree");
    EXPECT_EQ(first["context"], "Acme");
    EXPECT_EQ(first["passwordLength"], 6);
    EXPECT_EQ(first["result"], 0);
    ASSERT_TRUE(std::getline(in, line));
    auto second = nlohmann::json::parse(line);
    EXPECT_EQ(second["mode"], 1);
    EXPECT_EQ(second["showResults"], true);
    EXPECT_EQ(second["runScript"], false);
    EXPECT_FALSE(std::getline(in, line));
}

}  // namespace
