// How the directory control and kddir-check find and bind a server without a
// password in the user's store: a TLS client certificate (slapd demanding
// one, SASL EXTERNAL), libldap's own configuration naming the server, and
// settings an administrator makes once in the machine's store.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/automation/automation.h"
#include "platform/registry/store.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"

using namespace platform::automation;

namespace {

namespace fs = std::filesystem;
using platform::registry::Store;
using testsupport::ProgramRun;
using testsupport::ScopedEnv;

const std::string kKey = "Software\\KDDirLib\\KDDirCtrl";
const std::string kSales = "KTR:\\\\CorpTree\\Acme\\Sales";

// kddir-check (bounded in time) with the environment of the test.
ProgramRun check(std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), {"30", (testsupport::binDir() / "kddir-check").string()});
    // Read by sanitizer builds only: libldap's TLS layer loses a client
    // certificate's key and certificate when the connection goes.
    ScopedEnv lsan("LSAN_OPTIONS",
                   "suppressions=" + (testsupport::sourceDir() / "tests/e2e/lsan.supp").string() +
                       ":print_suppressions=0");
    return testsupport::runProgram("/usr/bin/timeout", arguments);
}

ProgramRun regvalue(std::vector<std::string> arguments) {
    return testsupport::runProgram(testsupport::binDir() / "regvalue", arguments);
}

// A line from the middle of a PEM key: key material that no output may hold.
std::string keyMaterial(const fs::path& key) {
    std::ifstream in(key);
    std::string line;
    std::getline(in, line);  // -----BEGIN
    std::getline(in, line);
    EXPECT_GT(line.size(), 40u) << key;
    return line;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string messageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AutomationError& e) {
        return std::to_string(e.code()) + " " + e.description();
    }
    return "";
}

class Authentication : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(loadServer(KDDIR_LIBRARY).registerServer(), status::Ok);
    }
    void TearDown() override {
        testsupport::forgetCredentials();
        Store().deleteValue(kKey, "Source");
        std::error_code ignored;
        fs::remove(Store::machinePath(), ignored);
    }
    static void set(const char* name, const std::string& value) {
        Store().setValue(kKey, name, value);
    }
    static void useCertificate(const testsupport::Slapd& server, const std::string& name) {
        set("BindMethod", "external");
        set("StartTLS", "1");
        set("CACertificateFile", server.caFile().string());
        set("CertificateFile", server.clientCertificate(name).string());
        set("KeyFile", server.clientKey(name).string());
    }
};

testsupport::Slapd& certificateServer() {
    static testsupport::Slapd server([] {
        testsupport::Slapd::Options options;
        options.clientCertificates = true;
        return options;
    }());
    return server;
}

}  // namespace

