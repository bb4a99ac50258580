/* The whole network client interface: server calls, connection table,
 * directory services and locale set-up. */
#pragma once

#include "kdconn.h"
#include "kddirs.h"
#include "kdserv.h"
#include "kdtext.h"
#include "kdtypes.h"
