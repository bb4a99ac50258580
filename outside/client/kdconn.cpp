// The connection table of the C interface over the client's session.
#include "kdconn.h"

#include <cstddef>
#include <cstring>

#include "outside/client/errors.h"
#include "outside/client/names.h"
#include "outside/client/session.h"

using namespace outside::client;

static_assert(offsetof(KDConnectionInfo, authState) == 0);
static_assert(offsetof(KDConnectionInfo, connNumber) == 8);
static_assert(offsetof(KDConnectionInfo, treeName) == 12);
static_assert(offsetof(KDConnectionInfo, serverName) == 56);
static_assert(offsetof(KDConnectionInfo, flags) == 108);

namespace {

void putNumber(uint32_t value, std::size_t size, void* buffer) {
    if (!buffer) throw ClientError(KD_ERR_INVALID_PARAMETER, "no buffer for the answer");
    if (size < sizeof value) throw ClientError(KD_ERR_BUFFER_TOO_SMALL, "the item needs 4 bytes");
    std::memcpy(buffer, &value, sizeof value);
}

}  // namespace

extern "C" {

KDRESULT kdconn_scan(uint32_t* iterator, KDCONNREF* ref) {
    return guarded([&] {
        if (!iterator || !ref)
            throw ClientError(KD_ERR_INVALID_PARAMETER, "no iterator or reference");
        // Connections are kept in ascending numbers, so the iterator is the
        // number returned last and survives connections closed in between.
        for (const Connection& c : Client::current().state().connections)
            if (c.number > *iterator) {
                *iterator = c.number;
                *ref = c.number;
                return;
            }
        throw ClientError(KD_ERR_NO_MORE_ENTRIES, "no more connections");
    });
}

KDRESULT kdconn_info(KDCONNREF ref, uint32_t level, KDConnectionInfo* info, size_t size) {
    return guarded([&] {
        if (level != 1)
            throw ClientError(KD_ERR_INVALID_PARAMETER,
                              "connection information level " + std::to_string(level));
        if (!info) throw ClientError(KD_ERR_INVALID_PARAMETER, "no buffer for the information");
        if (size < sizeof(KDConnectionInfo))
            throw ClientError(KD_ERR_BUFFER_TOO_SMALL,
                              "connection information needs " +
                                  std::to_string(sizeof(KDConnectionInfo)) + " bytes");
        const Connection c = Client::current().connection(ref);
        KDConnectionInfo result{};
        result.authState = c.authState;
        result.connNumber = c.number;
        copyOut(c.tree.empty() ? std::string() : paddedTreeName(c.tree), result.treeName,
                sizeof result.treeName);
        copyOut(c.server, result.serverName, sizeof result.serverName);
        result.flags = c.directory ? KD_CONN_FLAG_DIRECTORY : 0;
        *info = result;
    });
}

KDRESULT kdconn_item(KDCONNHANDLE conn, uint32_t kind, size_t size, void* buffer) {
    return guarded([&] {
        const Connection c = Client::current().connection(conn);
        switch (kind) {
            case KD_CONN_ITEM_TREE_NAME:
                copyOut(c.tree.empty() ? std::string() : paddedTreeName(c.tree),
                        static_cast<char*>(buffer), size);
                return;
            case KD_CONN_ITEM_SERVER_NAME:
                copyOut(c.server, static_cast<char*>(buffer), size);
                return;
            case KD_CONN_ITEM_DIRECTORY:
                putNumber(c.directory ? 1 : 0, size, buffer);
                return;
            case KD_CONN_ITEM_AUTH_STATE:
                putNumber(c.authState, size, buffer);
                return;
            case KD_CONN_ITEM_USER_ID:
                putNumber(c.authState ? c.userId : 0, size, buffer);
                return;
            case KD_CONN_ITEM_NUMBER:
                putNumber(c.number, size, buffer);
                return;
            default:
                throw ClientError(KD_ERR_INVALID_PARAMETER,
                                  "connection item kind " + std::to_string(kind));
        }
    });
}

KDRESULT kdconn_get_handle(KDCONNREF ref, KDCONNHANDLE* conn) {
    return guarded([&] {
        if (!conn) throw ClientError(KD_ERR_INVALID_PARAMETER, "no place for the handle");
        *conn = Client::current().connection(ref).number;
    });
}

KDRESULT kdconn_release_handle(KDCONNHANDLE conn) {
    // Releasing a handle of a connection closed meanwhile is no error.
    return guarded([&] {
        if (conn == 0) throw ClientError(KD_ERR_INVALID_CONNECTION, "handle 0 was never given out");
    });
}

KDRESULT kdconn_close(uint32_t connNumber) {
    return guarded([&] { Client::current().close(connNumber); });
}

KDRESULT kdconn_open_by_name(const char* serverName, KDCONNHANDLE* conn) {
    return guarded([&] {
        const std::string server = argument(serverName, "server name");
        if (!conn) throw ClientError(KD_ERR_INVALID_PARAMETER, "no place for the handle");
        *conn = Client::current().open(server);
    });
}

}  // extern "C"
