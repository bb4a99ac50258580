// tolvane-logon run by pam_exec from real PAM conversations (pam_driver,
// with a private PAM configuration folder) against private slapd servers
// that grant the publisher its write rights: what a login publishes, what
// its logout takes away, what a crash leaves for --sweep, and that no
// failure ever fails or holds up the login.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "outside/directory/source.h"
#include "pam_session.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"

namespace {

using namespace testsupport;
using logontest::Driver;
using logontest::lines;
namespace fs = std::filesystem;
namespace dir = outside::directory;

constexpr const char* kHere = "TCP 127.0.0.1";

// A workstation of a site: a private server with the publisher's rights,
// the publisher's configuration, PAM configuration, run folder and log.
class Site {
public:
    // certificates: the server demands a TLS client certificate and maps
    // the publisher's (CN=tvn-logon) to its account.
    explicit Site(const std::string& schema, bool certificates = false)
        : schema_(schema), server_(options(schema, certificates)), dir_(freshDir("site")) {
        writeFile(dir_ / "secret", server_.logonPassword());
        fs::permissions(dir_ / "secret", fs::perms::owner_read | fs::perms::owner_write);
        fs::create_directories(dir_ / "pam.d");
        for (const char* service : {"login", "cron", "sshd"})
            writeFile(dir_ / "pam.d" / service, "session required pam_exec.so quiet " +
                                                    (binDir() / "tolvane-logon").string() +
                                                    " --config " + (dir_ / "logon.conf").string() +
                                                    "\n");
        configure();
    }

    // Writes logon.conf: the working settings, with any of them replaced by
    // a "[section] key = value" of extra.
    void configure(const std::map<std::string, std::map<std::string, std::string>>& extra = {},
                   const std::string& raw = "") {
        std::map<std::string, std::map<std::string, std::string>> settings{
            {"directory", {{"url", server_.url()}, {"mapping", schema_}}},
            {"bind", {{"dn", server_.logonDn()}, {"secret_file", (dir_ / "secret").string()}}},
            {"logon",
             {{"log_file", log().string()}, {"run_dir", run().string()}, {"timeout", "1"}}}};
        for (const auto& [section, values] : extra)
            for (const auto& [key, value] : values) settings[section][key] = value;
        std::string text = "; a workstation of the test site\n";
        for (const auto& [section, values] : settings) {
            text += "[" + section + "]\n";
            for (const auto& [key, value] : values) text += key + " = " + value + "\n";
        }
        writeFile(dir_ / "logon.conf", text + raw);
    }

    Slapd& server() { return server_; }
    fs::path confdir() const { return dir_ / "pam.d"; }
    fs::path log() const { return dir_ / "logon.log"; }
    fs::path run() const { return dir_ / "run"; }
    fs::path config() const { return dir_ / "logon.conf"; }
    std::vector<std::string> logLines() const {
        return fs::exists(log()) ? lines(readFile(log())) : std::vector<std::string>{};
    }

    // The values of one attribute as the server holds them (read by the
    // reader account with ldapsearch).
    std::vector<std::string> values(const std::string& dn, const std::string& attribute) {
        const ProgramRun found =
            runProgram("/usr/bin/ldapsearch",
                       {"-LLL", "-o", "ldif-wrap=no", "-x", "-H", server_.url(), "-D",
                        server_.bindDn(), "-y", (server_.dir() / "bind-password").string(), "-b",
                        dn, "-s", "base", "(objectClass=*)", attribute});
        EXPECT_EQ(found.status, 0) << found.err;
        std::vector<std::string> out;
        for (const auto& line : lines(found.out))
            if (line.starts_with(attribute + ": "))
                out.push_back(line.substr(attribute.size() + 2));
        std::sort(out.begin(), out.end());
        return out;
    }

    // A user's "Network Address" as the directory control reads it.
    std::vector<std::string> controlAddresses(const std::string& fullName,
                                              const std::string& field = "Network Address") {
        dir::SourceOptions options;
        options.credentials = {server_.bindDn(), server_.password()};
        const auto source = dir::openSource(server_.url(), options);
        const auto entry = source->find(fullName);
        if (!entry) {
            ADD_FAILURE() << "no entry " << fullName;
            return {};
        }
        const auto attribute = entry->schema()->findAttribute(field);
        if (!attribute) return {};
        auto out = entry->values(*attribute);
        std::sort(out.begin(), out.end());
        return out;
    }

