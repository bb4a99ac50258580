/* Directory services: contexts, object classes, the logged-in user, names of
 * object IDs, trees, print queues by directory name, containers' subordinates
 * and the user's default name context and preferred tree.
 *
 * Object names are dotted, leaf first and complete up to the tree root
 * ("WS042.Sales.Acme"); "[Root]" names the tree root. An empty name or NULL
 * names the context's own name context. The tree is the context's tree name.
 * Names come back typeless and canonical whatever the context flags say; the
 * flags and key 2 are kept for the caller but change nothing here. */
#pragma once

#include <stddef.h>

#include "kdconn.h"
#include "kdtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Context keys and the type of their value. */
#define KD_CTX_KEY_FLAGS 1        /* uint32_t */
#define KD_CTX_KEY_MODE 2         /* uint32_t */
#define KD_CTX_KEY_NAME_CONTEXT 3 /* char[KD_MAX_DN] */
#define KD_CTX_KEY_TREE_NAME 11   /* char[KD_MAX_TREE_NAME] */

#define KD_CTX_FLAG_CANONICALIZE 0x1
#define KD_CTX_FLAG_TYPELESS 0x4
#define KD_CTX_FLAG_LOCAL_CACHE 0x10

/* A new context has the flags KD_CTX_FLAG_CANONICALIZE | KD_CTX_FLAG_LOCAL_CACHE,
 * mode 0, the preferred tree as tree name and that tree's default name
 * context ("[Root]" when none is set). */
KDRESULT kddirs_create_context(KDCONTEXT* ctx);
KDRESULT kddirs_free_context(KDCONTEXT ctx);
KDRESULT kddirs_get_context(KDCONTEXT ctx, uint32_t key, void* value);
KDRESULT kddirs_set_context(KDCONTEXT ctx, uint32_t key, const void* value);

/* The directory class of an object ("Organizational Unit", "User", "KXP Server",
 * "Top" for a tree root). */
KDRESULT kddirs_read_base_class(KDCONTEXT ctx, const char* objectName,
                                char className[KD_MAX_CLASS_NAME]);

/* The user's default name context for the context's tree ("[Root]" when none
 * is set), and setting it (the named container must exist). */
KDRESULT kddirs_get_default_name_context(KDCONTEXT ctx, size_t size, char* nameContext);
KDRESULT kddirs_set_default_name_context(KDCONTEXT ctx, const char* nameContext);

/* The tree that new contexts start with (a new context's tree name reports
 * it). The tree must be known; "" forgets the choice. */
KDRESULT kddirs_set_preferred_tree(const char* treeName);

/* The dotted name of the user logged in to the context's tree;
 * KD_ERR_NOT_AUTHENTICATED when nobody is. */
KDRESULT kddirs_whoami(KDCONTEXT ctx, char userName[KD_MAX_DN]);

/* The dotted directory name of an object ID of a connection: its logged-in
 * user (KD_CONN_ITEM_USER_ID) or a print queue of its server. */
KDRESULT kddirs_id_to_name(KDCONTEXT ctx, KDCONNHANDLE conn, KDOBJECTID id, char name[KD_MAX_DN]);

/* The dotted directory name of the connection's server ("FS1.Servers.IT.Acme"). */
KDRESULT kddirs_server_name(KDCONTEXT ctx, KDCONNHANDLE conn, char name[KD_MAX_DN]);

/* The trees that connections of the session belong to, each once, in
 * connection order, at most capacity of them. */
KDRESULT kddirs_connected_trees(KDCONTEXT ctx, uint32_t capacity, uint32_t* count,
                                char (*trees)[KD_MAX_TREE_NAME]);

/* Scans the trees announced on the network (one announcement per directory
 * server, so a tree may come more than once). *cursor starts at -1. */
KDRESULT kddirs_scan_trees(KDCONNHANDLE conn, const char* pattern, int32_t* cursor,
                           char tree[KD_MAX_TREE_NAME]);

/* The server connection and object ID of a print queue named in the directory;
 * a connection to the queue's server is opened when none is. */
KDRESULT kddirs_resolve_queue(KDCONTEXT ctx, const char* queueName, KDCONNHANDLE* conn,
                              KDOBJECTID* queueId);

/* Lists the subordinates of a container one per call, in directory order:
 * the relative name and the class. *cursor starts at -1. */
KDRESULT kddirs_list_subordinates(KDCONTEXT ctx, const char* container, int32_t* cursor,
                                  char name[KD_MAX_DN], char className[KD_MAX_CLASS_NAME]);

/* Logs out of the context's tree: closes every connection authenticated to
 * it. KD_ERR_NOT_AUTHENTICATED when none was. */
KDRESULT kddirs_logout_tree(KDCONTEXT ctx);

#ifdef __cplusplus
}
#endif
