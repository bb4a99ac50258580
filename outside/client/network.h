// The network description: servers with their version, tree, directory
// context, volumes and bindery objects, the trees, and the accounts that
// logins are checked against. Read from the JSON file named by
// KDCLIENT_NETWORK (see README.md for the format); read-only once loaded.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace outside::client {

struct Volume {
    uint16_t number = 0;  // 0 to 63
    std::string name;
    std::filesystem::path path;  // empty: <network root>/<SERVER>/<VOLUME>
};

struct BinderyObject {
    std::string name;
    uint16_t type = 0;
    uint32_t id = 0;
    std::vector<std::string> context;  // its container in the server's tree, root first
    bool inDirectory = false;          // whether it has a directory name at all
};

struct Server {
    std::string name;
    uint16_t version = 0;
    std::string tree;                  // empty: no directory server
    std::vector<std::string> context;  // its container in the tree, root first
    std::vector<Volume> volumes;
    std::vector<BinderyObject> bindery;

    bool isDirectoryServer() const { return !tree.empty(); }
    const Volume* findVolume(std::string_view volume) const;
    const BinderyObject* findObject(uint32_t id) const;
};

// A tree account (tree set: a directory user with its context) or a bindery
// account of one server (server set).
struct Account {
    std::string tree;
    std::string server;
    std::string user;
    std::vector<std::string> context;  // root first
    std::string password;
};

// Object IDs from here up belong to logged-in users (one per connection); the
// description may not use them.
constexpr uint32_t kFirstUserId = 0x7F000000;

class Network {
public:
    // Parses a description; relative paths in it are taken from baseDir.
    // Throws ClientError(KD_ERR_CLIENT_UNAVAILABLE) naming origin and the
    // offending field.
    static Network parse(std::string_view json, const std::filesystem::path& baseDir,
                         const std::string& origin);
    static Network load(const std::filesystem::path& file);

    const std::vector<Server>& servers() const { return servers_; }
    const std::vector<Account>& accounts() const { return accounts_; }
    const Server* findServer(std::string_view name) const;

    // Trees in the order the description declares them, then those that only
    // servers name.
    const std::vector<std::string>& trees() const { return trees_; }
    // The tree's own spelling, or nullopt when the network has no such tree.
    std::optional<std::string> findTree(std::string_view tree) const;

    // The server a workstation attaches to first; empty when none is named.
    const std::string& primaryServer() const { return primaryServer_; }
    // The LDIF source of the directory named by the description; empty if none.
    const std::filesystem::path& directorySource() const { return directory_; }

    // $UNC_ROOT when set, else the description's "root", else the folder
    // "network" beside the description.
    std::filesystem::path networkRoot() const;
    // Where a volume's files are (which need not exist), or nullopt when the
    // network has no such server or volume. Names are matched ignoring case.
    std::optional<std::filesystem::path> volumeDirectory(std::string_view server,
                                                         std::string_view volume) const;

private:
    std::vector<Server> servers_;
    std::vector<Account> accounts_;
    std::vector<std::string> trees_;
    std::string primaryServer_;
    std::filesystem::path directory_;
    std::filesystem::path root_;
    std::filesystem::path baseDir_;
};

// The description named by KDCLIENT_NETWORK, loaded once and again whenever
// the file changes; an empty network when the variable is not set.
std::shared_ptr<const Network> currentNetwork();

}  // namespace outside::client
