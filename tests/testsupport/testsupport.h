// Helpers every test executable shares: each test process runs in a private
// temporary home (HOME, XDG_*, REGISTRY_DB and MACHINE_REGISTRY_DB point into
// it), so no test reads or writes the real user's or the machine's files, and
// tests find the build and fixtures here.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Creates the private home and points the environment at it. Called by the
// test mains before anything else runs.
void setUpPrivateHome();
// Removes the private home again (at exit of the test process), after the
// calls given to beforeHomeGoes, the latest first.
void tearDownPrivateHome();
// Something to do while the private home still exists: stop a server that
// keeps its files there, which an object still alive at exit (a static)
// could no longer do from its destructor.
void beforeHomeGoes(std::function<void()> call);

// The private home of this process.
std::filesystem::path home();
// A fresh, empty directory below the private home; throws when there is no
// private home (before it is made, or after it is gone).
std::filesystem::path freshDir(const std::string& hint = "dir");

std::filesystem::path sourceDir();
std::filesystem::path dataDir();  // tests/data
std::filesystem::path binDir();   // programs of the build
std::filesystem::path libDir();   // shared libraries of the build

// Whole-file helpers for fixtures written by tests.
void writeFile(const std::filesystem::path& path, const std::string& contents);
std::string readFile(const std::filesystem::path& path);

// A program run to its end through the shell, with what it printed: its exit
// status (-1 when it did not exit), standard output and standard error.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};
ProgramRun runProgram(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments);

// Sets or clears one environment variable for the rest of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ScopedEnv(const char* name, std::nullptr_t);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool hadValue_ = false;
    std::string oldValue_;
};

}  // namespace testsupport