    ProgramRun sweep() {
        return runProgram(binDir() / "tolvane-logon", {"--config", config().string(), "--sweep"});
    }

private:
    static Slapd::Options options(const std::string& schema, bool certificates) {
        Slapd::Options options;
        options.schema = schema;
        options.logon = true;
        options.clientCertificates = certificates;
        return options;
    }

    std::string schema_;
    Slapd server_;
    fs::path dir_;
};

bool has(const std::vector<std::string>& values, const std::string& value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// ukaiser on the ktr directory: the address lands in the user's networkAddress.
constexpr const char* kKtrUser = "ukaiser";
constexpr const char* kKtrDn = "cn=KaiserU,ou=Hamburg,o=Nordwerk,c=DE,dc=CorpTree";
constexpr const char* kKtrName = "KTR:\\\\CorpTree\\DE\\Nordwerk\\Hamburg\\KaiserU";
constexpr const char* kKtrIpx = "IPX 00004A01:00805FE0659D:4003";
// KaiserU on the standard directory: the user's DN lands in the owner of
// this machine's own entry.
constexpr const char* kStdUser = "KaiserU";
constexpr const char* kStdDn = "cn=Uwe Kaiser,ou=Hamburg,o=Nordwerk,c=DE,dc=CorpTree";
constexpr const char* kStdName = "KTR:\\\\CorpTree\\DE\\Nordwerk\\Hamburg\\Uwe Kaiser";

TEST(LogonKtr, OpenPublishesTheAddressAndCloseTakesItAwayAgain) {
    Site site("ktr");
    Driver pam(site.confdir());
    EXPECT_EQ(site.controlAddresses(kKtrName), (std::vector<std::string>{kKtrIpx}));

    EXPECT_EQ(pam.open("1", kKtrUser).status, 0);
    EXPECT_EQ(site.controlAddresses(kKtrName), (std::vector<std::string>{kKtrIpx, kHere}));
    // It names this machine's workstation (the demo's LOCALHOST).
    EXPECT_EQ(site.controlAddresses("KTR:\\\\CorpTree\\Acme\\IT\\LOCALHOST", "RJ:Network Address"),
              (std::vector<std::string>{kHere}));
    EXPECT_EQ(pam.close("1").status, 0);
    EXPECT_EQ(site.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));
    EXPECT_EQ(site.logLines().size(), 2u);
    // Nothing is left of the session on the workstation either.
    EXPECT_TRUE(fs::is_empty(site.run()) ||
                (std::distance(fs::directory_iterator(site.run()), {}) == 1 &&
                 fs::exists(site.run() / "lock")));
}

// Bound with the workstation's TLS client certificate (SASL EXTERNAL): no
// secret file at all, and the key never shows in the log.
TEST(LogonKtr, AClientCertificateBindsAsTheWorkstationsAccount) {
    Site site("ktr", true);
    const Slapd& server = site.server();
    site.configure({{"directory", {{"start_tls", "yes"}, {"ca_file", server.caFile().string()}}},
                    {"bind",
                     {{"method", "external"},
                      {"dn", ""},
                      {"secret_file", "/nonexistent"},
                      {"certificate", server.clientCertificate("logon").string()},
                      {"key", server.clientKey("logon").string()}}}});
    Driver pam(site.confdir());
    EXPECT_EQ(pam.open("1", kKtrUser).status, 0);
    EXPECT_EQ(site.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx, kHere}))
        << readFile(site.log());
    EXPECT_EQ(pam.close("1").status, 0);
    EXPECT_EQ(site.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));

    // The reader's name from another CA: refused, the login goes on.
    site.configure({{"directory", {{"start_tls", "yes"}, {"ca_file", server.caFile().string()}}},
                    {"bind",
                     {{"method", "external"},
                      {"dn", ""},
                      {"certificate", server.clientCertificate("stranger").string()},
                      {"key", server.clientKey("stranger").string()}}}});
    EXPECT_EQ(pam.open("2", kKtrUser).status, 0);
    EXPECT_EQ(site.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));
    const auto logged = site.logLines();
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged.back().find(server.url()), std::string::npos) << logged.back();
    std::ifstream key(server.clientKey("logon"));
    std::string material;
    std::getline(key, material);
    std::getline(key, material);
    ASSERT_GT(material.size(), 40u);
    EXPECT_EQ(readFile(site.log()).find(material), std::string::npos);
}

