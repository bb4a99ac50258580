// The directory control on a live server only: a connection that drops and
// comes back, TLS, credentials that must never show, size limits the server
// enforces, anonymous binds, a base DN in the URL and a server that does not
// answer. Each test that disturbs its server runs a private slapd.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "platform/automation/automation.h"
#include "platform/registry/store.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"

using namespace platform::automation;

namespace {

const std::string kKey = "Software\\KDDirLib\\KDDirCtrl";
const std::string kCorp = "KTR:\\\\CorpTree";
const std::string kSales = kCorp + "\\Acme\\Sales";

struct Outcome {
    int code = 0;
    std::string text;
};

Outcome outcomeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AutomationError& e) {
        return {e.code(), e.description()};
    }
    return {};
}

class LdapControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        platform::registry::Store store;
        ASSERT_EQ(loadServer(KDDIR_LIBRARY).registerServer(), status::Ok);
    }
    void TearDown() override { testsupport::forgetCredentials(); }

    Ref<Object> create(const std::string& source) {
        testsupport::ScopedEnv env("KDDIR_SOURCE", source);
        return createObject("KDDirLib.KDDirCtrl.1");
    }
    Outcome creating(const std::string& source) {
        return outcomeOf([&] { create(source); });
    }
    void set(const char* name, const std::string& value) {
        platform::registry::Store().setValue(kKey, name, value);
    }
};

}  // namespace

TEST_F(LdapControl, ADroppedConnectionRaises600ThenReconnects) {
    testsupport::Slapd server({});
    testsupport::storeCredentials(server);
    auto ctrl = create(server.url());
    auto before = ctrl->call("OpenEntry", {kSales + "\\WS042"}).toObject();

    server.stop();
    const Outcome lost = outcomeOf([&] { ctrl->call("OpenEntry", {kSales}); });
    EXPECT_EQ(lost.code, 600);
    EXPECT_NE(lost.text.find("the connection to the server was lost while reading"),
              std::string::npos)
        << lost.text;
    EXPECT_EQ(outcomeOf([&] { ctrl->get("EntriesBelow"); }).code, 600);
    // What was read before stays readable.
    EXPECT_EQ(before->get("EntryName").toString(), "WS042");

    server.start();
    EXPECT_EQ(ctrl->call("OpenEntry", {kSales}).toObject()->get("EntryName").toString(), "Sales");
    EXPECT_EQ(before->get("SubEntries").isEmpty(), true);
    EXPECT_GT(ctrl->get("EntriesBelow").toObject()->get("Count").toInt32(), 0);
}

TEST_F(LdapControl, StartTlsAndLdapsTrustTheConfiguredCertificateOnly) {
    testsupport::Slapd server({.ldif = {}, .sizeLimit = 0, .tls = true});
    testsupport::storeCredentials(server);
    // The throwaway CA is nobody's trust anchor: without it TLS fails, and
    // says so, naming the server once.
    const auto occurrences = [](const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    };
    for (const std::string& url : {server.url() + "?starttls", server.tlsUrl()}) {
        const Outcome untrusted = creating(url);
        EXPECT_EQ(untrusted.code, 600) << url;
        EXPECT_NE(untrusted.text.find("certificate is not trusted"), std::string::npos)
            << untrusted.text;
        EXPECT_NE(untrusted.text.find("CACertificateFile"), std::string::npos) << untrusted.text;
        EXPECT_EQ(occurrences(untrusted.text, "127.0.0.1"), 1u) << untrusted.text;
    }
    // ldaps:// to the plain port.
    const std::string plainPort = server.url().substr(server.url().rfind(':'));
    const Outcome plain = creating("ldaps://127.0.0.1" + plainPort);
    EXPECT_EQ(plain.code, 600);
    EXPECT_NE(plain.text.find("not a TLS server"), std::string::npos) << plain.text;
    EXPECT_EQ(occurrences(plain.text, "127.0.0.1"), 1u) << plain.text;

    set("CACertificateFile", server.caFile().string());
    for (const std::string& url : {server.url() + "?starttls", server.tlsUrl()}) {
        auto ctrl = create(url);
        EXPECT_EQ(ctrl->call("OpenEntry", {kSales}).toObject()->get("EntryPath").toString(), kSales)
            << url;
    }
    // StartTLS from the registry, too.
    set("StartTLS", "yes");
    EXPECT_EQ(creating(server.url()).code, 0);
}

