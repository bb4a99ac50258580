// quillon-host as a person or a script runs it: `call` on the demo network
// (each run a process of its own, sharing the session), `info`, and the
// exit statuses of errors and of command lines it does not understand.
#include <gtest/gtest.h>

#include <filesystem>
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
             {"show", "a", "b"},
             {"frobnicate"},
         }) {
        const Outcome run = host(args);
        EXPECT_EQ(run.status, 2) << args.size() << " " << args.back();
        EXPECT_NE(run.err.find("usage: quillon-host"), std::string::npos);
    }
    const Outcome help = host({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status: 0 done; 1"), std::string::npos);
}

}  // namespace
