// quillon-host as a person or a script runs it: `call` on the demo network
// (each run a process of its own, sharing the session), `info`, `members`,
// the examples of its README section and manual page run as they stand, and
// the exit statuses of errors, of command lines it does not understand and
// of a window asked for without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/automation/create.h"
#include "platform/automation/server.h"
#include "testsupport/testsupport.h"

namespace {

namespace fs = std::filesystem;
namespace pa = platform::automation;

constexpr const char* kProgId = "QuillonLib.QuillonCtrl.1";

using Outcome = testsupport::ProgramRun;

class Program : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const auto& server = pa::loadServer(testsupport::libDir() / "libquillon.so");
        ASSERT_EQ(server.registerServer(), 0) << pa::lastServerError();
    }

    void SetUp() override {
        fs::copy(testsupport::sourceDir() / "demo" / "network", unc_, fs::copy_options::recursive);
    }

    Outcome host(const std::vector<std::string>& args) {
        return testsupport::runProgram(testsupport::binDir() / "quillon-host", args);
    }

    Outcome call(std::vector<std::string> args) {
        args.insert(args.begin(), {"call", kProgId});
        return host(args);
    }

    fs::path unc_ = testsupport::freshDir("unc");
    testsupport::ScopedEnv network_{"KDCLIENT_NETWORK",
                                    (testsupport::sourceDir() / "demo" / "network.json").string()};
    testsupport::ScopedEnv directory_{
        "KDDIR_SOURCE", (testsupport::sourceDir() / "demo" / "directory.ldif").string()};
    testsupport::ScopedEnv state_{"KDCLIENT_STATE",
                                  (testsupport::freshDir("session") / "state.json").string()};
    testsupport::ScopedEnv root_{"UNC_ROOT", unc_.string()};
};