TEST_F(Authentication, AClientCertificateBindsAsItsAccountAndOneOfAnotherCaIsRefused) {
    auto& server = certificateServer();
    useCertificate(server, "reader");
    {
        ScopedEnv source("KDDIR_SOURCE", server.url());
        auto ctrl = createObject("KDDirLib.KDDirCtrl.1");
        EXPECT_EQ(ctrl->call("OpenEntry", {kSales + "\\WS042"}).toObject()->get("EntryName"),
                  Variant("WS042"));
        EXPECT_EQ(lower(ctrl->get("BoundAs").toString()), "dn:" + lower(server.bindDn()));
    }
    const ProgramRun bound = check({server.url()});
    EXPECT_EQ(bound.status, 0) << bound.err;
    // As the server writes it, in its own case.
    EXPECT_NE(lower(bound.out).find("bound: external, as dn:" + lower(server.bindDn()) + "\n"),
              std::string::npos)
        << bound.out;

    // The same name from a CA the server does not trust: no identity for
    // the bind, in words, with the control's code for a lost source.
    useCertificate(server, "stranger");
    const ProgramRun refused = check({server.url()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(
        refused.err.find(server.url() + ": no TLS client certificate that the server accepts"),
        std::string::npos)
        << refused.err;
    {
        ScopedEnv source("KDDIR_SOURCE", server.url());
        // A new timeout makes a new connection, not the one shared above.
        set("TimeoutSeconds", "7");
        const std::string text = messageOf([] { createObject("KDDirLib.KDDirCtrl.1"); });
        EXPECT_TRUE(text.starts_with("600 ")) << text;
        EXPECT_NE(text.find(server.url()), std::string::npos) << text;
    }
    // Without any certificate the server demands one.
    set("CertificateFile", "");
    set("KeyFile", "");
    EXPECT_EQ(check({server.url()}).status, 1);

    for (const std::string name : {"reader", "stranger"}) {
        const std::string secret = keyMaterial(server.clientKey(name));
        for (const std::string& said : {bound.out, bound.err, refused.out, refused.err})
            EXPECT_EQ(said.find(secret), std::string::npos) << name;
    }
}

TEST_F(Authentication, LibldapsOwnConfigurationNamesTheServerWhenNothingElseDoes) {
    auto& server = certificateServer();
    const fs::path dir = testsupport::freshDir("ldapconf");
    // The system-wide part (ldap.conf) and the user's own (.ldaprc: libldap
    // reads TLS_CERT and TLS_KEY only there).
    testsupport::writeFile(dir / "ldap.conf",
                           "URI " + server.tlsUrl() + "\nBASE dc=CorpTree\nTLS_CACERT " +
                               server.caFile().string() + "\nSASL_MECH EXTERNAL\n");
    testsupport::writeFile(
        dir / "ldaprc", "TLS_CERT " + server.clientCertificate("reader").string() + "\nTLS_KEY " +
                            server.clientKey("reader").string() + "\n");
    ScopedEnv conf("LDAPCONF", (dir / "ldap.conf").string());
    ScopedEnv rc("LDAPRC", (dir / "ldaprc").string());
    ScopedEnv noSource("KDDIR_SOURCE", nullptr);
    const ProgramRun run = check();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Source: " + server.tlsUrl() +
                           "/dc=CorpTree (from URI and BASE "
                           "of libldap's configuration (" +
                           (dir / "ldap.conf").string() + "))\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(lower(run.out).find("bound: external, as dn:" + lower(server.bindDn()) + "\n"),
              std::string::npos)
        << run.out;

    // A source in the user's store comes before ldap.conf.
    set("Source", server.url() + "/o=Nowhere");
    const ProgramRun stored = check();
    EXPECT_NE(stored.out.find("Source: " + server.url() + "/o=Nowhere (from the registry value " +
                              kKey + "\\Source of your store"),
              std::string::npos)
        << stored.out;
}

TEST_F(Authentication, WithoutAnySourceTheReasonNamesEveryPlaceToSetOne) {
    ScopedEnv noSource("KDDIR_SOURCE", nullptr);
    ScopedEnv conf("LDAPCONF", "/dev/null");
    const ProgramRun run = check();
    EXPECT_EQ(run.status, 1);
    for (const char* place : {"KDDIR_SOURCE", "in your store", "regvalue --machine", "ldap.conf"})
        EXPECT_NE(run.err.find(place), std::string::npos) << place << ": " << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(Authentication, TheMachineStoreServesEveryUserAndTheirOwnValuesWin) {
    auto& server = certificateServer();
    ScopedEnv noSource("KDDIR_SOURCE", nullptr);
    ScopedEnv conf("LDAPCONF", "/dev/null");
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"Source", server.url()},
             {"BindMethod", "external"},
             {"StartTLS", "yes"},
             {"CACertificateFile", server.caFile().string()},
             {"CertificateFile", server.clientCertificate("reader").string()},
             {"KeyFile", server.clientKey("reader").string()}}) {
        const ProgramRun set = regvalue({"--machine", kKey, name, value});
        ASSERT_EQ(set.status, 0) << set.err;
    }
    // Readable by every user, whatever this process's umask.
    EXPECT_EQ(fs::status(Store::machinePath()).permissions() & fs::perms::others_read,
              fs::perms::others_read);
    EXPECT_EQ(regvalue({kKey, "Source"}).status, 1) << "the user's own store holds nothing";

    const ProgramRun machine = check();
    EXPECT_EQ(machine.status, 0) << machine.err;
    EXPECT_NE(
        machine.out.find("Source: " + server.url() + " (from the registry value " + kKey +
                         "\\Source of the machine's store " + Store::machinePath().string() + ")"),
        std::string::npos)
        << machine.out;
    {
        ScopedEnv source("KDDIR_SOURCE", nullptr);
        auto ctrl = createObject("KDDirLib.KDDirCtrl.1");
        EXPECT_EQ(ctrl->call("OpenEntry", {kSales}).toObject()->get("EntryName"), Variant("Sales"));
    }

    // The user's own certificate wins over the machine's: this one is refused.
    set("CertificateFile", server.clientCertificate("stranger").string());
    set("KeyFile", server.clientKey("stranger").string());
    EXPECT_EQ(check().status, 1);
    set("CertificateFile", "");
    set("KeyFile", "");

    // A password is refused, from the command line and from standard input,
    // and is written nowhere.
    const std::string password = "Machine-Wide-" + std::to_string(::getpid());
    const ProgramRun refused = regvalue({"--machine", kKey, "BindPassword", password});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("every user of this machine can read that store"), std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.err.find(password), std::string::npos);
    const ProgramRun piped = testsupport::runProgram(
        "/bin/sh",
        {"-c", "printf %s '" + password + "' | '" + (testsupport::binDir() / "regvalue").string() +
                   "' --machine --stdin '" + kKey + "' Secret"});
    EXPECT_EQ(piped.status, 1) << piped.err;
    EXPECT_EQ(regvalue({"--machine", kKey, "BindPassword"}).status, 1);
    EXPECT_EQ(regvalue({"--machine", kKey, "Secret"}).status, 1);
    EXPECT_EQ(testsupport::readFile(Store::machinePath()).find(password), std::string::npos);

    // A password that a hand-made machine store holds all the same is not
    // sent: with it the reader's simple bind would succeed (without TLS,
    // where this server demands no certificate).
    Store().deleteValue(kKey, "BindMethod");
    set("StartTLS", "no");
    {
        Store store(Store::machinePath());
        store.setValue(kKey, "BindMethod", "simple");
        store.setValue(kKey, "BindDN", server.bindDn());
        store.setValue(kKey, "BindPassword", server.password());
    }
    const ProgramRun unsent = check();
    EXPECT_EQ(unsent.status, 1) << unsent.out;
    set("BindPassword", server.password());
    const ProgramRun own = check();
    EXPECT_EQ(own.status, 0) << own.err;
    for (const std::string& said : {refused.out, piped.out, piped.err, unsent.out, unsent.err,
                                    own.out, own.err, machine.out, machine.err}) {
        EXPECT_EQ(said.find(password), std::string::npos);
        EXPECT_EQ(said.find(server.password()), std::string::npos);
    }
}

