/* The connection table: every connection of the user's session, shared by all
 * of the user's processes. A connection is known by its number; a reference
 * and a handle are both that number. Getting a handle checks that the
 * connection is open; releasing one closes nothing (kdconn_close does), since
 * the connection belongs to the session, not to the process. */
#pragma once

#include <stddef.h>

#include "kdtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Authentication states. */
#define KD_AUTH_NONE 0
#define KD_AUTH_BINDERY 1
#define KD_AUTH_DIRECTORY 2

/* KDConnectionInfo.flags */
#define KD_CONN_FLAG_DIRECTORY 0x1

/* Level 1 of kdconn_info. The tree name is padded with "_" to 32 characters;
 * the server name is not padded. */
typedef struct KDConnectionInfo {
    uint32_t authState;  /* offset 0: KD_AUTH_* */
    uint32_t reserved;   /* offset 4 */
    uint32_t connNumber; /* offset 8: what kdconn_close takes */
    char treeName[44];   /* offset 12 */
    char serverName[52]; /* offset 56 */
    uint32_t flags;      /* offset 108 */
} KDConnectionInfo;

/* Item kinds of kdconn_item and the buffer size each needs at least. */
#define KD_CONN_ITEM_TREE_NAME 1   /* KD_MAX_TREE_NAME bytes, padded with "_" */
#define KD_CONN_ITEM_SERVER_NAME 2 /* KD_MAX_SERVER_NAME bytes */
#define KD_CONN_ITEM_DIRECTORY 3   /* 4 bytes: 1 for a directory connection, else 0 */
#define KD_CONN_ITEM_AUTH_STATE 4  /* 4 bytes: KD_AUTH_* */
#define KD_CONN_ITEM_USER_ID 5     /* 4 bytes: object ID of the logged-in user, 0 if none */
#define KD_CONN_ITEM_NUMBER 6      /* 4 bytes */

/* Iterates the table in connection order: *iterator starts at 0 and is
 * advanced by each call; KD_ERR_NO_MORE_ENTRIES after the last one. */
KDRESULT kdconn_scan(uint32_t* iterator, KDCONNREF* ref);

/* Reads the information of a connection; only level 1 exists and size must be
 * at least sizeof(KDConnectionInfo). */
KDRESULT kdconn_info(KDCONNREF ref, uint32_t level, KDConnectionInfo* info, size_t size);

/* Reads one item of a connection into buffer (size bytes). */
KDRESULT kdconn_item(KDCONNHANDLE conn, uint32_t kind, size_t size, void* buffer);

KDRESULT kdconn_get_handle(KDCONNREF ref, KDCONNHANDLE* conn);
KDRESULT kdconn_release_handle(KDCONNHANDLE conn);

/* Logs out of and closes a connection by its number; its drive mappings and
 * captured ports end with it. */
KDRESULT kdconn_close(uint32_t connNumber);

/* Opens a connection to a server of the network, unauthenticated, or returns
 * the one already open. KD_ERR_NO_SUCH_OBJECT for a server the network lacks. */
KDRESULT kdconn_open_by_name(const char* serverName, KDCONNHANDLE* conn);

#ifdef __cplusplus
}
#endif
