// Program start with a real program that records how it was started: quoting
// as it arrives, UNC programs, the error numbers raised before anything is
// started, and the detached process it leaves behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/process/shell.h"
#include "testsupport/testsupport.h"

namespace {
namespace fs = std::filesystem;
using namespace platform::process;
using testsupport::ScopedEnv;

struct Recording {
    TaskId pid = 0;
    std::string descriptors;
    std::vector<std::string> argv;
};

// Waits, bounded, for the recorder to write its file.
std::optional<Recording> waitForRecording(const fs::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(file)) {
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::istringstream in(testsupport::readFile(file));
    Recording recording;
    std::string line;
    std::getline(in, line);
    recording.pid = std::stoll(line);
    std::getline(in, recording.descriptors);
    while (std::getline(in, line)) recording.argv.push_back(line);
    return recording;
}

int errorNumberOf(std::string_view commandLine, int style = 1) {
    try {
        Shell(commandLine, style);
    } catch (const ProcessError& e) {
        return e.number();
    }
    return 0;
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = testsupport::freshDir("net");
        harbex_ = root_ / "FS1" / "SYS" / "PUBLIC" / "HARBEX";
        fs::create_directories(harbex_);
        fs::copy_file(ARGRECORDER_PATH, harbex_ / "vorplin.exe");
        setenv("UNC_ROOT", root_.c_str(), 1);
    }

    // Starts the command line and returns what the program recorded.
    Recording run(const std::string& commandLine) {
        const TaskId task = Shell(commandLine, NormalFocus);
        auto recording = waitForRecording(record_);
        if (!recording) throw std::runtime_error("the program recorded nothing: " + commandLine);
        EXPECT_EQ(recording->pid, task);
        fs::remove(record_);
        return *recording;
    }

    fs::path root_;
    fs::path harbex_;
    fs::path record_ = testsupport::freshDir("record") / "argv.txt";
    ScopedEnv recordEnv_{"ARGRECORD_FILE", record_.string()};
    ScopedEnv uncRoot_{"UNC_ROOT", std::string()};
};

