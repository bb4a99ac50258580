// The directory services of the C interface: contexts live in this process,
// everything else comes from the client's session and directory.
#include "kddirs.h"

#include <cstring>
#include <map>
#include <mutex>

#include "outside/client/errors.h"
#include "outside/client/names.h"
#include "outside/client/session.h"

using namespace outside::client;

namespace {

struct Context {
    uint32_t flags = KD_CTX_FLAG_CANONICALIZE | KD_CTX_FLAG_LOCAL_CACHE;
    uint32_t mode = 0;
    std::string tree;
    std::string nameContext = "[Root]";
};

std::mutex g_mutex;
std::map<KDCONTEXT, Context> g_contexts;
KDCONTEXT g_nextContext = 1;

Context contextOf(KDCONTEXT ctx) {
    std::lock_guard lock(g_mutex);
    const auto it = g_contexts.find(ctx);
    if (it == g_contexts.end())
        throw ClientError(KD_ERR_BAD_CONTEXT, "context " + std::to_string(ctx) + " does not exist");
    return it->second;
}

template <typename Change>
void changeContext(KDCONTEXT ctx, Change&& change) {
    std::lock_guard lock(g_mutex);
    const auto it = g_contexts.find(ctx);
    if (it == g_contexts.end())
        throw ClientError(KD_ERR_BAD_CONTEXT, "context " + std::to_string(ctx) + " does not exist");
    change(it->second);
}

std::string treeOf(const Context& c) {
    if (c.tree.empty()) throw ClientError(KD_ERR_NO_SUCH_TREE, "the context names no tree");
    return c.tree;
}

// An object name of a call, or the context's own name context.
std::vector<std::string> objectPath(const Context& c, const char* name) {
    return dottedToPath(name && *name ? std::string(name) : c.nameContext);
}

}  // namespace

