// The kdclient tool, run as a program on the test network.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "outside/client/session.h"
#include "testnetwork.h"

namespace {

using testnetwork::TestNetwork;

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

pid_t spawn(const std::vector<std::string>& args, int outFd, int errFd, int inFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(inFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        std::vector<char*> argv;
        const std::string program = (testsupport::binDir() / "kdclient").string();
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// Runs kdclient with args, standard input fed from input; the outputs are
// small, so reading them one after the other cannot block the child.
ToolRun kdclient(const std::vector<std::string>& args, const std::string& input = "") {
    const auto inFile = testsupport::freshDir("stdin") / "in";
    testsupport::writeFile(inFile, input);
    const auto outFile = inFile.parent_path() / "out";
    const auto errFile = inFile.parent_path() / "err";
    const int in = open(inFile.c_str(), O_RDONLY);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const pid_t pid = spawn(args, out, err, in);
    close(in);
    close(out);
    close(err);
    ToolRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.out = testsupport::readFile(outFile);
    run.err = testsupport::readFile(errFile);
    return run;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Tool : public ::testing::Test {
protected:
    TestNetwork net;
};

TEST_F(Tool, AttachLoginMapCaptureAndShow) {
    ToolRun run = kdclient({"attach", "fs2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Connection 1\n");
    run = kdclient({"login", "CorpTree", "admin", "-", "--context", "Acme"}, "secret\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Logged in to CorpTree as admin.Acme (connection 1)\n");
    run = kdclient({"login", "\\\\OLD1", "SUPERVISOR", "old", "--bindery"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(kdclient({"map", "g:", "\\\\FS1\\SYS\\Public\\Win32"}).exitCode, 0);
    ASSERT_EQ(kdclient({"map", "H:", "//fs2/apps"}).exitCode, 0);
    ASSERT_EQ(kdclient({"capture", "LPT2", "\\\\OLD1\\laserq"}).exitCode, 0);
    run = kdclient({"capture", "lpt3", "KTR:\\\\CorpTree\\Acme\\IT\\Q1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(kdclient({"tree", "labtree"}).exitCode, 0);
    ASSERT_EQ(kdclient({"context", "LabTree", "Lab"}).exitCode, 0);

    run = kdclient({"show"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "Connections:\n"
              "  1  FS2  tree CorpTree  logged in (directory) as admin.Acme  (primary)\n"
              "  2  OLD1  logged in (bindery) as SUPERVISOR\n"
              "  3  FS1  tree CorpTree  not logged in\n"
              "Drives:\n"
              "  G:  \\\\FS1\\SYS\\Public\\Win32  (connection 3)\n"
              "  H:  \\\\FS2\\APPS  (connection 1)\n"
              "Captured ports:\n"
              "  LPT2  \\\\OLD1\\LASERQ  (queue 50, connection 2)\n"
              "  LPT3  \\\\FS1\\Q1  (queue 16777217, connection 3)\n"
              "Preferred tree: LabTree\n"
              "Default context of CorpTree: Acme\n"
              "Default context of LabTree: Lab\n");

    ASSERT_EQ(kdclient({"endcap", "LPT2"}).exitCode, 0);
    ASSERT_EQ(kdclient({"unmap", "g:"}).exitCode, 0);
    ASSERT_EQ(kdclient({"logout", "CorpTree"}).exitCode, 0);
    ASSERT_EQ(kdclient({"logout", "\\\\old1"}).exitCode, 0);
    const auto state = outside::client::Client::current().state();
    ASSERT_EQ(state.connections.size(), 1u);
    EXPECT_EQ(state.connections[0].server, "FS1");
    EXPECT_TRUE(state.drives.empty());  // H: went with FS2's connection
    ASSERT_EQ(state.captures.size(), 1u);
    EXPECT_EQ(state.captures[0].port, 3);

    ASSERT_EQ(kdclient({"reset"}).exitCode, 0);
    EXPECT_EQ(kdclient({}).out.substr(0, 18), "Connections: none\n");
}

TEST_F(Tool, ErrorsSayWhatAndExitNonZero) {
    ToolRun run = kdclient({"login", "CorpTree", "admin", "wrong", "--context", "Acme"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.err, "wrong password for admin (-669 wrong password)")) << run.err;
    run = kdclient({"map", "F:", "\\\\FS1\\NOVOL"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.err, "FS1 has no volume \"NOVOL\" (0x8998")) << run.err;
    run = kdclient({"logout", "\\\\FS2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.err, "0x880F")) << run.err;

    run = kdclient({"map", "F"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(contains(run.err, "map takes 2 argument(s)")) << run.err;
    EXPECT_EQ(kdclient({"capture", "LPT0", "\\\\FS1\\Q1"}).exitCode, 2);
    EXPECT_EQ(kdclient({"map", "FF:", "\\\\FS1\\SYS"}).exitCode, 2);
    EXPECT_EQ(kdclient({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(kdclient({"help"}).exitCode, 0);
    // Only the attachment that the failed map made is left.
    const auto state = outside::client::Client::current().state();
    ASSERT_EQ(state.connections.size(), 1u);
    EXPECT_EQ(state.connections[0].authState, 0u);
}

TEST_F(Tool, ManyToolsAtOnceKeepEveryMapping) {
    std::vector<pid_t> pids;
    const int devnull = open("/dev/null", O_RDWR);
    for (char letter = 'A'; letter <= 'T'; ++letter)
        pids.push_back(spawn({"map", std::string(1, letter) + ":", "\\\\FS1\\DATA\\Projects"},
                             devnull, devnull, devnull));
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    close(devnull);
    const auto state = outside::client::Client::current().state();
    EXPECT_EQ(state.drives.size(), 20u);
    EXPECT_EQ(state.connections.size(), 1u);  // all twenty attached to the one connection
}

}  // namespace
