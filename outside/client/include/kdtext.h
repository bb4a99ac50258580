/* Locale set-up of the client: what the locale is and the conversion tables
 * for its code page. Text at this interface is always UTF-8; the tables only
 * record that the caller set them up, so that a second set-up is told apart. */
#pragma once

#include "kdtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KDLocaleInfo {
    uint32_t country;     /* telephone country code, 1 when unknown */
    char language[16];    /* "en", "de", ... from the environment's locale */
    char codeSetName[32]; /* "UTF-8" */
} KDLocaleInfo;

KDRESULT kdtext_locale_info(KDLocaleInfo* info);

/* The code page number of the locale's code set (65001 for UTF-8). */
KDRESULT kdtext_code_page(const KDLocaleInfo* info, uint32_t* codePage);

/* KD_ERR_TABLES_LOADED when the tables of this process are set up already. */
KDRESULT kdtext_load_tables(uint32_t country, uint32_t codePage);
KDRESULT kdtext_free_tables(void);

#ifdef __cplusplus
}
#endif
