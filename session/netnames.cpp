// Network names, their collections and the snapshots built from the client.
#include "session/netnames.h"

#include <QCoreApplication>
#include <QThread>

#include "platform/text/casefold.h"
#include "session/client.h"
#include "session/errors.h"
#include "session/namepath.h"

namespace session {
namespace {

// A long bindery scan must not freeze the host's window: let it handle
// what is waiting between two scan calls.
void pumpWaitingMessages() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread()) QCoreApplication::processEvents();
}

}  // namespace

void KDNetObj::describe(pa::MapBuilder<KDNetObj>& b) {
    b.property(1, "FullName", [](KDNetObj& self) {
         return self.fullName_;
     }).help("Returns the full name of a network resource.", 1433);
    b.property(2, "ShortName", [](KDNetObj& self) { return self.shortName_; })
        .help("Returns the short name of a network resource.", 1432)
        .asDefault();
}

pa::Ref<KDNetObj> KDNetObj::create(std::string fullName, std::string shortName) {
    return pa::Ref<KDNetObj>(new KDNetObj(std::move(fullName), std::move(shortName)));
}

void KDNetObjects::describe(pa::MapBuilder<KDNetObjects>& b) {
    b.property(1, "Count", &KDNetObjects::count).helpContext(486);
    b.getter(2, "Item", &KDNetObjects::item, {"Index"})
        .help(
            "Returns the specified KDNetworkName object from the collection specified by "
            "Index.",
            368)
        .returns("IKDNetworkName");
    b.newEnum(&KDNetObjects::newEnum).notInTypeLibrary();
}

void KDNetObjects::add(std::string fullName, std::string shortName) {
    items_.push_back(KDNetObj::create(std::move(fullName), std::move(shortName)));
}

pa::Variant KDNetObjects::item(pa::Variant index) const {
    if (index.isString()) {
        const std::string& name = index.deref().stringValue();
        for (const auto& it : items_)
            if (platform::text::equalsIgnoringCase(it->shortName(), name)) return pa::Variant(it);
        return pa::Variant::nothing();
    }
    const std::int32_t position = index.toInt32();
    if (position < 0 || position >= count())
        throw pa::AutomationError::standard(pa::error::BadIndex);
    return pa::Variant(items_[static_cast<std::size_t>(position)]);
}

pa::Ref<CEnumVariant> KDNetObjects::newEnum() const {
    return enumeratorOver(items_);
}

std::vector<std::string> uniqueIgnoringCase(std::vector<std::string> names) {
    std::vector<std::string> unique;
    for (std::string& name : names) {
        bool seen = false;
        for (const std::string& u : unique)
            seen = seen || platform::text::equalsIgnoringCase(u, name);
        if (!seen) unique.push_back(std::move(name));
    }
    return unique;
}

pa::Ref<KDNetObjects> serverNames() {
    auto names = KDNetObjects::create();
    KDCONNHANDLE conn = 0;
    if (kdserv_default_connection(&conn) != KD_SUCCESS) return names;
    KDOBJECTID id = KD_OBJECTID_START;
    while (true) {
        char name[KD_MAX_OBJECT_NAME] = {};
        std::uint16_t type = 0;
        const int rc = kdserv_scan_objects(conn, "*", KD_OBJECT_TYPE_SERVER, &id, name, &type);
        if (rc != KD_SUCCESS) break;
        const std::string server = fromBuffer(name, sizeof name);
        names->add("\\\\" + server, server);
        pumpWaitingMessages();
    }
    return names;
}

pa::Ref<KDNetObjects> treeNames() {
    DirContext context;
    check(context.create());
    context.changeFlags(KD_CTX_FLAG_CANONICALIZE, KD_CTX_FLAG_TYPELESS);
    const std::uint32_t mode = 2;
    kddirs_set_context(context.handle(), KD_CTX_KEY_MODE, &mode);

    auto names = KDNetObjects::create();
    KDCONNHANDLE conn = 0;
    if (kdserv_tree_scan_connection(&conn) != KD_SUCCESS) return names;
    std::vector<std::string> trees;
    std::int32_t cursor = -1;
    while (true) {
        char tree[KD_MAX_TREE_NAME] = {};
        if (kddirs_scan_trees(conn, "*", &cursor, tree) != KD_SUCCESS) break;
        trees.push_back(stripTreePadding(fromBuffer(tree, sizeof tree)));
    }
    for (const std::string& t : uniqueIgnoringCase(std::move(trees))) names->add("KTR:\\\\" + t, t);
    return names;
}

pa::Ref<KDNetObjects> connectedServers() {
    auto names = KDNetObjects::create();
    forEachConnection(
        [&](KDCONNREF ref, const KDConnectionInfo& info) {
            const std::string tree =
                stripTreePadding(fromBuffer(info.treeName, sizeof info.treeName));
            const std::string server = fromBuffer(info.serverName, sizeof info.serverName);
            std::string fullName = "\\\\" + server;
            if ((info.flags & KD_CONN_FLAG_DIRECTORY) && info.authState != KD_AUTH_BINDERY) {
                // The directory name of the server, top down below the tree.
                DirContext context;
                ConnectionHandle conn;
                char dotted[KD_MAX_DN] = {};
                if (setUpContext(context, "\\\\" + tree + "\\." + std::string(kRootContext)) ==
                        KD_SUCCESS &&
                    conn.acquire(ref) == KD_SUCCESS &&
                    kddirs_server_name(context.handle(), conn.handle(), dotted) == KD_SUCCESS) {
                    const NamePath path =
                        NamePath::fromTreeAndContext(tree, fromBuffer(dotted, sizeof dotted));
                    if (path.isValid()) fullName = path.fullName();
                }
            }
            names->add(std::move(fullName), server);
            return true;
        },
        true);
    return names;
}

pa::Ref<KDNetObjects> connectedTrees() {
    auto names = KDNetObjects::create();
    DirContext context;
    if (context.create() != KD_SUCCESS) return names;
    std::vector<char[KD_MAX_TREE_NAME]> trees(KD_MAX_CONNECTED_TREES);
    std::uint32_t count = 0;
    if (kddirs_connected_trees(context.handle(), KD_MAX_CONNECTED_TREES, &count, trees.data()) !=
        KD_SUCCESS)
        return names;
    for (std::uint32_t i = 0; i < count && i < KD_MAX_CONNECTED_TREES; ++i) {
        const std::string tree = stripTreePadding(fromBuffer(trees[i], KD_MAX_TREE_NAME));
        names->add("KTR:\\\\" + tree, tree);
    }
    return names;
}

pa::Ref<KDNetObjects> connectedVolumes() {
    auto names = KDNetObjects::create();
    forEachConnection(
        [&](KDCONNREF ref, const KDConnectionInfo& info) {
            const std::string server = fromBuffer(info.serverName, sizeof info.serverName);
            ConnectionHandle conn;
            if (conn.acquire(ref) != KD_SUCCESS) return true;
            for (std::uint16_t number = 0; number < 64; ++number) {
                char volume[KD_MAX_VOLUME_NAME] = {};
                if (kdserv_volume_name(conn.handle(), number, volume) != KD_SUCCESS) continue;
                const std::string name = fromBuffer(volume, sizeof volume);
                if (!name.empty()) names->add("\\\\" + server + "\\" + name, name);
            }
            return true;
        },
        true);
    return names;
}

}  // namespace session
