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
#include <vector>

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

namespace {

// Drive mappings and captures are lists kept in the order of their key.
template <typename Item, typename Key>
const Item* findBy(const std::vector<Item>& items, Key Item::*key, Key value) {
    for (const Item& item : items)
        if (item.*key == value) return &item;
    return nullptr;
}

template <typename Item, typename Key>
bool removeBy(std::vector<Item>& items, Key Item::*key, Key value) {
    return std::erase_if(items, [&](const Item& item) { return item.*key == value; }) > 0;
}

template <typename Item, typename Key>
void putBy(std::vector<Item>& items, Key Item::*key, Item item) {
    removeBy(items, key, item.*key);
    const auto at = std::find_if(items.begin(), items.end(),
                                 [&](const Item& other) { return other.*key > item.*key; });
    items.insert(at, std::move(item));
}

}  // namespace

std::string DriveMapping::fullPath() const {
    std::string full = "\\\\" + server + "\\" + volume;
    for (const std::string& folder : path) full += "\\" + folder;
    return full;
}

const DriveMapping* SessionState::findDrive(uint16_t drive) const {
    return findBy(drives, &DriveMapping::drive, drive);
}
void SessionState::putDrive(DriveMapping mapping) {
    putBy(drives, &DriveMapping::drive, std::move(mapping));
}
bool SessionState::removeDrive(uint16_t drive) {
    return removeBy(drives, &DriveMapping::drive, drive);
}

const Capture* SessionState::findCapture(uint16_t port) const {
    return findBy(captures, &Capture::port, port);
}
void SessionState::putCapture(Capture capture) {
    putBy(captures, &Capture::port, std::move(capture));
}
bool SessionState::removeCapture(uint16_t port) {
    return removeBy(captures, &Capture::port, port);
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

// The session file's JSON form.
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Connection, number, server, tree, directory, authState, user,
                                   userId)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(DriveMapping, drive, connection, server, volume, path)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Capture, port, connection, queueId, queue)

namespace {

json toJson(const SessionState& s) {
    return {{"version", 1},
            {"nextConnection", s.nextConnection},
            {"primary", s.primary},
            {"connections", s.connections},
            {"drives", s.drives},
            {"captures", s.captures},
            {"defaultContexts", s.defaultContexts},
            {"preferredTree", s.preferredTree}};
}

// Every number of the session state is a count or an identifier: a whole
// number from 0 to 4294967295. Anything else (a sign, a fraction, 1e99) is
// damage, which the JSON library would otherwise convert without a word, or
// beyond the target's range with undefined behaviour. Walked without
// recursion, as a damaged file may nest arrays deeply.
void requireWholeNumbers(const json& document) {
    std::vector<const json*> todo{&document};
    while (!todo.empty()) {
        const json& j = *todo.back();
        todo.pop_back();
        if (j.is_number() && (!j.is_number_unsigned() || j.get<std::uint64_t>() > UINT32_MAX)) {
            throw std::runtime_error("the number " + j.dump() +
                                     " is no whole number from 0 to 4294967295");
        }
        if (j.is_structured())
            for (const json& item : j) todo.push_back(&item);
    }
}

SessionState fromJson(const json& j) {
    SessionState s;
    j.at("nextConnection").get_to(s.nextConnection);
    j.at("primary").get_to(s.primary);
    j.at("connections").get_to(s.connections);
    j.at("drives").get_to(s.drives);
    j.at("captures").get_to(s.captures);
    j.at("defaultContexts").get_to(s.defaultContexts);
    j.at("preferredTree").get_to(s.preferredTree);
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
        requireWholeNumbers(j);
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
