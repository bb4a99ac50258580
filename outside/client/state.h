// The session state that every process of the user shares: connections,
// drive mappings, captured ports, default name contexts and the preferred
// tree. It is one JSON file (KDCLIENT_STATE); every change reads, changes and
// replaces it under an exclusive lock on a lock file beside it, and the file
// is replaced by an atomic rename, so readers never see half a file and
// concurrent writers never lose each other's changes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace outside::client {

struct Connection {
    uint32_t number = 0;
    std::string server;
    std::string tree;  // the server's tree, empty for a server without one
    bool directory = false;
    uint32_t authState = 0;  // 0 none, 1 bindery, 2 directory
    std::string user;        // bindery name or dotted directory name
    uint32_t userId = 0;
};

struct DriveMapping {
    uint16_t drive = 0;  // 1 (A) to 26 (Z)
    uint32_t connection = 0;
    std::string server;
    std::string volume;
    std::vector<std::string> path;  // below the volume's root

    // "\\SERVER\VOLUME\DIR\SUB", the form a drive's status reports.
    std::string fullPath() const;
};

struct Capture {
    uint16_t port = 0;  // 1 to 9
    uint32_t connection = 0;
    uint32_t queueId = 0;
    std::string queue;
};

struct SessionState {
    uint32_t nextConnection = 1;
    uint32_t primary = 0;                 // the primary connection, 0 when none
    std::vector<Connection> connections;  // by number
    std::vector<DriveMapping> drives;     // by drive
    std::vector<Capture> captures;        // by port
    std::vector<std::pair<std::string, std::string>> defaultContexts;  // tree, dotted context
    std::string preferredTree;

    Connection* findConnection(uint32_t number);
    const Connection* findConnection(uint32_t number) const;
    const Connection* connectionTo(std::string_view server) const;
    // Adds a connection with the next number (primary when there is none) and
    // answers it.
    Connection& addConnection(Connection connection);
    // Removes a connection with its drive mappings and captures.
    void removeConnection(uint32_t number);

    const DriveMapping* findDrive(uint16_t drive) const;
    void putDrive(DriveMapping mapping);
    bool removeDrive(uint16_t drive);

    const Capture* findCapture(uint16_t port) const;
    void putCapture(Capture capture);
    bool removeCapture(uint16_t port);

    std::optional<std::string> defaultContext(std::string_view tree) const;
    void setDefaultContext(const std::string& tree, const std::string& context);
};

class SessionStore {
public:
    explicit SessionStore(std::filesystem::path file);
    // KDCLIENT_STATE, else $XDG_RUNTIME_DIR/kdclient/session.json, else
    // $HOME/.kdclient/session.json.
    static std::filesystem::path defaultPath();
    static SessionStore current() { return SessionStore(defaultPath()); }

    const std::filesystem::path& file() const { return file_; }

    // A consistent snapshot; an empty state when the file does not exist.
    // Throws ClientError(KD_ERR_CLIENT_UNAVAILABLE) for a damaged file.
    SessionState read() const;

    // Runs change on the current state under the lock and stores the result,
    // unless change throws (then nothing is stored). Answers what change does.
    template <typename Change>
    auto update(Change&& change) const {
        using Result = std::invoke_result_t<Change&, SessionState&>;
        if constexpr (std::is_void_v<Result>) {
            apply([&](SessionState& state) { change(state); });
        } else {
            std::optional<Result> result;
            apply([&](SessionState& state) { result.emplace(change(state)); });
            return std::move(*result);
        }
    }

    // Empties the state, whatever the file held (even a damaged one).
    void reset() const;

private:
    void apply(const std::function<void(SessionState&)>& change) const;
    std::filesystem::path file_;
};

}  // namespace outside::client