TEST_F(Program, ServerNamesOfTheDemoNetworkOnePerLine) {
    const Outcome run = call({"ServerNames"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "FS1\nFS2\nOLD1\nLAB1\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(call({"ServerNames(1).FullName"}).out, "\\\\FS2\n");
    EXPECT_EQ(call({"TreeNames.Count"}).out, "2\n");
}

TEST_F(Program, AnAutomationErrorIsPrintedWithItsNumberAndFails) {
    const Outcome unknown = call({"NoSuchMember"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err.rfind("error 438: ", 0), 0u) << unknown.err;

    const Outcome port = call({"CapturedPorts.Add", "10", "\\\\FS1\\LASER1"});
    EXPECT_EQ(port.status, 1);
    EXPECT_EQ(port.err, "error 615: Invalid port specified.\n");
    const Outcome notCreated = host({"call", "QuillonLib.NoSuchClass", "Count"});
    EXPECT_EQ(notCreated.status, 1);
    EXPECT_EQ(notCreated.err.rfind("error 429: ", 0), 0u) << notCreated.err;
}

TEST_F(Program, ScriptsTheSessionAcrossRuns) {
    EXPECT_EQ(call({"Login", "KTR:\\\\CorpTree", "Admin", "secret", "false"}).out, "True\n");
    EXPECT_EQ(call({"LoginName(CorpTree).FullName"}).out,
              "KTR:\\\\CorpTree\\Acme\\IT\\Servers\\Admin\n");
    EXPECT_EQ(call({"DriveMappings.Add", "g", "\\\\fs1\\sys\\public", "true"}).out,
              "\\\\FS1\\SYS\\PUBLIC\n");
    EXPECT_EQ(call({"DriveMappings(G).DriveLetter"}).out, "G:\n");
    EXPECT_EQ(call({"CapturedPorts.Add", "1", "\\\\FS1\\LASER1"}).out, "Port=1 QueueName=LASER1\n");
    EXPECT_EQ(call({"CapturedPorts.Add", "3", "KTR:\\\\CorpTree\\Acme\\Sales\\COLOR1"}).status, 0);
    // A collection one item per line; a method without a result prints nothing.
    EXPECT_EQ(call({"CapturedPorts"}).out, "Port=1 QueueName=LASER1\nPort=3 QueueName=COLOR1\n");
    const Outcome removed = call({"CapturedPorts.Remove", "1"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(removed.out, "");
    EXPECT_EQ(call({"CapturedPorts(0).QueueName.FullName"}).out,
              "KTR:\\\\CorpTree\\Acme\\Sales\\COLOR1\n");
}

TEST_F(Program, SetsPropertiesBeforeTheCallAndByASingleArgument) {
    EXPECT_EQ(
        call({"--set", "Bindery=true", "Login", "\\\\OLD1", "SUPERVISOR", "old", "false"}).out,
        "True\n");
    EXPECT_EQ(call({"ConnectedServers(OLD1).FullName"}).out, "\\\\OLD1\n");
    EXPECT_EQ(call({"--set", "NoSuch=1", "ServerNames"}).err.rfind("error 438: ", 0), 0u);

    const Outcome set = call({"DefaultFullName", "KTR:\\\\CorpTree\\Acme\\Sales"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(call({"DefaultFullName"}).out, "KTR:\\\\CorpTree\\Acme\\Sales\n");
}

TEST_F(Program, InfoPrintsTheRegistration) {
    const Outcome control = host({"info", kProgId});
    EXPECT_EQ(control.status, 0) << control.err;
    for (const char* line : {
             "ProgID:               QuillonLib.QuillonCtrl.1\n",
             "Name:                 Marrel Session Control\n",
             "Threading:            Apartment\n",
             "Kind:                 control\n",
             "Misc status:          0x20591 (recompose on resize, can't link inside, inside-out, "
             "activate when visible, invisible at run time, set client site first)\n",
             "Controls that are safely scriptable\n",
             "Controls safely initializable from persistent data\n",
             " QuillonLib.QuillonPropPage.1 (Marrel Session Property Page)\n",
             " QuillonLib.CTreeContextPPg (Network Browser)\n",
             "  File version:       1.22\n",
             "  File description:   Marrel Session Control\n",
             "  Internal name:      Quillon\n",
             "  Original file name: QUILLON.OCX\n",
             "  Language:           0409, code page 1200\n",
         })
        EXPECT_NE(control.out.find(line), std::string::npos) << line << control.out;
    EXPECT_NE(control.out.find("QuillonLib {"), std::string::npos);
    EXPECT_NE(control.out.find("} version 1.2\n"), std::string::npos);
    EXPECT_LT(control.out.find("QuillonPropPage"), control.out.find("CTreeContextPPg"));

    // A class served by the same file has the same version information.
    const Outcome drives = host({"info", "QuillonLib.DriveMappings"});
    EXPECT_EQ(drives.status, 0) << drives.err;
    EXPECT_NE(drives.out.find("Kind:                 object\n"), std::string::npos);
    EXPECT_NE(drives.out.find("Property pages:       none\n"), std::string::npos);
    EXPECT_NE(drives.out.find("Version information:\n  File version:       1.22\n"),
              std::string::npos)
        << drives.out;
    EXPECT_NE(drives.out.find("  Original file name: QUILLON.OCX\n"), std::string::npos);

    const Outcome unknown = host({"info", "QuillonLib.NoSuchClass"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("QuillonLib.NoSuchClass is not registered"), std::string::npos);
}

TEST_F(Program, CommandLinesItDoesNotUnderstandExitWithTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"call"},
             {"call", kProgId},
             {"call", kProgId, "A("},
             {"call", kProgId, "--set", "Bindery"},
             {"call", kProgId, "--set"},
             {"info"},
             {"info", "a", "b"},
             {"members"},
             {"members", "a", "b", "c"},
             {"show", "a", "b"},
             {"frobnicate"},
         }) {
        // One line that says why, not the whole help.
        const Outcome run = host(args);
        EXPECT_EQ(run.status, 2) << args.size() << " " << args.back();
        EXPECT_EQ(run.err.rfind("quillon-host: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_NE(run.err.find(" (see quillon-host --help)\n"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(host({"frobnicate"}).err,
              "quillon-host: unknown command \"frobnicate\" (see quillon-host --help)\n");
    const Outcome help = host({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status: 0 done; 1"), std::string::npos);
}

TEST_F(Program, APropertyThatCannotBeSetSaysSoWhenGivenAValue) {
    const Outcome run = call({"ServerNames", "x"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("error 383: ", 0), 0u) << run.err;
    // A method without parameters given one is another matter.
    EXPECT_EQ(call({"AboutBox", "x"}).err.rfind("error 450: ", 0), 0u);
}

TEST_F(Program, ArgumentsAreDecimalsConstantsOfTheTypeLibraryAndNull) {
    const Outcome lpt = call({"CapturedPorts.Add", "LPT2", "\\\\FS1\\LASER1"});
    EXPECT_EQ(lpt.status, 0) << lpt.err;
    EXPECT_EQ(lpt.out, "Port=2 QueueName=LASER1\n");
    EXPECT_EQ(call({"CapturedPorts.Remove", "lpt2"}).status, 0);
    EXPECT_EQ(call({"CapturedPorts.Count"}).out, "0\n");
    // In quotes it is text, which names no port.
    EXPECT_EQ(call({"CapturedPorts.Add", "\"LPT2\"", "\\\\FS1\\LASER1"}).err.rfind("error 13: ", 0),
              0u);

    // 2.5 is a position (rounded to even), not a server's name.
    EXPECT_EQ(call({"ServerNames(2.5).ShortName"}).out, "OLD1\n");
    const Outcome root = call({"DriveMappings.Add", "H", "\\\\FS1\\DATA", "null"});
    EXPECT_EQ(root.status, 0) << root.err;
    EXPECT_EQ(root.out, "\\\\FS1\\DATA\n");
}

TEST_F(Program, MembersListsWhatTheTypeLibrarySays) {
    const Outcome control = host({"members", kProgId});
    EXPECT_EQ(control.status, 0) << control.err;
    for (
        const char* line : {
            "QuillonLib 1.2: class Quillon  \"Marrel Session Control\"\n",
            "Interface _DQuillon  \"Dispatch interface for Marrel Session Control\"\n",
            "       1  get/put  AutoClose As Boolean  \"Controls whether or not the login results "
            "window is automatically closed or requires the user to dismiss the dialog "
            "manually.\" (951)\n",
            "      12  get      ServerNames As IKDNetworkNames  \"Collection containing all the "
            "servers on the network.\" (43)\n",
            "      16  method   Login(FullName As String, LoginName As String, Password As String, "
            "ShowUI As Boolean) As Boolean  \"Logs into a server or tree.\" (982)\n",
            "    -552  method   AboutBox()\n",
            "Events _DQuillonEvents  \"Event interface for Marrel Session Control.\"\n",
            "       2  event    OnLogout(FullName As String)  \"Fired after a successful "
            "logout.\" (989)\n",
            "Constants KDPrinterPorts: LPT1 = 1, LPT2 = 2, LPT3 = 3, LPT4 = 4, LPT5 = 5, LPT6 = 6, "
            "LPT7 = 7, LPT8 = 8, LPT9 = 9\n",
        })
        EXPECT_NE(control.out.find(line), std::string::npos) << line << control.out;

    const Outcome drives = host({"members", "QuillonLib.DriveMappings"});
    EXPECT_NE(drives.out.find("       3  method   Add(DriveLetter As String, FullName As String, "
                              "[MapAsRoot As Variant]) As IKDDriveMapping"),
              std::string::npos)
        << drives.out;
    const Outcome item = host({"members", kProgId, "KDNetworkName"});
    EXPECT_EQ(item.status, 0) << item.err;
    EXPECT_NE(item.out.find("       2  get      ShortName As String (default)  \"Returns the short "
                            "name of a network resource.\" (1432)\n"),
              std::string::npos)
        << item.out;

    const Outcome page = host({"members", "QuillonLib.QuillonPropPage.1"});
    EXPECT_EQ(page.status, 1);
    EXPECT_NE(page.err.find("no type library describes QuillonLib.QuillonPropPage.1"),
              std::string::npos)
        << page.err;
    EXPECT_EQ(host({"members", "QuillonLib.NoSuchClass"}).status, 1);
    const Outcome part = host({"members", kProgId, "INope"});
    EXPECT_EQ(part.status, 1);
    EXPECT_EQ(part.err, "quillon-host: QuillonLib describes no class or interface \"INope\"\n");
}

// A command of the documentation: a transcript line ("$ command") with
// the lines shown below it, or a command shown on its own, whose output the
// text does not give.
struct Example {
    std::string where;  // file:line
    std::string command;
    bool transcript = false;
    std::vector<std::string> shown;
};

std::string trimmedRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
    return text;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(trimmedRight(line));
    return lines;
}

// The indented commands of the README's quillon-host section, up to the
// next section. The synopsis, which names PROGID, is no example.
std::vector<Example> readmeExamples() {
    const std::vector<std::string> lines =
        linesOf(testsupport::readFile(testsupport::sourceDir() / "README.md"));
    std::vector<Example> examples;
    bool inSection = false, inTranscript = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("## ", 0) == 0) inSection = line == "## quillon-host";
        if (!inSection) continue;
        if (line.rfind("    ", 0) != 0) {
            inTranscript = false;
            continue;
        }
        const std::string code = line.substr(4);
        const std::string where = "README.md:" + std::to_string(i + 1);
        if (code.rfind("$ ", 0) == 0) {
            examples.push_back({where, code.substr(2), true, {}});
            inTranscript = true;
        } else if (inTranscript) {
            examples.back().shown.push_back(code);
        } else if ((code.rfind("quillon-host", 0) == 0 || code.rfind("kdclient", 0) == 0) &&
                   code.find("PROGID") == std::string::npos) {
            examples.push_back({where, code, false, {}});
        }
    }
    return examples;
}

// The commands in the manual page's EXAMPLES, roff escapes undone.
std::vector<Example> manualExamples() {
    const fs::path page = testsupport::sourceDir() / "packaging" / "man" / "quillon-host.1";
    const std::vector<std::string> lines = linesOf(testsupport::readFile(page));
    const auto text = [](std::string roff) {
        std::string out;
        for (std::size_t i = 0; i < roff.size(); ++i) {
            if (roff[i] == '\\' && i + 1 < roff.size() &&
                (roff[i + 1] == '-' || roff[i + 1] == 'e')) {
                out += roff[++i] == '-' ? '-' : '\\';
                continue;
            }
            out += roff[i];
        }
        return out;
    };
    std::vector<Example> examples;
    bool inSection = false, inBlock = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind(".SH ", 0) == 0) inSection = line == ".SH EXAMPLES";
        if (!inSection) continue;
        if (line == ".nf" || line == ".fi") {
            inBlock = line == ".nf";
            continue;
        }
        if (!inBlock) continue;
        const std::string where = "quillon-host.1:" + std::to_string(i + 1);
        if (line.rfind(".B ", 0) == 0) {
            const std::string command = text(line.substr(3));
            const bool transcript = command.rfind("$ ", 0) == 0;
            examples.push_back({where, transcript ? command.substr(2) : command, transcript, {}});
        } else if (!line.empty() && line[0] != '.' && !examples.empty()) {
            examples.back().shown.push_back(text(line));
        }
    }
    return examples;
}

// Every example runs as the shell runs it, the programs found on the PATH,
// each file on a session of its own: a transcript prints what it shows (an
// error line, on standard error, with status 1), a command on its own
// prints something and succeeds.
class Documentation : public Program {
protected:
    void runAll(const std::vector<Example>& examples) {
        const char* inherited = std::getenv("PATH");
        const testsupport::ScopedEnv path("PATH", testsupport::binDir().string() + ":" +
                                                      (inherited ? inherited : "/usr/bin:/bin"));
        for (const Example& example : examples) {
            const Outcome run = testsupport::runProgram("/bin/sh", {"-c", example.command});
            if (!example.transcript) {
                EXPECT_EQ(run.status, 0) << example.where << ": " << example.command << "\n"
                                         << run.err;
                EXPECT_NE(run.out, "") << example.where << ": " << example.command;
                continue;
            }
            const bool error = !example.shown.empty() && example.shown[0].rfind("error ", 0) == 0;
            EXPECT_EQ(run.status, error ? 1 : 0) << example.where << ": " << example.command << "\n"
                                                 << run.err;
            EXPECT_EQ(linesOf(run.out + run.err), example.shown)
                << example.where << ": " << example.command;
        }
    }
};

TEST_F(Documentation, TheReadmeExamplesPrintWhatTheyShow) {
    const std::vector<Example> examples = readmeExamples();
    // Read as meant: the commands of the demo session, the bindery login,
    // the errors and the members.
    ASSERT_GE(examples.size(), 18u);
    EXPECT_EQ(examples[0].command, "quillon-host --help");
    EXPECT_EQ(examples[1].command, "kdclient reset");
    EXPECT_TRUE(examples[1].transcript);
    runAll(examples);
}

TEST_F(Documentation, TheManualPageExamplesPrintWhatTheyShow) {
    const std::vector<Example> examples = manualExamples();
    ASSERT_EQ(examples.size(), 9u);
    EXPECT_EQ(examples[2].command, "quillon-host call QuillonLib.QuillonCtrl.1 LoginName CorpTree");
    EXPECT_EQ(examples[2].shown, std::vector<std::string>{"Admin"});
    runAll(examples);
}

// Qt would end the program with its plugin error and an abort; the person
// is told what the window needs and what works without it.
TEST_F(Program, WithoutADisplayTheWindowSaysWhatWorksWithoutOne) {
    const std::string expected =
        "quillon-host: the window needs a display; call, info and members work without one";
    {
        const testsupport::ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
        const testsupport::ScopedEnv display("DISPLAY", nullptr);
        const testsupport::ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
        for (const std::vector<std::string>& args :
             std::vector<std::vector<std::string>>{{}, {"show"}, {"show", kProgId}}) {
            const Outcome run = host(args);
            EXPECT_EQ(run.status, 2) << args.size();
            EXPECT_EQ(run.err, expected + " (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
        }
        EXPECT_EQ(call({"TreeNames.Count"}).out, "2\n");
    }
    // A display that is named but does not answer.
    const testsupport::ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    const testsupport::ScopedEnv display("DISPLAY", "unix:/nonexistent/display-socket:0");
    const Outcome run = host({});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(expected + " ("), std::string::npos) << run.err;
}

}  // namespace
