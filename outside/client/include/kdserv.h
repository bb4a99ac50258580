/* Server calls: the library's start, the default connection, server
 * versions, bindery objects, volumes, drive mappings and captured printer
 * ports. Drive numbers run from 1 (A) to 26 (Z), printer ports from 1 (LPT1)
 * to 9 (LPT9). */
#pragma once

#include "kdtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the network description (KDCLIENT_NETWORK) and checks that the
 * session state (KDCLIENT_STATE) can be used. KD_ERR_CLIENT_UNAVAILABLE with
 * kdclient_error_text() saying why when either is unusable. */
KDRESULT kdserv_init(void);

/* The primary connection of the session. When the session has none and the
 * network names a primary server, the client attaches to it first (as a
 * workstation does when it starts); else KD_ERR_NO_CONNECTION. */
KDRESULT kdserv_default_connection(KDCONNHANDLE* conn);

/* A connection through which trees can be scanned (the default connection). */
KDRESULT kdserv_tree_scan_connection(KDCONNHANDLE* conn);

/* The connection already open to a server; KD_ERR_NO_CONNECTION when none is
 * open (kdconn_open_by_name opens one). */
KDRESULT kdserv_open_connection(const char* serverName, KDCONNHANDLE* conn);

/* The server's version as major * 1000 + minor (below 4000: no directory
 * server). */
KDRESULT kdserv_server_version(KDCONNHANDLE conn, uint16_t* version);

/* Scans the bindery of the connection's server for objects whose name matches
 * pattern ("*" and "?" wildcards, case ignored) and whose type is objectType
 * (KD_OBJECT_TYPE_ANY for all). *objectId is the cursor: KD_OBJECTID_START
 * for the first call, then the ID that the call before returned. */
#define KD_OBJECTID_START 0xFFFFFFFFu
KDRESULT kdserv_scan_objects(KDCONNHANDLE conn, const char* pattern, uint16_t objectType,
                             KDOBJECTID* objectId, char name[KD_MAX_OBJECT_NAME],
                             uint16_t* foundType);

/* The ID of a bindery object by name (case ignored) and type. */
KDRESULT kdserv_object_id(KDCONNHANDLE conn, const char* objectName, uint16_t objectType,
                          KDOBJECTID* objectId);

/* The user name under which the connection is logged in;
 * KD_ERR_NOT_AUTHENTICATED when it is not. */
KDRESULT kdserv_bindery_login_name(KDCONNHANDLE conn, char name[KD_MAX_OBJECT_NAME]);

/* The name of volume 0 to 63 of the connection's server; "" when the server
 * has no volume of that number. */
KDRESULT kdserv_volume_name(KDCONNHANDLE conn, uint16_t volumeNumber,
                            char name[KD_MAX_VOLUME_NAME]);

/* Drive status. status gets KD_DRIVE_NETWORK for a mapped drive and 0 for one
 * that is not mapped (both succeed). With a mapped drive, conn (may be NULL)
 * gets its connection and path (may be NULL, KD_MAX_PATH bytes) its path in
 * the form of mode:
 *   KD_DRIVE_PATH_NONE    ""
 *   KD_DRIVE_PATH_VOLUME  "SYS:PUBLIC\WIN32"
 *   KD_DRIVE_PATH_SERVER  "FS1/SYS:PUBLIC\WIN32"
 *   KD_DRIVE_PATH_FULL    "\\FS1\SYS\PUBLIC\WIN32" (just "\\FS1\SYS" for the volume root) */
#define KD_DRIVE_NETWORK 0x8000
#define KD_DRIVE_PATH_NONE 0
#define KD_DRIVE_PATH_VOLUME 1
#define KD_DRIVE_PATH_SERVER 2
#define KD_DRIVE_PATH_FULL 3
KDRESULT kdserv_drive_status(uint16_t drive, uint16_t mode, uint16_t* status, KDCONNHANDLE* conn,
                             char path[KD_MAX_PATH]);

/* Maps a drive to a path on a volume of the connection's server, written
 * "VOLUME:" or "VOLUME:DIR\SUB" (case ignored; the directory must exist). An
 * existing mapping of the drive is replaced. */
KDRESULT kdserv_map_drive(uint16_t drive, KDCONNHANDLE conn, const char* volumePath);

/* Deletes a drive's mapping; KD_ERR_DRIVE_NOT_MAPPED when it has none. */
KDRESULT kdserv_delete_drive(uint16_t drive);

typedef struct KDCaptureStatus {
    KDCONNHANDLE connection;
    KDOBJECTID queueId;
    char queueName[KD_MAX_OBJECT_NAME];
} KDCaptureStatus;

/* The capture of a port; KD_ERR_PORT_NOT_CAPTURED when it is not captured. */
KDRESULT kdserv_capture_status(uint16_t port, KDCaptureStatus* status);

/* Captures a port to a print queue (a KD_OBJECT_TYPE_QUEUE object of the
 * connection's server); an existing capture of the port is replaced. */
KDRESULT kdserv_start_capture(KDCONNHANDLE conn, uint16_t port, KDOBJECTID queueId,
                              const char* queueName);

/* Ends a port's capture; KD_ERR_PORT_NOT_CAPTURED when it is not captured. */
KDRESULT kdserv_end_capture(uint16_t port);

#ifdef __cplusplus
}
#endif