extern "C" {

KDRESULT kddirs_create_context(KDCONTEXT* ctx) {
    return guarded([&] {
        if (!ctx) throw ClientError(KD_ERR_INVALID_PARAMETER, "no place for the context");
        const SessionState s = Client::current().state();
        Context c;
        c.tree = s.preferredTree;
        if (auto dflt = s.defaultContext(c.tree)) c.nameContext = *dflt;
        std::lock_guard lock(g_mutex);
        *ctx = g_nextContext++;
        g_contexts.emplace(*ctx, std::move(c));
    });
}

KDRESULT kddirs_free_context(KDCONTEXT ctx) {
    return guarded([&] {
        std::lock_guard lock(g_mutex);
        if (g_contexts.erase(ctx) == 0)
            throw ClientError(KD_ERR_BAD_CONTEXT,
                              "context " + std::to_string(ctx) + " does not exist");
    });
}

KDRESULT kddirs_get_context(KDCONTEXT ctx, uint32_t key, void* value) {
    return guarded([&] {
        const Context c = contextOf(ctx);
        if (!value) throw ClientError(KD_ERR_INVALID_PARAMETER, "no place for the value");
        switch (key) {
            case KD_CTX_KEY_FLAGS:
                std::memcpy(value, &c.flags, sizeof c.flags);
                return;
            case KD_CTX_KEY_MODE:
                std::memcpy(value, &c.mode, sizeof c.mode);
                return;
            case KD_CTX_KEY_NAME_CONTEXT:
                copyOut(c.nameContext, static_cast<char*>(value), KD_MAX_DN);
                return;
            case KD_CTX_KEY_TREE_NAME:
                copyOut(c.tree, static_cast<char*>(value), KD_MAX_TREE_NAME);
                return;
            default:
                throw ClientError(KD_ERR_INVALID_PARAMETER, "context key " + std::to_string(key));
        }
    });
}

KDRESULT kddirs_set_context(KDCONTEXT ctx, uint32_t key, const void* value) {
    return guarded([&] {
        if (!value) throw ClientError(KD_ERR_INVALID_PARAMETER, "no value given");
        std::string text;
        if (key == KD_CTX_KEY_NAME_CONTEXT) {
            text = trimmed(static_cast<const char*>(value));
            if (text.size() >= KD_MAX_DN)
                throw ClientError(KD_ERR_INVALID_NAME, "the name context is too long");
            text = pathToDotted(dottedToPath(text));
        } else if (key == KD_CTX_KEY_TREE_NAME) {
            text = trimmed(static_cast<const char*>(value));
            if (text.size() >= KD_MAX_TREE_NAME || text.find_first_of("\\.") != std::string::npos)
                throw ClientError(KD_ERR_INVALID_NAME, "\"" + text + "\" is not a tree name");
        } else if (key != KD_CTX_KEY_FLAGS && key != KD_CTX_KEY_MODE) {
            throw ClientError(KD_ERR_INVALID_PARAMETER, "context key " + std::to_string(key));
        }
        changeContext(ctx, [&](Context& c) {
            if (key == KD_CTX_KEY_FLAGS) std::memcpy(&c.flags, value, sizeof c.flags);
            if (key == KD_CTX_KEY_MODE) std::memcpy(&c.mode, value, sizeof c.mode);
            if (key == KD_CTX_KEY_NAME_CONTEXT) c.nameContext = text;
            if (key == KD_CTX_KEY_TREE_NAME) c.tree = text;
        });
    });
}

KDRESULT kddirs_read_base_class(KDCONTEXT ctx, const char* objectName,
                                char className[KD_MAX_CLASS_NAME]) {
    return guarded([&] {
        const Context c = contextOf(ctx);
        const std::string cls = Client::current().className(treeOf(c), objectPath(c, objectName));
        copyOut(cls, className, KD_MAX_CLASS_NAME);
    });
}

KDRESULT kddirs_get_default_name_context(KDCONTEXT ctx, size_t size, char* nameContext) {
    return guarded([&] {
        const Context c = contextOf(ctx);
        const Client client = Client::current();
        const auto dflt = client.state().defaultContext(client.treeName(treeOf(c)));
        copyOut(dflt.value_or("[Root]"), nameContext, size);
    });
}

KDRESULT kddirs_set_default_name_context(KDCONTEXT ctx, const char* nameContext) {
    return guarded([&] {
        const Context c = contextOf(ctx);
        Client::current().setDefaultContext(treeOf(c), argument(nameContext, "name context"));
    });
}

KDRESULT kddirs_set_preferred_tree(const char* treeName) {
    return guarded([&] { Client::current().setPreferredTree(argument(treeName, "tree name")); });
}

KDRESULT kddirs_whoami(KDCONTEXT ctx, char userName[KD_MAX_DN]) {
    return guarded([&] {
        const Context c = contextOf(ctx);
        const Client client = Client::current();
        const std::string tree = client.treeName(treeOf(c));
        for (const Connection& conn : client.state().connections)
            if (conn.authState == 2 && conn.tree == tree) {
                copyOut(conn.user, userName, KD_MAX_DN);
                return;
            }
        throw ClientError(KD_ERR_NOT_AUTHENTICATED, "nobody is logged in to tree " + tree);
    });
}

KDRESULT kddirs_id_to_name(KDCONTEXT ctx, KDCONNHANDLE conn, KDOBJECTID id, char name[KD_MAX_DN]) {
    return guarded([&] {
        contextOf(ctx);
        const Client client = Client::current();
        const Connection c = client.connection(conn);
        if (c.authState == 2 && c.userId == id) {
            copyOut(c.user, name, KD_MAX_DN);
            return;
        }
        const Server& server = client.serverOf(c);
        const BinderyObject* object = server.findObject(id);
        if (!object || !object->inDirectory)
            throw ClientError(KD_ERR_NO_SUCH_ENTRY, "object " + std::to_string(id) + " of " +
                                                        server.name + " has no directory name");
        std::vector<std::string> path = object->context;
        path.push_back(object->name);
        copyOut(pathToDotted(path), name, KD_MAX_DN);
    });
}

KDRESULT kddirs_server_name(KDCONTEXT ctx, KDCONNHANDLE conn, char name[KD_MAX_DN]) {
    return guarded([&] {
        contextOf(ctx);
        const Client client = Client::current();
        const Server& server = client.serverOf(client.connection(conn));
        if (!server.isDirectoryServer())
            throw ClientError(KD_ERR_NO_SUCH_ENTRY, server.name + " is not in a directory");
        copyOut(pathToDotted(Client::serverPath(server)), name, KD_MAX_DN);
    });
}

KDRESULT kddirs_connected_trees(KDCONTEXT ctx, uint32_t capacity, uint32_t* count,
                                char (*trees)[KD_MAX_TREE_NAME]) {
    return guarded([&] {
        contextOf(ctx);
        if (!count || (capacity && !trees))
            throw ClientError(KD_ERR_INVALID_PARAMETER, "no place for the trees");
        std::vector<std::string> found;
        for (const Connection& c : Client::current().state().connections) {
            if (c.tree.empty()) continue;
            bool known = false;
            for (const std::string& t : found) known = known || sameName(t, c.tree);
            if (!known) found.push_back(c.tree);
        }
        *count = 0;
        for (const std::string& tree : found) {
            if (*count == capacity) break;
            copyOut(tree, trees[*count], KD_MAX_TREE_NAME);
            ++*count;
        }
    });
}

KDRESULT kddirs_scan_trees(KDCONNHANDLE conn, const char* pattern, int32_t* cursor,
                           char tree[KD_MAX_TREE_NAME]) {
    return guarded([&] {
        const std::string wanted = argument(pattern, "pattern");
        if (!cursor || *cursor < -1) throw ClientError(KD_ERR_INVALID_PARAMETER, "bad cursor");
        const Client client = Client::current();
        client.connection(conn);
        const std::vector<std::string> trees = client.treeAnnouncements();
        for (std::size_t i = static_cast<std::size_t>(*cursor + 1); i < trees.size(); ++i)
            if (matchesPattern(wanted, trees[i])) {
                copyOut(trees[i], tree, KD_MAX_TREE_NAME);
                *cursor = static_cast<int32_t>(i);
                return;
            }
        throw ClientError(KD_ERR_NO_MORE_ENTRIES, "no more trees");
    });
}

KDRESULT kddirs_resolve_queue(KDCONTEXT ctx, const char* queueName, KDCONNHANDLE* conn,
                              KDOBJECTID* queueId) {
    return guarded([&] {
        const Context c = contextOf(ctx);
        if (!conn || !queueId)
            throw ClientError(KD_ERR_INVALID_PARAMETER, "no place for the connection or ID");
        const Client client = Client::current();
        const auto [server, queue] =
            client.queueByName(treeOf(c), dottedToPath(argument(queueName, "queue name")));
        *conn = client.open(server->name);
        *queueId = queue->id;
    });
}

KDRESULT kddirs_list_subordinates(KDCONTEXT ctx, const char* container, int32_t* cursor,
                                  char name[KD_MAX_DN], char className[KD_MAX_CLASS_NAME]) {
    return guarded([&] {
        const Context c = contextOf(ctx);
        if (!cursor || *cursor < -1) throw ClientError(KD_ERR_INVALID_PARAMETER, "bad cursor");
        const auto children = Client::current().children(treeOf(c), objectPath(c, container));
        const std::size_t next = static_cast<std::size_t>(*cursor + 1);
        if (next >= children.size())
            throw ClientError(KD_ERR_NO_MORE_ENTRIES, "no more subordinates");
        copyOut(children[next].name, name, KD_MAX_DN);
        copyOut(children[next].className, className, KD_MAX_CLASS_NAME);
        *cursor = static_cast<int32_t>(next);
    });
}

KDRESULT kddirs_logout_tree(KDCONTEXT ctx) {
    return guarded([&] { Client::current().logoutTree(treeOf(contextOf(ctx))); });
}

}  // extern "C"
