// The operations of the client on the network description and the shared
// session state: connections, logins, drive mappings, captured ports and the
// directory as the client sees it (the directory data with the network's
// servers and print queues placed in their containers). The C interface, the
// kdclient tool and the login library all work through this class.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outside/client/directoryview.h"
#include "outside/client/network.h"
#include "outside/client/state.h"

namespace outside::client {

// Classes that the client gives the network's own objects in the directory.
inline constexpr std::string_view kServerClass = "KXP Server";
inline constexpr std::string_view kQueueClass = "Queue";
inline constexpr std::string_view kTreeRootClass = "Top";

struct LoginOutcome {
    uint32_t connection = 0;
    std::string tree;    // set for a tree login
    std::string server;  // the server logged in to (also for a tree login)
    std::string user;    // bindery name or dotted directory name
};

class Client {
public:
    // The network of KDCLIENT_NETWORK and the session of KDCLIENT_STATE.
    static Client current();
    Client(std::shared_ptr<const Network> network, SessionStore store);

    const Network& network() const { return *network_; }
    const SessionStore& store() const { return store_; }
    SessionState state() const { return store_.read(); }

    // Connections. Errors: KD_ERR_INVALID_CONNECTION, KD_ERR_NO_SUCH_OBJECT.
    Connection connection(uint32_t number) const;
    const Server& serverOf(const Connection& connection) const;
    std::optional<Connection> connectionTo(std::string_view server) const;
    // The open connection to a server, or a new unauthenticated one.
    uint32_t open(std::string_view server) const;
    // The primary connection; attaches to the network's primary server when
    // there is no connection at all. KD_ERR_NO_CONNECTION otherwise.
    uint32_t defaultConnection() const;
    void close(uint32_t number) const;

    // Logins check the accounts of the network description. A tree login
    // authenticates a connection to a server of the tree; a server login one
    // to that server, through the directory unless bindery is set or the
    // server has no tree. name may be dotted ("admin.Acme"); else context (or
    // the tree's default context) completes it. Errors: KD_ERR_NO_SUCH_TREE,
    // KD_ERR_NO_SUCH_OBJECT (server), KD_ERR_NO_SUCH_ENTRY (user),
    // KD_ERR_BAD_PASSWORD, KD_ERR_NO_CONNECTION (a tree without servers).
    LoginOutcome loginTree(std::string_view tree, std::string_view name, std::string_view password,
                           std::string_view context) const;
    LoginOutcome loginServer(std::string_view server, std::string_view name,
                             std::string_view password, std::string_view context,
                             bool bindery) const;
    // Closes every connection authenticated to the tree.
    void logoutTree(std::string_view tree) const;

    // Drive mappings and captured ports (see kdserv.h for the rules).
    void mapDrive(uint16_t drive, uint32_t connection, std::string_view volumePath) const;
    void deleteDrive(uint16_t drive) const;
    void startCapture(uint32_t connection, uint16_t port, uint32_t queueId,
                      std::string_view queueName) const;
    void endCapture(uint16_t port) const;
    // The local folder a mapped drive stands for; nullopt when not mapped.
    std::optional<std::filesystem::path> driveDirectory(uint16_t drive) const;

    // The directory. Paths run from the tree root down.
    std::string treeName(std::string_view tree) const;  // own spelling; KD_ERR_NO_SUCH_TREE
    std::string className(std::string_view tree, const std::vector<std::string>& path) const;
    std::vector<DirectoryChild> children(std::string_view tree,
                                         const std::vector<std::string>& path) const;
    // A print queue by its directory name; KD_ERR_NO_QUEUE for another object.
    std::pair<const Server*, const BinderyObject*> queueByName(
        std::string_view tree, const std::vector<std::string>& path) const;
    // Where a directory server sits in its tree, itself included.
    static std::vector<std::string> serverPath(const Server& server);
    // One tree per directory server, then the trees no server announces.
    std::vector<std::string> treeAnnouncements() const;

    // "" forgets the preferred tree.
    void setPreferredTree(std::string_view tree) const;
    void setDefaultContext(std::string_view tree, std::string_view dotted) const;

private:
    const DirectoryView* directory() const;
    const Account& treeAccount(const std::string& tree, std::string_view name,
                               std::string_view context) const;
    LoginOutcome authenticate(const Server* server, const std::string& tree, uint32_t authState,
                              std::string user) const;

    std::shared_ptr<const Network> network_;
    SessionStore store_;
    mutable std::shared_ptr<const DirectoryView> directory_;
    mutable bool directoryOpened_ = false;
};

}  // namespace outside::client