TEST(LogonKtr, SessionsOfOneUserShareOneValueUntilTheLastCloses) {
    Site site("ktr");
    Driver pam(site.confdir());
    Driver other(site.confdir());
    ASSERT_EQ(pam.open("1", kKtrUser).status, 0);
    ASSERT_EQ(other.open("2", kKtrUser, "sshd").status, 0);
    // The same terminal of the same process twice (a screen session).
    ASSERT_EQ(pam.run(std::string("open 3 login ") + kKtrUser + " pts/1").status, 0);
    EXPECT_EQ(site.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx, kHere}));

    EXPECT_EQ(pam.close("1").status, 0);
    EXPECT_TRUE(has(site.values(kKtrDn, "networkAddress"), kHere));
    EXPECT_EQ(other.close("2").status, 0);
    EXPECT_TRUE(has(site.values(kKtrDn, "networkAddress"), kHere));
    EXPECT_EQ(pam.close("3").status, 0);
    EXPECT_EQ(site.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));
}

TEST(LogonKtr, ServicesNamedInTheConfigurationArePassedOver) {
    Site site("ktr");
    Driver pam(site.confdir());
    EXPECT_EQ(pam.open("1", kKtrUser, "cron").status, 0);
    EXPECT_EQ(site.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));
    EXPECT_TRUE(site.logLines().empty());
    // A site may pass over others, and no longer pass over cron.
    site.configure({{"logon", {{"skip_services", "sshd"}}}});
    EXPECT_EQ(pam.open("2", kKtrUser, "sshd").status, 0);
    EXPECT_EQ(site.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));
    EXPECT_EQ(pam.open("3", kKtrUser, "cron").status, 0);
    EXPECT_TRUE(has(site.values(kKtrDn, "networkAddress"), kHere));
    EXPECT_EQ(pam.close("3").status, 0);
}

// Every failure: the login goes on within the timeout (1 s here) and half a
// second, one log line says why, and the directory is as it was.
class LogonFailure : public ::testing::Test {
protected:
    void expectOneQuietFailure(Driver& pam, const std::string& user, const std::string& why) {
        const auto before = site_.logLines().size();
        const auto answer = pam.open("9", user);
        EXPECT_EQ(answer.status, 0);
        EXPECT_LT(answer.ms, 1500);
        const auto log = site_.logLines();
        ASSERT_EQ(log.size(), before + 1);
        EXPECT_NE(log.back().find(why), std::string::npos) << log.back();
        EXPECT_NE(log.back().find("nothing"), std::string::npos) << log.back();
        EXPECT_EQ(pam.close("9").status, 0);
    }
    Site site_{"ktr"};
};

TEST_F(LogonFailure, AStoppedServer) {
    Driver pam(site_.confdir());
    const pid_t slapd = std::stoi(readFile(site_.server().dir() / "slapd.pid"));
    ASSERT_EQ(kill(slapd, SIGSTOP), 0);
    expectOneQuietFailure(pam, kKtrUser, "did not answer");
    ASSERT_EQ(kill(slapd, SIGCONT), 0);
    EXPECT_EQ(site_.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));
}

TEST_F(LogonFailure, AWrongSecretIsNeverLogged) {
    Driver pam(site_.confdir());
    const fs::path wrong = freshDir("wrong") / "secret";
    writeFile(wrong, "not-the-password-4711");
    fs::permissions(wrong, fs::perms::owner_read);
    site_.configure({{"bind", {{"secret_file", wrong.string()}}}});
    expectOneQuietFailure(pam, kKtrUser, "refused the bind");
    EXPECT_EQ(readFile(site_.log()).find("not-the-password-4711"), std::string::npos);
    EXPECT_EQ(site_.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));
}

