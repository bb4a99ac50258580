// The server calls of the C interface over the client's session.
#include "kdserv.h"

#include "outside/client/errors.h"
#include "outside/client/names.h"
#include "outside/client/session.h"

using namespace outside::client;

namespace {

template <typename T>
T& out(T* pointer, const char* what) {
    if (!pointer) throw ClientError(KD_ERR_INVALID_PARAMETER, std::string("no place for ") + what);
    return *pointer;
}

std::string volumeDrivePath(const DriveMapping& d) {
    std::string path = d.volume + ":";
    for (std::size_t i = 0; i < d.path.size(); ++i) path += (i ? "\\" : "") + d.path[i];
    return path;
}

}  // namespace

extern "C" {

KDRESULT kdserv_init(void) {
    return guarded([] {
        const Client client = Client::current();
        client.state();
    });
}

KDRESULT kdserv_default_connection(KDCONNHANDLE* conn) {
    return guarded([&] { out(conn, "the connection") = Client::current().defaultConnection(); });
}

KDRESULT kdserv_tree_scan_connection(KDCONNHANDLE* conn) {
    return kdserv_default_connection(conn);
}

KDRESULT kdserv_open_connection(const char* serverName, KDCONNHANDLE* conn) {
    return guarded([&] {
        const std::string server = argument(serverName, "server name");
        auto c = Client::current().connectionTo(server);
        if (!c) throw ClientError(KD_ERR_NO_CONNECTION, "no connection is open to " + server);
        out(conn, "the connection") = c->number;
    });
}

KDRESULT kdserv_server_version(KDCONNHANDLE conn, uint16_t* version) {
    return guarded([&] {
        const Client client = Client::current();
        out(version, "the version") = client.serverOf(client.connection(conn)).version;
    });
}

KDRESULT kdserv_scan_objects(KDCONNHANDLE conn, const char* pattern, uint16_t objectType,
                             KDOBJECTID* objectId, char name[KD_MAX_OBJECT_NAME],
                             uint16_t* foundType) {
    return guarded([&] {
        const std::string wanted = argument(pattern, "pattern");
        KDOBJECTID& cursor = out(objectId, "the object ID");
        const Client client = Client::current();
        const Server& server = client.serverOf(client.connection(conn));
        std::size_t next = 0;
        if (cursor != KD_OBJECTID_START) {
            while (next < server.bindery.size() && server.bindery[next].id != cursor) ++next;
            if (next == server.bindery.size())
                throw ClientError(KD_ERR_NO_SUCH_OBJECT,
                                  "object " + std::to_string(cursor) + " is not on " + server.name);
            ++next;
        }
        for (; next < server.bindery.size(); ++next) {
            const BinderyObject& object = server.bindery[next];
            if (objectType != KD_OBJECT_TYPE_ANY && object.type != objectType) continue;
            if (!matchesPattern(wanted, object.name)) continue;
            copyOut(object.name, name, KD_MAX_OBJECT_NAME);
            if (foundType) *foundType = object.type;
            cursor = object.id;
            return;
        }
        throw ClientError(KD_ERR_NO_MORE_ENTRIES, "no more objects on " + server.name);
    });
}

KDRESULT kdserv_object_id(KDCONNHANDLE conn, const char* objectName, uint16_t objectType,
                          KDOBJECTID* objectId) {
    return guarded([&] {
        const std::string wanted = argument(objectName, "object name");
        const Client client = Client::current();
        const Server& server = client.serverOf(client.connection(conn));
        for (const BinderyObject& object : server.bindery)
            if ((objectType == KD_OBJECT_TYPE_ANY || object.type == objectType) &&
                sameName(object.name, wanted)) {
                out(objectId, "the object ID") = object.id;
                return;
            }
        throw ClientError(KD_ERR_NO_SUCH_OBJECT, server.name + " has no object \"" + wanted +
                                                     "\" of type " + std::to_string(objectType));
    });
}

KDRESULT kdserv_bindery_login_name(KDCONNHANDLE conn, char name[KD_MAX_OBJECT_NAME]) {
    return guarded([&] {
        const Connection c = Client::current().connection(conn);
        if (c.authState == 0)
            throw ClientError(KD_ERR_NOT_AUTHENTICATED, "nobody is logged in to " + c.server);
        // A directory user is known to the bindery by the leaf of its name.
        std::string user = c.user;
        if (c.authState == 2) user = dottedToPath(c.user).back();
        copyOut(user, name, KD_MAX_OBJECT_NAME);
    });
}

KDRESULT kdserv_volume_name(KDCONNHANDLE conn, uint16_t volumeNumber,
                            char name[KD_MAX_VOLUME_NAME]) {
    return guarded([&] {
        if (volumeNumber > 63)
            throw ClientError(KD_ERR_INVALID_VOLUME,
                              "volume number " + std::to_string(volumeNumber) + " is not 0 to 63");
        const Client client = Client::current();
        const Server& server = client.serverOf(client.connection(conn));
        std::string found;
        for (const Volume& volume : server.volumes)
            if (volume.number == volumeNumber) found = volume.name;
        copyOut(found, name, KD_MAX_VOLUME_NAME);
    });
}

KDRESULT kdserv_drive_status(uint16_t drive, uint16_t mode, uint16_t* status, KDCONNHANDLE* conn,
                             char path[KD_MAX_PATH]) {
    return guarded([&] {
        if (drive < 1 || drive > 26)
            throw ClientError(KD_ERR_INVALID_DRIVE,
                              "drive " + std::to_string(drive) + " is not 1 to 26");
        if (mode > KD_DRIVE_PATH_FULL)
            throw ClientError(KD_ERR_INVALID_PARAMETER,
                              "drive status mode " + std::to_string(mode));
        const SessionState s = Client::current().state();
        const DriveMapping* mapping = s.findDrive(drive);
        out(status, "the status") = mapping ? KD_DRIVE_NETWORK : 0;
        if (conn) *conn = mapping ? mapping->connection : 0;
        if (!path) return;
        std::string text;
        if (mapping && mode == KD_DRIVE_PATH_VOLUME) text = volumeDrivePath(*mapping);
        if (mapping && mode == KD_DRIVE_PATH_SERVER)
            text = mapping->server + "/" + volumeDrivePath(*mapping);
        if (mapping && mode == KD_DRIVE_PATH_FULL) text = mapping->fullPath();
        copyOut(text, path, KD_MAX_PATH);
    });
}

KDRESULT kdserv_map_drive(uint16_t drive, KDCONNHANDLE conn, const char* volumePath) {
    return guarded(
        [&] { Client::current().mapDrive(drive, conn, argument(volumePath, "volume path")); });
}

KDRESULT kdserv_delete_drive(uint16_t drive) {
    return guarded([&] { Client::current().deleteDrive(drive); });
}

KDRESULT kdserv_capture_status(uint16_t port, KDCaptureStatus* status) {
    return guarded([&] {
        if (port < 1 || port > 9)
            throw ClientError(KD_ERR_INVALID_PORT,
                              "port " + std::to_string(port) + " is not 1 to 9");
        KDCaptureStatus& result = out(status, "the capture status");
        const SessionState s = Client::current().state();
        const Capture* capture = s.findCapture(port);
        if (!capture)
            throw ClientError(KD_ERR_PORT_NOT_CAPTURED,
                              "LPT" + std::to_string(port) + " is not captured");
        result.connection = capture->connection;
        result.queueId = capture->queueId;
        copyOut(capture->queue, result.queueName, sizeof result.queueName);
    });
}

KDRESULT kdserv_start_capture(KDCONNHANDLE conn, uint16_t port, KDOBJECTID queueId,
                              const char* queueName) {
    return guarded(
        [&] { Client::current().startCapture(conn, port, queueId, queueName ? queueName : ""); });
}

KDRESULT kdserv_end_capture(uint16_t port) {
    return guarded([&] { Client::current().endCapture(port); });
}

}  // extern "C"