TEST_F(ShellTest, ConsoleCommandLineArrivesSplitFromAUncProgram) {
    const Recording r = run(
        R"(\\fs1\Sys\public\Harbex\VORPLIN.exe -w"WS042.Sales.Acme" -n"CorpTree" -c"Remote Control")");
    const std::vector<std::string> expected = {
        (harbex_ / "vorplin.exe").string(), "-wWS042.Sales.Acme", "-nCorpTree", "-cRemote Control"};
    EXPECT_EQ(r.argv, expected);
    // Detached: the program is not our child, so it can never be our zombie.
    EXPECT_EQ(::waitpid(static_cast<pid_t>(r.pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ShellTest, ProgramsByDriveRelativeAndBareName) {
    fs::create_directories(root_ / "bin");
    fs::copy_file(ARGRECORDER_PATH, root_ / "bin" / "rec");
    EXPECT_EQ(run("Z:" + root_.string() + R"(\BIN\REC "a b")").argv.at(1), "a b");

    const fs::path previous = fs::current_path();
    fs::current_path(root_);
    EXPECT_EQ(run(R"(Bin\Rec x)").argv.at(1), "x");
    EXPECT_EQ(run(R"(fs1\sys\public\harbex\vorplin.exe y)").argv.at(1), "y");
    fs::current_path(previous);

    ScopedEnv path("PATH", "/nonexistent:" + (root_ / "bin").string());
    EXPECT_EQ(run("rec z").argv, (std::vector<std::string>{(root_ / "bin/rec").string(), "z"}));
    EXPECT_EQ(errorNumberOf("no-such-program"), FileNotFound);
}

TEST_F(ShellTest, MissingFilesAndDirectoriesAreReportedBeforeAnyStart) {
    EXPECT_EQ(errorNumberOf(R"(\\FS1\SYS\PUBLIC\HARBEX\drevmin.exe -w"x")"), FileNotFound);
    EXPECT_EQ(errorNumberOf(R"(\\FS1\SYS\PUBLIC\WIN32\vorplin.exe -w"x")"), PathNotFound);
    EXPECT_EQ(errorNumberOf(R"(\\FS1\SYS\PUBLIC\HARBEX\vorplin.exe\x.exe)"), PathNotFound);
    EXPECT_EQ(errorNumberOf(R"(\\FS9\SYS\PUBLIC\HARBEX\vorplin.exe)"), PathNotFound);
    EXPECT_EQ(errorNumberOf(R"(Q:\PUBLIC\HARBEX\vorplin.exe)"), PathNotFound);
    EXPECT_EQ(errorNumberOf(R"(\nonexistent-tvn-dir\prog.exe)"), PathNotFound);
    setenv("UNC_ROOT", "", 1);
    EXPECT_EQ(errorNumberOf(R"(\\FS1\SYS\PUBLIC\HARBEX\vorplin.exe)"), PathNotFound);
    EXPECT_FALSE(fs::exists(record_));
}

TEST_F(ShellTest, ProgramsThatMayNotRunRaise70AndThoseThatCannotRaise75) {
    testsupport::writeFile(harbex_ / "plain.exe", "not a program\n");
    EXPECT_EQ(errorNumberOf(R"(\\FS1\SYS\PUBLIC\HARBEX\plain.exe)"), PermissionDenied);
    EXPECT_EQ(errorNumberOf(R"(\\FS1\SYS\PUBLIC\HARBEX)"), PathFileAccess);
    // Executable bit but no format the system can run: exec itself fails,
    // and that failure must come back to the caller too.
    fs::permissions(harbex_ / "plain.exe", fs::perms::owner_exec, fs::perm_options::add);
    EXPECT_EQ(errorNumberOf(R"(\\FS1\SYS\PUBLIC\HARBEX\plain.exe)"), PathFileAccess);
}

TEST_F(ShellTest, InvalidCommandLinesRaise5) {
    for (const char* line : {"", "   \t", R"("" -w"x")"})
        EXPECT_EQ(errorNumberOf(line), InvalidCall) << '[' << line << ']';
    const std::string program = R"(\\FS1\SYS\PUBLIC\HARBEX\vorplin.exe)";
    EXPECT_EQ(errorNumberOf(program, 7), InvalidCall);
    EXPECT_EQ(errorNumberOf(program, -1), InvalidCall);
    EXPECT_EQ(errorNumberOf(program + std::string(" a\0b", 4)), InvalidCall);

    // The limit counts characters as the platform does, not UTF-8 bytes.
    std::string longest = program + " ";
    longest.append(kMaxCommandLineLength - longest.size(), 'x');
    EXPECT_EQ(errorNumberOf(longest + "x"), InvalidCall);
    EXPECT_FALSE(fs::exists(record_));
    EXPECT_EQ(run(longest).argv.at(1).size(), kMaxCommandLineLength - program.size() - 1);

    std::string wide = program + " ";
    for (std::size_t i = wide.size(); i < kMaxCommandLineLength; ++i) wide += "\xC3\xA9";  // é
    EXPECT_EQ(run(wide).argv.at(1).size(), 2 * (kMaxCommandLineLength - program.size() - 1));
    wide.replace(wide.size() - 2, 2, "\xF0\x9F\x99\x82");  // one character, two units
    EXPECT_EQ(errorNumberOf(wide), InvalidCall);
}

TEST_F(ShellTest, StartedProgramInheritsNoStrayDescriptors) {
    const int fd = ::open(root_.c_str(), O_RDONLY);  // deliberately inheritable
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::dup2(fd, 200), 200);
    ::close(fd);
    const Recording r = run(R"(\\FS1\SYS\PUBLIC\HARBEX\vorplin.exe)");
    ::close(200);
    EXPECT_EQ(r.descriptors.find("200 "), std::string::npos) << r.descriptors;
}

}  // namespace