TEST_F(LogonFailure, ASecretOthersMayReadIsNotUsed) {
    Driver pam(site_.confdir());
    fs::permissions(site_.config().parent_path() / "secret", fs::perms::group_read,
                    fs::perm_options::add);
    expectOneQuietFailure(pam, kKtrUser, "read by others");
    EXPECT_EQ(site_.values(kKtrDn, "networkAddress"), (std::vector<std::string>{kKtrIpx}));
}

TEST_F(LogonFailure, AnUnknownUser) {
    Driver pam(site_.confdir());
    expectOneQuietFailure(pam, "nosuchuser", "no user nosuchuser");
    // A name that would widen the filter finds nobody either.
    expectOneQuietFailure(pam, "u*", "no user u*");
}

TEST_F(LogonFailure, AnAttributeTheAccountMayNotWrite) {
    Driver pam(site_.confdir());
    site_.configure({{"users", {{"address_attribute", "title"}}}});
    const auto title = site_.values(kKtrDn, "title");
    expectOneQuietFailure(pam, kKtrUser, "Insufficient access");
    EXPECT_EQ(site_.values(kKtrDn, "title"), title);
}

TEST_F(LogonFailure, AConfigurationErrorIsOneLineAndNoTraffic) {
    // A listener stands in for the server: nobody may connect to it.
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    const std::string url = "ldap://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    Driver pam(site_.confdir());
    site_.configure({{"directory", {{"url", url}}}}, "[users]\nfliter = (uid=%u)\n");
    expectOneQuietFailure(pam, kKtrUser, "logon.conf:");
    EXPECT_NE(site_.logLines().back().find("unknown setting 'fliter' in [users]"),
              std::string::npos);
    site_.configure({{"directory", {{"url", url}}}, {"logon", {{"timeout", "soon"}}}});
    expectOneQuietFailure(pam, kKtrUser, "timeout must be a number");
    EXPECT_LT(accept(listener, nullptr, nullptr), 0);
    close(listener);
}

TEST(LogonStandard, OpenAddsTheUserToTheWorkstationsOwnEntry) {
    Site site("standard");
    Driver pam(site.confdir());
    const std::string host = site.server().logonDn();
    EXPECT_FALSE(has(site.controlAddresses(kStdName), kHere));

    EXPECT_EQ(pam.open("1", kStdUser).status, 0);
    EXPECT_EQ(site.values(host, "owner"), (std::vector<std::string>{kStdDn}));
    EXPECT_TRUE(has(site.controlAddresses(kStdName), kHere));
    EXPECT_EQ(pam.close("1").status, 0);
    EXPECT_TRUE(site.values(host, "owner").empty());
    EXPECT_FALSE(has(site.controlAddresses(kStdName), kHere));
}

TEST(LogonStandard, AWorkstationMayNotWriteAnotherWorkstationsEntry) {
    Site site("standard");
    Driver pam(site.confdir());
    const std::string other = "cn=HH-WS003,ou=Hamburg,o=Nordwerk,c=DE,dc=CorpTree";
    const auto owners = site.values(other, "owner");
    site.configure({{"workstation", {{"dn", other}}}});
    EXPECT_EQ(pam.open("1", kStdUser).status, 0);
    EXPECT_NE(site.logLines().back().find("Insufficient access"), std::string::npos);
    EXPECT_EQ(site.values(other, "owner"), owners);
    EXPECT_EQ(pam.close("1").status, 0);
}

