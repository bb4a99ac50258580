/* Types, sizes and result codes shared by the four network client libraries
 * (server calls, connection table, directory services, locale). Every call
 * returns KD_SUCCESS or one of the codes below; text crosses the interface as
 * NUL-terminated UTF-8, the code page of this platform. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t KDRESULT;
typedef uint32_t KDCONNREF;    /* names a connection of the table (its number) */
typedef uint32_t KDCONNHANDLE; /* a connection in use by this process (its number) */
typedef uint32_t KDCONTEXT;    /* a directory context of this process */
typedef uint32_t KDOBJECTID;   /* a bindery or directory object */

/* Buffer sizes, terminating NUL included. */
#define KD_MAX_TREE_NAME 33
#define KD_MAX_SERVER_NAME 49
#define KD_MAX_OBJECT_NAME 48
#define KD_MAX_VOLUME_NAME 17
#define KD_MAX_DN 257
#define KD_MAX_CLASS_NAME 33
#define KD_MAX_PATH 256
#define KD_MAX_CONNECTED_TREES 128

#define KD_SUCCESS 0

/* Connection, server and session codes. */
#define KD_ERR_INVALID_CONNECTION 0x8801 /* the handle names no open connection */
#define KD_ERR_INVALID_DRIVE 0x8802      /* drive number outside 1 to 26 */
#define KD_ERR_DRIVE_NOT_MAPPED 0x8803
#define KD_ERR_INVALID_PORT 0x8804 /* printer port outside 1 to 9 */
#define KD_ERR_PORT_NOT_CAPTURED 0x8805
#define KD_ERR_LOGIN_CANCELLED 0x8806 /* the user closed the login dialog */
#define KD_ERR_BUFFER_TOO_SMALL 0x880E
#define KD_ERR_NO_CONNECTION 0x880F /* no connection is open to that server */
#define KD_ERR_INVALID_PARAMETER 0x8836
#define KD_ERR_CLIENT_UNAVAILABLE 0x8850 /* network description or session state unusable */
#define KD_ERR_NOT_AUTHENTICATED 0x886A
#define KD_ERR_NO_MORE_ENTRIES 0x88FF /* a scan has nothing more to return */
#define KD_ERR_INVALID_VOLUME 0x8998
#define KD_ERR_INVALID_PATH 0x899C
#define KD_ERR_NO_QUEUE 0x89D1
#define KD_ERR_NO_SUCH_OBJECT 0x89FC /* unknown server or bindery object */

/* Directory codes. */
#define KD_ERR_BAD_NAME_SPECIFICATION (-252) /* a context specification that does not parse */
#define KD_ERR_OUT_OF_MEMORY (-301)
#define KD_ERR_BAD_CONTEXT (-303) /* the context handle is not one of this process */
#define KD_ERR_INVALID_NAME (-342)
#define KD_ERR_TABLES_LOADED (-489) /* locale tables were already loaded */
#define KD_ERR_NO_SUCH_ENTRY (-601)
#define KD_ERR_NO_SUCH_TREE (-605)
#define KD_ERR_BAD_PASSWORD (-669)

/* Bindery object types. */
#define KD_OBJECT_TYPE_ANY 0xFFFF
#define KD_OBJECT_TYPE_QUEUE 768
#define KD_OBJECT_TYPE_SERVER 1024

/* Why the last failing call of this thread failed, in words (for messages and
 * logs); "" after a call that succeeded. */
const char* kdclient_error_text(void);

#ifdef __cplusplus
}
#endif
