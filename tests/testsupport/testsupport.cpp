// Private homes and paths for the test executables.
#include "testsupport/testsupport.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace testsupport {
namespace fs = std::filesystem;

namespace {
fs::path g_home;
int g_counter = 0;
std::vector<std::function<void()>> g_beforeHomeGoes;
}  // namespace

void setUpPrivateHome() {
    std::string pattern = (fs::temp_directory_path() / "tvn-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a private test home");
    g_home = pattern;
    const fs::path config = g_home / "config";
    const fs::path data = g_home / "data";
    const fs::path cache = g_home / "cache";
    const fs::path runtime = g_home / "runtime";
    for (const auto& dir : {config, data, cache, runtime}) fs::create_directories(dir);
    fs::permissions(runtime, fs::perms::owner_all);
    setenv("HOME", g_home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("REGISTRY_DB", (g_home / "registry.db").c_str(), 1);
    // No machine class store unless a test makes one: an installed machine's
    // registrations must not leak into the tests.
    setenv("MACHINE_REGISTRY_DB", (g_home / "machine" / "classes.db").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

void beforeHomeGoes(std::function<void()> call) {
    g_beforeHomeGoes.push_back(std::move(call));
}

void tearDownPrivateHome() {
    if (g_home.empty()) return;
    while (!g_beforeHomeGoes.empty()) {
        const std::function<void()> call = std::move(g_beforeHomeGoes.back());
        g_beforeHomeGoes.pop_back();
        try {
            call();
        } catch (const std::exception& e) {
            std::cerr << "test teardown: " << e.what() << "\n";
        }
    }
    std::error_code ignored;
    fs::remove_all(g_home, ignored);
    g_home.clear();
}

fs::path home() {
    return g_home;
}

fs::path freshDir(const std::string& hint) {
    if (g_home.empty()) throw std::runtime_error("no private test home for a fresh " + hint);
    fs::path dir = g_home / (hint + "-" + std::to_string(++g_counter));
    fs::create_directories(dir);
    return dir;
}

fs::path sourceDir() {
    return TVN_SOURCE_DIR;
}
fs::path dataDir() {
    return TVN_TEST_DATA_DIR;
}
fs::path binDir() {
    return TVN_BIN_DIR;
}
fs::path libDir() {
    return TVN_LIB_DIR;
}

void writeFile(const fs::path& path, const std::string& contents) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

namespace {

// One word for the shell, whatever it holds.
std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

ProgramRun runProgram(const fs::path& program, const std::vector<std::string>& arguments) {
    const fs::path dir = freshDir("run");
    std::string command = quoted(program.string());
    for (const std::string& argument : arguments) command.append(" ").append(quoted(argument));
    command.append(" >").append(quoted((dir / "out").string()));
    command.append(" 2>").append(quoted((dir / "err").string()));
    ProgramRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readFile(dir / "out");
    run.err = readFile(dir / "err");
    return run;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        hadValue_ = true;
        oldValue_ = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::ScopedEnv(const char* name, std::nullptr_t) : name_(name) {
    if (const char* old = std::getenv(name)) {
        hadValue_ = true;
        oldValue_ = old;
    }
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (hadValue_)
        setenv(name_.c_str(), oldValue_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

}  // namespace testsupport