TEST(LogonStandard, SweepRemovesASessionKilledWithoutClose) {
    Site site("standard");
    const std::string host = site.server().logonDn();
    Driver alive(site.confdir());
    ASSERT_EQ(alive.open("1", "ArslanN").status, 0);
    {
        Driver crashed(site.confdir());
        ASSERT_EQ(crashed.open("2", kStdUser).status, 0);
        ASSERT_EQ(site.values(host, "owner").size(), 2u);
        crashed.kill();
    }
    // The dead session holds its value until the sweep.
    EXPECT_EQ(site.values(host, "owner").size(), 2u);
    const ProgramRun swept = site.sweep();
    EXPECT_EQ(swept.status, 0) << swept.err;
    const auto owners = site.values(host, "owner");
    ASSERT_EQ(owners.size(), 1u);
    EXPECT_EQ(owners[0].find("cn=Nils"), 0u) << owners[0];
    EXPECT_NE(site.logLines().back().find("removed 1 login"), std::string::npos);
    EXPECT_EQ(alive.close("1").status, 0);
    EXPECT_TRUE(site.values(host, "owner").empty());
}

TEST(LogonStandard, SweepThatCannotReachTheServerFailsWithItsReason) {
    Site site("standard");
    {
        Driver crashed(site.confdir());
        ASSERT_EQ(crashed.open("1", kStdUser).status, 0);
        crashed.kill();
    }
    site.server().stop();
    const ProgramRun swept = site.sweep();
    EXPECT_EQ(swept.status, 1);
    EXPECT_NE(swept.err.find("ldap://127.0.0.1"), std::string::npos) << swept.err;
    site.server().start();
    // What could not be removed is still known, and goes with the next sweep.
    EXPECT_EQ(site.sweep().status, 0);
    EXPECT_TRUE(site.values(site.server().logonDn(), "owner").empty());
}

// 50 sessions of 10 users, opened and closed in random order from 5 PAM
// applications at once: after each step every user with an open session is
// published exactly once, the others not at all, and nothing is left.
TEST(LogonStandard, ConcurrentSessions) {
    Site site("standard");
    const std::string host = site.server().logonDn();
    // The first ten users with a plain DN and a login name.
    std::vector<std::pair<std::string, std::string>> users;  // login, DN
    {
        std::ifstream in(sourceDir() / "demo" / "directory-standard.ldif");
        std::string line, dn;
        bool person = false;
        while (std::getline(in, line) && users.size() < 10) {
            if (line.starts_with("dn: ")) dn = line.substr(4), person = false;
            if (line == "objectClass: inetOrgPerson") person = true;
            if (line.starts_with("uid: ") && person && !dn.empty())
                users.emplace_back(line.substr(5), dn);
            if (line.empty()) dn.clear();
        }
    }
    ASSERT_EQ(users.size(), 10u);

    std::vector<std::unique_ptr<Driver>> pams;
    for (int p = 0; p < 5; ++p) pams.push_back(std::make_unique<Driver>(site.confdir()));
    // Per application its ten sessions, opened and closed in a random order.
    std::mt19937 random(20261209);
    struct Step {
        int session;
        bool open;
    };
    std::vector<std::vector<Step>> plans(5);
    for (int p = 0; p < 5; ++p) {
        std::vector<int> order;
        for (int s = 0; s < 10; ++s) order.push_back(p * 10 + s), order.push_back(p * 10 + s);
        std::shuffle(order.begin(), order.end(), random);
        std::set<int> opened;
        for (int s : order) plans[p].push_back({s, opened.insert(s).second});
    }
    std::map<int, int> openPerUser;
    for (std::size_t step = 0; step < 20; ++step) {
        for (int p = 0; p < 5; ++p) {
            const Step& s = plans[p][step];
            const auto& user = users[s.session % 10];
            pams[p]->send(s.open ? "open " + std::to_string(s.session) + " login " + user.first +
                                       " pts/" + std::to_string(s.session)
                                 : "close " + std::to_string(s.session));
        }
        for (int p = 0; p < 5; ++p) {
            const auto answer = pams[p]->receive();
            EXPECT_EQ(answer.status, 0);
            openPerUser[plans[p][step].session % 10] += plans[p][step].open ? 1 : -1;
        }
        std::vector<std::string> expected;
        for (const auto& [user, count] : openPerUser)
            if (count > 0) expected.push_back(users[user].second);
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(site.values(host, "owner"), expected) << "after step " << step;
    }
    EXPECT_TRUE(site.values(host, "owner").empty());
    for (const auto& line : site.logLines())
        EXPECT_EQ(line.find("nothing changed"), std::string::npos) << line;
}

}  // namespace