TEST_F(LdapControl, CredentialsNeverShowInErrorTexts) {
    const testsupport::Slapd& server = testsupport::Slapd::shared();
    const std::string password = server.password();
    const std::string bindDn = server.bindDn();
    std::vector<Outcome> failures;

    set("BindDN", bindDn);
    set("BindPassword", password + "-wrong");
    failures.push_back(creating(server.url()));
    EXPECT_EQ(failures.back().code, 600);
    EXPECT_NE(failures.back().text.find("BindPassword"), std::string::npos) << failures.back().text;

    // A URL that carries them is refused without being repeated.
    failures.push_back(creating("ldap://" + bindDn + ":" + password + "@127.0.0.1:1/"));
    failures.push_back(
        creating(server.url() + "/dc=CorpTree????bindname=" + bindDn + ",X-BINDPW=" + password));
    for (std::size_t i = 1; i < failures.size(); ++i) EXPECT_EQ(failures[i].code, 600);

    // A server gone after a successful bind.
    {
        testsupport::Slapd own({});
        testsupport::storeCredentials(own);
        auto ctrl = create(own.url());
        own.stop();
        failures.push_back(outcomeOf([&] { ctrl->get("CurrentEntry"); }));
        EXPECT_EQ(failures.back().code, 600);
    }
    // The password of the private server, too.
    for (const Outcome& failure : failures) {
        EXPECT_FALSE(failure.text.empty());
        EXPECT_EQ(failure.text.find(password), std::string::npos) << failure.text;
        EXPECT_EQ(failure.text.find("tvn-reader"), std::string::npos) << failure.text;
    }
}

TEST_F(LdapControl, AServerLimitGivesThePartialListAndSaysSo) {
    testsupport::Slapd server({.ldif = {}, .sizeLimit = 12, .tls = false});
    testsupport::storeCredentials(server);
    auto ctrl = create(server.url());
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 0);

    ctrl->put("ContextPath", kSales);
    ctrl->put("ClassFilter", "Workstation");
    auto below = ctrl->get("EntriesBelow").toObject();
    EXPECT_EQ(below->get("Count").toInt32(), 12);
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 12);

    // Sales holds 29 children: 2 units, 14 workstations, 13 users. Children
    // of classes the filter leaves out cost no part of the limit, and a
    // level the limit does cut holds only the classes asked for.
    ctrl->put("ClassFilter", "Organizational Unit");
    below = ctrl->get("EntriesBelow").toObject();
    EXPECT_EQ(below->get("Count").toInt32(), 2);
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 0);
    ctrl->put("ClassFilter", "Organizational Unit, Workstation");
    below = ctrl->get("EntriesBelow").toObject();
    ASSERT_EQ(below->get("Count").toInt32(), 12);
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 12);
    for (int i = 0; i < 12; ++i) {
        const std::string layout = below->call("Item", {i})
                                       .toObject()
                                       ->get("Layout")
                                       .toObject()
                                       ->get("Name")
                                       .toString();
        EXPECT_TRUE(layout == "Organizational Unit" || layout == "Workstation") << layout;
    }

    std::vector<Variant> answers;
    advise(*ctrl, [&](DispId, const Args& args) { answers.push_back(args.at(0)); });
    Variant context(kCorp);
    ctrl->call("StartSearch", {"*", "User, Workstation", 2, Variant::byRef(context), 1});
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].array().size(), 12u);
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 12);

    // A list within the limit is whole again.
    ctrl->call("StartSearch", {"WS04*", "Workstation", 1, Variant::byRef(context), 1});
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 0);
}

