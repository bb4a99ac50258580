// consoles.conf: how a command is split into words and filled in, and how the
// files are read one over the other, with errors that name the file and the
// line.
#include <gtest/gtest.h>

#include <sstream>

#include "outside/consoles/config.h"
#include "outside/consoles/workstation.h"
#include "testsupport/testsupport.h"

namespace oc = outside::consoles;

namespace {

std::vector<std::string> words(const std::string& command, const oc::Values& values = {}) {
    return oc::expand(oc::parseCommand(command), values);
}

std::string parseError(const std::string& command) {
    try {
        oc::parseCommand(command);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "(accepted)";
}

std::string loadError(const std::vector<std::string>& files) {
    try {
        oc::loadConfig(files);
    } catch (const oc::ConfigError& e) {
        return e.what();
    }
    return "(accepted)";
}

}  // namespace

TEST(ConsoleCommand, QuotesAndBackslashesGroupWordsAndPlaceholdersFillInParts) {
    oc::Values v;
    v.address = "10.1.2.3";
    v.vncPort = 5901;
    v.sshPort = 2222;
    EXPECT_EQ(words("xtigervncviewer  -ViewOnly\t%a::%v", v),
              (std::vector<std::string>{"xtigervncviewer", "-ViewOnly", "10.1.2.3::5901"}));
    EXPECT_EQ(words("ssh -p %s %a 'hostnamectl; lshw -short' \"a b\" c\\ d \"\" 100%%", v),
              (std::vector<std::string>{"ssh", "-p", "2222", "10.1.2.3", "hostnamectl; lshw -short",
                                        "a b", "c d", "", "100%"}));
    EXPECT_EQ(words(R"(printf "<%%s>\n" "a \"b\" \\" 'c\d' e\\f)", v),
              (std::vector<std::string>{"printf", "<%s>\\n", "a \"b\" \\", "c\\d", "e\\f"}));
    EXPECT_EQ(words("xdg-open sftp://%a:%s/", v),
              (std::vector<std::string>{"xdg-open", "sftp://10.1.2.3:2222/"}));
}

// A value never splits a word or adds one, whatever it holds.
TEST(ConsoleCommand, ValuesStayInTheirWord) {
    oc::Values v;
    v.name = "Q\"$(touch x); y' z";
    v.dotted = v.name + ".IT.Acme";
    v.tree = "Corp Tree";
    v.inventoryServer = "";
    EXPECT_EQ(words("printf [%w] %d %t %i", v),
              (std::vector<std::string>{"printf", std::string("[") + v.name + "]", v.dotted,
                                        "Corp Tree", ""}));
}

TEST(ConsoleCommand, RefusesWhatCannotBeAnArgumentList) {
    EXPECT_NE(parseError("viewer %x").find("unknown placeholder %x"), std::string::npos);
    EXPECT_NE(parseError("viewer \"%a").find("\" quote is not closed"), std::string::npos);
    EXPECT_NE(parseError("viewer %a\\").find("backslash"), std::string::npos);
    EXPECT_NE(parseError("viewer 100%").find("lone %"), std::string::npos);
    EXPECT_NE(parseError("   ").find("names no program"), std::string::npos);
    // The program itself never comes from the directory.
    EXPECT_NE(parseError("%a --help").find("program must be written out"), std::string::npos);
    EXPECT_NE(parseError("x%a").find("program must be written out"), std::string::npos);
}

TEST(ConsoleConfig, TheUsersFileIsReadOverTheSystemsAndMissingFilesAreSkipped) {
    const auto dir = testsupport::freshDir("conf");
    testsupport::writeFile(dir / "system.conf",
                           "; the site's\n[workstation]\nvnc_port = 5901\nssh_port = 2222\n"
                           "[Remote Control]\ncommand = remmina -c vnc://%a:%v\nport = 0\n"
                           "[Ping]\nports = 22, 3389 ,5900\ntries = 2\ntimeout = 0.5\n");
    testsupport::writeFile(dir / "user.conf",
                           "[workstation]\nvnc_port = 5902\n[Remote Control]\ncommand =\n"
                           "[Inventory]\ncommand = ssh %a lshw\noutput = window\n");
    const oc::Config c =
        oc::loadConfig({(dir / "system.conf").string(), (dir / "absent.conf").string(),
                        (dir / "user.conf").string()});
    EXPECT_EQ(c.files, (std::vector<std::string>{(dir / "system.conf").string(),
                                                 (dir / "user.conf").string()}));
    EXPECT_EQ(c.vncPort, 5902);
    EXPECT_EQ(c.sshPort, 2222);
    EXPECT_EQ(c.pingPorts, (std::vector<int>{22, 3389, 5900}));
    EXPECT_EQ(c.pingTries, 2);
    EXPECT_DOUBLE_EQ(c.pingTimeout, 0.5);
    // An empty command puts the built-in one back; the port stays the site's.
    const oc::ActionSetting& rc = c.actions.at("Remote Control");
    EXPECT_FALSE(rc.command);
    EXPECT_EQ(rc.port, 0);
    const oc::ActionSetting& inventory = c.actions.at("Inventory");
    ASSERT_TRUE(inventory.command);
    EXPECT_EQ(inventory.origin, (dir / "user.conf").string());
    EXPECT_EQ(inventory.outputWindow, true);
}

TEST(ConsoleConfig, AnErrorNamesTheFileAndTheLine) {
    const auto dir = testsupport::freshDir("conf");
    const std::string good = (dir / "good.conf").string();
    testsupport::writeFile(good, "[workstation]\nvnc_port = 5901\n");
    const std::pair<std::string, std::string> cases[] = {
        {"[Remote View]\n\ncommand = viewer %q\n", ":3: command: unknown placeholder %q"},
        {"[workstation]\nvnc_port = 99999\n", ":2: vnc_port must be a port number"},
        {"[Ping]\nports = 22, ssh\n", ":2: ports must be port numbers"},
        {"[Ping]\ntimeout = 0\n", ":2: timeout must be"},
        {"[Remote Kontrol]\ncommand = x\n", ":2: unknown section [Remote Kontrol]"},
        {"[Chat]\nwindow = yes\n", ":2: unknown setting 'window' in [Chat]"},
        {"[Chat]\noutput = maybe\n", ":2: output must be window or none"},
        {"[Chat]\nno equals sign here\n", ":2: not a line of an INI file"},
    };
    for (const auto& [text, expected] : cases) {
        const std::string bad = (dir / "bad.conf").string();
        testsupport::writeFile(bad, text);
        EXPECT_EQ(loadError({good, bad}).rfind(bad + expected, 0), 0u)
            << loadError({good, bad}) << "\nexpected " << bad << expected;
    }
    // A file that exists but cannot be read is refused, not skipped.
    EXPECT_NE(loadError({dir.string()}).find(dir.string() + ": cannot"), std::string::npos);
}

TEST(ConsoleAddress, TheFirstTcpAddressAndOnlyHostNamesThatCannotBeOptions) {
    EXPECT_EQ(oc::tcpAddress({"IPX 0000AC10:00C04F6C8C59:4003", "TCP 10.1.2.3", "TCP 10.9.9.9"}),
              "10.1.2.3");
    EXPECT_EQ(oc::tcpAddress({"IPX 0000AC10:00C04F6C8C59:4003"}), "");
    EXPECT_EQ(oc::tcpAddress({"TCP -oProxyCommand=sh", "TCP 10.1.2", "TCP "}), "");
    EXPECT_TRUE(oc::isHostName("ws042.corptree.test"));
    EXPECT_TRUE(oc::isHostName("fe80::1"));
    EXPECT_FALSE(oc::isHostName("-oProxyCommand=sh"));
    EXPECT_FALSE(oc::isHostName("a b"));
    EXPECT_FALSE(oc::isHostName("host;reboot"));
    EXPECT_FALSE(oc::isHostName(""));
}

TEST(ConsoleNames, EverySplitThatTheDirectoryHoldsIsFoundDeepestFirst) {
    // What exists: Acme, Acme\IT, Acme\IT\Lab, Acme\IT\Lab\PC, Acme\IT\PC.Lab,
    // Acme\IT\web.example.
    const std::string root = "KTR:\\\\CorpTree";
    const std::vector<std::string> held{root + "\\Acme",
                                        root + "\\Acme\\IT",
                                        root + "\\Acme\\IT\\Lab",
                                        root + "\\Acme\\IT\\Lab\\PC",
                                        root + "\\Acme\\IT\\PC.Lab",
                                        root + "\\Acme\\IT\\web.example"};
    std::vector<std::string> asked;
    const oc::EntryExists exists = [&](const std::string& name) {
        asked.push_back(name);
        return std::find(held.begin(), held.end(), name) != held.end();
    };
    EXPECT_EQ(
        oc::fullNamesOf("PC.Lab.IT.Acme", "CorpTree", exists),
        (std::vector<std::string>{root + "\\Acme\\IT\\Lab\\PC", root + "\\Acme\\IT\\PC.Lab"}));
    EXPECT_EQ(oc::fullNamesOf("web.example.IT.Acme", "CorpTree", exists),
              std::vector<std::string>{root + "\\Acme\\IT\\web.example"});
    // A container that does not exist is not looked into.
    asked.clear();
    EXPECT_TRUE(oc::fullNamesOf("a.b.c.d.e.f.g.h.NoSuchOrg", "CorpTree", exists).empty());
    EXPECT_LE(asked.size(), 9u);
    EXPECT_TRUE(oc::fullNamesOf("", "CorpTree", exists).empty());
}

// The installed consoles.conf reads as it stands (all commented out), and
// with every setting put back in: then it says what the built-in values are.
TEST(ConsoleConfig, TheInstalledFileDocumentsTheDefaults) {
    const auto installed = testsupport::sourceDir() / "packaging" / "consoles.conf";
    EXPECT_TRUE(oc::loadConfig({installed.string()}).actions.empty());

    std::istringstream in(testsupport::readFile(installed));
    std::string text;
    for (std::string line; std::getline(in, line);) {
        // "#[section]" and "#name = value" are settings; "# ..." is prose.
        if (line.size() > 1 && line[0] == '#' && line[1] != ' ') line.erase(0, 1);
        text += line + "\n";
    }
    const auto uncommented = testsupport::freshDir("conf") / "consoles.conf";
    testsupport::writeFile(uncommented, text);
    const oc::Config documented = oc::loadConfig({uncommented.string()});
    const oc::Config builtin;
    EXPECT_EQ(documented.vncPort, builtin.vncPort);
    EXPECT_EQ(documented.sshPort, builtin.sshPort);
    EXPECT_EQ(documented.connectTimeout, builtin.connectTimeout);
    EXPECT_EQ(documented.pingPorts, builtin.pingPorts);
    EXPECT_EQ(documented.pingTries, builtin.pingTries);
    EXPECT_EQ(documented.pingTimeout, builtin.pingTimeout);
    for (const char* action : {"Remote Control", "Remote View", "Remote Execute", "File Transfer",
                               "Chat", "Diagnostics", "Inventory"})
        EXPECT_TRUE(documented.actions.count(action) && documented.actions.at(action).command)
            << action;
}

TEST(ConsoleConfig, TheInstalledFileShowsTheFirstBuiltInCommands) {
    const std::string text =
        testsupport::readFile(testsupport::sourceDir() / "packaging" / "consoles.conf");
    for (const std::string& action : oc::actionNames())
        for (const oc::Builtin& builtin : oc::builtins(action)) {
            EXPECT_NE(text.find(builtin.command), std::string::npos) << action;
            EXPECT_NO_THROW(oc::parseCommand(builtin.command)) << builtin.command;
        }
    EXPECT_TRUE(oc::builtins("Chat").empty());
    EXPECT_TRUE(oc::builtins("Ping").empty());
}

TEST(ConsoleNames, AnAliasNamesItsEntryByFullNameOrDn) {
    EXPECT_EQ(oc::aliasTarget("cn=WS042,ou=Sales,o=Acme,dc=CorpTree"),
              "KTR:\\\\CorpTree\\Acme\\Sales\\WS042");
    EXPECT_EQ(oc::aliasTarget("cn=PC\\,1+uid=x, ou=IT ,dc=CorpTree"), "KTR:\\\\CorpTree\\IT\\PC,1");
    EXPECT_EQ(oc::aliasTarget("KTR:\\\\CorpTree\\Acme\\Sales\\WS042"),
              "KTR:\\\\CorpTree\\Acme\\Sales\\WS042");
    EXPECT_EQ(oc::aliasTarget(""), "");
    EXPECT_EQ(oc::aliasTarget("not a name"), "");
    EXPECT_EQ(oc::aliasTarget("cn=,dc=CorpTree"), "");
}
