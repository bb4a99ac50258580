// The shared session state file: JSON form, lock and atomic replacement.
#include "outside/client/state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "kdtypes.h"
#include "outside/client/errors.h"
#include "outside/client/names.h"

namespace outside::client {
namespace fs = std::filesystem;
using nlohmann::json;

Connection* SessionState::findConnection(uint32_t number) {
    for (Connection& c : connections)
        if (c.number == number) return &c;
    return nullptr;
}

const Connection* SessionState::findConnection(uint32_t number) const {
    return const_cast<SessionState*>(this)->findConnection(number);
}

const Connection* SessionState::connectionTo(std::string_view server) const {
    for (const Connection& c : connections)
        if (sameName(c.server, server)) return &c;
    return nullptr;
}

Connection& SessionState::addConnection(Connection connection) {
    connection.number = nextConnection++;
    if (primary == 0) primary = connection.number;
    connections.push_back(std::move(connection));
    return connections.back();
}

void SessionState::removeConnection(uint32_t number) {
    std::erase_if(connections, [&](const Connection& c) { return c.number == number; });
    std::erase_if(drives, [&](const DriveMapping& d) { return d.connection == number; });
    std::erase_if(captures, [&](const Capture& c) { return c.connection == number; });
    if (primary == number) primary = connections.empty() ? 0 : connections.front().number;
}

const DriveMapping* SessionState::findDrive(uint16_t drive) const {
    for (const DriveMapping& d : drives)
        if (d.drive == drive) return &d;
    return nullptr;
}

void SessionState::putDrive(DriveMapping mapping) {
    removeDrive(mapping.drive);
    const auto at = std::find_if(drives.begin(), drives.end(),
                                 [&](const DriveMapping& d) { return d.drive > mapping.drive; });
    drives.insert(at, std::move(mapping));
}

bool SessionState::removeDrive(uint16_t drive) {
    return std::erase_if(drives, [&](const DriveMapping& d) { return d.drive == drive; }) > 0;
}

const Capture* SessionState::findCapture(uint16_t port) const {
    for (const Capture& c : captures)
        if (c.port == port) return &c;
    return nullptr;
}

void SessionState::putCapture(Capture capture) {
    removeCapture(capture.port);
    const auto at = std::find_if(captures.begin(), captures.end(),
                                 [&](const Capture& c) { return c.port > capture.port; });
    captures.insert(at, std::move(capture));
}

bool SessionState::removeCapture(uint16_t port) {
    return std::erase_if(captures, [&](const Capture& c) { return c.port == port; }) > 0;
}

std::optional<std::string> SessionState::defaultContext(std::string_view tree) const {
    for (const auto& [t, context] : defaultContexts)
        if (sameName(t, tree)) return context;
    return std::nullopt;
}

void SessionState::setDefaultContext(const std::string& tree, const std::string& context) {
    for (auto& [t, c] : defaultContexts)
        if (sameName(t, tree)) {
            c = context;
            return;
        }
    defaultContexts.emplace_back(tree, context);
}

namespace {

json toJson(const SessionState& s) {
    json connections = json::array();
    for (const Connection& c : s.connections)
        connections.push_back({{"number", c.number},
                               {"server", c.server},
                               {"tree", c.tree},
                               {"directory", c.directory},
                               {"auth", c.authState},
                               {"user", c.user},
                               {"userId", c.userId}});
    json drives = json::array();
    for (const DriveMapping& d : s.drives)
        drives.push_back({{"drive", d.drive},
                          {"connection", d.connection},
                          {"server", d.server},
                          {"volume", d.volume},
                          {"path", d.path}});
    json captures = json::array();
    for (const Capture& c : s.captures)
        captures.push_back({{"port", c.port},
                            {"connection", c.connection},
                            {"queueId", c.queueId},
                            {"queue", c.queue}});
    json contexts = json::array();
    for (const auto& [tree, context] : s.defaultContexts)
        contexts.push_back({{"tree", tree}, {"context", context}});
    return {{"version", 1},
            {"nextConnection", s.nextConnection},
            {"primary", s.primary},
            {"connections", connections},
            {"drives", drives},
            {"captures", captures},
            {"defaultContexts", contexts},
            {"preferredTree", s.preferredTree}};
}

SessionState fromJson(const json& j) {
    SessionState s;
    s.nextConnection = j.at("nextConnection").get<uint32_t>();
    s.primary = j.at("primary").get<uint32_t>();
    for (const json& c : j.at("connections"))
        s.connections.push_back({c.at("number").get<uint32_t>(), c.at("server").get<std::string>(),
                                 c.at("tree").get<std::string>(), c.at("directory").get<bool>(),
                                 c.at("auth").get<uint32_t>(), c.at("user").get<std::string>(),
                                 c.at("userId").get<uint32_t>()});
    for (const json& d : j.at("drives"))
        s.drives.push_back({d.at("drive").get<uint16_t>(), d.at("connection").get<uint32_t>(),
                            d.at("server").get<std::string>(), d.at("volume").get<std::string>(),
                            d.at("path").get<std::vector<std::string>>()});
    for (const json& c : j.at("captures"))
        s.captures.push_back({c.at("port").get<uint16_t>(), c.at("connection").get<uint32_t>(),
                              c.at("queueId").get<uint32_t>(), c.at("queue").get<std::string>()});
    for (const json& c : j.at("defaultContexts"))
        s.defaultContexts.emplace_back(c.at("tree").get<std::string>(),
                                       c.at("context").get<std::string>());
    s.preferredTree = j.at("preferredTree").get<std::string>();
    return s;
}

[[noreturn]] void failIo(const fs::path& path, const std::string& what) {
    throw ClientError(KD_ERR_CLIENT_UNAVAILABLE,
                      path.string() + ": " + what + " (" + std::strerror(errno) + ")");
}

// An exclusive lock on "<state>.lock", held for one read-change-write. The
// lock file is never removed: removing it would let two writers lock two
// different files.
class FileLock {
public:
    explicit FileLock(const fs::path& stateFile) {
        std::error_code ec;
        fs::create_directories(stateFile.parent_path(), ec);
        const fs::path lockFile = fs::path(stateFile) += ".lock";
        fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) failIo(lockFile, "cannot open the session lock");
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                failIo(lockFile, "cannot lock the session");
            }
        }
    }
    ~FileLock() {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

void writeAll(int fd, const std::string& text, const fs::path& path) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failIo(path, "cannot write the session state");
        done += static_cast<std::size_t>(n);
    }
}