TEST_F(Authentication, OnlyRootWritesTheMachineStoreWhichEveryUserReads) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    char pattern[] = "/tmp/tvn-machine-XXXXXX";
    ASSERT_TRUE(::mkdtemp(pattern));
    const fs::path dir = pattern;
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    const fs::path machine = dir / "lib" / "classes.db";
    const std::string regvalueProgram = (testsupport::binDir() / "regvalue").string();
    {
        ScopedEnv at("MACHINE_REGISTRY_DB", machine.string());
        ASSERT_EQ(regvalue({"--machine", kKey, "Source", "ldap://127.0.0.1:1"}).status, 0);
    }
    // As nobody: the value is there to read; writing is refused, through
    // --machine and through the file itself.
    const auto asNobody = [&](const std::string& command) {
        return testsupport::runProgram(
            "/usr/bin/setpriv",
            {"--reuid=65534", "--regid=65534", "--clear-groups", "/bin/sh", "-c", command});
    };
    const std::string env =
        "MACHINE_REGISTRY_DB='" + machine.string() + "' REGISTRY_DB='" + machine.string() + "' ";
    const ProgramRun read =
        asNobody(env + "'" + regvalueProgram + "' --machine '" + kKey + "' Source");
    if (read.status == 126 || read.err.find("Permission denied") != std::string::npos)
        GTEST_SKIP() << "the build folder is not open to other users: " << read.err;
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, "ldap://127.0.0.1:1\n");
    const ProgramRun machineWrite =
        asNobody(env + "'" + regvalueProgram + "' --machine '" + kKey + "' Source ldap://evil");
    EXPECT_EQ(machineWrite.status, 1);
    EXPECT_NE(machineWrite.err.find("may not be written by you"), std::string::npos)
        << machineWrite.err;
    const ProgramRun fileWrite =
        asNobody(env + "'" + regvalueProgram + "' '" + kKey + "' Source ldap://evil");
    EXPECT_EQ(fileWrite.status, 1);
    const ProgramRun unnamed = asNobody("MACHINE_REGISTRY_DB= '" + regvalueProgram +
                                        "' --machine '" + kKey + "' Source ldap://evil");
    EXPECT_EQ(unnamed.status, 1);
    EXPECT_NE(unnamed.err.find("Only root may write the machine's store"), std::string::npos)
        << unnamed.err;
    {
        ScopedEnv at("MACHINE_REGISTRY_DB", machine.string());
        const ProgramRun after = regvalue({"--machine", kKey, "Source"});
        EXPECT_EQ(after.out, "ldap://127.0.0.1:1\n");
    }
    fs::remove_all(dir);
}
