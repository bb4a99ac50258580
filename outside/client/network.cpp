// Reading and checking the network description.
#include "outside/client/network.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <system_error>

#include "kdtypes.h"
#include "outside/client/errors.h"
#include "outside/client/names.h"
#include "platform/process/paths.h"
#include "platform/text/casefold.h"

namespace outside::client {
namespace fs = std::filesystem;
using nlohmann::json;

const Volume* Server::findVolume(std::string_view volume) const {
    for (const Volume& v : volumes)
        if (sameName(v.name, volume)) return &v;
    return nullptr;
}

const BinderyObject* Server::findObject(uint32_t id) const {
    for (const BinderyObject& object : bindery)
        if (object.id == id) return &object;
    return nullptr;
}

namespace {

// Walks the JSON with the dotted path of the current field at hand, so that
// every complaint names exactly what is wrong.
class Reader {
public:
    explicit Reader(std::string origin) : origin_(std::move(origin)) {}

    [[noreturn]] void fail(const std::string& where, const std::string& what) const {
        throw ClientError(KD_ERR_CLIENT_UNAVAILABLE,
                          origin_ + ": " + (where.empty() ? "" : where + ": ") + what);
    }

    void onlyKeys(const json& object, const std::string& where,
                  std::initializer_list<std::string_view> allowed) const {
        if (!object.is_object()) fail(where, "must be an object");
        for (const auto& item : object.items()) {
            bool known = item.key() == "comment";
            for (std::string_view key : allowed) known = known || item.key() == key;
            if (!known) fail(where, "unknown field \"" + item.key() + "\"");
        }
    }

    std::string text(const json& object, const std::string& where, const char* key, bool required,
                     std::size_t maxLength) const {
        const auto it = object.find(key);
        if (it == object.end()) {
            if (required) fail(where, std::string("\"") + key + "\" is missing");
            return {};
        }
        if (!it->is_string()) fail(where + "." + key, "must be a string");
        std::string value = it->get<std::string>();
        if (required && value.empty()) fail(where + "." + key, "must not be empty");
        if (value.size() > maxLength)
            fail(where + "." + key, "is longer than " + std::to_string(maxLength) + " bytes");
        return value;
    }

    // A name that appears in paths and name forms: no separators of any kind.
    std::string plainName(const json& object, const std::string& where, const char* key,
                          bool required, std::size_t maxLength) const {
        std::string value = text(object, where, key, required, maxLength);
        if (value.find_first_of("\\/:.*?\"") != std::string::npos)
            fail(where + "." + key, "\"" + value + "\" holds a character not allowed in a name");
        if (!value.empty() && trimmed(value) != value)
            fail(where + "." + key, "\"" + value + "\" has surrounding blanks");
        return value;
    }

    int64_t integer(const json& object, const std::string& where, const char* key, int64_t low,
                    int64_t high) const {
        const auto it = object.find(key);
        if (it == object.end()) fail(where, std::string("\"") + key + "\" is missing");
        if (!it->is_number_integer()) fail(where + "." + key, "must be a whole number");
        const int64_t value = it->get<int64_t>();
        if (value < low || value > high)
            fail(where + "." + key,
                 "must be " + std::to_string(low) + " to " + std::to_string(high));
        return value;
    }

    std::vector<std::string> context(const json& object, const std::string& where) const {
        const std::string dotted = text(object, where, "context", false, 256);
        try {
            return dottedToPath(dotted);
        } catch (const ClientError&) {
            fail(where + ".context", "\"" + dotted + "\" is not a dotted directory name");
        }
    }

