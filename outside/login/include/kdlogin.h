/* The login-dialog library's entry point and the two records of a login
 * request. The caller zero-fills both records, sets them and calls
 *     KDLoginUI(NULL, data, options)
 * which answers 0 when the login succeeded, else a client result code
 * (kdtypes.h). The library writes the names it logged in with back into the
 * server, tree and login-name buffers.
 *
 * The data record's buffer fields are 32 bits wide: each holds the byte
 * offset, from the start of the data record, of a buffer placed inside the
 * record's tail (from KDLOGIN_DATA_TAIL on), so that the record stays
 * self-contained at its fixed size whatever the width of a pointer. The
 * KDLOGIN_AT_* offsets are the suggested places; any places inside the tail
 * that do not overlap are accepted. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KDLOGIN_OPTIONS_SIZE 80
#define KDLOGIN_DATA_SIZE 1328

/* Options record, one byte each unless stated. */
#define KDLOGIN_OPT_MODE 0      /* 1 results, 2 dialog, 5 silent */
#define KDLOGIN_OPT_AUTOCLOSE 1 /* 1 close the results by themselves, 2 the user closes them */
#define KDLOGIN_OPT_TARGET 3    /* 1 tree login, 2 server login */
#define KDLOGIN_OPT_TABS 4      /* 0x01 always, 0x02 connection, 0x04 script, 0x08 variables */
#define KDLOGIN_OPT_BINDERY 12  /* 1 bindery server login, else 2 */
#define KDLOGIN_OPT_SCRIPT 14   /* 1 run the login script, else 2 */
#define KDLOGIN_OPT_RECORD 19   /* 7: the record's version */
#define KDLOGIN_OPT_RESULTS 56  /* 1 show the results, else 2 */

#define KDLOGIN_MODE_RESULTS 1
#define KDLOGIN_MODE_DIALOG 2
#define KDLOGIN_MODE_SILENT 5

/* Data record, 32-bit fields unless stated. */
#define KDLOGIN_DATA_VERSION 0      /* 16 bits: 1; byte 3 is 7 */
#define KDLOGIN_DATA_SERVER_SIZE 16 /* 129 */
#define KDLOGIN_DATA_SERVER 20
#define KDLOGIN_DATA_TREE_SIZE 24 /* 33 */
#define KDLOGIN_DATA_TREE 28
#define KDLOGIN_DATA_NAME_SIZE 32 /* 257 */
#define KDLOGIN_DATA_NAME 36
#define KDLOGIN_DATA_PASSWORD_SIZE 48 /* length of the password with its NUL */
#define KDLOGIN_DATA_PASSWORD 52
#define KDLOGIN_DATA_CONTEXT_KIND 72 /* 4 when a name context is given, else 0 */
#define KDLOGIN_DATA_CONTEXT 76      /* NUL-terminated, at most 257 bytes */
#define KDLOGIN_DATA_BINDERY 104     /* 1 bindery server login */
#define KDLOGIN_DATA_SCRIPT 124      /* 1 run the login script */

#define KDLOGIN_DATA_TAIL 128
#define KDLOGIN_AT_SERVER 128
#define KDLOGIN_AT_TREE 257
#define KDLOGIN_AT_NAME 290
#define KDLOGIN_AT_CONTEXT 547
#define KDLOGIN_AT_PASSWORD 804
#define KDLOGIN_MAX_PASSWORD (KDLOGIN_DATA_SIZE - KDLOGIN_AT_PASSWORD) /* with the NUL */

typedef int32_t (*KDLoginUIProc)(void* owner, void* data, void* options);
int32_t KDLoginUI(void* owner, void* data, void* options);

#ifdef __cplusplus
}
#endif