void replaceFile(const fs::path& file, const std::string& text) {
    const fs::path temp = fs::path(file) += ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) failIo(temp, "cannot write the session state");
    try {
        writeAll(fd, text, temp);
        if (::fsync(fd) != 0) failIo(temp, "cannot write the session state");
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    ::close(fd);
    if (::rename(temp.c_str(), file.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        failIo(file, "cannot replace the session state");
    }
}

}  // namespace

SessionStore::SessionStore(fs::path file) : file_(std::move(file)) {}

fs::path SessionStore::defaultPath() {
    if (const char* env = std::getenv("KDCLIENT_STATE"); env && *env) return env;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return fs::path(runtime) / "kdclient" / "session.json";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".kdclient" / "session.json";
}

SessionState SessionStore::read() const {
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        failIo(file_, "cannot read the session state");
    }
    std::string text;
    char chunk[8192];
    while (true) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            failIo(file_, "cannot read the session state");
        }
        if (n == 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    try {
        const json j = json::parse(text);
        if (j.at("version").get<int>() != 1) throw std::runtime_error("unknown version");
        return fromJson(j);
    } catch (const std::exception& e) {
        throw ClientError(KD_ERR_CLIENT_UNAVAILABLE,
                          file_.string() + ": the session state is damaged (" + e.what() +
                              "); \"kdclient reset\" starts a fresh session");
    }
}

void SessionStore::apply(const std::function<void(SessionState&)>& change) const {
    const FileLock lock(file_);
    SessionState state = read();
    change(state);
    replaceFile(file_, toJson(state).dump(1) + "\n");
}

void SessionStore::reset() const {
    const FileLock lock(file_);
    replaceFile(file_, toJson(SessionState{}).dump(1) + "\n");
}

}  // namespace outside::client