    const json& array(const json& object, const std::string& where, const char* key) const {
        static const json empty = json::array();
        const auto it = object.find(key);
        if (it == object.end()) return empty;
        if (!it->is_array()) fail(where.empty() ? key : where + "." + key, "must be an array");
        return *it;
    }

private:
    std::string origin_;
};

std::string at(const std::string& base, const char* key, std::size_t index) {
    return (base.empty() ? std::string() : base + ".") + key + "[" + std::to_string(index) + "]";
}

}  // namespace

Network Network::parse(std::string_view text, const fs::path& baseDir, const std::string& origin) {
    const Reader in(origin);
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {  // a parse error, or a number like 1e400
        in.fail("", std::string("not valid JSON (") + e.what() + ")");
    }
    in.onlyKeys(doc, "", {"servers", "trees", "accounts", "directory", "root", "primaryServer"});

    Network net;
    net.baseDir_ = baseDir;
    const std::string directory = in.text(doc, "", "directory", false, 4096);
    if (!directory.empty()) net.directory_ = baseDir / directory;
    const std::string root = in.text(doc, "", "root", false, 4096);
    if (!root.empty()) net.root_ = baseDir / root;

    const json& trees = in.array(doc, "", "trees");
    for (std::size_t i = 0; i < trees.size(); ++i) {
        const std::string where = at("", "trees", i);
        if (!trees[i].is_string()) in.fail(where, "must be a string");
        const std::string tree = trees[i].get<std::string>();
        if (tree.empty() || tree.size() > 32 || tree.find_first_of("\\/:.*?\"") != tree.npos)
            in.fail(where,
                    "\"" + tree + "\" is not a tree name (1 to 32 characters, no separators)");
        if (net.findTree(tree)) in.fail(where, "tree \"" + tree + "\" is declared twice");
        net.trees_.push_back(tree);
    }

    const json& servers = in.array(doc, "", "servers");
    for (std::size_t i = 0; i < servers.size(); ++i) {
        const std::string where = at("", "servers", i);
        const json& s = servers[i];
        in.onlyKeys(s, where, {"name", "version", "tree", "context", "volumes", "bindery"});
        Server server;
        server.name = in.plainName(s, where, "name", true, KD_MAX_SERVER_NAME - 1);
        if (net.findServer(server.name)) in.fail(where, "server \"" + server.name + "\" twice");
        server.version = static_cast<uint16_t>(in.integer(s, where, "version", 0, 65535));
        server.tree = in.plainName(s, where, "tree", false, KD_MAX_TREE_NAME - 1);
        server.context = in.context(s, where);
        if (!server.tree.empty()) {
            if (server.version < 4000)
                in.fail(where, "a directory server (with a tree) needs version 4000 or later");
            if (auto known = net.findTree(server.tree))
                server.tree = *known;
            else
                net.trees_.push_back(server.tree);
        } else if (!server.context.empty()) {
            in.fail(where, "a context needs a tree");
        }

        const json& volumes = in.array(s, where, "volumes");
        for (std::size_t v = 0; v < volumes.size(); ++v) {
            const std::string vwhere = at(where, "volumes", v);
            in.onlyKeys(volumes[v], vwhere, {"number", "name", "path"});
            Volume volume;
            volume.number = static_cast<uint16_t>(in.integer(volumes[v], vwhere, "number", 0, 63));
            volume.name = in.plainName(volumes[v], vwhere, "name", true, KD_MAX_VOLUME_NAME - 1);
            const std::string path = in.text(volumes[v], vwhere, "path", false, 4096);
            if (!path.empty()) volume.path = path;
            for (const Volume& other : server.volumes)
                if (other.number == volume.number || sameName(other.name, volume.name))
                    in.fail(vwhere, "volume number or name used twice on " + server.name);
            server.volumes.push_back(std::move(volume));
        }

        const json& bindery = in.array(s, where, "bindery");
        for (std::size_t b = 0; b < bindery.size(); ++b) {
            const std::string bwhere = at(where, "bindery", b);
            in.onlyKeys(bindery[b], bwhere, {"name", "type", "id", "context"});
            BinderyObject object;
            object.name = in.plainName(bindery[b], bwhere, "name", true, KD_MAX_OBJECT_NAME - 1);
            object.type = static_cast<uint16_t>(in.integer(bindery[b], bwhere, "type", 1, 0xFFFE));
            object.id =
                static_cast<uint32_t>(in.integer(bindery[b], bwhere, "id", 1, kFirstUserId - 1));
            object.inDirectory = bindery[b].contains("context");
            object.context = in.context(bindery[b], bwhere);
            if (object.inDirectory && server.tree.empty())
                in.fail(bwhere, "a context needs a server with a tree");
            if (server.findObject(object.id))
                in.fail(bwhere,
                        "object ID " + std::to_string(object.id) + " used twice on " + server.name);
            server.bindery.push_back(std::move(object));
        }
        net.servers_.push_back(std::move(server));
    }

    const json& accounts = in.array(doc, "", "accounts");
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        const std::string where = at("", "accounts", i);
        const json& a = accounts[i];
        in.onlyKeys(a, where, {"tree", "server", "user", "context", "password"});
        Account account;
        account.user = in.plainName(a, where, "user", true, KD_MAX_OBJECT_NAME - 1);
        if (!a.contains("password")) in.fail(where, "\"password\" is missing");
        account.password = in.text(a, where, "password", false, 256);
        const std::string tree = in.text(a, where, "tree", false, 64);
        const std::string server = in.text(a, where, "server", false, 64);
        if (tree.empty() == server.empty()) in.fail(where, "needs exactly one of tree and server");
        if (!tree.empty()) {
            const auto known = net.findTree(tree);
            if (!known) in.fail(where + ".tree", "no tree \"" + tree + "\" in this network");
            account.tree = *known;
            account.context = in.context(a, where);
            std::vector<std::string> full = account.context;
            full.push_back(account.user);
            // The login library hands the user's dotted name back in a buffer
            // of KD_MAX_DN bytes.
            if (pathToDotted(full).size() >= KD_MAX_DN)
                in.fail(where, "the user's dotted name is longer than " +
                                   std::to_string(KD_MAX_DN - 1) + " bytes");
        } else {
            const Server* s = net.findServer(server);
            if (!s) in.fail(where + ".server", "no server \"" + server + "\" in this network");
            if (a.contains("context")) in.fail(where, "a server account has no context");
            account.server = s->name;
        }
        net.accounts_.push_back(std::move(account));
    }