TEST_F(LdapControl, APageLimitSmallerThanALevelStillGivesTheWholeLevel) {
    // Active Directory's MaxPageSize cuts every page; the rest comes in the
    // pages after it. The counts are those of the same data as a file.
    const auto counts = [&](const Ref<Object>& ctrl) {
        ctrl->put("ContextPath", kSales);
        ctrl->put("ClassFilter", "Workstation");
        const int level = ctrl->get("EntriesBelow").toObject()->get("Count").toInt32();
        std::vector<Variant> answers;
        advise(*ctrl, [&](DispId, const Args& args) { answers.push_back(args.at(0)); });
        Variant context(kCorp);
        ctrl->call("StartSearch", {"*", "User", 2, Variant::byRef(context), 1});
        EXPECT_EQ(answers.size(), 1u);
        EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 0);
        return std::pair<int, std::size_t>(level, answers.empty() ? 0 : answers[0].array().size());
    };
    const auto expected =
        counts(create((testsupport::sourceDir() / "demo" / "directory-standard.ldif").string()));
    ASSERT_GT(expected.first, 7);
    ASSERT_GT(expected.second, 7u);

    testsupport::Slapd server(
        {.ldif = {}, .sizeLimit = 0, .tls = false, .schema = "standard", .pageSize = 7});
    testsupport::storeCredentials(server);
    EXPECT_EQ(counts(create(server.url())), expected);
}

TEST_F(LdapControl, AnAnonymousBindSeesWhatTheServerShowsAnonymously) {
    const testsupport::Slapd& server = testsupport::Slapd::shared();
    auto ctrl = create(server.url());  // the root DSE and schema are public
    EXPECT_EQ(ctrl->call("RootPath", {"labtree", ""}).toString(), "KTR:\\\\LabTree");
    EXPECT_EQ(outcomeOf([&] { ctrl->call("OpenEntry", {kSales}); }).code, 601);
}

TEST_F(LdapControl, ABaseDnInTheUrlIsTheOnlyTree) {
    const testsupport::Slapd& server = testsupport::Slapd::shared();
    testsupport::storeCredentials(server);
    auto ctrl = create(server.url() + "/dc=LabTree");
    EXPECT_EQ(ctrl->get("ContextPath").toString(), "KTR:\\\\LabTree");
    EXPECT_EQ(outcomeOf([&] { ctrl->call("RootPath", {"CorpTree", ""}); }).code, 601);
    EXPECT_EQ(outcomeOf([&] { ctrl->call("OpenEntry", {kSales}); }).code, 601);
    // A URL with more than a base DN is refused.
    EXPECT_EQ(creating(server.url() + "/dc=LabTree?cn").code, 600);
}

TEST_F(LdapControl, AServerThatDoesNotAnswerFailsAfterTheTimeout) {
    // Accepts connections (the kernel does) but never answers: not to a
    // request, not to a TLS handshake (ldaps), not to StartTLS.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 16), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string port = std::to_string(ntohs(address.sin_port));
    set("TimeoutSeconds", "1");
    for (const std::string scheme : {"ldap", "ldaps", "ldap+starttls"}) {
        SCOPED_TRACE(scheme);
        if (scheme == "ldap+starttls") set("StartTLS", "1");
        const auto start = std::chrono::steady_clock::now();
        const Outcome outcome =
            creating((scheme == "ldaps" ? "ldaps" : "ldap") + std::string("://127.0.0.1:") + port);
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(outcome.code, 600);
        EXPECT_NE(outcome.text.find("within 1 s"), std::string::npos) << outcome.text;
        // Bounded by the timeout (once per step at most), not by the test's patience.
        EXPECT_LT(waited, std::chrono::seconds(8)) << outcome.text;
    }
    set("StartTLS", "0");
    ::close(listener);
}
