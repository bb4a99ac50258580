// The client's operations on the network description and the session state.
#include "outside/client/session.h"

#include "kdtypes.h"
#include "outside/client/errors.h"
#include "outside/client/names.h"
#include "platform/process/paths.h"

namespace outside::client {
namespace fs = std::filesystem;

namespace {

std::vector<std::string> withLeaf(std::vector<std::string> path, const std::string& leaf) {
    path.push_back(leaf);
    return path;
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// "VOLUME:" or "VOLUME:DIR\SUB" split into the volume and the folders below
// it. ".." is refused: a mapping never leads out of its volume.
std::pair<std::string, std::vector<std::string>> splitVolumePath(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        throw ClientError(KD_ERR_INVALID_PATH,
                          inQuotes(text) + " is not a volume path (VOLUME: or VOLUME:DIR\\SUB)");
    std::vector<std::string> folders;
    std::string_view rest = text.substr(colon + 1);
    while (!rest.empty()) {
        const auto sep = rest.find_first_of("\\/");
        const std::string_view part = rest.substr(0, sep);
        if (part == ".." || part.find(':') != std::string_view::npos)
            throw ClientError(KD_ERR_INVALID_PATH, inQuotes(text) + " leaves its volume");
        if (!part.empty() && part != ".") folders.emplace_back(part);
        if (sep == std::string_view::npos) break;
        rest.remove_prefix(sep + 1);
    }
    return {std::string(text.substr(0, colon)), folders};
}

// A folder below base, each name matched without regard to case; nullopt when
// one of them does not exist or is no folder.
std::optional<fs::path> existingFolder(fs::path base, const std::vector<std::string>& names) {
    std::error_code ec;
    if (!fs::is_directory(base, ec)) return std::nullopt;
    for (const std::string& name : names) {
        auto next = platform::process::findEntryIgnoringCase(base, name);
        if (!next || !fs::is_directory(*next, ec)) return std::nullopt;
        base = *next;
    }
    return base;
}

}  // namespace

Client Client::current() {
    return Client(currentNetwork(), SessionStore::current());
}

Client::Client(std::shared_ptr<const Network> network, SessionStore store)
    : network_(std::move(network)), store_(std::move(store)) {}

Connection Client::connection(uint32_t number) const {
    const SessionState s = state();
    if (const Connection* c = s.findConnection(number)) return *c;
    throw ClientError(KD_ERR_INVALID_CONNECTION,
                      "connection " + std::to_string(number) + " is not open");
}

const Server& Client::serverOf(const Connection& connection) const {
    if (const Server* server = network_->findServer(connection.server)) return *server;
    throw ClientError(KD_ERR_NO_SUCH_OBJECT,
                      "server " + connection.server + " is no longer on the network");
}

std::optional<Connection> Client::connectionTo(std::string_view server) const {
    const SessionState s = state();
    if (const Connection* c = s.connectionTo(server)) return *c;
    return std::nullopt;
}

uint32_t Client::open(std::string_view serverName) const {
    const Server* server = network_->findServer(serverName);
    if (!server)
        throw ClientError(KD_ERR_NO_SUCH_OBJECT,
                          "no server " + inQuotes(serverName) + " on this network");
    return store_.update([&](SessionState& s) {
        if (const Connection* c = s.connectionTo(server->name)) return c->number;
        Connection c;
        c.server = server->name;
        c.tree = server->tree;
        c.directory = server->isDirectoryServer();
        return s.addConnection(std::move(c)).number;
    });
}

uint32_t Client::defaultConnection() const {
    {
        const SessionState s = state();
        if (s.findConnection(s.primary)) return s.primary;
        if (s.connections.empty() && network_->primaryServer().empty())
            throw ClientError(KD_ERR_NO_CONNECTION, "the session has no connection");
    }
    // Either the primary connection was closed (the first remaining one takes
    // over) or there is none yet: attach as a workstation does at start.
    const std::string primary = network_->primaryServer();
    const uint32_t number = store_.update([&](SessionState& s) -> uint32_t {
        if (s.findConnection(s.primary)) return s.primary;
        if (!s.connections.empty()) return s.primary = s.connections.front().number;
        return 0;
    });
    if (number) return number;
    if (primary.empty()) throw ClientError(KD_ERR_NO_CONNECTION, "the session has no connection");
    return open(primary);
}

void Client::close(uint32_t number) const {
    store_.update([&](SessionState& s) {
        if (!s.findConnection(number))
            throw ClientError(KD_ERR_INVALID_CONNECTION,
                              "connection " + std::to_string(number) + " is not open");
        s.removeConnection(number);
    });
}

const Account& Client::treeAccount(const std::string& tree, std::string_view name,
                                   std::string_view context) const {
    std::vector<const Account*> candidates;
    for (const Account& a : network_->accounts())
        if (a.tree == tree) candidates.push_back(&a);
    const auto fullNameIs = [&](const std::vector<std::string>& wanted) -> const Account* {
        for (const Account* a : candidates)
            if (samePath(withLeaf(a->context, a->user), wanted)) return a;
        return nullptr;
    };

    const std::string given = trimmed(name);
    const Account* found = nullptr;
    if (given.find('.') != std::string::npos) {
        found = fullNameIs(dottedToPath(given));
    } else if (!trimmed(context).empty()) {
        found = fullNameIs(withLeaf(dottedToPath(context), given));
    } else {
        if (auto ctx = state().defaultContext(tree))
            found = fullNameIs(withLeaf(dottedToPath(*ctx), given));
        if (!found) {
            // Without a context a user name that only one account has will do.
            int matches = 0;
            for (const Account* a : candidates)
                if (sameName(a->user, given)) found = (++matches == 1) ? a : nullptr;
        }
    }
    if (!found)
        throw ClientError(KD_ERR_NO_SUCH_ENTRY,
                          "no user " + inQuotes(given) +
                              (trimmed(context).empty() ? "" : " in context " + inQuotes(context)) +
                              " in tree " + tree);
    return *found;
}

LoginOutcome Client::authenticate(const Server* server, const std::string& tree, uint32_t authState,
                                  std::string user) const {
    return store_.update([&](SessionState& s) {
        Connection* target = nullptr;
        if (server) {
            for (Connection& c : s.connections)
                if (sameName(c.server, server->name)) target = &c;
        } else {
            // A tree login takes a connection the tree already has, the primary
            // one first, and attaches to the tree's first server otherwise.
            for (Connection& c : s.connections)
                if (!target && c.tree == tree) target = &c;
            if (Connection* p = s.findConnection(s.primary); p && p->tree == tree) target = p;
            if (!target)
                for (const Server& candidate : network_->servers())
                    if (candidate.tree == tree) {
                        server = &candidate;
                        break;
                    }
        }
        if (!target) {
            Connection c;
            c.server = server->name;
            c.tree = server->tree;
            c.directory = server->isDirectoryServer();
            target = &s.addConnection(std::move(c));
        }
        target->authState = authState;
        target->user = user;
        target->userId = kFirstUserId + target->number;
        if (authState == 2) {
            if (s.preferredTree.empty()) s.preferredTree = tree;
            if (!s.defaultContext(tree)) {
                auto path = dottedToPath(user);
                path.pop_back();
                s.setDefaultContext(tree, pathToDotted(path));
            }
        }
        return LoginOutcome{target->number, server ? std::string() : tree, target->server, user};
    });
}

LoginOutcome Client::loginTree(std::string_view treeGiven, std::string_view name,
                               std::string_view password, std::string_view context) const {
    const auto tree = network_->findTree(treeGiven);
    if (!tree)
        throw ClientError(KD_ERR_NO_SUCH_TREE,
                          "no tree " + inQuotes(treeGiven) + " on this network");
    bool reachable = false;
    for (const Server& s : network_->servers()) reachable = reachable || s.tree == *tree;
    if (!reachable)
        throw ClientError(KD_ERR_NO_CONNECTION, "no server of tree " + *tree + " can be reached");
    const Account& account = treeAccount(*tree, name, context);
    if (account.password != password)
        throw ClientError(KD_ERR_BAD_PASSWORD, "wrong password for " + account.user);
    LoginOutcome outcome =
        authenticate(nullptr, *tree, 2, pathToDotted(withLeaf(account.context, account.user)));
    outcome.tree = *tree;
    return outcome;
}

LoginOutcome Client::loginServer(std::string_view serverName, std::string_view name,
                                 std::string_view password, std::string_view context,
                                 bool bindery) const {
    const Server* server = network_->findServer(serverName);
    if (!server)
        throw ClientError(KD_ERR_NO_SUCH_OBJECT,
                          "no server " + inQuotes(serverName) + " on this network");
    if (!bindery && server->isDirectoryServer()) {
        const Account& account = treeAccount(server->tree, name, context);
        if (account.password != password)
            throw ClientError(KD_ERR_BAD_PASSWORD, "wrong password for " + account.user);
        return authenticate(server, server->tree, 2,
                            pathToDotted(withLeaf(account.context, account.user)));
    }
    for (const Account& a : network_->accounts())
        if (a.server == server->name && sameName(a.user, trimmed(name))) {
            if (a.password != password)
                throw ClientError(KD_ERR_BAD_PASSWORD, "wrong password for " + a.user);
            return authenticate(server, server->tree, 1, a.user);
        }
    throw ClientError(KD_ERR_NO_SUCH_ENTRY,
                      "no bindery user " + inQuotes(trimmed(name)) + " on " + server->name);
}

void Client::logoutTree(std::string_view treeGiven) const {
    const std::string tree = treeName(treeGiven);
    store_.update([&](SessionState& s) {
        std::vector<uint32_t> closing;
        for (const Connection& c : s.connections)
            if (c.tree == tree && c.authState == 2) closing.push_back(c.number);
        if (closing.empty())
            throw ClientError(KD_ERR_NOT_AUTHENTICATED, "nobody is logged in to tree " + tree);
        for (uint32_t number : closing) s.removeConnection(number);
    });
}

void Client::mapDrive(uint16_t drive, uint32_t number, std::string_view volumePath) const {
    if (drive < 1 || drive > 26)
        throw ClientError(KD_ERR_INVALID_DRIVE,
                          "drive " + std::to_string(drive) + " is not 1 to 26");
    const Server& server = serverOf(connection(number));
    auto [volumeName, folders] = splitVolumePath(volumePath);
    const Volume* volume = server.findVolume(volumeName);
    if (!volume)
        throw ClientError(KD_ERR_INVALID_VOLUME,
                          server.name + " has no volume " + inQuotes(volumeName));
    const auto root = network_->volumeDirectory(server.name, volume->name);
    if (!existingFolder(*root, folders))
        throw ClientError(KD_ERR_INVALID_PATH, inQuotes(volumePath) + " does not exist on " +
                                                   server.name + " (" + root->string() + ")");
    DriveMapping mapping{drive, number, server.name, volume->name, std::move(folders)};
    // A drive whose path the drive status could not give back would be
    // mapped but missing from every list of drives.
    if (const std::string full = mapping.fullPath(); full.size() + 1 > KD_MAX_PATH)
        throw ClientError(KD_ERR_INVALID_PATH, inQuotes(volumePath) + " on " + server.name +
                                                   " is " + std::to_string(full.size()) +
                                                   " characters as a full path; a drive's path "
                                                   "has at most " +
                                                   std::to_string(KD_MAX_PATH - 1));
    store_.update([&](SessionState& s) {
        if (!s.findConnection(number))
            throw ClientError(KD_ERR_INVALID_CONNECTION,
                              "connection " + std::to_string(number) + " is not open");
        s.putDrive(mapping);
    });
}

void Client::deleteDrive(uint16_t drive) const {
    if (drive < 1 || drive > 26)
        throw ClientError(KD_ERR_INVALID_DRIVE,
                          "drive " + std::to_string(drive) + " is not 1 to 26");
    store_.update([&](SessionState& s) {
        if (!s.removeDrive(drive))
            throw ClientError(
                KD_ERR_DRIVE_NOT_MAPPED,
                std::string(1, static_cast<char>('A' + drive - 1)) + ": is not mapped");
    });
}

void Client::startCapture(uint32_t number, uint16_t port, uint32_t queueId,
                          std::string_view queueName) const {
    if (port < 1 || port > 9)
        throw ClientError(KD_ERR_INVALID_PORT, "port " + std::to_string(port) + " is not 1 to 9");
    const Server& server = serverOf(connection(number));
    const BinderyObject* queue = server.findObject(queueId);
    if (!queue)
        throw ClientError(KD_ERR_NO_SUCH_OBJECT,
                          server.name + " has no object " + std::to_string(queueId));
    if (queue->type != KD_OBJECT_TYPE_QUEUE)
        throw ClientError(KD_ERR_NO_QUEUE,
                          queue->name + " on " + server.name + " is no print queue");
    if (!queueName.empty() && !sameName(queueName, queue->name))
        throw ClientError(KD_ERR_INVALID_PARAMETER, "queue " + std::to_string(queueId) + " is " +
                                                        queue->name + ", not " +
                                                        inQuotes(queueName));
    store_.update([&](SessionState& s) {
        if (!s.findConnection(number))
            throw ClientError(KD_ERR_INVALID_CONNECTION,
                              "connection " + std::to_string(number) + " is not open");
        s.putCapture({port, number, queueId, queue->name});
    });
}

void Client::endCapture(uint16_t port) const {
    if (port < 1 || port > 9)
        throw ClientError(KD_ERR_INVALID_PORT, "port " + std::to_string(port) + " is not 1 to 9");
    store_.update([&](SessionState& s) {
        if (!s.removeCapture(port))
            throw ClientError(KD_ERR_PORT_NOT_CAPTURED,
                              "LPT" + std::to_string(port) + " is not captured");
    });
}

std::optional<fs::path> Client::driveDirectory(uint16_t drive) const {
    const SessionState s = state();
    const DriveMapping* mapping = s.findDrive(drive);
    if (!mapping) return std::nullopt;
    const auto root = network_->volumeDirectory(mapping->server, mapping->volume);
    if (!root) return std::nullopt;
    if (auto folder = existingFolder(*root, mapping->path)) return folder;
    // The folder went away after mapping: name it as mapped, the caller's
    // file call then reports it missing.
    fs::path path = *root;
    for (const std::string& name : mapping->path) path /= name;
    return path;
}

const DirectoryView* Client::directory() const {
    if (!directoryOpened_) {
        directory_ = directoryOf(*network_);
        directoryOpened_ = true;
    }
    return directory_.get();
}

std::string Client::treeName(std::string_view tree) const {
    if (auto known = network_->findTree(tree)) return *known;
    if (const DirectoryView* dir = directory())
        if (auto known = dir->findTree(tree)) return *known;
    throw ClientError(KD_ERR_NO_SUCH_TREE, "no tree " + inQuotes(tree));
}

std::vector<std::string> Client::serverPath(const Server& server) {
    return withLeaf(server.context, server.name);
}

std::string Client::className(std::string_view treeGiven,
                              const std::vector<std::string>& path) const {
    const std::string tree = treeName(treeGiven);
    if (path.empty()) return std::string(kTreeRootClass);
    for (const Server& server : network_->servers()) {
        if (server.tree != tree) continue;
        if (samePath(serverPath(server), path)) return std::string(kServerClass);
        for (const BinderyObject& object : server.bindery)
            if (object.inDirectory && object.type == KD_OBJECT_TYPE_QUEUE &&
                samePath(withLeaf(object.context, object.name), path))
                return std::string(kQueueClass);
    }
    if (const DirectoryView* dir = directory())
        if (auto cls = dir->className(tree, path)) return *cls;
    throw ClientError(KD_ERR_NO_SUCH_ENTRY, "no object " + pathToDotted(path) + " in tree " + tree);
}

std::vector<DirectoryChild> Client::children(std::string_view treeGiven,
                                             const std::vector<std::string>& path) const {
    const std::string tree = treeName(treeGiven);
    className(tree, path);  // throws for an object that does not exist
    std::vector<DirectoryChild> found;
    if (const DirectoryView* dir = directory())
        if (auto listed = dir->children(tree, path)) found = std::move(*listed);
    const auto add = [&](const std::string& name, std::string_view cls) {
        for (const DirectoryChild& child : found)
            if (sameName(child.name, name)) return;
        found.push_back({name, std::string(cls)});
    };
    for (const Server& server : network_->servers()) {
        if (server.tree != tree) continue;
        if (samePath(server.context, path)) add(server.name, kServerClass);
        for (const BinderyObject& object : server.bindery)
            if (object.inDirectory && object.type == KD_OBJECT_TYPE_QUEUE &&
                samePath(object.context, path))
                add(object.name, kQueueClass);
    }
    return found;
}

std::pair<const Server*, const BinderyObject*> Client::queueByName(
    std::string_view treeGiven, const std::vector<std::string>& path) const {
    const std::string tree = treeName(treeGiven);
    for (const Server& server : network_->servers()) {
        if (server.tree != tree) continue;
        for (const BinderyObject& object : server.bindery)
            if (object.inDirectory && object.type == KD_OBJECT_TYPE_QUEUE &&
                samePath(withLeaf(object.context, object.name), path))
                return {&server, &object};
    }
    const std::string cls = className(tree, path);
    throw ClientError(KD_ERR_NO_QUEUE, pathToDotted(path) + " is a " + cls + ", no print queue");
}

std::vector<std::string> Client::treeAnnouncements() const {
    std::vector<std::string> trees;
    for (const Server& server : network_->servers())
        if (server.isDirectoryServer()) trees.push_back(server.tree);
    for (const std::string& tree : network_->trees()) {
        bool announced = false;
        for (const std::string& t : trees) announced = announced || t == tree;
        if (!announced) trees.push_back(tree);
    }
    return trees;
}

void Client::setPreferredTree(std::string_view treeGiven) const {
    // An empty name forgets the choice: new contexts then start without a tree.
    const std::string tree = trimmed(treeGiven).empty() ? std::string() : treeName(treeGiven);
    store_.update([&](SessionState& s) { s.preferredTree = tree; });
}

void Client::setDefaultContext(std::string_view treeGiven, std::string_view dotted) const {
    const std::string tree = treeName(treeGiven);
    const auto path = dottedToPath(dotted);
    className(tree, path);  // the container must exist
    store_.update([&](SessionState& s) { s.setDefaultContext(tree, pathToDotted(path)); });
}

}  // namespace outside::client