    const std::string primary = in.text(doc, "", "primaryServer", false, 64);
    if (!primary.empty()) {
        const Server* s = net.findServer(primary);
        if (!s) in.fail("primaryServer", "no server \"" + primary + "\" in this network");
        net.primaryServer_ = s->name;
    }
    return net;
}

Network Network::load(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw ClientError(KD_ERR_CLIENT_UNAVAILABLE,
                          file.string() + ": the network description cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str(), fs::absolute(file).parent_path(), file.string());
}

const Server* Network::findServer(std::string_view name) const {
    for (const Server& server : servers_)
        if (sameName(server.name, name)) return &server;
    return nullptr;
}

std::optional<std::string> Network::findTree(std::string_view tree) const {
    for (const std::string& known : trees_)
        if (sameName(known, tree)) return known;
    return std::nullopt;
}

fs::path Network::networkRoot() const {
    if (const char* env = std::getenv("UNC_ROOT"); env && *env) return env;
    if (!root_.empty()) return root_;
    return baseDir_ / "network";
}

std::optional<fs::path> Network::volumeDirectory(std::string_view serverName,
                                                 std::string_view volumeName) const {
    const Server* server = findServer(serverName);
    if (!server) return std::nullopt;
    const Volume* volume = server->findVolume(volumeName);
    if (!volume) return std::nullopt;
    const fs::path root = networkRoot();
    if (!volume->path.empty())
        return volume->path.is_absolute() ? volume->path : root / volume->path;
    // Folders on disk may be spelt in any case; names that do not exist keep
    // the network's own spelling.
    const fs::path serverDir =
        platform::process::findEntryIgnoringCase(root, server->name).value_or(root / server->name);
    return platform::process::findEntryIgnoringCase(serverDir, volume->name)
        .value_or(serverDir / volume->name);
}

std::shared_ptr<const Network> currentNetwork() {
    struct Cached {
        fs::path file;
        fs::file_time_type mtime;
        uintmax_t size = 0;
        std::shared_ptr<const Network> network;
    };
    static std::mutex mutex;
    static Cached cached;

    const char* env = std::getenv("KDCLIENT_NETWORK");
    if (!env || !*env) {
        static const auto empty = std::make_shared<const Network>();
        return empty;
    }
    const fs::path file = env;
    std::error_code ec;
    const auto mtime = fs::last_write_time(file, ec);
    const auto size = ec ? 0 : fs::file_size(file, ec);
    if (ec)
        throw ClientError(
            KD_ERR_CLIENT_UNAVAILABLE,
            file.string() + ": the network description cannot be read (" + ec.message() + ")");
    std::lock_guard lock(mutex);
    if (cached.network && cached.file == file && cached.mtime == mtime && cached.size == size)
        return cached.network;
    auto network = std::make_shared<const Network>(Network::load(file));
    cached = {file, mtime, size, network};
    return network;
}

}  // namespace outside::client
